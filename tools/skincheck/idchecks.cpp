// The player's own rules for a skin: the agreed ids and what each needs, the
// movie's box, thumbs on their bars, hit testing by geometry with the last
// element in document order winning, and the size of the view.

#include <algorithm>
#include <map>
#include <unordered_map>

#include "app/player.h"
#include "app/skinbinding.h"
#include "platform/core/windowing.h"
#include "render/hittest.h"
#include "render/svgelements.h"
#include "tools/skincheck/checkcontext.h"

namespace {

// What the player cannot do without an agreed element.
struct AgreedId {
  std::u16string_view id;
  Severity severity;
  const char* without;
};

constexpr AgreedId kWithout[] = {
    {u"stop", Severity::Warning, "the pen cannot stop the movie"},
    {u"prev", Severity::Warning, "the pen cannot go back to the previous movie"},
    {u"next", Severity::Warning, "the pen cannot go on to the next movie"},
    {u"fullscreen", Severity::Warning, "the pen cannot show the movie full screen"},
    {u"seekBar", Severity::Warning, "the pen cannot seek in the movie"},
    {u"volumeBar", Severity::Warning, "the pen cannot set the volume"},
    {u"flash", Severity::Error, "the movie has no place: the player makes no Flash control and plays nothing"},
    {u"gray", Severity::Warning, "nothing covers the movie's place while no movie is loaded"},
    {u"flashFileName", Severity::Warning, "the movie's name is not shown"},
};

// The ids the player writes without listening to them.
constexpr std::u16string_view kWrittenIds[] = {u"flash", u"gray", u"flashFileName"};

struct Slider {
  std::u16string_view bar;
  std::u16string_view thumb;
  const char* stuck;  // what a thumb that cannot travel means
};
constexpr Slider kSliders[] = {{u"seekBar", u"seekThumb", "every seek goes to frame 0"},
                               {u"volumeBar", u"volumeThumb", "the volume is always the lowest"}};

struct Box {
  float left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return !(right > left) || !(bottom > top); }
  bool meets(const Box& o) const { return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom; }
  Box unite(const Box& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
};

int truncated(float v) { return static_cast<int>(v); }
int widthOf(const SVGElement* e) { return truncated(e->boxRight() - e->boxLeft()); }
int heightOf(const SVGElement* e) { return truncated(e->boxBottom() - e->boxTop()); }

// Bounds of where hitTest can answer true (it alone decides); a `g` is the
// union of what lies inside it.
Box hitBounds(const SVGElement* e) {
  const float half = e->strokeWidth() / 2;
  switch (e->typeCode()) {
    case SVGElement::kSvg: {
      auto* svg = static_cast<const SVGRectangular*>(e);
      float x = svg->x().value(), y = svg->y().value();
      return {x - half, y - half, x + svg->width().value() + half, y + svg->height().value() + half};
    }
    case SVGElement::kText: {
      auto* text = static_cast<const SVGTextElement*>(e);
      float top = text->boxTop() - text->metrics().ascent;
      return {text->boxLeft() - half, top - half, text->boxRight() + half, top + text->metrics().height + half};
    }
    case SVGElement::kCircle:
      return {e->boxLeft() - half, e->boxTop() - half, e->boxRight() + half, e->boxBottom() + half};
    case SVGElement::kG: {
      Box box;
      for (Node* child = e->firstChild(); child; child = child->nextSibling())
        if (const SVGElement* svgChild = asSVGElement(child)) box = box.unite(hitBounds(svgChild));
      return box;
    }
    case SVGElement::kLine:
    case SVGElement::kPolygon:
    case SVGElement::kPolyline:
      return {};
    default:
      return {e->strokeBoxLeft(), e->strokeBoxTop(), e->strokeBoxRight(), e->strokeBoxBottom()};
  }
}

bool contains(const Node* ancestor, const Node* node) {
  for (; node; node = node->parentNode())
    if (node == ancestor) return true;
  return false;
}

class IdChecks {
 public:
  explicit IdChecks(const CheckContext& c) : m_c(c), m_elements(c.elements()) {
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
      m_order[m_elements[i]] = i;
      m_ids.push_back(m_elements[i]->getAttribute(u"id"));
      // The first element with an id, depth first, the root aside: what getElementById answers.
      if (i > 0 && !m_ids.back().empty()) m_firstById.try_emplace(m_ids.back(), m_elements[i]);
    }
    for (const SkinBinding& binding : Player::skinBindings()) m_listened.push_back(binding.id);
  }

