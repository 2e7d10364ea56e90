#pragma once
// Draws a timeline's display list by depth: shapes with their fills and
// strokes, sprites with their own lists, under the matrices and colour
// transforms of every level.

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/flash/swfmovie.h"
#include "platform/flash/swfraster.h"
#include "platform/flash/swftextlayout.h"
#include "platform/flash/swftimeline.h"

namespace swf {

// The box around what `timeline` shows (its drawing and display list, masks
// left out) under `toSpace`, in that space's units; empty when it shows nothing.
Rect contentBounds(const MovieDef& movie, const TimelineInstance& timeline, const Matrix& toSpace);

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
  // Drops what was kept from the movie drawn last, before it goes away.
  void forgetMovie() {
    m_morphs.clear();
    m_videos.clear();
    m_movie = nullptr;
  }
  // Fills a polygon given in canvas pixels with one colour.
  void fillPolygon(const Canvas& canvas, const Point* points, size_t count, Rgba color);
  // Fills the quadrilateral `corners` (canvas pixels) with a picture fill
  // whose matrix maps the picture's pixels to the canvas's.
  void fillPicture(const Canvas& canvas, const Point (&corners)[4], const FillStyle& fill,
                   const ColorTransform& colorTransform);

 private:
  static constexpr int kMaxDrawNesting = 64;    // sprites and buttons inside each other
  static constexpr size_t kMaxMorphsKept = 64;  // interpolated morph shapes cached
  // Video pixels decoded per render at most; a long way to a frame goes on in the next.
  static constexpr size_t kMaxVideoPixelsPerRender = 32u << 20;
  // Mask levels (masks inside masks, or masked sprites inside masked sprites) drawn at most.
  static constexpr size_t kMaxMaskLevels = 8;

