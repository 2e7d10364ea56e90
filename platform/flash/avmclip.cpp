// The script machine's side of the stage: the queue of frame scripts and
// events, movie clips as objects, their properties and methods, keys,
// the mouse and intervals.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/flash/avm.h"

namespace swf::avm {

namespace {

constexpr size_t kMaxQueue = 100000;
constexpr size_t kCollectAfter = 20000;  // objects made between collections

// onClipEvent flags as the format numbers them.
enum ClipEvent : uint32_t {
  kEventLoad = 0x01,
  kEventEnterFrame = 0x02,
  kEventUnload = 0x04,
  kEventMouseMove = 0x08,
  kEventMouseDown = 0x10,
  kEventMouseUp = 0x20,
  kEventKeyDown = 0x40,
  kEventKeyUp = 0x80,
  kEventData = 0x100,
  kEventInitialize = 0x200,
  kEventKeyPress = 0x20000,
  kEventConstruct = 0x40000,
};

ClipObject* asClip(const Value& v) {
  Object* o = v.object();
  return o && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o) : nullptr;
}

TimelineInstance* timelineOf(const Value& v) {
  ClipObject* c = asClip(v);
  return c ? c->timeline : nullptr;
}

Value arg(std::span<const Value> args, size_t i) { return i < args.size() ? args[i] : Value(); }

// A frame number as the player takes it: a 32-bit integer, less one, wrapping.
int frameIndex(double n) { return int(uint32_t(toInt32(n)) - 1u); }

bool isPlainShape(const MovieDef& movie, const DisplayObject& object) {
  const Character* c = movie.character(object.characterId);
  return c && (c->kind == CharacterKind::Shape || c->kind == CharacterKind::Morph || c->kind == CharacterKind::Text);
}

}  // namespace

Machine::Machine(const MovieDef& movie, Limits limits)
    : m_movie(movie),
      m_version(movie.header.version),
      m_limits(limits),
      m_heap(movie.header.version >= 7, limits.maxObjects) {
  // A movie may ask for less recursion than the device allows, never more.
  if (movie.maxRecursionDepth)
    m_limits.maxCallDepth = std::max(1, std::min<int>(*movie.maxRecursionDepth, m_limits.maxCallDepth));
  installBuiltins();
  installClipBuiltins();
  installMediaBuiltins();
  installXmlBuiltins();
  installTextBuiltins();
  installTextFieldBuiltins();
  installNativeTable();
  installGlobalClasses();
}

Machine::~Machine() = default;

// -- the queue --------------------------------------------------------------------------

void Machine::timelineStarted(TimelineInstance& timeline) { m_started.push_back(&timeline); }

void Machine::frameEntered(TimelineInstance& timeline, int frame) {
  const FrameDef& def = timeline.def().frames[size_t(frame)];
  PendingFrame entered{&timeline, frame, {}, {}};
  for (const ActionBytes& block : def.initScripts)
    if (m_initDone.insert(block.get()).second) entered.initScripts.push_back({&timeline, block});
  for (const ActionBytes& block : def.scripts) entered.scripts.push_back({&timeline, block});
  m_pendingFrames.push_back(std::move(entered));
  // A new timeline's first frame waits for the frame of the parent that placed it.
  if (std::find(m_started.begin(), m_started.end(), &timeline) == m_started.end()) flushStarted();
}

namespace {

// Where in `frame` the clip at `depth` was placed: the index of its place
// command, or past the end for a clip no command of the frame placed.
size_t placedAt(const FrameDef& frame, uint16_t depth) {
  size_t at = SIZE_MAX;
  for (size_t i = 0; i < frame.commands.size(); ++i) {
    const DisplayCommand& c = frame.commands[i];
    if (c.kind == DisplayCommand::Kind::Place && c.place.depth == depth && c.place.characterId) at = i;
  }
  return at;
}

}  // namespace

void Machine::flushStarted() {
  std::vector<TimelineInstance*> started;
  started.swap(m_started);
  std::vector<PendingFrame> pending;
  pending.swap(m_pendingFrames);
  nameStarted(started);
  // Frames entered by timelines already playing queue the clips they placed
  // with them; other new clips follow in the order they were placed, each
  // queueing its own children.
  for (const PendingFrame& p : pending)
    if (p.timeline && std::find(started.begin(), started.end(), p.timeline) == started.end())
      queueStarted(p.timeline, started, pending);
  for (size_t i = 0; i < started.size(); ++i)
    if (started[i]) queueStarted(started[i], started, pending);
}

