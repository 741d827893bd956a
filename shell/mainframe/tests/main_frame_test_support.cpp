#include "shell/mainframe/tests/main_frame_test_support.h"

#include <objbase.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/duilib/UIlib.h"
#include "sdk/interactive/sdk_interactive.h"
#include "sdk/interactive/tests/sdk_test_support.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/startup/app_info.h"
#include "shell/system/base64.h"
#include "windows/common/tests/dialog_test_support.h"

namespace mainframe_test {

void LibraryEnvironment::SetUp() {
  ASSERT_LT(CWebRun::Instace()->init_cef(GetModuleHandleW(nullptr), cef_run_settting(),
                                         &CxAdapter::Instance()),
            0);
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true, L"en_US",
                                                       L"xml");
  // As start-up does: GDI+ for the windows' pictures, and the UI library's modal loops run the
  // hub's tasks too.
  Gdiplus::GdiplusStartupInput gdiplus;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &gdiplus, nullptr);
  CxAdapter& hub = CxAdapter::Instance();
  DuiLib::CWindowWnd::SetIdleHook([&hub] { hub.OnIdle(); }, hub.GetUiThread().GetTaskEvent());
}

void LibraryEnvironment::TearDown() {
  DuiLib::CWindowWnd::SetIdleHook(nullptr);
  CWebRun::Instace()->uninit_cef();
}

namespace {

struct WindowSearch {
  const wchar_t* class_name;
  HWND found;
};

// A named callback: the system calls it with its own calling convention (a lambda has the wrong
// one on i686).
BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (wcscmp(name, search->class_name) == 0 && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindThreadWindow(const wchar_t* class_name) {
  WindowSearch search{class_name, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DialogScript* DialogScript::current_ = nullptr;

DialogScript::DialogScript(std::vector<Step> steps)
    : steps_(std::move(steps)), start_(GetTickCount()) {
  current_ = this;
  timer_ = SetTimer(nullptr, 0, 50, &DialogScript::Tick);
}

DialogScript::~DialogScript() {
  KillTimer(nullptr, timer_);
  current_ = nullptr;
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogScript* self = current_;
  if (self == nullptr || self->busy_) return;
  self->busy_ = true;
  if (!self->done() && self->steps_[self->next_]()) {
    ++self->next_;
    self->start_ = GetTickCount();
  } else if (GetTickCount() - self->start_ > 20000) {
    ADD_FAILURE() << "step " << self->next_ << " of " << self->steps_.size()
                  << ": no dialog found, or one stayed open";
    self->next_ = self->steps_.size();
    self->start_ = GetTickCount();
    for (const wchar_t* name : {L"#32770", L"CDocTransFrame", L"CDeviceFrame", L"CSettingFrame",
                                L"CBeautySettingFrame", L"CNetSingalFrame", L"CMaskLayerFrame"}) {
      if (HWND open = FindThreadWindow(name)) PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
      if (HWND open = FindThreadWindow(name)) PostMessageW(open, WM_CLOSE, 0, 0);
    }
  }
  self->busy_ = false;
}

DialogScript::Step AnswerFileDialog(const std::wstring& path) {
  return [path] {
    HWND dialog = FindThreadWindow(L"#32770");
    if (dialog == nullptr) return false;
    if (path.empty()) {
      SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return true;
    }
    HWND name = nullptr;
    for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */}) {
      if ((name = GetDlgItem(dialog, id)) != nullptr) break;
    }
    if (name == nullptr) return false;
    SetWindowTextW(name, path.c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
  };
}

DialogScript::Step ClickInDialog(const wchar_t* class_name, std::vector<const wchar_t*> clicks) {
  return [class_name, clicks] {
    HWND hwnd = FindThreadWindow(class_name);
    if (hwnd == nullptr) return false;
    auto* window = reinterpret_cast<DuiLib::CWindowWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto* dialog = dynamic_cast<DuiLib::WindowImplBase*>(window);
    if (dialog == nullptr) return false;
    DuiLib::CPaintManagerUI* pm = dialog->GetPaintManager();
    if (!clicks.empty()) {
      DuiLib::CControlUI* first = pm->FindControl(clicks.front());
      if (first == nullptr || first->GetPos().right <= first->GetPos().left ||
          !first->IsVisible() || !first->IsEnabled()) {
        return false;
      }
    }
    for (const wchar_t* name : clicks) EXPECT_TRUE(dialog_test::ClickOn(hwnd, pm, name)) << name;
    return true;
  };
}

DialogScript::Step Until(std::function<bool()> condition) { return condition; }

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CWebRun::Instace()->run_message_loop(true);
    Sleep(1);
  }
  return true;
}

void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    CWebRun::Instace()->run_message_loop(true);
    Sleep(1);
  }
}

