#include "platform/flash/avm.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/actionwriter.h"

using namespace swf;
using namespace swfwrite;

namespace {

std::vector<std::string> run(const ActionWriter& script, uint8_t version, int frames = 1) {
  MovieWriter movie(100, 100, 12, version);
  doAction(movie, script);
  movie.showFrame();
  for (int i = 1; i < frames; ++i) movie.showFrame();
  return flashtest::traceLines(movie, frames);
}

struct ScriptCase {
  const char* name;
  uint8_t version;
  ActionWriter script;
  std::vector<std::string> lines;
};

// A counting loop: i from 0 while i < 3, tracing each.
ActionWriter countingLoop() {
  ActionWriter w;
  w.setVariable("i", 0).label("top").push({"i"}).op(kGetVariable).push({3}).op(kLess2).op(kNot).ifTrue("end");
  w.traceVariable("i").push({"i", "i"}).op(kGetVariable).op(kIncrement).op(kSetVariable).jump("top").label("end");
  return w;
}

ActionWriter functionCall() {
  ActionWriter body;
  body.push({"a"}).op(kGetVariable).push({"b"}).op(kGetVariable).op(kAdd2).op(kReturn);
  ActionWriter w;
  w.defineFunction("sum", {"a", "b"}, body);
  return w.push({4, 3, 2, "sum"}).op(kCallFunction).op(kTrace);
}

ActionWriter registerFunction() {
  // function (x in r2) { return this.k + x } with `this` preloaded in r1.
  ActionWriter body;
  body.push({Reg{1}, "k"}).op(kGetMember).push({Reg{2}}).op(kAdd2).op(kReturn);
  ActionWriter w;
  w.push({"o", "k", 10, 1}).op(kInitObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).push({"f"});
  w.defineFunction2("", 3, 0x0001, {{2, "x"}}, body);
  w.op(kSetMember);
  return w.push({5, 1, "o"}).op(kGetVariable).push({"f"}).op(kCallMethod).op(kTrace);
}

ActionWriter tryCatchFinally() {
  ActionWriter body, handler, last;
  body.trace("in").push({"boom"}).op(kThrow).trace("not here");
  handler.traceVariable("e");
  last.trace("finally");
  ActionWriter w;
  return w.tryCatch(body, "e", handler, last).trace("after");
}

ActionWriter objectsAndEnumeration() {
  ActionWriter w;
  w.push({"o", "a", 1, "b", 2, 2}).op(kInitObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).push({"b"}).op(kDelete).op(kTrace);
  w.push({"o"})
      .op(kGetVariable)
      .op(kEnumerate2)
      .label("next")
      .op(kPushDuplicate)
      .push({nullptr})
      .op(kStrictEquals)
      .ifTrue("done")
      .op(kTrace)
      .jump("next")
      .label("done")
      .op(kPop);
  return w.push({"o"}).op(kGetVariable).op(kTypeOf).op(kTrace);
}

ActionWriter arrays() {
  ActionWriter w;
  w.push({"c", "b", "a", 3}).op(kInitArray).storeRegister(0).op(kPop);
  w.push({"d", 1, Reg{0}, "push"}).op(kCallMethod).op(kTrace);
  w.push({"-", 1, Reg{0}, "join"}).op(kCallMethod).op(kTrace);
  return w.push({Reg{0}, "length"}).op(kGetMember).op(kTrace);
}

ActionWriter prototypes() {
  // function F() {}; F.prototype.k = 7; function G() {}; G extends F.
  ActionWriter w, empty;
  w.defineFunction("F", {}, empty).defineFunction("G", {}, empty);
  w.push({"F"}).op(kGetVariable).push({"prototype"}).op(kGetMember).push({"k", 7}).op(kSetMember);
  w.push({"G"}).op(kGetVariable).push({"F"}).op(kGetVariable).op(kExtends);
  w.push({"g", 0, "G"}).op(kNewObject).op(kSetVariable);
  w.push({"g"}).op(kGetVariable).push({"k"}).op(kGetMember).op(kTrace);
  return w.push({"g"}).op(kGetVariable).push({"F"}).op(kGetVariable).op(kInstanceOf).op(kTrace);
}

ActionWriter withBlock() {
  ActionWriter body;
  body.traceVariable("x").setVariable("x", "changed");
  ActionWriter w;
  w.push({"o", "x", "inside", 1}).op(kInitObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).with(body);
  return w.push({"o"}).op(kGetVariable).push({"x"}).op(kGetMember).op(kTrace);
}

ActionWriter undefinedAsText() {
  ActionWriter w;
  return w.push({"[", "nothing"}).op(kGetVariable).op(kStringAdd).push({"]"}).op(kStringAdd).op(kTrace);
}

ActionWriter caseOfNames() {
  ActionWriter w;
  return w.setVariable("Abc", 1).traceVariable("abc");
}

ActionWriter stringAsCondition() {
  ActionWriter w;
  return w.push({"0"}).op(kNot).op(kNot).op(kTrace);
}

ActionWriter preloadsWithoutParent() {
  // The root has no parent: _global takes the first register, the second stays empty.
  ActionWriter body;
  body.push({Reg{1}}).op(kTrace).push({Reg{2}}).op(kTrace);
  ActionWriter w;
  w.defineFunction2("f", 3, 0x01aa, {}, body);
  return w.push({0, "f"}).op(kCallFunction).op(kPop);
}

ActionWriter callWithoutObject() {
  // function f() { return this }; f.call(undefined) == _global
  ActionWriter body;
  body.push({"this"}).op(kGetVariable).op(kReturn);
  ActionWriter w;
  w.defineFunction("f", {}, body);
  w.push({Undefined{}, 1, "f"}).op(kGetVariable).push({"call"}).op(kCallMethod);
  return w.push({"_global"}).op(kGetVariable).op(kStrictEquals).op(kTrace);
}

ActionWriter superCallsTheBaseConstructor() {
  // function A() { trace("A") }; function B() { super() }; B extends A; new B
  ActionWriter a, b;
  a.trace("A");
  b.push({0, "super"}).op(kCallFunction).op(kPop);
  ActionWriter w;
  w.defineFunction("A", {}, a).defineFunction("B", {}, b);
  w.push({"B"}).op(kGetVariable).push({"A"}).op(kGetVariable).op(kExtends);
  return w.push({0, "B"}).op(kNewObject).op(kPop);
}

std::vector<ScriptCase> scriptCases() {
  std::vector<ScriptCase> cases;
  ActionWriter w;
  cases.push_back({"arithmetic",
                   5,
                   ActionWriter(w)
                       .push({7, 3})
                       .op(kSubtract)
                       .op(kTrace)
                       .push({10, 4})
                       .op(kDivide)
                       .op(kTrace)
                       .push({0.1, 0.2})
                       .op(kAdd)
                       .op(kTrace)
                       .push({1, 3})
                       .op(kDivide)
                       .op(kTrace),
                   {"4", "2.5", "0.3", "0.333333333333333"}});
  cases.push_back({"swf4 comparisons are numbers, division by zero an error",
                   4,
                   ActionWriter(w).push({1, 2}).op(kLess).op(kTrace).push({1, 0}).op(kDivide).op(kTrace),
                   {"1", "#ERROR#"}});
  cases.push_back({"swf5 comparisons are booleans",
                   5,
                   ActionWriter(w).push({1, 2}).op(kLess).op(kTrace).push({"10", 10}).op(kEquals2).op(kTrace),
                   {"true", "true"}});
  cases.push_back(
      {"the old Equals compares numbers from SWF 5, hexadecimal text only from SWF 6",
       5,
       ActionWriter(w).push({Undefined{}, 0}).op(kEquals).op(kTrace).push({"0x10", 16}).op(kEquals).op(kTrace),
       {"true", "false"}});
  cases.push_back({"an object whose valueOf answers an object is not less; the global object is undefined",
                   7,
                   ActionWriter(w)
                       .push({0})
                       .op(kInitObject)
                       .push({0})
                       .op(kLess2)
                       .op(kTrace)
                       .push({"_global"})
                       .op(kGetVariable)
                       .push({Undefined{}})
                       .op(kEquals2)
                       .op(kTrace),
                   {"false", "true"}});
  cases.push_back({"SWF 4 knows no global names",
                   4,
                   ActionWriter(w).push({1, "Infinity"}).op(kGetVariable).op(kLess).op(kTrace),
                   {"0"}});
  cases.push_back({"parseInt, parseFloat and Math.min read their arguments as the player does",
                   7,
                   ActionWriter(w)
                       .push({"-0100z", 1, "parseInt"})
                       .op(kCallFunction)
                       .op(kTrace)
                       .push({Undefined{}, "100", 2, "parseInt"})
                       .op(kCallFunction)
                       .op(kTrace)
                       .push({"1.2345.678e5", 1, "parseFloat"})
                       .op(kCallFunction)
                       .op(kTrace)
                       .push({"1e4294967297", 1, "parseFloat"})
                       .op(kCallFunction)
                       .op(kTrace)
                       .push({1, 1, "Math"})
                       .op(kGetVariable)
                       .push({"min"})
                       .op(kCallMethod)
                       .op(kTrace),
                   {"-100", "NaN", "1.2345678", "10", "NaN"}});
  cases.push_back({"string methods map case by Unicode and wrap positions at 32 bits",
                   7,
                   ActionWriter(w)
                       .push({0, "ÿΣ", "toUpperCase"})
                       .op(kCallMethod)
                       .op(kTrace)
                       .push({0, "ΣӁ", "toLowerCase"})
                       .op(kCallMethod)
                       .op(kTrace)
                       .push({4294967298.0, 4294967296.0, 2, "Hello", "slice"})
                       .op(kCallMethod)
                       .op(kTrace)
                       .push({0, "Hello", "substr"})
                       .op(kCallMethod)
                       .op(kTrace),
                   {"ŸΣ", "σӂ", "He", "undefined"}});
  cases.push_back({"string actions",
                   5,
                   ActionWriter(w)
                       .push({"ab", "cd"})
                       .op(kStringAdd)
                       .op(kTrace)
                       .push({"hello"})
                       .op(kStringLength)
                       .op(kTrace)
                       .push({"hello", 2, 3})
                       .op(kStringExtract)
                       .op(kTrace)
                       .push({"A"})
                       .op(kCharToAscii)
                       .op(kTrace)
                       .push({66})
                       .op(kAsciiToChar)
                       .op(kTrace),
                   {"abcd", "5", "ell", "65", "B"}});
  cases.push_back({"add2 joins text, adds numbers",
                   6,
                   ActionWriter(w)
                       .push({"1", 2})
                       .op(kAdd2)
                       .op(kTrace)
                       .push({1, 2})
                       .op(kAdd2)
                       .op(kTrace)
                       .push({true, 1})
                       .op(kAdd2)
                       .op(kTrace),
                   {"12", "3", "2"}});
  cases.push_back({"variables and paths",
                   6,
                   ActionWriter(w)
                       .setVariable("a", 5)
                       .traceVariable("a")
                       .traceVariable("/:a")
                       .traceVariable("_root.a")
                       .setVariable("_root:b", "set through a path")
                       .traceVariable("b"),
                   {"5", "5", "5", "set through a path"}});
  cases.push_back({"jumps make loops", 6, countingLoop(), {"0", "1", "2"}});
  cases.push_back({"functions take arguments and return", 6, functionCall(), {"7"}});
  cases.push_back({"registers of DefineFunction2 and this", 7, registerFunction(), {"15"}});
  cases.push_back(
      {"preloads give no register to a missing parent", 7, preloadsWithoutParent(), {"[type Object]", "undefined"}});
  cases.push_back({"call without an object runs on the global object", 7, callWithoutObject(), {"true"}});
  cases.push_back({"super() calls the base constructor", 7, superCallsTheBaseConstructor(), {"A"}});
  cases.push_back({"throw reaches catch, then finally", 7, tryCatchFinally(), {"in", "boom", "finally", "after"}});
  cases.push_back({"objects: delete and enumerate", 6, objectsAndEnumeration(), {"true", "a", "object"}});
  cases.push_back({"arrays", 6, arrays(), {"4", "a-b-c-d", "4"}});
  cases.push_back({"prototype chain and extends", 7, prototypes(), {"7", "true"}});
  cases.push_back({"with scopes names to an object", 6, withBlock(), {"inside", "changed"}});
  cases.push_back({"undefined is empty text before SWF 7", 6, undefinedAsText(), {"[]"}});
  cases.push_back({"undefined is named from SWF 7", 7, undefinedAsText(), {"[undefined]"}});
  cases.push_back({"names ignore case before SWF 7", 6, caseOfNames(), {"1"}});
  cases.push_back({"names keep case from SWF 7", 7, caseOfNames(), {"undefined"}});
  cases.push_back({"\"0\" is false before SWF 7", 6, stringAsCondition(), {"false"}});
  cases.push_back({"\"0\" is true from SWF 7", 7, stringAsCondition(), {"true"}});
  return cases;
}

TEST(ScriptMachine, RunsEachActionFamily) {
  for (const ScriptCase& c : scriptCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script, c.version), c.lines);
  }
}

