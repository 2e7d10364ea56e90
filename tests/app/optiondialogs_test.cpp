// The File and Help menus' dialogs and pages, run as the user runs them: the
// command goes to the main window, the modal dialog comes up on the headless
// screen, the test acts inside its loop and closes it with Done.

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogsupport.h"
#include "app/entry.h"
#include "app/htmlpagedialog.h"
#include "app/keymappingdialog.h"
#include "app/player.h"
#include "app/playeroptionsdialog.h"
#include "app/propertiespage.h"
#include "app/selectskindialog.h"
#include "app/settings.h"
#include "app/skinpackages.h"
#include "flashhost/flashcontrol.h"
#include "platform/commctrl/commctrl.h"
#include "platform/core/utf8.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"
#include "platform/htmlview/htmlctrl.h"
#include "platform/ole/objbase.h"
#include "render/engine.h"
#include "resources/playerresources.h"
#include "tests/support/registryread.h"
#include "tests/support/steps.h"
#include "tests/support/modalwait.h"
#include "tests/support/testdevice.h"
#include "tools/swfwriter/samples.h"

namespace {

namespace fs = std::filesystem;

constexpr char16_t kProgramFolder[] = u"\\Program Files\\OrvelFlash";

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::u16string windowText(HWND window) {
  WCHAR buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

class OptionDialogsTest : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    wm::useVirtualClock(true);
    std::string error;
    m_display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    ASSERT_TRUE(m_display) << error;
    m_wait = std::make_unique<VirtualWait>(wm::hostEvents());
    wm::setHostEvents(m_wait.get());
    registerPlayerResources(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    startSkinEngine(nullptr, "OrvelFlash");
    m_answerer = std::make_unique<BoxAnswerer>(m_boxes);
    fs::create_directories(m_device.host("Program Files/OrvelFlash"));
    for (const char* name : {"default", "dark", "compact"})
      fs::copy_file(fs::path(ORVEL_SKIN_PACKAGES_DIR) / (std::string(name) + ".zskn"),
                    m_device.host("Program Files/OrvelFlash/" + std::string(name) + ".zskn"));
    writeBytes(m_device.host("My Documents/count.swf"), swfwrite::countingMovie(100, 12, 200, 150, false));
    settings() = Settings{};
    settings().dataFolder = u"\\My Documents\\OrvelFlash";
    installDefaultSkin(settings());
  }

  void TearDown() override {
    if (m_player && IsWindow(m_player->mainWindow())) DestroyWindow(m_player->mainWindow());
    m_answerer.reset();
    wm::resetForTests();
    CoUninitialize();
    wm::setHostEvents(m_wait->screen());
    m_display.reset();
    settings() = Settings{};
  }

  Player* start() {
    m_player = new Player(kProgramFolder);
    setCurrentPlayer(m_player);
    EXPECT_TRUE(m_player->createWindows(nullptr, SW_SHOW));
    wm::dispatchPending();
    return m_player;
  }

  // Sends the menu command; `inside` runs in the dialog's modal loop with the
  // dialog in front, and must close it.
  void runDialog(UINT command, const std::function<void(HWND)>& inside) {
    Steps steps;
    bool ran = false;
    steps.then([&] {
      ran = true;
      inside(GetForegroundWindow());
    });
    steps.start();
    SendMessageW(m_player->mainWindow(), WM_COMMAND, command, 0);
    wm::dispatchPending();
    EXPECT_TRUE(ran) << "the dialog's loop never ran";
  }

  static void pressDone(HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

  TestDevice m_device;
  std::unique_ptr<display::Display> m_display;
  std::unique_ptr<VirtualWait> m_wait;
  std::vector<ShownBox> m_boxes;
  std::unique_ptr<BoxAnswerer> m_answerer;
  Player* m_player = nullptr;  // deleted by its main window
};

TEST_F(OptionDialogsTest, SetFlashDefaultPlayerRegistersSwfAndSaysSo) {
  struct Row {
    const char* name;
    const char16_t* existingProgId;  // null: no ".swf" key
    const char16_t* progId;          // the type that ends up with the command
  };
  const WideString command = swfOpenCommand(modulePath());
  const WideString icon = swfDocumentIcon(modulePath());
  start();
  for (Row row : {Row{"no .swf key", nullptr, u"ShockwaveFlash.ShockwaveFlash"},
                  Row{"another player's type", u"Other.Player", u"Other.Player"}}) {
    SCOPED_TRACE(row.name);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, u".swf");
    if (row.existingProgId) {
      setClassesDefault(u".swf", row.existingProgId);
      setClassesDefault(std::u16string(row.existingProgId) + u"\\Shell\\Open\\Command", u"\"\\Windows\\other.exe\" %1");
    }
    m_boxes.clear();
    bool checkedBefore = true, checkedAfter = false;
    runDialog(kPlayerOptionsCommand, [&](HWND dialog) {
      EXPECT_EQ(windowText(dialog), u"Settings");
      EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kDefaultPlayerCheckBox))) << "the template hides the box";
      checkedBefore = IsDlgButtonChecked(dialog, kDefaultPlayerCheckBox) == BST_CHECKED;
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kSetDefaultPlayerButton, BN_CLICKED), 0);
      checkedAfter = IsDlgButtonChecked(dialog, kDefaultPlayerCheckBox) == BST_CHECKED;
      pressDone(dialog);
    });
    EXPECT_FALSE(checkedBefore);
    EXPECT_TRUE(checkedAfter);
    EXPECT_EQ(classesDefault(u".swf"), std::u16string(row.progId)) << "an existing type stays";
    EXPECT_EQ(classesDefault(std::u16string(row.progId) + u"\\Shell\\Open\\Command"), command);
    EXPECT_EQ(classesDefault(std::u16string(row.progId) + u"\\DefaultIcon"), icon);
    EXPECT_EQ(icon, modulePath() + u", -108");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, kDefaultPlayerSetText);
    EXPECT_EQ(m_boxes[0].caption, u"");
  }
}

