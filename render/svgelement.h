#pragma once
// The base of the ten skin element classes. Each element reads its own
// geometry attributes into typed fields; every other attribute is a
// presentation attribute that goes into the element's style declaration.
// The style pass turns the declarations into a ComputedStyle, which the
// painter and hit testing read.
//
// attributeChanged must follow every setAttribute whose effect is wanted;
// computeStyle must run before an element is painted or hit-tested.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dom/element.h"
#include "platform/gdi/wingdi.h"
#include "render/computedstyle.h"
#include "style/cssstyledeclaration.h"

// Draws one element into the view's off-screen buffer. `area` is the document
// rectangle being repainted (edges sorted); the device context is clipped to it.
// Carved from the arena of the current NodeArena::Scope, as its element is.
class Painter {
 public:
  static void* operator new(std::size_t size) { return NodeArena::allocateInScope(size); }
  static void operator delete(void* block) { NodeArena::deallocate(block); }
  virtual ~Painter() = default;
  virtual void paint(HDC dc, const RECT& area) = 0;
};

class SVGElement : public Element {
 public:
  enum TypeCode : std::int32_t {
    kNone = 0,
    kSvg = 1,
    kG = 2,
    kRect = 3,
    kCircle = 4,
    kEllipse = 5,
    kImage = 6,
    kText = 7,
    kLine = 8,
    kPolygon = 9,
    kPolyline = 10,
  };

  // The geometry attributes of the element classes (names compared ignoring
  // letter case); kNone for every other attribute.
  enum class Geometry : std::int8_t {
    kNone,
    kX,
    kY,
    kWidth,
    kHeight,
    kRx,
    kRy,
    kCx,
    kCy,
    kR,
    kX1,
    kY1,
    kX2,
    kY2,
    kDx,
    kDy,
    kPoints,
    kHref,
    kTextLength,
    kMaxWidth,
    kRotate,
  };

  SVGElement(Document* ownerDocument, const PooledName* name, TypeCode typeCode);

  TypeCode typeCode() const { return m_typeCode; }
  CSSStyleDeclaration& style() { return m_style; }
  const CSSStyleDeclaration& style() const { return m_style; }
  // None until the first style pass.
  const ComputedStyle* computedStyle() const { return m_computedStyle.get(); }
  // None for the classes that are never drawn.
  Painter* painter() const { return m_painter.get(); }

  // SVGElement.id: the "id" attribute.
  const DomString& id() const;
  void setId(const DomString& id);

  // Re-reads attribute `name` into the typed geometry or the style declaration.
  void attributeChanged(const DomString& name) override;
  void parsedAttributeSet(const PooledName* name, const DomString& value) override;
  void parsedAttributesSet() override;
  // `text` re-measures its text against the screen; the others do nothing.
  virtual void updateTextMetrics() {}

  virtual float boxLeft() const { return 0; }
  virtual float boxTop() const { return 0; }
  virtual float boxRight() const { return 0; }
  virtual float boxBottom() const { return 0; }
  virtual float strokeBoxLeft() const { return 0; }
  virtual float strokeBoxTop() const { return 0; }
  virtual float strokeBoxRight() const { return 0; }
  virtual float strokeBoxBottom() const { return 0; }

  // The style pass for this element and every SVG element below it.
  virtual void computeStyle(HDC dc);
  // Whether the document point lies in the element (geometry only).
  virtual bool hitTest(float x, float y) const;

  // The computed stroke-width, 0 before the first style pass.
  float strokeWidth() const { return m_computedStyle ? m_computedStyle->strokeWidth.value() : 0.0f; }

 protected:
  ~SVGElement() override;

  // Reads the attribute into geometry when it is one of the class's geometry
  // attributes; false for a presentation attribute.
  virtual bool readGeometry(Geometry name, const DomString& text);
  // Called by the style pass once the element's computed style is in place.
  virtual void styleComputed(HDC) {}

  void setPainter(std::unique_ptr<Painter> painter) { m_painter = std::move(painter); }

 private:
  void computeOwnStyle(HDC dc);
  // Reads an attribute's text, `pooled` its pooled name when known.
  void readAttribute(const PooledName* pooled, const DomString& name, const DomString& text);
  // Within a scope of the document's arena. A presentation attribute that a
  // later style attribute replaces whole is passed over.
  enum class Presentation { Apply, PassOver };
  void readAttributeInScope(const PooledName* pooled, const DomString& name, const DomString& text,
                            Presentation presentation);

  TypeCode m_typeCode;
  CSSStyleDeclaration m_style;
  std::unique_ptr<ComputedStyle> m_computedStyle;
  std::unique_ptr<Painter> m_painter;
};

// Whether the style pass reads the property `name` (names compared exactly);
// it ignores every other property.
bool isStyledProperty(DomStringView name);

// The SVG element `node` is, or none.
SVGElement* asSVGElement(Node* node);
const SVGElement* asSVGElement(const Node* node);
