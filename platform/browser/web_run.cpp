#include "platform/browser/web_run.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include <cjson/cJSON.h>

#include "foundation/hub.h"
#include "platform/browser/browser_record.h"
#include "platform/browser/engine/engine_keeper.h"
#include "platform/browser/engine/engine_link.h"
#include "platform/browser/engine/engine_paths.h"
#include "platform/browser/guarded_call.h"

namespace {

constexpr wchar_t kHostClass[] = L"TarvoBrowserHost";
constexpr wchar_t kDispatchClass[] = L"TarvoBrowserDispatch";
constexpr UINT kWakeMessage = WM_APP + 0x2B1;
constexpr DWORD kIdleWaitMs = 15;

HBRUSH g_host_brush = nullptr;  // UI thread; lives from init_cef to uninit_cef.

}  // namespace

cef_run_settting::cef_run_settting() {
  std::memset(this, 0, sizeof(*this));
  single_process = 1;
}

// The window procedures; they only forward to the library and never let an exception out.
struct CWebRunWindows {
  static LRESULT CALLBACK Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kWakeMessage) {
      CWebRun::Instace()->RunQueuedJobs();
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  static LRESULT CALLBACK Host(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    CWebRun* library = CWebRun::Instace();
    if (library->engine_mode_) {
      CWebRun::Browser* browser = nullptr;
      for (auto& entry : library->browsers_) {
        if (entry.second->host == window) browser = entry.second.get();
      }
      if (browser != nullptr) {
        switch (message) {
          case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            library->EnginePaint(*browser, dc);
            EndPaint(window, &paint);
            return 0;
          }
          case WM_ERASEBKGND:
            if (browser->view.frame != nullptr) return 1;  // The frame covers it all.
            break;
          case WM_SIZE:
          case WM_WINDOWPOSCHANGED:  // After a show or hide too.
            library->EngineFollowSize(*browser);
            break;
          default:
            if (library->EngineInput(*browser, message, wparam, lparam)) return 0;
            break;
        }
      }
    }
    switch (message) {
      case WM_CLOSE:
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        CWebRun::Instace()->OnHostDestroyed(window);
        return 0;
      default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
  }
};

CWebRun::CWebRun() = default;
CWebRun::~CWebRun() = default;

CWebRun* CWebRun::Instace() {
  static CWebRun library;
  return &library;
}

bool CWebRun::is_ui_thread() const {
  const unsigned long ui_thread = ui_thread_id_.load();
  return ui_thread != 0 && GetCurrentThreadId() == ui_thread;
}

int CWebRun::init_cef(HINSTANCE__* instance, const cef_run_settting& settings, CxIdle* idle) {
  if (std::wcsstr(GetCommandLineW(), L"--type=") != nullptr) {
    return sub_proccess_run(instance);
  }
  if (dispatch_window_ != nullptr) return -1;  // Already running.

  settings_ = settings;
  instance_ = instance != nullptr ? instance : GetModuleHandleW(nullptr);
  idle_ = idle;

  const uint32_t color = settings.background_color;
  g_host_brush = CreateSolidBrush(RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));

  WNDCLASSEXW host_class = {};
  host_class.cbSize = sizeof(host_class);
  host_class.style = CS_DBLCLKS;
  host_class.lpfnWndProc = &CWebRunWindows::Host;
  host_class.hInstance = instance_;
  host_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  host_class.hbrBackground = g_host_brush;
  host_class.lpszClassName = kHostClass;
  RegisterClassExW(&host_class);

  WNDCLASSEXW dispatch_class = {};
  dispatch_class.cbSize = sizeof(dispatch_class);
  dispatch_class.lpfnWndProc = &CWebRunWindows::Dispatch;
  dispatch_class.hInstance = instance_;
  dispatch_class.lpszClassName = kDispatchClass;
  RegisterClassExW(&dispatch_class);

  dispatch_window_ = CreateWindowExW(0, kDispatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     instance_, nullptr);
  if (dispatch_window_ == nullptr) {
    OutputDebugStringA("[CWebRun] init_cef: no dispatch window\n");
    return -1;
  }
  {
    std::lock_guard<std::mutex> hold(queue_lock_);
    running_ = true;
    wake_posted_ = false;
  }
  ui_thread_id_ = GetCurrentThreadId();
  wchar_t choice[32] = {};
  GetEnvironmentVariableW(L"TARVO_BROWSER_PAGE", choice, 32);
  engine_mode_ = settings_.sub_process[0] != 0 && std::wcscmp(choice, L"scriptable") != 0;
  if (engine_mode_) StartEngine();
  return -1;
}

