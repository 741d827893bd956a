#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace orvim::sdk {

// The audio a service received: each packet's mark (tag, sample counter, level) for tests,
// and the speaker level (what a speaker would play). Thread-safe.
class AudioTap {
 public:
  // One packet of 16-bit stereo PCM received on |stream_id|.
  void Add(const std::string& stream_id, const uint8_t* pcm, size_t bytes);
  // RMS of the last packet received within 200 ms, 0 to 1.
  float SpeakerLevel();
  // {"ok", "packets", "entries": [{"stream", "marked", "tag", "counter", "level", "rises"}]};
  // "rises" counts the left channel's upward zero crossings after the mark's two frames (about
  // a tone's frequency / 100 in a 10 ms packet). With |drain| the entries are handed out once.
  std::string Read(bool drain);

 private:
  struct Entry {
    std::string stream_id;
    bool marked;
    uint16_t tag;
    uint32_t counter;
    int level;
    int rises;
  };
  static constexpr size_t kMaxEntries = 6000;  // One minute of packets.

  std::mutex mutex_;  // Protects everything below.
  std::deque<Entry> entries_;
  uint64_t packets_ = 0;
  int last_level_ = 0;
  std::chrono::steady_clock::time_point last_time_;
};

}  // namespace orvim::sdk
