#include "devices/av_task_thread.h"

#include "devices/av_log.h"

CxTaskThread::CxTaskThread(std::function<void()> body, const std::string& name)
    : body_(std::move(body)) {
  SetThreadName(name);
}

CxTaskThread::~CxTaskThread() {
  SetQuit(true);
  Join();
}

void CxTaskThread::Run() {
  if (!body_) return;
  // Nothing may leave a thread entry.
  try {
    body_();
  } catch (const std::exception& e) {
    AvLog("task thread ended by an exception: %s", e.what());
  } catch (...) {
    AvLog("task thread ended by an unknown exception");
  }
}
