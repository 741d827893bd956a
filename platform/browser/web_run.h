#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/browser/browser_delegate.h"
#include "platform/browser/cef_settings.h"
#include "platform/browser/web_page.h"

class CxIdle;
class EngineLink;
struct HWND__;
struct HINSTANCE__;
struct HDC__;
struct cJSON;

// CWebRun: the browser library. It starts on the program's UI thread (init_cef), runs the
// program's only UI loop (run_message_loop), hosts browsers in child windows of the client's
// windows and reports on them through each browser's Browser_UI_Delegate.
//
// Threads: every operation belongs to the UI thread (the one that called init_cef) except
// Instace, exec_js and CWebPage::SendRequest, which any thread may call; they queue their work
// to the UI thread, where it runs in the order it was queued. Called from another thread, a UI
// operation does nothing and fails.
//
// The page. With a web engine, every browser is one page of the engine: a real web page drawn
// into the browser's host window, answering the mouse and keyboard there (see "Web engine"
// below). Without one, the page is the scriptable object CWebPage, which tests drive. A process
// gets the engine when the start record names the render sub-process program (sub_process not
// empty) and its environment does not set TARVO_BROWSER_PAGE=scriptable; otherwise the
// scriptable page. Either way GetPage gives the browser's CWebPage record.
//
// Web engine: at init_cef the library starts the render sub-process program with the keeper's
// arguments; it starts the engine (engine/engine_keeper.h), whose life it ties to its own, and
// the library connects to the engine's protocol on 127.0.0.1. Every page has the global
// function of page_bridge.h. An engine that cannot be started makes every load a load error
// (logged once); an engine that ends later ends every page's render process
// (OnProcessTerminated with status 2; a page's own crash gives status 3).
//
// A browser lives from init_brower until its OnBrowserClosed: close_browser reports
// OnBrowserClosing and posts WM_CLOSE to the top-level window of its host; the owner then
// closes the host window (WM_CLOSE to it), and the host's end reports OnBrowserClosed. A host
// window destroyed with its parent ends its browser the same way.
class CWebRun {
 public:
  static CWebRun* Instace();

  // Starts the library on the calling thread, which becomes the UI thread. In a sub-process of
  // the library (its command line carries "--type=") it runs the sub-process and returns its
  // result when it ends; -1 for the client process (start-up goes on). |idle| is called whenever
  // the loop's queue is empty; it may be null.
  int init_cef(HINSTANCE__* instance, const cef_run_settting& settings, CxIdle* idle);
  // Runs the UI loop until WM_QUIT (whose wParam it returns): messages are dispatched and,
  // whenever the queue is empty, the idle hook runs (at least every 15 ms while idle). With
  // |nonblocking| it handles what is pending, runs the idle hook once and returns 0.
  int run_message_loop(bool nonblocking);
  // Ends the library: remaining browsers are dropped without callbacks.
  void uninit_cef();
  // The render sub-process entry: runs the sub-process until the library ends it, here a message
  // loop on the calling thread until WM_QUIT, whose wParam it returns (-1 when the loop fails).
  int sub_proccess_run(void* instance);

  // True when the library may end: no browser is alive.
  bool check_terminate();

  // A new browser (no host window yet) that reports to |delegate| and loads |url| once its
  // host window exists. Returns its id (from 1), 0 when the library is not running.
  unsigned init_brower(Browser_UI_Delegate* delegate, const char* url);
  // Creates the browser's host window as a child of |parent| at the rectangle; the browser
  // then reports OnBrowserCreated and loads its start address.
  bool create_browser_win(HWND__* parent, unsigned id, int x, int y, int width, int height);
  bool Navigate(unsigned id, const char* url);
  bool Reload(unsigned id);
  // Queues |script| for the page of browser |id|. Any thread; scripts run in queue order.
  // Scripts for a browser that is gone by then are dropped.
  bool exec_js(unsigned id, const char* script);
  bool send_msg_to_render(unsigned id, const char* name, const char* value, int number);
  bool send_mouse_event(unsigned id, int x, int y);
  bool set_delegate_filedailog(unsigned id, bool delegated);
  bool set_sel_file(unsigned id, const char* name, const char* path);
  // Shows the developer tools of browser |id| in browser |dev_id|, whose host window is made a
  // child of |dev_window| at (x, y) filling the rest of its client area.
  bool DevTools(unsigned id, unsigned dev_id, HWND__* dev_window, int x, int y);
  bool close_browser(unsigned id);
  uint32_t GetHostWnd(unsigned id);
  bool SetZoomRatio(unsigned id, double ratio);

