#pragma once

// CVersionCheck: one update check of the settings window. It posts the program's product
// identifier and version as JSON to "https://<server>/?cmd=update" on a thread of its own and
// reads the reply {"code": n, "version": {"main": .., "minor": .., "revision": .., "build": ..}}.
//
// Each check owns its state (shared between the window and the thread), so a window that
// closes while the check runs leaves the thread nothing of its own to write; the thread posts
// its message to the window only while the window has not detached. Certificates are checked.
//
// Threads: Start and Detach on the UI thread; the thread writes the result before it posts
// the message, and the UI thread reads it after the message arrived.

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

class CVersionCheck : public std::enable_shared_from_this<CVersionCheck> {
 public:
  // What the reply gave: `answered` is false after a failed transfer, an HTTP status other
  // than 200 or a reply that is not a JSON object; then nothing else is set.
  struct Result {
    bool answered = false;
    int status = 0;
    int version[4] = {0, 0, 0, 0};
  };

  // The whole transfer may take this long.
  static constexpr long kTimeoutSeconds = 5;
  // A longer reply is not an answer.
  static constexpr size_t kMaxReplyBytes = 64 * 1024;

  // `version` is the program's version (main, minor, revision, build), sent with the request
  // and kept in the result when the reply has none.
  CVersionCheck(HWND window, UINT message, const std::string& server, const int version[4]);

  // Starts the thread; false when it cannot start. Returns its identifier in *threadId.
  bool Start(unsigned* threadId);
  // The window goes: no message is posted from now on.
  void Detach();
  // Valid after the message arrived.
  const Result& GetResult() const { return result; }

  // The request body: {"dev":"TarvoZentavo.Windows","version":{"main":..,...}}.
  static std::string BuildRequest(const int version[4]);
  // Reads a reply into *result (see Result); false when it is not a JSON object.
  static bool ParseReply(const std::string& reply, const int version[4], Result* result);

  // Tests: how many checks have ended (counted after their message was posted, or dropped).
  static int EndedChecksForTest();

 private:
  static DWORD WINAPI ThreadMain(void* context);
  void Run();

  HWND window;
  UINT message;
  std::string server;
  int sentVersion[4];
  Result result;
  std::mutex lock;  // guards `window` against Detach while the thread posts
};
