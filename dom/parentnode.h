#pragma once
// The kinds that hold children (elements, documents, fragments, entities). The
// first child starts a singly linked list through the children's next-sibling
// fields; the parent holds one reference to each child and remembers the last,
// so that appending stays cheap however many children there are.

#include <span>

#include "dom/node.h"

class ParentNode : public Node {
 public:
  Node* firstChild() const override { return m_firstChild; }
  Node* lastChild() const override { return m_lastChild; }
  Node* insertBefore(Node* newChild, Node* refChild) override;
  Node* replaceChild(Node* newChild, Node* oldChild) override;
  Node* removeChild(Node* oldChild) override;
  Node* appendChild(Node* newChild) override;
  bool hasChildNodes() const override { return m_firstChild != nullptr; }
  void normalize() override;

 protected:
  explicit ParentNode(Document* ownerDocument) : Node(ownerDocument) {}
  ~ParentNode() override;

  // Clears each child's links and drops this node's reference to it.
  void releaseChildren();
  // Appends a deep copy of each child to `copy`, without recursion.
  void cloneChildrenInto(Node* copy) const;

 private:
  bool isChild(const Node* node) const;
  bool sameDocument(const Node* newChild);
  bool acceptsKind(unsigned short type) const;
  bool canLink(std::span<Node* const> run, const Node* newChild, const Node* replaced) const;
  Node* previousChildOf(const Node* child) const;
  Node* insertRun(Node* newChild, Node* refChild, const Node* replaced);
  void link(std::span<Node* const> run, Node* refChild);

  Node* m_firstChild = nullptr;  // owned, through the list
  Node* m_lastChild = nullptr;   // the end of that list
};