int CWebRun::sub_proccess_run(void*) {
  // The engine's keeper starts the engine first; the engine then lives as long as this process.
  // Any other sub-process has no work of its own. Either lives until the library ends it.
  std::wstring profile;
  if (ParseEngineKeeperCommandLine(GetCommandLineW(), &profile)) {
    const int failed = LaunchEngine(profile);
    if (failed != 0) return failed;
  }
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

void CWebRun::RunIdle() {
  if (idle_ != nullptr) Guarded([this] { idle_->OnIdle(); });
}

int CWebRun::run_message_loop(bool nonblocking) {
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    RunIdle();
    if (nonblocking) return 0;
    MsgWaitForMultipleObjectsEx(0, nullptr, kIdleWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void CWebRun::uninit_cef() {
  if (!is_ui_thread()) return;
  StopEngine();
  ui_thread_id_ = 0;
  {
    std::lock_guard<std::mutex> hold(queue_lock_);
    running_ = false;
    jobs_.clear();
  }
  // Drop the browsers first so that destroying their hosts reports nothing.
  std::map<unsigned, std::unique_ptr<Browser>> browsers;
  browsers.swap(browsers_);
  for (auto& entry : browsers) {
    if (entry.second->host != nullptr && IsWindow(entry.second->host)) {
      DestroyWindow(entry.second->host);
    }
  }
  DestroyWindow(dispatch_window_);
  dispatch_window_ = nullptr;
  UnregisterClassW(kHostClass, instance_);
  UnregisterClassW(kDispatchClass, instance_);
  engine_mode_ = false;
  if (g_host_brush != nullptr) DeleteObject(g_host_brush);
  g_host_brush = nullptr;
  idle_ = nullptr;
}

bool CWebRun::check_terminate() { return browsers_.empty(); }

CWebRun::Browser* CWebRun::Find(unsigned id) {
  auto found = browsers_.find(id);
  return found == browsers_.end() ? nullptr : found->second.get();
}

CWebPage* CWebRun::GetPage(unsigned id) {
  if (!is_ui_thread()) return nullptr;
  Browser* browser = Find(id);
  return browser != nullptr ? browser->page.get() : nullptr;
}

bool CWebRun::Queue(Job job) {
  HWND wake = nullptr;
  {
    std::lock_guard<std::mutex> hold(queue_lock_);
    if (!running_) return false;
    jobs_.push_back(std::move(job));
    if (!wake_posted_) {
      wake_posted_ = true;
      wake = dispatch_window_;
    }
  }
  if (wake != nullptr && !PostMessageW(wake, kWakeMessage, 0, 0)) {
    std::lock_guard<std::mutex> hold(queue_lock_);
    wake_posted_ = false;  // The next Queue tries again; the job waits meanwhile.
  }
  return true;
}

void CWebRun::RunQueuedJobs() {
  // One job at a time: a job may pump messages (a modal loop) and so re-enter here; taking one
  // at a time keeps the queue order across such nesting.
  for (;;) {
    Job job;
    {
      std::lock_guard<std::mutex> hold(queue_lock_);
      if (jobs_.empty()) {
        wake_posted_ = false;
        return;
      }
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Guarded(job);
  }
}

void CWebRun::QueueForBrowser(unsigned id, std::function<void(Browser&)> job) {
  Queue([this, id, job = std::move(job)] {
    Browser* browser = Find(id);
    if (browser != nullptr) job(*browser);
  });
}

unsigned CWebRun::init_brower(Browser_UI_Delegate* delegate, const char* url) {
  if (!is_ui_thread()) return 0;
  auto browser = std::make_unique<Browser>();
  browser->id = next_id_++;
  browser->delegate = delegate;
  browser->page = std::make_unique<CWebPage>(this, browser->id, url != nullptr ? url : "");
  const unsigned id = browser->id;
  browsers_[id] = std::move(browser);
  return id;
}

bool CWebRun::CreateHost(Browser& browser, HWND__* parent, int x, int y, int width, int height) {
  if (browser.host != nullptr || browser.closing || parent == nullptr || !IsWindow(parent)) {
    return false;
  }
  browser.host = CreateWindowExW(
      0, kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y,
      width > 0 ? width : 0, height > 0 ? height : 0, parent, nullptr, instance_, nullptr);
  if (browser.host == nullptr) return false;
  QueueForBrowser(browser.id, [](Browser& b) {
    if (b.delegate != nullptr) {
      b.delegate->OnBrowserCreated(static_cast<int>(b.id),
                                   static_cast<int>(reinterpret_cast<uintptr_t>(b.host)));
    }
  });
  return true;
}

bool CWebRun::create_browser_win(HWND__* parent, unsigned id, int x, int y, int width, int height) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr || !CreateHost(*browser, parent, x, y, width, height)) return false;
  if (engine_mode_) {
    if (!browser->page->url().empty()) browser->page->Load(browser->page->url(), true);
    EngineOpenPage(*browser);  // Loads the start address once the page exists.
    return true;
  }
  if (!browser->page->url().empty()) StartLoad(*browser, browser->page->url(), true);
  return true;
}

void CWebRun::StartLoad(Browser& browser, const std::string& url, bool add_to_history) {
  browser.page->Load(url, add_to_history);
  if (engine_mode_) {
    EngineLoad(browser, !add_to_history);
    return;
  }
  QueueForBrowser(browser.id, [url](Browser& b) {
    if (b.delegate == nullptr) return;
    const bool can_go_back = b.page->history().size() > 1;
    const int id = static_cast<int>(b.id);
    b.delegate->OnSetLoadingState(id, true, can_go_back, false);
    b.delegate->OnNavigateNewUrl(id, url.c_str());
    b.delegate->OnSetLoadingState(id, false, can_go_back, false);
  });
}

bool CWebRun::Navigate(unsigned id, const char* url) {
  if (!is_ui_thread() || url == nullptr) return false;
  Browser* browser = Find(id);
  if (browser == nullptr || browser->closing) return false;
  if (browser->host == nullptr) {
    browser->page->url_ = url;  // Becomes the start address.
    return true;
  }
  StartLoad(*browser, url, true);
  return true;
}

bool CWebRun::Reload(unsigned id) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr || browser->closing || browser->host == nullptr) return false;
  ++browser->page->reload_count_;
  StartLoad(*browser, browser->page->url(), false);
  return true;
}

