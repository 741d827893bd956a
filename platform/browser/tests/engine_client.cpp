// A client of the browser library with the web engine, for the tests that end processes:
//   browser_engine_client <mode> <report file>
// It loads a small page, writes the engine's profile folder (Unix path) and then "ready" to
// the report file, and then, by mode:
//   close        waits for "<report file>.go" (the test has seen the engine run), then closes
//                the browser and the library and exits 0;
//   wait         runs until it is killed;
//   kill-engine  kills the engine's processes and exits 0 once the delegate has heard the
//                render process end (status 2) and a later load has failed;
//   no-engine    (with an engine program that does not exist) exits 0 once the start address
//                has given exactly one load error between its loading states.
#include <windows.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "foundation/hub.h"
#include "platform/browser/engine/engine_paths.h"
#include "platform/browser/tests/engine_test_support.h"
#include "platform/browser/web_run.h"

namespace {

class Delegate : public Browser_UI_Delegate {
 public:
  std::vector<std::string> events;
  void OnBrowserCreated(int, int) override {}
  void OnBrowserClosing(int) override {}
  void OnBrowserClosed(int) override { events.push_back("closed"); }
  void OnSetLoadingState(int, bool loading, bool, bool) override {
    events.push_back(loading ? "loading 1" : "loading 0");
  }
  void OnLoadErrror(int code, const wchar_t*, const wchar_t*) override {
    events.push_back("error " + std::to_string(code));
  }
  void OnNavigateNewUrl(int, const char*) override { events.push_back("url"); }
  bool OnProcessTerminated(int, int status) override {
    events.push_back("terminated " + std::to_string(status));
    return true;
  }
  void OnJsMessageCallBack(int, browser_msg_head head, const char*, int) override {
    events.push_back(std::string("js ") + head.key);
  }
  bool Saw(const std::string& event) const {
    for (const auto& e : events) {
      if (e == event) return true;
    }
    return false;
  }
};

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() > deadline) return false;
    CWebRun::Instace()->run_message_loop(true);
    Sleep(5);
  }
  return true;
}

void Report(const std::wstring& file, const std::string& line) {
  std::string text = engine_test::ReadText(file) + line + "\n";
  engine_test::WriteText(file, text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring mode = argv[1];
  const std::wstring report = argv[2];
  SetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", nullptr);  // This client wants the engine.
  if (mode == L"no-engine") SetEnvironmentVariableW(L"TARVO_WEB_ENGINE", L"/nonexistent/engine");
  CWebRun* lib = CWebRun::Instace();
  cef_run_settting settings;
  wcscpy(settings.sub_process, L"Sorvane.exe");
  if (lib->init_cef(GetModuleHandleW(nullptr), settings, &CxAdapter::Instance()) >= 0) return 3;
  Report(report, EnginePath(lib->engine_profile()));

  HWND owner = CreateWindowExW(0, L"STATIC", L"client", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                               300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  Delegate delegate;
  const std::wstring page = engine_test::ScratchFolder(L"engine-client") + L"\\page.html";
  engine_test::WriteText(page, engine_test::TestPageHtml());
  const unsigned id = lib->init_brower(&delegate, engine_test::FileUrl(page).c_str());
  lib->create_browser_win(owner, id, 0, 0, 380, 260);

  SetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", nullptr);  // This client wants the engine.
  if (mode == L"no-engine") {
    if (!PumpUntil([&] { return delegate.Saw("loading 0"); }, 60000)) return 4;
    PumpUntil([] { return false; }, 500);  // Nothing more may come.
    const std::vector<std::string> expected = {"loading 1", "error -2", "loading 0"};
    return delegate.events == expected ? 0 : 5;
  }
  if (!PumpUntil([&] { return delegate.Saw("js jsEvent"); }, 60000)) return 4;
  Report(report, "ready");

  if (mode == L"close") {
    const std::wstring go = report + L".go";
    if (!PumpUntil([&] { return GetFileAttributesW(go.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   60000)) {
      return 10;
    }
    lib->close_browser(id);
    if (!PumpUntil([&] { return delegate.Saw("closed"); }, 10000)) return 6;
    DestroyWindow(owner);
    lib->uninit_cef();
    return 0;
  }
  if (mode == L"kill-engine") {
    for (int pid : engine_test::EngineProcesses(EnginePath(lib->engine_profile()))) {
      engine_test::KillHostProcess(pid);
    }
    if (!PumpUntil([&] { return delegate.Saw("terminated 2"); }, 30000)) return 7;
    delegate.events.clear();
    lib->Reload(id);
    if (!PumpUntil([&] { return delegate.Saw("loading 0"); }, 10000)) return 8;
    return delegate.Saw("error -2") ? 0 : 9;
  }
  PumpUntil([] { return false; }, INFINITE);  // "wait": until killed.
  return 0;
}
