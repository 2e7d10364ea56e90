#include "dom/skindocumentloader.h"

#include <cstdio>
#include <new>

#include "dom/characterdata.h"
#include "dom/element.h"
#include "platform/core/guards.h"
#include "platform/core/wstdio.h"

namespace {

constexpr std::int32_t kOutOfMemory = XML_ERROR_NO_MEMORY;

bool isTag(const Element* element, WideStringView tag) { return element && equalsIgnoreCase(element->tagName(), tag); }

// Tabs and line breaks inside text become spaces; nothing else is trimmed.
DomString textOf(const XML_Char* text, int length) {
  DomString copy(wideViewOf(text, length));
  for (char16_t& c : copy) {
    if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
  }
  return copy;
}

// Whether the parser's text is `name`, unit for unit.
bool spells(const DomString& name, const XML_Char* text) {
  const char16_t* unit = wideOf(text);
  for (char16_t c : name) {
    if (*unit++ != c) return false;
  }
  return *unit == 0;
}

bool poolIsFull(const Document& document) {
  const NamePool* pool = document.namePool();
  return pool && pool->usedCount() >= pool->size();
}

}  // namespace

Ref<Document> SkinDocumentLoader::load(const std::string& path, XmlLoadResult& result,
                                       const DocumentMaker& makeDocument, SkinLoadObserver* observer) {
  FileHandle file(fopenDevice(path.c_str(), "r"));
  if (!file) {
    result = openFailure();
    return {};
  }
  return loadFile(file.get(), path, result, makeDocument, observer);
}

Ref<Document> SkinDocumentLoader::loadFile(std::FILE* file, const std::string& path, XmlLoadResult& result,
                                           const DocumentMaker& makeDocument, SkinLoadObserver* observer) {
  Ref<Document> document = makeDocument(path);
  result = XmlLoadResult{};
  XmlParser parser = createXmlParser(nullptr);
  if (!document || !parser) {
    result = XmlLoadResult{kOutOfMemory, xmlErrorText(kOutOfMemory), 0, 0};
    return {};
  }
  SkinDocumentLoader loader(std::move(document), parser.get(), observer);
  // Finished before the loader goes, whether or not the load succeeds.
  struct Loading {
    Document* document;
    explicit Loading(Document* loaded) : document(loaded) { document->loadStarted(); }
    ~Loading() { document->loadFinished(); }
  } loading(loader.m_document.get());
  XML_SetUserData(parser.get(), &loader);
  XML_SetElementHandler(parser.get(), onStartElement, onEndElement);
  XML_SetCharacterDataHandler(parser.get(), onCharacterData);

  switch (feedXmlFile(parser.get(), file)) {
    case FeedStatus::Parsed:
      return std::move(loader.m_document);
    case FeedStatus::ParseError:
      result = loader.m_failure ? handlerFailure(parser.get(), loader.m_failure) : parseFailure(parser.get());
      return {};
    case FeedStatus::ReadError:
      result = openFailure();
      return {};
  }
  return {};
}

// No exception may unwind through the parser: whatever a handler cannot
// allocate ends the load as out of memory.
void XMLCALL SkinDocumentLoader::onStartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* loader = static_cast<SkinDocumentLoader*>(data);
  try {
    loader->startElement(name, attributes);
  } catch (...) {
    loader->fail(kOutOfMemory);
  }
}

void XMLCALL SkinDocumentLoader::onEndElement(void* data, const XML_Char*) {
  static_cast<SkinDocumentLoader*>(data)->endElement();
}

void XMLCALL SkinDocumentLoader::onCharacterData(void* data, const XML_Char* text, int length) {
  auto* loader = static_cast<SkinDocumentLoader*>(data);
  try {
    loader->characterData(text, length);
  } catch (...) {
    loader->fail(kOutOfMemory);
  }
}

