// The registry tree, its text form and its seed.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/core/codepagetable.h"
#include "platform/core/registry.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"

namespace {

constexpr std::string_view kHeader = "OrvelFlash device registry 1";
constexpr std::string_view kEnd = "end";  // a file without it was cut short

// Key and value names are nearly all ASCII, folded here without a call.
int folded(char16_t c) {
  if (c >= 0x80) return towupperW(c);
  return c >= u'a' && c <= u'z' ? c - 32 : c;
}

int compareFolded(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    int ca = folded(a[i]), cb = folded(b[i]);
    if (ca != cb) return ca - cb;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

// ---- tree

RegKey* RegKey::findSubkey(std::u16string_view key) const {
  auto it = std::lower_bound(subkeys.begin(), subkeys.end(), key,
                             [](const auto& k, std::u16string_view n) { return compareFolded(k->name, n) < 0; });
  return it != subkeys.end() && compareFolded((*it)->name, key) == 0 ? it->get() : nullptr;
}

RegKey& RegKey::subkey(std::u16string_view key, bool& created) {
  auto it = std::lower_bound(subkeys.begin(), subkeys.end(), key,
                             [](const auto& k, std::u16string_view n) { return compareFolded(k->name, n) < 0; });
  created = it == subkeys.end() || compareFolded((*it)->name, key) != 0;
  if (created) {
    auto made = std::make_unique<RegKey>();
    made->name = key;
    it = subkeys.insert(it, std::move(made));
  }
  return **it;
}

bool RegKey::removeSubkey(std::u16string_view key) {
  auto it =
      std::find_if(subkeys.begin(), subkeys.end(), [&](const auto& k) { return compareFolded(k->name, key) == 0; });
  if (it == subkeys.end()) return false;
  subkeys.erase(it);
  return true;
}

RegValue* RegKey::findValue(std::u16string_view value) {
  for (auto& v : values)
    if (compareFolded(v.name, value) == 0) return &v;
  return nullptr;
}

const RegValue* RegKey::findValue(std::u16string_view value) const {
  return const_cast<RegKey*>(this)->findValue(value);
}

void RegKey::setValue(std::u16string_view value, DWORD type, std::vector<BYTE> data) {
  RegValue* existing = findValue(value);
  if (!existing) {
    values.push_back(RegValue{std::u16string(value), type, {}});
    existing = &values.back();
  }
  existing->type = type;
  existing->data = std::move(data);
}

bool RegKey::removeValue(std::u16string_view value) {
  auto it =
      std::find_if(values.begin(), values.end(), [&](const auto& v) { return compareFolded(v.name, value) == 0; });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

const char* regRootName(RegRoot root) {
  static constexpr const char* kNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
  return kNames[static_cast<int>(root)];
}

// ---- seed

namespace {

std::vector<BYTE> stringData(std::u16string_view text) {
  std::vector<BYTE> data((text.size() + 1) * 2, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    data[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
    data[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
  }
  return data;
}

std::vector<BYTE> dwordData(DWORD v) {
  return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
}

RegKey& makePath(RegKey& from, std::initializer_list<std::u16string_view> names) {
  RegKey* key = &from;
  bool created;
  for (auto name : names) key = &key->subkey(name, created);
  return *key;
}

}  // namespace

void seedRegistry(RegTree& tree) {
  constexpr DWORD kRegSz = 1, kRegDword = 4;
  RegKey& codepages = makePath(tree.root(RegRoot::ClassesRoot), {u"MIME", u"Database", u"Codepage"});
  for (const auto& cp : knownCodePages()) {
    bool created;
    RegKey& key = codepages.subkey(fromUtf8(std::to_string(cp.codePage)), created);
    key.setValue(u"BodyCharset", kRegSz, stringData(fromUtf8(cp.bodyCharset)));
    key.setValue(u"Description", kRegSz, stringData(fromUtf8(cp.description)));
  }
  // Wave output device 0 starts at full volume on both channels.
  makePath(tree.root(RegRoot::CurrentUser), {u"ControlPanel", u"Volume"})
      .setValue(u"Volume", kRegDword, dwordData(0xFFFFFFFF));
}

// ---- text form

namespace {

constexpr DWORD kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4;

void appendHex4(std::string& out, char16_t c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(c));
  out += buffer;
}

bool needsEscape(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF); }

// Key names: '%' and the characters a header could not hold become %HHHH.
std::string escapeKeyName(std::u16string_view name) {
  std::string out;
  size_t plain = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !needsEscape(name[i]) && name[i] != u'%' && name[i] != u']' && name[i] != u'[') continue;
    out += toUtf8(name.substr(plain, i - plain));
    if (i < name.size()) {
      out += '%';
      appendHex4(out, name[i]);
    }
    plain = i + 1;
  }
  return out;
}

// Quoted strings: \\, \" and \uHHHH.
std::string quote(std::u16string_view text) {
  std::string out = "\"";
  size_t plain = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !needsEscape(text[i]) && text[i] != u'"' && text[i] != u'\\') continue;
    out += toUtf8(text.substr(plain, i - plain));
    if (i < text.size()) {
      if (text[i] == u'"' || text[i] == u'\\') {
        out += '\\';
        out += static_cast<char>(text[i]);
      } else {
        out += "\\u";
        appendHex4(out, text[i]);
      }
    }
    plain = i + 1;
  }
  return out + '"';
}

