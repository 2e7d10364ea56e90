// XML and XMLNode: a movie's own document tree, parsed from text and written
// back as text. Nodes are heap objects; a parent holds its children and each
// child a raw back-link to its parent. Loading asks the device for nothing:
// the address is recorded and the load reports failure.

#include <algorithm>
#include <limits>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr int kElementNode = 1;
constexpr int kTextNode = 3;
// Deeper documents are refused while parsing; the tree walks are iterative.
constexpr size_t kMaxParseDepth = 4096;

enum XmlStatus : int {
  kParsed = 0,
  kCdataOpen = -2,
  kDeclarationOpen = -3,
  kDoctypeOpen = -4,
  kCommentOpen = -5,
  kMalformedElement = -6,
  kAttributeOpen = -8,
  kStartWithoutEnd = -9,
  kEndWithoutStart = -10,
};

class XmlNode : public Object {
 public:
  using Object::Object;
  ObjectKind kind() const override { return ObjectKind::XmlNode; }
  void traceRefs(std::vector<Object*>& out) override {
    for (XmlNode* c : children) out.push_back(c);
    if (parent) out.push_back(parent);
    if (attributes) out.push_back(attributes);
    if (childArray) out.push_back(childArray);
  }

  int nodeType = kElementNode;
  Value name = Value::null();   // an element's tag; null for text and documents
  Value value = Value::null();  // a text node's text
  Object* attributes = nullptr;
  std::vector<XmlNode*> children;
  XmlNode* parent = nullptr;          // not owning: the parent keeps this node
  ArrayObject* childArray = nullptr;  // childNodes, refreshed when children change
};

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

XmlNode* asNode(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::XmlNode ? static_cast<XmlNode*>(o) : nullptr;
}

Object* nodePrototype(Machine& vm, const char* ctorName) {
  Value ctor = vm.getOf(vm.global(), ctorName, Value(vm.global()));
  Object* proto = ctor.object() ? vm.getOf(ctor.obj, "prototype", ctor).object() : nullptr;
  return proto ? proto : vm.objectPrototype();
}

XmlNode* makeNode(Machine& vm, Object* proto, int type, const Value& text) {
  auto* n = vm.heap().make<XmlNode>(proto);
  n->nodeType = type;
  if (type == kTextNode)
    n->value = text;
  else
    n->name = text;
  n->attributes = vm.newObject();
  return n;
}

void refreshChildArray(Machine& vm, XmlNode* n) {
  if (!n->childArray) n->childArray = vm.newArray();
  n->childArray->items.assign(n->children.begin(), n->children.end());
}

void detach(Machine& vm, XmlNode* child) {
  XmlNode* parent = child->parent;
  if (!parent) return;
  auto& list = parent->children;
  list.erase(std::remove(list.begin(), list.end(), child), list.end());
  child->parent = nullptr;
  refreshChildArray(vm, parent);
}

bool isAncestorOrSelf(const XmlNode* node, const XmlNode* of) {
  for (const XmlNode* n = of; n; n = n->parent)
    if (n == node) return true;
  return false;
}

// Puts `child` into `parent` before `before` (at the end when null); a node
// never goes into itself or its own descendants.
bool insertChild(Machine& vm, XmlNode* parent, XmlNode* child, XmlNode* before) {
  if (!parent || !child || isAncestorOrSelf(child, parent)) return false;
  if (before && before->parent != parent) return false;
  detach(vm, child);
  auto& list = parent->children;
  auto at = before ? std::find(list.begin(), list.end(), before) : list.end();
  list.insert(at, child);
  child->parent = parent;
  refreshChildArray(vm, parent);
  return true;
}

// -- text -------------------------------------------------------------------------------------

std::string escapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void appendCodePoint(std::string& out, uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF) return;
  std::u16string units;
  if (cp >= 0x10000) {
    units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
    units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    units += char16_t(cp);
  }
  out += toUtf8(units);
}

// Reads one entity at `text` (after its '&'); answers its length through `used`.
bool decodeEntity(std::string_view text, std::string& out, size_t& used) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  for (auto [name, c] : kNamed)
    if (text.substr(0, name.size()) == name) {
      out += c;
      used = name.size();
      return true;
    }
  if (text.empty() || text[0] != '#') return false;
  size_t i = 1;
  int base = 10;
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) base = 16, ++i;
  uint32_t cp = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] != ';'; ++i, ++digits) {
    char c = text[i];
    int d = c >= '0' && c <= '9'                 ? c - '0'
            : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
            : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
    if (d < 0 || cp > 0x10FFFF) return false;
    cp = cp * uint32_t(base) + uint32_t(d);
  }
  if (!digits || i >= text.size()) return false;
  appendCodePoint(out, cp);
  used = i + 1;
  return true;
}

