#include "tools/swfwriter/actionwriter.h"

#include <algorithm>
#include <cstring>

namespace swfwrite {

namespace {

void putU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void putString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

void encode(std::vector<uint8_t>& out, const ActionRecord& r) {
  out.push_back(r.code);
  if (r.code >= 0x80) {
    putU16(out, uint16_t(r.payload.size()));
    out.insert(out.end(), r.payload.begin(), r.payload.end());
  }
}

size_t encodedSize(const ActionRecord& r) { return r.code >= 0x80 ? 3 + r.payload.size() : 1; }

constexpr const char* kRaw = "\x01raw";

}  // namespace

ActionWriter& ActionWriter::op(uint8_t code) {
  m_items.push_back({{code, {}}, {}, {}});
  return *this;
}

ActionWriter& ActionWriter::push(std::initializer_list<Pushed> values) {
  ActionRecord r{0x96, {}};
  for (const Pushed& v : values) {
    std::visit(
        [&](auto&& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, const char*>) {
            r.payload.push_back(0);
            putString(r.payload, std::string(x));
          } else if constexpr (std::is_same_v<T, double>) {
            r.payload.push_back(6);
            uint64_t bits;
            std::memcpy(&bits, &x, sizeof bits);
            putU32(r.payload, uint32_t(bits >> 32));  // the high half first
            putU32(r.payload, uint32_t(bits));
          } else if constexpr (std::is_same_v<T, int>) {
            r.payload.push_back(7);
            putU32(r.payload, uint32_t(x));
          } else if constexpr (std::is_same_v<T, bool>) {
            r.payload.push_back(5);
            r.payload.push_back(x ? 1 : 0);
          } else if constexpr (std::is_same_v<T, std::nullptr_t>) {
            r.payload.push_back(2);
          } else if constexpr (std::is_same_v<T, Undefined>) {
            r.payload.push_back(3);
          } else {
            r.payload.push_back(4);
            r.payload.push_back(x.index);
          }
        },
        v);
  }
  m_items.push_back({std::move(r), {}, {}});
  return *this;
}

ActionWriter& ActionWriter::constantPool(const std::vector<std::string>& strings) {
  ActionRecord r{0x88, {}};
  putU16(r.payload, uint16_t(strings.size()));
  for (const std::string& s : strings) putString(r.payload, s);
  m_items.push_back({std::move(r), {}, {}});
  return *this;
}

ActionWriter& ActionWriter::pushConstant(uint16_t index) {
  ActionRecord r{0x96, {}};
  if (index < 256) {
    r.payload = {8, uint8_t(index)};
  } else {
    r.payload = {9};
    putU16(r.payload, index);
  }
  m_items.push_back({std::move(r), {}, {}});
  return *this;
}

ActionWriter& ActionWriter::storeRegister(uint8_t index) {
  m_items.push_back({{0x87, {index}}, {}, {}});
  return *this;
}

ActionWriter& ActionWriter::gotoFrame(uint16_t frame) {
  m_items.push_back({actionGotoFrame(frame), {}, {}});
  return *this;
}

ActionWriter& ActionWriter::setTarget(const std::string& path) {
  ActionRecord r{0x8B, {}};
  putString(r.payload, path);
  m_items.push_back({std::move(r), {}, {}});
  return *this;
}

ActionWriter& ActionWriter::gotoFrame2(bool play) {
  m_items.push_back({{0x9F, {uint8_t(play ? 1 : 0)}}, {}, {}});
  return *this;
}

ActionWriter& ActionWriter::jump(const std::string& target) {
  m_items.push_back({{0x99, {0, 0}}, target, {}});
  return *this;
}

ActionWriter& ActionWriter::ifTrue(const std::string& target) {
  m_items.push_back({{0x9D, {0, 0}}, target, {}});
  return *this;
}

ActionWriter& ActionWriter::append(const ActionWriter& other) {
  m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
  return *this;
}

ActionWriter& ActionWriter::label(const std::string& name) {
  m_items.push_back({{0, {}}, {}, name});
  return *this;
}

ActionWriter& ActionWriter::defineFunction(const std::string& name, const std::vector<std::string>& params,
                                           const ActionWriter& body) {
  std::vector<uint8_t> code = body.encoded();
  ActionRecord r{0x9B, {}};
  putString(r.payload, name);
  putU16(r.payload, uint16_t(params.size()));
  for (const std::string& p : params) putString(r.payload, p);
  putU16(r.payload, uint16_t(code.size()));
  m_items.push_back({std::move(r), {}, {}});
  m_items.push_back({{0xFF, std::move(code)}, {}, kRaw});
  return *this;
}

ActionWriter& ActionWriter::defineFunction2(const std::string& name, uint8_t registers, uint16_t flags,
                                            const std::vector<std::pair<uint8_t, std::string>>& params,
                                            const ActionWriter& body) {
  std::vector<uint8_t> code = body.encoded();
  ActionRecord r{0x8E, {}};
  putString(r.payload, name);
  putU16(r.payload, uint16_t(params.size()));
  r.payload.push_back(registers);
  putU16(r.payload, flags);
  for (const auto& [reg, p] : params) {
    r.payload.push_back(reg);
    putString(r.payload, p);
  }
  putU16(r.payload, uint16_t(code.size()));
  m_items.push_back({std::move(r), {}, {}});
  m_items.push_back({{0xFF, std::move(code)}, {}, kRaw});
  return *this;
}

