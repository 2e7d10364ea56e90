#pragma once
// Owns every playlist of the player: loads the ".bfl" files of the data
// folder when the main window is made, lets the user edit them in the
// playlist dialog, saves the changed ones when the dialog closes, and
// remembers which playlist (and, through its cursor, which entry) the
// player plays from. The Player owns the one manager.

#include <functional>
#include <memory>
#include <vector>

#include "base/widestring.h"
#include "platform/core/wintypes.h"
#include "playlist/playlist.h"

class PlaylistManager {
 public:
  // Called by "Play" once the current playlist is set: the player starts it.
  using StartPlaylist = std::function<void()>;

  PlaylistManager(StartPlaylist startPlaylist, HWND mainWindow, WideString folder);
  ~PlaylistManager();
  PlaylistManager(const PlaylistManager&) = delete;
  PlaylistManager& operator=(const PlaylistManager&) = delete;

  // Reads every folder\*.bfl, sorted by name (character codes). Files that
  // do not read are left out of the list and untouched on disk.
  void loadAll();
  // Makes the folder when missing and writes every changed playlist; false
  // when one could not be written (it stays changed for the next save).
  bool saveAll();
  Playlist* findByName(WideStringView name) const;
  // Runs the playlist dialog over the main window; answers 1.
  int showDialog();
  // The playlist the player walks, or none.
  Playlist* current() const { return m_current; }

  const std::vector<std::unique_ptr<Playlist>>& playlists() const { return m_playlists; }
  const WideString& folder() const { return m_folder; }
  HWND mainWindow() const { return m_mainWindow; }

  // ---- What the dialog's commands do to the playlists
  // "playlist N" with the first N free both in the list and on disk, filled
  // with every movie of the device in path order.
  Playlist* newPlaylist();
  enum class NameCheck { Accepted, Duplicate, Invalid };
  // Renames the playlist and its file. The file under the new name is
  // written at once and the old one removed only after that, so the playlist
  // is on disk under one name or the other whenever the player stops; when
  // the new file cannot be written yet, the old one stays until a save can.
  NameCheck rename(Playlist& playlist, WideStringView name);
  // Appends what the playlist does not hold yet; answers the paths added.
  std::vector<WideString> addFiles(Playlist& playlist, const std::vector<WideString>& paths);
  // Takes the playlist out of the list, deletes its file and destroys it.
  void removePlaylist(Playlist* playlist);
  // `current` := playlist with its cursor at `cursor`; none for a null playlist.
  void setCurrent(Playlist* playlist, int cursor);
  void startPlaylist() {
    if (m_startPlaylist) m_startPlaylist();
  }

  // The playlist's file in the folder.
  WideString filePath(WideStringView name) const;

 private:
  bool fileExists(WideStringView name) const;
  bool nameTaken(WideStringView name, const Playlist* self) const;
  void removeLeftoverTemporaries();
  void removeStaleFiles(const Playlist* playlist);

  // A renamed playlist's file under an earlier name, removed once the
  // playlist is written under its new one.
  struct StaleFile {
    const Playlist* playlist;
    WideString name;
  };

  StartPlaylist m_startPlaylist;
  HWND m_mainWindow;
  WideString m_folder;
  std::vector<std::unique_ptr<Playlist>> m_playlists;
  int m_counter = 0;
  Playlist* m_current = nullptr;  // one of m_playlists, or none
  std::vector<StaleFile> m_staleFiles;
};

// A name the data folder can hold as "<name>.bfl": not empty, not only dots
// and blanks, no characters a file name refuses.
bool isValidPlaylistName(WideStringView name);
