#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/flash/server/flashregistration.h"
#include "platform/core/windowing.h"
#include "platform/core/winreg.h"
#include "tests/flashhost/hostfixture.h"
#include "tests/platform/ole/testserver/testserver.h"
#include "tools/swfwriter/samples.h"
#include "tools/swfwriter/swfwriter.h"

namespace hosttest {
namespace {

constexpr swf::Rgba kRed{200, 0, 0, 255};
constexpr swf::Rgba kBlue{0, 0, 220, 255};
constexpr uint32_t kRedPixel = 0xC80000, kBluePixel = 0x0000DC, kOutside = 0x000000;
constexpr int kTw = 20;

// A red movie of `width` x `height` pixels with a blue square of a fifth of
// its width at its centre, `frames` frames at `rate`.
std::vector<uint8_t> squareMovie(int frames, float rate, bool compressed = false, int width = 100, int height = 100) {
  swfwrite::MovieWriter movie(width, height, rate);
  movie.setBackground(kRed);
  swfwrite::ShapeBuilder square;
  int fill = square.addSolidFill(kBlue);
  int side = width / 5;
  square.rectangle((width - side) / 2 * kTw, (height - side) / 2 * kTw, side * kTw, side * kTw, fill);
  movie.defineShape(1, square);
  movie.placeObject(1, 1);
  for (int i = 0; i < frames; ++i) movie.showFrame();
  return movie.finish(compressed);
}

std::u16string urlOf(const std::u16string& path) { return u"file://" + path; }

int currentFrame(FlashControl* c) {
  std::optional<WideString> text;
  if (!c->invoke(u"CurrentFrame", {}, &text) || !text) return -1;
  return std::stoi(toNarrowAscii(*text));
}

TEST_F(HostTest, CreatesTheRealControlThroughTheDeviceRegistry) {
  ASSERT_TRUE(flashControlInstalled(m_device.device()));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"ShockwaveFlash.ShockwaveFlash\\CLSID", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR clsid[64] = {};
  DWORD size = sizeof clsid;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(clsid), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(toNarrowAscii(clsid), kFlashClsid);
  ASSERT_TRUE(createFlash());
  EXPECT_EQ(m_host->sites().count(), 1u);
  EXPECT_EQ(m_control->objectClass(), ObjectClass::Ordinary);
  EXPECT_TRUE(m_control->inPlaceActive());
  EXPECT_TRUE(m_control->uiActive());
  HWND window = m_control->controlWindow();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), m_holder);
  EXPECT_EQ(m_host->activeObjectWindow(), window);
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, 160);
  EXPECT_EQ(r.bottom - r.top, 100);
  // The extent the control reports keeps the position's size.
  EXPECT_EQ(m_control->position().right, 160);
  EXPECT_EQ(m_control->position().bottom, 100);

  // Each interface table answers in its own order, and nothing else.
  struct Row {
    IUnknown* object;
    const IID* iid;
    bool answered;
  };
  IUnknown* site = static_cast<IOleClientSite*>(m_control);
  IUnknown* frame = static_cast<IOleInPlaceFrame*>(m_host.get());
  const Row rows[] = {
      {site, &IID_IOleClientSite, true},       {site, &IID_IAdviseSink, true},     {site, &IID_IOleInPlaceSite, true},
      {site, &IID_IOleWindow, true},           {site, &IID_IOleControlSite, true}, {site, &IID_IOleInPlaceFrame, false},
      {frame, &IID_IOleInPlaceFrame, true},    {frame, &IID_IOleContainer, true},  {frame, &IID_IErrorInfo, true},
      {frame, &IID_IOleInPlaceUIWindow, true}, {frame, &IID_IOleWindow, true},     {frame, &IID_IOleClientSite, false},
  };
  for (const auto& row : rows) {
    void* answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(row.object->QueryInterface(*row.iid, &answer), row.answered ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(answer != nullptr, row.answered);
  }
  // Counting never deletes: the container's owners do.
  ULONG uses = m_control->useCount();
  EXPECT_EQ(site->Release(), uses - 1);
  site->AddRef();
}

