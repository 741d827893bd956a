// The room's live stream at a wanted size, and the mix stream of the video wall.

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

// The size to ask of a live stream offering |sizes|: the wanted size, else the wanted size
// turned, else 0 x 0.
rtTarvo::rtc::VideoResolution ChooseLiveSize(const std::vector<rtTarvo::rtc::VideoResolution>& sizes,
                                             int width, int height) {
  bool swapped = false;
  for (const rtTarvo::rtc::VideoResolution& size : sizes) {
    if (size.width == width && size.height == height) return {width, height};
    if (size.width == height && size.height == width) swapped = true;
  }
  if (swapped) return {height, width};
  return {0, 0};
}

}  // namespace

void CSdkInterActive::Set_Subscribe_Resolution(int width, int height, bool subscribe, bool openAudio) {
  if (OutofMeeting(true)) return;
  TVLOG_INFO_THIS() << " nwidth=" << width << " ,nheight=" << height << " ,bsubscrib=" << subscribe
                    << " ,bOpenAudio=" << openAudio;
  if (subscribe) {
    m_nLiveWidth.store(width);
    m_nLiveHeight.store(height);
    m_bLiveAudioMuted.store(!openAudio);
  }
  SubscribeLiveStream(subscribe);
}

void CSdkInterActive::SubscribeLiveStream(bool subscribe) {
  if (!m_bLiveSubscribeEnabled.load()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  std::vector<rtTarvo::rtc::StreamEntry> streams;
  media->GetStreams(&streams);
  for (const rtTarvo::rtc::StreamEntry& entry : streams) {
    if (entry.kind != rtTarvo::rtc::kStreamLive) continue;
    if (subscribe) {
      // The UI thread and SDK threads (room status, stream added, re-subscribe) all ask: only
      // the one that sets the flag subscribes.
      bool idle = false;
      if (!m_bLiveSubscribing.compare_exchange_strong(idle, true)) {
        TVLOG_INFO_THIS() << " Live Subscribing";
        continue;
      }
      const rtTarvo::rtc::VideoResolution size = ChooseLiveSize(entry.sizes, m_nLiveWidth.load(), m_nLiveHeight.load());
      const bool audioMuted = m_bLiveAudioMuted.load();
      media->SubscribeLive(size.width, size.height, audioMuted);
      TVLOG_INFO_THIS() << " Start SubscribeLive w = " << size.width << " ,h = " << size.height
                        << " ,audio = " << audioMuted;
      PostWebLog("start subscribe live w=" + std::to_string(size.width) + " ,h=" + std::to_string(size.height) +
                 " ,audio_muted=" + (audioMuted ? "1" : "0"));
    } else {
      if (!m_bLiveSubscribing.load()) {
        media->Unsubscribe(entry.stream_id);
        PostWebLog("start unsubscribe live!");
      }
      TVLOG_INFO_THIS() << " UnSubscribeLive m_bSubscribeIng = " << m_bLiveSubscribing.load();
    }
  }
}

void CSdkInterActive::VideoWall_OnOff(int opt) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " media is null";
    return;
  }
  if (opt == 1) {
    TVLOG_INFO_THIS() << " SubscribeMix,opt = " << opt;
    PostWebLog("VideoWall_OnOff subscribe mix");
    media->SubscribeMix(1);
    TVLOG_INFO_THIS() << " End SubscribeMix,opt = " << opt;
    return;
  }
  std::lock_guard<std::mutex> guard(m_subscribedMutex);
  for (const auto& entry : m_subscribedStreams) {
    if (entry.second != rtTarvo::rtc::kStreamMix) continue;
    TVLOG_INFO_THIS() << "UnSubscribe, id = " << entry.first;
    PostWebLog("VideoWall_OnOff unsubscribe mix");
    media->Unsubscribe(entry.first);
    TVLOG_INFO_THIS() << "End UnSubscribe, id = " << entry.first;
    return;
  }
}
