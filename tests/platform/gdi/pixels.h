#pragma once
// Helpers for pixel tests: a memory DC over a fresh 32-bit bitmap, and
// counting pixels of a colour.

#include <string>

#include "platform/gdi/gdiguards.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

// A memory device context with a width x height colour bitmap selected,
// filled with `background`.
class MemoryCanvas {
 public:
  MemoryCanvas(int width, int height, COLORREF background = RGB(255, 255, 255));
  ~MemoryCanvas();
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  HDC dc() const { return m_dc; }
  HBITMAP bitmap() const { return m_bitmap; }
  COLORREF at(int x, int y) const;
  // Pixels of `color` inside (left, top)-(right, bottom), right and bottom excluded.
  int count(COLORREF color, int left, int top, int right, int bottom) const;
  int count(COLORREF color) const;
  // Row y as characters: '#' for `ink`, '.' for anything else.
  std::string row(int y, COLORREF ink) const;

 private:
  int m_width, m_height;
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
};

// Solid brushes and pens that delete themselves.
class Brush {
 public:
  explicit Brush(COLORREF c) : m_brush(CreateSolidBrush(c)) {}
  ~Brush() { DeleteObject(m_brush); }
  operator HBRUSH() const { return m_brush; }

 private:
  HBRUSH m_brush;
};

using Selected = SelectedObject;