  void run() {
    checkRoot();
    if (!m_c.document.rootElement()) return;
    listIds();
    checkDuplicates();
    checkMissing();
    checkFlash();
    checkFaces();
    for (const Slider& slider : kSliders) checkSlider(slider);
    for (std::u16string_view id : m_listened) checkHotSpot(id);
  }

 private:
  SVGElement* find(std::u16string_view id) const {
    auto found = m_firstById.find(std::u16string(id));
    return found == m_firstById.end() ? nullptr : found->second;
  }
  bool isListened(std::u16string_view id) const {
    return std::find(m_listened.begin(), m_listened.end(), id) != m_listened.end();
  }
  // With a playPause hot spot, play and pause are its faces rather than buttons.
  bool isFaceOfPlayPause(std::u16string_view id) const {
    return (id == u"play" || id == u"pause") && find(u"playPause");
  }
  SourcePosition rootAt() const { return m_c.at(m_c.document.rootElement()); }
  std::size_t orderOf(const SVGElement* e) const { return m_order.at(e); }
  // One past the last element inside `e`, in document order.
  std::size_t endOf(const SVGElement* e) const {
    std::size_t i = orderOf(e) + 1;
    while (i < m_elements.size() && contains(e, m_elements[i])) ++i;
    return i;
  }

  void checkRoot() {
    SVGElement* root = m_c.document.rootElement();
    if (!root) {
      m_c.report.error({}, "the outermost element is not svg: the player shows nothing");
      return;
    }
    auto* svg = static_cast<const SVGRectangular*>(root);
    m_c.report.width = truncated(svg->width().value());
    m_c.report.height = truncated(svg->height().value());
    RECT work = wm::workArea();
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    const std::string size = std::to_string(m_c.report.width) + " x " + std::to_string(m_c.report.height);
    const std::string area = std::to_string(workWidth) + " x " + std::to_string(workHeight);
    if (m_c.report.width <= 0 || m_c.report.height <= 0)
      m_c.report.error(rootAt(), "the root svg is " + size +
                                     ": the view takes its width and height and shows "
                                     "nothing (give it the work area, " +
                                     area + ")");
    else if (m_c.report.width != workWidth || m_c.report.height != workHeight)
      m_c.report.warning(
          rootAt(),
          "the root svg is " + size + ", the work area of the default screen is " + area + ": the skin " +
              (m_c.report.width > workWidth || m_c.report.height > workHeight ? "is cut off"
                                                                              : "leaves part of the window blank"));
    const DomString& id = root->getAttribute(u"id");
    if (!id.empty() &&
        (isListened(id) || std::find(std::begin(kWrittenIds), std::end(kWrittenIds), id) != std::end(kWrittenIds)))
      m_c.report.warning(rootAt(), "the root svg is never found by its id: '" + utf8(id) + "' here does nothing");
  }

  void listIds() {
    auto note = [&](std::u16string_view id) {
      (find(id) ? m_c.report.idsPresent : m_c.report.idsMissing).push_back(utf8(id));
    };
    for (std::u16string_view id : m_listened) note(id);
    for (std::u16string_view id : kWrittenIds) note(id);
  }

  void checkDuplicates() {
    for (std::size_t i = 1; i < m_elements.size(); ++i) {
      const SVGElement* first = m_ids[i].empty() ? nullptr : find(m_ids[i]);
      if (first && first != m_elements[i])
        m_c.report.warning(
            m_c.at(m_elements[i], u"id"),
            "id '" + utf8(m_ids[i]) + "' is given twice: the player finds only the first, " + m_c.describeAt(first));
    }
  }

  void checkMissing() {
    if (!find(u"playPause") && !find(u"play") && !find(u"pause"))
      m_c.report.warning(rootAt(), "no playPause, play or pause: the pen cannot play or pause the movie");
    for (const AgreedId& agreed : kWithout)
      if (!find(agreed.id)) m_c.report.add(agreed.severity, rootAt(), "no " + utf8(agreed.id) + ": " + agreed.without);
    if (SVGElement* name = find(u"flashFileName"); name && name->typeCode() != SVGElement::kText)
      m_c.report.warning(m_c.at(name), "flashFileName is a " + utf8(name->tagName()) +
                                           ": the movie's name is written only into a text element");
  }

