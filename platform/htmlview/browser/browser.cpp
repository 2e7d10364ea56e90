#include "platform/htmlview/browser/browser.h"

#include <memory>
#include <utility>

#include "platform/commctrl/commctrl.h"
#include "platform/core/resource.h"
#include "platform/core/shellapi.h"
#include "platform/core/winbase.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/htmlview/browser/pagefile.h"
#include "platform/htmlview/htmlctrl.h"
#include "platform/image/richimage.h"
#include "platform/shell/aygshell.h"

namespace browser {

namespace {

constexpr UINT kMenuBarId = 100;
constexpr UINT kBackString = 102;
constexpr UINT kNavigate = WM_APP + 1;  // follows the link noted from a notification
constexpr DWORD kMaxPageBytes = 4u << 20;
constexpr char16_t kCaption[] = u"Browser";

const res::ModuleResources& resources() {
  static const res::ModuleResources table{
      {{kBackString, u"Back"}},
      {},
      {},
      {},
      {},
      {{kMenuBarId,
        0,
        {{I_IMAGENONE, kBackCommand, TBSTATE_ENABLED, TBSTYLE_BUTTON | TBSTYLE_AUTOSIZE, kBackString, 0}}}},
      {}};
  return table;
}

// A device file's bytes; false when it cannot be read.
bool readDeviceFile(const std::u16string& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<void, decltype(&CloseHandle)> closer(file, CloseHandle);
  DWORD size = GetFileSize(file, nullptr);
  if (size == 0xFFFFFFFF || size > kMaxPageBytes) return false;
  bytes.resize(size);
  DWORD read = 0;
  if (size > 0 && !ReadFile(file, bytes.data(), size, &read, nullptr)) return false;
  bytes.resize(read);
  return true;
}

std::u16string fileNameOf(const std::u16string& path) {
  size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

class Browser {
 public:
  Browser(HWND window, HINSTANCE instance) : m_window(window), m_instance(instance) {}

  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void create();
  void open(const std::u16string& path, bool remember);
  const std::u16string& page() const { return m_page; }
  size_t backDepth() const { return m_history.size(); }
  HWND window() const { return m_window; }

 private:
  void show(const std::u16string& text, bool plain);
  void back();
  void follow(const std::u16string& href);
  void answerPicture(const NM_HTMLVIEW& nm);
  void onNotify(const NM_HTMLVIEW& nm);
  void updateBack();
  void showAnchor(const std::u16string& anchor);

  HWND m_window;
  HINSTANCE m_instance;
  HWND m_viewer = nullptr;
  HWND m_bar = nullptr;
  std::u16string m_page;
  std::vector<std::u16string> m_history;
  std::u16string m_pendingLink;
};

Browser* g_browser = nullptr;  // the process's browser, for the state dump

void Browser::create() {
  SHINITDLGINFO init{SHIDIM_FLAGS, m_window, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG};
  SHInitDialog(&init);
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = m_window;
  bar.nToolBarId = kMenuBarId;
  bar.hInstRes = m_instance;
  if (SHCreateMenuBar(&bar)) m_bar = bar.hwndMB;
  RECT client{};
  GetClientRect(m_window, &client);
  if (InitHTMLControl(m_instance))
    m_viewer = CreateWindowExW(0, WC_HTML, u"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, m_window,
                               nullptr, m_instance, nullptr);
  SetFocus(m_viewer);
  updateBack();
}

LRESULT Browser::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (m_viewer) MoveWindow(m_viewer, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && m_viewer) SetFocus(m_viewer);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(m_window);
      if (LOWORD(wParam) == kBackCommand) back();
      return 0;
    case WM_NOTIFY:
      onNotify(*reinterpret_cast<const NM_HTMLVIEW*>(lParam));
      return 1;
    case kNavigate:
      follow(std::exchange(m_pendingLink, u""));
      return 0;
    default:
      return DefWindowProcW(m_window, message, wParam, lParam);
  }
}

void Browser::onNotify(const NM_HTMLVIEW& nm) {
  if (nm.hdr.hwndFrom != m_viewer) return;
  switch (nm.hdr.code) {
    case NM_HOTSPOT:
      // Followed once the viewer is out of its pen handling.
      m_pendingLink = nm.szTarget ? nm.szTarget : u"";
      PostMessageW(m_window, kNavigate, 0, 0);
      return;
    case NM_INLINE_IMAGE:
      return answerPicture(nm);
    case NM_TITLE:
      if (nm.szTarget && *nm.szTarget) SetWindowTextW(m_window, nm.szTarget);
      return;
    default:
      return;
  }
}

void Browser::show(const std::u16string& text, bool plain) {
  if (!m_viewer) return;
  SendMessageW(m_viewer, DTM_CLEAR, 0, 0);
  SendMessageW(m_viewer, DTM_ADDTEXTW, plain, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageW(m_viewer, DTM_ENDOFSOURCE, 0, 0);
}

void Browser::open(const std::u16string& path, bool remember) {
  std::string bytes;
  if (remember && !m_page.empty()) m_history.push_back(m_page);
  m_page = path;
  SetWindowTextW(m_window, fileNameOf(path).c_str());
  if (!readDeviceFile(path, bytes)) {
    show(u"The page " + path + u" cannot be opened: it is missing or cannot be read.", true);
  } else {
    show(decodePage(bytes), isPlainText(path));
  }
  updateBack();
}

void Browser::back() {
  if (m_history.empty()) return;
  std::u16string previous = std::move(m_history.back());
  m_history.pop_back();
  open(previous, false);
}

void Browser::follow(const std::u16string& href) {
  Link link = resolveLink(m_page, href);
  if (link.kind == LinkKind::SamePage) return showAnchor(link.anchor);
  if (link.kind == LinkKind::Elsewhere) {
    MessageBoxW(m_window, (u"Only pages stored on this device can be shown.\n" + href).c_str(), kCaption, MB_OK);
    return;
  }
  if (isPage(link.path)) {
    open(link.path, true);
    return showAnchor(link.anchor);
  }
  // Other documents open in their own programs, as the file explorer opens them.
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.hwnd = m_window;
  info.lpVerb = u"open";
  info.lpFile = link.path.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteEx(&info))
    MessageBoxW(m_window, (u"There is no program on this device that opens " + link.path).c_str(), kCaption, MB_OK);
}

// Pictures come from files beside the page; the viewer owns the bitmaps.
void Browser::answerPicture(const NM_HTMLVIEW& nm) {
  Link link = resolveLink(m_page, nm.szTarget ? nm.szTarget : u"");
  std::string bytes;
  if (link.kind == LinkKind::DeviceFile && readDeviceFile(link.path, bytes)) {
    RichImage image(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    if (image.Ok() && image.GetWidth() > 0 && image.GetHeight() > 0) {
      HBITMAP bitmap = gdi::createBitmapFromPixels(image.GetWidth(), image.GetHeight(), false, image.Pixels());
      INLINEIMAGEINFO info{nm.dwCookie, image.GetHeight(), image.GetWidth(), bitmap, TRUE};
      SendMessageW(m_viewer, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
      return;
    }
  }
  SendMessageW(m_viewer, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(nm.dwCookie));
}

void Browser::showAnchor(const std::u16string& anchor) {
  if (m_viewer && !anchor.empty()) SendMessageW(m_viewer, DTM_ANCHORW, 0, reinterpret_cast<LPARAM>(anchor.c_str()));
}

void Browser::updateBack() {
  if (m_bar) SendMessageW(m_bar, TB_ENABLEBUTTON, kBackCommand, MAKELONG(!m_history.empty(), 0));
}

LRESULT browserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* browser = reinterpret_cast<Browser*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (message == WM_CREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    browser = new Browser(hwnd, create->hInstance);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(browser));
    return 0;
  }
  if (message == WM_DESTROY && browser) {
    SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
    if (g_browser == browser) g_browser = nullptr;
    delete browser;
    PostQuitMessage(0);
    return 0;
  }
  return browser ? browser->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

// The command line names the page, maybe in quotes.
std::u16string pageArgument(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') text = text.substr(1, text.size() - 2);
  return std::u16string(text);
}

}  // namespace

void registerBrowserResources() { res::registerModule(nullptr, &resources()); }

HWND openBrowser(HINSTANCE instance, std::u16string_view page) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = browserProc;
  wc.hInstance = instance;
  wc.lpszClassName = kBrowserClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<LONG_PTR>(COLOR_WINDOW + 1));
  RegisterClassW(&wc);
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  HWND window = CreateWindowExW(0, kBrowserClass, kCaption, WS_VISIBLE, area.left, area.top, area.right - area.left,
                                area.bottom - area.top, nullptr, nullptr, instance, nullptr);
  auto* browser = window ? reinterpret_cast<Browser*>(GetWindowLongPtrW(window, GWL_USERDATA)) : nullptr;
  if (!browser) return nullptr;
  g_browser = browser;
  browser->create();
  std::u16string path = pageArgument(page);
  if (path.empty()) {
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kCaption));
  } else {
    browser->open(path, false);
  }
  SetForegroundWindow(window);
  return window;
}

bool browserState(BrowserState& state) {
  if (!g_browser) return false;
  state.page = g_browser->page();
  state.backDepth = g_browser->backDepth();
  WCHAR title[256] = {};
  GetWindowTextW(g_browser->window(), title, 256);
  state.title = title;
  return true;
}

}  // namespace browser