void SkinDocumentLoader::startElement(const XML_Char* name, const XML_Char** attributes) {
  ++m_depth;
  if (m_skipDepth != 0 && m_skipDepth < m_depth) return;
  Ref<Element> element = m_document->createElementByTag(DomString(wideViewOf(name)));
  if (!element) {
    // A recognised tag the name pool had no room for is a failure, not a skip.
    if (poolIsFull(*m_document)) return fail(kOutOfMemory);
    m_skipDepth = m_depth;
    if (m_observer) m_observer->elementStarted(nullptr, wideViewOf(name), position());
    return;
  }
  m_skipDepth = 0;
  if (m_observer) m_observer->elementStarted(element.get(), wideViewOf(name), position());
  if (!setAttributes(element.get(), attributes)) return fail(kOutOfMemory);
  const bool isRoot = m_current == nullptr;
  if (!placeElement(element.get(), isRoot)) return fail(kOutOfMemory);
  m_current = element.get();
  // An outermost element that is not the document element stays in the
  // document's queue, alive until the document goes.
  if (isRoot && element->parentNode() == nullptr) m_document->releaseQueue().push(element.leak());
}

bool SkinDocumentLoader::setAttributes(Element* element, const XML_Char** attributes) {
  const auto earlier = element->hasAttributes() ? Element::Earlier::MayExist : Element::Earlier::CannotExist;
  if (earlier == Element::Earlier::CannotExist) {
    std::uint32_t count = 0;
    while (attributes[2 * count]) ++count;
    element->reserveParsedAttributes(count);
  }
  Document* document = element->ownerDocument();
  // An observer hears of each attribute as the element takes it.
  const bool atOnce = !m_observer && earlier == Element::Earlier::CannotExist && element->keepsParsedAttributes();
  for (const XML_Char** attribute = attributes; attribute[0]; attribute += 2) {
    const PooledName* pooled = document ? attributeName(document, attribute[0]) : nullptr;
    const DomString* value = pooled ? element->setParsedAttribute(pooled, wideViewOf(attribute[1]), earlier) : nullptr;
    if (!value) return false;
    if (atOnce) continue;
    if (m_observer) m_observer->attributeApplying(element, pooled->qualifiedName);
    element->parsedAttributeSet(pooled, *value);
  }
  if (atOnce) element->parsedAttributesSet();
  return true;
}

const PooledName* SkinDocumentLoader::attributeName(Document* document, const XML_Char* name) {
  if (document != m_document.get()) return document->internName(wideViewOf(name));
  KnownName& known = m_knownNames[(reinterpret_cast<std::uintptr_t>(name) / sizeof(XML_Char)) % kKnownNames];
  if (known.text == name && spells(known.pooled->qualifiedName, name)) return known.pooled;
  const PooledName* pooled = document->internName(wideViewOf(name));
  if (pooled) known = {name, pooled};
  return pooled;
}

// Appends the element to the current one; the outermost `svg` becomes the
// document element instead. (An `svg` inside another element stays there:
// moving it to the document would tear it out of its parent.)
bool SkinDocumentLoader::placeElement(Element* element, bool isRoot) {
  if (!isRoot) return m_current->appendChild(element) != nullptr;
  if (!isTag(element, u"svg")) return true;
  return m_document->appendChild(element) != nullptr;
}

void SkinDocumentLoader::endElement() {
  --m_depth;
  if (m_skipDepth != 0 && m_depth + 1 >= m_skipDepth) {
    if (m_depth + 1 == m_skipDepth) m_skipDepth = 0;
    return;
  }
  if (!m_current) return;
  Node* parent = m_current->parentNode();
  m_current = parent && parent->nodeType() == Node::ELEMENT_NODE ? static_cast<Element*>(parent) : nullptr;
}

// Text inside a skipped element goes with it.
void SkinDocumentLoader::characterData(const XML_Char* text, int length) {
  if (m_skipDepth != 0) return;
  if (!isTag(m_current, u"text")) {
    if (m_observer) m_observer->textDropped(wideViewOf(text, length), position());
    return;
  }
  Ref<Text> node = m_document->createTextNode(textOf(text, length));
  if (!node || !m_current->appendChild(node.get())) fail(kOutOfMemory);
}

SkinLoadObserver::Position SkinDocumentLoader::position() const {
  return {static_cast<std::int32_t>(XML_GetCurrentLineNumber(m_parser)),
          static_cast<std::int32_t>(XML_GetCurrentColumnNumber(m_parser)) + 1,
          static_cast<std::int64_t>(XML_GetCurrentByteIndex(m_parser))};
}

void SkinDocumentLoader::fail(std::int32_t code) {
  if (m_failure == 0) m_failure = code;
  XML_StopParser(m_parser, XML_FALSE);
}