  void checkFlash() {
    SVGElement* flash = find(u"flash");
    if (!flash) return;
    int width = widthOf(flash), height = heightOf(flash);
    if (width <= 0 || height <= 0)
      m_c.report.error(m_c.at(flash), "flash is " + std::to_string(width) + " x " + std::to_string(height) +
                                          ": the movie window has no room (flash needs a box: a rect or an image)");
  }

  // The pushed face of each button, hidden until the pen is down; `pause`
  // painted over `play`.
  void checkFaces() {
    for (const SkinBinding& binding : Player::skinBindings()) {
      std::u16string_view id = binding.id;
      if (!find(id) || (!binding.faced && id != u"playPause") || isFaceOfPlayPause(id)) continue;
      checkPushedFace(std::u16string(id) + u"_pushed");
      if (id == u"playPause" && find(u"pause")) checkPushedFace(u"pause_pushed");
    }
    SVGElement* play = find(u"play");
    SVGElement* pause = find(u"pause");
    if (play && pause && orderOf(pause) < orderOf(play))
      m_c.report.warning(m_c.at(pause), "pause comes before play, " + m_c.describeAt(play) +
                                            ": the pause face is painted under the play face and never shows");
  }

  void checkPushedFace(const std::u16string& faceId) {
    SVGElement* face = find(faceId);
    if (!face) {
      m_c.report.warning(rootAt(), "no " + utf8(faceId) + ": pressing the button shows no pushed face");
      return;
    }
    const ComputedStyle* style = face->computedStyle();
    if (style && style->visibility == ComputedStyle::kVisible)
      m_c.report.warning(m_c.at(face), utf8(faceId) +
                                           " is visible from the start: give it visibility=\"hidden\", "
                                           "the player shows it while the pen is down");
  }

  void checkSlider(const Slider& slider) {
    SVGElement* bar = find(slider.bar);
    SVGElement* thumb = find(slider.thumb);
    const std::string barName = utf8(slider.bar), thumbName = utf8(slider.thumb);
    if (thumb && thumb->typeCode() != SVGElement::kRect && thumb->typeCode() != SVGElement::kImage)
      m_c.report.error(m_c.at(thumb),
                       thumbName + " is a " + utf8(thumb->tagName()) +
                           ": the player moves a thumb by writing its x, which only rect and image read");
    if (bar && !thumb)
      m_c.report.warning(m_c.at(bar), barName + " without " + thumbName + ": the bar is listened to but does nothing");
    if (!bar && thumb)
      m_c.report.warning(m_c.at(thumb), thumbName + " without " + barName + ": the player never moves it");
    if (!bar || !thumb) return;
    if (widthOf(bar) - widthOf(thumb) <= 0)
      m_c.report.error(m_c.at(thumb), thumbName + " (" + std::to_string(widthOf(thumb)) +
                                          " wide) is not narrower than " + barName + " (" +
                                          std::to_string(widthOf(bar)) + " wide): it cannot travel, " + slider.stuck);
    if (thumb->boxTop() > bar->boxBottom() || thumb->boxBottom() < bar->boxTop())
      m_c.report.warning(m_c.at(thumb), thumbName + " does not lie on " + barName + ", " + m_c.describeAt(bar) +
                                            ": it moves along a row the bar does not cover");
    else if (thumb->boxLeft() < bar->boxLeft() || thumb->boxRight() > bar->boxRight())
      m_c.report.warning(m_c.at(thumb), thumbName + " is not inside " + barName + ", " + m_c.describeAt(bar) +
                                            ": the player moves it onto the bar at the first change");
    if (orderOf(thumb) < orderOf(bar) && hitBounds(thumb).meets(hitBounds(bar)))
      m_c.report.warning(m_c.at(thumb), thumbName + " comes before " + barName + ", " + m_c.describeAt(bar) +
                                            ": the bar lies over it and takes its pen moves (put the thumb after it)");
  }

  // Whether an element inside the `g` is hit at the point.
  static bool findsInside(const SVGElement* g, float x, float y) {
    for (Node* child = g->firstChild(); child; child = child->nextSibling()) {
      const SVGElement* e = asSVGElement(child);
      if (e && (e->typeCode() == SVGElement::kG ? findsInside(e, x, y) : e->hitTest(x, y))) return true;
    }
    return false;
  }

