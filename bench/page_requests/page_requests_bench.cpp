// A mix of page requests through the main window: each text handed to OnJsMessageCallBack as
// the browser library delivers it, then the window's queue run, so that the posted 0xC4A
// reaches HandleJsCallBack. The SDK layer is real and in a meeting that the stand-in's
// callbacks made offline, so its calls only go to the stand-in's journal. Against it: parsing
// and freeing the same texts with cJSON alone. The ratio of the two rates is the bridge's cost
// per request in units of a bare parse.

#include <benchmark/benchmark.h>

#include <windows.h>

#include <objbase.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cjson/cJSON.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "platform/orvim/testing/orvim_library.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/mainframe/main_frame.h"
#include "shell/registry/user_stream_list.h"

namespace {

// The mix: the requests a page sends during a meeting that open no window, and a text that is
// no JSON object. The two document commands alternate, so that each one is a change.
const char* const kMix[] = {
    R"({"event":3,"id":"p-bob","opt":1})",
    R"({"event":4,"id":"p-bob","opt":0})",
    R"({"event":11,"opt":1})",
    R"({"event":12,"opt":1})",
    R"({"event":14,"data":{"mode":"grid","main":"bob","list":[{"id":"a","x":0,"y":0}]}})",
    R"({"event":15})",
    R"({"event":16,"opt":1,"url":"rtmp://media.example/live/1","muted":false})",
    R"({"event":17,"subscrib":1,"width":1280,"height":720,"audio":1})",
    R"({"event":18,"url":"rtmp://push.example/a","result":0,"streamId":"s1"})",
    R"({"event":19,"streamId":"s1","data":[{"id":"a","state":0,"platform":"A",)"
    R"("pushStreamUrl":"rtmp://push.example/a","resolution":"HD"},{"id":"b","state":1,)"
    R"("platform":"B","pushStreamUrl":"rtmp://push.example/b","resolution":"LD"}]})",
    R"({"event":20,"status":1})",
    R"({"event":21,"status":1})",
    R"({"event":23,"status":1})",
    R"({"event":25,"opt":60})",
    R"({"event":26})",
    R"({"event":27,"status":0})",
    R"({"event":28,"role":1})",
    R"({"event":30,"status":1})",
    R"({"event":31,"url":"x","md5":"none","height":720,"status":4,"volume":80,"pos":10,"muted":0})",
    R"({"event":32,"md5":"0123456789abcdef0123456789abcdef","opt":0})",
    R"({"event":32,"md5":"0123456789abcdef0123456789abcdef","opt":5})",
    "not a request",
};
constexpr int kMixSize = sizeof(kMix) / sizeof(kMix[0]);

void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(bool (*done)(CMainFrame*), CMainFrame* frame, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done(frame)) {
    if (std::chrono::steady_clock::now() > end) return false;
    CWebRun::Instace()->run_message_loop(true);
    Sleep(1);
  }
  return true;
}

// The main window with its page and an offline meeting, made once for the program.
struct Client {
  orvim::testing::OrvimLibrary library;
  std::unique_ptr<CMainFrame> frame;
  int browser_id = 0;
  bool ok = false;

  Client() {
    if (!library.ok()) return;
    CWebRun::Instace()->init_cef(GetModuleHandleW(nullptr), cef_run_settting(),
                                 &CxAdapter::Instance());
    DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                         L"en_US", L"xml");
    Gdiplus::GdiplusStartupInput gdiplus;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &gdiplus, nullptr);
    CxAdapter& hub = CxAdapter::Instance();
    DuiLib::CWindowWnd::SetIdleHook([&hub] { hub.OnIdle(); }, hub.GetUiThread().GetTaskEvent());
    GetAppConfig()->update_running = false;
    frame = std::make_unique<CMainFrame>();
    if (frame->Create(nullptr, L"TarvoLive", 0x16CF0000, 0x40000) == nullptr) return;
    frame->ShowWindow(true, true);
    const auto page_ready = [](CMainFrame* f) {
      return f->GetSdk() != nullptr && f->GetBrowser() != nullptr &&
             f->GetBrowser()->GetBrowserId() != 0 &&
             CWebRun::Instace()->GetPage(f->GetBrowser()->GetBrowserId()) != nullptr;
    };
    if (!PumpUntil(page_ready, frame.get(), 20000)) return;
    browser_id = static_cast<int>(frame->GetBrowser()->GetBrowserId());
    Send(R"({"event":1,"data":{"confid":"room","userid":"me","cid":"c-me","username":"Me",)"
         R"("sid":"site","owtServer":"offline","role":1}})");
    library.Control(R"({"cmd":"emit","callback":"OnJoinRoomSuccess","args":{"room_id":"room"}})");
    const auto joined = [](CMainFrame* f) { return !f->GetSdk()->OutofMeeting(false); };
    if (!PumpUntil(joined, frame.get(), 20000)) return;
    CUserStreamList::Instance()->Add(
        StUserStream{"Bob", "p-bob", "", "", "active", "active", "", "s-bob", "bob", "c-bob"});
    library.Control(R"({"cmd":"streams","streams":[{"stream_id":"room-live","kind":7}]})");
    ok = true;
  }

  // One request as the browser library delivers it, and its second half.
  void Send(const char* text) {
    browser_msg_head head{};
    std::strcpy(head.key, "jsEvent");
    frame->OnJsMessageCallBack(browser_id, head, text, 0);
    Drain();
  }
};

Client& TheClient() {
  static Client* client = new Client;  // Kept to the end: the window outlives the runs.
  return *client;
}

void BM_PageRequestsThroughTheWindow(benchmark::State& state) {
  Client& client = TheClient();
  if (!client.ok) {
    state.SkipWithError("the main window or the offline meeting did not come up");
    return;
  }
  for (auto _ : state) {
    for (const char* text : kMix) client.Send(text);
    // The stand-in's journal is emptied outside the timing.
    state.PauseTiming();
    client.library.Control(R"({"cmd":"journal","clear":true})");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMixSize);
}
BENCHMARK(BM_PageRequestsThroughTheWindow)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Each request of the mix alone (its index the argument), for finding the expensive ones.
void BM_OneRequest(benchmark::State& state) {
  Client& client = TheClient();
  if (!client.ok) {
    state.SkipWithError("the main window or the offline meeting did not come up");
    return;
  }
  const char* text = kMix[state.range(0)];
  for (auto _ : state) client.Send(text);
  state.SetLabel(std::string(text).substr(0, 24));
}
BENCHMARK(BM_OneRequest)->DenseRange(0, kMixSize - 1)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CjsonParseOnly(benchmark::State& state) {
  size_t objects = 0;
  for (auto _ : state) {
    for (const char* text : kMix) {
      cJSON* request = cJSON_Parse(text);
      objects += cJSON_IsObject(request) ? 1 : 0;
      cJSON_Delete(request);
    }
  }
  benchmark::DoNotOptimize(objects);
  state.SetItemsProcessed(state.iterations() * kMixSize);
}
BENCHMARK(BM_CjsonParseOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
