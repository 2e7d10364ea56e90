#include "platform/flash/swfshape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "platform/flash/swfraster.h"

namespace swf {

namespace {

constexpr uint8_t kFillSolid = 0x00;
constexpr uint8_t kFillLinear = 0x10;
constexpr uint8_t kFillRadial = 0x12;
constexpr uint8_t kFillFocal = 0x13;
constexpr uint8_t kFillBitmapFirst = 0x40;
constexpr uint8_t kFillBitmapLast = 0x43;
constexpr uint8_t kFillBitmapClipped = 0x01;
constexpr uint8_t kFillBitmapUnsmoothed = 0x02;
constexpr uint8_t kExtendedCount = 0xFF;
constexpr uint8_t kSpreadShift = 6;
constexpr uint8_t kInterpolationShift = 4;
constexpr uint8_t kLinearRgb = 1;
constexpr unsigned kJoinMiter = 2;
// A shape's styles come one at a time, a morph shape's as start and end.
constexpr size_t kMaxStyleSets = 2;

Rgba readColor(SwfReader& r, const StyleFormat& format) { return format.rgba ? r.rgba() : r.rgb(); }

Spread spreadOf(uint8_t flags) {
  uint8_t spread = (flags >> kSpreadShift) & 3;
  return spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
}

void readGradient(SwfReader& r, const StyleFormat& format, std::span<FillStyle> styles) {
  for (FillStyle& fill : styles) fill.matrix = r.matrix();
  uint8_t flags = r.u8();  // spread, interpolation, count
  unsigned count = flags & 0x0F;
  for (FillStyle& fill : styles) {
    fill.spread = spreadOf(flags);
    fill.linearRgb = ((flags >> kInterpolationShift) & 3) == kLinearRgb;
    fill.stops.reserve(count);
  }
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    for (FillStyle& fill : styles) {
      GradientStop stop;
      stop.ratio = r.u8();
      stop.color = readColor(r, format);
      fill.stops.push_back(stop);
    }
  }
}

// The focal point is an 8.8 fixed-point fraction of the radius; at the circle
// itself the gradient would fold, so it stays just inside.
float readFocal(SwfReader& r) { return std::clamp(float(r.s16()) / 256.0f, -0.98f, 0.98f); }

void readBitmapFill(SwfReader& r, uint8_t type, std::span<FillStyle> styles) {
  uint16_t bitmapId = r.u16();
  for (FillStyle& fill : styles) {
    fill.kind = FillKind::Bitmap;
    fill.bitmapRepeats = (type & kFillBitmapClipped) == 0;
    fill.bitmapSmoothed = (type & kFillBitmapUnsmoothed) == 0;
    fill.bitmapId = bitmapId;
    fill.matrix = r.matrix();
  }
}

// A filled stroke is drawn with the fill's first colour.
Rgba strokeColorOf(const FillStyle& fill) {
  return fill.kind == FillKind::Solid ? fill.color : fill.stops.empty() ? Rgba{} : fill.stops.front().color;
}

// The stroke flags of DefineShape4 and DefineMorphShape2, ahead of the colour or fill.
struct StrokeFlags {
  LineCap startCap = LineCap::Round, endCap = LineCap::Round;
  LineJoin join = LineJoin::Round;
  bool hasFill = false, noHScale = false, noVScale = false, noClose = false;
  float miterLimit = 3;
};

LineCap capOf(unsigned bits) { return bits == 1 ? LineCap::None : bits == 2 ? LineCap::Square : LineCap::Round; }

StrokeFlags readStrokeFlags(SwfReader& r) {
  StrokeFlags f;
  f.startCap = capOf(r.bits(2));
  unsigned join = r.bits(2);
  f.join = join == 1 ? LineJoin::Bevel : join == kJoinMiter ? LineJoin::Miter : LineJoin::Round;
  f.hasFill = r.bits(1);
  f.noHScale = r.bits(1);
  f.noVScale = r.bits(1);
  r.bits(1);  // pixel hinting
  r.bits(5);  // reserved
  f.noClose = r.bits(1);
  f.endCap = capOf(r.bits(2));
  if (join == kJoinMiter) f.miterLimit = float(r.u16()) / 256;
  return f;
}

void readLineStyles(SwfReader& r, const StyleFormat& format, std::span<LineStyle> lines) {
  for (LineStyle& line : lines) line.width = r.u16();
  StrokeFlags flags;
  if (format.strokeFlags) flags = readStrokeFlags(r);
  for (LineStyle& line : lines) {
    line.startCap = flags.startCap, line.endCap = flags.endCap, line.join = flags.join;
    line.miterLimit = flags.miterLimit;
    line.scalesX = !flags.noHScale, line.scalesY = !flags.noVScale;
    line.noClose = flags.noClose;
  }
  if (!flags.hasFill) {
    for (LineStyle& line : lines) line.color = readColor(r, format);
    return;
  }
  std::array<FillStyle, kMaxStyleSets> read;
  std::span<FillStyle> fills = std::span(read).first(lines.size());
  readFillStyles(r, format, fills);
  for (size_t i = 0; i < lines.size(); ++i) {
    lines[i].color = strokeColorOf(fills[i]);
    if (fills[i].kind == FillKind::Solid) continue;
    finishFill(fills[i]);
    lines[i].fill = std::make_shared<const FillStyle>(std::move(fills[i]));
  }
}

size_t readCount(SwfReader& r, const StyleFormat& format) {
  size_t count = r.u8();
  if (count == kExtendedCount && format.extendedCounts) count = r.u16();
  return count;
}

void readStyleArrays(SwfReader& r, const StyleFormat& format, std::span<ShapeDef* const> shapes) {
  shapes = shapes.first(std::min(shapes.size(), kMaxStyleSets));
  size_t fillCount = readCount(r, format);
  for (size_t i = 0; i < fillCount && r.ok(); ++i) {
    std::array<FillStyle, kMaxStyleSets> read;
    readFillStyles(r, format, std::span(read).first(shapes.size()));
    for (size_t k = 0; k < shapes.size(); ++k) shapes[k]->fills.push_back(std::move(read[k]));
  }
  size_t lineCount = readCount(r, format);
  for (size_t i = 0; i < lineCount && r.ok(); ++i) {
    std::array<LineStyle, kMaxStyleSets> read;
    readLineStyles(r, format, std::span(read).first(shapes.size()));
    for (size_t k = 0; k < shapes.size(); ++k) shapes[k]->lines.push_back(read[k]);
  }
}

}  // namespace

