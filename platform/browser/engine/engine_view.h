#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser/engine/page_frame.h"

// What the browser library keeps for one browser's page target in the web engine. UI thread
// only.
struct EngineView {
  enum class Stage { kNone, kCreating, kReady, kGone };
  Stage stage = Stage::kNone;
  std::string target_id;   // Also the id of the page's main frame.
  std::string session_id;  // The flat protocol session attached to the target.

  std::vector<std::string> pending_scripts;  // exec_js before the session was ready.

  // Loading: the error text of the last failed navigation, for the error page that follows.
  bool loading = false;
  std::string last_error_text;
  std::map<int, std::string> context_frames;  // Script context id -> frame id.

  // Drawing: the last frame and the screencast's size in device pixels (0 while stopped).
  std::shared_ptr<PageFrame> frame;
  int cast_width = 0;
  int cast_height = 0;
  double scale = 1.0;  // Device pixels per page pixel: the window's DPI / 96 times the zoom.

  // Input: a high surrogate waiting for its low half; mouse buttons held.
  wchar_t high_surrogate = 0;
  int buttons = 0;
  int click_count = 1;  // Of the last press, for its release.

  // The file dialog: whether the engine hands it to the client, the file the client chose
  // (Windows path, UTF-8) and the file input of a dialog waiting for it (0 for none).
  bool intercept_files = false;
  std::string chosen_file;
  int waiting_file_input = 0;

  // Developer tools: the browser whose inspector this one shows (0 for none).
  unsigned inspects = 0;
};
