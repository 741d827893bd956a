// The SDK's own floor for the two-client meeting's figures (client_meeting_bench.py): the same
// steps done by two bare services of the SDK stand-in in one process, with no client around
// them (no page, no main window, no SDK layer, no stream blocks).
//
//   BM_JoinToFirstLivePicture   A joins the room, creates and publishes its camera stream and
//                               opens the virtual camera; the time until B (in the room,
//                               subscribed to the room's live stream whenever it appears)
//                               receives the first live picture with A's mark.
//   BM_UnmuteToFirstLivePicture A's camera is muted for everyone and B's live pictures have
//                               stopped; the time from the unmute to B's next live picture.
//
// Each iteration is timed by hand (UseManualTime) from the step's call to B's picture.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using orvim::testing::ServiceClient;

constexpr char kRoom[] = "floor";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

orvim::testing::OrvimLibrary& Library() {
  static orvim::testing::OrvimLibrary library;
  return library;
}

// B: in the room, subscribing to the live stream each time it is announced; counts the live
// pictures that carry |tag| and remembers when the newest came.
class Viewer {
 public:
  explicit Viewer(const std::string& address) : client_(Library()) {
    client_.observer().SetHook([this](const orvim::testing::ObservedEvent& event) {
      // The room's live stream (kind 7) appears while anything is published.
      if (event.name == "OnStreamAdded" && event.stream.kind == 7) {
        client_.media()->SubscribeLive(kWidth, kHeight, true);
      }
    });
    client_.observer().SetFrameHook(
        [this](const std::string&, int source_type, const rtTarvo::rtc::FrameDescription& frame) {
          if (source_type != 7) return;
          orvim::PictureMark mark;
          if (!orvim::ReadPictureMark(frame.data, frame.width, frame.height, &mark)) return;
          if (mark.tag != tag_.load()) return;
          last_at_.store(Clock::now().time_since_epoch().count());
          pictures_.fetch_add(1);
        });
    joined_ = client_.Join(address, kRoom, "floor-b");
  }

  bool joined() const { return joined_; }
  void Watch(uint16_t tag) { tag_.store(tag); }
  int pictures() const { return pictures_.load(); }
  // Waits until more than |seen| pictures of the tag came; false after 20 s.
  bool WaitBeyond(int seen) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (pictures_.load() <= seen) {
      if (Clock::now() > deadline) return false;
      Sleep(1);
    }
    return true;
  }
  // Waits until no picture of the tag came for |quiet_ms|; false after 10 s.
  bool WaitQuiet(int quiet_ms) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      const auto last = Clock::time_point(Clock::duration(last_at_.load()));
      if (Clock::now() - last > std::chrono::milliseconds(quiet_ms)) return true;
      Sleep(10);
    }
    return false;
  }

 private:
  ServiceClient client_;
  bool joined_ = false;
  std::atomic<uint16_t> tag_{0};
  std::atomic<int> pictures_{0};
  std::atomic<Clock::rep> last_at_{0};
};

// A: joins, publishes the camera publish stream and feeds it from the virtual camera, as the
// SDK's user does.
class Publisher {
 public:
  Publisher() : client_(Library()) {
    client_.observer().SetFrameHook(
        [this](const std::string&, int source_type, const rtTarvo::rtc::FrameDescription& frame) {
          rtTarvo::rtc::FrameSender* sender = sender_.load();
          if (source_type == 1 && sender != nullptr) sender->SendI420(frame.data, frame.width, frame.height);
        });
  }

  // Joins |address| as |user| and starts the camera; false when a step failed.
  bool Start(const std::string& address, const std::string& user) {
    if (!client_.Join(address, kRoom, user)) return false;
    rtTarvo::rtc::FrameSender* sender = nullptr;
    if (!client_.PublishStream(0, true, &stream_id_, &sender)) return false;
    sender_.store(sender);
    rtTarvo::rtc::VideoParams params;
    params.width = kWidth;
    params.height = kHeight;
    return client_.media()->CreateCameraStream("orvim-camera-1", params) == 0;
  }
  void MuteVideo(bool muted) { client_.media()->MuteVideo(stream_id_, muted); }

 private:
  ServiceClient client_;
  std::string stream_id_;
  std::atomic<rtTarvo::rtc::FrameSender*> sender_{nullptr};
};

void BM_JoinToFirstLivePicture(benchmark::State& state) {
  orvim::testing::RoomServerProcess server;
  if (!Library().ok() || !server.Start()) {
    state.SkipWithError("no SDK stand-in or room server");
    return;
  }
  // A participant whose connection ended is otherwise kept 5 s, and its publish stream with it
  // (the live stream would stay the last round's camera).
  orvim::testing::ServerControlOk(Library(), server.address(), R"({"cmd":"grace_ms","ms":0})");
  Viewer viewer(server.address());
  if (!viewer.joined()) {
    state.SkipWithError("B did not join");
    return;
  }
  int round = 0;
  for (auto _ : state) {
    // A new user each round: a participant that left is kept a while by the server.
    const std::string user = "floor-a" + std::to_string(++round);
    viewer.Watch(orvim::TagFromText(user.c_str()));
    const int seen = viewer.pictures();
    const auto start = Clock::now();
    auto publisher = std::make_unique<Publisher>();
    if (!publisher->Start(server.address(), user) || !viewer.WaitBeyond(seen)) {
      state.SkipWithError("B got no live picture of A");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    publisher.reset();  // A leaves (its threads end) before the next round.
  }
}
BENCHMARK(BM_JoinToFirstLivePicture)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_UnmuteToFirstLivePicture(benchmark::State& state) {
  orvim::testing::RoomServerProcess server;
  if (!Library().ok() || !server.Start()) {
    state.SkipWithError("no SDK stand-in or room server");
    return;
  }
  Viewer viewer(server.address());
  Publisher publisher;
  viewer.Watch(orvim::TagFromText("floor-a"));
  if (!viewer.joined() || !publisher.Start(server.address(), "floor-a") || !viewer.WaitBeyond(0)) {
    state.SkipWithError("B got no live picture of A");
    return;
  }
  for (auto _ : state) {
    publisher.MuteVideo(true);
    if (!viewer.WaitQuiet(500)) {
      state.SkipWithError("A's pictures did not stop");
      break;
    }
    const int seen = viewer.pictures();
    const auto start = Clock::now();
    publisher.MuteVideo(false);
    if (!viewer.WaitBeyond(seen)) {
      state.SkipWithError("A's pictures did not come back");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(BM_UnmuteToFirstLivePicture)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
