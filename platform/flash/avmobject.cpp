#include "platform/flash/avmobject.h"

#include <algorithm>
#include <cmath>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
  return caseSensitive ? a == b : equalsIgnoreCase(a, b);
}

}  // namespace

Property* PropertyMap::find(std::string_view name) {
  if (m_props.size() < kIndexFrom) {
    for (Property& p : m_props)
      if (sameName(p.name, name, m_caseSensitive)) return &p;
    return nullptr;
  }
  if (m_caseSensitive) {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : &m_props[it->second];
  }
  char buffer[64];
  if (name.size() <= sizeof buffer) {
    for (size_t i = 0; i < name.size(); ++i) {
      char c = name[i];
      buffer[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    }
    auto it = m_index.find(std::string_view(buffer, name.size()));
    return it == m_index.end() ? nullptr : &m_props[it->second];
  }
  auto it = m_index.find(key(name));
  return it == m_index.end() ? nullptr : &m_props[it->second];
}

Property& PropertyMap::insert(std::string_view name) {
  if (Property* p = find(name)) return *p;
  m_props.push_back(Property{std::string(name)});
  ++m_layout;
  if (m_props.size() == kIndexFrom)
    reindex();
  else if (m_props.size() > kIndexFrom)
    m_index.emplace(key(name), uint32_t(m_props.size() - 1));
  return m_props.back();
}

bool PropertyMap::erase(std::string_view name) {
  Property* p = find(name);
  if (!p) return false;
  m_props.erase(m_props.begin() + (p - m_props.data()));
  ++m_layout;
  reindex();
  return true;
}

void PropertyMap::reindex() {
  m_index.clear();
  if (m_props.size() < kIndexFrom) return;
  for (uint32_t i = 0; i < m_props.size(); ++i) m_index.emplace(key(m_props[i].name), i);
}

Watch* Object::findWatch(std::string_view name, bool caseSensitive) {
  if (!watches) return nullptr;
  for (Watch& w : *watches)
    if (sameName(w.name, name, caseSensitive)) return &w;
  return nullptr;
}

int64_t arrayIndex(std::string_view name) {
  if (name.empty() || name.size() > 10) return -1;
  int64_t value = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  if (name.size() > 1 && name[0] == '0') return -1;
  return value;
}

bool ArrayObject::getSpecial(Machine&, std::string_view name, Value& out) {
  // An accessor added under an element's name or "length" stands over it.
  if (!props.all().empty())
    if (Property* p = props.find(name); p && p->getter) return false;
  if (name == "length") {
    out = Value(length());
    return true;
  }
  int64_t i = arrayIndex(name);
  if (i < 0 || size_t(i) >= items.size() || isHole(items[size_t(i)])) return false;
  out = items[size_t(i)];
  return true;
}

void ArrayObject::setLength(double n) {
  if (std::isnan(n) || n > double(kMaxArrayLength)) return;
  size_t count = n <= 0 ? 0 : size_t(n);
  items.resize(count, arrayHole());
  m_oddFor = SIZE_MAX;
  if (n != double(count)) {
    m_oddLength = n;
    m_oddFor = count;
  }
}

bool ArrayObject::setSpecial(Machine& vm, std::string_view name, const Value& value) {
  if (name == "length") {
    setLength(vm.toNumber(value));
    return true;
  }
  int64_t i = arrayIndex(name);
  if (i < 0 || size_t(i) >= kMaxArrayLength) return false;
  if (size_t(i) >= items.size()) items.resize(size_t(i) + 1, arrayHole());
  items[size_t(i)] = value;
  return true;
}

void ArrayObject::specialKeys(std::vector<std::string>& keys) {
  for (size_t i = 0; i < items.size(); ++i)
    if (!isHole(items[i])) keys.push_back(std::to_string(i));
}

bool PrimitiveObject::getSpecial(Machine&, std::string_view name, Value& out) {
  if (m_kind != ObjectKind::String || name != "length" || !primitive.isString()) return false;
  out = Value(double(toUtf16(primitive.text()).size()));
  return true;
}

void Heap::collect(std::span<Object* const> roots) {
  std::vector<Object*> stack(roots.begin(), roots.end());
  auto markValue = [&](const Value& v) {
    if (v.isObject() && !v.obj->marked) stack.push_back(v.obj);
  };
  while (!stack.empty()) {
    Object* o = stack.back();
    stack.pop_back();
    if (!o || o->marked) continue;
    o->marked = true;
    if (o->proto) stack.push_back(o->proto);
    markValue(o->primitive);
    for (const Property& p : o->props.all()) {
      markValue(p.value);
      if (p.getter) stack.push_back(p.getter);
      if (p.setter) stack.push_back(p.setter);
    }
    if (o->watches)
      for (const Watch& w : *o->watches) {
        stack.push_back(w.callback);
        markValue(w.userData);
        markValue(w.shadow);
      }
    o->traceRefs(stack);
  }
  auto dead = std::partition(m_objects.begin(), m_objects.end(), [](const auto& o) { return o->marked; });
  m_objects.erase(dead, m_objects.end());
  for (auto& o : m_objects) o->marked = false;
  m_afterCollect = m_objects.size();
  ++m_collections;
}

}  // namespace swf::avm
