#include "fuzz/fuzzentries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { return fuzzCopyData(data, size); }
