// Pictures of `image` elements: found beside the skin document or by their
// absolute device path, read when the reference changes and decoded by the
// image library from those bytes, or taken from the host's picture cache
// when an earlier start decoded the same bytes.

#include <string_view>

#include "platform/core/winnls.h"
#include "platform/image/picturecache.h"
#include "render/painters.h"
#include "render/svgdocument.h"

namespace {

bool isSlash(char c) { return c == '/' || c == '\\'; }

// Whether a relative path stays beneath its starting folder ("." and ".." applied).
bool staysBeneath(const std::string& path) {
  int depth = 0;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = at;
    while (end < path.size() && !isSlash(path[end])) ++end;
    std::string_view part(path.data() + at, end - at);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    at = end + 1;
  }
  return true;
}

}  // namespace

std::string picturePath(const std::string& documentPath, const std::string& reference) {
  if (reference.empty()) return {};
  // An absolute reference names a picture anywhere on the device, as it stands;
  // the device's own path rules keep the read inside the device.
  if (isSlash(reference.front())) return reference;
  std::size_t slash = documentPath.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? std::string() : documentPath.substr(0, slash + 1);
  // A relative reference stays beside the document: one that climbs out is not followed.
  return staysBeneath(reference) ? folder + reference : std::string();
}

std::optional<std::vector<BYTE>> readPicture(const SVGElement& element, DomStringView reference) {
  const auto* document = dynamic_cast<const SVGDocument*>(element.ownerDocument());
  std::string path = picturePath(document ? document->filePath() : std::string(), wideToAnsi(reference));
  std::vector<BYTE> bytes;
  if (path.empty() || !RichImage::ReadFile(path.c_str(), bytes)) return std::nullopt;
  return bytes;
}

namespace {

// A skin's pictures are the same bytes start after start: the host keeps
// what they decoded to.
RichImage decodeOrRecall(const std::vector<BYTE>& bytes) {
  image::PictureCache& cache = image::PictureCache::host();
  RichImageData kept;
  if (cache.find(bytes, kept)) return RichImage(std::move(kept));
  RichImage decoded(bytes.data(), bytes.size());
  if (decoded.Ok()) cache.keep(bytes, decoded.Data());
  return decoded;
}

}  // namespace

DecodedPicture decodePicture(const std::vector<BYTE>& bytes) {
  RichImage image = decodeOrRecall(bytes);
  if (!image.Ok()) return {};
  DecodedPicture decoded;
  if (image.HasTransparentColor()) {
    RichColor transparent = image.GetTransparentColor();
    std::unique_ptr<RichImage> mono = image.ConvertToMono(transparent.red, transparent.green, transparent.blue);
    if (mono && mono->Ok()) decoded.mask = std::make_unique<RichBitmap>(std::move(*mono), -1);
  }
  // The bitmap takes the decoded pixels over: a skin's pictures are not copied.
  decoded.picture = std::make_unique<RichBitmap>(std::move(image), -1);
  if (!decoded.picture->Ok()) decoded.mask.reset();
  return decoded;
}
