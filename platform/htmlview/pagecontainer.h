#pragma once
// The engine's window on the device: litehtml lays a page out and asks this
// container for fonts, text widths and picture sizes, and draws through it
// onto a device context with the drawing interface (FreeType text, solid
// fills for backgrounds and borders, blits for pictures, clip rectangles).
// One container per viewer window; it owns the fonts it made.

#include <litehtml.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"

namespace htmlview {

// What the page knows of one picture source.
struct PagePicture {
  HBITMAP bitmap = nullptr;
  bool owned = false;  // deleted with the page
  SIZE size{};         // as answered; zero until then
  bool failed = false;
};

// The side of the viewer that talks to the parent about pictures and links.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // The page refers to `src`: the viewer asks its parent for it.
  virtual void pictureWanted(const std::string& src) = 0;
  // The picture for `src`, or null when it was never answered.
  virtual const PagePicture* picture(const std::string& src) const = 0;
  virtual void linkTapped(const std::string& href, const std::string& target) = 0;
};

class PageContainer final : public litehtml::document_container {
 public:
  explicit PageContainer(PageHost& host);
  ~PageContainer();
  PageContainer(const PageContainer&) = delete;
  PageContainer& operator=(const PageContainer&) = delete;

  // The page's size in the layout, used for the viewport and media queries.
  void setViewport(int width, int height) { m_viewport = {0, 0, width, height}; }
  // Before each drawing of the page: no clip rectangles left from the last.
  void beginDraw() {
    m_clips.clear();
    m_clipDc = nullptr;
  }
  // The title the page's <title> gave, "" when none.
  const std::string& caption() const { return m_caption; }

  // The placeholder's size for a picture nobody has answered yet.
  static constexpr int kPlaceholderSize = 20;

  litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight, litehtml::font_style italic,
                                 unsigned int decoration, litehtml::font_metrics* fm) override;
  void delete_font(litehtml::uint_ptr font) override;
  int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) override;
  void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr font,
                 litehtml::web_color color, const litehtml::position& pos) override;
  int pt_to_px(int pt) const override;
  int get_default_font_size() const override;
  const litehtml::tchar_t* get_default_font_name() const override;
  void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
  void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool redrawOnReady) override;
  void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, litehtml::size& sz) override;
  void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
  void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders, const litehtml::position& drawPos,
                    bool root) override;
  void set_caption(const litehtml::tchar_t* caption) override;
  void set_base_url(const litehtml::tchar_t*) override {}
  void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
  void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
  void set_cursor(const litehtml::tchar_t*) override {}
  void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
  void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}
  void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& radius, bool validX,
                bool validY) override;
  void del_clip() override;
  void get_client_rect(litehtml::position& client) const override;
  std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t* tagName,
                                                    const litehtml::string_map& attributes,
                                                    const std::shared_ptr<litehtml::document>& doc) override;
  void get_media_features(litehtml::media_features& media) const override;
  void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

 private:
  struct Font;
  // The DC to draw on, with the clip stack applied.
  HDC prepare(litehtml::uint_ptr hdc);
  void drawPicture(HDC dc, const PagePicture* picture, const litehtml::background_paint& bg);

  PageHost& m_host;
  MemoryDC m_measure;  // text is measured on it
  std::vector<std::unique_ptr<Font>> m_fonts;
  std::vector<litehtml::position> m_clips;
  HDC m_clipDc = nullptr;                   // the DC the clip stack was last applied to
  std::set<std::string> m_pictureElements;  // sources of <img> elements, framed until answered
  litehtml::position m_viewport;
  std::string m_caption;
};

}  // namespace htmlview
