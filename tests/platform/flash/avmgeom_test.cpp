// flash.geom, the drawing methods and where a clip lies, through movies
// whose scripts call them.

#include <gtest/gtest.h>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/actionwriter.h"

using namespace swf;
using namespace swfwrite;

namespace {

// Pushes `args` as a call wants them: last first, then their count.
void pushArgs(ActionWriter& w, const std::vector<Pushed>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) w.push({*it});
  w.push({int(args.size())});
}

// name = new flash.<package>.<type>(args)
void newFlash(ActionWriter& w, const std::string& name, const char* package, const std::string& type,
              const std::vector<Pushed>& args) {
  w.push({name});
  pushArgs(w, args);
  w.push({"flash"}).op(kGetVariable).push({package}).op(kGetMember).push({type}).op(kNewMethod).op(kSetVariable);
}

void newGeom(ActionWriter& w, const std::string& name, const std::string& type, const std::vector<Pushed>& args) {
  newFlash(w, name, "geom", type, args);
}

void newBitmap(ActionWriter& w, const std::string& name, const std::vector<Pushed>& args) {
  newFlash(w, name, "display", "BitmapData", args);
}

// object.method(args), its result left on the stack.
ActionWriter& call(ActionWriter& w, const std::string& object, const std::string& method,
                   const std::vector<Pushed>& args) {
  pushArgs(w, args);
  return w.push({object}).op(kGetVariable).push({method}).op(kCallMethod);
}

// An argument that is a variable's value rather than a constant.
struct Arg {
  Pushed value;
  bool variable = false;
};
Arg var(const char* name) { return {name, true}; }

// object.method(args) with variables among the arguments, its result left on the stack.
ActionWriter& callWith(ActionWriter& w, const std::string& object, const std::string& method,
                       const std::vector<Arg>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    w.push({it->value});
    if (it->variable) w.op(kGetVariable);
  }
  return w.push({int(args.size()), object}).op(kGetVariable).push({method}).op(kCallMethod);
}

void traceCall(ActionWriter& w, const std::string& object, const std::string& method, const std::vector<Arg>& args) {
  callWith(w, object, method, args).op(kTrace);
}

void callAndDrop(ActionWriter& w, const std::string& object, const std::string& method,
                 const std::vector<Pushed>& args) {
  call(w, object, method, args).op(kPop);
}

// trace(object.member)
void traceMember(ActionWriter& w, const std::string& object, const std::string& member) {
  w.push({object}).op(kGetVariable).push({member}).op(kGetMember).op(kTrace);
}

std::vector<std::string> traced(const ActionWriter& script, MoviePlayer& player) {
  MovieWriter movie(100, 100, 12, 8);
  doAction(movie, script);
  movie.showFrame();
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  EXPECT_TRUE(player.load(movie.finish()));
  player.setTraceSink(nullptr);
  return lines;
}

std::vector<std::string> traced(const ActionWriter& script) {
  MoviePlayer player;
  return traced(script, player);
}

