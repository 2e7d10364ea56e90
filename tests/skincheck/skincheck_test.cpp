// The skincheck tool, run as a process: each kind of problem a skin author
// meets, with the exact line it must print, and the skins the player ships.

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/display/png_reader.h"
#include "tests/support/tempdir.h"
#include "tests/support/zipwriter.h"

namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : ".";
}

struct CheckRun {
  int exitCode = -1;
  std::string output;
};

// Runs skincheck in `folder` with `arguments`, keeping standard output.
CheckRun skincheck(const fs::path& folder, const std::string& arguments) {
  std::string command = "cd '" + folder.string() + "' && '" + environment("ORVEL_BINARY_DIR") +
                        "/tools/skincheck/skincheck' " + arguments + " 2>/dev/null";
  CheckRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char block[4096];
  for (std::size_t n; (n = fread(block, 1, sizeof block, pipe)) > 0;) run.output.append(block, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool hasLine(const std::string& output, const std::string& line) {
  return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

// Skin text with one part replaced by another.
struct SkinText {
  std::string text;
  SkinText replace(const std::string& from, const std::string& to) const {
    std::string out = text;
    if (std::size_t at = out.find(from); at != std::string::npos) out.replace(at, from.size(), to);
    return {out};
  }
  operator std::string() const { return text; }
};

// A skin with every agreed id, laid out as the player wants it; each broken
// skin below is this with one fault put in at the marker.
SkinText skinWith(const std::string& fault, const std::string& root = "width='240' height='268'",
                  const std::string& last = "") {
  return {"<svg " + root +
          ">\n"                                                                                        // 1
          "<rect id='flash' x='0' y='0' width='240' height='180' fill='black'/>\n"                     // 2
          "<rect id='gray' x='0' y='0' width='240' height='180' fill='gray'/>\n"                       // 3
          "<text id='flashFileName' x='4' y='200' fill='white'> </text>\n"                             // 4
          "<rect id='seekBar' x='10' y='210' width='220' height='6' fill='gray'/>\n"                   // 5
          "<rect id='seekThumb' x='10' y='208' width='10' height='10' fill='blue'/>\n"                 // 6
          "<rect id='volumeBar' x='10' y='225' width='100' height='6' fill='gray'/>\n"                 // 7
          "<rect id='volumeThumb' x='10' y='223' width='8' height='10' fill='blue'/>\n"                // 8
          "<rect id='play' x='10' y='240' width='20' height='20' fill='green'/>\n"                     // 9
          "<rect id='pause' x='10' y='240' width='20' height='20' fill='red' visibility='hidden'/>\n"  // 10
          + fault +                                                                                    // 11
          "\n"
          "<rect id='playPause_pushed' x='10' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<rect id='pause_pushed' x='10' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<rect id='stop_pushed' x='40' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<rect id='prev_pushed' x='70' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<rect id='next_pushed' x='100' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<rect id='fullscreen_pushed' x='130' y='240' width='20' height='20' visibility='hidden'/>\n"
          "<circle id='playPause' cx='20' cy='250' r='10'/>\n"
          "<circle id='stop' cx='50' cy='250' r='10'/>\n"
          "<circle id='prev' cx='80' cy='250' r='10'/>\n"
          "<circle id='next' cx='110' cy='250' r='10'/>\n"
          "<circle id='fullscreen' cx='140' cy='250' r='10'/>\n"  // 22
          + last + "\n</svg>\n"};
}

constexpr char kSize[] = "width='240' height='268'";

struct BrokenSkin {
  const char* kind;
  std::string document;
  const char* line;
};

TEST(Skincheck, NamesEveryKindOfProblemWithItsPlace) {
  const BrokenSkin cases[] = {
      {"XML error", skinWith("<rect x='1' <"),
       "skin.bskn:11:13: error: XML error 4, not well-formed (the player shows \"Load skin file: not well-formed\" "
       "and loads nothing)"},
      {"element outside the language", skinWith("<path d='M0 0'><rect/></path>"),
       "skin.bskn:11:1: warning: element 'path' is not part of the skin language: it is left out with everything "
       "inside it"},
      {"value not in the grammar", skinWith("<rect style='fill: red; visibility: hide'/>"),
       "skin.bskn:11:25: warning: 'visibility: hide' dropped: value not in the grammar of visibility"},
      {"unit not known", skinWith("<rect style='margin: 2qq'/>"),
       "skin.bskn:11:14: warning: 'margin: 2qq' dropped: unit 'qq' not known"},
      {"colour not read by the grammar", skinWith("<rect style='background-color: silver'/>"),
       "skin.bskn:11:14: warning: 'background-color: silver' dropped: colour not read"},
      {"declaration without colon", skinWith("<rect style='fill: red; foo'/>"),
       "skin.bskn:11:25: warning: declaration 'foo' has no ':': ignored"},
      {"bad priority", skinWith("<rect style='fill: red !imp'/>"),
       "skin.bskn:11:14: warning: 'fill: red !imp' dropped: '!' is not followed by 'important'"},
      {"unknown property", skinWith("<rect style='opacity: 0.5'/>"),
       "skin.bskn:11:14: warning: property 'opacity' is ignored: the player draws with fill, stroke, stroke-width, "
       "fill-opacity, visibility and the font"},
      {"attribute of another class", skinWith("<rect cx='3'/>"),
       "skin.bskn:11:7: warning: attribute 'cx' is not read by rect and is no property the player draws with: "
       "ignored"},
      {"paint colour not read", skinWith("<rect fill='aqua'/>"),
       "skin.bskn:11:7: warning: 'fill: aqua': colour not read, painted black"},
      {"transparent paint", skinWith("<rect stroke='transparent'/>"),
       "skin.bskn:11:7: warning: 'stroke: transparent' is painted black (the painter ignores transparency): write "
       "none"},
      {"font weight", skinWith("<text style='font-weight: 700'/>"),
       "skin.bskn:11:14: warning: 'font-weight: 700' has no effect: the style engine keeps it as a keyword, which "
       "the style pass reads as weight 0 (the face's normal weight)"},
      {"geometry unit", skinWith("<rect width='50%'/>"),
       "skin.bskn:11:7: warning: 'width=\"50%\"': the unit '%' is ignored, read as a number of pixels"},
      {"style replaces earlier attributes", skinWith("<rect fill='red' style='stroke: blue'/>"),
       "skin.bskn:11:7: warning: 'fill' is dropped: the style attribute after it replaces every declaration before "
       "it (put the attribute after style)"},
      {"paint on what is never drawn", skinWith("<g><rect x='0' y='0' width='5' height='5' fill='red'/></g>"),
       "skin.bskn:11:4: warning: rect is never drawn, so its fill does nothing: what lies inside a g is never drawn "
       "(it only takes part in hit testing)"},
      {"text without fill", skinWith("<text x='5' y='190'>name</text>"),
       "skin.bskn:11:1: warning: text has no fill: text is drawn only in its fill colour"},
      {"missing picture", skinWith("<image x='0' y='0' width='5' height='5' xlink:href='img/none.png'/>"),
       "skin.bskn:11:41: error: picture 'img/none.png' not found beside the skin"},
      {"picture not decodable", skinWith("<image x='0' y='0' width='5' height='5' xlink:href='skin.bskn'/>"),
       "skin.bskn:11:41: error: picture 'skin.bskn' cannot be decoded (JPEG, GIF, PNG or BMP)"},
      {"id given twice", skinWith("<rect id='gray'/>"),
       "skin.bskn:11:7: warning: id 'gray' is given twice: the player finds only the first, rect 'gray' (3:1)"},
      {"face over a hot spot", skinWith("", kSize, "<rect id='stopFace' x='40' y='240' width='20' height='20'/>"),
       "skin.bskn:23:1: warning: rect 'stopFace' lies over stop, circle 'stop' (19:1), after it in document order: "
       "it takes 100% of its taps (put the hot spot last)"},
      {"hidden gray over a hot spot",
       skinWith("", kSize, "<rect id='gray' x='130' y='240' width='20' height='20' visibility='hidden'/>")
           .replace("id='gray' x='0'", "id='cover' x='0'"),
       "skin.bskn:23:1: warning: rect 'gray' lies over fullscreen, circle 'fullscreen' (22:1), after it in document "
       "order: it takes 100% of its taps, even while hidden (put the hot spot last)"},
      {"flash of zero size", skinWith("").replace("width='240' height='180' fill='black'", "width='0' height='180'"),
       "skin.bskn:2:1: error: flash is 0 x 180: the movie window has no room (flash needs a box: a rect or an image)"},
      {"pushed face shown from the start",
       skinWith("").replace("'stop_pushed' x='40' y='240' width='20' height='20' "
                            "visibility='hidden'",
                            "'stop_pushed'"),
       "skin.bskn:14:1: warning: stop_pushed is visible from the start: give it visibility=\"hidden\", the player "
       "shows it while the pen is down"},
      {"thumb under its bar",
       skinWith("<rect id='seekBar' x='10' y='210' width='220' height='6'/>")
           .replace("<rect id='seekBar' x='10' y='210' width='220' height='6' fill='gray'/>", ""),
       "skin.bskn:6:1: warning: seekThumb comes before seekBar, rect 'seekBar' (11:1): the bar lies over it and takes "
       "its pen moves (put the thumb after it)"},
      {"thumb that cannot move",
       skinWith("").replace("<rect id='seekThumb' x='10' y='208' width='10' height='10'",
                            "<circle id='seekThumb' cx='15' cy='213' r='5'"),
       "skin.bskn:6:1: error: seekThumb is a circle: the player moves a thumb by writing its x, which only rect and "
       "image read"},
      {"thumb not on its bar", skinWith("").replace("y='208' width='10'", "y='100' width='10'"),
       "skin.bskn:6:1: warning: seekThumb does not lie on seekBar, rect 'seekBar' (5:1): it moves along a row the "
       "bar does not cover"},
      {"thumb wider than its bar", skinWith("").replace("width='100' height='6'", "width='6' height='6'"),
       "skin.bskn:8:1: error: volumeThumb (8 wide) is not narrower than volumeBar (6 wide): it cannot travel, the "
       "volume is always the lowest"},
      {"root size", skinWith("", "width='240' height='320'"),
       "skin.bskn:1:1: warning: the root svg is 240 x 320, the work area of the default screen is 240 x 268: the "
       "skin is cut off"},
      {"no size", skinWith("", "width='240'"),
       "skin.bskn:1:1: error: the root svg is 240 x 0: the view takes its width and height and shows nothing (give "
       "it the work area, 240 x 268)"},
      {"missing id", skinWith("").replace("id='volumeBar'", "id='volume'"),
       "skin.bskn:1:1: warning: no volumeBar: the pen cannot set the volume"},
      {"text outside text", skinWith("hello"),
       "skin.bskn:11:1: warning: text 'hello' outside a text element is dropped"},
  };
  TempDir folder;
  for (const BrokenSkin& c : cases) {
    SCOPED_TRACE(c.kind);
    writeHostFile(folder / "skin.bskn", c.document);
    CheckRun run = skincheck(folder.path(), "skin.bskn");
    EXPECT_TRUE(hasLine(run.output, c.line)) << run.output;
  }
}

TEST(Skincheck, TheShippedSkinsPassUnderWerror) {
  const fs::path source = environment("ORVEL_SOURCE_DIR"), binary = environment("ORVEL_BINARY_DIR");
  for (const char* name : {"default", "dark", "compact"}) {
    for (const fs::path& skin : {source / "skins" / name / (std::string(name) + ".bskn"),
                                 binary / "skins" / (std::string(name) + ".zskn"), source / "skins" / name}) {
      SCOPED_TRACE(skin.string());
      CheckRun run = skincheck(skin.parent_path(), "--werror '" + skin.string() + "'");
      EXPECT_EQ(run.exitCode, 0) << run.output;
      EXPECT_TRUE(run.output.find("missing: none") != std::string::npos) << run.output;
    }
  }
}

TEST(Skincheck, ExitCodesAndTheirForms) {
  struct Case {
    const char* what;
    std::string arguments;
    int exitCode;
    const char* output;  // a line (or, for JSON, a part) the output holds
  };
  TempDir folder;
  writeHostFile(folder / "clean.bskn", skinWith(""));
  writeHostFile(folder / "warned.bskn", skinWith("<rect fill='aqua'/>"));
  writeHostFile(folder / "broken.bskn", skinWith("<rect"));
  writeZip(folder / "two.zskn",
           {{"b/skin.bskn", skinWith("")}, {"a/other.bskn", skinWith("")}, {"../outside.txt", "x"}});
  writeZip(folder / "empty.zskn", {{"readme.txt", "no skin"}});
  writeHostFile(folder / "notzip.zskn", "not a zip");
  const Case cases[] = {
      {"clean", "clean.bskn", 0, "clean.bskn: 0 errors, 0 warnings"},
      {"warnings pass", "warned.bskn", 0, "warned.bskn: 0 errors, 1 warnings"},
      {"warnings fail under --werror", "--werror warned.bskn", 1, "warned.bskn: 0 errors, 1 warnings"},
      {"errors fail", "broken.bskn", 1, "broken.bskn: 1 errors, 0 warnings"},
      {"JSON", "--json broken.bskn", 1, "  \"errors\": 1,"},
      {"missing file", "none.bskn", 2, ""},
      {"not a zip", "notzip.zskn", 2, ""},
      {"bad option", "--what clean.bskn", 2, ""},
      {"package left out entry", "two.zskn", 1,
       "two.zskn/b/skin.bskn: error: entry '../outside.txt' would not unpack: its name leads outside the skin's "
       "folder"},
      {"package with two documents", "two.zskn", 1,
       "two.zskn/b/skin.bskn: warning: 2 skin documents: the player takes the first its folder walk finds, "
       "b/skin.bskn"},
      {"package without a document", "empty.zskn", 1,
       "empty.zskn: error: no skin document (.bskn) here: the player has nothing to load"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CheckRun run = skincheck(folder.path(), c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    if (*c.output) {
      EXPECT_TRUE(run.output.find(c.output) != std::string::npos) << run.output;
    }
  }
}

// Each state in its panel, drawn by the player's engine: `gray` over the
// movie's box only while there is no movie, the seek thumb at the end of its
// bar at 100 %.
TEST(Skincheck, PreviewsEveryState) {
  TempDir folder;
  writeHostFile(folder / "skin.bskn", skinWith(""));
  ASSERT_EQ(skincheck(folder.path(), "--preview out.png skin.bskn").exitCode, 0);
  PngPixels states, ids;
  ASSERT_TRUE(readPng((folder / "out.png").string(), states));
  ASSERT_TRUE(readPng((folder / "out-ids.png").string(), ids));
  // 4 columns of 240 + 8 and rows of 268 + 16 + 8: no movie, playing, paused,
  // five pushed faces and pause_pushed, three thumb positions.
  constexpr int kPanelWidth = 248, kPanelHeight = 292, kTop = 8 + 16;
  EXPECT_EQ(states.width, 4 * kPanelWidth + 8);
  EXPECT_EQ(states.height, 3 * kPanelHeight + 8);
  EXPECT_EQ(ids.width, 480);
  constexpr std::uint32_t kGray = 0xBEBEBE, kBlack = 0x000000, kBlue = 0x0000FF;
  struct Point {
    const char* what;
    int panel, x, y;
    std::uint32_t colour;
  };
  const Point points[] = {
      {"gray while no movie", 0, 100, 100, kGray},
      {"the movie's box while playing", 1, 100, 100, kBlack},
      {"the thumb at the bar's start", 9, 12, 212, kBlue},
      {"the thumb at the bar's end at 100 %", 11, 225, 212, kBlue},
      {"no thumb at the start at 100 %", 11, 12, 209, 0xFFFFFF},
  };
  for (const Point& p : points) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(states.at(8 + p.panel % 4 * kPanelWidth + p.x, kTop + p.panel / 4 * kPanelHeight + p.y), p.colour);
  }
}

}  // namespace
