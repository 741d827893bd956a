// Canvas lifetime: start and stop around sinks, users of the engine, names, refused values,
// dropped pushes and threads racing each other.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "platform/trastor/tests/trastor_test_support.h"

namespace trastor_test {
namespace {

bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(2);
  }
  return true;
}

TrastorSource* SetUpPullCanvas(TrastorCanvas* canvas, EdgeSink* sink, FrameRecorder* out) {
  canvas->SetSize(320, 240);
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePull, "SOURCE_AS", 0);
  if (!source) return nullptr;
  source->SetCaptureSink(sink);
  source->SetSize(320, 240);
  canvas->SetFrameOutSink(out);
  canvas->SetOutputMode(trastor::kOutputFrames);
  return source;
}

std::vector<unsigned char> GreyI420(int width, int height) {
  return std::vector<unsigned char>(width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2),
                                    128);
}

TEST(TrastorCanvasLifecycle, StopReturnsOnlyAfterASlowPull) {
  ScopedCanvas canvas("SLOW");
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpPullCanvas(canvas.get(), &sink, &out));
  std::atomic<bool> entered{false};
  std::atomic<bool> left{false};
  sink.during = [&](TrastorSource*, int, int) {
    if (entered.exchange(true)) return;
    Sleep(300);
    left = true;
  };
  ASSERT_TRUE(canvas->Start());
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
  canvas->Stop();
  EXPECT_TRUE(left.load());
  EXPECT_FALSE(canvas->IsRunning());
}

TEST(TrastorCanvasLifecycle, StopInsideASinkEndsTheThreadAfterThatTick) {
  ScopedCanvas canvas("SELF_STOP");
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpPullCanvas(canvas.get(), &sink, &out));
  std::atomic<bool> running_after_stop{true};
  std::atomic<bool> start_inside{true};
  sink.during = [&](TrastorSource*, int, int) {
    canvas->Stop();
    running_after_stop = canvas->IsRunning();
    start_inside = canvas->Start();
    canvas->Close();                      // Refused inside its own tick...
    Trastor_DestroyCanvas(canvas.get());  // ...and so is destruction.
  };
  ASSERT_TRUE(canvas->Start());
  ASSERT_TRUE(out.WaitFor(1));
  Sleep(300);
  EXPECT_EQ(sink.Sizes().size(), 1u);
  EXPECT_EQ(out.Count(), 1);
  EXPECT_FALSE(running_after_stop.load());
  EXPECT_FALSE(start_inside.load());
  EXPECT_FALSE(canvas->IsRunning());
  EXPECT_EQ(Trastor_GetCanvas("SELF_STOP"), canvas.get());

  // The canvas was neither closed nor destroyed: it starts again.
  sink.during = nullptr;
  ASSERT_TRUE(canvas->Start());
  EXPECT_TRUE(out.WaitFor(3));
  canvas->Stop();
}

TEST(TrastorCanvasLifecycle, TheLastFreeStopsCanvasesThatStayUsable) {
  const int users = TrastorTest_UserCount();
  ASSERT_EQ(users, 0);
  ScopedCanvas canvas("USERS");
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpPullCanvas(canvas.get(), &sink, &out));
  EXPECT_EQ(Trastor_Load(), 1);
  EXPECT_EQ(Trastor_Load(), 2);
  ASSERT_TRUE(canvas->Start());
  Trastor_Free();
  EXPECT_TRUE(canvas->IsRunning());
  Trastor_Free();
  EXPECT_EQ(TrastorTest_UserCount(), 0);
  EXPECT_FALSE(canvas->IsRunning());
  Trastor_Free();  // One more than were loaded: nothing happens.
  EXPECT_EQ(TrastorTest_UserCount(), 0);

  EXPECT_EQ(Trastor_GetCanvas("USERS"), canvas.get());
  ASSERT_TRUE(canvas->Start());
  EXPECT_TRUE(out.WaitFor(out.Count() + 2));
  ScopedCanvas after_free("AFTER_FREE");
  EXPECT_TRUE(after_free.get());
  canvas->Stop();
}

