// Writing a storage tree as a compound file.

#include "platform/ole/compoundfile.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/core/wcrt.h"

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kEntrySize = 128;
constexpr std::uint32_t kIdsPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderFatSlots = 109;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

enum EntryType : BYTE { kEntryStorage = 1, kEntryStream = 2, kEntryRoot = 5 };
enum Colour : BYTE { kRed = 0, kBlack = 1 };

struct Entry {
  const StorageElement* element;
  BYTE type;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  BYTE colour = kBlack;
  std::uint32_t start = kEndOfChain;
  std::uint32_t size = 0;
};

void put16(std::vector<BYTE>& b, size_t at, std::uint16_t v) {
  b[at] = static_cast<BYTE>(v);
  b[at + 1] = static_cast<BYTE>(v >> 8);
}
void put32(std::vector<BYTE>& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
}
void putGuid(std::vector<BYTE>& b, size_t at, const GUID& g) {
  put32(b, at, g.Data1);
  put16(b, at + 4, g.Data2);
  put16(b, at + 6, g.Data3);
  std::memcpy(&b[at + 8], g.Data4, 8);
}
void putTime(std::vector<BYTE>& b, size_t at, const FILETIME& t) {
  put32(b, at, t.dwLowDateTime);
  put32(b, at + 4, t.dwHighDateTime);
}

std::uint32_t sectorsFor(std::uint64_t bytes, std::uint32_t unit) {
  return static_cast<std::uint32_t>((bytes + unit - 1) / unit);
}

class Writer {
 public:
  explicit Writer(const StorageElement& root) { m_entries.push_back({&root, kEntryRoot}); }

  bool write(std::vector<BYTE>& out) {
    collect(0);
    layOutMiniStream();
    if (!layOutSectors()) return false;
    out.assign(kSectorSize * (1 + static_cast<size_t>(m_sectorCount)), 0);
    writeHeader(out);
    writeDirectory(out);
    writeChains(out);
    writeStreams(out);
    return true;
  }

