#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CWebRun;

// CWebPage: the page of one browser. Without the web engine (see web_run.h) the page is this
// small scriptable object that keeps what the client asks of it (scripts, render messages,
// clicks, the file for its file dialog) and lets a driver (a test) act as the page: send
// requests to the client, fail a load, end its render process. A script that calls the page's
// message function (page_bridge.h), e.g. tarvoPostMessage("jsEvent", "{\"event\":2}"), sends
// as a page would. With the engine it is the browser's record: address, history, zoom, render
// messages, clicks and the file choice are kept; scripts run in the engine's page.
//
// The page belongs to the browser library and lives until its browser has closed. Use it on
// the UI thread, except SendRequest, which any thread may call.
class CWebPage {
 public:
  using InvokeListener = std::function<void(const std::string& json)>;

  CWebPage(CWebRun* owner, unsigned browser_id, std::string url);

  CWebPage(const CWebPage&) = delete;
  CWebPage& operator=(const CWebPage&) = delete;

  unsigned browser_id() const { return browser_id_; }
  const std::string& url() const { return url_; }
  const std::vector<std::string>& history() const { return history_; }
  int reload_count() const { return reload_count_; }
  double zoom() const { return zoom_; }

  // Every script run in the page, in order.
  const std::vector<std::string>& scripts() const { return scripts_; }
  // The argument text of every "nativeInvokeJS(<json>); " script, in order.
  const std::vector<std::string>& invocations() const { return invocations_; }
  // Called with each argument text as the page receives it (replaces the previous listener).
  void set_invoke_listener(InvokeListener listener) { invoke_listener_ = std::move(listener); }

  struct RenderMessage {
    std::string name;
    std::string value;
    int number;
  };
  const std::vector<RenderMessage>& render_messages() const { return render_messages_; }
  const std::vector<std::pair<int, int>>& clicks() const { return clicks_; }

  // The file dialog: whether the client answers it, and the file it supplied (name, path).
  bool file_dialog_delegated() const { return file_dialog_delegated_; }
  const std::pair<std::string, std::string>& selected_file() const { return selected_file_; }

  // Id of the browser whose developer tools this page shows; 0 for none.
  unsigned inspected_browser() const { return inspected_browser_; }

  // Acting as the page. SendRequest delivers |value| with message key |key| (at most 63
  // characters are kept) to the browser's delegate on the UI thread; the value is passed
  // unchanged, whatever it holds. Thread-safe; false when the library is not running.
  bool SendRequest(const std::string& key, const std::string& value);
  // Reports a failed load of the current address (UI thread).
  void FailLoad(int error_code, const std::wstring& error_text);
  // Reports the end of the page's render process (UI thread); returns the delegate's answer.
  bool TerminateRender(int status);

 private:
  friend class CWebRun;

  void RunScript(const std::string& script);
  // A script that calls the page's message function (page_bridge.h) with two JSON texts sends
  // them as the page would; true when |script| was such a call.
  bool RunPageFunction(const std::string& script);
  void Load(const std::string& url, bool add_to_history);

  CWebRun* owner_;
  unsigned browser_id_;
  std::string url_;
  std::vector<std::string> history_;
  int reload_count_ = 0;
  double zoom_ = 1.0;
  std::vector<std::string> scripts_;
  std::vector<std::string> invocations_;
  InvokeListener invoke_listener_;
  std::vector<RenderMessage> render_messages_;
  std::vector<std::pair<int, int>> clicks_;
  bool file_dialog_delegated_ = false;
  std::pair<std::string, std::string> selected_file_;
  unsigned inspected_browser_ = 0;
};