struct ConversionCase {
  double number;
  const char* text;
};

TEST(ScriptMachine, WritesNumbersAsThePlayerDoes) {
  const ConversionCase cases[] = {
      {0, "0"},           {-0.0, "0"},    {123456789, "123456789"},       {1e15, "1e+15"}, {1.5e-7, "1.5e-7"},
      {0.0001, "0.0001"}, {-2.5, "-2.5"}, {1.0 / 3, "0.333333333333333"}, {1e21, "1e+21"}, {123456.789, "123456.789"},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(avm::numberToString(c.number), c.text);
  }
  struct TextCase {
    const char* text;
    int version;
    double number;
  };
  const TextCase texts[] = {{"0x1F", 6, 31},
                            {"010", 6, 8},
                            {" 12", 6, 12},
                            {"12abc", 4, 12},
                            {"1e3", 6, 1000},
                            {"037777777777", 6, -1},
                            {"0x1999999981ffffff", 6, -2113929217},
                            {" 010", 6, 10},
                            {"010", 5, 10}};
  for (const TextCase& c : texts) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(avm::stringToNumber(c.text, c.version), c.number);
  }
  EXPECT_TRUE(std::isnan(avm::stringToNumber("12abc", 6)));
  EXPECT_TRUE(std::isnan(avm::stringToNumber("", 6)));
}

