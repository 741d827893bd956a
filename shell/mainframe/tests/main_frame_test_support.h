#pragma once

// The main window in a test process: the browser library runs on the test's thread with the hub
// as its idle hook, the page is the library's scriptable page, and a TestFrame opens the
// window's state and replaces the monitor DPI and the processor samples.

#include <windows.h>

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser/web_run.h"
#include "shell/browser_control/cef_web_browser_ui.h"
#include "shell/mainframe/main_frame.h"

namespace mainframe_test {

// Starts the browser library (scriptable page, the hub as idle hook) and the UI library's
// English texts once for the test program; a test file registers it with
// ::testing::AddGlobalTestEnvironment.
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

class TestFrame : public CMainFrame {
 public:
  using CMainFrame::HandleCopyData;
  using CMainFrame::m_bAutoLogin;
  using CMainFrame::m_bDocPacing;
  using CMainFrame::m_cameraList;
  using CMainFrame::m_mediaInfo;
  using CMainFrame::m_micList;
  using CMainFrame::ApplyReportStatus;
  using CMainFrame::m_bForwardJs;
  using CMainFrame::m_bLiveMode;
  using CMainFrame::m_bLoadError;
  using CMainFrame::m_bPagePending;
  using CMainFrame::m_bTestUse;
  using CMainFrame::m_hConverterWnd;
  using CMainFrame::m_joinInfo;
  using CMainFrame::m_nIceReConnectPub;
  using CMainFrame::m_nIceReConnectSub;
  using CMainFrame::m_nLoginRetry;
  using CMainFrame::m_PaintManager;
  using CMainFrame::m_bShareFrameArrived;
  using CMainFrame::m_pShareFrame;
  using CMainFrame::m_pTabLayout;
  using CMainFrame::m_strExitOrigin;
  using CMainFrame::m_strPageUrl;
  using CMainFrame::m_strRoomId;
  using CMainFrame::m_strStartupCommand;
  using CMainFrame::m_jsCommands;
  using CMainFrame::m_mediaShares;
  using CMainFrame::m_pushResults;
  using CMainFrame::m_docInfo;
  using CMainFrame::m_pSettingFrame;

  double dpi = 96.0;
  std::vector<int> cpu_samples;  // Taken from the front; 0 once empty.
  std::vector<double> zooms;     // Every zoom handed to the browser library.

  // The thread of every piece of SDK-reported work, and how many of each ran.
  std::mutex lock;
  std::vector<DWORD> work_threads;
  std::atomic<int> join_results{0};
  std::atomic<int> group_joins{0};
  std::atomic<int> defer_exits{0};
  std::atomic<int> reconnect_starts{0};
  // Seen as the window's last message arrived: was the SDK layer gone, forwarding stopped?
  bool sdk_gone_at_end = false;
  bool forwarding_at_end = true;
  // The system commands the window received (without the low four bits), in order.
  std::vector<WPARAM> sys_commands;

  // The report service (empty: the deployment's).
  std::string report_base;
  std::string ReportServerBase() override {
    return report_base.empty() ? CMainFrame::ReportServerBase() : report_base;
  }

  // The clock of the device-lost notice's spacing, in ms.
  std::uint64_t now_ms = 0;
  std::uint64_t DeviceNoticeClock() override { return now_ms; }

  // Network qualities, taken from the front; the SDK layer's once empty.
  std::vector<int> net_qualities;
  int SampleNetQuality() override {
    if (net_qualities.empty()) return CMainFrame::SampleNetQuality();
    const int value = net_qualities.front();
    net_qualities.erase(net_qualities.begin());
    return value;
  }

  // The page requests' second halves, (number, value) in order; those whose number is in
  // |held_requests| (or all, with |hold_requests|) are only recorded, not run.
  std::vector<std::pair<int, int>> page_requests;
  std::set<int> held_requests;
  bool hold_requests = false;
  void HandleJsCallBack(int number, int value) override {
    page_requests.emplace_back(number, value);
    if (hold_requests || held_requests.count(number) != 0) return;
    CMainFrame::HandleJsCallBack(number, value);
  }
  // The addresses that requests 13 and 24 let through; with |shell_open| they also go to the
  // shell (under Wine an opened web address would go to the host's browser).
  std::vector<std::string> opened_addresses;
  bool shell_open = false;
  void OpenWebAddress(const std::string& url) override {
    opened_addresses.push_back(url);
    if (shell_open) CMainFrame::OpenWebAddress(url);
  }

