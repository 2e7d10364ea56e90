#pragma once
// Shapes of a movie (DefineShape 1 to 4): fill and line styles and the edges
// that use them, kept in twips as the file gives them.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/flash/swfgeometry.h"
#include "platform/flash/swfraster.h"
#include "platform/flash/swfreader.h"
#include "platform/flash/swfstroke.h"

namespace swf {

struct GradientStop {
  uint8_t ratio = 0;
  Rgba color;
};

enum class FillKind { Solid, LinearGradient, RadialGradient, Bitmap };

// Beyond the gradient square: the end colours held, the ramp mirrored, or repeated.
enum class Spread : uint8_t { Pad, Reflect, Repeat };

struct FillStyle {
  FillKind kind = FillKind::Solid;
  Rgba color;                       // Solid
  Matrix matrix;                    // gradient square (or bitmap) to shape space
  std::vector<GradientStop> stops;  // gradients, ratios ascending as stored
  uint16_t bitmapId = 0;            // Bitmap
  // Bitmap: pixels made by a script, used instead of the movie's picture.
  std::shared_ptr<const BitmapPixels> pixels;
  bool bitmapRepeats = true;    // Bitmap: tiled, or its edge pixels extended
  bool bitmapSmoothed = true;   // Bitmap: filtered between pixels, or nearest pixel
  float focal = 0;              // RadialGradient: focal point on the x axis, -1..1 of the radius
  Spread spread = Spread::Pad;  // gradients
  bool linearRgb = false;       // gradients: colours mixed in linear light
  std::vector<uint32_t> ramp;   // gradients: kRampSize premultiplied colours, by finish()
};

constexpr size_t kRampSize = 256;

// The colours of a gradient at its kRampSize positions, premultiplied, after
// the colour transform.
void buildRamp(const std::vector<GradientStop>& stops, const ColorTransform& colorTransform, uint32_t* ramp,
               bool linearRgb = false);
// A gradient's ramp made from its stops; other fills need nothing.
void finishFill(FillStyle& fill);

struct LineStyle {
  uint16_t width = 0;  // twips; 0 is a hairline
  Rgba color;
  LineCap startCap = LineCap::Round;
  LineCap endCap = LineCap::Round;
  LineJoin join = LineJoin::Round;
  float miterLimit = 3;  // Miter: how far a miter reaches, in half widths
  bool scalesX = true;   // the width follows the horizontal scale
  bool scalesY = true;   // the width follows the vertical scale
  bool noClose = false;  // a path that ends where it started keeps its caps
  // A gradient or picture that paints the stroke instead of `color`.
  std::shared_ptr<const FillStyle> fill;
};

// One edge; a straight edge has control == the midpoint and curved false.
struct Edge {
  Point from;
  Point control;
  Point to;
  bool curved = false;
};

// A run of connected edges drawn with one set of styles. Style numbers index
// the shape's style arrays from 1; 0 means none.
struct ShapePath {
  uint32_t fill0 = 0;  // fill on the left of the edges
  uint32_t fill1 = 0;  // fill on the right of the edges
  uint32_t line = 0;
  uint32_t layer = 0;  // the style array in use: 0 for the first, one more for each new array
  std::vector<Edge> edges;
};

struct ShapeDef {
  Rect bounds;
  std::vector<FillStyle> fills;  // every style array of the shape, appended
  std::vector<LineStyle> lines;
  std::vector<ShapePath> paths;  // in the file's order, so by layer
  // Where each style array's fills start in `fills`. Each array is a layer,
  // drawn fills then lines over the layers before it.
  std::vector<size_t> layerFillStarts{0};
  // Where a fill's outline crosses itself, alternate crossings fill (the
  // player's rule for shapes and scripts' drawings) rather than every area
  // wound round (DefineShape4's winding flag, and glyphs).
  bool evenOdd = false;

  // The edges around fill style `fill` (1-based), all oriented with the fill
  // on their right; built by finish(), with the gradients' ramps.
  std::vector<std::vector<Edge>> fillEdges;
  void finish();
};

// Reads the body of a DefineShape tag of the given version (1 to 4) after the
// character id. Answers false when the data ends before the shape does; what
// was read so far is kept so that a truncated shape still draws its start.
bool readShape(SwfReader& reader, int version, ShapeDef& shape);

// Reads shape records alone (bit counts, then edges and style changes) into
// `shape`, whose styles are already there; used by glyphs and morph shapes.
void readShapeRecords(SwfReader& reader, int version, ShapeDef& shape);

// How a tag stores its styles: the shape tags by version; morph shapes keep
// every style as a start and an end value.
struct StyleFormat {
  bool rgba = true;            // colours carry alpha
  bool strokeFlags = false;    // line styles with cap, join and fill flags
  bool extendedCounts = true;  // a count of 0xFF is followed by a 16-bit count
  static StyleFormat forShape(int version);
  static StyleFormat forMorph(int version);
};
// One fill style into each of `styles` (one, or a morph's start and end):
// values the two share are stored once, the others once for each in turn.
void readFillStyles(SwfReader& reader, const StyleFormat& format, std::span<FillStyle> styles);
// A morph shape's fill and line style arrays, each style a start and an end.
void readStyleArrays(SwfReader& reader, const StyleFormat& format, ShapeDef& start, ShapeDef& end);
// A glyph of a font: records filled with one solid style, finished.
ShapeDef readGlyph(SwfReader& reader);

}  // namespace swf
