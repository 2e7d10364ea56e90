#include "playlist/playlistmanager.h"

#include <algorithm>

#include "base/findfiles.h"
#include "platform/core/winbase.h"

namespace {

constexpr WideStringView kExtension = u".bfl";
constexpr int kMaxNameLength = 200;  // leaves room for the folder in a 260-character path

// Names of the files (not folders) in `folder` matching `pattern`.
std::vector<WideString> filesIn(const WideString& folder, WideStringView pattern) {
  std::vector<WideString> names;
  for (FolderEntry& entry : listFolder(folder, pattern))
    if (!entry.isFolder) names.push_back(std::move(entry.name));
  return names;
}

}  // namespace

bool isValidPlaylistName(WideStringView name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  if (name.find_first_not_of(u". ") == WideStringView::npos) return false;
  for (char16_t c : name)
    if (c < 0x20 || WideStringView(u"\\/:*?\"<>|").find(c) != WideStringView::npos) return false;
  return true;
}

PlaylistManager::PlaylistManager(StartPlaylist startPlaylist, HWND mainWindow, WideString folder)
    : m_startPlaylist(std::move(startPlaylist)), m_mainWindow(mainWindow), m_folder(std::move(folder)) {}

PlaylistManager::~PlaylistManager() = default;

WideString PlaylistManager::filePath(WideStringView name) const {
  return m_folder + u"\\" + WideString(name) + WideString(kExtension);
}

void PlaylistManager::loadAll() {
  removeLeftoverTemporaries();
  for (const WideString& name : filesIn(m_folder, u"*.bfl"))
    if (std::unique_ptr<Playlist> playlist = Playlist::read(m_folder + u"\\" + name))
      m_playlists.push_back(std::move(playlist));
  std::stable_sort(m_playlists.begin(), m_playlists.end(),
                   [](const auto& a, const auto& b) { return a->name() < b->name(); });
}

// A save that died before its rename leaves its temporary file; the
// playlist itself is still whole under its own name.
void PlaylistManager::removeLeftoverTemporaries() {
  for (const WideString& name : filesIn(m_folder, u"*.bfl.tmp")) DeleteFileW((m_folder + u"\\" + name).c_str());
}

bool PlaylistManager::saveAll() {
  if (GetFileAttributesW(m_folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(m_folder.c_str(), nullptr);
  bool all = true;
  for (const auto& playlist : m_playlists) {
    bool written = playlist->write(m_folder);
    if (written) removeStaleFiles(playlist.get());
    all = written && all;
  }
  return all;
}

void PlaylistManager::removeStaleFiles(const Playlist* playlist) {
  std::erase_if(m_staleFiles, [&](const StaleFile& stale) {
    if (stale.playlist != playlist) return false;
    // The same file when only the case differs: it holds the playlist now.
    if (!equalsIgnoreCase(stale.name, playlist->name())) DeleteFileW(filePath(stale.name).c_str());
    return true;
  });
}

Playlist* PlaylistManager::findByName(WideStringView name) const {
  for (const auto& playlist : m_playlists)
    if (playlist->name() == name) return playlist.get();
  return nullptr;
}

bool PlaylistManager::fileExists(WideStringView name) const {
  return GetFileAttributesW(filePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A name is taken by another playlist of the list, or by a file on disk that
// did not load: that file is never overwritten.
bool PlaylistManager::nameTaken(WideStringView name, const Playlist* self) const {
  for (const auto& playlist : m_playlists)
    if (playlist.get() != self && equalsIgnoreCase(playlist->name(), name)) return true;
  bool ownFile = self && equalsIgnoreCase(self->name(), name);
  return !ownFile && fileExists(name);
}

Playlist* PlaylistManager::newPlaylist() {
  WideString name;
  for (;; ++m_counter) {
    name = u"playlist " + decimalText(m_counter);
    if (!nameTaken(name, nullptr)) break;
  }
  auto playlist = std::make_unique<Playlist>(name);
  playlist->setNumber(m_counter++);
  std::vector<WideString> paths;
  for (FoundFile& movie : findMovies()) paths.push_back(std::move(movie.path));
  playlist->addAll(paths);
  playlist->setDirty(true);
  m_playlists.push_back(std::move(playlist));
  return m_playlists.back().get();
}

PlaylistManager::NameCheck PlaylistManager::rename(Playlist& playlist, WideStringView name) {
  if (!isValidPlaylistName(name)) return NameCheck::Invalid;
  if (nameTaken(name, &playlist)) return NameCheck::Duplicate;
  WideString oldName = playlist.name();
  if (oldName == name) return NameCheck::Accepted;
  WideString oldPath = filePath(oldName), newPath = filePath(name);
  // A change of case only renames the one file in place.
  if (equalsIgnoreCase(oldName, name) && fileExists(oldName)) MoveFileW(oldPath.c_str(), newPath.c_str());
  m_staleFiles.push_back(StaleFile{&playlist, oldName});
  playlist.rename(WideString(name));
  playlist.setDirty(true);
  if (playlist.write(m_folder)) removeStaleFiles(&playlist);
  return NameCheck::Accepted;
}

std::vector<WideString> PlaylistManager::addFiles(Playlist& playlist, const std::vector<WideString>& paths) {
  return playlist.addAll(paths);
}

void PlaylistManager::removePlaylist(Playlist* playlist) {
  auto it = std::find_if(m_playlists.begin(), m_playlists.end(), [&](const auto& p) { return p.get() == playlist; });
  if (it == m_playlists.end()) return;
  DeleteFileW(filePath(playlist->name()).c_str());
  std::erase_if(m_staleFiles, [&](const StaleFile& stale) {
    if (stale.playlist == playlist) DeleteFileW(filePath(stale.name).c_str());
    return stale.playlist == playlist;
  });
  if (m_current == playlist) m_current = nullptr;
  m_playlists.erase(it);
}

void PlaylistManager::setCurrent(Playlist* playlist, int cursor) {
  m_current = playlist;
  if (playlist) playlist->setCursor(std::max(cursor, 0));
}
