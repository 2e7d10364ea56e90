#pragma once
// A full-screen modal page of HTML shown by the device's HTML viewer: the
// properties page. A tapped link ends the dialog and is kept for the caller;
// pictures the page names are answered from the images added before run.

#include <utility>
#include <vector>

#include "base/widestring.h"
#include "platform/core/winuser.h"
#include "platform/gdi/wingdi.h"

struct NM_HTMLVIEW;

inline constexpr UINT kShowPageMessage = WM_USER + 1000;  // 2024: the viewer comes after the dialog is up
inline constexpr char16_t kBrowserFailedText[] = u"Unable to Launch Browser";
inline constexpr char16_t kBrowserFailedCaption[] = u"Browser Control Problem:";
inline constexpr int kInlineImageSize = 32;

class HtmlPageDialog {
 public:
  HtmlPageDialog(HINSTANCE instance, HWND parent, WideString page, WideString title)
      : m_instance(instance), m_parent(parent), m_page(std::move(page)), m_title(std::move(title)) {}
  // A picture the page names by `name` (its src); the bitmap stays the
  // caller's.
  void addImage(WideString name, HBITMAP bitmap) { m_images.emplace_back(std::move(name), bitmap); }
  // Shows template 106 modally; 1 when closed with Done or by a link.
  INT_PTR run();

  const WideString& linkTarget() const { return m_linkTarget; }
  const WideString& linkData() const { return m_linkData; }
  HWND viewer() const { return m_viewer; }

 private:
  static BOOL procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void initialise(HWND dialog);
  void showPage();
  void notified(const NM_HTMLVIEW& note);
  void answerImage(const NM_HTMLVIEW& note);

  HINSTANCE m_instance;
  HWND m_parent;
  WideString m_page, m_title;
  HWND m_dialog = nullptr;
  HWND m_viewer = nullptr;
  WideString m_linkTarget, m_linkData;
  std::vector<std::pair<WideString, HBITMAP>> m_images;  // src and bitmap, not owned
};