// Unnamed clips and fields are named in the order they were placed, before
// any script looks for them.
void Machine::nameStarted(const std::vector<TimelineInstance*>& started) {
  std::vector<std::pair<size_t, std::weak_ptr<EditTextState>>> fields;
  fields.swap(m_placedFields);
  size_t field = 0;
  for (size_t i = 0; i <= started.size(); ++i) {
    for (; field < fields.size() && fields[field].first <= i; ++field)
      if (auto state = fields[field].second.lock(); state && state->holder && state->holder->name.empty())
        fieldFor(state);
    TimelineInstance* t = i < started.size() ? started[i] : nullptr;
    if (t && t->holder() && t->holder()->name.empty()) clipFor(*t);
  }
}

void Machine::queueLoad(TimelineInstance* t) {
  DisplayObject* holder = t->holder();
  if (holder && holder->clipEvents) {
    clipFor(*t)->events = holder->clipEvents;  // kept for its unload
    for (const ClipEventHandler& h : *holder->clipEvents)
      if (h.events & kEventLoad) m_queue.push_back({t, h.actions});
  }
  m_queue.push_back({t, nullptr, nullptr, "onLoad"});
}

// Queues a timeline's load event (a new clip's), then its frame's scripts in
// the order of the frame's tags: a clip placed before a DoAction runs its
// own first frame before that script, one placed after it runs after.
void Machine::queueStarted(TimelineInstance* t, std::vector<TimelineInstance*>& started,
                           std::vector<PendingFrame>& pending) {
  auto self = std::find(started.begin(), started.end(), t);
  bool isNew = self != started.end();
  if (isNew) *self = nullptr;
  if (isNew && t != m_root) queueLoad(t);
  auto children = [&](const FrameDef* frame) {
    std::vector<std::pair<size_t, TimelineInstance*>> out;
    for (TimelineInstance* c : started)
      if (c && c->parent() == t) out.push_back({frame ? placedAt(*frame, c->depth()) : SIZE_MAX, c});
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
  };
  for (PendingFrame& p : pending) {
    if (p.timeline != t) continue;
    p.timeline = nullptr;
    const FrameDef& frame = t->def().frames[size_t(p.frame)];
    for (QueuedScript& s : p.initScripts)
      if (s.timeline) m_queue.push_back(std::move(s));
    auto placed = children(&frame);
    size_t next = 0;
    for (size_t i = 0; i < p.scripts.size(); ++i) {
      size_t position = i < frame.scriptPositions.size() ? frame.scriptPositions[i] : SIZE_MAX;
      for (; next < placed.size() && placed[next].first < position; ++next)
        if (std::count(started.begin(), started.end(), placed[next].second))
          queueStarted(placed[next].second, started, pending);
      if (p.scripts[i].timeline) m_queue.push_back(std::move(p.scripts[i]));
    }
  }
  for (const auto& child : children(nullptr))
    if (std::count(started.begin(), started.end(), child.second)) queueStarted(child.second, started, pending);
  if (isNew && t == m_root) queueLoad(t);  // the root hears its load after its first frame
}

void Machine::timelineGone(TimelineInstance& timeline) {
  auto it = m_clips.find(&timeline);
  if (it != m_clips.end()) {
    ClipObject* clip = it->second;
    size_t queued = m_queue.size();
    std::string path = targetPath(clip, false);
    clip->timeline = nullptr;
    m_clips.erase(it);
    // Its unload handlers run with the clip gone from the stage.
    if (clip->events)
      for (const ClipEventHandler& h : *clip->events)
        if (h.events & kEventUnload) m_queue.push_back({nullptr, h.actions, nullptr, "", clip});
    if (hasProperty(clip, "onUnload")) m_queue.push_back({nullptr, nullptr, nullptr, "onUnload", clip});
    if (m_queue.size() > queued) clip->removedPath = std::move(path);
  }
  std::replace(m_started.begin(), m_started.end(), &timeline, static_cast<TimelineInstance*>(nullptr));
  for (PendingFrame& p : m_pendingFrames)
    if (p.timeline == &timeline) p = PendingFrame{nullptr, 0, {}, {}};
  for (QueuedScript& s : m_queue)
    if (s.timeline == &timeline) s.timeline = nullptr;
  if (m_dragging && !m_dragging->timeline) m_dragging = nullptr;
  if (m_root == &timeline) m_root = nullptr;
}

void Machine::buttonAction(TimelineInstance& timeline, const ActionBytes& actions) {
  m_queue.push_back({&timeline, actions});
}

void Machine::start(TimelineInstance& root) {
  m_root = &root;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  runQueue();
}

void Machine::beginFrame(TimelineInstance& root) {
  m_root = &root;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  if (m_frozen) return;
  dispatchSoundEnds();
  enterFrameEvents(root);
}

