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

// FNV-1a's multiply over the id and the text four units at a time, each
// step folding the high half down so that every unit reaches the slot's bits.
std::uint64_t ParsedStyleCache::hashOf(std::int32_t propertyId, DomStringView text) {
  constexpr std::uint64_t kPrime = 0x100000001b3;
  std::uint64_t hash = (0xcbf29ce484222325 ^ static_cast<std::uint32_t>(propertyId) ^ (text.size() << 32)) * kPrime;
  size_t i = 0;
  for (; i + 4 <= text.size(); i += 4) {
    std::uint64_t units;
    std::memcpy(&units, text.data() + i, sizeof units);
    hash = (hash ^ units) * kPrime;
    hash ^= hash >> 32;
  }
  for (; i < text.size(); ++i) hash = (hash ^ text[i]) * kPrime;
  return hash ^ (hash >> 32);
}

ParsedStyleCache::Slot& ParsedStyleCache::slotOf(std::uint64_t hash) {
  std::unique_ptr<Slot>& slot = m_slots[hash % kSlots];
  if (!slot) slot = std::make_unique<Slot>();
  return *slot;
}