  void drawShape(const ShapeDef& shape, const Matrix& toPixels, const ColorTransform& colorTransform);
  void drawMorph(uint16_t id, const MorphDef& morph, uint16_t ratio, const Matrix& toPixels,
                 const ColorTransform& colorTransform);
  // A video's frame at `frame`, scaled to the stream's size.
  void drawVideo(uint16_t id, const VideoStreamDef& video, uint16_t frame, const Matrix& toPixels,
                 const ColorTransform& colorTransform);
  // Static text: each run's glyph outlines filled at once in its colour.
  void drawText(const TextDef& text, const Matrix& toPixels, const ColorTransform& colorTransform);
  // One run's outlines filled at once; false when the budget ran out.
  bool drawGlyphRun(const TextRun& run, const FontDef& font, const Matrix& toPixels, Rgba color);
  // A text field: its frame and background, then its text laid out with
  // each character in its own format, from the line it is scrolled to.
  void drawEditText(const EditTextState& field, const Matrix& toPixels, const ColorTransform& colorTransform);
  void drawFieldFrame(const EditTextDef& field, const Matrix& toPixels, const ColorTransform& colorTransform);
  // Characters [from, to) of a line, all in one format, from `origin`.
  void drawFieldPiece(const EditTextState& field, const FieldLayout& layout, const std::u32string& shown, size_t from,
                      size_t to, Point origin, const Matrix& toPixels, Rgba color);
  void underline(const EditTextDef& field, Point origin, float end, const FieldFont& font, const Matrix& toPixels,
                 Rgba color);
  void drawDeviceGlyphs(const EditTextDef& field, gdi::FontFace& face, const std::u32string& shown, size_t from,
                        size_t to, const std::vector<float>& x, float shift, float baselineY, const Matrix& toPixels,
                        Rgba color);
  void fillRect(const Rect& rect, const Matrix& toPixels, Rgba color);
  void strokeRect(const Rect& rect, const Matrix& toPixels, Rgba color);
  void drawDisplayList(const std::map<Depth, DisplayObject>& list, const Matrix& toPixels,
                       const ColorTransform& colorTransform, int nesting);
  void drawList(const TimelineInstance& timeline, const Matrix& toPixels, const ColorTransform& colorTransform,
                int nesting);
  // An object as placed: over its opaque background, and through a layer
  // when it has a blend mode.
  void drawPlaced(const DisplayObject& object, const Matrix& toPixels, const ColorTransform& colorTransform,
                  int nesting);
  void blendLayer(const std::vector<uint32_t>& layer, uint8_t mode);
  void drawObject(const DisplayObject& object, const Matrix& toPixels, const ColorTransform& colorTransform,
                  int nesting);
  // Draws `object` as a mask and makes it the canvas's clip, inside any
  // clip already set; answers false when it cannot, leaving the clip alone.
  bool pushMask(const DisplayObject& object, const Matrix& toPixels, int nesting);
  // Makes what `drawMask` draws (opaque wherever it draws) the canvas's
  // clip, inside any clip already set; false when too many levels are set.
  template <class DrawMask>
  bool pushClip(DrawMask&& drawMask);
  void popMask(const uint8_t* previousClip);
  // A script's mask of `timeline` (setMask), drawn at its place on the stage.
  bool pushScriptMask(const TimelineInstance& mask, int nesting);
  // The quadrilateral `rect` (twips) under `toPixels`, as the clip.
  bool pushRectClip(const Rect& rect, const Matrix& toPixels);
  // A timeline's space to the canvas, through its parents up to the timeline
  // being drawn; false for one that is not on that stage.
  bool stageMatrix(const TimelineInstance& timeline, Matrix& out) const;
  void drawLayered(const DisplayObject& object, const Matrix& toPixels, const ColorTransform& colorTransform,
                   int nesting);
  void fillEdges(const std::vector<Edge>& edges, const Matrix& toPixels, const Paint& paint, bool evenOdd);
  void strokePath(const ShapePath& path, const LineStyle& style, const Matrix& toPixels,
                  const ColorTransform& colorTransform);
  void flattenPath(const ShapePath& path, const Matrix& toSpace, const Matrix& toPixels);
  bool takeBudget(size_t edges);
  Paint paintFor(const FillStyle& fill, const Matrix& toPixels, const ColorTransform& colorTransform);
  const BitmapPixels* transformedBitmap(const BitmapPixels& bitmap, const ColorTransform& colorTransform);

  Canvas m_canvas;  // the caller's, with the clip of the masks in force
  const MovieDef* m_movie = nullptr;
  const TimelineInstance* m_stage = nullptr;  // the timeline being drawn, and its matrix
  Matrix m_stageToPixels;
  Rasterizer m_raster;
  // Scratch kept between draws so that a frame allocates nothing once warm.
  std::array<uint32_t, kRampSize> m_ramp{};
  BitmapPixels m_bitmap;
  std::vector<Point> m_points;
  // Morph shapes at the ratios last drawn, by character id and ratio.
  std::map<uint32_t, ShapeDef> m_morphs;
  // A decoder per video stream drawn, by character id.
  std::map<uint16_t, std::unique_ptr<VideoDecoder>> m_videos;
  size_t m_videoPixelsLeft = 0;
  // Per mask level: the mask drawn in colour, then its coverage.
  std::vector<std::vector<uint32_t>> m_maskPixels;
  std::vector<std::vector<uint8_t>> m_maskCoverage;
  size_t m_maskLevel = 0;
  // Per blend level: an object drawn alone, then blended onto what is below.
  std::vector<std::vector<uint32_t>> m_layers;
  size_t m_layerLevel = 0;
  std::vector<uint32_t> m_filterScratch;
  float m_stageScale = 1;      // screen pixels per movie pixel, for filter sizes
  bool m_drawingMask = false;  // shapes give their outline only, fully opaque
  size_t m_edgesLeft = 0;
  size_t m_pixelsLeft = 0;
  void resetBudgets(const Canvas& canvas);
};

}  // namespace swf
