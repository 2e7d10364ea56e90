// The report list view ("SysListView32"): columns of text with a small image
// before the first, one row per item, single or multiple selection, kept
// sorted by the first column when asked. Only the rows in view are painted,
// so long lists cost nothing until they scroll into view. Each window owns
// one ListView, held by the table below from WM_CREATE to WM_DESTROY.

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/commctrl/listview.h"
#include "platform/commctrl/viewparts.h"
#include "platform/core/wcrt.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"

namespace {

using commctrl::ScrollBar;

constexpr int kMargin = 2;       // text inset inside a cell
constexpr int kImageGap = 2;     // between the image and the first column's text
constexpr int kHeaderExtra = 6;  // header line height over the font's
constexpr size_t kMaxRows = 1u << 20;
constexpr size_t kMaxColumns = 64;
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGreyInk = RGB(150, 150, 150);
constexpr COLORREF kHeaderFace = RGB(236, 236, 236);
constexpr COLORREF kInactiveSelection = RGB(212, 208, 200);

struct Column {
  std::u16string title;
  int width;
  int format;
  int subItem;
};

struct Row {
  std::vector<std::u16string> texts;  // by sub-item
  int image = 0;
  LPARAM param = 0;
  UINT state = 0;
  const std::u16string& text(size_t subItem) const {
    static const std::u16string empty;
    return subItem < texts.size() ? texts[subItem] : empty;
  }
};

// Rows in chunks of a few hundred, so that inserting into a long sorted list
// moves one chunk's rows instead of every row after the new one.
class RowStore {
 public:
  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  Row& operator[](size_t index) { return locate(index); }
  const Row& operator[](size_t index) const { return const_cast<RowStore*>(this)->locate(index); }

  void insert(size_t at, Row row) {
    if (m_chunks.empty()) m_chunks.emplace_back();
    size_t chunk = 0;
    while (chunk + 1 < m_chunks.size() && at > m_chunks[chunk].size()) at -= m_chunks[chunk++].size();
    auto& rows = m_chunks[chunk];
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    ++m_size;
    if (rows.size() > 2 * kChunk) {
      std::vector<Row> upper(std::make_move_iterator(rows.begin() + kChunk), std::make_move_iterator(rows.end()));
      rows.resize(kChunk);
      m_chunks.insert(m_chunks.begin() + static_cast<std::ptrdiff_t>(chunk) + 1, std::move(upper));
    }
  }
  void erase(size_t at) {
    size_t chunk = 0;
    while (at >= m_chunks[chunk].size()) at -= m_chunks[chunk++].size();
    auto& rows = m_chunks[chunk];
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
    if (rows.empty()) m_chunks.erase(m_chunks.begin() + static_cast<std::ptrdiff_t>(chunk));
    --m_size;
  }
  void clear() {
    m_chunks.clear();
    m_size = 0;
  }
  // The index after every row that `text` does not sort before.
  template <typename Before>
  size_t upperBound(const std::u16string& text, Before before) const {
    size_t base = 0;
    for (const auto& rows : m_chunks) {
      if (before(text, rows.back()))
        return base + static_cast<size_t>(std::upper_bound(rows.begin(), rows.end(), text, before) - rows.begin());
      base += rows.size();
    }
    return base;
  }

 private:
  static constexpr size_t kChunk = 256;
  Row& locate(size_t index) {
    size_t chunk = 0;
    while (index >= m_chunks[chunk].size()) index -= m_chunks[chunk++].size();
    return m_chunks[chunk][index];
  }
  std::vector<std::vector<Row>> m_chunks;
  size_t m_size = 0;
};

class ListView {
 public:
  explicit ListView(HWND hwnd) : m_hwnd(hwnd) {}
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void describe(std::string& out) const;

 private:
  // messages
  LRESULT onPaint();
  LRESULT onCreate();
  LRESULT onDestroy();
  LRESULT onSetFont(WPARAM wParam, LPARAM lParam);
  LRESULT onFocus(bool gained);
  LRESULT onEnable();
  LRESULT onSize();
  LRESULT onPenDown(LPARAM lParam);
  LRESULT onPenMove(LPARAM lParam);
  LRESULT onPenUp(LPARAM lParam);
  LRESULT onKeyDown(WPARAM key);
  LRESULT onSetImageList(WPARAM which, LPARAM list);
  LRESULT onGetImageList(WPARAM which) const;
  LRESULT onInsertColumn(WPARAM index, const LVCOLUMNW* column);
  LRESULT onDeleteColumn(WPARAM index);
  LRESULT onSetColumn(WPARAM index, const LVCOLUMNW* column);
  LRESULT onGetColumn(WPARAM index, LVCOLUMNW* column) const;
  LRESULT onSetColumnWidth(WPARAM index, LPARAM width);
  LRESULT onGetColumnWidth(WPARAM index) const;
  LRESULT onInsertItem(const LVITEMW* item);
  LRESULT onSetItem(const LVITEMW* item);
  LRESULT onGetItem(LVITEMW* item) const;
  LRESULT onSetItemText(WPARAM index, const LVITEMW* item);
  LRESULT onGetItemText(WPARAM index, LVITEMW* item) const;
  LRESULT onDeleteItem(WPARAM index);
  LRESULT onDeleteAllItems();
  LRESULT onSetItemState(WPARAM index, const LVITEMW* item);
  LRESULT onGetItemState(WPARAM index, LPARAM mask) const;
  LRESULT onGetNextItem(WPARAM start, LPARAM flags) const;
  LRESULT onGetSelectedCount() const;
  LRESULT onSetSelectionMark(LPARAM index);
  LRESULT onEnsureVisible(WPARAM index, LPARAM partialOk);
  LRESULT onScroll(LPARAM dy);
  LRESULT onHitTest(LVHITTESTINFO* info) const;
  LRESULT onGetItemRect(WPARAM index, RECT* rect) const;
  LRESULT onSetExtendedStyle(WPARAM mask, LPARAM style);

