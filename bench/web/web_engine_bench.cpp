// The browser library with the web engine (Sorvane beside this program, the engine installed on
// the host), 640 x 480, a page that repaints itself every animation frame:
//  - BM_PageDrawing: frames per second painted into the host window (items/s);
//  - BM_EngineScreencastAlone: frames per second the engine's screencast delivers to a bare
//    protocol client of its own page of the same size (acknowledged at once, not decoded or
//    drawn): the rate our layer could reach at best;
//  - BM_PageRequestRoundTrip: a page request to the delegate, whose exec_js answer makes the
//    page send the next one: time per request and answer;
//  - BM_ExecJsAlone: scripts queued with exec_js, per script (the last one reports back).
// Run: scripts/wine-run build/x86_64/bin/WebEngineBench.exe (with a display, as the tests).
#include <windows.h>

#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>

#include <atomic>
#include <fstream>
#include <string>

#include "foundation/hub.h"
#include "platform/browser/engine/devtools_json.h"
#include "platform/browser/engine/devtools_socket.h"
#include "platform/browser/engine/engine_paths.h"
#include "platform/browser/web_run.h"

namespace {

CWebRun* Lib() { return CWebRun::Instace(); }

const char kPage[] = R"page(<!DOCTYPE html><html><body style="margin:0">
<canvas id="c" width="640" height="480"></canvas>
<script>
var g = document.getElementById('c').getContext('2d'), n = 0;
function draw() {
  n++;
  g.fillStyle = 'hsl(' + (n * 7 % 360) + ',80%,50%)';
  g.fillRect(0, 0, 640, 480);
  g.fillStyle = '#fff';
  g.fillRect((n * 5) % 600, 200, 40, 40);
  requestAnimationFrame(draw);
}
requestAnimationFrame(draw);
function nativeInvokeJS(o) {
  if (o.next !== undefined) tarvoPostMessage('jsEvent', String(o.next));
  if (o.echo !== undefined) tarvoPostMessage('echo', String(o.echo));
}
window.addEventListener('load', function() { tarvoPostMessage('ready', ''); });
</script></body></html>)page";

std::string PageUrl() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"web-engine-bench.html";
  std::ofstream(path.c_str(), std::ios::binary) << kPage;
  return "file://" + EnginePath(path);
}

void Pump(const std::function<bool()>& done, DWORD limit_ms = 30000) {
  const ULONGLONG deadline = GetTickCount64() + limit_ms;
  while (!done() && GetTickCount64() < deadline) {
    Lib()->run_message_loop(true);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}

// The delegate answers every page request with exec_js, as the client's main window does.
class BenchDelegate : public Browser_UI_Delegate {
 public:
  unsigned id = 0;
  bool ready = false;
  long requests = 0;
  long echoes = 0;
  void OnBrowserCreated(int, int) override {}
  void OnBrowserClosing(int) override {}
  void OnBrowserClosed(int) override {}
  void OnSetLoadingState(int, bool, bool, bool) override {}
  void OnLoadErrror(int, const wchar_t*, const wchar_t*) override {}
  void OnNavigateNewUrl(int, const char*) override {}
  bool OnProcessTerminated(int, int) override { return false; }
  void OnJsMessageCallBack(int, browser_msg_head head, const char* value, int) override {
    const std::string key = head.key;
    if (key == "ready") ready = true;
    if (key == "echo") ++echoes;
    if (key == "jsEvent") {
      ++requests;
      answer = "nativeInvokeJS({\"next\":" + std::to_string(std::atol(value) + 1) + "}); ";
      if (chain) Lib()->exec_js(id, answer.c_str());
    }
  }
  bool chain = false;
  std::string answer;
};

// One library with the engine and one page window for the whole run.
struct Fixture {
  HWND window = nullptr;
  HWND host = nullptr;
  BenchDelegate delegate;
  std::atomic<long> paints{0};
  WNDPROC host_proc = nullptr;
  bool ok = false;

  static Fixture* counting;  // Set before the host window is subclassed.
  static LRESULT CALLBACK CountPaints(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) ++counting->paints;
    return CallWindowProcW(counting->host_proc, wnd, msg, wp, lp);
  }

  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }

  Fixture() {
    SetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", nullptr);
    cef_run_settting settings;
    wcscpy(settings.sub_process, L"Sorvane.exe");
    Lib()->init_cef(GetModuleHandleW(nullptr), settings, &CxAdapter::Instance());
    window = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    delegate.id = Lib()->init_brower(&delegate, PageUrl().c_str());
    Lib()->create_browser_win(window, delegate.id, 0, 0, 640, 480);
    host = reinterpret_cast<HWND>(static_cast<uintptr_t>(Lib()->GetHostWnd(delegate.id)));
    counting = this;
    host_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
    Pump([this] { return delegate.ready; }, 60000);
    ok = delegate.ready;
  }
  ~Fixture() {
    DestroyWindow(window);
    Lib()->uninit_cef();
  }
};

