// minizip reaches device files through the device's file functions.
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <string>

#include "platform/core/winbase.h"
#include "platform/core/zipio.h"
#include "tests/support/testdevice.h"

namespace {

// Writes a zip archive on the host with the given entries.
void writeZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  std::filesystem::create_directories(path.parent_path());
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& [name, content] : entries) {
    ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION),
              ZIP_OK);
    zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

}  // namespace

TEST(ZipOverDevice, OpensArchivesByDevicePath) {
  TestDevice device;
  std::string big(100000, 'b');
  writeZip(device.host("My Documents/Skins/Default.zskn"), {{"default.bskn", "<svg/>"}, {"big.png", big}});
  writeZip(device.outside("card/caf\xC3\xA9.zskn"), {{"x.bskn", "card"}});
  std::string error;
  ASSERT_TRUE(device.device().insertStorageCard(device.outside("card"), error));

  unzFile zip = unzOpenDevice("\\my documents\\skins\\DEFAULT.ZSKN");
  ASSERT_NE(zip, nullptr);
  std::vector<std::pair<std::string, std::string>> read;
  for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
    char name[256];
    unz_file_info info;
    ASSERT_EQ(unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
    ASSERT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
    std::string content;
    char block[2048];
    int n;
    while ((n = unzReadCurrentFile(zip, block, sizeof block)) > 0) content.append(block, static_cast<size_t>(n));
    unzCloseCurrentFile(zip);
    read.emplace_back(name, content);
  }
  unzClose(zip);
  EXPECT_EQ(read, (std::vector<std::pair<std::string, std::string>>{{"default.bskn", "<svg/>"}, {"big.png", big}}));

  // A narrow path is in the ANSI code page (1252: 0xE9 is "é").
  zlib_filefunc_def functions;
  fillDeviceFileFunctions(&functions);
  zip = unzOpen2("\\Storage Card\\caf\xE9.zskn", &functions);
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(unzGoToFirstFile(zip), UNZ_OK);
  unzClose(zip);

  for (const char* bad : {"\\My Documents\\missing.zskn", "\\..\\card\\caf\xE9.zskn", "\\My Documents"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(unzOpenDevice(bad), nullptr);
  }
  writeHostFile(device.host("My Documents/broken.zskn"), "PK but not really a zip archive");
  EXPECT_EQ(unzOpenDevice("\\My Documents\\broken.zskn"), nullptr);
}
