// The skin view window and engine start.

#include <gtest/gtest.h>

#include "platform/core/windowing.h"
#include "render/engine.h"
#include "style/propertyregistry.h"
#include "tests/render/skinbuilder.h"

namespace {

class Listener final : public ViewListener {
 public:
  void viewCreated(SkinView* view) override { log.push_back("created " + std::to_string(view != nullptr)); }
  void viewResized(SkinView*, int width, int height) override {
    log.push_back("resized " + std::to_string(width) + "x" + std::to_string(height));
  }
  std::vector<std::string> log;
};

class View : public ViewFixture {};

TEST_F(View, CreationNormalisesTheRectangleAndTellsTheListener) {
  Listener listener;
  auto* view = new SkinView(m_parent, 100, 80, -60, -40, &listener);
  ASSERT_TRUE(view->window());
  RECT placement = view->placement();
  EXPECT_EQ((std::vector<LONG>{placement.left, placement.top, placement.right, placement.bottom}),
            (std::vector<LONG>{40, 40, 100, 80}));
  RECT client;
  GetClientRect(view->window(), &client);
  EXPECT_EQ(client.right, 60);
  EXPECT_EQ(client.bottom, 40);
  ASSERT_FALSE(listener.log.empty());
  EXPECT_EQ(listener.log.front(), "created 1");
  EXPECT_NE(view->bufferDc(), nullptr);
  char16_t name[32];
  GetClassNameW(view->window(), name, 32);
  EXPECT_EQ(std::u16string(name), u"SVGControl");
}

TEST_F(View, SizeMessagesFollowTheirRules) {
  Listener listener;
  auto* view = new SkinView(m_parent, 0, 0, 100, 50, &listener);
  HWND w = view->window();
  SendMessageW(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 50));
  HDC buffer = view->bufferDc();
  SetPixel(buffer, 5, 5, RGB(1, 2, 3));
  listener.log.clear();
  struct Case {
    const char* what;
    WPARAM kind;
    int width, height;
    bool keepsBuffer;
    bool told;
  };
  const Case cases[] = {
      {"same size", SIZE_RESTORED, 100, 50, true, true},  {"zero width", SIZE_RESTORED, 0, 50, true, true},
      {"zero height", SIZE_RESTORED, 100, 0, true, true}, {"minimised", SIZE_MINIMIZED, 120, 60, true, false},
      {"new size", SIZE_RESTORED, 120, 60, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    listener.log.clear();
    EXPECT_EQ(SendMessageW(w, WM_SIZE, c.kind, MAKELPARAM(c.width, c.height)), 0);
    EXPECT_EQ(GetPixel(buffer, 5, 5) == RGB(1, 2, 3), c.keepsBuffer);
    EXPECT_EQ(listener.log.size(), c.told ? 1u : 0u);
  }
  EXPECT_EQ(view->bufferSize().cx, 120);
}

TEST_F(View, BufferNeverExceedsTheScreen) {
  auto* view = new SkinView(m_parent, 0, 0, 100, 50, nullptr);
  SendMessageW(view->window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(60000, 60000));
  EXPECT_EQ(view->bufferSize().cx, 240);
  EXPECT_EQ(view->bufferSize().cy, 320);
}

TEST_F(View, FitsToTheDocumentsWidthAndHeight) {
  struct Case {
    const char* what;
    Attributes root;
    int width, height;
  };
  const Case cases[] = {
      {"sized", {{u"width", u"200.9"}, {u"height", u"100"}}, 200, 100},
      {"no width or height", {}, 0, 0},
      {"negative", {{u"width", u"-5"}, {u"height", u"10"}}, 0, 10},
      {"enormous", {{u"width", u"1e30"}, {u"height", u"1e30"}}, 1 << 20, 1 << 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SkinBuilder skin;
    skin.add(nullptr, u"svg", c.root);
    SkinView* view = show(skin, 240, 268);
    RECT client;
    GetClientRect(view->window(), &client);
    EXPECT_EQ(client.right, c.width);
    EXPECT_EQ(client.bottom, c.height);
    EXPECT_EQ(view->placement().right, c.width);
    EXPECT_LE(view->bufferSize().cx, 240);
    DestroyWindow(view->window());
  }
}

TEST_F(View, LoadingAMissingFileLeavesNoDocument) {
  SkinBuilder skin;
  skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  SkinView* view = show(skin);
  EXPECT_EQ(view->load("\\skins\\missing.bskn"), 101);
  EXPECT_EQ(view->document(), nullptr);
  EXPECT_EQ(view->lastLoadResult().errorCode, 101);
  EXPECT_EQ(view->lastLoadResult().message, u"Cann't open file");
  EXPECT_EQ(view->lastLoadResult().lineNumber, 0);
  // Input and repaints without a document do nothing beyond the background.
  SendMessageW(view->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  InvalidateRect(view->window(), nullptr, FALSE);
  wm::dispatchPending();
  EXPECT_EQ(count(view, kWhite, RECT{0, 0, 240, 268}), 240 * 268);
}

TEST_F(View, RepaintsOnlyTheInvalidAreaFromTheBuffer) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  auto* rect = skin.add(root, u"rect", {{u"width", u"100"}, {u"height", u"100"}, {u"fill", u"red"}});
  SkinView* view = show(skin);
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 100 * 100);
  RECT origin{};
  GetWindowRect(view->window(), &origin);
  auto screenAt = [&](int x, int y) { return gdi::colorOf(gdi::screenSurface().row(origin.top + y)[origin.left + x]); };
  EXPECT_EQ(screenAt(50, 50), kRed);

  // The player's change sequence, then a repaint of part of the window only.
  rect->setAttribute(u"fill", u"blue");
  rect->attributeChanged(u"fill");
  HDC screen = GetDC(nullptr);
  rect->computeStyle(screen);
  ReleaseDC(nullptr, screen);
  RECT part{0, 0, 50, 100};
  InvalidateRect(view->window(), &part, FALSE);
  wm::dispatchPending();
  EXPECT_EQ(count(view, kBlue, RECT{0, 0, 100, 100}), 50 * 100);
  EXPECT_EQ(screenAt(25, 50), kBlue);
  EXPECT_EQ(screenAt(75, 50), kRed) << "outside the invalid area nothing was copied";

  view->refresh(rect);
  wm::dispatchPending();
  EXPECT_EQ(screenAt(75, 50), kBlue);

  // A renderer to a file paints the whole buffer and shows nothing.
  rect->setAttribute(u"fill", u"red");
  rect->attributeChanged(u"fill");
  rect->computeStyle(view->bufferDc());
  view->paintBuffer();
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 100 * 100);
  EXPECT_EQ(screenAt(50, 50), kBlue);
}

