#include "platform/htmlview/pagecontainer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "platform/core/utf8.h"
#include "platform/gdi/solidpaint.h"
#include "platform/htmlview/masterstyle.h"
#include "platform/htmlview/pageelements.h"

namespace htmlview {

namespace {

constexpr int kDotsPerInch = 96;
constexpr int kPointsPerInch = 72;
constexpr COLORREF kPlaceholderFrame = RGB(0x80, 0x80, 0x80);

COLORREF colorRef(const litehtml::web_color& c) { return RGB(c.red, c.green, c.blue); }

void fill(HDC dc, int x, int y, int width, int height, COLORREF color) {
  if (width <= 0 || height <= 0) return;
  fillSolid(dc, RECT{x, y, x + width, y + height}, color);
}

void frame(HDC dc, const RECT& r, COLORREF color) {
  int w = r.right - r.left, h = r.bottom - r.top;
  fill(dc, r.left, r.top, w, 1, color);
  fill(dc, r.left, r.bottom - 1, w, 1, color);
  fill(dc, r.left, r.top, 1, h, color);
  fill(dc, r.right - 1, r.top, 1, h, color);
}

// The generic families the device's fonts stand in for.
struct FamilyAlias {
  std::string_view generic;
  const char16_t* face;
};
constexpr FamilyAlias kFamilyAliases[] = {
    {"serif", u"Times New Roman"}, {"sans-serif", u"Tahoma"}, {"monospace", u"Courier New"},
    {"cursive", u"Tahoma"},        {"fantasy", u"Tahoma"},
};

// The first family of a CSS font-family list, without quotes.
std::u16string firstFamily(std::string_view list) {
  std::string_view first = list.substr(0, list.find(','));
  while (!first.empty() && (first.front() == ' ' || first.front() == '"' || first.front() == '\''))
    first.remove_prefix(1);
  while (!first.empty() && (first.back() == ' ' || first.back() == '"' || first.back() == '\'')) first.remove_suffix(1);
  for (const auto& alias : kFamilyAliases)
    if (first.size() == alias.generic.size() &&
        std::equal(first.begin(), first.end(), alias.generic.begin(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
      return alias.face;
  if (first.empty()) return fromUtf8(kDefaultFontFace);
  return fromUtf8(first);
}

// Markers of ordered lists: the item's number in the list's style.
std::u16string markerText(litehtml::list_style_type type, int index) {
  auto letters = [](int n, char16_t base) {
    std::u16string text;
    for (; n > 0; n = (n - 1) / 26) text.insert(text.begin(), static_cast<char16_t>(base + (n - 1) % 26));
    return text;
  };
  switch (type) {
    case litehtml::list_style_type_lower_alpha:
    case litehtml::list_style_type_lower_latin:
      return letters(std::max(index, 1), u'a') + u".";
    case litehtml::list_style_type_upper_alpha:
    case litehtml::list_style_type_upper_latin:
      return letters(std::max(index, 1), u'A') + u".";
    default:
      return fromUtf8(std::to_string(index)) + u".";
  }
}

void disc(HDC dc, const litehtml::position& box, COLORREF color, bool hollow) {
  int r = std::max(1, std::min(box.width, box.height) / 2);
  int cx = box.x + box.width / 2, cy = box.y + box.height / 2;
  for (int dy = -r; dy < r; ++dy) {
    double y = dy + 0.5;
    int half = static_cast<int>(std::lround(std::sqrt(std::max(0.0, r * r - y * y))));
    if (!hollow || dy == -r || dy == r - 1) {
      fill(dc, cx - half, cy + dy, 2 * half, 1, color);
    } else {
      fill(dc, cx - half, cy + dy, 1, 1, color);
      fill(dc, cx + half - 1, cy + dy, 1, 1, color);
    }
  }
}

COLORREF shade(COLORREF c, double factor) {
  auto part = [factor](int v) {
    double s = factor < 1 ? v * factor : v + (255 - v) * (factor - 1);
    return static_cast<BYTE>(std::clamp(static_cast<int>(std::lround(s)), 0, 255));
  };
  return RGB(part(GetRValue(c)), part(GetGValue(c)), part(GetBValue(c)));
}

bool drawn(const litehtml::border& b) {
  return b.width > 0 && b.style != litehtml::border_style_none && b.style != litehtml::border_style_hidden &&
         b.color.alpha > 0;
}

// Inset and outset sides are shaded as the device's 3-D frames are: light
// from the top left.
COLORREF sideColor(const litehtml::border& b, bool topOrLeft) {
  COLORREF c = colorRef(b.color);
  switch (b.style) {
    case litehtml::border_style_inset:
    case litehtml::border_style_groove:
      return topOrLeft ? shade(c, 0.5) : shade(c, 1.75);
    case litehtml::border_style_outset:
    case litehtml::border_style_ridge:
      return topOrLeft ? shade(c, 1.75) : shade(c, 0.5);
    default:
      return c;
  }
}

}  // namespace

struct PageContainer::Font {
  GdiObject<HFONT> font;
  int ascent = 0;
  int descent = 0;
  bool underline = false;
  bool strikeOut = false;
};

PageContainer::PageContainer(PageHost& host) : m_host(host), m_measure(nullptr) {}

PageContainer::~PageContainer() = default;

litehtml::uint_ptr PageContainer::create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                              litehtml::font_style italic, unsigned int decoration,
                                              litehtml::font_metrics* fm) {
  LOGFONTW lf{};
  lf.lfHeight = -std::clamp(size, 1, 512);
  lf.lfWeight = std::clamp(weight, 100, 900);
  lf.lfItalic = italic == litehtml::fontStyleItalic ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::u16string face = firstFamily(faceName ? faceName : "");
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::copy(face.begin(), face.end(), lf.lfFaceName);

  auto font = std::make_unique<Font>();
  font->font.reset(CreateFontIndirectW(&lf));
  font->underline = decoration & litehtml::font_decoration_underline;
  font->strikeOut = decoration & litehtml::font_decoration_linethrough;
  TEXTMETRICW tm{};
  {
    SelectedObject selected(m_measure.get(), font->font.get());
    GetTextMetricsW(m_measure.get(), &tm);
  }
  font->ascent = tm.tmAscent;
  font->descent = tm.tmDescent;
  if (fm) {
    fm->ascent = tm.tmAscent;
    fm->descent = tm.tmDescent;
    fm->height = tm.tmAscent + tm.tmDescent;
    fm->x_height = std::max<int>(1, tm.tmAscent * 11 / 20);
    fm->draw_spaces = font->underline || font->strikeOut;
  }
  m_fonts.push_back(std::move(font));
  return reinterpret_cast<litehtml::uint_ptr>(m_fonts.back().get());
}

void PageContainer::delete_font(litehtml::uint_ptr font) {
  auto* f = reinterpret_cast<Font*>(font);
  std::erase_if(m_fonts, [f](const auto& held) { return held.get() == f; });
}

int PageContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) {
  auto* f = reinterpret_cast<Font*>(font);
  if (!f || !text || !*text) return 0;
  std::u16string wide = fromUtf8(text);
  SelectedObject selected(m_measure.get(), f->font.get());
  SIZE size{};
  GetTextExtentPoint32W(m_measure.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

void PageContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr font,
                              litehtml::web_color color, const litehtml::position& pos) {
  auto* f = reinterpret_cast<Font*>(font);
  if (!f || !text || color.alpha == 0) return;
  HDC dc = prepare(hdc);
  std::u16string wide = fromUtf8(text);
  SelectedObject selected(dc, f->font.get());
  SetTextColor(dc, colorRef(color));
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutW(dc, pos.x, pos.y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
  int baseline = pos.y + f->ascent;
  if (f->underline) fill(dc, pos.x, baseline + 1, pos.width, 1, colorRef(color));
  if (f->strikeOut) fill(dc, pos.x, baseline - f->ascent * 3 / 10, pos.width, 1, colorRef(color));
}

int PageContainer::pt_to_px(int pt) const { return pt * kDotsPerInch / kPointsPerInch; }
int PageContainer::get_default_font_size() const { return kDefaultFontSize; }
const litehtml::tchar_t* PageContainer::get_default_font_name() const { return kDefaultFontFace; }

void PageContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
  HDC dc = prepare(hdc);
  COLORREF color = colorRef(marker.color);
  switch (marker.marker_type) {
    case litehtml::list_style_type_none:
      return;
    case litehtml::list_style_type_disc:
      return disc(dc, marker.pos, color, false);
    case litehtml::list_style_type_circle:
      return disc(dc, marker.pos, color, true);
    case litehtml::list_style_type_square:
      return fill(dc, marker.pos.x, marker.pos.y, marker.pos.width, marker.pos.height, color);
    default:
      break;
  }
  auto* f = reinterpret_cast<Font*>(marker.font);
  if (!f) return disc(dc, marker.pos, color, false);
  std::u16string text = markerText(marker.marker_type, marker.index);
  SelectedObject selected(dc, f->font.get());
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  // Numbers end just before the item's text, whatever their width.
  int x = marker.pos.x + marker.pos.width - size.cx;
  int y = marker.pos.y + marker.pos.height - f->ascent;
  ExtTextOutW(dc, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void PageContainer::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) {
  if (src && *src) m_host.pictureWanted(src);
}

void PageContainer::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*, litehtml::size& sz) {
  const PagePicture* picture = src ? m_host.picture(src) : nullptr;
  if (picture && picture->size.cx > 0 && picture->size.cy > 0) {
    sz.width = picture->size.cx;
    sz.height = picture->size.cy;
    return;
  }
  sz.width = sz.height = kPlaceholderSize;
}

void PageContainer::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) {
  HDC dc = prepare(hdc);
  if (bg.image.empty()) {
    if (bg.color.alpha > 0)
      fill(dc, bg.clip_box.x, bg.clip_box.y, bg.clip_box.width, bg.clip_box.height, colorRef(bg.color));
    return;
  }
  drawPicture(dc, m_host.picture(bg.image), bg);
}

void PageContainer::drawPicture(HDC dc, const PagePicture* picture, const litehtml::background_paint& bg) {
  set_clip(bg.clip_box, {}, true, true);
  prepare(reinterpret_cast<litehtml::uint_ptr>(dc));
  if (picture && picture->bitmap) {
    BITMAP info{};
    GetObjectW(picture->bitmap, sizeof info, &info);
    MemoryDC source(dc);
    SelectedObject selected(source.get(), picture->bitmap);
    StretchBlt(dc, bg.position_x, bg.position_y, bg.image_size.width, bg.image_size.height, source.get(), 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
  } else if (m_pictureElements.count(bg.image)) {
    // A picture still on its way (or refused) keeps its place as an empty frame.
    const auto& box = bg.clip_box;
    frame(dc, RECT{box.x, box.y, box.x + box.width, box.y + box.height}, kPlaceholderFrame);
  }
  del_clip();
}

void PageContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& b, const litehtml::position& at,
                                 bool) {
  HDC dc = prepare(hdc);
  if (drawn(b.top)) fill(dc, at.x, at.y, at.width, b.top.width, sideColor(b.top, true));
  if (drawn(b.bottom))
    fill(dc, at.x, at.bottom() - b.bottom.width, at.width, b.bottom.width, sideColor(b.bottom, false));
  if (drawn(b.left)) fill(dc, at.x, at.y, b.left.width, at.height, sideColor(b.left, true));
  if (drawn(b.right)) fill(dc, at.right() - b.right.width, at.y, b.right.width, at.height, sideColor(b.right, false));
}

void PageContainer::set_caption(const litehtml::tchar_t* caption) { m_caption = caption ? caption : ""; }

void PageContainer::on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) {
  const char* target = el ? el->get_attr("target", "") : "";
  m_host.linkTapped(url ? url : "", target ? target : "");
}

void PageContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
  std::u16string wide = fromUtf8(text);
  if (tt == litehtml::text_transform_capitalize && !wide.empty()) {
    if (wide[0] < 0x80) wide[0] = static_cast<char16_t>(std::toupper(wide[0]));
  } else if (tt == litehtml::text_transform_uppercase || tt == litehtml::text_transform_lowercase) {
    for (char16_t& c : wide)
      if (c < 0x80)
        c = static_cast<char16_t>(tt == litehtml::text_transform_uppercase ? std::toupper(c) : std::tolower(c));
  }
  text = toUtf8(wide);
}

