#pragma once

#include <deque>
#include <functional>

#include "foundation/handle.h"
#include "foundation/lock.h"
#include "foundation/message_loop.h"
#include "foundation/thread.h"

// Task threads: CxSbThread is a thread object with a first-in, first-out queue of tasks;
// CxUiThead serves that queue, window messages and idle handlers on its own thread.
//
// Any thread may post tasks. A task runs on the thread that pops it: the task thread itself
// when it is started, or whoever calls RunOneTask (the hub runs its thread's tasks on the main
// thread from the browser library's idle hook, see foundation/hub.h). Tasks still queued when
// the thread object is destroyed are dropped without running. A task that throws is reported to
// the debugger output and the loop goes on.

using CxTask = std::function<void()>;

class CxSbThread : public CxThread {
 public:
  CxSbThread();
  ~CxSbThread() override;

  // Appends |task| and sets the task event. Thread-safe.
  void PostTask(CxTask task);
  // Removes and returns the first task; an empty task when the queue is empty. The task event
  // is cleared when the queue is (or becomes) empty. Thread-safe.
  CxTask PopTask();
  // Sets the quit flag, wakes the body and waits for it to end.
  void Stop();

  // Hooks the body of a derived class calls: at its start, at its end, and last of all. The
  // exit hook belongs to CxSBus::AttachThread. Thread-safe.
  void SetStartHook(CxTask hook);
  void SetStopHook(CxTask hook);
  void SetExitHook(CxTask hook);

  // Manual-reset event (HANDLE), set while tasks wait.
  void* GetTaskEvent() const { return task_event_.Get(); }
  // How long the loop waits for work before it looks at the quit flag again (100 ms).
  unsigned long GetWaitTimeout() const { return wait_timeout_ms_; }

 protected:
  // Copies of the hooks, taken under the queue lock.
  CxTask GetStartHook();
  CxTask GetStopHook();
  CxTask GetExitHook();
  // Runs |task| and keeps whatever it throws inside.
  static void RunTask(const CxTask& task);

 private:
  CxLock queue_lock_;  // Protects |tasks_| and the three hooks.
  std::deque<CxTask> tasks_;
  CxTask start_hook_;
  CxTask stop_hook_;
  CxTask exit_hook_;
  CxHandle task_event_;
  unsigned long wait_timeout_ms_ = 100;
};

// CxUiThead: a task thread whose body is a Windows message loop. Each turn it waits for a
// task, a message or the time-out; it runs the idle handlers while idle work is pending, runs
// queued tasks before each message it dispatches, and leaves on WM_QUIT or the quit flag,
// calling the stop hook and then the exit hook.
class CxUiThead : public CxSbThread, public CxMessageLoop {
 public:
  CxUiThead();
  // Stops the loop (if it runs) before the members it uses go away.
  ~CxUiThead() override;

  void Run() override;

  // Pops one task and runs it on the calling thread; false when the queue was empty.
  bool RunOneTask();

  // Whether a message turn runs all queued tasks (the default) or one.
  void SetRunAllTasks(bool run_all) { run_all_tasks_ = run_all; }

 private:
  void RunQueuedTasks();

  // Used by the loop's own thread only.
  bool idle_pending_ = true;
  int idle_count_ = 0;
  bool run_all_tasks_ = true;
};
