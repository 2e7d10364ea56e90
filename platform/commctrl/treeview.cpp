// The tree view ("SysTreeView32"): nodes with text and images under
// expandable branches, a caret selection, plus/minus buttons and dotted lines,
// and label editing in an edit box laid over the node. Each node owns its
// children; parent links are raw back-links. A node's handle is its address,
// checked against the tree's live nodes before use, so a stale handle fails
// instead of reaching freed memory.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/commctrl/treeview.h"
#include "platform/commctrl/viewparts.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/solidpaint.h"

namespace {

using commctrl::ScrollBar;

constexpr int kDefaultIndent = 16;
constexpr int kButtonSize = 9;
constexpr int kTextGap = 3;
constexpr int kMargin = 2;
constexpr size_t kMaxNodes = 1u << 20;
constexpr size_t kMaxLabel = 260;
constexpr UINT kEndEdit = WM_USER + 0x100;  // posted by the edit box: wParam TRUE cancels
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGreyInk = RGB(150, 150, 150);
constexpr COLORREF kLines = RGB(128, 128, 128);
constexpr COLORREF kInactiveSelection = RGB(212, 208, 200);

struct Node {
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  int children = 0;  // cChildren as set, for branches filled later
  LPARAM param = 0;
  UINT state = 0;
  Node* parent = nullptr;  // non-owning back-link; null for roots
  std::vector<std::unique_ptr<Node>> kids;

  bool expanded() const { return (state & TVIS_EXPANDED) != 0; }
  bool hasChildren() const { return !kids.empty() || children > 0; }
};

HTREEITEM handleOf(const Node* node) { return reinterpret_cast<HTREEITEM>(const_cast<Node*>(node)); }

class TreeView {
 public:
  explicit TreeView(HWND hwnd) : m_hwnd(hwnd) {}
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void describe(std::string& out) const;

 private:
  // messages
  LRESULT onPaint();
  LRESULT onDestroy();
  LRESULT onSetFont(WPARAM wParam, LPARAM lParam);
  LRESULT onFocus(bool gained);
  LRESULT onSize();
  LRESULT onPenDown(LPARAM lParam);
  LRESULT onPenMove(LPARAM lParam);
  LRESULT onPenUp(LPARAM lParam);
  LRESULT onKeyDown(WPARAM key);
  LRESULT onInsertItem(const TVINSERTSTRUCTW* insert);
  LRESULT onDeleteItem(LPARAM item);
  LRESULT onExpand(WPARAM code, LPARAM item);
  LRESULT onGetNextItem(WPARAM code, LPARAM item);
  LRESULT onSelectItem(WPARAM code, LPARAM item);
  LRESULT onGetItem(TVITEMW* item) const;
  LRESULT onSetItem(const TVITEMW* item);
  LRESULT onSetImageList(WPARAM which, LPARAM list);
  LRESULT onEnsureVisible(LPARAM item);
  LRESULT onEditLabel(LPARAM item);
  LRESULT onEndEditLabelNow(WPARAM cancel);
  LRESULT onHitTest(TVHITTESTINFO* info);
  LRESULT onGetItemRect(WPARAM textOnly, RECT* rect);
  LRESULT onSetIndent(WPARAM indent);

  // helpers
  DWORD style() const { return static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)); }
  Node* nodeOf(LPARAM handle) const;
  Node* nodeOf(HTREEITEM handle) const { return nodeOf(reinterpret_cast<LPARAM>(handle)); }
  std::vector<std::unique_ptr<Node>>& siblingsOf(Node* node) { return node->parent ? node->parent->kids : m_roots; }
  const std::vector<std::unique_ptr<Node>>& siblingsOf(const Node* node) const {
    return node->parent ? node->parent->kids : m_roots;
  }
  size_t indexOf(const Node* node) const;
  Node* sibling(const Node* node, int step) const;
  int depthOf(const Node* node) const;
  const std::vector<Node*>& visible() const;
  int lineOf(const Node* node) const;
  void changed();
  RECT client() const;
  RECT linesArea() const;
  int lineHeight() const;
  int imageSize() const;
  int levelX(const Node* node) const;
  RECT buttonRect(const Node* node, const RECT& line) const;
  RECT labelRect(const Node* node, const RECT& line) const;
  RECT lineRect(int line) const;
  void refreshScroll();
  void forget(Node* node);
  void removeNode(Node* node);
  bool expand(Node* node, UINT code, UINT action);
  void collapseSiblings(Node* node);
  bool select(Node* node, UINT action);
  void showLine(const Node* node);
  void fillItem(const Node* node, TVITEMW& item, UINT mask) const;
  NMTREEVIEWW treeNotice(UINT action, const Node* oldNode, const Node* newNode) const;
  void endEdit(bool cancel);
  void notifyClick(UINT code);
  void paintLine(HDC dc, const Node* node, const RECT& line) const;
  void paintConnectors(HDC dc, const Node* node, const RECT& line) const;
  void describeNode(const Node* node, int depth, std::string& out) const;

  HWND m_hwnd;
  std::vector<std::unique_ptr<Node>> m_roots;
  std::unordered_set<const Node*> m_live;
  Node* m_caret = nullptr;
  Node* m_editing = nullptr;
  HWND m_edit = nullptr;
  HIMAGELIST m_images = nullptr;
  HIMAGELIST m_stateImages = nullptr;
  HFONT m_font = nullptr;
  int m_indent = kDefaultIndent;
  int m_textHeight = 13;  // the font's line, asked once per font
  ScrollBar m_bar;
  mutable std::vector<Node*> m_visible;
  mutable bool m_visibleStale = true;
};

