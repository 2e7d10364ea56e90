// The playlist dialog: a tree with one branch per playlist and one leaf per
// movie, and a menu bar of seven buttons that edit it. A leaf's entry is
// found by its place among its siblings, which the dialog keeps equal to the
// entry's place in its playlist.
#include <array>

#include "platform/commctrl/commctrl.h"
#include "platform/shell/aygshell.h"
#include "playlist/addfilesdialog.h"
#include "ui/dialogsupport.h"
#include "playlist/playlistmanager.h"
#include "resources/playerresources.h"

namespace {

constexpr int kOpenFolderImage = 0;
constexpr int kClosedFolderImage = 1;
constexpr int kMovieImage = 2;
constexpr int kMaxLabel = 260;
constexpr UINT kRestartEdit = WM_APP + 1;  // lParam: the tree item to edit again

enum Command : UINT {
  kNewPlaylist = 40039,
  kRenamePlaylist = 40052,
  kAddFile = 40040,
  kMoveUp = 40037,
  kMoveDown = 40038,
  kRemove = 40049,
  kPlay = 40044,
};

struct BarButton {
  int image;  // -1: a separator
  UINT command;
  int width;  // separators only
};

constexpr std::array<BarButton, 9> kBarButtons = {{{0, kNewPlaylist, 0},
                                                   {1, kRenamePlaylist, 0},
                                                   {-1, 0, 0},
                                                   {2, kAddFile, 0},
                                                   {3, kMoveUp, 0},
                                                   {4, kMoveDown, 0},
                                                   {5, kRemove, 0},
                                                   {-1, 0, 30},
                                                   {6, kPlay, 0}}};

// The bar's menu first (no text), then each button's name.
const WCHAR* const kTooltips[] = {u"",        u"New Playlist", u"Rename Playlist", u"Add File Into Playlist",
                                  u"Move Up", u"Move Down",    u"Remove",          u"Play"};

constexpr WCHAR kInvalidName[] = u"A playlist name can't be empty or hold any of \\ / : * ? \" < > |";

class PlaylistDialog {
 public:
  explicit PlaylistDialog(PlaylistManager& manager) : m_manager(manager) {}
  static BOOL procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  BOOL notify(const NMHDR* header);
  void command(UINT id);
  void initialize(HWND dialog);
  void createMenuBar();
  void enableButton(UINT command, bool enabled);
  void updateButtons();

  void buildTree();
  HTREEITEM rootOf(const Playlist* playlist);
  HTREEITEM appendRoot(Playlist* playlist);
  void rebuildLeaves(HTREEITEM root, const Playlist& playlist);
  HTREEITEM appendLeaf(HTREEITEM root, const WideString& entry);
  void selectCurrentEntry();

  Playlist* playlistOf(HTREEITEM item) const;  // the node's own, or its parent's
  HTREEITEM parentOf(HTREEITEM item) const { return TreeView_GetParent(m_tree, item); }
  int leafIndex(HTREEITEM leaf) const;
  HTREEITEM leafAt(HTREEITEM root, int index) const;
  WideString textOf(HTREEITEM item) const;
  void setText(HTREEITEM item, const WideString& text);
  void setFolderImage(HTREEITEM item, int image);

  void newPlaylist();
  void renameSelected();
  BOOL labelEdited(const NMTVDISPINFOW& info);
  void addFiles();
  void move(int direction);
  void removeSelected();
  void setCurrentFromSelection();
  void close();

