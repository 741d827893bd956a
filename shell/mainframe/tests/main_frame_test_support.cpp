#include "shell/mainframe/tests/main_frame_test_support.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "platform/duilib/UIlib.h"
#include "shell/mainframe/main_frame_ids.h"
#include "shell/startup/app_info.h"
#include "shell/system/base64.h"

namespace mainframe_test {

void LibraryEnvironment::SetUp() {
  ASSERT_LT(CWebRun::Instace()->init_cef(GetModuleHandleW(nullptr), cef_run_settting(),
                                         &CxAdapter::Instance()),
            0);
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true, L"en_US",
                                                       L"xml");
}

void LibraryEnvironment::TearDown() { CWebRun::Instace()->uninit_cef(); }

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

void FrameScope::Tick(UINT_PTR id) {
  SendMessageW(hwnd_, WM_TIMER, id, 0);
  PumpFor(10);
}

}  // namespace mainframe_test
