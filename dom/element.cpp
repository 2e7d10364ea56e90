#include "dom/element.h"

#include "dom/document.h"
#include "dom/domstrings.h"
#include "dom/event.h"
#include "dom/mutationevents.h"
#include "dom/namednodemap.h"
#include "dom/nodelist.h"

Element::Element(Document* ownerDocument, const PooledName* name)
    : ParentNode(ownerDocument), m_pool(ownerDocument ? ownerDocument->namePool() : nullptr), m_name(name) {}

Element::~Element() {
  Attr* attr = m_firstAttribute;
  m_firstAttribute = m_lastAttribute = nullptr;
  while (attr) {
    Attr* next = attr->nextAttribute();
    attr->m_parent = nullptr;
    attr->m_nextSibling = nullptr;
    attr->release();
    attr = next;
  }
}

Ref<NamedNodeMap> Element::attributes() { return AttributeMap::create(this); }

Ref<Node> Element::cloneNode(bool deep) {
  auto* copy = new (m_ownerDocument) Element(m_ownerDocument, m_name);
  Ref<Node> result = Ref<Node>::adopt(copy);
  copy->m_pool = m_pool;
  for (Attr* attr = m_firstAttribute; attr; attr = attr->nextAttribute()) {
    Ref<Node> attrCopy = attr->cloneNode(false);
    copy->setAttributeNode(static_cast<Attr*>(attrCopy.get()));
  }
  if (deep) cloneChildrenInto(copy);
  return result;
}

const DomString& Element::getAttribute(const DomString& name) const {
  const Attr* attr = getAttributeNode(name);
  return attr ? attr->value() : domstrings::empty();
}

bool Element::setAttribute(const DomString& name, DomString value) {
  Document* doc = m_ownerDocument;
  Ref<Attr> attr = doc ? doc->createAttribute(name) : Ref<Attr>();
  if (!attr) return false;
  attr->m_value = std::move(value);  // not yet on an element: nobody to tell
  setAttributeNode(attr.get());
  return true;
}

const PooledName* Element::setParsedAttribute(WideStringView name, WideStringView value, Earlier earlier) {
  Document* doc = m_ownerDocument;
  const PooledName* pooled = doc && !name.empty() ? doc->internName(name) : nullptr;
  if (!pooled) return nullptr;
  Ref<Attr> attr = Ref<Attr>::adopt(new (doc) Attr(doc, pooled));
  attr->m_value = value;
  if (earlier == Earlier::MayExist) {
    setAttributeNode(attr.get());
  } else {
    appendAttribute(attr.get());
    mutationevents::attrModified(this, attr.get(), domstrings::empty(), attr->value(), MutationEvent::ADDITION);
  }
  return pooled;
}

void Element::removeAttribute(const DomString& name) {
  if (Attr* attr = getAttributeNode(name)) removeAttributeNode(attr);
}

Attr* Element::getAttributeNode(const DomString& name) const {
  for (Attr* attr = m_firstAttribute; attr; attr = attr->nextAttribute()) {
    if (attr->name() == name) return attr;
  }
  return nullptr;
}

Attr* Element::setAttributeNode(Attr* newAttr) { return installAttribute(newAttr, Match::QualifiedName); }

Attr* Element::installAttribute(Attr* newAttr, Match match) {
  if (!newAttr || !m_ownerDocument || newAttr->m_ownerDocument != m_ownerDocument || newAttr->m_parent) {
    return nullptr;
  }
  Ref<Attr> keep(newAttr);
  // An attribute made by the Level 1 factory has no local name; by namespace
  // it would match every other such attribute, so it replaces by name.
  const bool byName = match == Match::QualifiedName || newAttr->localName().empty();
  Attr* old =
      byName ? getAttributeNode(newAttr->name()) : getAttributeNodeNS(newAttr->namespaceURI(), newAttr->localName());
  if (old) removeAttributeNode(old);
  // A removal listener may have installed it somewhere meanwhile.
  if (newAttr->m_parent) return nullptr;
  appendAttribute(newAttr);
  mutationevents::attrModified(this, newAttr, domstrings::empty(), newAttr->value(), MutationEvent::ADDITION);
  return old;
}

void Element::appendAttribute(Attr* attr) {
  if (!m_firstAttribute) {
    m_firstAttribute = attr;
  } else {
    m_lastAttribute->m_nextSibling = attr;
  }
  m_lastAttribute = attr;
  attr->m_parent = this;
  attr->m_nextSibling = nullptr;
  attr->addRef();
}

Attr* Element::removeAttributeNode(Attr* oldAttr) {
  if (!oldAttr || oldAttr->m_parent != this || !m_ownerDocument) return nullptr;
  Ref<Attr> keep(oldAttr);
  mutationevents::attrModified(this, oldAttr, oldAttr->value(), domstrings::empty(), MutationEvent::REMOVAL);
  if (oldAttr->m_parent != this) return nullptr;  // a listener removed it already
  Node* previous = oldAttr->previousSibling();
  if (previous) {
    previous->m_nextSibling = oldAttr->m_nextSibling;
  } else {
    m_firstAttribute = oldAttr->nextAttribute();
  }
  if (m_lastAttribute == oldAttr) m_lastAttribute = static_cast<Attr*>(previous);
  oldAttr->m_parent = nullptr;
  oldAttr->m_nextSibling = nullptr;
  oldAttr->queueRelease();
  return oldAttr;
}

Ref<NodeList> Element::getElementsByTagName(const DomString& name) { return TagNameNodeList::create(this, name); }

void Element::attributeChanged(const DomString&) {}

const DomString& Element::getAttributeNS(const DomString& namespaceURI, const DomString& localName) const {
  const Attr* attr = getAttributeNodeNS(namespaceURI, localName);
  return attr ? attr->value() : domstrings::empty();
}

bool Element::setAttributeNS(const DomString& namespaceURI, const DomString& qualifiedName, const DomString& value) {
  Document* doc = m_ownerDocument;
  Ref<Attr> attr = doc ? doc->createAttributeNS(namespaceURI, qualifiedName) : Ref<Attr>();
  if (!attr) return false;
  attr->setValue(value);
  setAttributeNodeNS(attr.get());
  return true;
}

void Element::removeAttributeNS(const DomString& namespaceURI, const DomString& localName) {
  if (Attr* attr = getAttributeNodeNS(namespaceURI, localName)) removeAttributeNode(attr);
}

Attr* Element::getAttributeNodeNS(const DomString& namespaceURI, const DomString& localName) const {
  // Attributes without a local name (Level 1 ones) are found by name only.
  if (localName.empty()) return nullptr;
  for (Attr* attr = m_firstAttribute; attr; attr = attr->nextAttribute()) {
    if (attr->localName() == localName && attr->namespaceURI() == namespaceURI) return attr;
  }
  return nullptr;
}

Attr* Element::setAttributeNodeNS(Attr* newAttr) { return installAttribute(newAttr, Match::NamespaceAndLocalName); }

Ref<NodeList> Element::getElementsByTagNameNS(const DomString& namespaceURI, const DomString& localName) {
  return TagNameNSNodeList::create(this, namespaceURI, localName);
}

bool Element::internNameIn(Document* doc) {
  const PooledName* name = doc->namePool()->intern(m_name->namespaceURI, m_name->localName, m_name->qualifiedName);
  if (!name) return false;
  m_pool = Ref<NamePool>(doc->namePool());
  m_name = name;
  return true;
}
