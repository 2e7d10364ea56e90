// Device contexts: the screen's and windows', memory ones, their clipping,
// colours and modes, and the device's facts and escapes.

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/core/windowing.h"
#include "platform/gdi/gdiimpl.h"

namespace gdi {
namespace {

struct Screen {
  Surface surface;
  Region dirty;
  ULONG power = VideoPowerOn;
};

// The screen as it is, made or not: asking whether a surface is the
// screen's must not make one.
Screen& screenState() {
  static Screen s;
  return s;
}

Screen& screen() {
  Screen& s = screenState();
  SIZE size = wm::screenSize();
  if (s.surface.width != size.cx || s.surface.height != size.cy) {
    s.surface = Surface{size.cx, size.cy, 32,
                        filledPixels(static_cast<size_t>(size.cx) * size.cy, pixelOf(GetSysColor(COLOR_BACKGROUND)))};
    s.dirty = Region(RECT{0, 0, size.cx, size.cy});
  }
  return s;
}

HDC windowDc(HWND hwnd, const Region* paintRegion) {
  auto d = std::make_unique<DeviceContext>();
  d->kind = DcKind::Window;
  if (!hwnd) {
    d->screenWide = true;
    d->systemClip = Region(wm::screenRect());
  } else {
    POINT origin;
    if (!wm::clientOrigin(hwnd, origin)) return nullptr;
    d->hwnd = hwnd;
    d->origin = origin;
    bool clipChildren = GetWindowLongW(hwnd, GWL_STYLE) & WS_CLIPCHILDREN;
    Region visible = wm::visibleRegion(hwnd, clipChildren);
    if (paintRegion) {
      Region p = *paintRegion;
      p.offset(origin.x, origin.y);
      visible.intersect(p);
    }
    d->systemClip = std::move(visible);
  }
  return newDc(std::move(d));
}

BOOL eraseWithClassBrush(HWND hwnd, HDC dc) {
  HBRUSH brush = wm::classBackground(hwnd);
  if (!brush) return FALSE;
  RECT client;
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, brush);
  return TRUE;
}

void paintWithoutHandler(HWND hwnd) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
}

}  // namespace

Surface& screenSurface() { return screen().surface; }

Region takeScreenDirty() {
  Screen& s = screen();
  Region r = std::move(s.dirty);
  s.dirty.clear();
  return r;
}

void markScreenDirty(const RECT& r) { screen().dirty.unite(rectIntersection(r, wm::screenRect())); }

bool screenPowerOn() { return screen().power == VideoPowerOn; }

bool isScreen(const Surface* s) { return s == &screenState().surface; }

void drewOn(const Surface* s, const RECT& r) {
  if (isScreen(s)) screen().dirty.unite(r);
}

void installWindowHooks() { wm::setPaintHooks(wm::PaintHooks{&paintWithoutHandler, &eraseWithClassBrush}); }

Surface* surfaceOf(DeviceContext& dc) {
  if (dc.kind == DcKind::Window) return &screen().surface;
  return dc.bitmap ? &dc.bitmap->surface : nullptr;
}

void invalidateClip(DeviceContext& dc) { dc.clipValid = false; }

const Region& clipOf(DeviceContext& dc) {
  if (dc.clipValid) return dc.clip;
  Surface* s = surfaceOf(dc);
  Region clip(RECT{0, 0, s ? s->width : 0, s ? s->height : 0});
  if (dc.systemClip) clip.intersect(*dc.systemClip);
  if (dc.userClip) {
    Region user = *dc.userClip;
    user.offset(dc.origin.x, dc.origin.y);
    clip.intersect(user);
  }
  dc.clip = std::move(clip);
  dc.clipValid = true;
  return dc.clip;
}

std::uint32_t deviceValue(const Surface& s, COLORREF c) {
  if (!s.mono()) return pixelOf(c);
  // Monochrome: the nearer of black and white.
  return (GetRValue(c) + GetGValue(c) + GetBValue(c)) >= 384 ? 1 : 0;
}

