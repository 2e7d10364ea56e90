#pragma once
// The child window in which a skin is shown. It owns the loaded skin document,
// keeps an off-screen copy of what it shows (in document coordinates, at most
// the size of the screen), repaints from that copy only the invalid area,
// turns pen input into DOM mouse events, and tells its owner when it is
// created and resized. The view frees itself when its window is destroyed.
//
// After changing an element the owner calls, in this order: setAttribute,
// attributeChanged, computeStyle (with a screen device context), refresh.

#include <climits>
#include <cstdint>
#include <string>

#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"
#include "render/eventqueue.h"
#include "render/svgdocument.h"
#include "xml/xmlparser.h"

class SkinView;

class ViewListener {
 public:
  virtual void viewCreated(SkinView* view) = 0;
  virtual void viewResized(SkinView* view, int width, int height) = 0;

 protected:
  ~ViewListener() = default;
};

inline constexpr char16_t kSkinViewClassName[] = u"SVGControl";

class SkinView {
 public:
  enum class PointerAction { Down, Up, Move };

  // Creates the child window (a negative width or height swaps its edges).
  // When the window cannot be made, window() is none and the caller deletes
  // the view; otherwise the window owns it.
  SkinView(HWND parent, int left, int top, int width, int height, ViewListener* listener);

  virtual void resize(int width, int height);
  virtual void paint(HDC dc, const PAINTSTRUCT& paintInfo);
  virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Loads a skin document (an ANSI device path): 0, or the loader's error
  // code with its message and line kept as the last load result.
  std::int32_t load(const char* path);
  // Shows a document built elsewhere: styles it against the view's buffer
  // and fits the window to it. None empties the view.
  void show(Ref<SVGDocument> document);
  void moveTo(int left, int top, int width, int height);
  // Repaints the whole window; called after changing an element.
  void refresh(SVGElement* element);
  // Paints the document into the whole buffer at once, showing nothing: for
  // a renderer to a file, which has no screen to look at.
  void paintBuffer();

  SVGDocument* document() const { return m_document.get(); }
  HWND window() const { return m_window; }
  const XmlLoadResult& lastLoadResult() const { return m_lastLoadResult; }
  RECT placement() const { return RECT{m_left, m_top, m_right, m_bottom}; }
  // The off-screen buffer's device context (none before WM_CREATE).
  HDC bufferDc() const { return m_buffer.dc(); }
  SIZE bufferSize() const { return m_buffer.size(); }
  EventQueue& eventQueue() { return m_eventQueue; }

  // Pointer input at a window point (Down and Up: button 1 left, 2 middle,
  // 3 right; Move: 1 while the left button is held, else 0).
  void handlePointer(PointerAction action, int button, bool ctrl, bool shift, bool alt, POINT windowPoint);

  // The procedure of the "SVGControl" window class.
  static LRESULT windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  virtual ~SkinView();

 private:
  void created();
  void repaint(const RECT& area);
  void fitToDocument();
  POINT scrollPosition() const;

  Ref<SVGDocument> m_document;
  HWND m_window = nullptr;
  HWND m_parent;
  LONG m_top, m_left, m_right, m_bottom;
  SIZE m_lastSize{0, 0};
  POINT m_lastMove{INT_MIN, INT_MIN};
  XmlLoadResult m_lastLoadResult;
  OffscreenBuffer m_buffer;
  EventQueue m_eventQueue;
  Ref<SVGElement> m_pressed;  // the target of the last mousedown
  ViewListener* m_listener;   // not owned
};