void Machine::enterFrameEvents(TimelineInstance& timeline) {
  // Children first, as they tick first.
  for (auto& [depth, object] : timeline.displayList())
    if (object.sprite) enterFrameEvents(*object.sprite);
  if (&timeline != m_root) {
    DisplayObject* holder = timeline.holder();
    if (holder && holder->clipEvents)
      for (const ClipEventHandler& h : *holder->clipEvents)
        if (h.events & kEventEnterFrame) m_queue.push_back({&timeline, h.actions});
  }
  m_queue.push_back({&timeline, nullptr, nullptr, "onEnterFrame"});
}

void Machine::endFrame() {
  if (!m_root) return;
  if (!m_frozen) runQueue();
  m_queue.clear();
  if (!m_frozen) syncAllVariables(*m_root, 0);
  if (m_heap.allocatedSinceCollect() > kCollectAfter) collectGarbage();
}

void Machine::runPending() {
  if (m_frozen) return;
  runQueue();
}

void Machine::runQueue() {
  flushStarted();
  try {
    for (size_t i = 0; i < m_queue.size() && !m_frozen; ++i) {
      if (m_queue.size() > kMaxQueue) {
        m_stoppedByBounds = true;
        throw ScriptAbort{};
      }
      QueuedScript script = m_queue[i];
      runQueued(script);
      if (!m_started.empty() || !m_pendingFrames.empty()) flushStarted();
    }
  } catch (ScriptAbort&) {
    // A script passed a bound: the movie stays as it is, frozen.
    m_frozen = true;
    m_stack.clear();
    m_depth = 0;
    freezeTimelines();
  }
  // A clip gone from the stage keeps its path only for its unload handlers.
  for (QueuedScript& script : m_queue)
    if (script.clip) script.clip->removedPath.clear();
  m_queue.clear();
}

void Machine::freezeTimelines() {
  if (!m_root) return;
  std::vector<TimelineInstance*> stack{m_root};
  while (!stack.empty()) {
    TimelineInstance* t = stack.back();
    stack.pop_back();
    t->setPlaying(false);
    for (auto& [depth, object] : t->displayList())
      if (object.sprite) stack.push_back(object.sprite.get());
  }
}

void Machine::runQueued(QueuedScript& script) {
  if (!script.timeline && !script.clip) return;
  ClipObject* clip = script.timeline ? clipFor(*script.timeline) : script.clip;
  if (script.actions) {
    runScript(script.actions, clip);
  } else if (!script.method.empty()) {
    callHandler(clip, script.method);
  }
}

void Machine::callHandler(Object* target, std::string_view name, std::span<const Value> args) {
  if (!target || !hasProperty(target, name)) return;
  Value fn = getOf(target, name, Value(target));
  try {
    call(fn, Value(target), args);
  } catch (ScriptThrow& thrown) {
    reportUncaught(thrown);
  }
}

void Machine::reportUncaught(const ScriptThrow& thrown) {
  // A throw no catch took ends its script; the log says what was thrown.
  if (thrown.halt) return;
  try {
    trace("Warning: Uncaught exception, " + toString(thrown.value));
  } catch (ScriptThrow&) {
  }
}

void Machine::collectGarbage() {
  std::vector<Object*> roots{m_global, m_objectProto, m_functionProto, m_arrayProto, m_clipProto};
  for (auto& [timeline, clip] : m_clips) roots.push_back(clip);
  roots.push_back(m_textFieldProto);
  for (auto it = m_fields.begin(); it != m_fields.end();) {
    if (it->second->state.expired()) {
      it = m_fields.erase(it);
    } else {
      roots.push_back(it->second);
      ++it;
    }
  }
  for (auto& [id, interval] : m_intervals) {
    if (interval.function.isObject()) roots.push_back(interval.function.obj);
    if (interval.self.isObject()) roots.push_back(interval.self.obj);
    for (const Value& v : interval.args)
      if (v.isObject()) roots.push_back(v.obj);
  }
  for (auto& [name, ctor] : m_registered)
    if (ctor.isObject()) roots.push_back(ctor.obj);
  m_heap.collect(roots);
}

// -- time and input ---------------------------------------------------------------------

void Machine::advanceClock(double milliseconds) {
  if (!(milliseconds > 0)) return;
  m_clock += milliseconds;
  if (m_frozen || !m_root) return;
  m_actionsLeft = std::max(m_actionsLeft, m_limits.maxActionsPerFrame / 4);
  runIntervals();
}

