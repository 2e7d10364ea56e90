#include "tools/swfwriter/swfwriter.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace swfwrite {

namespace {

enum : uint16_t {
  kEnd = 0,
  kShowFrame = 1,
  kDefineShape = 2,
  kPlaceObject = 4,
  kRemoveObject = 5,
  kDefineBits = 6,
  kJpegTables = 8,
  kSetBackgroundColor = 9,
  kDoAction = 12,
  kDefineBitsLossless = 20,
  kDefineBitsJpeg2 = 21,
  kDefineShape2 = 22,
  kPlaceObject2 = 26,
  kRemoveObject2 = 28,
  kDefineShape3 = 32,
  kDefineBitsJpeg3 = 35,
  kDefineBitsLossless2 = 36,
  kDefineSprite = 39,
  kFrameLabel = 43,
  kPlaceObject3 = 70,
  kDefineShape4 = 83,
  kDefineButton = 7,
  kDefineFont = 10,
  kDefineText = 11,
  kDefineFontInfo = 13,
  kDefineText2 = 33,
  kDefineButton2 = 34,
  kDefineEditText = 37,
  kDefineMorphShape = 46,
  kDefineFont2 = 48,
  kDefineFont3 = 75,
  kDefineVideoStream = 60,
  kVideoFrame = 61,
};

constexpr uint8_t kBitmapFill = 0x40;
constexpr uint8_t kBitmapClipped = 0x01;
constexpr uint8_t kBitmapUnsmoothed = 0x02;
constexpr uint8_t kFocalGradient = 0x13;

std::vector<uint8_t> deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> packed(size);
  compress2(packed.data(), &size, data.data(), uLong(data.size()), Z_BEST_COMPRESSION);
  packed.resize(size);
  return packed;
}

// The pixel data of a lossless picture before compression, rows padded to 32 bits.
std::vector<uint8_t> losslessData(const Image& picture, Lossless format, bool withAlpha) {
  BitWriter w;
  auto pad = [&](size_t rowBytes) {
    for (size_t i = rowBytes; i % 4; ++i) w.u8(0);
  };
  std::vector<uint32_t> table;
  if (format == Lossless::ColorMapped) {
    for (uint32_t p : picture.pixels)
      if (std::find(table.begin(), table.end(), p) == table.end()) table.push_back(p);
    for (uint32_t c : table) {
      Rgba rgba = premultiplied(c, withAlpha);
      w.u8(rgba.r), w.u8(rgba.g), w.u8(rgba.b);
      if (withAlpha) w.u8(rgba.a);
    }
  }
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
      Rgba c = premultiplied(p, withAlpha);
      if (format == Lossless::ColorMapped) {
        w.u8(uint8_t(std::find(table.begin(), table.end(), p) - table.begin()));
      } else if (format == Lossless::Rgb15) {
        w.bits(0, 1), w.bits(c.r >> 3, 5), w.bits(c.g >> 3, 5), w.bits(c.b >> 3, 5);
      } else {
        w.u8(withAlpha ? c.a : 0), w.u8(c.r), w.u8(c.g), w.u8(c.b);
      }
    }
    pad(size_t(picture.width) * (format == Lossless::ColorMapped ? 1 : format == Lossless::Rgb15 ? 2 : 4));
  }
  return w.take();
}

void appendTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& body) {
  BitWriter w;
  if (body.size() < 0x3F) {
    w.u16(uint16_t(code << 6 | body.size()));
  } else {
    w.u16(uint16_t(code << 6 | 0x3F));
    w.u32(uint32_t(body.size()));
  }
  w.bytes(body);
  auto bytes = w.take();
  out.insert(out.end(), bytes.begin(), bytes.end());
}

int32_t fixed16(float value) { return int32_t(std::lround(double(value) * 65536.0)); }

}  // namespace

unsigned unsignedBitsFor(uint32_t value) {
  unsigned n = 0;
  while (value >> n) ++n;
  return n;
}

unsigned signedBitsFor(int32_t value) {
  uint32_t magnitude = value < 0 ? uint32_t(~value) : uint32_t(value);
  return unsignedBitsFor(magnitude) + 1;
}

void BitWriter::bits(uint32_t value, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (m_bitsUsed == 0) m_data.push_back(0);
    if ((value >> i) & 1u) m_data.back() |= uint8_t(0x80u >> m_bitsUsed);
    m_bitsUsed = (m_bitsUsed + 1) % 8;
  }
}

void BitWriter::align() { m_bitsUsed = 0; }

void BitWriter::u8(uint8_t value) {
  align();
  m_data.push_back(value);
}

void BitWriter::u16(uint16_t value) {
  u8(uint8_t(value));
  u8(uint8_t(value >> 8));
}

void BitWriter::u32(uint32_t value) {
  u16(uint16_t(value));
  u16(uint16_t(value >> 16));
}

void BitWriter::bytes(const std::vector<uint8_t>& data) {
  align();
  m_data.insert(m_data.end(), data.begin(), data.end());
}