TEST_F(OptionDialogsTest, AboutShowsTheIconAndNameFullScreenUntilDone) {
  start();
  RECT rect{};
  std::u16string title, text;
  runDialog(kAboutCommand, [&](HWND dialog) {
    title = windowText(dialog);
    GetWindowRect(dialog, &rect);
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetWindowTextLengthW(c) > 0) text = windowText(c);
    pressDone(dialog);
  });
  EXPECT_EQ(title, u"About OrvelFlash");
  EXPECT_EQ(text, u"OrvelFlash Flash Player v1.1");
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, 240) << "full screen";
  EXPECT_EQ(GetForegroundWindow(), m_player->mainWindow()) << "Done gives the player back";
}

TEST_F(OptionDialogsTest, HelpOpensTheHelpFileInTheDevicesBrowser) {
  // A browser program that writes down what it was asked to show.
  fs::path log = m_device.host("Temp/browser.log");
  fs::path browser = m_device.host("Windows/browser.exe");
  {
    std::ofstream script(browser);
    script << "#!/bin/sh\nprintf '%s' \"$*\" > '" << log.string() << "'\n";
  }
  fs::permissions(browser, fs::perms::owner_all);
  setClassesDefault(u".htm", u"htmlfile");
  setClassesDefault(u"htmlfile\\Shell\\Open\\Command", u"\"\\Windows\\browser.exe\" %1");
  std::ofstream(m_device.host("Program Files/OrvelFlash/help.htm")) << "<html></html>";
  start();
  SendMessageW(m_player->mainWindow(), WM_COMMAND, kDocumentsCommand, 0);
  std::string shown;
  for (int i = 0; i < 500 && shown.empty(); ++i) {
    std::ifstream in(log);
    std::getline(in, shown);
    if (shown.empty()) usleep(10000);
  }
  EXPECT_EQ(shown, "--headless \\Program Files\\OrvelFlash\\help.htm") << "as headless as the player";
}

