#include "devices/av_filter_graph.h"

#include <cinttypes>
#include <cstdio>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include "devices/av_formats.h"
#include "devices/av_log.h"

namespace morlun {
namespace {

bool IsNormalSpeed(double speed) { return FixedText(speed, 3) == "1.000"; }

// Connects "in" -> description -> "out" and configures the graph.
int LinkGraph(AVFilterGraph* graph, AVFilterContext* source, AVFilterContext* sink,
              const std::string& description) {
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  int ret = AVERROR(ENOMEM);
  if (outputs && inputs) {
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    ret = avfilter_graph_parse_ptr(graph, description.c_str(), &inputs, &outputs, nullptr);
    if (ret < 0) {
      AvLog("Cannot avfilter_graph_parse_ptr");
    } else {
      ret = avfilter_graph_config(graph, nullptr);
      if (ret < 0) AvLog("Cannot avfilter_graph_config");
    }
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  return ret;
}

}  // namespace

std::string AudioFilterText(double speed, int samples_per_frame) {
  std::string text;
  if (!IsNormalSpeed(speed)) text = "atempo=" + FixedText(speed, 3);
  if (samples_per_frame > 0) {
    if (!text.empty()) text += ",";
    text += "asetnsamples=n=" + std::to_string(samples_per_frame);
  }
  return text.empty() ? "anull" : text;
}

std::string VideoFilterText(double speed, double output_rate, double source_rate) {
  std::string text;
  const bool normal = IsNormalSpeed(speed);
  if (!normal) text = "setpts=PTS/" + FixedText(speed, 3);
  if (!normal || output_rate > 0) {
    if (!text.empty()) text += ",";
    text += "fps=" + FixedText(output_rate > 0 ? output_rate : source_rate, 6);
  }
  return text.empty() ? "null" : text;
}

void FilterGraph::Free() {
  avfilter_graph_free(&graph_);
  source_ = nullptr;
  sink_ = nullptr;
  output_rate_ = 0;
}

int FilterGraph::BuildAudio(const AudioGraphFormat& f, double speed) {
  Free();
  ScopedCNumericLocale c_locale;
  speed_ = IsNormalSpeed(speed) ? 1.0 : speed;
  description_ = AudioFilterText(speed, f.samples_per_frame);
  AvLog("InitAudioFilter arg = (%s)", description_.c_str());
  graph_ = avfilter_graph_alloc();
  if (!graph_) return AVERROR(ENOMEM);

  char args[512];
  const char* format_name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(f.sample_format));
  std::snprintf(args, sizeof(args),
                "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=0x%" PRIx64,
                f.time_base.num, f.time_base.den, f.sample_rate, format_name ? format_name : "s16",
                f.channel_mask);
  int ret = avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in", args,
                                         nullptr, graph_);
  if (ret < 0) {
    AvLog("Cannot create audio buffer source");
    Free();
    return ret;
  }
  ret = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                     nullptr, graph_);
  if (ret < 0) {
    AvLog("Cannot create audio buffer sink");
    Free();
    return ret;
  }
  if (f.out_sample_format >= 0) {
    const AVSampleFormat formats[] = {static_cast<AVSampleFormat>(f.out_sample_format),
                                      AV_SAMPLE_FMT_NONE};
    ret = av_opt_set_int_list(sink_, "sample_fmts", formats, AV_SAMPLE_FMT_NONE,
                              AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
      AvLog("Cannot set output sample format");
      Free();
      return ret;
    }
  }
  if (f.out_channel_mask != 0) {
    AVChannelLayout layout{};
    char layout_text[128] = "";
    av_channel_layout_from_mask(&layout, f.out_channel_mask);
    av_channel_layout_describe(&layout, layout_text, sizeof(layout_text));
    av_channel_layout_uninit(&layout);
    ret = av_opt_set(sink_, "ch_layouts", layout_text, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
      AvLog("Cannot set output channel layout");
      Free();
      return ret;
    }
  }
  if (f.out_sample_rate > 0) {
    const int rates[] = {f.out_sample_rate, -1};
    ret = av_opt_set_int_list(sink_, "sample_rates", rates, -1, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
      AvLog("Cannot set output sample rate");
      Free();
      return ret;
    }
  }
  ret = LinkGraph(graph_, source_, sink_, description_);
  if (ret < 0) Free();
  return ret;
}

int FilterGraph::BuildVideo(const VideoGraphFormat& f, double speed) {
  Free();
  ScopedCNumericLocale c_locale;
  speed_ = IsNormalSpeed(speed) ? 1.0 : speed;
  description_ = VideoFilterText(speed, f.out_rate, f.source_rate);
  AvLog("InitVideoFilter arg = (%s)", description_.c_str());
  graph_ = avfilter_graph_alloc();
  if (!graph_) return AVERROR(ENOMEM);

  AVRational aspect = f.sample_aspect;
  if (aspect.num <= 0 || aspect.den <= 0) aspect = AVRational{1, 1};
  char args[512];
  std::snprintf(args, sizeof(args),
                "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", f.width, f.height,
                f.pixel_format, f.time_base.num, f.time_base.den, aspect.num, aspect.den);
  int ret = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args,
                                         nullptr, graph_);
  if (ret < 0) {
    AvLog("Cannot create video buffer source");
    Free();
    return ret;
  }
  ret = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph_);
  if (ret < 0) {
    AvLog("Cannot create video buffer sink");
    Free();
    return ret;
  }
  if (f.out_pixel_format >= 0) {
    const AVPixelFormat formats[] = {static_cast<AVPixelFormat>(f.out_pixel_format),
                                     AV_PIX_FMT_NONE};
    ret = av_opt_set_int_list(sink_, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
      AvLog("Cannot set output pix fmts");
      Free();
      return ret;
    }
  }
  ret = LinkGraph(graph_, source_, sink_, description_);
  if (ret < 0) {
    Free();
    return ret;
  }
  if (description_.find("fps=") != std::string::npos) {
    output_rate_ = f.out_rate > 0 ? f.out_rate : f.source_rate;
  }
  return 0;
}

int FilterGraph::Feed(AVFrame* frame) {
  if (!source_) return AVERROR(EINVAL);
  return av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int FilterGraph::Receive(AVFrame* frame) {
  if (!sink_) return AVERROR(EINVAL);
  return av_buffersink_get_frame(sink_, frame);
}

AVRational FilterGraph::OutputTimeBase() const {
  if (!sink_) return AVRational{1, 1000};
  return av_buffersink_get_time_base(sink_);
}

}  // namespace morlun
