#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/streamviewer/stream_block_reader.h"
#include "platform/streamviewer/tests/block_writer.h"
#include "tests/support/test_process.h"
#include "tests/support/window_pixels.h"

namespace {

using streamviewer_test::BlockWriter;
using streamviewer_test::SolidI420;

struct Colour {
  std::uint8_t y, u, v;
  std::uint32_t rgb;
};
constexpr Colour kRed{81, 90, 240, 0xFF0000};
constexpr Colour kGreen{145, 54, 34, 0x00FF00};
constexpr Colour kBlue{41, 240, 110, 0x0000FF};
constexpr Colour kWhite{235, 128, 128, 0xFFFFFF};

struct FindData {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindData*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == find->process_id && IsWindowVisible(window)) {
    find->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindViewerWindow(DWORD process_id) {
  FindData data{process_id, nullptr};
  EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&data));
  return data.window;
}

class StreamViewerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    suffix_ = L"_viewer_test_" + std::to_wstring(GetCurrentProcessId());
    for (auto& writer : writers_) writer = std::make_unique<BlockWriter>();
  }
  void TearDown() override {
    if (process_) {
      if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
      DWORD code = 0;
      if (!tarvo_test::FinishProgram(process_, 10000, &code)) TerminateProcess(process_, 1);
      CloseHandle(process_);
    }
  }

  bool OpenBlocks() {
    for (int i = 0; i < kStreamBlockCount; ++i) {
      if (!writers_[i]->Open(StreamBlockName(i) + suffix_)) return false;
    }
    return true;
  }

  // Writes the pane colours (16:9 pictures) until the window shows each in its pane's middle.
  bool ShowsColours(const Colour (&colours)[kStreamBlockCount]) {
    return tarvo_test::PumpUntil(
        [&] {
          for (int i = 0; i < kStreamBlockCount; ++i) {
            const Colour& c = colours[i];
            writers_[i]->WriteFrame(64, 36, SolidI420(64, 36, c.y, c.u, c.v));
          }
          Sleep(40);
          RECT client{};
          if (!GetClientRect(window_, &client)) return false;
          POINT origin{0, 0};
          ClientToScreen(window_, &origin);
          RECT on_screen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
          tarvo_test::Pixels pixels;
          if (!tarvo_test::ReadScreenPixels(on_screen, &pixels)) return false;
          last_ = pixels;
          for (int i = 0; i < kStreamBlockCount; ++i) {
            const int x = (i % 2) * client.right / 2 + client.right / 4;
            const int y = (i / 2) * client.bottom / 2 + client.bottom / 4 + 12;
            if (!tarvo_test::NearColour(pixels.At(x, y), colours[i].rgb, 12)) return false;
          }
          return true;
        },
        20000);
  }

  std::wstring suffix_;
  std::unique_ptr<BlockWriter> writers_[kStreamBlockCount];
  HANDLE process_ = nullptr;
  HWND window_ = nullptr;
  tarvo_test::Pixels last_;
};

TEST_F(StreamViewerWindowTest, DrawsEachBlockInItsPaneAndOutlivesTheWriter) {
  // The viewer starts before the client has made any block.
  process_ = tarvo_test::StartProgram(tarvo_test::ProgramBeside(L"streamviewer.exe"),
                                      L"--name-suffix=" + suffix_);
  ASSERT_NE(process_, nullptr);
  ASSERT_TRUE(tarvo_test::PumpUntil(
      [&] { return (window_ = FindViewerWindow(GetProcessId(process_))) != nullptr; }, 20000));
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 800, 500, SWP_SHOWWINDOW);

  ASSERT_TRUE(OpenBlocks());
  const Colour first[kStreamBlockCount] = {kRed, kGreen, kBlue, kWhite};
  EXPECT_TRUE(ShowsColours(first)) << "live, mix, cast, camera panes";

  // Malformed records in one block: skipped, the viewer goes on.
  writers_[1]->WriteRaw(kStreamBlockCapacity + 100, 64, 36, 0, {});
  writers_[2]->WriteRaw(8 + 5, 1920, 1080, 3110400, std::vector<std::uint8_t>(5, 7));
  writers_[3]->WriteRaw(8 + 17, 3, 3, 17, SolidI420(3, 3, 1, 2, 3));  // Odd size, drawn.
  tarvo_test::PumpMessages(300);
  EXPECT_EQ(WaitForSingleObject(process_, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  // The client closes every block and makes them again: the panes follow the new pictures.
  for (auto& writer : writers_) writer->Close();
  tarvo_test::PumpMessages(600);
  EXPECT_EQ(WaitForSingleObject(process_, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(OpenBlocks());
  const Colour second[kStreamBlockCount] = {kWhite, kBlue, kGreen, kRed};
  EXPECT_TRUE(ShowsColours(second)) << "after the blocks were made again";

  // Closing the window ends the program cleanly.
  PostMessageW(window_, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(tarvo_test::FinishProgram(process_, 10000, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(process_);
  process_ = nullptr;
}

}  // namespace