void BitWriter::string(const std::string& text) {
  align();
  m_data.insert(m_data.end(), text.begin(), text.end());
  m_data.push_back(0);
}

void BitWriter::rect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
  align();
  unsigned n = std::max({signedBitsFor(xMin), signedBitsFor(xMax), signedBitsFor(yMin), signedBitsFor(yMax)});
  bits(n, 5);
  signedBits(xMin, n);
  signedBits(xMax, n);
  signedBits(yMin, n);
  signedBits(yMax, n);
  align();
}

void BitWriter::matrix(const Matrix& m) {
  align();
  bool scale = m.a != 1 || m.d != 1;
  bits(scale, 1);
  if (scale) {
    int32_t a = fixed16(m.a), d = fixed16(m.d);
    unsigned n = std::max(signedBitsFor(a), signedBitsFor(d));
    bits(n, 5);
    signedBits(a, n);
    signedBits(d, n);
  }
  bool rotate = m.b != 0 || m.c != 0;
  bits(rotate, 1);
  if (rotate) {
    int32_t b = fixed16(m.b), c = fixed16(m.c);
    unsigned n = std::max(signedBitsFor(b), signedBitsFor(c));
    bits(n, 5);
    signedBits(b, n);
    signedBits(c, n);
  }
  int32_t tx = int32_t(std::lround(m.tx)), ty = int32_t(std::lround(m.ty));
  unsigned n = (tx || ty) ? std::max(signedBitsFor(tx), signedBitsFor(ty)) : 0;
  bits(n, 5);
  signedBits(tx, n);
  signedBits(ty, n);
  align();
}

void BitWriter::colorTransform(const ColorTransform& cx, bool withAlpha) {
  align();
  bool mult = cx.rMult != 256 || cx.gMult != 256 || cx.bMult != 256 || (withAlpha && cx.aMult != 256);
  bool add = cx.rAdd || cx.gAdd || cx.bAdd || (withAlpha && cx.aAdd);
  std::vector<int32_t> fields;
  if (mult) {
    fields.insert(fields.end(), {cx.rMult, cx.gMult, cx.bMult});
    if (withAlpha) fields.push_back(cx.aMult);
  }
  if (add) {
    fields.insert(fields.end(), {cx.rAdd, cx.gAdd, cx.bAdd});
    if (withAlpha) fields.push_back(cx.aAdd);
  }
  unsigned n = 1;
  for (int32_t f : fields) n = std::max(n, signedBitsFor(f));
  bits(add, 1);
  bits(mult, 1);
  bits(n, 4);
  for (int32_t f : fields) signedBits(f, n);
  align();
}

void BitWriter::rgb(Rgba c) {
  u8(c.r);
  u8(c.g);
  u8(c.b);
}

void BitWriter::rgba(Rgba c) {
  rgb(c);
  u8(c.a);
}

// ---- shapes

int ShapeBuilder::addSolidFill(Rgba color) {
  m_styles.back().fills.push_back({0x00, color, {}, {}});
  return int(m_styles.back().fills.size());
}

int ShapeBuilder::addLinearGradient(const Matrix& matrix, std::vector<Stop> stops) {
  m_styles.back().fills.push_back({0x10, {}, matrix, std::move(stops)});
  return int(m_styles.back().fills.size());
}

int ShapeBuilder::addRadialGradient(const Matrix& matrix, std::vector<Stop> stops) {
  m_styles.back().fills.push_back({0x12, {}, matrix, std::move(stops)});
  return int(m_styles.back().fills.size());
}

void ShapeBuilder::setGradientSpread(int fill, uint8_t spread, bool linearRgb) {
  m_styles.back().fills[size_t(fill - 1)].gradientFlags = uint8_t(spread << 6 | (linearRgb ? 0x10 : 0));
}

int ShapeBuilder::addFocalGradient(const Matrix& matrix, std::vector<Stop> stops, float focal) {
  Fill fill{kFocalGradient, {}, matrix, std::move(stops)};
  fill.focal = int16_t(std::lround(std::clamp(focal, -1.0f, 1.0f) * 256.0f));
  m_styles.back().fills.push_back(std::move(fill));
  return int(m_styles.back().fills.size());
}

int ShapeBuilder::addBitmapFill(uint16_t bitmapId, const Matrix& matrix, BitmapEdges edges, BitmapSampling sampling) {
  Fill fill{uint8_t(kBitmapFill | (edges == BitmapEdges::Clipped ? kBitmapClipped : 0) |
                    (sampling == BitmapSampling::Nearest ? kBitmapUnsmoothed : 0)),
            {},
            matrix,
            {}};
  fill.bitmapId = bitmapId;
  m_styles.back().fills.push_back(std::move(fill));
  return int(m_styles.back().fills.size());
}

int ShapeBuilder::addLineStyle(uint16_t widthTwips, Rgba color) {
  m_styles.back().lines.push_back({widthTwips, color});
  return int(m_styles.back().lines.size());
}

