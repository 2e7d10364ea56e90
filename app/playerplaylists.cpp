// The Player's side of finding and walking movies: the open-file dialog, the
// folder list outside playlists, and playing a playlist of the manager.
#include "app/openfiledialog.h"
#include "app/player.h"
#include "playlist/playlistmanager.h"

void Player::openFileDialog() {
  if (!m_openFileDialog) return;
  m_openFileDialog->setChosenPath(m_moviePath);
  if (m_openFileDialog->show() != OpenFileDialog::kTaken) return;
  m_playlistMode = m_playlistPlaying = m_stoppedByUser = false;
  WideString path = m_openFileDialog->chosenPath();
  if (path.empty()) return;
  open(path);
  play();
}

void Player::openCurrentEntry(Playlist& playlist) {
  m_playlistPlaying = true;
  m_stoppedByUser = false;
  WideString path = playlist.current();
  open(path);
}

void Player::startPlaylist() {
  Playlist* playlist = m_playlists ? m_playlists->current() : nullptr;
  if (!playlist) return;
  m_playlistMode = true;
  controlPut(u"Loop", u"False");
  openCurrentEntry(*playlist);
}

void Player::playlistStep() {
  if (!m_control || !m_playlistPlaying || m_stoppedByUser || m_opening) return;
  controlPut(u"Loop", u"False");
  if (currentFrame() >= totalFrames() - 1) {
    Playlist* playlist = m_playlists ? m_playlists->current() : nullptr;
    if (!playlist) return;
    if (playlist->isLast()) {
      m_playlistPlaying = false;
      return;
    }
    playlist->next();
    openCurrentEntry(*playlist);
    return;
  }
  if (controlInteger(u"Playing") == 0) play();
}

// In playlist mode the player walks the current playlist; otherwise the
// folder list of the open-file dialog.
void Player::previousMovie() {
  if (m_playlistMode) {
    Playlist* playlist = m_playlists ? m_playlists->current() : nullptr;
    if (!playlist) return;
    playlist->previous();
    return openCurrentEntry(*playlist);
  }
  if (!m_openFileDialog) return;
  Playlist& folder = m_openFileDialog->folderList();
  folder.previous();
  WideString path = folder.current();
  if (!path.empty()) open(path);
}

void Player::nextMovie() {
  if (m_playlistMode) {
    Playlist* playlist = m_playlists ? m_playlists->current() : nullptr;
    if (!playlist) return;
    playlist->next();
    return openCurrentEntry(*playlist);
  }
  if (!m_openFileDialog) return;
  Playlist& folder = m_openFileDialog->folderList();
  folder.next();
  WideString path = folder.current();
  if (!path.empty()) open(path);
}