  // helpers
  DWORD style() const { return static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)); }
  bool sorted() const { return (style() & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) != 0; }
  bool singleSelection() const { return (style() & LVS_SINGLESEL) != 0; }
  bool hasHeader() const { return !(style() & LVS_NOCOLUMNHEADER) && !m_columns.empty(); }
  bool validRow(WPARAM index) const { return index < m_rows.size(); }
  int rowCount() const { return static_cast<int>(m_rows.size()); }
  RECT client() const;
  RECT rowsArea() const;
  int headerHeight() const;
  int rowHeight() const;
  void measure();
  int imageWidth() const;
  int rowAt(POINT p) const;
  RECT rowRect(int index) const;
  size_t sortedPosition(const std::u16string& text) const;
  void refreshScroll();
  void scrollTo(int top);
  void invalidateRow(int index);
  bool changeState(int index, UINT state, UINT mask);
  void selectOnly(int index);
  void moveSelection(int index);
  void markIfSelected(int index);
  void notifyClick(UINT code, int index, POINT p);
  void afterRemoval(int index);
  void paintHeader(HDC dc, const RECT& area) const;
  void paintRow(HDC dc, int index, const RECT& r) const;
  void paintCell(HDC dc, const Row& row, const Column& column, size_t columnIndex, RECT cell, COLORREF ink) const;

  HWND m_hwnd;
  std::vector<Column> m_columns;
  RowStore m_rows;
  HIMAGELIST m_small = nullptr;
  HIMAGELIST m_state = nullptr;
  HIMAGELIST m_normal = nullptr;
  HFONT m_font = nullptr;
  DWORD m_exStyle = 0;
  int m_mark = -1;
  int m_textHeight = 13;
  int m_pressed = -1;  // the row a pen press landed on, until the pen lifts
  ScrollBar m_bar;
};

commctrl::ViewTable<ListView>& views() {
  static commctrl::ViewTable<ListView> all;
  return all;
}

ListView* viewOf(HWND hwnd) { return views().find(hwnd); }

template <typename T>
T* as(LPARAM lParam) {
  return reinterpret_cast<T*>(lParam);
}

// ---- geometry --------------------------------------------------------------------

// The area inside the border, when the view has one.
RECT ListView::client() const { return commctrl::innerClient(m_hwnd); }

int ListView::headerHeight() const { return hasHeader() ? m_textHeight + kHeaderExtra : 0; }

// Text metrics are asked once per font, not per row drawn.
void ListView::measure() {
  m_textHeight = commctrl::lineHeight(m_font);
  refreshScroll();
}

int ListView::imageWidth() const {
  int cx = 0, cy = 0;
  return ImageList_GetIconSize(m_small, &cx, &cy) ? cx : 0;
}

int ListView::rowHeight() const {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(m_small, &cx, &cy);
  return std::max(m_textHeight + 3, cy + 1);
}

RECT ListView::rowsArea() const {
  RECT r = m_bar.viewArea(client());
  r.top = std::min<LONG>(r.bottom, r.top + headerHeight());
  return r;
}

RECT ListView::rowRect(int index) const {
  RECT area = rowsArea();
  int top = area.top + (index - m_bar.pos()) * rowHeight();
  return RECT{area.left, top, area.right, top + rowHeight()};
}

int ListView::rowAt(POINT p) const {
  RECT area = rowsArea();
  if (!commctrl::inside(area, p)) return -1;
  int index = m_bar.pos() + (p.y - area.top) / rowHeight();
  return index < rowCount() ? index : -1;
}

void ListView::refreshScroll() {
  RECT r = client();
  int page = std::max(1, (static_cast<int>(r.bottom - r.top) - headerHeight()) / rowHeight());
  m_bar.setRange(rowCount(), page);
}