Fixture* Fixture::counting = nullptr;

void BM_PageDrawing(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok) return state.SkipWithError("the page did not load (is the engine installed?)");
  ShowWindow(f.host, SW_SHOW);
  Pump([] { return false; }, 1000);  // Settle.
  long painted = 0;
  for (auto _ : state) {
    const long before = f.paints;
    Pump([] { return false; }, 500);
    painted += f.paints - before;
  }
  state.SetItemsProcessed(painted);
}
BENCHMARK(BM_PageDrawing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// A bare protocol client: its own page, its own screencast, frames acknowledged at once.
void BM_EngineScreencastAlone(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok) return state.SkipWithError("the page did not load (is the engine installed?)");
  // Our page stops drawing and animating meanwhile.
  ShowWindow(f.host, SW_HIDE);
  Lib()->Navigate(f.delegate.id, "about:blank");
  std::string path;
  {
    std::ifstream port_file((Lib()->engine_profile() + L"\\data\\DevToolsActivePort").c_str());
    std::string port;
    std::getline(port_file, port);
    std::getline(port_file, path);
  }
  DevToolsSocket socket;
  std::atomic<long> frames{0};
  std::atomic<int> next_id{100};
  std::string session;
  std::atomic<bool> attached{false};
  const bool open = socket.Open(
      Lib()->engine_port(), path,
      [&](std::string&& text) {
        JsonPtr message(cJSON_Parse(text.c_str()));
        const std::string method = JsonText(message.get(), "method");
        if (method == "Page.screencastFrame") {
          ++frames;
          cJSON* ack = cJSON_CreateObject();
          cJSON_AddNumberToObject(ack, "sessionId",
                                  JsonInt(JsonItem(message.get(), "params"), "sessionId", 0));
          socket.Send(DevToolsCommand(next_id++, JsonText(message.get(), "sessionId"),
                                      "Page.screencastFrameAck", ack));
        } else if (method == "Target.attachedToTarget") {
          session = JsonText(JsonItem(message.get(), "params"), "sessionId");
          attached = true;
        }
      },
      [] {});
  if (!open) return state.SkipWithError("no protocol connection");
  cJSON* create = cJSON_CreateObject();
  cJSON_AddStringToObject(create, "url", PageUrl().c_str());
  // The target id comes back in the answer; attach with auto-attach off: use the event.
  socket.Send(DevToolsCommand(1, "", "Target.setAutoAttach",
                              cJSON_Parse("{\"autoAttach\":true,\"waitForDebuggerOnStart\":false,"
                                          "\"flatten\":true}")));
  socket.Send(DevToolsCommand(2, "", "Target.createTarget", create));
  const ULONGLONG deadline = GetTickCount64() + 20000;
  while (!attached && GetTickCount64() < deadline) Sleep(10);
  if (!attached) return state.SkipWithError("no page of its own");
  socket.Send(DevToolsCommand(3, session, "Emulation.setDeviceMetricsOverride",
                              cJSON_Parse("{\"width\":640,\"height\":480,\"deviceScaleFactor\":1,"
                                          "\"mobile\":false}")));
  socket.Send(DevToolsCommand(4, session, "Page.startScreencast",
                              cJSON_Parse("{\"format\":\"jpeg\",\"quality\":90,\"maxWidth\":640,"
                                          "\"maxHeight\":480}")));
  Sleep(1000);
  long counted = 0;
  for (auto _ : state) {
    const long before = frames;
    Sleep(500);
    counted += frames - before;
  }
  state.SetItemsProcessed(counted);
  socket.Close();
  ShowWindow(f.host, SW_SHOW);
  f.delegate.ready = false;
  Lib()->Navigate(f.delegate.id, PageUrl().c_str());
  Pump([&] { return f.delegate.ready; });
}
BENCHMARK(BM_EngineScreencastAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_PageRequestRoundTrip(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok) return state.SkipWithError("the page did not load (is the engine installed?)");
  f.delegate.chain = true;
  Lib()->exec_js(f.delegate.id, "nativeInvokeJS({\"next\":0}); ");
  for (auto _ : state) {
    const long before = f.delegate.requests;
    Pump([&] { return f.delegate.requests > before; });
  }
  f.delegate.chain = false;
  Pump([] { return false; }, 200);
}
BENCHMARK(BM_PageRequestRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ExecJsAlone(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok) return state.SkipWithError("the page did not load (is the engine installed?)");
  constexpr int kBatch = 100;
  for (auto _ : state) {
    const long before = f.delegate.echoes;
    for (int i = 0; i < kBatch - 1; ++i) Lib()->exec_js(f.delegate.id, "void 0;");
    Lib()->exec_js(f.delegate.id, "nativeInvokeJS({\"echo\":1}); ");
    Pump([&] { return f.delegate.echoes > before; });
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ExecJsAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
