#pragma once
// The movie script machine: runs the action blocks of SWF 4 to 8 movies
// (frame scripts, initialisation scripts, clip events, button actions,
// functions and intervals) against the timelines of one movie. It owns the
// script heap; the movie player owns it and hands it every frame.
//
// Scripts are bounded: a limit on actions per frame, on the stack, on call
// depth and on live objects. A script that passes one is stopped and the
// movie stays where it was, so a runaway loop never holds up the device.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <span>
#include <typeinfo>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/flash/avmobject.h"
#include "platform/flash/swfmovie.h"
#include "platform/flash/swftimeline.h"

namespace swf::avm {

struct Limits {
  uint64_t maxActionsPerFrame = 50'000'000;
  size_t maxStack = 100'000;
  int maxCallDepth = 256;
  size_t maxObjects = 1'000'000;
};

// One decoded action. Jump targets, block ends and function bodies are
// instruction indices; an index past the end stops the block.
struct Instr {
  uint8_t op = 0;
  uint8_t byte = 0;      // a one-byte operand (register, flags, skip count)
  uint16_t word = 0;     // a two-byte operand (frame, count)
  uint32_t a = 0;        // first push item, jump target, block end, body start
  uint32_t b = 0;        // push item count, body end, catch end
  uint32_t c = 0;        // finally end
  uint32_t payload = 0;  // byte offset of the operands
  uint32_t size = 0;     // operand bytes
};

// A Push item: a register or a constant pool entry read when it runs, or a
// literal made into its value once, when the block is decoded.
struct PushItem {
  enum Source : uint8_t { Literal, Register, Pool };
  Source source = Literal;
  uint8_t reg = 0;
  uint16_t index = 0;
  Value value;
};

using ConstantPool = std::shared_ptr<const std::vector<Value>>;

// What one CallMethod found last: the receiver's type, the prototype chain
// walked to the method's owner and the layout of each map on the way. It
// holds while the receiver has no property of that name, the chain and its
// maps are as they were and no collection has freed (and reused) an object.
struct MethodCache {
  static constexpr size_t kMaxHops = 4;
  StringRef name;
  const std::type_info* receiverType = nullptr;
  uint32_t collections = 0;
  uint32_t hops = 0;                      // 0: nothing cached
  std::array<Object*, kMaxHops> chain{};  // the receiver's prototype first, the owner last
  std::array<uint32_t, kMaxHops> layouts{};
  Property* property = nullptr;  // the owner's, checked for accessors and visibility at each use
};

// An action block decoded once and shared by the functions defined in it.
struct Code {
  ActionBytes bytes;
  std::vector<Instr> instrs;
  std::vector<PushItem> pushes;
  std::vector<ConstantPool> pools;                // of its ConstantPool actions, made ready once
  mutable std::vector<MethodCache> methodCaches;  // one per CallMethod, which holds its index
};

struct ScriptBody {
  std::shared_ptr<const Code> code;
  uint32_t start = 0, end = 0;
  std::string name;
  std::vector<std::pair<uint8_t, std::string>> params;  // register (0: none), name
  uint8_t registerCount = 0;
  uint16_t flags = 0;
  bool v2 = false;  // DefineFunction2
  ConstantPool pool;
};

// Thrown values travel as C++ exceptions inside the machine only.
struct ScriptThrow {
  Value value;
  bool halt = false;  // a recursion bound passed: no catch sees it and the whole action list ends
};
struct ScriptAbort {};

// The operand stack. Pushing only checks for room; the machine's bound on
// the stack is checked by the actions that push.
class ValueStack {
 public:
  ValueStack() {
    m_begin = m_top = static_cast<Value*>(::operator new(kFirstRoom * sizeof(Value)));
    m_end = m_begin + kFirstRoom;
  }
  ~ValueStack() {
    clear();
    ::operator delete(m_begin);
  }
  ValueStack(const ValueStack&) = delete;
  ValueStack& operator=(const ValueStack&) = delete;

