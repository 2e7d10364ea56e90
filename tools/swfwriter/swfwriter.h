#pragma once
// Writes real Flash movies (FWS or zlib-compressed CWS) for tests, benchmarks
// and sample files: shapes with solid and gradient fills and strokes, sprites,
// placements, frame labels and frame actions. Coordinates are twips.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/flash/swfgeometry.h"

namespace swfwrite {

using swf::ColorTransform;
using swf::Matrix;
using swf::Rgba;

class BitWriter {
 public:
  void bits(uint32_t value, unsigned count);
  void signedBits(int32_t value, unsigned count) { bits(uint32_t(value), count); }
  void align();
  void u8(uint8_t value);
  void u16(uint16_t value);
  void u32(uint32_t value);
  void bytes(const std::vector<uint8_t>& data);
  void string(const std::string& text);  // with its terminator
  void rect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);
  void matrix(const Matrix& m);
  void colorTransform(const ColorTransform& cx, bool withAlpha);
  void rgb(Rgba c);
  void rgba(Rgba c);
  const std::vector<uint8_t>& data() const { return m_data; }
  std::vector<uint8_t> take() {
    align();
    return std::move(m_data);
  }

 private:
  std::vector<uint8_t> m_data;
  unsigned m_bitsUsed = 0;  // in the last byte; 0 when aligned
};

// Bits that hold `value` as a signed field (at least 1).
unsigned signedBitsFor(int32_t value);
unsigned unsignedBitsFor(uint32_t value);

struct Stop {
  uint8_t ratio;
  Rgba color;
};

// Beyond its edges a bitmap fill repeats, or its edge pixels are extended.
enum class BitmapEdges { Repeated, Clipped };
// A bitmap fill shows the nearest picture pixel, or is smoothed between them.
enum class BitmapSampling { Nearest, Smoothed };

// Picture pixels: 0xAARRGGBB, straight alpha, rows from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The pixel formats of DefineBitsLossless: a colour table of at most 256
// entries, 15-bit colours (no alpha), 24-bit colours or ARGB.
enum class Lossless { ColorMapped, Rgb15, Rgb32 };

// A picture's colour with its alpha multiplied in, as lossless pictures with
// alpha store it; opaque when `withAlpha` is false.
Rgba premultiplied(uint32_t argb, bool withAlpha);

// A JPEG of the picture's colours (alpha ignored), by libjpeg-turbo.
std::vector<uint8_t> encodeJpeg(const Image& picture, int quality = 95);

// Sorenson H.263 video of the pictures' colours (all of one even size), by
// libavcodec: the first frame a key frame, each later one predicted from the
// one before. Empty when the encoder cannot be had.
std::vector<std::vector<uint8_t>> encodeSorensonVideo(const std::vector<Image>& pictures);

// DefineVideoStream's fields; codec 2 Sorenson H.263, 3 screen video, 4 VP6,
// 5 VP6 with alpha.
struct VideoStream {
  uint16_t frameCount = 1;
  uint16_t width = 0, height = 0;
  bool smoothing = false;
  uint8_t codec = 2;
};

// Builds a shape's styles and edges. Style numbers start at 1 within the
// current style array; 0 is none.
class ShapeBuilder {
 public:
  int addSolidFill(Rgba color);
  // The gradient square (-16384..16384 twips) is placed by `matrix`.
  int addLinearGradient(const Matrix& matrix, std::vector<Stop> stops);
  int addRadialGradient(const Matrix& matrix, std::vector<Stop> stops);
  // A radial gradient whose centre colour sits at `focal` (-1..1 of the
  // radius) along the square's x axis; DefineShape4 only.
  int addFocalGradient(const Matrix& matrix, std::vector<Stop> stops, float focal);
  // `matrix` maps the picture's pixels to the shape's twips (scale 20 for one to one).
  int addBitmapFill(uint16_t bitmapId, const Matrix& matrix, BitmapEdges edges = BitmapEdges::Repeated,
                    BitmapSampling sampling = BitmapSampling::Nearest);
  int addLineStyle(uint16_t widthTwips, Rgba color);
  // A gradient's spread beyond its square (0 pad, 1 reflect, 2 repeat) and
  // whether its colours mix in linear light.
  void setGradientSpread(int fill, uint8_t spread, bool linearRgb = false);

