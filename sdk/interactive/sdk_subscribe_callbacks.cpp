// SDK callbacks of subscribing and unsubscribing (on the SDK's threads): they keep the
// subscribed-streams map and the live flags true to what the SDK holds.

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

void CSdkInterActive::OnSubscribeSuccess(std::string stream_id, int video_type) {
  TVLOG_INFO_THIS() << " id=" << stream_id << " ,videotype=" << video_type;
  PostWebLog("OnSubscribeSuccess subscribe stream sucess id=" + stream_id);
  {
    // Lock order: the subscribed map, then the re-subscribe list (inside the restore).
    std::lock_guard<std::mutex> guard(m_subscribedMutex);
    m_subscribedStreams.emplace(stream_id, video_type);  // A known id keeps its kind.
    OnSubscribeStreamRestored(stream_id, true);
  }
  if (video_type == rtTarvo::rtc::kStreamLive) {
    m_bLiveSubscribing.store(false);
    m_bLiveSubscribed.store(true);
  }
}

void CSdkInterActive::OnSubscribeFailed(int ec, std::string em, std::string stream_id, int video_type) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,id=" << stream_id << " ,videotype=" << video_type;
  PostWebLog("OnSubscribeFailed subscribe stream failed id=" + stream_id + " ,ec=" + std::to_string(ec) +
             ", em = " + em);
  OnSubscribeStreamRestored(stream_id, false);
  if (video_type == rtTarvo::rtc::kStreamLive) m_bLiveSubscribing.store(false);
}

void CSdkInterActive::OnUnSubscribeSuccess(std::string stream_id) {
  TVLOG_INFO_THIS() << "id=" << stream_id;
  PostWebLog("OnUnSubscribeSuccess unsubscribe stream success id=" + stream_id);
  std::lock_guard<std::mutex> guard(m_subscribedMutex);
  auto found = m_subscribedStreams.find(stream_id);
  if (found == m_subscribedStreams.end()) return;
  if (found->second == rtTarvo::rtc::kStreamLive) {
    m_bLiveSubscribed.store(false);
    m_bLiveSubscribing.store(false);
  }
  m_subscribedStreams.erase(found);
}

void CSdkInterActive::OnUnSubscribeFailed(int ec, std::string em, std::string stream_id) {
  PostWebLog("OnUnSubscribeFailed unsubscribe stream failed id=" + stream_id + " ,ec=" + std::to_string(ec) +
             ", em = " + em);
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,id=" << stream_id;
}
