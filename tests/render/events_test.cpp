// Hit testing and pointer events.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dom/event.h"
#include "render/hittest.h"
#include "tests/render/skinbuilder.h"

namespace {

struct Seen {
  std::string type;
  std::string target;
  std::int32_t detail, clientX, clientY, screenX, screenY;
  unsigned short button;
  bool ctrl, shift, alt;
};

// Records every mouse event that reaches the root (they all bubble there).
class Recorder final : public EventListener {
 public:
  void handleEvent(Event* event) override {
    auto* mouse = static_cast<MouseEvent*>(event);
    auto* target = asSVGElement(event->target());
    seen.push_back(Seen{toNarrowAscii(event->type()), target ? toNarrowAscii(target->id()) : "", mouse->detail(),
                        mouse->clientX(), mouse->clientY(), mouse->screenX(), mouse->screenY(), mouse->button(),
                        mouse->ctrlKey(), mouse->shiftKey(), mouse->altKey()});
  }
  std::vector<std::string> types() const {
    std::vector<std::string> out;
    for (const Seen& s : seen) out.push_back(s.type + "@" + s.target);
    return out;
  }
  std::vector<Seen> seen;
};

class PointerEvents : public ViewFixture {
 protected:
  // Two buttons side by side under a hidden face, a g with a gap, a line over
  // the first button, and a circle hot spot.
  SkinView* makeSkin() {
    SkinBuilder skin;
    m_root = skin.add(nullptr, u"svg", {{u"id", u"root"}, {u"width", u"240"}, {u"height", u"268"}});
    skin.add(m_root, u"rect", {{u"id", u"a"}, {u"x", u"10"}, {u"y", u"10"}, {u"width", u"20"}, {u"height", u"20"}});
    skin.add(m_root, u"rect", {{u"id", u"b"}, {u"x", u"40"}, {u"y", u"10"}, {u"width", u"20"}, {u"height", u"20"}});
    skin.add(m_root, u"rect",
             {{u"id", u"hidden"}, {u"x", u"100"}, {u"y", u"10"}, {u"width", u"20"}, {u"height", u"20"}});
    skin.add(m_root, u"rect",
             {{u"id", u"face"},
              {u"x", u"100"},
              {u"y", u"10"},
              {u"width", u"20"},
              {u"height", u"20"},
              {u"visibility", u"hidden"},
              {u"fill", u"red"}});
    auto* group = skin.add(m_root, u"g", {{u"id", u"group"}});
    skin.add(group, u"rect", {{u"id", u"inG"}, {u"x", u"150"}, {u"y", u"10"}, {u"width", u"10"}, {u"height", u"10"}});
    skin.add(m_root, u"line", {{u"id", u"line"}, {u"x1", u"0"}, {u"y1", u"0"}, {u"x2", u"240"}, {u"y2", u"268"}});
    skin.add(m_root, u"polygon", {{u"id", u"polygon"}, {u"points", u"0,0 240,0 240,268"}});
    skin.add(m_root, u"circle", {{u"id", u"spot"}, {u"cx", u"200"}, {u"cy", u"100"}, {u"r", u"10"}});
    m_root->addEventListener(u"mousedown", &m_recorder, false);
    m_root->addEventListener(u"mouseup", &m_recorder, false);
    m_root->addEventListener(u"click", &m_recorder, false);
    m_root->addEventListener(u"mousemove", &m_recorder, false);
    return show(skin);
  }

  void send(SkinView* view, UINT message, int x, int y, WPARAM flags = 0) {
    SendMessageW(view->window(), message, flags, MAKELPARAM(x, y));
  }

