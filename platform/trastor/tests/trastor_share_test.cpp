// The share canvas: frames pulled from a capture sink, composed and handed out as I420.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/trastor/tests/trastor_test_support.h"

namespace trastor_test {
namespace {

constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

// The share canvas as the share window sets it up.
TrastorSource* SetUpShareCanvas(TrastorCanvas* canvas, EdgeSink* sink, FrameRecorder* out,
                                int width = 640, int height = 480) {
  canvas->SetBackground(0xFF808080);
  canvas->SetSize(width, height);
  canvas->SetFrameRate(15.0f);
  canvas->SetWindow(nullptr);
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePull, "SOURCE_AS", 0);
  if (!source) return nullptr;
  source->SetCaptureSink(sink);
  source->SetPosition(0, 0);
  source->SetSize(width, height);
  canvas->SetFrameOutSink(out);
  canvas->SetOutputMode(trastor::kOutputFrames);
  return source;
}

TEST(TrastorShareCanvas, DeliversI420FramesOfCanvasSizeWithTheEdgesInPlace) {
  ScopedCanvas canvas("CANVAS_AS");
  ASSERT_TRUE(canvas.get());
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpShareCanvas(canvas.get(), &sink, &out));
  EXPECT_FALSE(canvas->IsRunning());
  ASSERT_TRUE(canvas->Start());
  EXPECT_TRUE(canvas->IsRunning());
  ASSERT_TRUE(out.WaitFor(3));
  canvas->Stop();
  EXPECT_FALSE(canvas->IsRunning());

  const Frame frame = out.Last();
  EXPECT_EQ(frame.canvas, canvas.get());
  EXPECT_EQ(frame.format, trastor::kFormatI420);
  ASSERT_EQ(frame.width, 640);
  ASSERT_EQ(frame.height, 480);
  ASSERT_EQ(frame.length, 640 * 480 + 2 * 320 * 240);
  // Horizontal edges on row 100, vertical ones on column 150 (white is [37, 301) x [21, 199)).
  EXPECT_LT(frame.Luma(36, 100), 40);
  EXPECT_GT(frame.Luma(37, 100), 200);
  EXPECT_GT(frame.Luma(300, 100), 200);
  EXPECT_LT(frame.Luma(301, 100), 40);
  EXPECT_LT(frame.Luma(150, 20), 40);
  EXPECT_GT(frame.Luma(150, 21), 200);
  EXPECT_GT(frame.Luma(150, 198), 200);
  EXPECT_LT(frame.Luma(150, 199), 40);
  // Neutral chroma.
  const std::uint8_t* u = frame.data.data() + 640 * 480;
  EXPECT_NEAR(u[50 * 320 + 80], 128, 2);
  for (const SIZE& size : sink.Sizes()) {
    EXPECT_EQ(size.cx, 640);
    EXPECT_EQ(size.cy, 480);
  }
}

TEST(TrastorShareCanvas, OutsideTheSourceShowsTheBackground) {
  ScopedCanvas canvas("OFFSET");
  EdgeSink sink;
  FrameRecorder out;
  TrastorSource* source = SetUpShareCanvas(canvas.get(), &sink, &out);
  ASSERT_TRUE(source);
  source->SetPosition(100, 50);
  source->SetSize(320, 240);
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  int width = 0;
  int height = 0;
  auto picture = LastPicture(canvas.get(), &width, &height);
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  auto at = [&](int x, int y) { return picture[static_cast<std::size_t>(y) * width + x]; };
  EXPECT_EQ(at(0, 0), kGrey);
  EXPECT_EQ(at(99, 150), kGrey);
  EXPECT_EQ(at(100, 150), kBlack);
  EXPECT_EQ(at(136, 150), kBlack);
  EXPECT_EQ(at(137, 150), kWhite);
  EXPECT_EQ(at(419, 150), kBlack);
  EXPECT_EQ(at(420, 150), kGrey);
  EXPECT_EQ(at(200, 49), kGrey);
  EXPECT_EQ(at(200, 289), kBlack);
  EXPECT_EQ(at(200, 290), kGrey);
  // The frame handed out shows the grey as its luma.
  const Frame frame = out.Last();
  ASSERT_EQ(frame.width, 640);
  EXPECT_NEAR(frame.Luma(600, 400), 126, 2);

  // Partly off the canvas: the visible part is cut, not moved.
  source->SetPosition(-10, -5);
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  picture = LastPicture(canvas.get(), &width, &height);
  EXPECT_EQ(at(26, 100), kBlack);
  EXPECT_EQ(at(27, 100), kWhite);
  EXPECT_EQ(at(100, 15), kBlack);
  EXPECT_EQ(at(100, 16), kWhite);
  EXPECT_EQ(at(310, 100), kGrey);
}

TEST(TrastorShareCanvas, ASizeSetDuringThePullAppliesFromTheNextFrame) {
  ScopedCanvas canvas("RESIZE");
  EdgeSink sink;
  FrameRecorder out;
  TrastorSource* source = SetUpShareCanvas(canvas.get(), &sink, &out);
  ASSERT_TRUE(source);
  int seen_width = 0;
  int seen_height = 0;
  sink.during = [&](TrastorSource* pulled, int, int) {
    if (sink.Sizes().size() != 1) return;
    canvas->SetSize(320, 240);
    pulled->SetSize(320, 240);
    canvas->GetSize(&seen_width, &seen_height);
  };
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  EXPECT_EQ(seen_width, 320);
  EXPECT_EQ(seen_height, 240);
  const auto pulled = sink.Sizes();
  const auto handed_out = out.Sizes();
  ASSERT_EQ(pulled.size(), 2u);
  ASSERT_EQ(handed_out.size(), 2u);
  EXPECT_EQ(pulled[0].cx, 640);
  EXPECT_EQ(handed_out[0].cx, 640);
  EXPECT_EQ(handed_out[0].cy, 480);
  EXPECT_EQ(pulled[1].cx, 320);
  EXPECT_EQ(pulled[1].cy, 240);
  EXPECT_EQ(handed_out[1].cx, 320);
  EXPECT_EQ(handed_out[1].cy, 240);
  EXPECT_EQ(out.Last().length, 320 * 240 + 2 * 160 * 120);
}

TEST(TrastorShareCanvas, OddSidesGiveTheWholeI420Length) {
  ScopedCanvas canvas("ODD");
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpShareCanvas(canvas.get(), &sink, &out, 641, 361));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  const Frame frame = out.Last();
  EXPECT_EQ(frame.width, 641);
  EXPECT_EQ(frame.height, 361);
  EXPECT_EQ(frame.length, 641 * 361 + 2 * 321 * 181);
}

TEST(TrastorShareCanvas, ASinkThatDeclinesKeepsThePreviousPicture) {
  ScopedCanvas canvas("DECLINE");
  EdgeSink sink;
  FrameRecorder out;
  ASSERT_TRUE(SetUpShareCanvas(canvas.get(), &sink, &out));
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  sink.white = RECT{0, 0, 0, 0};  // Would paint all black...
  sink.answer = false;            // ...but declines.
  ASSERT_TRUE(TrastorTest_RunTick(canvas.get(), 5000));
  EXPECT_GT(out.Last().Luma(100, 100), 200);
}

}  // namespace
}  // namespace trastor_test
