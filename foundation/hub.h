#pragma once

#include "foundation/bus.h"
#include "foundation/task_thread.h"
#include "foundation/thread_bus.h"

// The idle callback the browser library calls from the program's main message loop.
class CxIdle {
 public:
  virtual void OnIdle() = 0;

 protected:
  ~CxIdle() = default;
};

// CxAdapter: the process-wide hub. It owns the client's bus (CxBusCast), the per-thread bus
// (CxSBus) and one UI task thread (CxUiThead) whose system thread is never started: its
// queued tasks run on the main thread whenever the browser library's message loop calls the
// hub as its idle hook (OnIdle). Tasks posted from any thread to GetUiThread() therefore run on
// the main thread, in order.
class CxAdapter : public CxIdle {
 public:
  CxAdapter();
  ~CxAdapter();

  CxAdapter(const CxAdapter&) = delete;
  CxAdapter& operator=(const CxAdapter&) = delete;

  // The process-wide hub, created during static initialisation and destroyed at exit.
  static CxAdapter& Instance();

  // Runs the queued tasks of the UI task thread on the calling thread: all of them, including
  // tasks they post, while the run-all flag is set (the default), else one. Never throws.
  void OnIdle() override;
  void SetRunAll(bool run_all) { run_all_ = run_all; }

  CxBusCast& GetBusCast() { return bus_cast_; }
  CxSBus& GetSBus() { return sbus_; }
  CxUiThead& GetUiThread() { return ui_thread_; }

 private:
  bool run_all_ = true;
  CxSBus sbus_;
  CxBusCast bus_cast_;
  CxUiThead ui_thread_;
};

// The client's bus: the hub's CxBusCast. Thread-safe.
CxBusCast& GetMessageBus();
