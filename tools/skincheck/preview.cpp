#include "tools/skincheck/preview.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/player.h"
#include "app/skinbinding.h"
#include "dom/characterdata.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/surface.h"
#include "render/skinview.h"
#include "render/svgelements.h"
#include "tools/skincheck/checkcontext.h"

namespace {

constexpr int kCaptionHeight = 16;
constexpr int kGap = 8;
constexpr int kColumns = 4;
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kOutline = RGB(255, 0, 200);
constexpr char16_t kHostClass[] = u"SkinCheckHost";

// One state of the skin: which faces show, where the thumbs are.
struct SkinState {
  std::u16string caption;
  bool movie = false;               // gray hidden, the movie's name shown
  bool playing = false;             // the pause face over the play face
  std::u16string pushed;            // the one pushed face shown
  std::optional<int> thumbPercent;  // both thumbs along their bars
};

std::vector<SkinState> statesOf(SVGDocument& document) {
  std::vector<SkinState> states = {
      {u"no movie", false, false, {}, 0}, {u"playing", true, true, {}, {}}, {u"paused", true, false, {}, {}}};
  for (const SkinBinding& binding : Player::skinBindings()) {
    std::u16string face = std::u16string(binding.id) + u"_pushed";
    if (document.getElementById(face)) states.push_back({face, true, false, face, {}});
  }
  if (document.getElementById(u"pause_pushed") && !document.getElementById(u"pause"))
    states.push_back({u"pause_pushed", true, true, u"pause_pushed", {}});
  for (int percent : {0, 50, 100})
    states.push_back({u"thumbs " + std::u16string(toWide(std::to_string(percent))) + u" %", true, false, {}, percent});
  return states;
}

// setAttribute, attributeChanged and the style pass, as the player changes an element.
void change(SVGDocument& document, std::u16string_view id, std::u16string_view name, std::u16string_view value) {
  auto* element = asSVGElement(document.getElementById(DomString(id)));
  if (!element) return;
  element->setAttribute(DomString(name), DomString(value));
  element->attributeChanged(DomString(name));
  WindowDC screen(nullptr);
  element->computeStyle(screen.get());
}

void placeThumb(SVGDocument& document, std::u16string_view barId, std::u16string_view thumbId, int percent) {
  auto* bar = asSVGElement(document.getElementById(DomString(barId)));
  auto* thumb = asSVGElement(document.getElementById(DomString(thumbId)));
  if (!bar || !thumb) return;
  int range =
      static_cast<int>(bar->boxRight() - bar->boxLeft()) - static_cast<int>(thumb->boxRight() - thumb->boxLeft());
  int x = static_cast<int>(bar->boxLeft()) + std::max(range, 0) * percent / 100;
  change(document, thumbId, u"x", toWide(std::to_string(x)));
}

void showMovieName(SVGDocument& document, bool shown) {
  auto* text = asSVGElement(document.getElementById(u"flashFileName"));
  if (!text || !text->firstChild() || text->firstChild()->nodeType() != Node::TEXT_NODE) return;
  static_cast<CharacterData*>(text->firstChild())->setData(shown ? u"movie" : u" ");
  text->updateTextMetrics();
}

void apply(SVGDocument& document, const SkinState& state) {
  change(document, u"gray", u"visibility", state.movie ? u"hidden" : u"visible");
  change(document, u"pause", u"visibility", state.playing ? u"visible" : u"hidden");
  for (const SkinBinding& binding : Player::skinBindings()) {
    std::u16string face = std::u16string(binding.id) + u"_pushed";
    change(document, face, u"visibility", face == state.pushed ? u"visible" : u"hidden");
  }
  change(document, u"pause_pushed", u"visibility", state.pushed == u"pause_pushed" ? u"visible" : u"hidden");
  if (state.thumbPercent) {
    placeThumb(document, u"seekBar", u"seekThumb", *state.thumbPercent);
    placeThumb(document, u"volumeBar", u"volumeThumb", *state.thumbPercent);
  }
  showMovieName(document, state.movie);
}

void drawCaption(HDC dc, int left, int top, int width, std::u16string_view text, COLORREF colour) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  RECT r{left, top, left + width, top + kCaptionHeight};
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, 0);
}

