#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "devices/av_file_decode_engine.h"
#include "devices/av_filter_graph.h"
#include "devices/av_msg_window.h"
#include "devices/av_task_thread.h"
#include "devices/media_queues.h"
#include "foundation/lock.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct SwsContext;

// AvFileDecode: Morlun's decode engine over FFmpeg.
//
// Threads: the demux thread reads packets into one packet queue per stream and serves the
// control requests (seek, steps, speed); the audio and video decode threads decode, filter
// (speed, frame rate, output format) and queue records; the pacing thread hands pictures to
// the receiver when the audio clock (moved by PullAudio) reaches them, or by picture durations
// when the file has no audio left. All timestamps in records and clocks are file time in
// milliseconds, whatever the speed.
//
// Locks, always taken in this order (a thread holding one never takes an earlier one):
//   file_lock_     - open, close, reset, finish: the operations that start and stop threads;
//   control_lock_  - requests (seek target, steps, speed) and the end of playback;
//   audio_.decoder_lock, video_.decoder_lock - each decoder and what it produces (the seek
//                    serial it checks, the scaler, the source format the graphs read);
//   audio_.filter_lock, video_.filter_lock   - each filter graph;
//   path_lock_, the queues' own mutexes (leaves).
// A seek takes all four stream locks, so no decode thread is inside a decoder or a graph while
// they are flushed, freed and rebuilt. The decode threads hold their decoder lock, then their
// filter lock, while they decode a packet.
// Threads are only stopped (joined) while holding file_lock_. No engine thread takes it, but
// the receiver may call the engine from inside OnVideoFrame, on the pacing thread: the read
// operations, Pause and Resume take only leaves, and an operation that needs file_lock_ gives
// up there when the pacing thread is being stopped (see LockFile), as its stopper holds the
// lock until that thread returns.
class AvFileDecode final : public AvFileDecodeEngine, public AvMsgRecv {
 public:
  // Creates the notification window on the calling thread.
  explicit AvFileDecode(IAVFrame* receiver);
  ~AvFileDecode();

  AvFileDecode(const AvFileDecode&) = delete;
  AvFileDecode& operator=(const AvFileDecode&) = delete;

  bool IsValid() const { return window_.IsValid(); }

  void PullAudio(uint8_t* dst, unsigned len) override;
  void SetSink(AvFileDecodeSink* sink) override;
  void SetMaxVideoSize(int width, int height) override;
  int OpenFile(const wchar_t* path, bool preReadDuration) override;
  void CloseFile() override;
  bool HasFile() override;
  const wchar_t* GetFilePath() override;
  void SetLoopCount(int count) override;
  int GetLoopCount() override;
  void SetSpeed(double speed) override;
  float GetSpeed() override;
  void SetVolume(double volume) override;
  float GetVolume() override;
  bool Reset() override;
  void Finish() override;
  bool IsActive() override;
  void Pause() override;
  void Resume() override;
  bool IsPaused() override;
  bool HasAudio() override;
  bool HasVideo() override;
  void SetPercentMode(bool percent) override;
  bool IsPercentMode() override;
  void Seek(int target) override;
  int GetProgress() override;
  void StepBackward() override;
  void StepForward() override;
  int GetDurationCeil() override;
  int GetStreamTimeCeil() override;
  double GetDuration() override;
  double GetStreamTime() override;
  int GetSourcePixelFormat() override;
  int GetSourceWidth() override;
  int GetSourceHeight() override;
  double GetSourceFrameRate() override;
  int GetOutputPixelFormat() override;
  int GetOutputWidth() override;
  int GetOutputHeight() override;
  double GetOutputFrameRate() override;
  void SetAudioOutput(int sampleFormat, int channelLayout, int sampleRate,
                      int samplesPerFrame) override;
  void SetVideoOutput(int pixelCode, int width, int height, double frameRate) override;

  // AvMsgRecv: delivers one notification to the sink (creating thread).
  void OnMsg(int kind, unsigned value) override;