StyleFormat StyleFormat::forShape(int version) {
  return {.rgba = version >= 3, .strokeFlags = version >= 4, .extendedCounts = version >= 2};
}

StyleFormat StyleFormat::forMorph(int version) {
  return {.rgba = true, .strokeFlags = version >= 2, .extendedCounts = true};
}

void readFillStyles(SwfReader& r, const StyleFormat& format, std::span<FillStyle> styles) {
  uint8_t type = r.u8();
  if (type == kFillSolid) {
    for (FillStyle& fill : styles) fill.color = readColor(r, format);
  } else if (type == kFillLinear || type == kFillRadial || type == kFillFocal) {
    for (FillStyle& fill : styles)
      fill.kind = type == kFillLinear ? FillKind::LinearGradient : FillKind::RadialGradient;
    readGradient(r, format, styles);
    if (type == kFillFocal) {
      for (FillStyle& fill : styles) fill.focal = readFocal(r);
    }
  } else if (type >= kFillBitmapFirst && type <= kFillBitmapLast) {
    readBitmapFill(r, type, styles);
  } else {
    r.fail();  // unknown fill type: the rest of the shape cannot be read
  }
}

void readStyleArrays(SwfReader& reader, const StyleFormat& format, ShapeDef& start, ShapeDef& end) {
  ShapeDef* const shapes[] = {&start, &end};
  readStyleArrays(reader, format, shapes);
}

namespace {

void readStyleArrays(SwfReader& r, int version, ShapeDef& shape) {
  ShapeDef* const shapes[] = {&shape};
  readStyleArrays(r, StyleFormat::forShape(version), shapes);
}

// Reads the shape records, starting a new path at every style change.
class RecordReader {
 public:
  RecordReader(SwfReader& r, int version, ShapeDef& shape) : m_r(r), m_version(version), m_shape(shape) {}

