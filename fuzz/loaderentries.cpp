#include <cstdio>
#include <cstdlib>

#include "dom/dom.h"
#include "dom/skindocumentloader.h"
#include "fuzz/fuzzentries.h"
#include "style/cssstyledeclaration.h"
#include "xml/charsettable.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

int g_aliveElements = 0;

// An element that reads its "style" attribute into a declaration, as skin
// elements do, and counts itself so that a failed load can be seen to leave
// nothing behind.
class FuzzElement : public Element {
 public:
  FuzzElement(Document* doc, const PooledName* name) : Element(doc, name) { ++g_aliveElements; }
  void attributeChanged(const DomString& name) override {
    if (name == u"style") m_style.setCssText(getAttribute(name));
  }

 protected:
  ~FuzzElement() override { --g_aliveElements; }

 private:
  CSSStyleDeclaration m_style;
};

class FuzzDocument : public Document {
 public:
  Ref<Element> createElementByTag(const DomString& tagName) override {
    static const char16_t* const kTags[] = {u"svg",    u"g",       u"text", u"image",   u"rect",
                                            u"circle", u"ellipse", u"line", u"polygon", u"polyline"};
    for (const char16_t* tag : kTags) {
      if (!equalsIgnoreCase(tagName, tag)) continue;
      const PooledName* name = internName(tagName);
      return name ? Ref<Element>::adopt(new FuzzElement(this, name)) : Ref<Element>();
    }
    return {};
  }
};

// Two double-byte and one single-byte code page, as a device would list them,
// without needing a device's registry.
void fillFuzzCharsets() {
  static bool filled = false;
  if (filled) return;
  filled = true;
  const std::pair<std::int32_t, const char16_t*> kCharsets[] = {
      {936, u"gb2312"}, {932, u"shift_jis"}, {1252, u"windows-1252"}};
  for (const auto& [codePage, name] : kCharsets) {
    CharsetEntry entry;
    entry.codePage = codePage;
    for (int i = 0; name[i] && i < 31; ++i) entry.bodyCharset[i] = name[i];
    charsetTable().add(entry);
  }
}

}  // namespace

int fuzzSkinLoader(const std::uint8_t* data, std::size_t size) {
  fillFuzzCharsets();
  const int before = g_aliveElements;
  std::FILE* file = size ? fmemopen(const_cast<std::uint8_t*>(data), size, "r") : std::tmpfile();
  require(file != nullptr);
  XmlLoadResult result;
  {
    Ref<Document> doc = SkinDocumentLoader::loadFile(
        file, "fuzz.bskn", result, [](const std::string&) { return Ref<Document>::adopt(new FuzzDocument); });
    std::fclose(file);
    // Either a document and no error, or no document with a code, a text and a line.
    require(static_cast<bool>(doc) == (result.errorCode == 0));
    if (doc) {
      require(result.message.empty() && result.lineNumber == 0);
      const Element* root = doc->documentElement();
      require(!root || equalsIgnoreCase(root->tagName(), u"svg"));
    } else {
      require(!result.message.empty() && result.lineNumber >= 1);
      require(g_aliveElements == before);
    }
  }
  require(g_aliveElements == before);
  return 0;
}