ActionWriter& ActionWriter::tryCatch(const ActionWriter& body, const std::string& name, const ActionWriter& handler,
                                     const ActionWriter& last) {
  std::vector<uint8_t> tryCode = body.encoded(), catchCode = handler.encoded(), finallyCode = last.encoded();
  bool hasCatch = !name.empty();
  bool hasFinally = !finallyCode.empty();
  ActionRecord r{0x8F, {}};
  r.payload.push_back(uint8_t((hasCatch ? 1 : 0) | (hasFinally ? 2 : 0)));
  putU16(r.payload, uint16_t(tryCode.size()));
  putU16(r.payload, uint16_t(catchCode.size()));
  putU16(r.payload, uint16_t(finallyCode.size()));
  putString(r.payload, name);
  m_items.push_back({std::move(r), {}, {}});
  std::vector<uint8_t> all = tryCode;
  all.insert(all.end(), catchCode.begin(), catchCode.end());
  all.insert(all.end(), finallyCode.begin(), finallyCode.end());
  m_items.push_back({{0xFF, std::move(all)}, {}, kRaw});
  return *this;
}

ActionWriter& ActionWriter::with(const ActionWriter& body) {
  std::vector<uint8_t> code = body.encoded();
  ActionRecord r{0x94, {}};
  putU16(r.payload, uint16_t(code.size()));
  m_items.push_back({std::move(r), {}, {}});
  m_items.push_back({{0xFF, std::move(code)}, {}, kRaw});
  return *this;
}

ActionWriter& ActionWriter::trace(Pushed value) {
  ActionWriter& self = push({value});
  return self.op(0x26);
}

ActionWriter& ActionWriter::traceVariable(const std::string& name) { return push({name}).op(0x1C).op(0x26); }

ActionWriter& ActionWriter::setVariable(const std::string& name, Pushed value) { return push({name, value}).op(0x1D); }

std::vector<uint8_t> ActionWriter::encoded() const {
  // Raw items are the inline bytes that follow their action (function
  // bodies, try and with blocks).
  std::vector<size_t> offsets;
  std::map<std::string, size_t> labels;
  size_t at = 0;
  for (const Item& item : m_items) {
    offsets.push_back(at);
    if (item.label == kRaw)
      at += item.record.payload.size();
    else if (!item.label.empty())
      labels[item.label] = at;
    else
      at += encodedSize(item.record);
  }
  std::vector<uint8_t> out;
  for (size_t i = 0; i < m_items.size(); ++i) {
    const Item& item = m_items[i];
    if (item.label == kRaw) {
      out.insert(out.end(), item.record.payload.begin(), item.record.payload.end());
      continue;
    }
    if (!item.label.empty()) continue;
    ActionRecord r = item.record;
    if (!item.jumpTo.empty()) {
      auto found = labels.find(item.jumpTo);
      int64_t target = found == labels.end() ? int64_t(at) : int64_t(found->second);
      int16_t delta = int16_t(target - int64_t(offsets[i] + 5));
      r.payload = {uint8_t(delta), uint8_t(uint16_t(delta) >> 8)};
    }
    encode(out, r);
  }
  return out;
}

std::vector<uint8_t> ActionWriter::bytes() const {
  std::vector<uint8_t> out = encoded();
  out.push_back(0);
  return out;
}

std::vector<ActionRecord> ActionWriter::records() const {
  std::vector<uint8_t> code = encoded();
  std::vector<ActionRecord> out;
  for (size_t i = 0; i < code.size();) {
    ActionRecord r{code[i++], {}};
    if (r.code >= 0x80 && i + 2 <= code.size()) {
      size_t length = size_t(code[i] | code[i + 1] << 8);
      i += 2;
      size_t end = std::min(code.size(), i + length);
      r.payload.assign(code.begin() + long(i), code.begin() + long(end));
      i = end;
    }
    out.push_back(std::move(r));
  }
  return out;
}

void doAction(TagStream& tags, const ActionWriter& actions) { tags.tag(12, actions.bytes()); }

void doInitAction(TagStream& tags, uint16_t spriteId, const ActionWriter& actions) {
  std::vector<uint8_t> body;
  putU16(body, spriteId);
  std::vector<uint8_t> code = actions.bytes();
  body.insert(body.end(), code.begin(), code.end());
  tags.tag(59, body);
}

void exportAssets(TagStream& tags, const std::map<uint16_t, std::string>& names) {
  std::vector<uint8_t> body;
  putU16(body, uint16_t(names.size()));
  for (const auto& [id, name] : names) {
    putU16(body, id);
    putString(body, name);
  }
  tags.tag(56, body);
}

void placeWithEvents(TagStream& tags, uint16_t depth, uint16_t characterId, const std::string& name,
                     const std::vector<ClipEventScript>& events, const Matrix& matrix) {
  BitWriter w;
  w.u8(0x80 | 0x20 | 0x04 | 0x02);  // clip actions, name, matrix, character
  w.u16(depth);
  w.u16(characterId);
  w.matrix(matrix);
  w.string(name);
  w.u16(0);
  uint32_t all = 0;
  for (const ClipEventScript& e : events) all |= e.events;
  w.u32(all);
  for (const ClipEventScript& e : events) {
    w.u32(e.events);
    std::vector<uint8_t> code = e.actions.bytes();
    w.u32(uint32_t(code.size()));
    w.bytes(code);
  }
  w.u32(0);
  tags.tag(26, w.take());
}

}  // namespace swfwrite
