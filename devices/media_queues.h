#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

struct AVPacket;

// The queues between the engine's threads: packets from the demux thread to each decode
// thread, and decoded records from each decode thread to the puller (audio) or the pacing
// thread (video). Every queue guards itself with its own mutex, a leaf lock: nothing else is
// taken while it is held. Pops wake the demux thread through a shared Signal, pushes and clears
// wake waiting consumers.

namespace morlun {

// A wake-up for one waiting thread (the demux loop): Notify from anywhere, WaitFor sleeps until
// notified or the time-out. A notification that comes before WaitFor is not lost.
class Signal {
 public:
  void Notify();
  void WaitFor(int timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool pending_ = false;  // Protected by |mutex_|.
};

// One demuxed packet (owned), or the end-of-input marker, tagged with the seek serial it was
// read under: a decode thread drops items whose serial is no longer current.
struct PacketItem {
  AVPacket* packet = nullptr;
  int serial = 0;
  bool end_of_input = false;
};

class PacketQueue {
 public:
  explicit PacketQueue(Signal* on_pop) : on_pop_(on_pop) {}
  ~PacketQueue() { Clear(); }
  PacketQueue(const PacketQueue&) = delete;
  PacketQueue& operator=(const PacketQueue&) = delete;

  // Takes ownership of `packet` (may be null for the end-of-input marker).
  void Push(AVPacket* packet, int serial, bool end_of_input);
  // Waits up to `timeout_ms` for an item, or until `running` is cleared and Wake is called;
  // the caller owns the packet it gets.
  bool Pop(PacketItem* out, int timeout_ms, const std::atomic<bool>& running);
  void Clear();
  // Wakes a consumer waiting in Pop (used after its running flag was cleared).
  void Wake();
  size_t Count();
  size_t Bytes();

 private:
  Signal* on_pop_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PacketItem> items_;  // Protected by |mutex_|.
  size_t bytes_ = 0;              // Protected by |mutex_|.
};

// One decoded audio record: interleaved samples in the output format.
struct AudioRecord {
  double ts_ms = 0;     // Clock value while this record plays (file time plus output lead).
  double dur_ms = 0;    // File time covered (informational).
  bool silent = false;  // Pre-roll silence: does not move the reported position.
  std::vector<uint8_t> data;
  size_t offset = 0;  // Bytes already read by PullAudio.
};

// One decoded picture, packed I420 (empty when the picture box is 0 x 0).
struct VideoRecord {
  int64_t ts_ms = 0;    // File time.
  int64_t wall_ms = 0;  // How long it stays on screen at the current speed.
  int64_t file_ms = 0;  // The file time it stands for (wall_ms times the speed).
  int width = 0;
  int height = 0;
  std::vector<uint8_t> data;
};

// A FIFO of records with a room wait for its producer.
template <class T>
class RecordQueue {
 public:
  explicit RecordQueue(Signal* on_pop) : on_pop_(on_pop) {}
  RecordQueue(const RecordQueue&) = delete;
  RecordQueue& operator=(const RecordQueue&) = delete;

  void Push(T record) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(record));
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
  }
  void Clear() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      items_.clear();
    }
    room_.notify_all();
    if (on_pop_) on_pop_->Notify();
  }
  // Runs `fn(items)` under the queue's lock; returns what it returns. A consumer that removes
  // records must call Popped() afterwards (outside the call).
  template <class Fn>
  auto WithLock(Fn fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    return fn(items_);
  }
  void Popped() {
    room_.notify_all();
    if (on_pop_) on_pop_->Notify();
  }
  // Waits up to `timeout_ms` while the queue holds `limit` or more records and `running` is
  // set. Returns true when there is room.
  bool WaitForRoom(size_t limit, int timeout_ms, const std::atomic<bool>& running) {
    std::unique_lock<std::mutex> lock(mutex_);
    return room_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      return items_.size() < limit || !running.load();
    }) && items_.size() < limit;
  }
  // Wakes a producer waiting in WaitForRoom (used after its running flag was cleared).
  void Wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    room_.notify_all();
  }

 private:
  Signal* on_pop_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::deque<T> items_;  // Protected by |mutex_|.
};

}  // namespace morlun