void Machine::runIntervals() {
  std::vector<int> due;
  for (auto& [id, interval] : m_intervals)
    if (interval.dueMs <= m_clock) due.push_back(id);
  try {
    for (int id : due) {
      auto it = m_intervals.find(id);
      if (it == m_intervals.end()) continue;
      Interval interval = it->second;
      if (interval.once)
        m_intervals.erase(it);
      else
        it->second.dueMs = m_clock + std::max(interval.periodMs, 1.0);
      try {
        if (!interval.method.empty()) {
          if (Object* o = interval.self.object())
            call(getOf(o, interval.method, interval.self), interval.self, interval.args);
        } else {
          call(interval.function, Value(), interval.args);
        }
      } catch (ScriptThrow& thrown) {
        reportUncaught(thrown);
      }
    }
    runQueue();
  } catch (ScriptAbort&) {
    m_frozen = true;
    freezeTimelines();
  }
}

int Machine::addInterval(const Value& fn, const Value& self, std::string method, double ms, std::vector<Value> args,
                         bool once) {
  int id = m_nextInterval++;
  double period = std::isfinite(ms) && ms > 0 ? ms : 0;
  m_intervals[id] =
      Interval{fn, self, std::move(method), period, m_clock + std::max(period, 1.0), std::move(args), once};
  return id;
}

void Machine::clearInterval(int id) { m_intervals.erase(id); }

void Machine::broadcast(Object* source, std::string_view event, std::span<const Value> args) {
  if (!source) return;
  Value listeners = getOf(source, "_listeners", Value(source));
  auto* list = listeners.object() && listeners.obj->kind() == ObjectKind::Array
                   ? static_cast<ArrayObject*>(listeners.obj)
                   : nullptr;
  if (!list) return;
  std::vector<Value> copy = list->items;
  for (const Value& l : copy)
    if (Object* o = l.object()) callHandler(o, event, args);
}

void Machine::clipEventsAll(uint32_t flag, uint8_t keyCode) {
  if (!m_root) return;
  std::vector<TimelineInstance*> stack{m_root};
  while (!stack.empty()) {
    TimelineInstance* t = stack.back();
    stack.pop_back();
    DisplayObject* holder = t->holder();
    if (holder && holder->clipEvents)
      for (const ClipEventHandler& h : *holder->clipEvents)
        if ((h.events & flag) && (flag != kEventKeyPress || h.keyCode == keyCode)) m_queue.push_back({t, h.actions});
    for (auto& [depth, object] : t->displayList())
      if (object.sprite) stack.push_back(object.sprite.get());
  }
}

void Machine::keyDown(int keyCode, int charCode) {
  if (keyCode >= 0 && keyCode < 256) m_keysDown[size_t(keyCode)] = true;
  m_lastKey = keyCode;
  m_lastChar = charCode;
  if (m_frozen) return;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  clipEventsAll(kEventKeyDown);
  if (charCode) clipEventsAll(kEventKeyPress, uint8_t(charCode));
  broadcast(m_key, "onKeyDown");
  runPending();
}

void Machine::keyUp(int keyCode) {
  if (keyCode >= 0 && keyCode < 256) m_keysDown[size_t(keyCode)] = false;
  m_lastKey = keyCode;
  if (m_frozen) return;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  clipEventsAll(kEventKeyUp);
  broadcast(m_key, "onKeyUp");
  runPending();
}

void Machine::mouseMove(double x, double y) {
  m_mouseX = x;
  m_mouseY = y;
  if (m_dragging && m_dragging->timeline && m_dragging->timeline->holder()) {
    DisplayObject* h = m_dragging->timeline->holder();
    h->matrix.tx = float(x * kTwipsPerPixel);
    h->matrix.ty = float(y * kTwipsPerPixel);
    m_dragging->timeline->context().changed = true;
  }
  if (m_frozen) return;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  clipEventsAll(kEventMouseMove);
  broadcast(m_mouse, "onMouseMove");
  runPending();
}

void Machine::mouseButton(bool down) {
  if (m_frozen) return;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  clipEventsAll(down ? kEventMouseDown : kEventMouseUp);
  broadcast(m_mouse, down ? "onMouseDown" : "onMouseUp");
  runPending();
}

// -- clips ---------------------------------------------------------------------------------

ClipObject* Machine::clipFor(TimelineInstance& timeline) {
  auto it = m_clips.find(&timeline);
  if (it != m_clips.end()) return it->second;
  auto* clip = m_heap.make<ClipObject>(m_clipProto, &timeline);
  m_clips.emplace(&timeline, clip);
  DisplayObject* holder = timeline.holder();
  if (holder && holder->name.empty()) holder->name = "instance" + std::to_string(++m_instanceCount);
  // A sprite exported under a registered class name takes that class.
  if (holder) {
    for (auto& [name, id] : m_movie.exports) {
      if (id != holder->characterId) continue;
      auto reg = m_registered.find(toLowerAscii(name));
      if (reg == m_registered.end()) continue;
      Object* ctor = reg->second.object();
      if (Object* proto = ctor ? getOf(ctor, "prototype", reg->second).object() : nullptr) clip->proto = proto;
      m_queue.insert(m_queue.begin(), QueuedScript{&timeline, nullptr, static_cast<FunctionObject*>(ctor), ""});
    }
  }
  return clip;
}

