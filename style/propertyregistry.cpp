#include "style/propertyregistry.h"

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
size_t PropertyRegistry::bucketOf(std::string_view key) const {
  constexpr std::uint64_t kReduceAbove = std::uint64_t(1) << 60;
  const std::uint64_t count = m_buckets.size();
  std::uint64_t h = 0;
  for (unsigned char c : key) {
    h = 3 * h + c;
    if (h > kReduceAbove) h %= count;
  }
  return static_cast<size_t>(h % count);
}

namespace {

// The 8-bit key of a name, on the stack for the short ASCII names that every
// lookup while a skin loads asks for.
class KeyOf {
 public:
  explicit KeyOf(DomStringView name) {
    if (name.size() <= sizeof m_small) {
      size_t i = 0;
      for (; i < name.size() && name[i] < 0x80; ++i) m_small[i] = static_cast<char>(name[i]);
      if (i == name.size()) {
        m_view = std::string_view(m_small, i);
        return;
      }
    }
    m_large = PropertyRegistry::keyOf(name);
    m_view = m_large;
  }
  std::string_view view() const { return m_view; }

 private:
  char m_small[64];
  std::string m_large;
  std::string_view m_view;
};

}  // namespace

const PropertyRegistry::Entry* PropertyRegistry::find(std::string_view key) const {
  for (const Entry* entry = m_buckets[bucketOf(key)].get(); entry; entry = entry->next.get()) {
    if (entry->key == key) return entry;
  }
  return nullptr;
}

std::int32_t PropertyRegistry::lookup(DomStringView name) const {
  const Entry* entry = find(KeyOf(name).view());
  return entry ? entry->record->id : 0;
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
  for (const Entry* entry = m_buckets[bucketOf(KeyOf(name).view())].get(); entry; entry = entry->next.get()) ++length;
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
  makePropertyRegistry();
  return *registrySlot();
}