// Known entities become their characters; anything else stays as written.
std::string unescapeXml(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t used = 0;
    if (text[i] == '&' && decodeEntity(text.substr(i + 1), out, used))
      i += used;
    else
      out += text[i];
  }
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isWhitespace(std::string_view text) { return std::all_of(text.begin(), text.end(), isSpace); }

// -- parsing ----------------------------------------------------------------------------------

class XmlParser {
 public:
  XmlParser(Machine& vm, XmlNode* document, bool ignoreWhite)
      : m_vm(vm), m_open{document}, m_ignoreWhite(ignoreWhite), m_elementProto(nodePrototype(vm, "XMLNode")) {}

  int parse(std::string_view text) {
    m_text = text;
    while (m_pos < m_text.size()) {
      int status = m_text[m_pos] == '<' ? markup() : textRun();
      if (status != kParsed) return status;
    }
    return m_open.size() > 1 ? kStartWithoutEnd : kParsed;
  }

  std::string xmlDecl, docTypeDecl;
  std::vector<XmlNode*> withIds;

 private:
  bool startsWith(std::string_view s) const { return m_text.substr(m_pos, s.size()) == s; }

  // Copies everything up to `end`, which is consumed; false when it never comes.
  bool until(std::string_view end, std::string_view& out) {
    size_t at = m_text.find(end, m_pos);
    if (at == std::string_view::npos) return false;
    out = m_text.substr(m_pos, at - m_pos);
    m_pos = at + end.size();
    return true;
  }

  void addText(std::string text, bool verbatim) {
    if (!verbatim && m_ignoreWhite && isWhitespace(text)) return;
    XmlNode* node = makeNode(m_vm, m_elementProto, kTextNode, Value(std::move(text)));
    insertChild(m_vm, m_open.back(), node, nullptr);
  }

  int textRun() {
    size_t end = m_text.find('<', m_pos);
    if (end == std::string_view::npos) end = m_text.size();
    addText(unescapeXml(m_text.substr(m_pos, end - m_pos)), false);
    m_pos = end;
    return kParsed;
  }

  int markup() {
    std::string_view body;
    if (startsWith("<!--")) {
      m_pos += 4;
      return until("-->", body) ? kParsed : kCommentOpen;
    }
    if (startsWith("<![CDATA[")) {
      m_pos += 9;
      if (!until("]]>", body)) return kCdataOpen;
      addText(std::string(body), true);
      return kParsed;
    }
    if (startsWith("<?")) {
      size_t start = m_pos;
      if (!until("?>", body)) return kDeclarationOpen;
      xmlDecl += m_text.substr(start, m_pos - start);
      return kParsed;
    }
    if (startsWith("<!")) {
      size_t start = m_pos;
      if (!until(">", body)) return kDoctypeOpen;
      docTypeDecl = m_text.substr(start, m_pos - start);
      return kParsed;
    }
    if (startsWith("</")) return endTag();
    return startTag();
  }

  std::string_view name() {
    size_t start = m_pos;
    while (m_pos < m_text.size() && !isSpace(m_text[m_pos]) && m_text[m_pos] != '>' && m_text[m_pos] != '/' &&
           m_text[m_pos] != '=')
      ++m_pos;
    return m_text.substr(start, m_pos - start);
  }

  void skipSpace() {
    while (m_pos < m_text.size() && isSpace(m_text[m_pos])) ++m_pos;
  }

  int endTag() {
    m_pos += 2;
    std::string_view tag = name();
    skipSpace();
    if (m_pos >= m_text.size() || m_text[m_pos] != '>') return kMalformedElement;
    ++m_pos;
    XmlNode* open = m_open.back();
    if (m_open.size() < 2) return kEndWithoutStart;
    if (!open->name.isString() || open->name.text() != tag) return kStartWithoutEnd;
    m_open.pop_back();
    return kParsed;
  }