// name = _root.createEmptyMovieClip(name, depth), a square of `color` drawn in it.
void squareClip(ActionWriter& w, const std::string& name, int depth, uint32_t color, int x, int y, int side) {
  w.push({name, depth, name, 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod);
  w.op(kSetVariable);
  callAndDrop(w, name, "beginFill", {int(color), 100});
  for (auto [px, py] : {std::pair{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}})
    callAndDrop(w, name, px == x && py == y ? "moveTo" : "lineTo", {px, py});
  callAndDrop(w, name, "endFill", {});
}

struct GeomCase {
  const char* name;
  ActionWriter script;
  std::vector<std::string> lines;
};

std::vector<GeomCase> geomCases() {
  std::vector<GeomCase> cases;
  ActionWriter w;
  squareClip(w, "m", 1, 0x00FF00, 0, 0, 40);
  squareClip(w, "c", 2, 0x0000FF, 0, 0, 100);
  for (std::vector<Pushed> args : {std::vector<Pushed>{"m"}, {"nowhere"}, {}, {nullptr}})
    call(w, "c", "setMask", args).op(kTrace);
  cases.push_back({"setMask answers whether its argument named a mask", w, {"true", "false", "undefined", "true"}});

  w = {};
  w.push({"c", 1, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  callAndDrop(w, "c", "beginFill", {0x0000FF, 100});
  for (int side : {100, 50}) {
    int at = (100 - side) / 2;
    for (auto [x, y] : {std::pair{at, at}, {at + side, at}, {at + side, at + side}, {at, at + side}})
      callAndDrop(w, "c", x == at && y == at ? "moveTo" : "lineTo", {x, y});
  }
  callAndDrop(w, "c", "endFill", {});
  for (auto [x, y] : {std::pair{50, 50}, {10, 10}}) call(w, "c", "hitTest", {x, y, true}).op(kTrace);
  cases.push_back({"a shape hit test leaves out a hole the fill winds twice", w, {"false", "true"}});

  w = {};
  newGeom(w, "m", "Matrix", {2, 3, 5, 7, 9, 11});
  callAndDrop(w, "m", "invert", {});
  w.traceVariable("m");
  cases.push_back({"a matrix inverts", w, {"(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)"}});

  w = {};
  newGeom(w, "m", "Matrix", {2, 0, 0, 2, 100, 100});
  callAndDrop(w, "m", "scale", {7, 11});
  w.traceVariable("m");
  newGeom(w, "n", "Matrix", {2, 3, 5, 7, 11, 13});
  newGeom(w, "p", "Point", {1, 1});
  call(w, "n", "transformPoint", {}).op(kTrace);  // no point: NaN, not a failure
  w.push({"p"}).op(kGetVariable).push({1, "n"}).op(kGetVariable).push({"transformPoint"}).op(kCallMethod).op(kTrace);
  cases.push_back({"scale scales the translation; transformPoint maps a point",
                   w,
                   {"(a=14, b=0, c=0, d=22, tx=700, ty=1100)", "(x=NaN, y=NaN)", "(x=18, y=23)"}});

  w = {};
  newGeom(w, "m", "Matrix", {});
  callAndDrop(w, "m", "createGradientBox", {200, 300});
  w.traceVariable("m");
  cases.push_back({"a gradient box is the gradient square scaled and centred",
                   w,
                   {"(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)"}});

  w = {};
  newGeom(w, "p", "Point", {3, 4});
  traceMember(w, "p", "length");
  newGeom(w, "q", "Point", {1});
  w.traceVariable("q");
  cases.push_back({"a point knows its length and keeps what it was given", w, {"5", "(x=1, y=undefined)"}});

  w = {};
  newGeom(w, "r", "Rectangle", {0, 0, 10, 10});
  newGeom(w, "s", "Rectangle", {5, 5, 10, 10});
  w.push({"s"}).op(kGetVariable).push({1, "r"}).op(kGetVariable).push({"intersection"}).op(kCallMethod).op(kTrace);
  w.push({"s"}).op(kGetVariable).push({1, "r"}).op(kGetVariable).push({"union"}).op(kCallMethod).op(kTrace);
  traceMember(w, "s", "bottom");
  cases.push_back({"rectangles meet and join", w, {"(x=5, y=5, w=5, h=5)", "(x=0, y=0, w=15, h=15)", "15"}});

  w = {};
  newGeom(w, "c", "ColorTransform", {});
  w.push({"c"}).op(kGetVariable).push({"rgb", 0x336699}).op(kSetMember);
  w.traceVariable("c");
  cases.push_back({"a colour transform's rgb sets the offsets and clears the multipliers",
                   w,
                   {"(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=51, "
                    "greenOffset=102, blueOffset=153, alphaOffset=0)"}});
  return cases;
}

TEST(ScriptGeometry, ClassesComputeAsThePlayerDoes) {
  for (const GeomCase& c : geomCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(traced(c.script), c.lines);
  }
}

// _root.method(args), result dropped.
void onRoot(ActionWriter& w, const std::string& method, const std::vector<Pushed>& args) {
  callAndDrop(w, "_root", method, args);
}

// A square of `side` pixels at (x, y) drawn as a path of lines.
void square(ActionWriter& w, int x, int y, int side) {
  onRoot(w, "moveTo", {x, y});
  onRoot(w, "lineTo", {x + side, y});
  onRoot(w, "lineTo", {x + side, y + side});
  onRoot(w, "lineTo", {x, y + side});
}

struct DrawingCase {
  const char* name;
  ActionWriter script;
  std::vector<std::pair<std::pair<int, int>, uint32_t>> pixels;  // (x, y) -> 0xRRGGBB
};

std::vector<DrawingCase> drawingCases() {
  constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF;
  std::vector<DrawingCase> cases;
  ActionWriter w;
  onRoot(w, "beginFill", {0xFF0000, 100});
  square(w, 10, 10, 40);
  onRoot(w, "endFill", {});
  cases.push_back({"a filled square", w, {{{30, 30}, kRed}, {{60, 60}, kWhite}, {{5, 30}, kWhite}}});

  w = {};
  onRoot(w, "beginFill", {0xFF0000});
  square(w, 10, 10, 40);
  cases.push_back({"a fill left open is closed", w, {{{30, 30}, kRed}}});

  w = {};
  onRoot(w, "lineStyle", {4, 0x0000FF, 100});
  onRoot(w, "beginFill", {0xFF0000, 100});
  onRoot(w, "moveTo", {10, 10});
  onRoot(w, "lineTo", {90, 10});
  onRoot(w, "lineTo", {10, 90});
  onRoot(w, "endFill", {});
  cases.push_back({"ending a fill strokes its closing edge, over the fill",
                   w,
                   {{{30, 30}, kRed}, {{10, 50}, kBlue}, {{50, 10}, kBlue}, {{80, 80}, kWhite}}});

  w = {};
  onRoot(w, "beginFill", {0xFF0000, 100});
  square(w, 10, 10, 40);
  onRoot(w, "endFill", {});
  onRoot(w, "clear", {});
  onRoot(w, "beginFill", {0x0000FF, 100});
  square(w, 60, 60, 20);
  onRoot(w, "endFill", {});
  cases.push_back({"clear forgets what was drawn", w, {{{30, 30}, kWhite}, {{70, 70}, kBlue}}});

  w = {};
  w.push({"c", 1, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  callAndDrop(w, "c", "beginFill", {0xFF0000, 100});
  for (auto [x, y] : {std::pair{0, 0}, {90, 0}, {90, 90}, {0, 90}})
    callAndDrop(w, "c", x || y ? "lineTo" : "moveTo", {x, y});
  w.push({"c"}).op(kGetVariable).push({"_visible", false}).op(kSetMember);
  cases.push_back({"a hidden clip draws nothing", w, {{{30, 30}, kWhite}}});

  w = {};
  onRoot(w, "beginFill", {0xFF0000, 100});
  square(w, 0, 0, 100);
  onRoot(w, "endFill", {});
  onRoot(w, "beginFill", {0x0000FF, 0});
  square(w, 0, 0, 50);
  onRoot(w, "endFill", {});
  cases.push_back({"alpha 0 draws nothing over what is there", w, {{{25, 25}, kRed}}});

  w = {};
  onRoot(w, "beginFill", {0xFF0000, 100});
  square(w, 0, 0, 100);
  square(w, 25, 25, 50);  // wound the same way: a hole all the same
  onRoot(w, "endFill", {});
  cases.push_back({"a fill crossing itself leaves out what it winds twice", w, {{{10, 10}, kRed}, {{50, 50}, kWhite}}});

  w = {};
  // A linear gradient from red at the left to blue at the right across 100 pixels.
  newGeom(w, "m", "Matrix", {});
  callAndDrop(w, "m", "createGradientBox", {100, 100});
  w.push({"m"}).op(kGetVariable);
  w.push({255, 0, 2}).op(kInitArray).push({100, 100, 2}).op(kInitArray).push({0x0000FF, 0xFF0000, 2}).op(kInitArray);
  w.push({"linear", 5, "_root"}).op(kGetVariable).push({"beginGradientFill"}).op(kCallMethod).op(kPop);
  square(w, 0, 0, 100);
  onRoot(w, "endFill", {});
  cases.push_back({"a gradient fill spans its box", w, {{{1, 50}, kRed}, {{98, 50}, kBlue}}});

  constexpr uint32_t kGreen = 0x00FF00;
  w = {};
  squareClip(w, "c", 1, kRed, 0, 0, 50);
  squareClip(w, "b", 2, kBlue, 50, 0, 50);
  w.push({"b"}).op(kGetVariable).push({"_x", -40}).op(kSetMember);
  newGeom(w, "r", "Rectangle", {50, 0, 20, 20});
  w.push({"b"}).op(kGetVariable).push({"scrollRect", "r"}).op(kGetVariable).op(kSetMember);
  cases.push_back({"a scroll rectangle shows its corner at the clip's origin, cut to its size",
                   w,
                   {{{45, 5}, kRed}, {{5, 5}, kRed}, {{75, 5}, kWhite}, {{15, 35}, kRed}, {{85, 15}, kWhite}}});

  w = {};
  squareClip(w, "m", 1, kGreen, 0, 0, 40);
  squareClip(w, "c", 2, kBlue, 0, 0, 100);
  callAndDrop(w, "c", "setMask", {"m"});
  cases.push_back({"a script's mask shows the clip inside it and is not drawn itself",
                   w,
                   {{{20, 20}, kBlue}, {{60, 60}, kWhite}, {{20, 60}, kWhite}}});

  w = {};
  squareClip(w, "m", 1, kGreen, 0, 0, 40);
  squareClip(w, "c", 2, kBlue, 0, 0, 100);
  callAndDrop(w, "c", "setMask", {"m"});
  callAndDrop(w, "c", "setMask", {});  // no argument changes nothing
  callAndDrop(w, "c", "setMask", {nullptr});
  cases.push_back({"a mask set to null is taken away", w, {{{60, 60}, kBlue}, {{20, 20}, kBlue}}});

  w = {};
  squareClip(w, "m", 1, kGreen, 0, 0, 40);
  squareClip(w, "c", 2, kBlue, 0, 0, 100);
  callAndDrop(w, "c", "setMask", {"m"});
  callAndDrop(w, "c", "setMask", {"nowhere"});  // names no clip: the mask stays
  callAndDrop(w, "m", "removeMovieClip", {});
  cases.push_back({"a mask that leaves the stage masks no more", w, {{{60, 60}, kBlue}}});

  w = {};
  w.push({"c", 1, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  callAndDrop(w, "c", "lineStyle", {1, 0x0000FF, 100});
  callAndDrop(w, "c", "moveTo", {10, 10});
  callAndDrop(w, "c", "lineTo", {60, 60});
  w.push({"c"}).op(kGetVariable).push({"opaqueBackground", int(kGreen)}).op(kSetMember);
  cases.push_back({"an opaque background fills the clip's bounds", w, {{{50, 20}, kGreen}, {{80, 80}, kWhite}}});

  // A 10-pixel line with no caps on a clip scaled 4 times across: its width
  // is scaled across only, and one that keeps its width is not scaled at all.
  w = {};
  w.push({"c", 1, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  w.push({"c"}).op(kGetVariable).push({"_xscale", 400}).op(kSetMember);
  callAndDrop(w, "c", "lineStyle", {4, 0x0000FF, 100, false, "normal", "none"});
  callAndDrop(w, "c", "moveTo", {5, 20});
  callAndDrop(w, "c", "lineTo", {5, 30});
  callAndDrop(w, "c", "lineStyle", {4, 0xFF0000, 100, false, "none", "square"});
  callAndDrop(w, "c", "moveTo", {15, 50});
  callAndDrop(w, "c", "lineTo", {15, 60});
  cases.push_back({"a line's caps, and its width scaled as its mode says",
                   w,
                   {{{13, 25}, kBlue},
                    {{27, 25}, kBlue},
                    {{20, 18}, kWhite},
                    {{20, 32}, kWhite},
                    {{60, 49}, kRed},
                    {{60, 46}, kWhite},
                    {{57, 55}, kWhite},
                    {{63, 55}, kWhite}}});
  return cases;
}

TEST(ScriptDrawing, DrawsWhatTheScriptAsks) {
  for (const DrawingCase& c : drawingCases()) {
    SCOPED_TRACE(c.name);
    MoviePlayer player;
    traced(c.script, player);
    flashtest::Picture picture = flashtest::render(player, 100, 100);
    for (auto [at, rgb] : c.pixels) {
      SCOPED_TRACE(testing::Message() << at.first << "," << at.second);
      EXPECT_LE(flashtest::colorDistance(picture.at(at.first, at.second), rgb), 24);
    }
  }
}

TEST(ScriptDrawing, ClipsAnswerWhereTheyLie) {
  // A clip holding a 40-pixel square at (10, 10) of its own space, placed at (20, 0).
  ActionWriter w;
  w.push({"c", 1, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  w.push({"c"}).op(kGetVariable).push({"_x", 20}).op(kSetMember);
  callAndDrop(w, "c", "beginFill", {0x00FF00, 100});
  for (auto [x, y] : {std::pair{10, 10}, {50, 10}, {50, 50}, {10, 50}})
    callAndDrop(w, "c", x == 10 && y == 10 ? "moveTo" : "lineTo", {x, y});
  callAndDrop(w, "c", "endFill", {});
  traceMember(w, "c", "_width");
  call(w, "c", "getBounds", {"_root"}).push({"xMin"}).op(kGetMember).op(kTrace);
  call(w, "c", "hitTest", {45, 30, true}).op(kTrace);
  call(w, "c", "hitTest", {15, 30, true}).op(kTrace);
  call(w, "c", "hitTest", {65, 45}).op(kTrace);
  call(w, "c", "hitTest", {75, 55}).op(kTrace);
  w.push({"pt", "x", 0, "y", 0, 2}).op(kInitObject).op(kSetVariable);
  w.push({"pt"}).op(kGetVariable).push({1, "c"}).op(kGetVariable).push({"localToGlobal"}).op(kCallMethod).op(kPop);
  traceMember(w, "pt", "x");
  w.push({"c"}).op(kGetVariable).push({"_width", 80}).op(kSetMember);
  traceMember(w, "c", "_xscale");
  EXPECT_EQ(traced(w), (std::vector<std::string>{"40", "30", "true", "false", "true", "false", "20", "200"}));
}

struct BitmapCase {
  const char* name;
  ActionWriter script;
  std::vector<std::string> lines;
};

std::vector<BitmapCase> bitmapCases() {
  std::vector<BitmapCase> cases;
  ActionWriter w;
  newBitmap(w, "b", {4, 3, true, 0x80FF0000u * 1.0});
  traceMember(w, "b", "width");
  traceMember(w, "b", "rectangle");
  call(w, "b", "getPixel32", {3, 2}).op(kTrace);
  call(w, "b", "getPixel32", {4, 0}).op(kTrace);
  call(w, "b", "getPixel", {}).op(kTrace);
  cases.push_back({"a new picture is its fill colour; outside it reads 0, without a place -1",
                   w,
                   {"4", "(x=0, y=0, w=4, h=3)", "-2130771968", "0", "-1"}});

  w = {};
  newBitmap(w, "b", {2, 2});
  callAndDrop(w, "b", "setPixel32", {1, 1, 0x98765432u * 1.0});
  call(w, "b", "getPixel32", {1, 1}).op(kTrace);
  newBitmap(w, "o", {2, 2, false, 0});
  callAndDrop(w, "o", "setPixel32", {0, 0, 0x00123456});
  call(w, "o", "getPixel32", {0, 0}).op(kTrace);
  cases.push_back(
      {"pixels keep premultiplied precision; an opaque picture keeps no alpha", w, {"-1737141198", "-15584170"}});

  w = {};
  newBitmap(w, "b", {10, 10, false, 0xFFFFFFFFu * 1.0});
  newGeom(w, "r", "Rectangle", {2, 2, 3, 3});
  w.push({0xFF0000, "r"}).op(kGetVariable).push({2, "b"}).op(kGetVariable).push({"fillRect"}).op(kCallMethod);
  w.op(kPop);
  call(w, "b", "getPixel", {4, 4}).op(kTrace);
  call(w, "b", "getPixel", {5, 5}).op(kTrace);
  callAndDrop(w, "b", "floodFill", {0, 0, 0x00FF00});
  call(w, "b", "getPixel", {9, 9}).op(kTrace);
  call(w, "b", "getPixel", {3, 3}).op(kTrace);
  cases.push_back({"fillRect fills its rectangle; floodFill stops at other colours",
                   w,
                   {"16711680", "16777215", "65280", "16711680"}});

  w = {};
  newBitmap(w, "b", {2, 2, false, 0xFF0000});
  newBitmap(w, "c", {2, 2, false, 0x0000FF});
  newGeom(w, "r", "Rectangle", {0, 0, 1, 1});
  newGeom(w, "p", "Point", {1, 1});
  w.push({"p"}).op(kGetVariable).push({"r"}).op(kGetVariable).push({"b"}).op(kGetVariable).push({3, "c"});
  w.op(kGetVariable).push({"copyPixels"}).op(kCallMethod).op(kPop);
  call(w, "c", "getPixel", {1, 1}).op(kTrace);
  call(w, "c", "getPixel", {0, 0}).op(kTrace);
  call(w, "c", "clone", {}).push({"d"}).op(kSetMember);
  callAndDrop(w, "c", "dispose", {});
  traceMember(w, "c", "width");
  call(w, "c", "getPixel", {0, 0}).op(kTrace);
  w.push({1, 3000, 2, "flash"}).op(kGetVariable).push({"display"}).op(kGetMember);
  w.push({"BitmapData"}).op(kNewMethod).op(kTrace);
  cases.push_back({"copyPixels moves a rectangle to a point; a disposed picture answers -1; too large is none",
                   w,
                   {"16711680", "255", "-1", "-1", "undefined"}});

  w = {};
  newBitmap(w, "b", {3, 3, true, 0xFF112233u * 1.0});
  newGeom(w, "r", "Rectangle", {0, 0, 2, 2});
  newGeom(w, "p", "Point", {1, 1});
  newGeom(w, "t", "ColorTransform", {});
  traceCall(w, "b", "fillRect", {});
  traceCall(w, "b", "fillRect", {var("p"), {0}});
  traceCall(w, "b", "fillRect", {var("r"), {0}});
  traceCall(w, "b", "colorTransform", {var("r"), var("p")});
  traceCall(w, "b", "colorTransform", {var("p"), var("t")});
  traceCall(w, "b", "copyPixels", {var("p"), var("r"), var("p")});
  traceCall(w, "b", "copyPixels", {var("b"), var("p"), var("p")});
  traceCall(w, "b", "floodFill", {{1}, {1}, {0}});
  traceCall(w, "b", "floodFill", {{1}, {1}, {0xFF00FF00u * 1.0}});
  cases.push_back(
      {"each method answers the player's status: too few arguments, a point for a rectangle, "
       "a plain object for a colour transform, a point for a picture, nothing left to fill",
       w,
       {"-1", "-1", "0", "-3", "-2", "-2", "-4", "0", "1"}});

  w = {};
  newBitmap(w, "s", {2, 1, true, 0xFF000000u * 1.0});
  callAndDrop(w, "s", "setPixel32", {1, 0, 0xFFFF0000u * 1.0});
  newBitmap(w, "d", {2, 1, true, 0});
  newGeom(w, "r", "Rectangle", {0, 0, 2, 1});
  newGeom(w, "p", "Point", {0, 0});
  traceCall(
      w, "d", "threshold",
      {var("s"), var("r"), var("p"), {"=="}, {0xFFFF0000u * 1.0}, {0xFF00FF00u * 1.0}, {0xFFFFFFFFu * 1.0}, {true}});
  call(w, "d", "getPixel32", {0, 0}).op(kTrace);
  call(w, "d", "getPixel32", {1, 0}).op(kTrace);
  traceCall(w, "d", "threshold", {var("s"), var("r"), var("p"), {"=="}, {0}, {0}, {Undefined{}}});
  newBitmap(w, "n", {2, 1, false});
  callAndDrop(w, "n", "noise", {1});
  call(w, "n", "getPixel", {0, 0}).op(kTrace);
  call(w, "n", "getPixel", {1, 0}).op(kTrace);
  callAndDrop(w, "n", "noise", {-1, 0, 255, 1, true});
  call(w, "n", "getPixel", {0, 0}).op(kTrace);
  cases.push_back(
      {"threshold counts what passes and copies the rest, a mask given as undefined masks all; noise draws the "
       "minimal standard generator, a seed below one starting where one minus it would",
       w,
       {"1", "-16777216", "-16711936", "2", "11006425", "2785992", "5131854"}});

  w = {};
  newBitmap(w, "a", {2, 2, true, 0xFF336699u * 1.0});
  newGeom(w, "r", "Rectangle", {0, 0, 2, 2});
  newGeom(w, "p", "Point", {0, 0});
  newGeom(w, "q", "Point", {1, 1});
  w.push({"empty", 0}).op(kInitArray).op(kSetVariable);
  traceCall(w, "a", "copyChannel", {var("a"), var("r"), var("p"), {1}, {4}});
  call(w, "a", "getPixel", {0, 0}).op(kTrace);
  traceCall(w, "a", "paletteMap", {var("a"), var("r"), var("p"), var("empty")});
  call(w, "a", "getPixel", {0, 0}).op(kTrace);
  callAndDrop(w, "a", "setPixel32", {1, 1, 0});
  traceCall(w, "a", "hitTest", {var("p"), {255}, var("q")});
  traceCall(w, "a", "hitTest", {var("p"), {-1}, var("q")});
  traceCall(w, "a", "hitTest", {var("q"), {255}, var("r")});
  traceCall(w, "a", "getColorBoundsRect", {{0xFF000000u * 1.0}, {0xFF000000u * 1.0}, {false}});
  cases.push_back(
      {"channels copy and map by table; hit tests take a point or a rectangle and a signed threshold; "
       "colour bounds find what differs",
       w,
       {"-1", "3368499", "-1", "26163", "false", "true", "true", "(x=1, y=1, w=1, h=1)"}});

  w = {};
  newBitmap(w, "r", {3, 3, true, 0});
  newBitmap(w, "g", {3, 3, true, 0});
  traceCall(w, "r", "perlinNoise", {{3}, {3}, {4}, {100}, {false}});
  traceCall(w, "r", "perlinNoise", {{3}, {3}, {4}, {100}, {false}, {false}, {1}});
  callAndDrop(w, "g", "perlinNoise", {3, 3, 4, 100, false, false, 2});
  call(w, "r", "getPixel32", {0, 0}).op(kTrace);
  call(w, "r", "getPixel", {1, 0}).push({65536}).op(kDivide).op(kTrace);
  call(w, "g", "getPixel", {1, 0}).push({256}).op(kDivide).op(kTrace);
  callAndDrop(w, "g", "perlinNoise", {Undefined{}, 3, 4, 100, false, true});
  call(w, "g", "getPixel", {1, 1}).op(kTrace);
  callAndDrop(w, "g", "setPixel32", {0, 0, 0x1AAC0000});
  call(w, "g", "getPixel32", {0, 0}).op(kTrace);
  cases.push_back(
      {"perlinNoise needs six arguments, is 0 on the lattice, draws each chosen channel from the next "
       "table, and nothing without a base; colours read back through the alpha's fixed-point reciprocal",
       w,
       {"-1", "0", "-16777216", "65", "65", "0", "447741952"}});

  w = {};
  newBitmap(w, "b", {3, 3, true, 0xFFFFFFFFu * 1.0});
  callAndDrop(w, "b", "setPixel32", {0, 0, 0xFF00FF00u * 1.0});
  traceCall(w, "b", "getColorBoundsRect", {{0xFFFFFFFFu * 1.0}, {0xFFFFFFFFu * 1.0}, {false}});
  callAndDrop(w, "b", "setPixel32", {1, 1, 0xFF00FF00u * 1.0});
  traceCall(w, "b", "getColorBoundsRect", {{0xFFFFFFFFu * 1.0}, {0xFFFFFFFFu * 1.0}, {false}});
  cases.push_back(
      {"colour bounds found at the origin alone are none", w, {"(x=0, y=0, w=0, h=0)", "(x=0, y=0, w=2, h=2)"}});
  return cases;
}

TEST(ScriptBitmap, PicturesKeepWhatScriptsPut) {
  for (const BitmapCase& c : bitmapCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(traced(c.script), c.lines);
  }
}

TEST(ScriptBitmap, AnAttachedPictureShowsAndDrawTakesAClip) {
  // A 20-pixel red picture attached to the root at (0, 0); then a blue square
  // drawn on a clip is drawn into it at an offset of 10 pixels.
  ActionWriter w;
  newBitmap(w, "b", {20, 20, false, 0xFF0000});
  w.push({1, "b"}).op(kGetVariable).push({2, "_root"}).op(kGetVariable).push({"attachBitmap"}).op(kCallMethod);
  w.op(kPop);
  w.push({"c", 5, "c", 2, "_root"}).op(kGetVariable).push({"createEmptyMovieClip"}).op(kCallMethod).op(kSetVariable);
  callAndDrop(w, "c", "beginFill", {0x0000FF, 100});
  for (auto [x, y] : {std::pair{0, 0}, {5, 0}, {5, 5}, {0, 5}})
    callAndDrop(w, "c", x || y ? "lineTo" : "moveTo", {x, y});
  callAndDrop(w, "c", "endFill", {});
  w.push({"c"}).op(kGetVariable).push({"_visible", false}).op(kSetMember);
  newGeom(w, "m", "Matrix", {1, 0, 0, 1, 10, 10});
  w.push({"m"}).op(kGetVariable).push({"c"}).op(kGetVariable).push({2, "b"}).op(kGetVariable).push({"draw"});
  w.op(kCallMethod).op(kPop);
  call(w, "b", "getPixel", {12, 12}).op(kTrace);
  call(w, "b", "getPixel", {2, 2}).op(kTrace);
  MoviePlayer player;
  EXPECT_EQ(traced(w, player), (std::vector<std::string>{"255", "16711680"}));
  flashtest::Picture picture = flashtest::render(player, 100, 100);
  EXPECT_EQ(picture.at(5, 5), 0xFF0000u);
  EXPECT_EQ(picture.at(12, 12), 0x0000FFu);
  EXPECT_EQ(picture.at(30, 30), 0xFFFFFFu);
}

// object.member = value
void setMember(ActionWriter& w, const std::string& object, const std::string& member, const Pushed& value) {
  w.push({object}).op(kGetVariable).push({member, value}).op(kSetMember);
}

// name = [items...], numbers or variables' values.
void newArray(ActionWriter& w, const std::string& name, const std::vector<Pushed>& items) {
  w.push({name});
  pushArgs(w, items);
  w.op(kInitArray).op(kSetVariable);
}

TEST(ScriptFilters, FieldsTakeWhatTheyAreGivenAsThePlayerDoes) {
  ActionWriter w;
  newFlash(w, "b", "filters", "BlurFilter", {300, -2, 2.5});
  for (const char* field : {"blurX", "blurY", "quality"}) traceMember(w, "b", field);
  newFlash(w, "g", "filters", "GlowFilter", {});
  setMember(w, "g", "alpha", 0.5);
  setMember(w, "g", "color", -305419896);
  traceMember(w, "g", "alpha");
  traceMember(w, "g", "color");
  traceMember(w, "g", "blurX");
  newFlash(w, "v", "filters", "BevelFilter", {});
  setMember(w, "v", "type", "INNER");
  setMember(w, "v", "angle", 361);
  traceMember(w, "v", "type");
  traceMember(w, "v", "angle");
  newFlash(w, "r", "filters", "GradientGlowFilter", {});
  newArray(w, "two", {1, 2});
  newArray(w, "one", {300});
  w.push({"r"}).op(kGetVariable).push({"colors", "two"}).op(kGetVariable).op(kSetMember);
  w.push({"r"}).op(kGetVariable).push({"ratios", "one"}).op(kGetVariable).op(kSetMember);
  traceMember(w, "r", "colors");
  traceMember(w, "r", "ratios");
  traceMember(w, "r", "alphas");
  newFlash(w, "m", "filters", "ColorMatrixFilter", {});
  w.push({"m"}).op(kGetVariable).push({"matrix", "one"}).op(kGetVariable).op(kSetMember);
  w.push({"m"}).op(kGetVariable).push({"matrix"}).op(kGetMember).push({"1"}).op(kGetMember).op(kTrace);
  call(w, "m", "clone", {}).push({"matrix"}).op(kGetMember).push({"0"}).op(kGetMember).op(kTrace);
  EXPECT_EQ(traced(w), (std::vector<std::string>{"255", "0", "2", "0.498039215686275", "13347208", "6", "full", "1",
                                                 "1", "255", "0", "NaN", "300"}));
}

TEST(ScriptFilters, PicturesDissolveAndTakeFilters) {
  ActionWriter w;
  newBitmap(w, "d", {3, 2, true, 0xFF000000u * 1.0});
  newGeom(w, "r", "Rectangle", {0, 0, 3, 2});
  newGeom(w, "p", "Point", {0, 0});
  auto redCount = [&] {
    traceCall(w, "d", "threshold", {var("d"), var("r"), var("p"), {"=="}, {0xFFFF0000u * 1.0}, {0xFFFF0000u * 1.0}});
  };
  w.push({"s"});
  callWith(w, "d", "pixelDissolve", {var("d"), var("r"), var("p"), {0}, {2}, {0xFFFF0000u * 1.0}}).op(kSetVariable);
  redCount();
  callWith(w, "d", "pixelDissolve", {var("d"), var("r"), var("p"), var("s"), {2}, {0xFFFF0000u * 1.0}}).op(kPop);
  redCount();
  callWith(w, "d", "pixelDissolve", {var("d"), var("r"), var("p"), {0}, {6}, {0xFFFF0000u * 1.0}}).op(kPop);
  redCount();
  // A colour matrix that trades red for blue, applied to a picture.
  std::vector<Pushed> swap(20, 0);
  for (size_t i : {2, 6, 10, 18}) swap[i] = 1;
  newArray(w, "swap", swap);
  newFlash(w, "m", "filters", "ColorMatrixFilter", {});
  w.push({"m"}).op(kGetVariable).push({"matrix", "swap"}).op(kGetVariable).op(kSetMember);
  newBitmap(w, "c", {1, 1, false, 0xFF0000});
  newGeom(w, "one", "Rectangle", {0, 0, 1, 1});
  traceCall(w, "c", "applyFilter", {var("c"), var("one"), var("p"), var("m")});
  call(w, "c", "getPixel", {0, 0}).op(kTrace);
  EXPECT_EQ(traced(w), (std::vector<std::string>{"3", "5", "6", "0", "255"}));
}

TEST(ScriptFilters, AClipsFiltersAreCopiesThatTheRendererDraws) {
  // A black square with a blur given by script: its edge spreads onto the
  // white stage; reading the filters back answers new objects.
  ActionWriter w;
  squareClip(w, "c", 1, 0x000000, 40, 40, 20);
  newFlash(w, "f", "filters", "BlurFilter", {16, 16, 1});
  newArray(w, "list", {});
  w.push({"f"}).op(kGetVariable).push({1, "list"}).op(kGetVariable).push({"push"}).op(kCallMethod).op(kPop);
  w.push({"c"}).op(kGetVariable).push({"filters", "list"}).op(kGetVariable).op(kSetMember);
  w.push({"c"}).op(kGetVariable).push({"filters"}).op(kGetMember).push({"0"}).op(kGetMember).push({"blurX"});
  w.op(kGetMember).op(kTrace);
  w.push({"c"}).op(kGetVariable).push({"filters"}).op(kGetMember).push({"0"}).op(kGetMember);
  w.push({"f"}).op(kGetVariable).op(kEquals2).op(kTrace);
  MoviePlayer player;
  EXPECT_EQ(traced(w, player), (std::vector<std::string>{"16", "false"}));
  flashtest::Picture picture = flashtest::render(player, 100, 100);
  uint32_t edge = picture.at(37, 50);
  EXPECT_NE(edge, 0xFFFFFFu);
  EXPECT_NE(edge, 0x000000u);
  EXPECT_EQ(picture.at(5, 5), 0xFFFFFFu);
}

}  // namespace