TEST(TrastorCanvasRegistry, NamesAndPointers) {
  const int live = TrastorTest_LiveCanvasCount();
  TrastorCanvas* first = Trastor_CreateCanvas("PREVIEW_CANVAS");
  ASSERT_TRUE(first);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live + 1);
  EXPECT_EQ(Trastor_CreateCanvas("PREVIEW_CANVAS"), nullptr);  // In use.
  EXPECT_EQ(Trastor_CreateCanvas(""), nullptr);
  EXPECT_EQ(Trastor_CreateCanvas(nullptr), nullptr);
  EXPECT_EQ(Trastor_GetCanvas("PREVIEW_CANVAS"), first);
  EXPECT_EQ(Trastor_GetCanvas("VIDEO_CANVAS"), nullptr);
  EXPECT_EQ(Trastor_GetCanvas(nullptr), nullptr);

  int not_a_canvas = 0;
  Trastor_DestroyCanvas(nullptr);
  Trastor_DestroyCanvas(reinterpret_cast<TrastorCanvas*>(&not_a_canvas));
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live + 1);

  Trastor_DestroyCanvas(first);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live);
  EXPECT_EQ(Trastor_GetCanvas("PREVIEW_CANVAS"), nullptr);
  Trastor_DestroyCanvas(first);  // Twice: ignored.
  // A destroyed canvas stays callable and does nothing.
  EXPECT_FALSE(first->Start());
  EXPECT_FALSE(first->IsRunning());
  EXPECT_EQ(first->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0), nullptr);

  TrastorCanvas* again = Trastor_CreateCanvas("PREVIEW_CANVAS");
  EXPECT_TRUE(again);
  Trastor_DestroyCanvas(again);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live);
}

TEST(TrastorCanvasSettings, ValuesOutOfRangeAreRefusedAndChangeNothing) {
  ScopedCanvas canvas("SETTINGS");
  ASSERT_TRUE(canvas->SetSize(800, 600));
  const struct {
    int width;
    int height;
  } sizes[] = {{0, 10}, {10, 0}, {-1, 5}, {16385, 10}, {10, 16385}};
  for (const auto& size : sizes) {
    EXPECT_FALSE(canvas->SetSize(size.width, size.height)) << size.width << "x" << size.height;
  }
  EXPECT_FALSE(canvas->SetViewSize(-1, 5));
  EXPECT_FALSE(canvas->SetViewSize(5, 16385));
  int width = 0;
  int height = 0;
  canvas->GetSize(&width, &height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_TRUE(canvas->SetSize(16384, 1));
  EXPECT_TRUE(canvas->SetViewSize(0, 0));

  for (float rate : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                     std::numeric_limits<float>::infinity()}) {
    EXPECT_FALSE(canvas->SetFrameRate(rate)) << rate;
  }
  EXPECT_TRUE(canvas->SetFrameRate(0.5f));
  for (int mode : {-1, 2, 3}) EXPECT_FALSE(canvas->SetOutputMode(mode)) << mode;
  for (int kind : {-1, 1, 2, 4}) EXPECT_EQ(canvas->CreateSource(kind, "X", 0), nullptr) << kind;

  TrastorSource* source = canvas->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0);
  ASSERT_TRUE(source);
  EXPECT_FALSE(source->SetSize(0, 5));
  EXPECT_FALSE(source->SetSize(5, 16385));
  EXPECT_FALSE(source->SetPlaceholderImage(L"Z:\\no\\such\\picture.png"));
  EXPECT_FALSE(source->SetPlaceholderImage(nullptr));
}