// A movie with a sprite (id 2) placed as "clip" on the root, scripts given.
struct ClipMovie {
  MovieWriter movie{100, 100, 12, 7};
  ClipMovie() {
    movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
    TagStream sprite;
    sprite.placeObject2({.depth = 1, .characterId = 1});
    sprite.showFrame();
    movie.defineSprite(2, sprite);
  }
};

TEST(ScriptMachine, RunsTimelineScriptsInTheirOrder) {
  ClipMovie m;
  doInitAction(m.movie, 2, ActionWriter().trace("init"));
  m.movie.placeObject2({.depth = 1, .characterId = 2, .name = std::string("clip")});
  doAction(m.movie, ActionWriter().trace("frame 1").push({3}).gotoFrame2(false));
  m.movie.showFrame();
  doAction(m.movie, ActionWriter().trace("frame 2 skipped"));
  m.movie.showFrame();
  doAction(m.movie, ActionWriter()
                        .trace("frame 3")
                        .push({"clip", 0})
                        .op(kGetProperty)
                        .op(kTrace)
                        .push({"clip", 0, 25})
                        .op(kSetProperty));
  m.movie.showFrame();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.load(m.movie.finish()));
  EXPECT_EQ(lines, (std::vector<std::string>{"init", "frame 1", "frame 3", "0"}));
  EXPECT_EQ(player.currentFrame(), 2);
  EXPECT_FALSE(player.playing());
  // The clip moved 25 pixels.
  EXPECT_FLOAT_EQ(
      player.scripts()->clipFor(*player.scripts()->rootClip()->timeline)->timeline->displayList().at(1).matrix.tx, 500);
}

// A frame's tags, one word each: "P2" places sprite 2 (which traces
// "child"), "P3" sprite 3 (which places sprite 2, then traces "outer"), "A" a
// DoAction tracing `text`.
void writeFrame(TagStream& tags, const std::string& layout, const std::string& text, uint16_t& depth) {
  std::istringstream words(layout);
  for (std::string word; words >> word;) {
    if (word == "A")
      doAction(tags, ActionWriter().trace(text));
    else
      tags.placeObject2({.depth = ++depth, .characterId = uint16_t(word[1] - '0')});
  }
  tags.showFrame();
}