  PlaylistManager& m_manager;
  HWND m_dialog = nullptr;
  HWND m_tree = nullptr;
  HWND m_menuBar = nullptr;
  ImageList m_images;
};

BOOL PlaylistDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongW(dialog, GWL_USERDATA, lParam);
    reinterpret_cast<PlaylistDialog*>(lParam)->initialize(dialog);
    return TRUE;
  }
  auto* self = reinterpret_cast<PlaylistDialog*>(GetWindowLongW(dialog, GWL_USERDATA));
  if (!self) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      return self->notify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      self->command(LOWORD(wParam));
      return TRUE;
    case WM_SIZE:
      if (self->m_tree && LOWORD(lParam) && HIWORD(lParam)) fillClientArea(dialog, self->m_tree);
      return TRUE;
    case kRestartEdit:
      TreeView_EditLabel(self->m_tree, reinterpret_cast<HTREEITEM>(lParam));
      return TRUE;
    case WM_DESTROY:
      if (self->m_menuBar) DestroyWindow(self->m_menuBar);
      self->m_menuBar = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL PlaylistDialog::notify(const NMHDR* header) {
  if (header->idFrom != playerres::kPlaylistTreeControl) return FALSE;
  switch (header->code) {
    case TVN_SELCHANGEDW:
      updateButtons();
      return TRUE;
    case TVN_ITEMEXPANDEDW: {
      const auto* tree = reinterpret_cast<const NMTREEVIEWW*>(header);
      if (!parentOf(tree->itemNew.hItem))
        setFolderImage(tree->itemNew.hItem, tree->action & TVE_EXPAND ? kOpenFolderImage : kClosedFolderImage);
      return TRUE;
    }
    case TVN_BEGINLABELEDITW: {
      // Only playlist names are edited; a movie's label is its file's title.
      bool refuse = parentOf(reinterpret_cast<const NMTVDISPINFOW*>(header)->item.hItem) != nullptr;
      SetWindowLongW(m_dialog, DWL_MSGRESULT, refuse);
      return TRUE;
    }
    case TVN_ENDLABELEDITW:
      SetWindowLongW(m_dialog, DWL_MSGRESULT, labelEdited(*reinterpret_cast<const NMTVDISPINFOW*>(header)));
      return TRUE;
    default:
      return FALSE;
  }
}

void PlaylistDialog::command(UINT id) {
  switch (id) {
    case kNewPlaylist:
      return newPlaylist();
    case kRenamePlaylist:
      return renameSelected();
    case kAddFile:
      return addFiles();
    case kMoveUp:
      return move(-1);
    case kMoveDown:
      return move(+1);
    case kRemove:
      return removeSelected();
    case kPlay:
      setCurrentFromSelection();
      m_manager.startPlaylist();
      return close();
    case IDOK:
    case IDCANCEL:  // leaving by any way keeps the edits
      setCurrentFromSelection();
      return close();
    default:
      return;
  }
}

void PlaylistDialog::initialize(HWND dialog) {
  m_dialog = dialog;
  m_tree = GetDlgItem(dialog, playerres::kPlaylistTreeControl);
  initFullScreenDialog(dialog);
  m_images.reset(loadImages(playerres::kListImagesBitmap));
  TreeView_SetImageList(m_tree, m_images.get(), TVSIL_NORMAL);
  createMenuBar();
  enableButton(kRenamePlaylist, false);
  enableButton(kMoveUp, false);
  enableButton(kMoveDown, false);
  fillClientArea(dialog, m_tree);
  buildTree();
  selectCurrentEntry();
}

void PlaylistDialog::createMenuBar() {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = m_dialog;
  info.nToolBarId = playerres::kEmptyMenu;
  info.hInstRes = resourceModule(m_dialog);
  if (!SHCreateMenuBar(&info) || !info.hwndMB) {
    MessageBoxW(m_dialog, u"SHCreateMenuBar Failed", u"Error", MB_OK | MB_ICONSTOP);
    return;
  }
  m_menuBar = info.hwndMB;
  SendMessageW(m_menuBar, TB_SETTOOLTIPS, std::size(kTooltips), reinterpret_cast<LPARAM>(kTooltips));
  int first = CommandBar_AddBitmap(m_menuBar, info.hInstRes, playerres::kPlaylistBarBitmap, 7, 16, 16);
  for (const BarButton& b : kBarButtons) {
    TBBUTTON button{};
    bool separator = b.image < 0;
    button.iBitmap = separator ? b.width : first + b.image;
    button.idCommand = static_cast<int>(b.command);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = separator ? TBSTYLE_SEP : TBSTYLE_BUTTON;
    SendMessageW(m_menuBar, TB_ADDBUTTONS, 1, reinterpret_cast<LPARAM>(&button));
  }
}

void PlaylistDialog::enableButton(UINT command, bool enabled) {
  if (m_menuBar) SendMessageW(m_menuBar, TB_ENABLEBUTTON, command, MAKELONG(enabled ? TRUE : FALSE, 0));
}