  double ReadMonitorDpi() override { return dpi; }
  int SampleCpuUsage() override {
    if (cpu_samples.empty()) return 0;
    const int value = cpu_samples.front();
    cpu_samples.erase(cpu_samples.begin());
    return value;
  }
  void SetBrowserZoom(unsigned id, double ratio) override {
    zooms.push_back(ratio);
    CMainFrame::SetBrowserZoom(id, ratio);
  }
  void OnJoinResult(int result, const std::string& roomId) override {
    Record();
    CMainFrame::OnJoinResult(result, roomId);
    ++join_results;
  }
  void OnGroupJoined(const std::string& gid, const std::string& gcid) override {
    Record();
    CMainFrame::OnGroupJoined(gid, gcid);
    ++group_joins;
  }
  void ApplyDeferExit(int reason, const std::string& origin, bool deferred) override {
    Record();
    CMainFrame::ApplyDeferExit(reason, origin, deferred);
    ++defer_exits;
  }
  void StartReconnect(bool publish, bool start) override {
    Record();
    CMainFrame::StartReconnect(publish, start);
    ++reconnect_starts;
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SYSCOMMAND) sys_commands.push_back(wParam & 0xFFF0);
    if (message == WM_NCDESTROY) {
      sdk_gone_at_end = GetSdk() == nullptr;
      std::lock_guard<std::mutex> hold(m_jsLock);
      forwarding_at_end = m_bForwardJs;
    }
    return CMainFrame::HandleMessage(message, wParam, lParam);
  }

 private:
  void Record() {
    std::lock_guard<std::mutex> hold(lock);
    work_threads.push_back(GetCurrentThreadId());
  }
};

// ---- dialogs answered from inside their own loops ----

// A visible top-level window of the calling thread with the window class |class_name|.
HWND FindThreadWindow(const wchar_t* class_name);

// Steps that act in the modal loops the window runs: tried in order on the ticks of a thread
// timer, which every message loop of the test's (the UI) thread runs. A step returns true when
// it is done. After 20 s without progress, or with a dialog still open after the last step, the
// script fails the test and closes the known dialogs, so that the test goes on.
class DialogScript {
 public:
  using Step = std::function<bool()>;
  explicit DialogScript(std::vector<Step> steps);
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;
  bool done() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static DialogScript* current_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool busy_ = false;
  DWORD start_;
  UINT_PTR timer_ = 0;
};

// The open-file dialog: |path| typed into its name box and accepted; cancelled for "".
DialogScript::Step AnswerFileDialog(const std::wstring& path);
// A skin dialog of window class |class_name|: once its first named control is laid out, shown
// and enabled, the named controls are clicked in turn.
DialogScript::Step ClickInDialog(const wchar_t* class_name, std::vector<const wchar_t*> clicks);
// Done once |condition| holds (runs inside the dialog's loop).
DialogScript::Step Until(std::function<bool()> condition);

// Runs the library's loop (and with it the hub's UI tasks) until |done| or |timeout_ms|.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 10000);
// Runs the loop for about |ms| milliseconds.
void PumpFor(int ms);

// "tarvo://" + Base64 of |json|.
std::string StartLink(const std::string& json);

// Writes the configuration file's section "LiveConfig" with |lines| ("key=value"), keeping the
// file that was there to put back later (Restore).
class ConfigFileScope {
 public:
  explicit ConfigFileScope(const std::vector<std::string>& lines);
  ~ConfigFileScope();

 private:
  std::string path_;
  bool had_file_ = false;
  std::string old_;
};

// A main window made for one test: created, shown and run until its page has loaded (unless
// |wait_for_page| is false). The window and the object go with it.
class FrameScope {
 public:
  explicit FrameScope(const std::string& startup_command = std::string(), bool wait_for_page = true);
  ~FrameScope();

  TestFrame* operator->() { return frame_.get(); }
  TestFrame* get() { return frame_.get(); }
  HWND hwnd() const { return hwnd_; }
  CWebPage* Page();
  // The page's events numbered |number|, parsed (owned by the caller's view: freed with scope).
  std::vector<std::string> Events(int number);
  // The value of |key| (number or string, as text) of each event numbered |number|.
  std::vector<std::string> Values(int number, const char* key);
  // Sends WM_TIMER |id| to the window and lets posted work run.
  void Tick(UINT_PTR id);
  // Logs the window's SDK layer in to room "room1" of |server| as "me" ("Me") and runs the loop
  // until the room's group join has come; false when it did not in |timeout_ms|.
  bool JoinRoom(const std::string& server, int timeout_ms = 20000);
  // Sends |json| as the page's request (message key |key|) and runs the loop until its second
  // half, if any, has run: a marker request (number 33, which does nothing) follows it, and the
  // loop runs until the marker's second half was recorded. False when it did not arrive in
  // |timeout_ms|.
  bool Request(const std::string& json, const std::string& key = "jsEvent",
               int timeout_ms = 10000);
  // The second halves recorded since the last call (or since the window was made), without the
  // markers.
  std::vector<std::pair<int, int>> TakeRequests();

 private:
  std::unique_ptr<TestFrame> frame_;
  HWND hwnd_ = nullptr;
  size_t markers_ = 0;  // Markers seen in the recorded requests from |scanned_| on.
  size_t scanned_ = 0;
};

}  // namespace mainframe_test
