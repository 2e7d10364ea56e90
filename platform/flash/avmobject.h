#pragma once
// Objects of the movie script machine: named properties in the order they
// were made, a prototype link, and the kinds with their own state (functions,
// arrays, wrappers of primitives, movie clips). The heap owns every object;
// values and other objects point at them, and unreachable ones are swept
// between frames.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/flash/avmvalue.h"

namespace swf::avm {

class Machine;

constexpr size_t kMaxArrayLength = 1u << 22;   // elements one array may hold
constexpr size_t kMaxStringLength = 1u << 24;  // bytes one string may hold

enum PropertyFlags : uint8_t {
  kDontEnum = 1,
  kDontDelete = 2,
  kReadOnly = 4,
};

struct Property {
  std::string name;
  Value value;
  Object* getter = nullptr;  // addProperty accessors
  Object* setter = nullptr;
  uint8_t flags = 0;
  uint8_t visibleFrom = 0;  // hidden from movies older than this version
};

// Properties in making order; names compare ignoring case before SWF 7.
class PropertyMap {
 public:
  explicit PropertyMap(bool caseSensitive) : m_caseSensitive(caseSensitive) {}
  Property* find(std::string_view name);
  Property& insert(std::string_view name);  // the existing one, or a new one at the end
  bool erase(std::string_view name);
  const std::vector<Property>& all() const { return m_props; }
  // Counts the names made and erased: a lookup the machine cached holds
  // while the maps it walked keep their layout.
  uint32_t layout() const { return m_layout; }

 private:
  // Looks names up without making a string of them.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::string key(std::string_view name) const { return m_caseSensitive ? std::string(name) : toLowerAscii(name); }
  void reindex();

  static constexpr size_t kIndexFrom = 24;  // smaller maps are searched in order
  bool m_caseSensitive;
  uint32_t m_layout = 0;
  std::vector<Property> m_props;
  std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> m_index;
};

// A watch(): the callback hears every assignment to the name and answers
// the value stored. While it runs, the property is its own plain slot.
struct Watch {
  std::string name;
  Object* callback = nullptr;
  Value userData;
  bool running = false;
  Value shadow;  // the slot of a watched accessor while the callback runs
};

enum class ObjectKind : uint8_t {
  Plain,
  Function,
  Array,
  Clip,
  Boolean,
  Number,
  String,
  Date,
  Super,
  Error,
  XmlNode,
  TextField
};

class Object {
 public:
  Object(Object* proto, bool caseSensitive) : proto(proto), props(caseSensitive) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  virtual ObjectKind kind() const { return ObjectKind::Plain; }
  // Own properties that live outside the map (array elements, clip
  // properties); each answers true when it handled the name.
  virtual bool getSpecial(Machine&, std::string_view, Value&) { return false; }
  virtual bool setSpecial(Machine&, std::string_view, const Value&) { return false; }
  virtual void specialKeys(std::vector<std::string>&) {}
  // Objects this one keeps alive besides its prototype and properties.
  virtual void traceRefs(std::vector<Object*>&) {}

  Object* proto;  // __proto__
  PropertyMap props;
  Value primitive;                              // the value of a Boolean, Number, String or Date wrapper
  std::unique_ptr<std::vector<Watch>> watches;  // made by the first watch()
  Watch* findWatch(std::string_view name, bool caseSensitive);
  bool marked = false;
};

// A native: `self` is `this` of the call (undefined when there is none).
using NativeFn = Value (*)(Machine& vm, const Value& self, std::span<const Value> args);

struct ScriptBody;

class FunctionObject : public Object {
 public:
  using Object::Object;
  ObjectKind kind() const override { return ObjectKind::Function; }
  void traceRefs(std::vector<Object*>& out) override {
    out.insert(out.end(), scope.begin(), scope.end());
    if (target) out.push_back(target);
  }

  NativeFn native = nullptr;
  // With `new`: makes the object itself (Array, String...) instead of the
  // prototype-linked one the machine made.
  NativeFn construct = nullptr;
  std::shared_ptr<const ScriptBody> body;  // script functions
  std::vector<Object*> scope;              // scope chain where it was defined
  Object* target = nullptr;                // timeline it was defined on
};

class ArrayObject : public Object {
 public:
  using Object::Object;
  ObjectKind kind() const override { return ObjectKind::Array; }
  bool getSpecial(Machine& vm, std::string_view name, Value& out) override;
  bool setSpecial(Machine& vm, std::string_view name, const Value& value) override;
  void specialKeys(std::vector<std::string>& keys) override;
  void traceRefs(std::vector<Object*>& out) override {
    for (const Value& v : items)
      if (v.isObject()) out.push_back(v.obj);
  }
  // A length that counts no elements (negative, fractional) empties or
  // shortens the array and reads back as it was set until the elements change.
  void setLength(double n);
  double length() const { return items.size() == m_oddFor ? m_oddLength : double(items.size()); }

  std::vector<Value> items;

 private:
  double m_oddLength = 0;
  size_t m_oddFor = SIZE_MAX;
};

// An element never written: a read passes to the prototype, and neither
// enumeration nor hasOwnProperty sees it; as a value it is undefined.
inline Value arrayHole() {
  Value v;
  v.num = 1;
  return v;
}
inline bool isHole(const Value& v) { return v.isUndefined() && v.num == 1; }

class PrimitiveObject : public Object {
 public:
  PrimitiveObject(Object* proto, bool caseSensitive, ObjectKind kind) : Object(proto, caseSensitive), m_kind(kind) {}
  ObjectKind kind() const override { return m_kind; }
  bool getSpecial(Machine& vm, std::string_view name, Value& out) override;

 private:
  ObjectKind m_kind;
};

// Owns every object. Collection is explicit and happens only when no script
// runs, so values on native stacks are never missed.
class Heap {
 public:
  explicit Heap(bool caseSensitive, size_t maxObjects) : m_caseSensitive(caseSensitive), m_maxObjects(maxObjects) {}
  template <class T, class... Args>
  T* make(Object* proto, Args&&... args) {
    auto object = std::make_unique<T>(proto, m_caseSensitive, std::forward<Args>(args)...);
    T* raw = object.get();
    m_objects.push_back(std::move(object));
    return raw;
  }
  size_t size() const { return m_objects.size(); }
  bool full() const { return m_objects.size() >= m_maxObjects; }
  bool caseSensitive() const { return m_caseSensitive; }
  // Frees every object not reachable from `roots`.
  void collect(std::span<Object* const> roots);
  size_t allocatedSinceCollect() const { return m_objects.size() - m_afterCollect; }
  // Counts collections: an object's address names it only between two.
  uint32_t collections() const { return m_collections; }

 private:
  bool m_caseSensitive;
  size_t m_maxObjects;
  size_t m_afterCollect = 0;
  uint32_t m_collections = 0;
  std::vector<std::unique_ptr<Object>> m_objects;
};

// Array index of a property name, or -1.
int64_t arrayIndex(std::string_view name);

}  // namespace swf::avm
