#include "dom/domimplementation.h"

#include <array>
#include <string_view>

#include "dom/document.h"
#include "dom/documenttype.h"
#include "dom/element.h"

namespace {

struct Feature {
  std::u16string_view name;
  std::u16string_view version;
};

constexpr std::array<Feature, 6> kFeatures = {{
    {u"XML", u"1.0"},
    {u"xml", u"1.0"},
    {u"Xml", u"1.0"},
    {u"Core", u"2.0"},
    {u"Events", u"2.0"},
    {u"MutationEvents", u"2.0"},
}};

}  // namespace

DOMImplementation* DOMImplementation::instance() {
  static DOMImplementation implementation;
  return &implementation;
}

bool DOMImplementation::hasFeature(const DomString& feature, const DomString& version) const {
  for (const Feature& f : kFeatures) {
    if (feature == f.name && version == f.version) return true;
  }
  return false;
}

Ref<DocumentType> DOMImplementation::createDocumentType(const DomString& qualifiedName, const DomString& publicId,
                                                        const DomString& systemId) const {
  return Ref<DocumentType>::adopt(new DocumentType(qualifiedName, publicId, systemId));
}

Ref<Document> DOMImplementation::createDocument(const DomString& namespaceURI, const DomString& qualifiedName,
                                                DocumentType* doctype) const {
  return createDocument(namespaceURI, qualifiedName, doctype, nullptr);
}

Ref<Document> DOMImplementation::createDocument(const DomString& namespaceURI, const DomString& qualifiedName,
                                                DocumentType* doctype, NamePool* pool) const {
  if (doctype && doctype->ownerDocument()) return {};
  Ref<Document> doc = Document::create(doctype, pool);
  if (qualifiedName.empty()) return doc;
  Ref<Element> root =
      namespaceURI.empty() ? doc->createElement(qualifiedName) : doc->createElementNS(namespaceURI, qualifiedName);
  if (!root) return {};
  doc->appendChild(root.get());
  return doc;
}
