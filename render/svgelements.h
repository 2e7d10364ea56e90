#pragma once
// The ten element classes of a skin document. Only `svg`, `rect`, `circle`,
// `image` and `text` have painters (the circle's draws nothing); `g`,
// `ellipse`, `line`, `polygon` and `polyline` are never drawn, and neither
// are the children of a `g`.

#include <memory>

#include "platform/image/richimage.h"
#include "render/svgelement.h"
#include "render/svglength.h"

// An element with an "x", "y", "width", "height" rectangle.
class SVGRectangular : public SVGElement {
 public:
  const SVGAnimatedLength& x() const { return m_x; }
  const SVGAnimatedLength& y() const { return m_y; }
  const SVGAnimatedLength& width() const { return m_width; }
  const SVGAnimatedLength& height() const { return m_height; }
  bool hitTest(float px, float py) const override;

 protected:
  using SVGElement::SVGElement;
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGAnimatedLength m_x, m_y, m_width, m_height;
};

// A rectangle whose boxes are its geometry (rect, image).
class SVGBoxedRectangular : public SVGRectangular {
 public:
  float boxLeft() const override { return x().value(); }
  float boxTop() const override { return y().value(); }
  float boxRight() const override { return x().value() + width().value(); }
  float boxBottom() const override { return y().value() + height().value(); }
  float strokeBoxLeft() const override { return boxLeft() - strokeWidth() / 2; }
  float strokeBoxTop() const override { return boxTop() - strokeWidth() / 2; }
  float strokeBoxRight() const override { return boxRight() + strokeWidth() / 2; }
  float strokeBoxBottom() const override { return boxBottom() + strokeWidth() / 2; }

 protected:
  using SVGRectangular::SVGRectangular;
};

class SVGSVGElement final : public SVGRectangular {
 public:
  SVGSVGElement(Document* ownerDocument, const PooledName* name);
};

class SVGGElement final : public SVGElement {
 public:
  SVGGElement(Document* ownerDocument, const PooledName* name) : SVGElement(ownerDocument, name, kG) {}
  bool hitTest(float, float) const override { return true; }
};

class SVGRectElement final : public SVGBoxedRectangular {
 public:
  SVGRectElement(Document* ownerDocument, const PooledName* name);
  const SVGAnimatedLength& rx() const { return m_rx; }
  const SVGAnimatedLength& ry() const { return m_ry; }

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGAnimatedLength m_rx, m_ry;
};

class SVGCircleElement final : public SVGElement {
 public:
  SVGCircleElement(Document* ownerDocument, const PooledName* name);
  const SVGAnimatedLength& cx() const { return m_cx; }
  const SVGAnimatedLength& cy() const { return m_cy; }
  const SVGAnimatedLength& r() const { return m_r; }

  float boxLeft() const override { return m_cx.value() - m_r.value(); }
  float boxTop() const override { return m_cy.value() - m_r.value(); }
  float boxRight() const override { return m_cx.value() + m_r.value(); }
  float boxBottom() const override { return m_cy.value() + m_r.value(); }
  // The stroke is not added to a circle's stroke box.
  float strokeBoxLeft() const override { return boxLeft(); }
  float strokeBoxTop() const override { return boxTop(); }
  float strokeBoxRight() const override { return boxRight(); }
  float strokeBoxBottom() const override { return boxBottom(); }
  bool hitTest(float px, float py) const override;

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGAnimatedLength m_cx, m_cy, m_r;
};

class SVGEllipseElement final : public SVGElement {
 public:
  SVGEllipseElement(Document* ownerDocument, const PooledName* name) : SVGElement(ownerDocument, name, kEllipse) {}
  const SVGAnimatedLength& cx() const { return m_cx; }
  const SVGAnimatedLength& cy() const { return m_cy; }
  const SVGAnimatedLength& rx() const { return m_rx; }
  const SVGAnimatedLength& ry() const { return m_ry; }

