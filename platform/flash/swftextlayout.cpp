// Lays out a text field's formatted text in lines.

#include "platform/flash/swftextlayout.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/flash/swfmovie.h"
#include "platform/gdi/font.h"

namespace swf {

namespace {

constexpr float kTwipsPerPoint = 20;

bool isBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

// The device family standing for a movie's font name: the three generic
// names, then a few look-alikes; everything else is drawn in the sans face.
const char16_t* deviceFamily(const std::string& name) {
  auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
  if (name == "_serif" || has("Times") || has("Georgia") || has("Serif") || has("serif"))
    return has("Sans") || has("sans") ? u"Arial" : u"Times New Roman";
  if (name == "_typewriter" || has("Courier") || has("Mono") || has("mono")) return u"Courier New";
  return u"Arial";
}

// The embedded font a format names: one of its style first, else any of
// that name with glyphs.
const FontDef* namedFont(const MovieDef& movie, const TextFieldFormat& format) {
  const FontDef* any = nullptr;
  for (const auto& [id, character] : movie.dictionary) {
    const FontDef* font = character.kind == CharacterKind::Font ? character.font.get() : nullptr;
    if (!font || font->glyphs.empty() || font->name != format.font) continue;
    if (font->bold == format.bold && font->italic == format.italic) return font;
    if (!any) any = font;
  }
  return any;
}

FieldFont fontFor(const MovieDef& movie, const EditTextState& field, const TextFieldFormat& format, float scale,
                  LayoutUse use) {
  FieldFont font;
  font.height = std::max(1.0f, float(format.size) * kTwipsPerPoint);
  const FontDef* own = field.def.fontId ? movie.font(*field.def.fontId) : nullptr;
  const FontDef* named = namedFont(movie, format);
  if (field.def.useOutlines) {
    const FontDef* embedded = named ? named : own;
    if (embedded && !embedded->glyphs.empty()) {
      font.outlines = embedded;
      return font;
    }
  }
  float pixelSize = font.height * scale;
  font.devicePixels = std::clamp(int(std::lround(pixelSize)), 1, kMaxDevicePixelSize);
  font.device = deviceFace(format.font, format.bold, format.italic, font.devicePixels);
  font.twipsPerDevicePixel = pixelSize / float(font.devicePixels) / scale;
  font.advanceTwipsPerDevicePixel = use == LayoutUse::Draw ? 1 / scale : font.twipsPerDevicePixel;
  return font;
}

float letterSpacingOf(const TextFieldFormat& format) { return float(format.letterSpacing) * kTwipsPerPoint; }

// Each character's font and advance; one font per distinct format.
void measureCharacters(const MovieDef& movie, const EditTextState& field, const std::u32string& shown, float scale,
                       LayoutUse use, FieldLayout& out, std::vector<float>& advances) {
  std::vector<const TextFieldFormat*> formats;
  size_t at = 0;
  auto addRun = [&](const TextFieldFormat& format, size_t length) {
    auto found = std::find_if(formats.begin(), formats.end(), [&](const TextFieldFormat* f) { return *f == format; });
    if (found == formats.end()) {
      formats.push_back(&format);
      out.fonts.push_back(fontFor(movie, field, format, scale, use));
      found = formats.end() - 1;
    }
    auto index = uint16_t(found - formats.begin());
    for (size_t end = std::min(at + length, shown.size()); at < end; ++at) {
      out.fontOf.push_back(index);
      advances.push_back(isBreak(shown[at]) ? 0 : out.fonts[index].advance(shown[at]) + letterSpacingOf(format));
    }
  };
  for (const FormatRun& run : field.runs) addRun(run.format, run.length);
  if (at < shown.size() || out.fonts.empty()) addRun(formatAt(field, at), shown.size() - at);
}

// The characters [from, to) of one paragraph broken into lines: with word
// wrap, a line that would grow wider than its room ends at its last space
// (which is dropped), or before the character that does not fit.
void breakParagraph(const std::u32string& text, const std::vector<float>& advances, size_t from, size_t to, bool wrap,
                    float firstRoom, float room, std::vector<LaidLine>& lines) {
  LaidLine line{from, from};
  float width = 0, lineRoom = firstRoom;
  size_t lastSpace = SIZE_MAX;
  for (size_t i = from; i < to; ++i) {
    if (wrap && i > line.from && text[i] != U' ' && width + advances[i] > lineRoom) {
      size_t end = lastSpace != SIZE_MAX ? lastSpace : i;
      line.to = end;
      lines.push_back(line);
      lineRoom = room;
      line = LaidLine{lastSpace != SIZE_MAX ? lastSpace + 1 : i, 0};
      width = 0;
      for (size_t j = line.from; j < i; ++j) width += advances[j];
      lastSpace = SIZE_MAX;
    }
    if (text[i] == U' ') lastSpace = i;
    width += advances[i];
  }
  line.to = to;
  lines.push_back(line);
}

float areaWidth(const EditTextDef& def) { return float(def.bounds.width()) - 2 * kGutterTwips; }

float firstLineIndent(const TextFieldFormat& p) { return float(p.indent) * kTwipsPerPoint; }

float paragraphLeft(const TextFieldFormat& p) { return float(p.leftMargin + p.blockIndent) * kTwipsPerPoint; }

float paragraphRoom(const EditTextDef& def, const TextFieldFormat& p) {
  return areaWidth(def) - paragraphLeft(p) - float(p.rightMargin) * kTwipsPerPoint;
}

// Places the characters of `line` from the left of the text area: the
// paragraph's margins and alignment, with justified lines (not a paragraph's
// last) spreading the spare room over their spaces.
void placeLine(const std::u32string& text, const std::vector<float>& advances, const EditTextDef& def,
               const TextFieldFormat& p, bool firstOfParagraph, bool lastOfParagraph, LaidLine& line,
               std::vector<float>& x) {
  float indent = firstOfParagraph ? firstLineIndent(p) : 0;
  float room = paragraphRoom(def, p) - indent;
  line.width = 0;
  size_t spaces = 0;
  for (size_t i = line.from; i < line.to; ++i) {
    line.width += advances[i];
    if (text[i] == U' ') ++spaces;
  }
  float left = float(def.bounds.xMin) + kGutterTwips + paragraphLeft(p) + indent;
  float spare = std::max(0.0f, room - line.width);
  if (p.align == TextAlign::Right) left += room - line.width;
  if (p.align == TextAlign::Center) left += (room - line.width) / 2;
  float perSpace = p.align == TextAlign::Justify && !lastOfParagraph && spaces ? spare / float(spaces) : 0;
  float pen = left;
  for (size_t i = line.from; i < line.to; ++i) {
    x[i] = pen;
    pen += advances[i] + (text[i] == U' ' ? perSpace : 0);
  }
  if (perSpace > 0) line.width = room;
}

// A line's height is that of the tallest font on it; an empty line takes
// the font of the character where it stands.
void measureLine(const FieldLayout& layout, size_t at, LaidLine& line) {
  auto take = [&](size_t i) {
    const FieldFont& font = layout.fonts[i < layout.fontOf.size() ? layout.fontOf[i] : 0];
    line.ascent = std::max(line.ascent, font.ascent());
    line.descent = std::max(line.descent, font.descent());
  };
  if (line.from == line.to) take(at);
  for (size_t i = line.from; i < line.to; ++i) take(i);
}

}  // namespace

std::shared_ptr<gdi::FontFace> deviceFace(const std::string& name, bool bold, bool italic, int pixels) {
  LOGFONTW lf{};
  lf.lfHeight = -std::clamp(pixels, 1, kMaxDevicePixelSize);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic;
  const char16_t* family = deviceFamily(name);
  for (size_t i = 0; family[i] && i + 1 < std::size(lf.lfFaceName); ++i) lf.lfFaceName[i] = family[i];
  return gdi::faceFor(lf);
}

float FieldFont::advance(char32_t c) const {
  if (outlines) {
    auto glyph = outlines->glyphFor(c);
    if (glyph && *glyph < outlines->advances.size())
      return float(outlines->advances[*glyph]) * height / outlines->emSquare;
    return height * 0.5f;
  }
  return float(device->glyph(c).advance) * advanceTwipsPerDevicePixel;
}

float FieldFont::ascent() const {
  if (outlines) return float(outlines->ascent) * height / outlines->emSquare;
  return float(device->metrics().tmAscent) * twipsPerDevicePixel;
}

float FieldFont::descent() const {
  if (outlines) return float(outlines->descent) * height / outlines->emSquare;
  return float(device->metrics().tmDescent) * twipsPerDevicePixel;
}

FieldLayout layoutField(const MovieDef& movie, const EditTextState& field, const std::u32string& shown, float scale,
                        LayoutUse use) {
  FieldLayout layout;
  std::vector<float> advances;
  measureCharacters(movie, field, shown, scale, use, layout, advances);
  layout.x.assign(shown.size(), 0);
  float top = 0;
  for (size_t start = 0; start <= shown.size();) {
    size_t end = start;
    while (end < shown.size() && !isBreak(shown[end])) ++end;
    const TextFieldFormat& p = formatAt(field, start);
    float room = paragraphRoom(field.def, p);
    size_t first = layout.lines.size();
    breakParagraph(shown, advances, start, end, field.def.wordWrap, room - firstLineIndent(p), room, layout.lines);
    for (size_t i = first; i < layout.lines.size(); ++i) {
      LaidLine& line = layout.lines[i];
      placeLine(shown, advances, field.def, p, i == first, i + 1 == layout.lines.size(), line, layout.x);
      measureLine(layout, line.from == line.to ? start : line.from, line);
      line.leading = float(p.leading) * kTwipsPerPoint;
      line.top = top;
      line.baseline = top + line.ascent;
      top = line.baseline + line.descent + line.leading;
      layout.width = std::max(layout.width, line.width);
    }
    start = end + 1;
  }
  const LaidLine& last = layout.lines.back();
  layout.height = last.baseline + last.descent;
  return layout;
}

size_t linesShown(const FieldLayout& layout, const EditTextState& field, size_t first) {
  float room = float(field.def.bounds.height()) - 2 * kGutterTwips;
  if (first >= layout.lines.size()) return 1;
  float top = layout.lines[first].top;
  size_t n = 0;
  for (size_t i = first; i < layout.lines.size(); ++i) {
    const LaidLine& line = layout.lines[i];
    if (line.baseline + line.descent - top > room) break;
    ++n;
  }
  return std::max<size_t>(n, 1);
}

}  // namespace swf