TEST(TrastorPushSource, FramesThatCannotBeTakenReachNothing) {
  ScopedCanvas canvas("PUSH");
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0);
  TrastorSource* pull = canvas->CreateSource(trastor::kSourcePull, "SOURCE_AS", 0);
  ASSERT_TRUE(source && pull);
  const auto frame = GreyI420(33, 17);
  const int length = static_cast<int>(frame.size());
  TrastorSourceCounters counters{};

  EXPECT_FALSE(source->PushFrame(trastor::kFormatI420, 33, 17, frame.data(), length));
  TrastorTest_GetSourceCounters(source, &counters);
  EXPECT_EQ(counters.pushes, 0);
  EXPECT_EQ(counters.last_format, -1);

  ASSERT_TRUE(canvas->Start());
  const struct {
    int format;
    int width;
    int height;
    const unsigned char* data;
    int length;
  } refused[] = {
      {4, 33, 17, frame.data(), length},
      {7, 33, 17, frame.data(), length},
      {trastor::kFormatI420, 0, 17, frame.data(), length},
      {trastor::kFormatI420, 33, -1, frame.data(), length},
      {trastor::kFormatI420, 16385, 1, frame.data(), length},
      {trastor::kFormatI420, 33, 17, nullptr, length},
      {trastor::kFormatI420, 33, 17, frame.data(), length - 1},
      {trastor::kFormatNV12, 33, 17, frame.data(), 33 * 17 * 3 / 2},  // Odd sides need more.
      {trastor::kFormatBGR24, 33, 17, frame.data(), length},
      {trastor::kFormatYUY2, 33, 17, frame.data(), length},
  };
  for (const auto& push : refused) {
    EXPECT_FALSE(source->PushFrame(push.format, push.width, push.height, push.data, push.length))
        << push.format << " " << push.width << "x" << push.height << " " << push.length;
  }
  EXPECT_FALSE(pull->PushFrame(trastor::kFormatI420, 33, 17, frame.data(), length));
  TrastorTest_GetSourceCounters(source, &counters);
  EXPECT_EQ(counters.pushes, 0);

  EXPECT_TRUE(source->PushFrame(trastor::kFormatI420, 33, 17, frame.data(), length + 100));
  TrastorTest_GetSourceCounters(source, &counters);
  EXPECT_EQ(counters.pushes, 1);
  EXPECT_EQ(counters.last_format, trastor::kFormatI420);
  EXPECT_EQ(counters.last_width, 33);
  EXPECT_EQ(counters.last_height, 17);
  EXPECT_EQ(counters.last_length, 33 * 17 + 2 * 17 * 9);

  canvas->Stop();
  EXPECT_FALSE(source->PushFrame(trastor::kFormatI420, 33, 17, frame.data(), length));
  canvas->Close();
  ASSERT_TRUE(canvas->Start());
  EXPECT_FALSE(source->PushFrame(trastor::kFormatI420, 33, 17, frame.data(), length));
  TrastorTest_GetSourceCounters(source, &counters);
  EXPECT_EQ(counters.pushes, 1);
  canvas->Stop();
}

TEST(TrastorStress, PushesRaceStartStopCloseAndDestroy) {
  const int live = TrastorTest_LiveCanvasCount();
  std::atomic<TrastorSource*> current{nullptr};
  std::atomic<TrastorCanvas*> current_canvas{nullptr};
  std::atomic<bool> done{false};
  std::atomic<long long> taken{0};
  std::vector<std::thread> pushers;
  for (int i = 0; i < 4; ++i) {
    pushers.emplace_back([&, i] {
      const int width = 160 + 2 * i;
      const auto frame = GreyI420(width, 120);
      while (!done) {
        if (TrastorSource* source = current.load()) {
          if (source->PushFrame(trastor::kFormatI420, width, 120, frame.data(),
                                static_cast<int>(frame.size()))) {
            ++taken;
          }
        }
        if (TrastorCanvas* canvas = current_canvas.load()) canvas->IsRunning();
      }
    });
  }
  std::mt19937 rng(7);
  FrameRecorder out;
  // A fixed number of rounds, so that a loaded machine runs the same race, only slower.
  constexpr int kRounds = 40;
  for (int round = 0; round < kRounds; ++round) {
    TrastorCanvas* canvas = Trastor_CreateCanvas("STRESS");
    ASSERT_TRUE(canvas);
    canvas->SetSize(320, 240);
    canvas->SetFrameRate(200.0f);
    canvas->SetOutputMode(round % 2 ? trastor::kOutputFrames : trastor::kOutputWindow);
    canvas->SetFrameOutSink(&out);
    TrastorSource* source = canvas->CreateSource(trastor::kSourcePush, "SOURCE_VIDEO_SRC", 0);
    ASSERT_TRUE(source);
    current_canvas = canvas;
    current = source;
    for (int i = 0; i < 3; ++i) {
      canvas->Start();
      Sleep(rng() % 8);
      if (rng() % 2) canvas->Stop();
      if (rng() % 3 == 0) canvas->Close();
    }
    // The pushers keep using the pointers of the canvas while it is destroyed.
    Trastor_DestroyCanvas(canvas);
    Sleep(rng() % 3);
  }
  done = true;
  for (auto& pusher : pushers) pusher.join();
  EXPECT_GT(taken.load(), 0);
  EXPECT_EQ(TrastorTest_LiveCanvasCount(), live);
}

}  // namespace
}  // namespace trastor_test
