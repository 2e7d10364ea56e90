// Sorenson H.263 frames for movies, through libavcodec's encoder.

#include "tools/swfwriter/swfwriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace swfwrite {

namespace {

constexpr int kQuantizer = 2;  // fine enough that flat colours come back within a step or two

// The encoder's objects, each freed by its own call.
struct Encoder {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~Encoder() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
  }
};

uint8_t clampByte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Studio-range BT.601, chroma taken from the top left pixel of each pair of pairs.
void fillFrame(AVFrame* frame, const Image& picture) {
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      uint32_t p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
      int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
      frame->data[0][y * frame->linesize[0] + x] = clampByte(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
      if (x % 2 || y % 2) continue;
      frame->data[1][y / 2 * frame->linesize[1] + x / 2] = clampByte(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
      frame->data[2][y / 2 * frame->linesize[2] + x / 2] = clampByte(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
    }
}

bool openEncoder(Encoder& e, int width, int height) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLV1);
  if (!codec) return false;
  e.context = avcodec_alloc_context3(codec);
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  if (!e.context || !e.frame || !e.packet) return false;
  e.context->width = width;
  e.context->height = height;
  e.context->pix_fmt = AV_PIX_FMT_YUV420P;
  e.context->time_base = {1, 12};
  e.context->gop_size = 600;  // one key frame, the first
  e.context->max_b_frames = 0;
  e.context->flags |= AV_CODEC_FLAG_QSCALE;
  e.context->global_quality = FF_QP2LAMBDA * kQuantizer;
  if (avcodec_open2(e.context, codec, nullptr) < 0) return false;
  e.frame->format = AV_PIX_FMT_YUV420P;
  e.frame->width = width;
  e.frame->height = height;
  return av_frame_get_buffer(e.frame, 0) == 0;
}

bool takePackets(Encoder& e, std::vector<std::vector<uint8_t>>& out) {
  while (avcodec_receive_packet(e.context, e.packet) == 0) {
    out.emplace_back(e.packet->data, e.packet->data + e.packet->size);
    av_packet_unref(e.packet);
  }
  return true;
}

}  // namespace

std::vector<std::vector<uint8_t>> encodeSorensonVideo(const std::vector<Image>& pictures) {
  if (pictures.empty() || pictures[0].width < 2 || pictures[0].height < 2) return {};
  Encoder e;
  if (!openEncoder(e, pictures[0].width, pictures[0].height)) return {};
  std::vector<std::vector<uint8_t>> out;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Image& picture = pictures[i];
    if (picture.width != pictures[0].width || picture.height != pictures[0].height ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) || av_frame_make_writable(e.frame) < 0)
      return {};
    fillFrame(e.frame, picture);
    e.frame->pts = int64_t(i);
    if (avcodec_send_frame(e.context, e.frame) < 0) return {};
    takePackets(e, out);
  }
  avcodec_send_frame(e.context, nullptr);
  takePackets(e, out);
  return out;
}

}  // namespace swfwrite