void ListView::scrollTo(int top) {
  if (m_bar.setPos(top)) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void ListView::invalidateRow(int index) {
  RECT r = rowRect(index);
  InvalidateRect(m_hwnd, &r, FALSE);
}

size_t ListView::sortedPosition(const std::u16string& text) const {
  bool descending = (style() & LVS_SORTDESCENDING) != 0;
  auto before = [&](const std::u16string& t, const Row& row) {
    int order = _wcsicmp(t.c_str(), row.text(0).c_str());
    return descending ? order > 0 : order < 0;
  };
  return m_rows.upperBound(text, before);
}

// ---- state and notifications -------------------------------------------------------

// One row's state change, asked with LVN_ITEMCHANGING and told with LVN_ITEMCHANGED.
bool ListView::changeState(int index, UINT state, UINT mask) {
  Row& row = m_rows[static_cast<size_t>(index)];
  UINT next = (row.state & ~mask) | (state & mask);
  if (next == row.state) return true;
  NMLISTVIEW notice{};
  notice.iItem = index;
  notice.uOldState = row.state;
  notice.uNewState = next;
  notice.uChanged = LVIF_STATE;
  notice.lParam = row.param;
  if (commctrl::sendNotify(m_hwnd, notice.hdr, LVN_ITEMCHANGING)) return false;
  if (!viewOf(m_hwnd) || !validRow(static_cast<WPARAM>(index))) return false;
  m_rows[static_cast<size_t>(index)].state = next;
  if ((next & LVIS_SELECTED) && !(notice.uOldState & LVIS_SELECTED)) m_mark = index;
  invalidateRow(index);
  commctrl::sendNotify(m_hwnd, notice.hdr, LVN_ITEMCHANGED);
  return true;
}

// Leaves `index` the only selected and focused row, clearing the others first.
void ListView::selectOnly(int index) {
  for (int i = 0; i < rowCount(); ++i)
    if (i != index && (m_rows[static_cast<size_t>(i)].state & (LVIS_SELECTED | LVIS_FOCUSED)))
      changeState(i, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (index >= 0 && index < rowCount()) changeState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// The mark follows the pen and the keys, unless the parent refused the selection.
void ListView::markIfSelected(int index) {
  if (validRow(static_cast<WPARAM>(index)) && (m_rows[static_cast<size_t>(index)].state & LVIS_SELECTED))
    m_mark = index;
}

void ListView::moveSelection(int index) {
  index = std::clamp(index, 0, rowCount() - 1);
  selectOnly(index);
  markIfSelected(index);
  onEnsureVisible(static_cast<WPARAM>(index), FALSE);
}

void ListView::notifyClick(UINT code, int index, POINT p) {
  NMITEMACTIVATE notice{};
  notice.iItem = index;
  notice.ptAction = p;
  if (validRow(static_cast<WPARAM>(index))) notice.lParam = m_rows[static_cast<size_t>(index)].param;
  commctrl::sendNotify(m_hwnd, notice.hdr, code);
}

void ListView::afterRemoval(int index) {
  if (m_mark == index)
    m_mark = -1;
  else if (m_mark > index)
    --m_mark;
  if (m_pressed >= index) m_pressed = -1;
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

// ---- painting ----------------------------------------------------------------------

void ListView::paintHeader(HDC dc, const RECT& area) const {
  LONG top = client().top;
  RECT header{area.left, top, area.right, top + headerHeight()};
  fillSolid(dc, header, kHeaderFace);
  fillSolid(dc, RECT{header.left, header.bottom - 1, header.right, header.bottom}, kGreyInk);
  int x = header.left;
  for (const Column& c : m_columns) {
    RECT cell{x + kMargin + 2, header.top, x + c.width - kMargin - 2, header.bottom - 1};
    UINT align = (c.format & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? DT_RIGHT : DT_LEFT;
    DrawTextW(dc, c.title.c_str(), static_cast<int>(c.title.size()), &cell,
              align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    x += c.width;
    fillSolid(dc, RECT{x - 1, header.top + 2, x, header.bottom - 3}, kGreyInk);
  }
}

void ListView::paintCell(HDC dc, const Row& row, const Column& column, size_t columnIndex, RECT cell,
                         COLORREF ink) const {
  if (columnIndex == 0 && m_small) {
    int top = cell.top + (cell.bottom - cell.top - rowHeight() + 1) / 2;
    bool selected = (row.state & LVIS_SELECTED) && GetFocus() == m_hwnd;
    ImageList_Draw(m_small, row.image, dc, cell.left + kMargin, top, selected ? ILD_SELECTED : ILD_NORMAL);
    cell.left += kMargin + imageWidth() + kImageGap;
  } else {
    cell.left += kMargin + 2;
  }
  cell.right -= kMargin + 2;
  const std::u16string& text = row.text(static_cast<size_t>(column.subItem));
  UINT align = columnIndex > 0 && (column.format & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? DT_RIGHT : DT_LEFT;
  SetTextColor(dc, ink);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
            align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void ListView::paintRow(HDC dc, int index, const RECT& r) const {
  const Row& row = m_rows[static_cast<size_t>(index)];
  bool focused = GetFocus() == m_hwnd, enabled = IsWindowEnabled(m_hwnd) != FALSE;
  bool showSelection = (row.state & LVIS_SELECTED) && (focused || (style() & LVS_SHOWSELALWAYS));
  COLORREF selectionFill = focused ? GetSysColor(COLOR_HIGHLIGHT) : kInactiveSelection;
  COLORREF selectionInk = focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kInk;
  bool fullRow = (m_exStyle & LVS_EX_FULLROWSELECT) != 0;
  int x = r.left;
  for (size_t i = 0; i < m_columns.size() && x < r.right; ++i) {
    const Column& c = m_columns[i];
    RECT cell{x, r.top, std::min<LONG>(x + c.width, r.right), r.bottom};
    COLORREF ink = enabled ? kInk : kGreyInk;
    if (showSelection && (fullRow || i == 0)) {
      RECT fill = cell;
      if (i == 0 && m_small) fill.left += kMargin + imageWidth() + kImageGap - 1;
      fillSolid(dc, fill, selectionFill);
      ink = enabled ? selectionInk : kGreyInk;
    }
    paintCell(dc, row, c, i, cell, ink);
    x += c.width;
  }
  if (focused && (row.state & LVIS_FOCUSED)) {
    int columns = 0;
    for (size_t i = 0; i < (fullRow ? m_columns.size() : std::min<size_t>(1, m_columns.size())); ++i)
      columns += m_columns[i].width;
    RECT focus{r.left, r.top, std::min<LONG>(r.right, r.left + columns), r.bottom};
    commctrl::drawFocusFrame(dc, focus);
  }
}

LRESULT ListView::onPaint() {
  PaintScope paint(m_hwnd);
  HDC dc = paint.dc();
  const RECT& due = paint.area();
  {
    SelectedObject font(dc, m_font ? m_font : commctrl::dialogFont());
    SetBkMode(dc, TRANSPARENT);
    RECT all = client(), area = rowsArea();
    fillSolid(dc, RECT{area.left, area.top, area.right, area.bottom}, kWhite);
    commctrl::paintBorder(m_hwnd, dc);
    if (hasHeader()) {
      SetTextColor(dc, IsWindowEnabled(m_hwnd) ? kInk : kGreyInk);
      paintHeader(dc, area);
    }
    m_bar.paint(dc, all, IsWindowEnabled(m_hwnd) != FALSE);
    // Rows never paint over the header or the bar; the clip lasts until EndPaint.
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    int first = std::max(m_bar.pos(), m_bar.pos() + static_cast<int>(due.top - area.top) / rowHeight());
    for (int i = first; i < rowCount(); ++i) {
      RECT r = rowRect(i);
      if (r.top >= std::min(area.bottom, due.bottom)) break;
      paintRow(dc, i, r);
    }
  }
  return 0;
}

// ---- window messages --------------------------------------------------------------

LRESULT ListView::onCreate() {
  measure();
  return 0;
}

LRESULT ListView::onDestroy() {
  if (!(style() & LVS_SHAREIMAGELISTS))
    for (HIMAGELIST list : {m_small, m_state, m_normal}) ImageList_Destroy(list);
  return 0;
}

LRESULT ListView::onSetFont(WPARAM wParam, LPARAM lParam) {
  m_font = reinterpret_cast<HFONT>(wParam);
  measure();
  if (lParam) InvalidateRect(m_hwnd, nullptr, FALSE);
  return 0;
}

LRESULT ListView::onFocus(bool gained) {
  InvalidateRect(m_hwnd, nullptr, FALSE);
  NMHDR notice{};
  commctrl::sendNotify(m_hwnd, notice, gained ? NM_SETFOCUS : NM_KILLFOCUS);
  return 0;
}

LRESULT ListView::onEnable() {
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return 0;
}

LRESULT ListView::onSize() {
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return 0;
}

LRESULT ListView::onPenDown(LPARAM lParam) {
  if (!IsWindowEnabled(m_hwnd)) return 0;
  SetFocus(m_hwnd);
  POINT p = commctrl::pointOf(lParam);
  SetCapture(m_hwnd);
  if (m_bar.penDown(m_hwnd, p, client())) return 0;
  m_pressed = rowAt(p);
  if (m_pressed >= 0) {
    selectOnly(m_pressed);
    markIfSelected(m_pressed);
  }
  return 0;
}

LRESULT ListView::onPenMove(LPARAM lParam) {
  m_bar.penMove(m_hwnd, commctrl::pointOf(lParam), client());
  return 0;
}

LRESULT ListView::onPenUp(LPARAM lParam) {
  if (GetCapture() == m_hwnd) ReleaseCapture();
  if (m_bar.penUp(m_hwnd)) return 0;
  int pressed = std::exchange(m_pressed, -1);
  if (pressed >= 0) notifyClick(NM_CLICK, pressed, commctrl::pointOf(lParam));
  return 0;
}

LRESULT ListView::onKeyDown(WPARAM key) {
  NMLVKEYDOWN notice{};
  notice.wVKey = static_cast<WORD>(key);
  commctrl::sendNotify(m_hwnd, notice.hdr, LVN_KEYDOWN);
  if (!viewOf(m_hwnd) || m_rows.empty()) return 0;
  int focus = onGetNextItem(static_cast<WPARAM>(-1), LVNI_FOCUSED);
  int current = focus >= 0 ? focus : m_mark;
  int page = std::max(1, m_bar.page() - 1);
  switch (key) {
    case VK_UP:
      moveSelection(current < 0 ? 0 : current - 1);
      break;
    case VK_DOWN:
      moveSelection(current + 1);
      break;
    case VK_PRIOR:
      moveSelection(current - page);
      break;
    case VK_NEXT:
      moveSelection(current + page);
      break;
    case VK_HOME:
      moveSelection(0);
      break;
    case VK_END:
      moveSelection(rowCount() - 1);
      break;
    case VK_RETURN:
      notifyClick(NM_RETURN, current, POINT{0, 0});
      break;
    default:
      break;
  }
  return 0;
}

// ---- list view messages --------------------------------------------------------------

LRESULT ListView::onSetImageList(WPARAM which, LPARAM list) {
  HIMAGELIST* slot = which == LVSIL_SMALL ? &m_small : which == LVSIL_STATE ? &m_state : &m_normal;
  HIMAGELIST old = std::exchange(*slot, reinterpret_cast<HIMAGELIST>(list));
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return reinterpret_cast<LRESULT>(old);
}

LRESULT ListView::onGetImageList(WPARAM which) const {
  return reinterpret_cast<LRESULT>(which == LVSIL_SMALL ? m_small : which == LVSIL_STATE ? m_state : m_normal);
}

LRESULT ListView::onInsertColumn(WPARAM index, const LVCOLUMNW* column) {
  if (!column || m_columns.size() >= kMaxColumns) return -1;
  size_t at = std::min<size_t>(index, m_columns.size());
  Column c{u"", 50, LVCFMT_LEFT, static_cast<int>(at)};
  if ((column->mask & LVCF_TEXT) && column->pszText) c.title = column->pszText;
  if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
  if (column->mask & LVCF_FMT) c.format = column->fmt;
  if ((column->mask & LVCF_SUBITEM) && column->iSubItem >= 0 && column->iSubItem < static_cast<int>(kMaxColumns))
    c.subItem = column->iSubItem;
  m_columns.insert(m_columns.begin() + static_cast<std::ptrdiff_t>(at), std::move(c));
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return static_cast<LRESULT>(at);
}

LRESULT ListView::onSetColumn(WPARAM index, const LVCOLUMNW* column) {
  if (!column || index >= m_columns.size()) return FALSE;
  Column& c = m_columns[index];
  if ((column->mask & LVCF_TEXT) && column->pszText) c.title = column->pszText;
  if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
  if (column->mask & LVCF_FMT) c.format = column->fmt;
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return TRUE;
}

LRESULT ListView::onGetColumn(WPARAM index, LVCOLUMNW* column) const {
  if (!column || index >= m_columns.size()) return FALSE;
  const Column& c = m_columns[index];
  if (column->mask & LVCF_WIDTH) column->cx = c.width;
  if (column->mask & LVCF_FMT) column->fmt = c.format;
  if (column->mask & LVCF_SUBITEM) column->iSubItem = c.subItem;
  if ((column->mask & LVCF_TEXT) && column->pszText && column->cchTextMax > 0) {
    size_t n = std::min(c.title.size(), static_cast<size_t>(column->cchTextMax) - 1);
    std::copy_n(c.title.begin(), n, column->pszText);
    column->pszText[n] = 0;
  }
  return TRUE;
}

LRESULT ListView::onDeleteColumn(WPARAM index) {
  if (index >= m_columns.size()) return FALSE;
  m_columns.erase(m_columns.begin() + static_cast<std::ptrdiff_t>(index));
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return TRUE;
}

LRESULT ListView::onSetColumnWidth(WPARAM index, LPARAM width) {
  if (index >= m_columns.size()) return FALSE;
  Column& c = m_columns[index];
  if (width == LVSCW_AUTOSIZE_USEHEADER && index + 1 == m_columns.size()) {
    // The last column takes what the others leave.
    int others = 0;
    for (size_t i = 0; i + 1 < m_columns.size(); ++i) others += m_columns[i].width;
    c.width = std::max(0, static_cast<int>(rowsArea().right) - others);
  } else if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
    int widest = width == LVSCW_AUTOSIZE_USEHEADER ? commctrl::textWidth(m_font, c.title) : 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
      widest = std::max(widest, commctrl::textWidth(m_font, m_rows[i].text(static_cast<size_t>(c.subItem))));
    c.width = widest + 2 * (kMargin + 2) + (index == 0 && m_small ? imageWidth() + kImageGap : 0);
  } else {
    c.width = std::max(0, static_cast<int>(width));
  }
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return TRUE;
}

LRESULT ListView::onGetColumnWidth(WPARAM index) const { return index < m_columns.size() ? m_columns[index].width : 0; }

LRESULT ListView::onInsertItem(const LVITEMW* item) {
  if (!item || item->iSubItem != 0 || item->iItem < 0 || m_rows.size() >= kMaxRows) return -1;
  Row row;
  row.texts.emplace_back((item->mask & LVIF_TEXT) && item->pszText ? item->pszText : u"");
  if (item->mask & LVIF_IMAGE) row.image = item->iImage;
  if (item->mask & LVIF_PARAM) row.param = item->lParam;
  UINT state = item->mask & LVIF_STATE ? item->state & item->stateMask : 0;
  size_t at =
      sorted() ? sortedPosition(row.texts[0]) : std::min<size_t>(static_cast<size_t>(item->iItem), m_rows.size());
  m_rows.insert(at, std::move(row));
  int index = static_cast<int>(at);
  if (m_mark >= index) ++m_mark;
  refreshScroll();
  RECT r = rowRect(index), area = rowsArea();
  r.bottom = area.bottom;  // the rows below move down
  if (r.top < area.bottom) InvalidateRect(m_hwnd, &r, FALSE);
  NMLISTVIEW notice{};
  notice.iItem = index;
  commctrl::sendNotify(m_hwnd, notice.hdr, LVN_INSERTITEM);
  if (state && viewOf(m_hwnd) && validRow(at)) {
    if (singleSelection() && (state & LVIS_SELECTED)) selectOnly(-1);
    changeState(index, state, item->stateMask);
  }
  return index;
}

LRESULT ListView::onSetItem(const LVITEMW* item) {
  if (!item || item->iItem < 0 || !validRow(static_cast<WPARAM>(item->iItem)) || item->iSubItem < 0 ||
      item->iSubItem >= static_cast<int>(kMaxColumns))
    return FALSE;
  Row& row = m_rows[static_cast<size_t>(item->iItem)];
  if (item->mask & LVIF_TEXT) {
    if (row.texts.size() <= static_cast<size_t>(item->iSubItem))
      row.texts.resize(static_cast<size_t>(item->iSubItem) + 1);
    row.texts[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : u"";
  }
  if (item->iSubItem == 0 && (item->mask & LVIF_IMAGE)) row.image = item->iImage;
  if (item->iSubItem == 0 && (item->mask & LVIF_PARAM)) row.param = item->lParam;
  invalidateRow(item->iItem);
  if (item->iSubItem == 0 && (item->mask & LVIF_STATE)) onSetItemState(static_cast<WPARAM>(item->iItem), item);
  return TRUE;
}

LRESULT ListView::onGetItem(LVITEMW* item) const {
  if (!item || item->iItem < 0 || !validRow(static_cast<WPARAM>(item->iItem))) return FALSE;
  const Row& row = m_rows[static_cast<size_t>(item->iItem)];
  if (item->mask & LVIF_TEXT) onGetItemText(static_cast<WPARAM>(item->iItem), item);
  if (item->mask & LVIF_IMAGE) item->iImage = row.image;
  if (item->mask & LVIF_PARAM) item->lParam = row.param;
  if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
  if (item->mask & LVIF_INDENT) item->iIndent = 0;
  return TRUE;
}

LRESULT ListView::onSetItemText(WPARAM index, const LVITEMW* item) {
  if (!item || !validRow(index)) return FALSE;
  LVITEMW set = *item;
  set.iItem = static_cast<int>(index);
  set.mask = LVIF_TEXT;
  return onSetItem(&set);
}

// Copies as much as fits, always terminated; answers the characters copied.
LRESULT ListView::onGetItemText(WPARAM index, LVITEMW* item) const {
  if (!item || !validRow(index) || !item->pszText || item->cchTextMax <= 0 || item->iSubItem < 0) return 0;
  const std::u16string& text = m_rows[index].text(static_cast<size_t>(item->iSubItem));
  size_t n = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
  std::copy_n(text.begin(), n, item->pszText);
  item->pszText[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT ListView::onDeleteItem(WPARAM index) {
  if (!validRow(index)) return FALSE;
  NMLISTVIEW notice{};
  notice.iItem = static_cast<int>(index);
  notice.lParam = m_rows[index].param;
  commctrl::sendNotify(m_hwnd, notice.hdr, LVN_DELETEITEM);
  if (!viewOf(m_hwnd) || !validRow(index)) return FALSE;
  m_rows.erase(index);
  afterRemoval(static_cast<int>(index));
  return TRUE;
}

LRESULT ListView::onDeleteAllItems() {
  NMLISTVIEW notice{};
  notice.iItem = -1;
  commctrl::sendNotify(m_hwnd, notice.hdr, LVN_DELETEALLITEMS);
  if (!viewOf(m_hwnd)) return FALSE;
  m_rows.clear();
  m_mark = -1;
  m_pressed = -1;
  m_bar.setPos(0);
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return TRUE;
}

// Index -1 changes every row. A single-selection list keeps one selected row.
LRESULT ListView::onSetItemState(WPARAM index, const LVITEMW* item) {
  if (!item) return FALSE;
  int target = static_cast<int>(index);
  if (target != -1 && !validRow(index)) return FALSE;
  bool selecting = (item->stateMask & LVIS_SELECTED) && (item->state & LVIS_SELECTED);
  if (target == -1) {
    if (selecting && singleSelection()) return FALSE;
    for (int i = 0; i < rowCount(); ++i) changeState(i, item->state, item->stateMask);
    return TRUE;
  }
  if (selecting && singleSelection())
    for (int i = 0; i < rowCount(); ++i)
      if (i != target && (m_rows[static_cast<size_t>(i)].state & LVIS_SELECTED)) changeState(i, 0, LVIS_SELECTED);
  if ((item->stateMask & LVIS_FOCUSED) && (item->state & LVIS_FOCUSED))
    for (int i = 0; i < rowCount(); ++i)
      if (i != target && (m_rows[static_cast<size_t>(i)].state & LVIS_FOCUSED)) changeState(i, 0, LVIS_FOCUSED);
  return validRow(index) && changeState(target, item->state, item->stateMask) ? TRUE : FALSE;
}

LRESULT ListView::onGetItemState(WPARAM index, LPARAM mask) const {
  return validRow(index) ? static_cast<LRESULT>(m_rows[index].state & static_cast<UINT>(mask)) : 0;
}

LRESULT ListView::onGetNextItem(WPARAM start, LPARAM flags) const {
  int from = static_cast<int>(start);
  UINT want = static_cast<UINT>(flags) & (LVNI_SELECTED | LVNI_FOCUSED);
  int step = (flags & LVNI_ABOVE) ? -1 : 1;
  for (int i = from + step; i >= 0 && i < rowCount(); i += step)
    if ((m_rows[static_cast<size_t>(i)].state & want) == want) return i;
  return -1;
}

LRESULT ListView::onGetSelectedCount() const {
  LRESULT count = 0;
  for (size_t i = 0; i < m_rows.size(); ++i) count += (m_rows[i].state & LVIS_SELECTED) ? 1 : 0;
  return count;
}

LRESULT ListView::onSetSelectionMark(LPARAM index) {
  int old = m_mark;
  m_mark = index >= 0 && index < rowCount() ? static_cast<int>(index) : -1;
  return old;
}

LRESULT ListView::onEnsureVisible(WPARAM index, LPARAM partialOk) {
  if (!validRow(index)) return FALSE;
  int row = static_cast<int>(index), top = m_bar.pos(), page = std::max(1, m_bar.page());
  RECT r = rowRect(row), area = rowsArea();
  bool partlyShown = r.bottom > area.top && r.top < area.bottom;
  if (partialOk && partlyShown) return TRUE;
  if (row < top)
    scrollTo(row);
  else if (row >= top + page)
    scrollTo(row - page + 1);
  return TRUE;
}

LRESULT ListView::onScroll(LPARAM dy) {
  int rows = static_cast<int>(dy) / rowHeight();
  if (dy != 0 && rows == 0) rows = dy > 0 ? 1 : -1;
  scrollTo(m_bar.pos() + rows);
  return TRUE;
}

LRESULT ListView::onHitTest(LVHITTESTINFO* info) const {
  if (!info) return -1;
  RECT area = rowsArea();
  info->iItem = -1;
  info->iSubItem = 0;
  if (info->pt.y < area.top)
    info->flags = LVHT_ABOVE;
  else if (info->pt.y >= area.bottom)
    info->flags = LVHT_BELOW;
  else if (info->pt.x < area.left)
    info->flags = LVHT_TOLEFT;
  else if (info->pt.x >= area.right)
    info->flags = LVHT_TORIGHT;
  else if ((info->iItem = rowAt(info->pt)) < 0)
    info->flags = LVHT_NOWHERE;
  else
    info->flags = m_small && info->pt.x < area.left + kMargin + imageWidth() ? LVHT_ONITEMICON : LVHT_ONITEMLABEL;
  return info->iItem;
}

LRESULT ListView::onGetItemRect(WPARAM index, RECT* rect) const {
  if (!rect || !validRow(index)) return FALSE;
  int code = rect->left;
  RECT r = rowRect(static_cast<int>(index));
  int firstWidth = m_columns.empty() ? r.right - r.left : m_columns[0].width;
  int icon = m_small ? kMargin + imageWidth() : 0;
  switch (code) {
    case LVIR_ICON:
      r.right = r.left + icon;
      break;
    case LVIR_LABEL:
      r.left += icon;
      r.right = r.left + firstWidth - icon;
      break;
    case LVIR_SELECTBOUNDS:
      if (!(m_exStyle & LVS_EX_FULLROWSELECT)) r.right = r.left + firstWidth;
      break;
    default:
      break;
  }
  *rect = r;
  return TRUE;
}

LRESULT ListView::onSetExtendedStyle(WPARAM mask, LPARAM style) {
  DWORD old = m_exStyle, change = mask ? static_cast<DWORD>(mask) : 0xFFFFFFFFu;
  m_exStyle = (m_exStyle & ~change) | (static_cast<DWORD>(style) & change);
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return old;
}

LRESULT ListView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return onCreate();
    case WM_PAINT:
      return onPaint();
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      return onDestroy();
    case WM_SETFONT:
      return onSetFont(wParam, lParam);
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(m_font);
    case WM_SETFOCUS:
      return onFocus(true);
    case WM_KILLFOCUS:
      return onFocus(false);
    case WM_ENABLE:
      return onEnable();
    case WM_SIZE:
      return onSize();
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      return onPenDown(lParam);
    case WM_MOUSEMOVE:
      return onPenMove(lParam);
    case WM_LBUTTONUP:
      return onPenUp(lParam);
    case WM_TIMER:
      m_bar.timer(m_hwnd, wParam, client());
      return 0;
    case WM_KEYDOWN:
      return onKeyDown(wParam);
    case LVM_SETIMAGELIST:
      return onSetImageList(wParam, lParam);
    case LVM_GETIMAGELIST:
      return onGetImageList(wParam);
    case LVM_GETITEMCOUNT:
      return rowCount();
    case LVM_INSERTCOLUMNW:
      return onInsertColumn(wParam, as<const LVCOLUMNW>(lParam));
    case LVM_DELETECOLUMN:
      return onDeleteColumn(wParam);
    case LVM_SETCOLUMNW:
      return onSetColumn(wParam, as<const LVCOLUMNW>(lParam));
    case LVM_GETCOLUMNW:
      return onGetColumn(wParam, as<LVCOLUMNW>(lParam));
    case LVM_SETCOLUMNWIDTH:
      return onSetColumnWidth(wParam, lParam);
    case LVM_GETCOLUMNWIDTH:
      return onGetColumnWidth(wParam);
    case LVM_INSERTITEMW:
      return onInsertItem(as<const LVITEMW>(lParam));
    case LVM_SETITEMW:
      return onSetItem(as<const LVITEMW>(lParam));
    case LVM_GETITEMW:
      return onGetItem(as<LVITEMW>(lParam));
    case LVM_SETITEMTEXTW:
      return onSetItemText(wParam, as<const LVITEMW>(lParam));
    case LVM_GETITEMTEXTW:
      return onGetItemText(wParam, as<LVITEMW>(lParam));
    case LVM_DELETEITEM:
      return onDeleteItem(wParam);
    case LVM_DELETEALLITEMS:
      return onDeleteAllItems();
    case LVM_SETITEMSTATE:
      return onSetItemState(wParam, as<const LVITEMW>(lParam));
    case LVM_GETITEMSTATE:
      return onGetItemState(wParam, lParam);
    case LVM_GETNEXTITEM:
      return onGetNextItem(wParam, lParam);
    case LVM_GETSELECTEDCOUNT:
      return onGetSelectedCount();
    case LVM_GETSELECTIONMARK:
      return m_mark;
    case LVM_SETSELECTIONMARK:
      return onSetSelectionMark(lParam);
    case LVM_ENSUREVISIBLE:
      return onEnsureVisible(wParam, lParam);
    case LVM_SCROLL:
      return onScroll(lParam);
    case LVM_HITTEST:
      return onHitTest(as<LVHITTESTINFO>(lParam));
    case LVM_GETITEMRECT:
      return onGetItemRect(wParam, as<RECT>(lParam));
    case LVM_GETTOPINDEX:
      return m_bar.pos();
    case LVM_GETCOUNTPERPAGE:
      return m_bar.page();
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
      return onSetExtendedStyle(wParam, lParam);
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return m_exStyle;
    default:
      return DefWindowProcW(m_hwnd, message, wParam, lParam);
  }
}

// One line per row: its texts by column, image and state.
void ListView::describe(std::string& out) const {
  out += "listview rows=" + std::to_string(m_rows.size()) + " mark=" + std::to_string(m_mark) +
         " top=" + std::to_string(m_bar.pos()) + "\n";
  for (size_t i = 0; i < m_rows.size(); ++i) {
    const Row& row = m_rows[i];
    out += "  row " + std::to_string(i);
    for (size_t c = 0; c < std::max<size_t>(1, m_columns.size()); ++c) {
      size_t sub = c < m_columns.size() ? static_cast<size_t>(m_columns[c].subItem) : 0;
      out += " " + commctrl::quotedText(row.text(sub));
    }
    if (m_small) out += " image=" + std::to_string(row.image);
    if (row.state & LVIS_SELECTED) out += " selected";
    if (row.state & LVIS_FOCUSED) out += " focused";
    out += "\n";
  }
}

LRESULT listViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return views().dispatch(hwnd, message, wParam, lParam);
}

}  // namespace

namespace commctrl {

void registerListView() { registerViewClass(WC_LISTVIEWW, listViewProc); }

bool describeListView(HWND hwnd, std::string& out) {
  ListView* view = viewOf(hwnd);
  if (view) view->describe(out);
  return view != nullptr;
}

}  // namespace commctrl
