// The script's Sound: starts and stops the movie's exported sounds on the
// device and sets the volume and pan of the clip it was made for (of the
// whole movie when made without one). A Sound names its clip by path, found
// again at every call, so a clip renamed or gone leaves it without effect
// until a clip answers to the path again.

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/flash/avm.h"
#include "platform/flash/swfsoundplayer.h"

namespace swf::avm {

namespace {

constexpr const char* kPlayingSounds = "__playingSounds";  // the global's: started instances, kept for their end

class SoundObject : public Object {
 public:
  using Object::Object;
  // duration and position read the sound until a script stores its own.
  bool getSpecial(Machine& vm, std::string_view name, Value& out) override;

  Value owner;  // undefined: the whole movie; else the path of a clip
  std::optional<uint16_t> soundId;
  uint64_t ticket = 0;   // the instance started last
  double endedAtMs = 0;  // where the last instance was when it ended
};

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

SoundObject* soundOf(const Value& self) { return dynamic_cast<SoundObject*>(self.object()); }

MovieSounds* movieSounds(Machine& vm) {
  ClipObject* root = vm.rootClip();
  return root && root->timeline ? dynamic_cast<MovieSounds*>(root->timeline->context().sounds) : nullptr;
}

// The timeline a Sound stands for: none when its path names no clip now,
// a null timeline for the whole movie.
std::optional<TimelineInstance*> ownerOf(Machine& vm, const SoundObject& s) {
  if (!s.owner.isString()) return static_cast<TimelineInstance*>(nullptr);
  ClipObject* from = vm.currentTarget() ? vm.currentTarget() : vm.rootClip();
  ClipObject* clip = from ? vm.findClip(from, s.owner.text()) : nullptr;
  if (!clip || !clip->timeline) return std::nullopt;
  return clip->timeline;
}

// The transform a Sound sets and reads, or null when its clip is not there.
SoundTransform* transformOf(Machine& vm, const Value& self) {
  SoundObject* s = soundOf(self);
  auto owner = s ? ownerOf(vm, *s) : std::nullopt;
  if (!owner) return nullptr;
  if (*owner) return &(*owner)->soundTransform;
  if (MovieSounds* sounds = movieSounds(vm)) return &sounds->movieTransform();
  ClipObject* root = vm.rootClip();  // no device sounds: the root keeps it
  return root && root->timeline ? &root->timeline->soundTransform : nullptr;
}

// A sound exported under `name`: exactly as written, else ignoring case.
std::optional<uint16_t> exportedSound(Machine& vm, const std::string& name) {
  const MovieDef& movie = vm.movie();
  auto it = movie.exports.find(name);
  if (it == movie.exports.end())
    it = std::find_if(movie.exports.begin(), movie.exports.end(),
                      [&](const auto& e) { return equalsIgnoreCase(e.first, name); });
  if (it == movie.exports.end() || !movie.sounds.count(it->second)) return std::nullopt;
  return it->second;
}

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// A changed transform is heard at once, not only in what is written next.
Value transformChanged(Machine& vm) {
  if (MovieSounds* sounds = movieSounds(vm)) sounds->refreshGains();
  return Value();
}

Value duration(Machine& vm, const SoundObject& s) {
  MovieSounds* sounds = movieSounds(vm);
  auto ms = s.soundId && sounds ? sounds->durationMs(*s.soundId) : std::nullopt;
  return ms ? Value(*ms) : Value();
}

Value position(Machine& vm, const SoundObject& s) {
  if (!s.soundId) return Value();
  MovieSounds* sounds = movieSounds(vm);
  auto ms = s.ticket && sounds ? sounds->positionMs(s.ticket) : std::nullopt;
  return Value(std::floor(ms ? *ms : s.endedAtMs));
}

bool SoundObject::getSpecial(Machine& vm, std::string_view name, Value& out) {
  bool exact = vm.heap().caseSensitive();
  auto is = [&](const char* wanted) { return exact ? name == wanted : equalsIgnoreCase(name, wanted); };
  if ((!is("duration") && !is("position")) || props.find(name)) return false;
  out = is("duration") ? duration(vm, *this) : position(vm, *this);
  return true;
}

Value makeSound(Machine& vm, const Value& self, std::span<const Value> args) {
  Object* made = self.object();
  if (!made) return self;
  auto* s = vm.heap().make<SoundObject>(made->proto);
  s->props = made->props;
  Value target = arg(args, 0);
  // A clip is named by its path; anything else by its text, which may throw.
  if (ClipObject* clip = asClipValue(target))
    s->owner = Value(vm.targetPath(clip, false));
  else if (!target.isNullish())
    s->owner = Value(vm.toString(target));
  return Value(static_cast<Object*>(s));
}

Value setVolume(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundTransform* t = transformOf(vm, self);
  if (!t) return Value();
  t->volume = finiteOr(vm.toNumber(arg(args, 0)), 0);
  return transformChanged(vm);
}

Value getVolume(Machine& vm, const Value& self, std::span<const Value>) {
  SoundTransform* t = transformOf(vm, self);
  return t ? Value(t->volume) : Value();
}

// Pan takes the far side down; it reads back as how much more the right plays.
Value setPan(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundTransform* t = transformOf(vm, self);
  if (!t) return Value();
  double pan = std::clamp(finiteOr(vm.toNumber(arg(args, 0)), 0), -100.0, 100.0);
  t->ll = pan > 0 ? 100 - pan : 100;
  t->rr = pan < 0 ? 100 + pan : 100;
  t->lr = t->rl = 0;
  return transformChanged(vm);
}

Value getPan(Machine& vm, const Value& self, std::span<const Value>) {
  SoundTransform* t = transformOf(vm, self);
  return t ? Value(t->rr - t->ll) : Value();
}

struct TransformField {
  const char* name;
  double SoundTransform::*field;
};
constexpr TransformField kTransformFields[] = {
    {"ll", &SoundTransform::ll}, {"lr", &SoundTransform::lr}, {"rr", &SoundTransform::rr}, {"rl", &SoundTransform::rl}};

// Only the fields the object has change.
Value setTransform(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundTransform* t = transformOf(vm, self);
  Object* from = arg(args, 0).object();
  if (!t || !from) return Value();
  for (const TransformField& f : kTransformFields) {
    if (!vm.hasProperty(from, f.name)) continue;
    double v = vm.toNumber(vm.getOf(from, f.name, arg(args, 0)));
    if (std::isfinite(v)) t->*f.field = v;
  }
  return transformChanged(vm);
}

Value getTransform(Machine& vm, const Value& self, std::span<const Value>) {
  SoundTransform* t = transformOf(vm, self);
  if (!t) return Value();
  Object* out = vm.newObject();
  for (const TransformField& f : kTransformFields) vm.set(out, f.name, Value(t->*f.field));
  return Value(out);
}

Value attachSound(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundObject* s = soundOf(self);
  if (!s || !ownerOf(vm, *s)) return Value();
  s->soundId = exportedSound(vm, vm.toString(arg(args, 0)));
  s->ticket = 0;
  s->endedAtMs = 0;
  return Value();
}

// The global keeps every started instance's Sound until the instance ends,
// so that its onSoundComplete is heard even when the script let go of it.
Object* playingSounds(Machine& vm) {
  Object* list = vm.getOf(vm.global(), kPlayingSounds, Value(vm.global())).object();
  if (list) return list;
  list = vm.newObject();
  vm.setHidden(vm.global(), kPlayingSounds, Value(list));
  return list;
}

Value start(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundObject* s = soundOf(self);
  MovieSounds* sounds = movieSounds(vm);
  auto owner = s ? ownerOf(vm, *s) : std::nullopt;
  if (!owner || !s->soundId || !sounds) return Value();
  double offset = args.empty() ? 0 : std::max(0.0, finiteOr(vm.toNumber(args[0]), 0));
  double loops = args.size() < 2 ? 1 : finiteOr(vm.toNumber(args[1]), 1);
  uint64_t ticket = sounds->startScripted(*s->soundId, *owner, offset, int(std::clamp(loops, 1.0, 65535.0)));
  if (!ticket) return Value();
  s->ticket = ticket;
  s->endedAtMs = offset * 1000;
  vm.setHidden(playingSounds(vm), std::to_string(ticket), Value(static_cast<Object*>(s)));
  return Value();
}

Value stop(Machine& vm, const Value& self, std::span<const Value> args) {
  SoundObject* s = soundOf(self);
  MovieSounds* sounds = movieSounds(vm);
  auto owner = s ? ownerOf(vm, *s) : std::nullopt;
  if (!owner || !sounds) return Value();
  std::optional<uint16_t> only;
  if (!args.empty() && !args[0].isUndefined()) {
    only = exportedSound(vm, vm.toString(args[0]));
    if (!only) return Value();
  }
  if (s->ticket)
    if (auto at = sounds->positionMs(s->ticket)) s->endedAtMs = *at;
  sounds->stopScripted(*owner, only);
  return Value();
}

Value getDuration(Machine& vm, const Value& self, std::span<const Value>) {
  SoundObject* s = soundOf(self);
  return s ? duration(vm, *s) : Value();
}

Value getPosition(Machine& vm, const Value& self, std::span<const Value>) {
  SoundObject* s = soundOf(self);
  return s ? position(vm, *s) : Value();
}

Value nothing(Machine&, const Value&, std::span<const Value>) { return Value(); }

struct SoundMethod {
  const char* name;
  NativeFn fn;
};
// External sounds are not loaded: the device plays what the movie holds.
constexpr SoundMethod kSoundMethods[] = {
    {"getPan", getPan},
    {"getTransform", getTransform},
    {"getVolume", getVolume},
    {"setPan", setPan},
    {"setTransform", setTransform},
    {"setVolume", setVolume},
    {"stop", stop},
    {"attachSound", attachSound},
    {"start", start},
    {"getDuration", getDuration},
    {"setDuration", nothing},
    {"getPosition", getPosition},
    {"setPosition", nothing},
    {"loadSound", nothing},
    {"getBytesLoaded", nothing},
    {"getBytesTotal", nothing},
};

}  // namespace

void Machine::installSoundBuiltins() {
  Object* proto = newObject();
  FunctionObject* ctor = newNative(nothing, makeSound);
  setHidden(ctor, "prototype", Value(proto));
  setHidden(proto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(m_global, "Sound", Value(static_cast<Object*>(ctor)));
  for (const SoundMethod& m : kSoundMethods) method(proto, m.name, m.fn);
}

// Each ended instance lets go of its Sound; one that played to its end
// calls the Sound's onSoundComplete.
void Machine::dispatchSoundEnds() {
  MovieSounds* sounds = movieSounds(*this);
  if (!sounds) return;
  for (const MovieSounds::Ended& e : sounds->takeEnded()) {
    Object* list = playingSounds(*this);
    std::string key = std::to_string(e.ticket);
    auto* s = dynamic_cast<SoundObject*>(getOf(list, key, Value(list)).object());
    list->props.erase(key);
    if (!s || !e.completed) continue;
    if (s->ticket == e.ticket) {
      s->ticket = 0;
      if (s->soundId)
        if (auto ms = sounds->durationMs(*s->soundId)) s->endedAtMs = *ms;
    }
    callHandler(s, "onSoundComplete");
  }
}

}  // namespace swf::avm