  size_t size() const { return size_t(m_top - m_begin); }
  bool empty() const { return m_top == m_begin; }
  Value& back() { return m_top[-1]; }
  Value& operator[](size_t i) { return m_begin[i]; }
  void push_back(const Value& v) {
    if (m_top == m_end) return growAndPush(Value(v));  // `v` may live in the old block
    new (m_top) Value(v);
    ++m_top;
  }
  void push_back(Value&& v) {
    if (m_top == m_end) return growAndPush(Value(std::move(v)));
    new (m_top) Value(std::move(v));
    ++m_top;
  }
  void pop_back() { (--m_top)->~Value(); }
  // The interpreter's loop keeps the top in a register and hands it back
  // before anything else reads the stack.
  Value* base() const { return m_begin; }
  Value* top() const { return m_top; }
  Value* end() const { return m_end; }
  void setTop(Value* top) { m_top = top; }
  void resize(size_t n) {
    while (size() > n) pop_back();
    while (size() < n) push_back(Value());
  }
  void clear() { resize(0); }

 private:
  void growAndPush(Value v);
  static constexpr size_t kFirstRoom = 64;
  Value* m_begin = nullptr;
  Value* m_top = nullptr;
  Value* m_end = nullptr;
};

// The arguments of one call, first argument first, as popped from the stack:
// a few are kept in place, so most calls allocate nothing.
class CallArgs {
 public:
  CallArgs() = default;
  CallArgs(const CallArgs&) = delete;
  CallArgs& operator=(const CallArgs&) = delete;
  void reserve(size_t count) {
    m_spilled = count > kInline;
    if (m_spilled) m_more.reserve(count);
  }
  void add(Value v) {
    if (m_spilled)
      m_more.push_back(std::move(v));
    else if (m_count < kInline)
      m_inline[m_count++] = std::move(v);
  }
  operator std::span<const Value>() const {
    return m_spilled ? std::span<const Value>(m_more) : std::span<const Value>(m_inline.data(), m_count);
  }

 private:
  static constexpr size_t kInline = 4;
  std::array<Value, kInline> m_inline;
  size_t m_count = 0;
  bool m_spilled = false;
  std::vector<Value> m_more;
};

class ClipObject;
class SuperObject;
class TextFieldObject;

constexpr int kDepthOffset = kScriptDepthBase;  // script depth 0 is this display depth
constexpr Depth kTopScriptDepth = 2130706428;   // the deepest display depth a script may use

// The display depth of a depth a script names, when a script may place there.
std::optional<Depth> scriptDepth(double depth);

class Machine : public ScriptHost {
 public:
  using TraceSink = std::function<void(const std::string&)>;

  Machine(const MovieDef& movie, Limits limits = {});
  ~Machine() override;
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  void setTraceSink(TraceSink sink) { m_trace = std::move(sink); }
  // URLs asked for by the movie; recorded, never opened.
  const std::vector<std::string>& requestedUrls() const { return m_urls; }
  void requestUrl(std::string url) { m_urls.push_back(std::move(url)); }
  // Whether a script was stopped by a bound since the movie started.
  bool stoppedByBounds() const { return m_stoppedByBounds; }
  // Arrays and strings a script grows are bounded like the heap: growing one past its
  // bound stops the scripts.
  void ensureArrayLength(size_t length) {
    if (length > kMaxArrayLength) boundPassed();
  }
  void ensureStringLength(size_t length) {
    if (length > kMaxStringLength) boundPassed();
  }

  // Runs the scripts of the root's first frame, queued as it was made.
  void start(TimelineInstance& root);
  // The player's frame: enter-frame events, then the queued scripts.
  void beginFrame(TimelineInstance& root);
  void endFrame();
  // Time for intervals, in milliseconds since the movie started.
  void advanceClock(double milliseconds);
  // Keys from the control's window (virtual key codes).
  void keyDown(int keyCode, int charCode);
  void keyUp(int keyCode);
  void mouseMove(double x, double y);
  void mouseButton(bool down);