  int attribute(XmlNode* node) {
    std::string key(name());
    skipSpace();
    if (key.empty() || m_pos >= m_text.size() || m_text[m_pos] != '=') return kMalformedElement;
    ++m_pos;
    skipSpace();
    if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\'')) return kMalformedElement;
    char quote = m_text[m_pos++];
    size_t end = m_text.find(quote, m_pos);
    if (end == std::string_view::npos) return kAttributeOpen;
    // The first of a repeated attribute stands.
    if (!node->attributes->props.find(key))
      m_vm.set(node->attributes, key, Value(unescapeXml(m_text.substr(m_pos, end - m_pos))));
    m_pos = end + 1;
    if (key == "id") withIds.push_back(node);
    return kParsed;
  }

  int startTag() {
    ++m_pos;
    std::string_view tag = name();
    if (tag.empty()) return kMalformedElement;
    XmlNode* node = makeNode(m_vm, m_elementProto, kElementNode, Value(std::string(tag)));
    insertChild(m_vm, m_open.back(), node, nullptr);
    for (;;) {
      skipSpace();
      if (m_pos >= m_text.size()) return kMalformedElement;
      if (startsWith("/>")) {
        m_pos += 2;
        return kParsed;
      }
      if (m_text[m_pos] == '>') {
        ++m_pos;
        if (m_open.size() > kMaxParseDepth) return kMalformedElement;
        m_open.push_back(node);
        return kParsed;
      }
      if (int status = attribute(node); status != kParsed) return status;
    }
  }

  Machine& m_vm;
  std::vector<XmlNode*> m_open;  // the document, then the elements not yet closed
  bool m_ignoreWhite;
  Object* m_elementProto;
  std::string_view m_text;
  size_t m_pos = 0;
};

// -- writing ----------------------------------------------------------------------------------

void writeStartTag(Machine& vm, XmlNode* n, std::string& out) {
  out += '<';
  out += vm.toString(n->name);
  for (const std::string& key : vm.enumerate(n->attributes)) {
    out += ' ';
    out += key;
    out += "=\"";
    out += escapeXml(vm.toString(vm.getOf(n->attributes, key, Value(n->attributes))));
    out += '"';
  }
  out += n->children.empty() ? " />" : ">";
}

// Written without recursion, so a deep tree cannot exhaust the native stack.
std::string writeNode(Machine& vm, XmlNode* root) {
  std::string out;
  struct Step {
    XmlNode* node;
    size_t next;
  };
  std::vector<Step> stack{{root, 0}};
  while (!stack.empty()) {
    Step& s = stack.back();
    XmlNode* n = s.node;
    bool named = n->nodeType == kElementNode && !n->name.isNullish();
    if (s.next == 0) {
      if (n->nodeType == kTextNode) {
        out += escapeXml(vm.toString(n->value));
        stack.pop_back();
        continue;
      }
      if (named) writeStartTag(vm, n, out);
    }
    if (s.next < n->children.size()) {
      XmlNode* child = n->children[s.next++];
      stack.push_back({child, 0});
      continue;
    }
    if (named && !n->children.empty()) out += "</" + vm.toString(n->name) + ">";
    stack.pop_back();
  }
  return out;
}

XmlNode* cloneNode(Machine& vm, XmlNode* source, bool deep) {
  XmlNode* copy = makeNode(vm, source->proto, source->nodeType, Value());
  copy->name = source->name;
  copy->value = source->value;
  for (const Property& p : source->attributes->props.all()) vm.set(copy->attributes, p.name, p.value);
  if (!deep) return copy;
  std::vector<std::pair<XmlNode*, XmlNode*>> pending{{source, copy}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    for (XmlNode* child : from->children) {
      XmlNode* c = makeNode(vm, child->proto, child->nodeType, Value());
      c->name = child->name;
      c->value = child->value;
      for (const Property& p : child->attributes->props.all()) vm.set(c->attributes, p.name, p.value);
      insertChild(vm, to, c, nullptr);
      pending.push_back({child, c});
    }
  }
  return copy;
}

// -- names and namespaces ---------------------------------------------------------------------