TEST_F(HostTest, TheMemberTableComesFromTheTypeInformation) {
  ASSERT_TRUE(createFlash());
  const MemberTable* table = m_control->memberTable();
  ASSERT_TRUE(table);
  EXPECT_EQ(toNarrowAscii(table->typeName()), "IShockwaveFlash");
  std::map<std::pair<std::string, int>, const AutomationMember*> members;
  for (const AutomationMember* m : table->members()) members[{toNarrowAscii(m->name), m->kind}] = m;
  struct Row {
    const char* name;
    int kind;
    VARTYPE result;
    std::vector<std::pair<std::string, VARTYPE>> params;
  };
  const Row rows[] = {
      {"Movie", kMemberPut, VT_VOID, {{"(Property Value)", VT_BSTR}}},
      {"Movie", kMemberGet, VT_BSTR, {}},
      {"TotalFrames", kMemberGet, VT_I4, {}},
      {"Playing", kMemberGet, VT_BOOL, {}},
      {"Playing", kMemberPut, VT_VOID, {{"(Property Value)", VT_BOOL}}},
      {"AlignMode", kMemberPut, VT_VOID, {{"(Property Value)", VT_INT}}},
      {"CurrentFrame", kMemberMethod, VT_I4, {}},
      {"GotoFrame", kMemberMethod, VT_VOID, {{"FrameNum", VT_I4}}},
      {"Zoom", kMemberMethod, VT_VOID, {{"factor", VT_INT}}},
      {"TSetProperty", kMemberMethod, VT_VOID, {{"target", VT_BSTR}, {"property", VT_INT}, {"value", VT_BSTR}}},
      {"Play", kMemberMethod, VT_VOID, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.kind));
    auto it = members.find({row.name, row.kind});
    ASSERT_NE(it, members.end());
    EXPECT_EQ(it->second->resultType, row.result);
    std::vector<std::pair<std::string, VARTYPE>> params;
    for (const auto& p : it->second->params) params.push_back({toNarrowAscii(p.name), p.type});
    EXPECT_EQ(params, row.params);
  }
  // Read-only, method-only and the restricted IUnknown / IDispatch methods.
  EXPECT_FALSE(members.count({"TotalFrames", kMemberPut}));
  EXPECT_FALSE(members.count({"CurrentFrame", kMemberGet}));
  EXPECT_FALSE(members.count({"QueryInterface", kMemberMethod}));
  EXPECT_FALSE(members.count({"Invoke", kMemberMethod}));
  const AutomationMember* playing = members[{"Playing", kMemberGet}];
  EXPECT_EQ(table->find(u"playing", kMemberGet), playing);
}

TEST_F(HostTest, MoviesLoadFromFileUrls) {
  ASSERT_TRUE(createFlash());
  std::vector<uint8_t> good = squareMovie(7, 12);
  std::vector<uint8_t> corrupt = squareMovie(7, 12, true);
  corrupt[8] = 0xFF;  // the zlib stream's header
  corrupt[9] = 0xFF;
  struct Row {
    const char* label;
    std::vector<uint8_t> bytes;
    std::u16string (*url)(const std::u16string& path);
    int frames;
  };
  const Row rows[] = {
      {"FWS", good, [](const std::u16string& p) { return u"file://" + p; }, 7},
      {"CWS", squareMovie(30, 24, true), [](const std::u16string& p) { return u"file:///" + p; }, 30},
      {"slashes", squareMovie(3, 6),
       [](const std::u16string& p) {
         std::u16string s = u"FILE:///" + p.substr(1);
         for (auto& c : s)
           if (c == u'\\') c = u'/';
         return s;
       },
       3},
      {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + 12), urlOf, 0},
      {"corrupt CWS", corrupt, urlOf, 0},
      {"not a movie", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}, urlOf, 0},
      {"missing", {}, [](const std::u16string&) { return std::u16string(u"file://\\My Documents\\none.swf"); }, 0},
      {"network", good, [](const std::u16string&) { return std::u16string(u"http://example.com/a.swf"); }, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::u16string path = writeMovie(std::string(row.label) + ".swf", row.bytes);
    ASSERT_TRUE(m_control->putText(u"Movie", row.url(path)));
    EXPECT_EQ(m_control->getInteger(u"TotalFrames"), row.frames);
    EXPECT_EQ(m_control->getInteger(u"Playing"), row.frames > 1 ? -1 : 0) << "a new movie starts playing";
  }
}

