// Text fields as scripts see them: a placed field named "field" showing the
// variable "v", and fields scripts make, checked through what movies trace.

#include <gtest/gtest.h>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/actionwriter.h"

using namespace swf;
using namespace swfwrite;

namespace {

std::vector<std::string> run(const ActionWriter& script, const char* variable = "v") {
  MovieWriter movie(200, 200, 12, 8);
  EditText field{.xMin = 0, .xMax = 2000, .yMin = 0, .yMax = 400, .text = std::string("Hello"), .variable = variable};
  movie.defineEditText(1, field);
  movie.placeObject2({.depth = 1, .characterId = 1, .name = std::string("field")});
  doAction(movie, script);
  movie.showFrame();
  movie.showFrame();
  return flashtest::traceLines(movie, 2);
}

ActionWriter& get(ActionWriter& w, const char* object, const char* member) {
  return w.push({object}).op(kGetVariable).push({member}).op(kGetMember);
}
ActionWriter& traceMember(ActionWriter& w, const char* object, const char* member) {
  return get(w, object, member).op(kTrace);
}
ActionWriter& setMember(ActionWriter& w, const char* object, const char* member, Pushed value) {
  return w.push({object}).op(kGetVariable).push({member, value}).op(kSetMember);
}
// object.method(args...) with its result dropped; args are pushed last first.
ActionWriter& call(ActionWriter& w, const char* object, const char* method, std::vector<Pushed> args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) w.push({*it});
  return w.push({int(args.size()), object}).op(kGetVariable).push({method}).op(kCallMethod);
}

ActionWriter boundVariable() {
  ActionWriter w;
  w.traceVariable("v");  // the field gave its text to the unset variable
  w.setVariable("v", "Bye");
  traceMember(w, "field", "text");
  setMember(w, "field", "text", "Set");
  return w.traceVariable("v");
}

ActionWriter fieldProperties() {
  ActionWriter w;
  w.push({"field"}).op(kGetVariable).op(kTrace);
  traceMember(w, "field", "type");
  setMember(w, "field", "type", "DYNAMIC");
  traceMember(w, "field", "type");
  setMember(w, "field", "type", "bogus");  // an unknown type keeps the one there
  traceMember(w, "field", "type");
  setMember(w, "field", "_x", 12.5);
  traceMember(w, "field", "_x");
  traceMember(w, "field", "_width");
  setMember(w, "field", "textColor", 0x1FF0000);  // colours keep 24 bits
  traceMember(w, "field", "textColor");
  setMember(w, "field", "autoSize", "RIGHT");
  return traceMember(w, "field", "autoSize");
}

// A variable on a plain object: the field writes it, but hears of no change
// the object makes until the frame is drawn.
ActionWriter objectVariable() {
  ActionWriter w;
  w.push({"o", 0, "Object"}).op(kNewObject).op(kSetVariable);
  setMember(w, "field", "text", "Set");
  traceMember(w, "o", "v");
  setMember(w, "o", "v", "Later");
  return traceMember(w, "field", "text");
}

ActionWriter madeAndRemoved() {
  ActionWriter w;
  call(w, "_root", "createTextField", {"made", 3, 10, 20, 100, 30}).op(kPop);
  traceMember(w, "made", "_x");
  traceMember(w, "made", "_height");
  call(w, "made", "getDepth", {}).op(kTrace);
  setMember(w, "made", "html", true);
  setMember(w, "made", "text", "a<b");
  traceMember(w, "made", "htmlText");
  call(w, "made", "removeTextField", {}).op(kPop);
  return w.traceVariable("made");
}

ActionWriter measuredText() {
  ActionWriter w;
  setMember(w, "field", "text", "i");
  get(w, "field", "textWidth");
  setMember(w, "field", "text", "iiii");
  get(w, "field", "textWidth").op(kLess2).op(kTrace);
  call(w, "field", "getTextFormat", {}).push({"size"}).op(kGetMember).op(kTrace);
  return traceMember(w, "field", "length");
}

