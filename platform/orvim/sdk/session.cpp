#include "platform/orvim/sdk/session.h"

#include <chrono>
#include <utility>

#include "platform/orvim/common/json.h"

namespace orvim::sdk {

namespace {

constexpr size_t kMaxQueuedMediaBytes = 12u * 1024u * 1024u;
constexpr int kRetryPauseMs = 100;
// The server sends a heartbeat every 500 ms; a connection silent for this long is taken as
// broken (a server that went away without closing its side).
constexpr DWORD kLinkSilenceMs = 3000;
// A write that a hung server leaves waiting in a full connection fails after this long, so that
// the dropped link's writer ends (a shutdown does not end a waiting write under Wine).
constexpr DWORD kStalledWriteMs = 10000;

}  // namespace

Session::Session(std::string address, Login login, SessionDelegate* delegate,
                 const ThreadHooks& hooks, int reconnect_window_ms)
    : address_(std::move(address)),
      login_(std::move(login)),
      delegate_(delegate),
      hooks_(hooks),
      reconnect_window_ms_(reconnect_window_ms) {
  ThreadHooks thread_hooks = hooks;
  const auto on_exit = hooks.on_exit;
  thread_hooks.on_exit = [this, on_exit] {
    finished_.store(true);
    if (on_exit) on_exit();
  };
  thread_ = StartThread(L"orvim: session reader", thread_hooks, [this] { Run(); });
}

Session::~Session() { Stop(); }

void Session::SendJson(const std::string& json) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || leaving_ || finished_.load()) return;
  if (link_ && link_->writer) {
    link_->writer->Post(JsonMessage(json));
  } else {
    pending_json_.push_back(json);
  }
}

bool Session::SendMedia(OutMessage message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || leaving_ || !link_ || !link_->writer) return false;
  return link_->writer->Post(std::move(message));
}

void Session::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (leaving_ || stopping_) return;
  leaving_ = true;
  pending_json_.clear();
  if (link_ && link_->writer) {
    link_->writer->Post(JsonMessage("{\"op\":\"leave\"}"));
    link_->writer->Finish();
  } else if (link_) {
    shutdown(link_->socket.get(), SD_BOTH);
  }
  wake_.notify_all();
}

void Session::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    if (link_) shutdown(link_->socket.get(), SD_BOTH);
    wake_.notify_all();
  }
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  // The server answers the shutdown by closing its side, which ends a pending read. A server
  // that does not (hung, or stopped) gets its socket closed under the reader after a while.
  for (int i = 0; i < 200 && !finished_.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!finished_.load()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (link_) link_->socket.reset();
  }
  thread_.join();
}

std::string Session::participant_id() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return participant_id_;
}

void Session::Run() {
  JsonPtr request = NewObject();
  PutString(request.get(), "op", "login");
  PutString(request.get(), "conf_id", login_.conf_id);
  PutString(request.get(), "user_name", login_.user_name);
  PutString(request.get(), "user_id", login_.user_id);
  PutString(request.get(), "cid", login_.cid);
  PutString(request.get(), "sid", login_.sid);
  PutString(request.get(), "extra", login_.extra);
  PutString(request.get(), "platform", "windows");
  cJSON* raw_answer = nullptr;
  std::unique_ptr<Link> link = Connect(ToText(request.get()), &raw_answer);
  JsonPtr answer(raw_answer);
  if (!link) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ || leaving_) return;
    }
    delegate_->OnSessionLoginFailed(this, -1, "the room server cannot be reached");
    return;
  }
  if (!GetBool(answer.get(), "ok")) {
    delegate_->OnSessionLoginFailed(this, GetInt(answer.get(), "code", -1),
                                    GetString(answer.get(), "message", "login refused"));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const cJSON* me = cJSON_GetObjectItemCaseSensitive(answer.get(), "participant");
    participant_id_ = GetString(me, "id");
    token_ = GetString(answer.get(), "token");
  }
  joined_.store(true);
  const SOCKET socket = link->socket.get();
  InstallLink(std::move(link));
  delegate_->OnSessionMessage(this, answer.get());

  SOCKET current = socket;
  for (;;) {
    const bool clean = ReadLoop(current);
    DropLink();
    if (clean) break;
    if (!Reconnect()) {
      joined_.store(false);
      bool quiet = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        quiet = stopping_ || leaving_;
      }
      if (!quiet) delegate_->OnSessionLost(this);
      break;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      current = link_ ? link_->socket.get() : INVALID_SOCKET;
    }
    delegate_->OnSessionResumed(this);
  }
  joined_.store(false);
}

