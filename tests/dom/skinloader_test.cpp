// Loading skin files into a document: structure and skipping, text, errors
// and codes, encodings of the device, and hostile files.

#include <gtest/gtest.h>

#include <string>

#include "dom/skindocumentloader.h"
#include "tests/dom/skintestdocument.h"
#include "tests/support/testdevice.h"
#include "xml/charsettable.h"

namespace {

// The tree as text: "svg(rect g(rect 'text'))".
std::string dump(const Node* node) {
  if (node->nodeType() == Node::TEXT_NODE) {
    return "'" + toNarrowAscii(static_cast<const CharacterData*>(node)->data()) + "'";
  }
  std::string out = toNarrowAscii(node->nodeName());
  if (!node->firstChild()) return out;
  out += "(";
  for (const Node* child = node->firstChild(); child; child = child->nextSibling()) {
    if (child != node->firstChild()) out += " ";
    out += dump(child);
  }
  return out + ")";
}

std::string dumpDocumentElement(const Document* doc) {
  const Element* root = doc->documentElement();
  return root ? dump(root) : "(none)";
}

class SkinLoader : public ::testing::Test {
 protected:
  Ref<SkinTestDocument> loadText(const std::string& bytes) {
    writeHostFile(m_device.host("skin.bskn"), bytes);
    return SkinDocumentLoader::loadAs<SkinTestDocument>("\\skin.bskn", m_result);
  }
  // Loads a document that must fail, and checks that nothing of it survived.
  void expectFailure(const std::string& bytes, int code, const char* message, int line) {
    const int before = SkinTestElement::alive();
    Ref<SkinTestDocument> doc = loadText(bytes);
    EXPECT_FALSE(doc);
    EXPECT_EQ(m_result.errorCode, code);
    if (message) {
      EXPECT_EQ(m_result.message, toWide(message));
    } else {
      EXPECT_FALSE(m_result.message.empty());
    }
    EXPECT_EQ(m_result.lineNumber, line);
    EXPECT_EQ(SkinTestElement::alive(), before);
  }