// HTML read into formatted ranges, a paragraph setting given to a range
// and the markup written back; new text takes the format new text is given.
ActionWriter rangedFormats() {
  ActionWriter w;
  setMember(w, "field", "html", true);
  setMember(w, "field", "htmlText", "<p>ab<b>cd</b></p><p>ef</p>");
  call(w, "field", "getTextFormat", {0, 4}).push({"bold"}).op(kGetMember).op(kTrace);
  call(w, "field", "getTextFormat", {2}).push({"bold"}).op(kGetMember).op(kTrace);
  w.push({"tf", 0, "TextFormat"}).op(kNewObject).op(kSetVariable);
  setMember(w, "tf", "align", "center");
  w.push({"tf"}).op(kGetVariable).push({2, 1, 3, "field"}).op(kGetVariable).push({"setTextFormat"});
  w.op(kCallMethod).op(kPop);
  traceMember(w, "field", "htmlText");
  setMember(w, "field", "text", "x");
  return call(w, "field", "getTextFormat", {}).push({"bold"}).op(kGetMember).op(kTrace);
}

// Markup aligns paragraphs it leaves unaligned to the left, new text too.
ActionWriter htmlAlignsLeft() {
  ActionWriter w;
  w.push({"tf", 0, "TextFormat"}).op(kNewObject).op(kSetVariable);
  setMember(w, "tf", "align", "center");
  w.push({"tf"}).op(kGetVariable).push({1, "field"}).op(kGetVariable).push({"setNewTextFormat"});
  w.op(kCallMethod).op(kPop);
  setMember(w, "field", "html", true);
  setMember(w, "field", "htmlText", "a");
  return call(w, "field", "getNewTextFormat", {}).push({"align"}).op(kGetMember).op(kTrace);
}

// A style sheet reads CSS whole or not at all, keeps copies of its styles
// and transforms a style into a TextFormat.
ActionWriter styleSheet() {
  ActionWriter w;
  w.push({"s", 0, "TextField"}).op(kGetVariable).push({"StyleSheet"}).op(kNewMethod).op(kSetVariable);
  call(w, "s", "parseCSS", {"a, b { font-size: 5 ;x:y}"}).op(kTrace);
  call(w, "s", "getStyle", {"b"}).push({"fontSize"}).op(kGetMember).op(kTrace);
  call(w, "s", "parseCSS", {"c { color: red; }; junk"}).op(kTrace);
  call(w, "s", "getStyle", {"c"}).op(kTrace);
  call(w, "s", "parseCSS", {"d{key:value"}).op(kTrace);
  call(w, "s", "getStyleNames", {}).op(kTrace);
  w.push({"o", 0, "Object"}).op(kNewObject).op(kSetVariable);
  setMember(w, "o", "color", "#00FF00");
  setMember(w, "o", "textAlign", "CENTER");
  setMember(w, "o", "marginLeft", "-4");
  w.push({"tf", "o"}).op(kGetVariable).push({1, "s"}).op(kGetVariable).push({"transform"}).op(kCallMethod);
  w.op(kSetVariable);
  for (const char* name : {"color", "align", "leftMargin", "display"}) traceMember(w, "tf", name);
  w.push({"o"}).op(kGetVariable).push({"x", 2, "s"}).op(kGetVariable).push({"setStyle"}).op(kCallMethod).op(kPop);
  setMember(w, "o", "color", "changed");
  return call(w, "s", "getStyle", {"x"}).push({"color"}).op(kGetMember).op(kTrace);
}

