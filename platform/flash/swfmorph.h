#pragma once
// Morph shapes (DefineMorphShape, DefineMorphShape2): a start and an end
// shape with paired styles and edges, drawn at the ratio of their placement.

#include <cstdint>

#include "platform/flash/swfreader.h"
#include "platform/flash/swfshape.h"

namespace swf {

struct MorphDef {
  ShapeDef start;  // the start's styles and edges, not finished
  ShapeDef end;    // the end's styles, and its edges paired in order with the start's
};

// The body after the character id; `version` 1 or 2.
bool readMorph(SwfReader& body, int version, MorphDef& morph);

// The shape at `ratio` (0 the start, 65535 the end), finished for drawing.
ShapeDef morphAt(const MorphDef& morph, uint16_t ratio);

}  // namespace swf