// A string value is written as text when its bytes are exactly UTF-16 text
// and one terminator; anything else keeps its bytes in hex.
bool asText(const std::vector<BYTE>& data, std::u16string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  size_t units = data.size() / 2 - 1;
  text.clear();
  for (size_t i = 0; i <= units; ++i) {
    char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if ((c == 0) != (i == units)) return false;
    if (i < units) text += c;
  }
  return true;
}

std::string formatData(const RegValue& v) {
  std::u16string text;
  if ((v.type == kRegSz || v.type == kRegExpandSz) && asText(v.data, text))
    return (v.type == kRegSz ? "sz:" : "expand_sz:") + quote(text);
  char buffer[32];
  if (v.type == kRegDword && v.data.size() == 4) {
    DWORD d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<DWORD>(v.data[3]) << 24);
    std::snprintf(buffer, sizeof buffer, "dword:%08X", static_cast<unsigned>(d));
    return buffer;
  }
  std::string out;
  if (v.type == kRegBinary) {
    out = "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%u):", static_cast<unsigned>(v.type));
    out = buffer;
  }
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i ? ",%02X" : "%02X", static_cast<unsigned>(v.data[i]));
    out += buffer;
  }
  return out;
}

void formatKey(const RegKey& key, const std::string& path, bool isRoot, std::string& out) {
  // A key with subkeys is written through them, unless it holds something itself.
  if (!key.values.empty() || !key.className.empty() || (!isRoot && key.subkeys.empty())) {
    out += '[' + path + "]\n";
    if (!key.className.empty()) out += "*class=" + quote(key.className) + '\n';
    for (const auto& v : key.values)
      out += (v.name.empty() ? std::string("@") : quote(v.name)) + '=' + formatData(v) + '\n';
  }
  for (const auto& sub : key.subkeys) formatKey(*sub, path + '\\' + escapeKeyName(sub->name), false, out);
}

// ---- parsing helpers, in the consume-and-answer-bool manner

bool hexDigit(char c, unsigned& v) {
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else
    return false;
  return true;
}

bool parseHex4(std::string_view& s, char16_t& c) {
  if (s.size() < 4) return false;
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned d;
    if (!hexDigit(s[i], d)) return false;
    value = value * 16 + d;
  }
  c = static_cast<char16_t>(value);
  s.remove_prefix(4);
  return true;
}

bool consume(std::string_view& s, std::string_view prefix) {
  if (s.substr(0, prefix.size()) != prefix) return false;
  s.remove_prefix(prefix.size());
  return true;
}

