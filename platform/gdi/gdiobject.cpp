// GDI objects: handles, stock objects, creation, selection and deletion.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/gdiimpl.h"

namespace gdi {
namespace {

constexpr ULONG_PTR kSysColorBrushLimit = 64;  // (HBRUSH)(COLOR_x + 1) handles

struct Tables {
  std::unordered_map<void*, std::unique_ptr<GdiObject>> objects;
  std::unordered_map<void*, std::unique_ptr<DeviceContext>> dcs;
  std::array<GdiObject*, 16> stock{};
  std::array<BrushObject*, 32> sysBrushes{};
  BitmapObject* stockBitmap = nullptr;
};

Tables& tables() {
  static Tables t;
  return t;
}

template <class T>
T* adopt(std::unique_ptr<T> o) {
  T* raw = o.get();
  tables().objects.emplace(static_cast<GdiObject*>(raw), std::move(o));
  return raw;
}

BrushObject* makeBrush(COLORREF color, bool hollow, bool stock) {
  auto b = std::make_unique<BrushObject>();
  b->color = color;
  b->hollow = hollow;
  b->stock = stock;
  return adopt(std::move(b));
}

PenObject* makePen(int style, int width, COLORREF color, bool stock) {
  auto p = std::make_unique<PenObject>();
  p->style = style;
  p->width = std::max(width, 0);
  p->color = color;
  p->stock = stock;
  return adopt(std::move(p));
}

void makeStockObjects() {
  Tables& t = tables();
  if (t.stock[WHITE_BRUSH]) return;
  t.stock[WHITE_BRUSH] = makeBrush(RGB(255, 255, 255), false, true);
  t.stock[LTGRAY_BRUSH] = makeBrush(RGB(192, 192, 192), false, true);
  t.stock[GRAY_BRUSH] = makeBrush(RGB(128, 128, 128), false, true);
  t.stock[DKGRAY_BRUSH] = makeBrush(RGB(64, 64, 64), false, true);
  t.stock[BLACK_BRUSH] = makeBrush(RGB(0, 0, 0), false, true);
  t.stock[NULL_BRUSH] = makeBrush(0, true, true);
  t.stock[WHITE_PEN] = makePen(PS_SOLID, 0, RGB(255, 255, 255), true);
  t.stock[BLACK_PEN] = makePen(PS_SOLID, 0, RGB(0, 0, 0), true);
  t.stock[NULL_PEN] = makePen(PS_NULL, 0, 0, true);
  auto font = std::make_unique<FontObject>();
  font->stock = true;
  font->logFont.lfHeight = -12;  // the device's system font: Tahoma 9 pt
  font->logFont.lfWeight = FW_NORMAL;
  std::memcpy(font->logFont.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
  t.stock[SYSTEM_FONT] = adopt(std::move(font));
  auto palette = std::make_unique<PaletteObject>();
  palette->stock = true;
  t.stock[DEFAULT_PALETTE] = adopt(std::move(palette));
  auto bitmap = std::make_unique<BitmapObject>();
  bitmap->stock = true;
  bitmap->surface = Surface{1, 1, 1, {1}};
  t.stockBitmap = adopt(std::move(bitmap));
}

template <class T>
void select(T*& slot, GdiObject* next) {
  if (slot) --slot->selectedCount;
  slot = static_cast<T*>(next);
  if (slot) ++slot->selectedCount;
}

}  // namespace

GdiObject* object(HGDIOBJ handle) {
  if (!handle) return nullptr;
  auto& objects = tables().objects;
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : it->second.get();
}

BrushObject* brushOf(HBRUSH brush) {
  auto value = reinterpret_cast<ULONG_PTR>(brush);
  if (value > 0 && value <= kSysColorBrushLimit)
    return objectAs<BrushObject>(GetSysColorBrush(static_cast<int>(value - 1)), ObjectKind::Brush);
  return objectAs<BrushObject>(brush, ObjectKind::Brush);
}

DeviceContext* dcOf(HDC dc) {
  if (!dc) return nullptr;
  auto& dcs = tables().dcs;
  auto it = dcs.find(dc);
  return it == dcs.end() ? nullptr : it->second.get();
}

HDC newDc(std::unique_ptr<DeviceContext> dc) {
  makeStockObjects();
  DeviceContext* raw = dc.get();
  raw->brush = static_cast<BrushObject*>(tables().stock[WHITE_BRUSH]);
  raw->pen = static_cast<PenObject*>(tables().stock[BLACK_PEN]);
  raw->font = static_cast<FontObject*>(tables().stock[SYSTEM_FONT]);
  raw->palette = static_cast<PaletteObject*>(tables().stock[DEFAULT_PALETTE]);
  for (GdiObject* o : {static_cast<GdiObject*>(raw->brush), static_cast<GdiObject*>(raw->pen),
                       static_cast<GdiObject*>(raw->font), static_cast<GdiObject*>(raw->palette)})
    ++o->selectedCount;
  if (raw->kind == DcKind::Memory) {
    raw->bitmap = tables().stockBitmap;
    ++raw->bitmap->selectedCount;
  }
  tables().dcs.emplace(raw, std::move(dc));
  return reinterpret_cast<HDC>(raw);
}

void freeDc(HDC dc) {
  DeviceContext* d = dcOf(dc);
  if (!d) return;
  for (GdiObject* o :
       {static_cast<GdiObject*>(d->brush), static_cast<GdiObject*>(d->pen), static_cast<GdiObject*>(d->font),
        static_cast<GdiObject*>(d->palette), static_cast<GdiObject*>(d->bitmap)})
    if (o) --o->selectedCount;
  tables().dcs.erase(dc);
}

HGDIOBJ handleOf(GdiObject* o) { return o; }

GdiObject* stockObject(int index) {
  makeStockObjects();
  if (index < 0 || index >= static_cast<int>(tables().stock.size())) return nullptr;
  return tables().stock[index];
}

BitmapObject* stockBitmap() {
  makeStockObjects();
  return tables().stockBitmap;
}

HBITMAP createBitmapFromPixels(int width, int height, bool mono, std::vector<std::uint32_t> pixels) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height) return nullptr;
  auto b = std::make_unique<BitmapObject>();
  b->surface = Surface{width, height, mono ? 1 : 32, std::move(pixels)};
  return reinterpret_cast<HBITMAP>(handleOf(adopt(std::move(b))));
}