std::string_view prefixOf(std::string_view name) {
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string_view localOf(std::string_view name) {
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Every attribute whose name starts with "xmlns" declares a namespace:
// "xmlns:p" for the prefix p, any other spelling for the default one. The
// first declaration on a node stands.
bool declaredPrefix(const std::string& attribute, std::string_view& prefix) {
  if (attribute.rfind("xmlns", 0) != 0) return false;
  bool named = attribute.size() > 6 && attribute[5] == ':';
  prefix = named ? std::string_view(attribute).substr(6) : std::string_view();
  return true;
}

Value namespaceFor(Machine& vm, XmlNode* node, std::string_view prefix) {
  for (XmlNode* n = node; n; n = n->parent) {
    if (!n->attributes) continue;
    for (const Property& p : n->attributes->props.all())
      if (std::string_view declared; declaredPrefix(p.name, declared) && declared == prefix)
        return Value(vm.toString(p.value));
  }
  return Value::null();
}

Value prefixFor(Machine& vm, XmlNode* node, const std::string& uri) {
  for (XmlNode* n = node; n; n = n->parent) {
    if (!n->attributes) continue;
    for (const Property& p : n->attributes->props.all())
      if (std::string_view declared; declaredPrefix(p.name, declared) && vm.toString(p.value) == uri)
        return Value(std::string(declared));
  }
  return Value::null();
}

// -- the script interface ---------------------------------------------------------------------

using NodeGetter = Value (*)(Machine&, XmlNode*);

Value siblingAt(XmlNode* n, int offset) {
  if (!n->parent) return Value::null();
  auto& list = n->parent->children;
  auto it = std::find(list.begin(), list.end(), n);
  long at = long(it - list.begin()) + offset;
  if (at < 0 || at >= long(list.size())) return Value::null();
  return Value(static_cast<Object*>(list[size_t(at)]));
}

Value nameParts(XmlNode* n, bool prefix) {
  if (n->nodeType != kElementNode || !n->name.isString()) return Value::null();
  return Value(std::string(prefix ? prefixOf(n->name.text()) : localOf(n->name.text())));
}

struct NodeProperty {
  const char* name;
  NodeGetter get;
  NativeFn set;
};

const NodeProperty kNodeProperties[] = {
    {"nodeType", [](Machine&, XmlNode* n) { return Value(double(n->nodeType)); }, nullptr},
    {"nodeName", [](Machine&, XmlNode* n) { return n->name; },
     [](Machine& vm, const Value& self, std::span<const Value> args) {
       if (XmlNode* n = asNode(self)) n->name = arg(args, 0).isNullish() ? Value::null() : Value(vm.toString(args[0]));
       return Value();
     }},
    {"nodeValue", [](Machine&, XmlNode* n) { return n->value; },
     [](Machine& vm, const Value& self, std::span<const Value> args) {
       if (XmlNode* n = asNode(self)) n->value = arg(args, 0).isNullish() ? Value::null() : Value(vm.toString(args[0]));
       return Value();
     }},
    {"attributes", [](Machine&, XmlNode* n) { return Value(n->attributes); },
     [](Machine&, const Value& self, std::span<const Value> args) {
       if (XmlNode* n = asNode(self); n && arg(args, 0).isObject()) n->attributes = args[0].obj;
       return Value();
     }},
    {"childNodes",
     [](Machine& vm, XmlNode* n) {
       if (!n->childArray) refreshChildArray(vm, n);
       return Value(static_cast<Object*>(n->childArray));
     },
     nullptr},
    {"parentNode",
     [](Machine&, XmlNode* n) { return n->parent ? Value(static_cast<Object*>(n->parent)) : Value::null(); }, nullptr},
    {"firstChild",
     [](Machine&, XmlNode* n) {
       return n->children.empty() ? Value::null() : Value(static_cast<Object*>(n->children.front()));
     },
     nullptr},
    {"lastChild",
     [](Machine&, XmlNode* n) {
       return n->children.empty() ? Value::null() : Value(static_cast<Object*>(n->children.back()));
     },
     nullptr},
    {"nextSibling", [](Machine&, XmlNode* n) { return siblingAt(n, 1); }, nullptr},
    {"previousSibling", [](Machine&, XmlNode* n) { return siblingAt(n, -1); }, nullptr},
    {"prefix", [](Machine&, XmlNode* n) { return nameParts(n, true); }, nullptr},
    {"localName", [](Machine&, XmlNode* n) { return nameParts(n, false); }, nullptr},
    {"namespaceURI",
     [](Machine& vm, XmlNode* n) {
       if (n->nodeType != kElementNode || !n->name.isString()) return Value::null();
       return namespaceFor(vm, n, prefixOf(n->name.text()));
     },
     nullptr},
};

template <size_t I>
Value nodeGetter(Machine& vm, const Value& self, std::span<const Value>) {
  XmlNode* n = asNode(self);
  return n ? kNodeProperties[I].get(vm, n) : Value();
}

template <size_t... I>
void installNodeProperties(Machine& vm, Object* proto, std::index_sequence<I...>) {
  auto add = [&](const NodeProperty& p, NativeFn getter) {
    Property& prop = proto->props.insert(p.name);
    prop.getter = vm.newNative(getter);
    prop.setter = p.set ? vm.newNative(p.set) : nullptr;
    prop.flags = kDontEnum | kDontDelete;
  };
  (add(kNodeProperties[I], nodeGetter<I>), ...);
}

Value constructNode(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* o = self.object();
  int type = int(vm.toNumber(arg(args, 0)));
  Value text = arg(args, 1).isNullish() ? Value::null() : Value(vm.toString(args[1]));
  return Value(makeNode(vm, o ? o->proto : vm.objectPrototype(), type == kTextNode ? kTextNode : kElementNode, text));
}

void installNodeMethods(Machine& vm, Object* proto) {
  vm.method(proto, "appendChild", [](Machine& vm, const Value& self, std::span<const Value> args) {
    insertChild(vm, asNode(self), asNode(arg(args, 0)), nullptr);
    return Value();
  });
  vm.method(proto, "insertBefore", [](Machine& vm, const Value& self, std::span<const Value> args) {
    XmlNode* before = asNode(arg(args, 1));
    if (before) insertChild(vm, asNode(self), asNode(arg(args, 0)), before);
    return Value();
  });
  vm.method(proto, "removeNode", [](Machine& vm, const Value& self, std::span<const Value>) {
    if (XmlNode* n = asNode(self)) detach(vm, n);
    return Value();
  });
  vm.method(proto, "hasChildNodes", [](Machine&, const Value& self, std::span<const Value>) {
    XmlNode* n = asNode(self);
    return Value(n && !n->children.empty());
  });
  vm.method(proto, "cloneNode", [](Machine& vm, const Value& self, std::span<const Value> args) {
    XmlNode* n = asNode(self);
    return n ? Value(static_cast<Object*>(cloneNode(vm, n, vm.toBoolean(arg(args, 0))))) : Value();
  });
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    XmlNode* n = asNode(self);
    return n ? Value(writeNode(vm, n)) : Value();
  });
  vm.method(proto, "getNamespaceForPrefix", [](Machine& vm, const Value& self, std::span<const Value> args) {
    XmlNode* n = asNode(self);
    return n ? namespaceFor(vm, n, vm.toString(arg(args, 0))) : Value();
  });
  vm.method(proto, "getPrefixForNamespace", [](Machine& vm, const Value& self, std::span<const Value> args) {
    XmlNode* n = asNode(self);
    return n ? prefixFor(vm, n, vm.toString(arg(args, 0))) : Value();
  });
}

