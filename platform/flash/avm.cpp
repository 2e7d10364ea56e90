#include "platform/flash/avm.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/flash/swfreader.h"

namespace swf::avm {

namespace {

constexpr uint32_t kNoIndex = UINT32_MAX;
const Value kUndefined;

// Action codes of SWF 3 to 7.
enum Op : uint8_t {
  kNextFrame = 0x04,
  kPrevFrame = 0x05,
  kPlay = 0x06,
  kStop = 0x07,
  kToggleQuality = 0x08,
  kStopSounds = 0x09,
  kAdd = 0x0A,
  kSubtract = 0x0B,
  kMultiply = 0x0C,
  kDivide = 0x0D,
  kEquals = 0x0E,
  kLess = 0x0F,
  kAnd = 0x10,
  kOr = 0x11,
  kNot = 0x12,
  kStringEquals = 0x13,
  kStringLength = 0x14,
  kStringExtract = 0x15,
  kPop = 0x17,
  kToInteger = 0x18,
  kGetVariable = 0x1C,
  kSetVariable = 0x1D,
  kSetTarget2 = 0x20,
  kStringAdd = 0x21,
  kGetProperty = 0x22,
  kSetProperty = 0x23,
  kCloneSprite = 0x24,
  kRemoveSprite = 0x25,
  kTrace = 0x26,
  kStartDrag = 0x27,
  kEndDrag = 0x28,
  kStringLess = 0x29,
  kThrow = 0x2A,
  kCastOp = 0x2B,
  kImplementsOp = 0x2C,
  kRandomNumber = 0x30,
  kMBStringLength = 0x31,
  kCharToAscii = 0x32,
  kAsciiToChar = 0x33,
  kGetTime = 0x34,
  kMBStringExtract = 0x35,
  kMBCharToAscii = 0x36,
  kMBAsciiToChar = 0x37,
  kDelete = 0x3A,
  kDelete2 = 0x3B,
  kDefineLocal = 0x3C,
  kCallFunction = 0x3D,
  kReturn = 0x3E,
  kModulo = 0x3F,
  kNewObject = 0x40,
  kDefineLocal2 = 0x41,
  kInitArray = 0x42,
  kInitObject = 0x43,
  kTypeOf = 0x44,
  kTargetPath = 0x45,
  kEnumerate = 0x46,
  kAdd2 = 0x47,
  kLess2 = 0x48,
  kEquals2 = 0x49,
  kToNumber = 0x4A,
  kToString = 0x4B,
  kPushDuplicate = 0x4C,
  kStackSwap = 0x4D,
  kGetMember = 0x4E,
  kSetMember = 0x4F,
  kIncrement = 0x50,
  kDecrement = 0x51,
  kCallMethod = 0x52,
  kNewMethod = 0x53,
  kInstanceOf = 0x54,
  kEnumerate2 = 0x55,
  kBitAnd = 0x60,
  kBitOr = 0x61,
  kBitXor = 0x62,
  kBitLShift = 0x63,
  kBitRShift = 0x64,
  kBitURShift = 0x65,
  kStrictEquals = 0x66,
  kGreater = 0x67,
  kStringGreater = 0x68,
  kExtends = 0x69,
  kGotoFrame = 0x81,
  kGetURL = 0x83,
  kStoreRegister = 0x87,
  kConstantPool = 0x88,
  kWaitForFrame = 0x8A,
  kSetTarget = 0x8B,
  kGoToLabel = 0x8C,
  kWaitForFrame2 = 0x8D,
  kDefineFunction2 = 0x8E,
  kTry = 0x8F,
  kWith = 0x94,
  kPush = 0x96,
  kJump = 0x99,
  kGetURL2 = 0x9A,
  kDefineFunction = 0x9B,
  kIf = 0x9D,
  kCall = 0x9E,
  kGotoFrame2 = 0x9F,
};

// DefineFunction2 flags.
enum : uint16_t {
  kPreloadThis = 0x0001,
  kSuppressThis = 0x0002,
  kPreloadArguments = 0x0004,
  kSuppressArguments = 0x0008,
  kPreloadSuper = 0x0010,
  kSuppressSuper = 0x0020,
  kPreloadRoot = 0x0040,
  kPreloadParent = 0x0080,
  kPreloadGlobal = 0x0100,
};

enum PushKind : uint8_t {
  kPushString = 0,
  kPushFloat = 1,
  kPushNull = 2,
  kPushUndefined = 3,
  kPushRegister = 4,
  kPushBoolean = 5,
  kPushDouble = 6,
  kPushInteger = 7,
  kPushConstant8 = 8,
  kPushConstant16 = 9,
};

// Doubles in Push are stored as two little-endian 32-bit halves, high first.
double readPushDouble(SwfReader& r) {
  uint64_t high = r.u32(), low = r.u32();
  uint64_t bits = high << 32 | low;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float readFloat(SwfReader& r) {
  uint32_t bits = r.u32();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

bool decodePush(SwfReader& p, Code& code, Instr& in) {
  in.a = uint32_t(code.pushes.size());
  while (p.ok() && !p.atEnd()) {
    PushItem item;
    switch (p.u8()) {
      case kPushString:
        item.value = Value(std::make_shared<const std::string>(p.string()));
        break;
      case kPushFloat:
        item.value = Value(double(readFloat(p)));
        break;
      case kPushNull:
        item.value = Value::null();
        break;
      case kPushUndefined:
        break;
      case kPushRegister:
        item.source = PushItem::Register;
        item.reg = p.u8();
        break;
      case kPushBoolean:
        item.value = Value(p.u8() != 0);
        break;
      case kPushDouble:
        item.value = Value(readPushDouble(p));
        break;
      case kPushInteger:
        item.value = Value(double(int32_t(p.u32())));
        break;
      case kPushConstant8:
        item.source = PushItem::Pool;
        item.index = p.u8();
        break;
      case kPushConstant16:
        item.source = PushItem::Pool;
        item.index = p.u16();
        break;
      default:
        return false;
    }
    if (p.ok()) code.pushes.push_back(std::move(item));
  }
  in.b = uint32_t(code.pushes.size()) - in.a;
  return true;
}

}  // namespace

// -- decoding ---------------------------------------------------------------

std::shared_ptr<const Code> Machine::decode(const ActionBytes& bytes) {
  auto found = m_decoded.find(bytes.get());
  if (found != m_decoded.end()) return found->second;
  auto code = std::make_shared<Code>();
  code->bytes = bytes;
  const std::vector<uint8_t>& data = *bytes;
  std::vector<uint32_t> indexAt(data.size() + 1, kNoIndex);
  struct Pending {
    uint32_t instr;
    int64_t target[3];
  };
  std::vector<Pending> pending;
  SwfReader r(data);
  while (r.ok() && !r.atEnd()) {
    uint32_t offset = uint32_t(r.position());
    uint8_t op = r.u8();
    if (op == 0) break;
    Instr in;
    in.op = op;
    if (op >= 0x80) {
      in.size = r.u16();
      in.payload = uint32_t(r.position());
      r.skip(in.size);
      if (!r.ok()) break;
    }
    int64_t next = int64_t(r.position());
    SwfReader p(std::span<const uint8_t>(data).subspan(in.payload, in.size));
    Pending jumps{uint32_t(code->instrs.size()), {-1, -1, -1}};
    switch (op) {
      case kPush:
        if (!decodePush(p, *code, in)) in.b = 0;
        break;
      case kConstantPool: {
        auto pool = std::make_shared<std::vector<Value>>();
        uint16_t count = p.u16();
        for (uint16_t i = 0; i < count && p.ok(); ++i) pool->emplace_back(intern(p.string()));
        in.a = uint32_t(code->pools.size());
        code->pools.push_back(std::move(pool));
        break;
      }
      case kJump:
      case kIf:
        jumps.target[0] = next + p.s16();
        break;
      case kCallMethod:
        in.a = uint32_t(code->methodCaches.size());
        code->methodCaches.emplace_back();
        break;
      case kGotoFrame:
        in.word = p.u16();
        break;
      case kWaitForFrame:
        in.word = p.u16();
        in.byte = p.u8();
        break;
      case kWaitForFrame2:
      case kStoreRegister:
      case kGetURL2:
        in.byte = p.u8();
        break;
      case kGotoFrame2:
        in.byte = p.u8();
        if (in.byte & 2) in.word = p.u16();
        break;
      case kWith:
        jumps.target[0] = next + p.u16();
        break;
      case kDefineFunction:
      case kDefineFunction2: {
        // The body follows the action; its length is the last field.
        uint16_t bodySize =
            in.size >= 2 ? uint16_t(data[in.payload + in.size - 2] | data[in.payload + in.size - 1] << 8) : 0;
        jumps.target[0] = next + bodySize;
        break;
      }
      case kTry: {
        uint8_t flags = p.u8();
        uint16_t trySize = p.u16(), catchSize = p.u16(), finallySize = p.u16();
        in.byte = flags;
        jumps.target[0] = next + trySize;
        jumps.target[1] = next + trySize + catchSize;
        jumps.target[2] = next + trySize + catchSize + finallySize;
        break;
      }
      default:
        break;
    }
    indexAt[offset] = uint32_t(code->instrs.size());
    code->instrs.push_back(in);
    if (jumps.target[0] >= 0) pending.push_back(jumps);
  }
  uint32_t count = uint32_t(code->instrs.size());
  // The end of the block, and anything after the End action, stops it.
  for (size_t i = r.position(); i < indexAt.size(); ++i)
    if (indexAt[i] == kNoIndex) indexAt[i] = count;
  auto index = [&](int64_t target) {
    if (target < 0 || target >= int64_t(indexAt.size())) return count;
    uint32_t i = indexAt[size_t(target)];
    return i == kNoIndex ? count : i;
  };
  for (const Pending& j : pending) {
    Instr& in = code->instrs[j.instr];
    switch (in.op) {
      case kDefineFunction:
      case kDefineFunction2:
        in.a = j.instr + 1;
        in.b = std::max(index(j.target[0]), j.instr + 1);
        break;
      case kTry:
        in.a = index(j.target[0]);
        in.b = std::max(index(j.target[1]), in.a);
        in.c = std::max(index(j.target[2]), in.b);
        break;
      default:
        in.a = index(j.target[0]);
    }
  }
  m_decoded.emplace(bytes.get(), code);
  return code;
}

// -- stack and bounds ----------------------------------------------------------

void Machine::boundPassed() {
  m_stoppedByBounds = true;
  throw ScriptAbort{};
}

std::vector<Value> Machine::popArgs(Frame& f) {
  double n = toNumber(pop(f));
  size_t count = n > 0 && std::isfinite(n) ? size_t(n) : 0;
  count = std::min(count, m_stack.size() - f.stackBase);
  std::vector<Value> args;
  args.reserve(count);
  for (size_t i = 0; i < count; ++i) args.push_back(pop(f));
  return args;
}

void Machine::popArgs(Frame& f, CallArgs& args) {
  double n = toNumber(pop(f));
  size_t count = n > 0 && std::isfinite(n) ? size_t(n) : 0;
  count = std::min(count, m_stack.size() - f.stackBase);
  args.reserve(count);
  for (size_t i = 0; i < count; ++i) args.add(pop(f));
}

// -- running -------------------------------------------------------------------

void Machine::runScript(const ActionBytes& bytes, ClipObject* target) {
  if (!bytes || !target) return;
  auto code = decode(bytes);
  Frame f;
  f.code = code.get();
  f.scope = {m_global, target};
  f.self = Value(static_cast<Object*>(target));
  f.target = f.original = target;
  f.registers.resize(4);
  f.stackBase = m_stack.size();
  m_frames.push_back(&f);
  try {
    runRange(f, 0, uint32_t(code->instrs.size()));
  } catch (ScriptThrow& thrown) {
    reportUncaught(thrown);
  } catch (ScriptAbort&) {
    m_frames.pop_back();
    m_stack.resize(f.stackBase);
    throw;
  }
  m_frames.pop_back();
  m_stack.resize(f.stackBase);
}

void Machine::runNow(const ActionBytes& bytes, TimelineInstance& target) {
  if (m_frozen) return;
  m_actionsLeft = m_limits.maxActionsPerFrame;
  try {
    runScript(bytes, clipFor(target));
  } catch (ScriptAbort&) {
    m_frozen = true;
    freezeTimelines();
  }
}

// What an item of a Push holds now.
[[gnu::always_inline]] inline const Value& Machine::pushed(const Frame& f, const PushItem& item) const {
  switch (item.source) {
    case PushItem::Literal:
      return item.value;
    case PushItem::Register:
      return item.reg < f.registers.size() ? f.registers[item.reg] : kUndefined;
    case PushItem::Pool:
      break;
  }
  return f.pool && item.index < f.pool->size() ? (*f.pool)[item.index] : kUndefined;
}

void ValueStack::growAndPush(Value v) {
  size_t count = size(), capacity = std::max<size_t>(64, 2 * count);
  auto* block = static_cast<Value*>(::operator new(capacity * sizeof(Value)));
  for (size_t i = 0; i < count; ++i) {
    new (block + i) Value(std::move(m_begin[i]));
    m_begin[i].~Value();
  }
  ::operator delete(m_begin);
  m_begin = block;
  m_top = block + count;
  m_end = block + capacity;
  new (m_top) Value(std::move(v));
  ++m_top;
}

namespace {

bool truth(const Value& v, bool& known) {
  known = true;
  if (v.type == Type::Boolean) return v.boolean;
  if (v.isNumber()) return v.num != 0 && !std::isnan(v.num);
  known = false;
  return false;
}

// The operators of tight loops on two numbers, done in place on `a`; false
// leaves both as they were for the general rules, which give the same results.
[[gnu::always_inline]] inline bool numeric(uint8_t op, Value& a, const Value& b) {
  if (!a.isNumber() || !b.isNumber()) return false;
  double x = a.num, y = b.num;
  switch (op) {
    case kAdd2:
      a.num = x + y;
      return true;
    case kSubtract:
      a.num = x - y;
      return true;
    case kMultiply:
      a.num = x * y;
      return true;
    case kLess2:
    case kGreater:
      if (std::isnan(x) || std::isnan(y)) return false;  // undefined, not a boolean
      a.boolean = op == kLess2 ? x < y : x > y;
      break;
    case kEquals2:
    case kStrictEquals:
      a.boolean = x == y || (std::isnan(x) && std::isnan(y));
      break;
    default:
      return false;
  }
  a.type = Type::Boolean;
  return true;
}

}  // namespace

// The actions the loop runs in place, numbered densely so that its switch is a jump table.
enum class Fast : uint8_t {
  General,
  Push,
  Pop,
  Jump,
  If,
  StoreRegister,
  Not,
  Increment,
  Decrement,
  PushDuplicate,
  Add2,
  Subtract,
  Multiply,
  Less2,
  Greater,
  Equals2,
  StrictEquals,
};

constexpr std::array<Fast, 256> kFastActions = [] {
  std::array<Fast, 256> table{};
  table[kPush] = Fast::Push;
  table[kPop] = Fast::Pop;
  table[kJump] = Fast::Jump;
  table[kIf] = Fast::If;
  table[kStoreRegister] = Fast::StoreRegister;
  table[kNot] = Fast::Not;
  table[kIncrement] = Fast::Increment;
  table[kDecrement] = Fast::Decrement;
  table[kPushDuplicate] = Fast::PushDuplicate;
  table[kAdd2] = Fast::Add2;
  table[kSubtract] = Fast::Subtract;
  table[kMultiply] = Fast::Multiply;
  table[kLess2] = Fast::Less2;
  table[kGreater] = Fast::Greater;
  table[kEquals2] = Fast::Equals2;
  table[kStrictEquals] = Fast::StrictEquals;
  return table;
}();

// The loop keeps the frame's state in locals: the position, the action
// budget, the stack's top and floor and the registers. The actions of tight
// loops on plain numbers, booleans and registers run in place here; anything
// else hands the state back and takes the general step.
void Machine::runRange(Frame& f, uint32_t start, uint32_t end) {
  f.pc = start;
  if (f.returned || start >= end) return;
  const Instr* const instrs = f.code->instrs.data();
  const Instr* ip = instrs + start;
  const Instr* const stop = instrs + end;
  uint32_t exitAt = kNoIndex;  // a jump out of the range, which ends the loop
  uint64_t left = m_actionsLeft;
  Value *sp, *floor, *limit, *regs;
  size_t regCount;
  auto load = [&] {
    sp = m_stack.top();
    floor = m_stack.base() + f.stackBase;
    // A push past the room or the bound takes the general step, which grows the stack or stops there.
    limit = m_stack.base() + std::min(m_limits.maxStack, size_t(m_stack.end() - m_stack.base()));
    regs = f.registers.data();
    regCount = f.registers.size();
  };
  auto save = [&] {
    m_stack.setTop(sp);
    f.pc = uint32_t(ip - instrs);
    m_actionsLeft = left;
  };
  auto jumpTo = [&](uint32_t target) {
    if (target - start < end - start) {
      ip = instrs + target;
    } else {
      ip = stop;
      exitAt = target;
    }
  };
  auto popTop = [&] {
    --sp;
    sp->~Value();
  };
  auto binary = [&](uint8_t op) {
    if (sp - floor < 2 || !numeric(op, sp[-2], sp[-1])) return false;
    popTop();
    return true;
  };
  // A comparison read at once by If, or by Not and If, branches without
  // leaving its boolean; each action still spends from the budget.
  auto compare = [&](uint8_t op) {
    if (!binary(op)) return false;
    const Instr* next = ip;
    bool negate = false;
    if (next != stop && next->op == kNot && m_version >= 5) {
      negate = true;
      ++next;
    }
    uint64_t actions = uint64_t(next - ip) + 1;
    if (next == stop || next->op != kIf || left < actions) return true;
    bool jump = sp[-1].boolean != negate;
    popTop();
    left -= actions;
    ip = next + 1;
    if (jump) jumpTo(next->a);
    return true;
  };
  load();
  while (ip != stop) {
    const Instr& in = *ip++;
    if (left == 0) {
      save();
      boundPassed();  // the frame's action budget is spent
    }
    --left;
    switch (kFastActions[in.op]) {
      case Fast::Push: {
        if (sp + in.b > limit) break;
        const PushItem* item = f.code->pushes.data() + in.a;
        for (const PushItem* last = item + in.b; item != last; ++item) {
          if (item->source == PushItem::Literal)
            new (sp++) Value(item->value);
          else if (item->source == PushItem::Register)
            new (sp++) Value(item->reg < regCount ? regs[item->reg] : kUndefined);
          else
            new (sp++) Value(pushed(f, *item));
        }
        continue;
      }
      case Fast::Pop:
        if (sp > floor) popTop();
        continue;
      case Fast::Jump:
        jumpTo(in.a);
        continue;
      case Fast::If: {
        bool known;
        if (sp <= floor) break;
        bool jump = truth(sp[-1], known);
        if (!known) break;
        popTop();
        if (jump) jumpTo(in.a);
        continue;
      }
      case Fast::StoreRegister:
        if (sp <= floor || in.byte >= regCount) break;
        // A store followed by a pop moves the value instead of copying it.
        if (ip != stop && ip->op == kPop && left > 0) {
          regs[in.byte] = std::move(sp[-1]);
          popTop();
          ++ip;
          --left;
        } else {
          regs[in.byte] = sp[-1];
        }
        continue;
      case Fast::Not: {
        bool known;
        if (sp <= floor || m_version < 5) break;
        bool value = truth(sp[-1], known);
        if (!known) break;
        sp[-1].boolean = !value;
        sp[-1].type = Type::Boolean;
        continue;
      }
      case Fast::Increment:
      case Fast::Decrement:
        if (sp <= floor || !sp[-1].isNumber()) break;
        sp[-1].num += in.op == kIncrement ? 1 : -1;
        continue;
      case Fast::PushDuplicate:
        if (sp <= floor || sp >= limit) break;
        new (sp) Value(sp[-1]);
        ++sp;
        continue;
      case Fast::Add2:
        if (binary(kAdd2)) continue;
        break;
      case Fast::Subtract:
        if (binary(kSubtract)) continue;
        break;
      case Fast::Multiply:
        if (binary(kMultiply)) continue;
        break;
      case Fast::Less2:
        if (compare(kLess2)) continue;
        break;
      case Fast::Greater:
        if (compare(kGreater)) continue;
        break;
      case Fast::Equals2:
        if (compare(kEquals2)) continue;
        break;
      case Fast::StrictEquals:
        if (compare(kStrictEquals)) continue;
        break;
      case Fast::General:
        break;
      default:
        __builtin_unreachable();  // the table holds only the kinds above
    }
    save();
    if (in.op == kCallMethod)
      callMethodAction(f, in);
    else
      step(f, in);
    if (f.returned) return;
    left = m_actionsLeft;
    load();
    jumpTo(f.pc);
  }
  save();
  if (exitAt != kNoIndex) f.pc = exitAt;
}

void Machine::step(Frame& f, const Instr& in) {
  switch (in.op) {
    case kPush: {
      for (uint32_t i = 0; i < in.b; ++i) {
        const PushItem& item = f.code->pushes[in.a + i];
        push(f, pushed(f, item));
      }
      return;
    }
    case kPop:
      if (m_stack.size() > f.stackBase) m_stack.pop_back();
      return;
    case kJump:
      f.pc = in.a;
      return;
    case kIf: {
      bool jump;
      if (m_stack.size() > f.stackBase && m_stack.back().type == Type::Boolean) {
        jump = m_stack.back().boolean;
        m_stack.pop_back();
      } else {
        jump = toBoolean(pop(f));
      }
      if (jump) f.pc = in.a;
      return;
    }
    case kPushDuplicate: {
      Value v = m_stack.size() > f.stackBase ? m_stack.back() : Value();
      push(f, v);
      return;
    }
    case kStackSwap: {
      Value a = pop(f), b = pop(f);
      push(f, a);
      push(f, b);
      return;
    }
    case kStoreRegister: {
      Value v = m_stack.size() > f.stackBase ? m_stack.back() : Value();
      if (in.byte < f.registers.size()) f.registers[in.byte] = v;
      return;
    }
    case kConstantPool:
      f.pool = f.code->pools[in.a];
      return;
    case kDefineFunction:
    case kDefineFunction2: {
      FunctionObject* fn = defineFunction(f, in, in.op == kDefineFunction2);
      f.pc = in.b;
      // A named function inside a function is one of its locals.
      if (fn->body->name.empty())
        push(f, Value(static_cast<Object*>(fn)));
      else if (f.activation)
        f.activation->props.insert(fn->body->name).value = Value(static_cast<Object*>(fn));
      else
        setVariable(f, fn->body->name, Value(static_cast<Object*>(fn)));
      return;
    }
    case kWith: {
      Object* object = wrap(pop(f));
      uint32_t end = in.a;
      if (!object) {
        f.pc = end;
        return;
      }
      f.scope.push_back(object);
      size_t depth = f.scope.size();
      runRange(f, f.pc, end);
      f.scope.resize(depth - 1);
      return;
    }
    case kTry:
      runTry(f, in);
      return;
    case kThrow:
      throw ScriptThrow{pop(f)};
    case kReturn:
      f.result = pop(f);
      f.returned = true;
      return;
    default:
      break;
  }
  stepSwf5(f, in);
}

void Machine::runTry(Frame& f, const Instr& in) {
  constexpr uint8_t kHasCatch = 1, kHasFinally = 2, kCatchInRegister = 4;
  uint32_t tryStart = f.pc, tryEnd = in.a, catchEnd = in.b, finallyEnd = in.c;
  SwfReader p(std::span<const uint8_t>(*f.code->bytes).subspan(in.payload, in.size));
  p.skip(7);
  uint8_t reg = 0;
  std::string name;
  if (in.byte & kCatchInRegister)
    reg = p.u8();
  else
    name = std::string(p.string());
  size_t scopeDepth = f.scope.size(), stackDepth = m_stack.size();
  auto runFinally = [&] {
    if (!(in.byte & kHasFinally)) return;
    bool returned = f.returned;
    Value result = f.result;
    f.returned = false;
    runRange(f, catchEnd, finallyEnd);
    if (!f.returned) {
      f.returned = returned;
      f.result = result;
    }
  };
  std::optional<ScriptThrow> pendingThrow;
  try {
    runRange(f, tryStart, tryEnd);
  } catch (ScriptThrow& thrown) {
    if (thrown.halt) throw;
    f.scope.resize(scopeDepth);
    m_stack.resize(std::max(stackDepth, f.stackBase));
    if (in.byte & kHasCatch) {
      if (in.byte & kCatchInRegister) {
        if (reg < f.registers.size()) f.registers[reg] = thrown.value;
      } else {
        setVariable(f, name, thrown.value);
      }
      try {
        runRange(f, tryEnd, catchEnd);
      } catch (ScriptThrow& again) {
        if (again.halt) throw;
        pendingThrow = again;
      }
    } else {
      pendingThrow = thrown;
    }
  }
  uint32_t after = f.pc;
  runFinally();
  if (pendingThrow && !f.returned) throw *pendingThrow;
  // Leaving the blocks by a jump goes where it pointed; falling out goes past them.
  f.pc = (after >= tryStart && after <= finallyEnd) ? finallyEnd : after;
}

FunctionObject* Machine::defineFunction(Frame& f, const Instr& in, bool v2) {
  auto body = std::make_shared<ScriptBody>();
  SwfReader p(std::span<const uint8_t>(*f.code->bytes).subspan(in.payload, in.size));
  body->name = std::string(p.string());
  uint16_t count = p.u16();
  if (v2) {
    body->registerCount = p.u8();
    body->flags = p.u16();
  }
  for (uint16_t i = 0; i < count && p.ok(); ++i) {
    uint8_t reg = v2 ? p.u8() : 0;
    body->params.emplace_back(reg, std::string(p.string()));
  }
  body->v2 = v2;
  body->start = in.a;
  body->end = in.b;
  body->pool = f.pool;
  // The code outlives this frame through the body.
  body->code = m_decoded.at(f.code->bytes.get());
  auto* fn = m_heap.make<FunctionObject>(m_functionProto);
  fn->body = std::move(body);
  fn->scope = f.scope;
  fn->target = f.target;
  Object* proto = newObject();
  setHidden(proto, "constructor", Value(static_cast<Object*>(fn)));
  setHidden(fn, "prototype", Value(proto));
  return fn;
}

// The clip a function works on: before SWF 6 the caller's; later the one it
// was defined on while that stays on the stage, else the clip it is called
// on, else the root.
ClipObject* Machine::functionTarget(FunctionObject* fn, const Value& self) {
  if (m_version < 6 && !m_frames.empty() && m_frames.back()->target && m_frames.back()->target->timeline)
    return m_frames.back()->target;
  auto* defined = static_cast<ClipObject*>(fn->target);
  if (defined && defined->timeline) return defined;
  ClipObject* clip = asClipValue(self);
  return clip && clip->timeline ? clip : rootClip();
}

Value Machine::callScript(FunctionObject* fn, const Value& self, std::span<const Value> args, Object* home) {
  if (m_depth + 1 >= m_limits.maxCallDepth) recursionPassed();
  const ScriptBody& body = *fn->body;
  Frame f;
  f.code = body.code.get();
  f.scope = fn->scope;
  f.self = self;
  f.target = f.original = functionTarget(fn, self);
  f.pool = body.pool;
  f.callee = fn;
  f.home = home;
  f.stackBase = m_stack.size();
  Object* activation = m_heap.make<Object>(nullptr);
  f.activation = activation;
  f.scope.push_back(activation);
  f.registers.resize(body.v2 ? std::max<size_t>(body.registerCount, 1) : 4);

  auto argumentsArray = [&] {
    ArrayObject* a = newArray(std::vector<Value>(args.begin(), args.end()));
    setHidden(a, "callee", Value(static_cast<Object*>(fn)));
    return Value(static_cast<Object*>(a));
  };
  auto superValue = [&]() -> Value {
    Object* base = home ? home : (self.isObject() ? self.obj->proto : nullptr);
    // A clip standing in the prototype chain is no class to reach through super.
    if (!base || base->kind() == ObjectKind::Clip) return Value();
    return Value(static_cast<Object*>(m_heap.make<SuperObject>(base->proto, base, self)));
  };
  if (body.v2) {
    size_t r = 1;
    auto preload = [&](uint16_t flag, Value v) {
      if ((body.flags & flag) && r < f.registers.size()) f.registers[r++] = std::move(v);
    };
    preload(kPreloadThis, self);
    preload(kPreloadArguments, (body.flags & kPreloadArguments) ? argumentsArray() : Value());
    preload(kPreloadSuper, (body.flags & kPreloadSuper) ? superValue() : Value());
    preload(kPreloadRoot, Value(static_cast<Object*>(rootClip())));
    // A timeline without a parent takes no register for it: the ones after move down.
    TimelineInstance* t = f.target ? f.target->timeline : nullptr;
    if (t && t->parent()) preload(kPreloadParent, Value(static_cast<Object*>(clipFor(*t->parent()))));
    preload(kPreloadGlobal, Value(m_global));
    if (!(body.flags & (kSuppressArguments | kPreloadArguments))) setHidden(activation, "arguments", argumentsArray());
    if (!(body.flags & (kSuppressSuper | kPreloadSuper))) setHidden(activation, "super", superValue());
  } else {
    setHidden(activation, "arguments", argumentsArray());
    setHidden(activation, "super", superValue());
  }
  for (size_t i = 0; i < body.params.size(); ++i) {
    Value arg = i < args.size() ? args[i] : Value();
    auto& [reg, name] = body.params[i];
    if (body.v2 && reg != 0) {
      if (reg < f.registers.size()) f.registers[reg] = arg;
    } else {
      activation->props.insert(name).value = arg;
    }
  }
  ++m_depth;
  m_frames.push_back(&f);
  struct Leave {
    Machine& vm;
    Frame& f;
    ~Leave() {
      vm.m_frames.pop_back();
      --vm.m_depth;
      vm.m_stack.resize(std::min(vm.m_stack.size(), f.stackBase));
    }
  } leave{*this, f};
  runRange(f, body.start, body.end);
  return f.returned ? f.result : Value();
}

// -- variables and paths --------------------------------------------------------------

Object* Machine::lookupScope(Frame& f, std::string_view name, Value& out) {
  // SWF 4 movies know no global object: NaN and Infinity are undefined names there.
  size_t innermostGlobal = m_version < 5 ? 1 : 0;
  for (size_t i = f.scope.size(); i-- > innermostGlobal;) {
    Object* o = f.scope[i];
    if (i == 1 && !f.callee && f.target) o = f.target;  // tellTarget moves timeline code
    if (hasProperty(o, name)) {
      out = getOf(o, name, Value(o));
      return o;
    }
  }
  return nullptr;
}

// The clip a tellTarget path names: the clip the block runs on for an empty
// one, and the root for one that names no clip.
ClipObject* Machine::targetAt(Frame& f, std::string_view path) {
  if (path.empty()) return f.original;
  ClipObject* clip = asClipValue(Value(evalTargetPath(f, path)));
  return clip ? clip : rootClip();
}

Object* Machine::evalTargetPath(Frame& f, std::string_view path) {
  Object* current = f.target;
  if (path.empty()) return current;
  if (path[0] == '/') {
    current = rootClip();
    path.remove_prefix(1);
  }
  bool first = true;
  while (!path.empty() && current) {
    size_t cut = path.find_first_of("/.:");
    // ".." is a parent step of the slash form, not two dots.
    if (path.substr(0, 2) == "..") cut = 2;
    std::string_view part = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view()
                                         : path.substr(std::min(cut + (part == ".." ? 0 : 1), path.size()));
    if (part == ".." && !path.empty() && path[0] == '/') path.remove_prefix(1);
    if (part.empty()) return nullptr;  // "//" names nothing
    if (part == ".." || equalsIgnoreCase(part, "_parent")) {
      auto* clip = current->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(current) : nullptr;
      TimelineInstance* parent = clip && clip->timeline ? clip->timeline->parent() : nullptr;
      current = parent ? clipFor(*parent) : nullptr;
    } else if (equalsIgnoreCase(part, "_root")) {
      current = rootFor(f.target);
    } else if (part.size() > 6 && equalsIgnoreCase(part.substr(0, 6), "_level")) {
      current = rootClip();
    } else if (first && part == "this") {
      current = f.self.object() ? f.self.object() : current;
    } else if (first && equalsIgnoreCase(part, "_global")) {
      current = m_global;
    } else {
      Value v;
      if (first && !hasProperty(current, part) && lookupScope(f, part, v))
        current = v.object();
      else
        current = getOf(current, part, Value(current)).object();
    }
    first = false;
  }
  return current;
}

bool Machine::resolvePath(Frame& f, std::string_view path, Object*& base, std::string& member) {
  size_t colon = path.rfind(':');
  if (colon != std::string_view::npos) {
    base = evalTargetPath(f, path.substr(0, colon));
    member = std::string(path.substr(colon + 1));
    return true;
  }
  size_t dot = path.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && dot + 1 < path.size() && path[dot - 1] != '.') {
    base = evalTargetPath(f, path.substr(0, dot));
    member = std::string(path.substr(dot + 1));
    return true;
  }
  return false;
}

Value Machine::getVariable(Frame& f, std::string_view name) {
  if (name.find_first_of("/:.") != std::string_view::npos) {
    Object* base = nullptr;
    std::string member;
    if (resolvePath(f, name, base, member)) return base ? getOf(base, member, Value(base)) : Value();
    if (name.find('/') != std::string_view::npos) return Value(evalTargetPath(f, name));
  }
  if (name == "this") return f.self;
  // A variable a script made under one of these names hides what they name.
  Value out;
  if (lookupScope(f, name, out)) return out;
  if (equalsIgnoreCase(name, "_global") && m_version >= 6) return Value(m_global);
  if (equalsIgnoreCase(name, "_root")) return Value(static_cast<Object*>(rootFor(f.target)));
  if (equalsIgnoreCase(name, "_level0")) return Value(static_cast<Object*>(rootClip()));
  if (equalsIgnoreCase(name, "_parent")) {
    TimelineInstance* t = f.target ? f.target->timeline : nullptr;
    return t && t->parent() ? Value(static_cast<Object*>(clipFor(*t->parent()))) : Value();
  }
  return Value();
}

void Machine::setVariable(Frame& f, std::string_view name, const Value& value) {
  if (name.find_first_of(":.") != std::string_view::npos) {
    Object* base = nullptr;
    std::string member;
    if (resolvePath(f, name, base, member)) {
      if (base) set(base, member, value);
      return;
    }
  }
  // Innermost scope that has the name, never the global one; else the timeline.
  for (size_t i = f.scope.size(); i-- > 1;) {
    Object* o = f.scope[i];
    if (i == 1 && !f.callee && f.target) o = f.target;
    if (hasProperty(o, name)) {
      set(o, name, value);
      return;
    }
  }
  if (f.target) set(f.target, name, value);
}

// -- operators --------------------------------------------------------------------------

Value Machine::add2(const Value& a, const Value& b) {
  Value pa = toPrimitive(a), pb = toPrimitive(b);
  if (pa.isString() || pb.isString()) {
    std::string text = toString(pa), tail = toString(pb);
    ensureStringLength(text.size() + tail.size());
    return Value(text + tail);
  }
  return Value(toNumber(pa) + toNumber(pb));
}

Value Machine::less2(const Value& a, const Value& b) {
  // Objects compare by valueOf alone (undefined without one, clips as NaN);
  // one that answers an object makes the comparison false at once.
  auto primitive = [&](const Value& v, bool& isObject) {
    Object* o = v.object();
    isObject = false;
    if (!o || o->kind() == ObjectKind::Date) return toPrimitive(v);
    if (o->kind() == ObjectKind::Clip) return Value(std::numeric_limits<double>::quiet_NaN());
    Value fn = getOf(o, "valueOf", v);
    Value r = fn.isObject() ? call(fn, v, {}) : Value();
    isObject = r.isObject();
    return r;
  };
  bool objectAnswer = false;
  Value pa = primitive(a, objectAnswer);
  if (objectAnswer) return Value(false);
  Value pb = primitive(b, objectAnswer);
  if (objectAnswer) return Value(false);
  if (pa.isString() && pb.isString()) return Value(pa.text() < pb.text());
  double x = toNumber(pa), y = toNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return Value();
  return Value(x < y);
}

bool Machine::equals2(const Value& a, const Value& b) {
  if (a.type == b.type) return strictEquals(a, b);
  if (a.isNullish() && b.isNullish()) return true;
  // An object without conversion methods is undefined to the other side.
  if (a.isObject() && b.isNullish()) return toPrimitive(a).isNullish();
  if (b.isObject() && a.isNullish()) return toPrimitive(b).isNullish();
  if (a.isNullish() || b.isNullish()) return false;
  if (a.isNumber() && b.isString()) return a.num == toNumber(b);
  if (a.isString() && b.isNumber()) return toNumber(a) == b.num;
  if (a.type == Type::Boolean) return equals2(Value(a.boolean ? 1.0 : 0.0), b);
  if (b.type == Type::Boolean) return equals2(a, Value(b.boolean ? 1.0 : 0.0));
  if (a.isObject() && !b.isObject()) {
    Value p = toPrimitive(a);
    return p.isObject() ? false : equals2(p, b);
  }
  if (b.isObject() && !a.isObject()) {
    Value p = toPrimitive(b);
    return p.isObject() ? false : equals2(a, p);
  }
  return false;
}

bool Machine::strictEquals(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case Type::Undefined:
    case Type::Null:
      return true;
    case Type::Boolean:
      return a.boolean == b.boolean;
    case Type::Number:
      return a.num == b.num || (std::isnan(a.num) && std::isnan(b.num));
    case Type::String:
      return a.str == b.str || a.text() == b.text();
    case Type::Object:
      return a.obj == b.obj || sameClipPath(a.obj, b.obj);
  }
  return false;
}

// Clip values compare by the path their clips stand at: two clips of one
// name under one parent are equal.
bool Machine::sameClipPath(Object* a, Object* b) {
  if (a->kind() != ObjectKind::Clip || b->kind() != ObjectKind::Clip) return false;
  auto* x = static_cast<ClipObject*>(a);
  auto* y = static_cast<ClipObject*>(b);
  return x->timeline && y->timeline && targetPath(x, false) == targetPath(y, false);
}

}  // namespace swf::avm