  SVGElement* m_root = nullptr;
  Recorder m_recorder;
};

TEST_F(PointerEvents, TapGivesDownUpAndClick) {
  SkinView* view = makeSkin();
  send(view, WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
  send(view, WM_LBUTTONUP, 15, 15);
  EXPECT_EQ(m_recorder.types(), (std::vector<std::string>{"mousedown@a", "mouseup@a", "click@a"}));
  RECT window;
  GetWindowRect(view->window(), &window);
  for (const Seen& s : m_recorder.seen) {
    SCOPED_TRACE(s.type);
    EXPECT_EQ(s.detail, 1);
    EXPECT_EQ(s.button, 0);
    EXPECT_EQ(s.clientX, 15);
    EXPECT_EQ(s.clientY, 15);
    EXPECT_EQ(s.screenX, window.left + 15);
    EXPECT_EQ(s.screenY, window.top + 15);
    EXPECT_FALSE(s.ctrl || s.shift || s.alt);
  }
}

TEST_F(PointerEvents, ButtonsAndModifiers) {
  SkinView* view = makeSkin();
  send(view, WM_RBUTTONDOWN, 15, 15, MK_CONTROL | MK_SHIFT);
  send(view, WM_MBUTTONUP, 45, 15);
  send(view, WM_MOUSEMOVE, 46, 15);
  send(view, WM_MOUSEMOVE, 47, 15, MK_LBUTTON);
  ASSERT_EQ(m_recorder.types(), (std::vector<std::string>{"mousedown@a", "mouseup@b", "mousemove@b", "mousemove@b"}));
  EXPECT_EQ(m_recorder.seen[0].button, 2);
  EXPECT_TRUE(m_recorder.seen[0].ctrl && m_recorder.seen[0].shift);
  EXPECT_EQ(m_recorder.seen[1].button, 1);
  EXPECT_EQ(m_recorder.seen[2].button, 65535) << "a move without the left button";
  EXPECT_EQ(m_recorder.seen[3].button, 0);
}

TEST_F(PointerEvents, PressOnOneLiftOnAnotherGivesNoClick) {
  SkinView* view = makeSkin();
  send(view, WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
  send(view, WM_LBUTTONUP, 45, 15);
  send(view, WM_LBUTTONUP, 15, 15);  // the press is still remembered
  EXPECT_EQ(m_recorder.types(), (std::vector<std::string>{"mousedown@a", "mouseup@b", "mouseup@a", "click@a"}));
}

TEST_F(PointerEvents, RepeatedMovesToOnePointGiveOneEvent) {
  SkinView* view = makeSkin();
  send(view, WM_MOUSEMOVE, 15, 15);
  send(view, WM_MOUSEMOVE, 15, 15, MK_LBUTTON);
  send(view, WM_MOUSEMOVE, 300, 300);  // outside: no event, the last point stays
  send(view, WM_MOUSEMOVE, 15, 15);
  send(view, WM_MOUSEMOVE, 16, 15);
  EXPECT_EQ(m_recorder.types(), (std::vector<std::string>{"mousemove@a", "mousemove@a"}));
}

TEST_F(PointerEvents, TargetsFollowGeometryOnly) {
  SkinView* view = makeSkin();
  SVGElement* root = view->document()->rootElement();
  struct Case {
    int x, y;
    const char* target;  // "" for none
  };
  const Case cases[] = {
      {15, 15, "a"},                                          // the line and polygon after it do not take its taps
      {10, 10, "a"},                                          // edges included
      {30, 30, "a"},      {105, 15, "face"},                  // a hidden element on top still takes the tap
      {155, 15, "inG"},   {170, 15, "root"},                  // inside the g's gaps: the root, never the g
      {200, 100, "spot"},                                     // a circle is an invisible hot spot
      {5, 200, "root"},   {239, 267, "root"}, {241, 10, ""},  // outside the root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    SVGElement* target = findTarget(root, static_cast<float>(c.x), static_cast<float>(c.y));
    EXPECT_EQ(target ? toNarrowAscii(target->id()) : std::string(), c.target);
  }
}

TEST_F(PointerEvents, StrokeGrowsTheHitArea) {
  SkinBuilder skin;
  auto* root = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  auto* rect = skin.add(root, u"rect",
                        {{u"x", u"10"}, {u"y", u"10"}, {u"width", u"10"}, {u"height", u"10"}, {u"stroke-width", u"4"}});
  auto* ellipse = skin.add(root, u"ellipse", {{u"cx", u"100"}, {u"cy", u"100"}, {u"rx", u"10"}, {u"ry", u"5"}});
  auto* text = skin.addText(root, u"Hi", {{u"x", u"50"}, {u"y", u"50"}});
  EXPECT_FALSE(rect->hitTest(8, 8)) << "no stroke width before the style pass";
  HDC screen = GetDC(nullptr);
  root->computeStyle(screen);
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(rect->hitTest(8, 8));
  EXPECT_FALSE(rect->hitTest(7.9f, 8));
  EXPECT_TRUE(ellipse->hitTest(110.5f, 100));
  EXPECT_FALSE(ellipse->hitTest(100, 106));
  auto* t = static_cast<SVGTextElement*>(text);
  float top = 50 - t->metrics().ascent;
  EXPECT_TRUE(text->hitTest(51, top + 1));
  EXPECT_FALSE(text->hitTest(51, top - 1));
}

TEST_F(PointerEvents, DeepNestingIsSearchedWithoutRecursion) {
  SkinBuilder skin;
  Node* parent = skin.add(nullptr, u"svg", {{u"width", u"240"}, {u"height", u"268"}});
  Element* root = static_cast<Element*>(parent);
  for (int i = 0; i < 100000; ++i) parent = skin.add(parent, u"g");
  skin.add(parent, u"rect", {{u"id", u"deep"}, {u"width", u"5"}, {u"height", u"5"}});
  SVGElement* target = findTarget(root, 2, 2);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->id(), u"deep");
  EXPECT_EQ(findTarget(root, 100, 100), root);
}

// Posts a click from inside a mousedown listener.
class Reposter final : public EventListener {
 public:
  explicit Reposter(EventQueue& queue, std::vector<std::string>& log) : m_queue(queue), m_log(log) {}
  void handleEvent(Event* event) override {
    m_log.push_back(toNarrowAscii(event->type()));
    if (event->type() != u"first") return;
    Ref<Event> later = Event::create();
    later->initEvent(u"posted", true, true);
    later->setTarget(event->target());
    m_queue.post(later.get());
  }

 private:
  EventQueue& m_queue;
  std::vector<std::string>& m_log;
};

TEST(EventQueueDrain, DispatchesInOrderIncludingWhatListenersPost) {
  Ref<SVGDocument> document = SVGDocument::create();
  Ref<SVGElement> element = document->createSVGElement(u"rect");
  EventQueue queue;
  std::vector<std::string> log;
  Reposter listener(queue, log);
  for (const char16_t* type : {u"first", u"second", u"posted"}) element->addEventListener(type, &listener, false);
  for (const char16_t* type : {u"first", u"second"}) {
    Ref<Event> event = Event::create();
    event->initEvent(type, true, true);
    event->setTarget(element.get());
    queue.post(event.get());
  }
  Ref<Event> untargeted = Event::create();
  untargeted->initEvent(u"first", true, true);
  queue.post(untargeted.get());
  queue.post(nullptr);
  EXPECT_EQ(queue.count(), 3u);
  queue.drain();
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "posted"}));
  EXPECT_EQ(queue.count(), 0u);
  EXPECT_EQ(untargeted->refCount(), 1) << "released without dispatch";
}

TEST(EventQueueDrain, GrowsByAThirdPlusOne) {
  EventQueue queue;
  std::vector<Ref<Event>> events;
  std::vector<std::size_t> capacities;
  for (int i = 0; i < 30; ++i) {
    events.push_back(Event::create());
    queue.post(events.back().get());
    if (capacities.empty() || capacities.back() != queue.capacity()) capacities.push_back(queue.capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::size_t>{10, 14, 19, 26, 35}));
  EXPECT_EQ(events[0]->refCount(), 2);
}

}  // namespace