TEST_F(View, MoveToStoresThePlacement) {
  auto* view = new SkinView(m_parent, 0, 0, 10, 10, nullptr);
  view->moveTo(5, 6, 70, 80);
  RECT placement = view->placement();
  EXPECT_EQ((std::vector<LONG>{placement.left, placement.top, placement.right, placement.bottom}),
            (std::vector<LONG>{5, 6, 75, 86}));
  RECT client;
  GetClientRect(view->window(), &client);
  EXPECT_EQ(client.right, 70);
}

TEST_F(View, DestroyingTheWindowFreesTheView) {
  SkinBuilder skin;
  skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  Ref<SVGDocument> document(skin.document());
  SkinView* view = show(skin);
  EXPECT_EQ(document->refCount(), 2);
  HWND window = view->window();
  DestroyWindow(window);
  EXPECT_EQ(document->refCount(), 1) << "the view's reference went with it";
  EXPECT_EQ(GetWindowLongW(window, GWL_USERDATA), 0);
}

TEST_F(View, ASecondViewReusesTheClass) {
  EXPECT_TRUE(registerSkinViewClass());
  auto* first = new SkinView(m_parent, 0, 0, 10, 10, nullptr);
  auto* second = new SkinView(m_parent, 0, 0, 10, 10, nullptr);
  EXPECT_TRUE(first->window());
  EXPECT_TRUE(second->window());
  WNDCLASSW wc{};
  ASSERT_TRUE(GetClassInfoW(nullptr, kSkinViewClassName, &wc));
  EXPECT_EQ(wc.style, CS_HREDRAW | CS_VREDRAW);
  EXPECT_EQ(wc.lpfnWndProc, &SkinView::windowProcedure);
}

TEST_F(View, WithoutTheClassNoWindowIsMade) {
  wm::resetForTests();
  auto* view = new SkinView(nullptr, 0, 0, 10, 10, nullptr);
  EXPECT_EQ(view->window(), nullptr);
  delete view;
}

