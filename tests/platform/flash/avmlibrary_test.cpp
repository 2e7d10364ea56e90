// The script machine's library objects, seen through what movies trace.

#include <gtest/gtest.h>

#include <sstream>

#include "platform/flash/avm.h"
#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/actionwriter.h"

using namespace swf;
using namespace swfwrite;

namespace {

std::vector<std::string> run(const ActionWriter& script, uint8_t version = 8) {
  MovieWriter movie(100, 100, 12, version);
  doAction(movie, script);
  movie.showFrame();
  movie.showFrame();
  return flashtest::traceLines(movie, 2);
}

// Pushes the value of a dotted chain of members: "x.firstChild.nodeName".
ActionWriter& pushChain(ActionWriter& w, const std::string& chain) {
  std::istringstream parts(chain);
  std::string part;
  std::getline(parts, part, '.');
  w.push({part}).op(kGetVariable);
  while (std::getline(parts, part, '.')) w.push({part}).op(kGetMember);
  return w;
}

// Calls a method on a chain with one argument taken from another chain,
// dropping the result: "x.firstChild", "appendChild", "x".
ActionWriter& callWith(ActionWriter& w, const std::string& on, const char* method, const std::string& argument) {
  pushChain(w, argument).push({1});
  pushChain(w, on).push({method}).op(kCallMethod).op(kPop);
  return w;
}

// Sets a member of a variable to a pushed value: o.p = value.
ActionWriter& setMember(ActionWriter& w, const char* object, const char* name, Pushed value) {
  return w.push({object}).op(kGetVariable).push({name, value}).op(kSetMember);
}

// Calls object.method(args) and traces the result; args are pushed last first.
ActionWriter& traceCall(ActionWriter& w, const char* object, const char* method, std::vector<Pushed> args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) w.push({*it});
  w.push({int(args.size()), object}).op(kGetVariable).push({method}).op(kCallMethod).op(kTrace);
  return w;
}

ActionWriter emptyObject(const char* name) {
  ActionWriter w;
  return w.push({name, 0}).op(kInitObject).op(kSetVariable);
}

struct PropertyCase {
  const char* name;
  uint8_t version;
  ActionWriter script;
  std::vector<std::string> traced;
};

// watch(): the callback hears the old and new value and its data, its own
// assignment does not call it again, and what it answers is stored.
ActionWriter watchedAssignments() {
  ActionWriter callback;
  callback.traceVariable("old").traceVariable("now").traceVariable("data");
  setMember(callback, "o", "p", "inner");
  callback.push({"o"}).op(kGetVariable).push({"p"}).op(kGetMember).op(kTrace);
  callback.push({"now"}).op(kGetVariable).push({"!"}).op(kAdd2).op(kReturn);
  ActionWriter w = emptyObject("o");
  setMember(w, "o", "p", 1).defineFunction("watcher", {"name", "old", "now", "data"}, callback);
  w.push({"d", "watcher"}).op(kGetVariable).push({"p", 3, "o"}).op(kGetVariable).push({"watch"});
  w.op(kCallMethod).op(kTrace);
  setMember(w, "o", "p", 2).push({"o"}).op(kGetVariable).push({"p"}).op(kGetMember).op(kTrace);
  traceCall(w, "o", "unwatch", {"p"});
  return setMember(w, "o", "p", 3).push({"o"}).op(kGetVariable).push({"p"}).op(kGetMember).op(kTrace);
}

ActionWriter addedProperties() {
  ActionWriter getter;
  getter.push({"got"}).op(kReturn);
  ActionWriter w = emptyObject("o");
  w.defineFunction("getter", {}, getter);
  w.push({"getter"}).op(kGetVariable).push({"q", 2, "o"}).op(kGetVariable).push({"addProperty"});
  w.op(kCallMethod).op(kTrace);  // no setter given: refused
  w.push({nullptr, "getter"}).op(kGetVariable).push({"q", 3, "o"}).op(kGetVariable).push({"addProperty"});
  w.op(kCallMethod).op(kTrace);  // null: read only
  return w.push({"o"}).op(kGetVariable).push({"q"}).op(kGetMember).op(kTrace);
}

ActionWriter versionHidden() {
  ActionWriter w = emptyObject("o");
  setMember(w, "o", "p", "seen").push({256, "p", "o"}).op(kGetVariable).push({3, "ASSetPropFlags"});
  w.op(kCallFunction).op(kPop);
  w.push({"o"}).op(kGetVariable).push({"p"}).op(kGetMember).op(kTrace);
  traceCall(w, "o", "hasOwnProperty", {"p"});
  return setMember(w, "o", "p", "again").push({"o"}).op(kGetVariable).push({"p"}).op(kGetMember).op(kTrace);
}

