#pragma once
// The "Open Flash File" dialog: every movie of the device with its size,
// opened by a tap. On every close it remembers the whole list as the folder
// list, the unsaved playlist the player walks with "Previous Flash" and
// "Next Flash" outside playlists. The Player owns the one dialog object.

#include <vector>

#include "base/findfiles.h"
#include "base/widestring.h"
#include "platform/commctrl/commctrl.h"
#include "platform/core/winuser.h"
#include "playlist/playlist.h"

class OpenFileDialog {
 public:
  static constexpr int kTaken = 1;
  static constexpr int kCancelled = 2;

  // `pattern` is kept for what it says; the search looks at extensions.
  OpenFileDialog(HWND parent, WideString pattern, WideString rootFolder, int depth);

  // 1 when a movie was taken (a tap or Done), 2 on cancel.
  int show();

  // The movie to open; preset by the player to the movie it has open.
  const WideString& chosenPath() const { return m_chosenPath; }
  void setChosenPath(WideStringView path) { m_chosenPath = WideString(path); }
  Playlist& folderList() { return m_folderList; }

  static BOOL procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void initialize(HWND dialog);
  void addColumns();
  void setColumnWidths();
  void fill();
  void selectChosenPath();
  void take(int row);
  void close(int result);
  void buildFolderList();

  HWND m_parent;
  WideString m_chosenPath;
  WideString m_pattern;
  WideString m_rootFolder;
  int m_depth;
  Playlist m_folderList;  // in memory only, never written
  std::vector<FoundFile> m_movies;
  HWND m_dialog = nullptr;
  HWND m_list = nullptr;
  HIMAGELIST m_images = nullptr;  // destroyed when the dialog closes
};

// "500k" below 1024 bytes, else whole kilobytes as "2K".
WideString movieSizeText(DWORD size);
