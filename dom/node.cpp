#include "dom/node.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "dom/attr.h"
#include "dom/document.h"
#include "dom/domimplementation.h"
#include "dom/domstrings.h"
#include "dom/element.h"
#include "dom/event.h"
#include "dom/namednodemap.h"
#include "dom/nodelist.h"

namespace {

// Nodes whose count fell to zero while another node was being destroyed. They
// are destroyed one after the other by the outermost release, so destroying a
// deep tree never nests.
std::vector<Node*> g_dying;
bool g_destroying = false;

std::uint64_t g_treeVersion = 0;

constexpr std::int32_t kDyingCount = INT32_MIN / 2;

void destroyDying() {
  while (!g_dying.empty()) {
    Node* node = g_dying.back();
    g_dying.pop_back();
    node->destroy();
  }
}

}  // namespace

std::uint64_t domTreeVersion() { return g_treeVersion; }
void noteTreeChanged() { ++g_treeVersion; }

void destroyPendingNodes() { destroyDying(); }

Node* nextInSubtree(const Node* current, const Node* root) {
  if (Node* child = current->firstChild()) return child;
  for (const Node* n = current; n && n != root; n = n->parentNode()) {
    if (Node* sibling = n->nextSibling()) return sibling;
  }
  return nullptr;
}

void* Node::operator new(std::size_t size) { return NodeArena::allocateAlone(size); }

void* Node::operator new(std::size_t size, Document* document) {
  return document ? document->m_nodeArena->allocate(size) : NodeArena::allocateAlone(size);
}

void Node::operator delete(void* block) { NodeArena::deallocate(block); }

void Node::operator delete(void* block, Document*) { NodeArena::deallocate(block); }

Node::Node(Document* ownerDocument) { joinDocument(ownerDocument); }

Node::~Node() { leaveDocument(); }

void Node::release() {
  if (--m_refCount != 0) return;
  // A dying node keeps a count far from zero, so references taken and dropped
  // while it is being destroyed cannot destroy it a second time.
  m_refCount = kDyingCount;
  g_dying.push_back(this);
  if (g_destroying) return;
  g_destroying = true;
  destroyDying();
  g_destroying = false;
}

void Node::joinDocument(Document* doc) {
  leaveDocument();
  m_ownerDocument = doc;
  if (!doc) return;
  if (m_listeners) doc->m_listenerCount += m_listeners->size();
  m_nextInDocument = doc->m_firstNodeInDocument;
  if (m_nextInDocument) m_nextInDocument->m_prevInDocument = this;
  doc->m_firstNodeInDocument = this;
}

void Node::leaveDocument() {
  if (!m_ownerDocument) return;
  if (m_listeners) m_ownerDocument->m_listenerCount -= m_listeners->size();
  if (m_prevInDocument) {
    m_prevInDocument->m_nextInDocument = m_nextInDocument;
  } else {
    m_ownerDocument->m_firstNodeInDocument = m_nextInDocument;
  }
  if (m_nextInDocument) m_nextInDocument->m_prevInDocument = m_prevInDocument;
  m_prevInDocument = m_nextInDocument = nullptr;
  m_ownerDocument = nullptr;
}

Document* Node::documentForNode() {
  if (nodeType() == DOCUMENT_NODE) return static_cast<Document*>(this);
  return m_ownerDocument;
}

void Node::queueRelease() {
  Document* doc = documentForNode();
  if (doc && doc != this) {
    doc->releaseQueue().push(this);
  } else {
    release();
  }
}

void Node::destroy() { delete this; }

bool Node::isAncestorOf(const Node* node) const {
  for (const Node* n = node ? node->m_parent : nullptr; n; n = n->m_parent) {
    if (n == this) return true;
  }
  return false;
}

// --- events -----------------------------------------------------------------

void Node::addEventListener(const DomString& type, EventListener* listener, bool useCapture) {
  if (!listener) return;
  if (!m_listeners) m_listeners = std::make_unique<ListenerList>();
  m_listeners->push_back({type, listener, useCapture});
  if (Document* doc = documentForNode()) ++doc->m_listenerCount;
}

void Node::removeEventListener(const DomString& type, EventListener* listener, bool useCapture) {
  if (!m_listeners) return;
  auto found = std::find_if(m_listeners->begin(), m_listeners->end(), [&](const ListenerEntry& e) {
    return e.listener == listener && e.useCapture == useCapture && e.type == type;
  });
  if (found == m_listeners->end()) return;
  m_listeners->erase(found);
  if (Document* doc = documentForNode()) --doc->m_listenerCount;
}