 private:
  // What each of the two streams has. The decoder and filter locks guard everything below
  // them except the atomics.
  struct Stream {
    explicit Stream(morlun::Signal* on_pop) : packets(on_pop) {}
    std::atomic<int> index{-1};
    AVCodecContext* codec = nullptr;
    AVRational time_base{1, 1000};
    morlun::PacketQueue packets;
    std::atomic<bool> running{false};
    std::atomic<bool> drained{false};  // The end-of-input marker has been decoded.
    std::atomic<bool> seek_logged{false};
    int64_t next_pts = INT64_MIN;  // Guess for frames without a timestamp.
    std::unique_ptr<CxTaskThread> thread;
    CxLock decoder_lock;
    CxLock filter_lock;
    morlun::FilterGraph graph;  // Protected by |filter_lock|.
    double anchor_ms = 0;       // First input time since the graph was built (audio).
    bool anchor_set = false;    // Protected by |filter_lock|.
  };

  // Takes file_lock_ for `operation`. On the pacing thread (a receiver's call from inside
  // OnVideoFrame) it gives up, logged, when that thread is being stopped; the returned lock
  // then owns nothing and the caller does nothing.
  std::unique_lock<std::recursive_mutex> LockFile(const char* operation);
  // The path in the code page shown in the log; takes path_lock_.
  std::string ShownPath();

  // Lifecycle (file_lock_ held).
  void StopAllThreads();
  void StartThread(std::unique_ptr<CxTaskThread>* slot, void (AvFileDecode::*body)(),
                   const char* name);
  int OpenInput();
  // Opens the file again in place of |input_| (which stays when that fails). Demux thread, or
  // file_lock_ held while it is stopped.
  bool ReopenInputAtStart();
  bool OpenStreams();
  bool OpenStream(Stream* stream, int media_type);
  void CloseDecodersAndInput();
  void MeasureRealDuration();
  void LogFormats();
  int BuildAudioGraph();  // Takes the audio decoder and filter locks.
  int BuildVideoGraph();  // Takes the video decoder and filter locks.
  int BuildAudioGraphLocked();
  int BuildVideoGraphLocked();

  // Seeks to `target_ms` of file time (bounded by the duration when it is known): flushes
  // decoders, queues and graphs, rebuilds the graphs and seeks the input. control_lock_ held;
  // takes the stream locks.
  void SeekTo(int64_t target_ms);
  bool ServeControlRequest();  // Demux thread.
  void EndOfPlayback(int code, bool manual_seek, bool manual_finish);

  void PostState(int state, int error);
  void UpdateProgress(int64_t position_ms);
  // How a position notice relates to playback: an update while playing, the 0 of a new
  // playback (open, reset), or the last one of a playback (its end). Updates after the last
  // one are dropped until a new playback starts, so no notice follows the end.
  enum class ProgressNotice { kUpdate, kRestart, kLast };
  void PostProgress(int value, ProgressNotice notice = ProgressNotice::kUpdate);
  // `ms` of file time within 0 and the duration (when it is known).
  int64_t ClampToDuration(int64_t ms) const;
  int64_t PositionMs() const;
  // Where steps (`next` false) and speed changes (`next` true: the picture after the one
  // shown) continue from: the pictures when there are any, else the sound.
  int64_t ViewMs(bool next) const;

  // Thread bodies.
  void DemuxLoop();
  void AudioDecodeLoop();
  void VideoDecodeLoop();
  void PacingLoop();
  void DecodeLoop(Stream* stream, bool audio);
  // Decodes one queued item (decoder lock held).
  void DecodeItem(Stream* stream, bool audio, const morlun::PacketItem& item);
  void OnDecodedAudio(AVFrame* frame);      // Audio decoder lock held.
  void OnDecodedVideo(AVFrame* frame);      // Video decoder lock held.
  void DrainAudioGraph(AVFrame* filtered);  // Audio filter lock held.
  void DrainVideoGraph(AVFrame* filtered);  // Video filter lock held.
  bool CanRead();
  bool EverythingPlayedOut();

  morlun::Signal demux_wake_;  // Pops, requests and stops wake the demux loop.
  Stream audio_{&demux_wake_};
  Stream video_{&demux_wake_};
  morlun::RecordQueue<morlun::AudioRecord> audio_frames_{&demux_wake_};
  morlun::RecordQueue<morlun::VideoRecord> video_frames_{&demux_wake_};

  std::recursive_mutex file_lock_;  // See the class comment.
  CxLock control_lock_;             // See the class comment.
  CxLock path_lock_;                // Guards |path_| for readers without file_lock_.

