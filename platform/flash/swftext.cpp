#include "platform/flash/swftext.h"

#include <algorithm>
#include <array>

namespace swf {

namespace {

enum Font2Flags : uint8_t {
  kFontHasLayout = 0x80,
  kFontWideOffsets = 0x08,
  kFontWideCodes = 0x04,
  kFontItalic = 0x02,
  kFontBold = 0x01,
};
enum FontInfoFlags : uint8_t {
  kInfoItalic = 0x04,
  kInfoBold = 0x02,
  kInfoWideCodes = 0x01,
};
constexpr float kFont3EmSquare = 20480;

// The glyph at `offset` of a table that starts at the front of `data`,
// ending where the next one starts.
ShapeDef glyphAt(std::span<const uint8_t> data, uint32_t offset, uint32_t end) {
  if (offset >= end || end > data.size()) return {};
  SwfReader r(data.subspan(offset, end - offset));
  return readGlyph(r);
}

void readGlyphs(std::span<const uint8_t> table, const std::vector<uint32_t>& offsets, uint32_t end, FontDef& font) {
  font.glyphs.reserve(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    uint32_t next = i + 1 < offsets.size() ? offsets[i + 1] : end;
    font.glyphs.push_back(glyphAt(table, offsets[i], std::min<uint32_t>(next, uint32_t(table.size()))));
  }
}

}  // namespace

std::optional<size_t> FontDef::glyphFor(char32_t code) const {
  for (size_t i = 0; i < codes.size() && i < glyphs.size(); ++i)
    if (codes[i] == code) return i;
  return std::nullopt;
}

bool readFont1(SwfReader& body, FontDef& font) {
  std::span<const uint8_t> table = body.bytes(body.remaining());
  SwfReader r(table);
  uint16_t first = r.u16();
  size_t count = first / 2;
  std::vector<uint32_t> offsets{first};
  for (size_t i = 1; i < count && r.ok(); ++i) offsets.push_back(r.u16());
  if (!r.ok() || count == 0) return false;
  readGlyphs(table, offsets, uint32_t(table.size()), font);
  return true;
}

bool readFont2(SwfReader& body, int version, FontDef& font) {
  uint8_t flags = body.u8();
  body.u8();  // language
  auto name = body.bytes(body.u8());
  uint16_t count = body.u16();
  if (!body.ok()) return false;
  font.name.assign(name.begin(), name.end());
  while (!font.name.empty() && font.name.back() == '\0') font.name.pop_back();
  font.bold = flags & kFontBold;
  font.italic = flags & kFontItalic;
  if (version >= 3) font.emSquare = kFont3EmSquare;
  // Offsets count from the start of the offset table, which the glyphs follow.
  std::span<const uint8_t> table = body.bytes(body.remaining());
  SwfReader r(table);
  bool wideOffsets = flags & kFontWideOffsets;
  std::vector<uint32_t> offsets;
  offsets.reserve(count);
  for (size_t i = 0; i < count && r.ok(); ++i) offsets.push_back(wideOffsets ? r.u32() : r.u16());
  uint32_t codeTable = count == 0 && r.remaining() < (wideOffsets ? 4u : 2u) ? uint32_t(r.position())
                       : wideOffsets                                         ? r.u32()
                                                                             : r.u16();
  if (!r.ok()) return false;
  readGlyphs(table, offsets, codeTable, font);
  SwfReader codes(table.subspan(std::min<size_t>(codeTable, table.size())));
  bool wideCodes = flags & kFontWideCodes;
  for (size_t i = 0; i < count && codes.remaining() > 0; ++i)
    font.codes.push_back(wideCodes ? codes.u16() : codes.u8());
  if ((flags & kFontHasLayout) && codes.ok()) {
    font.ascent = codes.u16();
    font.descent = codes.u16();
    font.leading = codes.s16();
    for (size_t i = 0; i < count && codes.remaining() > 0; ++i) font.advances.push_back(codes.s16());
    font.hasLayout = codes.ok();
  }
  return true;
}

bool readFontInfo(SwfReader& body, int version, FontDef& font) {
  uint8_t nameLength = body.u8();
  auto name = body.bytes(nameLength);
  uint8_t flags = body.u8();
  if (version >= 2) body.u8();  // language
  if (!body.ok()) return false;
  font.name.assign(name.begin(), name.end());
  while (!font.name.empty() && font.name.back() == '\0') font.name.pop_back();
  font.bold = flags & kInfoBold;
  font.italic = flags & kInfoItalic;
  bool wide = flags & kInfoWideCodes;
  font.codes.clear();
  for (size_t i = 0; i < font.glyphs.size() && body.remaining() > 0; ++i)
    font.codes.push_back(wide ? body.u16() : body.u8());
  return body.ok();
}

namespace {

enum TextRecordFlags : uint8_t {
  kRecordIsStyle = 0x80,
  kRecordHasFont = 0x08,
  kRecordHasColor = 0x04,
  kRecordHasY = 0x02,
  kRecordHasX = 0x01,
};

}  // namespace

bool readText(SwfReader& body, int version, TextDef& text) {
  text.bounds = body.rect();
  text.matrix = body.matrix();
  unsigned glyphBits = body.u8(), advanceBits = body.u8();
  if (glyphBits > 32 || advanceBits > 32) return false;
  TextRun run;  // each record changes only what it gives
  bool any = false;
  while (body.ok()) {
    uint8_t flags = body.u8();
    if (flags == 0 || !(flags & kRecordIsStyle)) break;
    if (flags & kRecordHasFont) run.fontId = body.u16();
    if (flags & kRecordHasColor) run.color = version >= 2 ? body.rgba() : body.rgb();
    if (flags & kRecordHasX) run.x = body.s16();
    if (flags & kRecordHasY) run.y = body.s16();
    if (flags & kRecordHasFont) run.height = body.u16();
    uint8_t count = body.u8();
    run.glyphs.clear();
    for (unsigned i = 0; i < count && body.ok(); ++i) {
      GlyphEntry glyph;
      glyph.index = body.bits(glyphBits);
      glyph.advance = body.signedBits(advanceBits);
      run.glyphs.push_back(glyph);
    }
    body.align();
    if (!body.ok()) break;
    text.runs.push_back(run);
    for (const GlyphEntry& glyph : run.glyphs) run.x += float(glyph.advance);
    any = true;
  }
  return any || body.ok();
}

namespace {

enum EditFlags : uint16_t {
  kEditHasText = 0x8000,
  kEditWordWrap = 0x4000,
  kEditMultiline = 0x2000,
  kEditPassword = 0x1000,
  kEditReadOnly = 0x0800,
  kEditHasColor = 0x0400,
  kEditHasMaxLength = 0x0200,
  kEditHasFont = 0x0100,
  kEditHasFontClass = 0x0080,
  kEditAutoSize = 0x0040,
  kEditHasLayout = 0x0020,
  kEditNoSelect = 0x0010,
  kEditBorder = 0x0008,
  kEditHtml = 0x0002,
  kEditUseOutlines = 0x0001,
};

constexpr int kFirstUtf8Version = 6;

// One character of UTF-8 from `at`; a broken sequence gives U+FFFD.
char32_t nextUtf8(std::string_view bytes, size_t& at) {
  auto lead = uint8_t(bytes[at++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || at + size_t(extra) > bytes.size()) return 0xFFFD;
  char32_t c = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    auto next = uint8_t(bytes[at]);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    c = c << 6 | (next & 0x3F);
    ++at;
  }
  return c;
}

struct Entity {
  std::u32string_view name;
  char32_t value;
};
constexpr Entity kEntities[] = {{U"lt", U'<'},   {U"gt", U'>'},    {U"amp", U'&'},
                                {U"quot", U'"'}, {U"apos", U'\''}, {U"nbsp", 0xA0}};

}  // namespace

std::optional<char32_t> entityAt(const std::u32string& html, size_t& at) {
  size_t end = html.find(U';', at);
  if (end == std::u32string::npos || end - at > 8) return std::nullopt;
  std::u32string_view name(html.data() + at, end - at);
  std::optional<char32_t> value;
  if (name.size() > 1 && name[0] == U'#') {
    char32_t number = 0;
    bool hex = name[1] == U'x' || name[1] == U'X';
    for (char32_t c : name.substr(hex ? 2 : 1)) {
      int digit = c >= U'0' && c <= U'9'          ? int(c - U'0')
                  : hex && c >= U'a' && c <= U'f' ? int(c - U'a' + 10)
                  : hex && c >= U'A' && c <= U'F' ? int(c - U'A' + 10)
                                                  : -1;
      if (digit < 0) return std::nullopt;
      number = std::min<char32_t>(number * (hex ? 16 : 10) + char32_t(digit), 0x10FFFF);
    }
    value = number;
  } else {
    for (const Entity& e : kEntities)
      if (e.name == name) value = e.value;
  }
  if (value) at = end + 1;
  return value;
}

namespace {

bool tagBreaksLine(std::u32string_view tag) {
  auto lower = [](char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; };
  std::u32string name;
  for (char32_t c : tag) {
    if (c == U' ' || c == U'>' || (c == U'/' && !name.empty())) break;
    name += lower(c);
  }
  return name == U"br" || name == U"/p" || name == U"br/" || name == U"/li";
}

}  // namespace

std::u32string decodeText(std::string_view bytes, int movieVersion) {
  std::u32string out;
  out.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();)
    out += movieVersion >= kFirstUtf8Version ? nextUtf8(bytes, at) : char32_t(uint8_t(bytes[at++]));
  return out;
}

