#include "foundation/task_thread.h"

#include <windows.h>

#include <exception>
#include <string>
#include <utility>

// ---------------------------------------------------------------------------------------------
// CxSbThread

CxSbThread::CxSbThread() : task_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CxSbThread::~CxSbThread() = default;

void CxSbThread::PostTask(CxTask task) {
  CxAutoLock guard(queue_lock_);
  tasks_.push_back(std::move(task));
  SetEvent(task_event_.Get());
}

CxTask CxSbThread::PopTask() {
  CxAutoLock guard(queue_lock_);
  if (tasks_.empty()) {
    ResetEvent(task_event_.Get());
    return CxTask();
  }
  CxTask task = std::move(tasks_.front());
  tasks_.pop_front();
  if (tasks_.empty()) ResetEvent(task_event_.Get());
  return task;
}

void CxSbThread::Stop() {
  SetQuit(true);
  SetEvent(task_event_.Get());
  Join();
}

void CxSbThread::SetStartHook(CxTask hook) {
  CxAutoLock guard(queue_lock_);
  start_hook_ = std::move(hook);
}

void CxSbThread::SetStopHook(CxTask hook) {
  CxAutoLock guard(queue_lock_);
  stop_hook_ = std::move(hook);
}

void CxSbThread::SetExitHook(CxTask hook) {
  CxAutoLock guard(queue_lock_);
  exit_hook_ = std::move(hook);
}

CxTask CxSbThread::GetStartHook() {
  CxAutoLock guard(queue_lock_);
  return start_hook_;
}

CxTask CxSbThread::GetStopHook() {
  CxAutoLock guard(queue_lock_);
  return stop_hook_;
}

CxTask CxSbThread::GetExitHook() {
  CxAutoLock guard(queue_lock_);
  return exit_hook_;
}

void CxSbThread::RunTask(const CxTask& task) {
  if (!task) return;
  try {
    task();
  } catch (const std::exception& e) {
    OutputDebugStringA((std::string("task failed: ") + e.what() + "\r\n").c_str());
  } catch (...) {
    OutputDebugStringA("task failed with an unknown exception\r\n");
  }
}

// ---------------------------------------------------------------------------------------------
// CxUiThead

CxUiThead::CxUiThead() = default;

CxUiThead::~CxUiThead() { Stop(); }

bool CxUiThead::RunOneTask() {
  CxTask task = PopTask();
  if (!task) return false;
  RunTask(task);
  return true;
}

void CxUiThead::RunQueuedTasks() {
  if (run_all_tasks_) {
    while (RunOneTask()) {
    }
  } else {
    RunOneTask();
  }
}

void CxUiThead::Run() {
  RunTask(GetStartHook());
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // Gives this thread its message queue.

  HANDLE task_event = GetTaskEvent();
  for (;;) {
    const DWORD timeout = idle_pending_ ? 0 : GetWaitTimeout();
    if (GetQuit()) break;
    const DWORD woke = MsgWaitForMultipleObjects(1, &task_event, FALSE, timeout, QS_ALLINPUT);
    if (GetQuit()) break;

    if (woke == WAIT_TIMEOUT) {
      if (idle_pending_ && !OnIdle(idle_count_++)) idle_pending_ = false;
    } else if (woke == WAIT_OBJECT_0 + 1) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          SetQuit(true);
          break;
        }
        RunQueuedTasks();
        if (!PreTranslateMessage(&msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        if (IsIdleMessage(&msg)) {
          idle_pending_ = true;
          idle_count_ = 0;
        }
      }
    } else if (woke == WAIT_OBJECT_0) {
      RunOneTask();
    } else {
      break;  // The wait itself failed: nothing can wake this loop any more.
    }
  }

  RunTask(GetStopHook());
  RunTask(GetExitHook());
}
