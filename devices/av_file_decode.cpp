#include "devices/av_file_decode.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

#include "devices/av_formats.h"
#include "devices/av_log.h"

using morlun::AudioRecord;
using morlun::PacketItem;
using morlun::VideoRecord;

namespace {

// Queue bounds: the demux reads while a stream holds fewer packets than this (and the total
// stays under kMaxQueuedBytes); a decoder waits while its record queue is full.
constexpr size_t kPacketsPerStream = 100;
constexpr size_t kMaxQueuedBytes = 16 * 1024 * 1024;
constexpr size_t kAudioRecordLimit = 41;
constexpr size_t kVideoRecordLimit = 21;
// The audio clock runs this far ahead of the sound being pulled (output latency).
constexpr int kAudioLeadMs = 100;
constexpr int kPreRollRecords = 50;
constexpr int kPacketWaitMs = 500;
constexpr int kGateWaitMs = 250;

// The engine whose pacing thread this is (null on other threads).
thread_local const AvFileDecode* t_delivering_engine = nullptr;

std::string WideToCodePage(const std::wstring& text, UINT code_page) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(code_page, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(code_page, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  }
  return out;
}

double ToMs(int64_t ts, AVRational tb) { return ts * av_q2d(tb) * 1000.0; }

uint64_t MaskOf(const AVChannelLayout& layout) {
  if (layout.order == AV_CHANNEL_ORDER_NATIVE && layout.u.mask) return layout.u.mask;
  AVChannelLayout fallback{};
  av_channel_layout_default(&fallback, layout.nb_channels > 0 ? layout.nb_channels : 2);
  uint64_t mask = fallback.order == AV_CHANNEL_ORDER_NATIVE ? fallback.u.mask : AV_CH_LAYOUT_STEREO;
  av_channel_layout_uninit(&fallback);
  return mask;
}

}  // namespace

AvFileDecode::AvFileDecode(IAVFrame* receiver) : receiver_(receiver), window_(this) {}