commctrl::ViewTable<TreeView>& trees() {
  static commctrl::ViewTable<TreeView> all;
  return all;
}

TreeView* treeOf(HWND hwnd) { return trees().find(hwnd); }

template <typename T>
T* as(LPARAM lParam) {
  return reinterpret_cast<T*>(lParam);
}

// ---- structure ---------------------------------------------------------------------

Node* TreeView::nodeOf(LPARAM handle) const {
  auto* node = reinterpret_cast<Node*>(handle);
  return m_live.count(node) ? node : nullptr;
}

size_t TreeView::indexOf(const Node* node) const {
  const auto& list = siblingsOf(node);
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == node) return i;
  return list.size();
}

Node* TreeView::sibling(const Node* node, int step) const {
  const auto& list = siblingsOf(node);
  size_t i = indexOf(node);
  if (step < 0 && i == 0) return nullptr;
  size_t next = step < 0 ? i - 1 : i + 1;
  return next < list.size() ? list[next].get() : nullptr;
}

int TreeView::depthOf(const Node* node) const {
  int depth = 0;
  for (const Node* p = node->parent; p; p = p->parent) ++depth;
  return depth;
}

// The nodes shown as lines, top to bottom: roots and the children of expanded branches.
const std::vector<Node*>& TreeView::visible() const {
  if (!m_visibleStale) return m_visible;
  m_visible.clear();
  std::vector<std::pair<const std::vector<std::unique_ptr<Node>>*, size_t>> stack{{&m_roots, 0}};
  while (!stack.empty()) {
    auto& [list, next] = stack.back();
    if (next >= list->size()) {
      stack.pop_back();
      continue;
    }
    Node* node = (*list)[next++].get();
    m_visible.push_back(node);
    if (node->expanded() && !node->kids.empty()) stack.push_back({&node->kids, 0});
  }
  m_visibleStale = false;
  return m_visible;
}