ClipObject* Machine::rootClip() { return m_root ? clipFor(*m_root) : nullptr; }

ClipObject* Machine::rootFor(ClipObject* from) {
  for (TimelineInstance* t = from ? from->timeline : nullptr; t && t->parent(); t = t->parent()) {
    auto it = m_clips.find(t);
    Property* lock = it != m_clips.end() ? it->second->props.find("_lockroot") : nullptr;
    if (lock && !lock->getter && toBoolean(lock->value)) return it->second;
  }
  return rootClip();
}

std::string Machine::targetPath(ClipObject* clip, bool slashes) {
  if (!clip->timeline) return clip->removedPath;
  std::vector<std::string> names;
  for (TimelineInstance* t = clip->timeline; t && t->parent(); t = t->parent())
    names.push_back(t->holder() ? t->holder()->name : std::string());
  std::string path = slashes ? "" : "_level0";
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += (slashes ? "/" : ".") + *it;
  if (slashes && path.empty()) path = "/";
  return path;
}

ClipObject* Machine::findChild(ClipObject* clip, std::string_view name) {
  if (!clip->timeline) return nullptr;
  for (auto& [depth, object] : clip->timeline->displayList()) {
    if (!(m_heap.caseSensitive() ? object.name == name : equalsIgnoreCase(object.name, name))) continue;
    if (object.sprite) return clipFor(*object.sprite);
    if (isPlainShape(m_movie, object)) return clip;  // a named shape is no object: it answers its clip
  }
  return nullptr;
}

DisplayObject* Machine::holderOf(TimelineInstance& t) {
  // The root has no holder on the stage; its properties are kept here.
  return t.holder() ? t.holder() : &m_rootHolder;
}

void Machine::gotoFrame(ClipObject* clip, const Value& frame, bool play) {
  TimelineInstance* t = clip->timeline;
  if (!t) return;
  std::optional<int> index;
  Value target = frame.isObject() ? toPrimitive(frame, true) : frame;
  if (target.isString()) {
    std::string text = target.text();
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
      // "path:frame" goes to a frame of another clip.
      ClipObject* other = findClipPath(clip, text.substr(0, colon));
      if (other && other != clip) {
        gotoFrame(other, Value(text.substr(colon + 1)), play);
        return;
      }
      text = text.substr(colon + 1);
    }
    if (auto label = t->def().findLabel(text))
      index = *label;
    else if (double n = stringToNumber(text, m_version); std::isfinite(n))
      index = frameIndex(n);
  } else {
    index = frameIndex(toNumber(target));
  }
  // Before the first frame nothing happens; past the last is the last.
  if (!index || *index < 0) return;
  t->gotoFrame(std::min(*index, t->frameCount() - 1));
  t->setPlaying(play);
}

ClipObject* Machine::findClipPath(ClipObject* from, std::string_view path) {
  Object* current = from;
  if (!path.empty() && path[0] == '/') {
    current = rootClip();
    path.remove_prefix(1);
  }
  while (!path.empty() && current) {
    // ".." is a part of its own; an empty part ("//") names nothing.
    size_t cut = path.starts_with("..") ? 2 : path.find_first_of("/.");
    std::string_view part = path.substr(0, cut);
    path = cut >= path.size() ? std::string_view() : path.substr(path[cut] == '/' || path[cut] == '.' ? cut + 1 : cut);
    if (part.empty()) return nullptr;
    ClipObject* clip = current->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(current) : nullptr;
    if (!clip) return nullptr;
    if (part == ".." || equalsIgnoreCase(part, "_parent")) {
      TimelineInstance* p = clip->timeline ? clip->timeline->parent() : nullptr;
      current = p ? clipFor(*p) : nullptr;
    } else if (equalsIgnoreCase(part, "_root")) {
      current = rootFor(clip);
    } else if (equalsIgnoreCase(part, "_level0")) {
      current = rootClip();
    } else {
      current = findChild(clip, part);
    }
  }
  return current && current->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(current) : nullptr;
}

ClipObject* Machine::findClip(ClipObject* from, std::string_view path) { return findClipPath(from, path); }

std::shared_ptr<const TimelineDef> Machine::spriteDef(uint16_t characterId) {
  const Character* c = m_movie.character(characterId);
  if (c && c->kind == CharacterKind::Sprite) return c->sprite;
  if (!m_emptyDef) {
    auto def = std::make_shared<TimelineDef>();
    def->frames.emplace_back();
    m_emptyDef = def;
  }
  return m_emptyDef;
}

