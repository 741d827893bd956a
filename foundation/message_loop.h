#pragma once

#include <vector>

struct tagMSG;

// Offered each message before it is translated and dispatched; returns true when it consumed
// the message.
class CxMessageFilter {
 public:
  virtual bool PreTranslateMessage(tagMSG* msg) = 0;

 protected:
  ~CxMessageFilter() = default;
};

// Called when the message queue has run dry; returns true while it has more idle work.
class CxIdleHandler {
 public:
  virtual bool OnIdle() = 0;

 protected:
  ~CxIdleHandler() = default;
};

// CxMessageLoop: the message filters and idle handlers of one thread's message loop, and a
// plain loop (Run) that serves them. Filters and handlers are not owned. Use it on the thread
// whose messages it serves only.
class CxMessageLoop {
 public:
  CxMessageLoop() = default;
  virtual ~CxMessageLoop() = default;

  CxMessageLoop(const CxMessageLoop&) = delete;
  CxMessageLoop& operator=(const CxMessageLoop&) = delete;

  // Adding a filter or handler twice adds it once; removing returns false when it was absent.
  bool AddMessageFilter(CxMessageFilter* filter);
  bool RemoveMessageFilter(CxMessageFilter* filter);
  bool AddIdleHandler(CxIdleHandler* handler);
  bool RemoveIdleHandler(CxIdleHandler* handler);

  // Asks the filters from the last added to the first; the first that accepts the message
  // consumes it (true).
  virtual bool PreTranslateMessage(tagMSG* msg);
  // Calls every idle handler in order. Returns false: one idle step does all the idle work.
  virtual bool OnIdle(int idle_count);

  // Gets, filters, translates and dispatches messages until WM_QUIT, running the idle step
  // whenever the queue runs dry after a message that counts (IsIdleMessage). Returns WM_QUIT's
  // wParam.
  int Run();

  // False for the frequent messages that are no reason to run the idle step again (mouse
  // moves, WM_PAINT and the caret timer 0x0118).
  static bool IsIdleMessage(const tagMSG* msg);

 private:
  std::vector<CxMessageFilter*> filters_;
  std::vector<CxIdleHandler*> idle_handlers_;
};
