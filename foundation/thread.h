#pragma once

#include <atomic>
#include <exception>
#include <string>

#include "foundation/handle.h"
#include "foundation/lock.h"

// The thread base class of the client and of Morlun's engines, with its condition and the
// exception type the thread classes use inside themselves.

namespace UiLib {

// The thread classes' own exception. It never leaves them: their public operations catch it
// and trace its text to the debugger output.
class Exception : public std::exception {
 public:
  // Keeps at most 255 characters of |message|; "Exception" when none is given.
  explicit Exception(const char* message = nullptr);
  const char* what() const noexcept override { return message_; }

 private:
  char message_[256];
};

}  // namespace UiLib

// The condition of one thread object: waits for a state change made under the thread's lock.
class CxCondition {
 public:
  explicit CxCondition(CxLock& lock);
  ~CxCondition();

  CxCondition(const CxCondition&) = delete;
  CxCondition& operator=(const CxCondition&) = delete;

  // Wakes the threads waiting in Wait. Call with the lock held.
  void Signal();

  // Call with the lock held: releases it, waits up to |timeout_ms| (0xFFFFFFFF: forever) for
  // Signal, and takes it again. A time-out returns normally; a failed wait throws
  // UiLib::Exception("failed to wait on Condition").
  void Wait(unsigned long timeout_ms);

 private:
  CxLock& lock_;
  CxHandle event_;  // Manual reset; set by Signal, cleared by Wait before it releases the lock.
};

// CxThread: one operating-system thread that runs the virtual body `Run` once.
//
// The system thread is created suspended by the constructor and resumed by `Start`.
// States: 0 created → Start → 1 started → body returns → 2 finished → Join → 3 joined;
// `Kill` returns any state to 0 with a fresh system thread and starts it again.
//
// Bodies poll `GetQuit()` and end when it is set; `SetQuit` also sets the wake event, so a body
// waiting in `WaitForWake` wakes up at once.
//
// Thread contract: Start, Join, Kill and SetQuit may be called from any thread; state changes
// happen under the object's lock, and `Run` is called without it.
//
// WARNING: the base destructor joins, but by then the derived part is already destroyed. A
// class whose `Run` uses its own members must stop the body (SetQuit(true), Join) in its own
// destructor.
//
// With the delete-after-run flag set, the object must come from `new`: the thread deletes it
// when the body returns, and it can never be joined.
class CxThread {
 public:
  enum State { kCreated = 0, kStarted = 1, kFinished = 2, kJoined = 3 };

  CxThread();
  virtual ~CxThread();

  CxThread(const CxThread&) = delete;
  CxThread& operator=(const CxThread&) = delete;

  // The thread body; empty in the base.
  virtual void Run();
  // Resumes the system thread, once; later calls do nothing. A thread whose system thread
  // could not be created stays in state 0.
  virtual void Start();
  // Waits until the body has returned, then marks the thread joined. Returns at once for a
  // thread that never started (also when its system thread could not be created), when it is
  // already joined, for a self-deleting thread, and when called from the thread itself.
  virtual void Join();
  // Terminates the system thread (TerminateThread: whatever it holds stays held), creates a
  // fresh suspended one and starts it.
  virtual void Kill();
  // Stores the quit flag and sets the wake event. Thread-safe.
  virtual void SetQuit(bool quit);

  bool GetQuit() const { return quit_.load(); }
  unsigned long GetThreadId() const { return thread_id_.load(); }
  int GetState();
  bool IsRunning() const { return running_.load(); }
  void SetRunning(bool running) { running_.store(running); }

  // Call before Start. See the class comment.
  void SetDeleteAfterRun(bool delete_after_run) { delete_after_run_.store(delete_after_run); }
  bool GetDeleteAfterRun() const { return delete_after_run_.load(); }

  // Name shown by debuggers ("subsystem: role"); given to the system thread at Start and Kill.
  void SetThreadName(const std::string& name);

  // The wake event (manual reset): set by SetQuit. Bodies may wait on it themselves.
  void* GetWakeEvent() const { return wake_event_.Get(); }
  // For bodies: waits up to |timeout_ms| for the wake event and clears it. Returns true when
  // it was set, false on time-out.
  bool WaitForWake(unsigned long timeout_ms);

  // The CxThread object whose body runs on the calling thread, or null on other threads.
  static CxThread* CurrentThreadObject();

 protected:
  CxLock& GetLock() { return lock_; }
  CxCondition& GetCondition() { return condition_; }

 private:
  static unsigned long __stdcall ThreadEntry(void* param);
  // Creates the suspended system thread; leaves no handle behind when that fails.
  void CreateSystemThread();
  void NameSystemThread();
  void JoinOrThrow();

  CxHandle thread_;
  int state_ = kCreated;  // Protected by |lock_|.
  bool resumed_ = false;  // The system thread was resumed. Protected by |lock_|.
  // Set by the destructor of a thread that was never started: the entry returns at once.
  std::atomic<bool> abandoned_{false};
  CxLock lock_;            // Protects |state_|, |resumed_|, |thread_| and |name_|.
  CxCondition condition_;  // Signalled when |state_| changes.
  std::atomic<unsigned long> thread_id_{0};
  CxHandle wake_event_;
  std::string name_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> delete_after_run_{false};
};
