#include "render/svgelement.h"

#include <span>
#include <typeinfo>
#include <vector>

#include "dom/document.h"
#include "dom/domstrings.h"
#include "render/svgdocument.h"
#include "style/propertyregistry.h"

namespace {

// The leading decimal integer of a value's text ("12px" gives 12, "bold" 0),
// held to the 16 bits the computed style keeps.
std::uint16_t leadingInteger(DomStringView text) {
  double value = readLeadingNumber(narrowText(text, 62));
  if (!(value > 0)) return 0;
  return value >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(value);
}

void setVisibility(ComputedStyle& style, DomStringView text) {
  if (text == u"visible")
    style.visibility = ComputedStyle::kVisible;
  else if (text == u"hidden")
    style.visibility = ComputedStyle::kHidden;
  else if (text == u"collapse")
    style.visibility = ComputedStyle::kCollapse;
}

// The properties the style pass reads, each with how it reads the value's
// text; every other property is ignored.
struct StyledProperty {
  std::u16string_view name;
  bool font;  // met: the element gets a platform font of its own
  void (*apply)(ComputedStyle&, DomStringView);
};

constexpr StyledProperty kStyledProperties[] = {
    {u"fill", false, [](ComputedStyle& s, DomStringView t) { s.fill = SVGPaint::fromText(t); }},
    {u"stroke", false, [](ComputedStyle& s, DomStringView t) { s.stroke = SVGPaint::fromText(t); }},
    {u"stroke-width", false, [](ComputedStyle& s, DomStringView t) { s.strokeWidth.setValueAsString(t); }},
    {u"fill-opacity", false,
     [](ComputedStyle& s, DomStringView t) {
       s.fillOpacity = static_cast<float>(readLeadingNumber(narrowText(t, 62)));
     }},
    {u"stroke-opacity", false, [](ComputedStyle&, DomStringView) {}},
    {u"visibility", false, setVisibility},
    {u"font-family", true, [](ComputedStyle& s, DomStringView t) { s.font.family = DomString(t); }},
    {u"font-size", true, [](ComputedStyle& s, DomStringView t) { s.font.size = leadingInteger(t); }},
    {u"font-weight", true, [](ComputedStyle& s, DomStringView t) { s.font.weight = leadingInteger(t); }},
    {u"font-style", true, [](ComputedStyle& s, DomStringView t) { s.font.italic = t == u"italic" || t == u"oblique"; }},
    {u"color", false, [](ComputedStyle& s, DomStringView t) { parseColour(t, s.color); }},
};

const StyledProperty* styledProperty(DomStringView name) {
  for (const StyledProperty& property : kStyledProperties)
    if (property.name == name) return &property;
  return nullptr;
}

// Applies one declaration; answers whether it was a font property.
bool applyDeclaration(ComputedStyle& style, DomStringView name, DomStringView text) {
  const StyledProperty* property = styledProperty(name);
  if (!property) return false;
  property->apply(style, text);
  return property->font;
}

// The property id of an attribute's name, kept on its pooled name once found.
std::int32_t propertyIdOf(const PooledName* pooled, const DomString& name) {
  if (!pooled) return propertyRegistry().idOf(name);
  if (pooled->propertyId == 0) pooled->propertyId = propertyRegistry().idOf(name);
  return pooled->propertyId;
}

using Geometry = SVGElement::Geometry;

struct GeometryName {
  DomStringView name;
  Geometry geometry;
};

constexpr GeometryName kGeometryNames[] = {
    {u"x", Geometry::kX},
    {u"y", Geometry::kY},
    {u"width", Geometry::kWidth},
    {u"height", Geometry::kHeight},
    {u"rx", Geometry::kRx},
    {u"ry", Geometry::kRy},
    {u"cx", Geometry::kCx},
    {u"cy", Geometry::kCy},
    {u"r", Geometry::kR},
    {u"x1", Geometry::kX1},
    {u"y1", Geometry::kY1},
    {u"x2", Geometry::kX2},
    {u"y2", Geometry::kY2},
    {u"dx", Geometry::kDx},
    {u"dy", Geometry::kDy},
    {u"points", Geometry::kPoints},
    {u"xlink:href", Geometry::kHref},
    {u"textLength", Geometry::kTextLength},
    {u"max-width", Geometry::kMaxWidth},
    {u"rotate", Geometry::kRotate},
};

Geometry geometryOf(DomStringView name) {
  for (const GeometryName& entry : kGeometryNames)
    if (equalsIgnoreCase(name, entry.name)) return entry.geometry;
  return Geometry::kNone;
}

// The geometry an attribute's name stands for, kept on its pooled name once found.
Geometry geometryOf(const PooledName* pooled, const DomString& name) {
  if (!pooled) return geometryOf(name);
  if (pooled->attributeKind < 0) pooled->attributeKind = static_cast<std::int8_t>(geometryOf(name));
  return static_cast<Geometry>(pooled->attributeKind);
}

// The cache of the skin document the element is in while it loads; none otherwise.
ParsedStyleCache* parsedStylesOf(Document* document) {
  if (!document || typeid(*document) != typeid(SVGDocument)) return nullptr;
  return static_cast<SVGDocument*>(document)->parsedStyles();
}

}  // namespace