ShapeBuilder::Record& ShapeBuilder::change() {
  // A new-styles record carries nothing else, so that its style numbers
  // cannot be read against the wrong array.
  if (m_records.empty() || m_records.back().kind != Record::Kind::Change || m_records.back().newStyles)
    m_records.push_back({Record::Kind::Change});
  return m_records.back();
}

void ShapeBuilder::newStyles() {
  m_styles.push_back({});
  m_records.push_back({Record::Kind::Change});  // its own record: styles come with it
  m_records.back().newStyles = true;
}

void ShapeBuilder::setFill0(int style) { change().fill0 = style; }
void ShapeBuilder::setFill1(int style) { change().fill1 = style; }
void ShapeBuilder::setLine(int style) { change().line = style; }

void ShapeBuilder::grow(int32_t x, int32_t y) {
  m_minX = std::min(m_minX, x);
  m_maxX = std::max(m_maxX, x);
  m_minY = std::min(m_minY, y);
  m_maxY = std::max(m_maxY, y);
}

void ShapeBuilder::moveTo(int32_t x, int32_t y) {
  change().moveTo = std::pair{x, y};
  m_penX = x;
  m_penY = y;
  grow(x, y);
}

void ShapeBuilder::lineTo(int32_t x, int32_t y) {
  Record r{Record::Kind::Straight};
  r.ax = x - m_penX;
  r.ay = y - m_penY;
  m_records.push_back(r);
  m_penX = x;
  m_penY = y;
  grow(x, y);
}

void ShapeBuilder::curveTo(int32_t controlX, int32_t controlY, int32_t x, int32_t y) {
  Record r{Record::Kind::Curve};
  r.dx = controlX - m_penX;
  r.dy = controlY - m_penY;
  r.ax = x - controlX;
  r.ay = y - controlY;
  m_records.push_back(r);
  m_penX = x;
  m_penY = y;
  grow(controlX, controlY);
  grow(x, y);
}

void ShapeBuilder::rectangle(int32_t x, int32_t y, int32_t width, int32_t height, int fill, int line) {
  setFill1(fill);
  setFill0(0);
  setLine(line);
  moveTo(x, y);
  lineTo(x + width, y);
  lineTo(x + width, y + height);
  lineTo(x, y + height);
  lineTo(x, y);
}

void ShapeBuilder::ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int fill, int line) {
  setFill1(fill);
  setFill0(0);
  setLine(line);
  // Eight quadratic arcs; the control points lie on the tangents.
  constexpr double kPi = 3.14159265358979;
  double controlScale = 1.0 / std::cos(kPi / 8);
  moveTo(cx + rx, cy);
  for (int i = 1; i <= 8; ++i) {
    double mid = (double(i) - 0.5) * kPi / 4, end = double(i) * kPi / 4;
    curveTo(int32_t(std::lround(cx + rx * controlScale * std::cos(mid))),
            int32_t(std::lround(cy + ry * controlScale * std::sin(mid))),
            i == 8 ? cx + rx : int32_t(std::lround(cx + rx * std::cos(end))),
            i == 8 ? cy : int32_t(std::lround(cy + ry * std::sin(end))));
  }
}

void ShapeBuilder::encodeStyles(BitWriter& w, const Styles& styles, int version) const {
  auto count = [&](size_t n) {
    if (n >= 0xFF && version >= 2) {
      w.u8(0xFF);
      w.u16(uint16_t(n));
    } else {
      w.u8(uint8_t(n));
    }
  };
  auto color = [&](Rgba c) { version >= 3 ? w.rgba(c) : w.rgb(c); };
  count(styles.fills.size());
  for (const Fill& f : styles.fills) {
    w.u8(f.type);
    if (f.type == 0x00) {
      color(f.color);
      continue;
    }
    if (f.type >= kBitmapFill) {
      w.u16(f.bitmapId);
      w.matrix(f.matrix);
      continue;
    }
    w.matrix(f.matrix);
    w.u8(uint8_t(f.gradientFlags | std::min<size_t>(f.stops.size(), version >= 4 ? 15 : 8)));
    for (size_t i = 0; i < f.stops.size() && i < (version >= 4 ? 15u : 8u); ++i) {
      w.u8(f.stops[i].ratio);
      color(f.stops[i].color);
    }
    if (f.type == kFocalGradient) w.u16(uint16_t(f.focal));
  }
  count(styles.lines.size());
  for (const Line& l : styles.lines) {
    w.u16(l.width);
    if (version >= 4) {
      w.u8(0);  // round caps and joins, no fill
      w.u8(0);
      w.rgba(l.color);
    } else {
      color(l.color);
    }
  }
}

