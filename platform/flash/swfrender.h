#pragma once
// Draws a timeline's display list by depth: shapes with their fills and
// strokes, sprites with their own lists, under the matrices and colour
// transforms of every level.

#include <array>
#include <cstddef>
#include <vector>

#include "platform/flash/swfmovie.h"
#include "platform/flash/swfraster.h"
#include "platform/flash/swftimeline.h"

namespace swf {

class MovieRenderer {
 public:
  // Edges drawn per render at most, so that a hostile movie cannot make one
  // frame take unbounded time.
  static constexpr size_t kMaxEdgesPerRender = 4'000'000;
  // Pixels filled per render at most, as a number of whole canvases.
  static constexpr size_t kMaxCanvasesPerRender = 64;

  // `toPixels` maps the timeline's twips to canvas pixels.
  void render(const Canvas& canvas, const MovieDef& movie, const TimelineInstance& timeline, const Matrix& toPixels,
              const ColorTransform& colorTransform = {});
  // Fills a polygon given in canvas pixels with one colour.
  void fillPolygon(const Canvas& canvas, const Point* points, size_t count, Rgba color);

 private:
  void drawShape(const ShapeDef& shape, const Matrix& toPixels, const ColorTransform& colorTransform);
  void drawList(const TimelineInstance& timeline, const Matrix& toPixels, const ColorTransform& colorTransform,
                int nesting);
  void fillEdges(const std::vector<Edge>& edges, const Matrix& toPixels, const Paint& paint);
  void strokePath(const ShapePath& path, const LineStyle& style, const Matrix& toPixels,
                  const ColorTransform& colorTransform);
  void addStrokePolyline(const std::vector<Point>& points, float halfWidth);
  void addDisc(Point centre, float radius);
  bool takeBudget(size_t edges);
  Paint paintFor(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& colorTransform);
  const BitmapPixels* transformedBitmap(const BitmapPixels& bitmap, const ColorTransform& colorTransform);

  const Canvas* m_canvas = nullptr;
  const MovieDef* m_movie = nullptr;
  Rasterizer m_raster;
  // Scratch kept between draws so that a frame allocates nothing once warm.
  std::array<uint32_t, kRampSize> m_ramp{};
  BitmapPixels m_bitmap;
  std::vector<Point> m_points;
  size_t m_edgesLeft = 0;
  size_t m_pixelsLeft = 0;
  void resetBudgets(const Canvas& canvas);
};

}  // namespace swf