  // ScriptHost
  void timelineStarted(TimelineInstance& timeline) override;
  void frameEntered(TimelineInstance& timeline, int frame) override;
  void timelineGone(TimelineInstance& timeline) override;
  void buttonAction(TimelineInstance& timeline, const ActionBytes& actions) override;
  void framesPassed() override { flushStarted(); }
  void textFieldPlaced(TimelineInstance& parent, DisplayObject& object) override;

  // For the built-ins.
  int version() const { return m_version; }
  Heap& heap() { return m_heap; }
  Object* global() { return m_global; }
  Object* objectPrototype() { return m_objectProto; }
  Object* functionPrototype() { return m_functionProto; }
  Object* arrayPrototype() { return m_arrayProto; }
  Object* newObject();
  ArrayObject* newArray(std::vector<Value> items = {});
  FunctionObject* newNative(NativeFn fn, NativeFn construct = nullptr);
  // A constructor without behaviour of its own, with its prototype, hidden on `owner`.
  void installPackageClasses();
  FunctionObject* defineClass(Object* owner, const char* name);
  // A native method on `owner`, hidden from enumeration.
  FunctionObject* method(Object* owner, const char* name, NativeFn fn, uint8_t flags = kDontEnum);
  Object* wrap(const Value& v);  // ToObject; null for undefined and null
  StringRef intern(std::string_view s);

  // Conversions by this movie's version.
  double toNumber(const Value& v);
  std::string toString(const Value& v);
  StringRef toStringRef(const Value& v);
  bool toBoolean(const Value& v);
  Value toPrimitive(const Value& v, bool preferString = false);
  // toPrimitive, telling whether the object had a conversion method at all.
  Value primitiveOf(const Value& v, bool preferString, bool& found);
  std::string typeOf(const Value& v);

  // Properties through the prototype chain, accessors and clip properties.
  Value get(const Value& base, std::string_view name);
  Value getOf(Object* object, std::string_view name, const Value& self);
  void set(Object* object, std::string_view name, const Value& value);
  // set() without watches.
  void storeProperty(Object* object, std::string_view name, const Value& value);
  // addProperty made `name` an accessor of `object`: a watch on it hears so.
  void accessorAdded(Object* object, const std::string& name);
  bool hasProperty(Object* object, std::string_view name);
  void setHidden(Object* object, std::string_view name, const Value& value);
  std::vector<std::string> enumerate(Object* object);

  Value call(const Value& function, const Value& self, std::span<const Value> args);
  Value superConstruct(SuperObject* super, std::span<const Value> args);
  Value construct(const Value& function, std::span<const Value> args);
  bool instanceOf(Object* object, Object* constructor);
  bool inherits(Object* start, Object* proto, Object* constructor, int depth);
  void trace(const std::string& line);