// A getter that reads its own property counts its calls; a setter assigns its
// own property. Too deep inside itself, an accessor's property is its plain
// slot, which keeps the value the outermost assignment gave.
ActionWriter selfReadingAccessors() {
  ActionWriter getter, setter;
  getter.push({"n", "n"}).op(kGetVariable).op(kIncrement).op(kSetVariable);
  getter.push({"o"}).op(kGetVariable).push({"q"}).op(kGetMember).op(kReturn);
  setMember(setter, "o", "q", "inner");
  ActionWriter w = emptyObject("o");
  w.setVariable("n", 0).defineFunction("getter", {}, getter).defineFunction("setter", {"v"}, setter);
  w.push({"setter"}).op(kGetVariable).push({"getter"}).op(kGetVariable).push({"q", 3, "o"}).op(kGetVariable);
  w.push({"addProperty"}).op(kCallMethod).op(kPop);
  w.push({"o"}).op(kGetVariable).push({"q"}).op(kGetMember).op(kTrace).traceVariable("n");
  setMember(w, "o", "q", "outer");
  return w.push({"o"}).op(kGetVariable).push({"q"}).op(kGetMember).op(kTrace);
}

// A watch on a name addProperty then takes: the accessor's plain slot holds
// what the callback answers and is the old value it hears next.
ActionWriter watchedAccessor() {
  ActionWriter callback, getter, setter;
  callback.traceVariable("old").push({"now"}).op(kGetVariable).push({1}).op(kAdd2).op(kReturn);
  getter.push({"g"}).op(kReturn);
  setter.traceVariable("v");
  ActionWriter w = emptyObject("o");
  w.defineFunction("callback", {"name", "old", "now"}, callback);
  w.defineFunction("getter", {}, getter).defineFunction("setter", {"v"}, setter);
  w.push({"callback"}).op(kGetVariable).push({"v", 2, "o"}).op(kGetVariable).push({"watch"}).op(kCallMethod).op(kPop);
  w.push({"setter"}).op(kGetVariable).push({"getter"}).op(kGetVariable).push({"v", 3, "o"}).op(kGetVariable);
  w.push({"addProperty"}).op(kCallMethod).op(kPop);
  setMember(w, "o", "v", 10);
  return traceCall(w, "o", "unwatch", {"v"});
}

// trace(o) where reading o.toString throws.
ActionWriter throwingConversion() {
  ActionWriter thrower, body, handler;
  thrower.push({"boom"}).op(kThrow);
  body.push({"o"}).op(kGetVariable).op(kTrace);
  handler.traceVariable("e");
  ActionWriter w = emptyObject("o");
  w.defineFunction("thrower", {}, thrower);
  w.push({nullptr, "thrower"}).op(kGetVariable).push({"toString", 3, "o"}).op(kGetVariable).push({"addProperty"});
  w.op(kCallMethod).op(kPop);
  return w.tryCatch(body, "e", handler, ActionWriter());
}

TEST(ScriptLibrary, PropertiesHonourWatchesAccessorsAndFlags) {
  ActionWriter nameless = emptyObject("o");
  setMember(nameless, "o", "", 1);
  traceCall(nameless, "o", "hasOwnProperty", {""});
  PropertyCase cases[] = {
      {"watch and unwatch", 7, watchedAssignments(), {"true", "1", "2", "d", "inner", "2!", "true", "3"}},
      {"addProperty wants a setter or null", 7, addedProperties(), {"false", "true", "got"}},
      {"a property hidden from SWF 6 comes back when set", 6, versionHidden(), {"undefined", "true", "again"}},
      {"a nameless property is never made", 7, nameless, {"false"}},
      {"accessors run once inside themselves in SWF 6", 6, selfReadingAccessors(), {"undefined", "1", "outer"}},
      {"accessors run 65 deep inside themselves from SWF 7", 7, selfReadingAccessors(), {"undefined", "65", "outer"}},
      {"a trace whose conversion throws leaves the type", 7, throwingConversion(), {"[type Object]", "boom"}},
      {"a watched accessor", 7, watchedAccessor(), {"undefined", "NaN", "11", "false"}},
  };
  for (PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script, c.version), c.traced);
  }
}

