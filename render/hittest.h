#pragma once
// Which skin element lies under a document point. Geometry alone decides:
// hidden elements and elements that are never drawn (circles, ellipses)
// still take the point; the last element in document order wins; a `g` is
// never the target itself, and lines and point lists never are.

class Element;
class SVGElement;

// The target for (x, y) starting at the document element; none when the
// point lies outside it.
SVGElement* findTarget(Element* documentElement, float x, float y);
