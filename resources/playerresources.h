#pragma once
// The player's resources, as its program file carries them: the title and
// class strings, the properties-page template, accelerator table 3, menu and
// menu-bar layout 102, the empty menu and layout 118, icons 101 and 108,
// bitmaps 114, 119 and 121, and its dialog templates.

#include <span>

#include "platform/core/resource.h"

// The player's resource ids.
namespace playerres {
inline constexpr UINT kTitleString = 1;     // "Orvel Flash Player"
inline constexpr UINT kClassString = 3;     // "OrvelFlash"
inline constexpr UINT kHelpString = 104;    // "Help"
inline constexpr UINT kFileString = 40006;  // "File"
inline constexpr UINT kViewString = 40032;  // "View"
inline constexpr UINT kPropertiesTemplate = 40008;
inline constexpr UINT kAccelerators = 3;
inline constexpr UINT kMainMenu = 102;  // menu and menu-bar layout
inline constexpr UINT kAppIcon = 101;
inline constexpr UINT kDocumentIcon = 108;
inline constexpr UINT kAboutDialog = 103;
inline constexpr UINT kHtmlPageDialog = 106;
inline constexpr UINT kPlayerOptionsDialog = 107;
inline constexpr UINT kSelectSkinDialog = 109;
inline constexpr UINT kKeyMappingDialog = 110;
inline constexpr UINT kPlaylistBarBitmap = 114;  // seven 16 x 16 button images
inline constexpr UINT kEmptyMenu = 118;          // menu and menu-bar layout without entries
inline constexpr UINT kListImagesBitmap = 119;   // open folder, closed folder, movie
inline constexpr UINT kCheckBoxesBitmap = 121;   // ticked, empty, and both greyed
// The movie pickers: the open-file dialog, the playlist dialog and "Add Files".
inline constexpr UINT kOpenFileDialog = 104;
inline constexpr UINT kPlaylistDialog = 113;
inline constexpr UINT kAddFilesDialog = 120;
inline constexpr int kMovieListControl = 1027;
inline constexpr int kPlaylistTreeControl = 1011;
inline constexpr int kAddFilesListControl = 1015;
}  // namespace playerres

// Adds the dialog templates of the movie pickers (the open-file dialog, the
// playlist dialog and "Add Files").
void addMoviePickerResources(res::ModuleResources& resources);

// The menu commands: the menus below carry these ids and the Player acts on them.
inline constexpr UINT kAboutCommand = 40003;
inline constexpr UINT kOpenFileCommand = 40007;
inline constexpr UINT kExitCommand = 40008;
inline constexpr UINT kDocumentsCommand = 40011;
inline constexpr UINT kPropertiesCommand = 40012;
inline constexpr UINT kPlayerOptionsCommand = 40013;
inline constexpr UINT kSkinOptionsCommand = 40016;
inline constexpr UINT kButtonOptionsCommand = 40017;
inline constexpr UINT kFitDisplayCommand = 40033;
inline constexpr UINT kPlaylistCommand = 40045;
// The menu bar's drop-down buttons.
inline constexpr UINT kFileMenuButton = 40004;
inline constexpr UINT kViewMenuButton = 40018;
inline constexpr UINT kHelpMenuButton = 40001;

// The View menu: its zoom commands in menu order, each with its factor.
struct ZoomCommand {
  UINT id;
  const char16_t* text;
  float factor;
};
inline constexpr ZoomCommand kZoomCommands[] = {
    {40035, u"300%", 3.0f}, {40034, u"200%", 2.0f}, {40029, u"190%", 1.9f}, {40028, u"180%", 1.8f},
    {40027, u"170%", 1.7f}, {40026, u"160%", 1.6f}, {40025, u"150%", 1.5f}, {40024, u"140%", 1.4f},
    {40023, u"130%", 1.3f}, {40022, u"120%", 1.2f}, {40021, u"110%", 1.1f}, {kFitDisplayCommand, u"Fit Display", 1.0f},
};
inline constexpr std::span<const ZoomCommand> zoomCommands{kZoomCommands};

// The whole table (built once, kept for the process).
const res::ModuleResources& playerResources();
// Registers the table as the resources of `module` (null: the program).
void registerPlayerResources(HINSTANCE module);
