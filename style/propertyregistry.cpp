#include "style/propertyregistry.h"

#include <cstdint>
#include <type_traits>

#include "style/cssproperties.h"

PropertyRegistry::PropertyRegistry(int bucketCount)
    : m_buckets(static_cast<size_t>(bucketCount < 1 ? kDefaultBucketCount : bucketCount)) {}

PropertyRegistry::~PropertyRegistry() {
  // Unlink iteratively: a long bucket must not recurse through its destructors.
  for (auto& head : m_buckets) {
    while (head) head = std::move(head->next);
  }
}

std::string PropertyRegistry::keyOf(DomStringView name) {
  std::string key;
  key.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    }
    if (c < 0x80) {
      key.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      key.push_back(static_cast<char>(0xC0 | (c >> 6)));
      key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      key.push_back(static_cast<char>(0xE0 | (c >> 12)));
      key.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      key.push_back(static_cast<char>(0xF0 | (c >> 18)));
      key.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      key.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return key;
}

// (3h + c) mod n taken once at the end and whenever h grows large gives the
// same bucket as reducing after every byte.
// The units of an ASCII name are the bytes of its key, so both hash alike.
// `allUnits`, when given, gathers every unit ORed together.
template <typename Units>
size_t PropertyRegistry::bucketOfUnits(const Units& key, char16_t* allUnits) const {
  constexpr std::uint64_t kReduceAbove = std::uint64_t(1) << 60;
  const std::uint64_t count = m_buckets.size();
  std::uint64_t h = 0;
  std::make_unsigned_t<typename Units::value_type> all = 0;
  for (auto unit : key) {
    const auto value = static_cast<std::make_unsigned_t<decltype(unit)>>(unit);
    all |= value;
    h = 3 * h + value;
    if (h > kReduceAbove) h %= count;
  }
  if (allUnits) *allUnits = all;
  // A narrower division when both fit in 32 bits, as they do for short names.
  if (h <= UINT32_MAX && count <= UINT32_MAX) return static_cast<std::uint32_t>(h) % static_cast<std::uint32_t>(count);
  return static_cast<size_t>(h % count);
}

size_t PropertyRegistry::bucketOf(std::string_view key) const { return bucketOfUnits(key); }

const PropertyRegistry::Entry* PropertyRegistry::find(std::string_view key) const {
  for (const Entry* entry = m_buckets[bucketOf(key)].get(); entry; entry = entry->next.get()) {
    if (entry->key == key) return entry;
  }
  return nullptr;
}

namespace {

bool sameKey(std::string_view key, DomStringView asciiName) {
  if (key.size() != asciiName.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (static_cast<unsigned char>(key[i]) != asciiName[i]) return false;
  return true;
}

}  // namespace

// An ASCII name (every name a skin uses) is looked up as its own key, without
// making the key first; one walk over it both hashes it and finds whether it is
// ASCII.
std::int32_t PropertyRegistry::lookup(DomStringView name) const {
  char16_t allUnits = 0;
  const size_t bucket = bucketOfUnits(name, &allUnits);
  if (allUnits >= 0x80) {
    const Entry* entry = find(keyOf(name));
    return entry ? entry->record->id : 0;
  }
  for (const Entry* entry = m_buckets[bucket].get(); entry; entry = entry->next.get()) {
    if (sameKey(entry->key, name)) return entry->record->id;
  }
  return 0;
}

std::int32_t PropertyRegistry::registerName(DomStringView name) {
  std::string key = keyOf(name);
  if (const Entry* existing = find(key)) return existing->record->id;
  auto record = std::make_unique<Record>(Record{DomString(name), count() + 1});
  auto& head = m_buckets[bucketOf(key)];
  head = std::make_unique<Entry>(Entry{std::move(key), record.get(), std::move(head)});
  m_records.push_back(std::move(record));
  return m_records.back()->id;
}

std::int32_t PropertyRegistry::idOf(DomStringView name) {
  std::int32_t id = lookup(name);
  return id ? id : registerName(name);
}

const DomString& PropertyRegistry::nameOf(std::int32_t id) const {
  static const DomString kNoName;
  return id >= 1 && id <= count() ? m_records[id - 1]->name : kNoName;
}

size_t PropertyRegistry::bucketLength(DomStringView name) const {
  size_t length = 0;
  for (const Entry* entry = m_buckets[bucketOf(keyOf(name))].get(); entry; entry = entry->next.get()) ++length;
  return length;
}

namespace {

std::unique_ptr<PropertyRegistry>& registrySlot() {
  static std::unique_ptr<PropertyRegistry> registry;
  return registry;
}

}  // namespace

void makePropertyRegistry() {
  auto& registry = registrySlot();
  if (registry) return;
  registry = std::make_unique<PropertyRegistry>(PropertyRegistry::kEngineBucketCount);
  for (std::string_view name : css::kStaticPropertyNames) registry->registerName(toWide(name));
}

PropertyRegistry& propertyRegistry() {
  auto& registry = registrySlot();
  if (!registry) makePropertyRegistry();
  return *registry;
}
