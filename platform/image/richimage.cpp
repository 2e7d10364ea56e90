// The handler registry, decoding, monochrome masks and device bitmaps.

#include "platform/image/richimage.h"

#include <string>

#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/image/decode.h"

namespace image {
bool readPictureFile(const char* path, const std::u16string& programFolder, std::vector<BYTE>& bytes);
}

namespace {

struct Library {
  std::vector<std::unique_ptr<RichImageHandler>> handlers;
  std::u16string programFolder;
  Library() {
    handlers.push_back(std::make_unique<image::PngHandler>());
    handlers.push_back(std::make_unique<image::BmpHandler>());
  }
};

Library& library() {
  static Library l;
  return l;
}

}  // namespace

void RichImage::AddHandler(RichImageHandler* handler) {
  if (handler) library().handlers.emplace_back(handler);
}

void RichImage::init(LPCWSTR programPath) {
  std::u16string path = programPath ? programPath : u"";
  auto slash = path.find_last_of(u"\\/");
  library().programFolder = slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

RichImage::RichImage(const char* path, int, int) {
  std::vector<BYTE> bytes;
  if (ReadFile(path, bytes)) decode(bytes.data(), bytes.size());
}

RichImage::RichImage(RichImageData decoded) : m_data(std::move(decoded)) {
  m_ok = m_data.width > 0 && m_data.pixels.size() == static_cast<size_t>(m_data.width) * m_data.height;
  if (!m_ok) m_data = RichImageData{};
}

bool RichImage::ReadFile(const char* path, std::vector<BYTE>& bytes) {
  return path && image::readPictureFile(path, library().programFolder, bytes);
}

RichImage::RichImage(const BYTE* data, size_t size) {
  if (data) decode(data, size);
}

void RichImage::decode(const BYTE* data, size_t size) {
  for (const auto& h : library().handlers) {
    if (!h->CanRead(data, size)) continue;
    RichImageData decoded;
    if (h->Read(data, size, decoded) && decoded.pixels.size() == static_cast<size_t>(decoded.width) * decoded.height) {
      m_data = std::move(decoded);
      m_ok = true;
    }
    return;  // the format is known: a picture that fails to decode is corrupt
  }
}

std::unique_ptr<RichImage> RichImage::ConvertToMono(BYTE red, BYTE green, BYTE blue) const {
  std::unique_ptr<RichImage> mask(new RichImage());
  if (!m_ok) return mask;
  std::uint32_t key = (static_cast<std::uint32_t>(red) << 16) | (green << 8) | blue;
  mask->m_data.width = m_data.width;
  mask->m_data.height = m_data.height;
  mask->m_data.pixels.resize(m_data.pixels.size());
  for (size_t i = 0; i < m_data.pixels.size(); ++i) mask->m_data.pixels[i] = m_data.pixels[i] == key ? 1 : 0;
  mask->m_mono = true;
  mask->m_ok = true;
  return mask;
}

RichBitmap::RichBitmap(const RichImage& image, int) {
  if (!image.Ok()) return;
  m_bitmap.reset(gdi::createBitmapFromPixels(image.GetWidth(), image.GetHeight(), image.IsMono(), image.Pixels()));
  if (!m_bitmap) return;
  m_width = image.GetWidth();
  m_height = image.GetHeight();
  m_hasTransparent = image.HasTransparentColor();
  m_transparent = image.GetTransparentColor();
}

RichBitmap::RichBitmap(RichImage&& image, int) {
  if (!image.Ok()) return;
  RichImageData& d = image.m_data;
  image.m_ok = false;
  m_bitmap.reset(gdi::createBitmapFromPixels(d.width, d.height, image.m_mono, std::move(d.pixels)));
  if (!m_bitmap) return;
  m_width = d.width;
  m_height = d.height;
  m_hasTransparent = d.hasTransparentColor;
  m_transparent = d.transparentColor;
}
