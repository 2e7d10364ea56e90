#pragma once
// One "DISPLAYCLASS" window: the page source it was given, the laid-out
// document, the pictures its parent answered, the scroll position and the
// pen. The window owns it (through GWL_USERDATA) and deletes it when it goes.

#include <litehtml.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/gdiguards.h"
#include "platform/htmlview/htmlctrl.h"
#include "platform/htmlview/pagecontainer.h"

namespace htmlview {

class HtmlView final : public PageHost {
 public:
  explicit HtmlView(HWND window);
  ~HtmlView() override;
  HtmlView(const HtmlView&) = delete;
  HtmlView& operator=(const HtmlView&) = delete;

  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  // The most a page may hold; text beyond it is left out, so that a huge
  // source still shows its beginning without a long wait.
  static constexpr size_t kMaxSourceBytes = 512 * 1024;

  void pictureWanted(const std::string& src) override;
  const PagePicture* picture(const std::string& src) const override;
  void linkTapped(const std::string& href, const std::string& target) override;

 private:
  enum class PenMode { None, Page, Thumb, Bar };
  struct Link {
    std::u16string href, target;
  };

  void clear();
  void addText(bool plain, LPCWSTR text);
  void endOfSource();
  void setImage(const INLINEIMAGEINFO* info);
  void imageFailed(DWORD cookie);
  void scrollToAnchor(LPCWSTR name);
  void askForPictures();
  void layout();
  void pictureChanged();

  void paint();
  void drawScrollBar(HDC dc, const RECT& client);
  void ensureBuffer(HDC dc, int width, int height);

  int viewHeight() const;
  int maxScroll() const;
  void scrollTo(int y);
  void onScroll(WORD request, int position);
  void onKeyDown(WPARAM vk);
  void onPenDown(POINT p);
  void onPenMove(POINT p);
  void onPenUp(POINT p);
  RECT barRect() const;
  RECT thumbRect() const;
  void notify(UINT code, const std::u16string& target, const std::u16string& data, DWORD cookie);

  HWND m_window;
  std::string m_source;  // UTF-8, plain pieces already escaped
  std::unique_ptr<PageContainer> m_container;
  litehtml::document::ptr m_document;
  std::map<std::string, PagePicture> m_pictures;
  std::map<DWORD, std::string> m_cookies;  // open requests
  std::vector<DWORD> m_unasked;            // requests the parent has not been told of
  DWORD m_nextCookie = 1;
  bool m_asking = false;          // inside the NM_INLINE_IMAGE round
  bool m_relayoutWanted = false;  // a picture arrived during it
  int m_scroll = 0;
  bool m_scrollBar = false;
  std::optional<Link> m_tapped;

  PenMode m_pen = PenMode::None;
  POINT m_penDown{};
  int m_scrollAtDown = 0;
  bool m_panned = false;

  OffscreenBuffer m_buffer;

  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace htmlview
