#include "platform/core/region.h"

#include <algorithm>

bool rectIsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT rectIntersection(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (rectIsEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}

RECT rectOffset(const RECT& r, LONG dx, LONG dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

namespace {

// Appends the parts of `r` that lie outside `cut` (at most four bands).
void appendDifference(const RECT& r, const RECT& cut, std::vector<RECT>& out) {
  RECT inner = rectIntersection(r, cut);
  if (rectIsEmpty(inner)) {
    out.push_back(r);
    return;
  }
  if (r.top < inner.top) out.push_back(RECT{r.left, r.top, r.right, inner.top});
  if (inner.bottom < r.bottom) out.push_back(RECT{r.left, inner.bottom, r.right, r.bottom});
  if (r.left < inner.left) out.push_back(RECT{r.left, inner.top, inner.left, inner.bottom});
  if (inner.right < r.right) out.push_back(RECT{inner.right, inner.top, r.right, inner.bottom});
}

}  // namespace

Region::Region(const RECT& r) {
  if (!rectIsEmpty(r)) m_rects.push_back(r);
}

RECT Region::bounds() const {
  if (m_rects.empty()) return RECT{0, 0, 0, 0};
  RECT b = m_rects.front();
  for (const RECT& r : m_rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

bool Region::contains(LONG x, LONG y) const {
  return std::any_of(m_rects.begin(), m_rects.end(),
                     [&](const RECT& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; });
}

void Region::unite(const RECT& r) {
  if (rectIsEmpty(r)) return;
  // Keep only what is new, so that the rectangles stay disjoint.
  std::vector<RECT> pieces{r};
  for (const RECT& existing : m_rects) {
    std::vector<RECT> next;
    for (const RECT& p : pieces) appendDifference(p, existing, next);
    pieces.swap(next);
    if (pieces.empty()) return;
  }
  m_rects.insert(m_rects.end(), pieces.begin(), pieces.end());
  // A full cover of many small rectangles is cheaper to keep as its bounds.
  if (m_rects.size() > 64) {
    RECT b = bounds();
    long long area = 0;
    for (const RECT& q : m_rects) area += static_cast<long long>(q.right - q.left) * (q.bottom - q.top);
    if (area == static_cast<long long>(b.right - b.left) * (b.bottom - b.top)) m_rects.assign(1, b);
  }
}

void Region::unite(const Region& other) {
  for (const RECT& r : other.m_rects) unite(r);
}

void Region::subtract(const RECT& r) {
  if (rectIsEmpty(r) || m_rects.empty()) return;
  std::vector<RECT> next;
  next.reserve(m_rects.size() + 4);
  for (const RECT& existing : m_rects) appendDifference(existing, r, next);
  m_rects.swap(next);
}

void Region::subtract(const Region& other) {
  for (const RECT& r : other.m_rects) subtract(r);
}

void Region::intersect(const RECT& r) {
  std::vector<RECT> next;
  for (const RECT& existing : m_rects) {
    RECT i = rectIntersection(existing, r);
    if (!rectIsEmpty(i)) next.push_back(i);
  }
  m_rects.swap(next);
}

void Region::intersect(const Region& other) {
  std::vector<RECT> next;
  for (const RECT& a : m_rects)
    for (const RECT& b : other.m_rects) {
      RECT i = rectIntersection(a, b);
      if (!rectIsEmpty(i)) next.push_back(i);
    }
  m_rects.swap(next);
}

void Region::offset(LONG dx, LONG dy) {
  for (RECT& r : m_rects) r = rectOffset(r, dx, dy);
}
