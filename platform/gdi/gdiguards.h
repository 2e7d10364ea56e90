#pragma once
// Guards for drawing state: each puts back or frees what it took when it goes
// out of scope, so no painting path selects, deletes or releases by hand.
// Header-only, so that in-process servers use them without linking the device.

#include <utility>

#include "platform/core/winuser.h"
#include "platform/gdi/wingdi.h"

// Selects an object into a DC and puts the old one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (m_old) SelectObject(m_dc, m_old);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

// Puts a DC's font, brush and pen back, whatever was selected in between.
class SavedObjects {
 public:
  explicit SavedObjects(HDC dc)
      : m_dc(dc),
        m_font(GetCurrentObject(dc, OBJ_FONT)),
        m_brush(GetCurrentObject(dc, OBJ_BRUSH)),
        m_pen(GetCurrentObject(dc, OBJ_PEN)) {}
  ~SavedObjects() {
    if (m_font) SelectObject(m_dc, m_font);
    if (m_pen) SelectObject(m_dc, m_pen);
    if (m_brush) SelectObject(m_dc, m_brush);
  }
  SavedObjects(const SavedObjects&) = delete;
  SavedObjects& operator=(const SavedObjects&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_font, m_brush, m_pen;
};

// An object the holder created and deletes: a brush, pen, font, bitmap or
// palette. Moves; never copies.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : m_handle(handle) {}
  ~GdiObject() { reset(); }
  GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) reset(std::exchange(other.m_handle, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  Handle release() { return std::exchange(m_handle, nullptr); }
  void reset(Handle handle = nullptr) {
    if (m_handle) DeleteObject(m_handle);
    m_handle = handle;
  }

 private:
  Handle m_handle = nullptr;
};

// A window's DC (the screen's for a null window), released when done.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
  ~WindowDC() {
    if (m_dc) ReleaseDC(m_window, m_dc);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

// A memory DC compatible with another, deleted when done.
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatible) : m_dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDC() {
    if (m_dc) DeleteDC(m_dc);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const { return m_dc; }

 private:
  HDC m_dc;
};

// A memory DC drawing into a bitmap of its own, for windows that paint off
// screen and copy out. The DC's first bitmap goes back before either goes.
class OffscreenBuffer {
 public:
  OffscreenBuffer() = default;
  ~OffscreenBuffer() {
    if (m_bitmap) {
      SelectObject(m_dc, m_original);
      DeleteObject(m_bitmap);
    }
    if (m_dc) DeleteDC(m_dc);
  }
  OffscreenBuffer(const OffscreenBuffer&) = delete;
  OffscreenBuffer& operator=(const OffscreenBuffer&) = delete;

  // Makes the DC, compatible with `dc`, once; it exists before any bitmap.
  bool open(HDC dc) {
    if (!m_dc) m_dc = CreateCompatibleDC(dc);
    return m_dc != nullptr;
  }
  // A bitmap of `size` compatible with `dc` replaces the one drawn into;
  // false, with the old one kept, when it cannot be made.
  bool resize(HDC dc, SIZE size) {
    HBITMAP bitmap = open(dc) ? CreateCompatibleBitmap(dc, size.cx, size.cy) : nullptr;
    if (!bitmap) return false;
    HGDIOBJ replaced = SelectObject(m_dc, bitmap);
    if (m_bitmap)
      DeleteObject(m_bitmap);
    else
      m_original = replaced;
    m_bitmap = bitmap;
    m_size = size;
    return true;
  }
  HDC dc() const { return m_dc; }
  SIZE size() const { return m_size; }  // 0 x 0 until a bitmap is made

 private:
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_original = nullptr;
  SIZE m_size{0, 0};
};

// BeginPaint to EndPaint: the window's invalid area, validated when done.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_info)) {}
  ~PaintScope() { EndPaint(m_window, &m_info); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return m_dc; }
  const PAINTSTRUCT& info() const { return m_info; }
  const RECT& area() const { return m_info.rcPaint; }

 private:
  HWND m_window;
  PAINTSTRUCT m_info{};
  HDC m_dc;
};
