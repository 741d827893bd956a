#pragma once

#include <functional>
#include <string>

#include "foundation/thread.h"

// A CxThread whose body calls one stored function once. The engine builds one for each run of
// its demux, decode and pacing loops; the function itself watches the engine's running flags,
// and the owner stops it by clearing them, then calls SetQuit(true) and Join.
class CxTaskThread : public CxThread {
 public:
  CxTaskThread(std::function<void()> body, const std::string& name);
  // Joins the body before the stored function goes away.
  ~CxTaskThread() override;

  void Run() override;

 private:
  std::function<void()> body_;
};
