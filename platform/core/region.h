#pragma once
// A set of pixels made of non-overlapping rectangles: update regions, visible
// regions of windows and clip regions of device contexts all use it.

#include <vector>

#include "platform/core/wintypes.h"

bool rectIsEmpty(const RECT& r);
RECT rectIntersection(const RECT& a, const RECT& b);
RECT rectOffset(const RECT& r, LONG dx, LONG dy);

class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r);

  bool empty() const { return m_rects.empty(); }
  const std::vector<RECT>& rects() const { return m_rects; }
  // The smallest rectangle around every pixel of the region; empty when none.
  RECT bounds() const;
  bool contains(LONG x, LONG y) const;

  void clear() { m_rects.clear(); }
  void unite(const RECT& r);
  void unite(const Region& other);
  void subtract(const RECT& r);
  void subtract(const Region& other);
  void intersect(const RECT& r);
  void intersect(const Region& other);
  void offset(LONG dx, LONG dy);

 private:
  std::vector<RECT> m_rects;  // pairwise disjoint, none empty
};
