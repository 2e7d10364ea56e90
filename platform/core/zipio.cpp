#include "platform/core/zipio.h"

#include "platform/core/wstdio.h"

namespace {

// minizip calls these through C function pointers: nothing may throw here.
voidpf ZCALLBACK openFile(voidpf, const char* name, int mode) noexcept {
  const char* how = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ? "rb"
                    : (mode & ZLIB_FILEFUNC_MODE_EXISTING)                                 ? "r+b"
                                                                                           : "wb";
  return name ? fopenDevice(name, how) : nullptr;
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buffer, uLong size) noexcept {
  return static_cast<uLong>(std::fread(buffer, 1, size, static_cast<FILE*>(stream)));
}

uLong ZCALLBACK writeFile(voidpf, voidpf stream, const void* buffer, uLong size) noexcept {
  return static_cast<uLong>(std::fwrite(buffer, 1, size, static_cast<FILE*>(stream)));
}

long ZCALLBACK tellFile(voidpf, voidpf stream) noexcept { return std::ftell(static_cast<FILE*>(stream)); }

long ZCALLBACK seekFile(voidpf, voidpf stream, uLong offset, int origin) noexcept {
  int whence = origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET;
  return std::fseek(static_cast<FILE*>(stream), static_cast<long>(offset), whence) == 0 ? 0 : -1;
}

int ZCALLBACK closeFile(voidpf, voidpf stream) noexcept { return std::fclose(static_cast<FILE*>(stream)); }

int ZCALLBACK errorFile(voidpf, voidpf stream) noexcept { return std::ferror(static_cast<FILE*>(stream)); }

}  // namespace

void fillDeviceFileFunctions(zlib_filefunc_def* functions) {
  functions->zopen_file = openFile;
  functions->zread_file = readFile;
  functions->zwrite_file = writeFile;
  functions->ztell_file = tellFile;
  functions->zseek_file = seekFile;
  functions->zclose_file = closeFile;
  functions->zerror_file = errorFile;
  functions->opaque = nullptr;
}

unzFile unzOpenDevice(const char* ansiPath) {
  zlib_filefunc_def functions;
  fillDeviceFileFunctions(&functions);
  return unzOpen2(ansiPath, &functions);
}