TEST_F(OptionDialogsTest, SelectSkinListsThePackagesAndReloadsOnlyAChangedSkin) {
  std::ofstream(m_device.host("Temp/broken.zskn")) << "not an archive";
  start();
  m_player->open(u"\\My Documents\\count.swf");
  wm::dispatchPending();
  struct Row {
    int choose;  // row of the list
    const char16_t* zipskin;
    bool reloads;
    bool refused;  // Done says why and the dialog stays open
  };
  // Sorted by full path: compact, dark, default, then \Temp\broken.
  for (Row row : {Row{1, u"dark.zskn", true, false}, Row{1, u"dark.zskn", false, false},
                  Row{3, u"dark.zskn", false, true}, Row{0, u"compact.zskn", true, false}}) {
    SCOPED_TRACE(toUtf8(row.zipskin));
    // A mark on the document in use tells whether it was replaced.
    m_player->skinView()->document()->documentElement()->setAttribute(u"mark", u"before");
    WideString zipskinBefore = settings().zipskin;
    std::vector<std::u16string> names;
    int selected = -1;
    bool stayedOpen = false;
    m_boxes.clear();
    runDialog(kSkinOptionsCommand, [&](HWND dialog) {
      EXPECT_EQ(windowText(dialog), u"Select Skin");
      HWND list = GetDlgItem(dialog, kSkinList);
      for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        WCHAR name[64] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
        names.push_back(name);
      }
      selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
      SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row.choose), 0);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      stayedOpen = IsWindowVisible(dialog);
      if (stayedOpen) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(names, (std::vector<std::u16string>{u"compact", u"dark", u"default", u"broken"}));
    EXPECT_EQ(selected, zipskinBefore.ends_with(u"dark.zskn") ? 1 : 2) << "the package in use is selected";
    EXPECT_EQ(settings().zipskin, kProgramFolder + std::u16string(u"\\") + row.zipskin);
    EXPECT_EQ(m_player->skinView()->document()->documentElement()->getAttribute(u"mark") != u"before", row.reloads);
    EXPECT_EQ(stayedOpen, row.refused);
    ASSERT_EQ(m_boxes.size(), row.refused ? 1u : 0u);
    if (row.refused) {
      EXPECT_EQ(m_boxes[0].text, kUnusablePackageText);
    }
    std::string document = toUtf8(row.zipskin).replace(toUtf8(row.zipskin).find(".zskn"), 5, ".bskn");
    EXPECT_TRUE(fs::exists(m_device.host("My Documents/OrvelFlash/skins/" + document))) << "the skin keeps its files";
    // The new skin is around the playing movie: its `flash` box holds the movie window.
    SVGElement* flash = asSVGElement(m_player->skinView()->document()->getElementById(u"flash"));
    ASSERT_TRUE(flash);
    RECT holder{};
    GetWindowRect(m_player->holderWindow(), &holder);
    EXPECT_EQ(holder.left, static_cast<int>(flash->boxLeft()));
    EXPECT_EQ(holder.right - holder.left, static_cast<int>(flash->boxRight()) + 1 - static_cast<int>(flash->boxLeft()));
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR stored[260] = {};
  DWORD size = sizeof stored, type = 0;
  RegQueryValueExW(key, u"zipskin", nullptr, &type, reinterpret_cast<LPBYTE>(stored), &size);
  RegCloseKey(key);
  EXPECT_EQ(std::u16string(stored), settings().zipskin) << "Done saved the choice";
}

// The list's rows as "button=action" texts, top to bottom.
std::vector<std::u16string> bindingListRows(HWND dialog) {
  HWND list = GetDlgItem(dialog, kBindingList);
  std::vector<std::u16string> rows;
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::u16string row;
    for (int column = 0; column < 2; ++column) {
      WCHAR text[64] = {};
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      row += column == 0 ? std::u16string(text) + u"=" : std::u16string(text);
    }
    rows.push_back(row);
  }
  return rows;
}

std::u16string storedValue(LPCWSTR name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"(no key)";
  BYTE value[1024] = {};
  DWORD size = sizeof value, type = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, value, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return u"(missing)";
  if (type == REG_DWORD) return toWide(std::to_string(*reinterpret_cast<DWORD*>(value)));
  return std::u16string(reinterpret_cast<const char16_t*>(value));
}

WPARAM actionIndex(const char16_t* name) {
  for (size_t i = 0; i < actionTable.size(); ++i)
    if (std::u16string_view(actionTable[i].name) == name) return i;
  ADD_FAILURE() << "no action " << toUtf8(name);
  return 0;
}

// One thing the user does in the "Key Mapping" dialog.
struct KeyStep {
  const char16_t* action;  // chosen in the drop-down list first (null: leave it)
  int key;                 // then this hardware key is pressed (0: none)
  int button;              // or this button is pressed (0: none)
};

