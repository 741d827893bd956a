#pragma once

#include <windows.h>

// Runs a delegate or reply callback so that no exception of the caller's code crosses into the
// library's loop; a throw is reported to the debugger output and otherwise ignored.
template <typename F>
void Guarded(F&& call) {
  try {
    call();
  } catch (...) {
    OutputDebugStringA("[CWebRun] a callback threw; ignored\n");
  }
}