std::vector<uint8_t> ShapeBuilder::encode(int version) const {
  BitWriter w;
  int32_t minX = m_minX == INT32_MAX ? 0 : m_minX, maxX = m_maxX == INT32_MIN ? 0 : m_maxX;
  int32_t minY = m_minY == INT32_MAX ? 0 : m_minY, maxY = m_maxY == INT32_MIN ? 0 : m_maxY;
  w.rect(minX, maxX, minY, maxY);
  if (version >= 4) {
    w.rect(minX, maxX, minY, maxY);
    w.u8(0);
  }
  encodeStyles(w, m_styles[0], version);
  encodeRecords(w, version, true);
  return w.take();
}

std::vector<uint8_t> ShapeBuilder::encodeRecords() const {
  BitWriter w;
  encodeRecords(w, 1, true);
  return w.take();
}

void ShapeBuilder::encodeRecords(BitWriter& w, int version, bool withCounts) const {
  size_t array = 0;
  auto bitCounts = [&](const Styles& s) {
    unsigned fillBits = unsignedBitsFor(uint32_t(s.fills.size()));
    unsigned lineBits = unsignedBitsFor(uint32_t(s.lines.size()));
    if (withCounts) w.u8(uint8_t(fillBits << 4 | lineBits));
    return std::pair{fillBits, lineBits};
  };
  auto counts = bitCounts(m_styles[0]);
  unsigned fillBits = counts.first, lineBits = counts.second;
  for (const Record& r : m_records) {
    if (r.kind == Record::Kind::Change) {
      w.bits(0, 1);
      w.bits(r.newStyles, 1);
      w.bits(r.line.has_value(), 1);
      w.bits(r.fill1.has_value(), 1);
      w.bits(r.fill0.has_value(), 1);
      w.bits(r.moveTo.has_value(), 1);
      if (r.moveTo) {
        auto [x, y] = *r.moveTo;
        unsigned n = std::max(signedBitsFor(x), signedBitsFor(y));
        w.bits(n, 5);
        w.signedBits(x, n);
        w.signedBits(y, n);
      }
      if (r.fill0) w.bits(uint32_t(*r.fill0), fillBits);
      if (r.fill1) w.bits(uint32_t(*r.fill1), fillBits);
      if (r.line) w.bits(uint32_t(*r.line), lineBits);
      if (r.newStyles) {
        ++array;
        encodeStyles(w, m_styles[array], version);
        counts = bitCounts(m_styles[array]);
        fillBits = counts.first;
        lineBits = counts.second;
      }
    } else if (r.kind == Record::Kind::Straight) {
      unsigned n = std::max({signedBitsFor(r.ax), signedBitsFor(r.ay), 2u});
      w.bits(1, 1);
      w.bits(1, 1);
      w.bits(n - 2, 4);
      bool general = r.ax != 0 && r.ay != 0;
      w.bits(general, 1);
      if (general) {
        w.signedBits(r.ax, n);
        w.signedBits(r.ay, n);
      } else {
        w.bits(r.ax == 0, 1);  // vertical
        w.signedBits(r.ax == 0 ? r.ay : r.ax, n);
      }
    } else {
      unsigned n = std::max({signedBitsFor(r.dx), signedBitsFor(r.dy), signedBitsFor(r.ax), signedBitsFor(r.ay), 2u});
      w.bits(1, 1);
      w.bits(0, 1);
      w.bits(n - 2, 4);
      w.signedBits(r.dx, n);
      w.signedBits(r.dy, n);
      w.signedBits(r.ax, n);
      w.signedBits(r.ay, n);
    }
  }
  w.bits(0, 6);  // end of shape
  w.align();
}

// ---- actions

ActionRecord actionStop() { return {0x07, {}}; }
ActionRecord actionPlay() { return {0x06, {}}; }
ActionRecord actionNextFrame() { return {0x04, {}}; }
ActionRecord actionPreviousFrame() { return {0x05, {}}; }
ActionRecord actionGotoFrame(uint16_t frame) { return {0x81, {uint8_t(frame), uint8_t(frame >> 8)}}; }
ActionRecord actionGotoLabel(const std::string& label) {
  ActionRecord r{0x8C, {label.begin(), label.end()}};
  r.payload.push_back(0);
  return r;
}

// ---- tags

void TagStream::tag(uint16_t code, const std::vector<uint8_t>& body) { appendTag(m_bytes, code, body); }

void TagStream::placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix,
                            std::optional<ColorTransform> colorTransform) {
  BitWriter w;
  w.u16(characterId);
  w.u16(depth);
  w.matrix(matrix);
  if (colorTransform) w.colorTransform(*colorTransform, false);
  tag(kPlaceObject, w.take());
}

