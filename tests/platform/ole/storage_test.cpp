#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "base/widestring.h"
#include "platform/ole/comptr.h"
#include "platform/ole/docfile.h"
#include "tests/support/tempdir.h"

namespace {

constexpr DWORD kTempMode = STGM_DELETEONRELEASE | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kElementMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr CLSID kClass = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Reads a compound file back the way any reader of the published layout
// would: header, FAT, directory, mini stream; streams by path.
class CompoundFileReader {
 public:
  explicit CompoundFileReader(std::string bytes) : m_bytes(std::move(bytes)) {}

  bool valid() const {
    return m_bytes.size() >= 512 && m_bytes.size() % 512 == 0 &&
           m_bytes.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") == 0 && u16(0x1A) == 3 && u16(0x1C) == 0xFFFE &&
           u16(0x1E) == 9 && u16(0x20) == 6;
  }

  // Every element as "path" -> contents ("" for storages), and their classes.
  std::map<std::string, std::string> elements() {
    std::map<std::string, std::string> out;
    std::string directory = chain(u32(0x30));
    walk(directory, entryAt(directory, 0).child, "", out);
    return out;
  }
  GUID rootClass() {
    std::string directory = chain(u32(0x30));
    GUID g;
    std::memcpy(&g, directory.data() + 80, 16);
    return g;
  }

 private:
  struct Entry {
    std::string name;
    int type;
    std::uint32_t left, right, child, start, size;
  };

  std::uint32_t u32(size_t at) const {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<BYTE>(m_bytes[at + i]);
    return v;
  }
  std::uint16_t u16(size_t at) const {
    return static_cast<std::uint16_t>(static_cast<BYTE>(m_bytes[at]) | static_cast<BYTE>(m_bytes[at + 1]) << 8);
  }
  std::uint32_t fat(std::uint32_t sector) const {
    std::uint32_t fatSector = u32(0x4C + 4 * (sector / 128));
    return u32(512 + 512 * size_t{fatSector} + 4 * (sector % 128));
  }
  std::string chain(std::uint32_t sector) const {
    std::string out;
    for (int guard = 0; sector < 0xFFFFFFFA && guard < 100000; ++guard) {
      out += m_bytes.substr(512 + 512 * size_t{sector}, 512);
      sector = fat(sector);
    }
    return out;
  }
  static Entry entryAt(const std::string& directory, std::uint32_t id) {
    Entry e;
    const char* p = directory.data() + 128 * size_t{id};
    auto get32 = [&](int at) {
      std::uint32_t v = 0;
      for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<BYTE>(p[at + i]);
      return v;
    };
    int length = (static_cast<BYTE>(p[64]) | static_cast<BYTE>(p[65]) << 8) / 2 - 1;
    for (int i = 0; i < length; ++i) e.name += p[2 * i];
    e.type = p[66];
    e.left = get32(68);
    e.right = get32(72);
    e.child = get32(76);
    e.start = get32(116);
    e.size = get32(120);
    return e;
  }
  std::string contents(const std::string& directory, const Entry& e) {
    if (e.size >= 4096) return chain(e.start).substr(0, e.size);
    Entry root = entryAt(directory, 0);
    std::string mini = chain(root.start);
    std::string miniFat = chain(u32(0x3C));
    std::string out;
    for (std::uint32_t s = e.start; s < 0xFFFFFFFA && out.size() < e.size;) {
      out += mini.substr(64 * size_t{s}, 64);
      std::uint32_t next = 0;
      for (int i = 3; i >= 0; --i) next = next << 8 | static_cast<BYTE>(miniFat[4 * size_t{s} + i]);
      s = next;
    }
    return out.substr(0, e.size);
  }
  void walk(const std::string& directory, std::uint32_t id, const std::string& prefix,
            std::map<std::string, std::string>& out) {
    if (id == 0xFFFFFFFF) return;
    Entry e = entryAt(directory, id);
    walk(directory, e.left, prefix, out);
    std::string path = prefix + e.name;
    if (e.type == 2) {
      out[path] = contents(directory, e);
    } else {
      out[path] = "";
      walk(directory, e.child, path + "/", out);
    }
    walk(directory, e.right, prefix, out);
  }