  // For drivers and tests: the page of browser |id| (null when none); the start record.
  CWebPage* GetPage(unsigned id);
  const cef_run_settting& settings() const { return settings_; }
  bool is_ui_thread() const;
  // Whether this process's pages are the web engine's; the engine's profile folder (one per
  // client, empty without an engine) and its protocol port (0 until connected).
  bool uses_engine() const { return engine_mode_; }
  std::wstring engine_profile() const;
  int engine_port() const;

 private:
  friend class CWebPage;
  friend struct CWebRunWindows;  // The window procedures of the host and dispatch windows.
  struct Browser;
  using Job = std::function<void()>;
  using Reply = std::function<void(const cJSON* result, const std::string& error)>;
  enum class EngineState { kOff, kStarting, kReady, kFailed, kEnded };

  CWebRun();
  ~CWebRun();

  Browser* Find(unsigned id);
  // Queues |job| for the UI thread (any thread) and wakes the loop; false when not running.
  bool Queue(Job job);
  void RunQueuedJobs();
  void QueueForBrowser(unsigned id, std::function<void(Browser&)> job);
  void StartLoad(Browser& browser, const std::string& url, bool add_to_history);
  void OnHostDestroyed(HWND__* host);
  bool CreateHost(Browser& browser, HWND__* parent, int x, int y, int width, int height);
  void RunIdle();

  // The web engine (web_engine.cpp); UI thread unless said otherwise.
  void StartEngine();
  void StopEngine();
  void OnEngineReady();
  void OnEngineFailed(const std::string& why);
  void OnEngineEnded();
  void OnEngineText(std::string&& text);  // The connection's receive thread.
  void OnEngineMessage(const cJSON* message);
  void OnPageEvent(Browser& browser, const std::string& method, const cJSON* params);
  int Call(const std::string& session, const char* method, cJSON* params, Reply reply = nullptr);
  Browser* FindBySession(const std::string& session);
  void EngineOpenPage(Browser& browser);
  void EngineSetUpPage(unsigned id);
  void EngineFinishSetUp(unsigned id);
  void EngineLoad(Browser& browser, bool reload);
  void EngineLoadFailed(Browser& browser, const std::string& url);
  void EngineSetLoading(Browser& browser, bool loading);
  void EngineRunScript(Browser& browser, const std::string& script);
  void EngineFollowSize(Browser& browser);
  void EnginePaint(Browser& browser, HDC__* dc);
  bool EngineInput(Browser& browser, unsigned message, uintptr_t wparam, intptr_t lparam);
  void EngineClick(Browser& browser, int x, int y, int count);
  void EngineHandFile(Browser& browser);
  void EngineShowInspector(Browser& tools);
  void EngineClosePage(Browser& browser);

  cef_run_settting settings_;
  HINSTANCE__* instance_ = nullptr;
  CxIdle* idle_ = nullptr;
  std::atomic<unsigned long> ui_thread_id_{0};  // The UI thread while running, else 0.
  HWND__* dispatch_window_ = nullptr;
  unsigned next_id_ = 1;
  std::map<unsigned, std::unique_ptr<Browser>> browsers_;  // UI thread only.

  bool engine_mode_ = false;
  EngineState engine_state_ = EngineState::kOff;
  std::unique_ptr<EngineLink> engine_;
  std::atomic<int> next_call_{1};         // Protocol command ids (any thread).
  std::map<int, Reply> replies_;          // Commands waiting for their answer.
  std::string engine_user_agent_;         // The engine's own user agent.

  std::mutex queue_lock_;  // Protects |jobs_|, |wake_posted_| and |running_|.
  std::deque<Job> jobs_;
  bool wake_posted_ = false;
  bool running_ = false;
};
