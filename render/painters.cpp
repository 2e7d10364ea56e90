#include "render/painters.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/gdiguards.h"
#include "render/svgelements.h"

namespace {

LONG clampCoordinate(long long value) {
  return static_cast<LONG>(std::clamp<long long>(value, -kCoordinateLimit, kCoordinateLimit));
}

COLORREF colorRefOf(const SVGPaint& paint) { return static_cast<COLORREF>(paint.colour.toColorRef()); }

// Common checks: nothing before the first style pass, nothing when hidden
// ("collapse" draws like "visible").
const ComputedStyle* drawableStyle(const SVGElement& element) {
  const ComputedStyle* style = element.computedStyle();
  if (!style || style->visibility == ComputedStyle::kHidden) return nullptr;
  return style;
}

void fill(HDC dc, const RECT& rect, const ComputedStyle& style) {
  if (!(style.fillOpacity > 0) || style.fill.isNone()) return;
  GdiObject<HBRUSH> brush(CreateSolidBrush(colorRefOf(style.fill)));
  FillRect(dc, &rect, brush.get());
}

// The outline is a polyline round the rectangle. Its corners are pulled in to
// just outside the area, which leaves every pixel inside the area as it would
// be and keeps the line short whatever the rectangle's size.
void outline(HDC dc, const RECT& rect, const RECT& area, const ComputedStyle& style) {
  if (style.stroke.isNone()) return;
  int width = std::clamp(truncated(style.strokeWidth.value()), 0, kMaxPenWidth);
  LONG margin = width + 2;
  auto clampX = [&](LONG x) { return std::clamp(x, area.left - margin, area.right + margin); };
  auto clampY = [&](LONG y) { return std::clamp(y, area.top - margin, area.bottom + margin); };
  LONG left = clampX(rect.left), right = clampX(rect.right), top = clampY(rect.top), bottom = clampY(rect.bottom);
  POINT points[] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, width, colorRefOf(style.stroke)));
  SelectedObject selected(dc, pen.get());
  Polyline(dc, points, 5);
}

// Steps shared by `rect` and `image`; answers whether the element was drawn.
bool paintRectangle(HDC dc, const RECT& area, const SVGBoxedRectangular& element, RECT& rect) {
  rect = integerRect(element.x().value(), element.y().value(), element.width().value(), element.height().value());
  if (!touchesArea(rect, area)) return false;
  const ComputedStyle* style = drawableStyle(element);
  if (!style) return false;
  fill(dc, rect, *style);
  outline(dc, rect, area, *style);
  return true;
}

class SvgPainter final : public Painter {
 public:
  explicit SvgPainter(SVGSVGElement& element) : m_element(element) {}

  // Nested `svg` elements paint their own children in place; they are walked
  // with a stack of their own so that deep nesting cannot exhaust the thread's.
  void paint(HDC dc, const RECT& area) override {
    if (!touches(m_element, area)) return;
    std::vector<Node*> next{m_element.firstChild()};
    while (!next.empty()) {
      Node* node = next.back();
      if (!node) {
        next.pop_back();
        continue;
      }
      next.back() = node->nextSibling();
      SVGElement* child = asSVGElement(node);
      if (!child || !child->painter()) continue;
      if (child->typeCode() == SVGElement::kSvg) {
        if (touches(static_cast<SVGSVGElement&>(*child), area)) next.push_back(child->firstChild());
        continue;
      }
      child->painter()->paint(dc, area);
    }
  }

 private:
  static bool touches(const SVGSVGElement& svg, const RECT& area) {
    return touchesArea(integerRect(svg.x().value(), svg.y().value(), svg.width().value(), svg.height().value()), area);
  }

  SVGSVGElement& m_element;  // owns this painter
};

class RectPainter final : public Painter {
 public:
  explicit RectPainter(SVGRectElement& element) : m_element(element) {}
  void paint(HDC dc, const RECT& area) override {
    RECT rect;
    paintRectangle(dc, area, m_element, rect);
  }

 private:
  SVGRectElement& m_element;  // owns this painter
};

class CirclePainter final : public Painter {
 public:
  void paint(HDC, const RECT&) override {}
};

class ImagePainter final : public Painter {
 public:
  explicit ImagePainter(SVGImageElement& element) : m_element(element) {}

