#pragma once
// Embedded video: a DefineVideoStream and the VideoFrame tags that fill it,
// decoded on demand by the frame its placement's ratio names. Sorenson
// H.263, On2 VP6 (with or without its alpha channel) and the two screen
// video codecs are decoded by libavcodec; the decoder keeps its state
// between frames, so playing forward decodes each frame once.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/flash/swfraster.h"
#include "platform/flash/swfreader.h"

namespace swf {

enum class VideoCodec : uint8_t {
  SorensonH263 = 2,
  ScreenVideo = 3,
  Vp6 = 4,
  Vp6Alpha = 5,
  ScreenVideo2 = 6,
};

struct VideoStreamDef {
  uint16_t frameCount = 0;
  uint16_t width = 0;  // pixels the video takes in its own space
  uint16_t height = 0;
  bool smoothing = false;  // scaled frames are smoothed, else nearest pixel
  uint8_t codec = 0;
  std::map<uint16_t, std::vector<uint8_t>> frames;  // VideoFrame data by frame number
};

// The body after the character id; answers false when it is cut short.
bool readVideoStream(SwfReader& body, VideoStreamDef& video);

// Whether a frame's data starts a sequence that needs no frame before it.
bool isVideoKeyFrame(uint8_t codec, std::span<const uint8_t> data);

// Decodes one stream's frames for one placement. Owned by the renderer; the
// stream outlives it.
class VideoDecoder {
 public:
  // Largest decoded frame accepted, in pixels.
  static constexpr int kMaxFramePixels = 4096 * 4096;

  explicit VideoDecoder(const VideoStreamDef& video);
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // The picture of frame `frame` (the last frame with data at or before it),
  // or null when there is none or the codec is unknown. Decoding uses up
  // `pixelBudget`; when it runs out the frame reached so far is shown and
  // the next call goes on from there.
  const BitmapPixels* frameAt(uint16_t frame, size_t& pixelBudget);

 private:
  struct Codec;
  bool decode(std::span<const uint8_t> data);
  bool restart();
  void convertPicture();
  size_t decodeCost() const;

  const VideoStreamDef& m_video;
  std::unique_ptr<Codec> m_codec;     // null when the codec is unknown or cannot open
  std::optional<uint16_t> m_decoded;  // the last frame given to the decoder
  bool m_pictureCurrent = false;      // m_picture shows the decoder's last output
  bool m_hasOutput = false;
  BitmapPixels m_picture;
  std::vector<uint8_t> m_packet;  // a frame's data with the padding the decoder reads past its end
};

}  // namespace swf
