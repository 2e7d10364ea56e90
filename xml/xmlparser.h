#pragma once
// The parser set-up every XML reader of the system shares: an expat parser
// with no encoding override and no namespace processing, the unknown-encoding
// handler already registered, fed from a file in 2048-byte blocks so that a
// file is never held whole in memory, and failures reported as a code, the
// system's own text for it and a line.
//
//   XmlParser parser = createXmlParser(&state);
//   XML_SetElementHandler(parser.get(), onStart, onEnd);
//   if (feedXmlFile(parser.get(), file) == FeedStatus::ParseError) result = parseFailure(parser.get());

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/widestring.h"
#include "xml/wideexpat.h"

struct XmlLoadResult {
  static constexpr std::int32_t kCannotOpenFile = 101;

  std::int32_t errorCode = 0;     // 0, the parser's code, or 101 when the file cannot be opened
  WideString message;             // empty on success
  std::int32_t lineNumber = 0;    // 1-based line of a parse failure, else 0
  std::int32_t columnNumber = 0;  // 1-based column of a parse failure, else 0

  bool succeeded() const { return errorCode == 0; }
};

inline constexpr std::size_t kXmlBlockSize = 2048;

struct XmlParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using XmlParser = std::unique_ptr<XML_ParserStruct, XmlParserFree>;

// A parser whose handlers receive `userData`; none when expat cannot make one
// or the library linked is not the UTF-16 build.
XmlParser createXmlParser(void* userData);

enum class FeedStatus { Parsed, ParseError, ReadError };

// Passes the file to the parser block by block, the first short block marked
// final. ParseError: the parser stopped (read its code with parseFailure).
FeedStatus feedXmlFile(XML_Parser parser, std::FILE* file);

// The system's text for a parser error code 1-22. Other codes (newer checks
// of the installed parser, such as its entity-expansion limit) get the
// parser's own text so that no failure goes without a message.
WideString xmlErrorText(std::int32_t code);

// The result for the parser's current error: its code, text and line.
XmlLoadResult parseFailure(XML_Parser parser);
// The same for an error the handlers found themselves (code 1 for a
// document too large to hold), at the parser's current line.
XmlLoadResult handlerFailure(XML_Parser parser, std::int32_t code);
// The result for a file that cannot be opened or read: 101, "Cann't open file", line 0.
XmlLoadResult openFailure();