void PlaylistDialog::updateButtons() {
  HTREEITEM selected = TreeView_GetSelection(m_tree);
  bool onPlaylist = selected && !parentOf(selected), onEntry = selected && parentOf(selected);
  enableButton(kRenamePlaylist, onPlaylist);
  enableButton(kMoveUp, onEntry);
  enableButton(kMoveDown, onEntry);
}

// ---- The tree -------------------------------------------------------------------------

void PlaylistDialog::buildTree() {
  for (const auto& playlist : m_manager.playlists()) {
    HTREEITEM root = rootOf(playlist.get());
    if (!root) root = appendRoot(playlist.get());
    rebuildLeaves(root, *playlist);
    if (playlist.get() == m_manager.current()) TreeView_Expand(m_tree, root, TVE_EXPAND);
  }
}

HTREEITEM PlaylistDialog::rootOf(const Playlist* playlist) {
  for (HTREEITEM root = TreeView_GetRoot(m_tree); root; root = TreeView_GetNextSibling(m_tree, root))
    if (playlistOf(root) == playlist) return root;
  return nullptr;
}

HTREEITEM PlaylistDialog::appendRoot(Playlist* playlist) {
  WideString name = playlist->name();
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = name.data();
  insert.item.iImage = insert.item.iSelectedImage = kClosedFolderImage;
  insert.item.lParam = reinterpret_cast<LPARAM>(playlist);
  return TreeView_InsertItem(m_tree, &insert);
}

void PlaylistDialog::rebuildLeaves(HTREEITEM root, const Playlist& playlist) {
  while (HTREEITEM leaf = TreeView_GetChild(m_tree, root)) TreeView_DeleteItem(m_tree, leaf);
  for (const WideString& entry : playlist.entries()) appendLeaf(root, entry);
}

HTREEITEM PlaylistDialog::appendLeaf(HTREEITEM root, const WideString& entry) {
  WideString title = fileTitle(entry);
  TVINSERTSTRUCTW insert{};
  insert.hParent = root;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = title.data();
  insert.item.iImage = insert.item.iSelectedImage = kMovieImage;
  return TreeView_InsertItem(m_tree, &insert);
}

void PlaylistDialog::selectCurrentEntry() {
  Playlist* current = m_manager.current();
  HTREEITEM root = current ? rootOf(current) : nullptr;
  if (HTREEITEM leaf = root ? leafAt(root, current->cursor()) : nullptr) TreeView_SelectItem(m_tree, leaf);
}

Playlist* PlaylistDialog::playlistOf(HTREEITEM item) const {
  if (!item) return nullptr;
  if (HTREEITEM parent = parentOf(item)) item = parent;
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  return TreeView_GetItem(m_tree, &data) ? reinterpret_cast<Playlist*>(data.lParam) : nullptr;
}

int PlaylistDialog::leafIndex(HTREEITEM leaf) const {
  int index = 0;
  for (HTREEITEM item = TreeView_GetChild(m_tree, parentOf(leaf)); item && item != leaf;
       item = TreeView_GetNextSibling(m_tree, item))
    ++index;
  return index;
}

HTREEITEM PlaylistDialog::leafAt(HTREEITEM root, int index) const {
  HTREEITEM item = TreeView_GetChild(m_tree, root);
  for (int i = 0; item && i < index; ++i) item = TreeView_GetNextSibling(m_tree, item);
  return item;
}

WideString PlaylistDialog::textOf(HTREEITEM item) const {
  WCHAR buffer[kMaxLabel + 1] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = buffer;
  data.cchTextMax = kMaxLabel;
  TreeView_GetItem(m_tree, &data);
  return buffer;
}

void PlaylistDialog::setText(HTREEITEM item, const WideString& text) {
  WideString copy = text;
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = copy.data();
  TreeView_SetItem(m_tree, &data);
}

void PlaylistDialog::setFolderImage(HTREEITEM item, int image) {
  TVITEMW data{};
  data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  data.hItem = item;
  data.iImage = data.iSelectedImage = image;
  TreeView_SetItem(m_tree, &data);
}

// ---- Commands -------------------------------------------------------------------------

