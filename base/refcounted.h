#pragma once
// Intrusive reference counting for the objects the system counts: a signed
// 32-bit count that starts at 1 (the creator's reference); release destroys the
// object when the count reaches zero or below.

#include <cstdint>
#include <utility>

class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  void addRef() { ++m_refCount; }
  void release() {
    if (--m_refCount <= 0) destroy();
  }
  std::int32_t refCount() const { return m_refCount; }

 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;
  virtual void destroy() { delete this; }

 private:
  std::int32_t m_refCount = 1;
};

// A handle holding one reference. `adopt` takes over a reference the caller
// already owns (a factory's initial one); the constructor from a raw pointer adds one.
template <typename T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* object) : m_object(object) {
    if (m_object) m_object->addRef();
  }
  static Ref adopt(T* object) {
    Ref ref;
    ref.m_object = object;
    return ref;
  }
  Ref(const Ref& other) : Ref(other.m_object) {}
  Ref(Ref&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~Ref() {
    if (m_object) m_object->release();
  }

  T* get() const { return m_object; }
  T* operator->() const { return m_object; }
  T& operator*() const { return *m_object; }
  explicit operator bool() const { return m_object != nullptr; }
  // Gives the reference to the caller.
  T* leak() { return std::exchange(m_object, nullptr); }

 private:
  T* m_object = nullptr;
};