namespace {

std::vector<uint8_t> placementBody(const Placement& p, bool third) {
  BitWriter w;
  uint8_t flags = (p.move ? 0x01 : 0) | (p.characterId ? 0x02 : 0) | (p.matrix ? 0x04 : 0) |
                  (p.colorTransform ? 0x08 : 0) | (p.ratio ? 0x10 : 0) | (p.name ? 0x20 : 0) | (p.clipDepth ? 0x40 : 0);
  w.u8(flags);
  // Blend mode, cached as a bitmap, visible, opaque background.
  if (third)
    w.u8(uint8_t((p.filters.empty() ? 0 : 0x01) | (p.blendMode ? 0x02 : 0) | (p.opaqueBackground ? 0x44 : 0) |
                 (p.visible ? 0x20 : 0)));
  w.u16(p.depth);
  if (p.characterId) w.u16(*p.characterId);
  if (p.matrix) w.matrix(*p.matrix);
  if (p.colorTransform) w.colorTransform(*p.colorTransform, true);
  if (p.ratio) w.u16(*p.ratio);
  if (p.name) w.string(*p.name);
  if (p.clipDepth) w.u16(*p.clipDepth);
  if (third && !p.filters.empty()) {
    w.u8(uint8_t(p.filters.size()));
    for (const auto& filter : p.filters) w.bytes(filter);
  }
  if (third && p.blendMode) w.u8(*p.blendMode);
  if (third && p.opaqueBackground) w.u8(1);
  if (third && p.visible) w.u8(*p.visible ? 1 : 0);
  if (third && p.opaqueBackground) w.rgba(*p.opaqueBackground);
  return w.take();
}

}  // namespace

static void fixed16(BitWriter& w, float value) { w.u32(uint32_t(int32_t(std::lround(value * 65536.0f)))); }

std::vector<uint8_t> blurFilter(float blurX, float blurY, int passes) {
  BitWriter w;
  w.u8(1);
  fixed16(w, blurX);
  fixed16(w, blurY);
  w.u8(uint8_t(passes << 3));
  return w.take();
}

std::vector<uint8_t> dropShadowFilter(Rgba color, float blur, float angle, float distance, float strength, bool inner,
                                      bool knockout) {
  BitWriter w;
  w.u8(0);
  w.rgba(color);
  fixed16(w, blur);
  fixed16(w, blur);
  fixed16(w, angle);
  fixed16(w, distance);
  w.u16(uint16_t(std::lround(strength * 256)));
  w.u8(uint8_t((inner ? 0x80 : 0) | (knockout ? 0x40 : 0) | 0x20 | 1));
  return w.take();
}

std::vector<uint8_t> glowFilter(Rgba color, float blur, float strength, bool inner, bool knockout, bool withObject) {
  BitWriter w;
  w.u8(2);
  w.rgba(color);
  fixed16(w, blur);
  fixed16(w, blur);
  w.u16(uint16_t(std::lround(strength * 256)));
  w.u8(uint8_t((inner ? 0x80 : 0) | (knockout ? 0x40 : 0) | (withObject ? 0x20 : 0) | 1));
  return w.take();
}

std::vector<uint8_t> bevelFilter(Rgba highlight, Rgba shadow, float blur, float angle, float distance, float strength,
                                 BevelType type, bool knockout) {
  BitWriter w;
  w.u8(3);
  w.rgba(highlight);  // the authoring tool's order, whatever the field names say
  w.rgba(shadow);
  fixed16(w, blur);
  fixed16(w, blur);
  fixed16(w, angle);
  fixed16(w, distance);
  w.u16(uint16_t(std::lround(strength * 256)));
  uint8_t kind = type == BevelType::Inner ? 0x80 : type == BevelType::Full ? 0x10 : 0;
  w.u8(uint8_t(kind | (knockout ? 0x40 : 0) | 0x20 | 1));
  return w.take();
}

std::vector<uint8_t> colorMatrixFilter(const std::array<float, 20>& matrix) {
  BitWriter w;
  w.u8(6);
  for (float v : matrix) w.u32(std::bit_cast<uint32_t>(v));
  return w.take();
}

void TagStream::placeObject2(const Placement& placement) { tag(kPlaceObject2, placementBody(placement, false)); }

void TagStream::placeObject3(const Placement& placement) { tag(kPlaceObject3, placementBody(placement, true)); }

void TagStream::removeObject(uint16_t characterId, uint16_t depth) {
  BitWriter w;
  w.u16(characterId);
  w.u16(depth);
  tag(kRemoveObject, w.take());
}

void TagStream::removeObject2(uint16_t depth) {
  BitWriter w;
  w.u16(depth);
  tag(kRemoveObject2, w.take());
}

void TagStream::showFrame() {
  tag(kShowFrame, {});
  ++m_frames;
}

void TagStream::frameLabel(const std::string& label) {
  BitWriter w;
  w.string(label);
  tag(kFrameLabel, w.take());
}

void TagStream::doAction(const std::vector<ActionRecord>& actions) {
  BitWriter w;
  for (const ActionRecord& a : actions) {
    w.u8(a.code);
    if (a.code >= 0x80) {
      w.u16(uint16_t(a.payload.size()));
      w.bytes(a.payload);
    }
  }
  w.u8(0);
  tag(kDoAction, w.take());
}

MovieWriter::MovieWriter(int width, int height, float frameRate, uint8_t version)
    : m_width(width), m_height(height), m_frameRate(frameRate), m_version(version) {}

