#pragma once
// The doctype of a document: made by DOMImplementation::createDocumentType
// with no owner document and adopted by the document created with it.

#include "dom/domstrings.h"
#include "dom/node.h"

class NamedNodeMap;

class DocumentType : public Node {
 public:
  DocumentType(const DomString& name, const DomString& publicId, const DomString& systemId)
      : Node(nullptr), m_name(name), m_publicId(publicId), m_systemId(systemId) {}

  const DomString& nodeName() const override { return m_name; }
  unsigned short nodeType() const override { return DOCUMENT_TYPE_NODE; }

  virtual const DomString& name() const { return m_name; }
  // Read-only views of the owner document's Entity and Notation children.
  virtual Ref<NamedNodeMap> entities();
  virtual Ref<NamedNodeMap> notations();
  virtual const DomString& publicId() const { return m_publicId; }
  virtual const DomString& systemId() const { return m_systemId; }
  virtual const DomString& internalSubset() const { return domstrings::empty(); }

 protected:
  ~DocumentType() override = default;

 private:
  DomString m_name;
  DomString m_publicId;
  DomString m_systemId;
};
