#pragma once
// libpng, opened by the first PNG picture read or written instead of linked:
// skin pictures come back decoded from the host's cache, screenshots are
// rare, and every library a start maps costs it.

#include <png.h>

namespace image {

struct PngCalls {
  decltype(&png_image_begin_read_from_memory) imageBeginReadFromMemory = nullptr;
  decltype(&png_image_finish_read) imageFinishRead = nullptr;
  decltype(&png_image_free) imageFree = nullptr;
  decltype(&png_create_write_struct) createWriteStruct = nullptr;
  decltype(&png_create_info_struct) createInfoStruct = nullptr;
  decltype(&png_destroy_write_struct) destroyWriteStruct = nullptr;
  decltype(&png_set_longjmp_fn) setLongjmpFn = nullptr;
  decltype(&png_longjmp) longJump = nullptr;
  decltype(&png_init_io) initIo = nullptr;
  decltype(&png_set_IHDR) setIhdr = nullptr;
  decltype(&png_set_filter) setFilter = nullptr;
  decltype(&png_set_compression_level) setCompressionLevel = nullptr;
  decltype(&png_set_compression_strategy) setCompressionStrategy = nullptr;
  decltype(&png_set_compression_mem_level) setCompressionMemLevel = nullptr;
  decltype(&png_write_info) writeInfo = nullptr;
  decltype(&png_write_row) writeRow = nullptr;
  decltype(&png_write_end) writeEnd = nullptr;
};

// The calls, or null when the library or one of them is missing.
const PngCalls* png();

}  // namespace image
