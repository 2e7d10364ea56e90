#include "dom/mutationevents.h"

#include "dom/attr.h"
#include "dom/document.h"
#include "dom/domstrings.h"
#include "dom/event.h"

namespace mutationevents {
namespace {

// Whether dispatching at `target` could reach any listener.
bool anyoneListening(Node* target) {
  Document* doc = target->documentForNode();
  if (doc && (doc->mutationEventsSuppressed() || doc->listenerCount() == 0)) return false;
  for (Node* n = target; n; n = n->parentNode()) {
    if (n->hasListeners()) return true;
  }
  return false;
}

struct Values {
  const DomString& prevValue = domstrings::empty();
  const DomString& newValue = domstrings::empty();
  const DomString& attrName = domstrings::empty();
  unsigned short attrChange = 0;
};

void fire(Node* target, const DomString& type, bool bubbles, Node* relatedNode, const Values& values) {
  Ref<MutationEvent> event = MutationEvent::create();
  event->initMutationEvent(type, bubbles, false, relatedNode, values.prevValue, values.newValue, values.attrName,
                           values.attrChange);
  target->dispatchEvent(event.get());
}

}  // namespace

void nodeInserted(Node* node, Node* parent) {
  if (!anyoneListening(node)) return;
  Ref<Node> keep(node);
  fire(node, domstrings::nodeInserted(), true, parent, {});
  fire(node, domstrings::nodeInsertedIntoDocument(), false, nullptr, {});
}

void nodeRemoved(Node* node, Node* parent) {
  if (!anyoneListening(node)) return;
  Ref<Node> keep(node);
  fire(node, domstrings::nodeRemoved(), true, parent, {});
  fire(node, domstrings::nodeRemovedFromDocument(), false, nullptr, {});
}

void subtreeModified(Node* parent) {
  if (!anyoneListening(parent)) return;
  fire(parent, domstrings::subtreeModified(), true, nullptr, {});
}

void attrModified(Node* element, Attr* attr, const DomString& prevValue, const DomString& newValue,
                  unsigned short attrChange) {
  if (!anyoneListening(element)) return;
  fire(element, domstrings::attrModified(), true, attr, {prevValue, newValue, attr->name(), attrChange});
}

void characterDataModified(Node* node, const DomString& prevValue, const DomString& newValue) {
  if (!anyoneListening(node)) return;
  fire(node, domstrings::characterDataModified(), true, nullptr, {prevValue, newValue});
}

}  // namespace mutationevents
