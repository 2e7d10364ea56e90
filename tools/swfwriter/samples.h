#pragma once
// Ready-made movies for the tools, tests and benchmarks.

#include <cstdint>
#include <vector>

namespace swfwrite {

// A looping scene of 240 x 180 pixels at 12 frames per second: a sky of a
// linear gradient, a sun of a radial gradient, a spinning sprite with its own
// timeline, a ball that moves across the frames, a stroked curve, and a frame
// label; 24 frames.
std::vector<uint8_t> demoMovie(bool compressed);

// The sample movie of the handheld's portrait screen, 240 x 320 at 12 frames
// per second: a dusk landscape with a windmill and its reflection, a tartan
// kite, a flapping bird, rising soap bubbles, flowers that bloom, a moon and a
// painting. Its pictures are of every kind (colour-mapped lossless, lossless
// with alpha, JPEG, JPEG with alpha); its timeline opens with a curtain and
// uses frame labels and actions to jump over frames that show pure magenta
// (255, 0, 255), so that a wrong jump is seen at once.
std::vector<uint8_t> showcaseMovie(bool compressed);

// `frames` frames at `rate`: frame n shows a bar n / frames of the width, so
// that the frame shown can be told from a picture.
std::vector<uint8_t> countingMovie(int frames, float rate, int width, int height, bool compressed);

// `shapes` shapes with curves, gradients and strokes spread over a 240 x 320
// movie, moving a little every frame; for measuring the renderer.
std::vector<uint8_t> busyMovie(int shapes, int frames, bool compressed);

// `groups` masked groups over a 240 x 320 movie, each a moving ellipse mask
// over a line of static text in an embedded font, a shape and a text field
// in the device's font, with unmasked text fields on top; for measuring
// masks and text.
std::vector<uint8_t> maskedTextMovie(int groups, int frames, bool compressed);

}  // namespace swfwrite
