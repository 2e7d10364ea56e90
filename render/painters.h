#pragma once
// The painters of the drawable classes and the helpers they share: the area
// test, integer geometry, and picture decoding for `image` elements.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/richimage.h"
#include "render/svgelement.h"

class SVGSVGElement;
class SVGRectElement;
class SVGImageElement;
class SVGTextElement;

std::unique_ptr<Painter> makeSvgPainter(SVGSVGElement& element);
std::unique_ptr<Painter> makeRectPainter(SVGRectElement& element);
// A circle has a painter that draws nothing.
std::unique_ptr<Painter> makeCirclePainter();
std::unique_ptr<Painter> makeImagePainter(SVGImageElement& element);
std::unique_ptr<Painter> makeTextPainter(SVGTextElement& element);

// Coordinates are truncated toward zero and held within this distance of the
// origin, so that no hostile size can make the drawing layer walk or allocate
// far beyond the screen (NaN becomes 0).
inline constexpr LONG kCoordinateLimit = 1 << 20;
// A wider pen draws nothing more on a screen-sized view, only more slowly.
inline constexpr int kMaxPenWidth = 256;
int truncated(float value);
// The truncated x, y and their sums with the truncated width and height.
RECT integerRect(float x, float y, float width, float height);

// Whether (left, top)-(right, bottom), in either order, touches the area;
// touching edges count.
bool touchesArea(const RECT& rect, const RECT& area);

struct DecodedPicture {
  std::unique_ptr<RichBitmap> picture;
  std::unique_ptr<RichBitmap> mask;  // none when the picture has no transparent colour
};

// The path of a picture reference: beside the document unless it starts with
// a slash or backslash, when it is the path as it stands. Empty for an empty
// reference and for a relative one that climbs out of the document's folder.
std::string picturePath(const std::string& documentPath, const std::string& reference);
// The bytes of the picture file `reference` names for `element`'s document;
// nothing when the reference is refused or names no readable file.
std::optional<std::vector<BYTE>> readPicture(const SVGElement& element, DomStringView reference);
// The picture and its mask made from a picture file's bytes; nothing when
// they cannot be decoded.
DecodedPicture decodePicture(const std::vector<BYTE>& bytes);
