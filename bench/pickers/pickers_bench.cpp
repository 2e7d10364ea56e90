// Opening the "Open Flash File" dialog, "Add Files" and a new playlist in
// the playlist dialog (search, sort, fill and first paint each) on a device
// holding 10,000 ".swf" files in a tree of depth 8 among 10,000 other files,
// next to GNU find listing the same movies with their sizes, sorted.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/openfiledialog.h"
#include "bench/support/benchsupport.h"
#include "platform/core/windowing.h"
#include "platform/display/display.h"
#include "playlist/addfilesdialog.h"
#include "playlist/playlistmanager.h"
#include "resources/playerresources.h"
#include "xml/charsettable.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDepth = 8;       // "\" and seven levels below it
constexpr int kFanOut = 3;      // folders per folder: 1 + 3 + ... + 3^6 = 1093 folders on 7 levels
constexpr int kMovies = 10000;  // and as many other files

struct Device {
  ScratchDevice device;
  std::unique_ptr<display::Display> screen;
  HWND owner = nullptr;
  std::vector<fs::path> folders;
};

void growFolders(Device& d, const fs::path& folder, int level) {
  fs::create_directories(folder);
  d.folders.push_back(folder);
  if (level + 1 < kDepth - 1)
    for (int i = 0; i < kFanOut; ++i) growFolders(d, folder / ("Folder " + std::to_string(i)), level + 1);
}

Device& device() {
  static Device d = [] {
    Device made;
    growFolders(made, made.device.root / "Movies", 0);
    for (int i = 0; i < 2 * kMovies; ++i) {
      const fs::path& folder = made.folders[static_cast<size_t>(i) % made.folders.size()];
      bool movie = i % 2 == 0;
      std::string name = "clip " + std::to_string(i) + (movie ? (i % 4 ? ".SWF" : ".swf") : ".txt");
      std::ofstream(folder / name) << std::string(static_cast<size_t>(i % 3000), 'x');
    }
    std::string error;
    made.screen = display::openDisplay(display::DisplayOptions{display::Backend::Headless}, error);
    registerPlayerResources(nullptr);
    fillCharsetTable();  // playlists name their code page
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"BenchOwner";
    RegisterClassW(&wc);
    made.owner = CreateWindowExW(0, u"BenchOwner", u"Orvel Flash Player", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                                 nullptr, nullptr);
    return made;
  }();
  return d;
}

constexpr LPARAM kNewPlaylist = 40039;

// Once the dialog has handled its opening, paints it and closes it: the
// steps a user waits for before the first picture.
LRESULT closerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
  HWND dialog = GetForegroundWindow();
  PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(lParam), 0);
  if (lParam == kNewPlaylist) {  // the new playlist first, then the picture
    PostMessageW(window, WM_APP, 0, IDCANCEL);
    return 0;
  }
  UpdateWindow(dialog);
  if (wm::HostEvents* host = wm::hostEvents()) host->present();
  return 0;
}

HWND closer() {
  static HWND window = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = closerProcedure;
    wc.lpszClassName = u"BenchCloser";
    RegisterClassW(&wc);
    return CreateWindowExW(0, u"BenchCloser", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

void closeOnceOpen(WPARAM command) { PostMessageW(closer(), WM_APP, 0, static_cast<LPARAM>(command)); }

// The search and sort every picker starts with, without any window.
void MovieSearch(benchmark::State& state) {
  device();
  for (auto _ : state)
    if (findMovies(u"\\", kDepth).size() != kMovies) state.SkipWithError("the search missed movies");
}

void OpenFileDialogOpens(benchmark::State& state) {
  Device& d = device();
  OpenFileDialog dialog(d.owner, u"*.swf", u"\\", kDepth);
  for (auto _ : state) {
    closeOnceOpen(IDCANCEL);
    dialog.show();
    if (dialog.folderList().entries().size() != kMovies) state.SkipWithError("the dialog missed movies");
  }
}

void AddFilesOpens(benchmark::State& state) {
  device();
  for (auto _ : state) {
    closeOnceOpen(IDOK);
    runAddFilesDialog(device().owner);
  }
}

// The playlist dialog over a playlist of every movie, expanded: 10,000 leaves.
void PlaylistDialogOpens(benchmark::State& state) {
  Device& d = device();
  fs::create_directories(d.device.root / "Temp" / "All");
  {
    PlaylistManager maker(nullptr, d.owner, u"\\Temp\\All");
    Playlist* all = maker.newPlaylist();
    all->rename(u"all");
    maker.saveAll();
  }
  PlaylistManager manager(nullptr, d.owner, u"\\Temp\\All");
  manager.loadAll();
  if (manager.playlists().size() != 1 || manager.playlists()[0]->entries().size() != kMovies)
    state.SkipWithError("the playlist did not load");
  else
    manager.setCurrent(manager.playlists()[0].get(), 0);
  for (auto _ : state) {
    closeOnceOpen(IDOK);
    manager.showDialog();
  }
}

// "New Playlist" in an open playlist dialog: the search under the wait
// cursor, the playlist's 10,000 leaves, the repaint, and the playlist's
// save (written, flushed and renamed) when the dialog closes.
void NewPlaylistFills(benchmark::State& state) {
  Device& d = device();
  for (auto _ : state) {
    state.PauseTiming();
    PlaylistManager manager(nullptr, d.owner, u"\\Temp\\Lists");
    state.ResumeTiming();
    closeOnceOpen(kNewPlaylist);
    manager.showDialog();
    if (manager.playlists().size() != 1 || manager.playlists()[0]->entries().size() != kMovies)
      state.SkipWithError("the new playlist missed movies");
    state.PauseTiming();
    fs::remove_all(d.device.root / "Temp" / "Lists");
    state.ResumeTiming();
  }
}

// CPU seconds of the processes this one has waited for: find and sort.
double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
double g_findCpuMs = 0;

void GnuFindSorted(benchmark::State& state) {
  double before = childCpuSeconds();
  Device& d = device();
  std::string command = "find '" + d.device.root.string() + "' -maxdepth " + std::to_string(kDepth) +
                        " -iname '*.swf' -printf '%s %p\\n' | sort";
  for (auto _ : state) {
    FILE* out = popen(command.c_str(), "r");
    int found = 0;
    char line[4096];
    while (fgets(line, sizeof line, out)) ++found;
    pclose(out);
    if (found != kMovies) state.SkipWithError("find missed movies");
  }
  g_findCpuMs = (childCpuSeconds() - before) * 1e3 / static_cast<double>(state.iterations());
}

BENCHMARK(GnuFindSorted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MovieSearch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenFileDialogOpens)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(AddFilesOpens)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlaylistDialogOpens)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NewPlaylistFills)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double find = reporter.of("GnuFindSorted/real_time").real;
  for (std::string name :
       {"MovieSearch", "OpenFileDialogOpens", "AddFilesOpens", "PlaylistDialogOpens", "NewPlaylistFills"})
    if (TimesReporter::Times t = reporter.of(name + "/real_time"); t.real > 0 && find > 0)
      std::printf("%s / GNU find | sort = %.2fx wall (goal: 1.3x or less), %.2fx CPU (%.1f ms against %.1f ms)\n",
                  name.c_str(), t.real / find, t.cpu / g_findCpuMs, t.cpu, g_findCpuMs);
  device().device.remove();
  benchmark::Shutdown();
}
