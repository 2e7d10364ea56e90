#pragma once
// Live maps of nodes by name: an element's attributes, and a doctype's view of
// its document's entities or notations. Reference counted; each keeps the
// node it looks at alive.

#include <cstddef>

#include "base/refcounted.h"
#include "dom/domstring.h"
#include "dom/node.h"

class DocumentType;
class Element;

class NamedNodeMap : public RefCounted {
 public:
  virtual Node* getNamedItem(const DomString& name) = 0;
  virtual Node* setNamedItem(Node* arg) = 0;
  virtual Node* removeNamedItem(const DomString& name) = 0;
  virtual Node* item(std::size_t index) = 0;
  virtual std::size_t length() = 0;
  virtual Node* getNamedItemNS(const DomString& namespaceURI, const DomString& localName) = 0;
  virtual Node* setNamedItemNS(Node* arg) = 0;
  virtual Node* removeNamedItemNS(const DomString& namespaceURI, const DomString& localName) = 0;

 protected:
  NamedNodeMap() = default;
};

class AttributeMap : public NamedNodeMap {
 public:
  static Ref<NamedNodeMap> create(Element* element);

  Node* getNamedItem(const DomString& name) override;
  Node* setNamedItem(Node* arg) override;
  Node* removeNamedItem(const DomString& name) override;
  Node* item(std::size_t index) override;
  std::size_t length() override;
  Node* getNamedItemNS(const DomString& namespaceURI, const DomString& localName) override;
  Node* setNamedItemNS(Node* arg) override;
  Node* removeNamedItemNS(const DomString& namespaceURI, const DomString& localName) override;

 private:
  explicit AttributeMap(Element* element);

  Ref<Node> m_element;
};

// Read-only: the three modifying operations answer none.
class TypedChildMap : public NamedNodeMap {
 public:
  static Ref<NamedNodeMap> create(DocumentType* doctype, unsigned short nodeType);

  Node* getNamedItem(const DomString& name) override;
  Node* setNamedItem(Node*) override { return nullptr; }
  Node* removeNamedItem(const DomString&) override { return nullptr; }
  Node* item(std::size_t index) override;
  std::size_t length() override;
  Node* getNamedItemNS(const DomString& namespaceURI, const DomString& localName) override;
  Node* setNamedItemNS(Node*) override { return nullptr; }
  Node* removeNamedItemNS(const DomString&, const DomString&) override { return nullptr; }

 private:
  TypedChildMap(DocumentType* doctype, unsigned short nodeType);
  Node* first() const;
  Node* next(Node* after) const;

  Ref<Node> m_doctype;
  unsigned short m_nodeType;
};
