// Image lists: equal-sized pictures cut from bitmaps, each with its own
// transparency, drawn by index. A list is owned by the table below from
// ImageList_Create or ImageList_LoadImage until ImageList_Destroy; a handle
// that was never made or is already destroyed answers failure.

#include <map>
#include <memory>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/core/resource.h"
#include "platform/gdi/picture.h"
#include "platform/gdi/surface.h"

struct HIMAGELIST__ {
  int cx;
  int cy;
  bool masked;
  std::vector<res::Picture> images;  // ARGB; alpha 0 is transparent
};

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr int kMaxSide = 1024;
constexpr size_t kMaxImages = 65536;

std::map<HIMAGELIST, std::unique_ptr<HIMAGELIST__>>& lists() {
  static std::map<HIMAGELIST, std::unique_ptr<HIMAGELIST__>> all;
  return all;
}

HIMAGELIST__* listOf(HIMAGELIST handle) { return lists().count(handle) ? handle : nullptr; }

HIMAGELIST adopt(std::unique_ptr<HIMAGELIST__> list) {
  HIMAGELIST handle = list.get();
  lists()[handle] = std::move(list);
  return handle;
}

std::uint32_t argbOf(COLORREF c) { return kOpaque | gdi::pixelOf(c); }

// The pixels of a strip as ARGB, whatever its source.
struct Strip {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

Strip stripOfBitmap(HBITMAP bitmap) {
  Strip s;
  const gdi::Surface* surface = gdi::bitmapSurface(bitmap);
  if (!surface) return s;
  s.width = surface->width;
  s.height = surface->height;
  s.pixels.reserve(surface->pixels.size());
  for (std::uint32_t p : surface->pixels)
    s.pixels.push_back(surface->mono() ? (p ? 0xFFFFFFFFu : kOpaque) : kOpaque | p);
  return s;
}

Strip stripOfPicture(const res::Picture& picture) { return Strip{picture.width, picture.height, picture.pixels}; }

// Which pixels of a strip are see-through: the mask colour, or a mask strip's white.
struct Transparency {
  bool byColour = false;
  std::uint32_t colour = 0;
  const Strip* mask = nullptr;
  bool clear(const Strip& s, int x, int y) const {
    std::uint32_t p = s.at(x, y);
    if ((p >> 24) == 0) return true;
    if (byColour && p == colour) return true;
    return mask && x < mask->width && y < mask->height && (mask->at(x, y) & 0xFFFFFF) != 0;
  }
};

Transparency transparencyFor(const Strip& s, COLORREF mask) {
  Transparency t;
  if (mask == CLR_NONE || s.pixels.empty()) return t;
  t.byColour = true;
  t.colour = mask == CLR_DEFAULT ? s.pixels.front() : argbOf(mask);
  return t;
}

// Cuts the strip into images of the list's size, left to right; answers the first index or -1.
int cut(HIMAGELIST__& list, const Strip& s, const Transparency& t) {
  if (s.width < list.cx || s.height < list.cy) return -1;
  int count = s.width / list.cx;
  if (list.images.size() + static_cast<size_t>(count) > kMaxImages) return -1;
  int first = static_cast<int>(list.images.size());
  for (int i = 0; i < count; ++i) {
    res::Picture image{0, list.cx, list.cy, std::vector<std::uint32_t>(static_cast<size_t>(list.cx * list.cy), 0)};
    for (int y = 0; y < list.cy; ++y)
      for (int x = 0; x < list.cx; ++x) {
        int sx = i * list.cx + x;
        if (!t.clear(s, sx, y)) image.pixels[static_cast<size_t>(y * list.cx + x)] = s.at(sx, y) | kOpaque;
      }
    list.images.push_back(std::move(image));
  }
  return first;
}

std::uint32_t mix(std::uint32_t a, std::uint32_t b, int percentB) {
  auto channel = [&](int shift) {
    int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
    return static_cast<std::uint32_t>((ca * (100 - percentB) + cb * percentB) / 100) << shift;
  };
  return kOpaque | channel(16) | channel(8) | channel(0);
}

// The image as drawn for a style: blended with the highlight colour, or its mask in black.
res::Picture styled(const res::Picture& image, UINT style) {
  res::Picture out = image;
  int percent = (style & ILD_BLEND50) ? 50 : (style & ILD_BLEND25) ? 25 : 0;
  std::uint32_t highlight = argbOf(GetSysColor(COLOR_HIGHLIGHT));
  for (auto& p : out.pixels) {
    if (style & ILD_MASK)
      p = (p >> 24) ? kOpaque : 0xFFFFFFFFu;
    else if ((p >> 24) && percent)
      p = mix(p, highlight, percent);
  }
  return out;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
  if (cx <= 0 || cy <= 0 || cx > kMaxSide || cy > kMaxSide) return nullptr;
  return adopt(std::make_unique<HIMAGELIST__>(HIMAGELIST__{cx, cy, (flags & ILC_MASK) != 0, {}}));
}

BOOL ImageList_Destroy(HIMAGELIST list) { return lists().erase(list) ? TRUE : FALSE; }

HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int, COLORREF mask, UINT type, UINT flags) {
  if (type != IMAGE_BITMAP || (flags & LR_LOADFROMFILE) || cx <= 0) return nullptr;
  const res::Picture* picture = res::findBitmap(instance, name);
  if (!picture || picture->width < cx || picture->height <= 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto list = std::make_unique<HIMAGELIST__>(HIMAGELIST__{cx, picture->height, mask != CLR_NONE, {}});
  if (list->cy > kMaxSide || cx > kMaxSide) return nullptr;
  Strip strip = stripOfPicture(*picture);
  if (cut(*list, strip, transparencyFor(strip, mask)) < 0) return nullptr;
  return adopt(std::move(list));
}

int ImageList_Add(HIMAGELIST handle, HBITMAP image, HBITMAP mask) {
  HIMAGELIST__* list = listOf(handle);
  if (!list) return -1;
  Strip strip = stripOfBitmap(image);
  Strip maskStrip = stripOfBitmap(mask);
  Transparency t;
  if (list->masked && !maskStrip.pixels.empty()) t.mask = &maskStrip;
  return cut(*list, strip, t);
}

int ImageList_AddMasked(HIMAGELIST handle, HBITMAP image, COLORREF mask) {
  HIMAGELIST__* list = listOf(handle);
  if (!list) return -1;
  Strip strip = stripOfBitmap(image);
  return cut(*list, strip, list->masked ? transparencyFor(strip, mask) : Transparency{});
}

BOOL ImageList_Remove(HIMAGELIST handle, int index) {
  HIMAGELIST__* list = listOf(handle);
  if (!list) return FALSE;
  if (index == -1) {
    list->images.clear();
    return TRUE;
  }
  if (index < 0 || static_cast<size_t>(index) >= list->images.size()) return FALSE;
  list->images.erase(list->images.begin() + index);
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST handle, int index, HDC dc, int x, int y, UINT style) {
  HIMAGELIST__* list = listOf(handle);
  if (!list || index < 0 || static_cast<size_t>(index) >= list->images.size()) return FALSE;
  const res::Picture& image = list->images[static_cast<size_t>(index)];
  if (style & (ILD_BLEND25 | ILD_BLEND50 | ILD_MASK))
    gdi::drawPicture(dc, x, y, 0, 0, styled(image, style));
  else
    gdi::drawPicture(dc, x, y, 0, 0, image);
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
  HIMAGELIST__* list = listOf(handle);
  return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy) {
  HIMAGELIST__* list = listOf(handle);
  if (!list || !cx || !cy) return FALSE;
  *cx = list->cx;
  *cy = list->cy;
  return TRUE;
}
