// Repainting a skin-sized memory bitmap the way the skin view does: 500
// filled rectangles, 100 lines of text and 20 stretched pictures, next to a
// plain memset of the same pixels as the physical floor. The "x_memset"
// counter is the repaint's time over the memset's.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

namespace {

constexpr int kRects = 500;
constexpr int kTextLines = 100;
constexpr int kPictures = 20;

struct Scene {
  explicit Scene(int w, int h) : width(w), height(h) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    old = SelectObject(dc, bitmap);
    pictureDc = CreateCompatibleDC(screen);
    picture = CreateCompatibleBitmap(screen, 32, 32);
    oldPicture = SelectObject(pictureDc, picture);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) SetPixel(pictureDc, x, y, RGB(x * 8, y * 8, 128));
    ReleaseDC(nullptr, screen);
    LOGFONTW lf{};
    lf.lfHeight = -12;
    std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    font = CreateFontIndirectW(&lf);
    for (int i = 0; i < kRects; ++i) brushes.push_back(CreateSolidBrush(RGB(i * 7, i * 13, i * 29)));
  }
  ~Scene() {
    SelectObject(dc, old);
    SelectObject(pictureDc, oldPicture);
    DeleteObject(bitmap);
    DeleteObject(picture);
    DeleteDC(dc);
    DeleteDC(pictureDc);
    DeleteObject(font);
    for (HBRUSH b : brushes) DeleteObject(b);
  }

  void repaint() {
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i < kRects; ++i) {
      int x = (i * 37) % width, y = (i * 53) % height;
      RECT r{x, y, x + width / 8, y + height / 16};
      FillRect(dc, &r, brushes[i]);
    }
    HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < kTextLines; ++i) {
      RECT r{(i * 11) % (width / 2), (i * 17) % height, width, height};
      DrawTextW(dc, u"Orvel Flash Player 1:23", -1, &r, 0);
    }
    SelectObject(dc, previous);
    for (int i = 0; i < kPictures; ++i) {
      int x = (i * 41) % width, y = (i * 67) % height;
      StretchBlt(dc, x, y, width / 4, height / 6, pictureDc, 0, 0, 32, 32, SRCCOPY);
    }
  }

  int width, height;
  HDC dc, pictureDc;
  HBITMAP bitmap, picture;
  HGDIOBJ old, oldPicture;
  HFONT font;
  std::vector<HBRUSH> brushes;
};

double secondsPerMemset(int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
  constexpr int kRounds = 2000;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    std::memset(pixels.data(), i & 0xFF, pixels.size() * sizeof pixels[0]);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
}

void BM_Repaint(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Scene scene(w, h);
  scene.repaint();  // glyphs rendered once, as after the first paint
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    scene.repaint();
    benchmark::ClobberMemory();
  }
  double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                static_cast<double>(state.iterations());
  state.counters["x_memset"] = each / secondsPerMemset(w, h);
}

void BM_Memset(benchmark::State& state) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(state.range(0)) * state.range(1));
  for (auto _ : state) {
    std::memset(pixels.data(), 0x5A, pixels.size() * sizeof pixels[0]);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Repaint)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memset)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);

}  // namespace