SVGElement::SVGElement(Document* ownerDocument, const PooledName* name, TypeCode typeCode)
    : Element(ownerDocument, name), m_typeCode(typeCode) {}

SVGElement::~SVGElement() = default;

const DomString& SVGElement::id() const { return getAttribute(u"id"); }

void SVGElement::setId(const DomString& id) {
  if (setAttribute(u"id", id)) attributeChanged(u"id");
}

void SVGElement::attributeChanged(const DomString& name) {
  const AttributeEntry attribute = findAttribute(name);
  readAttribute(attribute.name, name, attribute.value ? *attribute.value : domstrings::empty());
}

void SVGElement::parsedAttributeSet(const PooledName* name, const DomString& value) {
  readAttribute(name, name->qualifiedName, value);
}

// The values the attribute gives go with the document, in its arena.
void SVGElement::readAttribute(const PooledName* pooled, const DomString& name, const DomString& text) {
  Document* document = ownerDocument();
  NodeArena::Scope scope(document ? &document->nodeArena() : nullptr);
  readAttributeInScope(pooled, name, text, Presentation::Apply);
}

void SVGElement::readAttributeInScope(const PooledName* pooled, const DomString& name, const DomString& text,
                                      Presentation presentation) {
  const Geometry geometry = geometryOf(pooled, name);
  if (geometry != Geometry::kNone && readGeometry(geometry, text)) return;
  if (presentation == Presentation::PassOver) return;
  applyPresentationAttribute(m_style, name, propertyIdOf(pooled, name), text, parsedStylesOf(ownerDocument()));
}

// A "style" attribute whose text gives declarations replaces all that the
// presentation attributes before it set, so those are not applied at all.
void SVGElement::parsedAttributesSet() {
  Document* document = ownerDocument();
  NodeArena::Scope scope(document ? &document->nodeArena() : nullptr);
  ParsedStyleCache* cache = parsedStylesOf(document);
  const std::span<const ParsedAttribute> attributes = parsedAttributes();
  std::size_t counted = 0;  // the first presentation attribute that counts
  for (std::size_t i = attributes.size(); i-- > 0 && cache;) {
    const ParsedAttribute& attribute = attributes[i];
    if (!equalsIgnoreCase(attribute.name->qualifiedName, u"style")) continue;
    if (!styleTextReplacesEarlier(attribute.value, cache)) continue;
    counted = i;
    break;
  }
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    const ParsedAttribute& attribute = attributes[i];
    readAttributeInScope(attribute.name, attribute.name->qualifiedName, attribute.value,
                         i < counted ? Presentation::PassOver : Presentation::Apply);
  }
}

bool SVGElement::readGeometry(Geometry, const DomString&) { return false; }

bool SVGElement::hitTest(float, float) const { return false; }

void SVGElement::computeOwnStyle(HDC dc) {
  auto style = std::make_unique<ComputedStyle>(ComputedStyle::defaults());
  const SVGElement* parent = asSVGElement(parentNode());
  Document* document = ownerDocument();
  bool isDocumentElement = document && document->documentElement() == this;
  if (!isDocumentElement && parent && parent->computedStyle()) *style = *parent->computedStyle();

  bool fontMet = false;
  const PropertyRegistry& registry = propertyRegistry();
  for (const CSSProperty& property : m_style.properties())
    fontMet |= applyDeclaration(*style, registry.nameOf(property.id), property.value->cssText());
  if (fontMet) {
    const ComputedFont& font = style->font;
    style->font.platformFont = std::make_shared<PlatformFont>(dc, font.family, font.size, font.italic, font.weight);
  }
  m_computedStyle = std::move(style);
  styleComputed(dc);
}

// Walks the subtree with a stack of its own: a hostile document may nest far
// deeper than the thread's stack would allow.
void SVGElement::computeStyle(HDC dc) {
  std::vector<SVGElement*> pending{this};
  std::vector<SVGElement*> children;
  while (!pending.empty()) {
    SVGElement* element = pending.back();
    pending.pop_back();
    element->computeOwnStyle(dc);
    children.clear();
    for (Node* child = element->firstChild(); child; child = child->nextSibling())
      if (SVGElement* svgChild = asSVGElement(child)) children.push_back(svgChild);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

bool isStyledProperty(DomStringView name) { return styledProperty(name) != nullptr; }

SVGElement* asSVGElement(Node* node) {
  return node && node->nodeType() == Node::ELEMENT_NODE ? dynamic_cast<SVGElement*>(node) : nullptr;
}

const SVGElement* asSVGElement(const Node* node) {
  return node && node->nodeType() == Node::ELEMENT_NODE ? dynamic_cast<const SVGElement*>(node) : nullptr;
}