const Surface* bitmapSurface(HBITMAP bitmap) {
  auto* b = objectAs<BitmapObject>(bitmap, ObjectKind::Bitmap);
  return b ? &b->surface : nullptr;
}

std::uint32_t* bitmapPixels(HBITMAP bitmap) {
  auto* b = objectAs<BitmapObject>(bitmap, ObjectKind::Bitmap);
  return b && !b->surface.mono() ? b->surface.pixels.data() : nullptr;
}

}  // namespace gdi

using namespace gdi;

namespace {

// Bitmaps larger than this are refused rather than exhausting memory.
constexpr long long kMaxBitmapPixels = 64ll * 1024 * 1024;

HBITMAP makeBitmap(int width, int height, int bitsPerPixel, std::uint32_t fill) {
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxBitmapPixels) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = std::make_unique<BitmapObject>();
  b->surface = Surface{width, height, bitsPerPixel, filledPixels(static_cast<size_t>(width) * height, fill)};
  return reinterpret_cast<HBITMAP>(handleOf(adopt(std::move(b))));
}

}  // namespace

HGDIOBJ GetStockObject(int index) { return handleOf(stockObject(index)); }

HBRUSH GetSysColorBrush(int index) {
  index &= ~SYS_COLOR_INDEX_FLAG;
  if (index < 0 || index >= static_cast<int>(tables().sysBrushes.size())) return nullptr;
  BrushObject*& b = tables().sysBrushes[index];
  if (!b) b = makeBrush(GetSysColor(index), false, true);
  return reinterpret_cast<HBRUSH>(handleOf(b));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return reinterpret_cast<HBRUSH>(handleOf(makeBrush(color & 0xFFFFFF, false, false)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) style = PS_SOLID;
  return reinterpret_cast<HPEN>(handleOf(makePen(style, width, color & 0xFFFFFF, false)));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP h = makeBitmap(width, height, static_cast<int>(bitsPerPixel), 0);
  if (!h || !bits) return h;
  Surface& s = objectAs<BitmapObject>(h, ObjectKind::Bitmap)->surface;
  const auto* bytes = static_cast<const BYTE*>(bits);
  if (bitsPerPixel == 1) {
    size_t stride = ((static_cast<size_t>(width) + 15) / 16) * 2;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) s.row(y)[x] = (bytes[y * stride + x / 8] >> (7 - x % 8)) & 1;
  } else {
    // Blue, green, red, unused bytes are one word on this little-endian host:
    // the pixel is the word without its top byte, taken a word at a time.
    static_assert(std::endian::native == std::endian::little);
    for (size_t i = 0; i < s.pixels.size(); ++i) {
      std::uint32_t word;
      std::memcpy(&word, bytes + i * 4, 4);
      s.pixels[i] = word & 0xFFFFFF;
    }
  }
  return h;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  DeviceContext* d = dcOf(dc);
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // As on the device: compatible with a memory DC means the format of the
  // bitmap selected in it (monochrome for a fresh one).
  int bits = d->kind == DcKind::Memory ? d->bitmap->surface.bitsPerPixel : 32;
  return makeBitmap(width, height, bits, 0);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
  DeviceContext* d = dcOf(dc);
  GdiObject* o = object(handle);
  if (!d || !o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiObject* old = nullptr;
  switch (o->kind) {
    case ObjectKind::Brush:
      old = d->brush;
      select(d->brush, o);
      break;
    case ObjectKind::Pen:
      old = d->pen;
      select(d->pen, o);
      break;
    case ObjectKind::Font:
      old = d->font;
      select(d->font, o);
      break;
    case ObjectKind::Palette:
      old = d->palette;
      select(d->palette, o);
      break;
    case ObjectKind::Bitmap: {
      if (d->kind != DcKind::Memory) return nullptr;
      // A bitmap lives in one memory DC at a time.
      if (o->selectedCount > 0 && o != d->bitmap && !o->stock) return nullptr;
      old = d->bitmap;
      select(d->bitmap, o);
      invalidateClip(*d);
      break;
    }
    case ObjectKind::Region: {
      int kind = SelectClipRgn(dc, reinterpret_cast<HRGN>(handle));
      return reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(kind));
    }
  }
  return handleOf(old);
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  DeviceContext* d = dcOf(dc);
  if (!d) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return handleOf(d->pen);
    case OBJ_BRUSH:
      return handleOf(d->brush);
    case OBJ_FONT:
      return handleOf(d->font);
    case OBJ_PAL:
      return handleOf(d->palette);
    case OBJ_BITMAP:
      return d->bitmap ? handleOf(d->bitmap) : nullptr;
    default:
      return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject* o = object(handle);
  if (!o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (o->stock) return TRUE;
  // Deleting what a DC still uses would leave it drawing with a dead object.
  if (o->selectedCount > 0) return FALSE;
  tables().objects.erase(handle);
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ handle) {
  if (DeviceContext* d = dcOf(reinterpret_cast<HDC>(handle))) return d->kind == DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
  GdiObject* o = object(handle);
  if (!o) return 0;
  switch (o->kind) {
    case ObjectKind::Brush:
      return OBJ_BRUSH;
    case ObjectKind::Pen:
      return OBJ_PEN;
    case ObjectKind::Bitmap:
      return OBJ_BITMAP;
    case ObjectKind::Font:
      return OBJ_FONT;
    case ObjectKind::Region:
      return OBJ_REGION;
    case ObjectKind::Palette:
      return OBJ_PAL;
  }
  return 0;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  GdiObject* o = object(handle);
  if (!o) return 0;
  if (o->kind == ObjectKind::Bitmap) {
    if (!buffer) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    const Surface& s = static_cast<BitmapObject*>(o)->surface;
    LONG stride = s.mono() ? ((s.width + 15) / 16) * 2 : s.width * 4;
    *static_cast<BITMAP*>(buffer) = BITMAP{0, s.width, s.height, stride, 1, static_cast<WORD>(s.bitsPerPixel), nullptr};
    return sizeof(BITMAP);
  }
  if (o->kind == ObjectKind::Font) {
    if (!buffer) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
    *static_cast<LOGFONTW*>(buffer) = static_cast<FontObject*>(o)->logFont;
    return sizeof(LOGFONTW);
  }
  return 0;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette) return nullptr;
  return reinterpret_cast<HPALETTE>(handleOf(adopt(std::make_unique<PaletteObject>())));
}

// The screen is true colour: palettes are accepted and change nothing.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) { return reinterpret_cast<HPALETTE>(SelectObject(dc, palette)); }

UINT RealizePalette(HDC dc) { return dcOf(dc) ? 0 : static_cast<UINT>(-1); }

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto f = std::make_unique<FontObject>();
  f->logFont = *font;
  f->logFont.lfFaceName[LF_FACESIZE - 1] = 0;  // at most 31 characters
  return reinterpret_cast<HFONT>(handleOf(adopt(std::move(f))));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto r = std::make_unique<RegionObject>();
  r->region = Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
  return reinterpret_cast<HRGN>(handleOf(adopt(std::move(r))));
}
