#include "render/svgelements.h"

#include "dom/characterdata.h"
#include "platform/gdi/gdiguards.h"
#include "render/painters.h"

namespace {

using Geometry = SVGElement::Geometry;

// Geometry attributes of one class: a name and the field it sets.
struct LengthAttribute {
  Geometry name;
  SVGAnimatedLength* field;
};

bool readLengths(std::initializer_list<LengthAttribute> attributes, Geometry name, const DomString& text) {
  for (const LengthAttribute& attribute : attributes) {
    if (attribute.name != name) continue;
    attribute.field->setFromText(text);
    return true;
  }
  return false;
}

// Inside [low - grow, high + grow], edges included.
bool within(float value, float low, float high, float grow) { return low - grow <= value && value <= high + grow; }

float square(float value) { return value * value; }

}  // namespace

// ---- Rectangles: svg, rect, image ----------------------------------------------

bool SVGRectangular::readGeometry(Geometry name, const DomString& text) {
  return readLengths(
      {{Geometry::kX, &m_x}, {Geometry::kY, &m_y}, {Geometry::kWidth, &m_width}, {Geometry::kHeight, &m_height}}, name,
      text);
}

bool SVGRectangular::hitTest(float px, float py) const {
  float grow = strokeWidth() / 2;
  float left = m_x.value(), top = m_y.value();
  return within(px, left, left + m_width.value(), grow) && within(py, top, top + m_height.value(), grow);
}

SVGSVGElement::SVGSVGElement(Document* ownerDocument, const PooledName* name)
    : SVGRectangular(ownerDocument, name, kSvg) {
  setPainter(makeSvgPainter(*this));
}

SVGRectElement::SVGRectElement(Document* ownerDocument, const PooledName* name)
    : SVGBoxedRectangular(ownerDocument, name, kRect) {
  setPainter(makeRectPainter(*this));
}

bool SVGRectElement::readGeometry(Geometry name, const DomString& text) {
  return SVGRectangular::readGeometry(name, text) ||
         readLengths({{Geometry::kRx, &m_rx}, {Geometry::kRy, &m_ry}}, name, text);
}

// ---- Circles and ellipses --------------------------------------------------------

SVGCircleElement::SVGCircleElement(Document* ownerDocument, const PooledName* name)
    : SVGElement(ownerDocument, name, kCircle) {
  setPainter(makeCirclePainter());
}

bool SVGCircleElement::readGeometry(Geometry name, const DomString& text) {
  return readLengths({{Geometry::kCx, &m_cx}, {Geometry::kCy, &m_cy}, {Geometry::kR, &m_r}}, name, text);
}

bool SVGCircleElement::hitTest(float px, float py) const {
  return square(px - m_cx.value()) + square(py - m_cy.value()) <= square(m_r.value() + strokeWidth() / 2);
}

bool SVGEllipseElement::readGeometry(Geometry name, const DomString& text) {
  return readLengths({{Geometry::kCx, &m_cx}, {Geometry::kCy, &m_cy}, {Geometry::kRx, &m_rx}, {Geometry::kRy, &m_ry}},
                     name, text);
}

bool SVGEllipseElement::hitTest(float px, float py) const {
  float grow = strokeWidth() / 2;
  return square(px - m_cx.value()) / square(m_rx.value() + grow) +
             square(py - m_cy.value()) / square(m_ry.value() + grow) <=
         1;
}

// ---- Lines and point lists ----------------------------------------------------------

bool SVGLineElement::readGeometry(Geometry name, const DomString& text) {
  return readLengths({{Geometry::kX1, &m_x1}, {Geometry::kY1, &m_y1}, {Geometry::kX2, &m_x2}, {Geometry::kY2, &m_y2}},
                     name, text);
}

bool SVGPointsElement::readGeometry(Geometry name, const DomString& text) {
  if (name != Geometry::kPoints) return false;
  m_points.setFromText(text);
  return true;
}

// ---- Images ---------------------------------------------------------------------------

SVGImageElement::SVGImageElement(Document* ownerDocument, const PooledName* name)
    : SVGBoxedRectangular(ownerDocument, name, kImage) {
  setPainter(makeImagePainter(*this));
}

SVGImageElement::~SVGImageElement() = default;

bool SVGImageElement::readGeometry(Geometry name, const DomString& text) {
  if (SVGRectangular::readGeometry(name, text)) return true;
  if (name != Geometry::kHref) return false;
  m_href = text;
  loadPicture();
  return true;
}

void SVGImageElement::loadPicture() {
  if (m_href.empty()) return;  // an emptied reference keeps the picture shown
  m_picture.reset();
  m_mask.reset();
  // Decoded here, never while painting: a face first shown when the pen goes
  // down must not wait for its decoding.
  std::optional<std::vector<BYTE>> bytes = readPicture(*this, m_href);
  if (!bytes) return;
  DecodedPicture decoded = decodePicture(*bytes);
  m_picture = std::move(decoded.picture);
  m_mask = std::move(decoded.mask);
}

// ---- Text -------------------------------------------------------------------------------

SVGTextElement::SVGTextElement(Document* ownerDocument, const PooledName* name)
    : SVGElement(ownerDocument, name, kText) {
  setPainter(makeTextPainter(*this));
}

bool SVGTextElement::readGeometry(Geometry name, const DomString& text) {
  struct ListAttribute {
    Geometry name;
    SVGLengthList* field;
  };
  for (const ListAttribute& list :
       {ListAttribute{Geometry::kX, &m_x}, {Geometry::kY, &m_y}, {Geometry::kDx, &m_dx}, {Geometry::kDy, &m_dy}}) {
    if (name != list.name) continue;
    list.field->setFromText(text);
    return true;
  }
  if (readLengths({{Geometry::kTextLength, &m_textLength}, {Geometry::kMaxWidth, &m_maxWidth}}, name, text))
    return true;
  return name == Geometry::kRotate;  // accepted and ignored
}

DomString SVGTextElement::text() const {
  DomString text;
  for (Node* child = firstChild(); child && child->nodeType() == Node::TEXT_NODE; child = child->nextSibling())
    text += static_cast<CharacterData*>(child)->data();
  return text;
}

void SVGTextElement::measure(HDC dc) {
  const ComputedStyle* style = computedStyle();
  if (!style || !dc) return;
  SelectedObject font(dc, style->font.platformFont ? style->font.platformFont->handle() : nullptr);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  DomString body = text();
  SIZE extent{0, 0};
  GetTextExtentPoint32W(dc, body.c_str(), static_cast<int>(body.size()), &extent);
  m_metrics =
      TextMetrics{static_cast<float>(extent.cx), static_cast<float>(extent.cy), static_cast<float>(tm.tmAscent)};
}

void SVGTextElement::updateTextMetrics() {
  if (!computedStyle()) return;
  WindowDC screen(nullptr);
  measure(screen.get());
}

bool SVGTextElement::hitTest(float px, float py) const {
  float grow = strokeWidth() / 2;
  float left = m_x.first();
  float top = m_y.first() - m_metrics.ascent;
  return within(px, left, left + m_metrics.width, grow) && within(py, top, top + m_metrics.height, grow);
}
