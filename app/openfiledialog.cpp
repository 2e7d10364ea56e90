#include "app/openfiledialog.h"

#include "platform/commctrl/commctrl.h"
#include "platform/shell/aygshell.h"
#include "resources/playerresources.h"
#include "ui/dialogsupport.h"

namespace {

constexpr int kSizeColumnWidth = 55;
constexpr int kMovieImage = 2;

HINSTANCE moduleOf(HWND window) {
  return window ? reinterpret_cast<HINSTANCE>(GetWindowLongW(window, GWL_HINSTANCE)) : nullptr;
}

void insertColumn(HWND list, int index, const WCHAR* title, int format, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<LPWSTR>(title);
  column.iSubItem = index;
  ListView_InsertColumn(list, index, &column);
}

// The width the rows get: the list draws its scroll bar inside its client
// area, over the right end of the columns, once the rows outgrow a page.
int listWidth(HWND list) {
  RECT r;
  GetClientRect(list, &r);
  int width = r.right - r.left;
  if (ListView_GetItemCount(list) > ListView_GetCountPerPage(list)) width -= GetSystemMetrics(SM_CXVSCROLL);
  return width;
}

}  // namespace

WideString movieSizeText(DWORD size) {
  // Whole kilobytes by integer division: a float product would round sizes
  // above 16 MB up into the next kilobyte.
  return size < 1024 ? decimalText(size) + u"k" : decimalText(size / 1024) + u"K";
}

OpenFileDialog::OpenFileDialog(HWND parent, WideString pattern, WideString rootFolder, int depth)
    : m_parent(parent), m_pattern(std::move(pattern)), m_rootFolder(std::move(rootFolder)), m_depth(depth) {}

int OpenFileDialog::show() {
  m_folderList.clear();
  INT_PTR result = DialogBoxParamW(moduleOf(m_parent), MAKEINTRESOURCEW(playerres::kOpenFileDialog), m_parent,
                                   procedure, reinterpret_cast<LPARAM>(this));
  return result == kTaken ? kTaken : kCancelled;
}

BOOL OpenFileDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongW(dialog, GWL_USERDATA, lParam);
    reinterpret_cast<OpenFileDialog*>(lParam)->initialize(dialog);
    return FALSE;  // the list has the focus
  }
  auto* self = reinterpret_cast<OpenFileDialog*>(GetWindowLongW(dialog, GWL_USERDATA));
  if (!self) return FALSE;
  switch (message) {
    case WM_SIZE:
      // The list follows the dialog (the input panel rising shortens it),
      // and its columns follow the list.
      if (wParam != SIZE_MINIMIZED && LOWORD(lParam) && HIWORD(lParam) && self->m_list) {
        fillClientArea(dialog, self->m_list);
        self->setColumnWidths();
      }
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != playerres::kMovieListControl || header->code != NM_CLICK) return FALSE;
      // A tap opens the marked movie at once, without a confirmation.
      if (ListView_GetSelectionMark(self->m_list) >= 0) self->close(kTaken);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) self->close(kTaken);
      if (LOWORD(wParam) == IDCANCEL) self->close(kCancelled);
      return TRUE;
    case WM_DESTROY:
      if (self->m_images) ImageList_Destroy(self->m_images);
      self->m_images = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void OpenFileDialog::initialize(HWND dialog) {
  m_dialog = dialog;
  m_list = GetDlgItem(dialog, playerres::kMovieListControl);
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = dialog;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
  SHInitDialog(&info);
  ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT);
  m_images = ImageList_LoadImageW(moduleOf(m_parent), MAKEINTRESOURCEW(playerres::kListImagesBitmap), 16, 0,
                                  CLR_DEFAULT, IMAGE_BITMAP, LR_DEFAULTCOLOR);
  ListView_SetImageList(m_list, m_images, LVSIL_SMALL);
  RECT client;
  GetClientRect(dialog, &client);
  MoveWindow(m_list, 0, 0, client.right, client.bottom, TRUE);
  addColumns();
  fill();
  setColumnWidths();  // the rows may have brought the scroll bar
  selectChosenPath();
  SetFocus(m_list);
}

void OpenFileDialog::addColumns() {
  int width = listWidth(m_list);
  insertColumn(m_list, 0, u"File Name", LVCFMT_LEFT, width - kSizeColumnWidth);
  insertColumn(m_list, 1, u"File Size", LVCFMT_RIGHT, kSizeColumnWidth);
}

void OpenFileDialog::setColumnWidths() {
  ListView_SetColumnWidth(m_list, 0, listWidth(m_list) - kSizeColumnWidth);
  ListView_SetColumnWidth(m_list, 1, kSizeColumnWidth);
}

void OpenFileDialog::fill() {
  m_movies = findMovies(m_rootFolder, m_depth);
  for (size_t i = 0; i < m_movies.size(); ++i) {
    WideString title = fileTitle(m_movies[i].path), size = movieSizeText(m_movies[i].size);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.pszText = title.data();
    item.iImage = kMovieImage;
    int row = ListView_InsertItem(m_list, &item);
    ListView_SetItemText(m_list, row, 1, size.c_str());
  }
}

void OpenFileDialog::selectChosenPath() {
  if (m_chosenPath.empty()) return;
  for (size_t i = 0; i < m_movies.size(); ++i) {
    if (m_movies[i].path != m_chosenPath) continue;
    int row = static_cast<int>(i);
    ListView_SetItemState(m_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(m_list, row);
    ListView_EnsureVisible(m_list, row, FALSE);
    return;
  }
}

void OpenFileDialog::take(int row) {
  if (row >= 0 && static_cast<size_t>(row) < m_movies.size()) m_chosenPath = m_movies[static_cast<size_t>(row)].path;
}

void OpenFileDialog::close(int result) {
  take(ListView_GetSelectionMark(m_list));
  buildFolderList();
  EndDialog(m_dialog, result);
}

void OpenFileDialog::buildFolderList() {
  std::vector<WideString> paths;
  paths.reserve(m_movies.size());
  for (const FoundFile& movie : m_movies) paths.push_back(movie.path);
  m_folderList.addAll(paths);
  m_folderList.select(m_chosenPath);
}
