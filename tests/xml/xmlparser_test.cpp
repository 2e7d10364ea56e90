// The shared parser set-up: chunked feeding from a file, error reports with
// the system's texts, and documents in code pages of the device.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/tempdir.h"
#include "tests/support/testdevice.h"
#include "xml/charsettable.h"
#include "xml/xmlparser.h"

namespace {

// Every start tag and all character data, as text: "<a>text<b>...".
struct Collected {
  std::u16string text;
  int starts = 0;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
  auto* collected = static_cast<Collected*>(data);
  collected->text += u"<" + WideString(wideOf(name)) + u">";
  ++collected->starts;
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
  static_cast<Collected*>(data)->text += wideViewOf(text, length);
}

struct Parsed {
  FeedStatus status;
  XmlLoadResult failure;
  Collected collected;
};

Parsed parseBytes(const std::string& bytes) {
  TempDir folder;
  const auto path = folder.path() / "doc.xml";
  writeHostFile(path, bytes);

  Parsed parsed;
  XmlParser parser = createXmlParser(&parsed.collected);
  EXPECT_TRUE(parser);
  if (!parser) return parsed;
  XML_SetStartElementHandler(parser.get(), onStart);
  XML_SetCharacterDataHandler(parser.get(), onText);
  std::FILE* in = std::fopen(path.c_str(), "r");
  parsed.status = feedXmlFile(parser.get(), in);
  std::fclose(in);
  if (parsed.status == FeedStatus::ParseError) parsed.failure = parseFailure(parser.get());
  return parsed;
}

TEST(XmlErrorText, UsesTheSystemsTexts) {
  const std::pair<int, const char*> rows[] = {
      {0, ""},
      {1, "out of memory"},
      {4, "not well-formed"},
      {5, "unclosed token"},
      {6, "unclosed token"},
      {7, "mismatched tag"},
      {17, "xml processing instruction not at start of external entity"},
      {18, "unknown encoding"},
      {19, "encoding specified in XML declaration is incorrect"},
      {22, "document is not standalone"},
      {-3, ""},
  };
  for (auto [code, text] : rows) {
    SCOPED_TRACE(code);
    EXPECT_EQ(xmlErrorText(code), toWide(text));
  }
  // Codes beyond the table still come with a text.
  EXPECT_FALSE(xmlErrorText(XML_ERROR_AMPLIFICATION_LIMIT_BREACH).empty());
  EXPECT_FALSE(xmlErrorText(9999).empty());
  const XmlLoadResult open = openFailure();
  EXPECT_EQ(open.errorCode, 101);
  EXPECT_EQ(open.message, u"Cann't open file");
  EXPECT_EQ(open.lineNumber, 0);
}

TEST(FeedXmlFile, ParsesAcrossBlockBoundaries) {
  // Sizes around one and two blocks, so that the last block is short, empty or full.
  for (std::size_t size : {kXmlBlockSize - 1, kXmlBlockSize, kXmlBlockSize + 1, 2 * kXmlBlockSize}) {
    SCOPED_TRACE(size);
    const std::string head = "<a>", tail = "</a>";
    const std::string body(size - head.size() - tail.size(), 'x');
    const Parsed parsed = parseBytes(head + body + tail);
    EXPECT_EQ(parsed.status, FeedStatus::Parsed);
    EXPECT_EQ(parsed.collected.text, u"<a>" + toWide(body));
  }
}

TEST(FeedXmlFile, ReportsCodeTextAndLine) {
  struct Row {
    const char* document;
    int code;
    const char* message;
    int line;
  };
  const Row rows[] = {
      {"", 3, "no element found", 1},
      {"<a>\n<b></a>", 7, "mismatched tag", 2},
      {"<a x='1' x='2'/>", 8, "duplicate attribute", 1},
      {"<a/>\n\n<b/>", 9, "junk after document element", 3},
      {"<a>&nope;</a>", 11, "undefined entity", 1},
      {"<a>&#1;</a>", 14, "reference to invalid character number", 1},
      {"<?xml version='1.0' encoding='x-nowhere'?><a/>", 18, "unknown encoding", 1},
      {"<a><![CDATA[open", 20, "unclosed CDATA section", 1},
      {"<a>\xFF</a>", 4, "not well-formed", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    const Parsed parsed = parseBytes(row.document);
    ASSERT_EQ(parsed.status, FeedStatus::ParseError);
    EXPECT_EQ(parsed.failure.errorCode, row.code);
    EXPECT_EQ(parsed.failure.message, toWide(row.message));
    EXPECT_EQ(parsed.failure.lineNumber, row.line);
  }
}

TEST(FeedXmlFile, ReadsCodePagesOfTheDevice) {
  TestDevice device;
  fillCharsetTable();
  struct Row {
    const char* encoding;
    std::string bytes;
    std::u16string text;
  };
  const Row rows[] = {
      {"gb2312", "\xB0\xA1 \xD6\xD0", u"\u554A \u4E2D"}, {"GB2312", "a\xB0\xA1", u"a\u554A"},
      {"shift_jis", "\x82\xA0\xB1", u"\u3042\uFF71"},    {"big5", "\xA4\x40", u"\u4E00"},
      {"windows-1252", "\x80\xE9", u"\u20AC\u00E9"},     {"windows-1251", "\xC0", u"\u0410"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.encoding);
    const Parsed parsed =
        parseBytes(std::string("<?xml version='1.0' encoding='") + row.encoding + "'?><t>" + row.bytes + "</t>");
    EXPECT_EQ(parsed.status, FeedStatus::Parsed);
    EXPECT_EQ(parsed.collected.text, u"<t>" + row.text);
  }
}

TEST(FeedXmlFile, RefusesEncodingsThatLie) {
  TestDevice device;
  fillCharsetTable();
  const std::pair<std::string, int> rows[] = {
      // A lead byte followed by a byte that cannot trail it.
      {"<?xml version='1.0' encoding='gb2312'?><t>\xB0</t>", 4},
      {"<?xml version='1.0' encoding='shift_jis'?><t>\xA0</t>", 4},
      // UTF-8 text declared as ASCII.
      {"<?xml version='1.0' encoding='us-ascii'?><t>\xC3\xA9</t>", 4},
      // Eight-bit text declared as UTF-16.
      {"<?xml version='1.0' encoding='utf-16'?><t/>", 19},
      {"<?xml version='1.0' encoding='utf-8'?><t>\xE9</t>", 4},
  };
  for (const auto& [document, code] : rows) {
    SCOPED_TRACE(document);
    const Parsed parsed = parseBytes(document);
    ASSERT_EQ(parsed.status, FeedStatus::ParseError);
    EXPECT_EQ(parsed.failure.errorCode, code);
    EXPECT_FALSE(parsed.failure.message.empty());
  }
}

}  // namespace
