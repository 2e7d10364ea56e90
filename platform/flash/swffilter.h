#pragma once
// Filters of a placed object (PlaceObject3): blur, drop shadow, glow, bevel
// and colour matrix, applied to the object drawn alone into a layer.
// Gradient filters and convolutions are kept for scripts to read and leave
// the object as it is.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/flash/swfgeometry.h"
#include "platform/flash/swfreader.h"

namespace swf {

struct Filter {
  enum class Kind : uint8_t {
    Blur,
    Shadow,
    Bevel,
    ColorMatrix,
    Convolution,
    GradientGlow,
    GradientBevel,
    None
  } kind = Kind::None;
  float blurX = 0, blurY = 0;  // pixels of the movie
  int passes = 1;
  Rgba color;                      // Shadow; a bevel's lit side
  Rgba shadowColor;                // Bevel: the side away from the light
  double angle = 0;                // Shadow, Bevel: radians, as precise as a script gave them
  float distance = 0;              // Shadow, Bevel: pixels of the movie; 0 for a glow
  float strength = 1;              // Shadow, Bevel
  bool inner = false;              // Shadow, Bevel: inside the object's shape
  bool onTop = false;              // Bevel: inside and outside, over the object
  bool knockout = false;           // Shadow, Bevel: the object cut out of its shadow
  bool hideObject = false;         // Shadow, Bevel: the shadow alone
  bool glow = false;               // Shadow: a glow, around the object rather than cast
  std::array<float, 20> matrix{};  // ColorMatrix: rows of r, g, b, a; offsets in 0..255
  // Convolution: a matrixX by matrixY kernel, row by row; `color` the default colour.
  int matrixX = 0, matrixY = 0;
  std::vector<float> kernel;
  float divisor = 1, bias = 0;
  bool preserveAlpha = true, clamp = true;
  // Gradient glows and bevels: the colours and where each lies (0..255).
  std::vector<std::pair<Rgba, uint8_t>> gradient;
};
using Filters = std::shared_ptr<const std::vector<Filter>>;

// Reads a filter list; answers false, with what was read, on a filter that
// cannot be read past.
bool readFilters(SwfReader& r, std::vector<Filter>& filters);

// A picture of premultiplied 0xAARRGGBB pixels being filtered.
struct Layer {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
};

// Whether any of `filters` changes what is drawn: the kinds kept only for
// scripts change nothing, and need no layer of their own.
bool changesPicture(const std::vector<Filter>& filters);

// Applies `filters` in order; `scale` is screen pixels per movie pixel.
// The scratch buffer is the caller's, kept between calls.
void applyFilters(const Layer& layer, const std::vector<Filter>& filters, float scale, std::vector<uint32_t>& scratch);

}  // namespace swf
