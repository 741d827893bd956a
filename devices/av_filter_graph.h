#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

// One FFmpeg filter graph "in" -> description -> "out" for the audio or the video of a file.
// Not thread-safe: the engine guards each graph with its filter lock.

namespace morlun {

// The filter description of the audio graph: "atempo=<speed>" when the speed is not 1, then
// "asetnsamples=n=<n>" when a sample count per frame is set; "anull" when neither.
std::string AudioFilterText(double speed, int samples_per_frame);
// The filter description of the video graph: "setpts=PTS/<speed>" when the speed is not 1,
// then "fps=<rate>" (the output rate, else the source rate) when the speed is not 1 or an
// output rate is set; "null" when neither.
std::string VideoFilterText(double speed, double output_rate, double source_rate);

struct AudioGraphFormat {
  AVRational time_base{1, 1};  // Of the frames fed in.
  int sample_rate = 0;
  int sample_format = -1;
  uint64_t channel_mask = 0;
  // Requested output; -1 / 0 keep the input's.
  int out_sample_format = -1;
  uint64_t out_channel_mask = 0;
  int out_sample_rate = 0;
  int samples_per_frame = 0;
};

struct VideoGraphFormat {
  AVRational time_base{1, 1};
  int width = 0;
  int height = 0;
  int pixel_format = -1;
  AVRational sample_aspect{0, 1};
  double source_rate = 30.0;
  int out_pixel_format = -1;  // -1 keeps the input's.
  double out_rate = 0;        // 0 keeps the source rate.
};

class FilterGraph {
 public:
  FilterGraph() = default;
  ~FilterGraph() { Free(); }
  FilterGraph(const FilterGraph&) = delete;
  FilterGraph& operator=(const FilterGraph&) = delete;

  // Build* free the previous graph first. They return 0 or a negative FFmpeg error (-12 when
  // memory runs out); on failure no graph is left.
  int BuildAudio(const AudioGraphFormat& format, double speed);
  int BuildVideo(const VideoGraphFormat& format, double speed);
  void Free();
  bool IsReady() const { return sink_ != nullptr; }

  // Feeds one frame (null: end of stream); the graph keeps its own reference.
  int Feed(AVFrame* frame);
  // Takes the next filtered frame into `frame`; AVERROR(EAGAIN) / AVERROR_EOF when none.
  int Receive(AVFrame* frame);

  // The time base of filtered frames (the sink's: fps and inserted resamplers change it).
  AVRational OutputTimeBase() const;
  // The speed this graph was built for; timestamps of its output are in playback time.
  double speed() const { return speed_; }
  // The frame rate of its output when an fps filter is in it, else 0.
  double output_rate() const { return output_rate_; }
  const std::string& description() const { return description_; }

 private:
  AVFilterGraph* graph_ = nullptr;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  double speed_ = 1.0;
  double output_rate_ = 0;
  std::string description_;
};

}  // namespace morlun
