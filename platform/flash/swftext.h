#pragma once
// Fonts and text of a movie: DefineFont, DefineFont2 and DefineFont3 glyph
// outlines with DefineFontInfo's character codes, static text (DefineText,
// DefineText2) as glyph runs, and text fields (DefineEditText) with their
// initial text, laid out when drawn.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/flash/swfgeometry.h"
#include "platform/flash/swfreader.h"
#include "platform/flash/swfshape.h"

namespace swf {

struct FontDef {
  std::string name;
  bool bold = false;
  bool italic = false;
  float emSquare = 1024;         // glyph units per em: 1024, or 20480 for DefineFont3
  std::vector<ShapeDef> glyphs;  // outlines in glyph units, y down, baseline at 0
  std::vector<uint16_t> codes;   // the character of each glyph, when known
  std::vector<int16_t> advances;
  int ascent = 0;  // glyph units, with the layout
  int descent = 0;
  int leading = 0;
  bool hasLayout = false;

  // The glyph drawing `code`, or none.
  std::optional<size_t> glyphFor(char32_t code) const;
};

// The bodies after the character id. DefineFont's glyph count follows from
// its first offset; damaged glyphs are left empty rather than failing the font.
bool readFont1(SwfReader& body, FontDef& font);
bool readFont2(SwfReader& body, int version, FontDef& font);  // version 2 or 3
// DefineFontInfo (`version` 1) or DefineFontInfo2 (2) after the font id.
bool readFontInfo(SwfReader& body, int version, FontDef& font);

struct GlyphEntry {
  uint32_t index = 0;
  int32_t advance = 0;  // twips
};

// A run of glyphs in one font, colour and height, from one point.
struct TextRun {
  uint16_t fontId = 0;
  Rgba color;
  float x = 0;  // twips, in the text's space
  float y = 0;
  uint16_t height = 0;  // twips per em
  std::vector<GlyphEntry> glyphs;
};

struct TextDef {
  Rect bounds;
  Matrix matrix;
  std::vector<TextRun> runs;
};

// DefineText (`version` 1) or DefineText2 (2, colours with alpha).
bool readText(SwfReader& body, int version, TextDef& text);

enum class TextAlign : uint8_t { Left, Right, Center, Justify };

struct EditTextDef {
  Rect bounds;
  std::optional<uint16_t> fontId;
  uint16_t height = 240;  // twips
  Rgba color{0, 0, 0, 255};
  TextAlign align = TextAlign::Left;
  uint16_t leftMargin = 0;  // twips
  uint16_t rightMargin = 0;
  uint16_t indent = 0;
  int16_t leading = 0;
  bool wordWrap = false;
  bool multiline = false;
  bool password = false;
  bool border = false;      // a frame in borderColor
  bool background = false;  // filled with backgroundColor
  Rgba borderColor{0, 0, 0, 255};
  Rgba backgroundColor{255, 255, 255, 255};
  bool html = false;
  bool useOutlines = false;  // the embedded font's glyphs, else the device's
  bool readOnly = false;     // not an input field
  bool noSelect = false;
  bool autoSize = false;
  uint16_t maxLength = 0;  // characters an input field takes; 0: no limit
  std::string variable;
  std::u32string text;      // the initial text, decoded, markup removed
  std::u32string htmlText;  // the initial markup of an HTML field
};

// `movieVersion` decides how the text is encoded: UTF-8 from 6, else ANSI.
bool readEditText(SwfReader& body, int movieVersion, EditTextDef& text);

// The visible text of a field's HTML: tags dropped, line breaks for <br>
// and paragraph ends, character entities decoded.
std::u32string textOfHtml(const std::u32string& html);
// Decodes the character entity after '&' at `at`; leaves `at` after its ';'.
std::optional<char32_t> entityAt(const std::u32string& html, size_t& at);
std::u32string decodeText(std::string_view bytes, int movieVersion);

}  // namespace swf
