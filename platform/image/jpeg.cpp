// JPEG through libjpeg-turbo.

#include "platform/image/decode.h"

// jpeglib needs size_t and FILE first, and defines TRUE and FALSE as macros.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include "platform/core/latesymbol.h"

namespace {

// libjpeg is opened by the first JPEG picture, not linked: most starts show
// none, and every library a start maps costs it.
struct JpegCalls {
  decltype(&jpeg_std_error) stdError = nullptr;
  decltype(&jpeg_CreateDecompress) createDecompress = nullptr;
  decltype(&jpeg_mem_src) memorySource = nullptr;
  decltype(&jpeg_read_header) readHeader = nullptr;
  decltype(&jpeg_start_decompress) startDecompress = nullptr;
  decltype(&jpeg_read_scanlines) readScanlines = nullptr;
  decltype(&jpeg_finish_decompress) finishDecompress = nullptr;
  decltype(&jpeg_destroy_decompress) destroyDecompress = nullptr;
};

bool bindCalls(void* l, JpegCalls& c) {
  return lateSymbol(l, "jpeg_std_error", c.stdError) && lateSymbol(l, "jpeg_CreateDecompress", c.createDecompress) &&
         lateSymbol(l, "jpeg_mem_src", c.memorySource) && lateSymbol(l, "jpeg_read_header", c.readHeader) &&
         lateSymbol(l, "jpeg_start_decompress", c.startDecompress) &&
         lateSymbol(l, "jpeg_read_scanlines", c.readScanlines) &&
         lateSymbol(l, "jpeg_finish_decompress", c.finishDecompress) &&
         lateSymbol(l, "jpeg_destroy_decompress", c.destroyDecompress);
}

// The calls, or null when the library or one of them is missing.
const JpegCalls* jpeg() { return lateCalls<JpegCalls>("libjpeg.so.62", bindCalls); }

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

bool decode(const JpegCalls& j, const BYTE* data, size_t size, RichImageData& out, jpeg_decompress_struct& info,
            ErrorManager& errors) {
  j.createDecompress(&info, JPEG_LIB_VERSION, sizeof info);
  j.memorySource(&info, data, static_cast<unsigned long>(size));
  if (j.readHeader(&info, TRUE) != JPEG_HEADER_OK) return false;
  if (!image::sizeAcceptable(info.image_width, info.image_height)) return false;
  info.out_color_space = JCS_EXT_BGRA;
  if (!j.startDecompress(&info)) return false;
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        reinterpret_cast<JSAMPROW>(out.pixels.data() + static_cast<size_t>(info.output_scanline) * out.width);
    if (j.readScanlines(&info, &row, 1) != 1) return false;
  }
  j.finishDecompress(&info);
  for (auto& p : out.pixels) p &= 0xFFFFFF;
  return !errors.warned;
}

}  // namespace

bool rcJPEGHandler::CanRead(const BYTE* data, size_t size) const {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool rcJPEGHandler::Read(const BYTE* data, size_t size, RichImageData& out) const {
  const JpegCalls* j = jpeg();
  if (!j) {
    out = RichImageData{};
    return false;
  }
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = j->stdError(&errors.base);
  errors.base.error_exit = onError;
  errors.base.emit_message = onMessage;
  bool ok = false;
  if (setjmp(errors.escape) == 0) ok = decode(*j, data, size, out, info, errors);
  j->destroyDecompress(&info);
  if (!ok) out = RichImageData{};
  return ok;
}
