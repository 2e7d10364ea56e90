// mkswf: writes sample Flash movies.
//   mkswf [--cws] [--kind showcase|demo|counting|busy] [--frames N] [--rate R]
//         [--size WxH] [--shapes N] OUT.swf
// showcase (the default) is the sample movie for the player: 240 x 320, every
// kind of picture, sprites, gradients, colour transforms, labels and frame
// actions. demo is a smaller 240 x 180 scene; counting draws a bar whose
// length tells the frame (--frames, --rate, --size); busy is the benchmark's
// movie of --shapes shapes over --frames frames.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/swfwriter/samples.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: mkswf [--cws] [--kind showcase|demo|counting|busy] [--frames N] [--rate R] "
               "[--size WxH] [--shapes N] OUT.swf\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool compressed = false;
  std::string kind = "showcase", out;
  int frames = 10, width = 240, height = 180, shapes = 200;
  float rate = 12;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--cws")
      compressed = true;
    else if (arg == "--kind" && hasValue)
      kind = argv[++i];
    else if (arg == "--frames" && hasValue)
      frames = std::atoi(argv[++i]);
    else if (arg == "--rate" && hasValue)
      rate = float(std::atof(argv[++i]));
    else if (arg == "--shapes" && hasValue)
      shapes = std::atoi(argv[++i]);
    else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return usage();
    } else if (!arg.empty() && arg[0] != '-' && out.empty())
      out = arg;
    else
      return usage();
  }
  if (out.empty() || frames < 1 || frames > 65535 || width < 1 || height < 1 || width > 8000 || height > 8000 ||
      !(rate > 0 && rate < 256) || shapes < 1 || shapes > 10000)
    return usage();
  std::vector<uint8_t> movie;
  if (kind == "showcase")
    movie = swfwrite::showcaseMovie(compressed);
  else if (kind == "demo")
    movie = swfwrite::demoMovie(compressed);
  else if (kind == "counting")
    movie = swfwrite::countingMovie(frames, rate, width, height, compressed);
  else if (kind == "busy")
    movie = swfwrite::busyMovie(shapes, frames, compressed);
  else
    return usage();
  FILE* file = std::fopen(out.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "mkswf: cannot write %s\n", out.c_str());
    return 1;
  }
  bool ok = std::fwrite(movie.data(), 1, movie.size(), file) == movie.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "mkswf: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