 private:
  // Gives every element an entry and links each storage's children as a
  // balanced binary tree in name order, coloured so that it is a valid
  // red-black tree (only the deepest, incomplete level red).
  void collect(std::uint32_t parent) {
    const StorageElement* element = m_entries[parent].element;
    std::vector<std::uint32_t> ids;
    for (const auto& child : element->children) {
      if (child->destroyed) continue;
      ids.push_back(static_cast<std::uint32_t>(m_entries.size()));
      m_entries.push_back({child.get(), child->type == STGTY_STREAM ? BYTE(kEntryStream) : BYTE(kEntryStorage)});
    }
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
      return compareElementNames(m_entries[a].element->name, m_entries[b].element->name) < 0;
    });
    int depth = 0;
    while ((size_t{1} << (depth + 1)) - 1 < ids.size()) ++depth;
    bool perfect = ids.size() == (size_t{1} << (depth + 1)) - 1;
    m_entries[parent].child = link(ids, 0, ids.size(), 0, perfect ? -1 : depth);
    for (std::uint32_t id : ids)
      if (m_entries[id].type == kEntryStorage) collect(id);
  }

  std::uint32_t link(const std::vector<std::uint32_t>& ids, size_t from, size_t to, int depth, int redDepth) {
    if (from >= to) return kNoStream;
    size_t middle = from + (to - from) / 2;
    Entry& e = m_entries[ids[middle]];
    e.colour = depth == redDepth && depth > 0 ? kRed : kBlack;
    std::uint32_t left = link(ids, from, middle, depth + 1, redDepth);
    std::uint32_t right = link(ids, middle + 1, to, depth + 1, redDepth);
    m_entries[ids[middle]].left = left;
    m_entries[ids[middle]].right = right;
    return ids[middle];
  }

  bool isSmall(const Entry& e) const {
    return e.type == kEntryStream && !e.element->data.empty() && e.element->data.size() < kMiniStreamCutoff;
  }
  bool isLarge(const Entry& e) const { return e.type == kEntryStream && e.element->data.size() >= kMiniStreamCutoff; }

  void layOutMiniStream() {
    for (Entry& e : m_entries) {
      if (e.type == kEntryStream) e.size = static_cast<std::uint32_t>(e.element->data.size());
      if (!isSmall(e)) continue;
      std::uint32_t count = sectorsFor(e.size, kMiniSectorSize);
      e.start = static_cast<std::uint32_t>(m_miniFat.size());
      for (std::uint32_t i = 0; i < count; ++i) m_miniFat.push_back(i + 1 < count ? e.start + i + 1 : kEndOfChain);
    }
  }

  // Sector order: directory, mini FAT, mini stream, large streams, FAT.
  bool layOutSectors() {
    for (const Entry& e : m_entries)
      if (e.element->data.size() > 0xFFFFFFFFu - kSectorSize) return false;
    std::uint32_t next = 0;
    auto chain = [&](std::uint32_t count) {
      std::uint32_t start = count ? next : kEndOfChain;
      for (std::uint32_t i = 0; i < count; ++i) m_fat.push_back(i + 1 < count ? next + i + 1 : kEndOfChain);
      next += count;
      return start;
    };
    m_directoryStart = chain(sectorsFor(m_entries.size() * std::uint64_t{kEntrySize}, kSectorSize));
    m_miniFatCount = sectorsFor(m_miniFat.size() * std::uint64_t{4}, kSectorSize);
    m_miniFatStart = chain(m_miniFatCount);
    std::uint64_t miniStreamBytes = m_miniFat.size() * std::uint64_t{kMiniSectorSize};
    m_entries[0].start = chain(sectorsFor(miniStreamBytes, kSectorSize));
    m_entries[0].size = static_cast<std::uint32_t>(miniStreamBytes);
    for (Entry& e : m_entries)
      if (isLarge(e)) e.start = chain(sectorsFor(e.size, kSectorSize));
    std::uint32_t fatCount = 1;
    while (static_cast<std::uint64_t>(next) + fatCount > std::uint64_t{fatCount} * kIdsPerSector) ++fatCount;
    if (fatCount > kHeaderFatSlots) return false;
    m_fatStart = next;
    for (std::uint32_t i = 0; i < fatCount; ++i) m_fat.push_back(kFatSector);
    m_fatCount = fatCount;
    m_sectorCount = next + fatCount;
    return true;
  }

  static size_t offsetOf(std::uint32_t sector) { return kSectorSize * (1 + static_cast<size_t>(sector)); }

  void writeHeader(std::vector<BYTE>& out) {
    static constexpr BYTE kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(out.data(), kSignature, 8);
    put16(out, 0x18, 0x003E);  // minor version
    put16(out, 0x1A, 0x0003);  // major version: 512-byte sectors
    put16(out, 0x1C, 0xFFFE);  // little-endian
    put16(out, 0x1E, 9);       // sector shift
    put16(out, 0x20, 6);       // mini sector shift
    put32(out, 0x2C, m_fatCount);
    put32(out, 0x30, m_directoryStart);
    put32(out, 0x38, kMiniStreamCutoff);
    put32(out, 0x3C, m_miniFatCount ? m_miniFatStart : kEndOfChain);
    put32(out, 0x40, m_miniFatCount);
    put32(out, 0x44, kEndOfChain);  // no DIFAT sectors
    for (std::uint32_t i = 0; i < kHeaderFatSlots; ++i)
      put32(out, 0x4C + 4 * i, i < m_fatCount ? m_fatStart + i : kFreeSector);
  }

  void writeDirectory(std::vector<BYTE>& out) {
    size_t base = offsetOf(m_directoryStart);
    size_t slots = sectorsFor(m_entries.size() * std::uint64_t{kEntrySize}, kSectorSize) * (kSectorSize / kEntrySize);
    for (size_t i = 0; i < slots; ++i) {
      size_t at = base + i * kEntrySize;
      if (i >= m_entries.size()) {
        put32(out, at + 68, kNoStream);
        put32(out, at + 72, kNoStream);
        put32(out, at + 76, kNoStream);
        continue;
      }
      const Entry& e = m_entries[i];
      const std::u16string name = e.type == kEntryRoot ? u"Root Entry" : e.element->name;
      for (size_t c = 0; c < name.size() && c < 31; ++c) put16(out, at + 2 * c, name[c]);
      put16(out, at + 64, static_cast<std::uint16_t>((std::min<size_t>(name.size(), 31) + 1) * 2));
      out[at + 66] = e.type;
      out[at + 67] = e.colour;
      put32(out, at + 68, e.left);
      put32(out, at + 72, e.right);
      put32(out, at + 76, e.child);
      if (e.type != kEntryStream) putGuid(out, at + 80, e.element->clsid);
      put32(out, at + 96, e.element->stateBits);
      if (e.type == kEntryStorage) {
        putTime(out, at + 100, e.element->created);
        putTime(out, at + 108, e.element->modified);
      }
      put32(out, at + 116, e.type == kEntryStorage ? 0 : e.start);
      put32(out, at + 120, e.type == kEntryStorage ? 0 : e.size);
    }
  }

  void writeChains(std::vector<BYTE>& out) {
    for (size_t i = 0; i < m_fatCount * size_t{kIdsPerSector}; ++i)
      put32(out, offsetOf(m_fatStart) + 4 * i, i < m_fat.size() ? m_fat[i] : kFreeSector);
    for (size_t i = 0; i < m_miniFatCount * size_t{kIdsPerSector}; ++i)
      put32(out, offsetOf(m_miniFatStart) + 4 * i, i < m_miniFat.size() ? m_miniFat[i] : kFreeSector);
  }

  void writeStreams(std::vector<BYTE>& out) {
    for (const Entry& e : m_entries) {
      if (e.type != kEntryStream || e.element->data.empty()) continue;
      size_t at = isSmall(e) ? offsetOf(m_entries[0].start) + size_t{e.start} * kMiniSectorSize : offsetOf(e.start);
      std::memcpy(&out[at], e.element->data.data(), e.element->data.size());
    }
  }

  std::vector<Entry> m_entries;
  std::vector<std::uint32_t> m_fat;
  std::vector<std::uint32_t> m_miniFat;
  std::uint32_t m_directoryStart = kEndOfChain;
  std::uint32_t m_miniFatStart = kEndOfChain;
  std::uint32_t m_miniFatCount = 0;
  std::uint32_t m_fatStart = 0;
  std::uint32_t m_fatCount = 0;
  std::uint32_t m_sectorCount = 0;
};

}  // namespace

int compareElementNames(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    WCHAR x = towupperW(a[i]), y = towupperW(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool writeCompoundFile(const StorageElement& root, std::vector<BYTE>& out) { return Writer(root).write(out); }
