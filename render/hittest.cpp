#include "render/hittest.h"

#include <vector>

#include "render/svgelement.h"

namespace {

// An element whose own area holds the point, with its element children
// pushed on the candidate stack from `base` (the last child on top).
struct Frame {
  SVGElement* element;
  std::size_t base;
};

}  // namespace

// The search runs on stacks of its own rather than recursing, so that a
// deeply nested document cannot exhaust the thread's stack.
SVGElement* findTarget(Element* documentElement, float x, float y) {
  std::vector<Frame> frames;
  std::vector<SVGElement*> candidates;
  auto enter = [&](SVGElement* element) {
    if (!element || !element->hitTest(x, y)) return;
    frames.push_back(Frame{element, candidates.size()});
    for (Node* child = element->firstChild(); child; child = child->nextSibling())
      if (SVGElement* svgChild = asSVGElement(child)) candidates.push_back(svgChild);
  };
  enter(asSVGElement(documentElement));
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (candidates.size() > frame.base) {
      SVGElement* child = candidates.back();
      candidates.pop_back();
      enter(child);
      continue;
    }
    // No child claimed the point: the element is the target, unless it is a
    // `g`, in which case its parent goes on with the `g`'s earlier siblings.
    SVGElement* element = frame.element;
    frames.pop_back();
    if (element->typeCode() != SVGElement::kG) return element;
  }
  return nullptr;
}
