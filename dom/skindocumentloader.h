#pragma once
// Builds a skin document from a skin file: one element per recognised start
// tag through the document's element factory (createElementByTag), every
// attribute set and announced with attributeChanged, the text of `text`
// elements kept. Unrecognised elements are left out with everything inside
// them. A failure answers none with a code, a message and a line, and the
// partly built document is gone by then.
//
//   XmlLoadResult result;
//   Ref<Document> doc = SkinDocumentLoader::load("\\skins\\a.bskn", result, makeSkinDocument);

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "base/refcounted.h"
#include "dom/document.h"
#include "xml/xmlparser.h"

class Element;

class SkinDocumentLoader {
 public:
  // Makes the empty document a file is loaded into; it is given the path.
  using DocumentMaker = std::function<Ref<Document>(const std::string& path)>;

  // Loads the file at `path` (a device path in the ANSI code page). On
  // success the caller takes the document's initial reference.
  static Ref<Document> load(const std::string& path, XmlLoadResult& result, const DocumentMaker& makeDocument);
  // The same from a file already open for reading (closed by the caller).
  static Ref<Document> loadFile(std::FILE* file, const std::string& path, XmlLoadResult& result,
                                const DocumentMaker& makeDocument);

  // The same for a document class with a create(path) answering Ref<D>.
  template <typename D>
  static Ref<D> loadAs(const std::string& path, XmlLoadResult& result) {
    Ref<Document> document =
        load(path, result, [](const std::string& p) { return Ref<Document>::adopt(D::create(p).leak()); });
    return Ref<D>::adopt(static_cast<D*>(document.leak()));
  }

 private:
  SkinDocumentLoader(Ref<Document> document, XML_Parser parser) : m_document(std::move(document)), m_parser(parser) {}

  static void XMLCALL onStartElement(void* data, const XML_Char* name, const XML_Char** attributes);
  static void XMLCALL onEndElement(void* data, const XML_Char* name);
  static void XMLCALL onCharacterData(void* data, const XML_Char* text, int length);

  void startElement(const XML_Char* name, const XML_Char** attributes);
  void endElement();
  void characterData(const XML_Char* text, int length);

  bool setAttributes(Element* element, const XML_Char** attributes);
  bool placeElement(Element* element, bool isRoot);
  // Stops the parser with a failure of the loader's own (the document cannot
  // hold what the file asks for).
  void fail(std::int32_t code);

  Ref<Document> m_document;
  XML_Parser m_parser;
  Element* m_current = nullptr;  // held by its parent or by the document's queue
  std::int64_t m_depth = 0;      // start tags seen minus end tags seen
  std::int64_t m_skipDepth = 0;  // 0, or the depth of the element whose subtree is skipped
  std::int32_t m_failure = 0;
};
