#include "dom/namepool.h"

#include <cstdint>

namespace {

std::uint32_t hashInto(std::uint32_t h, WideStringView text) {
  for (char16_t c : text) h = h * 33u + c;
  return h;
}

bool holds(const PooledName& slot, WideStringView namespaceURI, WideStringView localName,
           WideStringView qualifiedName) {
  return slot.qualifiedName == qualifiedName && slot.namespaceURI == namespaceURI && slot.localName == localName;
}

// hash mod size, in 32 bits when the size allows (a narrower division).
std::size_t slotOf(std::uint32_t hash, std::size_t size) {
  if (size <= UINT32_MAX) return hash % static_cast<std::uint32_t>(size);
  return hash % size;
}

}  // namespace

NamePool::NamePool(std::size_t size) : m_size(size), m_slots(new PooledName[size]) {}

Ref<NamePool> NamePool::create(std::size_t size) {
  if (size == 0) return {};
  return Ref<NamePool>::adopt(new NamePool(size));
}

std::uint32_t NamePool::hash(WideStringView namespaceURI, WideStringView localName, WideStringView qualifiedName) {
  return hashInto(hashInto(hashInto(0, namespaceURI), localName), qualifiedName);
}

const PooledName* NamePool::intern(WideStringView namespaceURI, WideStringView localName,
                                   WideStringView qualifiedName) {
  std::size_t slot = slotOf(hash(namespaceURI, localName, qualifiedName), m_size);
  // size + 1 probes: the start slot is looked at again before giving up.
  for (std::size_t probe = 0; probe <= m_size; ++probe) {
    PooledName& entry = m_slots[slot];
    if (!entry.used) {
      entry.qualifiedName = qualifiedName;
      entry.namespaceURI = namespaceURI;
      entry.localName = localName;
      entry.used = true;
      ++m_usedCount;
      return &entry;
    }
    if (holds(entry, namespaceURI, localName, qualifiedName)) return &entry;
    slot = slot + 1 == m_size ? 0 : slot + 1;
  }
  return nullptr;
}
