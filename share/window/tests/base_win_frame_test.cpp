// The plain window base: creation, routing of messages to handlers, the final message and
// destruction.

#include "share/window/base_win_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "tests/support/window_pixels.h"

namespace {

constexpr UINT kThrowMessage = WM_APP + 1;
constexpr UINT kAnsweredMessage = WM_APP + 2;

class RecordingFrame : public CBaseWinFrame {
 public:
  ~RecordingFrame() override { ++*destroyed_objects; }

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, BOOL& handled) override {
    messages.push_back(message);
    return CBaseWinFrame::HandleMessage(message, wparam, lparam, handled);
  }
  LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) override {
    handle_at_create = m_hWnd;
    return 0;
  }
  LRESULT OnSize(UINT, WPARAM, LPARAM lparam, BOOL&) override {
    last_size = lparam;
    return 0;
  }
  LRESULT OnTimer(UINT, WPARAM wparam, LPARAM, BOOL& handled) override {
    KillTimer(m_hWnd, wparam);
    timer = wparam;
    handled = TRUE;
    return 0;
  }
  LRESULT OnLButtonDown(UINT message, WPARAM, LPARAM, BOOL&) override {
    button_downs.push_back(message);
    return 0;
  }
  LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL& handled) override {
    handled = TRUE;
    return 1;
  }
  LRESULT OnDefaultMessage(UINT message, WPARAM, LPARAM, BOOL& handled) override {
    if (message == kThrowMessage) throw std::runtime_error("handler failure");
    if (message == kAnsweredMessage) {
      handled = TRUE;
      return 42;
    }
    return 0;
  }
  void OnPaint(HDC dc) override { painted_with = dc; }
  void OnFinalMessage(HWND window) override {
    final_window = window;
    handle_in_final = m_hWnd;
    user_data_in_final = GetWindowLongPtrW(window, GWLP_USERDATA);
    if (delete_in_final) delete this;
  }

  std::vector<UINT> messages;
  std::vector<UINT> button_downs;
  HWND handle_at_create = nullptr;
  LPARAM last_size = 0;
  WPARAM timer = 0;
  HDC painted_with = nullptr;
  HWND final_window = nullptr;
  HWND handle_in_final = reinterpret_cast<HWND>(1);
  LONG_PTR user_data_in_final = 1;
  bool delete_in_final = false;
  int* destroyed_objects = &own_count;
  int own_count = 0;
};

HWND CreatePopup(CBaseWinFrame& frame) {
  return frame.Create(nullptr, 20, 30, 220, 180, L"BaseWinFrameTest", L"Base frame",
                      WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW);
}

TEST(BaseWinFrame, CreatesOnceAndFindsTheObjectFromTheWindow) {
  RecordingFrame frame;
  EXPECT_EQ(frame.GetHWND(), nullptr);
  HWND window = CreatePopup(frame);
  ASSERT_TRUE(window);
  EXPECT_EQ(frame.GetHWND(), window);
  EXPECT_EQ(frame.handle_at_create, window);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&frame));
  EXPECT_EQ(CreatePopup(frame), window);  // A second create gives the same window.
  // Nothing before WM_CREATE reached the handlers.
  ASSERT_FALSE(frame.messages.empty());
  EXPECT_EQ(frame.messages.front(), static_cast<UINT>(WM_CREATE));
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 20);
  EXPECT_EQ(rect.bottom, 180);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  EXPECT_STREQ(class_name, L"BaseWinFrameTest");
  EXPECT_TRUE(GetClassLongW(window, GCL_STYLE) & CS_DBLCLKS);
}

TEST(BaseWinFrame, RoutesMessagesToTheirHandlers) {
  RecordingFrame frame;
  HWND window = CreatePopup(frame);
  ASSERT_TRUE(window);

  SetWindowPos(window, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(frame.last_size, MAKELPARAM(300, 100));

  SendMessageW(window, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  SendMessageW(window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(frame.button_downs,
            (std::vector<UINT>{WM_LBUTTONDOWN, static_cast<UINT>(WM_LBUTTONDBLCLK)}));

  SetTimer(window, 7, 10, nullptr);
  EXPECT_TRUE(tarvo_test::PumpUntil([&] { return frame.timer == 7; }));

  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  EXPECT_TRUE(frame.painted_with);
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));

  // A handled message returns the handler's value; an unhandled one the default answer.
  EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1);
  EXPECT_EQ(SendMessageW(window, kAnsweredMessage, 0, 0), 42);
  wchar_t title[32] = {};
  EXPECT_EQ(SendMessageW(window, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title)), 10);
  EXPECT_STREQ(title, L"Base frame");
  // A throwing handler is answered by the default procedure.
  EXPECT_EQ(SendMessageW(window, kThrowMessage, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window));
}

TEST(BaseWinFrame, TheFinalMessageComesAfterTheWindowIsReleasedAndMayDeleteTheFrame) {
  int destroyed = 0;
  auto* frame = new RecordingFrame;
  frame->destroyed_objects = &destroyed;
  frame->delete_in_final = true;
  HWND window = CreatePopup(*frame);
  ASSERT_TRUE(window);
  DestroyWindow(window);
  EXPECT_EQ(destroyed, 1);
  EXPECT_FALSE(IsWindow(window));

  RecordingFrame kept;
  HWND kept_window = CreatePopup(kept);
  ASSERT_TRUE(kept_window);
  DestroyWindow(kept_window);
  EXPECT_EQ(kept.final_window, kept_window);
  EXPECT_EQ(kept.handle_in_final, nullptr);
  EXPECT_EQ(kept.user_data_in_final, 0);
  EXPECT_EQ(kept.GetHWND(), nullptr);
  // After its window is gone a frame can make a new one.
  EXPECT_TRUE(CreatePopup(kept));
}

TEST(BaseWinFrame, DestroyingTheFrameDestroysItsWindow) {
  HWND window;
  {
    RecordingFrame frame;
    window = CreatePopup(frame);
    ASSERT_TRUE(window);
  }
  EXPECT_FALSE(IsWindow(window));
}

TEST(BaseWinFrame, ShowsAndHides) {
  RecordingFrame frame;
  HWND window = frame.Create(nullptr, 0, 0, 50, 50, L"BaseWinFrameTest", L"", WS_POPUP, 0);
  ASSERT_TRUE(window);
  EXPECT_FALSE(IsWindowVisible(window));
  frame.ShowWindow(true);
  EXPECT_TRUE(IsWindowVisible(window));
  frame.ShowWindow(false);
  EXPECT_FALSE(IsWindowVisible(window));
  RecordingFrame unborn;
  unborn.ShowWindow(true);  // No window yet: nothing happens.
  EXPECT_EQ(unborn.GetHWND(), nullptr);
}

}  // namespace
