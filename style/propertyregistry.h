#pragma once
// The process-wide registry of property names: each name an 8-bit key with a
// signed 32-bit id. The 113 static CSS properties hold ids 1-113; any other
// name (the SVG attributes "x", "fill", ...) is registered on first use with the
// next free id and keeps it for the life of the process. The declaration stores
// ids, so the painter reads properties without comparing strings.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "style/csstext.h"

class PropertyRegistry {
 public:
  static constexpr int kDefaultBucketCount = 67;
  static constexpr int kEngineBucketCount = 200;

  // A count below 1 gives the default.
  explicit PropertyRegistry(int bucketCount);
  ~PropertyRegistry();
  PropertyRegistry(const PropertyRegistry&) = delete;
  PropertyRegistry& operator=(const PropertyRegistry&) = delete;

  // The id of `name` (exact, case-sensitive), or 0 when it is not registered.
  std::int32_t lookup(DomStringView name) const;
  // Registers `name` with the next id (the number of records plus 1) and answers
  // it; a name that is already registered keeps and answers its id.
  std::int32_t registerName(DomStringView name);
  // lookup, registering the name when it is new.
  std::int32_t idOf(DomStringView name);

  // The registered name of `id`, empty when no record has that id.
  const DomString& nameOf(std::int32_t id) const;
  std::int32_t count() const { return static_cast<std::int32_t>(m_records.size()); }
  int bucketCount() const { return static_cast<int>(m_buckets.size()); }
  // The number of keys in the bucket a key hashes to (tests and diagnostics).
  size_t bucketLength(DomStringView name) const;

  // The 8-bit key of a name: ASCII as is, other characters as UTF-8, so that
  // distinct names never share a key.
  static std::string keyOf(DomStringView name);

 private:
  struct Record {
    DomString name;
    std::int32_t id;
  };
  struct Entry {
    std::string key;
    const Record* record;
    std::unique_ptr<Entry> next;
  };

  size_t bucketOf(std::string_view key) const;
  template <typename Units>
  size_t bucketOfUnits(const Units& key, char16_t* allUnits = nullptr) const;
  const Entry* find(std::string_view key) const;

  std::vector<std::unique_ptr<Entry>> m_buckets;
  std::vector<std::unique_ptr<Record>> m_records;  // in id order
};

// Engine start: makes the registry with 200 buckets and the static records
// 1-113. Calling it again keeps the registry that exists.
void makePropertyRegistry();
// The process-wide registry; made on first use if engine start has not run.
PropertyRegistry& propertyRegistry();