void MovieWriter::setBackground(Rgba color) {
  BitWriter w;
  w.rgb(color);
  tag(kSetBackgroundColor, w.take());
}

void MovieWriter::defineShape(uint16_t id, const ShapeBuilder& shape, int version) {
  static constexpr uint16_t kCodes[] = {kDefineShape, kDefineShape2, kDefineShape3, kDefineShape4};
  BitWriter w;
  w.u16(id);
  w.bytes(shape.encode(version));
  tag(kCodes[std::clamp(version, 1, 4) - 1], w.take());
}

void MovieWriter::defineSprite(uint16_t id, const TagStream& sprite) {
  BitWriter w;
  w.u16(id);
  w.u16(uint16_t(sprite.frames()));
  w.bytes(sprite.bytes());
  w.u16(kEnd);
  tag(kDefineSprite, w.take());
}

Rgba premultiplied(uint32_t argb, bool withAlpha) {
  uint8_t a = withAlpha ? uint8_t(argb >> 24) : 255;
  auto channel = [a](uint32_t v) { return uint8_t(((v & 0xFF) * a + 127) / 255); };
  return {channel(argb >> 16), channel(argb >> 8), channel(argb), a};
}

bool MovieWriter::defineBitsLossless(uint16_t id, const Image& picture, Lossless format, bool withAlpha) {
  size_t colors = 0;
  if (format == Lossless::ColorMapped) {
    std::vector<uint32_t> seen;
    for (uint32_t p : picture.pixels)
      if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
    colors = seen.size();
    if (colors == 0 || colors > 256) return false;
  }
  if ((format == Lossless::Rgb15 && withAlpha) || picture.width < 1 || picture.height < 1 ||
      picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
    return false;
  BitWriter w;
  w.u16(id);
  w.u8(format == Lossless::ColorMapped ? 3 : format == Lossless::Rgb15 ? 4 : 5);
  w.u16(uint16_t(picture.width));
  w.u16(uint16_t(picture.height));
  if (format == Lossless::ColorMapped) w.u8(uint8_t(colors - 1));
  w.bytes(deflate(losslessData(picture, format, withAlpha)));
  tag(withAlpha ? kDefineBitsLossless2 : kDefineBitsLossless, w.take());
  return true;
}

void MovieWriter::defineVideoStream(uint16_t id, const VideoStream& stream) {
  BitWriter w;
  w.u16(id);
  w.u16(stream.frameCount);
  w.u16(stream.width);
  w.u16(stream.height);
  w.u8(stream.smoothing ? 1 : 0);
  w.u8(stream.codec);
  tag(kDefineVideoStream, w.take());
}

void TagStream::videoFrame(uint16_t streamId, uint16_t frame, const std::vector<uint8_t>& data) {
  BitWriter w;
  w.u16(streamId);
  w.u16(frame);
  w.bytes(data);
  tag(kVideoFrame, w.take());
}

void MovieWriter::defineBitsJpeg2(uint16_t id, const std::vector<uint8_t>& jpeg) {
  BitWriter w;
  w.u16(id);
  w.bytes(jpeg);
  tag(kDefineBitsJpeg2, w.take());
}

void MovieWriter::defineBitsJpeg3(uint16_t id, const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& alpha) {
  BitWriter w;
  w.u16(id);
  w.u32(uint32_t(jpeg.size()));
  w.bytes(jpeg);
  w.bytes(deflate(alpha));
  tag(kDefineBitsJpeg3, w.take());
}

void MovieWriter::jpegTables(const std::vector<uint8_t>& tables) { tag(kJpegTables, tables); }

void MovieWriter::defineBits(uint16_t id, const std::vector<uint8_t>& jpeg) {
  BitWriter w;
  w.u16(id);
  w.bytes(jpeg);
  tag(kDefineBits, w.take());
}

void MovieWriter::defineFont(uint16_t id, int version, const std::string& name, const std::vector<FontGlyph>& glyphs,
                             uint16_t ascent, uint16_t descent) {
  std::vector<std::vector<uint8_t>> shapes;
  for (const FontGlyph& g : glyphs) shapes.push_back(g.outline.encodeRecords());
  BitWriter w;
  w.u16(id);
  if (version == 1) {
    size_t offset = glyphs.size() * 2;
    for (const auto& shape : shapes) {
      w.u16(uint16_t(offset));
      offset += shape.size();
    }
    for (const auto& shape : shapes) w.bytes(shape);
    tag(kDefineFont, w.take());
    return;
  }
  w.u8(0x80 | 0x08 | 0x04);  // layout, wide offsets, wide codes
  w.u8(0);
  w.u8(uint8_t(name.size()));
  w.bytes({name.begin(), name.end()});
  w.u16(uint16_t(glyphs.size()));
  uint32_t offset = uint32_t(glyphs.size() + 1) * 4;
  for (const auto& shape : shapes) {
    w.u32(offset);
    offset += uint32_t(shape.size());
  }
  w.u32(offset);  // the code table
  for (const auto& shape : shapes) w.bytes(shape);
  for (const FontGlyph& g : glyphs) w.u16(g.code);
  w.u16(ascent);
  w.u16(descent);
  w.u16(0);  // leading
  for (const FontGlyph& g : glyphs) w.u16(uint16_t(g.advance));
  for (size_t i = 0; i < glyphs.size(); ++i) w.rect(0, 0, 0, 0);
  w.u16(0);  // no kerning
  tag(version == 3 ? kDefineFont3 : kDefineFont2, w.take());
}

void MovieWriter::defineFontInfo(uint16_t fontId, const std::string& name, const std::vector<char16_t>& codes) {
  BitWriter w;
  w.u16(fontId);
  w.u8(uint8_t(name.size()));
  w.bytes({name.begin(), name.end()});
  w.u8(0x01);  // wide codes
  for (char16_t c : codes) w.u16(c);
  tag(kDefineFontInfo, w.take());
}

void MovieWriter::defineText(uint16_t id, int version, const Matrix& matrix, const std::vector<TextRecord>& records) {
  unsigned glyphBits = 1, advanceBits = 1;
  for (const TextRecord& r : records)
    for (auto [index, advance] : r.glyphs) {
      glyphBits = std::max(glyphBits, unsignedBitsFor(index));
      advanceBits = std::max(advanceBits, signedBitsFor(advance));
    }
  BitWriter w;
  w.u16(id);
  w.rect(0, m_width * 20, 0, m_height * 20);
  w.matrix(matrix);
  w.u8(uint8_t(glyphBits));
  w.u8(uint8_t(advanceBits));
  for (const TextRecord& r : records) {
    w.u8(uint8_t(0x80 | (r.fontId ? 0x08 : 0) | (r.color ? 0x04 : 0) | (r.y ? 0x02 : 0) | (r.x ? 0x01 : 0)));
    if (r.fontId) w.u16(*r.fontId);
    if (r.color) version >= 2 ? w.rgba(*r.color) : w.rgb(*r.color);
    if (r.x) w.u16(uint16_t(*r.x));
    if (r.y) w.u16(uint16_t(*r.y));
    if (r.fontId) w.u16(r.height);
    w.u8(uint8_t(r.glyphs.size()));
    for (auto [index, advance] : r.glyphs) {
      w.bits(index, glyphBits);
      w.signedBits(advance, advanceBits);
    }
    w.align();
  }
  w.u8(0);
  tag(version >= 2 ? kDefineText2 : kDefineText, w.take());
}

void MovieWriter::defineEditText(uint16_t id, const EditText& f) {
  BitWriter w;
  w.u16(id);
  w.rect(f.xMin, f.xMax, f.yMin, f.yMax);
  w.u8(uint8_t((f.text ? 0x80 : 0) | (f.wordWrap ? 0x40 : 0) | (f.multiline ? 0x20 : 0) | (f.password ? 0x10 : 0) |
               (f.readOnly ? 0x08 : 0) | (f.color ? 0x04 : 0) | (f.fontId ? 0x01 : 0)));
  w.u8(uint8_t((f.align ? 0x20 : 0) | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) | (f.useOutlines ? 0x01 : 0)));
  if (f.fontId) {
    w.u16(*f.fontId);
    w.u16(f.height);
  }
  if (f.color) w.rgba(*f.color);
  if (f.align) {
    w.u8(*f.align);
    w.u16(f.leftMargin);
    w.u16(f.rightMargin);
    w.u16(f.indent);
    w.u16(uint16_t(f.leading));
  }
  w.string(f.variable);
  if (f.text) w.string(*f.text);
  tag(kDefineEditText, w.take());
}

