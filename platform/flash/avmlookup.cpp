// CallMethod, with the method each call site found last kept beside it: a
// loop calling the same method on objects of one class walks the prototype
// chain once, not at every round.

#include <cmath>
#include <new>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

// Whether `o` answers `name` from its property map alone: its kind has no
// property of its own under that name (clips name their children, text
// fields and sounds their settings, so those are never cached).
bool mapAlone(const Object& o, std::string_view name) {
  const std::type_info& type = typeid(o);
  if (type == typeid(Object) || type == typeid(FunctionObject)) return true;
  if (type == typeid(ArrayObject)) return name != "length" && arrayIndex(name) < 0;
  if (type == typeid(PrimitiveObject)) return name != "length";
  return false;
}

// Arguments moved off the stack, where the first lies on top: the native
// may run scripts that move the stack, so it is given them apart.
template <size_t N>
class MovedArgs {
 public:
  MovedArgs(Value* first, size_t count) : m_count(count) {
    for (size_t i = 0; i < count; ++i) new (slot(i)) Value(std::move(*(first - i)));
  }
  ~MovedArgs() {
    for (size_t i = 0; i < m_count; ++i) slot(i)->~Value();
  }
  MovedArgs(const MovedArgs&) = delete;
  MovedArgs& operator=(const MovedArgs&) = delete;
  std::span<const Value> values() { return {slot(0), m_count}; }

 private:
  Value* slot(size_t i) { return std::launder(reinterpret_cast<Value*>(m_storage + i * sizeof(Value))); }
  alignas(Value) unsigned char m_storage[N * sizeof(Value)];
  size_t m_count;
};

bool sameName(const MethodCache& cache, const Value& name) {
  return cache.name == name.str || (cache.name && *cache.name == name.text());
}

}  // namespace

inline Property* Machine::cachedMethod(MethodCache& cache, Object* receiver, const Value& name) {
  if (cache.hops == 0 || cache.collections != m_heap.collections() || &typeid(*receiver) != cache.receiverType ||
      !sameName(cache, name))
    return fillMethodCache(cache, receiver, name);
  if (!receiver->props.all().empty() && receiver->props.find(name.text())) return nullptr;
  Object* expected = receiver->proto;
  for (uint32_t i = 0; i < cache.hops; ++i) {
    Object* o = cache.chain[i];
    if (o != expected || o->props.layout() != cache.layouts[i]) return fillMethodCache(cache, receiver, name);
    expected = o->proto;
  }
  Property* p = cache.property;
  if (p->getter || p->setter || p->visibleFrom > m_version) return nullptr;
  return p;
}

// A native method the site's cache finds, called with its arguments read
// off the stack in place; anything else answers false and is popped and
// called by the general rules.
bool Machine::callCachedNative(Frame& f, const Instr& in) {
  constexpr size_t kMostArgs = 4;
  Value* top = m_stack.top();
  size_t held = size_t(top - (m_stack.base() + f.stackBase));
  if (held < 3 || !top[-1].isString() || top[-1].text().empty() || !top[-2].isObject() || !top[-3].isNumber())
    return false;
  double n = top[-3].num;
  if (!(n >= 0 && n <= double(kMostArgs)) || n != std::trunc(n) || held < 3 + size_t(n)) return false;
  Property* p = cachedMethod(f.code->methodCaches[in.a], top[-2].obj, top[-1]);
  Object* function = p ? p->value.object() : nullptr;
  if (!function || function->kind() != ObjectKind::Function) return false;
  NativeFn native = static_cast<FunctionObject*>(function)->native;
  if (!native || m_depth + 1 >= m_limits.maxCallDepth) return false;
  size_t count = size_t(n);
  Value self = std::move(top[-2]);
  MovedArgs<kMostArgs> args(top - 4, count);
  for (size_t i = 0; i < 3 + count; ++i) m_stack.pop_back();
  ++m_depth;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{m_depth};
  push(f, native(*this, self, args.values()));
  return true;
}

void Machine::callMethodAction(Frame& f, const Instr& in) {
  if (callCachedNative(f, in)) return;
  Value nameValue = pop(f);
  Value base = pop(f);
  CallArgs args;
  popArgs(f, args);
  if (nameValue.isUndefined() || (nameValue.isString() && nameValue.text().empty())) {
    if (auto* s = base.object(); s && s->kind() == ObjectKind::Super) {
      push(f, superConstruct(static_cast<SuperObject*>(s), args));
      return;
    }
    push(f, call(base, Value(), args));
    return;
  }
  if (!nameValue.isString()) {
    push(f, callMethod(f, base, toString(nameValue), args));
    return;
  }
  Object* o = base.object();
  Property* p = o ? cachedMethod(f.code->methodCaches[in.a], o, nameValue) : nullptr;
  if (!p) {
    push(f, callMethod(f, base, nameValue.text(), args));
    return;
  }
  // What callMethod would find: a plain property up the chain, never the receiver's own.
  Value fn = p->value;
  auto* function =
      fn.object() && fn.obj->kind() == ObjectKind::Function ? static_cast<FunctionObject*>(fn.obj) : nullptr;
  if (function && function->body) {
    const MethodCache& cache = f.code->methodCaches[in.a];
    push(f, callScript(function, base, args, cache.chain[cache.hops - 1]));
    return;
  }
  push(f, call(fn, base, args));
}

// Walks the chain as findOwner does and keeps what it found when every
// object on the way answers from its map and the method is a plain property.
Property* Machine::fillMethodCache(MethodCache& cache, Object* receiver, const Value& name) {
  cache.hops = 0;
  std::string_view text = name.text();
  if (text == "__proto__" || !mapAlone(*receiver, text) || receiver->props.find(text)) return nullptr;
  uint32_t hops = 0;
  for (Object* o = receiver->proto; o && hops < MethodCache::kMaxHops; o = o->proto) {
    if (!mapAlone(*o, text)) return nullptr;
    cache.chain[hops] = o;
    cache.layouts[hops] = o->props.layout();
    ++hops;
    Property* p = o->props.find(text);
    if (!p) continue;
    if (p->getter || p->setter || p->visibleFrom > m_version) return nullptr;
    cache.name = name.str;
    cache.receiverType = &typeid(*receiver);
    cache.collections = m_heap.collections();
    cache.property = p;
    cache.hops = hops;
    return p;
  }
  return nullptr;
}

}  // namespace swf::avm