std::string StartLink(const std::string& json) {
  return "tarvo://" + Base64Encode(json.data(), json.size());
}

ConfigFileScope::ConfigFileScope(const std::vector<std::string>& lines)
    : path_(GetAppDataFolder() + "\\config.ini") {
  std::ifstream in(path_, std::ios::binary);
  if (in) {
    had_file_ = true;
    std::stringstream all;
    all << in.rdbuf();
    old_ = all.str();
  }
  in.close();
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out << "[LiveConfig]\r\n";
  for (const std::string& line : lines) out << line << "\r\n";
}

ConfigFileScope::~ConfigFileScope() {
  if (had_file_) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << old_;
  } else {
    DeleteFileA(path_.c_str());
  }
}

FrameScope::FrameScope(const std::string& startup_command, bool wait_for_page)
    : frame_(std::make_unique<TestFrame>()) {
  frame_->SetStartupCommand(startup_command);
  hwnd_ = frame_->Create(nullptr, L"TarvoLive", 0x16CF0000, 0x40000);
  if (hwnd_ == nullptr) return;
  frame_->ShowWindow(true, true);
  if (wait_for_page) {
    PumpUntil([&] { return !frame_->m_bPagePending && Page() != nullptr; });
  } else {
    // Only the window's own messages: the browser library's queued work (the first load) stays
    // queued for the test to act before it.
    const auto deadline = GetTickCount() + 10000;
    while (GetTickCount() < deadline &&
           (frame_->GetBrowser() == nullptr || frame_->GetBrowser()->GetBrowserId() == 0)) {
      MSG msg;
      while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(1);
    }
  }
}

FrameScope::~FrameScope() {
  frame_.reset();  // Destroys the window first.
  PumpFor(20);     // Takes the WM_QUIT of the window's end and what else is left.
}

CWebPage* FrameScope::Page() {
  CCefWebBrowserUI* browser = frame_->GetBrowser();
  return browser == nullptr ? nullptr : CWebRun::Instace()->GetPage(browser->GetBrowserId());
}

std::vector<std::string> FrameScope::Events(int number) {
  std::vector<std::string> out;
  CWebPage* page = Page();
  if (page == nullptr) return out;
  for (const std::string& json : page->invocations()) {
    cJSON* root = cJSON_Parse(json.c_str());
    const cJSON* event = cJSON_GetObjectItemCaseSensitive(root, "event");
    if (cJSON_IsNumber(event) && event->valueint == number) out.push_back(json);
    cJSON_Delete(root);
  }
  return out;
}

std::vector<std::string> FrameScope::Values(int number, const char* key) {
  std::vector<std::string> out;
  for (const std::string& json : Events(number)) {
    cJSON* root = cJSON_Parse(json.c_str());
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(root, key);
    if (cJSON_IsString(item)) {
      out.push_back(item->valuestring);
    } else if (cJSON_IsNumber(item)) {
      out.push_back(std::to_string(item->valueint));
    } else if (cJSON_IsBool(item)) {
      out.push_back(cJSON_IsTrue(item) ? "true" : "false");
    } else {
      out.push_back("<none>");
    }
    cJSON_Delete(root);
  }
  return out;
}

bool FrameScope::JoinRoom(const std::string& server, int timeout_ms) {
  frame_->GetSdk()->Login(sdk_test::JoinAsMe("room1", server));
  return PumpUntil([&] { return frame_->group_joins.load() >= 1; }, timeout_ms);
}

void FrameScope::Tick(UINT_PTR id) {
  SendMessageW(hwnd_, WM_TIMER, id, 0);
  PumpFor(10);
}

bool FrameScope::Request(const std::string& json, const std::string& key, int timeout_ms) {
  CWebPage* page = Page();
  if (page == nullptr || !page->SendRequest(key, json) ||
      !page->SendRequest("jsEvent", R"({"event":33})")) {
    return false;
  }
  const size_t before = markers_;
  return PumpUntil(
      [&] {
        for (size_t i = scanned_; i < frame_->page_requests.size(); ++i) {
          if (frame_->page_requests[i] == std::make_pair(33, 0)) ++markers_;
        }
        scanned_ = frame_->page_requests.size();
        return markers_ > before;
      },
      timeout_ms);
}

std::vector<std::pair<int, int>> FrameScope::TakeRequests() {
  std::vector<std::pair<int, int>> out;
  for (const auto& request : frame_->page_requests) {
    if (request != std::make_pair(33, 0)) out.push_back(request);
  }
  frame_->page_requests.clear();
  scanned_ = 0;
  return out;
}

}  // namespace mainframe_test