  void run() {
    readBitCounts();
    while (m_r.ok()) {
      if (m_r.bits(1)) {
        readEdge();
      } else if (!readStyleChange()) {
        break;
      }
    }
  }

 private:
  void readBitCounts() {
    uint8_t counts = m_r.u8();
    m_fillBits = counts >> 4;
    m_lineBits = counts & 0x0F;
  }

  uint32_t styleIndex(uint32_t local, size_t base, size_t total) const {
    if (local == 0 || base + local > total) return 0;  // out of range: no style
    return uint32_t(base + local);
  }

  ShapePath& newPath() {
    ShapePath path;
    if (!m_shape.paths.empty()) {
      const ShapePath& last = m_shape.paths.back();
      path.fill0 = last.fill0;
      path.fill1 = last.fill1;
      path.line = last.line;
    }
    path.layer = m_layer;
    m_shape.paths.push_back(std::move(path));
    return m_shape.paths.back();
  }

  ShapePath& currentPath() { return m_shape.paths.empty() ? newPath() : m_shape.paths.back(); }

  // Answers false at the end record.
  bool readStyleChange() {
    unsigned flags = m_r.bits(5);
    if (flags == 0) return false;
    bool newStyles = flags & 0x10, line = flags & 0x08, fill1 = flags & 0x04, fill0 = flags & 0x02, move = flags & 0x01;
    ShapePath& path = newPath();
    if (move) {
      unsigned n = m_r.bits(5);
      m_pen.x = float(m_r.signedBits(n));
      m_pen.y = float(m_r.signedBits(n));
    }
    std::optional<uint32_t> f0, f1, l;
    if (fill0) f0 = m_r.bits(m_fillBits);
    if (fill1) f1 = m_r.bits(m_fillBits);
    if (line) l = m_r.bits(m_lineBits);
    if (newStyles && m_version >= 2) {
      // A new style array starts afresh: earlier styles are out of reach,
      // and the numbers of this record already count in the new array.
      m_fillBase = m_shape.fills.size();
      m_lineBase = m_shape.lines.size();
      m_shape.layerFillStarts.push_back(m_fillBase);
      path.layer = ++m_layer;
      readStyleArrays(m_r, m_version, m_shape);
      readBitCounts();
      path.fill0 = path.fill1 = path.line = 0;
    }
    if (f0) path.fill0 = styleIndex(*f0, m_fillBase, m_shape.fills.size());
    if (f1) path.fill1 = styleIndex(*f1, m_fillBase, m_shape.fills.size());
    if (l) path.line = styleIndex(*l, m_lineBase, m_shape.lines.size());
    return true;
  }

  void readEdge() {
    bool straight = m_r.bits(1);
    unsigned n = m_r.bits(4) + 2;
    Edge edge;
    edge.from = m_pen;
    if (straight) {
      int32_t dx = 0, dy = 0;
      if (m_r.bits(1)) {
        dx = m_r.signedBits(n);
        dy = m_r.signedBits(n);
      } else if (m_r.bits(1)) {
        dy = m_r.signedBits(n);
      } else {
        dx = m_r.signedBits(n);
      }
      edge.to = {m_pen.x + float(dx), m_pen.y + float(dy)};
      edge.control = {(edge.from.x + edge.to.x) / 2, (edge.from.y + edge.to.y) / 2};
    } else {
      int32_t cx = m_r.signedBits(n), cy = m_r.signedBits(n);
      int32_t ax = m_r.signedBits(n), ay = m_r.signedBits(n);
      edge.control = {m_pen.x + float(cx), m_pen.y + float(cy)};
      edge.to = {edge.control.x + float(ax), edge.control.y + float(ay)};
      edge.curved = true;
    }
    if (!m_r.ok()) return;
    m_pen = edge.to;
    currentPath().edges.push_back(edge);
  }

  SwfReader& m_r;
  int m_version;
  ShapeDef& m_shape;
  unsigned m_fillBits = 0;
  unsigned m_lineBits = 0;
  size_t m_fillBase = 0;
  size_t m_lineBase = 0;
  uint32_t m_layer = 0;
  Point m_pen;
};

Edge reversed(const Edge& e) { return {e.to, e.control, e.from, e.curved}; }

}  // namespace

