#include "app/keymappingdialog.h"

#include <algorithm>

#include "ui/dialogsupport.h"
#include "app/settings.h"
#include "platform/commctrl/commctrl.h"
#include "resources/playerresources.h"

namespace {

// The open dialog, for its key catcher (one "Key Mapping" dialog at a time).
KeyMappingDialog* g_open = nullptr;

constexpr int kButtonColumnWidth = 70;
constexpr int kActionColumnWidth = 130;

}  // namespace

std::vector<BindingRow> bindingRows(const KeyMap& map) {
  std::vector<BindingRow> rows;
  for (const auto& [key, action] : map.bindings()) {
    const char16_t* button = buttonName(key);
    const char16_t* name = actionName(action);
    if (button && name) rows.push_back({button, name});
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const BindingRow& a, const BindingRow& b) { return compareIgnoreCase(a.button, b.button) < 0; });
  return rows;
}

INT_PTR KeyMappingDialog::run() {
  m_before = m_settings.keyMap;
  m_showFlashMenuBefore = m_settings.showFlashMenu;
  return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(playerres::kKeyMappingDialog), m_parent, procedure,
                         reinterpret_cast<LPARAM>(this));
}

BOOL KeyMappingDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = dialogObject<KeyMappingDialog>(dialog, message, lParam);
  if (!self) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      self->initialise(dialog);
      return FALSE;  // the focus is set on the drop-down list
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kRestoreMovieButton:
          self->restore(BuiltInKeySet::Movie);
          return TRUE;
        case kRestoreGameButton:
          self->restore(BuiltInKeySet::Game);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          self->close(LOWORD(wParam));
          return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      // The list only shows the bindings: the buttons keep reaching the catcher.
      auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == kBindingList && header->code == NM_SETFOCUS) SetFocus(self->m_combo);
      return FALSE;
    }
    case WM_DESTROY:
      if (self->m_combo && self->m_comboProcedure)
        SetWindowLongW(self->m_combo, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_comboProcedure));
      if (g_open == self) g_open = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void KeyMappingDialog::initialise(HWND dialog) {
  m_dialog = dialog;
  g_open = this;
  initFullScreenDialog(dialog);
  m_combo = GetDlgItem(dialog, kActionList);
  for (const KeyTableRow& row : actionTable) SendMessageW(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.name));
  SendMessageW(m_combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  m_comboProcedure =
      reinterpret_cast<WNDPROC>(SetWindowLongW(m_combo, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&keyCatcher)));
  HWND list = GetDlgItem(dialog, kBindingList);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  addColumns(list);
  fillList();
  // Checked means hidden: the box shows the option the other way round.
  CheckDlgButton(dialog, kHideFlashMenuCheckBox, m_settings.showFlashMenu ? BST_UNCHECKED : BST_CHECKED);
  SetFocus(m_combo);
}

void KeyMappingDialog::addColumns(HWND list) {
  for (int width : {kButtonColumnWidth, kActionColumnWidth}) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    int index = width == kButtonColumnWidth ? 0 : 1;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
  }
}

void KeyMappingDialog::fillList() {
  HWND list = GetDlgItem(m_dialog, kBindingList);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  int index = 0;
  for (const BindingRow& row : bindingRows(m_settings.keyMap)) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index++;
    item.pszText = const_cast<LPWSTR>(row.button);
    int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) continue;
    LVITEMW second{};
    second.iSubItem = 1;
    second.pszText = const_cast<LPWSTR>(row.action);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&second));
  }
}

// Every key-down but Return is the user's answer to "push the hardware
// button"; the drop-down list never sees it.
LRESULT KeyMappingDialog::keyCatcher(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
  KeyMappingDialog* self = g_open;
  if (!self || !self->m_comboProcedure) return DefWindowProcW(combo, message, wParam, lParam);
  if (message == WM_KEYDOWN && wParam != VK_RETURN) {
    self->catchKey(static_cast<int>(wParam));
    return 0;
  }
  return CallWindowProcW(self->m_comboProcedure, combo, message, wParam, lParam);
}

void KeyMappingDialog::catchKey(int key) {
  if (!buttonName(key)) return;
  LRESULT selected = SendMessageW(m_combo, CB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) >= actionTable.size()) return;
  int action = actionTable[static_cast<size_t>(selected)].code;
  if (action == kNoAction)
    m_settings.keyMap.remove(key);
  else
    m_settings.keyMap.set(key, action);
  fillList();
}

void KeyMappingDialog::restore(BuiltInKeySet set) {
  m_settings.keyMap.restore(set);
  fillList();
  SetFocus(m_combo);  // the next button press binds again
}

void KeyMappingDialog::close(int result) {
  if (result == IDOK) {
    m_settings.showFlashMenu = IsDlgButtonChecked(m_dialog, kHideFlashMenuCheckBox) != BST_CHECKED;
  } else {
    m_settings.keyMap = m_before;
    m_settings.showFlashMenu = m_showFlashMenuBefore;
  }
  EndDialog(m_dialog, result);
}