bool CWebRun::exec_js(unsigned id, const char* script) {
  if (script == nullptr) return false;
  return Queue([this, id, text = std::string(script)] {
    Browser* browser = Find(id);
    if (browser == nullptr) return;
    if (engine_mode_) {
      EngineRunScript(*browser, text);
    } else {
      browser->page->RunScript(text);
    }
  });
}

bool CWebRun::send_msg_to_render(unsigned id, const char* name, const char* value, int number) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr) return false;
  browser->page->render_messages_.push_back(
      {name != nullptr ? name : "", value != nullptr ? value : "", number});
  return true;
}

bool CWebRun::send_mouse_event(unsigned id, int x, int y) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr) return false;
  browser->page->clicks_.emplace_back(x, y);
  if (engine_mode_) EngineClick(*browser, x, y, 1);
  return true;
}

bool CWebRun::set_delegate_filedailog(unsigned id, bool delegated) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr) return false;
  browser->page->file_dialog_delegated_ = delegated;
  if (engine_mode_ && browser->view.intercept_files != delegated) {
    browser->view.intercept_files = delegated;
    if (browser->view.stage == EngineView::Stage::kReady) {
      cJSON* params = cJSON_CreateObject();
      cJSON_AddBoolToObject(params, "enabled", delegated);
      Call(browser->view.session_id, "Page.setInterceptFileChooserDialog", params);
    }
  }
  return true;
}

bool CWebRun::set_sel_file(unsigned id, const char* name, const char* path) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr) return false;
  browser->page->selected_file_ = {name != nullptr ? name : "", path != nullptr ? path : ""};
  if (engine_mode_) {
    browser->view.chosen_file = browser->page->selected_file_.second;
    EngineHandFile(*browser);
  }
  return true;
}