// An array of [ , , "c"]: the first two elements were never written.
ActionWriter arrayWithHoles() {
  ActionWriter w;
  w.push({"a", 0}).op(kInitArray).op(kSetVariable);
  return setMember(w, "a", "2", "c");
}

void traceKeys(ActionWriter& w, const char* name) {  // for (k in name) trace(k)
  w.push({name}).op(kGetVariable).op(kEnumerate2).label("next").op(kPushDuplicate).push({nullptr});
  w.op(kStrictEquals).ifTrue("done").op(kTrace).jump("next").label("done").op(kPop);
}

TEST(ScriptLibrary, ArraysKeepTheirHolesAndTheLengthTheyWereGiven) {
  ActionWriter negative;
  negative.push({"a", -1, 1, "Array"}).op(kNewObject).op(kSetVariable);
  pushChain(negative, "a.length").op(kTrace);
  pushChain(negative, "a").op(kTrace);
  ActionWriter holes = arrayWithHoles();
  traceCall(holes, "a", "hasOwnProperty", {1});
  traceCall(holes, "a", "hasOwnProperty", {2});
  pushChain(holes, "a").op(kTrace);
  ActionWriter listed = arrayWithHoles();
  traceKeys(listed, "a");
  ActionWriter inherited = arrayWithHoles();
  pushChain(inherited, "Array.prototype").push({"1", "p"}).op(kSetMember);
  inherited.push({"a"}).op(kGetVariable).push({1}).op(kGetMember).op(kTrace);
  ActionWriter borrowed;
  borrowed.push({"o", "length", 3, 1}).op(kInitObject).op(kSetVariable);
  pushChain(borrowed.push({"o"}).op(kGetVariable).push({"join"}), "Array.prototype.join").op(kSetMember);
  traceCall(borrowed, "o", "join", {"-"});
  PropertyCase cases[] = {
      {"a negative length", 8, negative, {"-1", ""}},
      {"holes are no properties", 8, holes, {"false", "true", "undefined,undefined,c"}},
      {"holes are not enumerated", 8, listed, {"2"}},
      {"holes read the prototype", 8, inherited, {"p"}},
      {"join on an object reads only its length", 8, borrowed, {"undefined-undefined-undefined"}},
  };
  for (PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script, c.version), c.traced);
  }
}

ActionWriter& traceSum(ActionWriter& w, const char* name) {  // trace("" + name)
  return w.push({"", name}).op(kGetVariable).op(kAdd2).op(kTrace);
}

TEST(ScriptLibrary, ConversionsAskTheMethodTheirHintNamesFirst) {
  ActionWriter answersS, answersObject;
  answersS.push({"s"}).op(kReturn);
  answersObject.trace("asked").push({0}).op(kInitObject).op(kReturn);
  ActionWriter noValueOf = emptyObject("o");
  noValueOf.defineFunction("answersS", {}, answersS);
  setMember(noValueOf, "o", "valueOf", Undefined{});
  noValueOf.push({"o"}).op(kGetVariable).push({"toString", "answersS"}).op(kGetVariable).op(kSetMember);
  traceSum(noValueOf, "o").push({"o"}).op(kGetVariable).op(kTrace);
  ActionWriter date;
  date.push({"d", 0, 1, "Date"}).op(kNewObject).op(kSetVariable).defineFunction("answersObject", {}, answersObject);
  date.push({"d"}).op(kGetVariable).push({"toString", "answersObject"}).op(kGetVariable).op(kSetMember);
  traceSum(date.push({"d"}).op(kGetVariable).op(kTrace), "d");
  ActionWriter pairs;
  pairs.push({"a", 4294967297.0}).op(kInitObject).op(kTrace).op(kTrace);
  PropertyCase cases[] = {
      {"no valueOf: no number, though toString answers", 8, noValueOf, {"undefined", "s"}},
      {"a string asked once, a sum falls back to toString",
       8,
       date,
       {"asked", "[type Object]", "asked", "asked", "[type Object]"}},
      {"more pairs than the stack holds", 8, pairs, {"undefined", "a"}},
  };
  for (PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script, c.version), c.traced);
  }
}

struct CallCase {
  const char* object;  // a variable holding "abcabc" or the array [1, 2, 3]
  const char* method;
  std::vector<Pushed> args;
  const char* traced;
  const char* array = "1,2,3";  // the array afterwards
};