TEST_F(OptionDialogsTest, KeyMappingBindsThePressedButtonToTheChosenAction) {
  struct Row {
    const char* name;
    std::vector<KeyStep> steps;
    std::vector<std::u16string> rows;
    const char16_t* stored;
  };
  const Row rows[] = {
      {"Button 1 to Key: Space",
       {{u"Key: Space", VK_APP1, 0}},
       {u"Button 1=Key: Space", u"Button 2=Volume Down", u"Button 3=Play & Pause", u"Down=Move Flash Down",
        u"Left=Move Flash Left", u"Right=Move Flash Right", u"Up=Move Flash Up"},
       u"37=65573;39=65575;38=65574;40=65576;195=131073;194=131078;193=32;"},
      {"<Cancel the Mapping> removes a binding and its row",
       {{u"<Cancel the Mapping>", VK_APP1 + 2, 0}, {nullptr, VK_LEFT, 0}},
       {u"Button 1=Volume Up", u"Button 2=Volume Down", u"Down=Move Flash Down", u"Right=Move Flash Right",
        u"Up=Move Flash Up"},
       u"39=65575;38=65574;40=65576;194=131078;193=131077;"},
      {"nothing chosen, or a key that is no button, changes nothing",
       {{nullptr, VK_APP1 + 1, 0}, {u"Stop", 'A', 0}},
       {u"Button 1=Volume Up", u"Button 2=Volume Down", u"Button 3=Play & Pause", u"Down=Move Flash Down",
        u"Left=Move Flash Left", u"Right=Move Flash Right", u"Up=Move Flash Up"},
       kDefaultKeyMapText},
      {"Restore Default For Game",
       {{u"Stop", VK_APP1 + 4, 0}, {nullptr, 0, kRestoreGameButton}},
       {u"Button 1=Volume Up", u"Button 2=Volume Down", u"Down=Key: Down", u"Left=Key: Left", u"Right=Key: Right",
        u"Up=Key: Up"},
       u"37=37;39=39;38=38;40=40;194=131078;193=131077;"},
      {"Restore Default For Movie",
       {{nullptr, 0, kRestoreGameButton}, {nullptr, 0, kRestoreMovieButton}},
       {u"Button 1=Volume Up", u"Button 2=Volume Down", u"Button 3=Play & Pause", u"Down=Move Flash Down",
        u"Left=Move Flash Left", u"Right=Move Flash Right", u"Up=Move Flash Up"},
       kDefaultKeyMapText},
  };
  start();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    settings().keyMap.clear();
    settings().keyMap.parse(kDefaultKeyMapText);
    std::vector<std::u16string> shown;
    int entries = 0;
    LRESULT firstSelection = 0;
    runDialog(kButtonOptionsCommand, [&](HWND dialog) {
      HWND combo = GetDlgItem(dialog, kActionList);
      entries = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
      firstSelection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
      for (const KeyStep& step : row.steps) {
        if (step.action) SendMessageW(combo, CB_SETCURSEL, actionIndex(step.action), 0);
        if (step.key) {
          wm::injectKey(step.key, true);
          wm::injectKey(step.key, false);
          wm::dispatchPending();
        }
        if (step.button) SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED), 0);
      }
      shown = bindingListRows(dialog);
      pressDone(dialog);
    });
    EXPECT_EQ(entries, 84);
    EXPECT_EQ(firstSelection, CB_ERR) << "no action is chosen at first";
    EXPECT_EQ(shown, row.rows);
    EXPECT_EQ(storedValue(u"keyMapping"), row.stored) << "Done saved the map";
  }
  // A cancel puts back what the dialog changed; nothing is stored.
  runDialog(kButtonOptionsCommand, [&](HWND dialog) {
    SendDlgItemMessageW(dialog, kActionList, CB_SETCURSEL, actionIndex(u"Stop"), 0);
    wm::injectKey(VK_APP1, true);
    wm::dispatchPending();
    EXPECT_EQ(settings().keyMap.lookup(VK_APP1), kActionStop) << "a binding takes effect at once";
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(settings().keyMap.serialize(), kDefaultKeyMapText);
  EXPECT_EQ(storedValue(u"keyMapping"), kDefaultKeyMapText);

  // The main window now sends key 32 to the movie for Button 1.
  settings().keyMap.set(VK_APP1, VK_SPACE);
  MSG msg{m_player->mainWindow(), WM_KEYDOWN, VK_APP1, 0, 0, {0, 0}};
  EXPECT_TRUE(routeKeyDown(msg));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_SPACE));
  EXPECT_EQ(msg.hwnd, m_player->controlWindow());
}

