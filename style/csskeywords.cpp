#include "style/csskeywords.h"

namespace css {
namespace {

// A perfect hash over the keyword table, built at compile time by hash and
// displace: the first hash picks a bucket, whose displacement seeds the second
// hash so that every keyword gets a slot of its own.
constexpr size_t kBucketCount = 64;
constexpr size_t kSlotCount = 256;

template <typename Text>
constexpr std::uint32_t keywordHash(const Text& text, std::uint32_t seed) {
  std::uint32_t h = 2166136261u ^ (seed * 16777619u);
  for (auto c : text) h = (h ^ static_cast<std::uint32_t>(c)) * 16777619u;
  return h ^ (h >> 15);
}

struct KeywordHashTable {
  std::array<std::uint16_t, kBucketCount> displacement{};
  std::array<std::uint8_t, kSlotCount> keywordAtSlot{};  // keyword id, 0 for a free slot
  bool complete = false;
};

constexpr bool placeBucket(KeywordHashTable& table, size_t bucket, std::uint16_t seed) {
  std::array<size_t, kKeywordNames.size()> placed{};
  size_t placedCount = 0;
  for (size_t i = 0; i < kKeywordNames.size(); ++i) {
    if (keywordHash(kKeywordNames[i], 0) % kBucketCount != bucket) continue;
    size_t slot = keywordHash(kKeywordNames[i], seed) % kSlotCount;
    bool taken = table.keywordAtSlot[slot] != 0;
    for (size_t p = 0; p < placedCount && !taken; ++p) taken = placed[p] == slot;
    if (taken) {
      for (size_t p = 0; p < placedCount; ++p) table.keywordAtSlot[placed[p]] = 0;
      return false;
    }
    table.keywordAtSlot[slot] = static_cast<std::uint8_t>(i + 1);
    placed[placedCount++] = slot;
  }
  table.displacement[bucket] = seed;
  return true;
}

constexpr KeywordHashTable buildKeywordHash() {
  KeywordHashTable table;
  std::array<size_t, kBucketCount> sizes{};
  for (std::string_view name : kKeywordNames) ++sizes[keywordHash(name, 0) % kBucketCount];
  // Largest buckets first, while most slots are free.
  for (size_t size = kKeywordNames.size(); size > 0; --size) {
    for (size_t bucket = 0; bucket < kBucketCount; ++bucket) {
      if (sizes[bucket] != size) continue;
      std::uint16_t seed = 1;
      while (!placeBucket(table, bucket, seed)) {
        if (++seed == 0) return table;
      }
    }
  }
  table.complete = true;
  return table;
}

constexpr KeywordHashTable kKeywordHash = buildKeywordHash();
static_assert(kKeywordHash.complete, "the keyword table has no perfect hash with these parameters");

}  // namespace

int keywordId(DomStringView text) {
  if (text.size() < kMinKeywordLength || text.size() > kMaxKeywordLength) return 0;
  for (char16_t c : text) {
    if (c >= 0x80) return 0;
  }
  size_t bucket = keywordHash(text, 0) % kBucketCount;
  size_t slot = keywordHash(text, kKeywordHash.displacement[bucket]) % kSlotCount;
  int id = kKeywordHash.keywordAtSlot[slot];
  if (id == 0) return 0;
  std::string_view name = kKeywordNames[id - 1];
  if (name.size() != text.size()) return 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (static_cast<char16_t>(name[i]) != text[i]) return 0;
  }
  return id;
}

std::string_view keywordName(int id) {
  if (id < 1 || id > static_cast<int>(kKeywordNames.size())) return {};
  return kKeywordNames[id - 1];
}

}  // namespace css