  // Movie clips.
  ClipObject* clipFor(TimelineInstance& timeline);
  ClipObject* rootClip();
  // What _root names from `from`: the nearest clip up from it whose _lockroot is set, else the root.
  ClipObject* rootFor(ClipObject* from);
  std::string targetPath(ClipObject* clip, bool slashes);
  ClipObject* findClip(ClipObject* from, std::string_view path);
  // avmclipprops.cpp: the numbered display properties.
  Value clipProperty(ClipObject* clip, int index);
  void setClipProperty(ClipObject* clip, int index, const Value& v);
  int propertyIndex(std::string_view name) const;
  // What a property's setter makes of a value: a number (NaN for undefined,
  // null, and objects whose valueOf gives none), or text.
  double setterNumber(const Value& v);
  std::string setterString(const Value& v);
  void toggleQuality();
  void gotoFrame(ClipObject* clip, const Value& frame, bool play);
  ClipObject* duplicateClip(ClipObject* clip, const std::string& name, double depth);
  void removeClip(ClipObject* clip);
  ClipObject* attachClip(ClipObject* parent, const std::string& exportName, const std::string& name, double depth);
  ClipObject* createEmptyClip(ClipObject* parent, const std::string& name, double depth);
  void startDrag(ClipObject* clip, bool lockCenter);
  void stopDrag() { m_dragging = nullptr; }
  bool keyIsDown(int code) const { return code >= 0 && code < 256 && m_keysDown[size_t(code)]; }
  int lastKey() const { return m_lastKey; }
  int lastChar() const { return m_lastChar; }
  double mouseX() const { return m_mouseX; }
  double mouseY() const { return m_mouseY; }
  double clock() const { return m_clock; }
  // `once`: a timeout, cleared after its first call.
  int addInterval(const Value& fn, const Value& self, std::string method, double ms, std::vector<Value> args,
                  bool once = false);
  void clearInterval(int id);
  void broadcast(Object* source, std::string_view event, std::span<const Value> args = {});
  const MovieDef& movie() const { return m_movie; }
  ClipObject* findChild(ClipObject* clip, std::string_view name);
  // A null constructor forgets the name.
  void registerClass(const std::string& name, const Value& ctor) {
    if (ctor.isObject())
      m_registered[toLowerAscii(name)] = ctor;
    else
      m_registered.erase(toLowerAscii(name));
  }
  // avmtextfield.cpp: text fields as objects.
  TextFieldObject* fieldFor(const std::shared_ptr<EditTextState>& state);
  TextFieldObject* findField(ClipObject* clip, std::string_view name);
  std::string fieldPath(TextFieldObject* field);
  TextFieldObject* createTextField(ClipObject* parent, const std::string& name, double depth, const Rect& frame);
  // The field's text as its bound variable has it now, when it has one.
  void syncFromVariable(EditTextState& state);
  void setFieldText(EditTextState& state, const std::string& text);
  // avmtext.cpp: a TextFormat object showing `format`, and a TextFormat's
  // set fields written into `format`.
  Value makeTextFormat(const TextFieldFormat& format);
  // A TextFormat of settings the formats share; null where they differ.
  Value makeTextFormat(std::span<const TextFieldFormat* const> formats);
  void applyTextFormat(const Value& textFormat, TextFieldFormat& format, bool characters = true, bool paragraph = true);
  // Whether a bound stopped the scripts: the movie then stays as it is.
  bool frozen() const { return m_frozen; }
  // The clip the running script works on (what SetTarget last chose), or null.
  ClipObject* currentTarget();
  // avmgeom.cpp, avmdraw.cpp: flash.geom, and the clips' drawing and bounds methods.
  void installGeomBuiltins();
  void installDrawingBuiltins();
  // avmbitmap.cpp: flash.display.BitmapData and attachBitmap.
  void installBitmapBuiltins();
  // avmfilters.cpp: flash.filters and a clip's filters.
  void installFilterBuiltins();
  // avmdisplay.cpp: setMask, scrollRect and opaqueBackground.
  void installDisplayBuiltins();
  // avmsound.cpp: Sound, and the ends of the sounds it started, heard as a frame begins.
  void installSoundBuiltins();
  void dispatchSoundEnds();
  // The display object that places a timeline (the root's is kept here).
  DisplayObject* holderOf(TimelineInstance& timeline);
  // A timeline's own space to the stage's, through every parent.
  Matrix concatenatedMatrix(TimelineInstance& timeline);
  // What a timeline shows, in the space of `space` (the stage's when null).
  Rect boundsIn(TimelineInstance& timeline, TimelineInstance* space);
  // _width and _height: the size in the parent's space; setting one scales.
  double clipExtent(ClipObject* clip, bool height);
  void setClipExtent(ClipObject* clip, bool height, double size);

 private:
  struct Frame;
  struct QueuedScript {
    TimelineInstance* timeline;
    ActionBytes actions;
    FunctionObject* function = nullptr;  // an event handler instead of actions
    std::string method;                  // or a method of the clip to call
    ClipObject* clip = nullptr;          // a clip that left the stage, for its unload
  };
  // A frame entered whose scripts wait to be queued among the clips its
  // tags placed.
  struct PendingFrame {
    TimelineInstance* timeline;
    int frame;
    std::vector<QueuedScript> initScripts, scripts;
  };
  struct Interval {
    Value function, self;
    std::string method;
    double periodMs = 0, dueMs = 0;
    std::vector<Value> args;
    bool once = false;
  };