// The C library's wide fill stores 32-bit units with the widest vector stores
// the processor has: skins fill most of the screen several times while they
// paint, a row at a time.
static_assert(sizeof(wchar_t) == sizeof(std::uint32_t));
void fillPixels(std::uint32_t* pixels, size_t count, std::uint32_t value) {
  if (count) std::wmemset(reinterpret_cast<wchar_t*>(pixels), static_cast<wchar_t>(value), count);
}

std::vector<std::uint32_t> filledPixels(size_t count, std::uint32_t value) {
  std::vector<std::uint32_t> pixels(count);  // zeros, set at memset's speed
  if (value) fillPixels(pixels.data(), count, value);
  return pixels;
}

void fillClipped(DeviceContext& dc, const RECT& r, std::uint32_t value) {
  Surface* s = surfaceOf(dc);
  if (!s) return;
  for (const RECT& c : clipOf(dc).rects()) {
    RECT part = rectIntersection(r, c);
    if (rectIsEmpty(part)) continue;
    for (LONG y = part.top; y < part.bottom; ++y)
      fillPixels(s->row(y) + part.left, size_t(part.right - part.left), value);
    drewOn(s, part);
  }
}

}  // namespace gdi

using namespace gdi;

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!IsWindow(hwnd) || !paint) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  installWindowHooks();
  bool erase = false;
  Region update = wm::takeUpdateRegion(hwnd, erase);
  HDC dc = windowDc(hwnd, &update);
  std::memset(paint, 0, sizeof *paint);
  paint->hdc = dc;
  paint->rcPaint = update.bounds();
  if (erase) paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (!paint || !dcOf(paint->hdc)) return FALSE;
  freeDc(paint->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  installWindowHooks();
  return windowDc(hwnd, nullptr);
}

