#pragma once

#include <cjson/cJSON.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/orvim/common/socket_writer.h"
#include "platform/orvim/common/wire.h"

namespace orvim::sdk {

// What a service is told about its session. Called on the session's reader thread.
class SessionDelegate {
 public:
  // A signalling message from the server (login_result included, after the session has taken
  // its participant id).
  virtual void OnSessionMessage(const void* session, const cJSON* message) = 0;
  virtual void OnSessionMedia(const void* session, InMessage message) = 0;
  // The login could not be made (no server, or the server refused it). The session has ended.
  virtual void OnSessionLoginFailed(const void* session, int code, const std::string& message) = 0;
  // The connection broke and came back within the reconnect window.
  virtual void OnSessionResumed(const void* session) = 0;
  // The connection broke and did not come back; the session has ended.
  virtual void OnSessionLost(const void* session) = 0;

 protected:
  ~SessionDelegate() = default;
};

// One login to the room server: a connection (reader and writer threads), the login, and the
// reconnection after a broken connection (resume within |reconnect_window_ms|).
//
// Thread-safe. The reader thread owns the connection; Send may be called from any thread.
class Session {
 public:
  struct Login {
    std::string conf_id;
    std::string user_name;
    std::string user_id;
    std::string cid;
    std::string sid;
    std::string extra;
  };

  Session(std::string address, Login login, SessionDelegate* delegate, const ThreadHooks& hooks,
          int reconnect_window_ms);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Queues a signalling message. While the connection is being made again it waits for the
  // new one; after the session has ended it is dropped.
  void SendJson(const std::string& json);
  // Queues a media message; dropped while there is no connection. False when dropped.
  bool SendMedia(OutMessage message);
  // Sends "leave" and ends the session without reconnecting. Does not wait.
  void Leave();
  // Ends the session at once and joins its threads.
  void Stop();
  // True once the reader thread has ended.
  bool Finished() const { return finished_.load(); }
  // True once the server accepted the login (until the session ends).
  bool Joined() const { return joined_.load(); }

  std::string participant_id() const;
  const Login& login() const { return login_; }
  const std::string& address() const { return address_; }

 private:
  struct Link {
    ScopedSocket socket;
    std::unique_ptr<SocketWriter> writer;
  };

  void Run();
  // Reads until the connection ends; false when it ended without a leave, stop or goodbye.
  bool ReadLoop(SOCKET socket);
  std::unique_ptr<Link> Connect(const std::string& first_message, cJSON** answer);
  bool Reconnect();
  void InstallLink(std::unique_ptr<Link> link);
  void DropLink();
  bool WaitOrStop(int ms);

  const std::string address_;
  const Login login_;
  SessionDelegate* const delegate_;
  const ThreadHooks hooks_;
  const int reconnect_window_ms_;

  mutable std::mutex mutex_;  // Protects everything below up to |thread_|.
  std::condition_variable wake_;
  std::unique_ptr<Link> link_;
  std::deque<std::string> pending_json_;  // Signalling held while reconnecting.
  std::string participant_id_;
  std::string token_;
  bool leaving_ = false;
  bool stopping_ = false;
  bool said_goodbye_ = false;  // The server ends this session (kick, room gone).
  std::atomic<bool> joined_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace orvim::sdk