  // avm.cpp: the interpreter.
  std::shared_ptr<const Code> decode(const ActionBytes& bytes);
  void runScript(const ActionBytes& bytes, ClipObject* target);

 public:
  // Runs one block now on `target` (for tests and the player's own calls).
  void runNow(const ActionBytes& bytes, TimelineInstance& target);

 private:
  void runRange(Frame& f, uint32_t start, uint32_t end);
  void step(Frame& f, const Instr& in);
  void stepSwf4(Frame& f, const Instr& in);
  void stepSwf5(Frame& f, const Instr& in);
  void runTry(Frame& f, const Instr& in);
  Value callScript(FunctionObject* fn, const Value& self, std::span<const Value> args, Object* superObject);
  ClipObject* functionTarget(FunctionObject* fn, const Value& self);
  FunctionObject* defineFunction(Frame& f, const Instr& in, bool v2);
  Value getVariable(Frame& f, std::string_view name);
  void setVariable(Frame& f, std::string_view name, const Value& value);
  bool resolvePath(Frame& f, std::string_view path, Object*& base, std::string& member);
  Object* evalTargetPath(Frame& f, std::string_view path);
  ClipObject* targetAt(Frame& f, std::string_view path);
  Object* lookupScope(Frame& f, std::string_view name, Value& out);
  void push(Frame&, Value v) {
    if (m_stack.size() >= m_limits.maxStack) boundPassed();
    m_stack.push_back(std::move(v));
  }
  Value pop(Frame& f);
  // A bound is passed: the scripts stop and the movie freezes.
  [[noreturn]] void boundPassed();
  // Too deep a recursion or prototype chain: the running action list ends, the movie goes on.
  [[noreturn]] static void recursionPassed() { throw ScriptThrow{Value(), true}; }
  const Value& pushed(const Frame& f, const PushItem& item) const;
  std::vector<Value> popArgs(Frame& f);
  void popArgs(Frame& f, CallArgs& args);
  Value add2(const Value& a, const Value& b);
  Value less2(const Value& a, const Value& b);
  bool equals2(const Value& a, const Value& b);
  bool strictEquals(const Value& a, const Value& b);
  bool sameClipPath(Object* a, Object* b);
  void runQueue();
  void runQueued(QueuedScript& script);
  void collectGarbage();
  void runIntervals();
  void enterFrameEvents(TimelineInstance& timeline);
  void callHandler(Object* target, std::string_view name, std::span<const Value> args = {});
  void reportUncaught(const ScriptThrow& thrown);
  void flushStarted();
  void queueStarted(TimelineInstance* timeline, std::vector<TimelineInstance*>& started,
                    std::vector<PendingFrame>& pending);
  void queueLoad(TimelineInstance* timeline);
  void nameStarted(const std::vector<TimelineInstance*>& started);
  void runPending();
  void freezeTimelines();
  void clipEventsAll(uint32_t flag, uint8_t keyCode = 0);
  ClipObject* findClipPath(ClipObject* from, std::string_view path);
  std::shared_ptr<const TimelineDef> spriteDef(uint16_t characterId);
  ClipObject* placeClip(TimelineInstance* parent, double depth, uint16_t characterId,
                        std::shared_ptr<const TimelineDef> def, const std::string& name);

  void setNumericProperty(ClipObject* clip, DisplayObject& holder, int index, double n);
  void setFocusRect(ClipObject* clip, bool on);