TEST(ScriptLibrary, StringAndArrayMethodsTakeTheirArgumentsAsThePlayerDoes) {
  const CallCase cases[] = {
      {"s", "charAt", {4294967297.0}, "b"},  // positions wrap at 32 bits
      {"s", "indexOf", {"c", 4294967297.0}, "2"},
      {"s", "lastIndexOf", {"a", 4294967300.0}, "3"},
      {"s", "indexOf", {}, "undefined"},
      {"a", "splice", {Undefined{}}, "undefined"},  // no start: nothing removed
      {"a", "splice", {1, -1}, "undefined"},
      {"a", "splice", {1, Undefined{}}, "undefined"},
      {"a", "splice", {1, 1}, "2", "1,3"},
  };
  for (const CallCase& c : cases) {
    SCOPED_TRACE(std::string(c.object) + "." + c.method);
    ActionWriter w;
    w.setVariable("s", "abcabc").push({3, 2, 1, 3}).op(kInitArray).push({"a"}).op(kStackSwap).op(kSetVariable);
    traceCall(w, c.object, c.method, c.args);
    pushChain(w, "a").op(kTrace);
    EXPECT_EQ(run(w), (std::vector<std::string>{c.traced, c.array}));
  }
  ActionWriter nul;
  nul.push({82, 0, 80, 3, "String"}).op(kGetVariable).push({"fromCharCode"}).op(kCallMethod).op(kTrace);
  EXPECT_EQ(run(nul), std::vector<std::string>{"P"});  // a NUL ends the text
}

// A function called by name runs with the timeline or with object it was
// found on as `this`, and without one when it was found among locals.
ActionWriter callsByName() {
  ActionWriter showThis, inner, outer;
  showThis.push({"this"}).op(kGetVariable).op(kTrace);
  inner.push({"this"}).op(kGetVariable).op(kTypeOf).op(kTrace);
  outer.defineFunction("local", {}, inner).push({0, "local"}).op(kCallFunction).op(kPop);
  ActionWriter w;
  w.defineFunction("shown", {}, showThis).defineFunction("outer", {}, outer);
  w.push({0, "shown"}).op(kCallFunction).op(kPop).push({0, "outer"}).op(kCallFunction).op(kPop);
  ActionWriter inWith;
  inWith.push({0, "m"}).op(kCallFunction).op(kPop);
  ActionWriter method;
  method.push({"this"}).op(kGetVariable).push({"k"}).op(kGetMember).op(kTrace);
  w.push({"o", "k", "from o", 1}).op(kInitObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).push({"m"}).defineFunction("", {}, method).op(kSetMember);
  return w.push({"o"}).op(kGetVariable).with(inWith);
}

ActionWriter registeredClasses() {
  ActionWriter w, empty;
  w.defineFunction("C", {}, empty);
  w.push({"C"}).op(kGetVariable).push({"x", 2, "Object"}).op(kGetVariable).push({"registerClass"});
  w.op(kCallMethod).op(kTrace);
  w.push({nullptr, "x", 2, "Object"}).op(kGetVariable).push({"registerClass"}).op(kCallMethod).op(kTrace);
  w.push({12, "x", 2, "Object"}).op(kGetVariable).push({"registerClass"}).op(kCallMethod).op(kTrace);
  return w.push({"x", 1, "Object"}).op(kGetVariable).push({"registerClass"}).op(kCallMethod).op(kTrace);
}

TEST(ScriptLibrary, CallsFindTheirThisAndClassesRegister) {
  EXPECT_EQ(run(callsByName(), 7), (std::vector<std::string>{"_level0", "undefined", "from o"}));
  EXPECT_EQ(run(registeredClasses(), 7), (std::vector<std::string>{"true", "true", "false", "false"}));
}

// ASnative(table, index)(args...), traced; args are pushed last first.
ActionWriter& traceNative(ActionWriter& w, Pushed table, Pushed index, std::vector<Pushed> args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) w.push({*it});
  w.push({int(args.size()), index, table, 2, "ASnative"}).op(kCallFunction);
  return w.push({Undefined{}}).op(kCallMethod).op(kTrace);
}

ActionWriter numberedNatives() {
  ActionWriter valueOf;
  valueOf.trace("read").push({7}).op(kReturn);
  ActionWriter w;
  traceNative(w, 200, 9, {16});             // Math.sqrt
  traceNative(w, "100", 0, {"&"});          // escape
  traceNative(w, 100, 65536 + 1, {"%26"});  // no such native
  w.push({"o", "valueOf"}).defineFunction("", {}, valueOf).push({1}).op(kInitObject).op(kSetVariable);
  w.push({"o"}).op(kGetVariable).push({"o"}).op(kGetVariable).push({2, 50, 200, 2, "ASnative"});
  w.op(kCallFunction).push({Undefined{}}).op(kCallMethod).op(kTrace);  // an unknown Math index
  return w.push({200, 1, "ASnative"}).op(kCallFunction).op(kTrace);    // one number names nothing
}

