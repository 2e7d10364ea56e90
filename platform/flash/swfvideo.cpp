#include "platform/flash/swfvideo.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <string>

// libavcodec's headers are C without C++ guards.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "platform/core/latesymbol.h"

namespace swf {

namespace {

constexpr uint8_t kSmoothingFlag = 0x01;
constexpr uint32_t kH263StartCode = 1;  // the 17 bits every Sorenson picture starts with
constexpr uint32_t kH263IntraPicture = 0;
constexpr uint8_t kVp6InterFrameBit = 0x80;
constexpr size_t kVp6AlphaOffsetBytes = 3;  // VP6 with alpha: where the alpha stream starts

struct CodecRow {
  VideoCodec codec;
  AVCodecID decoder;
};

// VP6 in a movie is the top-down ("Flash") flavour of the codec.
constexpr std::array<CodecRow, 5> kCodecs{{
    {VideoCodec::SorensonH263, AV_CODEC_ID_FLV1},
    {VideoCodec::ScreenVideo, AV_CODEC_ID_FLASHSV},
    {VideoCodec::Vp6, AV_CODEC_ID_VP6F},
    {VideoCodec::Vp6Alpha, AV_CODEC_ID_VP6A},
    {VideoCodec::ScreenVideo2, AV_CODEC_ID_FLASHSV2},
}};

AVCodecID decoderFor(uint8_t codec) {
  for (const CodecRow& row : kCodecs)
    if (uint8_t(row.codec) == codec) return row.decoder;
  return AV_CODEC_ID_NONE;
}

bool isH263KeyFrame(std::span<const uint8_t> data) {
  SwfReader r(data);
  if (r.bits(17) != kH263StartCode) return false;
  r.bits(5);  // version
  r.bits(8);  // temporal reference
  switch (r.bits(3)) {
    case 0:
      r.bits(16);  // width and height in 8 bits each
      break;
    case 1:
      r.bits(32);  // in 16 bits each
      break;
    default:
      break;  // one of the standard sizes
  }
  return r.bits(2) == kH263IntraPicture && r.ok();
}

// libavcodec and what it brings (a hundred libraries, some megabytes
// resident) are loaded by the first movie with a video stream, not by every
// process that hosts the control. The functions used, found once; none when
// the libraries are missing, and then no video is decoded.
struct AvCodecCalls {
  decltype(&avcodec_find_decoder) findDecoder = nullptr;
  decltype(&avcodec_alloc_context3) allocContext = nullptr;
  decltype(&avcodec_open2) open = nullptr;
  decltype(&avcodec_free_context) freeContext = nullptr;
  decltype(&avcodec_flush_buffers) flushBuffers = nullptr;
  decltype(&avcodec_send_packet) sendPacket = nullptr;
  decltype(&avcodec_receive_frame) receiveFrame = nullptr;
  decltype(&av_packet_alloc) packetAlloc = nullptr;
  decltype(&av_packet_free) packetFree = nullptr;
  decltype(&av_frame_alloc) frameAlloc = nullptr;
  decltype(&av_frame_free) frameFree = nullptr;
  decltype(&av_frame_unref) frameUnref = nullptr;
  decltype(&av_frame_move_ref) frameMoveRef = nullptr;
  decltype(&av_log_set_level) logSetLevel = nullptr;
};

// The soname the headers were built for; the libraries stay loaded for the
// life of the process, as linked ones would.
void* openLibrary(const char* name, int major) {
  return dlopen(("lib" + std::string(name) + ".so." + std::to_string(major)).c_str(), RTLD_NOW | RTLD_LOCAL);
}

bool loadCalls(AvCodecCalls& c) {
  void* util = openLibrary("avutil", LIBAVUTIL_VERSION_MAJOR);
  void* codec = util ? openLibrary("avcodec", LIBAVCODEC_VERSION_MAJOR) : nullptr;
  return codec && lateSymbol(codec, "avcodec_find_decoder", c.findDecoder) &&
         lateSymbol(codec, "avcodec_alloc_context3", c.allocContext) && lateSymbol(codec, "avcodec_open2", c.open) &&
         lateSymbol(codec, "avcodec_free_context", c.freeContext) &&
         lateSymbol(codec, "avcodec_flush_buffers", c.flushBuffers) &&
         lateSymbol(codec, "avcodec_send_packet", c.sendPacket) &&
         lateSymbol(codec, "avcodec_receive_frame", c.receiveFrame) &&
         lateSymbol(codec, "av_packet_alloc", c.packetAlloc) && lateSymbol(codec, "av_packet_free", c.packetFree) &&
         lateSymbol(util, "av_frame_alloc", c.frameAlloc) && lateSymbol(util, "av_frame_free", c.frameFree) &&
         lateSymbol(util, "av_frame_unref", c.frameUnref) && lateSymbol(util, "av_frame_move_ref", c.frameMoveRef) &&
         lateSymbol(util, "av_log_set_level", c.logSetLevel);
}

const AvCodecCalls* avcodec() {
  static AvCodecCalls calls;
  static const bool loaded = loadCalls(calls);
  return loaded ? &calls : nullptr;
}

uint8_t clampChannel(int value) { return uint8_t(std::clamp(value, 0, 255)); }

// One pixel of studio-range BT.601 YUV as 0xAARRGGBB. VP6's alpha video
// is encoded with its colours already multiplied by the alpha, so they are
// only kept within it.
uint32_t yuvToArgb(int y, int u, int v, unsigned alpha) {
  int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
  auto channel = [alpha](int value) { return uint32_t(std::min<unsigned>(clampChannel(value), alpha)); };
  return uint32_t(alpha) << 24 | channel((c + 409 * e) >> 8) << 16 | channel((c - 100 * d - 208 * e) >> 8) << 8 |
         channel((c + 516 * d) >> 8);
}

}  // namespace

bool readVideoStream(SwfReader& body, VideoStreamDef& video) {
  video.frameCount = body.u16();
  video.width = body.u16();
  video.height = body.u16();
  video.smoothing = body.u8() & kSmoothingFlag;
  video.codec = body.u8();
  return body.ok();
}

bool isVideoKeyFrame(uint8_t codec, std::span<const uint8_t> data) {
  switch (VideoCodec(codec)) {
    case VideoCodec::SorensonH263:
      return isH263KeyFrame(data);
    case VideoCodec::Vp6:
      return !data.empty() && !(data[0] & kVp6InterFrameBit);
    case VideoCodec::Vp6Alpha:
      return data.size() > kVp6AlphaOffsetBytes && !(data[kVp6AlphaOffsetBytes] & kVp6InterFrameBit);
    default:
      return false;  // screen video has no mark: only the first frame starts afresh
  }
}

// The libavcodec objects of one decoder, each freed by its own call.
struct VideoDecoder::Codec {
  explicit Codec(const AvCodecCalls& calls) : av(calls) {}
  ~Codec() {
    av.frameFree(&received);
    av.frameFree(&frame);
    av.packetFree(&packet);
    av.freeContext(&context);
  }
  const AvCodecCalls& av;
  AVCodecContext* context = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;     // the picture decoded last
  AVFrame* received = nullptr;  // where the decoder puts the next one
};

VideoDecoder::VideoDecoder(const VideoStreamDef& video) : m_video(video) {
  const AvCodecCalls* av = avcodec();
  const AVCodec* decoder = av ? av->findDecoder(decoderFor(video.codec)) : nullptr;
  if (!decoder) return;
  // A damaged frame is the movie's business, not a line on the device's error output.
  av->logSetLevel(AV_LOG_QUIET);
  auto codec = std::make_unique<Codec>(*av);
  codec->context = av->allocContext(decoder);
  codec->packet = av->packetAlloc();
  codec->frame = av->frameAlloc();
  codec->received = av->frameAlloc();
  if (!codec->context || !codec->packet || !codec->frame || !codec->received) return;
  codec->context->thread_count = 1;  // the control draws on the one thread it has
  codec->context->max_pixels = kMaxFramePixels;
  if (av->open(codec->context, decoder, nullptr) < 0) return;
  m_codec = std::move(codec);
}

VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::restart() {
  m_codec->av.flushBuffers(m_codec->context);
  m_decoded.reset();
  m_hasOutput = false;
  m_pictureCurrent = false;
  return true;
}

bool VideoDecoder::decode(std::span<const uint8_t> data) {
  m_packet.assign(data.begin(), data.end());
  m_packet.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  AVPacket* packet = m_codec->packet;
  packet->data = m_packet.data();
  packet->size = int(data.size());
  int sent = m_codec->av.sendPacket(m_codec->context, packet);
  packet->data = nullptr;
  packet->size = 0;
  if (sent < 0) return false;
  // Receiving clears the frame it is given even when nothing comes: keep
  // the last picture in a frame of its own.
  bool got = false;
  while (m_codec->av.receiveFrame(m_codec->context, m_codec->received) == 0) {
    m_codec->av.frameUnref(m_codec->frame);
    m_codec->av.frameMoveRef(m_codec->frame, m_codec->received);
    got = true;
  }
  if (got) {
    m_hasOutput = true;
    m_pictureCurrent = false;
  }
  return got;
}

void VideoDecoder::convertPicture() {
  const AVFrame* f = m_codec->frame;
  m_pictureCurrent = true;
  int w = f->width, h = f->height;
  auto format = AVPixelFormat(f->format);
  bool yuv = format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVA420P;
  if (w <= 0 || h <= 0 || int64_t(w) * h > kMaxFramePixels || (!yuv && format != AV_PIX_FMT_BGR24)) {
    m_picture = BitmapPixels{};
    return;
  }
  m_picture.width = w;
  m_picture.height = h;
  m_picture.pixels.resize(size_t(w) * size_t(h));
  bool withAlpha = format == AV_PIX_FMT_YUVA420P;
  bool opaque = true;
  for (int y = 0; y < h; ++y) {
    uint32_t* out = m_picture.pixels.data() + size_t(y) * size_t(w);
    const uint8_t* row0 = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
    if (!yuv) {
      for (int x = 0; x < w; ++x)
        out[x] = 0xFF000000u | uint32_t(row0[3 * x + 2]) << 16 | uint32_t(row0[3 * x + 1]) << 8 | row0[3 * x];
      continue;
    }
    const uint8_t* u = f->data[1] + std::ptrdiff_t(y / 2) * f->linesize[1];
    const uint8_t* v = f->data[2] + std::ptrdiff_t(y / 2) * f->linesize[2];
    const uint8_t* a = withAlpha ? f->data[3] + std::ptrdiff_t(y) * f->linesize[3] : nullptr;
    for (int x = 0; x < w; ++x) {
      unsigned alpha = a ? a[x] : 255;
      opaque = opaque && alpha == 255;
      out[x] = yuvToArgb(row0[x], u[x / 2], v[x / 2], alpha);
    }
  }
  m_picture.opaque = opaque;
}

// Pixels one frame costs: the size decoded last, else the size the stream declares.
size_t VideoDecoder::decodeCost() const {
  const AVCodecContext* c = m_codec->context;
  size_t decoded = c->width > 0 && c->height > 0 ? size_t(c->width) * size_t(c->height) : 0;
  return std::max({decoded, size_t(m_video.width) * m_video.height, size_t(1)});
}

const BitmapPixels* VideoDecoder::frameAt(uint16_t frame, size_t& pixelBudget) {
  const auto& frames = m_video.frames;
  auto target = frames.upper_bound(frame);
  if (!m_codec || target == frames.begin()) return nullptr;
  --target;
  if (!m_decoded || *m_decoded != target->first) {
    // Back to the key frame at or before the target, unless going on from
    // the frame decoded last gets there without passing one.
    auto start = target;
    while (start != frames.begin() && !isVideoKeyFrame(m_video.codec, start->second)) --start;
    auto next = frames.begin();
    if (m_decoded && *m_decoded < target->first && start->first <= *m_decoded)
      next = frames.upper_bound(*m_decoded);
    else if (restart())
      next = start;
    for (; next != frames.end() && next->first <= target->first; ++next) {
      if (decodeCost() > pixelBudget) break;
      pixelBudget -= decodeCost();
      decode(next->second);
      m_decoded = next->first;
    }
  }
  if (m_hasOutput && !m_pictureCurrent) convertPicture();
  return m_hasOutput && m_picture.width > 0 ? &m_picture : nullptr;
}

}  // namespace swf
