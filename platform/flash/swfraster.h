#pragma once
// Anti-aliased scan conversion into a 32-bit 0xAARRGGBB buffer. Edges are
// added in pixel coordinates; each pixel's coverage is the exact area inside
// the edges, accumulated per row (the non-zero rule: overlapping areas of the
// same winding count once).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/flash/swfgeometry.h"

namespace swf {

constexpr int kCellBlock = 16;  // cells per block of a row, for skipping empty runs

// A pixel buffer owned by the caller.
struct Canvas {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
    uint32_t* row(int y) const { return pixels + std::ptrdiff_t(y) * stride; }
};

// What fills the covered pixels.
struct Paint {
    enum class Kind { Solid, Linear, Radial } kind = Kind::Solid;
    Rgba color;                          // Solid
    std::array<uint32_t, 256> ramp{};    // gradients: 0xAARRGGBB by position
    Matrix pixelToGradient;              // gradients: pixel centre to gradient square
};

class Rasterizer {
public:
    void reset() {
        m_lines.clear();
        m_minX = m_minY = 1e30f;
        m_maxX = m_maxY = -1e30f;
    }
    void addLine(Point from, Point to);
    // Adds a quadratic curve, flattened finely enough for the pixel grid.
    void addCurve(Point from, Point control, Point to);
    bool empty() const { return m_lines.empty(); }
    // Draws the area enclosed by the lines added since reset(), when its box
    // of pixels fits in `pixelBudget`, which it then uses up.
    void fill(const Canvas& canvas, const Paint& paint, size_t& pixelBudget);

private:
    struct Line {
        Point from, to;
    };
    void accumulate(Point from, Point to, int width, int height);
    void accumulateInRow(float* row, uint8_t* touched, int width, float xa, float xb, float d);
    static int blocksPerRow(int width) { return (width + 2 + kCellBlock - 1) / kCellBlock; }
    void compositeRow(uint32_t* dest, int x0, int y, int width, const Paint& paint);

    std::vector<Line> m_lines;
    float m_minX = 1e30f, m_minY = 1e30f, m_maxX = -1e30f, m_maxY = -1e30f;
    std::vector<float> m_cells;  // (width + 2) per row of the drawn box
    std::vector<uint8_t> m_touched;  // per row: which blocks of kCellBlock cells hold any
    int m_boxY = 0;
};

// Chords needed to draw a quadratic curve within a fraction of a pixel.
int curveSegments(Point from, Point control, Point to);

// Source-over of straight colour `argb` with extra coverage 0..255. The four
// channels are worked on at once, one per 16-bit lane of a 64-bit word.
inline uint64_t spreadChannels(uint32_t c) {
    uint64_t x = c;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    return (x | x << 8) & 0x00FF00FF00FF00FFull;
}

inline uint32_t gatherChannels(uint64_t x) {
    x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
    return uint32_t(x | x >> 16);
}

inline uint32_t blendPixel(uint32_t dest, uint32_t argb, unsigned coverage) {
    unsigned a = ((argb >> 24) * coverage + 128) * 257 >> 16;  // (alpha * coverage) / 255
    if (a == 0) return dest;
    if (a == 255) return argb | 0xFF000000u;
    // Each lane: (source * a + dest * (255 - a)) / 255, with the source's own
    // alpha taken as 255 so that the result's alpha is a + dest alpha * (1 - a).
    uint64_t x = spreadChannels(argb | 0xFF000000u) * a + spreadChannels(dest) * (255 - a);
    x += 0x0080008000800080ull;
    x = (x + ((x >> 8) & 0x00FF00FF00FF00FFull)) >> 8 & 0x00FF00FF00FF00FFull;
    return gatherChannels(x);
}

}  // namespace swf