// The focus moved to a made field and lost when the field goes, each move
// told to the field and to the Selection's listeners.
ActionWriter focusMoves() {
  ActionWriter w;
  call(w, "_root", "createTextField", {"made", 3, 0, 0, 100, 30}).op(kPop);
  w.push({"l", 0, "Object"}).op(kNewObject).op(kSetVariable);
  w.push({"l"}).op(kGetVariable).push({"onSetFocus"});
  w.defineFunction("", {"from", "to"}, ActionWriter().push({"to"}).op(kGetVariable).op(kTrace));
  w.op(kSetMember);
  w.push({"l"}).op(kGetVariable).push({1, "Selection"}).op(kGetVariable).push({"addListener"}).op(kCallMethod).op(kPop);
  w.push({"made"}).op(kGetVariable).push({1, "Selection"}).op(kGetVariable).push({"setFocus"}).op(kCallMethod);
  w.op(kTrace);
  call(w, "Selection", "getFocus", {}).op(kTrace);
  call(w, "made", "removeTextField", {}).op(kPop);
  return call(w, "Selection", "getFocus", {}).op(kTrace);
}

struct FieldCase {
  const char* name;
  ActionWriter script;
  std::vector<std::string> traced;
};

TEST(ScriptTextFields, FieldsShowTheirVariablesPropertiesAndFormats) {
  const FieldCase cases[] = {
      {"bound variable", boundVariable(), {"Hello", "Bye", "Set"}},
      {"properties",
       fieldProperties(),
       {"_level0.field", "input", "dynamic", "dynamic", "12.5", "100", "16711680", "right"}},
      {"made and removed",
       madeAndRemoved(),
       {"10", "30", "3",
        "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
        "KERNING=\"0\">a&lt;b</FONT></P>",
        "undefined"}},
      {"measured", measuredText(), {"true", "12", "4"}},
      {"html aligns left", htmlAlignsLeft(), {"left"}},
      {"style sheet",
       styleSheet(),
       {"true", "5 ", "false", "null", "false", "a,b", "65280", "center", "0", "block", "#00FF00"}},
      {"focus", focusMoves(), {"_level0.made", "true", "_level0.made", "null", "null"}},
      {"ranged formats",
       rangedFormats(),
       {"null", "true",
        "<P ALIGN=\"CENTER\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
        "KERNING=\"0\">ab<B>cd</B></FONT></P><P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" "
        "COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">ef</FONT></P>",
        "false"}},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.script), c.traced);
  }
  SCOPED_TRACE("object variable");
  EXPECT_EQ(run(objectVariable(), "o.v"), (std::vector<std::string>{"Set", "Set"}));
}

// Static text read back through a snapshot: texts in depth order, a line
// end between texts when asked for, searches and a selection.
TEST(ScriptTextFields, ASnapshotReadsStaticTextsInDepthOrder) {
  MovieWriter movie(200, 200, 12, 8);
  movie.defineFont(1, 2, "Plain", {{u'a', ShapeBuilder(), 600}, {u'b', ShapeBuilder(), 600}});
  auto text = [&](uint16_t id, std::vector<std::pair<uint32_t, int32_t>> glyphs) {
    TextRecord run{.fontId = 1, .color = Rgba{0, 0, 0, 255}, .x = 0, .y = 400, .height = 240};
    run.glyphs = std::move(glyphs);
    movie.defineText(id, 2, {}, {run});
  };
  text(2, {{0, 120}, {1, 120}});
  text(3, {{1, 120}});
  movie.placeObject2({.depth = 5, .characterId = 2});
  movie.placeObject2({.depth = 2, .characterId = 3});
  ActionWriter w;
  w.push({"s", "_root"}).op(kGetVariable).push({1, "TextSnapshot"}).op(kNewObject).op(kSetVariable);
  call(w, "s", "getCount", {}).op(kTrace);
  call(w, "s", "getText", {0, 10, true}).op(kTrace);
  call(w, "s", "getText", {2, 0}).op(kTrace);
  call(w, "s", "findText", {0, "AB", false}).op(kTrace);
  call(w, "s", "setSelected", {1, 2, true}).op(kPop);
  call(w, "s", "getSelectedText", {}).op(kTrace);
  doAction(movie, w);
  movie.showFrame();
  EXPECT_EQ(flashtest::traceLines(movie, 1), (std::vector<std::string>{"3", "b\nab", "b", "1", "a"}));
}

}  // namespace
