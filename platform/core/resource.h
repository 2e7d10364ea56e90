#pragma once
// A module's resources as its program file's resource section holds them:
// string tables, accelerator tables, menus, icons, bitmaps, menu-bar layouts
// and dialog templates, each found by its numeric id. A module registers one
// table (kept by the caller for as long as it stays registered); the
// platform's Load* calls read from it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/winuser.h"

namespace res {

struct StringEntry {
  UINT id;
  std::u16string text;
};

struct AcceleratorTable {
  UINT id;
  std::vector<ACCEL> entries;
};

// A menu item: a command, a separator (flags MF_SEPARATOR) or a submenu
// (flags MF_POPUP, items below).
struct MenuItem {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;
  std::vector<MenuItem> items;
};

struct MenuResource {
  UINT id;
  std::vector<MenuItem> items;
};

// Pixels are 0xAARRGGBB rows from the top; alpha 0 is transparent, anything
// else is drawn opaque (the device's icons have a mask, not blending).
struct Picture {
  UINT id;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// One button of a menu bar: a drop-down menu (style TBSTYLE_DROPDOWN, its text
// the string `stringId`, its items the submenu `subMenu` of the bar's menu) or
// a plain button with an image.
struct MenuBarButton {
  int image;  // I_IMAGENONE for text buttons
  UINT command;
  BYTE state;
  BYTE style;
  UINT stringId;
  int subMenu;
};

struct MenuBarResource {
  UINT id;
  UINT menuId;
  std::vector<MenuBarButton> buttons;
};

// A dialog template in dialog units. `iconId` names the icon of an SS_ICON static.
struct DialogControl {
  std::u16string className;
  std::u16string text;
  int id;
  DWORD style;
  short x, y, cx, cy;
  UINT iconId = 0;
  DWORD exStyle = 0;
};

struct DialogTemplate {
  UINT id;
  DWORD style;
  short x, y, cx, cy;
  std::u16string title;
  std::u16string fontFace;
  WORD pointSize;
  std::vector<DialogControl> controls;
  DWORD exStyle = 0;
};

struct ModuleResources {
  std::vector<StringEntry> strings;
  std::vector<AcceleratorTable> accelerators;
  std::vector<MenuResource> menus;
  std::vector<Picture> icons;
  std::vector<Picture> bitmaps;
  std::vector<MenuBarResource> menuBars;
  std::vector<DialogTemplate> dialogs;
};

// Registers (or, with null, forgets) the resources of a module. A null module
// is the program itself: calls with a null instance, or with an instance that
// registered nothing, read the program's table.
void registerModule(HINSTANCE module, const ModuleResources* resources);

// Lookups by integer resource name (MAKEINTRESOURCEW); null when missing.
const std::u16string* findString(HINSTANCE module, UINT id);
const DialogTemplate* findDialog(HINSTANCE module, LPCWSTR name);
const MenuBarResource* findMenuBar(HINSTANCE module, UINT id);
const Picture* findBitmap(HINSTANCE module, LPCWSTR name);

// The picture behind an icon handle (null for anything else).
const Picture* iconPicture(HICON icon);
// An icon handle for pixels the platform draws itself (kept for the process).
HICON iconFromPicture(const Picture* picture);

// What a menu handle holds, for whoever draws menus.
struct MenuEntry {
  std::u16string text;
  UINT id;
  UINT flags;  // MF_SEPARATOR, MF_POPUP, MF_GRAYED, MF_CHECKED
  HMENU subMenu;
};
std::vector<MenuEntry> menuEntries(HMENU menu);

}  // namespace res

namespace res {

// A picture drawn as text, one string per row and one character per pixel;
// `palette` maps characters to 0xAARRGGBB ('.' and unknown ones are transparent).
struct PaletteEntry {
  char key;
  std::uint32_t argb;
};
Picture pictureFromArt(UINT id, const std::vector<const char*>& rows, const std::vector<PaletteEntry>& palette);

}  // namespace res