// typeof of each name, then what Camera.get() answers.
ActionWriter globalKinds() {
  ActionWriter w;
  for (const char* chain : {"Camera", "AsBroadcaster", "System.capabilities", "TextField.StyleSheet", "flash",
                            "flash.text.TextRenderer", "flash.external.ExternalInterface.available"})
    pushChain(w, chain).op(kTypeOf).op(kTrace);
  return traceCall(w, "Camera", "get", {});
}

TEST(ScriptLibrary, NumberedNativesAndGlobalClassesAreThePlayers) {
  PropertyCase cases[] = {
      {"ASnative", 8, numberedNatives(), {"4", "%26", "undefined", "read", "read", "NaN", "undefined"}},
      {"globals of SWF 7",
       7,
       globalKinds(),
       {"function", "function", "object", "function", "undefined", "undefined", "undefined", "null"}},
      {"globals of SWF 8",
       8,
       globalKinds(),
       {"function", "function", "object", "function", "object", "function", "boolean", "null"}},
  };
  for (PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script, c.version), c.traced);
  }
}

ActionWriter newXml(const char* source) {
  ActionWriter w;
  return w.push({"x", source, 1, "XML"}).op(kNewObject).op(kSetVariable);
}

struct XmlCase {
  const char* source;
  const char* chain;
  const char* traced;
};

TEST(ScriptLibrary, XmlReadsAndWritesItsDocuments) {
  const XmlCase cases[] = {
      {"<a b=\"1 &amp; 2\">t&lt;</a>", "x", "<a b=\"1 &amp; 2\">t&lt;</a>"},
      {"<a b=\"1 &amp; 2\">t&lt;</a>", "x.firstChild.attributes.b", "1 & 2"},
      {"<a>&#39;&thing;</a>", "x.firstChild.firstChild.nodeValue", "'&thing;"},
      {"<a><!-- gone --><![CDATA[<kept>]]></a>", "x.firstChild.firstChild.nodeValue", "<kept>"},
      {"<?xml version='1.0'?><a/>", "x", "<?xml version='1.0'?><a />"},
      {"<a/><b/>", "x.firstChild.nextSibling.nodeName", "b"},
      {"<a/><b/>", "x.lastChild.nextSibling", "null"},
      {"<p:a xmlns:p='u'/>", "x.firstChild.namespaceURI", "u"},
      {"<p:a/>", "x.firstChild.localName", "a"},
      {"<a id='k'/>", "x.idMap.k.nodeName", "a"},
      {"<a>  </a>", "x.firstChild.childNodes.length", "1"},
      {"<a><b></a>", "x.status", "-9"},
      {"</a>", "x.status", "-10"},
      {"<a b=\"1></a>", "x.status", "-8"},
      {"<a><!-- open", "x.status", "-5"},
      {"<a><![CDATA[open", "x.status", "-2"},
      {"<a b></a>", "x.status", "-6"},
      {"<a></a>", "x.status", "0"},
  };
  for (const XmlCase& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.chain);
    ActionWriter w = newXml(c.source);
    pushChain(w, c.chain).op(kTrace);
    EXPECT_EQ(run(w), std::vector<std::string>{c.traced});
  }
}

TEST(ScriptLibrary, XmlNodesMoveWithoutMakingCycles) {
  ActionWriter w = newXml("<a><b/></a><c/>");
  pushChain(w.push({"kids"}), "x.childNodes").op(kSetVariable);
  callWith(w, "x.firstChild.firstChild", "appendChild", "x.firstChild");  // a under its own child: refused
  pushChain(w, "x").op(kTrace);
  callWith(w, "x", "appendChild", "x.firstChild.firstChild");  // b moves to the end
  pushChain(w, "x").op(kTrace);
  pushChain(w, "kids.length").op(kTrace);  // the array held before follows the tree
  pushChain(w, "x.lastChild.parentNode.firstChild.nodeName").op(kTrace);
  EXPECT_EQ(run(w), (std::vector<std::string>{"<a><b /></a><c />", "<a /><c /><b />", "3", "a"}));
}

}  // namespace
