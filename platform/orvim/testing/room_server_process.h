#pragma once

#include <cstdint>
#include <string>

namespace orvim::testing {

// orvim_room_server.exe (beside the test program) as a child process. The server ends with
// this object (or when Kill is called).
class RoomServerProcess {
 public:
  RoomServerProcess() = default;
  ~RoomServerProcess();
  RoomServerProcess(const RoomServerProcess&) = delete;
  RoomServerProcess& operator=(const RoomServerProcess&) = delete;

  // Starts the server on |port| (0: a free one), with |options| after the port, and reads the
  // port it prints. False when it did not start or print within a few seconds.
  bool Start(uint16_t port = 0, const std::wstring& options = std::wstring());
  // Ends the process at once (as a crash would) and waits for it.
  void Kill();
  // Stops every thread of the server until Resume, as a hung server: its connections stay
  // open, nothing on them is read or answered. False when the process could not be stopped.
  bool Suspend();
  bool Resume();
  bool running() const { return process_ != nullptr; }
  uint16_t port() const { return port_; }
  // "127.0.0.1:<port>".
  std::string address() const;

 private:
  void* process_ = nullptr;  // HANDLE, owned.
  uint16_t port_ = 0;
};

}  // namespace orvim::testing
