// Selection: which clip or text field has the focus, moved by scripts, with
// the focus's old and new holders told (onKillFocus, onSetFocus) and the
// Selection's listeners told after them. An object that left the stage
// loses the focus.

#include <cmath>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

class SelectionObject : public Object {
 public:
  using Object::Object;
  void traceRefs(std::vector<Object*>& out) override {
    if (focus) out.push_back(focus);
  }
  Object* focus = nullptr;
  double begin = 0, end = 0;  // the focused field's selection
};

SelectionObject* asSelection(const Value& v) { return dynamic_cast<SelectionObject*>(v.object()); }
Value orNull(Object* o) { return o ? Value(o) : Value::null(); }

bool onStage(Object* o) {
  if (!o) return false;
  if (o->kind() == ObjectKind::Clip) return static_cast<ClipObject*>(o)->timeline != nullptr;
  if (o->kind() == ObjectKind::TextField) return static_cast<TextFieldObject*>(o)->live() != nullptr;
  return false;
}

// Fields take the focus; clips when they say so.
bool focusable(Machine& vm, Object* o) {
  if (!onStage(o)) return false;
  if (o->kind() == ObjectKind::TextField) return true;
  return vm.toBoolean(vm.getOf(o, "focusEnabled", Value(o)));
}

void tell(Machine& vm, Object* o, std::string_view handler, std::span<const Value> args) {
  if (!o) return;
  Value fn = vm.getOf(o, handler, Value(o));
  if (fn.isObject() && fn.obj->kind() == ObjectKind::Function) vm.call(fn, Value(o), args);
}

void moveFocus(Machine& vm, SelectionObject* selection, Object* to) {
  Object* from = selection->focus;
  if (from == to) return;
  selection->focus = to;
  const Value toValue = orNull(to), fromValue = orNull(from);
  if (onStage(from)) tell(vm, from, "onKillFocus", std::span<const Value>(&toValue, 1));
  if (to) tell(vm, to, "onSetFocus", std::span<const Value>(&fromValue, 1));
  const Value both[] = {fromValue, toValue};
  vm.broadcast(selection, "onSetFocus", both);
}

// The focus, once a holder that left the stage has let it go.
Object* currentFocus(Machine& vm, SelectionObject* selection) {
  if (selection->focus && !onStage(selection->focus)) moveFocus(vm, selection, nullptr);
  return selection->focus;
}

Object* targetOf(Machine& vm, const Value& v) {
  if (v.isObject()) return v.obj;
  if (v.isNullish()) return nullptr;
  std::string path = vm.toString(v);
  if (ClipObject* clip = vm.findClip(vm.rootClip(), path)) return clip;
  size_t cut = path.find_last_of(".:/");
  ClipObject* parent = cut == std::string::npos ? vm.rootClip() : vm.findClip(vm.rootClip(), path.substr(0, cut));
  return parent ? vm.findField(parent, cut == std::string::npos ? path : path.substr(cut + 1)) : nullptr;
}

std::string pathOf(Machine& vm, Object* o) {
  if (o->kind() == ObjectKind::TextField) return vm.fieldPath(static_cast<TextFieldObject*>(o));
  return vm.targetPath(static_cast<ClipObject*>(o), false);
}

Value getFocus(Machine& vm, const Value& self, std::span<const Value>) {
  SelectionObject* s = asSelection(self);
  Object* focus = s ? currentFocus(vm, s) : nullptr;
  return focus ? Value(pathOf(vm, focus)) : Value::null();
}

Value setFocus(Machine& vm, const Value& self, std::span<const Value> args) {
  SelectionObject* s = asSelection(self);
  if (!s || args.empty()) return Value(false);
  currentFocus(vm, s);
  Object* target = targetOf(vm, args[0]);
  if (target && !focusable(vm, target)) return Value(false);
  if (target != s->focus && target && target->kind() == ObjectKind::TextField) {
    // A field given the focus has all its text selected.
    s->begin = 0;
    s->end = vm.toNumber(vm.getOf(target, "length", Value(target)));
  }
  moveFocus(vm, s, target);
  return Value(true);
}

SelectionObject* withField(Machine& vm, const Value& self) {
  SelectionObject* s = asSelection(self);
  Object* focus = s ? currentFocus(vm, s) : nullptr;
  return focus && focus->kind() == ObjectKind::TextField ? s : nullptr;
}

// Where the focused field's selection begins and ends (the caret is at its
// end); -1 with no field focused.
Value beginIndex(Machine& vm, const Value& self, std::span<const Value>) {
  SelectionObject* s = withField(vm, self);
  return Value(s ? s->begin : -1.0);
}
Value endIndex(Machine& vm, const Value& self, std::span<const Value>) {
  SelectionObject* s = withField(vm, self);
  return Value(s ? s->end : -1.0);
}

Value setSelection(Machine& vm, const Value& self, std::span<const Value> args) {
  SelectionObject* s = withField(vm, self);
  if (!s || args.size() < 2) return Value();
  double length = vm.toNumber(vm.getOf(s->focus, "length", Value(s->focus)));
  auto index = [&](const Value& v) {
    double n = std::trunc(vm.toNumber(v));
    return std::isnan(n) ? 0.0 : std::clamp(n, 0.0, length);
  };
  s->begin = index(args[0]);
  s->end = index(args[1]);
  if (s->end < s->begin) std::swap(s->begin, s->end);
  return Value();
}

}  // namespace

void Machine::installSelectionBuiltins() {
  auto* selection = m_heap.make<SelectionObject>(m_objectProto);
  setHidden(m_global, "Selection", Value(static_cast<Object*>(selection)));
  Value broadcaster = getOf(m_global, "AsBroadcaster", Value(m_global));
  if (Object* b = broadcaster.object()) {
    const Value target(static_cast<Object*>(selection));
    call(getOf(b, "initialize", broadcaster), broadcaster, std::span<const Value>(&target, 1));
  }
  method(selection, "getFocus", getFocus);
  method(selection, "setFocus", setFocus);
  method(selection, "getBeginIndex", beginIndex);
  method(selection, "getEndIndex", endIndex);
  method(selection, "getCaretIndex", endIndex);
  method(selection, "setSelection", setSelection);
}

}  // namespace swf::avm