// Replaces the document's children with the nodes read from `text`.
void parseInto(Machine& vm, XmlNode* doc, const std::string& text) {
  while (!doc->children.empty()) detach(vm, doc->children.back());
  XmlParser parser(vm, doc, vm.toBoolean(vm.getOf(doc, "ignoreWhite", Value(doc))));
  int status = parser.parse(text);
  vm.set(doc, "status", Value(double(status)));
  if (!parser.xmlDecl.empty()) vm.set(doc, "xmlDecl", Value(parser.xmlDecl));
  if (!parser.docTypeDecl.empty()) vm.set(doc, "docTypeDecl", Value(parser.docTypeDecl));
  Value map = vm.getOf(doc, "idMap", Value(doc));
  if (!map.isObject()) {
    map = Value(vm.newObject());
    vm.setHidden(doc, "idMap", map);
  }
  for (XmlNode* n : parser.withIds)
    vm.set(map.obj, vm.toString(vm.getOf(n->attributes, "id", Value(n->attributes))), Value(static_cast<Object*>(n)));
}

Value constructDocument(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* o = self.object();
  XmlNode* doc = makeNode(vm, o ? o->proto : vm.objectPrototype(), kElementNode, Value::null());
  if (!arg(args, 0).isNullish()) parseInto(vm, doc, vm.toString(args[0]));
  return Value(static_cast<Object*>(doc));
}