std::unique_ptr<Session::Link> Session::Connect(const std::string& first_message, cJSON** answer) {
  *answer = nullptr;
  ScopedSocket socket(ConnectTo(address_));
  if (!socket.valid()) return nullptr;
  // Every read of the connection, the answer below included, ends after that silence.
  const DWORD silence = kLinkSilenceMs;
  setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&silence),
             sizeof(silence));
  const DWORD stalled = kStalledWriteMs;
  setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&stalled),
             sizeof(stalled));
  auto link = std::make_unique<Link>();
  const SOCKET s = socket.get();
  link->socket = std::move(socket);
  {
    // Held in |link_| while the answer is awaited, so that Stop can end the wait.
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || leaving_) return nullptr;
    link_ = std::move(link);
  }
  bool ok = WriteMessage(s, JsonMessage(first_message));
  InMessage message;
  std::string error;
  ok = ok && ReadMessage(s, &message, &error) && message.type == kMessageJson;
  std::lock_guard<std::mutex> lock(mutex_);
  link = std::move(link_);
  if (!ok || stopping_ || leaving_) return nullptr;
  JsonPtr json = ParseObject(message.json());
  if (!json) return nullptr;
  *answer = json.release();
  return link;
}

void Session::InstallLink(std::unique_ptr<Link> link) {
  std::lock_guard<std::mutex> lock(mutex_);
  link->writer = std::make_unique<SocketWriter>(link->socket.get(), L"orvim: session writer", hooks_,
                                                kMaxQueuedMediaBytes);
  for (const std::string& json : pending_json_) link->writer->Post(JsonMessage(json));
  pending_json_.clear();
  link_ = std::move(link);
  if (stopping_) shutdown(link_->socket.get(), SD_BOTH);
  if (leaving_) {
    link_->writer->Post(JsonMessage("{\"op\":\"leave\"}"));
    link_->writer->Finish();
  }
}

void Session::DropLink() {
  std::unique_ptr<Link> link;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    link = std::move(link_);
  }
  if (!link) return;
  shutdown(link->socket.get(), SD_BOTH);
  if (link->writer) link->writer->Stop();
}

bool Session::ReadLoop(SOCKET socket) {
  for (;;) {
    InMessage message;
    std::string error;
    if (!ReadMessage(socket, &message, &error)) {
      std::lock_guard<std::mutex> lock(mutex_);
      return leaving_ || stopping_ || said_goodbye_;
    }
    if (message.type != kMessageJson) {
      delegate_->OnSessionMedia(this, std::move(message));
      continue;
    }
    JsonPtr json = ParseObject(message.json());
    if (!json) continue;
    const std::string op = GetString(json.get(), "op");
    if (op == "ping") continue;  // The server's heartbeat.
    if (op == "bye") {
      std::lock_guard<std::mutex> lock(mutex_);
      said_goodbye_ = true;
      continue;
    }
    delegate_->OnSessionMessage(this, json.get());
  }
}

bool Session::Reconnect() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(reconnect_window_ms_);
  JsonPtr request = NewObject();
  PutString(request.get(), "op", "resume");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    PutString(request.get(), "participant", participant_id_);
    PutString(request.get(), "token", token_);
  }
  const std::string text = ToText(request.get());
  while (std::chrono::steady_clock::now() < deadline) {
    cJSON* raw_answer = nullptr;
    std::unique_ptr<Link> link = Connect(text, &raw_answer);
    JsonPtr answer(raw_answer);
    if (link) {
      if (!GetBool(answer.get(), "ok")) return false;  // The server no longer knows us.
      InstallLink(std::move(link));
      return true;
    }
    if (!WaitOrStop(kRetryPauseMs)) return false;
  }
  return false;
}

bool Session::WaitOrStop(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_ || leaving_; });
}

}  // namespace orvim::sdk
