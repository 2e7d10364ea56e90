// Shapes, pixels and blits with raster operations.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/gdiimpl.h"

using namespace gdi;

namespace {

RECT toSurface(const DeviceContext& d, LONG left, LONG top, LONG right, LONG bottom) {
  return RECT{left + d.origin.x, top + d.origin.y, right + d.origin.x, bottom + d.origin.y};
}

void plot(DeviceContext& d, Surface& s, LONG x, LONG y, int width, std::uint32_t value) {
  if (width <= 1) {
    if (x < 0 || y < 0 || x >= s.width || y >= s.height || !clipOf(d).contains(x, y)) return;
    s.row(y)[x] = value;
    drewOn(&s, RECT{x, y, x + 1, y + 1});
    return;
  }
  LONG half = width / 2;
  fillClipped(d, RECT{x - half, y - half, x - half + width, y - half + width}, value);
}

// Bresenham from a to b in surface coordinates; the end point is not drawn.
void drawLine(DeviceContext& d, POINT a, POINT b) {
  PenObject* pen = d.pen;
  Surface* s = surfaceOf(d);
  if (!pen || !s || pen->style == PS_NULL) return;
  std::uint32_t value = deviceValue(*s, pen->color);
  int width = std::max(pen->width, 1);
  LONG dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  LONG sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  LONG err = dx + dy;
  LONG x = a.x, y = a.y;
  int step = 0;
  while (x != b.x || y != b.y) {
    bool dashGap = pen->style == PS_DASH && (step / 4) % 2 == 1;
    if (!dashGap) plot(d, *s, x, y, width, value);
    ++step;
    LONG e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

bool usesSource(DWORD rop) {
  return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT || rop == SRCERASE ||
         rop == NOTSRCCOPY || rop == NOTSRCERASE || rop == MERGEPAINT;
}

bool knownRop(DWORD rop) {
  return usesSource(rop) || rop == PATCOPY || rop == PATINVERT || rop == DSTINVERT || rop == BLACKNESS ||
         rop == WHITENESS;
}

std::uint32_t applyRop(DWORD rop, std::uint32_t d, std::uint32_t s, std::uint32_t p, std::uint32_t mask) {
  switch (rop) {
    case SRCCOPY:
      return s;
    case SRCPAINT:
      return s | d;
    case SRCAND:
      return s & d;
    case SRCINVERT:
      return s ^ d;
    case SRCERASE:
      return s & ~d & mask;
    case NOTSRCCOPY:
      return ~s & mask;
    case NOTSRCERASE:
      return ~(s | d) & mask;
    case MERGEPAINT:
      return (~s & mask) | d;
    case PATCOPY:
      return p;
    case PATINVERT:
      return p ^ d;
    case DSTINVERT:
      return ~d & mask;
    case BLACKNESS:
      return 0;
    case WHITENESS:
      return mask;
    default:
      return d;
  }
}

// A source pixel as the destination's format sees it: monochrome to colour
// takes the destination's text (0) and background (1) colours, colour to
// monochrome gives 1 where the source has its DC's background colour.
std::uint32_t convert(std::uint32_t v, const Surface& from, const DeviceContext& src, const Surface& to,
                      const DeviceContext& dst) {
  if (from.mono() == to.mono()) return v;
  if (from.mono()) return pixelOf(v ? dst.bkColor : dst.textColor);
  return v == pixelOf(src.bkColor) ? 1 : 0;
}

BOOL blit(HDC dstDc, int x, int y, int width, int height, HDC srcDc, int srcX, int srcY, int srcWidth, int srcHeight,
          DWORD rop) {
  DeviceContext* d = dcOf(dstDc);
  if (!d || !knownRop(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DeviceContext* sdc = usesSource(rop) ? dcOf(srcDc) : nullptr;
  if (usesSource(rop) && !sdc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Surface* ds = surfaceOf(*d);
  Surface* ss = sdc ? surfaceOf(*sdc) : nullptr;
  if (!ds || (sdc && !ss)) return FALSE;
  if (width == 0 || height == 0 || (sdc && (srcWidth == 0 || srcHeight == 0))) return TRUE;

  bool mirrorX = (width < 0) != (srcWidth < 0);
  bool mirrorY = (height < 0) != (srcHeight < 0);
  int w = std::abs(width), h = std::abs(height);
  int sw = std::abs(srcWidth), sh = std::abs(srcHeight);
  RECT target = toSurface(*d, std::min(x, x + width), std::min(y, y + height), std::min(x, x + width) + w,
                          std::min(y, y + height) + h);
  // The source rectangle in the source surface's coordinates.
  int sLeft = std::min(srcX, srcX + srcWidth) + (sdc ? sdc->origin.x : 0);
  int sTop = std::min(srcY, srcY + srcHeight) + (sdc ? sdc->origin.y : 0);

  std::uint32_t mask = ds->mono() ? 1u : 0xFFFFFFu;
  std::uint32_t pattern = 0;
  if (rop == PATCOPY || rop == PATINVERT)
    pattern = d->brush && !d->brush->hollow ? deviceValue(*ds, d->brush->color) : 0;
  bool plainCopy = rop == SRCCOPY && sdc && w == sw && h == sh && !mirrorX && !mirrorY && ss->mono() == ds->mono();

  std::vector<int> columns(static_cast<size_t>(w));
  for (int i = 0; i < w; ++i) {
    long long c = static_cast<long long>(i) * sw / w;
    columns[i] = sLeft + static_cast<int>(mirrorX ? sw - 1 - c : c);
  }
  for (const RECT& clipRect : clipOf(*d).rects()) {
    RECT part = rectIntersection(target, clipRect);
    if (rectIsEmpty(part)) continue;
    for (LONG py = part.top; py < part.bottom; ++py) {
      std::uint32_t* out = ds->row(py);
      int j = py - target.top;
      int srcRow = 0;
      if (sdc) {
        long long r = static_cast<long long>(j) * sh / h;
        srcRow = sTop + static_cast<int>(mirrorY ? sh - 1 - r : r);
        if (srcRow < 0 || srcRow >= ss->height) continue;
      }
      if (plainCopy) {
        // Straight copy of one row, trimmed to the source surface.
        int from = columns[part.left - target.left];
        int lo = part.left, hi = part.right;
        if (from < 0) lo += -from, from = 0;
        if (from + (hi - lo) > ss->width) hi = lo + std::max(0, ss->width - from);
        if (hi > lo) std::memcpy(out + lo, ss->row(srcRow) + from, sizeof(std::uint32_t) * (hi - lo));
        continue;
      }
      if (rop == SRCCOPY && ss->mono() == ds->mono()) {
        const std::uint32_t* in = ss->row(srcRow);
        for (LONG px = part.left; px < part.right; ++px) {
          int col = columns[px - target.left];
          if (col >= 0 && col < ss->width) out[px] = in[col];
        }
        continue;
      }
      for (LONG px = part.left; px < part.right; ++px) {
        std::uint32_t sv = 0;
        if (sdc) {
          int col = columns[px - target.left];
          if (col < 0 || col >= ss->width) continue;
          sv = convert(ss->row(srcRow)[col], *ss, *sdc, *ds, *d);
        }
        out[px] = applyRop(rop, out[px], sv, pattern, mask) & mask;
      }
    }
    drewOn(ds, part);
  }
  return TRUE;
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  DeviceContext* d = dcOf(dc);
  BrushObject* b = brushOf(brush);
  if (!d || !rect || !b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Surface* s = surfaceOf(*d);
  if (!s) return 0;
  if (b->hollow) return 1;
  fillClipped(*d, toSurface(*d, rect->left, rect->top, rect->right, rect->bottom), deviceValue(*s, b->color));
  return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  DeviceContext* d = dcOf(dc);
  if (!d) return FALSE;
  Surface* s = surfaceOf(*d);
  if (!s) return FALSE;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  bool outline = d->pen && d->pen->style != PS_NULL;
  // With a pen the outline takes the edge pixels; without one the fill
  // stops one pixel short of the right and bottom edges.
  if (d->brush && !d->brush->hollow) {
    RECT inside = outline ? RECT{left + 1, top + 1, right - 1, bottom - 1} : RECT{left, top, right - 1, bottom - 1};
    fillClipped(*d, toSurface(*d, inside.left, inside.top, inside.right, inside.bottom),
                deviceValue(*s, d->brush->color));
  }
  if (outline && right - left >= 1 && bottom - top >= 1) {
    POINT corners[] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}, {left, top}};
    POINT saved = d->position;
    for (int i = 0; i + 1 < 5; ++i)
      drawLine(*d, POINT{corners[i].x + d->origin.x, corners[i].y + d->origin.y},
               POINT{corners[i + 1].x + d->origin.x, corners[i + 1].y + d->origin.y});
    d->position = saved;
  }
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  DeviceContext* d = dcOf(dc);
  if (!d || !points || count < 2) return FALSE;
  for (int i = 0; i + 1 < count; ++i)
    drawLine(*d, POINT{points[i].x + d->origin.x, points[i].y + d->origin.y},
             POINT{points[i + 1].x + d->origin.x, points[i + 1].y + d->origin.y});
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
  DeviceContext* d = dcOf(dc);
  if (!d) return FALSE;
  if (previous) *previous = d->position;
  d->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  DeviceContext* d = dcOf(dc);
  if (!d) return FALSE;
  drawLine(*d, POINT{d->position.x + d->origin.x, d->position.y + d->origin.y},
           POINT{x + d->origin.x, y + d->origin.y});
  d->position = POINT{x, y};
  return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  DeviceContext* d = dcOf(dc);
  if (!d) return CLR_INVALID;
  Surface* s = surfaceOf(*d);
  if (!s) return CLR_INVALID;
  LONG sx = x + d->origin.x, sy = y + d->origin.y;
  if (sx < 0 || sy < 0 || sx >= s->width || sy >= s->height || !clipOf(*d).contains(sx, sy)) return CLR_INVALID;
  s->row(sy)[sx] = deviceValue(*s, color);
  drewOn(s, RECT{sx, sy, sx + 1, sy + 1});
  return s->mono() ? (s->row(sy)[sx] ? RGB(255, 255, 255) : 0) : color & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  DeviceContext* d = dcOf(dc);
  if (!d) return CLR_INVALID;
  Surface* s = surfaceOf(*d);
  if (!s) return CLR_INVALID;
  LONG sx = x + d->origin.x, sy = y + d->origin.y;
  if (sx < 0 || sy < 0 || sx >= s->width || sy >= s->height || !clipOf(*d).contains(sx, sy)) return CLR_INVALID;
  std::uint32_t v = s->row(sy)[sx];
  if (s->mono()) return v ? RGB(255, 255, 255) : RGB(0, 0, 0);
  return colorOf(v);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (usesSource(rop)) return FALSE;
  return blit(dc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  return blit(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                DWORD rop) {
  return blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}