  TestDevice m_device;
  XmlLoadResult m_result;
};

TEST_F(SkinLoader, BuildsTheTreeAndSkipsUnknownElements) {
  struct Row {
    const char* document;
    const char* tree;
  };
  const Row rows[] = {
      {"<svg/>", "svg"},
      {"<svg><rect/><g><circle/></g></svg>", "svg(rect g(circle))"},
      // An unknown element goes with everything inside it, recognised or not.
      {"<svg><desc><g><rect/></g></desc><rect/></svg>", "svg(rect)"},
      {"<svg><desc><desc/><g/></desc><line/></svg>", "svg(line)"},
      // An unknown last child of a g does not keep the g open.
      {"<svg><g><rect/><desc/></g><rect/></svg>", "svg(g(rect) rect)"},
      {"<svg><g><desc><title/></desc></g><ellipse/></svg>", "svg(g ellipse)"},
      {"<SVG><Rect/><POLYGON/><polyLine/></SVG>", "SVG(Rect POLYGON polyLine)"},
      {"<svg><image/><text/><line/></svg>", "svg(image text line)"},
      // Comments, instructions, the doctype and CDATA boundaries leave nothing.
      {"<?xml version='1.0'?><!DOCTYPE svg><!-- a --><svg><?pi x?><!-- b --><rect/></svg>", "svg(rect)"},
      {"<svg><text><![CDATA[a<b]]>&lt;&#65;&amp;</text></svg>", "svg(text('a<b' '<' 'A' '&'))"},
      // An svg inside another element stays where it is.
      {"<svg><g><svg><rect/></svg></g><rect/></svg>", "svg(g(svg(rect)) rect)"},
      // Only an svg at the top becomes the document element.
      {"<g><svg/></g>", "(none)"},
      {"<desc><svg/></desc>", "(none)"},
      {"<rect/>", "(none)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    Ref<SkinTestDocument> doc = loadText(row.document);
    ASSERT_TRUE(doc);
    EXPECT_EQ(m_result.errorCode, 0);
    EXPECT_TRUE(m_result.message.empty());
    EXPECT_EQ(m_result.lineNumber, 0);
    EXPECT_EQ(dumpDocumentElement(doc.get()), row.tree);
    EXPECT_EQ(doc->path(), "\\skin.bskn");
  }
}

TEST_F(SkinLoader, ElementsOutsideTheDocumentElementLiveAsLongAsTheDocument) {
  const int before = SkinTestElement::alive();
  {
    Ref<SkinTestDocument> doc = loadText("<g><rect/><rect/></g>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(SkinTestElement::alive(), before + 3);
  }
  EXPECT_EQ(SkinTestElement::alive(), before);
}

TEST_F(SkinLoader, SetsAttributesInOrderAndTellsTheElement) {
  Ref<SkinTestDocument> doc = loadText(
      "<svg width='240' height=\"268\"><rect id='a' style='fill:red' x='1&amp;2'/>"
      "<desc id='gone'/></svg>");
  ASSERT_TRUE(doc);
  auto* svg = static_cast<SkinTestElement*>(doc->documentElement());
  EXPECT_EQ(svg->changes, (std::vector<std::string>{"width=240", "height=268"}));
  auto* rect = static_cast<SkinTestElement*>(svg->firstChild());
  EXPECT_EQ(rect->changes, (std::vector<std::string>{"id=a", "style=fill:red", "x=1&2"}));
  EXPECT_EQ(toNarrowAscii(rect->getAttribute(u"style")), "fill:red");
  EXPECT_EQ(rect->nextSibling(), nullptr);
}

std::string attributesOf(Element* element) {
  std::string text;
  for (Attr* attr = element->firstAttribute(); attr; attr = attr->nextAttribute())
    text += (text.empty() ? "" : " ") + toNarrowAscii(attr->name()) + "=" + toNarrowAscii(attr->value());
  return text;
}

// A factory whose elements come with an attribute of their own.
class PresetDocument : public SkinTestDocument {
 public:
  using SkinTestDocument::SkinTestDocument;
  static Ref<PresetDocument> create(const std::string& path) {
    return Ref<PresetDocument>::adopt(new PresetDocument(path));
  }
  Ref<Element> createElementByTag(const DomString& tagName) override {
    Ref<Element> element = SkinTestDocument::createElementByTag(tagName);
    if (element) element->setAttribute(u"fill", u"black");
    return element;
  }
};

TEST_F(SkinLoader, AnAttributeTheElementCameWithGivesWayToTheFilesOwn) {
  struct Row {
    const char* document;
    const char* attributes;
  };
  const Row rows[] = {
      {"<svg x='1'/>", "fill=black x=1"},
      {"<svg fill='red' x='1'/>", "fill=red x=1"},
      {"<svg x='1' fill='red'/>", "x=1 fill=red"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    writeHostFile(m_device.host("skin.bskn"), row.document);
    Ref<PresetDocument> doc = SkinDocumentLoader::loadAs<PresetDocument>("\\skin.bskn", m_result);
    ASSERT_TRUE(doc);
    EXPECT_EQ(attributesOf(doc->documentElement()), row.attributes);
  }
}

// What the loader set is the same through every way of reaching attributes.
TEST_F(SkinLoader, LoadedAttributesActAsAttributeNodes) {
  struct Row {
    const char* what;
    Ref<Element> (*act)(Element*);
    const char* attributes;
  };
  const Row rows[] = {
      {"nothing", [](Element* e) { return Ref<Element>(e); }, "a=1 b=2 c=3"},
      {"a new one",
       [](Element* e) {
         e->setAttribute(u"d", u"4");
         return Ref<Element>(e);
       },
       "a=1 b=2 c=3 d=4"},
      {"one replaced",
       [](Element* e) {
         e->setAttribute(u"b", u"9");
         return Ref<Element>(e);
       },
       "a=1 c=3 b=9"},
      {"one removed",
       [](Element* e) {
         e->removeAttribute(u"a");
         return Ref<Element>(e);
       },
       "b=2 c=3"},
      {"a node's value",
       [](Element* e) {
         e->getAttributeNode(u"c")->setValue(u"7");
         return Ref<Element>(e);
       },
       "a=1 b=2 c=7"},
      {"a copy", [](Element* e) { return Ref<Element>(static_cast<Element*>(e->cloneNode(false).get())); },
       "a=1 b=2 c=3"},
      {"an import",
       [](Element* e) {
         Ref<Document> other = Document::create();
         return Ref<Element>(static_cast<Element*>(other->importNode(e, false).get()));
       },
       "a=1 b=2 c=3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Ref<SkinTestDocument> doc = loadText("<svg a='1' b='2' c='3'/>");
    ASSERT_TRUE(doc);
    Element* svg = doc->documentElement();
    EXPECT_TRUE(svg->hasAttribute(u"b"));
    EXPECT_EQ(svg->attributes()->length(), 3u);
    Ref<Element> result = row.act(svg);
    ASSERT_TRUE(result);
    EXPECT_EQ(attributesOf(result.get()), row.attributes);
    EXPECT_EQ(result->getAttributeNode(u"a"), result->getAttributeNode(u"a"));
  }
}

TEST_F(SkinLoader, KeepsTextOfTextElementsOnly) {
  struct Row {
    std::string document;
    const char* tree;
  };
  const Row rows[] = {
      {"<svg>\n  <rect/>\n  <rect/>\n</svg>", "svg(rect rect)"},
      {"<svg><text>a\tb</text></svg>", "svg(text('a b'))"},
      // The parser hands over references and line breaks as runs of their
      // own, and each run becomes a node.
      {"<svg><text>&#13;&#10;x</text></svg>", "svg(text(' ' ' ' 'x'))"},
      // Literal line breaks reach the loader as line feeds.
      {"<svg><text>a\r\nb</text></svg>", "svg(text('a' ' ' 'b'))"},
      {"<svg><text>  two  spaces  </text></svg>", "svg(text('  two  spaces  '))"},
      {"<svg><rect>dropped</rect><g>dropped</g></svg>", "svg(rect g)"},
      {"<svg>dropped<text>kept</text>dropped</svg>", "svg(text('kept'))"},
      {"<svg><text>a<g>inner</g>b</text></svg>", "svg(text('a' g 'b'))"},
      {"<svg><text>a<desc>gone</desc>b</text></svg>", "svg(text('a' 'b'))"},
      {"<svg><TEXT>upper</TEXT></svg>", "svg(TEXT('upper'))"},
      {"<svg><text></text></svg>", "svg(text)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    Ref<SkinTestDocument> doc = loadText(row.document);
    ASSERT_TRUE(doc);
    EXPECT_EQ(dumpDocumentElement(doc.get()), row.tree);
  }
}

TEST_F(SkinLoader, TextLongerThanABlockArrivesWhole) {
  const std::string long_text(5000, 'x');
  Ref<SkinTestDocument> doc = loadText("<svg><text>" + long_text + "</text></svg>");
  ASSERT_TRUE(doc);
  std::string joined;
  for (Node* n = doc->documentElement()->firstChild()->firstChild(); n; n = n->nextSibling()) {
    joined += toNarrowAscii(static_cast<CharacterData*>(n)->data());
  }
  EXPECT_EQ(joined, long_text);
}

TEST_F(SkinLoader, ReportsCodeMessageAndLine) {
  struct Row {
    const char* document;
    int code;
    const char* message;
    int line;
  };
  const Row rows[] = {
      {"", 3, "no element found", 1},
      {"<svg><rect/>", 3, "no element found", 1},
      {"<svg>\n<rect>\n</svg>", 7, "mismatched tag", 3},
      {"<svg>\n<rect x='1' x='2'/></svg>", 8, "duplicate attribute", 2},
      {"<svg/><svg/>", 9, "junk after document element", 1},
      {"<svg><text>&what;</text></svg>", 11, "undefined entity", 1},
      {"<svg><text>&#0;</text></svg>", 14, "reference to invalid character number", 1},
      {"<svg>\n\n<rect x='\x01'/></svg>", 4, "not well-formed", 3},
      {"<svg><rect x='1", 5, "unclosed token", 1},
      {"<svg><text><![CDATA[x</text></svg>", 20, "unclosed CDATA section", 1},
      {"<?xml version='1.0' encoding='x-klingon'?><svg/>", 18, "unknown encoding", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    expectFailure(row.document, row.code, row.message, row.line);
  }
}

TEST_F(SkinLoader, AnUnopenableFileIsCode101) {
  const int before = SkinTestElement::alive();
  for (const char* path : {"\\missing.bskn", "\\Windows", "\\..\\..\\etc\\passwd", ""}) {
    SCOPED_TRACE(path);
    m_result = XmlLoadResult{};
    Ref<SkinTestDocument> doc = SkinDocumentLoader::loadAs<SkinTestDocument>(path, m_result);
    EXPECT_FALSE(doc);
    EXPECT_EQ(m_result.errorCode, 101);
    EXPECT_EQ(m_result.message, u"Cann't open file");
    EXPECT_EQ(m_result.lineNumber, 0);
  }
  EXPECT_EQ(SkinTestElement::alive(), before);
}

TEST_F(SkinLoader, ReadsDocumentsInTheDevicesCodePages) {
  using namespace std::string_literals;
  fillCharsetTable();
  struct Row {
    std::string document;
    std::u16string text;
  };
  const Row rows[] = {
      {"<?xml version='1.0' encoding='gb2312'?><svg><text>\xD6\xD0\xCE\xC4</text></svg>", u"\u4E2D\u6587"},
      {"<?xml version='1.0' encoding='GB2312'?><svg><text>a\tb</text></svg>", u"a b"},
      {"<?xml version='1.0' encoding='shift_jis'?><svg><text>\x93\xFA\x96\x7B</text></svg>", u"\u65E5\u672C"},
      {"<?xml version='1.0' encoding='windows-1252'?><svg><text>\x80</text></svg>", u"\u20AC"},
      {"<?xml version='1.0' encoding='utf-8'?><svg><text>\xC3\xA9</text></svg>", u"\u00E9"},
      {"\xFF\xFE<\0s\0v\0g\0>\0<\0t\0e\0x\0t\0>\0"
       "4\x6E<\0/\0t\0e\0x\0t\0>\0<\0/\0s\0v\0g\0>\0"s,
       u"\u6E34"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.document);
    Ref<SkinTestDocument> doc = loadText(row.document);
    ASSERT_TRUE(doc) << toNarrowAscii(m_result.message);
    const Node* text = doc->documentElement()->firstChild()->firstChild();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(static_cast<const CharacterData*>(text)->data(), row.text);
  }
  // Attribute values go through the same code page.
  Ref<SkinTestDocument> doc = loadText("<?xml version='1.0' encoding='gb2312'?><svg id='\xD6\xD0'/>");
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->documentElement()->getAttribute(u"id"), u"\u4E2D");
}

TEST_F(SkinLoader, RefusesEncodingsThatLie) {
  fillCharsetTable();
  // A lead byte of gb2312 followed by a closing angle bracket.
  expectFailure("<?xml version='1.0' encoding='gb2312'?><svg>\n<text>\xB0</text></svg>", 4, "not well-formed", 2);
  // UTF-8 declared, Latin-1 given.
  expectFailure("<?xml version='1.0' encoding='utf-8'?><svg><text>caf\xE9</text></svg>", 4, "not well-formed", 1);
  expectFailure("<?xml version='1.0' encoding='utf-16'?><svg/>", 19,
                "encoding specified in XML declaration is incorrect", 1);
  // A name the database lists for a code page with longer characters.
  expectFailure("<?xml version='1.0' encoding='x-unknown-to-all'?><svg/>", 18, "unknown encoding", 1);
}

TEST_F(SkinLoader, SurvivesDeepNesting) {
  constexpr int kLevels = 100000;
  std::string deep = "<svg>";
  for (int i = 0; i < kLevels; ++i) deep += "<g>";
  deep += "<rect/>";
  for (int i = 0; i < kLevels; ++i) deep += "</g>";
  const int before = SkinTestElement::alive();
  {
    Ref<SkinTestDocument> doc = loadText(deep + "<rect/></svg>");
    ASSERT_TRUE(doc);
    int depth = 0;
    const Node* node = doc->documentElement();
    while (node->firstChild()) {
      node = node->firstChild();
      ++depth;
    }
    EXPECT_EQ(depth, kLevels + 1);
    EXPECT_EQ(toNarrowAscii(doc->documentElement()->lastChild()->nodeName()), "rect");
  }
  EXPECT_EQ(SkinTestElement::alive(), before);
  // The same depth in a file that fails at its end goes without a trace.
  expectFailure(deep, 3, "no element found", 1);
  std::string skipped = "<svg>";
  for (int i = 0; i < kLevels; ++i) skipped += "<desc>";
  for (int i = 0; i < kLevels; ++i) skipped += "</desc>";
  Ref<SkinTestDocument> doc = loadText(skipped + "<rect/></svg>");
  ASSERT_TRUE(doc);
  EXPECT_EQ(dumpDocumentElement(doc.get()), "svg(rect)");
}

TEST_F(SkinLoader, AMillionAttributesEndAsOutOfMemory) {
  std::string many = "<svg>\n<rect";
  for (int i = 0; i < 1000000; ++i) many += " a" + std::to_string(i) + "='1'";
  // More names than a document can hold: a failure, not a silent loss.
  expectFailure(many + "/></svg>", 1, "out of memory", 2);
  // On an element that is skipped they cost nothing.
  std::string skipped = "<svg><desc";
  for (int i = 0; i < 1000000; ++i) skipped += " a" + std::to_string(i) + "='1'";
  Ref<SkinTestDocument> doc = loadText(skipped + "/><rect/></svg>");
  ASSERT_TRUE(doc);
  EXPECT_EQ(dumpDocumentElement(doc.get()), "svg(rect)");
}

TEST_F(SkinLoader, KeepsHugeAttributeValues) {
  const std::string value(8 * 1024 * 1024, 'v');
  Ref<SkinTestDocument> doc = loadText("<svg><rect id='" + value + "'/></svg>");
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->documentElement()->firstChild()->nodeName(), u"rect");
  EXPECT_EQ(static_cast<Element*>(doc->documentElement()->firstChild())->getAttribute(u"id").size(), value.size());
}

TEST_F(SkinLoader, EntityExpansionBombsFailWithTheParsersCode) {
  std::string bomb = "<?xml version='1.0'?>\n<!DOCTYPE svg [\n<!ENTITY a0 'laughing'>\n";
  for (int i = 1; i <= 10; ++i) {
    bomb += "<!ENTITY a" + std::to_string(i) + " '";
    for (int j = 0; j < 10; ++j) bomb += "&a" + std::to_string(i - 1) + ";";
    bomb += "'>\n";
  }
  bomb += "]>\n<svg><text>&a10;</text></svg>";
  const int before = SkinTestElement::alive();
  Ref<SkinTestDocument> doc = loadText(bomb);
  EXPECT_FALSE(doc);
  EXPECT_EQ(m_result.errorCode, XML_ERROR_AMPLIFICATION_LIMIT_BREACH);
  EXPECT_FALSE(m_result.message.empty());
  EXPECT_EQ(m_result.lineNumber, 15);
  EXPECT_EQ(SkinTestElement::alive(), before);
}

TEST_F(SkinLoader, InvalidBytesFailAnywhere) {
  using namespace std::string_literals;
  const std::string rows[] = {
      "<svg><text>\xC3</text></svg>",
      "<svg \xFF='1'/>",
      "<svg><rect x='\xED\xA0\x80'/></svg>",   // an encoded surrogate
      "<svg><text>\xEF\xBF\xBE</text></svg>",  // U+FFFE
      "<svg>\0</svg>"s,
  };
  for (const std::string& row : rows) {
    SCOPED_TRACE(row);
    expectFailure(row, 4, "not well-formed", 1);
  }
}

}  // namespace
