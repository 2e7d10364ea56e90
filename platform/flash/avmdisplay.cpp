// How a clip is shown, as scripts set it: a mask clip (setMask), a scroll
// rectangle, an opaque background; and what it holds at a depth. Each is kept on the clip's place on the
// stage, where the renderer reads it.

#include <cmath>

#include "platform/flash/avmgeom.h"

namespace swf::avm {

namespace {

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

// The place on the stage of the clip `self` names, or null.
DisplayObject* placeOf(Machine& vm, const Value& self) {
  ClipObject* clip = asClipValue(self);
  return clip && clip->timeline ? vm.holderOf(*clip->timeline) : nullptr;
}

void changed(const Value& self) {
  if (ClipObject* clip = asClipValue(self); clip && clip->timeline) clip->timeline->context().changed = true;
}

int32_t toTwips(double pixels) {
  double t = std::round(pixels * kTwipsPerPixel);
  return std::isfinite(t) ? int32_t(std::clamp(t, -2147483647.0, 2147483647.0)) : 0;
}

void accessor(Machine& vm, Object* owner, const char* name, NativeFn getter, NativeFn setter) {
  Property& p = owner->props.insert(name);
  p.getter = vm.newNative(getter);
  p.setter = vm.newNative(setter);
  p.flags = kDontEnum;
}

// -- setMask ------------------------------------------------------------------------------------

// The clip a path names from `from`: its parts, split at '.', '/' or ':',
// are levels, parents, or members that hold clips.
ClipObject* clipAtPath(Machine& vm, ClipObject* from, std::string_view path) {
  ClipObject* current = from;
  if (path.starts_with("/")) {
    current = vm.rootClip();
    path.remove_prefix(1);
  }
  while (!path.empty() && current) {
    size_t cut = path.starts_with("..") ? 2 : path.find_first_of("./:");
    std::string_view part = path.substr(0, cut);
    path = cut >= path.size() ? std::string_view() : path.substr(cut);
    if (path.starts_with("/") || path.starts_with(":") || (path.starts_with(".") && part != ".."))
      path.remove_prefix(1);  // one separator after each part
    if (part.empty()) return nullptr;
    if (part == ".." || equalsIgnoreCase(part, "_parent")) {
      TimelineInstance* parent = current->timeline ? current->timeline->parent() : nullptr;
      current = parent ? vm.clipFor(*parent) : nullptr;
    } else if (equalsIgnoreCase(part, "_root") || equalsIgnoreCase(part, "_level0")) {
      current = vm.rootClip();
    } else {
      current = asClipValue(vm.get(Value(static_cast<Object*>(current)), part));
    }
  }
  return current;
}

// The clip a mask argument names: a clip, or a target path from the clip
// the script runs on.
ClipObject* maskClip(Machine& vm, const Value& mask) {
  if (ClipObject* clip = asClipValue(mask)) return clip;
  ClipObject* from = vm.currentTarget() ? vm.currentTarget() : vm.rootClip();
  return clipAtPath(vm, from, vm.toString(mask));
}

// True once the mask is set or cleared; false for a mask that names no clip
// on the stage, leaving the clip's mask as it was.
Value setMask(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = asClipValue(self);
  if (!clip || !clip->timeline || args.empty()) return Value();
  if (args[0].isNullish()) {
    clip->timeline->setMask(nullptr);
    return Value(true);
  }
  ClipObject* mask = maskClip(vm, args[0]);
  if (!mask || !mask->timeline) return Value(false);
  clip->timeline->setMask(mask->timeline);
  return Value(true);
}

// The clip or field at a depth of this one; a shape or static text there answers this clip.
Value instanceAtDepth(Machine& vm, const Value& self, std::span<const Value> args) {
  ClipObject* clip = asClipValue(self);
  if (!clip || !clip->timeline || args.empty()) return Value();
  double depth = vm.toNumber(args[0]);
  if (!std::isfinite(depth)) return Value();
  double key = std::trunc(depth) + kDepthOffset;
  if (key < INT32_MIN || key > INT32_MAX) return Value();
  auto& list = clip->timeline->displayList();
  auto it = list.find(Depth(key));
  if (it == list.end()) return Value();
  if (it->second.sprite) return Value(static_cast<Object*>(vm.clipFor(*it->second.sprite)));
  if (it->second.editText && vm.version() >= 6) return Value(static_cast<Object*>(vm.fieldFor(it->second.editText)));
  return Value(static_cast<Object*>(clip));
}

// -- scrollRect and opaqueBackground -------------------------------------------------------------

Value getScrollRect(Machine& vm, const Value& self, std::span<const Value>) {
  DisplayObject* place = placeOf(vm, self);
  if (!place || !place->scrollRect) return Value();
  const Rect& r = *place->scrollRect;
  return makeRectangle(vm, r.xMin / kTwipsPerPixel, r.yMin / kTwipsPerPixel, double(r.width()) / kTwipsPerPixel,
                       double(r.height()) / kTwipsPerPixel);
}

// Any object with x, y, width and height sets the rectangle; anything else
// takes it away.
Value setScrollRect(Machine& vm, const Value& self, std::span<const Value> args) {
  DisplayObject* place = placeOf(vm, self);
  if (!place) return Value();
  Value rect = arg(args, 0);
  if (!rect.object()) {
    place->scrollRect.reset();
  } else {
    int32_t x = toTwips(vm.toNumber(vm.get(rect, "x"))), y = toTwips(vm.toNumber(vm.get(rect, "y")));
    int32_t w = toTwips(vm.toNumber(vm.get(rect, "width"))), h = toTwips(vm.toNumber(vm.get(rect, "height")));
    place->scrollRect = Rect{x, int32_t(std::clamp<int64_t>(int64_t(x) + std::max(w, 0), INT32_MIN, INT32_MAX)), y,
                             int32_t(std::clamp<int64_t>(int64_t(y) + std::max(h, 0), INT32_MIN, INT32_MAX))};
  }
  changed(self);
  return Value();
}

Value getOpaqueBackground(Machine& vm, const Value& self, std::span<const Value>) {
  DisplayObject* place = placeOf(vm, self);
  if (!place || !place->opaqueBackground) return Value();
  const Rgba& c = *place->opaqueBackground;
  return Value(double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b));
}

// A colour number; undefined, null or what is not a number takes it away.
Value setOpaqueBackground(Machine& vm, const Value& self, std::span<const Value> args) {
  DisplayObject* place = placeOf(vm, self);
  if (!place) return Value();
  Value v = arg(args, 0);
  double n = v.isNullish() ? NAN : vm.toNumber(v);
  if (std::isnan(n)) {
    place->opaqueBackground.reset();
  } else {
    auto rgb = uint32_t(int64_t(std::fmod(std::trunc(n), 4294967296.0)));
    place->opaqueBackground = Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255};
  }
  changed(self);
  return Value();
}

