#pragma once
// Solid fills and one-pixel frames, for the device's own controls and shell,
// which paint flat faces without keeping brushes around.

#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"

inline void fillSolid(HDC dc, const RECT& r, COLORREF color) {
  GdiObject<HBRUSH> brush(CreateSolidBrush(color));
  FillRect(dc, &r, brush.get());
}

// The rectangle's edge pixels, inside the rectangle.
inline void frameSolid(HDC dc, const RECT& r, COLORREF color) {
  fillSolid(dc, RECT{r.left, r.top, r.right, r.top + 1}, color);
  fillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, color);
  fillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, color);
  fillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, color);
}
