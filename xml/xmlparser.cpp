#include "xml/xmlparser.h"

#include <array>
#include <vector>

#include "xml/charsettable.h"

namespace {

// Indexed by the parser's error code.
constexpr std::array<const char*, 23> kErrorTexts = {
    "",
    "out of memory",
    "syntax error",
    "no element found",
    "not well-formed",
    "unclosed token",
    "unclosed token",
    "mismatched tag",
    "duplicate attribute",
    "junk after document element",
    "illegal parameter entity reference",
    "undefined entity",
    "recursive entity reference",
    "asynchronous entity",
    "reference to invalid character number",
    "reference to binary entity",
    "reference to external entity in attribute",
    "xml processing instruction not at start of external entity",
    "unknown encoding",
    "encoding specified in XML declaration is incorrect",
    "unclosed CDATA section",
    "error in processing external entity reference",
    "document is not standalone",
};

// Compiling for UTF-16 strings but linking the 8-bit library links fine and
// then misreads every string; the library says which build it is.
bool libraryIsWide() {
  static const bool wide = [] {
    for (const XML_Feature* feature = XML_GetFeatureList(); feature && feature->feature != XML_FEATURE_END; ++feature) {
      if (feature->feature == XML_FEATURE_SIZEOF_XML_CHAR) return feature->value == sizeof(char16_t);
    }
    return false;
  }();
  return wide;
}

constexpr unsigned long long kExpansionThreshold = 1024 * 1024;

std::int32_t currentLine(XML_Parser parser) { return static_cast<std::int32_t>(XML_GetCurrentLineNumber(parser)); }
// The parser counts columns from 0; editors count them from 1.
std::int32_t currentColumn(XML_Parser parser) {
  return static_cast<std::int32_t>(XML_GetCurrentColumnNumber(parser)) + 1;
}

}  // namespace

XmlParser createXmlParser(void* userData) {
  if (!libraryIsWide()) return {};
  XmlParser parser(XML_ParserCreate(nullptr));
  if (!parser) return {};
  XML_SetUserData(parser.get(), userData);
  XML_SetUnknownEncodingHandler(parser.get(), unknownEncodingHandler, nullptr);
  // Entity expansion is refused once it passes 1 MiB at more than a hundred
  // times the input (the parser's own factor); the parser's default of 8 MiB
  // would let a small file grow a tree of a million text nodes first.
  XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), kExpansionThreshold);
  return parser;
}

// The parser scans an unfinished token again from its start whenever more
// bytes arrive, so one token far longer than a block would cost time
// quadratic in its length. While a token stays unfinished across a whole
// batch, the next batch gathers twice as many blocks; the batch never holds
// much more than the parser is holding already.
FeedStatus feedXmlFile(XML_Parser parser, std::FILE* file) {
  std::vector<char> batch;
  std::size_t batchLimit = kXmlBlockSize;
  XML_Index fed = 0;
  for (;;) {
    const std::size_t start = batch.size();
    batch.resize(start + kXmlBlockSize);
    const std::size_t read = std::fread(batch.data() + start, 1, kXmlBlockSize, file);
    batch.resize(start + read);
    if (read < kXmlBlockSize && std::ferror(file)) return FeedStatus::ReadError;
    const bool last = read < kXmlBlockSize;
    if (!last && batch.size() < batchLimit) continue;
    if (XML_Parse(parser, batch.data(), static_cast<int>(batch.size()), last) != XML_STATUS_OK) {
      return FeedStatus::ParseError;
    }
    if (last) return FeedStatus::Parsed;
    fed += static_cast<XML_Index>(batch.size());
    const XML_Index unfinished = fed - XML_GetCurrentByteIndex(parser);
    batchLimit = unfinished >= static_cast<XML_Index>(batchLimit) ? batchLimit * 2 : kXmlBlockSize;
    batch.clear();
  }
}

WideString xmlErrorText(std::int32_t code) {
  if (code > 0 && static_cast<std::size_t>(code) < kErrorTexts.size()) return toWide(kErrorTexts[code]);
  if (code <= 0) return {};
  const XML_LChar* text = XML_ErrorString(static_cast<XML_Error>(code));
  return toWide(text && *text ? text : "parse error");
}

XmlLoadResult parseFailure(XML_Parser parser) {
  return handlerFailure(parser, static_cast<std::int32_t>(XML_GetErrorCode(parser)));
}

XmlLoadResult handlerFailure(XML_Parser parser, std::int32_t code) {
  return XmlLoadResult{code, xmlErrorText(code), currentLine(parser), currentColumn(parser)};
}

XmlLoadResult openFailure() { return XmlLoadResult{XmlLoadResult::kCannotOpenFile, toWide("Cann't open file"), 0, 0}; }
