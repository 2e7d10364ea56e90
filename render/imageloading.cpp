// Pictures of `image` elements: found beside the skin document, decoded by
// the image library once per reference change.

#include <cctype>
#include <vector>

#include "platform/core/winnls.h"
#include "render/painters.h"
#include "render/svgdocument.h"

namespace {

bool isSlash(char c) { return c == '/' || c == '\\'; }

// The path's components with "." dropped and ".." applied; false when ".."
// climbs above the start.
bool normalisedComponents(const std::string& path, std::vector<std::string>& components) {
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = at;
    while (end < path.size() && !isSlash(path[end])) ++end;
    std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (components.empty()) return false;
      components.pop_back();
    } else if (!part.empty() && part != ".") {
      components.push_back(std::move(part));
    }
    at = end + 1;
  }
  return true;
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Whether `path` names something inside `folder` (device names ignore case).
bool inside(const std::string& folder, const std::string& path) {
  std::vector<std::string> folderParts, pathParts;
  if (!normalisedComponents(folder, folderParts) || !normalisedComponents(path, pathParts)) return false;
  if (pathParts.size() <= folderParts.size()) return false;
  for (std::size_t i = 0; i < folderParts.size(); ++i)
    if (!sameName(folderParts[i], pathParts[i])) return false;
  return true;
}

}  // namespace

std::string picturePath(const std::string& documentPath, const std::string& reference) {
  std::size_t slash = documentPath.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? std::string() : documentPath.substr(0, slash + 1);
  bool absolute = !reference.empty() && isSlash(reference.front());
  std::string path = absolute ? reference : folder + reference;
  // A skin's pictures live in its own folder; a reference that climbs out of
  // it or names another folder of the device is not followed.
  if (!inside(folder, path)) return {};
  if (absolute && !(folder.size() && isSlash(folder.front()))) return {};
  return path;
}

DecodedPicture decodePicture(const SVGElement& element, DomStringView reference) {
  const auto* document = dynamic_cast<const SVGDocument*>(element.ownerDocument());
  std::string path = picturePath(document ? document->filePath() : std::string(), wideToAnsi(reference));
  if (path.empty()) return {};
  RichImage image(path.c_str(), 50, -1);
  if (!image.Ok()) return {};
  DecodedPicture decoded;
  decoded.picture = std::make_unique<RichBitmap>(image, -1);
  if (decoded.picture->HasTransparentColor()) {
    RichColor transparent = decoded.picture->GetTransparentColor();
    std::unique_ptr<RichImage> mono = image.ConvertToMono(transparent.red, transparent.green, transparent.blue);
    if (mono && mono->Ok()) decoded.mask = std::make_unique<RichBitmap>(*mono, -1);
  }
  return decoded;
}
