#include "windows/picture_file/video_frame_ppm.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "foundation/log.h"
#include "foundation/text_convert.h"

namespace {

struct InputCloser {
  void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
struct CodecFreer {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct FileCloser {
  void operator()(void* file) const { CloseHandle(file); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// Receives every frame the decoder has ready; true once the wanted key frame is in `frame`.
bool ReceiveUntilKeyFrame(AVCodecContext* codec, AVFrame* frame, int wanted, int* seen) {
  while (avcodec_receive_frame(codec, frame) >= 0) {
    if (frame->key_frame && ++*seen == wanted) return true;
    av_frame_unref(frame);
  }
  return false;
}

// Opens the decoder of the last video stream; its index goes to *stream_index.
CodecPtr OpenLastVideoDecoder(AVFormatContext* input, int* stream_index) {
  int index = -1;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) index = static_cast<int>(i);
  }
  if (index < 0) return nullptr;
  const AVCodecParameters* parameters = input->streams[index]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder) return nullptr;
  CodecPtr codec(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    return nullptr;
  }
  *stream_index = index;
  return codec;
}

}  // namespace

bool SaveRgbAsPpm(const std::string& path, const uint8_t* rgb, int width, int height) {
  if (!rgb || width <= 0 || height <= 0) return false;
  const std::wstring wide_path = Utf8ToUnicode(path);
  HANDLE raw = CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    TVLOG_ERROR() << "cannot create " << path << " error=" << GetLastError();
    return false;
  }
  bool written = false;
  {
    std::unique_ptr<void, FileCloser> file(raw);
    char header[64];
    const int header_length = snprintf(header, sizeof(header), "P6\n%d %d\n255\n", width, height);
    auto write_all = [raw](const void* data, DWORD length) {
      DWORD done = 0;
      return WriteFile(raw, data, length, &done, nullptr) && done == length;
    };
    written = write_all(header, static_cast<DWORD>(header_length));
    const DWORD row = static_cast<DWORD>(width) * 3;
    for (int y = 0; written && y < height; ++y) written = write_all(rgb + y * row, row);
    if (!written) TVLOG_ERROR() << "short write of " << path << " error=" << GetLastError();
  }
  if (!written) DeleteFileW(wide_path.c_str());
  return written;
}

std::string SaveVideoFirstFramePpm(const std::string& video_path, const std::string& ppm_path,
                                   int key_frame_number) {
  if (key_frame_number < 1) return std::string();
  AVFormatContext* raw_input = nullptr;
  if (avformat_open_input(&raw_input, video_path.c_str(), nullptr, nullptr) < 0) {
    TVLOG_ERROR() << "cannot open " << video_path;
    return std::string();
  }
  InputPtr input(raw_input);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) {
    TVLOG_ERROR() << "no stream information in " << video_path;
    return std::string();
  }
  int stream_index = -1;
  CodecPtr codec = OpenLastVideoDecoder(input.get(), &stream_index);
  if (!codec) {
    TVLOG_ERROR() << "no usable video stream in " << video_path;
    return std::string();
  }

  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!frame || !packet) return std::string();
  int key_frames = 0;
  bool found = false;
  while (!found && av_read_frame(input.get(), packet.get()) >= 0) {
    // A damaged packet (or one that needs the headers cut off the front of the file) is only
    // skipped: decoding goes on with the next.
    if (packet->stream_index == stream_index && avcodec_send_packet(codec.get(), packet.get()) >= 0) {
      found = ReceiveUntilKeyFrame(codec.get(), frame.get(), key_frame_number, &key_frames);
    }
    av_packet_unref(packet.get());
  }
  if (!found && avcodec_send_packet(codec.get(), nullptr) >= 0) {
    found = ReceiveUntilKeyFrame(codec.get(), frame.get(), key_frame_number, &key_frames);
  }
  if (!found) {
    TVLOG_ERROR() << "key frame " << key_frame_number << " not found in " << video_path << " ("
                  << key_frames << " decoded)";
    return std::string();
  }

  const int width = frame->width;
  const int height = frame->height;
  ScalerPtr scaler(sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), width,
                                  height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr,
                                  nullptr));
  if (!scaler || width <= 0 || height <= 0) {
    TVLOG_ERROR() << "cannot convert a " << width << "x" << height << " picture of format "
                  << frame->format;
    return std::string();
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
  int strides[4] = {width * 3, 0, 0, 0};
  if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, height, planes, strides) != height) {
    TVLOG_ERROR() << "conversion of the key frame failed";
    return std::string();
  }
  if (!SaveRgbAsPpm(ppm_path, rgb.data(), width, height)) return std::string();
  return ppm_path;
}