TEST(EngineStart, RegistersNewPropertyNamesAfterTheStaticOnes) {
  startSkinEngine(nullptr, "OrvelFlash");
  EXPECT_EQ(skinEngineName(), "OrvelFlash");
  PropertyRegistry& registry = propertyRegistry();
  if (registry.count() != 113) GTEST_SKIP() << "names were registered earlier in this process";
  Ref<SVGDocument> document = SVGDocument::create();
  Ref<SVGElement> rect = document->createSVGElement(u"rect");
  rect->setAttribute(u"id", u"play");
  rect->attributeChanged(u"id");
  EXPECT_EQ(registry.lookup(u"id"), 114);
  rect->setAttribute(u"fill", u"red");
  rect->attributeChanged(u"fill");
  EXPECT_EQ(registry.lookup(u"fill"), 115);
  rect->setAttribute(u"id", u"stop");
  rect->attributeChanged(u"id");
  EXPECT_EQ(registry.lookup(u"id"), 114);
  EXPECT_EQ(registry.count(), 115);
  startSkinEngine(nullptr, "OrvelFlash");
  EXPECT_EQ(registry.count(), 115) << "a second start keeps the registry";
}

}  // namespace

namespace {

class ViewLoading : public ViewFixture {
 protected:
  SkinView* loaded(const std::string& body, std::int32_t& code) {
    writeHostFile(m_device.host("skins/skin.bskn"), body);
    auto* view = new SkinView(m_parent, 0, 0, 240, 268, nullptr);
    SendMessageW(view->window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(240, 268));
    code = view->load("\\skins\\skin.bskn");
    wm::dispatchPending();
    return view;
  }
};

TEST_F(ViewLoading, ALoadedSkinIsStyledFittedAndPainted) {
  std::int32_t code = -1;
  SkinView* view = loaded(
      "<svg width='200' height='100' fill='red'>\n"
      "  <desc><rect width='200' height='100' fill='blue'/></desc>\n"
      "  <rect x='10' y='10' width='20' height='20'/>\n"
      "</svg>\n",
      code);
  EXPECT_EQ(code, 0);
  ASSERT_NE(view->document(), nullptr);
  EXPECT_EQ(view->document()->filePath(), "\\skins\\skin.bskn");
  EXPECT_EQ(view->lastLoadResult().errorCode, 0);
  RECT client;
  GetClientRect(view->window(), &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);
  EXPECT_EQ(count(view, kRed, RECT{0, 0, 200, 100}), 400) << "the rect inherits the root's fill";
  EXPECT_EQ(count(view, kBlue, RECT{0, 0, 200, 100}), 0) << "nothing from inside an unknown element";
}

TEST_F(ViewLoading, FailuresKeepTheLoadersReport) {
  std::int32_t code = 0;
  SkinView* view = loaded("<svg width='240' height='268'>\n<rect>\n</svg>\n", code);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(view->document(), nullptr);
  EXPECT_EQ(view->lastLoadResult().message, u"mismatched tag");
  EXPECT_EQ(view->lastLoadResult().lineNumber, 3);
  EXPECT_EQ(count(view, kWhite, RECT{0, 0, 240, 268}), 240 * 268);

  // A later good load clears the report.
  writeHostFile(m_device.host("skins/good.bskn"), "<svg/>");
  EXPECT_EQ(view->load("\\skins\\good.bskn"), 0);
  EXPECT_EQ(view->lastLoadResult().errorCode, 0);
  EXPECT_EQ(view->lastLoadResult().message, u"");
  RECT client;
  GetClientRect(view->window(), &client);
  EXPECT_EQ(client.right, 0) << "a root without width or height makes the view 0 x 0";
  EXPECT_EQ(client.bottom, 0);
}

// Many elements side by side or nested deep: loaded, styled, painted and
// released on the heap's stacks, never the thread's.
TEST_F(ViewLoading, HugeDocumentsLoadAndPaint) {
  auto repeated = [](const std::string& text, int times) {
    std::string out;
    out.reserve(text.size() * times);
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  const std::string lastRect = "<rect x='5' width='10' height='10' fill='red'/>";
  struct Case {
    const char* what;
    std::string body;
  };
  const Case cases[] = {
      {"100000 siblings", "<svg width='240' height='268'>" +
                              repeated("<rect width='1' height='1' fill='blue'/>", 100000) + lastRect + "</svg>"},
      {"100000 nested svg", "<svg width='240' height='268'>" + repeated("<svg width='240' height='268'>", 100000) +
                                lastRect + repeated("</svg>", 100001)},
      {"100000 nested g around a drawn rect",
       "<svg width='240' height='268'>" + repeated("<g>", 100000) + repeated("</g>", 100000) + lastRect + "</svg>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::int32_t code = -1;
    SkinView* view = loaded(c.body, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(count(view, kRed, RECT{0, 0, 240, 268}), 100);
    EXPECT_EQ(view->load("\\skins\\missing.bskn"), 101) << "the old document is released";
    DestroyWindow(view->window());
  }
}

}  // namespace
