#include "dom/parentnode.h"

#include <vector>

#include "dom/characterdata.h"
#include "dom/document.h"
#include "dom/mutationevents.h"

ParentNode::~ParentNode() { releaseChildren(); }

void ParentNode::releaseChildren() {
  Node* child = m_firstChild;
  m_firstChild = nullptr;
  m_lastChild = nullptr;
  if (child) noteTreeChanged();
  while (child) {
    Node* next = child->m_nextSibling;
    child->m_parent = nullptr;
    child->m_nextSibling = nullptr;
    child->release();
    child = next;
  }
}

bool ParentNode::isChild(const Node* node) const {
  return node && node->m_parent == this && node->nodeType() != ATTRIBUTE_NODE;
}

// A node may join this tree only when it belongs to the same document (or this
// is its document). Nodes whose document is gone take no children: there is no
// queue left to hold what they would give up.
bool ParentNode::sameDocument(const Node* newChild) {
  Document* doc = documentForNode();
  return doc && newChild && newChild->m_ownerDocument == doc;
}

bool ParentNode::acceptsKind(unsigned short type) const {
  switch (type) {
    case ELEMENT_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
      return true;
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case ENTITY_REFERENCE_NODE:
      return nodeType() != DOCUMENT_NODE;
    case ENTITY_NODE:
    case NOTATION_NODE:
      // The document keeps the declarations its doctype lists.
      return nodeType() == DOCUMENT_NODE;
    default:  // attributes, documents, doctypes, fragments themselves
      return false;
  }
}

// The structural rules: no cycle, only kinds this parent can hold, and one
// document element at most (not counting a child that is being replaced or moved).
bool ParentNode::canLink(std::span<Node* const> run, const Node* newChild, const Node* replaced) const {
  // Only a node with children can be an ancestor of this one.
  if (newChild == this || (newChild->firstChild() && newChild->isAncestorOf(this))) return false;
  int elements = 0;
  for (const Node* node : run) {
    if (!acceptsKind(node->nodeType())) return false;
    if (node->nodeType() == ELEMENT_NODE) ++elements;
  }
  if (nodeType() == DOCUMENT_NODE && elements > 0) {
    for (const Node* child = m_firstChild; child; child = child->m_nextSibling) {
      if (child->nodeType() == ELEMENT_NODE && child != replaced && child != newChild) ++elements;
    }
    if (elements > 1) return false;
  }
  return true;
}

namespace {

std::vector<Node*> childrenOf(Node* fragment) {
  std::vector<Node*> children;
  for (Node* child = fragment->firstChild(); child; child = child->nextSibling()) children.push_back(child);
  return children;
}

}  // namespace

Node* ParentNode::previousChildOf(const Node* child) const {
  Node* previous = nullptr;
  for (Node* n = m_firstChild; n && n != child; n = n->m_nextSibling) previous = n;
  return previous;
}

void ParentNode::link(std::span<Node* const> run, Node* refChild) {
  Node* previous = refChild ? previousChildOf(refChild) : m_lastChild;
  for (Node* node : run) {
    node->m_parent = this;
    if (previous) {
      previous->m_nextSibling = node;
    } else {
      m_firstChild = node;
    }
    previous = node;
  }
  previous->m_nextSibling = refChild;
  if (!refChild) m_lastChild = previous;
  noteTreeChanged();
}

Node* ParentNode::insertBefore(Node* newChild, Node* refChild) {
  if (!sameDocument(newChild)) return nullptr;
  if (refChild && !isChild(refChild)) return nullptr;
  if (newChild == refChild) return newChild;
  if (newChild == this) return nullptr;
  return insertRun(newChild, refChild, nullptr);
}

Node* ParentNode::appendChild(Node* newChild) { return insertBefore(newChild, nullptr); }

// Inserts newChild (or a fragment's children) before refChild. `replaced` is a
// child about to be removed, which does not count as a document element.
Node* ParentNode::insertRun(Node* newChild, Node* refChild, const Node* replaced) {
  // The nodes that join: a fragment's children, or the node itself (which
  // costs no allocation, as appending is what loading does for every node).
  const bool isFragment = newChild->nodeType() == DOCUMENT_FRAGMENT_NODE;
  Node* const single[] = {newChild};
  const std::vector<Node*> children = isFragment ? childrenOf(newChild) : std::vector<Node*>();
  const std::span<Node* const> run = isFragment ? std::span<Node* const>(children) : std::span<Node* const>(single);
  if (!canLink(run, newChild, replaced)) return nullptr;
  Ref<Node> keepNew(newChild);

  if (isFragment) {
    if (run.empty()) return newChild;
    // The fragment's references pass to this node.
    auto* fragment = static_cast<ParentNode*>(newChild);
    fragment->m_firstChild = nullptr;
    fragment->m_lastChild = nullptr;
    for (Node* node : run) {
      node->m_parent = nullptr;
      node->m_nextSibling = nullptr;
    }
    noteTreeChanged();
  } else {
    newChild->addRef();  // this node's reference
    if (newChild->m_parent) {
      newChild->m_parent->removeChild(newChild);
      // A removal listener may have changed the tree; check again.
      if (newChild->m_parent || (refChild && !isChild(refChild)) || !canLink(run, newChild, replaced)) {
        newChild->release();
        return nullptr;
      }
    }
  }

  link(run, refChild);
  if (isFragment) {
    // Listeners may take the fragment's children away again: keep each alive.
    std::vector<Ref<Node>> inserted(run.begin(), run.end());
    for (const Ref<Node>& node : inserted) mutationevents::nodeInserted(node.get(), this);
  } else {
    mutationevents::nodeInserted(newChild, this);  // kept alive by keepNew
  }
  mutationevents::subtreeModified(this);
  return newChild;
}