std::u32string textOfHtml(const std::u32string& html) {
  std::u32string out;
  for (size_t at = 0; at < html.size();) {
    char32_t c = html[at];
    if (c == U'<') {
      size_t end = html.find(U'>', at);
      if (end == std::u32string::npos) break;
      if (tagBreaksLine(std::u32string_view(html).substr(at + 1, end - at - 1))) out += U'\r';
      at = end + 1;
    } else if (c == U'&') {
      ++at;
      if (auto value = entityAt(html, at)) {
        out += *value;
      } else {
        out += U'&';
      }
    } else {
      out += c;
      ++at;
    }
  }
  // A last paragraph's end makes no empty line.
  if (!out.empty() && out.back() == U'\r') out.pop_back();
  return out;
}

bool readEditText(SwfReader& body, int movieVersion, EditTextDef& text) {
  text.bounds = body.rect();
  uint16_t flags = body.u16();
  // The flags are two bytes, most significant first.
  flags = uint16_t(flags << 8 | flags >> 8);
  text.wordWrap = flags & kEditWordWrap;
  text.multiline = flags & kEditMultiline;
  text.password = flags & kEditPassword;
  text.border = flags & kEditBorder;
  text.background = text.border;  // a bordered field is drawn on white
  text.html = flags & kEditHtml;
  text.useOutlines = flags & kEditUseOutlines;
  text.readOnly = flags & kEditReadOnly;
  text.noSelect = flags & kEditNoSelect;
  text.autoSize = flags & kEditAutoSize;
  if (flags & kEditHasFont) text.fontId = body.u16();
  if (flags & kEditHasFontClass) body.string();
  if (flags & (kEditHasFont | kEditHasFontClass)) text.height = body.u16();
  if (flags & kEditHasColor) text.color = body.rgba();
  if (flags & kEditHasMaxLength) text.maxLength = body.u16();
  if (flags & kEditHasLayout) {
    uint8_t align = body.u8();
    text.align = align <= 3 ? TextAlign(align) : TextAlign::Left;
    text.leftMargin = body.u16();
    text.rightMargin = body.u16();
    text.indent = body.u16();
    text.leading = body.s16();
  }
  text.variable = std::string(body.string());
  if (flags & kEditHasText) {
    std::u32string initial = decodeText(body.string(), movieVersion);
    text.text = text.html ? textOfHtml(initial) : initial;
    if (text.html) text.htmlText = std::move(initial);
  }
  return body.ok();
}

}  // namespace swf
