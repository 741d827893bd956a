#pragma once

// The library's record of one browser (inside the library only).

#include <windows.h>

#include <memory>

#include "platform/browser/engine/engine_view.h"
#include "platform/browser/web_page.h"
#include "platform/browser/web_run.h"

struct CWebRun::Browser {
  unsigned id = 0;
  Browser_UI_Delegate* delegate = nullptr;
  HWND host = nullptr;
  bool closing = false;
  std::unique_ptr<CWebPage> page;
  EngineView view;  // Used when the process has the web engine.
};