Node* ParentNode::removeChild(Node* oldChild) {
  if (!isChild(oldChild) || !documentForNode()) return nullptr;
  Ref<Node> keepOld(oldChild);
  Ref<Node> keepSelf(this);
  mutationevents::nodeRemoved(oldChild, this);
  if (!isChild(oldChild)) return nullptr;  // a listener took it away already

  Node* previous = previousChildOf(oldChild);
  if (previous) {
    previous->m_nextSibling = oldChild->m_nextSibling;
  } else {
    m_firstChild = oldChild->m_nextSibling;
  }
  if (m_lastChild == oldChild) m_lastChild = previous;
  oldChild->m_parent = nullptr;
  oldChild->m_nextSibling = nullptr;
  noteTreeChanged();
  oldChild->queueRelease();
  mutationevents::subtreeModified(this);
  return oldChild;
}

Node* ParentNode::replaceChild(Node* newChild, Node* oldChild) {
  if (!newChild || !oldChild || !sameDocument(newChild) || !isChild(oldChild)) return nullptr;
  if (newChild == oldChild) return oldChild;
  if (newChild == this) return nullptr;
  if (newChild->nodeType() == DOCUMENT_FRAGMENT_NODE) {
    Ref<Node> keepOld(oldChild);
    if (!insertRun(newChild, oldChild, oldChild)) return nullptr;
    return removeChild(oldChild);
  }

  Node* const run[] = {newChild};
  if (!canLink(run, newChild, oldChild)) return nullptr;
  Ref<Node> keepNew(newChild);
  Ref<Node> keepOld(oldChild);
  Ref<Node> keepSelf(this);
  if (newChild->m_parent) newChild->m_parent->removeChild(newChild);
  mutationevents::nodeRemoved(oldChild, this);
  // Listeners may have changed the tree; check again.
  if (newChild->m_parent || !isChild(oldChild) || !canLink(run, newChild, oldChild)) {
    return nullptr;
  }

  if (Node* previous = previousChildOf(oldChild)) {
    previous->m_nextSibling = newChild;
  } else {
    m_firstChild = newChild;
  }
  newChild->m_nextSibling = oldChild->m_nextSibling;
  if (m_lastChild == oldChild) m_lastChild = newChild;
  newChild->m_parent = this;
  newChild->addRef();  // this node's reference
  oldChild->m_parent = nullptr;
  oldChild->m_nextSibling = nullptr;
  noteTreeChanged();

  mutationevents::nodeInserted(newChild, this);
  oldChild->queueRelease();
  mutationevents::subtreeModified(this);
  return oldChild;
}

// Each Text child absorbs the Text siblings that directly follow it; the walk
// covers the whole subtree without recursion.
void ParentNode::normalize() {
  Ref<Node> current(this);
  while (current) {
    if (current->nodeType() == TEXT_NODE) {
      auto* text = static_cast<Text*>(current.get());
      Node* parent = text->parentNode();
      Node* next = text->nextSibling();
      while (parent && next && next->nodeType() == TEXT_NODE && next->parentNode() == parent) {
        text->appendData(static_cast<Text*>(next)->data());
        parent->removeChild(next);
        next = text->nextSibling();
      }
    }
    Node* following = nextInSubtree(current.get(), this);
    current = Ref<Node>(following);
  }
}

void ParentNode::cloneChildrenInto(Node* copy) const {
  Node* copyParent = copy;
  const Node* source = m_firstChild;
  while (source) {
    Ref<Node> child = const_cast<Node*>(source)->cloneNode(false);
    const bool linked = child && copyParent->appendChild(child.get());
    if (linked && source->firstChild()) {
      copyParent = child.get();
      source = source->firstChild();
      continue;
    }
    // Climb until a node has a next sibling, keeping the copy's level in step.
    while (source && source != this && !source->nextSibling()) {
      source = source->parentNode();
      copyParent = copyParent->parentNode();
    }
    if (!source || source == this) break;
    source = source->nextSibling();
  }
}
