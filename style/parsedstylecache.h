#pragma once
// What the texts of one document's presentation attributes gave when parsed.
// A skin repeats the same "style" text and the same fill, stroke or font on
// many elements, so each distinct text is parsed once and the values it made
// are shared by every declaration that takes it. A value never changes once
// made, and each declaration keeps its own list of entries, so a change to
// one element's style reaches no other.
//
// Owned by the document whose arena the values were carved from, and used
// only while its arena is the current one. Direct-mapped, so a document of
// distinct values (every element's "id") costs a bounded table: a text met
// for the first time is parsed on its own and only noted as seen; met again,
// it takes its slot, replacing what was kept there unless that was found
// again since it came, in which case it stays for one more try.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "style/cssparser.h"

class ParsedStyleCache {
 public:
  // What one text gave: whether it was accepted, and the properties it set in order.
  struct Parsed {
    bool accepted = false;
    CSSPropertyList properties;
  };
  // The id a whole "style" text is kept under; no property has it.
  static constexpr std::int32_t kStyleText = 0;

  ParsedStyleCache();
  ~ParsedStyleCache();
  ParsedStyleCache(const ParsedStyleCache&) = delete;
  ParsedStyleCache& operator=(const ParsedStyleCache&) = delete;

  // What `text` gave for `propertyId`: kept from an earlier call, or made by
  // `parse`, which appends to the list it is given and answers whether the
  // text was accepted. The answer lasts until the next call.
  template <typename Parse>
  const Parsed& parsed(std::int32_t propertyId, DomStringView text, Parse&& parse) {
    const std::uint64_t hash = hashOf(propertyId, text);
    Slot& slot = slotOf(hash);
    if (slot.holds(hash, propertyId, text)) {
      slot.foundAgain = true;
      return slot.parsed;
    }
    if (!seenBefore(hash) || slot.foundAgain) {
      slot.foundAgain = false;
      m_alone.properties.clear();
      m_alone.accepted = parse(m_alone.properties);
      return m_alone;
    }
    slot.forget();  // so that a parse that throws leaves nothing half kept
    slot.parsed.accepted = parse(slot.parsed.properties);
    slot.remember(hash, propertyId, text);
    return slot.parsed;
  }

 private:
  static constexpr std::size_t kSlots = 512;
  static constexpr std::int32_t kEmpty = -1;

  struct Slot {
    std::uint64_t hash = 0;
    std::int32_t propertyId = kEmpty;
    bool foundAgain = false;
    DomString text;
    Parsed parsed;

    bool holds(std::uint64_t h, std::int32_t id, DomStringView t) const {
      return hash == h && propertyId == id && text.size() == t.size() &&
             std::memcmp(text.data(), t.data(), t.size() * sizeof(char16_t)) == 0;
    }
    void forget();
    void remember(std::uint64_t h, std::int32_t id, DomStringView t);
  };

  static std::uint64_t hashOf(std::int32_t propertyId, DomStringView text);
  Slot& slotOf(std::uint64_t hash);
  // Whether a text of this hash was met before (rarely, one of another text);
  // notes it as met.
  bool seenBefore(std::uint64_t hash) {
    const std::uint64_t bit = std::uint64_t{1} << (hash >> 58);
    std::uint64_t& word = m_seen[(hash >> 32) % kSeenWords];
    const bool seen = (word & bit) != 0;
    word |= bit;
    return seen;
  }

  static constexpr std::size_t kSeenWords = 1024;  // 64K bits

  std::array<std::unique_ptr<Slot>, kSlots> m_slots;  // made when first used
  Parsed m_alone;                                     // what a text kept nowhere gave
  std::array<std::uint64_t, kSeenWords> m_seen{};
};