static void buttonParts(BitWriter& w, const std::vector<ButtonPart>& parts, bool withColorTransform) {
  for (const ButtonPart& p : parts) {
    w.u8(p.states);
    w.u16(p.characterId);
    w.u16(p.depth);
    w.matrix(p.matrix);
    if (withColorTransform) w.colorTransform({}, true);
  }
  w.u8(0);
}

static std::vector<uint8_t> actionBytes(const std::vector<ActionRecord>& actions) {
  BitWriter w;
  for (const ActionRecord& a : actions) {
    w.u8(a.code);
    if (a.code >= 0x80) {
      w.u16(uint16_t(a.payload.size()));
      w.bytes(a.payload);
    }
  }
  w.u8(0);
  return w.take();
}

void MovieWriter::defineButton2(uint16_t id, const std::vector<ButtonPart>& parts,
                                const std::vector<std::pair<uint16_t, std::vector<ActionRecord>>>& actions) {
  BitWriter records;
  buttonParts(records, parts, true);
  std::vector<uint8_t> partBytes = records.take();
  BitWriter w;
  w.u16(id);
  w.u8(0);
  w.u16(actions.empty() ? 0 : uint16_t(partBytes.size() + 2));
  w.bytes(partBytes);
  for (size_t i = 0; i < actions.size(); ++i) {
    std::vector<uint8_t> bytes = actionBytes(actions[i].second);
    w.u16(i + 1 < actions.size() ? uint16_t(bytes.size() + 4) : 0);
    w.u8(uint8_t(actions[i].first));
    w.u8(uint8_t(actions[i].first >> 8));
    w.bytes(bytes);
  }
  tag(kDefineButton2, w.take());
}