TEST(ScriptMachine, RunsAFramesScriptsAmongTheClipsItPlacesInTagOrder) {
  struct OrderCase {
    std::vector<const char*> frames;
    std::vector<std::string> lines;
  };
  const OrderCase cases[] = {
      {{"P2 A"}, {"child", "root 1"}},
      {{"A P2"}, {"root 1", "child"}},
      {{"A", "P2 A P2"}, {"root 1", "child", "root 2", "child"}},
      {{"P3 A"}, {"child", "outer", "root 1"}},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.frames.back());
    MovieWriter movie(100, 100, 12, 7);
    TagStream child, outer;
    doAction(child, ActionWriter().trace("child"));
    child.showFrame();
    movie.defineSprite(2, child);
    uint16_t depth = 0;
    writeFrame(outer, "P2 A", "outer", depth);
    movie.defineSprite(3, outer);
    for (size_t f = 0; f < c.frames.size(); ++f) writeFrame(movie, c.frames[f], "root " + std::to_string(f + 1), depth);
    EXPECT_EQ(flashtest::traceLines(movie, int(c.frames.size())), c.lines);
  }
}

// trace(_target) of the clip the script works on.
ActionWriter& traceTarget(ActionWriter& w) { return w.push({"", 11}).op(kGetProperty).op(kTrace); }

// name.method(args) traced; args pushed last first.
ActionWriter& traceCall(ActionWriter& w, const char* name, const char* method, std::initializer_list<Pushed> args) {
  std::vector<Pushed> list(args);
  for (auto it = list.rbegin(); it != list.rend(); ++it) w.push({*it});
  return w.push({int(list.size()), name}).op(kGetVariable).push({method}).op(kCallMethod).op(kTrace);
}

ActionWriter& traceFrame(ActionWriter& w) {
  return w.push({"clip"}).op(kGetVariable).push({"_currentframe"}).op(kGetMember).op(kTrace);
}