void outline(HDC dc, RECT r, COLORREF colour) {
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
  SelectedObject selected(dc, pen.get());
  POINT corners[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
  Polyline(dc, corners, 5);
}

// A picture in memory the panels are copied into, written as PNG.
class Canvas {
 public:
  Canvas(int width, int height) : m_dc(nullptr) {
    WindowDC screen(nullptr);
    m_bitmap.reset(CreateCompatibleBitmap(screen.get(), width, height));
    m_selected.emplace(m_dc.get(), m_bitmap.get());
    GdiObject<HBRUSH> white(CreateSolidBrush(kBackground));
    RECT all{0, 0, width, height};
    FillRect(m_dc.get(), &all, white.get());
  }
  HDC dc() const { return m_dc.get(); }
  bool write(const std::string& path) {
    const gdi::Surface* surface = gdi::bitmapSurface(m_bitmap.get());
    return surface && display::writePng(*surface, path);
  }

 private:
  MemoryDC m_dc;
  GdiObject<HBITMAP> m_bitmap;
  std::optional<SelectedObject> m_selected;
};

// The skin view in a host window of its own, as the player shows it.
class PreviewView {
 public:
  PreviewView(int width, int height) {
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = DefWindowProcW;
    hostClass.lpszClassName = kHostClass;
    RegisterClassW(&hostClass);
    m_host = CreateWindowExW(0, kHostClass, u"", WS_VISIBLE, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
    if (m_host) m_view = new SkinView(m_host, 0, 0, width, height, nullptr);
  }
  ~PreviewView() {
    if (m_host) DestroyWindow(m_host);  // frees the view with its window
  }
  PreviewView(const PreviewView&) = delete;
  PreviewView& operator=(const PreviewView&) = delete;

  SkinView* view() const { return m_view && m_view->window() ? m_view : nullptr; }
  // Paints what changed and copies the view's buffer to (left, top) of
  // `dc`, `scale` times larger.
  void copyTo(HDC dc, int left, int top, int width, int height, int scale = 1) {
    m_view->refresh(nullptr);
    wm::dispatchPending();
    StretchBlt(dc, left, top, width * scale, height * scale, m_view->bufferDc(), 0, 0, width, height, SRCCOPY);
  }

 private:
  HWND m_host = nullptr;
  SkinView* m_view = nullptr;  // owned by its window
};

constexpr int kLabelCharWidth = 7;  // wide enough for the screen's default face
constexpr int kLabelHeight = 14;

// Every agreed element's box, outlined and labelled, on the skin drawn
// `scale` times larger; a label that would cover another goes below it.
void drawIds(HDC dc, SVGDocument& document, int scale, int height) {
  std::vector<std::u16string> ids;
  for (const SkinBinding& binding : Player::skinBindings()) ids.emplace_back(binding.id);
  for (const char16_t* id : {u"flash", u"gray", u"flashFileName"}) ids.emplace_back(id);
  std::vector<RECT> labelled;
  for (const std::u16string& id : ids) {
    auto* e = asSVGElement(document.getElementById(id));
    if (!e) continue;
    RECT box{static_cast<int>(e->boxLeft()) * scale, static_cast<int>(e->boxTop()) * scale,
             static_cast<int>(e->boxRight()) * scale, static_cast<int>(e->boxBottom()) * scale};
    outline(dc, box, kOutline);
    RECT label{box.left + 2, box.top + 1, box.left + 2 + kLabelCharWidth * static_cast<int>(id.size()),
               box.top + 1 + kLabelHeight};
    auto meets = [&](const RECT& r) {
      return r.left < label.right && label.left < r.right && r.top < label.bottom && label.top < r.bottom;
    };
    // Down the box while there is room, else up from above it.
    int step = kLabelHeight;
    while (std::any_of(labelled.begin(), labelled.end(), meets)) {
      label.top += step;
      label.bottom += step;
      if (label.bottom > height && step > 0) {
        step = -kLabelHeight;
        label.top = box.top - kLabelHeight;
        label.bottom = box.top;
      }
    }
    labelled.push_back(label);
    drawCaption(dc, label.left, label.top, label.right - label.left + kLabelCharWidth, id, kOutline);
  }
}

}  // namespace

std::string idsPicturePath(const std::string& out) {
  std::size_t dot = out.rfind('.');
  std::size_t slash = out.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return out + "-ids.png";
  return out.substr(0, dot) + "-ids" + out.substr(dot);
}

bool writePreview(const Ref<SVGDocument>& document, const std::string& out, std::string& error) {
  SVGElement* root = document->rootElement();
  auto* svg = dynamic_cast<SVGRectangular*>(root);
  const int width = svg ? static_cast<int>(svg->width().value()) : 0;
  const int height = svg ? static_cast<int>(svg->height().value()) : 0;
  RECT screen = wm::workArea();
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    error = "no preview: the skin has no size to draw";
    return false;
  }
  PreviewView preview(std::max<int>(width, screen.right), std::max<int>(height, screen.bottom));
  if (!preview.view()) {
    error = "no preview: no skin view";
    return false;
  }
  preview.view()->show(document);
  std::vector<SkinState> states = statesOf(*document);
  const int columns = std::min<int>(kColumns, static_cast<int>(states.size()));
  const int rows = (static_cast<int>(states.size()) + columns - 1) / columns;
  const int panelWidth = width + kGap, panelHeight = height + kCaptionHeight + kGap;
  Canvas sheet(columns * panelWidth + kGap, rows * panelHeight + kGap);
  for (std::size_t i = 0; i < states.size(); ++i) {
    const int left = kGap + static_cast<int>(i) % columns * panelWidth;
    const int top = kGap + static_cast<int>(i) / columns * panelHeight;
    apply(*document, states[i]);
    drawCaption(sheet.dc(), left, top, width, states[i].caption, kInk);
    preview.copyTo(sheet.dc(), left, top + kCaptionHeight, width, height);
  }
  // Playing with the thumbs at their start: gray is out of the way.
  constexpr int kIdsScale = 2;
  Canvas ids(width * kIdsScale, height * kIdsScale);
  apply(*document, {u"ids", true, true, {}, 0});
  preview.copyTo(ids.dc(), 0, 0, width, height, kIdsScale);
  drawIds(ids.dc(), *document, kIdsScale, height * kIdsScale);
  if (!sheet.write(out) || !ids.write(idsPicturePath(out))) {
    error = "cannot write " + out;
    return false;
  }
  return true;
}