int TreeView::lineOf(const Node* node) const {
  const auto& lines = visible();
  auto it = std::find(lines.begin(), lines.end(), node);
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

void TreeView::changed() {
  m_visibleStale = true;
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

// ---- geometry ----------------------------------------------------------------------

// The area inside the border, when the view has one.
RECT TreeView::client() const { return commctrl::innerClient(m_hwnd); }

RECT TreeView::linesArea() const { return m_bar.viewArea(client()); }

int TreeView::imageSize() const {
  int cx = 0, cy = 0;
  return ImageList_GetIconSize(m_images, &cx, &cy) ? cx : 0;
}

int TreeView::lineHeight() const {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(m_images, &cx, &cy);
  return std::max(m_textHeight + 3, cy + 1);
}

// Where a node's button column starts.
int TreeView::levelX(const Node* node) const {
  bool rootButtons = (style() & TVS_LINESATROOT) != 0;
  return kMargin + (depthOf(node) + (rootButtons ? 1 : 0) - 1) * m_indent;
}

RECT TreeView::lineRect(int line) const {
  RECT area = linesArea();
  int top = area.top + (line - m_bar.pos()) * lineHeight();
  return RECT{area.left, top, area.right, top + lineHeight()};
}

RECT TreeView::buttonRect(const Node* node, const RECT& line) const {
  int cx = levelX(node) + m_indent / 2, cy = (line.top + line.bottom) / 2;
  return RECT{cx - kButtonSize / 2, cy - kButtonSize / 2, cx - kButtonSize / 2 + kButtonSize,
              cy - kButtonSize / 2 + kButtonSize};
}

RECT TreeView::labelRect(const Node* node, const RECT& line) const {
  int x = levelX(node) + m_indent + (m_images ? imageSize() + kTextGap : 0);
  int width = commctrl::textWidth(m_font, node->text) + 2 * kTextGap;
  return RECT{x, line.top, x + width, line.bottom};
}

void TreeView::refreshScroll() {
  RECT r = client();
  m_bar.setRange(static_cast<int>(visible().size()), std::max(1, static_cast<int>(r.bottom - r.top) / lineHeight()));
}

// ---- changes with notifications ------------------------------------------------------

void TreeView::fillItem(const Node* node, TVITEMW& item, UINT mask) const {
  item.mask = mask;
  item.hItem = handleOf(node);
  if (!node) return;
  item.state = node->state;
  item.stateMask = 0xFFFF;
  item.iImage = node->image;
  item.iSelectedImage = node->selectedImage;
  item.cChildren = node->hasChildren() ? 1 : 0;
  item.lParam = node->param;
  item.pszText = const_cast<LPWSTR>(node->text.c_str());
  item.cchTextMax = static_cast<int>(node->text.size()) + 1;
}

NMTREEVIEWW TreeView::treeNotice(UINT action, const Node* oldNode, const Node* newNode) const {
  NMTREEVIEWW notice{};
  notice.action = action;
  UINT mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_TEXT;
  if (oldNode) fillItem(oldNode, notice.itemOld, mask);
  if (newNode) fillItem(newNode, notice.itemNew, mask);
  return notice;
}

// Expands or collapses with TVN_ITEMEXPANDING (which may refuse) and TVN_ITEMEXPANDED.
bool TreeView::expand(Node* node, UINT code, UINT) {
  UINT want = code & TVE_TOGGLE;
  if (want == TVE_TOGGLE) want = node->expanded() ? TVE_COLLAPSE : TVE_EXPAND;
  if (want != TVE_EXPAND && want != TVE_COLLAPSE) return false;
  if (!node->hasChildren()) return false;
  if ((want == TVE_EXPAND) == node->expanded()) return true;
  NMTREEVIEWW notice = treeNotice(want, nullptr, node);
  if (commctrl::sendNotify(m_hwnd, notice.hdr, TVN_ITEMEXPANDINGW)) return false;
  if (!nodeOf(handleOf(node))) return false;
  if (want == TVE_EXPAND) {
    if (style() & TVS_SINGLEEXPAND) collapseSiblings(node);
    node->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  } else {
    node->state &= ~TVIS_EXPANDED;
    // A caret hidden inside the collapsed branch moves up to it.
    for (Node* p = m_caret ? m_caret->parent : nullptr; p; p = p->parent)
      if (p == node) {
        select(node, TVC_UNKNOWN);
        break;
      }
  }
  changed();
  notice = treeNotice(want, nullptr, node);
  commctrl::sendNotify(m_hwnd, notice.hdr, TVN_ITEMEXPANDEDW);
  return true;
}

void TreeView::collapseSiblings(Node* node) {
  std::vector<Node*> open;
  for (auto& s : siblingsOf(node))
    if (s.get() != node && s->expanded()) open.push_back(s.get());
  for (Node* s : open)
    if (nodeOf(handleOf(s))) expand(s, TVE_COLLAPSE, TVC_UNKNOWN);
}

// Moves the caret with TVN_SELCHANGING (which may refuse) and TVN_SELCHANGED.
bool TreeView::select(Node* node, UINT action) {
  if (node == m_caret) {
    if (node) showLine(node);
    return true;
  }
  NMTREEVIEWW notice = treeNotice(action, m_caret, node);
  if (commctrl::sendNotify(m_hwnd, notice.hdr, TVN_SELCHANGINGW)) return false;
  if (node && !nodeOf(handleOf(node))) return false;
  Node* old = m_caret && nodeOf(handleOf(m_caret)) ? m_caret : nullptr;
  if (old) old->state &= ~(TVIS_SELECTED | TVIS_FOCUSED);
  m_caret = node;
  if (node) {
    node->state |= TVIS_SELECTED | TVIS_FOCUSED;
    showLine(node);
  }
  InvalidateRect(m_hwnd, nullptr, FALSE);
  notice = treeNotice(action, old, node);
  commctrl::sendNotify(m_hwnd, notice.hdr, TVN_SELCHANGEDW);
  return true;
}

// Expands the node's ancestors and scrolls its line into view.
void TreeView::showLine(const Node* node) {
  std::vector<Node*> ancestors;
  for (Node* p = node->parent; p; p = p->parent) ancestors.push_back(p);
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
    if (!(*it)->expanded()) expand(*it, TVE_EXPAND, TVC_UNKNOWN);
  int line = lineOf(node);
  if (line < 0) return;
  int page = std::max(1, m_bar.page());
  int top = line < m_bar.pos() ? line : line >= m_bar.pos() + page ? line - page + 1 : m_bar.pos();
  if (m_bar.setPos(top)) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void TreeView::forget(Node* node) {
  for (auto& kid : node->kids) forget(kid.get());
  NMTREEVIEWW notice = treeNotice(0, node, nullptr);
  commctrl::sendNotify(m_hwnd, notice.hdr, TVN_DELETEITEMW);
  m_live.erase(node);
}

// Takes a node and its branch out; the caret moves to a neighbour, as the pen would expect.
void TreeView::removeNode(Node* node) {
  if (m_editing) {
    for (Node* p = m_editing; p; p = p->parent)
      if (p == node) {
        endEdit(true);
        break;
      }
  }
  bool caretInside = false;
  for (Node* p = m_caret; p; p = p->parent) caretInside |= p == node;
  Node* next = sibling(node, 1);
  if (!next) next = sibling(node, -1);
  if (!next) next = node->parent;
  forget(node);
  auto& list = siblingsOf(node);
  size_t index = indexOf(node);
  auto owned = std::move(list[index]);
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
  if (caretInside) m_caret = nullptr;
  owned.reset();
  changed();
  if (caretInside && next) select(next, TVC_UNKNOWN);
}

// ---- label editing ---------------------------------------------------------------------

LRESULT editBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongW(edit, GWL_USERDATA));
  HWND tree = GetParent(edit);
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        PostMessageW(tree, kEndEdit, wParam == VK_ESCAPE ? TRUE : FALSE, reinterpret_cast<LPARAM>(edit));
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) return 0;
      break;
    case WM_KILLFOCUS:
      PostMessageW(tree, kEndEdit, FALSE, reinterpret_cast<LPARAM>(edit));
      break;
    default:
      break;
  }
  return previous ? CallWindowProcW(previous, edit, message, wParam, lParam)
                  : DefWindowProcW(edit, message, wParam, lParam);
}