  // Points spread over the button's bounds where the button itself is hit.
  std::vector<std::pair<float, float>> samplesOf(const SVGElement* button, const Box& box) const {
    constexpr int kSamplesPerSide = 16;
    std::vector<std::pair<float, float>> points;
    const int nx = std::clamp(truncated(box.right - box.left), 1, kSamplesPerSide);
    const int ny = std::clamp(truncated(box.bottom - box.top), 1, kSamplesPerSide);
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        float x = box.left + (box.right - box.left) * (static_cast<float>(i) + 0.5f) / static_cast<float>(nx);
        float y = box.top + (box.bottom - box.top) * (static_cast<float>(j) + 0.5f) / static_cast<float>(ny);
        if (button->typeCode() == SVGElement::kG ? findsInside(button, x, y) : button->hitTest(x, y))
          points.emplace_back(x, y);
      }
    }
    return points;
  }

  // Who takes the taps over the button: the engine's own target search, at
  // points of the button that an element after it might cover.
  void checkHotSpot(std::u16string_view id) {
    SVGElement* button = find(id);
    if (!button || isFaceOfPlayPause(id)) return;
    const Box box = hitBounds(button);
    if (box.empty()) {
      m_c.report.warning(m_c.at(button), utf8(id) + " is a " + utf8(button->tagName()) +
                                             ": it is never hit, so the pen cannot reach it");
      return;
    }
    const Box root = hitBounds(m_c.document.rootElement());
    if (box.left < root.left || box.top < root.top || box.right > root.right || box.bottom > root.bottom)
      m_c.report.warning(m_c.at(button), utf8(id) + " lies " + (box.meets(root) ? "partly " : "") +
                                             "outside the root svg: taps there reach nothing");
    // Buttons over buttons, and thumbs over their bars, are the skin's design.
    std::vector<Box> covers;
    for (std::size_t i = endOf(button); i < m_elements.size(); ++i) {
      const SVGElement* e = m_elements[i];
      if (e->typeCode() == SVGElement::kG || isListened(m_ids[i])) continue;
      if (Box bounds = hitBounds(e); bounds.meets(box)) covers.push_back(bounds);
    }
    if (covers.empty()) return;

    std::map<std::size_t, int> takers;  // by document order
    int points = 0;
    for (auto [px, py] : samplesOf(button, box)) {
      ++points;
      const auto x = px, y = py;  // plain names a lambda can take
      auto holds = [&](const Box& b) { return b.left <= x && x <= b.right && b.top <= y && y <= b.bottom; };
      if (std::none_of(covers.begin(), covers.end(), holds)) continue;
      SVGElement* target = findTarget(m_c.document.rootElement(), x, y);
      if (target && !contains(button, target)) ++takers[orderOf(target)];
    }
    for (auto [order, count] : takers) reportTaker(id, button, m_elements[order], count, points);
  }

  void reportTaker(std::u16string_view id, const SVGElement* button, const SVGElement* taker, int count, int points) {
    const DomString& takerId = taker->getAttribute(u"id");
    // Buttons over buttons, and thumbs over their bars, are the skin's design.
    if (isListened(takerId) || taker == m_c.document.rootElement()) return;
    const ComputedStyle* style = taker->computedStyle();
    const bool hidden = style && style->visibility == ComputedStyle::kHidden;
    const int share = points ? (100 * count + points / 2) / points : 0;
    m_c.report.warning(m_c.at(taker), CheckContext::describe(taker) + " lies over " + utf8(id) + ", " +
                                          m_c.describeAt(button) + ", after it in document order: it takes " +
                                          std::to_string(share) + "% of its taps" +
                                          (hidden ? ", even while hidden" : "") + " (put the hot spot last)");
  }

  const CheckContext& m_c;
  std::vector<SVGElement*> m_elements;
  std::unordered_map<const SVGElement*, std::size_t> m_order;
  std::vector<std::u16string_view> m_listened;
  std::vector<std::u16string> m_ids;  // of each element, in document order
  std::unordered_map<std::u16string, SVGElement*> m_firstById;
};

}  // namespace

void checkAgreedIds(const CheckContext& context) { IdChecks(context).run(); }