  // avmbuiltins.cpp
  void installBuiltins();
  // avmclip.cpp
  void installClipBuiltins();
  // avmmedia.cpp
  void installMediaBuiltins();
  // avmxml.cpp
  void installXmlBuiltins();
  // avmtext.cpp
  void installTextBuiltins();
  // avmtextfield.cpp
  void installTextFieldBuiltins();
  void installStyleSheetBuiltins();
  // avmnative.cpp: ASnative's numbered natives, and the global classes that exist without behaviour of their own.
  void installNativeTable();
  void installGlobalClasses();
  std::map<std::pair<int32_t, int32_t>, NativeFn> m_natives;
  void installSnapshotBuiltins();
  void installSelectionBuiltins();
  void syncAllVariables(TimelineInstance& timeline, int nesting);

  const MovieDef& m_movie;
  int m_version;
  Limits m_limits;
  Heap m_heap;
  TraceSink m_trace;
  std::vector<std::string> m_urls;
  bool m_stoppedByBounds = false;

  Object* m_global = nullptr;
  Object* m_objectProto = nullptr;
  Object* m_functionProto = nullptr;
  Object* m_arrayProto = nullptr;
  Object* m_clipProto = nullptr;
  Object* m_key = nullptr;
  Object* m_mouse = nullptr;
  Object* m_stage = nullptr;

  // The movie-wide display settings scripts read and set.
  enum class Quality { Low, Medium, High, Best };
  Quality m_quality = Quality::High;
  int32_t m_soundBufferTime = 5;
  bool m_focusRect = true;  // before SWF 6; later each clip has its own

  std::unordered_map<const void*, std::shared_ptr<const Code>> m_decoded;
  std::unordered_map<const TimelineInstance*, ClipObject*> m_clips;
  std::unordered_map<const EditTextState*, TextFieldObject*> m_fields;
  Object* m_textFieldProto = nullptr;
  TimelineInstance* m_root = nullptr;
  std::vector<TimelineInstance*> m_started;   // placed since the last frame entry, in order
  std::vector<PendingFrame> m_pendingFrames;  // frames entered since, theirs among them
  // Text fields placed since, each after the first so many timelines of m_started.
  std::vector<std::pair<size_t, std::weak_ptr<EditTextState>>> m_placedFields;
  bool m_frozen = false;
  DisplayObject m_rootHolder;
  int m_instanceCount = 0;
  std::shared_ptr<const TimelineDef> m_emptyDef;
  std::unordered_map<std::string, Value> m_registered;  // registerClass, by lower-case name
  std::vector<QueuedScript> m_queue;
  std::set<const void*> m_initDone;
  ValueStack m_stack;
  int m_depth = 0;
  uint64_t m_actionsLeft = 0;
  std::vector<Frame*> m_frames;  // running frames, for collection roots

  std::map<int, Interval> m_intervals;
  int m_nextInterval = 1;
  double m_clock = 0;
  bool m_keysDown[256] = {};
  int m_lastKey = 0, m_lastChar = 0;
  double m_mouseX = 0, m_mouseY = 0;
  ClipObject* m_dragging = nullptr;
  bool m_dragLockCenter = false;
  std::unordered_map<std::string, StringRef> m_interned;

  void setWatched(Object* object, Watch& watch, const Value& value);
  Value runWatch(Object* object, Watch& watch, const Value& old, const Value& value);
  Property* accessorSlot(Object* object, std::string_view name);
  // Accessor calls running now, by owner and name, for their recursion bound.
  std::vector<std::pair<Object*, std::string>> m_runningAccessors;
  struct RunningAccessor {
    RunningAccessor(Machine& vm, Object* owner, std::string_view name) : vm(vm) {
      vm.m_runningAccessors.emplace_back(owner, std::string(name));
    }
    ~RunningAccessor() { vm.m_runningAccessors.pop_back(); }
    RunningAccessor(const RunningAccessor&) = delete;
    RunningAccessor& operator=(const RunningAccessor&) = delete;
    Machine& vm;
  };
  int accessorLimit() const;
  int accessorDepth(Object* owner, std::string_view name) const;
  void callSetter(Object* owner, Object* object, std::string_view name, const Value& value);
  Value chainTooLong();

