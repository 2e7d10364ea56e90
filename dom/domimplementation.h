#pragma once
// The process-wide DOM implementation object, made on first use.

#include "base/refcounted.h"
#include "dom/domstring.h"

class Document;
class DocumentType;
class NamePool;

class DOMImplementation {
 public:
  static DOMImplementation* instance();

  // True exactly for XML/xml/Xml 1.0, Core 2.0, Events 2.0 and MutationEvents 2.0.
  bool hasFeature(const DomString& feature, const DomString& version) const;
  // A doctype with no owner document.
  Ref<DocumentType> createDocumentType(const DomString& qualifiedName, const DomString& publicId,
                                       const DomString& systemId) const;
  // A document with its own pool, or sharing `pool`. It adopts `doctype` (none
  // when that doctype already belongs to a document) and gets a document element
  // named qualifiedName unless that is empty.
  Ref<Document> createDocument(const DomString& namespaceURI, const DomString& qualifiedName,
                               DocumentType* doctype) const;
  Ref<Document> createDocument(const DomString& namespaceURI, const DomString& qualifiedName, DocumentType* doctype,
                               NamePool* pool) const;

 private:
  DOMImplementation() = default;
};