namespace {

float toLinear(uint8_t c) {
  float v = float(c) / 255.0f;
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

uint8_t fromLinear(float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  float s = v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
  return uint8_t(s * 255.0f + 0.5f);
}

}  // namespace

namespace {

constexpr size_t kMaxRampStops = 256;

// Stops written at the ratio of the stop before them each take the next
// position up, so that every one of them shows as a band of its own.
size_t spreadEqualRatios(const std::vector<GradientStop>& stops, std::array<uint8_t, kMaxRampStops>& ratios) {
  size_t count = std::min(stops.size(), kMaxRampStops);
  for (size_t i = 0; i < count; ++i)
    ratios[i] =
        i > 0 && stops[i].ratio == stops[i - 1].ratio ? uint8_t(std::min(255, ratios[i - 1] + 1)) : stops[i].ratio;
  return count;
}

}  // namespace

void buildRamp(const std::vector<GradientStop>& stops, const ColorTransform& cx, uint32_t* ramp, bool linearRgb) {
  if (stops.empty()) {
    std::fill_n(ramp, kRampSize, 0u);
    return;
  }
  std::array<uint8_t, kMaxRampStops> ratios;
  size_t count = spreadEqualRatios(stops, ratios);
  size_t next = 0;
  for (size_t i = 0; i < kRampSize; ++i) {
    while (next < count && ratios[next] < i) ++next;
    Rgba c;
    if (next == 0) {
      c = stops.front().color;
    } else if (next >= count) {
      c = stops[count - 1].color;
    } else {
      const Rgba& a = stops[next - 1].color;
      const Rgba& b = stops[next].color;
      int span = ratios[next] - ratios[next - 1];
      float t = span > 0 ? float(int(i) - ratios[next - 1]) / float(span) : 1.0f;
      auto lerp = [t](uint8_t x, uint8_t y) { return uint8_t(float(x) + float(y - x) * t + 0.5f); };
      auto lerpLinear = [t](uint8_t x, uint8_t y) { return fromLinear(toLinear(x) + (toLinear(y) - toLinear(x)) * t); };
      auto mix = [&](uint8_t x, uint8_t y) { return linearRgb ? lerpLinear(x, y) : lerp(x, y); };
      c = {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), lerp(a.a, b.a)};
    }
    ramp[i] = premultiply(cx.apply(c));
  }
}

void finishFill(FillStyle& fill) {
  if (fill.kind != FillKind::LinearGradient && fill.kind != FillKind::RadialGradient) return;
  fill.ramp.resize(kRampSize);
  buildRamp(fill.stops, ColorTransform{}, fill.ramp.data(), fill.linearRgb);
}

void ShapeDef::finish() {
  for (FillStyle& fill : fills) finishFill(fill);
  fillEdges.assign(fills.size(), {});
  for (const ShapePath& path : paths) {
    if (path.fill0 == path.fill1) continue;  // same fill both sides: no boundary
    for (const Edge& e : path.edges) {
      if (path.fill1) fillEdges[path.fill1 - 1].push_back(e);
      if (path.fill0) fillEdges[path.fill0 - 1].push_back(reversed(e));
    }
  }
}

namespace {
constexpr uint8_t kUsesFillWindingRule = 0x04;  // DefineShape4: non-zero winding
}  // namespace

bool readShape(SwfReader& reader, int version, ShapeDef& shape) {
  shape.bounds = reader.rect();
  shape.evenOdd = true;
  if (version >= 4) {
    reader.rect();  // edge bounds
    shape.evenOdd = !(reader.u8() & kUsesFillWindingRule);
  }
  readStyleArrays(reader, version, shape);
  if (reader.ok()) RecordReader(reader, version, shape).run();
  shape.finish();
  return reader.ok();
}

void readShapeRecords(SwfReader& reader, int version, ShapeDef& shape) { RecordReader(reader, version, shape).run(); }

ShapeDef readGlyph(SwfReader& reader) {
  ShapeDef glyph;
  glyph.fills.push_back(FillStyle{});
  RecordReader(reader, 1, glyph).run();
  glyph.finish();
  return glyph;
}

}  // namespace swf
