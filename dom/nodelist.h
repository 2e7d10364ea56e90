#pragma once
// Live node lists: each call looks at the tree as it is now. Lists are
// reference counted and keep the node they start from alive.

#include <cstddef>
#include <cstdint>

#include "base/refcounted.h"
#include "dom/domstring.h"
#include "dom/node.h"

class Element;

class NodeList : public RefCounted {
 public:
  // None when index is past the end.
  virtual Node* item(std::size_t index) = 0;
  virtual std::size_t length() = 0;

 protected:
  NodeList() = default;
};

// The children of a node.
class ChildNodeList : public NodeList {
 public:
  static Ref<NodeList> create(Node* parent);

  Node* item(std::size_t index) override;
  std::size_t length() override;

 private:
  explicit ChildNodeList(Node* parent) : m_parent(parent) {}

  Ref<Node> m_parent;
  // Where the last walk ended, good while the tree version is unchanged, so a
  // loop over item(i) does not walk from the start every time.
  std::uint64_t m_version = 0;
  std::size_t m_index = 0;
  Node* m_node = nullptr;
};

// Descendant elements of a root (not the root itself) in document order that
// match a name.
class SubtreeElementList : public NodeList {
 public:
  Node* item(std::size_t index) override;
  std::size_t length() override;

 protected:
  explicit SubtreeElementList(Node* root) : m_root(root) {}
  virtual bool matches(const Node* element) const = 0;

 private:
  Node* nextMatch(Node* after);

  Ref<Node> m_root;
  std::uint64_t m_version = 0;
  bool m_remembered = false;
  std::size_t m_index = 0;
  Node* m_node = nullptr;
  std::size_t m_length = 0;
  bool m_lengthKnown = false;
};

// Elements whose nodeName equals a name; "*" matches every element.
class TagNameNodeList : public SubtreeElementList {
 public:
  static Ref<NodeList> create(Node* root, const DomString& name);

 protected:
  bool matches(const Node* element) const override;

 private:
  TagNameNodeList(Node* root, const DomString& name);

  DomString m_name;
  bool m_any;
};

// Elements whose namespace URI and local name match; either may be "*".
class TagNameNSNodeList : public SubtreeElementList {
 public:
  static Ref<NodeList> create(Node* root, const DomString& namespaceURI, const DomString& localName);

 protected:
  bool matches(const Node* element) const override;

 private:
  TagNameNSNodeList(Node* root, const DomString& namespaceURI, const DomString& localName);

  DomString m_namespaceURI;
  DomString m_localName;
  bool m_anyNamespace;
  bool m_anyLocalName;
};
