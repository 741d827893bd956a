extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include "test_data.h"

namespace {

// Decodes every frame of one stream of the file and returns how many came out.
int DecodeAll(const std::string& path, AVMediaType type, int* width = nullptr) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return -1;
  int frames = -2;
  const AVCodec* codec = nullptr;
  int index = avformat_find_stream_info(fmt, nullptr) < 0
                  ? -1
                  : av_find_best_stream(fmt, type, -1, -1, &codec, 0);
  AVCodecContext* ctx = index >= 0 ? avcodec_alloc_context3(codec) : nullptr;
  if (ctx && avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar) >= 0 &&
      avcodec_open2(ctx, codec, nullptr) >= 0) {
    frames = 0;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
      while (avcodec_receive_frame(ctx, frame) >= 0) {
        if (width) *width = frame->width;
        ++frames;
      }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
      if (pkt->stream_index == index && avcodec_send_packet(ctx, pkt) >= 0) drain();
      av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
  }
  avcodec_free_context(&ctx);
  avformat_close_input(&fmt);
  return frames;
}

}  // namespace

TEST(EnvFfmpeg, DecodesGeneratedClip) {
  const std::string clip = TestDataPath("env_clip.mp4");
  int width = 0;
  EXPECT_EQ(DecodeAll(clip, AVMEDIA_TYPE_VIDEO, &width), 25);
  EXPECT_EQ(width, 320);
  EXPECT_GT(DecodeAll(clip, AVMEDIA_TYPE_AUDIO), 40);  // 1 s of 1024-sample AAC frames
}

TEST(EnvFfmpeg, MissingFileIsAnError) {
  EXPECT_EQ(DecodeAll(TestDataPath("no-such-file.mp4"), AVMEDIA_TYPE_VIDEO), -1);
}