TEST_F(HostTest, TheTimelineRunsAtTheFrameRate) {
  ASSERT_TRUE(createFlash());
  struct Row {
    float rate;
    int frames;
    int ms;
    int expected;
  };
  const Row rows[] = {{10, 40, 1000, 10}, {25, 40, 400, 10}, {5, 40, 1000, 5}, {12, 100, 2000, 24}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rate);
    ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("rate.swf", squareMovie(row.frames, row.rate)))));
    ASSERT_EQ(currentFrame(m_control), 0);
    pass(row.ms);
    EXPECT_EQ(currentFrame(m_control), row.expected);
  }
  // Paused, the frame stays; played again, it goes on.
  ASSERT_TRUE(m_control->putText(u"Playing", u"False"));
  EXPECT_EQ(m_control->getInteger(u"Playing"), 0);
  pass(1000);
  EXPECT_EQ(currentFrame(m_control), 24);
  ASSERT_TRUE(m_control->invoke(u"Play", {}));
  pass(500);
  EXPECT_EQ(currentFrame(m_control), 30);
}

TEST_F(HostTest, LoopDecidesWhatHappensAtTheEnd) {
  ASSERT_TRUE(createFlash());
  ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("loop.swf", squareMovie(20, 10)))));
  ASSERT_TRUE(m_control->invoke(u"GotoFrame", {u"15"}));
  pass(1000);
  EXPECT_EQ(currentFrame(m_control), 5) << "looping wraps to the start";
  ASSERT_TRUE(m_control->putText(u"Loop", u"False"));
  ASSERT_TRUE(m_control->invoke(u"GotoFrame", {u"15"}));
  pass(1000);
  EXPECT_EQ(currentFrame(m_control), 19);
  EXPECT_EQ(m_control->getInteger(u"Playing"), 0);
  // Frame commands, 0-based and clamped.
  struct Row {
    const char* name;
    std::vector<const WCHAR*> args;
    int frame;
  };
  const Row rows[] = {{"GotoFrame", {u"0"}, 0},   {"Forward", {}, 1}, {"Forward", {}, 2}, {"Back", {}, 1},
                      {"GotoFrame", {u"99"}, 19}, {"Back", {}, 18},   {"Rewind", {}, 0},  {"Back", {}, 0},
                      {"GotoFrame", {u"-4"}, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<const WCHAR*> args = row.args;
    args.push_back(nullptr);
    EXPECT_TRUE(m_control->invoke(toWide(row.name), args.data()));
    EXPECT_EQ(currentFrame(m_control), row.frame);
  }
}

