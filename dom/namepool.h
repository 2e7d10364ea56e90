#pragma once
// Interned element and attribute names. Each document interns its names in a
// NamePool (its own, or one shared with other documents), so a node stores one
// pointer to a PooledName instead of three strings. The pool is a fixed-size
// open-addressing table; entries are never removed, so a PooledName stays put
// for the pool's whole life.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/refcounted.h"
#include "dom/domstring.h"

struct PooledName {
  DomString qualifiedName;
  DomString namespaceURI;
  DomString localName;
  // The style engine's property id of qualifiedName, kept by the first
  // element that looks it up (0 until then): a name's id never changes.
  mutable std::int32_t propertyId = 0;
  // What the element classes of a richer document make of the name as an
  // attribute (their own numbering), kept by the first element that asks
  // (-1 until then).
  mutable std::int8_t attributeKind = -1;
  bool used = false;
};

class NamePool : public RefCounted {
 public:
  static constexpr std::size_t kDocumentPoolSize = 251;

  static Ref<NamePool> create(std::size_t size = kDocumentPoolSize);

  // The entry for the three strings, filled on first request; none when the
  // table is full.
  const PooledName* intern(WideStringView namespaceURI, WideStringView localName, WideStringView qualifiedName);

  std::size_t size() const { return m_size; }
  std::size_t usedCount() const { return m_usedCount; }

  // h = h * 33 + c over the namespace URI, the local name, then the qualified name.
  static std::uint32_t hash(WideStringView namespaceURI, WideStringView localName, WideStringView qualifiedName);

 private:
  explicit NamePool(std::size_t size);

  std::size_t m_size;
  std::size_t m_usedCount = 0;
  std::unique_ptr<PooledName[]> m_slots;
};
