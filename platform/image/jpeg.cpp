// JPEG through libjpeg-turbo.

#include "platform/image/decode.h"

// jpeglib needs size_t and FILE first, and defines TRUE and FALSE as macros.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

namespace {

// libjpeg reports errors through a callback that must not return: it jumps
// back to the decoder. A warning (a truncated file, for one) counts as a
// corrupt picture too.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
  bool warned = false;
};

[[noreturn]] void onError(j_common_ptr info) {
  auto* e = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(e->escape, 1);
}

void onMessage(j_common_ptr info, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->warned = true;
}

bool decode(const BYTE* data, size_t size, RichImageData& out, jpeg_decompress_struct& info, ErrorManager& errors) {
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!image::sizeAcceptable(info.image_width, info.image_height)) return false;
  info.out_color_space = JCS_EXT_BGRA;
  if (!jpeg_start_decompress(&info)) return false;
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        reinterpret_cast<JSAMPROW>(out.pixels.data() + static_cast<size_t>(info.output_scanline) * out.width);
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&info);
  for (auto& p : out.pixels) p &= 0xFFFFFF;
  return !errors.warned;
}

}  // namespace

bool rcJPEGHandler::CanRead(const BYTE* data, size_t size) const {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool rcJPEGHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = onError;
  errors.base.emit_message = onMessage;
  bool ok = false;
  if (setjmp(errors.escape) == 0) ok = decode(data, size, out, info, errors);
  jpeg_destroy_decompress(&info);
  if (!ok) out = RichImageData{};
  return ok;
}
