#pragma once

#include <cstdint>
#include <string>

// One device command of the page (requests 3, 4 and 11), queued in the main window until the UI
// thread runs it; the SDK layer also hands an empty one to the SDK's command sink.
struct StJsCommand {
  std::string id;
  std::string text1;  // Always empty.
  std::string text2;  // Always empty.
  int32_t kind = 0;   // The request number: 3, 4 or 11.
  int32_t opt = 0;
};