bool CWebRun::DevTools(unsigned id, unsigned dev_id, HWND__* dev_window, int x, int y) {
  if (!is_ui_thread() || id == dev_id) return false;
  Browser* inspected = Find(id);
  Browser* tools = Find(dev_id);
  if (inspected == nullptr || tools == nullptr || dev_window == nullptr || !IsWindow(dev_window)) {
    return false;
  }
  if (tools->host == nullptr) {
    RECT client = {};
    GetClientRect(dev_window, &client);
    if (!CreateHost(*tools, dev_window, x, y, client.right - x, client.bottom - y)) return false;
  }
  tools->page->inspected_browser_ = id;
  if (engine_mode_) {
    tools->view.inspects = id;
    if (tools->view.stage == EngineView::Stage::kNone) {
      EngineOpenPage(*tools);
    } else {
      EngineShowInspector(*tools);
    }
  }
  return true;
}

bool CWebRun::close_browser(unsigned id) {
  if (!is_ui_thread()) return false;
  Browser* browser = Find(id);
  if (browser == nullptr || browser->closing) return false;
  browser->closing = true;
  QueueForBrowser(id, [this](Browser& b) {
    if (b.delegate != nullptr) b.delegate->OnBrowserClosing(static_cast<int>(b.id));
    if (b.host != nullptr) {
      // The owner answers with WM_CLOSE to the host window (see the class comment).
      PostMessageW(GetAncestor(b.host, GA_ROOT), WM_CLOSE, 0, 0);
      return;
    }
    // No host window: the browser ends at once.
    const unsigned gone = b.id;
    Browser_UI_Delegate* delegate = b.delegate;
    browsers_.erase(gone);
    if (delegate != nullptr) delegate->OnBrowserClosed(static_cast<int>(gone));
  });
  return true;
}

void CWebRun::OnHostDestroyed(HWND__* host) {
  for (auto it = browsers_.begin(); it != browsers_.end(); ++it) {
    if (it->second->host != host) continue;
    std::unique_ptr<Browser> gone = std::move(it->second);
    browsers_.erase(it);
    if (engine_mode_) EngineClosePage(*gone);
    gone->host = nullptr;
    // Called at once, while the window being destroyed still exists: a delegate that is about
    // to go away with that window is still alive here.
    if (gone->delegate != nullptr) {
      Guarded([&] { gone->delegate->OnBrowserClosed(static_cast<int>(gone->id)); });
    }
    return;
  }
}

uint32_t CWebRun::GetHostWnd(unsigned id) {
  if (!is_ui_thread()) return 0;
  Browser* browser = Find(id);
  return browser != nullptr ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(browser->host)) : 0;
}

bool CWebRun::SetZoomRatio(unsigned id, double ratio) {
  if (!is_ui_thread() || !(ratio > 0.0)) return false;
  Browser* browser = Find(id);
  if (browser == nullptr) return false;
  browser->page->zoom_ = ratio;
  if (engine_mode_) EngineFollowSize(*browser);
  return true;
}

// The page's driver side; here because it reaches into the library's browser records.

bool CWebPage::SendRequest(const std::string& key, const std::string& value) {
  browser_msg_head head = {};
  std::memcpy(head.key, key.data(), std::min(key.size(), sizeof(head.key) - 1));
  return owner_->Queue([owner = owner_, id = browser_id_, head, value] {
    CWebRun::Browser* browser = owner->Find(id);
    if (browser == nullptr || browser->delegate == nullptr) return;
    browser->delegate->OnJsMessageCallBack(static_cast<int>(id), head, value.c_str(), 0);
  });
}

void CWebPage::FailLoad(int error_code, const std::wstring& error_text) {
  owner_->QueueForBrowser(browser_id_, [error_code, error_text](CWebRun::Browser& b) {
    if (b.delegate == nullptr) return;
    const std::wstring failed_url = Utf8ToWide(b.page->url());
    b.delegate->OnLoadErrror(error_code, error_text.c_str(), failed_url.c_str());
    b.delegate->OnSetLoadingState(static_cast<int>(b.id), false, b.page->history().size() > 1,
                                  false);
  });
}

bool CWebPage::TerminateRender(int status) {
  CWebRun::Browser* browser = owner_->Find(browser_id_);
  if (browser == nullptr || browser->delegate == nullptr) return false;
  return browser->delegate->OnProcessTerminated(static_cast<int>(browser_id_), status);
}