TEST_F(HostTest, ZoomPositionRotationAndAlignmentMoveTheDrawnArea) {
  ASSERT_TRUE(createFlash());  // 160 x 100: the 100 x 100 movie is centred
  ASSERT_TRUE(m_control->putText(u"BGColor", u"-1"));
  ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("view.swf", squareMovie(1, 12)))));
  struct Probe {
    int x, y;
    uint32_t colour;
  };
  struct Row {
    const char* label;
    const char* call;  // "invoke NAME args..." or "put NAME value"
    std::vector<const WCHAR*> texts;
    std::vector<Probe> probes;
  };
  const Row rows[] = {
      {"centred",
       "put",
       {u"AlignMode", u"0"},
       {{10, 50, kOutside}, {35, 50, kRedPixel}, {80, 50, kBluePixel}, {150, 50, kOutside}}},
      {"top + bottom", "put", {u"AlignMode", u"12"}, {{10, 50, kOutside}, {35, 50, kRedPixel}}},
      {"left + bottom", "put", {u"AlignMode", u"9"}, {{5, 50, kRedPixel}, {50, 50, kBluePixel}, {120, 50, kOutside}}},
      {"right", "put", {u"AlignMode", u"2"}, {{50, 50, kOutside}, {155, 50, kRedPixel}, {110, 50, kBluePixel}}},
      {"zoomed in",
       "invoke",
       {u"Zoom", u"50"},
       {{75, 50, kRedPixel}, {95, 50, kBluePixel}, {125, 50, kBluePixel}, {135, 50, kRedPixel}}},
      {"zoom back", "invoke", {u"Zoom", u"0"}, {{75, 50, kRedPixel}, {110, 50, kBluePixel}}},
      {"x moved",
       "invoke",
       {u"TSetProperty", u"_root", u"0", u"-30"},
       {{80, 50, kBluePixel}, {125, 50, kRedPixel}, {140, 50, kOutside}}},
      {"y moved",
       "invoke",
       {u"TSetProperty", u"_root", u"1", u"30"},
       {{80, 50, kRedPixel}, {80, 80, kBluePixel}, {80, 20, kOutside}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::vector<const WCHAR*> args(row.texts.begin() + 1, row.texts.end());
    args.push_back(nullptr);
    if (std::string(row.call) == "put") {
      ASSERT_TRUE(m_control->putText(row.texts[0], row.texts[1]));
    } else {
      ASSERT_TRUE(m_control->invoke(row.texts[0], args.data()));
    }
    for (const Probe& p : row.probes) EXPECT_EQ(pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
  }
  // A quarter turn about the root's origin takes the movie out of view to the
  // left; moved right by its width it is back, the square at its centre.
  ASSERT_TRUE(m_control->putText(u"AlignMode", u"1"));
  ASSERT_TRUE(m_control->invoke(u"TSetProperty", {u"_root", u"0", u"0"}));
  ASSERT_TRUE(m_control->invoke(u"TSetProperty", {u"_root", u"1", u"0"}));
  ASSERT_TRUE(m_control->invoke(u"TSetProperty", {u"_root", u"10", u"90"}));
  for (int x : {5, 50, 95}) EXPECT_EQ(pixel(x, 50), kOutside) << x;
  ASSERT_TRUE(m_control->invoke(u"TSetProperty", {u"_root", u"0", u"100"}));
  EXPECT_EQ(pixel(50, 50), kBluePixel);
  EXPECT_EQ(pixel(5, 50), kRedPixel);
  EXPECT_EQ(pixel(110, 50), kOutside);
}

TEST_F(HostTest, TheWindowShowsTheMoviesShapesAndTheirFrames) {
  ASSERT_TRUE(createFlash());  // 160 x 100, as the movie: one movie pixel to one screen pixel
  constexpr uint32_t kWhitePixel = 0xFFFFFF, kGreenPixel = 0x00B400;
  swfwrite::MovieWriter movie(160, 100, 10);
  movie.setBackground({255, 255, 255, 255});
  swfwrite::ShapeBuilder circle;
  circle.ellipse(40 * kTw, 50 * kTw, 20 * kTw, 20 * kTw, circle.addSolidFill(kBlue));
  movie.defineShape(1, circle, 3);
  swfwrite::ShapeBuilder square;
  square.rectangle(0, 0, 10 * kTw, 10 * kTw, square.addSolidFill(kRed));
  movie.defineShape(2, square);
  swfwrite::ShapeBuilder green;
  green.rectangle(0, 0, 10 * kTw, 10 * kTw, green.addSolidFill({0, 180, 0, 255}));
  movie.defineShape(3, green);
  swfwrite::TagStream bounce;  // the sprite's own two frames: up, then down
  bounce.placeObject2({.depth = 1, .characterId = 3});
  bounce.showFrame();
  bounce.placeObject2({.depth = 1, .move = true, .matrix = swf::Matrix::translation(0, 20 * kTw)});
  bounce.showFrame();
  movie.defineSprite(4, bounce);
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.placeObject2({.depth = 2, .characterId = 2, .matrix = swf::Matrix::translation(100 * kTw, 45 * kTw)});
  movie.placeObject2({.depth = 3, .characterId = 4, .matrix = swf::Matrix::translation(140 * kTw, 20 * kTw)});
  movie.showFrame();
  movie.placeObject2({.depth = 2, .move = true, .matrix = swf::Matrix::translation(120 * kTw, 45 * kTw)});
  movie.showFrame();
  movie.removeObject2(2);
  movie.doAction({swfwrite::actionStop()});
  movie.showFrame();
  movie.placeObject2({.depth = 2, .characterId = 2, .matrix = swf::Matrix::translation(100 * kTw, 80 * kTw)});
  movie.showFrame();
  ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("shapes.swf", movie.finish(true)))));

  struct Probe {
    int x, y;
    uint32_t colour;
  };
  struct Row {
    int frame;
    std::vector<Probe> probes;
  };
  const Row rows[] = {
      {0,
       {{40, 50, kBluePixel},
        {24, 34, kWhitePixel},
        {56, 66, kWhitePixel},
        {40, 32, kBluePixel},
        {105, 50, kRedPixel},
        {125, 50, kWhitePixel},
        {145, 25, kGreenPixel},
        {145, 45, kWhitePixel}}},
      {1,
       {{40, 50, kBluePixel},
        {105, 50, kWhitePixel},
        {125, 50, kRedPixel},
        {145, 25, kWhitePixel},
        {145, 45, kGreenPixel}}},
      {2, {{40, 50, kBluePixel}, {105, 50, kWhitePixel}, {125, 50, kWhitePixel}, {145, 25, kGreenPixel}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.frame);
    if (row.frame > 0) pass(100);
    ASSERT_EQ(currentFrame(m_control), row.frame);
    for (const Probe& p : row.probes) EXPECT_EQ(pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
  }
  // Frame 2 stopped the movie; its sprite plays on.
  pass(100);
  EXPECT_EQ(currentFrame(m_control), 2);
  EXPECT_EQ(m_control->getInteger(u"Playing"), 0);
  EXPECT_EQ(pixel(145, 45), kGreenPixel);
  EXPECT_EQ(pixel(105, 85), kWhitePixel) << "the frame after the stop is never reached";
}

TEST_F(HostTest, BackgroundColourAndMenu) {
  ASSERT_TRUE(createFlash());
  ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("bg.swf", squareMovie(1, 12)))));
  EXPECT_EQ(pixel(35, 10), kRedPixel);
  ASSERT_TRUE(m_control->putText(u"BGColor", u"00FF00"));
  EXPECT_EQ(pixel(35, 10), 0x00FF00u);
  EXPECT_EQ(toNarrowAscii(m_control->getText(u"BGColor").value_or(u"?")), "00FF00");
  ASSERT_TRUE(m_control->putText(u"BGColor", u"-1"));
  EXPECT_EQ(pixel(35, 10), kRedPixel) << "-1 is the movie's own colour";
  EXPECT_FALSE(m_control->putText(u"BGColor", u"purple"));
  ASSERT_TRUE(m_control->putText(u"Menu", u"False"));
  EXPECT_EQ(m_control->getInteger(u"Menu"), 0);
  ASSERT_TRUE(m_control->putText(u"Menu", u"True"));
  EXPECT_NE(m_control->getInteger(u"Menu"), 0);
}