  // Starts a fresh style array (DefineShape2 and later); styles added after
  // this belong to it.
  void newStyles();
  void setFill0(int style);
  void setFill1(int style);
  void setLine(int style);
  void moveTo(int32_t x, int32_t y);
  void lineTo(int32_t x, int32_t y);
  void curveTo(int32_t controlX, int32_t controlY, int32_t x, int32_t y);

  // Convenience: a closed rectangle and an ellipse of quadratic curves, each
  // drawn clockwise on the screen with `fill` as fill 1.
  void rectangle(int32_t x, int32_t y, int32_t width, int32_t height, int fill, int line = 0);
  void ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int fill, int line = 0);

  // The tag body after the character id, for DefineShape `version` 1 to 4.
  std::vector<uint8_t> encode(int version) const;
  // The bit counts and records alone, as glyphs and morph shapes store them.
  std::vector<uint8_t> encodeRecords() const;
  // Styles of the first array, for morph shapes.
  struct Fill {
    uint8_t type;
    Rgba color;
    Matrix matrix;
    std::vector<Stop> stops;
    uint16_t bitmapId = 0;
    int16_t focal = 0;          // 8.8 fixed point
    uint8_t gradientFlags = 0;  // spread and interpolation
  };
  struct Line {
    uint16_t width;
    Rgba color;
  };
  const std::vector<Fill>& fills() const { return m_styles[0].fills; }
  const std::vector<Line>& lines() const { return m_styles[0].lines; }
  int32_t minX() const { return m_minX == INT32_MAX ? 0 : m_minX; }
  int32_t maxX() const { return m_maxX == INT32_MIN ? 0 : m_maxX; }
  int32_t minY() const { return m_minY == INT32_MAX ? 0 : m_minY; }
  int32_t maxY() const { return m_maxY == INT32_MIN ? 0 : m_maxY; }

 private:
  struct Styles {
    std::vector<Fill> fills;
    std::vector<Line> lines;
  };
  struct Record {
    enum class Kind { Change, Straight, Curve } kind;
    bool newStyles = false;
    std::optional<int> fill0, fill1, line;
    std::optional<std::pair<int32_t, int32_t>> moveTo;
    int32_t dx = 0, dy = 0, ax = 0, ay = 0;  // edges: control delta, anchor delta
  };
  Record& change();
  void encodeRecords(BitWriter& w, int version, bool withCounts) const;
  void encodeStyles(BitWriter& w, const Styles& styles, int version) const;

  std::vector<Styles> m_styles{Styles{}};  // one array per newStyles
  std::vector<Record> m_records;
  int32_t m_penX = 0, m_penY = 0;
  int32_t m_minX = INT32_MAX, m_minY = INT32_MAX, m_maxX = INT32_MIN, m_maxY = INT32_MIN;
  void grow(int32_t x, int32_t y);
};

// PlaceObject2 fields; unset ones are left out of the tag.
struct Placement {
  uint16_t depth = 1;
  bool move = false;
  std::optional<uint16_t> characterId;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> colorTransform;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  // PlaceObject3 only: a blend mode (3 multiply .. 14 hard light, 2 a layer)
  // and a cached bitmap's background colour.
  std::optional<uint8_t> blendMode;
  std::optional<Rgba> opaqueBackground;
  std::optional<bool> visible;                // PlaceObject3 only
  std::vector<std::vector<uint8_t>> filters;  // each made by one of the filter functions below
};

// Filters of PlaceObject3. Sizes and distances are pixels; angles radians.
std::vector<uint8_t> blurFilter(float blurX, float blurY, int passes);
std::vector<uint8_t> dropShadowFilter(Rgba color, float blur, float angle, float distance, float strength,
                                      bool inner = false, bool knockout = false);
// A glow: `withObject` false leaves the glow alone.
std::vector<uint8_t> glowFilter(Rgba color, float blur, float strength, bool inner = false, bool knockout = false,
                                bool withObject = true);
