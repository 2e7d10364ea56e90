// Reading a picture file by its device path.

#include <string>
#include <vector>

#include "platform/core/wintypes.h"

namespace image {

bool readPictureFile(const char*, const std::u16string&, std::vector<BYTE>&) { return false; }

}  // namespace image
