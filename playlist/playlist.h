#pragma once
// A named, ordered list of movie paths with a cursor on the movie being
// played, kept as one small XML file "<name>.bfl" in the player's data
// folder. The playlist manager owns the playlists and decides when they are
// saved; the player walks them with the cursor operations.
//
// Invariant: no two entries are equal ignoring case.

#include <memory>
#include <optional>
#include <vector>

#include "base/widestring.h"

class Playlist {
 public:
  Playlist() = default;
  explicit Playlist(WideString name) : m_name(std::move(name)) {}

  // Reads a playlist file; none when it cannot be opened, is not well-formed
  // or names an encoding the device does not know. The name is the file's title.
  static std::unique_ptr<Playlist> read(WideStringView filePath);

  // Appends a copy of `path` and answers it; none for an empty path or one
  // already present ignoring case.
  std::optional<WideString> add(WideStringView path);
  // `add` for many paths at once, in time proportional to their number (the
  // device may hold thousands of movies); answers the paths added, in order.
  std::vector<WideString> addAll(const std::vector<WideString>& paths);
  // The editing operations mark the playlist changed even when they find
  // nothing to do, as the manager expects.
  void remove(WideStringView path);
  void moveUp(WideStringView path);
  void moveDown(WideStringView path);
  int indexOf(WideStringView path) const;
  void clear() { m_entries.clear(); }

  void select(WideStringView path);
  // The entry at the cursor; empty when the cursor is past the entries.
  WideString current() const;
  void previous();
  void next();
  bool isLast() const { return static_cast<int>(m_entries.size()) == m_cursor + 1; }

  // Sets the name only: the manager handles the old file and the dirty flag.
  void rename(WideString name) { m_name = std::move(name); }

  // The file content. "&", "<", ">" and '"' in a path are written as entity
  // references, and characters the device's ANSI code page cannot hold as
  // character references, so every path reads back exactly.
  WideString toText() const;
  // Writes folder\<name>.bfl in the ANSI code page when the playlist changed,
  // replacing the old file only once the new one is complete. True when the
  // file holds the playlist; on failure the old file is untouched and the
  // playlist stays dirty, so that a later save tries again.
  bool write(WideStringView folder);
  // The file a write goes through before it replaces the playlist's own.
  static WideString temporaryName(WideStringView name);

  int number() const { return m_number; }
  void setNumber(int number) { m_number = number; }
  int cursor() const { return m_cursor; }
  void setCursor(int cursor) { m_cursor = cursor; }
  const WideString& name() const { return m_name; }
  const std::vector<WideString>& entries() const { return m_entries; }
  bool isDirty() const { return m_dirty; }
  void setDirty(bool dirty) { m_dirty = dirty; }

 private:
  int m_number = 0;  // given by the manager to playlists it makes; 0 when read from a file
  int m_cursor = 0;  // may be past the entries after removals: current() is then empty
  WideString m_name;
  std::vector<WideString> m_entries;
  bool m_dirty = false;
};

// The text after the last "\" (the whole path when there is none), cut
// before its last ".": playlist names and the entry names shown in lists.
WideString fileTitle(WideStringView path);