TEST_F(HostTest, RepaintsOnlyWhenSomethingChanged) {
  ASSERT_TRUE(createFlash());
  // Every frame of this movie differs from the one before.
  ASSERT_TRUE(
      m_control->putText(u"Movie", urlOf(writeMovie("still.swf", swfwrite::countingMovie(30, 10, 100, 100, false)))));
  ASSERT_TRUE(m_control->putText(u"Playing", u"False"));
  wm::dispatchPending();
  // Paint over the control; a repaint would cover it again.
  auto mark = [&] {
    HDC dc = GetDC(m_control->controlWindow());
    RECT r{0, 0, 160, 100};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &r, magenta);
    DeleteObject(magenta);
    ReleaseDC(m_control->controlWindow(), dc);
  };
  mark();
  pass(1000);
  EXPECT_EQ(pixel(35, 50), 0xFF00FFu) << "a stopped movie is not redrawn";
  ASSERT_TRUE(m_control->invoke(u"Zoom", {u"0"}));  // already the whole movie
  EXPECT_EQ(pixel(35, 50), 0xFF00FFu);
  ASSERT_TRUE(m_control->invoke(u"Play", {}));
  pass(200);
  EXPECT_NE(pixel(35, 50), 0xFF00FFu);
}

TEST_F(HostTest, EdgeCasesOfTheCalls) {
  ASSERT_TRUE(createFlash());
  ASSERT_TRUE(m_control->putText(u"Movie", urlOf(writeMovie("edge.swf", squareMovie(10, 10)))));
  bool found = false;
  EXPECT_EQ(m_control->getInteger(u"playing", &found), -1);
  EXPECT_TRUE(found);
  EXPECT_EQ(m_control->getInteger(u"NoSuchThing", &found), 0);
  EXPECT_FALSE(found);
  EXPECT_FALSE(m_control->getText(u"CurrentFrame")) << "a method is not a property";
  EXPECT_FALSE(m_control->invoke(u"Playing", {})) << "a property is not a method";
  EXPECT_FALSE(m_control->putText(u"TotalFrames", u"3"));
  // Fewer texts than parameters: the rest go as missing, which this
  // control's TSetProperty refuses.
  EXPECT_FALSE(m_control->invoke(u"TSetProperty", {u"_root", u"0"}));
  // A text that converts nowhere still reaches the control.
  EXPECT_FALSE(m_control->invoke(u"GotoFrame", {u"x"}));
  std::optional<WideString> result;
  EXPECT_TRUE(m_control->invoke(u"Play", {}, &result));
  EXPECT_EQ(toNarrowAscii(result.value_or(u"?")), "");
  EXPECT_TRUE(m_control->invoke(u"TGetProperty", {u"_root", u"5"}, &result));
  EXPECT_EQ(toNarrowAscii(result.value_or(u"?")), "10");
}

