#include "tests/platform/image/encoders.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace {

void put16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, unsigned v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

Bytes writePng(png_image& image, const void* buffer, const void* colormap) {
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, buffer, 0, colormap);
  Bytes out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, buffer, 0, colormap);
  out.resize(size);
  png_image_free(&image);
  return out;
}

int gifWrite(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

}  // namespace

Bytes encodePng(const Picture& p) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = p.width;
  image.height = p.height;
  image.format = PNG_FORMAT_RGB;
  Bytes rgb;
  for (auto px : p.pixels) {
    rgb.push_back(px >> 16);
    rgb.push_back(px >> 8);
    rgb.push_back(px);
  }
  return writePng(image, rgb.data(), nullptr);
}

Bytes encodePalettePng(int width, int height, const std::vector<std::uint32_t>& palette,
                       const std::vector<unsigned char>& indexes, int transparentIndex) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA_COLORMAP;
  image.colormap_entries = static_cast<png_uint_32>(palette.size());
  Bytes map;
  for (size_t i = 0; i < palette.size(); ++i) {
    map.push_back(palette[i] >> 16);
    map.push_back(palette[i] >> 8);
    map.push_back(palette[i]);
    map.push_back(static_cast<int>(i) == transparentIndex ? 0 : 255);
  }
  return writePng(image, indexes.data(), map.data());
}

Bytes encodeAlphaPng(const Picture& p, const std::vector<unsigned char>& alpha) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = p.width;
  image.height = p.height;
  image.format = PNG_FORMAT_RGBA;
  Bytes rgba;
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    rgba.push_back(p.pixels[i] >> 16);
    rgba.push_back(p.pixels[i] >> 8);
    rgba.push_back(p.pixels[i]);
    rgba.push_back(alpha[i]);
  }
  return writePng(image, rgba.data(), nullptr);
}

Bytes encodeJpeg(const Picture& p) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = p.width;
  info.image_height = p.height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  Bytes row(static_cast<size_t>(p.width) * 3);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      auto px = p.pixels[static_cast<size_t>(y) * p.width + x];
      row[x * 3] = px >> 16;
      row[x * 3 + 1] = px >> 8;
      row[x * 3 + 2] = px;
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

Bytes encodeGif(int width, int height, const std::vector<std::uint32_t>& palette,
                const std::vector<unsigned char>& indexes, int transparentIndex) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, gifWrite, &error);
  int size = 2;
  while (size < static_cast<int>(palette.size())) size *= 2;
  std::vector<GifColorType> colours(size);
  for (size_t i = 0; i < palette.size(); ++i)
    colours[i] = GifColorType{static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                              static_cast<GifByteType>(palette[i])};
  ColorMapObject* map = GifMakeMapObject(size, colours.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  if (transparentIndex >= 0) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = transparentIndex;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
  }
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  std::vector<GifPixelType> line(width);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) line[x] = indexes[static_cast<size_t>(y) * width + x];
    EGifPutLine(gif, line.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Bytes encodeBmp24(const Picture& p, bool topDown) {
  int stride = ((p.width * 24 + 31) / 32) * 4;
  Bytes b{'B', 'M'};
  put32(b, 54 + stride * p.height);
  put32(b, 0);
  put32(b, 54);
  put32(b, 40);
  put32(b, p.width);
  put32(b, topDown ? -p.height : p.height);
  put16(b, 1);
  put16(b, 24);
  for (int i = 0; i < 6; ++i) put32(b, 0);
  for (int r = 0; r < p.height; ++r) {
    int y = topDown ? r : p.height - 1 - r;
    for (int x = 0; x < p.width; ++x) {
      auto px = p.pixels[static_cast<size_t>(y) * p.width + x];
      b.push_back(px);
      b.push_back(px >> 8);
      b.push_back(px >> 16);
    }
    for (int pad = p.width * 3; pad < stride; ++pad) b.push_back(0);
  }
  return b;
}

Bytes encodeBmp8(int width, int height, const std::vector<std::uint32_t>& palette,
                 const std::vector<unsigned char>& indexes) {
  int stride = ((width * 8 + 31) / 32) * 4;
  unsigned offset = 54 + static_cast<unsigned>(palette.size()) * 4;
  Bytes b{'B', 'M'};
  put32(b, offset + stride * height);
  put32(b, 0);
  put32(b, offset);
  put32(b, 40);
  put32(b, width);
  put32(b, height);
  put16(b, 1);
  put16(b, 8);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, static_cast<unsigned>(palette.size()));
  put32(b, 0);
  for (auto c : palette) {
    b.push_back(c);
    b.push_back(c >> 8);
    b.push_back(c >> 16);
    b.push_back(0);
  }
  for (int r = 0; r < height; ++r) {
    int y = height - 1 - r;
    for (int x = 0; x < width; ++x) b.push_back(indexes[static_cast<size_t>(y) * width + x]);
    for (int pad = width; pad < stride; ++pad) b.push_back(0);
  }
  return b;
}
