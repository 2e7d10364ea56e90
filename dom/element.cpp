#include "dom/element.h"

#include <new>
#include <utility>

#include "dom/document.h"
#include "dom/domstrings.h"
#include "dom/event.h"
#include "dom/mutationevents.h"
#include "dom/namednodemap.h"
#include "dom/nodelist.h"

Element::Element(Document* ownerDocument, const PooledName* name)
    : ParentNode(ownerDocument), m_pool(ownerDocument ? ownerDocument->namePool() : nullptr), m_name(name) {}

Element::~Element() {
  dropParsed();
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
  materializeAttributes();
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

namespace {

// The loader hands an element its pooled names, so the same string is often
// the very one asked about.
bool isNamed(const DomString& name, const DomString& wanted) { return &name == &wanted || name == wanted; }

}  // namespace

const DomString& Element::getAttribute(const DomString& name) const {
  const DomString* value = attributeValue(name);
  return value ? *value : domstrings::empty();
}

// Parsed attributes are looked at from the newest: the loader asks about
// the one it has just set.
Element::AttributeEntry Element::findAttribute(const DomString& name) const {
  for (std::uint32_t i = m_parsedCount; i-- > 0;) {
    if (isNamed(m_parsed[i].name->qualifiedName, name)) return {m_parsed[i].name, &m_parsed[i].value};
  }
  const Attr* attr = findAttributeNode(name);
  return attr ? AttributeEntry{attr->pooledName(), &attr->value()} : AttributeEntry{};
}

bool Element::setAttribute(const DomString& name, DomString value) {
  Document* doc = m_ownerDocument;
  Ref<Attr> attr = doc ? doc->createAttribute(name) : Ref<Attr>();
  if (!attr) return false;
  attr->m_value = std::move(value);  // not yet on an element: nobody to tell
  setAttributeNode(attr.get());
  return true;
}

const DomString* Element::setParsedAttribute(const PooledName* pooled, WideStringView value, Earlier earlier) {
  Document* doc = m_ownerDocument;
  if (!doc) return nullptr;
  if (earlier == Earlier::CannotExist && keepsParsedAttributes()) {
    appendParsed(pooled, value);
    return &m_parsed[m_parsedCount - 1].value;
  }
  Ref<Attr> attr = Ref<Attr>::adopt(new (doc) Attr(doc, pooled));
  attr->m_value = value;
  setAttributeNode(attr.get());
  // Found again: a listener may have taken it off or replaced it.
  const DomString* kept = attributeValue(pooled->qualifiedName);
  return kept ? kept : &domstrings::empty();
}

// A change someone could hear needs an Attr node to name in its event.
bool Element::keepsParsedAttributes() const {
  const Document* doc = m_ownerDocument;
  const bool heard = doc && !doc->mutationEventsSuppressed() && doc->listenerCount() != 0;
  return doc && !heard && !m_firstAttribute;
}

void Element::reserveParsedAttributes(std::uint32_t count) {
  if (count > m_parsedCapacity && !m_firstAttribute) growParsed(count);
}

// The block grows by doubling; entries move to the new block.
void Element::appendParsed(const PooledName* name, WideStringView value) {
  if (m_parsedCount == m_parsedCapacity) growParsed(m_parsedCapacity ? m_parsedCapacity * 2 : 4);
  new (&m_parsed[m_parsedCount]) ParsedAttribute{name, DomString(value)};
  ++m_parsedCount;
}

void Element::growParsed(std::uint32_t capacity) {
  const std::size_t bytes = capacity * sizeof(ParsedAttribute);
  void* block = m_ownerDocument ? m_ownerDocument->nodeArena().allocate(bytes) : NodeArena::allocateAlone(bytes);
  auto* grown = static_cast<ParsedAttribute*>(block);
  for (std::uint32_t i = 0; i < m_parsedCount; ++i) {
    new (&grown[i]) ParsedAttribute{m_parsed[i].name, std::move(m_parsed[i].value)};
    m_parsed[i].~ParsedAttribute();
  }
  NodeArena::deallocate(std::exchange(m_parsed, grown));
  m_parsedCapacity = capacity;
}

void Element::materializeAttributes() const {
  if (m_parsedCount == 0) return;
  // Whatever happens on the way, the parsed block goes when this returns.
  struct DropParsed {
    const Element* element;
    ~DropParsed() { element->dropParsed(); }
  } drop{this};
  auto* self = const_cast<Element*>(this);
  for (std::uint32_t i = 0; i < m_parsedCount; ++i) {
    Ref<Attr> attr = Ref<Attr>::adopt(new (m_ownerDocument) Attr(m_ownerDocument, m_parsed[i].name));
    attr->m_pool = m_pool;
    attr->m_value = std::move(m_parsed[i].value);
    self->appendAttribute(attr.get());
  }
}

void Element::dropParsed() const {
  for (std::uint32_t i = 0; i < m_parsedCount; ++i) m_parsed[i].~ParsedAttribute();
  NodeArena::deallocate(std::exchange(m_parsed, nullptr));
  m_parsedCount = m_parsedCapacity = 0;
}

Attr* Element::firstAttribute() const {
  materializeAttributes();
  return m_firstAttribute;
}

void Element::removeAttribute(const DomString& name) {
  if (Attr* attr = getAttributeNode(name)) removeAttributeNode(attr);
}

Attr* Element::getAttributeNode(const DomString& name) const {
  materializeAttributes();
  return findAttributeNode(name);
}

Attr* Element::findAttributeNode(const DomString& name) const {
  for (Attr* attr = m_firstAttribute; attr; attr = attr->nextAttribute()) {
    if (isNamed(attr->name(), name)) return attr;
  }
  return nullptr;
}

Attr* Element::setAttributeNode(Attr* newAttr) { return installAttribute(newAttr, Match::QualifiedName); }

Attr* Element::installAttribute(Attr* newAttr, Match match) {
  if (!newAttr || !m_ownerDocument || newAttr->m_ownerDocument != m_ownerDocument || newAttr->m_parent) {
    return nullptr;
  }
  Ref<Attr> keep(newAttr);
  materializeAttributes();
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

void Element::parsedAttributeSet(const PooledName* name, const DomString&) { attributeChanged(name->qualifiedName); }

void Element::parsedAttributesSet() {
  for (const ParsedAttribute& attribute : parsedAttributes()) parsedAttributeSet(attribute.name, attribute.value);
}

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
  materializeAttributes();
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
