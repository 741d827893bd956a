#pragma once

#include <cstdint>
#include <string>

// The records that page requests queue in the main window until the UI thread runs them.

// One device command of the page (requests 3, 4 and 11); the SDK layer also hands an empty one
// to the SDK's command sink.
struct StJsCommand {
  std::string id;
  std::string text1;  // Always empty.
  std::string text2;  // Always empty.
  int32_t kind = 0;   // The request number: 3, 4 or 11.
  int32_t opt = 0;
};

// One media share of the page (request 16).
struct StJsMediaCommand {
  std::string audioSource = "auto";
  std::string videoSource = "auto";
  std::string url;
  std::string text;  // Nothing reads it.
  bool opt = false;
  bool muted = false;
};

// One push-stream result (request 18) or push-list change (request 19) of the page.
struct StJsPushStreamCommand {
  int32_t kind = 0;  // The request number: 18 or 19.
  int32_t result = 0;
  std::string url;
  std::string streamId;
};
