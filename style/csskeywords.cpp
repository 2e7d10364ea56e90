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

constexpr size_t kKeywordCount = kKeywordNames.size();

// Keyword indices grouped by bucket: bucket b holds order[first[b]] to order[first[b + 1]].
struct BucketLayout {
  std::array<std::uint8_t, kKeywordCount> order{};
  std::array<size_t, kBucketCount + 1> first{};
};

constexpr BucketLayout layoutBuckets() {
  BucketLayout layout;
  std::array<size_t, kKeywordCount> bucketOf{};
  for (size_t i = 0; i < kKeywordCount; ++i) {
    bucketOf[i] = keywordHash(kKeywordNames[i], 0) % kBucketCount;
    ++layout.first[bucketOf[i] + 1];
  }
  for (size_t b = 0; b < kBucketCount; ++b) layout.first[b + 1] += layout.first[b];
  std::array<size_t, kBucketCount> next{};
  for (size_t i = 0; i < kKeywordCount; ++i) {
    layout.order[layout.first[bucketOf[i]] + next[bucketOf[i]]++] = static_cast<std::uint8_t>(i);
  }
  return layout;
}

constexpr bool placeBucket(KeywordHashTable& table, const BucketLayout& layout, size_t bucket, std::uint16_t seed) {
  size_t begin = layout.first[bucket], end = layout.first[bucket + 1];
  std::array<size_t, kKeywordCount> placed{};
  size_t placedCount = 0;
  for (size_t k = begin; k < end; ++k) {
    size_t keyword = layout.order[k];
    size_t slot = keywordHash(kKeywordNames[keyword], seed) % kSlotCount;
    if (table.keywordAtSlot[slot] != 0) {
      for (size_t p = 0; p < placedCount; ++p) table.keywordAtSlot[placed[p]] = 0;
      return false;
    }
    table.keywordAtSlot[slot] = static_cast<std::uint8_t>(keyword + 1);
    placed[placedCount++] = slot;
  }
  table.displacement[bucket] = seed;
  return true;
}

constexpr KeywordHashTable buildKeywordHash() {
  KeywordHashTable table;
  BucketLayout layout = layoutBuckets();
  // Largest buckets first, while most slots are free.
  for (size_t size = kKeywordCount; size > 0; --size) {
    for (size_t bucket = 0; bucket < kBucketCount; ++bucket) {
      if (layout.first[bucket + 1] - layout.first[bucket] != size) continue;
      std::uint16_t seed = 1;
      while (!placeBucket(table, layout, bucket, seed)) {
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

int keywordIdIgnoringCase(DomStringView text) {
  if (text.size() < kMinKeywordLength || text.size() > kMaxKeywordLength) return 0;
  char16_t lower[kMaxKeywordLength];
  for (size_t i = 0; i < text.size(); ++i) lower[i] = toLower(text[i]);
  return keywordId(DomStringView(lower, text.size()));
}

std::string_view keywordName(int id) {
  if (id < 1 || id > static_cast<int>(kKeywordNames.size())) return {};
  return kKeywordNames[id - 1];
}

}  // namespace css
