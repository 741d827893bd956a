#pragma once

// Starts a capture target program (see capture_target.h) and finds its windows.

#include <windows.h>

#include <string>

namespace capture_target {

class Target {
 public:
  // Starts `program` (a file of the capture_targets folder beside the test) with --title=title
  // and `arguments`, and waits for its first window.
  Target(const wchar_t* program, std::wstring title, const std::wstring& arguments);
  // Ends the program if it still runs.
  ~Target();
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  HWND window() const { return window_; }
  // Waits up to `timeout_ms` for the second window; null when it did not come.
  HWND WaitForSecondWindow(int timeout_ms);
  // Ends the program at once and waits until it is gone.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  std::wstring title_;
  HWND window_ = nullptr;
};

// Waits until the screen shows `rgb` (0x00RRGGBB) at (x, y); false after `timeout_ms`.
bool WaitForScreenColour(int x, int y, std::uint32_t rgb, int timeout_ms = 5000);

}  // namespace capture_target
