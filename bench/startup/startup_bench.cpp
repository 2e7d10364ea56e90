// Starts OrvelFlash.exe on a scratch device in the headless screen, as the
// device starts it, and measures:
//  - the time from the start of the process to its first painted screen: the
//    script's first step, which runs once the program has handled everything
//    its start caused (windows, skin, movie, painting), writes a dump into a
//    FIFO this program waits on;
//  - the peak resident memory of the process, which then plays the movie for
//    three seconds of the device's clock before it quits;
//  - in the same run, rsvg-convert's time to render an empty document, the
//    peer of the time to the first painted screen.
// The first start of a device also unpacks the default skin; it is reported
// apart from the later starts.
// Usage: bench_startup [RUNS]   (default 10 later starts; BENCH_STARTUP_DUMP=1
// prints what the first start showed)
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/device.h"
#include "tools/swfwriter/samples.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Start {
  bool ok = false;
  double firstPaintMs = 0;
  long peakKb = 0;
  std::string dump;
};

void writeMovie(const fs::path& path) {
  std::vector<uint8_t> movie = swfwrite::demoMovie(true);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
}

Start startOnce(const fs::path& device, const fs::path& outside) {
  Start start;
  const fs::path fifo = outside / "painted", script = outside / "session.txt";
  fs::remove(fifo);
  if (mkfifo(fifo.c_str(), 0600) != 0) return start;
  // The second dump, at the end, gives the process's own peak: the rusage of
  // a spawned child also counts the memory of the process that spawned it.
  std::ofstream(script) << "dump " << fifo.string() << "\nwait 3000\ndump " << fifo.string() << "\nquit\n";
  // Read and write ends both here: the program's write never blocks on a
  // missing reader, and a read waits for its dump.
  int reader = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  if (reader < 0) return start;

  std::vector<std::string> argv{ORVEL_PLAYER_EXE, "--device",      device.string(),           "--headless",
                                "--script",       script.string(), "\\My Documents\\demo.swf"};
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("ORVELFLASH_MODULE=\\Program Files\\OrvelFlash\\OrvelFlash.exe");
  std::vector<char*> argp, envp;
  for (auto& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  auto begin = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, ORVEL_PLAYER_EXE, nullptr, nullptr, argp.data(), envp.data()) != 0) {
    close(reader);
    return start;
  }
  pollfd ready{reader, POLLIN, 0};
  bool painted = poll(&ready, 1, 20000) == 1;
  auto end = std::chrono::steady_clock::now();
  char buffer[4096];
  for (ssize_t n; painted && (n = read(reader, buffer, sizeof buffer)) > 0;) start.dump.append(buffer, n);

  int status = 0;
  rusage usage{};
  if (!painted) kill(pid, SIGKILL);
  wait4(pid, &status, 0, &usage);
  std::string all = start.dump;
  for (ssize_t n; painted && (n = read(reader, buffer, sizeof buffer)) > 0;) all.append(buffer, n);
  close(reader);
  start.ok = painted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  start.firstPaintMs = std::chrono::duration<double, std::milli>(end - begin).count();
  const size_t peak = all.rfind("peak_kb=");
  start.peakKb = peak == std::string::npos ? usage.ru_maxrss : std::atol(all.c_str() + peak + 8);
  return start;
}

// The time rsvg-convert takes, as a process, to render an empty document to
// a PNG file; negative when it cannot be run.
double rsvgEmptyMs(const fs::path& folder) {
  const fs::path svg = folder / "empty.svg", png = folder / "empty.png";
  std::ofstream(svg) << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" height=\"320\"/>\n";
  std::vector<std::string> argv{"rsvg-convert", "-o", png.string(), svg.string()};
  std::vector<char*> argp;
  for (auto& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  auto begin = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawnp(&pid, "rsvg-convert", nullptr, nullptr, argp.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::milli>(end - begin).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  std::string pattern = (fs::temp_directory_path() / "orvel-startup-XXXXXX").string();
  const fs::path folder = mkdtemp(pattern.data()), device = folder / "device";
  std::string error;
  if (!Device::create(device, DeviceConfig{}, error)) {
    std::fprintf(stderr, "bench_startup: %s\n", error.c_str());
    return 1;
  }
  fs::create_directories(device / "Program Files" / "OrvelFlash");
  fs::create_directories(device / "My Documents");
  fs::copy_file(ORVEL_DEFAULT_SKIN_PACKAGE, device / "Program Files" / "OrvelFlash" / "default.zskn");
  writeMovie(device / "My Documents" / "demo.swf");

  Start first = startOnce(device, folder);
  if (!first.ok || first.dump.find("control=1") == std::string::npos) {
    std::fprintf(stderr, "bench_startup: the first start failed\n%s", first.dump.c_str());
    fs::remove_all(folder);
    return 1;
  }
  if (std::getenv("BENCH_STARTUP_DUMP")) std::fputs(first.dump.c_str(), stderr);
  std::vector<double> paints, peaks, rsvg;
  for (int i = 0; i < runs; ++i) {
    // The peer takes turns with the player, so that other work on the
    // machine weighs on both alike.
    if (double ms = rsvgEmptyMs(folder); ms >= 0) rsvg.push_back(ms);
    Start later = startOnce(device, folder);
    if (!later.ok) {
      std::fprintf(stderr, "bench_startup: start %d failed\n", i + 2);
      fs::remove_all(folder);
      return 1;
    }
    paints.push_back(later.firstPaintMs);
    peaks.push_back(double(later.peakKb));
  }
  fs::remove_all(folder);
  std::printf("first start (default skin unpacked): %.1f ms to the first painted screen, peak %.1f MB resident\n",
              first.firstPaintMs, first.peakKb / 1024.0);
  std::printf("later starts (median of %d): %.1f ms to the first painted screen (min %.1f, max %.1f)\n", runs,
              median(paints), *std::min_element(paints.begin(), paints.end()),
              *std::max_element(paints.begin(), paints.end()));
  if (rsvg.size() == paints.size())
    std::printf(
        "rsvg-convert on an empty document (median of %d): %.1f ms; first painted screen / rsvg-convert = "
        "%.2fx (goal: 0.5x or less)\n",
        runs, median(rsvg), median(paints) / median(rsvg));
  else
    std::printf("rsvg-convert not run (package librsvg2-bin): comparison skipped\n");
  std::printf("peak resident memory, skin and movie loaded, 3 s played: %.1f MB (median; goal: under 12 MB)\n",
              median(peaks) / 1024.0);
  return 0;
}
