#pragma once

#include <atomic>
#include <string>

class CSysHttpClient;

// Receives the end of a request. Called on WinINet's callback thread.
class CSysHttpClientSink {
 public:
  // `ok` is true when the whole body of a 2xx answer arrived (as long as its Content-Length
  // says, when it has one); otherwise `response` holds what was read before the failure
  // (possibly an error page, or a body cut off). The sink may delete `client` during
  // the call; the client touches nothing of itself afterwards.
  virtual void OnFinish(bool ok, const std::string& response, CSysHttpClient* client) = 0;

 protected:
  ~CSysHttpClientSink() = default;
};

// One HTTP request at a time over WinINet in asynchronous mode: a GET without a body, a POST of
// an XML record, or a multipart POST of one file. The response body goes to the sink once the
// request has finished.
//
// Threads: `SendRequest` runs on the caller's thread; the completion and the sink call run on
// WinINet's callback thread. The owner must not call `SendRequest` or delete the client while a
// request may complete, except from inside the sink's `OnFinish`.
class CSysHttpClient {
 public:
  // Result codes of `SendRequest`.
  static constexpr int kStarted = 0;
  static constexpr int kFailed = 10001;      // an option could not be set or the send failed
  static constexpr int kOpenFailed = 10005;  // WinINet open, connect or request creation failed
  static constexpr int kRefused = 10015;     // a request is still open, or the URL is unusable

  CSysHttpClient();
  ~CSysHttpClient();
  CSysHttpClient(const CSysHttpClient&) = delete;
  CSysHttpClient& operator=(const CSysHttpClient&) = delete;

  // Starts a request. An empty `content` gives a GET; an empty `fileName` sends `content` as it
  // is ("Content-Type:text/xml"), otherwise `content` goes as the file part `fileName` of a
  // multipart form. Returns kStarted, after which `sink` is called exactly once, or a failure
  // code, after which it is not called.
  int SendRequest(const std::string& url, const std::string& content, const std::string& fileName,
                  CSysHttpClientSink* sink);

  // Connect, send and receive timeouts in milliseconds for the requests that follow (30000 by
  // default), so that a peer that stops answering ends the request with a failure.
  void SetTimeout(unsigned long milliseconds) { timeout_ms_ = milliseconds; }

  // Called by the WinINet status callback for a request of this client: `async_ok` and `error`
  // are the result of the operation that completed.
  void OnRequestComplete(bool async_ok, unsigned long error);

 private:
  int Send();
  void ReadBody();
  // Appends the bytes of the last read; on failure ends the request and returns false.
  bool AppendRead();
  void Finish(bool ok);
  void CloseHandles();

  void* session_ = nullptr;
  void* connection_ = nullptr;
  void* request_ = nullptr;
  // True from a successful start until just before the sink is called.
  std::atomic<bool> busy_{false};

  std::string body_;
  std::string header_;
  std::string host_;
  int port_ = 0;
  std::string path_;
  bool secure_ = false;
  bool multipart_ = false;
  unsigned long timeout_ms_ = 30000;

  // Filled by WinINet on its thread, read in the next completion.
  char* read_buffer_ = nullptr;
  unsigned long bytes_read_ = 0;
  bool read_pending_ = false;
  bool status_ok_ = false;
  long long announced_length_ = -1;  // Content-Length of the answer; -1 when it has none.

  std::string response_;
  CSysHttpClientSink* sink_ = nullptr;
};
