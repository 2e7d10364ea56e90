#include "platform/flash/swfraster.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr float kFlatness = 0.2f;      // pixels a flattened curve may stray
constexpr int kMaxCurveSegments = 64;
constexpr float kMaxCoordinate = 1e7f;  // beyond this a point is hostile, not drawable

bool finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < kMaxCoordinate &&
           std::fabs(p.y) < kMaxCoordinate;
}

// Integral of clamp(u, 0, 1) from -infinity to t.
float rampIntegral(float t) {
    if (t <= 0) return 0;
    if (t <= 1) return t * t * 0.5f;
    return t - 0.5f;
}

}  // namespace

int curveSegments(Point from, Point control, Point to) {
    // A quadratic strays from its chords by |from - 2 control + to| / (8 n^2).
    float dx = from.x - 2 * control.x + to.x, dy = from.y - 2 * control.y + to.y;
    float n = std::ceil(std::sqrt(std::sqrt(dx * dx + dy * dy) / (8 * kFlatness)));
    if (!(n >= 1)) return 1;  // also NaN
    return int(std::min(n, float(kMaxCurveSegments)));
}

void Rasterizer::addLine(Point from, Point to) {
    if (!finite(from) || !finite(to) || from.y == to.y) return;
    m_lines.push_back({from, to});
    m_minX = std::min({m_minX, from.x, to.x});
    m_maxX = std::max({m_maxX, from.x, to.x});
    m_minY = std::min({m_minY, from.y, to.y});
    m_maxY = std::max({m_maxY, from.y, to.y});
}

void Rasterizer::addCurve(Point from, Point control, Point to) {
    if (!finite(from) || !finite(control) || !finite(to)) return;
    int n = curveSegments(from, control, to);
    Point previous = from;
    for (int i = 1; i <= n; ++i) {
        float t = float(i) / float(n), u = 1 - t;
        Point p{u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                u * u * from.y + 2 * u * t * control.y + t * t * to.y};
        addLine(previous, p);
        previous = p;
    }
}

// Adds one row's share of an edge crossing from xa to xb with signed height d:
// each pixel's coverage is d times the part of the pixel right of the edge,
// stored as differences so that a running sum along the row gives it.
void Rasterizer::accumulateInRow(float* row, uint8_t* touched, int width, float xa, float xb, float d) {
    float xl = std::min(xa, xb), xr = std::max(xa, xb);
    int first = int(xl);
    int lastTouched = std::min(int(std::ceil(xr)), width) + 1;
    for (int b = first / kCellBlock; b <= lastTouched / kCellBlock; ++b) touched[b] = 1;
    if (xr - xl < 1e-4f) {
        float inside = float(first + 1) - (xl + xr) * 0.5f;
        row[first] += d * inside;
        row[first + 1] += d * (1 - inside);
        return;
    }
    float perX = d / (xr - xl);
    int last = std::min(int(std::ceil(xr)), width);
    float done = 0;
    for (int i = first; i <= last; ++i) {
        float edge = float(i + 1);
        float cover = perX * (rampIntegral(edge - xl) - rampIntegral(edge - xr));
        row[i] += cover - done;
        done = cover;
    }
    row[last + 1] += d - done;
}

// Adds an edge, in coordinates of the drawn box, clipped to it: parts above or
// below do nothing, parts left of it cover whole rows, parts right of it none.
void Rasterizer::accumulate(Point from, Point to, int width, int height) {
    float dir = 1;
    if (from.y > to.y) {
        std::swap(from, to);
        dir = -1;
    }
    if (to.y <= 0 || from.y >= float(height)) return;
    float dxdy = (to.x - from.x) / (to.y - from.y);
    float y0 = std::max(from.y, 0.0f), y1 = std::min(to.y, float(height));
    float x = from.x + (y0 - from.y) * dxdy;
    float w = float(width);
    for (int y = int(y0); y < height && float(y) < y1; ++y) {
        float top = std::max(float(y), y0), bottom = std::min(float(y + 1), y1);
        float xNext = x + (bottom - top) * dxdy;
        float* row = m_cells.data() + size_t(y) * size_t(width + 2);
        uint8_t* touched = m_touched.data() + size_t(y) * size_t(blocksPerRow(width));
        float d = (bottom - top) * dir;
        float xa = x, xb = xNext;
        // Split at the box's left and right sides; clamp each part inside.
        auto part = [&](float pa, float pb, float share) {
            if (share == 0) return;
            if (std::min(pa, pb) >= w) return;
            accumulateInRow(row, touched, width, std::clamp(pa, 0.0f, w), std::clamp(pb, 0.0f, w), share);
        };
        float lo = std::min(xa, xb), hi = std::max(xa, xb);
        if (lo >= 0 && hi <= w) {
            accumulateInRow(row, touched, width, xa, xb, d);
        } else {
            // Split points where the edge crosses x = 0 and x = w, in order along the edge.
            float cuts[4] = {0, 1, 1, 1};
            int count = 1;
            for (float side : {0.0f, w})
                if ((xa - side) * (xb - side) < 0) cuts[count++] = (side - xa) / (xb - xa);
            if (count == 3 && cuts[1] > cuts[2]) std::swap(cuts[1], cuts[2]);
            cuts[count++] = 1;
            for (int i = 0; i + 1 < count; ++i) {
                float ta = cuts[i], tb = cuts[i + 1];
                part(xa + (xb - xa) * ta, xa + (xb - xa) * tb, d * (tb - ta));
            }
        }
        x = xNext;
    }
}