TEST_F(OptionDialogsTest, TheHideFlashMenuBoxRoundTripsThroughTheRegistry) {
  start();
  struct Row {
    bool showBefore;
    bool check;  // the box's state when Done is pressed
    const char16_t* stored;
  };
  for (Row row : {Row{false, false, u"1"}, Row{true, true, u"0"}, Row{false, true, u"0"}}) {
    SCOPED_TRACE(testing::Message() << row.showBefore << row.check);
    settings().showFlashMenu = row.showBefore;
    bool checkedAtOpening = false;
    runDialog(kButtonOptionsCommand, [&](HWND dialog) {
      HWND box = GetDlgItem(dialog, kHideFlashMenuCheckBox);
      EXPECT_EQ(windowText(box), u"Hide the Flash menu");
      checkedAtOpening = IsDlgButtonChecked(dialog, kHideFlashMenuCheckBox) == BST_CHECKED;
      CheckDlgButton(dialog, kHideFlashMenuCheckBox, row.check ? BST_CHECKED : BST_UNCHECKED);
      pressDone(dialog);
    });
    EXPECT_EQ(checkedAtOpening, !row.showBefore) << "checked means hidden";
    EXPECT_EQ(settings().showFlashMenu, !row.check);
    EXPECT_EQ(storedValue(u"showFlashMenu"), row.stored);
    EXPECT_EQ(m_player->control()->getInteger(u"Menu") != 0, !row.check) << "Done applies it to the control";
  }
}

HWND childOfClass(HWND parent, const char16_t* className) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    WCHAR name[64] = {};
    GetClassNameW(c, name, 64);
    if (std::u16string_view(name) == className) return c;
  }
  return nullptr;
}

// The screen's pixels inside `r`, row by row.
std::vector<COLORREF> screenPixels(const RECT& r) {
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) pixels.push_back(GetPixel(screen, x, y));
  ReleaseDC(nullptr, screen);
  return pixels;
}