// A bevel lit from the side `angle` points away from.
enum class BevelType { Inner, Outer, Full };
std::vector<uint8_t> bevelFilter(Rgba highlight, Rgba shadow, float blur, float angle, float distance, float strength,
                                 BevelType type, bool knockout = false);
std::vector<uint8_t> colorMatrixFilter(const std::array<float, 20>& matrix);

// Frame actions.
struct ActionRecord {
  uint8_t code;
  std::vector<uint8_t> payload;
};
ActionRecord actionStop();
ActionRecord actionPlay();
ActionRecord actionNextFrame();
ActionRecord actionPreviousFrame();
ActionRecord actionGotoFrame(uint16_t frame);
ActionRecord actionGotoLabel(const std::string& label);

// Sounds. Rates are 5512, 11025, 22050 or 44100; positions are samples at 44.1 kHz.
struct SoundFormat {
  uint8_t codec = 3;  // 0 native, 1 ADPCM, 2 MP3, 3 little-endian, 6 Nellymoser
  int rate = 44100;
  bool is16 = true;
  bool stereo = false;
};
struct SoundEnvelopePoint {
  uint32_t pos44;
  uint16_t left, right;  // 0-32768
};
struct SoundInfo {
  bool syncStop = false, syncNoMultiple = false;
  std::optional<uint32_t> inPoint, outPoint;
  std::optional<uint16_t> loops;
  std::vector<SoundEnvelopePoint> envelope;
};
// Interleaved 16-bit samples as the codecs store them: little-endian PCM,
// SWF ADPCM with `bits` (2-5) a code, or MP3 by LAME (with the samples of
// its delay to skip in front, as DefineSound keeps them; `withSeek` false
// leaves them out, as stream blocks want their own header).
std::vector<uint8_t> encodePcm16(const std::vector<int16_t>& samples);
std::vector<uint8_t> encodeAdpcm(const std::vector<int16_t>& samples, int channels, int bits = 4);
std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& samples, int rate, int channels, bool withSeek = true);

// Tags of a timeline: the movie's own or a sprite's.
class TagStream {
 public:
  void tag(uint16_t code, const std::vector<uint8_t>& body);
  void placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix = {},
                   std::optional<ColorTransform> colorTransform = std::nullopt);
  void placeObject2(const Placement& placement);
  void placeObject3(const Placement& placement);
  void removeObject(uint16_t characterId, uint16_t depth);
  void removeObject2(uint16_t depth);
  void showFrame();
  void frameLabel(const std::string& label);
  void doAction(const std::vector<ActionRecord>& actions);
  void videoFrame(uint16_t streamId, uint16_t frame, const std::vector<uint8_t>& data);
  void startSound(uint16_t soundId, const SoundInfo& info = {});
  void startSound2(const std::string& className, const SoundInfo& info = {});
  // DefineButtonSound: the sounds (plain sound info) of going idle, over, down and up again.
  void defineButtonSound(uint16_t buttonId, const std::array<std::optional<uint16_t>, 4>& sounds);
  // SoundStreamHead (`version` 1) or SoundStreamHead2.
  void soundStreamHead(const SoundFormat& format, uint16_t samplesPerBlock, int version = 1);
  void soundStreamBlock(const std::vector<uint8_t>& data);
  int frames() const { return m_frames; }
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 protected:
  std::vector<uint8_t> m_bytes;
  int m_frames = 0;
};

// A glyph of an embedded font: its outline (one fill, in glyph units of the
// font's em square, baseline at 0) and the character it draws.
struct FontGlyph {
  char16_t code;
  ShapeBuilder outline;
  int16_t advance = 0;  // glyph units
};

// One record of static text; unset fields carry over from the record before.
struct TextRecord {
  std::optional<uint16_t> fontId;
  std::optional<Rgba> color;
  std::optional<int16_t> x, y;
  uint16_t height = 0;                               // twips per em, written with the font
  std::vector<std::pair<uint32_t, int32_t>> glyphs;  // glyph index, advance in twips
};

