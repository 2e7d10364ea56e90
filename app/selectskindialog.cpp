#include "app/selectskindialog.h"

#include "ui/dialogsupport.h"
#include "app/settings.h"
#include "app/skinpackages.h"
#include "resources/playerresources.h"

WideString skinDisplayName(WideStringView package) {
  size_t slash = package.rfind(u'\\');
  WideStringView name = slash == WideStringView::npos ? package : package.substr(slash + 1);
  size_t dot = name.rfind(u'.');
  return WideString(dot == WideStringView::npos ? name : name.substr(0, dot));
}

INT_PTR SelectSkinDialog::run() {
  return runFullScreenDialog(m_instance, playerres::kSelectSkinDialog, m_parent, *this);
}

bool SelectSkinDialog::command(HWND dialog, WORD id) {
  switch (id) {
    case IDOK:
      if (done()) EndDialog(dialog, IDOK);
      return true;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return true;
    default:
      return false;
  }
}

void SelectSkinDialog::initialise(HWND dialog) {
  m_dialog = dialog;
  {
    WaitCursor wait;  // the whole device is searched
    m_packages = findSkinPackages(m_settings.scanDepth);
  }
  int selected = 0;
  for (size_t i = 0; i < m_packages.size(); ++i) {
    WideString name = skinDisplayName(m_packages[i]);
    SendDlgItemMessageW(dialog, kSkinList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (equalsIgnoreCase(m_packages[i], m_settings.zipskin)) selected = static_cast<int>(i);
  }
  SendDlgItemMessageW(dialog, kSkinList, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The package in use is unpacked again too: that repairs a skins folder
// whose files were changed or removed. A package that is no archive, or
// holds no skin, would leave the player without one: it is refused before
// the skins folder is touched, and the dialog stays open.
bool SelectSkinDialog::done() {
  LRESULT row = SendDlgItemMessageW(m_dialog, kSkinList, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR || row < 0 || static_cast<size_t>(row) >= m_packages.size()) return true;
  const WideString& package = m_packages[static_cast<size_t>(row)];
  WaitCursor wait;
  if (!holdsSkinDocument(package)) {
    MessageBoxW(m_dialog, kUnusablePackageText, u"Error", MB_OK | MB_ICONSTOP);
    return false;
  }
  installSkinPackage(m_settings, package);
  m_settings.saveAll();
  return true;
}
