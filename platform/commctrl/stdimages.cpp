#include "platform/commctrl/stdimages.h"

#include <array>

#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/controls.h"

namespace commctrl {
namespace {

// k black, g grey, w white, y folder yellow, o folder shadow, b blue, r red, t paper tint.
const std::vector<res::PaletteEntry> kPalette = {
    {'k', 0xFF000000}, {'g', 0xFF808080}, {'w', 0xFFFFFFFF}, {'y', 0xFFFFD84A}, {'o', 0xFFB08A10},
    {'b', 0xFF1F4FB8}, {'r', 0xFFC02020}, {'t', 0xFFF0F0F0}, {'l', 0xFFC0C0C0},
};

using Art = std::vector<const char*>;

const std::array<Art, kStandardImageCount> kArt = {{
    // STD_CUT
    {"................", "....k.....k.....", "....k.....k.....", "....k.....k.....", ".....k...k......",
     ".....k...k......", "......k.k.......", ".......k........", "......k.k.......", "...bbb...bbb....",
     "..b..b...b..b...", "..b..b...b..b...", "..b..b...b..b...", "...bb.....bb....", "................",
     "................"},
    // STD_COPY
    {"................", ".kkkkkk.........", ".kwwwwkk........", ".kwkkwkwk.......", ".kwwwwkkkkkk....",
     ".kwkkkkwwwwkk...", ".kwwwkwkkwkwk...", ".kwkkkwwwwkkkk..", ".kwwwkwkkkkwwk..", ".kkkkkwwwwwwwk..",
     ".....kwkkkkkwk..", ".....kwwwwwwwk..", ".....kwkkkkkwk..", ".....kwwwwwwwk..", ".....kkkkkkkkk..",
     "................"},
    // STD_PASTE
    {"................", ".....kkkk.......", "..kkkkllkkkk....", ".kllklkklklk....", ".kllllllllllk...",
     ".kllllkkkkkkkk..", ".klllkwwwwwwkk..", ".klllkwkkkkwkwk.", ".klllkwwwwwwkkk.", ".klllkwkkkkwwwk.",
     ".klllkwwwwwwwwk.", ".klllkwkkkkkkwk.", ".kkkkkwwwwwwwwk.", ".....kkkkkkkkkk.", "................",
     "................"},
    // STD_UNDO
    {"................", "................", "................", "....b...........", "...bb...........",
     "..bbbbbbbbb.....", ".bbbbbbbbbbb....", "..bbb......bb...", "...bb.......bb..", "....b.......bb..",
     "............bb..", "...........bb...", "..........bb....", "........bbb.....", "................",
     "................"},
    // STD_REDOW
    {"................", "................", "................", "...........b....", "...........bb...",
     ".....bbbbbbbbb..", "....bbbbbbbbbbb.", "...bb......bbb..", "..bb.......bb...", "..bb.......b....",
     "..bb............", "...bb...........", "....bb..........", ".....bbb........", "................",
     "................"},
    // STD_DELETE
    {"................", "................", "..rr.......rr...", "..rrr.....rrr...", "...rrr...rrr....",
     "....rrr.rrr.....", ".....rrrrr......", "......rrr.......", ".....rrrrr......", "....rrr.rrr.....",
     "...rrr...rrr....", "..rrr.....rrr...", "..rr.......rr...", "................", "................",
     "................"},
    // STD_FILENEW
    {"................", "...kkkkkkk......", "...kwwwwwkk.....", "...kwwwwwkwk....", "...kwwwwwkkkk...",
     "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...",
     "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kkkkkkkkkk...",
     "................"},
    // STD_FILEOPEN: an open yellow folder
    {"................", "................", "..........kkk...", ".........k...k.k", "..............kk",
     ".kkk.........kkk", "kyyykkkkkkk.....", "kywyyyyyyyk.....", "kyyykkkkkkkkkkk.", "kyykoooooooooo.k",
     "kykoooooooooook.", "kykooooooooook..", "kkoooooooooook..", "kkkkkkkkkkkkk...", "................",
     "................"},
    // STD_FILESAVE: a floppy disk
    {"................", ".kkkkkkkkkkkkk..", ".kbkwwwwwwwkbk..", ".kbkwwwwwwwkkk..", ".kbkwwwwwwwkbk..",
     ".kbkwwwwwwwkbk..", ".kbbkkkkkkkbbk..", ".kbbbbbbbbbbbk..", ".kbbkkkkkkkbbk..", ".kbbkllkkllkbk..",
     ".kbbkllkkllkbk..", ".kbbkllkkllkbk..", "..kkkkkkkkkkkk..", "................", "................",
     "................"},
    // STD_PRINTPRE: a page under a magnifier
    {"................", ".kkkkkkk........", ".kwwwwwkk.......", ".kwkkkwkwk......", ".kwwwwwkkkk.....",
     ".kwkkkkkkk......", ".kwwwwkwwwk.....", ".kwkkkwwbwwk....", ".kwwwkwbwwwk....", ".kwkkkwwwwwk....",
     ".kwwwwkwwwk.....", ".kkkkkkkkkkk....", "..........kkk...", "...........kkk..", "............kk..",
     "................"},
    // STD_PROPERTIES: a sheet with a hand of lines
    {"................", "..kkkkkkkkkkk...", "..kwwwwwwwwwk...", "..kwkkwkkkkwk...", "..kwwwwwwwwwk...",
     "..kwkkwkkkkwk...", "..kwwwwwwwwwk...", "..kwkkwkkkkwk...", "..kwwwwwwwwwk...", "..kwkkwkkkkwk...",
     "..kwwwwwwwwwk...", "..kwwwwwwwwwk...", "..kkkkkkkkkkk...", "................", "................",
     "................"},
    // STD_HELP: a question mark
    {"................", ".....bbbbb......", "....bb...bb.....", "...bb.....bb....", "...bb.....bb....",
     "..........bb....", ".........bb.....", "........bb......", ".......bb.......", ".......bb.......",
     ".......bb.......", "................", ".......bb.......", ".......bb.......", "................",
     "................"},
    // STD_FIND: binoculars
    {"................", "................", "..kkk.....kkk...", "..kgk.....kgk...", ".kkkkk...kkkkk..",
     ".kgggk...kgggk..", ".kgggkkkkkgggk..", ".kgggkgkgkgggk..", "kkkkkkkkkkkkkkk.", "kbbbk.....kbbbk.",
     "kbbbk.....kbbbk.", "kbbbk.....kbbbk.", "kkkkk.....kkkkk.", "................", "................",
     "................"},
    // STD_REPLACE: binoculars over a page
    {"................", "kkkkkkk.........", "kwwwwwkk........", "kwkkkwkwk.......", "kwwwwwkkkk......",
     "kwkkkkkkk.......", "kwwkkk.kkk......", "kwwkgk.kgk......", "kwkkkkkkkkk.....", "kwkbbbkbbbk.....",
     "kwkbbbkbbbk.....", "kwkkkkkkkkk.....", "kwwwwwwwwk......", "kkkkkkkkkk......", "................",
     "................"},
    // STD_PRINT: a printer
    {"................", "....kkkkkkk.....", "....kwwwwwk.....", "....kwkkkwk.....", "....kwwwwwk.....",
     "..kkkkkkkkkkk...", ".klllllllllllk..", ".kllllllllllkk..", ".kllllllllgglk..", ".kkkkkkkkkkkkk..",
     ".kllkwwwwwkllk..", "..kkkwwwwwkkk...", "....kkkkkkk.....", "................", "................",
     "................"},
}};

}  // namespace

const res::Picture* standardImage(int index) {
  static const std::vector<res::Picture> pictures = [] {
    std::vector<res::Picture> all;
    for (int i = 0; i < kStandardImageCount; ++i)
      all.push_back(res::pictureFromArt(static_cast<UINT>(i), kArt[static_cast<size_t>(i)], kPalette));
    return all;
  }();
  if (index < 0 || index >= kStandardImageCount) return nullptr;
  return &pictures[static_cast<size_t>(index)];
}

}  // namespace commctrl

void InitCommonControls() { controls::registerClasses(); }

int CommandBar_AddBitmap(HWND bar, HINSTANCE instance, int bitmapId, int imageCount, int imageWidth, int imageHeight) {
  if (!IsWindow(bar) || imageCount <= 0 || imageWidth <= 0 || imageHeight <= 0) return -1;
  TBADDBITMAP add{instance, static_cast<UINT_PTR>(bitmapId)};
  auto first = SendMessageW(bar, TB_ADDBITMAP, static_cast<WPARAM>(imageCount), reinterpret_cast<LPARAM>(&add));
  return static_cast<int>(first);
}
