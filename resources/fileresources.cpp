// The dialog templates of the movie pickers: "Open Flash File", the playlist
// dialog and "Add Files".

#include "platform/commctrl/commctrl.h"
#include "resources/playerresources.h"

namespace {

using res::DialogControl;
using res::DialogTemplate;

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kControl = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
DialogTemplate openFileDialog() {
  return {
      playerres::kOpenFileDialog,
      kDialogStyle,
      0,
      0,
      160,
      160,
      u"Open Flash File",
      u"System",
      8,
      {DialogControl{u"SysListView32", u"", playerres::kMovieListControl,
                     kControl | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0, 0, 160, 160}}};
}

DialogTemplate playlistDialog() {
  return {playerres::kPlaylistDialog,
          kDialogStyle,
          0,
          0,
          160,
          160,
          u"Dialog",
          u"System",
          8,
          {DialogControl{u"SysTreeView32", u"", playerres::kPlaylistTreeControl,
                         kControl | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS |
                             TVS_SHOWSELALWAYS | TVS_SINGLEEXPAND,
                         0, 0, 160, 160}}};
}

DialogTemplate addFilesDialog() {
  return {playerres::kAddFilesDialog,
          kDialogStyle,
          0,
          0,
          160,
          160,
          u"Add Files",
          u"System",
          8,
          {DialogControl{u"SysListView32", u"", playerres::kAddFilesListControl,
                         kControl | LVS_REPORT | LVS_NOCOLUMNHEADER, 0, 0, 160, 160}}};
}

}  // namespace

void addMoviePickerResources(res::ModuleResources& r) {
  r.dialogs.push_back(openFileDialog());
  r.dialogs.push_back(playlistDialog());
  r.dialogs.push_back(addFilesDialog());
}
