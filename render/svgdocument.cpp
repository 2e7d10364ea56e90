#include "render/svgdocument.h"

#include <iterator>

#include "render/svgelements.h"

namespace {

using Make = SVGElement* (*)(Document*, const PooledName*);

template <typename T>
SVGElement* make(Document* document, const PooledName* name) {
  return new (document) T(document, name);
}

struct ElementClass {
  DomStringView tag;
  Make make;
};

constexpr ElementClass kElementClasses[] = {
    {u"svg", make<SVGSVGElement>},         {u"g", make<SVGGElement>},
    {u"rect", make<SVGRectElement>},       {u"circle", make<SVGCircleElement>},
    {u"ellipse", make<SVGEllipseElement>}, {u"image", make<SVGImageElement>},
    {u"text", make<SVGTextElement>},       {u"line", make<SVGLineElement>},
    {u"polygon", make<SVGPolygonElement>}, {u"polyline", make<SVGPolylineElement>},
};

}  // namespace

Ref<SVGDocument> SVGDocument::create(const std::string& filePath) {
  return Ref<SVGDocument>::adopt(new SVGDocument(filePath));
}

SVGDocument::~SVGDocument() = default;

// A load shares its parsed style texts among the elements it makes; what the
// elements keep of them goes with the elements afterwards.
void SVGDocument::loadStarted() { m_parsedStyles = std::make_unique<ParsedStyleCache>(); }

void SVGDocument::loadFinished() { m_parsedStyles.reset(); }

Element* SVGDocument::getElementById(const DomString& elementId) {
  Element* root = documentElement();
  if (!root) return nullptr;
  for (Node* node = nextInSubtree(root, root); node; node = nextInSubtree(node, root)) {
    if (node->nodeType() != ELEMENT_NODE) continue;
    auto* element = static_cast<Element*>(node);
    const DomString* id = element->attributeValue(u"id");
    if (id && *id == elementId) return element;
  }
  return nullptr;
}

// Each class remembers the pooled name it was last made with: a skin spells
// its tags the same way throughout.
Ref<SVGElement> SVGDocument::createSVGElement(const DomString& tagName) {
  static_assert(std::size(kElementClasses) == kElementClassCount);
  for (std::size_t i = 0; i < std::size(kElementClasses); ++i) {
    const ElementClass& elementClass = kElementClasses[i];
    if (!equalsIgnoreCase(tagName, elementClass.tag)) continue;
    const PooledName*& known = m_tagNames[i];
    const PooledName* name = known && known->qualifiedName == tagName ? known : internName(tagName);
    if (!name) return {};
    known = name;
    NodeArena::Scope scope(&nodeArena());  // the element's painter goes with it
    return Ref<SVGElement>::adopt(elementClass.make(this, name));
  }
  return {};
}

Ref<Element> SVGDocument::createElementByTag(const DomString& tagName) {
  return Ref<Element>::adopt(createSVGElement(tagName).leak());
}
