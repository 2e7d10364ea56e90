#include "tests/support/zipwriter.h"

#include <minizip/zip.h>
#include <zlib.h>

namespace {

constexpr unsigned long kUnixHost = 3u << 8;
constexpr unsigned long kVersion = 20;

// The raw deflate stream of `data` (no zlib header), as zip entries hold it.
std::string rawDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

bool addEntry(zipFile zip, const ZipEntry& entry) {
  zip_fileinfo info{};
  unsigned long mode = entry.link ? 0120777 : 0100644;
  info.external_fa = mode << 16;
  bool raw = entry.declared.has_value();
  int method = entry.stored ? 0 : Z_DEFLATED;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(entry.content.data()), static_cast<uInt>(entry.content.size()));
  if (zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                              Z_DEFAULT_COMPRESSION, raw, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, entry.password, crc,
                              kUnixHost | kVersion, 0, entry.zip64) != ZIP_OK)
    return false;
  std::string body = raw && !entry.stored ? rawDeflate(entry.content) : entry.content;
  if (!body.empty() && zipWriteInFileInZip(zip, body.data(), static_cast<unsigned>(body.size())) != ZIP_OK)
    return false;
  if (!raw) return zipCloseFileInZip(zip) == ZIP_OK;
  return zipCloseFileInZipRaw(zip, *entry.declared, crc) == ZIP_OK;
}

}  // namespace

bool writeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries) {
  std::filesystem::create_directories(path.parent_path());
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const auto& entry : entries) ok = addEntry(zip, entry) && ok;
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}
