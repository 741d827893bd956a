// The screen-share and local-media starts, the share frames, and the server-side media
// insertion. The stops are in sdk_stream_callbacks.cpp and sdk_devices.cpp; the stream ids and
// senders arrive in the stream callbacks.

#include <cstdint>

#include "devices/av_file_decode_engine.h"
#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/gl_print.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

// The bytes of an I420 picture of width x height (chroma planes rounded up).
int64_t I420Size(int width, int height) {
  const int64_t w = width;
  const int64_t h = height;
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

}  // namespace

int CSdkInterActive::Start_Share_Stream() {
  if (OutofMeeting(true)) return -1;
  if (m_bLodIng.load()) {
    TVLOG_ERROR_THIS() << " local intercut lod = " << 1;
    return 2;
  }
  PostWebLog("start share!");
  if (HasSender(1)) {
    ShareStreamAudioMute();
    TVLOG_ERROR_THIS() << " Start_Share_Stream is ing";
    return 1;
  }
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) {
    m_bShareRequested.store(true);
    media->CreateStream(1, 1920, 1080, 2, 2, true, true);
  }
  return 0;
}

void CSdkInterActive::SendShareStreamData(const uint8_t* data, int length, int width, int height) {
  static StGlPrint printer(" send share stream data:");
  printer.Print(2, width, height);
  // A frame that does not hold a whole picture of its size would be read past its end.
  if (!data || width <= 0 || height <= 0 || length <= 0 || length < I420Size(width, height)) {
    static StGlPrint dropped(" drop share frame, length < w*h*3/2:");
    dropped.Print(length, width, height);
    return;
  }
  SendFrame(1, data, width, height);
}

void CSdkInterActive::Start_MediaShare(const std::string& audioSource, const std::string& videoSource,
                                       const std::string& url, bool start, bool mute) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::LiveControl* live = GetLiveControl();
  if (!live) {
    TVLOG_ERROR_THIS() << " rtControl is null";
    return;
  }
  TVLOG_INFO_THIS() << " saudio=" << audioSource << " ,svideo=" << videoSource << " ,url=" << url
                    << " ,bstart=" << start << " ,bmute=" << mute;
  // Every request inserts; the start flag is only logged (no operation stops an insertion).
  rtTarvo::rtc::MediaInsertion insertion;
  insertion.url = url;
  insertion.audio_source = audioSource;
  insertion.video_source = videoSource;
  insertion.room_id = GetMeetingIds().roomId;
  insertion.muted = mute;
  live->StartInsertion(insertion);
  PostWebLog("start inter cut!");
}

int CSdkInterActive::Start_LocalMedia_Stream(AvFileDecodeEngine* engine, int width, int height, bool flag) {
  if (OutofMeeting(true)) return -1;
  PostWebLog("start local media share!");
  if (HasSender(1)) {
    TVLOG_ERROR_THIS() << " Start_Share_Stream is ing";
    return 1;
  }
  if (m_bLodIng.load()) {
    TVLOG_ERROR_THIS() << " local intercut lod = " << 1;
    return 2;
  }
  rtTarvo::rtc::LocalMediaVideoOptions video;
  video.width = width;
  video.height = height;
  video.mode = 2;
  // No engine (no file open yet) counts as a file without video.
  video.has_video = engine && engine->HasVideo();
  rtTarvo::rtc::LocalMediaAudioOptions audio;
  audio.sample_rate = 48000;
  audio.channels = 2;
  audio.mode = 2;
  audio.enabled = true;
  audio.loop = flag;
  audio.generator = this;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) media->CreateLocalMediaStream(video, audio, 1);
  m_bLodIng.store(true);
  return 0;
}
