#pragma once
// Helpers shared by the document-model tests.

#include <string>
#include <vector>

#include "base/widestring.h"
#include "dom/dom.h"

// Appends a new element named `name` to `parent` and answers it (the parent
// holds it; the creation reference is dropped).
inline Element* addElement(Node* parent, const char* name) {
  Document* doc = parent->documentForNode();
  Ref<Element> e = doc->createElement(toWide(name));
  parent->appendChild(e.get());
  return e.get();
}

inline Text* addText(Node* parent, const char* data) {
  Ref<Text> t = parent->documentForNode()->createTextNode(toWide(data));
  parent->appendChild(t.get());
  return t.get();
}

// Node names of the children of `parent`, joined by spaces.
inline std::string childNames(const Node* parent) {
  std::string out;
  for (const Node* n = parent->firstChild(); n; n = n->nextSibling()) {
    if (!out.empty()) out += ' ';
    out += toNarrowAscii(n->nodeName());
  }
  return out;
}

inline std::string listNames(NodeList* list) {
  std::string out;
  for (std::size_t i = 0; i < list->length(); ++i) {
    if (!out.empty()) out += ' ';
    out += toNarrowAscii(list->item(i)->nodeName());
  }
  return out;
}

// Records each event it receives: "tag type target@currentTarget:phase" in
// Path form, "type target" in Target form.
class Recorder : public EventListener {
 public:
  enum class Form { Path, Target };

  explicit Recorder(std::vector<std::string>* log, std::string tag = "", Form form = Form::Path)
      : m_log(log), m_tag(std::move(tag)), m_form(form) {}

  void handleEvent(Event* event) override {
    std::string entry = toNarrowAscii(event->type()) + " " + toNarrowAscii(event->target()->nodeName());
    if (m_form == Form::Path) {
      entry = m_tag + entry + "@" + toNarrowAscii(event->currentTarget()->nodeName()) + ":" +
              std::to_string(event->eventPhase());
    }
    m_log->push_back(entry);
  }

 private:
  std::vector<std::string>* m_log;
  std::string m_tag;
  Form m_form;
};

// Records mutation events with capture on a node (usually the document), so it
// sees every mutation below it in order: "type target".
class MutationLog : public EventListener {
 public:
  explicit MutationLog(Node* node) : m_node(node) {
    for (const char* type : kTypes) m_node->addEventListener(toWide(type), this, true);
  }
  ~MutationLog() {
    for (const char* type : kTypes) m_node->removeEventListener(toWide(type), this, true);
  }

  void handleEvent(Event* event) override {
    std::string entry = toNarrowAscii(event->type()) + " " + toNarrowAscii(event->target()->nodeName());
    auto* mutation = static_cast<MutationEvent*>(event);
    if (mutation->attrChange() != 0) {
      entry += " " + toNarrowAscii(mutation->attrName()) + " " + std::to_string(mutation->attrChange()) + " '" +
               toNarrowAscii(mutation->prevValue()) + "'->'" + toNarrowAscii(mutation->newValue()) + "'";
    } else if (event->type() == u"DOMCharacterDataModified") {
      entry += " '" + toNarrowAscii(mutation->prevValue()) + "'->'" + toNarrowAscii(mutation->newValue()) + "'";
    }
    if (mutation->relatedNode()) entry += " related=" + toNarrowAscii(mutation->relatedNode()->nodeName());
    entries.push_back(entry);
  }

  std::vector<std::string> entries;

 private:
  static constexpr const char* kTypes[] = {
      "DOMSubtreeModified",          "DOMNodeInserted", "DOMNodeRemoved",          "DOMNodeRemovedFromDocument",
      "DOMNodeInsertedIntoDocument", "DOMAttrModified", "DOMCharacterDataModified"};
  Node* m_node;
};
