// The player's resource section, as readable tables.

#include "resources/playerresources.h"

#include "platform/commctrl/commctrl.h"
#include "resources/playerbitmaps.h"

namespace {

using res::DialogControl;
using res::DialogTemplate;
using res::MenuItem;

constexpr int kStatic = -1;
constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// Menu 102: File, View and Help, the submenus of the menu bar's three buttons.
std::vector<MenuItem> mainMenu() {
  auto item = [](const char16_t* text, UINT id) { return MenuItem{text, id, MF_STRING, {}}; };
  MenuItem separator{u"", 0, MF_SEPARATOR, {}};
  MenuItem file{u"File",
                0,
                MF_POPUP,
                {item(u"Open File...", kOpenFileCommand), item(u"Playlist...", kPlaylistCommand),
                 item(u"Properties...", kPropertiesCommand), separator,
                 item(u"Player Options...", kPlayerOptionsCommand), item(u"Button Options...", kButtonOptionsCommand),
                 item(u"Skin Options...", kSkinOptionsCommand), separator, item(u"Exit", kExitCommand)}};
  MenuItem view{u"View", 0, MF_POPUP, {}};
  for (const ZoomCommand& zoom : kZoomCommands) {
    if (zoom.id == kFitDisplayCommand) view.items.push_back(separator);
    view.items.push_back(item(zoom.text, zoom.id));
  }
  MenuItem help{u"Help", 0, MF_POPUP, {item(u"Documents...", kDocumentsCommand), item(u"About...", kAboutCommand)}};
  return {file, view, help};
}

res::MenuBarResource mainMenuBar() {
  constexpr BYTE kDropDown = TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE;
  return {playerres::kMainMenu,
          playerres::kMainMenu,
          {{I_IMAGENONE, kFileMenuButton, TBSTATE_ENABLED, kDropDown, playerres::kFileString, 0},
           {I_IMAGENONE, kViewMenuButton, TBSTATE_ENABLED, kDropDown, playerres::kViewString, 1},
           {I_IMAGENONE, kHelpMenuButton, TBSTATE_ENABLED, kDropDown, playerres::kHelpString, 2}}};
}

// The properties page: 25 lines, each ended by a line feed, formatted with wsprintfW.
const char16_t kPropertiesPage[] =
    u"<html>\n"
    u"<head>\n"
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%s\">\n"
    u"</head>\n"
    u"<body >\n"
    u"<table border=\"0\"  width=\"100%%\" cellspacing=\"0\" cellpadding=\"0\">\n"
    u"<tr\" ><td  height=\"20\"><font color=\"#000080\">Flash File Properties</font></td></tr>\n"
    u"<tr><td  height=\"16\"><hr size=\"1\"></td></tr>\n"
    u"<tr><td  >File Name</td></tr>\n"
    u"<tr><td  bgcolor=\"#C0C0C0\" >%s&nbsp; </td></tr>\n"
    u"<tr><td  >File Path</td></tr>\n"
    u"<tr><td  bgcolor=\"#C0C0C0\" >%s&nbsp; </td></tr>\n"
    u"<tr><td>Flash Version</td></tr>\n"
    u"<tr><td   bgcolor=\"#C0C0C0\">%d&nbsp; </td></tr>\n"
    u"<tr><td  >Total Frames</td></tr>\n"
    u"<tr><td   bgcolor=\"#C0C0C0\">%d&nbsp; </td></tr>\n"
    u"<tr><td  >Frame Rate</td></tr>\n"
    u"<tr><td   bgcolor=\"#C0C0C0\">%d frames/s </td></tr>\n"
    u"<tr><td  >Estimated During Time</td></tr>\n"
    u"<tr><td   bgcolor=\"#C0C0C0\">%s&nbsp; </td></tr>\n"
    u"<tr><td  >Current Frame</td></tr>\n"
    u"<tr><td   bgcolor=\"#C0C0C0\">%d&nbsp; </td></tr>\n"
    u"</table>\n"
    u"</body>\n"
    u"</html>\n";

DialogTemplate aboutBox() {
  return {playerres::kAboutDialog,
          kDialogStyle,
          0,
          0,
          181,
          156,
          u"About OrvelFlash",
          u"System",
          8,
          {DialogControl{u"STATIC", u"", kStatic, WS_CHILD | WS_VISIBLE | SS_ICON, 7, 8, 21, 20, playerres::kAppIcon},
           DialogControl{u"STATIC", u"OrvelFlash Flash Player v1.1", kStatic, kText | SS_NOPREFIX, 37, 10, 127, 8}}};
}

DialogTemplate htmlPage() {
  return {playerres::kHtmlPageDialog, kDialogStyle, 0, 0, 131, 118, u"Dialog", u"System", 10, {}};
}

DialogTemplate playerOptions() {
  return {playerres::kPlayerOptionsDialog,
          kDialogStyle,
          0,
          0,
          160,
          130,
          u"Settings",
          u"System",
          8,
          {DialogControl{u"BUTTON", u"Set Flash Default Player", 1002, kButton, 20, 10, 120, 14},
           DialogControl{u"STATIC",
                         u"Click this button to set the Orvel Flash Player as your default player of flash "
                         u"files(.swf file). Then you can open the flash files by tapping it in the File Explorer.",
                         kStatic, kText, 8, 32, 144, 48},
           // Shown only by a player that reports the registration in the dialog itself.
           DialogControl{u"BUTTON", u"Default Player of Flash File(.swf)", 1001,
                         WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, 8, 84, 144, 10}}};
}

DialogTemplate selectSkin() {
  constexpr DWORD kList = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
  return {playerres::kSelectSkinDialog,
          kDialogStyle,
          0,
          0,
          160,
          150,
          u"Select Skin",
          u"System",
          8,
          {DialogControl{u"STATIC", u"Choose skin of your player", kStatic, kText, 4, 4, 152, 10},
           DialogControl{u"STATIC",
                         u"Select your preferred skin. When you get skin files, copy them to your PPC. And they "
                         u"will appear in the skins list.",
                         kStatic, kText, 4, 17, 152, 34},
           DialogControl{u"LISTBOX", u"", 1003, kList, 4, 54, 152, 94}}};
}

// The check box says "hide", so that a box left alone keeps the control's
// own menu off, as the option's default has it. A drop-down list's height is
// its closed face; the list it drops sizes itself.
DialogTemplate keyMapping() {
  constexpr DWORD kListView = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | 0x0001 /* LVS_REPORT */ |
                              0x0004 /* LVS_SINGLESEL */ | 0x0010 /* LVS_SORTASCENDING */ |
                              0x4000 /* LVS_NOCOLUMNHEADER */;
  return {playerres::kKeyMappingDialog,
          kDialogStyle | DS_NOFAILCREATE,
          0,
          0,
          160,
          150,
          u"Key Mapping",
          u"System",
          8,
          {DialogControl{u"STATIC", u"Map Hardware Buttons To Actions", kStatic, kText, 4, 2, 152, 10},
           DialogControl{u"STATIC", u"1. Select an action", kStatic, kText, 4, 14, 152, 8},
           DialogControl{u"COMBOBOX", u"", 1004, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 4,
                         24, 152, 12},
           DialogControl{u"STATIC", u"2. Push the hardware button, the mapping will be displayed.", kStatic, kText, 4,
                         39, 152, 16},
           DialogControl{u"SysListView32", u"", 1005, kListView, 4, 56, 152, 52},
           DialogControl{u"BUTTON", u"Hide the Flash menu", 1009, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                         4, 111, 152, 10},
           DialogControl{u"BUTTON", u"Restore Default For Movie", 1024, kButton, 4, 123, 152, 12},
           DialogControl{u"BUTTON", u"Restore Default For Game", 1025, kButton, 4, 137, 152, 12}}};
}

// Icon 101, the program: a red tile with a white "f".
res::Picture appIcon() {
  return res::pictureFromArt(
      playerres::kAppIcon,
      {
          "................................", "................................", "......RRRRRRRRRRRRRRRRRRRR......",
          "....RRrrrrrrrrrrrrrrrrrrrrRR....", "...RrrrrrrrrrrrrrrrrrrrrrrrrR...", "...RrrrrrrrrrrrrrrrrrrrrrrrrR...",
          "..RrrrrrrrrrrrrrrrrrrrrrrrrrrR..", "..RrrrrrrrrrrrrwwwwwwwrrrrrrrR..", "..RrrrrrrrrrrrwwwwwwwwrrrrrrrR..",
          "..RrrrrrrrrrrwwwwwwwwwrrrrrrrR..", "..RrrrrrrrrrrwwwwrrrrrrrrrrrrR..", "..RrrrrrrrrrrwwwwrrrrrrrrrrrrR..",
          "..RrrrrrrrrrrwwwwrrrrrrrrrrrrR..", "..RrrrrrrrrrrwwwwrrrrrrrrrrrrR..", "..RrrrrrrrrrrwwwwrrrrrrrrrrrrR..",
          "..RrrrrrrrwwwwwwwwwwwrrrrrrrrR..", "..RrrrrrrrwwwwwwwwwwwrrrrrrrrR..", "..RrrrrrrrwwwwwwwwwwwrrrrrrrrR..",
          "..RrrrrrrrrrrwwwwrrrrrrrrrrddR..", "..RrrrrrrrrrrwwwwrrrrrrrrrdddR..", "..RrrrrrrrrrrwwwwrrrrrrrrddddR..",
          "..RrrrrrrrrrrwwwwrrrrrrrdddddR..", "..RrrrrrrrrrrwwwwrrrrrrddddddR..", "..RrrrrrrrrrrwwwwrrrrrdddddddR..",
          "..RrrrrrrrrrrwwwwrrrrddddddddR..", "..RrrrrrrrrrrwwwwrrrdddddddddR..", "...RrrrrrrrrrrrrrrrdddddddddR...",
          "...RrrrrrrrrrrrrrrddddddddddR...", "....RRrrrrrrrrrrrdddddddddRR....", "......RRRRRRRRRRRRRRRRRRRR......",
          "................................", "................................",
      },
      {{'R', 0xFF801010}, {'r', 0xFFD82020}, {'d', 0xFFB01818}, {'w', 0xFFFFFFFF}});
}

// Icon 108, a ".swf" document: a page with a folded corner and the red badge.
res::Picture documentIcon() {
  return res::pictureFromArt(
      playerres::kDocumentIcon,
      {
          "................................", ".....kkkkkkkkkkkkkkkk...........", ".....kwwwwwwwwwwwwwwkk..........",
          ".....kwwwwwwwwwwwwwwkgk.........", ".....kwwwwwwwwwwwwwwkggk........", ".....kwwwwwwwwwwwwwwkgggk.......",
          ".....kwwwwwwwwwwwwwwkggggk......", ".....kwwwwwwwwwwwwwwkkkkkkk.....", ".....kwwwwwwwwwwwwwwwwwwwwk.....",
          ".....kwwwwwwwwwwwwwwwwwwwwk.....", ".....kwwwwwwwwwwwwwwwwwwwwk.....", ".....kwwwwwwwwwwwwwwwwwwwwk.....",
          ".....kwwwwwwrrrrrrrrwwwwwwk.....", ".....kwwwwrrrrrrrrrrrrwwwwk.....", ".....kwwwwrrrrrwwwwrrrwwwwk.....",
          ".....kwwwrrrrrwwwwwrrrrwwwk.....", ".....kwwwrrrrrwwrrrrrrrwwwk.....", ".....kwwwrrrrrwwrrrrrrrwwwk.....",
          ".....kwwwrrrwwwwwwwrrrrwwwk.....", ".....kwwwrrrwwwwwwwrrrrwwwk.....", ".....kwwwrrrrrwwrrrrrrrwwwk.....",
          ".....kwwwrrrrrwwrrrrrrrwwwk.....", ".....kwwwrrrrrwwrrrrrrrwwwk.....", ".....kwwwrrrrrwwrrrrrrrwwwk.....",
          ".....kwwwwrrrrwwrrrrrrwwwwk.....", ".....kwwwwrrrrrrrrrrrrwwwwk.....", ".....kwwwwwwrrrrrrrrwwwwwwk.....",
          ".....kwwwwwwwwwwwwwwwwwwwwk.....", ".....kwwwwwwwwwwwwwwwwwwwwk.....", ".....kwwwwwwwwwwwwwwwwwwwwk.....",
          ".....kkkkkkkkkkkkkkkkkkkkkk.....", "................................",
      },
      {{'k', 0xFF404040}, {'w', 0xFFFFFFFF}, {'g', 0xFFC0C0C0}, {'r', 0xFFD82020}});
}

res::ModuleResources build() {
  res::ModuleResources r;
  r.strings = {{playerres::kTitleString, u"Orvel Flash Player"},
               {playerres::kClassString, u"OrvelFlash"},
               {playerres::kHelpString, u"Help"},
               {playerres::kFileString, u"File"},
               {playerres::kViewString, u"View"},
               {playerres::kPropertiesTemplate, kPropertiesPage}};
  r.accelerators = {{playerres::kAccelerators,
                     {ACCEL{FVIRTKEY | FCONTROL, 'A', kAboutCommand}, ACCEL{FVIRTKEY | FCONTROL, 'Q', IDOK}}}};
  r.menus = {{playerres::kMainMenu, mainMenu()}, {playerres::kEmptyMenu, {}}};
  r.menuBars = {mainMenuBar(), {playerres::kEmptyMenu, playerres::kEmptyMenu, {}}};
  r.bitmaps = playerBitmaps();
  r.icons = {appIcon(), documentIcon()};
  r.dialogs = {aboutBox(), htmlPage(), playerOptions(), selectSkin(), keyMapping()};
  addMoviePickerResources(r);
  return r;
}

}  // namespace

const res::ModuleResources& playerResources() {
  static const res::ModuleResources resources = build();
  return resources;
}

void registerPlayerResources(HINSTANCE module) { res::registerModule(module, &playerResources()); }
