#include "platform/image/pngcalls.h"

#include "platform/core/latesymbol.h"

namespace image {
namespace {

bool bindCalls(void* l, PngCalls& c) {
  return lateSymbol(l, "png_image_begin_read_from_memory", c.imageBeginReadFromMemory) &&
         lateSymbol(l, "png_image_finish_read", c.imageFinishRead) && lateSymbol(l, "png_image_free", c.imageFree) &&
         lateSymbol(l, "png_create_write_struct", c.createWriteStruct) &&
         lateSymbol(l, "png_create_info_struct", c.createInfoStruct) &&
         lateSymbol(l, "png_destroy_write_struct", c.destroyWriteStruct) &&
         lateSymbol(l, "png_set_longjmp_fn", c.setLongjmpFn) && lateSymbol(l, "png_longjmp", c.longJump) &&
         lateSymbol(l, "png_init_io", c.initIo) && lateSymbol(l, "png_set_IHDR", c.setIhdr) &&
         lateSymbol(l, "png_set_filter", c.setFilter) &&
         lateSymbol(l, "png_set_compression_level", c.setCompressionLevel) &&
         lateSymbol(l, "png_set_compression_strategy", c.setCompressionStrategy) &&
         lateSymbol(l, "png_set_compression_mem_level", c.setCompressionMemLevel) &&
         lateSymbol(l, "png_write_info", c.writeInfo) && lateSymbol(l, "png_write_row", c.writeRow) &&
         lateSymbol(l, "png_write_end", c.writeEnd);
}

}  // namespace

const PngCalls* png() { return lateCalls<PngCalls>("libpng16.so.16", bindCalls); }

}  // namespace image
