#include "platform/flash/swfrender.h"

#include <algorithm>
#include <cmath>

namespace swf {

namespace {

constexpr float kMinLineWidth = 1.0f;     // pixels; hairlines and thin lines
constexpr float kMinJoinRadius = 0.75f;   // thinner strokes need no round joins
constexpr float kJoinAngleCos = 0.995f;   // straighter joints need no round join
constexpr float kPi = 3.14159265358979f;

void buildRamp(const std::vector<GradientStop>& stops, const ColorTransform& cx,
               std::array<uint32_t, 256>& ramp) {
    if (stops.empty()) {
        ramp.fill(0);
        return;
    }
    std::vector<GradientStop> colored(stops);
    for (auto& stop : colored) stop.color = cx.apply(stop.color);
    size_t next = 0;
    for (int i = 0; i < 256; ++i) {
        while (next < colored.size() && colored[next].ratio < i) ++next;
        Rgba c;
        if (next == 0) {
            c = colored.front().color;
        } else if (next >= colored.size()) {
            c = colored.back().color;
        } else {
            const GradientStop& a = colored[next - 1];
            const GradientStop& b = colored[next];
            int span = b.ratio - a.ratio;
            float t = span > 0 ? float(i - a.ratio) / float(span) : 1.0f;
            auto lerp = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
            c = {lerp(a.color.r, b.color.r), lerp(a.color.g, b.color.g), lerp(a.color.b, b.color.b),
                 lerp(a.color.a, b.color.a)};
        }
        ramp[size_t(i)] = c.argb();
    }
}

}  // namespace

Paint makePaint(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& cx) {
    Paint paint;
    switch (fill.kind) {
    case FillKind::Solid: paint.color = cx.apply(fill.color); break;
    case FillKind::LinearGradient:
    case FillKind::RadialGradient: {
        Matrix gradientToPixels = toPixels * fill.matrix;
        if (!gradientToPixels.invert(paint.pixelToGradient)) {
            // A gradient squeezed to nothing shows its last colour.
            paint.color = fill.stops.empty() ? Rgba{0, 0, 0, 0} : cx.apply(fill.stops.back().color);
            break;
        }
        paint.kind = fill.kind == FillKind::LinearGradient ? Paint::Kind::Linear : Paint::Kind::Radial;
        buildRamp(fill.stops, cx, paint.ramp);
        break;
    }
    case FillKind::Bitmap:
        // Pictures are not decoded: the area shows as a neutral grey.
        paint.color = cx.apply(Rgba{128, 128, 128, 255});
        break;
    }
    return paint;
}

bool MovieRenderer::takeBudget(size_t edges) {
    if (edges > m_edgesLeft) {
        m_edgesLeft = 0;
        return false;
    }
    m_edgesLeft -= edges;
    return true;
}

void MovieRenderer::resetBudgets(const Canvas& canvas) {
    m_edgesLeft = kMaxEdgesPerRender;
    m_pixelsLeft = std::max<size_t>(size_t(canvas.width) * size_t(canvas.height), 4096) * kMaxCanvasesPerRender;
}

void MovieRenderer::render(const Canvas& canvas, const MovieDef& movie, const TimelineInstance& timeline,
                           const Matrix& toPixels, const ColorTransform& colorTransform) {
    m_canvas = &canvas;
    m_movie = &movie;
    resetBudgets(canvas);
    drawList(timeline, toPixels, colorTransform, 0);
}

void MovieRenderer::drawList(const TimelineInstance& timeline, const Matrix& toPixels,
                             const ColorTransform& colorTransform, int nesting) {
    for (const auto& [depth, object] : timeline.displayList()) {
        if (object.clipDepth) continue;  // masks are not drawn
        Matrix matrix = toPixels * object.matrix;
        ColorTransform cx = colorTransform * object.colorTransform;
        if (object.sprite) {
            drawList(*object.sprite, matrix, cx, nesting + 1);
            continue;
        }
        const Character* character = m_movie->character(object.characterId);
        if (character && character->kind == CharacterKind::Shape)
            drawShape(*character->shape, matrix, cx);
    }
}

void MovieRenderer::drawShape(const ShapeDef& shape, const Matrix& toPixels, const ColorTransform& cx) {
    for (size_t i = 0; i < shape.fillEdges.size(); ++i) {
        if (shape.fillEdges[i].empty()) continue;
        fillEdges(shape.fillEdges[i], toPixels, makePaint(shape.fills[i], toPixels, cx));
    }
    for (const ShapePath& path : shape.paths)
        if (path.line && !path.edges.empty())
            strokePath(path, shape.lines[path.line - 1], toPixels, cx);
}

void MovieRenderer::fillEdges(const std::vector<Edge>& edges, const Matrix& toPixels, const Paint& paint) {
    if (!takeBudget(edges.size())) return;
    m_raster.reset();
    for (const Edge& e : edges) {
        if (e.curved)
            m_raster.addCurve(toPixels.apply(e.from), toPixels.apply(e.control), toPixels.apply(e.to));
        else
            m_raster.addLine(toPixels.apply(e.from), toPixels.apply(e.to));
    }
    m_raster.fill(*m_canvas, paint, m_pixelsLeft);
}

void MovieRenderer::fillPolygon(const Canvas& canvas, const Point* points, size_t count, Rgba color) {
    m_raster.reset();
    for (size_t i = 0; i < count; ++i) m_raster.addLine(points[i], points[(i + 1) % count]);
    Paint paint;
    paint.color = color;
    size_t budget = SIZE_MAX;  // one polygon: the caller's own
    m_raster.fill(canvas, paint, budget);
}

// A disc wound the same way as the segment quads, so that overlaps count once.
void MovieRenderer::addDisc(Point c, float radius) {
    int n = std::clamp(int(radius * 2.0f), 8, 48);
    Point previous{c.x + radius, c.y};
    for (int i = 1; i <= n; ++i) {
        float angle = -2 * kPi * float(i) / float(n);
        Point p{c.x + radius * std::cos(angle), c.y + radius * std::sin(angle)};
        m_raster.addLine(previous, p);
        previous = p;
    }
}

void MovieRenderer::addStrokePolyline(const std::vector<Point>& points, float halfWidth) {
    bool joins = halfWidth >= kMinJoinRadius;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        Point a = points[i], b = points[i + 1];
        float dx = b.x - a.x, dy = b.y - a.y;
        float length = std::sqrt(dx * dx + dy * dy);
        if (!(length > 1e-6f)) continue;
        float nx = -dy / length * halfWidth, ny = dx / length * halfWidth;
        Point quad[4] = {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
        for (int k = 0; k < 4; ++k) m_raster.addLine(quad[k], quad[(k + 1) % 4]);
        if (!joins) continue;
        bool roundHere = i == 0;
        if (i > 0) {
            Point p = points[i - 1];
            float px = a.x - p.x, py = a.y - p.y;
            float pl = std::sqrt(px * px + py * py);
            roundHere = pl > 1e-6f && (px * dx + py * dy) / (pl * length) < kJoinAngleCos;
        }
        if (roundHere) addDisc(a, halfWidth);
    }
    if (joins && points.size() >= 2) addDisc(points.back(), halfWidth);
}

void MovieRenderer::strokePath(const ShapePath& path, const LineStyle& style, const Matrix& toPixels,
                               const ColorTransform& cx) {
    if (!takeBudget(path.edges.size())) return;
    float width = std::max(kMinLineWidth, float(style.width) * toPixels.meanScale());
    if (!std::isfinite(width)) return;
    width = std::min(width, 1e5f);
    m_raster.reset();
    std::vector<Point> points;
    for (const Edge& e : path.edges) {
        Point from = toPixels.apply(e.from);
        if (points.empty()) points.push_back(from);
        if (e.curved) {
            Point c = toPixels.apply(e.control), to = toPixels.apply(e.to);
            int n = curveSegments(from, c, to);
            for (int i = 1; i <= n; ++i) {
                float t = float(i) / float(n), u = 1 - t;
                points.push_back({u * u * from.x + 2 * u * t * c.x + t * t * to.x,
                                  u * u * from.y + 2 * u * t * c.y + t * t * to.y});
            }
        } else {
            points.push_back(toPixels.apply(e.to));
        }
    }
    addStrokePolyline(points, width / 2);
    Paint paint;
    paint.color = cx.apply(style.color);
    m_raster.fill(*m_canvas, paint, m_pixelsLeft);
}

}  // namespace swf