// The edit box is gone before TVN_ENDLABELEDIT is sent, so the parent may start
// a new edit from inside the notification.
void TreeView::endEdit(bool cancel) {
  if (!m_edit) return;
  HWND edit = std::exchange(m_edit, nullptr);
  Node* node = std::exchange(m_editing, nullptr);
  std::u16string text(static_cast<size_t>(std::max(0, GetWindowTextLengthW(edit))), u'\0');
  if (!text.empty()) GetWindowTextW(edit, text.data(), static_cast<int>(text.size()) + 1);
  DestroyWindow(edit);
  if (!nodeOf(handleOf(node))) return;
  NMTVDISPINFOW notice{};
  fillItem(node, notice.item, TVIF_HANDLE | TVIF_PARAM | TVIF_STATE | TVIF_TEXT);
  notice.item.pszText = cancel ? nullptr : text.data();
  notice.item.cchTextMax = cancel ? 0 : static_cast<int>(text.size()) + 1;
  LRESULT accepted = commctrl::sendNotify(m_hwnd, notice.hdr, TVN_ENDLABELEDITW);
  if (cancel || !accepted || !treeOf(m_hwnd) || !nodeOf(handleOf(node))) return;
  node->text = text.substr(0, kMaxLabel);
  changed();
}

LRESULT TreeView::onEditLabel(LPARAM item) {
  Node* node = nodeOf(item);
  if (!node) return 0;
  endEdit(false);
  if (!nodeOf(handleOf(node))) return 0;
  NMTVDISPINFOW notice{};
  fillItem(node, notice.item, TVIF_HANDLE | TVIF_PARAM | TVIF_STATE | TVIF_TEXT);
  if (commctrl::sendNotify(m_hwnd, notice.hdr, TVN_BEGINLABELEDITW)) return 0;
  if (!nodeOf(handleOf(node)) || m_edit) return reinterpret_cast<LRESULT>(m_edit);
  select(node, TVC_UNKNOWN);
  showLine(node);
  RECT label = labelRect(node, lineRect(lineOf(node))), area = linesArea();
  int width = std::max<int>(label.right - label.left + 40, 80);
  label.right = std::min<LONG>(area.right, label.left + width);
  HWND edit =
      CreateWindowExW(0, u"EDIT", node->text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, label.left - 1, label.top,
                      label.right - label.left + 1, label.bottom - label.top, m_hwnd, nullptr, nullptr, nullptr);
  if (!edit) return 0;
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font ? m_font : commctrl::dialogFont()), FALSE);
  SendMessageW(edit, EM_SETSEL, 0, -1);  // the whole label, so that typing replaces it
  SetWindowLongW(edit, GWL_USERDATA, GetWindowLongW(edit, GWL_WNDPROC));
  SetWindowLongW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(editBoxProc));
  m_edit = edit;
  m_editing = node;
  SetFocus(edit);
  return reinterpret_cast<LRESULT>(edit);
}

LRESULT TreeView::onEndEditLabelNow(WPARAM cancel) {
  endEdit(cancel != 0);
  return TRUE;
}

// ---- painting -------------------------------------------------------------------------

void TreeView::paintConnectors(HDC dc, const Node* node, const RECT& line) const {
  if (!(style() & TVS_HASLINES)) return;
  bool atRoot = !node->parent;
  if (atRoot && !(style() & TVS_LINESATROOT)) return;
  int cx = levelX(node) + m_indent / 2, cy = (line.top + line.bottom) / 2;
  auto dotsDown = [&](int x, int from, int to) {
    for (int y = from; y < to; y += 2) SetPixel(dc, x, y, kLines);
  };
  for (int x = cx; x < cx + m_indent / 2 + 1; x += 2) SetPixel(dc, x, cy, kLines);
  bool first = !node->parent && indexOf(node) == 0;
  dotsDown(cx, first ? cy : static_cast<int>(line.top), sibling(node, 1) ? static_cast<int>(line.bottom) : cy);
  // The ancestors' lines pass through this line while they have later siblings.
  for (const Node* p = node->parent; p; p = p->parent) {
    if (!p->parent && !(style() & TVS_LINESATROOT)) break;
    if (sibling(p, 1)) dotsDown(levelX(p) + m_indent / 2, line.top, line.bottom);
  }
}

