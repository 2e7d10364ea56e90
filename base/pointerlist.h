#pragma once
// The system's pointer list: an array of pointers with a count, first capacity
// 10, grown to capacity + capacity / 3 + 1 when one free slot is left, and always
// ending in a null entry so that it can be walked like a C array. It does not own
// what it points to.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

template <typename T>
class PointerList {
 public:
  static constexpr std::size_t kFirstCapacity = 10;

  PointerList() = default;
  PointerList(const PointerList&) = delete;
  PointerList& operator=(const PointerList&) = delete;
  PointerList(PointerList&& other) noexcept { swap(other); }
  PointerList& operator=(PointerList&& other) noexcept {
    swap(other);
    return *this;
  }
  ~PointerList() { std::free(m_items); }

  // Answers false (and changes nothing) when memory runs out.
  bool add(T* item) {
    if (!ensureRoom()) return false;
    m_items[m_count++] = item;
    m_items[m_count] = nullptr;
    return true;
  }

  // Removes the entry at `index`, keeping the order of the others.
  void removeAt(std::size_t index) {
    if (index >= m_count) return;
    std::memmove(m_items + index, m_items + index + 1, (m_count - index) * sizeof(T*));
    --m_count;
  }

  bool remove(T* item) {
    for (std::size_t i = 0; i < m_count; ++i) {
      if (m_items[i] == item) {
        removeAt(i);
        return true;
      }
    }
    return false;
  }

  void clear() {
    m_count = 0;
    if (m_items) m_items[0] = nullptr;
  }

  std::size_t count() const { return m_count; }
  std::size_t capacity() const { return m_capacity; }
  T* operator[](std::size_t index) const { return index < m_count ? m_items[index] : nullptr; }
  // The null-terminated array (null when nothing was ever added).
  T* const* data() const { return m_items; }
  T* const* begin() const { return m_items; }
  T* const* end() const { return m_items + m_count; }

 private:
  bool ensureRoom() {
    if (m_items && m_count + 1 < m_capacity) return true;
    std::size_t capacity = m_items ? m_capacity + m_capacity / 3 + 1 : kFirstCapacity;
    void* grown = std::realloc(m_items, capacity * sizeof(T*));
    if (!grown) return false;
    m_items = static_cast<T**>(grown);
    m_capacity = capacity;
    m_items[m_count] = nullptr;
    return true;
  }

  void swap(PointerList& other) noexcept {
    std::swap(m_items, other.m_items);
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
  }

  T** m_items = nullptr;
  std::size_t m_count = 0;
  std::size_t m_capacity = 0;
};
