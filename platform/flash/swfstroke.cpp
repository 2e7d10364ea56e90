#include "platform/flash/swfstroke.h"

#include <array>
#include <cmath>
#include <vector>

namespace swf {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kJoinAngleCos = 0.995f;  // straighter joints need no joint polygon
constexpr float kMinLength = 1e-6f;

struct Direction {
  float x = 0, y = 0;  // unit length
  bool valid = false;
};

Direction directionOf(Point a, Point b) {
  float dx = b.x - a.x, dy = b.y - a.y;
  float length = std::sqrt(dx * dx + dy * dy);
  if (!(length > kMinLength)) return {};
  return {dx / length, dy / length, true};
}

Point offset(Point p, float x, float y, float by) { return {p.x + x * by, p.y + y * by}; }

// Every polygon goes out wound as the segment quads are, so overlaps add up the same way.
void emit(std::span<Point> polygon, const PolygonSink& sink) {
  float area = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    Point a = polygon[i], b = polygon[(i + 1) % polygon.size()];
    area += a.x * b.y - b.x * a.y;
  }
  if (area > 0) std::reverse(polygon.begin(), polygon.end());
  sink(polygon);
}

void disc(Point c, const StrokeOutline& o, const PolygonSink& sink) {
  std::vector<Point> points;
  for (int i = 0; i < o.discSegments; ++i) {
    float angle = 2 * kPi * float(i) / float(o.discSegments);
    points.push_back({c.x + o.halfWidth * std::cos(angle), c.y + o.halfWidth * std::sin(angle)});
  }
  emit(points, sink);
}

// The cap at `end`, where the stroke leaves in direction `d` (pointing away from the line).
void cap(Point end, Direction d, LineCap kind, const StrokeOutline& o, const PolygonSink& sink) {
  if (kind == LineCap::Round) return disc(end, o, sink);
  if (kind == LineCap::None) return;
  float h = o.halfWidth;
  Point far = offset(end, d.x, d.y, h);
  std::array<Point, 4> square = {offset(end, -d.y, d.x, h), offset(far, -d.y, d.x, h), offset(far, d.y, -d.x, h),
                                 offset(end, d.y, -d.x, h)};
  emit(square, sink);
}

// The joint at `at` between a segment arriving in direction `in` and one leaving in `out`.
void joint(Point at, Direction in, Direction out, const StrokeOutline& o, const PolygonSink& sink) {
  if (in.x * out.x + in.y * out.y >= kJoinAngleCos) return;
  if (o.join == LineJoin::Round) return disc(at, o, sink);
  // The outer side is where the offset of the arriving segment points against the leaving one.
  float side = (-in.y * out.x + in.x * out.y) > 0 ? -1.0f : 1.0f;
  float h = o.halfWidth;
  Point p1 = offset(at, -in.y * side, in.x * side, h), p2 = offset(at, -out.y * side, out.x * side, h);
  if (o.join == LineJoin::Bevel) {
    std::array<Point, 3> bevel = {at, p1, p2};
    return emit(bevel, sink);
  }
  // A miter reaches 1 / cos(half the turn) half widths out; past the limit it is cut off there.
  float mx = p1.x + p2.x - 2 * at.x, my = p1.y + p2.y - 2 * at.y;
  float ml = std::sqrt(mx * mx + my * my);
  if (!(ml > kMinLength)) return;
  mx /= ml, my /= ml;
  float cosHalf = (p1.x - at.x) * mx / h + (p1.y - at.y) * my / h;
  float reach = std::min(h / std::max(cosHalf, kMinLength), o.miterLimit * h);
  float along1 = in.x * mx + in.y * my, along2 = -(out.x * mx + out.y * my);
  if (along1 <= kMinLength || along2 <= kMinLength) {
    std::array<Point, 3> bevel = {at, p1, p2};
    return emit(bevel, sink);
  }
  float t1 = (reach - h * cosHalf) / along1, t2 = (reach - h * cosHalf) / along2;
  std::array<Point, 5> miter = {at, p1, offset(p1, in.x, in.y, t1), offset(p2, -out.x, -out.y, t2), p2};
  emit(miter, sink);
}

}  // namespace

void outlineStroke(std::span<const Point> points, const StrokeOutline& o, const PolygonSink& sink) {
  // The segments that have a length, each with its direction.
  std::vector<std::pair<size_t, Direction>> segments;
  for (size_t i = 0; i + 1 < points.size(); ++i)
    if (Direction d = directionOf(points[i], points[i + 1]); d.valid) segments.push_back({i, d});
  if (segments.empty()) {
    if (!points.empty() && o.joints && o.startCap == LineCap::Round) disc(points.front(), o, sink);
    return;
  }
  float h = o.halfWidth;
  for (size_t k = 0; k < segments.size(); ++k) {
    auto [i, d] = segments[k];
    Point a = points[i], b = points[i + 1];
    std::array<Point, 4> quad = {offset(a, -d.y, d.x, h), offset(b, -d.y, d.x, h), offset(b, d.y, -d.x, h),
                                 offset(a, d.y, -d.x, h)};
    emit(quad, sink);
    if (o.joints && k > 0) joint(a, segments[k - 1].second, d, o, sink);
  }
  if (!o.joints) return;
  Direction first = segments.front().second, last = segments.back().second;
  if (o.closed) return joint(points.front(), last, first, o, sink);
  cap(points.front(), {-first.x, -first.y, true}, o.startCap, o, sink);
  cap(points.back(), last, o.endCap, o, sink);
}

}  // namespace swf
