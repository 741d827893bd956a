#include "share/capture/tests/capture_target_client.h"

#include <cstdint>

#include "share/capture/tests/capture_target.h"
#include "tests/support/test_process.h"
#include "tests/support/window_pixels.h"

namespace capture_target {
namespace {

// Waits until the window exists and is shown: a window found between its creation and its
// ShowWindow is not yet a top window the capture's program map lists.
HWND WaitForWindow(const std::wstring& title, int timeout_ms) {
  HWND window = nullptr;
  tarvo_test::PumpUntil(
      [&] {
        window = FindWindowW(kClassName, title.c_str());
        return window && IsWindowVisible(window);
      },
      timeout_ms);
  return window && IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

Target::Target(const wchar_t* program, std::wstring title, const std::wstring& arguments)
    : title_(std::move(title)) {
  const std::wstring path = tarvo_test::ProgramFolder() + L"capture_targets\\" + program;
  std::wstring command = L"\"" + path + L"\" \"--title=" + title_ + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  process_ = process.hProcess;
  window_ = WaitForWindow(title_, 10000);
}

Target::~Target() {
  Kill();
  if (process_) CloseHandle(process_);
}

HWND Target::WaitForSecondWindow(int timeout_ms) {
  return WaitForWindow(title_ + L" 2", timeout_ms);
}

void Target::Kill() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 10000);
  }
  // Let the window manager side of Wine notice the windows are gone.
  tarvo_test::PumpUntil([&] { return !window_ || !IsWindow(window_); }, 5000);
}

bool WaitForScreenColour(int x, int y, std::uint32_t rgb, int timeout_ms) {
  return tarvo_test::PumpUntil(
      [&] {
        tarvo_test::Pixels pixel;
        return tarvo_test::ReadScreenPixels(RECT{x, y, x + 1, y + 1}, &pixel) &&
               pixel.At(0, 0) == rgb;
      },
      timeout_ms);
}

}  // namespace capture_target