  std::string m_bytes;
};

ComPtr<IStream> createStream(IStorage* storage, const char16_t* name, const std::string& data) {
  ComPtr<IStream> stream;
  EXPECT_EQ(storage->CreateStream(name, kElementMode, 0, 0, stream.put()), S_OK);
  if (!stream) return stream;
  ULONG written = 0;
  EXPECT_EQ(stream->Write(data.data(), static_cast<ULONG>(data.size()), &written), S_OK);
  EXPECT_EQ(written, data.size());
  return stream;
}

TEST(Storage, CommitWritesACompoundFileOthersCanRead) {
  TempDir dir;
  std::string path = (dir / "doc.tmp").string();
  ComPtr<IStorage> root;
  ASSERT_EQ(
      createDocfileAtHostPath(path, u"\\doc.tmp", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, root.put()),
      S_OK);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(CompoundFileReader(readHostFile(path)).valid());  // a valid empty file from the start

  std::string small = "movie state";
  std::string large(10000, 'x');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>('a' + i % 26);
  std::string exactlyCutoff(4096, 'c');
  createStream(root.get(), u"Contents", small);
  createStream(root.get(), u"Big", large);
  createStream(root.get(), u"Cutoff", exactlyCutoff);
  createStream(root.get(), u"Empty", "");
  ComPtr<IStorage> sub;
  ASSERT_EQ(root->CreateStorage(u"Objects", kElementMode, 0, 0, sub.put()), S_OK);
  createStream(sub.get(), u"Inner", "inside");
  for (int i = 0; i < 12; ++i)
    createStream(sub.get(), toWide("S" + std::to_string(i)).c_str(), std::string(70 * i, 'q'));
  ASSERT_EQ(WriteClassStg(root.get(), kClass), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);

  CompoundFileReader reader(readHostFile(path));
  ASSERT_TRUE(reader.valid());
  auto elements = reader.elements();
  EXPECT_EQ(elements["Contents"], small);
  EXPECT_EQ(elements["Big"], large);
  EXPECT_EQ(elements["Cutoff"], exactlyCutoff);
  EXPECT_TRUE(elements.count("Empty"));
  EXPECT_TRUE(elements.count("Objects"));
  EXPECT_EQ(elements["Objects/Inner"], "inside");
  for (int i = 0; i < 12; ++i) EXPECT_EQ(elements["Objects/S" + std::to_string(i)], std::string(70 * i, 'q')) << i;
  EXPECT_EQ(elements.size(), 5u + 1 + 12);
  EXPECT_TRUE(IsEqualGUID(reader.rootClass(), kClass));

  CLSID back{};
  EXPECT_EQ(ReadClassStg(root.get(), &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, kClass));
}

TEST(Storage, DeleteOnReleaseRemovesTheFileWithTheLastReference) {
  TempDir dir;
  std::string path = (dir / "DocTmpFile200311.tmp").string();
  ComPtr<IStorage> root;
  ASSERT_EQ(createDocfileAtHostPath(path, u"DocTmpFile200311.tmp", kTempMode, root.put()), S_OK);
  ComPtr<IStream> stream = createStream(root.get(), u"Contents", "abc");
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  root.reset();
  EXPECT_TRUE(std::filesystem::exists(path));  // the open stream still holds the file
  stream.reset();
  EXPECT_FALSE(std::filesystem::exists(path));

  ComPtr<IStorage> kept;
  std::string keptPath = (dir / "kept.stg").string();
  ASSERT_EQ(
      createDocfileAtHostPath(keptPath, u"kept.stg", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, kept.put()),
      S_OK);
  createStream(kept.get(), u"Data", "written on release");
  kept.reset();
  ASSERT_TRUE(std::filesystem::exists(keptPath));
  EXPECT_EQ(CompoundFileReader(readHostFile(keptPath)).elements()["Data"], "written on release");
}

TEST(Storage, CreationFollowsItsModes) {
  TempDir dir;
  std::string path = (dir / "a.stg").string();
  ComPtr<IStorage> first;
  ASSERT_EQ(createDocfileAtHostPath(path, u"a", kTempMode, first.put()), S_OK);
  ComPtr<IStorage> second;
  EXPECT_EQ(createDocfileAtHostPath(path, u"a", kTempMode, second.put()), STG_E_SHAREVIOLATION);  // in use
  EXPECT_EQ(second.get(), nullptr);
  first.reset();

  writeHostFile(dir / "b.stg", "existing");
  EXPECT_EQ(
      createDocfileAtHostPath((dir / "b.stg").string(), u"b", STGM_SHARE_EXCLUSIVE | STGM_READWRITE, second.put()),
      STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(readHostFile(dir / "b.stg"), "existing");  // untouched
  EXPECT_EQ(createDocfileAtHostPath((dir / "no/such/c.stg").string(), u"c", kTempMode, second.put()),
            STG_E_PATHNOTFOUND);
  EXPECT_EQ(createDocfileAtHostPath((dir / "d.stg").string(), u"d", STGM_READ | STGM_CREATE, second.put()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(createDocfileAtHostPath((dir / "d.stg").string(), u"d", kTempMode | STGM_TRANSACTED, second.put()),
            STG_E_INVALIDFLAG);
  EXPECT_FALSE(std::filesystem::exists(dir / "d.stg"));
}

TEST(Storage, ElementsFollowTheirRules) {
  TempDir dir;
  ComPtr<IStorage> root;
  ASSERT_EQ(createDocfileAtHostPath((dir / "e.stg").string(), u"e", kTempMode, root.put()), S_OK);
  ComPtr<IStream> s;
  const DWORD exclusive = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
  EXPECT_EQ(root->CreateStream(u"0123456789012345678901234567890", exclusive, 0, 0, s.put()), S_OK);  // 31 characters
  EXPECT_EQ(root->CreateStream(u"01234567890123456789012345678901", exclusive, 0, 0, s.put()), STG_E_INVALIDNAME);
  EXPECT_EQ(root->CreateStream(u"a/b", exclusive, 0, 0, s.put()), STG_E_INVALIDNAME);
  EXPECT_EQ(root->CreateStream(u"", exclusive, 0, 0, s.put()), STG_E_INVALIDNAME);
  EXPECT_EQ(root->CreateStream(u"x", STGM_SHARE_DENY_NONE | STGM_READWRITE, 0, 0, s.put()), STG_E_INVALIDFLAG);

  ComPtr<IStream> data = createStream(root.get(), u"Data", "12345");
  EXPECT_EQ(root->CreateStream(u"DATA", exclusive, 0, 0, s.put()), STG_E_FILEALREADYEXISTS);  // names ignore case
  EXPECT_EQ(root->OpenStream(u"data", nullptr, exclusive, 0, s.put()), STG_E_ACCESSDENIED);   // open already
  data.reset();
  ASSERT_EQ(root->OpenStream(u"data", nullptr, STGM_SHARE_EXCLUSIVE | STGM_READ, 0, s.put()), S_OK);
  char buffer[16] = {};
  ULONG read = 0;
  ASSERT_EQ(s->Read(buffer, sizeof buffer, &read), S_OK);
  EXPECT_EQ(std::string(buffer, read), "12345");
  ULONG written = 7;
  EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);  // opened for reading
  EXPECT_EQ(written, 0u);
  LARGE_INTEGER back{};
  back.QuadPart = -2;
  ULARGE_INTEGER at{};
  ASSERT_EQ(s->Seek(back, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 3u);
  ASSERT_EQ(s->Read(buffer, sizeof buffer, &read), S_OK);
  EXPECT_EQ(std::string(buffer, read), "45");
  back.QuadPart = -10;
  EXPECT_EQ(s->Seek(back, STREAM_SEEK_CUR, &at), STG_E_INVALIDFUNCTION);
  STATSTG stat{};
  ASSERT_EQ(s->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(WideString(stat.pwcsName), u"Data");
  EXPECT_EQ(stat.cbSize.QuadPart, 5u);
  CoTaskMemFree(stat.pwcsName);

  EXPECT_EQ(root->DestroyElement(u"Data"), S_OK);
  EXPECT_EQ(s->Read(buffer, sizeof buffer, &read), STG_E_REVERTED);  // its element is gone
  EXPECT_EQ(root->OpenStream(u"Data", nullptr, exclusive, 0, s.put()), STG_E_FILENOTFOUND);
  EXPECT_EQ(root->DestroyElement(u"Data"), STG_E_FILENOTFOUND);

  ComPtr<IStream> renamed = createStream(root.get(), u"Old", "r");
  EXPECT_EQ(root->RenameElement(u"Old", u"New"), STG_E_ACCESSDENIED);  // open
  renamed.reset();
  EXPECT_EQ(root->RenameElement(u"Old", u"New"), S_OK);
  EXPECT_EQ(root->OpenStream(u"New", nullptr, exclusive, 0, s.put()), S_OK);
  ComPtr<IStorage> wrongType;
  EXPECT_EQ(root->OpenStorage(u"New", nullptr, exclusive, nullptr, 0, wrongType.put()), STG_E_FILENOTFOUND);
}

}  // namespace
