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

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "base/refcounted.h"
#include "dom/document.h"
#include "xml/xmlparser.h"

class Element;

// Told where each part of a file went, for tools that explain a skin to its
// author; the player loads without one. Positions are those of the parser:
// 1-based line and column and the byte offset of the start tag in the file.
class SkinLoadObserver {
 public:
  struct Position {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int64_t byteIndex = 0;
  };
  // A start tag: its element, or none when the tag is left out with its subtree.
  virtual void elementStarted(Element* element, WideStringView tag, const Position& position) = 0;
  // Before an attribute of `element` is read into it (attributeChanged).
  virtual void attributeApplying(Element* element, WideStringView name) = 0;
  // Text outside a `text` element, which never becomes a node.
  virtual void textDropped(WideStringView text, const Position& position) = 0;

 protected:
  ~SkinLoadObserver() = default;
};

class SkinDocumentLoader {
 public:
  // Makes the empty document a file is loaded into; it is given the path.
  using DocumentMaker = std::function<Ref<Document>(const std::string& path)>;

  // Loads the file at `path` (a device path in the ANSI code page). On
  // success the caller takes the document's initial reference.
  static Ref<Document> load(const std::string& path, XmlLoadResult& result, const DocumentMaker& makeDocument,
                            SkinLoadObserver* observer = nullptr);
  // The same from a file already open for reading (closed by the caller).
  static Ref<Document> loadFile(std::FILE* file, const std::string& path, XmlLoadResult& result,
                                const DocumentMaker& makeDocument, SkinLoadObserver* observer = nullptr);

  // The same for a document class with a create(path) answering Ref<D>.
  template <typename D>
  static Ref<D> loadAs(const std::string& path, XmlLoadResult& result, SkinLoadObserver* observer = nullptr) {
    Ref<Document> document = load(
        path, result, [](const std::string& p) { return Ref<Document>::adopt(D::create(p).leak()); }, observer);
    return Ref<D>::adopt(static_cast<D*>(document.leak()));
  }

 private:
  SkinDocumentLoader(Ref<Document> document, XML_Parser parser, SkinLoadObserver* observer)
      : m_document(std::move(document)), m_parser(parser), m_observer(observer) {}

  SkinLoadObserver::Position position() const;

  static void XMLCALL onStartElement(void* data, const XML_Char* name, const XML_Char** attributes);
  static void XMLCALL onEndElement(void* data, const XML_Char* name);
  static void XMLCALL onCharacterData(void* data, const XML_Char* text, int length);

  void startElement(const XML_Char* name, const XML_Char** attributes);
  void endElement();
  void characterData(const XML_Char* text, int length);

  bool setAttributes(Element* element, const XML_Char** attributes);
  // The pooled name of an attribute name the parser handed over, in the pool
  // of `document`; none when it does not fit.
  const PooledName* attributeName(Document* document, const XML_Char* name);
  bool placeElement(Element* element, bool isRoot);
  // Stops the parser with a failure of the loader's own (the document cannot
  // hold what the file asks for).
  void fail(std::int32_t code);

  Ref<Document> m_document;
  XML_Parser m_parser;
  SkinLoadObserver* m_observer;  // not owned; none for the player
  Element* m_current = nullptr;  // held by its parent or by the document's queue
  std::int64_t m_depth = 0;      // start tags seen minus end tags seen
  std::int64_t m_skipDepth = 0;  // 0, or the depth of the element whose subtree is skipped
  std::int32_t m_failure = 0;
  // The parser keeps one copy of each attribute name for the whole file, so
  // the same pointer comes back with every start tag using the name: names
  // are found again by that pointer, each hit checked against the text.
  struct KnownName {
    const XML_Char* text = nullptr;
    const PooledName* pooled = nullptr;
  };
  static constexpr std::size_t kKnownNames = 64;
  std::array<KnownName, kKnownNames> m_knownNames{};
};
