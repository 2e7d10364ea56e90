// The report list view with 10,000 rows, as the open-file dialog fills it on
// a well-stocked device: inserting them into a sorted list and painting the
// first screen, then one scroll step's repaint. Only visible rows are painted,
// so the scroll step must not grow with the row count.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr int kRows = 10000;

// Names in a scrambled order, so that sorted insertion lands all over the list.
const std::vector<std::u16string>& names() {
  static const std::vector<std::u16string> all = [] {
    std::vector<std::u16string> out;
    unsigned seed = 12345;
    for (int i = 0; i < kRows; ++i) {
      seed = seed * 1103515245u + 12345u;
      std::string n = "movie " + std::to_string((seed >> 8) % 100000) + ".swf";
      out.emplace_back(n.begin(), n.end());
    }
    return out;
  }();
  return all;
}

struct Screen {
  Screen() {
    std::string error;
    display = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    InitCommonControls();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"BenchParent";
    RegisterClassW(&wc);
    parent = CreateWindowExW(0, u"BenchParent", u"Open Flash File", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                             nullptr, nullptr);
  }
  ~Screen() { wm::resetForTests(); }

  HWND makeList() const {
    HWND list =
        CreateWindowExW(0, WC_LISTVIEWW, u"",
                        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING, 0,
                        0, 240, 268, parent, nullptr, nullptr, nullptr);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNW name{LVCF_WIDTH | LVCF_TEXT, LVCFMT_LEFT, 185, const_cast<LPWSTR>(u"File Name"), 0, 0, 0, 0};
    LVCOLUMNW size{LVCF_WIDTH | LVCF_TEXT | LVCF_FMT, LVCFMT_RIGHT, 55, const_cast<LPWSTR>(u"File Size"), 0, 0, 0, 0};
    ListView_InsertColumn(list, 0, &name);
    ListView_InsertColumn(list, 1, &size);
    return list;
  }
  static void fill(HWND list) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iImage = 2;
    for (const auto& n : names()) {
      item.pszText = const_cast<LPWSTR>(n.c_str());
      int row = ListView_InsertItem(list, &item);
      ListView_SetItemText(list, row, 1, u"12K");
    }
  }

  std::unique_ptr<display::Display> display;
  HWND parent = nullptr;
};

void BM_InsertSortedAndPaintFirstScreen(benchmark::State& state) {
  Screen screen;
  for (auto _ : state) {
    HWND list = screen.makeList();
    Screen::fill(list);
    UpdateWindow(list);
    state.PauseTiming();
    DestroyWindow(list);
    wm::dispatchPending();
    state.ResumeTiming();
  }
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_InsertSortedAndPaintFirstScreen)->Unit(benchmark::kMillisecond);

void BM_ScrollStepRepaint(benchmark::State& state) {
  Screen screen;
  HWND list = screen.makeList();
  Screen::fill(list);
  ListView_EnsureVisible(list, kRows / 2, FALSE);
  UpdateWindow(list);
  int step = 1;
  for (auto _ : state) {
    ListView_Scroll(list, 0, step);  // one row down, then back up
    step = -step;
    UpdateWindow(list);
  }
}
BENCHMARK(BM_ScrollStepRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
