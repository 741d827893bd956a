#include "platform/orvim/sdk/audio_tap.h"

#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"

namespace orvim::sdk {

namespace {

// Upward zero crossings of the left channel of interleaved stereo, from frame 2 on.
int LeftRises(const int16_t* samples, int frames) {
  int rises = 0;
  for (int i = 3; i < frames; ++i) {
    if (samples[2 * (i - 1)] < 0 && samples[2 * i] >= 0) ++rises;
  }
  return rises;
}

}  // namespace

void AudioTap::Add(const std::string& stream_id, const uint8_t* pcm, size_t bytes) {
  const int frames = static_cast<int>(bytes / 4);
  const int16_t* samples = reinterpret_cast<const int16_t*>(pcm);
  const AudioMark mark = ReadAudioPacket(samples, frames);
  const int rises = samples ? LeftRises(samples, frames) : 0;
  std::lock_guard<std::mutex> lock(mutex_);
  ++packets_;
  last_level_ = mark.level;
  last_time_ = std::chrono::steady_clock::now();
  entries_.push_back(Entry{stream_id, mark.marked, mark.tag, mark.counter, mark.level, rises});
  if (entries_.size() > kMaxEntries) entries_.pop_front();
}

float AudioTap::SpeakerLevel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (packets_ == 0 || std::chrono::steady_clock::now() - last_time_ > std::chrono::milliseconds(200)) {
    return 0.0f;
  }
  return static_cast<float>(last_level_) / 32767.0f;
}

std::string AudioTap::Read(bool drain) {
  JsonPtr answer = NewObject();
  std::lock_guard<std::mutex> lock(mutex_);
  PutBool(answer.get(), "ok", true);
  PutInt(answer.get(), "packets", static_cast<int64_t>(packets_));
  cJSON* entries = cJSON_AddArrayToObject(answer.get(), "entries");
  for (const Entry& e : entries_) {
    cJSON* item = cJSON_CreateObject();
    PutString(item, "stream", e.stream_id);
    PutBool(item, "marked", e.marked);
    PutInt(item, "tag", e.tag);
    PutInt(item, "counter", e.counter);
    PutInt(item, "level", e.level);
    PutInt(item, "rises", e.rises);
    cJSON_AddItemToArray(entries, item);
  }
  if (drain) entries_.clear();
  return ToText(answer.get());
}

}  // namespace orvim::sdk
