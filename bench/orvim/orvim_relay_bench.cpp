// 1280 x 720 I420 frames per second from one OrvimSDK service's sender, through the loopback
// room server, to another service's frame callback (the live stream at its source size),
// against a plain 127.0.0.1 socket relay of the same bytes. Both keep at most three frames in
// flight, so neither drops frames and the figure is the path's throughput.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// Fewer than the receiving service queues before it drops frames for a slow observer.
constexpr uint64_t kInFlight = 3;

// Counts the frames that arrive and lets the sender wait for room in the window.
class Window {
 public:
  void Arrived() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++received_;
    changed_.notify_all();
  }
  // Waits until fewer than kInFlight of |sent| frames are still under way; false after 5 s.
  bool WaitForRoom(uint64_t sent) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return sent - received_ < kInFlight; });
  }
  bool WaitForAll(uint64_t sent) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return received_ >= sent; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t received_ = 0;
};

class CountingObserver : public rtTarvo::base::RTObserver {
 public:
  explicit CountingObserver(Window* window) : window_(window) {}
  void OnVideoFrameYUVData(std::string, int source_type, rtTarvo::rtc::VideoFrame*) override {
    if (source_type == rtTarvo::rtc::kStreamLive) window_->Arrived();
  }
  void OnJoinRoomSuccess(std::string) override { Signal(&joined_); }
  void OnCreateSenderSuccess(rtTarvo::rtc::FrameSender* sender, std::string, std::string stream_id, int, int,
                             int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sender_ = sender;
    stream_id_ = stream_id;
    changed_.notify_all();
  }
  void OnPublishSuccess(std::string) override { Signal(&published_); }
  void OnSubscribeSuccess(std::string, int) override { Signal(&subscribed_); }

  bool Wait(const bool* flag) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return *flag; });
  }
  bool WaitForSender() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return sender_ != nullptr; });
  }

  bool joined_ = false;
  bool published_ = false;
  bool subscribed_ = false;
  rtTarvo::rtc::FrameSender* sender_ = nullptr;
  std::string stream_id_;

 private:
  void Signal(bool* flag) {
    std::lock_guard<std::mutex> lock(mutex_);
    *flag = true;
    changed_.notify_all();
  }
  Window* window_;
  std::mutex mutex_;
  std::condition_variable changed_;
};

void BM_OrvimSenderToRemoteCallback(benchmark::State& state) {
  orvim::testing::OrvimLibrary library;
  orvim::testing::RoomServerProcess server;
  if (!library.ok() || !server.Start()) {
    state.SkipWithError("no OrvimSDK.dll or room server");
    return;
  }
  Window window;
  CountingObserver publisher(&window);
  CountingObserver viewer(&window);
  rtTarvo::base::RTService* a = library.Create();
  rtTarvo::base::RTService* b = library.Create();
  a->AddObserver(&publisher);
  b->AddObserver(&viewer);
  a->SetServerAddress(server.address());
  b->SetServerAddress(server.address());
  a->LoginAndJoin("bench", "A", "a", "ca", "s", "");
  b->LoginAndJoin("bench", "B", "b", "cb", "s", "");
  rtTarvo::rtc::MediaObject* media_a = a->CreateRtcEngine()->GetMediaObject();
  rtTarvo::rtc::MediaObject* media_b = b->CreateRtcEngine()->GetMediaObject();
  bool ready = publisher.Wait(&publisher.joined_) && viewer.Wait(&viewer.joined_);
  if (ready) {
    media_a->CreateStream(0, kWidth, kHeight, 7, 5, true, false);
    ready = publisher.WaitForSender();
  }
  if (ready) {
    media_a->Publish(publisher.stream_id_, rtTarvo::rtc::PublishOptions());
    ready = publisher.Wait(&publisher.published_);
  }
  if (ready) {
    media_b->SubscribeLive(0, 0, true);
    ready = viewer.Wait(&viewer.subscribed_);
  }
  if (!ready) {
    state.SkipWithError("the two services did not meet");
  } else {
    std::vector<uint8_t> picture(orvim::I420Size(kWidth, kHeight), 128);
    uint64_t sent = 0;
    for (auto _ : state) {
      if (!window.WaitForRoom(sent)) {
        state.SkipWithError("frames stopped arriving");
        break;
      }
      picture[static_cast<size_t>(sent % picture.size())] ^= 1;
      publisher.sender_->SendI420(picture.data(), kWidth, kHeight);
      ++sent;
    }
    window.WaitForAll(sent);
    state.SetItemsProcessed(static_cast<int64_t>(sent));
    state.SetBytesProcessed(static_cast<int64_t>(sent * picture.size()));
  }
  library.Release(a);
  library.Release(b);
}
BENCHMARK(BM_OrvimSenderToRemoteCallback)->UseRealTime()->MinTime(3.0);

// The same bytes (a message of the wire format) over two 127.0.0.1 connections joined by a
// relay thread that reads each message whole and writes it on.
void BM_PlainSocketRelay(benchmark::State& state) {
  orvim::WinsockScope winsock;
  orvim::ScopedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener.get(), 4) != 0 || getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    state.SkipWithError("no listener");
    return;
  }
  const std::string target = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  orvim::ScopedSocket sender(orvim::ConnectTo(target));
  orvim::ScopedSocket relay_in(accept(listener.get(), nullptr, nullptr));
  orvim::ScopedSocket relay_out(orvim::ConnectTo(target));
  orvim::ScopedSocket receiver(accept(listener.get(), nullptr, nullptr));
  orvim::TuneSocket(relay_in.get());
  orvim::TuneSocket(receiver.get());

  Window window;
  std::thread relay([&] {
    orvim::InMessage message;
    std::string error;
    while (orvim::ReadMessage(relay_in.get(), &message, &error)) {
      const orvim::OutMessage out =
          orvim::VideoMessage(message.stream_id, message.source_type, message.width, message.height,
                              message.body, message.payload_offset, message.payload_size());
      if (!orvim::WriteMessage(relay_out.get(), out)) break;
    }
    shutdown(relay_out.get(), SD_BOTH);
  });
  std::thread reader([&] {
    orvim::InMessage message;
    std::string error;
    while (orvim::ReadMessage(receiver.get(), &message, &error)) window.Arrived();
  });

  orvim::Bytes picture = orvim::MakeBytes(orvim::I420Size(kWidth, kHeight));
  std::fill(picture.data.get(), picture.data.get() + picture.size, 128);
  uint64_t sent = 0;
  for (auto _ : state) {
    if (!window.WaitForRoom(sent)) {
      state.SkipWithError("frames stopped arriving");
      break;
    }
    // A copy per frame, as a sender takes it.
    orvim::Bytes frame = orvim::CopyBytes(picture.data.get(), picture.size);
    orvim::WriteMessage(sender.get(), orvim::VideoMessage("s", 7, kWidth, kHeight, frame, 0, frame.size));
    ++sent;
  }
  window.WaitForAll(sent);
  state.SetItemsProcessed(static_cast<int64_t>(sent));
  state.SetBytesProcessed(static_cast<int64_t>(sent * picture.size));
  shutdown(sender.get(), SD_BOTH);
  relay.join();
  shutdown(receiver.get(), SD_BOTH);
  reader.join();
}
BENCHMARK(BM_PlainSocketRelay)->UseRealTime()->MinTime(3.0);

}  // namespace