// Appends a run of UTF-8 to `text`; a run of ASCII, the usual case, is widened as it is.
void appendUtf8(std::u16string& text, std::string_view run) {
  if (std::all_of(run.begin(), run.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    text.append(run.begin(), run.end());
  else
    text += fromUtf8(run);
}

bool parseQuoted(std::string_view& s, std::u16string& text) {
  if (!consume(s, "\"")) return false;
  text.clear();
  for (;;) {
    size_t stop = s.find_first_of("\"\\");
    std::string_view plain = s.substr(0, stop);
    s.remove_prefix(plain.size());
    if (s.empty() || s[0] == '"') {
      if (!isValidUtf8(plain)) return false;
      appendUtf8(text, plain);
      return consume(s, "\"");
    }
    appendUtf8(text, plain);
    s.remove_prefix(1);  // the backslash
    char16_t c;
    if (consume(s, "u")) {
      if (!parseHex4(s, c)) return false;
      text += c;
    } else if (!s.empty() && (s[0] == '"' || s[0] == '\\')) {
      text += static_cast<char16_t>(s[0]);
      s.remove_prefix(1);
    } else {
      return false;
    }
  }
}

bool parseKeyName(std::string_view raw, std::u16string& name) {
  name.clear();
  std::string plain;
  while (!raw.empty()) {
    if (raw[0] == '%') {
      raw.remove_prefix(1);
      name += fromUtf8(plain);
      plain.clear();
      char16_t c;
      if (!parseHex4(raw, c)) return false;
      name += c;
    } else {
      plain += raw[0];
      raw.remove_prefix(1);
    }
  }
  if (!isValidUtf8(plain)) return false;
  name += fromUtf8(plain);
  return !name.empty();
}

bool parseHexBytes(std::string_view s, std::vector<BYTE>& data) {
  data.clear();
  while (!s.empty()) {
    unsigned hi, lo;
    if (s.size() < 2 || !hexDigit(s[0], hi) || !hexDigit(s[1], lo)) return false;
    data.push_back(static_cast<BYTE>(hi * 16 + lo));
    s.remove_prefix(2);
    if (!s.empty() && (!consume(s, ",") || s.empty())) return false;
  }
  return true;
}

bool parseData(std::string_view s, RegValue& v) {
  std::u16string text;
  bool expand = consume(s, "expand_sz:");
  if (expand || consume(s, "sz:")) {
    v.type = expand ? kRegExpandSz : kRegSz;
    if (!parseQuoted(s, text) || !s.empty()) return false;
    v.data = stringData(text);
    return true;
  }
  if (consume(s, "dword:")) {
    DWORD d = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, 16);
    if (ec != std::errc() || end != s.data() + s.size() || s.size() != 8) return false;
    v.type = kRegDword;
    v.data = dwordData(d);
    return true;
  }
  if (consume(s, "hex:")) {
    v.type = kRegBinary;
    return parseHexBytes(s, v.data);
  }
  if (consume(s, "hex(")) {
    size_t close = s.find("):");
    if (close == std::string_view::npos) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + close, v.type);
    if (ec != std::errc() || end != s.data() + close) return false;
    s.remove_prefix(close + 2);
    return parseHexBytes(s, v.data);
  }
  return false;
}

// "[HKEY_...\a\b]" -> the key, made with every key on the way.
bool parseHeader(std::string_view line, RegTree& tree, RegKey*& key) {
  std::string_view path = line.substr(1, line.size() - 2);
  size_t cut = path.find('\\');
  std::string_view rootName = path.substr(0, cut);
  key = nullptr;
  for (int r = 0; r < kRegRootCount; ++r)
    if (rootName == regRootName(static_cast<RegRoot>(r))) key = &tree.roots[r];
  if (!key) return false;
  while (cut != std::string_view::npos) {
    path.remove_prefix(cut + 1);
    cut = path.find('\\');
    std::u16string name;
    if (!parseKeyName(path.substr(0, cut), name)) return false;
    bool created;
    key = &key->subkey(name, created);
  }
  return true;
}

bool parseLine(std::string_view line, RegTree& tree, RegKey*& key, std::string& reason) {
  if (line.empty() || line[0] == ';') return true;
  if (line.front() == '[' && line.back() == ']') {
    if (!parseHeader(line, tree, key)) reason = "bad key name";
    return reason.empty();
  }
  if (!key) {
    reason = "value outside a key";
    return false;
  }
  std::u16string text;
  if (consume(line, "*class=")) {
    if (!parseQuoted(line, text) || !line.empty()) reason = "bad class";
    key->className = text;
    return reason.empty();
  }
  RegValue value;
  if (!consume(line, "@") && !parseQuoted(line, value.name))
    reason = "bad value name";
  else if (!consume(line, "=") || !parseData(line, value))
    reason = "bad value data";
  else if (key->findValue(value.name))
    reason = "value given twice";
  if (!reason.empty()) return false;
  key->values.push_back(std::move(value));
  return true;
}

}  // namespace

std::string formatRegistry(const RegTree& tree) {
  std::string out(kHeader);
  out += '\n';
  for (int r = 0; r < kRegRootCount; ++r) formatKey(tree.roots[r], regRootName(static_cast<RegRoot>(r)), true, out);
  out += kEnd;
  out += '\n';
  return out;
}

bool parseRegistry(std::string_view text, RegTree& tree, std::string& error) {
  tree = RegTree{};
  RegKey* key = nullptr;
  bool ended = false;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string reason;
    if (ended)
      reason = "text after the end";
    else if (lineNumber == 1 && line != kHeader)
      reason = "not a registry file";
    else if (line == kEnd)
      ended = true;
    else if (lineNumber > 1)
      parseLine(line, tree, key, reason);
    if (!reason.empty()) {
      error = "line " + std::to_string(lineNumber) + ": " + reason;
      return false;
    }
  }
  if (!ended) {
    error = lineNumber == 0 ? "empty file" : "the file ends before its end line";
    return false;
  }
  return true;
}
