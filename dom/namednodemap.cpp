#include "dom/namednodemap.h"

#include "dom/document.h"
#include "dom/documenttype.h"
#include "dom/element.h"

namespace {

Attr* asAttr(Node* node) {
  return node && node->nodeType() == Node::ATTRIBUTE_NODE ? static_cast<Attr*>(node) : nullptr;
}

}  // namespace

Ref<NamedNodeMap> AttributeMap::create(Element* element) {
  if (!element) return {};
  return Ref<NamedNodeMap>::adopt(new AttributeMap(element));
}

AttributeMap::AttributeMap(Element* element) : m_element(element) {}

static Element* elementOf(const Ref<Node>& node) { return static_cast<Element*>(node.get()); }

Node* AttributeMap::getNamedItem(const DomString& name) { return elementOf(m_element)->getAttributeNode(name); }

Node* AttributeMap::setNamedItem(Node* arg) { return elementOf(m_element)->setAttributeNode(asAttr(arg)); }

Node* AttributeMap::removeNamedItem(const DomString& name) {
  Attr* attr = elementOf(m_element)->getAttributeNode(name);
  return attr ? elementOf(m_element)->removeAttributeNode(attr) : nullptr;
}

Node* AttributeMap::item(std::size_t index) {
  Attr* attr = elementOf(m_element)->firstAttribute();
  for (std::size_t i = 0; attr && i < index; ++i) attr = attr->nextAttribute();
  return attr;
}

std::size_t AttributeMap::length() {
  std::size_t count = 0;
  for (Attr* a = elementOf(m_element)->firstAttribute(); a; a = a->nextAttribute()) ++count;
  return count;
}

Node* AttributeMap::getNamedItemNS(const DomString& namespaceURI, const DomString& localName) {
  return elementOf(m_element)->getAttributeNodeNS(namespaceURI, localName);
}

Node* AttributeMap::setNamedItemNS(Node* arg) { return elementOf(m_element)->setAttributeNodeNS(asAttr(arg)); }

Node* AttributeMap::removeNamedItemNS(const DomString& namespaceURI, const DomString& localName) {
  Attr* attr = elementOf(m_element)->getAttributeNodeNS(namespaceURI, localName);
  return attr ? elementOf(m_element)->removeAttributeNode(attr) : nullptr;
}

Ref<NamedNodeMap> TypedChildMap::create(DocumentType* doctype, unsigned short nodeType) {
  if (!doctype) return {};
  return Ref<NamedNodeMap>::adopt(new TypedChildMap(doctype, nodeType));
}

TypedChildMap::TypedChildMap(DocumentType* doctype, unsigned short nodeType)
    : m_doctype(doctype), m_nodeType(nodeType) {}

Node* TypedChildMap::first() const {
  Document* doc = m_doctype->ownerDocument();
  Node* n = doc ? doc->firstChild() : nullptr;
  while (n && n->nodeType() != m_nodeType) n = n->nextSibling();
  return n;
}

Node* TypedChildMap::next(Node* after) const {
  Node* n = after->nextSibling();
  while (n && n->nodeType() != m_nodeType) n = n->nextSibling();
  return n;
}

Node* TypedChildMap::getNamedItem(const DomString& name) {
  for (Node* n = first(); n; n = next(n)) {
    if (n->nodeName() == name) return n;
  }
  return nullptr;
}

Node* TypedChildMap::item(std::size_t index) {
  Node* n = first();
  for (std::size_t i = 0; n && i < index; ++i) n = next(n);
  return n;
}

std::size_t TypedChildMap::length() {
  std::size_t count = 0;
  for (Node* n = first(); n; n = next(n)) ++count;
  return count;
}

Node* TypedChildMap::getNamedItemNS(const DomString& namespaceURI, const DomString& localName) {
  for (Node* n = first(); n; n = next(n)) {
    if (n->localName() == localName && n->namespaceURI() == namespaceURI) return n;
  }
  return nullptr;
}
