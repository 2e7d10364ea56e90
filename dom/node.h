#pragma once
// The base of every node of the document model. Nodes are reference counted:
// the creator holds the first reference, a parent one to each child, an element
// one to each attribute. A node taken out of the tree hands its parent's
// reference to its document's ReleaseQueue, so the caller can keep using it
// until the document goes.
//
// Children form a singly linked list through the next-sibling field: the
// parent keeps its last child, previousSibling walks. Each node is also an
// event target.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/refcounted.h"
#include "dom/domstring.h"
#include "dom/eventtarget.h"

class Document;
class NamedNodeMap;
class NodeList;

class Node : public EventTarget {
 public:
  enum NodeType : unsigned short {
    ELEMENT_NODE = 1,
    ATTRIBUTE_NODE = 2,
    TEXT_NODE = 3,
    CDATA_SECTION_NODE = 4,
    ENTITY_REFERENCE_NODE = 5,
    ENTITY_NODE = 6,
    PROCESSING_INSTRUCTION_NODE = 7,
    COMMENT_NODE = 8,
    DOCUMENT_NODE = 9,
    DOCUMENT_TYPE_NODE = 10,
    DOCUMENT_FRAGMENT_NODE = 11,
    NOTATION_NODE = 12,
  };

  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // A document's nodes are carved from its arena: `new (document) T(document,
  // ...)`. A node made without a document (a document itself) comes from the heap.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, Document* document);
  static void operator delete(void* block);
  static void operator delete(void* block, Document* document);

  void addRef() { ++m_refCount; }
  // Destroys the node when the count falls to zero. Destruction never recurses:
  // nodes freed while another is being destroyed wait their turn, so a deep
  // tree goes without deep recursion.
  void release();
  std::int32_t refCount() const { return m_refCount; }

  // EventTarget
  void queueRelease() override;
  void destroy() override;
  void addEventListener(const DomString& type, EventListener* listener, bool useCapture) override;
  void removeEventListener(const DomString& type, EventListener* listener, bool useCapture) override;
  bool dispatchEvent(Event* event) override;

  // Node
  virtual const DomString& nodeName() const;
  virtual const DomString& nodeValue() const;
  virtual void setNodeValue(const DomString& value);
  virtual unsigned short nodeType() const;
  virtual Node* parentNode() const;
  virtual Ref<NodeList> childNodes();
  virtual Node* firstChild() const;
  virtual Node* lastChild() const;
  virtual Node* previousSibling() const;
  virtual Node* nextSibling() const;
  virtual Ref<NamedNodeMap> attributes();
  virtual Document* ownerDocument() const;
  virtual Node* insertBefore(Node* newChild, Node* refChild);
  virtual Node* replaceChild(Node* newChild, Node* oldChild);
  virtual Node* removeChild(Node* oldChild);
  virtual Node* appendChild(Node* newChild);
  virtual bool hasChildNodes() const;
  virtual Ref<Node> cloneNode(bool deep);
  virtual void normalize();
  virtual bool isSupported(const DomString& feature, const DomString& version) const;
  virtual const DomString& namespaceURI() const;
  virtual DomString prefix() const;
  virtual const DomString& localName() const;
  virtual bool hasAttributes() const;
  // Moves the node (and what it owns) to `doc`, interning its names in doc's
  // pool. Answers false when a name did not fit there; that node keeps its old name.
  virtual bool setOwnerDocument(Document* doc);

  // The document whose ReleaseQueue and pool this node uses: the owner
  // document, or the node itself when it is a document.
  Document* documentForNode();
  bool hasListeners() const { return m_listeners && !m_listeners->empty(); }

 protected:
  explicit Node(Document* ownerDocument);
  virtual ~Node();

  bool isAncestorOf(const Node* node) const;

  // For an Attr this holds the owner element.
  Node* m_parent = nullptr;             // not owned
  Node* m_nextSibling = nullptr;        // the parent owns its children
  Document* m_ownerDocument = nullptr;  // not owned; cleared if the document dies first

 private:
  friend class Document;
  friend class ParentNode;
  friend class Element;

  void callListeners(Event* event, bool captureOnly, bool bubbleOnly);
  static bool adoptOne(Node* node, Document* doc);
  void joinDocument(Document* doc);
  void leaveDocument();

  std::int32_t m_refCount = 1;
  std::unique_ptr<ListenerList> m_listeners;  // made on the first registration

  // Every node of a document is on its document's list of nodes, so that nodes
  // that outlive their document can be told it is gone.
  Node* m_prevInDocument = nullptr;
  Node* m_nextInDocument = nullptr;
};

// Increases with every change to any child list; live collections use it to
// know that a remembered position is still good.
std::uint64_t domTreeVersion();
void noteTreeChanged();

// The next node after `current` in document order, staying inside the subtree
// of `root` (none at its end). Attributes are not part of the walk.
Node* nextInSubtree(const Node* current, const Node* root);

// Destroys the nodes waiting to be destroyed; a document calls it before it
// goes, while the nodes can still reach it.
void destroyPendingNodes();
