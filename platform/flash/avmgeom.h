#pragma once
// What the other built-ins take from flash.geom: its objects read into the
// engine's own matrix and colour transform, and new ones made for results.

#include <optional>

#include "platform/flash/avm.h"

namespace swf::avm {

// A Matrix-like object's fields, its translation left in pixels.
bool readMatrix(Machine& vm, const Value& value, Matrix& out);
// A ColorTransform-like object's fields, as the engine keeps them (8.8 multipliers).
bool readColorTransform(Machine& vm, const Value& value, ColorTransform& out);
// new flash.geom.Rectangle(x, y, width, height)
Value makeRectangle(Machine& vm, double x, double y, double width, double height);
// The renderer's filter a flash.filters object stands for; none for
// anything else, or a kind the renderer does not draw.
std::optional<Filter> rendererFilter(const Value& value);
// Whether `value` was made by flash.geom's class `className`.
bool isGeomInstance(Machine& vm, const Value& value, const char* className);

}  // namespace swf::avm