  IAVFrame* receiver_;  // Not owned.
  std::atomic<AvFileDecodeSink*> sink_{nullptr};
  AvMsgWindow window_;

  // Protected by |file_lock_|; the demux thread uses the input while it runs. |path_| is
  // written with path_lock_ held too, so readers may take only that one.
  std::wstring path_;
  AVFormatContext* input_ = nullptr;
  double origin_ms_ = 0;         // File time 0 in the container's clock.
  bool input_at_start_ = false;  // Nothing has been read from |input_| since it was opened.

  std::unique_ptr<CxTaskThread> demux_thread_;
  std::unique_ptr<CxTaskThread> pacing_thread_;
  // A pacing thread that stopped playback from inside OnVideoFrame: freed at the next stop.
  std::unique_ptr<CxTaskThread> retired_pacing_thread_;
  std::atomic<bool> demux_running_{false};
  std::atomic<bool> pacing_running_{false};

  // Source formats (set when streams open; read by the getters).
  std::atomic<int> src_sample_format_{-1};
  std::atomic<uint64_t> src_channel_mask_{0};
  std::atomic<int> src_sample_rate_{0};
  std::atomic<int> src_pixel_format_{-1};
  std::atomic<int> src_width_{0};
  std::atomic<int> src_height_{0};
  std::atomic<double> src_frame_rate_{30.0};

  // Requested output (-1 / 0 keep the source's); guarded by the stream locks when written.
  std::atomic<int> out_sample_format_{-1};
  std::atomic<uint64_t> out_channel_mask_{0};
  std::atomic<int> out_sample_rate_{0};
  std::atomic<int> out_samples_per_frame_{0};
  std::atomic<int> out_pixel_code_{-1};
  std::atomic<int> out_width_{0};
  std::atomic<int> out_height_{0};
  std::atomic<double> out_frame_rate_{0};
  std::atomic<int> audio_record_format_{1};  // Sample format of the records (signed 16-bit).

  std::atomic<int> box_width_{0};
  std::atomic<int> box_height_{0};
  SwsContext* scaler_ = nullptr;  // Protected by video_.decoder_lock.

  std::atomic<double> speed_{1.0};
  double applied_speed_ = 1.0;  // Speed of the current graphs. Protected by |control_lock_|.
  std::atomic<double> volume_{100.0};
  std::atomic<int> loop_count_{1};
  std::atomic<int> plays_{0};
  std::atomic<bool> percent_mode_{false};
  // Requests, protected by |control_lock_|.
  int step_counter_ = 0;
  bool seek_requested_ = false;
  int64_t seek_target_ms_ = 0;
  std::atomic<bool> seek_pending_{false};  // Cleared by the first frame decoded after a seek.
  std::atomic<int64_t> seek_floor_ms_{INT64_MIN};  // Frames ending before it are dropped.
  std::atomic<int> serial_{0};                     // Bumped by every seek.

  std::atomic<int> progress_{0};
  // Orders the position notices of the pulling, pacing and finishing threads.
  std::mutex progress_mutex_;
  int last_posted_progress_ = -1;  // Guarded by |progress_mutex_|.
  bool progress_ended_ = false;    // Guarded by |progress_mutex_|.
  std::atomic<int> state_{kAvFileDecodeStateNone};
  std::atomic<int> error_code_{0};
  std::atomic<bool> paused_{false};
  std::atomic<double> duration_{0};  // Seconds; 0 when unknown.
  std::atomic<bool> end_of_input_{false};
  std::atomic<bool> audio_untrusted_{false};
  std::atomic<bool> video_untrusted_{false};
  std::atomic<bool> first_after_flush_{true};  // Audio pre-roll pending. Audio decoder lock.

  std::atomic<int64_t> clock_ms_{0};      // The audio clock (file time + output lead).
  std::atomic<bool> clock_known_{false};  // False after a seek until audio is pulled again.
  std::atomic<int64_t> position_ms_{0};   // File time being played now.
  // File time of the picture shown last and of the one after it (INT64_MIN: none since the
  // last seek); steps and speed changes start from what the user sees.
  std::atomic<int64_t> shown_video_ms_{INT64_MIN};
  std::atomic<int64_t> next_video_ms_{INT64_MIN};
};