// Calls the matching listeners of this node once each. A listener may add or
// remove registrations; the walk then starts again from the top, and the set of
// listeners already called keeps anyone from being called twice.
void Node::callListeners(Event* event, bool captureOnly, bool bubbleOnly) {
  if (!m_listeners) return;
  ListenerList& list = *m_listeners;
  std::vector<EventListener*> called;
  std::size_t i = 0;
  while (i < list.size()) {
    const ListenerEntry& entry = list[i];
    const bool phaseMatches = (!captureOnly || entry.useCapture) && (!bubbleOnly || !entry.useCapture);
    EventListener* listener = entry.listener;
    if (phaseMatches && entry.type == event->type() &&
        std::find(called.begin(), called.end(), listener) == called.end()) {
      called.push_back(listener);
      const std::size_t lengthBefore = list.size();
      listener->handleEvent(event);
      if (list.size() != lengthBefore) {
        i = 0;
        continue;
      }
    }
    ++i;
  }
}

bool Node::dispatchEvent(Event* event) {
  if (!event || event->type().empty()) return false;
  Ref<Node> self(this);
  Ref<Event> keepEvent(event);
  event->setTarget(this);
  event->setEventPhase(Event::CAPTURING_PHASE);

  // The path is fixed when dispatch starts: ancestors from the parent up.
  std::vector<Ref<Node>> ancestors;
  for (Node* n = parentNode(); n; n = n->parentNode()) ancestors.emplace_back(n);

  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    if (event->propagationStopped()) break;
    event->setCurrentTarget(it->get());
    (*it)->callListeners(event, true, false);
  }
  if (!event->propagationStopped() && hasListeners()) {
    event->setEventPhase(Event::AT_TARGET);
    event->setCurrentTarget(this);
    callListeners(event, false, false);
  }
  if (!event->propagationStopped() && event->bubbles() && !ancestors.empty()) {
    event->setEventPhase(Event::BUBBLING_PHASE);
    for (const Ref<Node>& ancestor : ancestors) {
      event->setCurrentTarget(ancestor.get());
      ancestor->callListeners(event, false, true);
      if (event->propagationStopped()) break;
    }
  }
  return !event->canceled();
}

// --- Node defaults ------------------------------------------------------------

const DomString& Node::nodeName() const { return domstrings::nodeName(); }
const DomString& Node::nodeValue() const { return domstrings::empty(); }
void Node::setNodeValue(const DomString&) {}
unsigned short Node::nodeType() const { return 0; }
Node* Node::parentNode() const { return m_parent; }

Ref<NodeList> Node::childNodes() { return ChildNodeList::create(this); }

Node* Node::firstChild() const { return nullptr; }

Node* Node::lastChild() const {
  Node* last = firstChild();
  while (last && last->m_nextSibling) last = last->m_nextSibling;
  return last;
}

Node* Node::previousSibling() const {
  if (!m_parent) return nullptr;
  Node* n = nodeType() == ATTRIBUTE_NODE ? static_cast<Element*>(m_parent)->firstAttribute() : m_parent->firstChild();
  Node* previous = nullptr;
  for (; n && n != this; n = n->m_nextSibling) previous = n;
  return n ? previous : nullptr;
}

Node* Node::nextSibling() const { return m_nextSibling; }
Ref<NamedNodeMap> Node::attributes() { return {}; }
Document* Node::ownerDocument() const { return m_ownerDocument; }
Node* Node::insertBefore(Node*, Node*) { return nullptr; }
Node* Node::replaceChild(Node*, Node*) { return nullptr; }
Node* Node::removeChild(Node*) { return nullptr; }
Node* Node::appendChild(Node*) { return nullptr; }
bool Node::hasChildNodes() const { return false; }
Ref<Node> Node::cloneNode(bool) { return {}; }
void Node::normalize() {}

bool Node::isSupported(const DomString& feature, const DomString& version) const {
  return DOMImplementation::instance()->hasFeature(feature, version);
}

const DomString& Node::namespaceURI() const { return domstrings::empty(); }

DomString Node::prefix() const {
  const DomString& name = nodeName();
  const std::size_t colon = name.find(u':');
  return colon == DomString::npos ? DomString() : name.substr(0, colon);
}

const DomString& Node::localName() const { return domstrings::empty(); }
bool Node::hasAttributes() const { return false; }

bool Node::setOwnerDocument(Document* doc) {
  if (!doc) return false;
  bool allInterned = true;
  // Walks the subtree without recursion; each node brings its attributes along.
  Node* n = this;
  while (n) {
    allInterned = adoptOne(n, doc) && allInterned;
    n = nextInSubtree(n, this);
  }
  return allInterned;
}

bool Node::adoptOne(Node* node, Document* doc) {
  switch (node->nodeType()) {
    case DOCUMENT_NODE:
      return false;
    case ELEMENT_NODE: {
      auto* element = static_cast<Element*>(node);
      // Attributes become nodes while their names are still those of the old pool.
      Attr* first = element->firstAttribute();
      element->joinDocument(doc);
      bool interned = element->internNameIn(doc);
      for (Attr* attr = first; attr; attr = attr->nextAttribute()) {
        attr->joinDocument(doc);
        interned = attr->internNameIn(doc) && interned;
      }
      return interned;
    }
    case ATTRIBUTE_NODE:
      node->joinDocument(doc);
      return static_cast<Attr*>(node)->internNameIn(doc);
    default:
      node->joinDocument(doc);
      return true;
  }
}
