#include "platform/flash/swfmorph.h"

#include <algorithm>

namespace swf {

namespace {

constexpr uint8_t kFillSolid = 0x00;
constexpr uint8_t kFillLinear = 0x10;
constexpr uint8_t kFillRadial = 0x12;
constexpr uint8_t kFillFocal = 0x13;
constexpr uint8_t kFillBitmapFirst = 0x40;
constexpr uint8_t kFillBitmapLast = 0x43;
constexpr uint8_t kExtendedCount = 0xFF;
constexpr float kRatioEnd = 65535.0f;

size_t readCount(SwfReader& r) {
  size_t count = r.u8();
  return count == kExtendedCount ? r.u16() : count;
}

void readMorphGradient(SwfReader& r, FillStyle& start, FillStyle& end) {
  start.matrix = r.matrix();
  end.matrix = r.matrix();
  uint8_t flags = r.u8();
  start.spread = end.spread = Spread((flags >> 6) & 3) > Spread::Repeat ? Spread::Pad : Spread((flags >> 6) & 3);
  start.linearRgb = end.linearRgb = ((flags >> 4) & 3) == 1;
  for (unsigned i = 0; i < (flags & 0x0F) && r.ok(); ++i) {
    GradientStop a, b;
    a.ratio = r.u8();
    a.color = r.rgba();
    b.ratio = r.u8();
    b.color = r.rgba();
    start.stops.push_back(a);
    end.stops.push_back(b);
  }
}

void readMorphFill(SwfReader& r, FillStyle& start, FillStyle& end) {
  uint8_t type = r.u8();
  if (type == kFillSolid) {
    start.color = r.rgba();
    end.color = r.rgba();
  } else if (type == kFillLinear || type == kFillRadial || type == kFillFocal) {
    start.kind = end.kind = type == kFillLinear ? FillKind::LinearGradient : FillKind::RadialGradient;
    readMorphGradient(r, start, end);
    if (type == kFillFocal) {
      start.focal = std::clamp(float(r.s16()) / 256.0f, -0.98f, 0.98f);
      end.focal = std::clamp(float(r.s16()) / 256.0f, -0.98f, 0.98f);
    }
  } else if (type >= kFillBitmapFirst && type <= kFillBitmapLast) {
    start.kind = end.kind = FillKind::Bitmap;
    start.bitmapRepeats = end.bitmapRepeats = (type & 1) == 0;
    start.bitmapSmoothed = end.bitmapSmoothed = (type & 2) == 0;
    start.bitmapId = end.bitmapId = r.u16();
    start.matrix = r.matrix();
    end.matrix = r.matrix();
  } else {
    r.fail();
  }
}

void readMorphLine(SwfReader& r, int version, LineStyle& start, LineStyle& end) {
  start.width = r.u16();
  end.width = r.u16();
  if (version < 2) {
    start.color = r.rgba();
    end.color = r.rgba();
    return;
  }
  r.bits(2);  // start cap
  unsigned join = r.bits(2);
  bool hasFill = r.bits(1);
  r.bits(11);
  if (join == 2) r.u16();
  if (!hasFill) {
    start.color = r.rgba();
    end.color = r.rgba();
    return;
  }
  FillStyle a, b;
  readMorphFill(r, a, b);
  auto first = [](const FillStyle& f) {
    return f.kind == FillKind::Solid ? f.color : f.stops.empty() ? Rgba{} : f.stops.front().color;
  };
  start.color = first(a);
  end.color = first(b);
}

float mix(float a, float b, float t) { return a + (b - a) * t; }
uint8_t mix8(uint8_t a, uint8_t b, float t) { return uint8_t(std::clamp(mix(a, b, t) + 0.5f, 0.0f, 255.0f)); }
Rgba mixColor(Rgba a, Rgba b, float t) {
  return {mix8(a.r, b.r, t), mix8(a.g, b.g, t), mix8(a.b, b.b, t), mix8(a.a, b.a, t)};
}
Point mixPoint(Point a, Point b, float t) { return {mix(a.x, b.x, t), mix(a.y, b.y, t)}; }
Matrix mixMatrix(const Matrix& a, const Matrix& b, float t) {
  return {mix(a.a, b.a, t), mix(a.b, b.b, t),   mix(a.c, b.c, t),
          mix(a.d, b.d, t), mix(a.tx, b.tx, t), mix(a.ty, b.ty, t)};
}

FillStyle mixFill(const FillStyle& a, const FillStyle& b, float t) {
  FillStyle f = a;
  f.color = mixColor(a.color, b.color, t);
  f.matrix = mixMatrix(a.matrix, b.matrix, t);
  f.focal = mix(a.focal, b.focal, t);
  for (size_t i = 0; i < f.stops.size() && i < b.stops.size(); ++i) {
    f.stops[i].ratio = mix8(a.stops[i].ratio, b.stops[i].ratio, t);
    f.stops[i].color = mixColor(a.stops[i].color, b.stops[i].color, t);
  }
  return f;
}

}  // namespace

bool readMorph(SwfReader& body, int version, MorphDef& morph) {
  morph.start.bounds = body.rect();
  morph.end.bounds = body.rect();
  if (version >= 2) {
    body.rect();  // edge bounds
    body.rect();
    body.u8();  // scaling strokes and winding flags
  }
  uint32_t endOffset = body.u32();
  size_t offsetBase = body.position();
  size_t fills = readCount(body);
  for (size_t i = 0; i < fills && body.ok(); ++i) {
    FillStyle a, b;
    readMorphFill(body, a, b);
    morph.start.fills.push_back(std::move(a));
    morph.end.fills.push_back(std::move(b));
  }
  size_t lines = readCount(body);
  for (size_t i = 0; i < lines && body.ok(); ++i) {
    LineStyle a, b;
    readMorphLine(body, version, a, b);
    morph.start.lines.push_back(a);
    morph.end.lines.push_back(b);
  }
  if (!body.ok()) return false;
  readShapeRecords(body, 1, morph.start);
  body.align();
  size_t endAt = offsetBase + endOffset;
  if (endAt > body.position()) body.skip(endAt - body.position());
  if (!body.ok()) return false;
  SwfReader rest(body.bytes(body.remaining()));
  readShapeRecords(rest, 1, morph.end);
  return true;
}

ShapeDef morphAt(const MorphDef& morph, uint16_t ratio) {
  float t = float(ratio) / kRatioEnd;
  ShapeDef shape;
  shape.bounds = morph.start.bounds;
  for (size_t i = 0; i < morph.start.fills.size(); ++i)
    shape.fills.push_back(i < morph.end.fills.size() ? mixFill(morph.start.fills[i], morph.end.fills[i], t)
                                                     : morph.start.fills[i]);
  for (size_t i = 0; i < morph.start.lines.size(); ++i) {
    LineStyle line = morph.start.lines[i];
    if (i < morph.end.lines.size()) {
      const LineStyle& e = morph.end.lines[i];
      line.width = uint16_t(std::clamp(mix(line.width, e.width, t) + 0.5f, 0.0f, 65535.0f));
      line.color = mixColor(line.color, e.color, t);
    }
    shape.lines.push_back(line);
  }
  // The end's edges pair with the start's in order, whatever paths hold them.
  size_t pathIndex = 0, edgeIndex = 0;
  auto nextEnd = [&]() -> const Edge* {
    while (pathIndex < morph.end.paths.size()) {
      const auto& edges = morph.end.paths[pathIndex].edges;
      if (edgeIndex < edges.size()) return &edges[edgeIndex++];
      ++pathIndex;
      edgeIndex = 0;
    }
    return nullptr;
  };
  for (const ShapePath& path : morph.start.paths) {
    ShapePath mixed = path;
    mixed.layer = 0;
    for (Edge& edge : mixed.edges) {
      const Edge* other = nextEnd();
      if (!other) continue;
      edge = {mixPoint(edge.from, other->from, t), mixPoint(edge.control, other->control, t),
              mixPoint(edge.to, other->to, t), edge.curved || other->curved};
    }
    shape.paths.push_back(std::move(mixed));
  }
  shape.finish();
  return shape;
}

}  // namespace swf