AvFileDecode::~AvFileDecode() {
  // Nothing reaches the sink from here on, also what is still queued in the window.
  window_.Detach();
  std::lock_guard<std::recursive_mutex> lock(file_lock_);
  StopAllThreads();
  CloseDecodersAndInput();
  retired_pacing_thread_.reset();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void AvFileDecode::OnMsg(int kind, unsigned value) {
  AvFileDecodeSink* sink = sink_.load();
  if (!sink) return;
  const int high = static_cast<int>(value >> 16);
  switch (kind) {
    case morlun::kAvMsgPosition:
      sink->OnAvFileDecodePosChanged(this, (value & 0xFFFF) != 0, high);
      break;
    case morlun::kAvMsgFinished:
      sink->OnAvFileDecodeFinished(this, (value & 0xFFFF) != 0, high);
      break;
    case morlun::kAvMsgState:
      sink->OnAvFileDecodeStateChanged(this, static_cast<int>(value & 0xFFFF), high);
      break;
    default:
      break;
  }
}

void AvFileDecode::PostState(int state, int error) {
  state_.store(state);
  window_.Post(morlun::kAvMsgState, morlun::PackAvMsg(error, state));
}

void AvFileDecode::PostProgress(int value, ProgressNotice notice) {
  // A pull that read its position just before the end must not post it after the end's own
  // notice: deciding and posting happen under one lock.
  std::lock_guard<std::mutex> lock(progress_mutex_);
  if (notice == ProgressNotice::kRestart) progress_ended_ = false;
  if (progress_ended_) return;
  if (notice == ProgressNotice::kLast) progress_ended_ = true;
  progress_.store(value);
  if (last_posted_progress_ != value) {
    last_posted_progress_ = value;
    window_.Post(morlun::kAvMsgPosition, morlun::PackAvMsg(value, 0));
  }
}

void AvFileDecode::UpdateProgress(int64_t position_ms) {
  const double duration = duration_.load();
  int64_t seconds = position_ms > 0 ? position_ms / 1000 : 0;
  // An unknown duration (0) bounds nothing and gives 0 percent.
  if (duration > 0) seconds = std::min<int64_t>(seconds, static_cast<int64_t>(duration));
  int value;
  if (percent_mode_.load()) {
    value = duration > 0 ? static_cast<int>(std::floor(100.0 * seconds / duration)) : 0;
    value = std::clamp(value, 0, 100);
  } else {
    value = static_cast<int>(std::min<int64_t>(seconds, INT32_MAX));
  }
  PostProgress(value);
}

int64_t AvFileDecode::ClampToDuration(int64_t ms) const {
  const double duration = duration_.load();
  if (duration > 0) ms = std::min(ms, static_cast<int64_t>(std::floor(duration * 1000.0)));
  return std::max<int64_t>(ms, 0);
}

int64_t AvFileDecode::PositionMs() const { return ClampToDuration(position_ms_.load()); }

int64_t AvFileDecode::ViewMs(bool next) const {
  const int64_t shown = (next ? next_video_ms_ : shown_video_ms_).load();
  return shown != INT64_MIN ? std::max<int64_t>(shown, 0) : PositionMs();
}

// ---------------------------------------------------------------------------------------------
// Simple settings and getters

void AvFileDecode::SetSink(AvFileDecodeSink* sink) {
  AvLog("FileDecode SetSink = (%p), pInst = %08x", static_cast<void*>(sink),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  sink_.store(sink);
}

void AvFileDecode::SetMaxVideoSize(int width, int height) {
  AvLog("FileDecode SetMaxVideoSize = (%d x %d), pInst = %08x", width, height,
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  box_width_.store(width);
  box_height_.store(height);
}

bool AvFileDecode::HasFile() {
  CxAutoLock lock(path_lock_);
  return !path_.empty();
}

const wchar_t* AvFileDecode::GetFilePath() {
  CxAutoLock lock(path_lock_);
  return path_.c_str();
}

std::string AvFileDecode::ShownPath() {
  CxAutoLock lock(path_lock_);
  return WideToCodePage(path_, CP_ACP);
}

std::unique_lock<std::recursive_mutex> AvFileDecode::LockFile(const char* operation) {
  std::unique_lock<std::recursive_mutex> lock(file_lock_, std::defer_lock);
  if (t_delivering_engine != this) {
    lock.lock();
    return lock;
  }
  // A receiver's call from inside OnVideoFrame. Whoever stops this thread holds the lock until
  // the thread returns, so the call must not wait for it then.
  CxThread* self = CxThread::CurrentThreadObject();
  while (!lock.try_lock()) {
    if (self && self->GetQuit()) {
      AvLog("FileDecode %s given up: playback is being stopped by another call, pInst = %08x",
            operation, static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
      return lock;
    }
    Sleep(1);
  }
  return lock;
}

void AvFileDecode::SetLoopCount(int count) { loop_count_.store(count < 0 ? 0 : count); }
int AvFileDecode::GetLoopCount() { return loop_count_.load(); }

void AvFileDecode::SetSpeed(double speed) {
  // atempo takes 0.5 to 100.
  if (!(speed >= 0.5 && speed <= 100.0)) {
    AvLog("FileDecode SetSpeed refused (%0.3f), pInst = %08x", speed,
          static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
    return;
  }
  {
    CxAutoLock lock(control_lock_);
    speed_.store(speed);
  }
  demux_wake_.Notify();
}

float AvFileDecode::GetSpeed() { return static_cast<float>(speed_.load()); }
void AvFileDecode::SetVolume(double volume) { volume_.store(volume); }
float AvFileDecode::GetVolume() { return static_cast<float>(volume_.load()); }
bool AvFileDecode::IsPaused() { return paused_.load(); }
bool AvFileDecode::HasAudio() { return audio_.index.load() >= 0; }
bool AvFileDecode::HasVideo() { return video_.index.load() >= 0; }
void AvFileDecode::SetPercentMode(bool percent) { percent_mode_.store(percent); }
bool AvFileDecode::IsPercentMode() { return percent_mode_.load(); }
int AvFileDecode::GetProgress() { return progress_.load(); }
int AvFileDecode::GetDurationCeil() { return static_cast<int>(std::ceil(duration_.load())); }
double AvFileDecode::GetDuration() { return duration_.load(); }
double AvFileDecode::GetStreamTime() { return PositionMs() / 1000.0; }
int AvFileDecode::GetStreamTimeCeil() { return static_cast<int>(std::ceil(GetStreamTime())); }
int AvFileDecode::GetSourcePixelFormat() {
  return morlun::PixelCodeOfFormat(src_pixel_format_.load());
}
int AvFileDecode::GetSourceWidth() { return src_width_.load(); }
int AvFileDecode::GetSourceHeight() { return src_height_.load(); }
double AvFileDecode::GetSourceFrameRate() { return src_frame_rate_.load(); }
int AvFileDecode::GetOutputPixelFormat() {
  const int code = out_pixel_code_.load();
  return code >= 0 ? morlun::PixelCodeOfFormat(morlun::FormatOfPixelCode(code))
                   : GetSourcePixelFormat();
}
int AvFileDecode::GetOutputWidth() {
  return out_width_.load() > 0 ? out_width_.load() : src_width_.load();
}
int AvFileDecode::GetOutputHeight() {
  return out_height_.load() > 0 ? out_height_.load() : src_height_.load();
}
double AvFileDecode::GetOutputFrameRate() {
  return out_frame_rate_.load() > 0 ? out_frame_rate_.load() : src_frame_rate_.load();
}

void AvFileDecode::SetAudioOutput(int sampleFormat, int channelLayout, int sampleRate,
                                  int samplesPerFrame) {
  AvLog("FileDecode SetAudioOutput = (%d, %d, %d, %d), pInst = %08x", sampleFormat, channelLayout,
        sampleRate, samplesPerFrame, static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  CxAutoLock decoder(audio_.decoder_lock);
  CxAutoLock filter(audio_.filter_lock);
  out_sample_format_.store(morlun::SampleFormatOfCode(sampleFormat));
  out_channel_mask_.store(morlun::ChannelLayoutMask(channelLayout));
  out_sample_rate_.store(sampleRate > 0 ? sampleRate : 0);
  out_samples_per_frame_.store(samplesPerFrame > 0 ? samplesPerFrame : 0);
  if (audio_.codec) BuildAudioGraphLocked();
}

void AvFileDecode::SetVideoOutput(int pixelCode, int width, int height, double frameRate) {
  AvLog("FileDecode SetVideoOutput = (%d, %d, %d, %0.3f), pInst = %08x", pixelCode, width, height,
        frameRate, static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  CxAutoLock decoder(video_.decoder_lock);
  CxAutoLock filter(video_.filter_lock);
  out_pixel_code_.store(pixelCode);
  out_width_.store(width > 0 ? width : 0);
  out_height_.store(height > 0 ? height : 0);
  out_frame_rate_.store(frameRate > 0 ? frameRate : 0);
  if (video_.codec) BuildVideoGraphLocked();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

int AvFileDecode::OpenFile(const wchar_t* path, bool preReadDuration) {
  const std::unique_lock<std::recursive_mutex> lock = LockFile("OpenFile");
  if (!lock.owns_lock()) return kAvFileDecodeErrorOpenInput;
  const std::wstring new_path = path ? path : L"";
  const unsigned self = static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
  AvLog("FileDecode OpenFile = (%s), pInst = %08x", WideToCodePage(new_path, CP_ACP).c_str(), self);
  PostState(kAvFileDecodeStateOpenTry, 0);
  audio_untrusted_.store(false);
  video_untrusted_.store(false);

  StopAllThreads();
  CloseDecodersAndInput();
  paused_.store(false);
  {
    CxAutoLock path_lock(path_lock_);
    path_ = new_path;
  }
  src_sample_format_.store(-1);
  src_channel_mask_.store(0);
  src_sample_rate_.store(0);
  src_pixel_format_.store(-1);
  src_width_.store(0);
  src_height_.store(0);
  src_frame_rate_.store(30.0);
  duration_.store(0);

  int error = kAvFileDecodeErrorNone;
  if (path_.empty()) {
    error = kAvFileDecodeErrorEmptyPath;
  } else if (OpenInput() != 0) {
    error = kAvFileDecodeErrorOpenInput;
  } else if (!OpenStreams()) {
    CloseDecodersAndInput();
    error = kAvFileDecodeErrorNoStream;
  }
  if (error != kAvFileDecodeErrorNone) {
    AvLog("FileDecode OpenFile Error, errorCode = [%d], pInst = %08x", error, self);
    PostState(kAvFileDecodeStateOpenTry, error);
    return error;
  }

  LogFormats();
  if (preReadDuration && input_->iformat && input_->iformat->name &&
      (_stricmp(input_->iformat->name, "avi") == 0 ||
       _stricmp(input_->iformat->name, "asf") == 0)) {
    MeasureRealDuration();
  }

  plays_.store(0);
  BuildAudioGraph();
  BuildVideoGraph();
  {
    CxAutoLock control(control_lock_);
    applied_speed_ = speed_.load();
    step_counter_ = 0;
    seek_requested_ = false;
    seek_target_ms_ = 0;
  }
  position_ms_.store(0);
  PostProgress(0, ProgressNotice::kRestart);
  AvLog("FileDecode OpenFile Success, errorCode = [%d], pInst = %08x", 0, self);
  PostState(kAvFileDecodeStateOpenReady, 0);
  return 0;
}

int AvFileDecode::OpenInput() {
  const std::string utf8 = WideToCodePage(path_, CP_UTF8);
  const std::string shown = WideToCodePage(path_, CP_ACP);
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, utf8.c_str(), nullptr, nullptr) < 0) {
    AvLog("Could not open source file %s", shown.c_str());
    return kAvFileDecodeErrorOpenInput;
  }
  if (avformat_find_stream_info(input, nullptr) < 0) {
    AvLog("Could not find stream information");
    avformat_close_input(&input);
    return kAvFileDecodeErrorOpenInput;
  }
  input_ = input;
  input_at_start_ = true;
  origin_ms_ = input->start_time != AV_NOPTS_VALUE && input->start_time > 0
                   ? input->start_time / 1000.0
                   : 0.0;
  // An unknown container duration is kept as 0 and never divided by.
  duration_.store(
      input->duration != AV_NOPTS_VALUE && input->duration > 0 ? input->duration / 1000000.0 : 0.0);
  return 0;
}

bool AvFileDecode::ReopenInputAtStart() {
  const std::string utf8 = WideToCodePage(path_, CP_UTF8);
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, utf8.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(input, nullptr) < 0 || input->nb_streams != input_->nb_streams) {
    avformat_close_input(&input);
    return false;
  }
  avformat_close_input(&input_);
  input_ = input;
  input_at_start_ = true;
  return true;
}

bool AvFileDecode::OpenStream(Stream* stream, int media_type) {
  const AVMediaType type = static_cast<AVMediaType>(media_type);
  const char* type_name = av_get_media_type_string(type);
  const std::string shown = WideToCodePage(path_, CP_ACP);
  const AVCodec* codec = nullptr;
  int index = av_find_best_stream(input_, type, -1, -1, &codec, 0);
  if (index == AVERROR_DECODER_NOT_FOUND) {
    // The stream is there, but this build has no decoder for it: say so, never play the file
    // silent (or blank) without a word.
    const int undecodable = av_find_best_stream(input_, type, -1, -1, nullptr, 0);
    const char* codec_name =
        undecodable >= 0 ? avcodec_get_name(input_->streams[undecodable]->codecpar->codec_id)
                         : "unknown";
    AvLog("The %s stream (%s) cannot be decoded: %s", type_name, codec_name,
          type == AVMEDIA_TYPE_AUDIO ? "no sound from this file" : "no pictures from this file");
    return false;
  }
  if (index < 0) {
    AvLog("Could not find %s stream in input file '%s' ", type_name, shown.c_str());
    return false;
  }
  AVStream* st = input_->streams[index];
  if (type == AVMEDIA_TYPE_VIDEO &&
      (st->avg_frame_rate.den == 0 || (st->disposition & AV_DISPOSITION_ATTACHED_PIC))) {
    AvLog("Could not find %s stream in input file '%s' ", type_name, shown.c_str());
    return false;
  }
  if (!codec) {
    AvLog("Failed to find %s codec ", type_name);
    return false;
  }
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) {
    AvLog("Failed to allocate the %s codec context ", type_name);
    return false;
  }
  if (avcodec_parameters_to_context(ctx, st->codecpar) < 0) {
    AvLog("Failed to copy %s codec parameters to decoder context ", type_name);
    avcodec_free_context(&ctx);
    return false;
  }
  ctx->pkt_timebase = st->time_base;
  if (type == AVMEDIA_TYPE_VIDEO) {
    ctx->thread_count = 0;  // As many as the processor has.
    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  }
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    AvLog("Failed to open %s codec ", type_name);
    avcodec_free_context(&ctx);
    return false;
  }
  CxAutoLock lock(stream->decoder_lock);
  stream->codec = ctx;
  stream->time_base = st->time_base;
  stream->next_pts = INT64_MIN;
  stream->index.store(index);
  if (type == AVMEDIA_TYPE_AUDIO) {
    src_sample_format_.store(ctx->sample_fmt);
    src_channel_mask_.store(MaskOf(ctx->ch_layout));
    src_sample_rate_.store(ctx->sample_rate);
  } else {
    src_pixel_format_.store(ctx->pix_fmt);
    src_width_.store(ctx->width);
    src_height_.store(ctx->height);
    double rate = av_q2d(st->avg_frame_rate);
    if (!(rate >= 1.0)) rate = 1.0;
    if (rate > 100.0) rate = 100.0;
    src_frame_rate_.store(rate);
  }
  return true;
}

bool AvFileDecode::OpenStreams() {
  const bool audio = OpenStream(&audio_, AVMEDIA_TYPE_AUDIO);
  if (!audio) AvLog("Could not find audio stream in the input, aborting");
  const bool video = OpenStream(&video_, AVMEDIA_TYPE_VIDEO);
  if (!video) AvLog("Could not find video stream in the input, aborting");
  if (video) StartThread(&pacing_thread_, &AvFileDecode::PacingLoop, "morlun: pacing");
  return audio || video;
}

void AvFileDecode::CloseDecodersAndInput() {
  for (Stream* stream : {&audio_, &video_}) {
    CxAutoLock decoder(stream->decoder_lock);
    CxAutoLock filter(stream->filter_lock);
    stream->graph.Free();
    stream->anchor_set = false;
    avcodec_free_context(&stream->codec);
    stream->index.store(-1);
  }
  {
    CxAutoLock decoder(video_.decoder_lock);
    sws_freeContext(scaler_);
    scaler_ = nullptr;
  }
  avformat_close_input(&input_);
}

void AvFileDecode::LogFormats() {
  if (audio_.index.load() >= 0) {
    AvLog("AUDIO_Format (%s, %s, %d)", morlun::SampleFormatName(src_sample_format_.load()),
          morlun::ChannelLayoutName(src_channel_mask_.load()), src_sample_rate_.load());
  }
  if (video_.index.load() >= 0) {
    AvLog("VIDEO_Format (%s, %d, %d, %0.3f)",
          morlun::PixelFormatName(src_pixel_format_.load()).c_str(), src_width_.load(),
          src_height_.load(), src_frame_rate_.load());
  }
}

void AvFileDecode::MeasureRealDuration() {
  const DWORD start = GetTickCount();
  const int audio_index = audio_.index.load();
  const int video_index = video_.index.load();
  const double rate = src_frame_rate_.load();
  double audio_time = 0, video_time = 0;
  bool audio_seen = false, video_seen = false;
  int audio_count = 0, video_count = 0, packets = 0, key_frames = 0;
  bool ran_out = false;
  AVPacket* packet = av_packet_alloc();
  input_at_start_ = false;
  while (packet) {
    if (GetTickCount() - start > 500) break;
    if (av_read_frame(input_, packet) < 0) {
      ran_out = true;
      break;
    }
    ++packets;
    if (packet->flags & AV_PKT_FLAG_KEY) ++key_frames;
    if (packet->stream_index == audio_index) {
      ++audio_count;
      if (packet->pts == AV_NOPTS_VALUE && !audio_untrusted_.exchange(true)) {
        AvLog("pts untrusted  debugCode(41) [ERROR] , on audio frame(%d)", audio_count);
      }
      if (!audio_untrusted_.load()) {
        audio_time = std::max(audio_time, packet->pts * av_q2d(audio_.time_base));
      }
      audio_seen = true;
    } else if (packet->stream_index == video_index) {
      ++video_count;
      if (packet->pts == AV_NOPTS_VALUE && !video_untrusted_.exchange(true)) {
        AvLog("pts untrusted  debugCode(42) [ERROR] , on video frame(%d)", video_count);
      }
      video_time = video_untrusted_.load()
                       ? std::max(video_time, video_count / rate)
                       : std::max(video_time, packet->pts * av_q2d(video_.time_base));
      video_seen = true;
    }
    av_packet_unref(packet);
    if (audio_seen && video_seen) {
      audio_seen = video_seen = false;
      const int64_t target = static_cast<int64_t>((video_time + 1.0) * AV_TIME_BASE);
      if (av_seek_frame(input_, -1, target, 0) < 0) break;
    }
  }
  av_packet_free(&packet);
  const double info = duration_.load();
  if (ran_out && (audio_untrusted_.load() || video_untrusted_.load())) {
    double measured;
    if (audio_index >= 0 && video_index >= 0) {
      measured = std::min(audio_time, video_time);
    } else {
      measured = audio_index >= 0 ? audio_time : video_time;
    }
    measured = std::max(measured, 0.0);
    if (std::fabs(measured - info) > 1.0) {
      AvLog("duration main untrusted debugCode(51) [ERROR] info = (%0.3f) real = (%0.3f) ", info,
            measured);
      duration_.store(measured);
    }
  }
  AvLog("PreReadRealDurationMain (%0.3f : %0.3f), time spent = %0.3f, PktRead = %d, keyFrame = %d",
        info, duration_.load(), (GetTickCount() - start) / 1000.0, packets, key_frames);
  av_seek_frame(input_, -1, 0, AVSEEK_FLAG_BACKWARD);
}

void AvFileDecode::CloseFile() {
  const std::unique_lock<std::recursive_mutex> lock = LockFile("CloseFile");
  if (!lock.owns_lock()) return;
  const unsigned self = static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
  AvLog("FileDecode CloseFile = (%s), pInst = %08x", WideToCodePage(path_, CP_ACP).c_str(), self);
  StopAllThreads();
  CloseDecodersAndInput();
  {
    CxAutoLock path_lock(path_lock_);
    path_.clear();
  }
  AvLog("FileDecode CloseFile Success, errorCode = [%d], pInst = %08x", error_code_.load(), self);
}

// ---------------------------------------------------------------------------------------------
// Filter graphs

int AvFileDecode::BuildAudioGraph() {
  CxAutoLock decoder(audio_.decoder_lock);
  CxAutoLock filter(audio_.filter_lock);
  return BuildAudioGraphLocked();
}

int AvFileDecode::BuildVideoGraph() {
  CxAutoLock decoder(video_.decoder_lock);
  CxAutoLock filter(video_.filter_lock);
  return BuildVideoGraphLocked();
}

int AvFileDecode::BuildAudioGraphLocked() {
  audio_.anchor_set = false;
  if (!audio_.codec) {
    audio_.graph.Free();
    return 0;
  }
  morlun::AudioGraphFormat format;
  format.time_base = audio_.time_base;
  format.sample_rate = audio_.codec->sample_rate;
  format.sample_format = audio_.codec->sample_fmt;
  format.channel_mask = MaskOf(audio_.codec->ch_layout);
  // Records are always interleaved: PullAudio hands out bytes as they are.
  int out_format = out_sample_format_.load();
  if (out_format < 0) out_format = AV_SAMPLE_FMT_S16;
  out_format = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(out_format));
  audio_record_format_.store(out_format);
  format.out_sample_format = out_format;
  format.out_channel_mask = out_channel_mask_.load();
  format.out_sample_rate = out_sample_rate_.load();
  format.samples_per_frame = out_samples_per_frame_.load();
  const int ret = audio_.graph.BuildAudio(format, speed_.load());
  return ret;
}

int AvFileDecode::BuildVideoGraphLocked() {
  if (!video_.codec) {
    video_.graph.Free();
    return 0;
  }
  morlun::VideoGraphFormat format;
  format.time_base = video_.time_base;
  format.width = video_.codec->width;
  format.height = video_.codec->height;
  format.pixel_format = video_.codec->pix_fmt >= 0 ? video_.codec->pix_fmt : AV_PIX_FMT_YUV420P;
  format.sample_aspect = video_.codec->sample_aspect_ratio;
  format.source_rate = src_frame_rate_.load();
  const int code = out_pixel_code_.load();
  format.out_pixel_format = code >= 0 ? morlun::FormatOfPixelCode(code) : -1;
  format.out_rate = out_frame_rate_.load();
  return video_.graph.BuildVideo(format, speed_.load());
}

// ---------------------------------------------------------------------------------------------
// Threads

void AvFileDecode::StartThread(std::unique_ptr<CxTaskThread>* slot, void (AvFileDecode::*body)(),
                               const char* name) {
  if (*slot) return;
  if (slot == &pacing_thread_) pacing_running_.store(true);
  *slot = std::make_unique<CxTaskThread>([this, body] { (this->*body)(); }, name);
  (*slot)->Start();
}

void AvFileDecode::StopAllThreads() {
  demux_running_.store(false);
  audio_.running.store(false);
  video_.running.store(false);
  pacing_running_.store(false);
  // Every thread learns it is being stopped before any is waited for: a pacing thread inside
  // the receiver then gives up a call that needs file_lock_ (see LockFile).
  for (std::unique_ptr<CxTaskThread>* slot :
       {&demux_thread_, &audio_.thread, &video_.thread, &pacing_thread_}) {
    if (*slot) (*slot)->SetQuit(true);
  }
  demux_wake_.Notify();
  audio_.packets.Wake();
  video_.packets.Wake();
  audio_frames_.Wake();
  video_frames_.Wake();
  for (std::unique_ptr<CxTaskThread>* slot :
       {&demux_thread_, &audio_.thread, &video_.thread, &pacing_thread_}) {
    if (!*slot) continue;
    if (CxThread::CurrentThreadObject() == slot->get()) {
      // Stopped from inside its own body (a receiver that finishes playback from
      // OnVideoFrame): the body returns on its own; free it at the next stop.
      retired_pacing_thread_ = std::move(*slot);
      continue;
    }
    (*slot)->Join();
    slot->reset();
  }
  if (retired_pacing_thread_ && CxThread::CurrentThreadObject() != retired_pacing_thread_.get()) {
    retired_pacing_thread_.reset();
  }
  audio_.packets.Clear();
  video_.packets.Clear();
  audio_frames_.Clear();
  video_frames_.Clear();
  clock_ms_.store(0);
  clock_known_.store(false);
  end_of_input_.store(false);
  audio_.drained.store(false);
  video_.drained.store(false);
  seek_pending_.store(false);
  shown_video_ms_.store(INT64_MIN);
  next_video_ms_.store(INT64_MIN);
}

bool AvFileDecode::Reset() {
  const std::unique_lock<std::recursive_mutex> lock = LockFile("Reset");
  if (!lock.owns_lock()) return false;
  const unsigned self = static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
  AvLog("FileDecode Reset = (%s), pInst = %08x", WideToCodePage(path_, CP_ACP).c_str(), self);
  PostState(kAvFileDecodeStateRunTry, 0);
  StopAllThreads();
  plays_.store(0);
  CloseDecodersAndInput();

  int error = kAvFileDecodeErrorNone;
  if (path_.empty() || OpenInput() != 0) {
    error = kAvFileDecodeErrorReopenInput;
  } else if (!OpenStreams()) {
    error = kAvFileDecodeErrorReopenStream;
  } else if (BuildAudioGraph() < 0) {
    error = kAvFileDecodeErrorAudioFilter;
  } else if (BuildVideoGraph() < 0) {
    error = kAvFileDecodeErrorVideoFilter;
  }
  if (error != kAvFileDecodeErrorNone) {
    AvLog("FileDecode Reset Error, errorCode = [%d], pInst = %08x", error, self);
    StopAllThreads();
    CloseDecodersAndInput();
    PostState(kAvFileDecodeStateRunTry, error);
    return false;
  }
  {
    CxAutoLock control(control_lock_);
    SeekTo(0);
    step_counter_ = 0;
    seek_requested_ = false;
    seek_target_ms_ = 0;
  }
  PostProgress(0, ProgressNotice::kRestart);
  demux_running_.store(true);
  StartThread(&demux_thread_, &AvFileDecode::DemuxLoop, "morlun: demux");
  if (audio_.index.load() >= 0) {
    audio_.running.store(true);
    StartThread(&audio_.thread, &AvFileDecode::AudioDecodeLoop, "morlun: audio decode");
  }
  if (video_.index.load() >= 0) {
    video_.running.store(true);
    StartThread(&video_.thread, &AvFileDecode::VideoDecodeLoop, "morlun: video decode");
  }
  return true;
}

void AvFileDecode::Finish() {
  const std::unique_lock<std::recursive_mutex> lock = LockFile("Finish");
  if (!lock.owns_lock()) return;
  AvLog("FileDecode Finish = (%s), pInst = %08x", WideToCodePage(path_, CP_ACP).c_str(),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  PostState(kAvFileDecodeStateFinishTry, 0);
  StopAllThreads();
  CloseDecodersAndInput();
  EndOfPlayback(0, false, true);
}

void AvFileDecode::EndOfPlayback(int code, bool manual_seek, bool manual_finish) {
  CxAutoLock control(control_lock_);
  paused_.store(false);
  demux_running_.store(false);
  audio_.running.store(false);
  video_.running.store(false);
  if (state_.load() == kAvFileDecodeStateFinished) return;
  const double duration = duration_.load();
  if (percent_mode_.load()) {
    PostProgress(duration > 0 ? 100 : 0, ProgressNotice::kLast);
  } else if (duration > 0) {
    PostProgress(static_cast<int>(std::ceil(duration)), ProgressNotice::kLast);
  } else {
    PostProgress(progress_.load(), ProgressNotice::kLast);
  }
  PostState(kAvFileDecodeStateFinished, error_code_.load());
  error_code_.store(code);
  window_.Post(morlun::kAvMsgFinished, morlun::PackAvMsg(code, manual_finish ? 1 : 0));
  AvLog("WhenFinished, pInst = %08x, bManualSeek[%d], bManualFinish[%d], debugCode[%d]",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)), manual_seek ? 1 : 0,
        manual_finish ? 1 : 0, code);
}

bool AvFileDecode::IsActive() {
  // A finished engine (played out or told to finish) has nothing left to do.
  if (state_.load() == kAvFileDecodeStateFinished) return false;
  const int loops = loop_count_.load();
  const bool loops_used = loops != 0 && plays_.load() + 1 >= loops;
  const bool idle = !demux_running_.load() && end_of_input_.load() && audio_.packets.Count() == 0 &&
                    video_.packets.Count() == 0 && audio_frames_.Count() == 0 &&
                    video_frames_.Count() == 0;
  return !(loops_used && idle);
}

void AvFileDecode::Pause() {
  AvLog("FileDecode Pause = (%s), pInst = %08x", ShownPath().c_str(),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  paused_.store(true);
}

void AvFileDecode::Resume() {
  AvLog("FileDecode Resume = (%s), pInst = %08x", ShownPath().c_str(),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  paused_.store(false);
}

// ---------------------------------------------------------------------------------------------
// Controls and seeking

void AvFileDecode::Seek(int target) {
  {
    CxAutoLock control(control_lock_);
    const double duration = duration_.load();
    if (percent_mode_.load()) {
      if (duration <= 0) {
        AvLog("FileDecode Seek (%d%%) ignored: the duration is unknown", target);
        return;
      }
      const int percent = std::clamp(target, 0, 100);
      seek_target_ms_ = static_cast<int64_t>(percent * duration * 10.0);
    } else {
      int seconds = std::max(target, 0);
      if (duration > 0) seconds = std::min(seconds, static_cast<int>(std::floor(duration)));
      seek_target_ms_ = static_cast<int64_t>(seconds) * 1000;
    }
    seek_requested_ = true;
  }
  demux_wake_.Notify();
}

void AvFileDecode::StepBackward() {
  {
    CxAutoLock control(control_lock_);
    --step_counter_;
  }
  demux_wake_.Notify();
}

void AvFileDecode::StepForward() {
  {
    CxAutoLock control(control_lock_);
    ++step_counter_;
  }
  demux_wake_.Notify();
}

bool AvFileDecode::ServeControlRequest() {
  CxAutoLock control(control_lock_);
  if (seek_pending_.load()) return false;
  if (step_counter_ != 0) {
    const int64_t base = ViewMs(false);
    const int64_t target = step_counter_ < 0 ? std::max<int64_t>(base - 1000, 0) : base + 500;
    step_counter_ = 0;
    SeekTo(target);
    return true;
  }
  if (seek_requested_) {
    seek_requested_ = false;
    SeekTo(seek_target_ms_);
    return true;
  }
  if (speed_.load() != applied_speed_) {
    SeekTo(ViewMs(true));
    return true;
  }
  return false;
}

void AvFileDecode::SeekTo(int64_t target_ms) {
  // A step past the end goes to the end: the file then plays out.
  target_ms = ClampToDuration(target_ms);
  CxAutoLock audio_decoder(audio_.decoder_lock);
  CxAutoLock video_decoder(video_.decoder_lock);
  CxAutoLock audio_filter(audio_.filter_lock);
  CxAutoLock video_filter(video_.filter_lock);
  serial_.fetch_add(1);
  if (audio_.codec) avcodec_flush_buffers(audio_.codec);
  if (video_.codec) avcodec_flush_buffers(video_.codec);
  audio_.packets.Clear();
  video_.packets.Clear();
  audio_frames_.Clear();
  video_frames_.Clear();
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  first_after_flush_.store(true);
  audio_.next_pts = video_.next_pts = INT64_MIN;
  audio_.drained.store(false);
  video_.drained.store(false);
  audio_.seek_logged.store(false);
  video_.seek_logged.store(false);
  end_of_input_.store(false);
  clock_known_.store(false);
  seek_floor_ms_.store(target_ms > 0 ? target_ms : INT64_MIN);
  seek_pending_.store(true);
  position_ms_.store(target_ms);
  shown_video_ms_.store(INT64_MIN);
  next_video_ms_.store(INT64_MIN);

  applied_speed_ = speed_.load();
  audio_.graph.Free();
  video_.graph.Free();
  if (BuildAudioGraphLocked() < 0) AvLog("FileDecode seek: audio filter graph not rebuilt");
  if (BuildVideoGraphLocked() < 0) AvLog("FileDecode seek: video filter graph not rebuilt");

  if (!input_) return;
  // Back to the start (reset, loops): a fresh input is already there; otherwise open the file
  // again. A seek by one stream can skip what another stream stored before it (sound stored
  // seconds ahead of the pictures).
  if (target_ms <= 0 && (input_at_start_ || ReopenInputAtStart())) return;
  Stream* stream = video_.index.load() >= 0 ? &video_ : &audio_;
  const int index = stream->index.load();
  if (index < 0) return;
  // Land on the key frame at or before the target; the decoders drop what lies before it.
  const int64_t ts = av_rescale_q(static_cast<int64_t>(target_ms + origin_ms_), AVRational{1, 1000},
                                  stream->time_base);
  int ret = av_seek_frame(input_, index, ts, AVSEEK_FLAG_BACKWARD);
  if (ret < 0) ret = av_seek_frame(input_, index, ts, 0);
  if (ret < 0) {
    AvLog("FileDecode seek to %lld ms failed (%d)", static_cast<long long>(target_ms), ret);
  }
}

// ---------------------------------------------------------------------------------------------
// Demux

bool AvFileDecode::CanRead() {
  if (audio_.packets.Bytes() + video_.packets.Bytes() >= kMaxQueuedBytes) return false;
  // Read while any stream is short of packets: one shared "full" mark would stall a file
  // whose streams are badly interleaved.
  return (audio_.index.load() >= 0 && audio_.packets.Count() < kPacketsPerStream) ||
         (video_.index.load() >= 0 && video_.packets.Count() < kPacketsPerStream);
}

bool AvFileDecode::EverythingPlayedOut() {
  for (Stream* stream : {&audio_, &video_}) {
    if (stream->index.load() >= 0 && !stream->drained.load()) return false;
  }
  return audio_.packets.Count() == 0 && video_.packets.Count() == 0 && audio_frames_.Count() == 0 &&
         video_frames_.Count() == 0;
}

void AvFileDecode::DemuxLoop() {
  AvLog("ProcDemuxLoopCall [Begin] tid = 0x%04lx", GetCurrentThreadId());
  PostState(kAvFileDecodeStateRunReady, 0);
  AVPacket* packet = av_packet_alloc();
  while (packet && demux_running_.load()) {
    if (ServeControlRequest()) {
      Sleep(10);
      continue;
    }
    if (end_of_input_.load()) {
      if (!EverythingPlayedOut()) {
        demux_wake_.WaitFor(kGateWaitMs);
        continue;
      }
      const int loops = loop_count_.load();
      if (loops != 0 && plays_.load() + 1 >= loops) {
        EndOfPlayback(kAvFileDecodeErrorPlayedOut, false, false);
        break;
      }
      {
        CxAutoLock control(control_lock_);
        SeekTo(0);
      }
      plays_.fetch_add(1);
      continue;
    }
    if (!CanRead()) {
      demux_wake_.WaitFor(kGateWaitMs);
      continue;
    }
    const int ret = av_read_frame(input_, packet);
    input_at_start_ = false;
    if (ret == AVERROR(EAGAIN)) {
      Sleep(10);
      continue;
    }
    const int serial = serial_.load();
    if (ret < 0) {
      end_of_input_.store(true);
      // The decoders drain what they hold when they reach this mark.
      if (audio_.index.load() >= 0) audio_.packets.Push(nullptr, serial, true);
      if (video_.index.load() >= 0) video_.packets.Push(nullptr, serial, true);
      continue;
    }
    Stream* stream = packet->stream_index == audio_.index.load()   ? &audio_
                     : packet->stream_index == video_.index.load() ? &video_
                                                                   : nullptr;
    if (stream) {
      AVPacket* copy = av_packet_clone(packet);
      if (copy) {
        stream->packets.Push(copy, serial, false);
      } else {
        AvLog("Could not allocate packet");
      }
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  AvLog("ProcDemuxLoopCall [End] tid = 0x%04lx", GetCurrentThreadId());
}

// ---------------------------------------------------------------------------------------------
// Decoding

void AvFileDecode::AudioDecodeLoop() {
  AvLog("ProcDecAudioLoopCall [Begin] tid = 0x%04lx", GetCurrentThreadId());
  DecodeLoop(&audio_, true);
  AvLog("ProcDecAudioLoopCall [End] tid = 0x%04lx", GetCurrentThreadId());
}

void AvFileDecode::VideoDecodeLoop() {
  AvLog("ProcDecVideoLoopCall [Begin] tid = 0x%04lx", GetCurrentThreadId());
  DecodeLoop(&video_, false);
  AvLog("ProcDecVideoLoopCall [End] tid = 0x%04lx", GetCurrentThreadId());
}

void AvFileDecode::DecodeLoop(Stream* stream, bool audio) {
  while (stream->running.load()) {
    // A full record queue (a paused user, or pictures waiting for the clock) stops decoding,
    // which in turn lets the packet queue fill and stops the demux thread.
    const bool room = audio ? audio_frames_.WaitForRoom(kAudioRecordLimit, 100, stream->running)
                            : video_frames_.WaitForRoom(kVideoRecordLimit, 100, stream->running);
    if (!room) continue;
    PacketItem item;
    if (!stream->packets.Pop(&item, kPacketWaitMs, stream->running)) {
      if (!demux_running_.load() && end_of_input_.load()) break;
      continue;
    }
    try {
      CxAutoLock decoder(stream->decoder_lock);
      if (item.serial == serial_.load() && stream->codec) DecodeItem(stream, audio, item);
    } catch (const std::bad_alloc&) {
      // Out of memory for a record: this packet is lost, playback goes on.
      AvLog("Could not allocate frame");
    }
    av_packet_free(&item.packet);
  }
}

void AvFileDecode::DecodeItem(Stream* stream, bool audio, const PacketItem& item) {
  int ret = avcodec_send_packet(stream->codec, item.end_of_input ? nullptr : item.packet);
  if (ret < 0 && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
    AvLog("Error submitting a packet for decoding ");
    return;
  }
  AVFrame* frame = av_frame_alloc();
  if (!frame) {
    AvLog("Could not allocate frame");
    return;
  }
  while (true) {
    ret = avcodec_receive_frame(stream->codec, frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
    if (ret < 0) {
      AvLog("Error during decoding ");
      break;
    }
    if (audio) {
      OnDecodedAudio(frame);
    } else {
      OnDecodedVideo(frame);
    }
    av_frame_unref(frame);
  }
  if (item.end_of_input) {
    // Flush what the graph holds (atempo, fps), then leave the decoder ready for a restart.
    CxAutoLock filter(stream->filter_lock);
    if (stream->graph.IsReady() && stream->graph.Feed(nullptr) >= 0) {
      if (audio) {
        DrainAudioGraph(frame);
      } else {
        DrainVideoGraph(frame);
      }
    }
    avcodec_flush_buffers(stream->codec);
    seek_pending_.store(false);
    stream->drained.store(true);
    demux_wake_.Notify();
  }
  av_frame_free(&frame);
}

void AvFileDecode::OnDecodedAudio(AVFrame* frame) {
  int64_t ts = frame->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) ts = audio_.next_pts != INT64_MIN ? audio_.next_pts : 0;
  const int rate = frame->sample_rate > 0 ? frame->sample_rate : 1;
  const int64_t length = av_rescale_q(frame->nb_samples, AVRational{1, rate}, audio_.time_base);
  audio_.next_pts = ts + length;
  const double start_ms = ToMs(ts, audio_.time_base) - origin_ms_;
  const double end_ms = start_ms + frame->nb_samples * 1000.0 / rate;
  const int64_t floor_ms = seek_floor_ms_.load();
  if (floor_ms != INT64_MIN && end_ms <= floor_ms) return;  // Before the seek target.
  seek_pending_.store(false);
  if (!audio_.seek_logged.exchange(true)) {
    AvLog("seek finished a -------------------------------------------------------------");
  }

  CxAutoLock filter(audio_.filter_lock);
  morlun::FilterGraph& graph = audio_.graph;
  // A stream whose format changes gets a graph for the new format.
  if (!graph.IsReady() || frame->format != audio_.codec->sample_fmt ||
      frame->sample_rate != audio_.codec->sample_rate) {
    audio_.codec->sample_fmt = static_cast<AVSampleFormat>(frame->format);
    audio_.codec->sample_rate = frame->sample_rate;
    if (BuildAudioGraphLocked() < 0) return;
  }
  if (!audio_.anchor_set) {
    audio_.anchor_ms = ToMs(ts, audio_.time_base);
    audio_.anchor_set = true;
  }
  frame->pts = ts;
  if (graph.Feed(frame) < 0) {
    AvLog("Error while feeding the audio filter graph ");
    return;
  }
  AVFrame* filtered = av_frame_alloc();
  if (!filtered) {
    AvLog("Could not allocate frame");
    return;
  }
  DrainAudioGraph(filtered);
  av_frame_free(&filtered);
}

void AvFileDecode::DrainAudioGraph(AVFrame* filtered) {
  morlun::FilterGraph& graph = audio_.graph;
  const AVRational tb = graph.OutputTimeBase();
  const double speed = graph.speed();
  while (graph.Receive(filtered) >= 0) {
    const int channels = filtered->ch_layout.nb_channels > 0 ? filtered->ch_layout.nb_channels : 2;
    const int sample_bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(filtered->format));
    // Only the frame's real samples: never a length rounded up past its data.
    const size_t bytes = static_cast<size_t>(filtered->nb_samples) * channels * sample_bytes;
    const int rate = filtered->sample_rate > 0 ? filtered->sample_rate : 48000;
    AudioRecord record;
    // atempo keeps the input's start and stretches from there: back to file time.
    const double out_ms =
        filtered->pts != AV_NOPTS_VALUE ? ToMs(filtered->pts, tb) : audio_.anchor_ms;
    const double file_ms = audio_.anchor_ms + (out_ms - audio_.anchor_ms) * speed - origin_ms_;
    record.ts_ms = std::ceil(file_ms) + kAudioLeadMs;
    record.dur_ms = (filtered->nb_samples * 1000 / rate) * speed;
    if (filtered->data[0] && bytes > 0) {
      record.data.assign(filtered->data[0], filtered->data[0] + bytes);
    }
    av_frame_unref(filtered);
    if (record.data.empty()) continue;
    if (first_after_flush_.exchange(false)) {
      for (int i = 0; i < kPreRollRecords; ++i) {
        AudioRecord silence;
        silence.ts_ms = record.ts_ms - 1000 + 10 * i;
        silence.dur_ms = 10;
        silence.silent = true;
        silence.data.assign(record.data.size(), 0);
        audio_frames_.Push(std::move(silence));
      }
    }
    audio_frames_.Push(std::move(record));
  }
}

void AvFileDecode::OnDecodedVideo(AVFrame* frame) {
  int64_t ts = frame->best_effort_timestamp;
  const double frame_ms = 1000.0 / src_frame_rate_.load();
  if (ts == AV_NOPTS_VALUE) {
    ts = video_.next_pts != INT64_MIN ? video_.next_pts : 0;
  }
  video_.next_pts =
      ts + std::max<int64_t>(1, av_rescale_q(static_cast<int64_t>(frame_ms * 1000),
                                             AVRational{1, 1000000}, video_.time_base));
  const double start_ms = ToMs(ts, video_.time_base) - origin_ms_;
  const int64_t floor_ms = seek_floor_ms_.load();
  if (floor_ms != INT64_MIN && start_ms + frame_ms <= floor_ms) return;  // Before the target.
  seek_pending_.store(false);
  if (!video_.seek_logged.exchange(true)) {
    AvLog("seek finished v -------------------------------------------------------------");
  }

  CxAutoLock filter(video_.filter_lock);
  morlun::FilterGraph& graph = video_.graph;
  if (!graph.IsReady() || frame->format != video_.codec->pix_fmt ||
      frame->width != video_.codec->width || frame->height != video_.codec->height) {
    video_.codec->pix_fmt = static_cast<AVPixelFormat>(frame->format);
    video_.codec->width = frame->width;
    video_.codec->height = frame->height;
    if (BuildVideoGraphLocked() < 0) return;
  }
  frame->pts = ts;
  if (graph.Feed(frame) < 0) {
    AvLog("Error while feeding the video filter graph ");
    return;
  }
  AVFrame* filtered = av_frame_alloc();
  if (!filtered) {
    AvLog("Could not allocate frame");
    return;
  }
  DrainVideoGraph(filtered);
  av_frame_free(&filtered);
}

void AvFileDecode::DrainVideoGraph(AVFrame* filtered) {
  morlun::FilterGraph& graph = video_.graph;
  const AVRational tb = graph.OutputTimeBase();
  const double speed = graph.speed();
  while (graph.Receive(filtered) >= 0) {
    VideoRecord record;
    // setpts divides by the speed: back to file time.
    record.ts_ms = static_cast<int64_t>(std::ceil(
        ToMs(filtered->pts != AV_NOPTS_VALUE ? filtered->pts : 0, tb) * speed - origin_ms_));
    if (graph.output_rate() > 0) {
      record.wall_ms = static_cast<int64_t>(std::ceil(1000.0 / graph.output_rate()));
    } else if (filtered->pkt_duration > 0) {
      record.wall_ms = static_cast<int64_t>(std::ceil(ToMs(filtered->pkt_duration, tb)));
    } else {
      record.wall_ms = static_cast<int64_t>(std::ceil(1000.0 / src_frame_rate_.load()));
    }
    record.file_ms = static_cast<int64_t>(std::ceil(record.wall_ms * speed));
    int width = 0, height = 0;
    // An empty box means no pictures; the record still keeps the time.
    if (morlun::FitIntoBox(filtered->width, filtered->height, box_width_.load(), box_height_.load(),
                           &width, &height)) {
      scaler_ = sws_getCachedContext(scaler_, filtered->width, filtered->height,
                                     static_cast<AVPixelFormat>(filtered->format), width, height,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
      const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
      if (scaler_ && size > 0) {
        record.data.resize(size);
        uint8_t* planes[4];
        int strides[4];
        av_image_fill_arrays(planes, strides, record.data.data(), AV_PIX_FMT_YUV420P, width, height,
                             1);
        sws_scale(scaler_, filtered->data, filtered->linesize, 0, filtered->height, planes,
                  strides);
        record.width = width;
        record.height = height;
      }
    }
    av_frame_unref(filtered);
    video_frames_.Push(std::move(record));
  }
}

// ---------------------------------------------------------------------------------------------
// Output: audio pull and picture pacing

void AvFileDecode::PullAudio(uint8_t* dst, unsigned len) {
  if (!dst || len == 0) return;
  // Whatever is not filled from records is silence, never the caller's old bytes.
  std::memset(dst, 0, len);
  if (paused_.load()) return;

  struct Taken {
    size_t bytes = 0;
    bool touched = false;
    bool real = false;
    double clock_ms = 0;
    double position_ms = 0;
  };
  const Taken taken = audio_frames_.WithLock([&](std::deque<AudioRecord>& records) {
    Taken t;
    while (t.bytes < len && !records.empty()) {
      AudioRecord& record = records.front();
      const size_t left = record.data.size() - record.offset;
      const size_t chunk = std::min<size_t>(left, len - t.bytes);
      const double at_ms =
          record.ts_ms + record.dur_ms * record.offset / std::max<size_t>(record.data.size(), 1);
      if (!t.touched) {
        t.touched = true;
        t.clock_ms = at_ms;
      }
      if (!record.silent) {
        t.real = true;
        t.position_ms = at_ms - kAudioLeadMs;
      }
      std::memcpy(dst + t.bytes, record.data.data() + record.offset, chunk);
      t.bytes += chunk;
      record.offset += chunk;
      if (record.offset >= record.data.size()) records.pop_front();
    }
    return t;
  });
  if (!taken.touched) return;
  audio_frames_.Popped();
  clock_ms_.store(static_cast<int64_t>(taken.clock_ms));
  clock_known_.store(true);
  if (taken.real) {
    position_ms_.store(static_cast<int64_t>(taken.position_ms));
    UpdateProgress(static_cast<int64_t>(taken.position_ms));
  }

  const int volume = static_cast<int>(volume_.load());
  if (volume != 100 && audio_record_format_.load() == AV_SAMPLE_FMT_S16) {
    int16_t* samples = reinterpret_cast<int16_t*>(dst);
    const size_t count = taken.bytes / 2;
    for (size_t i = 0; i < count; ++i) {
      const int64_t scaled = static_cast<int64_t>(samples[i]) * volume / 100;
      samples[i] = static_cast<int16_t>(std::clamp<int64_t>(scaled, INT16_MIN, INT16_MAX));
    }
  }
}

void AvFileDecode::PacingLoop() {
  t_delivering_engine = this;
  // A pacing thread that stopped playback from inside the receiver may see a new one started
  // (by the same receiver call): its own quit flag ends it then.
  CxThread* self = CxThread::CurrentThreadObject();
  DWORD last_shown_tick = 0;
  int64_t last_shown_wall = 0;
  bool shown_any = false;
  while (pacing_running_.load() && !(self && self->GetQuit())) {
    if (paused_.load()) {
      // Pictures stop too, also for a file without audio; the wait restarts on resume.
      Sleep(10);
      last_shown_tick = GetTickCount();
      continue;
    }
    const bool audio_mode =
        audio_.index.load() >= 0 && (audio_.packets.Count() > 0 || audio_frames_.Count() > 0);
    bool has = false;
    int64_t first_ts = 0;
    video_frames_.WithLock([&](std::deque<VideoRecord>& records) {
      if (!records.empty()) {
        has = true;
        first_ts = records.front().ts_ms;
      }
      return 0;
    });
    // A picture at or behind the audio clock is due. Without audio (none in the file, or
    // none left) pictures follow each other by their durations.
    const bool behind_clock = has && clock_known_.load() && first_ts <= clock_ms_.load();
    const bool by_duration =
        has && !audio_mode &&
        (!shown_any || static_cast<int64_t>(GetTickCount() - last_shown_tick) >= last_shown_wall);
    if (!behind_clock && !by_duration) {
      Sleep(10);
      continue;
    }
    VideoRecord record;
    bool took = video_frames_.WithLock([&](std::deque<VideoRecord>& records) {
      if (records.empty()) return false;
      record = std::move(records.front());
      records.pop_front();
      return true;
    });
    if (!took) continue;
    video_frames_.Popped();
    if (!behind_clock) {
      // The pictures are the clock now.
      position_ms_.store(record.ts_ms);
      clock_ms_.store(record.ts_ms);
      clock_known_.store(true);
      UpdateProgress(record.ts_ms);
    }
    shown_video_ms_.store(record.ts_ms);
    next_video_ms_.store(record.ts_ms + std::max<int64_t>(record.file_ms, 1));
    last_shown_tick = GetTickCount();
    last_shown_wall = record.wall_ms;
    shown_any = true;
    if (!record.data.empty() && receiver_) {
      try {
        receiver_->OnVideoFrame(record.width, record.height, record.data.data(),
                                static_cast<int>(record.data.size()));
      } catch (...) {
        AvLog("OnVideoFrame threw; ignored");
      }
    }
  }
}
