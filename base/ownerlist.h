#pragma once
// A list that owns what it holds, in the order added: the one place its
// entries are deleted. Walking it, and indexing it, give plain pointers.

#include <cstddef>
#include <memory>
#include <vector>

template <typename T>
class OwnerList {
 public:
  using Slots = std::vector<std::unique_ptr<T>>;

  class Iterator {
   public:
    explicit Iterator(typename Slots::const_iterator at) : m_at(at) {}
    T* operator*() const { return m_at->get(); }
    Iterator& operator++() {
      ++m_at;
      return *this;
    }
    bool operator==(const Iterator& other) const = default;

   private:
    typename Slots::const_iterator m_at;
  };

  OwnerList() = default;
  OwnerList(const OwnerList&) = delete;
  OwnerList& operator=(const OwnerList&) = delete;

  // Takes `item`; answers it as a plain pointer.
  T* add(std::unique_ptr<T> item) {
    m_items.push_back(std::move(item));
    return m_items.back().get();
  }
  // Hands `item` back to the caller (null when it is not here).
  std::unique_ptr<T> take(const T* item) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
      if (it->get() != item) continue;
      std::unique_ptr<T> taken = std::move(*it);
      m_items.erase(it);
      return taken;
    }
    return nullptr;
  }

  std::size_t count() const { return m_items.size(); }
  bool empty() const { return m_items.empty(); }
  T* operator[](std::size_t index) const { return index < m_items.size() ? m_items[index].get() : nullptr; }
  Iterator begin() const { return Iterator(m_items.begin()); }
  Iterator end() const { return Iterator(m_items.end()); }

 private:
  Slots m_items;
};
