#include "platform/flash/swfmorph.h"

#include <algorithm>

namespace swf {

namespace {

constexpr float kRatioEnd = 65535.0f;

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
  readStyleArrays(body, StyleFormat::forMorph(version), morph.start, morph.end);
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