TEST(ScriptMachine, DepthsReachWhereThePlayersDoAndAJumpBackKeepsTheScriptsOwn) {
  MovieWriter movie(100, 100, 12, 7);
  TagStream sprite;
  sprite.showFrame();
  movie.defineSprite(2, sprite);
  movie.defineEditText(3, EditText{.xMax = 200, .yMax = 200});
  movie.placeObject2({.depth = 1, .characterId = 2});
  movie.placeObject2({.depth = 2, .characterId = 3});
  ActionWriter first;
  for (int depth : {-16383, -16382}) traceCall(first, "_root", "getInstanceAtDepth", {depth});
  doAction(movie, first.traceVariable("low").traceVariable("high"));
  movie.showFrame();
  ActionWriter second;
  second.push({0, 2130690044, "top", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod);
  second.push({"getDepth"}).op(kCallMethod).op(kTrace);
  for (auto [name, depth] : {std::pair{"over", 2130690045}, {"low", -100}, {"high", 100}})
    traceCall(second, "_root", "createEmptyMovieClip", {name, depth});
  doAction(movie, second.gotoFrame(0));
  movie.showFrame();
  EXPECT_EQ(flashtest::traceLines(movie, 2),
            (std::vector<std::string>{"_level0.instance1", "_level0.instance2", "undefined", "undefined", "2130690044",
                                      "undefined", "_level0.low", "_level0.high", "_level0.instance1",
                                      "_level0.instance2", "undefined", "_level0.high"}));
}

std::vector<ScriptCase> targetCases() {
  std::vector<ScriptCase> cases;
  ActionWriter w;
  w.setTarget("clip");
  traceTarget(w).setTarget("nowhere");
  traceTarget(w).setTarget("");
  cases.push_back({"a target that names no clip is the root", 7, w, {"/clip", "/"}});

  w = {};
  w.push({"/clip:v", 5}).op(kSetVariable).traceVariable("/clip/:v").traceVariable("/clip//:v");
  cases.push_back({"an empty part of a path names nothing", 7, w, {"5", "undefined"}});

  cases.push_back({"a named shape answers its clip", 7, ActionWriter().traceVariable("box"), {"_level0"}});

  w = {};
  for (int depth : {1, 2})
    w.push({depth, depth == 1 ? "a" : "b", 2, "clip"})
        .op(kGetVariable)
        .push({"createEmptyMovieClip"})
        .op(kCallMethod)
        .op(kPop);
  w.push({"clip"}).op(kGetVariable).op(kEnumerate2).label("next").op(kPushDuplicate).push({nullptr});
  w.op(kStrictEquals).ifTrue("done").op(kTrace).jump("next").label("done").op(kPop);
  cases.push_back({"a clip lists its named clips", 7, w, {"b", "a"}});

  w = {};
  for (double frame : {999.0, 0.0, 4294967298.0}) {
    w.push({frame, 1, "clip"}).op(kGetVariable).push({"gotoAndStop"}).op(kCallMethod).op(kPop);
    traceFrame(w);
  }
  w.setTarget("clip").gotoFrame(998).setTarget("");
  traceFrame(w);
  cases.push_back({"gotoAndStop wraps at 32 bits and stops at the last frame; GotoFrame past it is ignored",
                   7,
                   w,
                   {"3", "3", "2", "2"}});

  w = {};
  traceCall(w, "clip", "getBytesTotal", {});
  cases.push_back({"a clip's size is its sprite's tags", 7, w, {"8"}});

  w = {};
  for (int depth : {-16383, -16382, -16381}) traceCall(w, "_root", "getInstanceAtDepth", {depth});
  cases.push_back(
      {"getInstanceAtDepth answers a clip, or for a shape its parent", 7, w, {"_level0.clip", "_level0", "undefined"}});

  w = {};
  ActionWriter body;
  traceTarget(body);
  w.push({"d", 2, "d", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  w.push({"c", 3, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  w.setTarget("d").push({"/c"}).op(kGetVariable).push({"f"}).defineFunction("", {}, body).op(kSetMember).setTarget("");
  w.push({0, "d"}).op(kGetVariable).push({"removeMovieClip"}).op(kCallMethod).op(kPop);
  w.push({0, "c"}).op(kGetVariable).push({"f"}).op(kCallMethod).op(kPop);
  cases.push_back({"a function whose clip left works on the clip it is called on", 7, w, {"/c"}});

  for (uint8_t version : {5, 6}) {
    w = {};
    w.defineFunction("g", {}, body).setTarget("clip");
    w.push({0, "_root"}).op(kGetVariable).push({"g"}).op(kCallMethod).op(kPop).setTarget("");
    cases.push_back({"before SWF 6 a function works on its caller's clip", version, w, {version < 6 ? "/clip" : "/"}});
  }

  w = {};
  for (const char* name : {"blendMode", "cacheAsBitmap", "enabled", "useHandCursor", "_lockroot"}) {
    w.push({"clip"}).op(kGetVariable).push({name}).op(kGetMember).op(kTrace);
  }
  traceCall(w, "clip", "getSWFVersion", {});
  w.push({"clip"}).op(kGetVariable).push({"blendMode", "multiply"}).op(kSetMember);
  w.push({"clip"}).op(kGetVariable).push({"blendMode", "nonsense"}).op(kSetMember);
  w.push({"clip"}).op(kGetVariable).push({"blendMode"}).op(kGetMember).op(kTrace);
  cases.push_back({"a clip's display defaults; blendMode takes the names of modes",
                   8,
                   w,
                   {"normal", "false", "true", "true", "false", "8", "multiply"}});

  w = {};
  w.push({"clip"}).op(kGetVariable).push({"_lockroot", true}).op(kSetMember);
  w.setTarget("clip").push({"_root"}).op(kGetVariable).op(kTrace).setTarget("");
  w.push({"_root"}).op(kGetVariable).op(kTrace);
  cases.push_back({"_root names the nearest clip whose _lockroot is set", 8, w, {"_level0.clip", "_level0"}});

  w = {};
  w.push({"e", 5, "e", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  w.push({0, "e"}).op(kGetVariable).push({"getBounds"}).op(kCallMethod).push({"xMin"}).op(kGetMember).op(kTrace);
  w.push({"_root", 1, "e"}).op(kGetVariable).push({"getBounds"}).op(kCallMethod);
  w.push({"xMin"}).op(kGetMember).op(kTrace);
  cases.push_back({"an empty clip's bounds are the largest twips, rounded through another space",
                   8,
                   w,
                   {"6710886.35", "6710886.4"}});

  w = {};
  for (const char* name : {"x", "y"})
    w.push({name[0] - 'w', name, 2, "clip"}).op(kGetVariable).push({"duplicateMovieClip"}).op(kCallMethod).op(kPop);
  w.push({"a", "x"}).op(kGetVariable).op(kSetVariable).push({"b", "y"}).op(kGetVariable).op(kSetVariable);
  w.push({"a"}).op(kGetVariable).push({"_name", "y"}).op(kSetMember);
  w.push({"a"}).op(kGetVariable).push({"b"}).op(kGetVariable).op(kStrictEquals).op(kTrace);
  w.push({"clip"}).op(kGetVariable).push({"b"}).op(kGetVariable).op(kStrictEquals).op(kTrace);
  w.push({"b"}).op(kGetVariable).op(kTrace);
  cases.push_back({"clips compare by the path they stand at", 7, w, {"true", "false", "_level0.y"}});

  w = {};
  w.push({"boom"}).op(kThrow).trace("not here");
  cases.push_back({"an uncaught throw ends its script and is logged", 7, w, {"Warning: Uncaught exception, boom"}});
  return cases;
}

TEST(ScriptMachine, FindsAndTargetsClipsAsThePlayerDoes) {
  for (const ScriptCase& c : targetCases()) {
    SCOPED_TRACE(c.name);
    MovieWriter movie(100, 100, 12, c.version);
    movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
    TagStream sprite;
    for (int i = 0; i < 3; ++i) sprite.showFrame();
    movie.defineSprite(2, sprite);
    movie.placeObject2({.depth = 1, .characterId = 2, .name = std::string("clip")});
    movie.placeObject2({.depth = 2, .characterId = 1, .name = std::string("box")});
    doAction(movie, c.script);
    movie.showFrame();
    MoviePlayer player;
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(player.load(movie.finish()));
    EXPECT_EQ(lines, c.lines);
  }
}

// SetProperty on the root with `start`, then with `value` (none: the object
// "o", whose valueOf answers an object and whose toString answers 2), then
// the property read back.
struct PropertyCase {
  const char* name;
  uint8_t version;
  int property;  // as GetProperty and SetProperty number them
  Pushed start;
  std::optional<Pushed> value;
  const char* read;
};

ActionWriter setPropertyScript(const PropertyCase& c) {
  ActionWriter valueOf, toString, w;
  valueOf.push({0, "Object"}).op(kNewObject).op(kReturn);
  toString.push({2}).op(kReturn);
  w.push({"o", 0, "Object"}).op(kNewObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).push({"valueOf"}).defineFunction("", {}, valueOf).op(kSetMember);
  w.push({"o"}).op(kGetVariable).push({"toString"}).defineFunction("", {}, toString).op(kSetMember);
  w.push({"", c.property, c.start}).op(kSetProperty);
  if (c.value)
    w.push({"", c.property, *c.value}).op(kSetProperty);
  else
    w.push({"", c.property, "o"}).op(kGetVariable).op(kSetProperty);
  return w.push({"", c.property}).op(kGetProperty).op(kTrace);
}

TEST(ScriptMachine, ClipPropertiesTakeWhatTheirSettersAccept) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::nullopt_t o = std::nullopt;
  const PropertyCase cases[] = {
      {"undefined leaves _x as it was", 5, 0, 1, Undefined{}, "1"},
      {"null leaves _x as it was", 5, 0, 1, nullptr, "1"},
      {"an object's valueOf alone is asked; an object answer leaves _x", 7, 0, 1, o, "1"},
      {"_xscale keeps its sign", 7, 2, 100, -5, "-5"},
      {"_xscale keeps Infinity", 7, 2, 100, kInf, "Infinity"},
      {"_rotation is kept within a half turn", 7, 10, 0, 370, "10"},
      {"_rotation of Infinity is NaN", 7, 10, 0, kInf, "NaN"},
      {"_alpha wraps as 8.8 fixed point", 7, 6, 50, kInf, "0"},
      {"_alpha keeps 1/256 steps", 7, 6, 100, 1, "0.78125"},
      {"_visible takes numbers only", 7, 7, 1, "abc", "true"},
      {"_visible of 0 hides", 7, 7, 1, "0", "false"},
      {"_name of undefined is empty before SWF 7", 5, 13, "a", Undefined{}, ""},
      {"_name asks toString alone; no text names the type", 7, 13, "a", o, "[type Object]"},
      {"_highquality below 0 is high", 7, 16, 0, -5, "1"},
      {"_highquality from 2 is best", 7, 16, 0, "10", "2"},
      {"_quality takes its names in any case", 7, 19, "LOW", "best", "BEST"},
      {"_quality ignores other values", 7, 19, "LOW", 2, "LOW"},
      {"_soundbuftime is an integer", 7, 18, 5, 1.5, "1"},
      {"_soundbuftime out of range is the smallest", 7, 18, 5, kInf, "-2147483648"},
      {"_focusrect is a number before SWF 6", 5, 17, 0, "10", "1"},
      {"_focusrect is a boolean from SWF 6", 7, 17, 0, 2, "true"},
      {"an object turns _focusrect off unasked", 7, 17, 1, o, "false"},
  };
  for (const PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(setPropertyScript(c), c.version), std::vector<std::string>{c.read});
  }
}

TEST(ScriptMachine, AKeyMovesAClipThroughItsClipEvent) {
  ClipMovie m;
  // onClipEvent(keyDown) { if (Key.getCode() == 39) _x += 10 }  and enterFrame counting.
  ActionWriter onKey;
  onKey.push({0, "Key"})
      .op(kGetVariable)
      .push({"getCode"})
      .op(kCallMethod)
      .push({39})
      .op(kEquals2)
      .op(kNot)
      .ifTrue("end")
      .push({"_x", "_x"})
      .op(kGetVariable)
      .push({10})
      .op(kAdd2)
      .op(kSetVariable)
      .label("end");
  ActionWriter onFrame;
  onFrame.push({"n", "n"}).op(kGetVariable).op(kIncrement).op(kSetVariable);
  placeWithEvents(m.movie, 1, 2, "clip",
                  {{kOnLoad, ActionWriter().setVariable("n", 0)}, {kOnKeyDown, onKey}, {kOnEnterFrame, onFrame}});
  m.movie.showFrame();
  m.movie.showFrame();
  MoviePlayer player;
  ASSERT_TRUE(player.load(m.movie.finish()));
  for (int i = 0; i < 3; ++i) player.tick();
  player.keyDown(39, 0);
  player.keyDown(37, 0);  // another key: no move
  player.keyDown(39, 0);
  const DisplayObject& clip = player.scripts()->rootClip()->timeline->displayList().at(1);
  EXPECT_FLOAT_EQ(clip.matrix.tx, 20 * kTwipsPerPixel);
  avm::Machine& vm = *player.scripts();
  EXPECT_EQ(vm.toString(vm.get(avm::Value(static_cast<avm::Object*>(vm.clipFor(*clip.sprite))), "n")), "3");
}

TEST(ScriptMachine, ATapOnAButtonRunsItsScript) {
  MovieWriter movie(100, 100, 12, 7);
  movie.defineShape(1, flashtest::rectShape(0, 0, 50, 50, {0, 0, 255, 255}));
  ActionWriter onRelease;
  onRelease.trace("tapped").push({3}).gotoFrame2(false);
  movie.defineButton2(2, {{0x0F, 1, 1, {}}}, {{0x0008, onRelease.records()}});
  movie.placeObject2({.depth = 1, .characterId = 2});
  doAction(movie, ActionWriter().op(0x07));
  movie.showFrame();
  movie.showFrame();
  doAction(movie, ActionWriter().trace("frame 3"));
  movie.showFrame();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.load(movie.finish()));
  flashtest::render(player, 100, 100);
  player.penDown(80, 80);  // beside the button: nothing
  player.penUp(80, 80);
  EXPECT_EQ(player.currentFrame(), 0);
  player.penDown(20, 20);
  player.penUp(20, 20);
  EXPECT_EQ(lines, (std::vector<std::string>{"tapped", "frame 3"}));
  EXPECT_EQ(player.currentFrame(), 2);
}

// A loop whose every turn grows an array `a` or a string `s` twofold, past
// what one may hold.
ActionWriter doubling(bool array, void (*turn)(ActionWriter&)) {
  ActionWriter w;
  if (array)
    w.push({"a", 0, 0, 1, 3}).op(kInitArray).op(kSetVariable);
  else
    w.setVariable("s", "x");
  w.label("top");
  turn(w);
  return w.jump("top");
}

void applyToItself(ActionWriter& w, const char* method) {  // a[method].apply(a, a)
  w.push({"a"}).op(kGetVariable).push({"a"}).op(kGetVariable).push({2, "a"}).op(kGetVariable);
  w.push({method}).op(kGetMember).push({"apply"}).op(kCallMethod).op(kPop);
}

void selfCall(ActionWriter& w, const char* name, const char* method) {  // name = name[method](name)
  w.push({name, name}).op(kGetVariable).push({1, name}).op(kGetVariable).push({method}).op(kCallMethod);
  w.op(kSetVariable);
}

TEST(ScriptMachine, BoundsStopARunawayScriptAndTheMovieStaysResponsive) {
  struct BoundCase {
    const char* name;
    ActionWriter script;
  };
  ActionWriter recursion, recurse;
  recurse.push({0, "f"}).op(kCallFunction).op(kReturn);
  recursion.defineFunction("f", {}, recurse).push({0, "f"}).op(kCallFunction).op(kPop);
  BoundCase cases[] = {
      {"push of an array onto itself", doubling(true, [](ActionWriter& w) { applyToItself(w, "push"); })},
      {"unshift of an array onto itself", doubling(true, [](ActionWriter& w) { applyToItself(w, "unshift"); })},
      {"concat of an array with itself", doubling(true, [](ActionWriter& w) { selfCall(w, "a", "concat"); })},
      {"splice of an array into itself", doubling(true,
                                                  [](ActionWriter& w) {
                                                    w.push({"a"}).op(kGetVariable).push({1, 0, 0, 2}).op(kInitArray);
                                                    w.push({"concat"}).op(kCallMethod);  // [0, 0].concat(a)
                                                    w.push({"a"}).op(kGetVariable).push({2, "a"}).op(kGetVariable);
                                                    w.push({"splice"}).op(kGetMember).push({"apply"});
                                                    w.op(kCallMethod).op(kPop);
                                                  })},
      {"a string added to itself",
       doubling(false,
                [](ActionWriter& w) {
                  w.push({"s", "s"}).op(kGetVariable).push({"s"}).op(kGetVariable).op(kAdd2).op(kSetVariable);
                })},
      {"a string joined to itself", doubling(false,
                                             [](ActionWriter& w) {
                                               w.push({"s", "s"}).op(kGetVariable).push({"s"}).op(kGetVariable);
                                               w.op(kStringAdd).op(kSetVariable);
                                             })},
      {"an array of a string joined by it", doubling(false,
                                                     [](ActionWriter& w) {
                                                       w.push({"s", "s"}).op(kGetVariable).push({1, "s"});
                                                       w.op(kGetVariable).push({"s"}).op(kGetVariable).push({2});
                                                       w.op(kInitArray).push({"join"}).op(kCallMethod).op(kSetVariable);
                                                     })},
      {"a string's concat with itself", doubling(false, [](ActionWriter& w) { selfCall(w, "s", "concat"); })},
      {"endless loop", ActionWriter().label("top").jump("top")},
      {"endless stack growth", ActionWriter().label("top").push({1}).jump("top")},
      {"endless object making", ActionWriter().label("top").push({0, "Object"}).op(kNewObject).jump("top")},
      {"endless recursion", recursion},
  };
  for (BoundCase& c : cases) {
    SCOPED_TRACE(c.name);
    MovieWriter movie(100, 100, 12, 7);
    doAction(movie, c.script);
    movie.showFrame();
    doAction(movie, ActionWriter().trace("second frame"));
    movie.showFrame();
    MoviePlayer player;
    player.setScriptLimits({.maxActionsPerFrame = 200000, .maxStack = 1000, .maxCallDepth = 64, .maxObjects = 5000});
    std::vector<std::string> lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(player.load(movie.finish()));
    player.tick();
    player.tick();
    bool stopped = player.scripts()->frozen();
    // Recursion ends in a stack error the script cannot catch, and the movie goes on.
    if (std::string(c.name) == "endless recursion") {
      EXPECT_FALSE(stopped);
      EXPECT_EQ(lines, (std::vector<std::string>{"second frame"}));
    } else {
      EXPECT_TRUE(stopped);
      EXPECT_TRUE(lines.empty());
      EXPECT_FALSE(player.playing());
    }
  }
}

// Recursion past the movie's ScriptLimits depth, or a prototype chain that
// loops, ends the whole action list past any catch; the next frame still runs.
TEST(ScriptMachine, RecursionEndsTheActionListAndTheMovieGoesOn) {
  struct RecursionCase {
    const char* name;
    ActionWriter script;
    std::optional<uint16_t> maxDepth;  // the movie's ScriptLimits
    std::vector<std::string> lines;
  };
  ActionWriter recurse, recursion, handler, loopingChain;
  recurse.trace("in").push({0, "f"}).op(kCallFunction).op(kPop);
  handler.trace("caught");
  recursion.defineFunction("f", {}, recurse);
  recursion.tryCatch(ActionWriter().push({0, "f"}).op(kCallFunction).op(kPop), "e", handler, ActionWriter());
  recursion.trace("not here");
  loopingChain.push({"a", 0}).op(kInitObject).op(kSetVariable);
  loopingChain.push({"a"}).op(kGetVariable).push({"__proto__", "a"}).op(kGetVariable).op(kSetMember);
  loopingChain.push({"a"}).op(kGetVariable).push({"foo"}).op(kGetMember).op(kTrace).trace("not here");
  RecursionCase cases[] = {
      {"the movie's own depth", recursion, 4, {"in", "in", "in", "second frame"}},
      {"a prototype chain that loops", loopingChain, std::nullopt, {"second frame"}},
  };
  for (RecursionCase& c : cases) {
    SCOPED_TRACE(c.name);
    MovieWriter movie(100, 100, 12, 7);
    if (c.maxDepth) movie.tag(65, {uint8_t(*c.maxDepth), uint8_t(*c.maxDepth >> 8), 10, 0});
    doAction(movie, c.script);
    movie.showFrame();
    doAction(movie, ActionWriter().trace("second frame"));
    movie.showFrame();
    EXPECT_EQ(flashtest::traceLines(movie, 2), c.lines);
  }
}

}  // namespace

// Method lookups remembered by a call site: the site runs twice, with a
// change to the object or its prototypes between the two calls.
ActionWriter& pushReturning(ActionWriter& w, const char* text) {
  ActionWriter body;
  body.push({text}).op(kReturn);
  return w.defineFunction("", {}, body);
}

ActionWriter& pushPrototypeOf(ActionWriter& w, const char* ctor) {
  return w.push({ctor}).op(kGetVariable).push({"prototype"}).op(kGetMember);
}

// function F() {}; F.prototype.m = () => "a"; function G() {}; G extends F; o = new G.
ActionWriter classes() {
  ActionWriter w, empty;
  w.defineFunction("F", {}, empty).defineFunction("G", {}, empty);
  pushPrototypeOf(w, "F").push({"m"});
  pushReturning(w, "a").op(kSetMember);
  w.push({"G"}).op(kGetVariable).push({"F"}).op(kGetVariable).op(kExtends);
  return w.push({"o", 0, "G"}).op(kNewObject).op(kSetVariable);
}

ActionWriter anArray() { return ActionWriter().push({"o", 0}).op(kInitArray).op(kSetVariable); }

ActionWriter setMethod(const char* ctor, const char* text) {
  ActionWriter w;
  if (ctor)
    pushPrototypeOf(w, ctor).push({"m"});
  else
    w.push({"o"}).op(kGetVariable).push({"m"});
  pushReturning(w, text);
  return std::move(w.op(kSetMember));
}

ActionWriter swapProto(bool ofObject, const char* text) {
  ActionWriter w;
  if (ofObject)
    w.push({"o"}).op(kGetVariable);
  else
    pushPrototypeOf(w, "G");
  w.push({"__proto__", "m"});
  pushReturning(w, text).push({1}).op(kInitObject).op(kSetMember);
  return w;
}

ActionWriter deleteMethod() {
  ActionWriter w;
  pushPrototypeOf(w, "F").push({"m"}).op(kDelete).op(kPop);
  return w;
}

ActionWriter getterStandsIn() {
  // G.prototype.addProperty("m", () => () => "got", null)
  ActionWriter getter, w;
  pushReturning(getter, "got").op(kReturn);
  w.push({nullptr});
  w.defineFunction("", {}, getter).push({"m", 3});
  pushPrototypeOf(w, "G").push({"addProperty"}).op(kCallMethod).op(kPop);
  return w;
}

ActionWriter watchAnswers() {
  // F.prototype.watch("m", () => () => "watched"); F.prototype.m = () => "b"
  ActionWriter callback, w;
  pushReturning(callback, "watched").op(kReturn);
  w.defineFunction("", {}, callback).push({"m", 2});
  pushPrototypeOf(w, "F").push({"watch"}).op(kCallMethod).op(kPop);
  ActionWriter set = setMethod("F", "b");
  return std::move(w.append(set));
}

ActionWriter replacePush(bool onArray) {
  ActionWriter w;
  if (onArray)
    w.push({"o"}).op(kGetVariable);
  else
    pushPrototypeOf(w, "Array");
  w.push({"push"});
  pushReturning(w, "replaced").op(kSetMember);
  return w;
}

// for (i = 0; i < 2; i++) { trace(o.<method>()); if (i == 0) <change> }
ActionWriter callTwice(const ActionWriter& setup, const char* method, const ActionWriter& change) {
  ActionWriter w = setup;
  w.push({0}).storeRegister(1).op(kPop);
  w.label("top").push({Reg{1}, 2}).op(kLess2).op(kNot).ifTrue("end");
  w.push({0, "o"}).op(kGetVariable).push({method}).op(kCallMethod).op(kTrace);
  w.push({Reg{1}, 0}).op(kEquals2).op(kNot).ifTrue("next");
  w.append(change);
  w.label("next").push({Reg{1}}).op(kIncrement).storeRegister(1).op(kPop).jump("top").label("end");
  return w;
}

struct CachedCallCase {
  const char* name;
  ActionWriter setup;
  const char* method;
  ActionWriter change;
  std::vector<std::string> lines;
};

TEST(ScriptMachine, ACallSiteSeesEveryChangeToTheMethodItFound) {
  const CachedCallCase cases[] = {
      {"replaced where it was found", classes(), "m", setMethod("F", "b"), {"a", "b"}},
      {"made on a prototype nearer the object", classes(), "m", setMethod("G", "near"), {"a", "near"}},
      {"made on the object itself", classes(), "m", setMethod(nullptr, "own"), {"a", "own"}},
      {"the object's prototype swapped", classes(), "m", swapProto(true, "swapped"), {"a", "swapped"}},
      {"a prototype above swapped", classes(), "m", swapProto(false, "above"), {"a", "above"}},
      {"deleted", classes(), "m", deleteMethod(), {"a", "undefined"}},
      {"an accessor put in its way", classes(), "m", getterStandsIn(), {"a", "got"}},
      {"a watch answering the new value", classes(), "m", watchAnswers(), {"a", "watched"}},
      {"a built-in replaced on its prototype", anArray(), "push", replacePush(false), {"0", "replaced"}},
      {"a built-in hidden by the object's own", anArray(), "push", replacePush(true), {"0", "replaced"}},
  };
  for (const CachedCallCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(callTwice(c.setup, c.method, c.change), 8), c.lines);
  }
}
