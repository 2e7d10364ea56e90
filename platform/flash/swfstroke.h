#pragma once
// The outline of a stroked polyline: one polygon per segment, cap and joint,
// all wound the same way so that a non-zero fill counts their overlaps once.

#include <cstdint>
#include <functional>
#include <span>

#include "platform/flash/swfgeometry.h"

namespace swf {

enum class LineCap : uint8_t { Round, None, Square };
enum class LineJoin : uint8_t { Round, Bevel, Miter };

struct StrokeOutline {
  float halfWidth = 0;
  LineCap startCap = LineCap::Round;
  LineCap endCap = LineCap::Round;
  LineJoin join = LineJoin::Round;
  float miterLimit = 3;   // a miter's reach past the joint, in half widths
  bool closed = false;    // the last point meets the first in a joint rather than caps
  bool joints = true;     // strokes this thin look the same without caps and joints
  int discSegments = 16;  // sides of the polygon a round cap or joint is drawn as
};

using PolygonSink = std::function<void(std::span<const Point>)>;

// Calls `sink` with each polygon that covers the stroke of `points`.
void outlineStroke(std::span<const Point> points, const StrokeOutline& outline, const PolygonSink& sink);

}  // namespace swf
