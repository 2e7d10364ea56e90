#pragma once
// The drawing interface's own objects, shared by the files of platform/gdi.

#include <memory>
#include <optional>

#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

namespace gdi {

class FontFace;

enum class ObjectKind { Brush, Pen, Bitmap, Font, Region, Palette };

struct GdiObject {
  explicit GdiObject(ObjectKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  ObjectKind kind;
  bool stock = false;
  int selectedCount = 0;  // device contexts that have it selected
};

struct BrushObject : GdiObject {
  BrushObject() : GdiObject(ObjectKind::Brush) {}
  COLORREF color = 0;
  bool hollow = false;
};

struct PenObject : GdiObject {
  PenObject() : GdiObject(ObjectKind::Pen) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct BitmapObject : GdiObject {
  BitmapObject() : GdiObject(ObjectKind::Bitmap) {}
  Surface surface;
};

struct FontObject : GdiObject {
  FontObject() : GdiObject(ObjectKind::Font) {}
  LOGFONTW logFont{};
  std::shared_ptr<FontFace> face;  // found on first use
};

struct RegionObject : GdiObject {
  RegionObject() : GdiObject(ObjectKind::Region) {}
  Region region;
};

struct PaletteObject : GdiObject {
  PaletteObject() : GdiObject(ObjectKind::Palette) {}
};

enum class DcKind { Memory, Window };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  HWND hwnd = nullptr;
  POINT origin{0, 0};                // surface position of logical (0, 0)
  std::optional<Region> systemClip;  // surface coordinates; window DCs only
  std::optional<Region> userClip;    // logical coordinates
  BitmapObject* bitmap = nullptr;    // memory DCs
  BrushObject* brush = nullptr;
  PenObject* pen = nullptr;
  FontObject* font = nullptr;
  PaletteObject* palette = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  POINT position{0, 0};
  bool screenWide = false;  // GetDC(NULL)

  // Effective clip in surface coordinates, recomputed when something changes.
  Region clip;
  bool clipValid = false;
};

GdiObject* object(HGDIOBJ handle);
template <class T>
T* objectAs(HGDIOBJ handle, ObjectKind kind) {
  GdiObject* o = object(handle);
  return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
BrushObject* brushOf(HBRUSH brush);  // also resolves system colour index + 1
DeviceContext* dcOf(HDC dc);
HDC newDc(std::unique_ptr<DeviceContext> dc);
void freeDc(HDC dc);
HGDIOBJ handleOf(GdiObject* o);
GdiObject* stockObject(int index);
BitmapObject* stockBitmap();

Surface* surfaceOf(DeviceContext& dc);
const Region& clipOf(DeviceContext& dc);
void invalidateClip(DeviceContext& dc);
bool isScreen(const Surface* s);
// Notes a drawn area (surface coordinates) for the screen's presentation.
void drewOn(const Surface* s, const RECT& r);

// Fills the part of `r` (surface coordinates) inside the clip with a pixel value.
void fillClipped(DeviceContext& dc, const RECT& r, std::uint32_t value);
std::uint32_t deviceValue(const Surface& s, COLORREF c);

}  // namespace gdi
