// JPEG pictures for movies, through libjpeg-turbo.

#include "tools/swfwriter/swfwriter.h"

// jpeglib needs size_t and FILE first.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace swfwrite {

std::vector<uint8_t> encodeJpeg(const Image& picture, int quality) {
  if (picture.width < 1 || picture.height < 1 ||
      picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
    return {};
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(picture.width);
  info.image_height = JDIMENSION(picture.height);
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;  // 0xAARRGGBB words as they lie in memory
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto* row = const_cast<JSAMPROW>(
        reinterpret_cast<const JSAMPLE*>(picture.pixels.data() + size_t(info.next_scanline) * size_t(picture.width)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

}  // namespace swfwrite
