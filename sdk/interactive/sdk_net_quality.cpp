// The publish stream's network quality level for the page (2 good, 1 fair, 0 poor), judged
// from short histories of its statistics, one sample per call.

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr size_t kShortHistory = 5;

template <typename T>
void Push(std::deque<T>& history, T value, size_t bound) {
  history.push_back(value);
  while (history.size() > bound) history.pop_front();
}

// Counters only grow while a stream lives; one that went down belongs to a new stream.
template <typename T, typename U>
bool WentDown(const std::deque<T>& history, U value) {
  return !history.empty() && static_cast<int64_t>(value) < static_cast<int64_t>(history.back());
}

}  // namespace

int CSdkInterActive::UpdateNetStatus() {
  if (GetMeetingIds().publishStreamId.empty()) return 2;
  if (OutofMeeting(true)) return 0;
  NetStatistics stats;
  GetPublishNetStats(&stats, true);
  StNetStatus& s = m_netStatus;

  const NetVideoStatistics& video = stats.video;
  if (WentDown(s.sentBytes, video.bytes) || WentDown(s.videoPackets, video.packets) ||
      WentDown(s.videoLossCount, video.lossCount)) {
    // A new stream: differences across it mean nothing, so the judgement starts again.
    TVLOG_INFO_THIS() << " video counters started again, histories cleared";
    s.sentBytes.clear();
    s.byteRate.clear();
    s.videoPackets.clear();
    s.videoPacketsLost.clear();
    s.videoLossCount.clear();
    s.frameRate.clear();
    s.frameHeight.clear();
    s.videoLoss.clear();
  }
  Push<int64_t>(s.sentBytes, video.bytes, 2);
  if (s.sentBytes.size() == 2) Push<int64_t>(s.byteRate, s.sentBytes[1] - s.sentBytes[0], 10);
  Push<int32_t>(s.videoPackets, video.packets, kShortHistory);
  Push<int32_t>(s.videoPacketsLost, video.packetsLost, kShortHistory);
  Push<int32_t>(s.videoLossCount, video.lossCount, kShortHistory);
  Push<int32_t>(s.frameRate, video.frameRate, kShortHistory);
  Push<uint32_t>(s.frameHeight, video.height, kShortHistory);
  s.lastFrameRate = video.frameRate;
  s.lastFrameHeight = video.height;
  s.lastFrameWidth = video.width;
  s.videoCodec = video.codec;
  s.videoLast = video.rtt;

  bool picture = false;
  {
    std::lock_guard<std::mutex> guard(m_frameMutex);
    picture = m_pLastFrame != nullptr;
  }
  if (m_bVideoMutex.load() || picture) {
    const NetAudioStatistics& audio = stats.audio;
    if (WentDown(s.audioBytes, audio.bytes) || WentDown(s.audioPackets, audio.packets) ||
        WentDown(s.audioPacketsLost, audio.packetsLost)) {
      TVLOG_INFO_THIS() << " audio counters started again, histories cleared";
      s.audioBytes.clear();
      s.audioPackets.clear();
      s.audioPacketsLost.clear();
    }
    Push<int64_t>(s.audioBytes, audio.bytes, 2);
    Push<int32_t>(s.audioPackets, audio.packets, kShortHistory);
    Push<int32_t>(s.audioPacketsLost, audio.packetsLost, kShortHistory);
    s.audioCodec = audio.codec;
    if (s.audioPackets.size() < kShortHistory || s.audioPacketsLost.size() < kShortHistory) return 2;
    double sum = 0.0;
    for (size_t i = 0; i + 1 < kShortHistory; ++i) {
      int64_t sent = static_cast<int64_t>(s.audioPackets[i + 1]) - s.audioPackets[i];
      if (sent <= 0) sent = 1;
      const double lost = static_cast<double>(static_cast<int64_t>(s.audioPacketsLost[i + 1]) - s.audioPacketsLost[i]);
      sum += std::min(lost / static_cast<double>(sent), 1.0);
    }
    const double percent = sum / 4.0 * 100.0;
    if (percent >= 0.0 && percent < 2.0) return 2;
    return percent < 5.0 ? 1 : 0;
  }

  // The loss counter's growth against the packets' growth over the history.
  if (!s.videoPackets.empty() && !s.videoPacketsLost.empty() && !s.videoLossCount.empty()) {
    const uint32_t lost = static_cast<uint32_t>(s.videoLossCount.back()) - static_cast<uint32_t>(s.videoLossCount.front());
    int64_t sent = static_cast<int64_t>(s.videoPackets.back()) - s.videoPackets.front();
    if (sent == 0) sent = 1;
    Push<float>(s.videoLoss, static_cast<float>(lost * 1.0 / static_cast<double>(sent) * 100.0), kShortHistory);
  }
  if (s.videoLoss.size() < kShortHistory || s.frameHeight.size() < kShortHistory ||
      s.frameRate.size() < kShortHistory) {
    return 2;
  }
  double mean = 0.0;
  for (float loss : s.videoLoss) mean += loss;
  mean /= static_cast<double>(s.videoLoss.size());
  const int lossClass = (mean >= 0.0 && mean < 10.0) ? 2 : (mean < 15.0 ? 1 : 0);
  const int32_t rate = s.frameRate.front();
  const int rateClass = (rate >= 0 && rate < 10) ? 0 : (rate < 15 ? 1 : 2);
  const uint32_t wanted = static_cast<uint32_t>(GetAppConfig()->video_height);
  const int sizeClass = s.frameHeight.front() < wanted ? 1 : 2;
  const int level = std::min({lossClass, rateClass, sizeClass});
  return level;
}
