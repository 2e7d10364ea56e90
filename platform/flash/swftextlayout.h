#pragma once
// A text field's text laid out in lines: each character in the font of its
// own format, lines broken at paragraph ends and, with word wrap, at the
// last space that fits, each paragraph placed by its own alignment, margins,
// indent and leading. The renderer draws from it; scripts measure with it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/flash/swfedittext.h"

namespace gdi {
class FontFace;
}

namespace swf {

struct MovieDef;

constexpr float kGutterTwips = 40;        // a field's text keeps 2 pixels from its frame
constexpr int kMaxDevicePixelSize = 128;  // larger device text is drawn at this size

// The device's face standing for a movie's font name, in a style, at a pixel size.
std::shared_ptr<gdi::FontFace> deviceFace(const std::string& name, bool bold, bool italic, int pixels);

// What measures and draws characters of one format, in twips.
struct FieldFont {
  const FontDef* outlines = nullptr;  // embedded glyphs in use, or null for the device's
  std::shared_ptr<gdi::FontFace> device;
  int devicePixels = 0;  // the size the device face is drawn at
  float twipsPerDevicePixel = 1;
  // Drawn device glyphs advance by their own whole-size advances; measured
  // ones by advances scaled to the asked size.
  float advanceTwipsPerDevicePixel = 1;
  float height = 0;  // twips per em

  float advance(char32_t c) const;
  float ascent() const;
  float descent() const;
};

struct LaidLine {
  size_t from = 0;  // the characters shown, [from, to)
  size_t to = 0;
  float width = 0;  // twips, from the first character's left to the last one's right
  float ascent = 0;
  float descent = 0;
  float leading = 0;   // added below the line
  float top = 0;       // twips from the text area's top
  float baseline = 0;  // likewise
};

struct FieldLayout {
  std::vector<FieldFont> fonts;
  std::vector<uint16_t> fontOf;  // per character: its font in `fonts`
  std::vector<float> x;          // per character: its left, in the field's space
  std::vector<LaidLine> lines;
  float width = 0;   // the widest line
  float height = 0;  // every line with the leading between them
};

enum class LayoutUse { Measure, Draw };

// Lays out `field` at `scale` pixels per twip; `shown` is the text as drawn
// (a password field's stars), the same length as the field's.
FieldLayout layoutField(const MovieDef& movie, const EditTextState& field, const std::u32string& shown, float scale,
                        LayoutUse use);

// Lines of the field shown at once from line `first` (0-based), at least one.
size_t linesShown(const FieldLayout& layout, const EditTextState& field, size_t first);

}  // namespace swf