void TreeView::paintLine(HDC dc, const Node* node, const RECT& line) const {
  paintConnectors(dc, node, line);
  if ((style() & TVS_HASBUTTONS) && node->hasChildren() && (node->parent || (style() & TVS_LINESATROOT))) {
    RECT b = buttonRect(node, line);
    fillSolid(dc, b, kWhite);
    frameSolid(dc, b, kLines);
    int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    fillSolid(dc, RECT{b.left + 2, cy, b.right - 2, cy + 1}, kInk);
    if (!node->expanded()) fillSolid(dc, RECT{cx, b.top + 2, cx + 1, b.bottom - 2}, kInk);
  }
  int x = levelX(node) + m_indent;
  bool selected = node == m_caret;
  bool focused = GetFocus() == m_hwnd;
  if (m_images) {
    int top = line.top + (line.bottom - line.top - imageSize()) / 2;
    ImageList_Draw(m_images, selected ? node->selectedImage : node->image, dc, x, top, ILD_NORMAL);
  }
  RECT label = labelRect(node, line);
  bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
  COLORREF ink = enabled ? kInk : kGreyInk;
  if (selected && (focused || (style() & TVS_SHOWSELALWAYS)) && node != m_editing) {
    fillSolid(dc, label, focused ? GetSysColor(COLOR_HIGHLIGHT) : kInactiveSelection);
    if (focused && enabled) ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
    if (focused) commctrl::drawFocusFrame(dc, label);
  }
  SetTextColor(dc, ink);
  RECT text{label.left + kTextGap, label.top, label.right, label.bottom};
  DrawTextW(dc, node->text.c_str(), static_cast<int>(node->text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

LRESULT TreeView::onPaint() {
  PaintScope paint(m_hwnd);
  HDC dc = paint.dc();
  const RECT& due = paint.area();
  {
    SelectedObject font(dc, m_font ? m_font : commctrl::dialogFont());
    SetBkMode(dc, TRANSPARENT);
    RECT area = linesArea();
    fillSolid(dc, area, kWhite);
    commctrl::paintBorder(m_hwnd, dc);
    m_bar.paint(dc, client(), IsWindowEnabled(m_hwnd) != FALSE);
    // Lines never paint over the bar; the clip lasts until EndPaint.
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    const auto& lines = visible();
    int first = std::max(m_bar.pos(), m_bar.pos() + static_cast<int>(due.top - area.top) / lineHeight());
    for (int i = first; i < static_cast<int>(lines.size()); ++i) {
      RECT line = lineRect(i);
      if (line.top >= std::min(area.bottom, due.bottom)) break;
      paintLine(dc, lines[static_cast<size_t>(i)], line);
    }
  }
  return 0;
}

// ---- window messages -------------------------------------------------------------------

LRESULT TreeView::onDestroy() {
  if (m_edit) DestroyWindow(std::exchange(m_edit, nullptr));
  m_editing = nullptr;
  return 0;
}

LRESULT TreeView::onSetFont(WPARAM wParam, LPARAM lParam) {
  m_font = reinterpret_cast<HFONT>(wParam);
  m_textHeight = commctrl::lineHeight(m_font);
  refreshScroll();
  if (lParam) InvalidateRect(m_hwnd, nullptr, FALSE);
  return 0;
}

LRESULT TreeView::onFocus(bool gained) {
  InvalidateRect(m_hwnd, nullptr, FALSE);
  NMHDR notice{};
  commctrl::sendNotify(m_hwnd, notice, gained ? NM_SETFOCUS : NM_KILLFOCUS);
  return 0;
}

LRESULT TreeView::onSize() {
  refreshScroll();
  InvalidateRect(m_hwnd, nullptr, FALSE);
  return 0;
}

void TreeView::notifyClick(UINT code) {
  NMHDR notice{};
  commctrl::sendNotify(m_hwnd, notice, code);
}

LRESULT TreeView::onPenDown(LPARAM lParam) {
  if (!IsWindowEnabled(m_hwnd)) return 0;
  POINT p = commctrl::pointOf(lParam);
  if (m_edit) endEdit(false);
  SetFocus(m_hwnd);
  SetCapture(m_hwnd);
  if (m_bar.penDown(m_hwnd, p, client())) return 0;
  TVHITTESTINFO hit{p, 0, nullptr};
  Node* node = nodeOf(reinterpret_cast<HTREEITEM>(onHitTest(&hit)));
  if (!node) return 0;
  if (hit.flags & TVHT_ONITEMBUTTON) {
    expand(node, TVE_TOGGLE, TVC_BYMOUSE);
    return 0;
  }
  bool wasCaret = node == m_caret;
  if (!select(node, TVC_BYMOUSE)) return 0;
  if ((style() & TVS_SINGLEEXPAND) && nodeOf(handleOf(node)))
    expand(node, wasCaret ? TVE_TOGGLE : TVE_EXPAND, TVC_BYMOUSE);
  return 0;
}

LRESULT TreeView::onPenMove(LPARAM lParam) {
  m_bar.penMove(m_hwnd, commctrl::pointOf(lParam), client());
  return 0;
}

LRESULT TreeView::onPenUp(LPARAM) {
  if (GetCapture() == m_hwnd) ReleaseCapture();
  if (m_bar.penUp(m_hwnd)) return 0;
  notifyClick(NM_CLICK);
  return 0;
}

LRESULT TreeView::onKeyDown(WPARAM key) {
  const auto& lines = visible();
  if (lines.empty()) return 0;
  int line = m_caret ? lineOf(m_caret) : -1;
  auto at = [&](int i) { return lines[static_cast<size_t>(std::clamp(i, 0, static_cast<int>(lines.size()) - 1))]; };
  switch (key) {
    case VK_UP:
      select(at(line - 1), TVC_BYKEYBOARD);
      break;
    case VK_DOWN:
      select(at(line + 1), TVC_BYKEYBOARD);
      break;
    case VK_HOME:
      select(at(0), TVC_BYKEYBOARD);
      break;
    case VK_END:
      select(at(static_cast<int>(lines.size()) - 1), TVC_BYKEYBOARD);
      break;
    case VK_LEFT:
      if (m_caret && m_caret->expanded())
        expand(m_caret, TVE_COLLAPSE, TVC_BYKEYBOARD);
      else if (m_caret && m_caret->parent)
        select(m_caret->parent, TVC_BYKEYBOARD);
      break;
    case VK_RIGHT:
      if (m_caret && !m_caret->expanded())
        expand(m_caret, TVE_EXPAND, TVC_BYKEYBOARD);
      else if (m_caret && !m_caret->kids.empty())
        select(m_caret->kids.front().get(), TVC_BYKEYBOARD);
      break;
    case VK_RETURN:
      notifyClick(NM_RETURN);
      break;
    default:
      break;
  }
  return 0;
}

// ---- tree view messages ------------------------------------------------------------------

LRESULT TreeView::onInsertItem(const TVINSERTSTRUCTW* insert) {
  if (!insert || m_live.size() >= kMaxNodes) return 0;
  Node* parent = nullptr;
  if (insert->hParent && insert->hParent != TVI_ROOT && !(parent = nodeOf(insert->hParent))) return 0;
  auto node = std::make_unique<Node>();
  const TVITEMW& item = insert->item;
  if ((item.mask & TVIF_TEXT) && item.pszText) node->text = std::u16string(item.pszText).substr(0, kMaxLabel);
  if (item.mask & TVIF_IMAGE) node->image = item.iImage;
  if (item.mask & TVIF_SELECTEDIMAGE) node->selectedImage = item.iSelectedImage;
  if (item.mask & TVIF_PARAM) node->param = item.lParam;
  if (item.mask & TVIF_CHILDREN) node->children = item.cChildren;
  if (item.mask & TVIF_STATE) node->state = item.state & item.stateMask & ~(TVIS_SELECTED | TVIS_FOCUSED);
  node->parent = parent;
  auto& list = parent ? parent->kids : m_roots;
  size_t at = list.size();
  if (insert->hInsertAfter == TVI_FIRST) {
    at = 0;
  } else if (insert->hInsertAfter == TVI_SORT) {
    at = static_cast<size_t>(
        std::upper_bound(list.begin(), list.end(), node->text,
                         [](const std::u16string& t, const std::unique_ptr<Node>& n) { return t < n->text; }) -
        list.begin());
  } else if (Node* after = nodeOf(insert->hInsertAfter); after && after->parent == parent) {
    at = indexOf(after) + 1;
  }
  Node* raw = node.get();
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
  m_live.insert(raw);
  changed();
  return reinterpret_cast<LRESULT>(handleOf(raw));
}

LRESULT TreeView::onDeleteItem(LPARAM item) {
  if (!item || reinterpret_cast<HTREEITEM>(item) == TVI_ROOT) {
    while (!m_roots.empty()) removeNode(m_roots.back().get());
    return TRUE;
  }
  Node* node = nodeOf(item);
  if (!node) return FALSE;
  removeNode(node);
  return TRUE;
}

LRESULT TreeView::onExpand(WPARAM code, LPARAM item) {
  Node* node = nodeOf(item);
  if (!node) return FALSE;
  if (code & TVE_COLLAPSERESET) {
    bool done = expand(node, TVE_COLLAPSE, TVC_UNKNOWN);
    while (!node->kids.empty()) removeNode(node->kids.back().get());
    node->state &= ~TVIS_EXPANDEDONCE;
    return done;
  }
  return expand(node, static_cast<UINT>(code), TVC_UNKNOWN) ? TRUE : FALSE;
}

LRESULT TreeView::onGetNextItem(WPARAM code, LPARAM item) {
  Node* node = nodeOf(item);
  auto answer = [](const Node* n) { return reinterpret_cast<LRESULT>(n ? handleOf(n) : nullptr); };
  const auto& lines = visible();
  switch (code) {
    case TVGN_ROOT:
      return answer(m_roots.empty() ? nullptr : m_roots.front().get());
    case TVGN_CARET:
      return answer(m_caret);
    case TVGN_FIRSTVISIBLE:
      return answer(static_cast<size_t>(m_bar.pos()) < lines.size() ? lines[static_cast<size_t>(m_bar.pos())]
                                                                    : nullptr);
    case TVGN_DROPHILITE:
      return 0;
    default:
      break;
  }
  if (!node) return 0;
  switch (code) {
    case TVGN_NEXT:
      return answer(sibling(node, 1));
    case TVGN_PREVIOUS:
      return answer(sibling(node, -1));
    case TVGN_PARENT:
      return answer(node->parent);
    case TVGN_CHILD:
      return answer(node->kids.empty() ? nullptr : node->kids.front().get());
    case TVGN_NEXTVISIBLE: {
      int line = lineOf(node);
      return answer(line >= 0 && static_cast<size_t>(line) + 1 < lines.size() ? lines[static_cast<size_t>(line) + 1]
                                                                              : nullptr);
    }
    case TVGN_PREVIOUSVISIBLE: {
      int line = lineOf(node);
      return answer(line > 0 ? lines[static_cast<size_t>(line) - 1] : nullptr);
    }
    default:
      return 0;
  }
}

LRESULT TreeView::onSelectItem(WPARAM code, LPARAM item) {
  Node* node = nodeOf(item);
  if (item && !node) return FALSE;
  if (code == TVGN_FIRSTVISIBLE) {
    if (!node) return FALSE;
    showLine(node);
    if (m_bar.setPos(lineOf(node))) InvalidateRect(m_hwnd, nullptr, FALSE);
    return TRUE;
  }
  if (code == TVGN_DROPHILITE) return TRUE;
  return select(node, TVC_UNKNOWN) ? TRUE : FALSE;
}

LRESULT TreeView::onGetItem(TVITEMW* item) const {
  if (!item) return FALSE;
  Node* node = nodeOf(item->hItem);
  if (!node) return FALSE;
  if (item->mask & TVIF_TEXT) {
    if (!item->pszText || item->cchTextMax <= 0) return FALSE;
    size_t n = std::min(node->text.size(), static_cast<size_t>(item->cchTextMax) - 1);
    std::copy_n(node->text.begin(), n, item->pszText);
    item->pszText[n] = 0;
  }
  if (item->mask & TVIF_IMAGE) item->iImage = node->image;
  if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = node->selectedImage;
  if (item->mask & TVIF_PARAM) item->lParam = node->param;
  if (item->mask & TVIF_STATE) item->state = node->state & item->stateMask;
  if (item->mask & TVIF_CHILDREN) item->cChildren = node->hasChildren() ? 1 : 0;
  return TRUE;
}

LRESULT TreeView::onSetItem(const TVITEMW* item) {
  if (!item) return FALSE;
  Node* node = nodeOf(item->hItem);
  if (!node) return FALSE;
  if ((item->mask & TVIF_TEXT) && item->pszText) node->text = std::u16string(item->pszText).substr(0, kMaxLabel);
  if (item->mask & TVIF_IMAGE) node->image = item->iImage;
  if (item->mask & TVIF_SELECTEDIMAGE) node->selectedImage = item->iSelectedImage;
  if (item->mask & TVIF_PARAM) node->param = item->lParam;
  if (item->mask & TVIF_CHILDREN) node->children = item->cChildren;
  if (item->mask & TVIF_STATE) {
    // Selection belongs to the caret; expansion set here sends nothing, as published.
    UINT mask = item->stateMask & ~(TVIS_SELECTED | TVIS_FOCUSED);
    node->state = (node->state & ~mask) | (item->state & mask);
  }
  changed();
  return TRUE;
}

LRESULT TreeView::onSetImageList(WPARAM which, LPARAM list) {
  HIMAGELIST& slot = which == static_cast<WPARAM>(TVSIL_STATE) ? m_stateImages : m_images;
  HIMAGELIST old = std::exchange(slot, reinterpret_cast<HIMAGELIST>(list));
  changed();
  return reinterpret_cast<LRESULT>(old);
}

LRESULT TreeView::onEnsureVisible(LPARAM item) {
  Node* node = nodeOf(item);
  if (!node) return FALSE;
  showLine(node);
  return TRUE;
}

LRESULT TreeView::onHitTest(TVHITTESTINFO* info) {
  if (!info) return 0;
  info->hItem = nullptr;
  RECT area = linesArea();
  POINT p = info->pt;
  if (p.y < area.top)
    info->flags = TVHT_ABOVE;
  else if (p.y >= area.bottom)
    info->flags = TVHT_BELOW;
  else if (p.x < area.left)
    info->flags = TVHT_TOLEFT;
  else if (p.x >= area.right)
    info->flags = TVHT_TORIGHT;
  else
    info->flags = TVHT_NOWHERE;
  if (info->flags != TVHT_NOWHERE) return 0;
  int line = m_bar.pos() + (p.y - area.top) / lineHeight();
  const auto& lines = visible();
  if (line < 0 || static_cast<size_t>(line) >= lines.size()) return 0;
  Node* node = lines[static_cast<size_t>(line)];
  RECT r = lineRect(line);
  info->hItem = handleOf(node);
  int imageLeft = levelX(node) + m_indent;
  RECT label = labelRect(node, r);
  if (p.x < levelX(node))
    info->flags = TVHT_ONITEMINDENT;
  else if (p.x < imageLeft)
    info->flags = node->hasChildren() ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  else if (m_images && p.x < imageLeft + imageSize())
    info->flags = TVHT_ONITEMICON;
  else if (p.x < label.right)
    info->flags = TVHT_ONITEMLABEL;
  else
    info->flags = TVHT_ONITEMRIGHT;
  return reinterpret_cast<LRESULT>(info->hItem);
}

LRESULT TreeView::onGetItemRect(WPARAM textOnly, RECT* rect) {
  if (!rect) return FALSE;
  HTREEITEM handle;
  std::memcpy(&handle, rect, sizeof handle);
  Node* node = nodeOf(handle);
  int line = node ? lineOf(node) : -1;
  if (line < 0) return FALSE;
  *rect = textOnly ? labelRect(node, lineRect(line)) : lineRect(line);
  return TRUE;
}

LRESULT TreeView::onSetIndent(WPARAM indent) {
  m_indent = std::clamp(static_cast<int>(indent), kButtonSize + 2, 64);
  changed();
  return 0;
}

LRESULT TreeView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return onSetFont(0, FALSE);
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
      return InvalidateRect(m_hwnd, nullptr, FALSE);
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
    case kEndEdit:
      return reinterpret_cast<HWND>(lParam) == m_edit ? onEndEditLabelNow(wParam) : 0;
    case TVM_INSERTITEMW:
      return onInsertItem(as<const TVINSERTSTRUCTW>(lParam));
    case TVM_DELETEITEM:
      return onDeleteItem(lParam);
    case TVM_EXPAND:
      return onExpand(wParam, lParam);
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(m_live.size());
    case TVM_GETINDENT:
      return m_indent;
    case TVM_SETINDENT:
      return onSetIndent(wParam);
    case TVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? m_stateImages : m_images);
    case TVM_SETIMAGELIST:
      return onSetImageList(wParam, lParam);
    case TVM_GETNEXTITEM:
      return onGetNextItem(wParam, lParam);
    case TVM_SELECTITEM:
      return onSelectItem(wParam, lParam);
    case TVM_GETITEMW:
      return onGetItem(as<TVITEMW>(lParam));
    case TVM_SETITEMW:
      return onSetItem(as<const TVITEMW>(lParam));
    case TVM_GETEDITCONTROL:
      return reinterpret_cast<LRESULT>(m_edit);
    case TVM_GETVISIBLECOUNT:
      return m_bar.page();
    case TVM_HITTEST:
      return onHitTest(as<TVHITTESTINFO>(lParam));
    case TVM_GETITEMRECT:
      return onGetItemRect(wParam, as<RECT>(lParam));
    case TVM_ENSUREVISIBLE:
      return onEnsureVisible(lParam);
    case TVM_EDITLABELW:
      return onEditLabel(lParam);
    case TVM_ENDEDITLABELNOW:
      return onEndEditLabelNow(wParam);
    default:
      return DefWindowProcW(m_hwnd, message, wParam, lParam);
  }
}

void TreeView::describeNode(const Node* node, int depth, std::string& out) const {
  out += std::string(static_cast<size_t>(depth) * 2 + 2, ' ') + "node " + commctrl::quotedText(node->text);
  if (m_images) out += " image=" + std::to_string(node == m_caret ? node->selectedImage : node->image);
  if (node == m_caret) out += " selected";
  if (node->expanded()) out += " expanded";
  if (node == m_editing) out += " editing";
  out += "\n";
  for (const auto& kid : node->kids) describeNode(kid.get(), depth + 1, out);
}

void TreeView::describe(std::string& out) const {
  out += "treeview nodes=" + std::to_string(m_live.size()) + "\n";
  for (const auto& root : m_roots) describeNode(root.get(), 0, out);
}

LRESULT treeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return trees().dispatch(hwnd, message, wParam, lParam);
}

}  // namespace

namespace commctrl {

void registerTreeView() { registerViewClass(WC_TREEVIEWW, treeViewProc); }

bool describeTreeView(HWND hwnd, std::string& out) {
  TreeView* tree = treeOf(hwnd);
  if (tree) tree->describe(out);
  return tree != nullptr;
}

}  // namespace commctrl
