#pragma once
// The mutation events the document model fires as the tree changes. Each is a
// new MutationEvent, not cancelable, dispatched at the node named and released
// afterwards. Nothing is made when no node on the way has a listener (nobody
// could tell), or while the document suppresses mutation events.

#include "dom/domstring.h"

class Node;
class Attr;

namespace mutationevents {

void nodeInserted(Node* node, Node* parent);  // DOMNodeInserted, then ...IntoDocument
void nodeRemoved(Node* node, Node* parent);   // DOMNodeRemoved, then ...FromDocument
void subtreeModified(Node* parent);
void attrModified(Node* element, Attr* attr, const DomString& prevValue, const DomString& newValue,
                  unsigned short attrChange);
void characterDataModified(Node* node, const DomString& prevValue, const DomString& newValue);

}  // namespace mutationevents
