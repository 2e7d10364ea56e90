// The document model under load: building a 5,000-element document with three
// attributes per element, walking getElementsByTagName("*") to the end, and
// dispatching a bubbling event at depth 20 with a listener on every ancestor.

#include <benchmark/benchmark.h>

#include <string>

#include "dom/dom.h"

namespace {

constexpr int kGroups = 50;
constexpr int kElementsPerGroup = 99;  // svg + 50 groups + 4,950 leaves: 5,001 elements
constexpr int kDepth = 20;

Ref<Document> buildSkin() {
  Ref<Document> doc = Document::create();
  Ref<Element> svg = doc->createElement(u"svg");
  doc->appendChild(svg.get());
  const DomString tags[] = {u"rect", u"text", u"image"};
  for (int g = 0; g < kGroups; ++g) {
    Ref<Element> group = doc->createElement(u"g");
    group->setAttribute(u"id", toWide("group" + std::to_string(g)));
    group->setAttribute(u"fill", u"red");
    group->setAttribute(u"visibility", u"visible");
    svg->appendChild(group.get());
    for (int i = 0; i < kElementsPerGroup; ++i) {
      Ref<Element> e = doc->createElement(tags[i % 3]);
      e->setAttribute(u"x", toWide(std::to_string(i)));
      e->setAttribute(u"y", toWide(std::to_string(g)));
      e->setAttribute(u"style", u"fill:blue;stroke:none");
      group->appendChild(e.get());
    }
  }
  return doc;
}

void BM_BuildDocument(benchmark::State& state) {
  for (auto _ : state) {
    Ref<Document> doc = buildSkin();
    benchmark::DoNotOptimize(doc.get());
  }
  state.counters["elements"] = 1 + kGroups * (kElementsPerGroup + 1);
  state.counters["attributes"] = 3 * kGroups * (kElementsPerGroup + 1);
}
BENCHMARK(BM_BuildDocument)->Unit(benchmark::kMillisecond);

void BM_WalkAllElements(benchmark::State& state) {
  Ref<Document> doc = buildSkin();
  std::size_t seen = 0;
  for (auto _ : state) {
    Ref<NodeList> all = doc->getElementsByTagName(u"*");
    const std::size_t length = all->length();
    for (std::size_t i = 0; i < length; ++i) benchmark::DoNotOptimize(all->item(i));
    seen = length;
  }
  state.counters["elements"] = static_cast<double>(seen);
}
BENCHMARK(BM_WalkAllElements)->Unit(benchmark::kMicrosecond);

class Counting : public EventListener {
 public:
  void handleEvent(Event*) override { ++calls; }
  long calls = 0;
};

void BM_DispatchBubbling(benchmark::State& state) {
  Ref<Document> doc = Document::create();
  Counting listener;
  Node* parent = doc.get();
  for (int i = 0; i < kDepth; ++i) {
    Ref<Element> e = doc->createElement(u"g");
    parent->appendChild(e.get());
    parent = e.get();
  }
  for (Node* n = parent->parentNode(); n; n = n->parentNode()) {
    n->addEventListener(u"click", &listener, false);
  }
  constexpr int kDispatches = 10000;
  for (auto _ : state) {
    for (int i = 0; i < kDispatches; ++i) {
      Ref<MouseEvent> event = MouseEvent::create();
      event->initMouseEvent(u"click", true, true, nullptr, 1, 0, 0, 0, 0, false, false, false, false, 0, nullptr);
      parent->dispatchEvent(event.get());
    }
  }
  state.counters["listener calls per dispatch"] =
      static_cast<double>(listener.calls) / (static_cast<double>(state.iterations()) * kDispatches);
}
BENCHMARK(BM_DispatchBubbling)->Unit(benchmark::kMillisecond);

}  // namespace