TEST_F(HostTest, TheTemporaryStorageLivesWithTheControl) {
  std::filesystem::path file = m_device.host(toNarrowAscii(FlashControl::kStorageName));
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_TRUE(createFlash());
  EXPECT_TRUE(std::filesystem::exists(file));
  HWND window = m_control->controlWindow();
  m_host->destroySite(m_control);
  m_control = nullptr;
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(m_host->sites().count(), 0u);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(m_host->activeObject());
}

TEST_F(HostTest, TheHostDeletesTheSitesItStillHas) {
  std::filesystem::path file = m_device.host(toNarrowAscii(FlashControl::kStorageName));
  ASSERT_TRUE(m_host->createControl(kFlashClsid, RECT{0, 0, 50, 50}));
  EXPECT_TRUE(std::filesystem::exists(file));
  m_host.reset();
  EXPECT_FALSE(std::filesystem::exists(file));
}

void registerServer(const CLSID& clsid, const char16_t* devicePath) {
  WCHAR guid[39];
  StringFromGUID2(clsid, guid, 39);
  std::u16string name = u"CLSID\\" + std::u16string(guid) + u"\\InprocServer32";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::u16string value(devicePath);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

TEST_F(HostTest, CreationFailsWithNull) {
  std::filesystem::copy_file(ORVEL_OLE_TESTSERVER, m_device.host("Windows/oletest.dll"));
  registerServer(CLSID_TestNoView, u"\\Windows\\oletest.dll");
  WCHAR noView[39];
  StringFromGUID2(CLSID_TestNoView, noView, 39);
  std::string noViewText = toNarrowAscii(noView);
  std::filesystem::path file = m_device.host(toNarrowAscii(FlashControl::kStorageName));
  struct Row {
    const char* label;
    const char* clsid;
  };
  const Row rows[] = {
      {"no braces", "D27CDB6E-AE6D-11cf-96B8-444553540000"},
      {"not hex", "{D27CDB6E-AE6D-11cf-96B8-44455354000X}"},
      {"empty", ""},
      {"unregistered class", "{01234567-89AB-CDEF-0123-456789ABCDEF}"},
      {"no IViewObject2", noViewText.c_str()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(m_host->createControl(row.clsid, RECT{0, 0, 10, 10}), nullptr);
    EXPECT_EQ(m_host->sites().count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(file)) << "the site's storage goes with it";
  }
  EXPECT_EQ(m_host->createControl(nullptr, RECT{0, 0, 10, 10}), nullptr);

  std::string error;
  ASSERT_TRUE(removeFlashControl(m_device.device(), error)) << error;
  EXPECT_FALSE(flashControlInstalled(m_device.device()));
  EXPECT_EQ(m_host->createControl(kFlashClsid, RECT{0, 0, 10, 10}), nullptr) << "the player shows its message 25";
  ASSERT_TRUE(installFlashControl(m_device.device(), error)) << error;
  EXPECT_TRUE(createFlash());
}

TEST_F(HostTest, FrameMethods) {
  ASSERT_TRUE(createFlash());
  IOleInPlaceFrame* frame = m_host.get();
  wm::dispatchPending();
  int before = mainPaints();
  RECT widths{1, 2, 3, 4};
  EXPECT_EQ(frame->SetBorderSpace(&widths), S_OK);
  wm::dispatchPending();
  EXPECT_EQ(mainPaints(), before) << "widths change nothing";
  EXPECT_EQ(frame->SetBorderSpace(nullptr), S_OK);
  wm::dispatchPending();
  EXPECT_EQ(mainPaints(), before + 1) << "null is empty space: the main window is redrawn";

  RECT border{};
  EXPECT_EQ(frame->GetBorder(&border), S_OK);
  EXPECT_EQ(border.right, 240);
  EXPECT_EQ(border.bottom, 268);
  HWND window = nullptr;
  EXPECT_EQ(frame->GetWindow(&window), S_OK);
  EXPECT_EQ(window, m_main);
  EXPECT_EQ(frame->TranslateAccelerator(nullptr, 0), S_FALSE);
  EXPECT_EQ(frame->ContextSensitiveHelp(TRUE), S_OK);
  EXPECT_TRUE(m_host->contextHelp());
  EXPECT_EQ(static_cast<IOleInPlaceSite*>(m_control)->ContextSensitiveHelp(FALSE), S_OK);
  EXPECT_FALSE(m_host->contextHelp());
  EXPECT_FALSE(m_host->palette()) << "a true-colour screen has no palette";
  m_host->realizePalette();
  BSTR text = nullptr;
  EXPECT_EQ(static_cast<IErrorInfo*>(m_host.get())->GetDescription(&text), E_NOTIMPL);
  EXPECT_EQ(frame->SetActiveObject(nullptr, nullptr), S_OK);
  EXPECT_FALSE(m_host->activeObject());
  EXPECT_FALSE(m_host->activeObjectWindow());
}

TEST_F(HostTest, SiteRectangles) {
  ASSERT_TRUE(createFlash(RECT{0, 0, 100, 60}));
  HWND window = m_control->controlWindow();
  m_control->setRectangles(RECT{20, 10, 140, 90});
  RECT r{};
  GetWindowRect(window, &r);
  POINT topLeft{r.left, r.top};
  ScreenToClient(m_holder, &topLeft);
  EXPECT_EQ(topLeft.x, 20);
  EXPECT_EQ(topLeft.y, 10);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_EQ(r.bottom - r.top, 80);
  // A view change takes the object's extent: 120 x 80 pixels at 96 dpi.
  static_cast<IAdviseSink*>(m_control)->OnViewChange(DVASPECT_CONTENT, -1);
  EXPECT_EQ(m_control->extent().cx, (120 * 2540 + 95) / 96);
  EXPECT_EQ(m_control->position().right, 140);
  EXPECT_EQ(m_control->position().bottom, 90);
  // A position change from the object: moved, clipped by the holder.
  RECT wanted{100, 50, 300, 150};
  EXPECT_EQ(static_cast<IOleInPlaceSite*>(m_control)->OnPosRectChange(&wanted), S_OK);
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, 60);
  EXPECT_EQ(r.bottom - r.top, 50);
}

}  // namespace
}  // namespace hosttest
