// The browser library's web engine: every browser is one page target of the engine, reached
// through one protocol connection with a flat session per page (see web_run.h).
#include <windows.h>
#include <windowsx.h>

#include <cjson/cJSON.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/log.h"
#include "platform/browser/browser_record.h"
#include "platform/browser/engine/devtools_json.h"
#include "platform/browser/engine/engine_link.h"
#include "platform/browser/engine/engine_paths.h"
#include "platform/browser/guarded_call.h"
#include "platform/browser/page_bridge.h"
#include "platform/browser/web_run.h"

namespace {

// The engine-side function behind the page's global function; the page script wraps it.
const std::string& BindingName() {
  static const std::string name = std::string(kPageMessageFunction) + "Binding";
  return name;
}

// Defines the global function in every document before the page's own scripts run. The two
// texts travel as one JSON array, the only payload the engine's binding carries.
std::string BridgeScript() {
  return "(function(){var send=window['" + BindingName() +
         "'];if(typeof send!=='function')return;window['" + kPageMessageFunction +
         "']=function(key,value){send(JSON.stringify([String(key),String(value)]));};})();";
}

// The engine's network error names and their numbers, for OnLoadErrror.
int NetErrorCode(const std::string& text) {
  static const struct {
    const char* name;
    int code;
  } kCodes[] = {
      {"net::ERR_FAILED", -2},
      {"net::ERR_ABORTED", -3},
      {"net::ERR_INVALID_ARGUMENT", -4},
      {"net::ERR_FILE_NOT_FOUND", -6},
      {"net::ERR_TIMED_OUT", -7},
      {"net::ERR_ACCESS_DENIED", -10},
      {"net::ERR_BLOCKED_BY_CLIENT", -20},
      {"net::ERR_CONNECTION_CLOSED", -100},
      {"net::ERR_CONNECTION_RESET", -101},
      {"net::ERR_CONNECTION_REFUSED", -102},
      {"net::ERR_CONNECTION_ABORTED", -103},
      {"net::ERR_CONNECTION_FAILED", -104},
      {"net::ERR_NAME_NOT_RESOLVED", -105},
      {"net::ERR_INTERNET_DISCONNECTED", -106},
      {"net::ERR_SSL_PROTOCOL_ERROR", -107},
      {"net::ERR_ADDRESS_INVALID", -108},
      {"net::ERR_ADDRESS_UNREACHABLE", -109},
      {"net::ERR_CONNECTION_TIMED_OUT", -118},
      {"net::ERR_NAME_RESOLUTION_FAILED", -137},
      {"net::ERR_CERT_COMMON_NAME_INVALID", -200},
      {"net::ERR_CERT_DATE_INVALID", -201},
      {"net::ERR_CERT_AUTHORITY_INVALID", -202},
      {"net::ERR_INVALID_URL", -300},
      {"net::ERR_DISALLOWED_URL_SCHEME", -301},
      {"net::ERR_UNKNOWN_URL_SCHEME", -302},
      {"net::ERR_TOO_MANY_REDIRECTS", -310},
      {"net::ERR_UNSAFE_PORT", -312},
      {"net::ERR_INVALID_RESPONSE", -320},
      {"net::ERR_EMPTY_RESPONSE", -324},
      {"net::ERR_HTTP_RESPONSE_CODE_FAILURE", -379},
  };
  for (const auto& entry : kCodes) {
    if (text == entry.name) return entry.code;
  }
  return -2;
}

cJSON* Object() { return cJSON_CreateObject(); }

int WindowDpi(HWND window) {
  using DpiFn = UINT(WINAPI*)(HWND);
  static const auto for_window = reinterpret_cast<DpiFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (for_window != nullptr) {
    const UINT dpi = for_window(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int Modifiers() {
  int modifiers = 0;
  if (GetKeyState(VK_MENU) < 0) modifiers |= 1;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= 2;
  if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) modifiers |= 4;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= 8;
  return modifiers;
}

const char* KeyName(WPARAM key) {
  switch (key) {
    case VK_BACK:
      return "Backspace";
    case VK_TAB:
      return "Tab";
    case VK_RETURN:
      return "Enter";
    case VK_ESCAPE:
      return "Escape";
    case VK_DELETE:
      return "Delete";
    case VK_LEFT:
      return "ArrowLeft";
    case VK_RIGHT:
      return "ArrowRight";
    case VK_UP:
      return "ArrowUp";
    case VK_DOWN:
      return "ArrowDown";
    case VK_HOME:
      return "Home";
    case VK_END:
      return "End";
    case VK_PRIOR:
      return "PageUp";
    case VK_NEXT:
      return "PageDown";
    case VK_SHIFT:
      return "Shift";
    case VK_CONTROL:
      return "Control";
    case VK_MENU:
      return "Alt";
    default:
      return nullptr;
  }
}

const char* ButtonName(int buttons) {
  if (buttons & 1) return "left";
  if (buttons & 2) return "right";
  if (buttons & 4) return "middle";
  return "none";
}

// With TARVO_ENGINE_TRACE naming a file, every protocol message but the screencast's frames and
// their acknowledgements (its first 300 characters) is appended to it: "<" received, ">" sent.
// Any thread.
void Trace(char direction, const std::string& text) {
  static const std::wstring path = [] {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"TARVO_ENGINE_TRACE", value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
  }();
  if (path.empty() || text.find("Page.screencastFrame") != std::string::npos) return;
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = std::string(1, direction) + " " + text.substr(0, 300) + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

std::wstring CWebRun::engine_profile() const {
  return engine_ != nullptr ? engine_->profile() : std::wstring();
}

int CWebRun::engine_port() const { return engine_ != nullptr ? engine_->port() : 0; }

void CWebRun::StartEngine() {
  std::wstring keeper(settings_.sub_process,
                      wcsnlen(settings_.sub_process, sizeof(settings_.sub_process) / 2));
  if (keeper.find_first_of(L"\\/:") == std::wstring::npos) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, n);
    keeper = self.substr(0, self.find_last_of(L"\\/") + 1) + keeper;
  }
  std::string locale(settings_.locale, strnlen(settings_.locale, sizeof(settings_.locale)));
  for (char& c : locale) {
    if (c == '_') c = '-';
  }
  const std::string user_agent(settings_.user_agent,
                               strnlen(settings_.user_agent, sizeof(settings_.user_agent)));
  engine_ = std::make_unique<EngineLink>();
  engine_state_ = EngineState::kStarting;
  EngineLink::Callbacks callbacks;
  callbacks.ready = [this] { Queue([this] { OnEngineReady(); }); };
  callbacks.failed = [this](const std::string& why) {
    Queue([this, why] { OnEngineFailed(why); });
  };
  callbacks.message = [this](std::string&& text) { OnEngineText(std::move(text)); };
  callbacks.ended = [this] { Queue([this] { OnEngineEnded(); }); };
  if (!engine_->Start(keeper, locale, user_agent, std::move(callbacks))) {
    OnEngineFailed("the render process " + WideToUtf8(keeper) + " could not be started");
  }
}

void CWebRun::StopEngine() {
  if (engine_ == nullptr) return;
  engine_->Stop();
  engine_.reset();
  engine_state_ = EngineState::kOff;
  replies_.clear();
}

void CWebRun::OnEngineReady() {
  if (engine_state_ != EngineState::kStarting) return;
  // The engine's own user agent first: a locale without a user agent of the client's needs it.
  Call("", "Browser.getVersion", nullptr, [this](const cJSON* result, const std::string& error) {
    if (engine_state_ != EngineState::kStarting) return;
    if (!error.empty()) {
      OnEngineFailed("the web engine does not answer: " + error);
      return;
    }
    engine_user_agent_ = JsonText(result, "userAgent");
    engine_state_ = EngineState::kReady;
    TVLOG_INFO() << "web engine ready on port " << engine_->port();
    for (auto& entry : browsers_) {
      if (entry.second->host != nullptr) EngineOpenPage(*entry.second);
    }
  });
}

void CWebRun::OnEngineFailed(const std::string& why) {
  if (engine_state_ != EngineState::kStarting) return;
  engine_state_ = EngineState::kFailed;
  TVLOG_ERROR() << "web engine failed: " << why;
  for (auto& entry : browsers_) {
    Browser& browser = *entry.second;
    browser.view.pending_scripts.clear();
    if (browser.host != nullptr && !browser.page->url().empty()) {
      EngineLoadFailed(browser, browser.page->url());
    }
  }
}

void CWebRun::OnEngineEnded() {
  if (engine_state_ == EngineState::kStarting) {
    OnEngineFailed("the web engine ended at start");
    return;
  }
  if (engine_state_ != EngineState::kReady) return;
  engine_state_ = EngineState::kEnded;
  TVLOG_ERROR() << "web engine ended";
  std::vector<unsigned> pages;
  for (auto& entry : browsers_) {
    EngineView& view = entry.second->view;
    if (view.stage == EngineView::Stage::kReady || view.stage == EngineView::Stage::kCreating) {
      pages.push_back(entry.first);
    }
    view.stage = EngineView::Stage::kGone;
    view.pending_scripts.clear();
    view.loading = false;
    view.cast_width = view.cast_height = 0;
  }
  std::map<int, Reply> waiting;
  waiting.swap(replies_);
  for (auto& entry : waiting) {
    if (entry.second) Guarded([&] { entry.second(nullptr, "the web engine ended"); });
  }
  // Each page's render process has ended with the engine.
  for (unsigned id : pages) {
    Browser* browser = Find(id);
    if (browser != nullptr) Guarded([&] { browser->page->TerminateRender(2); });
  }
}

void CWebRun::OnEngineText(std::string&& text) {
  Trace('<', text);
  std::shared_ptr<cJSON> message(cJSON_Parse(text.c_str()), cJSON_Delete);
  if (message == nullptr) return;
  text.clear();
  if (JsonText(message.get(), "method") == "Page.screencastFrame") {
    // Decoded here, off the UI thread; acknowledged once the UI thread has taken it, so that
    // the engine sends frames no faster than the host window shows them.
    const cJSON* params = JsonItem(message.get(), "params");
    const std::string session = JsonText(message.get(), "sessionId");
    const int frame_number = JsonInt(params, "sessionId", 0);
    std::shared_ptr<PageFrame> frame = DecodePageFrame(JsonText(params, "data"));
    Queue([this, session, frame_number, frame] {
      cJSON* ack = Object();
      cJSON_AddNumberToObject(ack, "sessionId", frame_number);
      Call(session, "Page.screencastFrameAck", ack);
      Browser* browser = FindBySession(session);
      if (browser == nullptr || frame == nullptr || browser->view.cast_width == 0) return;
      browser->view.frame = frame;
      InvalidateRect(browser->host, nullptr, FALSE);
    });
    return;
  }
  Queue([this, message] { OnEngineMessage(message.get()); });
}

CWebRun::Browser* CWebRun::FindBySession(const std::string& session) {
  if (session.empty()) return nullptr;
  for (auto& entry : browsers_) {
    if (entry.second->view.session_id == session) return entry.second.get();
  }
  return nullptr;
}

int CWebRun::Call(const std::string& session, const char* method, cJSON* params, Reply reply) {
  const int id = next_call_++;
  const std::string text = DevToolsCommand(id, session, method, params);
  Trace('>', text);
  if (reply) replies_[id] = reply;
  if (engine_ == nullptr || !engine_->Send(text)) {
    replies_.erase(id);
    if (reply) reply(nullptr, "no connection to the web engine");
  }
  return id;
}

void CWebRun::OnEngineMessage(const cJSON* message) {
  const cJSON* id = JsonItem(message, "id");
  if (cJSON_IsNumber(id)) {
    auto found = replies_.find(id->valueint);
    if (found == replies_.end()) return;
    Reply reply = std::move(found->second);
    replies_.erase(found);
    const cJSON* error = JsonItem(message, "error");
    const std::string error_text =
        error != nullptr
            ? (JsonText(error, "message").empty() ? "error" : JsonText(error, "message"))
            : "";
    if (reply) Guarded([&] { reply(JsonItem(message, "result"), error_text); });
    return;
  }
  Browser* browser = FindBySession(JsonText(message, "sessionId"));
  // A page's events count from the end of its set-up.
  if (browser == nullptr || browser->view.stage != EngineView::Stage::kReady) return;
  OnPageEvent(*browser, JsonText(message, "method"), JsonItem(message, "params"));
}

void CWebRun::OnPageEvent(Browser& browser, const std::string& method, const cJSON* params) {
  EngineView& view = browser.view;
  const int id = static_cast<int>(browser.id);
  Browser_UI_Delegate* delegate = browser.delegate;
  // Every delegate call ends the handling: the delegate may close the browser.
  if (method == "Page.frameStartedLoading" || method == "Page.frameStoppedLoading") {
    if (JsonText(params, "frameId") == view.target_id) {
      EngineSetLoading(browser, method == "Page.frameStartedLoading");
    }
  } else if (method == "Page.frameNavigated") {
    const cJSON* frame = JsonItem(params, "frame");
    if (JsonItem(frame, "parentId") != nullptr || delegate == nullptr) return;
    const std::string url = JsonText(frame, "url");
    if (url.compare(0, 13, "chrome-error:") == 0) {
      // The engine's error page stands for a failed load.
      const std::string text =
          view.last_error_text.empty() ? "net::ERR_FAILED" : view.last_error_text;
      std::string failed = JsonText(frame, "unreachableUrl");
      if (failed.empty()) failed = browser.page->url();
      const std::wstring wide_text = Utf8ToWide(text);
      const std::wstring wide_url = Utf8ToWide(failed);
      Guarded(
          [&] { delegate->OnLoadErrror(NetErrorCode(text), wide_text.c_str(), wide_url.c_str()); });
      return;
    }
    browser.page->url_ = url;
    Guarded([&] { delegate->OnNavigateNewUrl(id, url.c_str()); });
  } else if (method == "Runtime.executionContextCreated") {
    const cJSON* context = JsonItem(params, "context");
    view.context_frames[JsonInt(context, "id", 0)] =
        JsonText(JsonItem(context, "auxData"), "frameId");
  } else if (method == "Runtime.executionContextDestroyed") {
    view.context_frames.erase(JsonInt(params, "executionContextId", 0));
  } else if (method == "Runtime.executionContextsCleared") {
    view.context_frames.clear();
  } else if (method == "Runtime.bindingCalled") {
    if (JsonText(params, "name") != BindingName() || delegate == nullptr) return;
    JsonPtr pair(cJSON_Parse(JsonText(params, "payload").c_str()));
    const cJSON* key = cJSON_GetArrayItem(pair.get(), 0);
    const cJSON* value = cJSON_GetArrayItem(pair.get(), 1);
    if (!cJSON_IsString(key) || !cJSON_IsString(value)) return;  // Not from the page function.
    browser_msg_head head = {};
    std::strncpy(head.key, key->valuestring, sizeof(head.key) - 1);
    auto frame = view.context_frames.find(JsonInt(params, "executionContextId", 0));
    if (frame != view.context_frames.end() && frame->second != view.target_id) {
      std::strncpy(head.frame, frame->second.c_str(), sizeof(head.frame) - 1);
    }
    Guarded([&] { delegate->OnJsMessageCallBack(id, head, value->valuestring, 0); });
  } else if (method == "Page.fileChooserOpened") {
    view.waiting_file_input = JsonInt(params, "backendNodeId", 0);
    EngineHandFile(browser);
  } else if (method == "Inspector.targetCrashed") {
    view.loading = false;
    Guarded([&] { browser.page->TerminateRender(3); });
  }
}

void CWebRun::EngineOpenPage(Browser& browser) {
  EngineView& view = browser.view;
  if (view.stage != EngineView::Stage::kNone || browser.host == nullptr) return;
  if (engine_state_ == EngineState::kStarting) return;  // OnEngineReady opens it.
  if (engine_state_ != EngineState::kReady) {
    view.pending_scripts.clear();
    if (!browser.page->url().empty()) EngineLoadFailed(browser, browser.page->url());
    return;
  }
  view.stage = EngineView::Stage::kCreating;
  const unsigned id = browser.id;
  cJSON* params = Object();
  cJSON_AddStringToObject(params, "url", "about:blank");
  Call("", "Target.createTarget", params, [this, id](const cJSON* result, const std::string&) {
    const std::string target = JsonText(result, "targetId");
    Browser* browser = Find(id);
    if (browser == nullptr || browser->view.stage != EngineView::Stage::kCreating) {
      if (!target.empty()) {
        cJSON* close = Object();
        cJSON_AddStringToObject(close, "targetId", target.c_str());
        Call("", "Target.closeTarget", close);
      }
      return;
    }
    if (target.empty()) {
      browser->view.stage = EngineView::Stage::kGone;
      EngineLoadFailed(*browser, browser->page->url());
      return;
    }
    browser->view.target_id = target;
    cJSON* attach = Object();
    cJSON_AddStringToObject(attach, "targetId", target.c_str());
    cJSON_AddBoolToObject(attach, "flatten", true);
    Call("", "Target.attachToTarget", attach, [this, id](const cJSON* result, const std::string&) {
      Browser* browser = Find(id);
      if (browser == nullptr || browser->view.stage != EngineView::Stage::kCreating) return;
      browser->view.session_id = JsonText(result, "sessionId");
      if (browser->view.session_id.empty()) {
        browser->view.stage = EngineView::Stage::kGone;
        EngineLoadFailed(*browser, browser->page->url());
        return;
      }
      EngineSetUpPage(id);
    });
  });
}

void CWebRun::EngineSetUpPage(unsigned id) {
  Browser* browser = Find(id);
  if (browser == nullptr) return;
  const std::string session = browser->view.session_id;
  // The engine reports a page's events only once the page's domains have answered: the page
  // is ready (and loads) when every set-up command has.
  auto waiting = std::make_shared<int>(0);
  Reply done = [this, id, waiting](const cJSON*, const std::string&) {
    if (--*waiting == 0) EngineFinishSetUp(id);
  };
  auto set_up = [&](const char* method, cJSON* params) {
    ++*waiting;
    Call(session, method, params, done);
  };
  set_up("Page.enable", nullptr);
  set_up("Runtime.enable", nullptr);
  set_up("Inspector.enable", nullptr);
  cJSON* binding = Object();
  cJSON_AddStringToObject(binding, "name", BindingName().c_str());
  set_up("Runtime.addBinding", binding);
  cJSON* script = Object();
  cJSON_AddStringToObject(script, "source", BridgeScript().c_str());
  cJSON_AddBoolToObject(script, "runImmediately", true);
  set_up("Page.addScriptToEvaluateOnNewDocument", script);
  // The start record's user agent and locale (the page's language).
  std::string locale(settings_.locale, strnlen(settings_.locale, sizeof(settings_.locale)));
  for (char& c : locale) {
    if (c == '_') c = '-';
  }
  const std::string agent(settings_.user_agent,
                          strnlen(settings_.user_agent, sizeof(settings_.user_agent)));
  if (!locale.empty() || !agent.empty()) {
    cJSON* identity = Object();
    cJSON_AddStringToObject(identity, "userAgent",
                            agent.empty() ? engine_user_agent_.c_str() : agent.c_str());
    if (!locale.empty()) cJSON_AddStringToObject(identity, "acceptLanguage", locale.c_str());
    set_up("Emulation.setUserAgentOverride", identity);
  }
  if (browser->view.intercept_files) {
    cJSON* intercept = Object();
    cJSON_AddBoolToObject(intercept, "enabled", true);
    set_up("Page.setInterceptFileChooserDialog", intercept);
  }
}

void CWebRun::EngineFinishSetUp(unsigned id) {
  Browser* browser = Find(id);
  if (browser == nullptr || browser->view.stage != EngineView::Stage::kCreating) return;
  EngineView& view = browser->view;
  view.stage = EngineView::Stage::kReady;
  EngineFollowSize(*browser);
  std::vector<std::string> scripts;
  scripts.swap(view.pending_scripts);
  for (const std::string& text : scripts) EngineRunScript(*browser, text);
  if (view.inspects != 0) {
    EngineShowInspector(*browser);
  } else if (!browser->page->url().empty()) {
    EngineLoad(*browser, false);
  }
  // Developer tools that wait for this page.
  for (auto& entry : browsers_) {
    if (entry.second->view.inspects == id) EngineShowInspector(*entry.second);
  }
}

void CWebRun::EngineLoad(Browser& browser, bool reload) {
  EngineView& view = browser.view;
  if (view.stage == EngineView::Stage::kCreating ||
      (view.stage == EngineView::Stage::kNone && engine_state_ == EngineState::kStarting)) {
    return;  // The page's set-up loads the address.
  }
  if (view.stage != EngineView::Stage::kReady) {
    EngineLoadFailed(browser, browser.page->url());
    return;
  }
  const unsigned id = browser.id;
  const std::string url = browser.page->url();
  Reply answer = [this, id, url](const cJSON* result, const std::string& error) {
    Browser* browser = Find(id);
    if (browser == nullptr) return;
    if (!error.empty()) {
      // Refused outright (no such address): nothing loads, so the load error is ours to tell.
      EngineLoadFailed(*browser, url);
      return;
    }
    const std::string text = JsonText(result, "errorText");
    if (!text.empty()) browser->view.last_error_text = text;
  };
  if (reload) {
    Call(view.session_id, "Page.reload", nullptr, answer);
  } else {
    cJSON* params = Object();
    cJSON_AddStringToObject(params, "url", url.c_str());
    Call(view.session_id, "Page.navigate", params, answer);
  }
}

void CWebRun::EngineLoadFailed(Browser& browser, const std::string& url) {
  const std::wstring failed_url = Utf8ToWide(url);
  QueueForBrowser(browser.id, [this, failed_url](Browser& b) {
    if (b.delegate == nullptr) return;
    const int id = static_cast<int>(b.id);
    const bool back = b.page->history().size() > 1;
    Browser_UI_Delegate* delegate = b.delegate;
    const bool running = engine_state_ == EngineState::kReady;
    Guarded([&] { delegate->OnSetLoadingState(id, true, back, false); });
    if (Find(id) == nullptr) return;
    Guarded([&] {
      delegate->OnLoadErrror(-2, running ? L"net::ERR_FAILED" : L"net::ERR_FAILED (no web engine)",
                             failed_url.c_str());
    });
    if (Find(id) == nullptr) return;
    Guarded([&] { delegate->OnSetLoadingState(id, false, back, false); });
  });
}

void CWebRun::EngineSetLoading(Browser& browser, bool loading) {
  if (browser.view.loading == loading || browser.delegate == nullptr) return;
  browser.view.loading = loading;
  const bool back = browser.page->history().size() > 1;
  Guarded([&] {
    browser.delegate->OnSetLoadingState(static_cast<int>(browser.id), loading, back, false);
  });
}

void CWebRun::EngineRunScript(Browser& browser, const std::string& script) {
  EngineView& view = browser.view;
  if (view.stage == EngineView::Stage::kNone || view.stage == EngineView::Stage::kCreating) {
    if (engine_state_ == EngineState::kStarting || engine_state_ == EngineState::kReady) {
      view.pending_scripts.push_back(script);
    }
    return;
  }
  if (view.stage != EngineView::Stage::kReady) return;
  cJSON* params = Object();
  cJSON_AddStringToObject(params, "expression", script.c_str());
  Call(view.session_id, "Runtime.evaluate", params);
}

void CWebRun::EngineFollowSize(Browser& browser) {
  EngineView& view = browser.view;
  if (view.stage != EngineView::Stage::kReady || browser.host == nullptr) return;
  RECT client = {};
  GetClientRect(browser.host, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  // Hidden: the window's own visibility (not its parent's), or parked at 1 x 1.
  const bool hidden =
      (GetWindowLongW(browser.host, GWL_STYLE) & WS_VISIBLE) == 0 || width <= 1 || height <= 1;
  if (hidden) {
    if (view.cast_width != 0) Call(view.session_id, "Page.stopScreencast", nullptr);
    view.cast_width = view.cast_height = 0;
    return;
  }
  const double scale = WindowDpi(browser.host) / 96.0 * browser.page->zoom();
  if (width == view.cast_width && height == view.cast_height && scale == view.scale) return;
  view.scale = scale;
  cJSON* metrics = Object();
  cJSON_AddNumberToObject(metrics, "width", std::max(1L, std::lround(width / scale)));
  cJSON_AddNumberToObject(metrics, "height", std::max(1L, std::lround(height / scale)));
  cJSON_AddNumberToObject(metrics, "deviceScaleFactor", scale);
  cJSON_AddBoolToObject(metrics, "mobile", false);
  Call(view.session_id, "Emulation.setDeviceMetricsOverride", metrics);
  if (view.cast_width != 0) Call(view.session_id, "Page.stopScreencast", nullptr);
  cJSON* cast = Object();
  cJSON_AddStringToObject(cast, "format", "jpeg");
  cJSON_AddNumberToObject(cast, "quality", 90);
  cJSON_AddNumberToObject(cast, "maxWidth", width);
  cJSON_AddNumberToObject(cast, "maxHeight", height);
  cJSON_AddNumberToObject(cast, "everyNthFrame", 1);
  Call(view.session_id, "Page.startScreencast", cast);
  view.cast_width = width;
  view.cast_height = height;
}

void CWebRun::EnginePaint(Browser& browser, HDC dc) {
  RECT client = {};
  GetClientRect(browser.host, &client);
  const std::shared_ptr<PageFrame> frame = browser.view.frame;
  if (frame == nullptr) {
    FillRect(dc, &client,
             reinterpret_cast<HBRUSH>(GetClassLongPtrW(browser.host, GCLP_HBRBACKGROUND)));
    return;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = frame->width;
  info.bmiHeader.biHeight = -frame->height;  // Top row first.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  if (frame->width == client.right && frame->height == client.bottom) {
    SetDIBitsToDevice(dc, 0, 0, frame->width, frame->height, 0, 0, 0, frame->height,
                      frame->pixels.data(), &info, DIB_RGB_COLORS);
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, frame->width, frame->height,
                  frame->pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  }
}

bool CWebRun::EngineInput(Browser& browser, unsigned message, uintptr_t wparam, intptr_t lparam) {
  EngineView& view = browser.view;
  if (view.stage != EngineView::Stage::kReady) return false;
  const std::string& session = view.session_id;
  const double scale = view.scale > 0 ? view.scale : 1.0;
  auto mouse = [&](const char* type, const char* button, int x, int y, int count, int dx, int dy) {
    cJSON* params = Object();
    cJSON_AddStringToObject(params, "type", type);
    cJSON_AddNumberToObject(params, "x", x / scale);
    cJSON_AddNumberToObject(params, "y", y / scale);
    cJSON_AddStringToObject(params, "button", button);
    cJSON_AddNumberToObject(params, "buttons", view.buttons);
    cJSON_AddNumberToObject(params, "clickCount", count);
    cJSON_AddNumberToObject(params, "modifiers", Modifiers());
    if (dx != 0 || dy != 0) {
      cJSON_AddNumberToObject(params, "deltaX", dx);
      cJSON_AddNumberToObject(params, "deltaY", dy);
    }
    Call(session, "Input.dispatchMouseEvent", params);
  };
  auto key = [&](const char* type, const std::string& text) {
    cJSON* params = Object();
    cJSON_AddStringToObject(params, "type", type);
    cJSON_AddNumberToObject(params, "modifiers", Modifiers());
    if (text.empty()) {
      cJSON_AddNumberToObject(params, "windowsVirtualKeyCode", static_cast<double>(wparam));
      cJSON_AddNumberToObject(params, "nativeVirtualKeyCode", static_cast<double>(wparam));
      if (const char* name = KeyName(wparam)) cJSON_AddStringToObject(params, "key", name);
      cJSON_AddBoolToObject(params, "autoRepeat", (lparam & (1 << 30)) != 0);
    } else {
      cJSON_AddStringToObject(params, "text", text.c_str());
      cJSON_AddStringToObject(params, "unmodifiedText", text.c_str());
    }
    Call(session, "Input.dispatchKeyEvent", params);
  };
  // One UTF-16 unit of typed text; false while half of a surrogate pair waits.
  auto text_of = [&](wchar_t unit, std::string* text) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      view.high_surrogate = unit;
      return false;
    }
    std::wstring wide(1, unit);
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (view.high_surrogate == 0) return false;
      wide.insert(wide.begin(), view.high_surrogate);
    }
    view.high_surrogate = 0;
    *text = WideToUtf8(wide);
    return true;
  };
  const int x = GET_X_LPARAM(lparam);
  const int y = GET_Y_LPARAM(lparam);
  struct ButtonMessage {
    UINT down, dbl, up;
    int bit;
    const char* name;
  };
  static const ButtonMessage kButtons[] = {
      {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP, 1, "left"},
      {WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_RBUTTONUP, 2, "right"},
      {WM_MBUTTONDOWN, WM_MBUTTONDBLCLK, WM_MBUTTONUP, 4, "middle"}};
  for (const ButtonMessage& b : kButtons) {
    if (message == b.down || message == b.dbl) {
      SetFocus(browser.host);
      SetCapture(browser.host);
      view.buttons |= b.bit;
      view.click_count = message == b.dbl ? 2 : 1;
      mouse("mousePressed", b.name, x, y, view.click_count, 0, 0);
      return true;
    }
    if (message == b.up) {
      view.buttons &= ~b.bit;
      mouse("mouseReleased", b.name, x, y, view.click_count, 0, 0);
      if (view.buttons == 0 && GetCapture() == browser.host) ReleaseCapture();
      return true;
    }
  }
  switch (message) {
    case WM_MOUSEMOVE:
      mouse("mouseMoved", ButtonName(view.buttons), x, y, 0, 0, 0);
      return true;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
      POINT at = {x, y};  // Screen coordinates for wheel messages.
      ScreenToClient(browser.host, &at);
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      if (message == WM_MOUSEWHEEL) {
        mouse("mouseWheel", "none", at.x, at.y, 0, 0, -delta);
      } else {
        mouse("mouseWheel", "none", at.x, at.y, 0, delta, 0);
      }
      return true;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      key("rawKeyDown", std::string());
      return message == WM_KEYDOWN;  // System keys still reach the window manager.
    case WM_KEYUP:
    case WM_SYSKEYUP:
      key("keyUp", std::string());
      return message == WM_KEYUP;
    case WM_CHAR: {
      const wchar_t unit = static_cast<wchar_t>(wparam);
      // Control characters other than Enter act through their key-down already.
      if ((unit < 0x20 && unit != L'\r') || unit == 0x7F) return true;
      std::string text;
      if (text_of(unit, &text)) key("char", text);
      return true;
    }
    case WM_IME_CHAR: {
      std::string text;
      if (text_of(static_cast<wchar_t>(wparam), &text)) {
        cJSON* params = Object();
        cJSON_AddStringToObject(params, "text", text.c_str());
        Call(session, "Input.insertText", params);
      }
      return true;  // Not passed on: it would come back as WM_CHAR.
    }
    default:
      return false;
  }
}

