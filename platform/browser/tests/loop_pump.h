#pragma once

// Test helpers: drive the browser library's loop from a test body.

#include <windows.h>

#include <chrono>
#include <functional>

#include "platform/browser/web_run.h"

namespace browser_test {

inline CWebRun* Lib() { return CWebRun::Instace(); }

// Pumps the library's loop until |done| holds or five seconds pass.
inline bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Lib()->run_message_loop(true);
    Sleep(1);
  }
  return true;
}

// Pumps the loop for about twenty rounds, for work that should (or should not) arrive.
inline void PumpAWhile() {
  for (int i = 0; i < 20; ++i) {
    Lib()->run_message_loop(true);
    Sleep(1);
  }
}

}  // namespace browser_test
