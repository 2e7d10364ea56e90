#pragma once
// The "Key Mapping" dialog: pick an action in the drop-down list, then press
// a hardware button to bind it. The drop-down list's procedure is replaced by
// a key catcher for as long as the dialog is open, so the direction pad and
// the application buttons bind instead of moving the selection. The dialog
// edits the live key map; the caller saves it after Done.

#include <vector>

#include "app/keymap.h"
#include "platform/core/winuser.h"

class Settings;

inline constexpr int kActionList = 1004;
inline constexpr int kBindingList = 1005;
inline constexpr int kHideFlashMenuCheckBox = 1009;
inline constexpr int kRestoreMovieButton = 1024;
inline constexpr int kRestoreGameButton = 1025;

// The list's rows: button name and action name of every binding both tables
// name, sorted by button name as the list shows them.
struct BindingRow {
  const char16_t* button;
  const char16_t* action;
};
std::vector<BindingRow> bindingRows(const KeyMap& map);

class KeyMappingDialog {
 public:
  KeyMappingDialog(HINSTANCE instance, HWND parent, Settings& settings)
      : m_instance(instance), m_parent(parent), m_settings(settings) {}
  // Shows template 110 modally. 1 after Done, which also takes the check
  // box into showFlashMenu; 2 after a cancel, which puts the key map and
  // the option back as they were.
  INT_PTR run();

 private:
  static BOOL procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT keyCatcher(HWND combo, UINT message, WPARAM wParam, LPARAM lParam);
  void initialise(HWND dialog);
  void addColumns(HWND list);
  void fillList();
  void catchKey(int key);
  void restore(BuiltInKeySet set);
  void close(int result);

  HINSTANCE m_instance;
  HWND m_parent;
  Settings& m_settings;
  HWND m_dialog = nullptr;
  HWND m_combo = nullptr;
  WNDPROC m_comboProcedure = nullptr;  // the drop-down list's own, put back on close
  KeyMap m_before;
  bool m_showFlashMenuBefore = false;
};