void CWebRun::EngineClick(Browser& browser, int x, int y, int count) {
  EngineView& view = browser.view;
  if (view.stage != EngineView::Stage::kReady) return;
  const double scale = view.scale > 0 ? view.scale : 1.0;
  for (const char* type : {"mousePressed", "mouseReleased"}) {
    cJSON* params = Object();
    cJSON_AddStringToObject(params, "type", type);
    cJSON_AddNumberToObject(params, "x", x / scale);
    cJSON_AddNumberToObject(params, "y", y / scale);
    cJSON_AddStringToObject(params, "button", "left");
    cJSON_AddNumberToObject(params, "buttons", type[5] == 'P' ? 1 : 0);
    cJSON_AddNumberToObject(params, "clickCount", count);
    Call(view.session_id, "Input.dispatchMouseEvent", params);
  }
}

void CWebRun::EngineHandFile(Browser& browser) {
  EngineView& view = browser.view;
  if (view.stage != EngineView::Stage::kReady || view.waiting_file_input == 0 ||
      view.chosen_file.empty()) {
    return;
  }
  const std::string path = EnginePath(Utf8ToWide(view.chosen_file));
  if (path.empty()) {
    TVLOG_WARN() << "file for the page has no engine path: " << view.chosen_file.c_str();
    return;
  }
  cJSON* params = Object();
  cJSON* files = cJSON_AddArrayToObject(params, "files");
  cJSON_AddItemToArray(files, cJSON_CreateString(path.c_str()));
  cJSON_AddNumberToObject(params, "backendNodeId", view.waiting_file_input);
  Call(view.session_id, "DOM.setFileInputFiles", params);
  // One file per dialog: the next dialog waits for the client's next choice.
  view.waiting_file_input = 0;
  view.chosen_file.clear();
}

void CWebRun::EngineShowInspector(Browser& tools) {
  Browser* inspected = Find(tools.view.inspects);
  if (tools.view.stage != EngineView::Stage::kReady || inspected == nullptr ||
      inspected->view.target_id.empty() || engine_ == nullptr) {
    return;
  }
  const std::string address = "127.0.0.1:" + std::to_string(engine_->port());
  const std::string url = "http://" + address + "/devtools/inspector.html?ws=" + address +
                          "/devtools/page/" + inspected->view.target_id;
  if (tools.page->url() == url) return;
  tools.page->Load(url, true);
  EngineLoad(tools, false);
}

void CWebRun::EngineClosePage(Browser& browser) {
  EngineView& view = browser.view;
  if (!view.target_id.empty() && engine_state_ == EngineState::kReady) {
    cJSON* params = Object();
    cJSON_AddStringToObject(params, "targetId", view.target_id.c_str());
    Call("", "Target.closeTarget", params);
  }
  view = EngineView();
  view.stage = EngineView::Stage::kGone;
}
