#include "render/svgelement.h"

#include <vector>

#include "dom/document.h"
#include "style/propertyregistry.h"

namespace {

// The leading decimal integer of a value's text ("12px" gives 12, "bold" 0),
// held to the 16 bits the computed style keeps.
std::uint16_t leadingInteger(DomStringView text) {
  double value = readLeadingNumber(narrowText(text, 62));
  if (!(value > 0)) return 0;
  return value >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(value);
}

// Applies one declaration; answers whether it was a font property.
bool applyDeclaration(ComputedStyle& style, DomStringView name, DomStringView text) {
  if (name == u"fill") {
    style.fill = SVGPaint::fromText(text);
  } else if (name == u"stroke") {
    style.stroke = SVGPaint::fromText(text);
  } else if (name == u"stroke-width") {
    style.strokeWidth.setValueAsString(text);
  } else if (name == u"fill-opacity") {
    style.fillOpacity = static_cast<float>(readLeadingNumber(narrowText(text, 62)));
  } else if (name == u"visibility") {
    if (text == u"visible")
      style.visibility = ComputedStyle::kVisible;
    else if (text == u"hidden")
      style.visibility = ComputedStyle::kHidden;
    else if (text == u"collapse")
      style.visibility = ComputedStyle::kCollapse;
  } else if (name == u"font-family") {
    style.font.family = DomString(text);
    return true;
  } else if (name == u"font-size") {
    style.font.size = leadingInteger(text);
    return true;
  } else if (name == u"font-weight") {
    style.font.weight = leadingInteger(text);
    return true;
  } else if (name == u"font-style") {
    style.font.italic = text == u"italic" || text == u"oblique";
    return true;
  } else if (name == u"color") {
    parseColour(text, style.color);
  }
  return false;
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
  const DomString& text = getAttribute(name);
  if (readGeometry(name, text)) return;
  applyPresentationAttribute(m_style, name, text);
}

bool SVGElement::readGeometry(const DomString&, const DomString&) { return false; }

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

SVGElement* asSVGElement(Node* node) {
  return node && node->nodeType() == Node::ELEMENT_NODE ? dynamic_cast<SVGElement*>(node) : nullptr;
}

const SVGElement* asSVGElement(const Node* node) {
  return node && node->nodeType() == Node::ELEMENT_NODE ? dynamic_cast<const SVGElement*>(node) : nullptr;
}