void Rasterizer::fill(const Canvas& canvas, const Paint& paint, size_t& pixelBudget) {
    if (m_lines.empty()) return;
    // Coverage lies between the leftmost and rightmost edges; edges left of
    // the canvas still count, clamped to its left side.
    int x0 = int(std::clamp(std::floor(m_minX), 0.0f, float(canvas.width)));
    int x1 = int(std::clamp(std::ceil(m_maxX) + 1, 0.0f, float(canvas.width)));
    int y0 = int(std::clamp(std::floor(m_minY), 0.0f, float(canvas.height)));
    int y1 = int(std::clamp(std::ceil(m_maxY) + 1, 0.0f, float(canvas.height)));
    int width = x1 - x0, height = y1 - y0;
    if (width <= 0 || height <= 0) return;
    size_t area = size_t(width) * size_t(height);
    if (area > pixelBudget) {
        pixelBudget = 0;
        return;
    }
    pixelBudget -= area;
    m_boxY = y0;
    // Both buffers are all zeros between fills: compositing clears what it read.
    size_t cells = size_t(width + 2) * size_t(height), blocks = size_t(blocksPerRow(width)) * size_t(height);
    if (m_cells.size() < cells) m_cells.resize(cells, 0.0f);
    if (m_touched.size() < blocks) m_touched.resize(blocks, 0);
    for (const Line& line : m_lines)
        accumulate({line.from.x - float(x0), line.from.y - float(y0)},
                   {line.to.x - float(x0), line.to.y - float(y0)}, width, height);
    for (int y = y0; y < y1; ++y) compositeRow(canvas.row(y) + x0, x0, y, width, paint);
}

namespace {

constexpr float kMinCover = 1.0f / 512;

unsigned coverageOf(float sum) { return unsigned(std::min(std::fabs(sum), 1.0f) * 255 + 0.5f); }

// The colour of a paint at pixel i of a row, for each kind of paint.
struct SolidSource {
    uint32_t argb;
    uint32_t at(int) const { return argb; }
};

// Gradient positions are worked out as ramp indices: a linear gradient's
// index grows by a constant along the row, a radial one's is a distance.
struct LinearSource {
    const uint32_t* ramp;
    float start, step;  // ramp index (plus one half) at pixel 0 and per pixel
    uint32_t at(int i) const {
        float t = std::clamp(start + step * float(i), 0.0f, 255.0f);
        return ramp[int(t)];
    }
};

struct RadialSource {
    const uint32_t* ramp;
    float gx0, gy0, dx, dy;  // gradient coordinates at pixel 0 and per pixel
    uint32_t at(int i) const {
        float gx = gx0 + dx * float(i), gy = gy0 + dy * float(i);
        float t = std::min(std::sqrt(gx * gx + gy * gy) * (255.0f / 16384.0f) + 0.5f, 255.0f);
        return ramp[int(t)];
    }
};

// Walks a row in blocks: a block with no cells keeps the coverage it starts
// with, so that insides and outsides of shapes cost no summing.
template <typename Source>
void compositeCells(uint32_t* dest, float* cells, uint8_t* touched, int width, const Source& source,
                    bool opaqueSource) {
    float sum = 0;
    for (int i = 0; i < width;) {
        int blockEnd = std::min(width, (i / kCellBlock + 1) * kCellBlock);
        if (!touched[i / kCellBlock]) {
            unsigned coverage = coverageOf(sum);
            if (std::fabs(sum) >= kMinCover) {
                if (coverage == 255 && opaqueSource)
                    for (; i < blockEnd; ++i) dest[i] = source.at(i) | 0xFF000000u;
                else
                    for (; i < blockEnd; ++i) dest[i] = blendPixel(dest[i], source.at(i), coverage);
            }
            i = blockEnd;
            continue;
        }
        touched[i / kCellBlock] = 0;
        for (; i < blockEnd; ++i) {
            sum += cells[i];
            cells[i] = 0;
            if (std::fabs(sum) < kMinCover) continue;
            dest[i] = blendPixel(dest[i], source.at(i), coverageOf(sum));
        }
    }
    // The two cells past the row's end collect what lies right of it.
    cells[width] = cells[width + 1] = 0;
    for (int b = width / kCellBlock; b < (width + 2 + kCellBlock - 1) / kCellBlock; ++b) touched[b] = 0;
}

}  // namespace

void Rasterizer::compositeRow(uint32_t* dest, int x0, int y, int width, const Paint& paint) {
    size_t row = size_t(y - m_boxY);
    float* cells = m_cells.data() + row * size_t(width + 2);
    uint8_t* touched = m_touched.data() + row * size_t(blocksPerRow(width));
    if (paint.kind == Paint::Kind::Solid) {
        uint32_t argb = paint.color.argb();
        compositeCells(dest, cells, touched, width, SolidSource{argb}, paint.color.a == 255);
        return;
    }
    // The gradient square spans -16384..16384 twips.
    const Matrix& m = paint.pixelToGradient;
    float px = float(x0) + 0.5f, py = float(y) + 0.5f;
    float gx = m.a * px + m.c * py + m.tx, gy = m.b * px + m.d * py + m.ty;
    if (!std::isfinite(gx) || !std::isfinite(gy) || !std::isfinite(m.a) || !std::isfinite(m.b)) {
        compositeCells(dest, cells, touched, width, SolidSource{paint.ramp[255]}, false);
    } else if (paint.kind == Paint::Kind::Linear) {
        constexpr float kScale = 255.0f / 32768.0f;
        LinearSource source{paint.ramp.data(), (gx + 16384.0f) * kScale + 0.5f, m.a * kScale};
        compositeCells(dest, cells, touched, width, source, false);
    } else {
        compositeCells(dest, cells, touched, width, RadialSource{paint.ramp.data(), gx, gy, m.a, m.b}, false);
    }
}

}  // namespace swf