  void paint(HDC dc, const RECT& area) override {
    RECT rect;
    if (!paintRectangle(dc, area, m_element, rect)) return;
    const RichBitmap* picture = m_element.picture();
    if (!picture || !picture->Ok()) return;
    MemoryDC memory(dc);
    const RichBitmap* mask = m_element.mask();
    if (mask && mask->Ok()) {
      // XOR the picture in, AND the mask (white where transparent), XOR it
      // again: what was beneath shows wherever the mask is white.
      copy(dc, memory.get(), rect, *picture, SRCINVERT);
      copy(dc, memory.get(), rect, *mask, SRCAND);
      copy(dc, memory.get(), rect, *picture, SRCINVERT);
    } else {
      copy(dc, memory.get(), rect, *picture, SRCCOPY);
    }
  }

 private:
  static void copy(HDC dc, HDC memory, const RECT& rect, const RichBitmap& bitmap, DWORD rop) {
    SelectedObject selected(memory, bitmap.GetImpl());
    StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory, 0, 0, bitmap.GetWidth(),
               bitmap.GetHeight(), rop);
  }

  SVGImageElement& m_element;  // owns this painter
};

class TextPainter final : public Painter {
 public:
  explicit TextPainter(SVGTextElement& element) : m_element(element) {}

  void paint(HDC dc, const RECT& area) override {
    const TextMetrics& metrics = m_element.metrics();
    LONG x0 = truncated(m_element.x().first());
    LONG top = clampCoordinate(static_cast<long long>(truncated(m_element.y().first())) - truncated(metrics.ascent));
    LONG width = truncated(metrics.width);
    LONG height = truncated(metrics.height);
    RECT rect{x0, top, clampCoordinate(static_cast<long long>(x0) + width),
              clampCoordinate(static_cast<long long>(top) + height)};
    if (!touchesArea(rect, area)) return;
    const ComputedStyle* style = drawableStyle(m_element);
    if (!style || !(style->fillOpacity > 0) || style->fill.isNone()) return;

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorRefOf(style->fill));
    int maxWidth = truncated(m_element.maxWidth().value());
    LONG shown = maxWidth > 0 && maxWidth < width ? maxWidth : width;
    // One pixel more than the text box each way, as the device draws it.
    RECT output{x0, top, clampCoordinate(static_cast<long long>(x0) + shown + 1),
                clampCoordinate(static_cast<long long>(top) + height + 1)};
    DomString text = m_element.text();
    SelectedObject font(dc, style->font.platformFont ? style->font.platformFont->handle() : nullptr);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &output, 0);
  }

 private:
  SVGTextElement& m_element;  // owns this painter
};

}  // namespace

namespace {

double truncatedDouble(float value) { return std::isnan(value) ? 0.0 : std::trunc(static_cast<double>(value)); }

LONG clampedEdge(double value) {
  return static_cast<LONG>(std::clamp<double>(value, -kCoordinateLimit, kCoordinateLimit));
}

}  // namespace

int truncated(float value) { return clampedEdge(truncatedDouble(value)); }

// The sums are taken before the edges are held in range, so that a far-off
// corner with an enormous size still covers what it covers on the screen.
RECT integerRect(float x, float y, float width, float height) {
  double left = truncatedDouble(x), top = truncatedDouble(y);
  return RECT{clampedEdge(left), clampedEdge(top), clampedEdge(left + truncatedDouble(width)),
              clampedEdge(top + truncatedDouble(height))};
}

bool touchesArea(const RECT& rect, const RECT& area) {
  return !(std::max(rect.left, rect.right) < area.left || area.right < std::min(rect.left, rect.right) ||
           std::max(rect.top, rect.bottom) < area.top || area.bottom < std::min(rect.top, rect.bottom));
}

std::unique_ptr<Painter> makeSvgPainter(SVGSVGElement& element) { return std::make_unique<SvgPainter>(element); }
std::unique_ptr<Painter> makeRectPainter(SVGRectElement& element) { return std::make_unique<RectPainter>(element); }
std::unique_ptr<Painter> makeCirclePainter() { return std::make_unique<CirclePainter>(); }
std::unique_ptr<Painter> makeImagePainter(SVGImageElement& element) { return std::make_unique<ImagePainter>(element); }
std::unique_ptr<Painter> makeTextPainter(SVGTextElement& element) { return std::make_unique<TextPainter>(element); }