void PlaylistDialog::newPlaylist() {
  Playlist* playlist = nullptr;
  {
    WaitCursor wait;
    playlist = m_manager.newPlaylist();
  }
  HTREEITEM root = appendRoot(playlist);
  rebuildLeaves(root, *playlist);
  TreeView_Expand(m_tree, root, TVE_EXPAND);
  TreeView_SelectItem(m_tree, root);
  TreeView_EditLabel(m_tree, root);
}

void PlaylistDialog::renameSelected() {
  HTREEITEM selected = TreeView_GetSelection(m_tree);
  if (selected && !parentOf(selected)) TreeView_EditLabel(m_tree, selected);
}

// TRUE accepts the new label.
BOOL PlaylistDialog::labelEdited(const NMTVDISPINFOW& info) {
  HTREEITEM item = info.item.hItem;
  Playlist* playlist = parentOf(item) ? nullptr : playlistOf(item);
  if (!playlist) return FALSE;
  WideString name = info.item.pszText ? WideString(info.item.pszText) : textOf(item);
  PlaylistManager::NameCheck check = m_manager.rename(*playlist, name);
  if (check == PlaylistManager::NameCheck::Accepted) return TRUE;
  MessageBoxW(m_dialog, check == PlaylistManager::NameCheck::Duplicate ? u"Duplicate name" : kInvalidName, u"Error",
              MB_OK | MB_ICONSTOP);
  PostMessageW(m_dialog, kRestartEdit, 0, reinterpret_cast<LPARAM>(item));
  return FALSE;
}

void PlaylistDialog::addFiles() {
  std::vector<WideString> paths = runAddFilesDialog(m_dialog);
  if (paths.empty()) return;
  HTREEITEM selected = TreeView_GetSelection(m_tree);
  Playlist* playlist = playlistOf(selected);
  if (!playlist) return;
  HTREEITEM root = parentOf(selected) ? parentOf(selected) : selected;
  for (const WideString& entry : m_manager.addFiles(*playlist, paths)) appendLeaf(root, entry);
}

void PlaylistDialog::move(int direction) {
  HTREEITEM leaf = TreeView_GetSelection(m_tree);
  if (!leaf || !parentOf(leaf)) return;
  Playlist* playlist = playlistOf(leaf);
  int index = leafIndex(leaf);
  const auto& entries = playlist->entries();
  int other = index + direction;
  if (index >= static_cast<int>(entries.size()) || other < 0 || other >= static_cast<int>(entries.size())) return;
  WideString path = entries[static_cast<size_t>(index)];
  HTREEITEM neighbour = leafAt(parentOf(leaf), other);
  WideString movedText = textOf(leaf);
  setText(leaf, textOf(neighbour));
  setText(neighbour, movedText);
  TreeView_SelectItem(m_tree, neighbour);
  if (direction < 0)
    playlist->moveUp(path);
  else
    playlist->moveDown(path);
}

void PlaylistDialog::removeSelected() {
  HTREEITEM selected = TreeView_GetSelection(m_tree);
  Playlist* playlist = playlistOf(selected);
  if (!playlist) return;
  if (parentOf(selected)) {
    size_t index = static_cast<size_t>(leafIndex(selected));
    if (index < playlist->entries().size()) playlist->remove(WideString(playlist->entries()[index]));
  } else {
    m_manager.removePlaylist(playlist);
  }
  TreeView_DeleteItem(m_tree, selected);
}

void PlaylistDialog::setCurrentFromSelection() {
  HTREEITEM selected = TreeView_GetSelection(m_tree);
  if (!selected) selected = TreeView_GetRoot(m_tree);
  if (!selected) return;  // no node at all: current stays as it was
  m_manager.setCurrent(playlistOf(selected), parentOf(selected) ? leafIndex(selected) : 0);
}

void PlaylistDialog::close() {
  m_manager.saveAll();
  EndDialog(m_dialog, 1);
}

}  // namespace

int PlaylistManager::showDialog() {
  PlaylistDialog dialog(*this);
  INT_PTR result = DialogBoxParamW(resourceModule(m_mainWindow), MAKEINTRESOURCEW(playerres::kPlaylistDialog),
                                   m_mainWindow, PlaylistDialog::procedure, reinterpret_cast<LPARAM>(&dialog));
  return result < 0 ? 0 : static_cast<int>(result);
}