// What a viewer of that size shows for `page`, in a window of its own.
std::vector<COLORREF> viewerPixels(const RECT& r, const std::u16string& page) {
  InitHTMLControl(nullptr);
  HWND viewer = CreateWindowExW(WS_EX_TOPMOST, WC_HTML, u"", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  SendMessageW(viewer, DTM_ADDTEXTW, FALSE, reinterpret_cast<LPARAM>(page.c_str()));
  SendMessageW(viewer, DTM_ENDOFSOURCE, 0, 0);
  UpdateWindow(viewer);
  wm::dispatchPending();
  std::vector<COLORREF> pixels = screenPixels(r);
  DestroyWindow(viewer);
  wm::dispatchPending();
  return pixels;
}

TEST_F(OptionDialogsTest, ThePropertiesPageShowsTheMoviesFactsInTheViewer) {
  struct Row {
    const char* file;
    int frames, rate;
    const char16_t* time;
  };
  registerPlayerResources(nullptr);
  LPCWSTR raw = nullptr;
  int length = LoadStringW(nullptr, playerres::kPropertiesTemplate, reinterpret_cast<LPWSTR>(&raw), 0);
  const std::u16string pageTemplate(raw, static_cast<size_t>(std::max(length, 0)));
  start();
  for (Row row :
       {Row{"My Documents/Flash/a.swf", 300, 12, u"00:25"}, Row{"My Documents/long.swf", 4000, 1, u"66:40"}}) {
    SCOPED_TRACE(row.file);
    writeBytes(m_device.host(row.file), swfwrite::countingMovie(row.frames, row.rate, 200, 150, false));
    std::u16string path = u"\\" + fromUtf8(row.file);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    m_player->open(path);
    m_player->pause();
    wm::dispatchPending();
    RECT viewerRect{};
    std::vector<COLORREF> shown;
    std::u16string title;
    int frame = 0;
    runDialog(kPropertiesCommand, [&](HWND dialog) {
      title = windowText(dialog);
      wm::dispatchPending();  // the viewer comes once the dialog is up
      HWND viewer = childOfClass(dialog, WC_HTML);
      ASSERT_TRUE(viewer) << "the viewer is in the dialog";
      GetWindowRect(viewer, &viewerRect);
      shown = screenPixels(viewerRect);
      std::optional<WideString> current;
      m_player->control()->invoke(u"CurrentFrame", {}, &current);
      frame = current ? std::stoi(toUtf8(*current)) : -1;
      pressDone(dialog);
    });
    EXPECT_EQ(title, u"File Properties...");
    EXPECT_EQ(viewerRect.right - viewerRect.left, 240) << "the viewer fills the dialog";
    PropertiesFacts facts{path, u"windows-1252", m_player->movieFacts().version, row.frames, row.rate, frame};
    std::u16string expected = propertiesPage(pageTemplate, facts);
    EXPECT_NE(expected.find(row.time), std::u16string::npos);
    EXPECT_TRUE(shown == viewerPixels(viewerRect, expected)) << "the page shows " << toUtf8(row.time);
    facts.totalFrames += 12 * row.rate;  // other facts show other pixels
    EXPECT_FALSE(shown == viewerPixels(viewerRect, propertiesPage(pageTemplate, facts)));
    EXPECT_TRUE(m_boxes.empty());
  }
}

// A viewer whose windows cannot be made.
LRESULT refusingViewer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_CREATE ? -1 : DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(OptionDialogsTest, APageWithoutItsViewerSaysSoAndStaysOpenUntilDone) {
  start();
  WNDCLASSW viewer{};
  viewer.lpfnWndProc = refusingViewer;
  viewer.lpszClassName = WC_HTML;
  ASSERT_TRUE(RegisterClassW(&viewer));
  bool openAfterBox = false;
  runDialog(kPropertiesCommand, [&](HWND dialog) {
    wm::dispatchPending();  // the viewer is tried once the dialog is up
    openAfterBox = IsWindow(dialog) && GetForegroundWindow() == dialog;
    pressDone(dialog);
  });
  UnregisterClassW(WC_HTML, nullptr);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].text, kBrowserFailedText);
  EXPECT_EQ(m_boxes[0].caption, kBrowserFailedCaption);
  EXPECT_TRUE(openAfterBox) << "the page stays up, empty, until Done";
}

TEST_F(OptionDialogsTest, AnHtmlPageAnswersItsPicturesAndEndsOnATappedLink) {
  start();
  // A red picture the page asks for by name; "missing" gets no answer.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP red = CreateCompatibleBitmap(screen, kInlineImageSize, kInlineImageSize);
  HGDIOBJ old = SelectObject(memory, red);
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, kInlineImageSize, kInlineImageSize};
  FillRect(memory, &all, brush);
  SelectObject(memory, old);
  DeleteObject(brush);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  HtmlPageDialog page(nullptr, m_player->mainWindow(),
                      u"<html><body><a href=\"next.htm\" target=\"side\">Next page</a><br>"
                      u"<img src=\"pic\"><img src=\"missing\"></body></html>",
                      u"Page");
  page.addImage(u"pic", red);
  int redPixels = 0;
  Steps steps;
  steps.then([&] { wm::dispatchPending(); }).then([&] {
    RECT r{};
    GetWindowRect(page.viewer(), &r);
    for (COLORREF c : screenPixels(r)) redPixels += c == RGB(255, 0, 0);
    wm::injectPen(wm::PenAction::Down, POINT{r.left + 20, r.top + 14});
    wm::injectPen(wm::PenAction::Up, POINT{r.left + 20, r.top + 14});
  });
  steps.start();
  EXPECT_EQ(page.run(), IDOK) << "the link ends the page";
  EXPECT_EQ(redPixels, kInlineImageSize * kInlineImageSize) << "the picture was answered, and only it";
  EXPECT_EQ(page.linkTarget(), u"next.htm");
  EXPECT_EQ(page.linkData(), u"side");
  EXPECT_TRUE(m_boxes.empty());
  DeleteObject(red);
}

}  // namespace
