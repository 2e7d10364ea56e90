#include "playlist/addfilesdialog.h"

#include <algorithm>

#include "base/findfiles.h"
#include "ui/dialogsupport.h"
#include "playlist/playlist.h"
#include "resources/playerresources.h"

namespace {

constexpr int kTicked = 0;
constexpr int kEmpty = 1;
constexpr int kColumnMargin = 2;

class AddFilesDialog {
 public:
  static BOOL procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  std::vector<WideString> chosen;

 private:
  void initialize(HWND dialog);
  void fill();
  void toggle(int row);
  int imageOf(int row) const;
  void done();

  HWND m_dialog = nullptr;
  HWND m_list = nullptr;
  ImageList m_images;
  std::vector<FoundFile> m_movies;
};

BOOL AddFilesDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongW(dialog, GWL_USERDATA, lParam);
    reinterpret_cast<AddFilesDialog*>(lParam)->initialize(dialog);
    return TRUE;
  }
  auto* self = reinterpret_cast<AddFilesDialog*>(GetWindowLongW(dialog, GWL_USERDATA));
  if (!self) return FALSE;
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != playerres::kAddFilesListControl || header->code != NM_CLICK) return FALSE;
      self->toggle(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
      return TRUE;
    }
    case WM_SIZE:
      if (self->m_list && LOWORD(lParam) && HIWORD(lParam)) {
        fillClientArea(dialog, self->m_list);
        RECT r;
        GetClientRect(self->m_list, &r);
        ListView_SetColumnWidth(self->m_list, 0, r.right - kColumnMargin);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) self->done();
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

void AddFilesDialog::initialize(HWND dialog) {
  m_dialog = dialog;
  m_list = GetDlgItem(dialog, playerres::kAddFilesListControl);
  initFullScreenDialog(dialog);
  m_images.reset(loadImages(playerres::kCheckBoxesBitmap));
  ListView_SetImageList(m_list, m_images.get(), LVSIL_SMALL);
  fillClientArea(dialog, m_list);
  RECT r;
  GetClientRect(m_list, &r);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.cx = r.right - kColumnMargin;
  ListView_InsertColumn(m_list, 0, &column);
  fill();
}

void AddFilesDialog::fill() {
  WaitCursor wait;
  m_movies = findMovies();
  for (size_t i = 0; i < m_movies.size(); ++i) {
    WideString title = fileTitle(m_movies[i].path);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.pszText = title.data();
    item.iImage = kEmpty;
    ListView_InsertItem(m_list, &item);
  }
}

int AddFilesDialog::imageOf(int row) const {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  return ListView_GetItem(m_list, &item) ? item.iImage : kEmpty;
}

void AddFilesDialog::toggle(int row) {
  if (row < 0 || row >= ListView_GetItemCount(m_list)) return;
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = imageOf(row) == kTicked ? kEmpty : kTicked;
  ListView_SetItem(m_list, &item);
}

void AddFilesDialog::done() {
  for (size_t i = 0; i < m_movies.size(); ++i)
    if (imageOf(static_cast<int>(i)) == kTicked) chosen.push_back(m_movies[i].path);
  std::sort(chosen.begin(), chosen.end());
  EndDialog(m_dialog, 1);
}

}  // namespace

std::vector<WideString> runAddFilesDialog(HWND owner) {
  AddFilesDialog dialog;
  INT_PTR result = DialogBoxParamW(resourceModule(owner), MAKEINTRESOURCEW(playerres::kAddFilesDialog), owner,
                                   AddFilesDialog::procedure, reinterpret_cast<LPARAM>(&dialog));
  return result == 1 ? std::move(dialog.chosen) : std::vector<WideString>{};
}