// A text field's fields; unset ones are left out of the tag.
struct EditText {
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // twips
  std::optional<uint16_t> fontId;
  uint16_t height = 240;
  std::optional<Rgba> color;
  std::optional<uint8_t> align;  // with the layout: 0 left, 1 right, 2 centre
  uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
  int16_t leading = 0;
  std::optional<std::string> text;  // UTF-8
  std::string variable;             // the variable the field shows; empty for none
  bool border = false, html = false, useOutlines = false, wordWrap = false, multiline = false, password = false;
  bool readOnly = false;
};

// A button record: the states it shows in (bits: 1 up, 2 over, 4 down, 8 hit test).
struct ButtonPart {
  uint8_t states;
  uint16_t characterId;
  uint16_t depth;
  Matrix matrix;
};

class MovieWriter : public TagStream {
 public:
  // A movie of `width` x `height` pixels at `frameRate` frames per second.
  MovieWriter(int width, int height, float frameRate, uint8_t version = 8);

  void setBackground(Rgba color);
  void defineShape(uint16_t id, const ShapeBuilder& shape, int version = 3);
  // Appends End to the sprite's tags; its frame count is its ShowFrames.
  void defineSprite(uint16_t id, const TagStream& sprite);
  // DefineBitsLossless, or DefineBitsLossless2 `withAlpha`. Answers false
  // (and writes nothing) for a format the picture does not fit.
  bool defineBitsLossless(uint16_t id, const Image& picture, Lossless format, bool withAlpha);
  void defineBitsJpeg2(uint16_t id, const std::vector<uint8_t>& jpeg);
  void defineVideoStream(uint16_t id, const VideoStream& stream);
  // `alpha`: one byte a pixel, compressed into the tag.
  void defineBitsJpeg3(uint16_t id, const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& alpha);
  // JPEGTables, which DefineBits pictures use.
  void jpegTables(const std::vector<uint8_t>& tables);
  void defineBits(uint16_t id, const std::vector<uint8_t>& jpeg);
  // DefineFont (`version` 1, codes by defineFontInfo), DefineFont2 or DefineFont3.
  void defineFont(uint16_t id, int version, const std::string& name, const std::vector<FontGlyph>& glyphs,
                  uint16_t ascent = 0, uint16_t descent = 0);
  void defineFontInfo(uint16_t fontId, const std::string& name, const std::vector<char16_t>& codes);
  // DefineText (`version` 1) or DefineText2 (2).
  void defineText(uint16_t id, int version, const Matrix& matrix, const std::vector<TextRecord>& records);
  void defineEditText(uint16_t id, const EditText& field);
  // DefineButton2 with condition actions (a ButtonCondition bit each), or
  // DefineButton whose actions run on a release inside.
  void defineButton2(uint16_t id, const std::vector<ButtonPart>& parts,
                     const std::vector<std::pair<uint16_t, std::vector<ActionRecord>>>& actions = {});
  void defineButton(uint16_t id, const std::vector<ButtonPart>& parts, const std::vector<ActionRecord>& actions = {});
  // DefineMorphShape: fills and lines of the first style array paired by
  // number, edges paired in order (the end's style changes are ignored).
  void defineMorphShape(uint16_t id, const ShapeBuilder& start, const ShapeBuilder& end);
  // `sampleCount` frames of `data` as the format's codec stores them.
  void defineSound(uint16_t id, const SoundFormat& format, uint32_t sampleCount, const std::vector<uint8_t>& data);
  void exportAssets(const std::vector<std::pair<uint16_t, std::string>>& names);
  // The frame count in the header; by default the ShowFrames written.
  void setHeaderFrameCount(uint16_t count) { m_headerFrames = count; }

  // The whole file, with an End tag after what was written.
  std::vector<uint8_t> finish(bool compressed = false) const;
  enum class Compression { None, Zlib, Lzma };
  std::vector<uint8_t> finish(Compression compression) const;

 private:
  int m_width, m_height;
  float m_frameRate;
  uint8_t m_version;
  std::optional<uint16_t> m_headerFrames;
};

}  // namespace swfwrite
