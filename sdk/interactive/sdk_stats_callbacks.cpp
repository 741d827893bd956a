// SDK callbacks of connection statistics, the mix and live layouts, media insertion, the
// speaker test, and the local audio state that decides the page's microphone hint (on the
// SDK's threads).

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

constexpr size_t kPublishHistory = 5;
constexpr uint32_t kQuietLevel = 300;  // A published level at or below this counts as silence.

// numerator / denominator as a float; 0 for a zero denominator (the page's JSON takes no inf
// or NaN).
float Fraction(int32_t numerator, int32_t denominator) {
  if (denominator == 0) return 0.0f;
  return static_cast<float>(numerator) / static_cast<float>(denominator);
}

}  // namespace

void CSdkInterActive::OnGetConnectionStatsResult(std::string stream_id, NetStatistics stats) {
  const StMeetingIds ids = GetMeetingIds();
  auto held = [&](const std::string& id) { return !id.empty() && id == stream_id; };
  if (held(ids.publishStreamId)) {
    std::lock_guard<std::mutex> guard(m_publishStatsMutex);
    m_publishStats = stats;
    // Kept for the network-status readers; nothing reads it yet.
    while (m_publishStatHistory.size() >= kPublishHistory) m_publishStatHistory.pop_front();
    m_publishStatHistory.push_back(
        StPublishStatSample{stats.audio.audioLevel, stats.audio.totalAudioEnergy, stats.audio.totalSamplesDuration});
  } else if (held(ids.localMediaStreamId)) {
    std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
    m_localMediaStats = stats;
  } else {
    std::lock_guard<std::mutex> guard(m_subscribeStatsMutex);
    m_subscribeStats = stats;
  }
}

void CSdkInterActive::OnGetConnectionStatsReusltFailed(int ec, std::string stream_id) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,stream_id=" << stream_id;
}

void CSdkInterActive::OnLayoutChanged(int /*count*/, const rtTarvo::rtc::LayoutMap& layout) {
  TVLOG_INFO_THIS() << " mix_layout=" << static_cast<unsigned>(layout.size());
  std::vector<StLayoutItem> items;
  items.reserve(layout.size());
  for (const auto& entry : layout) {
    const rtTarvo::rtc::LayoutRegion& region = entry.second;
    StLayoutItem item;
    item.index = region.index;
    item.isFixed = region.isFixed;
    item.hasCamera = region.hasCamera;
    item.left = Fraction(region.left_num, region.left_den);
    item.top = Fraction(region.top_num, region.top_den);
    item.width = Fraction(region.width_num, region.width_den);
    item.height = Fraction(region.height_num, region.height_den);
    item.stream_id = region.stream_id;
    item.userName = region.user.name;
    item.userId = region.user.user_id;
    items.push_back(std::move(item));
  }
  if (!items.empty()) CJsEventSender::Instance()->NotifyLayout(items);
}

void CSdkInterActive::OnGetLive2LayoutResult(const std::string& ec, const std::string& em, const std::string& data) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
  if (em == "success") CJsEventSender::Instance()->NotifyLayoutData(data);
}

void CSdkInterActive::OnSetLive2LayoutResult(const std::string& ec, const std::string& em) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
}

void CSdkInterActive::OnStartInterCut(const std::string& ec, const std::string& em) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
}

void CSdkInterActive::OnStopInterCut(const std::string& ec, const std::string& em) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
}

void CSdkInterActive::OnSetInterCutVolume(const std::string& ec, const std::string& em) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
  PostWebLog("OnSetInterCutVolume ec=" + ec + " , em = " + em);
}

void CSdkInterActive::OnGetInterCutVolume(const std::string& ec, const std::string& em, int volume) {
  TVLOG_INFO_THIS() << " ec=" << ec << " ,em=" << em;
  if (ec == "200" && em == "success") CJsEventSender::Instance()->NotifyInterCutVolume(volume);
  PostWebLog("OnGetInterCutVolume ec=" + ec + ", em = " + em + " ,nVolume= " + std::to_string(volume));
}

void CSdkInterActive::OnSpeakerTestFinished() {
  std::lock_guard<std::mutex> guard(m_consumerMutex);
  for (DevConsumerDelegate* consumer : m_consumers) {
    if (consumer) consumer->OnSpeakerTestEnd();
  }
}

void CSdkInterActive::OnLocalAudioState(int value) {
  const bool muted = m_bMicMuted.load();
  uint32_t level = 0;
  {
    std::lock_guard<std::mutex> guard(m_publishStatsMutex);
    level = m_publishStats.audio.audioLevel;
  }
  const auto now = m_throttleNow.load()();
  const auto since = [&](const StThrottle& t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - t.last).count();
  };
  const bool showReady = since(m_showThrottle) >= m_showThrottle.intervalMs &&
                         since(m_repeatThrottle) > m_repeatThrottle.intervalMs;
  if ((muted && value == 0) || (!muted && level <= kQuietLevel)) {
    if (!showReady) return;
    CJsEventSender::Instance()->NotifyShowState(true);
    m_showThrottle.last = now;
    m_repeatThrottle.last = now;
  } else if (!muted) {
    CJsEventSender::Instance()->NotifyShowState(false);
    m_showThrottle.last = now;
  }
}

void CSdkInterActive::SetThrottleClock(SteadyNow now) {
  if (!now) now = &std::chrono::steady_clock::now;
  m_throttleNow.store(now);
  m_showThrottle.last = now();
  m_repeatThrottle.last = now();
}

std::deque<StPublishStatSample> CSdkInterActive::GetPublishStatHistory() {
  std::lock_guard<std::mutex> guard(m_publishStatsMutex);
  return m_publishStatHistory;
}

NetStatistics CSdkInterActive::GetLocalMediaStatsRecord() {
  std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
  return m_localMediaStats;
}
