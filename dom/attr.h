#pragma once
// An attribute node. Its name is interned in the document's pool; its owner
// element is kept in the parent field (parentNode still answers none), and the
// attributes of an element form a list through their next-sibling fields.

#include "dom/namepool.h"
#include "dom/node.h"

class Element;

class Attr final : public Node {
 public:
  Attr(Document* ownerDocument, const PooledName* name);

  const DomString& nodeName() const override { return m_name->qualifiedName; }
  const DomString& nodeValue() const override { return m_value; }
  void setNodeValue(const DomString& value) override { setValue(value); }
  unsigned short nodeType() const override { return ATTRIBUTE_NODE; }
  Node* parentNode() const override { return nullptr; }
  Ref<Node> cloneNode(bool deep) override;
  const DomString& namespaceURI() const override { return m_name->namespaceURI; }
  const DomString& localName() const override { return m_name->localName; }

  virtual const DomString& name() const { return m_name->qualifiedName; }
  virtual bool specified() const { return true; }
  virtual const DomString& value() const { return m_value; }
  // On an attribute of an element, fires DOMAttrModified (modification) there.
  virtual void setValue(const DomString& value);
  virtual Element* ownerElement() const;

  const PooledName* pooledName() const { return m_name; }
  Attr* nextAttribute() const { return static_cast<Attr*>(m_nextSibling); }
  // Re-interns the name in doc's pool; false (name unchanged) when it is full.
  bool internNameIn(Document* doc);

 protected:
  ~Attr() override = default;

 private:
  friend class Element;

  Ref<NamePool> m_pool;  // keeps m_name valid
  const PooledName* m_name;
  DomString m_value;
};
