#include "style/parsedstylecache.h"

ParsedStyleCache::ParsedStyleCache() = default;

ParsedStyleCache::~ParsedStyleCache() = default;

void ParsedStyleCache::Slot::forget() {
  propertyId = kEmpty;
  foundAgain = false;
  parsed.accepted = false;
  parsed.properties.clear();
}

void ParsedStyleCache::Slot::remember(std::uint64_t h, std::int32_t id, DomStringView t) {
  text.assign(t);
  hash = h;
  propertyId = id;
}

namespace {

constexpr std::uint64_t kPrime = 0x100000001b3;

std::uint64_t mixed(std::uint64_t hash, const char16_t* units, std::size_t count) {
  for (; count >= 4; count -= 4, units += 4) {
    std::uint64_t four;
    std::memcpy(&four, units, sizeof four);
    hash = (hash ^ four) * kPrime;
    hash ^= hash >> 32;
  }
  for (; count > 0; --count, ++units) hash = (hash ^ *units) * kPrime;
  return hash;
}

}  // namespace

// FNV-1a's multiply over the id, the length and the text four units at a
// time, each step folding the high half down so that every unit reaches the
// slot's bits.
std::uint64_t ParsedStyleCache::hashOf(std::int32_t propertyId, DomStringView text) {
  const std::uint64_t seed = 0xcbf29ce484222325 ^ static_cast<std::uint32_t>(propertyId) ^ (text.size() << 32);
  const std::uint64_t hash = mixed(seed * kPrime, text.data(), text.size());
  return hash ^ (hash >> 32);
}

ParsedStyleCache::Slot& ParsedStyleCache::slotOf(std::uint64_t hash) {
  std::unique_ptr<Slot>& slot = m_slots[hash % kSlots];
  if (!slot) slot = std::make_unique<Slot>();
  return *slot;
}
