// swfrender: draws one frame of a Flash movie into a PNG picture, through the
// device control's engine, or plays it and prints what its scripts trace.
//   swfrender IN.swf OUT.png [--size WxH] [--frame N] [--zoom P] [--align A]
//   swfrender IN.swf --trace [--frames N] [OUT.png ...]

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/flash/movieplayer.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: swfrender IN.swf OUT.png [--size WxH] [--frame N] [--zoom P] [--align A]\n"
               "       swfrender IN.swf --trace [--frames N] [OUT.png ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string in, out;
  int width = 240, height = 180, frame = 0, zoom = 0, align = 0, frames = 1;
  bool trace = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return usage();
    } else if (arg == "--frame" && hasValue)
      frame = std::atoi(argv[++i]);
    else if (arg == "--frames" && hasValue)
      frames = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--trace")
      trace = true;
    else if (arg == "--zoom" && hasValue)
      zoom = std::atoi(argv[++i]);
    else if (arg == "--align" && hasValue)
      align = std::atoi(argv[++i]);
    else if (in.empty())
      in = arg;
    else if (out.empty())
      out = arg;
    else
      return usage();
  }
  if (in.empty() || (out.empty() && !trace) || width < 1 || height < 1 || width > 8000 || height > 8000) return usage();
  std::ifstream file(in, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  swf::MoviePlayer player;
  if (!file.good() && !file.eof()) {
    std::fprintf(stderr, "swfrender: cannot read %s\n", in.c_str());
    return 1;
  }
  if (trace) {
    // Only traced lines go to standard output, each as it happens.
    player.setTraceSink([](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    });
    frame = frames - 1;  // loading plays the first frame
  }
  if (!player.load(bytes)) {
    std::fprintf(stderr, "swfrender: %s is not a Flash movie\n", in.c_str());
    return 1;
  }
  player.zoom(zoom);
  player.setAlignMode(align);
  for (int i = 0; i < frame; ++i) player.tick();  // sprites advance with the frames
  if (out.empty()) return 0;
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  player.render({pixels.data(), width, height, width});

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB words in memory order on little-endian hosts
  if (!png_image_write_to_file(&image, out.c_str(), 0, pixels.data(), width * 4, nullptr)) {
    std::fprintf(stderr, "swfrender: cannot write %s: %s\n", out.c_str(), image.message);
    return 1;
  }
  return 0;
}
