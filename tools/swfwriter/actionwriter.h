#pragma once
// An assembler for action blocks, for movies whose scripts test the
// control's script machine: pushes, named jump targets, functions, try
// blocks, and the tags that carry scripts (DoInitAction, ExportAssets,
// placements with clip events).

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "tools/swfwriter/swfwriter.h"

namespace swfwrite {

struct Undefined {};
struct Reg {
  uint8_t index;
};
using Pushed = std::variant<std::string, const char*, double, int, bool, std::nullptr_t, Undefined, Reg>;

class ActionWriter {
 public:
  ActionWriter& op(uint8_t code);  // an action without operands
  ActionWriter& push(std::initializer_list<Pushed> values);
  ActionWriter& constantPool(const std::vector<std::string>& strings);
  ActionWriter& pushConstant(uint16_t index);
  ActionWriter& storeRegister(uint8_t index);
  ActionWriter& gotoFrame(uint16_t frame);
  ActionWriter& setTarget(const std::string& path);
  ActionWriter& gotoFrame2(bool play);
  // Jumps to, and the place of, a named target in this block.
  ActionWriter& jump(const std::string& label);
  ActionWriter& ifTrue(const std::string& label);
  ActionWriter& label(const std::string& name);
  ActionWriter& defineFunction(const std::string& name, const std::vector<std::string>& params,
                               const ActionWriter& body);
  // `params`: register (0 for none) and name of each.
  ActionWriter& defineFunction2(const std::string& name, uint8_t registers, uint16_t flags,
                                const std::vector<std::pair<uint8_t, std::string>>& params, const ActionWriter& body);
  // try { body } catch (name) { handler } finally { last }; empty parts are left out.
  ActionWriter& tryCatch(const ActionWriter& body, const std::string& name, const ActionWriter& handler,
                         const ActionWriter& last);
  ActionWriter& with(const ActionWriter& body);
  // The actions of `other` after these; their labels join this block's.
  ActionWriter& append(const ActionWriter& other);
  // Shorthands: trace(value), name = value, and a call of `name` with `args`.
  ActionWriter& trace(Pushed value);
  ActionWriter& traceVariable(const std::string& name);
  ActionWriter& setVariable(const std::string& name, Pushed value);

  // The encoded actions, jumps resolved, without the closing End.
  std::vector<uint8_t> encoded() const;
  // The whole block, with its End action.
  std::vector<uint8_t> bytes() const;
  // The actions one by one, for writers that take records (buttons).
  std::vector<ActionRecord> records() const;

 private:
  struct Item {
    ActionRecord record;
    std::string jumpTo;  // a Jump or If whose offset is resolved at the end
    std::string label;   // a place, no action
  };
  std::vector<Item> m_items;
};

// Actions without operands, as the format numbers them.
enum ActionCode : uint8_t {
  kAdd = 0x0A,
  kSubtract = 0x0B,
  kDivide = 0x0D,
  kEquals = 0x0E,
  kLess = 0x0F,
  kNot = 0x12,
  kStringLength = 0x14,
  kStringExtract = 0x15,
  kPop = 0x17,
  kGetVariable = 0x1C,
  kSetVariable = 0x1D,
  kStringAdd = 0x21,
  kGetProperty = 0x22,
  kSetProperty = 0x23,
  kTrace = 0x26,
  kThrow = 0x2A,
  kCharToAscii = 0x32,
  kAsciiToChar = 0x33,
  kDelete = 0x3A,
  kCallFunction = 0x3D,
  kReturn = 0x3E,
  kNewObject = 0x40,
  kInitArray = 0x42,
  kInitObject = 0x43,
  kTypeOf = 0x44,
  kAdd2 = 0x47,
  kLess2 = 0x48,
  kEquals2 = 0x49,
  kToString = 0x4B,
  kPushDuplicate = 0x4C,
  kStackSwap = 0x4D,
  kGetMember = 0x4E,
  kSetMember = 0x4F,
  kIncrement = 0x50,
  kCallMethod = 0x52,
  kNewMethod = 0x53,
  kInstanceOf = 0x54,
  kEnumerate2 = 0x55,
  kStrictEquals = 0x66,
  kGreater = 0x67,
  kExtends = 0x69,
};

// Clip event flags, as the format numbers them.
enum ClipEventFlag : uint32_t {
  kOnLoad = 0x01,
  kOnEnterFrame = 0x02,
  kOnKeyDown = 0x40,
  kOnKeyUp = 0x80,
};

struct ClipEventScript {
  uint32_t events;
  ActionWriter actions;
};

void doAction(TagStream& tags, const ActionWriter& actions);
void doInitAction(TagStream& tags, uint16_t spriteId, const ActionWriter& actions);
void exportAssets(TagStream& tags, const std::map<uint16_t, std::string>& names);
// PlaceObject2 of a character at `depth` with a name and onClipEvent handlers
// (32-bit event flags, as SWF 6 and later write them).
void placeWithEvents(TagStream& tags, uint16_t depth, uint16_t characterId, const std::string& name,
                     const std::vector<ClipEventScript>& events, const Matrix& matrix = {});

}  // namespace swfwrite
