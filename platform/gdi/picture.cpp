// Drawing resource pictures, LoadBitmapW and DrawIconEx.

#include "platform/gdi/picture.h"

#include <algorithm>

#include "platform/gdi/gdiimpl.h"

namespace gdi {
namespace {

// Nearest-pixel scaling of a picture's part into a destination rectangle.
void blend(HDC dc, RECT dst, const res::Picture& p, RECT src) {
  DeviceContext* d = dcOf(dc);
  Surface* s = d ? surfaceOf(*d) : nullptr;
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = src.right - src.left, sh = src.bottom - src.top;
  if (!s || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const Region& clip = clipOf(*d);
  RECT drawn{s->width, s->height, 0, 0};
  for (int y = 0; y < dh; ++y) {
    int sy = y + dst.top + d->origin.y;
    if (sy < 0 || sy >= s->height) continue;
    int py = src.top + y * sh / dh;
    if (py < 0 || py >= p.height) continue;
    for (int x = 0; x < dw; ++x) {
      int sx = x + dst.left + d->origin.x;
      int px = src.left + x * sw / dw;
      if (sx < 0 || sx >= s->width || px < 0 || px >= p.width || !clip.contains(sx, sy)) continue;
      std::uint32_t argb = p.pixels[static_cast<size_t>(py) * p.width + px];
      if (!(argb >> 24)) continue;
      s->row(sy)[sx] = deviceValue(*s, colorOf(argb & 0xFFFFFF));
      drawn = RECT{std::min<LONG>(drawn.left, sx), std::min<LONG>(drawn.top, sy), std::max<LONG>(drawn.right, sx + 1),
                   std::max<LONG>(drawn.bottom, sy + 1)};
    }
  }
  if (!rectIsEmpty(drawn)) drewOn(s, drawn);
}

}  // namespace

void drawPicture(HDC dc, int x, int y, int width, int height, const res::Picture& picture) {
  if (width <= 0) width = picture.width;
  if (height <= 0) height = picture.height;
  blend(dc, RECT{x, y, x + width, y + height}, picture, RECT{0, 0, picture.width, picture.height});
}

void drawPicturePart(HDC dc, int x, int y, const res::Picture& picture, int srcX, int srcY, int width, int height) {
  blend(dc, RECT{x, y, x + width, y + height}, picture, RECT{srcX, srcY, srcX + width, srcY + height});
}

}  // namespace gdi

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  const res::Picture* p = res::findBitmap(instance, name);
  if (!p || p->width <= 0 || p->height <= 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  // Bitmaps have no transparency: transparent pixels come out black.
  std::vector<std::uint32_t> pixels(p->pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (p->pixels[i] >> 24) ? (p->pixels[i] & 0xFFFFFF) : 0;
  return gdi::createBitmapFromPixels(p->width, p->height, false, std::move(pixels));
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT) {
  const res::Picture* p = res::iconPicture(icon);
  if (!p || !gdi::dcOf(dc)) return FALSE;
  gdi::drawPicture(dc, x, y, width, height, *p);
  return TRUE;
}