int ReleaseDC(HWND, HDC dc) {
  DeviceContext* d = dcOf(dc);
  if (!d || d->kind != DcKind::Window) return 0;
  freeDc(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !dcOf(dc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto d = std::make_unique<DeviceContext>();
  d->kind = DcKind::Memory;
  return newDc(std::move(d));
}

BOOL DeleteDC(HDC dc) {
  DeviceContext* d = dcOf(dc);
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  freeDc(dc);
  return TRUE;
}

int SetBkMode(HDC dc, int mode) {
  DeviceContext* d = dcOf(dc);
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = d->bkMode;
  d->bkMode = mode;
  return old;
}

int GetBkMode(HDC dc) {
  DeviceContext* d = dcOf(dc);
  return d ? d->bkMode : 0;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  DeviceContext* d = dcOf(dc);
  if (!d) return CLR_INVALID;
  COLORREF old = d->bkColor;
  d->bkColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetBkColor(HDC dc) {
  DeviceContext* d = dcOf(dc);
  return d ? d->bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  DeviceContext* d = dcOf(dc);
  if (!d) return CLR_INVALID;
  COLORREF old = d->textColor;
  d->textColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetTextColor(HDC dc) {
  DeviceContext* d = dcOf(dc);
  return d ? d->textColor : CLR_INVALID;
}

// ---- Regions and clipping -------------------------------------------------------

namespace {

RegionObject* regionOf(HRGN r) { return objectAs<RegionObject>(r, ObjectKind::Region); }

int kindOf(const Region& r) {
  if (r.empty()) return NULLREGION;
  return r.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The DC's clip in its own (logical) coordinates, for changing it.
Region logicalClip(DeviceContext& d) {
  if (d.userClip) return *d.userClip;
  Region r = clipOf(d);
  r.offset(-d.origin.x, -d.origin.y);
  return r;
}

}  // namespace

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
  RegionObject* d = regionOf(dst);
  RegionObject* ra = regionOf(a);
  RegionObject* rb = regionOf(b);
  if (!d || !ra || (mode != RGN_COPY && !rb)) return ERROR;
  Region result = ra->region;
  switch (mode) {
    case RGN_AND:
      result.intersect(rb->region);
      break;
    case RGN_OR:
      result.unite(rb->region);
      break;
    case RGN_DIFF:
      result.subtract(rb->region);
      break;
    case RGN_XOR: {
      Region both = ra->region;
      both.intersect(rb->region);
      result.unite(rb->region);
      result.subtract(both);
      break;
    }
    case RGN_COPY:
      break;
    default:
      return ERROR;
  }
  d->region = std::move(result);
  return kindOf(d->region);
}

BOOL PtInRegion(HRGN region, int x, int y) {
  RegionObject* r = regionOf(region);
  return r && r->region.contains(x, y) ? TRUE : FALSE;
}

int GetRgnBox(HRGN region, LPRECT rect) {
  RegionObject* r = regionOf(region);
  if (!r || !rect) return ERROR;
  *rect = r->region.bounds();
  return kindOf(r->region);
}

int SelectClipRgn(HDC dc, HRGN region) {
  DeviceContext* d = dcOf(dc);
  if (!d) return ERROR;
  if (!region) {
    d->userClip.reset();
  } else {
    RegionObject* r = regionOf(region);
    if (!r) return ERROR;
    d->userClip = r->region;  // a copy: the region may be deleted afterwards
  }
  invalidateClip(*d);
  return kindOf(clipOf(*d));
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  DeviceContext* d = dcOf(dc);
  if (!d) return ERROR;
  Region r = logicalClip(*d);
  r.intersect(RECT{left, top, right, bottom});
  d->userClip = std::move(r);
  invalidateClip(*d);
  return kindOf(clipOf(*d));
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  DeviceContext* d = dcOf(dc);
  if (!d) return ERROR;
  Region r = logicalClip(*d);
  r.subtract(RECT{left, top, right, bottom});
  d->userClip = std::move(r);
  invalidateClip(*d);
  return kindOf(clipOf(*d));
}

int GetClipBox(HDC dc, LPRECT rect) {
  DeviceContext* d = dcOf(dc);
  if (!d || !rect) return ERROR;
  const Region& c = clipOf(*d);
  *rect = rectOffset(c.bounds(), -d->origin.x, -d->origin.y);
  if (c.empty()) *rect = RECT{0, 0, 0, 0};
  return kindOf(c);
}

// ---- Device facts and escapes -----------------------------------------------------

int GetDeviceCaps(HDC dc, int index) {
  DeviceContext* d = dcOf(dc);
  if (!d) return 0;
  Surface* s = surfaceOf(*d);
  switch (index) {
    case HORZRES:
      return d->kind == DcKind::Window ? wm::screenSize().cx : (s ? s->width : 0);
    case VERTRES:
      return d->kind == DcKind::Window ? wm::screenSize().cy : (s ? s->height : 0);
    case BITSPIXEL:
      return s ? s->bitsPerPixel : 32;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_STRETCHBLT;  // true colour: no palette
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case SIZEPALETTE:
    case NUMRESERVED:
      return 0;
    default:
      return 0;
  }
}

int ExtEscape(HDC dc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
  if (!dcOf(dc)) return -1;
  switch (escape) {
    case QUERYESCSUPPORT: {
      if (!input || inputSize < static_cast<int>(sizeof(DWORD))) return 0;
      DWORD asked;
      std::memcpy(&asked, input, sizeof asked);
      return asked == QUERYESCSUPPORT || asked == SETPOWERMANAGEMENT || asked == GETPOWERMANAGEMENT ? 1 : 0;
    }
    case SETPOWERMANAGEMENT: {
      VIDEO_POWER_MANAGEMENT record;
      if (!input || inputSize < static_cast<int>(sizeof record)) return -1;
      std::memcpy(&record, input, sizeof record);
      if (record.Length < sizeof record || record.PowerState < VideoPowerOn || record.PowerState > VideoPowerOff)
        return -1;
      Screen& s = screen();
      if (s.power != record.PowerState) {
        s.power = record.PowerState;
        s.dirty = Region(wm::screenRect());  // blank or show again at once
      }
      return 1;
    }
    case GETPOWERMANAGEMENT: {
      if (!output || outputSize < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) return -1;
      VIDEO_POWER_MANAGEMENT record{sizeof(VIDEO_POWER_MANAGEMENT), 1, screen().power};
      std::memcpy(output, &record, sizeof record);
      return 1;
    }
    default:
      return 0;
  }
}
