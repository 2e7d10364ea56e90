#include "tests/platform/gdi/pixels.h"

MemoryCanvas::MemoryCanvas(int width, int height, COLORREF background)
    : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)) {
  HDC screen = GetDC(nullptr);
  m_bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  m_old = SelectObject(m_dc, m_bitmap);
  RECT all{0, 0, width, height};
  HBRUSH b = CreateSolidBrush(background);
  FillRect(m_dc, &all, b);
  DeleteObject(b);
}

MemoryCanvas::~MemoryCanvas() {
  SelectObject(m_dc, m_old);
  DeleteObject(m_bitmap);
  DeleteDC(m_dc);
}

COLORREF MemoryCanvas::at(int x, int y) const {
  const gdi::Surface* s = gdi::bitmapSurface(m_bitmap);
  return gdi::colorOf(s->row(y)[x]);
}

int MemoryCanvas::count(COLORREF color, int left, int top, int right, int bottom) const {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += at(x, y) == color;
  return n;
}

int MemoryCanvas::count(COLORREF color) const { return count(color, 0, 0, m_width, m_height); }

std::string MemoryCanvas::row(int y, COLORREF ink) const {
  std::string out;
  for (int x = 0; x < m_width; ++x) out += at(x, y) == ink ? '#' : '.';
  return out;
}