std::optional<Depth> scriptDepth(double depth) {
  double key = std::trunc(depth) + kDepthOffset;
  if (!(key >= 0 && key <= kTopScriptDepth)) return std::nullopt;
  return Depth(key);
}

ClipObject* Machine::placeClip(TimelineInstance* parent, double depth, uint16_t characterId,
                               std::shared_ptr<const TimelineDef> def, const std::string& name) {
  auto key = scriptDepth(depth);
  if (!parent || !key) return nullptr;
  DisplayObject* object = parent->placeScripted(*key, characterId, std::move(def), name);
  if (!object || !object->sprite) return nullptr;
  return clipFor(*object->sprite);
}

ClipObject* Machine::duplicateClip(ClipObject* clip, const std::string& name, double depth) {
  TimelineInstance* t = clip->timeline;
  if (!t || !t->parent() || !t->holder()) return nullptr;
  DisplayObject source = DisplayObject{};
  source.characterId = t->holder()->characterId;
  source.matrix = t->holder()->matrix;
  source.colorTransform = t->holder()->colorTransform;
  source.clipEvents = t->holder()->clipEvents;
  ClipObject* copy = placeClip(t->parent(), depth, source.characterId, spriteDef(source.characterId), name);
  if (!copy) return nullptr;
  DisplayObject* h = copy->timeline->holder();
  h->matrix = source.matrix;
  h->colorTransform = source.colorTransform;
  h->clipEvents = source.clipEvents;
  if (t->drawing) copy->timeline->drawing = std::make_unique<ShapeDef>(*t->drawing);
  copy->pen = clip->pen;
  return copy;
}

void Machine::removeClip(ClipObject* clip) {
  TimelineInstance* t = clip->timeline;
  if (!t || !t->parent()) return;
  if (t->depth() < kDepthOffset) return;  // timeline-placed clips at negative depths stay
  t->parent()->removeDepth(t->depth());
}

ClipObject* Machine::attachClip(ClipObject* parent, const std::string& exportName, const std::string& name,
                                double depth) {
  if (!parent->timeline) return nullptr;
  for (auto& [exported, id] : m_movie.exports) {
    if (!equalsIgnoreCase(exported, exportName)) continue;
    const Character* c = m_movie.character(id);
    if (!c || c->kind != CharacterKind::Sprite) return nullptr;
    return placeClip(parent->timeline, depth, id, c->sprite, name);
  }
  return nullptr;
}

ClipObject* Machine::createEmptyClip(ClipObject* parent, const std::string& name, double depth) {
  return placeClip(parent->timeline, depth, 0, spriteDef(0), name);
}

void Machine::startDrag(ClipObject* clip, bool lockCenter) {
  m_dragging = clip;
  m_dragLockCenter = lockCenter;
}

bool ClipObject::getSpecial(Machine& vm, std::string_view name, Value& out) {
  if (!timeline || name.empty()) return false;
  if (name[0] == '_' && !props.find(name)) {
    if (equalsIgnoreCase(name, "_parent")) {
      out = timeline->parent() ? Value(static_cast<Object*>(vm.clipFor(*timeline->parent()))) : Value();
      return true;
    }
    if (equalsIgnoreCase(name, "_root") || equalsIgnoreCase(name, "_level0")) {
      out = Value(static_cast<Object*>(name[1] == 'r' || name[1] == 'R' ? vm.rootFor(this) : vm.rootClip()));
      return true;
    }
    if (equalsIgnoreCase(name, "_lockroot")) {
      out = Value(false);  // until a script sets its own
      return true;
    }
    int index = vm.propertyIndex(name);
    if (index >= 0) {
      out = vm.clipProperty(this, index);
      return true;
    }
  }
  if (ClipObject* child = vm.findChild(this, name)) {
    if (!props.find(name)) {
      out = Value(static_cast<Object*>(child));
      return true;
    }
  }
  if (TextFieldObject* field = vm.findField(this, name)) {
    if (!props.find(name)) {
      out = Value(static_cast<Object*>(field));
      return true;
    }
  }
  return false;
}

// Its named clips, deepest last, are listed with its own properties.
void ClipObject::specialKeys(std::vector<std::string>& keys) {
  if (!timeline) return;
  for (const auto& [depth, object] : timeline->displayList())
    if (object.sprite && !object.name.empty()) keys.push_back(object.name);
}

bool ClipObject::setSpecial(Machine& vm, std::string_view name, const Value& value) {
  if (!timeline || name.empty() || name[0] != '_') return false;
  int index = vm.propertyIndex(name);
  if (index < 0) return false;
  vm.setClipProperty(this, index, value);
  return true;
}