  float boxLeft() const override { return m_cx.value() - m_rx.value(); }
  float boxTop() const override { return m_cy.value() - m_ry.value(); }
  float boxRight() const override { return m_cx.value() + m_rx.value(); }
  float boxBottom() const override { return m_cy.value() + m_ry.value(); }
  float strokeBoxLeft() const override { return m_cx.value() - (m_rx.value() + strokeWidth() / 2); }
  float strokeBoxTop() const override { return m_cy.value() - (m_ry.value() + strokeWidth() / 2); }
  float strokeBoxRight() const override { return m_cx.value() + m_rx.value() + strokeWidth() / 2; }
  float strokeBoxBottom() const override { return m_cy.value() + m_ry.value() + strokeWidth() / 2; }
  bool hitTest(float px, float py) const override;

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGAnimatedLength m_cx, m_cy, m_rx, m_ry;
};

class SVGLineElement final : public SVGElement {
 public:
  SVGLineElement(Document* ownerDocument, const PooledName* name) : SVGElement(ownerDocument, name, kLine) {}
  const SVGAnimatedLength& x1() const { return m_x1; }
  const SVGAnimatedLength& y1() const { return m_y1; }
  const SVGAnimatedLength& x2() const { return m_x2; }
  const SVGAnimatedLength& y2() const { return m_y2; }
  bool hitTest(float, float) const override { return false; }

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGAnimatedLength m_x1, m_y1, m_x2, m_y2;
};

// polygon and polyline: a point list, never drawn, never hit.
class SVGPointsElement : public SVGElement {
 public:
  const SVGPointList& points() const { return m_points; }
  bool hitTest(float, float) const override { return false; }

 protected:
  using SVGElement::SVGElement;
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  SVGPointList m_points;
};

class SVGPolygonElement final : public SVGPointsElement {
 public:
  SVGPolygonElement(Document* ownerDocument, const PooledName* name)
      : SVGPointsElement(ownerDocument, name, kPolygon) {}
};

class SVGPolylineElement final : public SVGPointsElement {
 public:
  SVGPolylineElement(Document* ownerDocument, const PooledName* name)
      : SVGPointsElement(ownerDocument, name, kPolyline) {}
};

class SVGImageElement final : public SVGBoxedRectangular {
 public:
  SVGImageElement(Document* ownerDocument, const PooledName* name);
  ~SVGImageElement() override;

  const DomString& href() const { return m_href; }
  // The decoded picture and its mask (none when the picture has no
  // transparent colour), decoded when the reference is set.
  const RichBitmap* picture() const { return m_picture.get(); }
  const RichBitmap* mask() const { return m_mask.get(); }

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;

 private:
  void loadPicture();

  DomString m_href;
  std::unique_ptr<RichBitmap> m_picture;
  std::unique_ptr<RichBitmap> m_mask;
};

struct TextMetrics {
  float width = 0;
  float height = 0;
  float ascent = 0;
};

class SVGTextElement final : public SVGElement {
 public:
  SVGTextElement(Document* ownerDocument, const PooledName* name);

  const SVGLengthList& x() const { return m_x; }
  const SVGLengthList& y() const { return m_y; }
  const SVGLengthList& dx() const { return m_dx; }
  const SVGLengthList& dy() const { return m_dy; }
  const SVGAnimatedLength& textLength() const { return m_textLength; }
  const SVGAnimatedLength& maxWidth() const { return m_maxWidth; }
  const TextMetrics& metrics() const { return m_metrics; }
  // The data of the leading run of Text children.
  DomString text() const;

  void updateTextMetrics() override;
  float boxLeft() const override { return m_x.first(); }
  float boxTop() const override { return m_y.first(); }
  float boxRight() const override { return m_x.first() + m_metrics.width; }
  float boxBottom() const override { return m_y.first() + m_metrics.height; }
  float strokeBoxLeft() const override { return boxLeft() - strokeWidth() / 2; }
  float strokeBoxTop() const override { return boxTop() - strokeWidth() / 2; }
  float strokeBoxRight() const override { return boxRight() + strokeWidth() / 2; }
  float strokeBoxBottom() const override { return boxBottom() + strokeWidth() / 2; }
  bool hitTest(float px, float py) const override;

 protected:
  bool readGeometry(Geometry name, const DomString& text) override;
  void styleComputed(HDC dc) override { measure(dc); }

 private:
  void measure(HDC dc);

  SVGLengthList m_x, m_y, m_dx, m_dy;
  SVGAnimatedLength m_textLength, m_maxWidth;
  TextMetrics m_metrics;
};
