#include "dom/document.h"

#include "dom/attr.h"
#include "dom/characterdata.h"
#include "dom/documentfragment.h"
#include "dom/documenttype.h"
#include "dom/domimplementation.h"
#include "dom/domstrings.h"
#include "dom/element.h"
#include "dom/entity.h"
#include "dom/entityreference.h"
#include "dom/event.h"
#include "dom/nodelist.h"
#include "dom/notation.h"
#include "dom/processinginstruction.h"

Document::Document(DocumentType* doctype, NamePool* pool) : ParentNode(nullptr), m_namePool(pool) {
  if (!m_namePool) m_namePool = NamePool::create();
  if (doctype && !doctype->ownerDocument()) {
    m_doctype = Ref<DocumentType>(doctype);
    doctype->setOwnerDocument(this);
  }
}

Ref<Document> Document::create(DocumentType* doctype, NamePool* pool) {
  return Ref<Document>::adopt(new Document(doctype, pool));
}

Document::~Document() {
  m_doctype = Ref<DocumentType>();
  m_releaseQueue.flush();
  releaseChildren();
  // Destroy what that freed while this document is still here for them.
  destroyPendingNodes();
  // Whatever is left is held by someone else; it outlives the document.
  while (m_firstNodeInDocument) m_firstNodeInDocument->leaveDocument();
  m_namePool = Ref<NamePool>();
}

const DomString& Document::nodeName() const { return domstrings::documentName(); }

DocumentType* Document::doctype() const { return m_doctype.get(); }

DOMImplementation* Document::implementation() const { return DOMImplementation::instance(); }

Element* Document::documentElement() const {
  for (Node* child = firstChild(); child; child = child->nextSibling()) {
    if (child->nodeType() == ELEMENT_NODE) return static_cast<Element*>(child);
  }
  return nullptr;
}

const PooledName* Document::internName(WideStringView qualifiedName) {
  if (qualifiedName.empty()) return nullptr;
  return m_namePool->intern({}, {}, qualifiedName);
}

DomString Document::localPart(const DomString& qualifiedName) {
  const std::size_t colon = qualifiedName.find(u':');
  return colon == DomString::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

Ref<Element> Document::createElement(const DomString& tagName) {
  const PooledName* name = internName(tagName);
  if (!name) return {};
  return Ref<Element>::adopt(new (this) Element(this, name));
}

Ref<DocumentFragment> Document::createDocumentFragment() {
  return Ref<DocumentFragment>::adopt(new (this) DocumentFragment(this));
}

Ref<Text> Document::createTextNode(DomString data) { return Ref<Text>::adopt(new (this) Text(this, std::move(data))); }

Ref<Comment> Document::createComment(const DomString& data) {
  return Ref<Comment>::adopt(new (this) Comment(this, data));
}

Ref<CDATASection> Document::createCDATASection(const DomString& data) {
  return Ref<CDATASection>::adopt(new (this) CDATASection(this, data));
}

Ref<ProcessingInstruction> Document::createProcessingInstruction(const DomString& target, const DomString& data) {
  return Ref<ProcessingInstruction>::adopt(new (this) ProcessingInstruction(this, target, data));
}

Ref<Attr> Document::createAttribute(const DomString& name) {
  const PooledName* pooled = internName(name);
  if (!pooled) return {};
  return Ref<Attr>::adopt(new (this) Attr(this, pooled));
}

Ref<EntityReference> Document::createEntityReference(const DomString& name) {
  return Ref<EntityReference>::adopt(new (this) EntityReference(this, name));
}

Ref<NodeList> Document::getElementsByTagName(const DomString& tagname) {
  return TagNameNodeList::create(this, tagname);
}

Ref<Node> Document::importNode(Node* importedNode, bool deep) {
  if (!importedNode) return {};
  Ref<Node> copy = importedNode->cloneNode(deep);
  if (!copy || !copy->setOwnerDocument(this)) return {};
  return copy;
}

Ref<Element> Document::createElementNS(const DomString& namespaceURI, const DomString& qualifiedName) {
  if (qualifiedName.empty()) return {};
  const PooledName* name = m_namePool->intern(namespaceURI, localPart(qualifiedName), qualifiedName);
  if (!name) return {};
  return Ref<Element>::adopt(new (this) Element(this, name));
}

Ref<Attr> Document::createAttributeNS(const DomString& namespaceURI, const DomString& qualifiedName) {
  if (qualifiedName.empty()) return {};
  const PooledName* name = m_namePool->intern(namespaceURI, localPart(qualifiedName), qualifiedName);
  if (!name) return {};
  return Ref<Attr>::adopt(new (this) Attr(this, name));
}

Ref<NodeList> Document::getElementsByTagNameNS(const DomString& namespaceURI, const DomString& localName) {
  return TagNameNSNodeList::create(this, namespaceURI, localName);
}

Element* Document::getElementById(const DomString&) { return nullptr; }

Ref<Element> Document::createElementByTag(const DomString& tagName) { return createElement(tagName); }

Ref<Event> Document::createEvent(const DomString& eventType) {
  if (!domstrings::isMutationEventType(eventType)) return {};
  Ref<MutationEvent> event = MutationEvent::create();
  event->initMutationEvent(eventType, true, false, nullptr, DomString(), DomString(), DomString(), 0);
  return Ref<Event>::adopt(event.leak());
}

Ref<Entity> Document::createEntity(const DomString& publicId, const DomString& systemId,
                                   const DomString& notationName) {
  return Ref<Entity>::adopt(new (this) Entity(this, publicId, systemId, notationName));
}

Ref<Notation> Document::createNotation(const DomString& name, const DomString& publicId, const DomString& systemId) {
  return Ref<Notation>::adopt(new (this) Notation(this, name, publicId, systemId));
}