// blendMode's names, by the format's numbers from 1; 0 reads as normal too.
constexpr const char* kBlendNames[] = {"normal", "layer",    "multiply", "screen", "lighten", "darken",  "difference",
                                       "add",    "subtract", "invert",   "alpha",  "erase",   "overlay", "hardlight"};

Value getBlendMode(Machine& vm, const Value& self, std::span<const Value>) {
  DisplayObject* place = placeOf(vm, self);
  if (!place) return Value();
  size_t mode = place->blendMode;
  return Value(kBlendNames[mode >= 1 && mode <= std::size(kBlendNames) ? mode - 1 : 0]);
}

// A name of a mode, or its number; anything else leaves the mode as it is.
Value setBlendMode(Machine& vm, const Value& self, std::span<const Value> args) {
  DisplayObject* place = placeOf(vm, self);
  if (!place) return Value();
  Value v = arg(args, 0);
  if (v.isString()) {
    for (size_t i = 0; i < std::size(kBlendNames); ++i)
      if (v.text() == kBlendNames[i]) place->blendMode = uint8_t(i + 1);
  } else if (v.isNumber() && v.num >= 1 && v.num <= double(std::size(kBlendNames))) {
    place->blendMode = uint8_t(v.num);
  }
  changed(self);
  return Value();
}

Value getCacheAsBitmap(Machine&, const Value& self, std::span<const Value>) {
  ClipObject* clip = asClipValue(self);
  return clip ? Value(clip->cacheAsBitmap) : Value();
}

Value setCacheAsBitmap(Machine& vm, const Value& self, std::span<const Value> args) {
  if (ClipObject* clip = asClipValue(self)) clip->cacheAsBitmap = vm.toBoolean(arg(args, 0));
  return Value();
}

}  // namespace

void Machine::installDisplayBuiltins() {
  if (m_version < 6) return;
  method(m_clipProto, "setMask", setMask);
  // Plain properties every clip inherits until it sets its own.
  setHidden(m_clipProto, "enabled", Value(true));
  setHidden(m_clipProto, "useHandCursor", Value(true));
  if (m_version < 7) return;
  method(m_clipProto, "getInstanceAtDepth", instanceAtDepth);
  method(m_clipProto, "getSWFVersion", [](Machine& vm, const Value& self, std::span<const Value>) {
    return asClipValue(self) ? Value(vm.version()) : Value();
  });
  if (m_version < 8) return;
  accessor(*this, m_clipProto, "scrollRect", getScrollRect, setScrollRect);
  accessor(*this, m_clipProto, "opaqueBackground", getOpaqueBackground, setOpaqueBackground);
  accessor(*this, m_clipProto, "blendMode", getBlendMode, setBlendMode);
  accessor(*this, m_clipProto, "cacheAsBitmap", getCacheAsBitmap, setCacheAsBitmap);
}

}  // namespace swf::avm