// A load the device cannot serve: the address is kept and the movie hears
// that nothing came, through onData and then onLoad(false), once the
// running script is done.
Value failLoad(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* o = self.object();
  if (!o || args.empty()) return Value(false);
  vm.requestUrl(vm.toString(args[0]));
  vm.set(o, "loaded", Value(false));
  vm.set(o, "_bytesLoaded", Value(0.0));
  vm.addInterval(Value(), self, "onData", 0, {Value()}, true);
  return Value(true);
}

void installDocumentMethods(Machine& vm, Object* proto) {
  vm.method(proto, "parseXML", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (XmlNode* doc = asNode(self)) parseInto(vm, doc, vm.toString(arg(args, 0)));
    return Value();
  });
  vm.method(proto, "createElement", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(makeNode(vm, nodePrototype(vm, "XMLNode"), kElementNode, Value(vm.toString(arg(args, 0)))));
  });
  vm.method(proto, "createTextNode", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(makeNode(vm, nodePrototype(vm, "XMLNode"), kTextNode, Value(vm.toString(arg(args, 0)))));
  });
  vm.method(proto, "toString", [](Machine& vm, const Value& self, std::span<const Value>) {
    XmlNode* doc = asNode(self);
    if (!doc) return Value();
    std::string out;
    for (const char* head : {"xmlDecl", "docTypeDecl"})
      if (Value v = vm.getOf(doc, head, self); !v.isNullish()) out += vm.toString(v);
    return Value(out + writeNode(vm, doc));
  });
  vm.method(proto, "load", failLoad);
  vm.method(proto, "sendAndLoad", [](Machine& vm, const Value&, std::span<const Value> args) {
    Value target = arg(args, 1);
    return failLoad(vm, target, args.first(std::min<size_t>(args.size(), 1)));
  });
  vm.method(proto, "send", [](Machine& vm, const Value&, std::span<const Value> args) {
    if (args.empty()) return Value(false);
    vm.requestUrl(vm.toString(args[0]));
    return Value(true);
  });
  vm.method(proto, "onData", [](Machine& vm, const Value& self, std::span<const Value> args) {
    Object* o = self.object();
    if (!o) return Value();
    Value src = arg(args, 0);
    Value loaded(!src.isUndefined());
    if (loaded.boolean) {
      parseInto(vm, static_cast<XmlNode*>(o), vm.toString(src));
      vm.set(o, "loaded", Value(true));
    }
    vm.call(vm.getOf(o, "onLoad", self), self, std::span<const Value>(&loaded, 1));
    return Value();
  });
  vm.method(proto, "addRequestHeader", [](Machine&, const Value&, std::span<const Value>) { return Value(); });
  vm.method(proto, "getBytesLoaded",
            [](Machine& vm, const Value& self, std::span<const Value>) { return vm.get(self, "_bytesLoaded"); });
  vm.method(proto, "getBytesTotal",
            [](Machine& vm, const Value& self, std::span<const Value>) { return vm.get(self, "_bytesTotal"); });
  vm.setHidden(proto, "contentType", Value("application/x-www-form-urlencoded"));
  vm.setHidden(proto, "ignoreWhite", Value(false));
  vm.setHidden(proto, "loaded", Value());
  vm.setHidden(proto, "status", Value(0.0));
  vm.setHidden(proto, "xmlDecl", Value());
  vm.setHidden(proto, "docTypeDecl", Value());
}

FunctionObject* makeNodeClass(Machine& vm, const char* name, NativeFn construct, Object* proto) {
  FunctionObject* ctor =
      vm.newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); }, construct);
  vm.setHidden(ctor, "prototype", Value(proto));
  vm.setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  vm.setHidden(vm.global(), name, Value(static_cast<Object*>(ctor)));
  return ctor;
}

}  // namespace

void Machine::installXmlBuiltins() {
  Object* nodeProto = newObject();
  makeNodeClass(*this, "XMLNode", constructNode, nodeProto);
  installNodeProperties(*this, nodeProto, std::make_index_sequence<std::size(kNodeProperties)>{});
  installNodeMethods(*this, nodeProto);
  Object* docProto = m_heap.make<Object>(nodeProto);
  makeNodeClass(*this, "XML", constructDocument, docProto);
  installDocumentMethods(*this, docProto);
}

}  // namespace swf::avm