  friend class ClipObject;
  Object* findOwner(Object* object, std::string_view name);
  Object* findOwner(Object* object, std::string_view name, Property*& property);
  Value callMethod(Frame& f, const Value& base, std::string_view name, std::span<const Value> args);
  // avmlookup.cpp: CallMethod, through its site's cache.
  void callMethodAction(Frame& f, const Instr& in);
  bool callCachedNative(Frame& f, const Instr& in);
  Property* cachedMethod(MethodCache& cache, Object* receiver, const Value& name);
  Property* fillMethodCache(MethodCache& cache, Object* receiver, const Value& name);
};

// Where a clip's drawing methods stand: the pen, the fill being drawn and
// the line style, in the twips of the clip's drawing.
struct DrawingPen {
  Point at;
  Point subpathStart;
  uint32_t fill = 0;         // 1-based style of the open fill; 0: none
  bool closingEdge = false;  // the open fill's last edge only closes it for now
  uint32_t line = 0;         // 1-based line style; 0: no lines
  int path = -1;             // the path the next line continues; -1: a new one
  bool hasBounds = false;
};

class ClipObject : public Object {
 public:
  ClipObject(Object* proto, bool caseSensitive, TimelineInstance* timeline)
      : Object(proto, caseSensitive), timeline(timeline) {}
  ObjectKind kind() const override { return ObjectKind::Clip; }
  bool getSpecial(Machine& vm, std::string_view name, Value& out) override;
  bool setSpecial(Machine& vm, std::string_view name, const Value& value) override;
  void specialKeys(std::vector<std::string>& keys) override;
  TimelineInstance* timeline;  // null once the clip left the stage
  std::string removedPath;     // its path when it left, for messages
  ClipEventHandlers events;    // its onClipEvent handlers, for its unload
  DrawingPen pen;
  std::optional<bool> focusRect;  // from SWF 6; null until a script sets it
  bool cacheAsBitmap = false;
};

// A text field as scripts see it. The field lives on the stage; the object
// holds it weakly and sees nothing once it is gone.
class TextFieldObject : public Object {
 public:
  using Object::Object;
  ObjectKind kind() const override { return ObjectKind::TextField; }
  bool getSpecial(Machine& vm, std::string_view name, Value& out) override;
  bool setSpecial(Machine& vm, std::string_view name, const Value& value) override;
  std::shared_ptr<EditTextState> live() const { return state.lock(); }
  std::weak_ptr<EditTextState> state;
  std::string removedPath;  // its path when it left
};

// The clip a value names, or null.
ClipObject* asClipValue(const Value& v);
// The pixels of a script's BitmapData, shared; none for anything else or a disposed one.
std::shared_ptr<const BitmapPixels> bitmapPixelsOf(const Value& v);

// One running action block or function call.
struct Machine::Frame {
  const Code* code = nullptr;
  uint32_t pc = 0;
  std::vector<Object*> scope;  // outermost first
  Value self;
  ClipObject* target = nullptr;  // SetTarget moves it; unqualified names fall back to it
  ClipObject* original = nullptr;
  std::vector<Value> registers;
  ConstantPool pool;
  Object* activation = nullptr;
  FunctionObject* callee = nullptr;
  Object* home = nullptr;  // where the running method was found, for super
  Value result;
  bool returned = false;
  size_t stackBase = 0;
};

// What `super` names inside a method: lookups start above `home`, the
// prototype the method was found on, and calls keep `this`.
inline Value Machine::pop(Frame& f) {
  if (m_stack.size() <= f.stackBase) return Value();  // an empty stack answers undefined
  Value v = std::move(m_stack.back());
  m_stack.pop_back();
  return v;
}

class SuperObject : public Object {
 public:
  SuperObject(Object* proto, bool caseSensitive, Object* home, Value self)
      : Object(proto, caseSensitive), home(home), self(std::move(self)) {}
  ObjectKind kind() const override { return ObjectKind::Super; }
  void traceRefs(std::vector<Object*>& out) override {
    out.push_back(home);
    if (self.isObject()) out.push_back(self.obj);
  }
  Object* home;
  Value self;
};

}  // namespace swf::avm