void MovieWriter::defineButton(uint16_t id, const std::vector<ButtonPart>& parts,
                               const std::vector<ActionRecord>& actions) {
  BitWriter w;
  w.u16(id);
  buttonParts(w, parts, false);
  w.bytes(actionBytes(actions));
  tag(kDefineButton, w.take());
}

void MovieWriter::defineMorphShape(uint16_t id, const ShapeBuilder& start, const ShapeBuilder& end) {
  BitWriter styles;
  styles.u8(uint8_t(start.fills().size()));
  for (size_t i = 0; i < start.fills().size(); ++i) {
    const ShapeBuilder::Fill& a = start.fills()[i];
    const ShapeBuilder::Fill& b = i < end.fills().size() ? end.fills()[i] : a;
    styles.u8(a.type);
    if (a.type == 0x00) {
      styles.rgba(a.color);
      styles.rgba(b.color);
      continue;
    }
    styles.matrix(a.matrix);
    styles.matrix(b.matrix);
    styles.u8(uint8_t(a.gradientFlags | a.stops.size()));
    for (size_t k = 0; k < a.stops.size(); ++k) {
      const Stop& e = k < b.stops.size() ? b.stops[k] : a.stops[k];
      styles.u8(a.stops[k].ratio);
      styles.rgba(a.stops[k].color);
      styles.u8(e.ratio);
      styles.rgba(e.color);
    }
  }
  styles.u8(uint8_t(start.lines().size()));
  for (size_t i = 0; i < start.lines().size(); ++i) {
    const ShapeBuilder::Line& a = start.lines()[i];
    const ShapeBuilder::Line& b = i < end.lines().size() ? end.lines()[i] : a;
    styles.u16(a.width);
    styles.u16(b.width);
    styles.rgba(a.color);
    styles.rgba(b.color);
  }
  std::vector<uint8_t> styleBytes = styles.take(), startEdges = start.encodeRecords();
  BitWriter w;
  w.u16(id);
  w.rect(start.minX(), start.maxX(), start.minY(), start.maxY());
  w.rect(end.minX(), end.maxX(), end.minY(), end.maxY());
  w.u32(uint32_t(styleBytes.size() + startEdges.size()));
  w.bytes(styleBytes);
  w.bytes(startEdges);
  w.bytes(end.encodeRecords());
  tag(kDefineMorphShape, w.take());
}

// The body as LZMA movies hold it: the compressed length, the coder's
// properties, then the raw stream (the .lzma header's 8-byte length left out).
static std::vector<uint8_t> lzmaBody(const std::vector<uint8_t>& data) {
  constexpr size_t kAloneHeader = 13, kProperties = 5;
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 6);
  lzma_stream stream = LZMA_STREAM_INIT;
  std::vector<uint8_t> packed(data.size() + data.size() / 2 + 4096);
  if (lzma_alone_encoder(&stream, &options) != LZMA_OK) return {};
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = packed.data();
  stream.avail_out = packed.size();
  lzma_ret result = lzma_code(&stream, LZMA_FINISH);
  size_t size = packed.size() - stream.avail_out;
  lzma_end(&stream);
  if (result != LZMA_STREAM_END || size < kAloneHeader) return {};
  BitWriter out;
  out.u32(uint32_t(size - kAloneHeader));
  out.bytes({packed.begin(), packed.begin() + kProperties});
  out.bytes({packed.begin() + kAloneHeader, packed.begin() + ptrdiff_t(size)});
  return out.take();
}

std::vector<uint8_t> MovieWriter::finish(bool compressed) const {
  return finish(compressed ? Compression::Zlib : Compression::None);
}

std::vector<uint8_t> MovieWriter::finish(Compression compression) const {
  BitWriter body;
  body.rect(0, m_width * 20, 0, m_height * 20);
  body.u16(uint16_t(std::lround(m_frameRate * 256)));
  body.u16(m_headerFrames ? *m_headerFrames : uint16_t(m_frames));
  body.bytes(m_bytes);
  body.u16(kEnd);
  std::vector<uint8_t> plain = body.take();

  BitWriter file;
  file.u8(compression == Compression::Zlib ? 'C' : compression == Compression::Lzma ? 'Z' : 'F');
  file.u8('W');
  file.u8('S');
  file.u8(m_version);
  file.u32(uint32_t(plain.size() + 8));
  if (compression == Compression::None) {
    file.bytes(plain);
    return file.take();
  }
  file.bytes(compression == Compression::Zlib ? deflate(plain) : lzmaBody(plain));
  return file.take();
}

}  // namespace swfwrite
