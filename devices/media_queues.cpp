#include "devices/media_queues.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace morlun {

void Signal::Notify() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = true;
  }
  cv_.notify_all();
}

void Signal::WaitFor(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return pending_; });
  pending_ = false;
}

void PacketQueue::Push(AVPacket* packet, int serial, bool end_of_input) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(PacketItem{packet, serial, end_of_input});
    if (packet) bytes_ += packet->size;
  }
  cv_.notify_one();
}

void PacketQueue::Wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  cv_.notify_all();
}

bool PacketQueue::Pop(PacketItem* out, int timeout_ms, const std::atomic<bool>& running) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                 [&] { return !items_.empty() || !running.load(); });
    if (items_.empty()) return false;
    *out = items_.front();
    items_.pop_front();
    if (out->packet) bytes_ -= out->packet->size;
  }
  if (on_pop_) on_pop_->Notify();
  return true;
}

void PacketQueue::Clear() {
  std::deque<PacketItem> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(items_);
    bytes_ = 0;
  }
  for (PacketItem& item : dropped) av_packet_free(&item.packet);
  if (on_pop_) on_pop_->Notify();
}

size_t PacketQueue::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

size_t PacketQueue::Bytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

}  // namespace morlun
