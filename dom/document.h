#pragma once
// A document: the root of a tree, the factory of its nodes, the owner of the
// pool its names are interned in and of the ReleaseQueue that keeps removed
// nodes alive. Richer documents (the skin's SVG document) derive from it and
// override createElementByTag, the factory the XML loader builds through.
//
// When a document is destroyed it releases its doctype, its pool, the queue
// and its children; nodes someone still holds survive with no owner document
// and refuse operations that need one.

#include <cstddef>

#include "dom/namepool.h"
#include "dom/nodearena.h"
#include "dom/parentnode.h"
#include "dom/releasequeue.h"

class Attr;
class CDATASection;
class Comment;
class DOMImplementation;
class DocumentFragment;
class DocumentType;
class Element;
class Entity;
class EntityReference;
class Event;
class NodeList;
class Notation;
class ProcessingInstruction;
class Text;

class DocumentEvent {
 public:
  // A new MutationEvent for one of the seven mutation event types (bubbling,
  // not cancelable, no related node); none for any other name.
  virtual Ref<Event> createEvent(const DomString& eventType) = 0;

 protected:
  ~DocumentEvent() = default;
};

class Document : public ParentNode, public DocumentEvent {
 public:
  // A document with its own 251-slot pool, or sharing `pool`. It adopts
  // `doctype` unless that already belongs to a document.
  explicit Document(DocumentType* doctype = nullptr, NamePool* pool = nullptr);
  static Ref<Document> create(DocumentType* doctype = nullptr, NamePool* pool = nullptr);

  const DomString& nodeName() const override;
  unsigned short nodeType() const override { return DOCUMENT_NODE; }
  Document* ownerDocument() const override { return nullptr; }
  Ref<Node> cloneNode(bool) override { return {}; }
  bool setOwnerDocument(Document*) override { return false; }

  virtual DocumentType* doctype() const;
  virtual DOMImplementation* implementation() const;
  virtual Element* documentElement() const;
  // The element factories answer none when the name is empty or does not fit
  // in the pool.
  virtual Ref<Element> createElement(const DomString& tagName);
  virtual Ref<DocumentFragment> createDocumentFragment();
  virtual Ref<Text> createTextNode(DomString data);
  virtual Ref<Comment> createComment(const DomString& data);
  virtual Ref<CDATASection> createCDATASection(const DomString& data);
  virtual Ref<ProcessingInstruction> createProcessingInstruction(const DomString& target, const DomString& data);
  virtual Ref<Attr> createAttribute(const DomString& name);
  virtual Ref<EntityReference> createEntityReference(const DomString& name);
  virtual Ref<NodeList> getElementsByTagName(const DomString& tagname);
  // A copy of `importedNode` (deep or not) moved into this document; none when
  // the node cannot be copied or one of its names does not fit in the pool.
  virtual Ref<Node> importNode(Node* importedNode, bool deep);
  virtual Ref<Element> createElementNS(const DomString& namespaceURI, const DomString& qualifiedName);
  virtual Ref<Attr> createAttributeNS(const DomString& namespaceURI, const DomString& qualifiedName);
  virtual Ref<NodeList> getElementsByTagNameNS(const DomString& namespaceURI, const DomString& localName);
  // None here; documents that know their ids override it.
  virtual Element* getElementById(const DomString& elementId);
  // The element factory by tag name that loaders build through. A plain
  // document makes a plain element for any tag (createElement).
  virtual Ref<Element> createElementByTag(const DomString& tagName);

  // DocumentEvent
  Ref<Event> createEvent(const DomString& eventType) override;

  // Declarations for the doctype's entity and notation maps.
  Ref<Entity> createEntity(const DomString& publicId, const DomString& systemId, const DomString& notationName);
  Ref<Notation> createNotation(const DomString& name, const DomString& publicId, const DomString& systemId);

  NamePool* namePool() const { return m_namePool.get(); }
  // The pooled entry for a name made by a Level 1 factory (empty namespace and
  // local name); none when the pool is full. For element classes of derived
  // documents.
  const PooledName* internName(WideStringView qualifiedName);
  ReleaseQueue& releaseQueue() { return m_releaseQueue; }
  void flushReleaseQueue() { m_releaseQueue.flush(); }
  const NodeArena& nodeArena() const { return *m_nodeArena; }
  NodeArena& nodeArena() { return *m_nodeArena; }

  // Told by a loader before and after it builds the document from a file, so
  // that a richer document can share what its elements would each work out
  // again while the load lasts.
  virtual void loadStarted() {}
  virtual void loadFinished() {}

  // While suppressed, tree changes fire no mutation events (bulk building).
  void setMutationEventsSuppressed(bool suppressed) { m_mutationEventsSuppressed = suppressed; }
  bool mutationEventsSuppressed() const { return m_mutationEventsSuppressed; }
  // Registrations on this document and its nodes; with none, no event made
  // for a change could reach anyone.
  std::size_t listenerCount() const { return m_listenerCount; }

 protected:
  ~Document() override;

 private:
  friend class Node;

  static DomString localPart(const DomString& qualifiedName);

  // Declared first so that it goes last: the nodes below are carved from it.
  NodeArena::Owned m_nodeArena = NodeArena::create();
  Ref<DocumentType> m_doctype;
  Ref<NamePool> m_namePool;
  ReleaseQueue m_releaseQueue;
  bool m_mutationEventsSuppressed = false;
  std::size_t m_listenerCount = 0;
  Node* m_firstNodeInDocument = nullptr;  // every live node owned by this document
};