void PageContainer::set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) {
  m_clips.push_back(pos);
  m_clipDc = nullptr;
}

void PageContainer::del_clip() {
  if (!m_clips.empty()) m_clips.pop_back();
  m_clipDc = nullptr;
}

HDC PageContainer::prepare(litehtml::uint_ptr hdc) {
  HDC dc = reinterpret_cast<HDC>(hdc);
  if (dc == m_clipDc) return dc;
  SelectClipRgn(dc, nullptr);
  for (const auto& c : m_clips) IntersectClipRect(dc, c.x, c.y, c.right(), c.bottom());
  m_clipDc = dc;
  return dc;
}

void PageContainer::get_client_rect(litehtml::position& client) const { client = m_viewport; }

std::shared_ptr<litehtml::element> PageContainer::create_element(const litehtml::tchar_t* tagName,
                                                                 const litehtml::string_map& attributes,
                                                                 const std::shared_ptr<litehtml::document>& doc) {
  return createPageElement(tagName ? tagName : "", attributes, doc, m_pictureElements);
}

void PageContainer::get_media_features(litehtml::media_features& media) const {
  media.type = litehtml::media_type_handheld;
  media.width = media.device_width = m_viewport.width;
  media.height = media.device_height = m_viewport.height;
  media.color = 8;
  media.monochrome = 0;
  media.color_index = 256;
  media.resolution = kDotsPerInch;
}

void PageContainer::get_language(litehtml::tstring& language, litehtml::tstring& culture) const {
  language = "en";
  culture.clear();
}

}  // namespace htmlview