// -- MovieClip, Key, Mouse, Stage ---------------------------------------------------------------

void Machine::installClipBuiltins() {
  m_clipProto = newObject();
  FunctionObject* ctor = newNative([](Machine&, const Value&, std::span<const Value>) { return Value(); });
  setHidden(ctor, "prototype", Value(m_clipProto));
  setHidden(m_clipProto, "constructor", Value(static_cast<Object*>(ctor)));
  setHidden(m_global, "MovieClip", Value(static_cast<Object*>(ctor)));

  auto clipMethod = [&](const char* name, NativeFn fn) { method(m_clipProto, name, fn); };
  clipMethod("play", [](Machine&, const Value& self, std::span<const Value>) {
    if (auto* t = timelineOf(self)) t->setPlaying(true);
    return Value();
  });
  clipMethod("stop", [](Machine&, const Value& self, std::span<const Value>) {
    if (auto* t = timelineOf(self)) t->setPlaying(false);
    return Value();
  });
  clipMethod("gotoAndPlay", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (auto* c = asClip(self)) vm.gotoFrame(c, arg(args, 0), true);
    return Value();
  });
  clipMethod("gotoAndStop", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (auto* c = asClip(self)) vm.gotoFrame(c, arg(args, 0), false);
    return Value();
  });
  clipMethod("nextFrame", [](Machine& vm, const Value& self, std::span<const Value>) {
    if (auto* c = asClip(self); c && c->timeline)
      vm.gotoFrame(c, Value(double(c->timeline->currentFrame() + 2)), false);
    return Value();
  });
  clipMethod("prevFrame", [](Machine& vm, const Value& self, std::span<const Value>) {
    if (auto* c = asClip(self); c && c->timeline)
      vm.gotoFrame(c, Value(double(std::max(1, c->timeline->currentFrame()))), false);
    return Value();
  });
  clipMethod("getDepth", [](Machine&, const Value& self, std::span<const Value>) {
    auto* t = timelineOf(self);
    return t ? Value(double(t->depth() - kDepthOffset)) : Value();
  });
  clipMethod("swapDepths", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto* t = timelineOf(self);
    if (!t || !t->parent()) return Value();
    Value target = arg(args, 0);
    std::optional<Depth> to;
    if (auto* other = timelineOf(target)) {
      if (other->parent() != t->parent()) return Value();
      to = other->depth();
    } else {
      to = scriptDepth(vm.toNumber(target));
    }
    if (!to) return Value();
    if (t->holder()) t->holder()->scripted = true;
    t->parent()->swapDepths(t->depth(), *to);
    return Value();
  });
  clipMethod("getNextHighestDepth", [](Machine&, const Value& self, std::span<const Value>) {
    auto* t = timelineOf(self);
    if (!t) return Value();
    int next = 0;
    if (!t->displayList().empty()) next = std::max(0, t->displayList().rbegin()->first - kDepthOffset + 1);
    return Value(double(next));
  });
  clipMethod("createEmptyMovieClip", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto* c = asClip(self);
    if (!c) return Value();
    ClipObject* made = vm.createEmptyClip(c, vm.toString(arg(args, 0)), vm.toNumber(arg(args, 1)));
    return made ? Value(static_cast<Object*>(made)) : Value();
  });
  clipMethod("attachMovie", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto* c = asClip(self);
    if (!c) return Value();
    ClipObject* made =
        vm.attachClip(c, vm.toString(arg(args, 0)), vm.toString(arg(args, 1)), vm.toNumber(arg(args, 2)));
    if (!made) return Value();
    if (Object* init = arg(args, 3).object())
      for (const std::string& key : vm.enumerate(init)) vm.set(made, key, vm.getOf(init, key, Value(init)));
    return Value(static_cast<Object*>(made));
  });
  clipMethod("duplicateMovieClip", [](Machine& vm, const Value& self, std::span<const Value> args) {
    auto* c = asClip(self);
    if (!c) return Value();
    ClipObject* made = vm.duplicateClip(c, vm.toString(arg(args, 0)), vm.toNumber(arg(args, 1)));
    if (!made) return Value();
    if (Object* init = arg(args, 2).object())
      for (const std::string& key : vm.enumerate(init)) vm.set(made, key, vm.getOf(init, key, Value(init)));
    return Value(static_cast<Object*>(made));
  });
  clipMethod("removeMovieClip", [](Machine& vm, const Value& self, std::span<const Value>) {
    if (auto* c = asClip(self)) vm.removeClip(c);
    return Value();
  });
  clipMethod("startDrag", [](Machine& vm, const Value& self, std::span<const Value> args) {
    if (auto* c = asClip(self)) vm.startDrag(c, vm.toBoolean(arg(args, 0)));
    return Value();
  });
  clipMethod("stopDrag", [](Machine& vm, const Value&, std::span<const Value>) {
    vm.stopDrag();
    return Value();
  });
  // Everything is loaded: a sprite counts its tags, the root the whole movie.
  auto bytes = [](Machine& vm, const Value& self, std::span<const Value>) {
    auto* t = timelineOf(self);
    if (!t) return Value();
    return Value(double(t->parent() ? t->def().byteSize : vm.movie().header.fileLength));
  };
  clipMethod("getBytesLoaded", bytes);
  clipMethod("getBytesTotal", bytes);
  // Key: codes of the keys held, listeners told of presses.
  m_key = newObject();
  setHidden(m_global, "Key", Value(m_key));
  setHidden(m_key, "_listeners", Value(static_cast<Object*>(newArray())));
  method(m_key, "isDown", [](Machine& vm, const Value&, std::span<const Value> args) {
    return Value(vm.keyIsDown(int(vm.toNumber(arg(args, 0)))));
  });
  method(m_key, "getCode",
         [](Machine& vm, const Value&, std::span<const Value>) { return Value(double(vm.lastKey())); });
  method(m_key, "getAscii",
         [](Machine& vm, const Value&, std::span<const Value>) { return Value(double(vm.lastChar())); });
  method(m_key, "isToggled", [](Machine&, const Value&, std::span<const Value>) { return Value(false); });
  constexpr std::pair<const char*, int> kKeyCodes[] = {
      {"BACKSPACE", 8}, {"TAB", 9},     {"ENTER", 13},     {"SHIFT", 16}, {"CONTROL", 17},
      {"CAPSLOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32},     {"PGUP", 33},  {"PGDN", 34},
      {"END", 35},      {"HOME", 36},   {"LEFT", 37},      {"UP", 38},    {"RIGHT", 39},
      {"DOWN", 40},     {"INSERT", 45}, {"DELETEKEY", 46}, {"ALT", 18}};
  for (auto [name, code] : kKeyCodes) {
    Property& p = m_key->props.insert(name);
    p.value = Value(double(code));
    p.flags = kDontEnum | kDontDelete | kReadOnly;
  }

  m_mouse = newObject();
  setHidden(m_global, "Mouse", Value(m_mouse));
  setHidden(m_mouse, "_listeners", Value(static_cast<Object*>(newArray())));
  method(m_mouse, "show", [](Machine&, const Value&, std::span<const Value>) { return Value(1.0); });
  method(m_mouse, "hide", [](Machine&, const Value&, std::span<const Value>) { return Value(0.0); });

  m_stage = newObject();
  setHidden(m_global, "Stage", Value(m_stage));
  setHidden(m_stage, "_listeners", Value(static_cast<Object*>(newArray())));
  Property& width = m_stage->props.insert("width");
  width.value = Value(std::round(double(m_movie.header.frameRect.width()) / kTwipsPerPixel));
  width.flags = kDontEnum | kReadOnly;
  Property& height = m_stage->props.insert("height");
  height.value = Value(std::round(double(m_movie.header.frameRect.height()) / kTwipsPerPixel));
  height.flags = kDontEnum | kReadOnly;
  setHidden(m_stage, "scaleMode", Value("showAll"));
  setHidden(m_stage, "align", Value(""));

  // Listener lists: addListener and removeListener shared by Key, Mouse and Stage.
  for (Object* source : {m_key, m_mouse, m_stage}) {
    method(source, "addListener", [](Machine& vm, const Value& self, std::span<const Value> args) {
      Object* o = self.object();
      auto* list = o ? dynamic_cast<ArrayObject*>(vm.getOf(o, "_listeners", self).object()) : nullptr;
      if (!list || !arg(args, 0).isObject()) return Value(false);
      for (const Value& v : list->items)
        if (v.object() == args[0].obj) return Value(true);
      list->items.push_back(args[0]);
      return Value(true);
    });
    method(source, "removeListener", [](Machine& vm, const Value& self, std::span<const Value> args) {
      Object* o = self.object();
      auto* list = o ? dynamic_cast<ArrayObject*>(vm.getOf(o, "_listeners", self).object()) : nullptr;
      if (!list) return Value(false);
      for (auto it = list->items.begin(); it != list->items.end(); ++it)
        if (it->object() && it->object() == arg(args, 0).object()) {
          list->items.erase(it);
          return Value(true);
        }
      return Value(false);
    });
  }
  installGeomBuiltins();
  installDrawingBuiltins();
  installBitmapBuiltins();
  installFilterBuiltins();
  installDisplayBuiltins();
}

}  // namespace swf::avm
