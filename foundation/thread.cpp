#include "foundation/thread.h"

#include <windows.h>

#include <cstring>

#include "foundation/thread_testing.h"

namespace {

// The current-thread slot: every CxThread body stores its object here when it begins.
// Allocated during static initialisation, before the program's entry code runs.
const DWORD g_current_thread_slot = TlsAlloc();

std::atomic<int> g_failing_thread_creations{0};

void Trace(const char* word) {
  char line[320];
  std::strcpy(line, "-------------------------------\r\n");
  std::strncat(line, word, 256);
  std::strcat(line, "\r\n");
  OutputDebugStringA(line);
}

// The record of the debugger's thread-naming exception.
#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;  // 4096
  LPCSTR name;
  DWORD thread_id;
  DWORD flags;
};
#pragma pack(pop)

constexpr DWORD kSetThreadNameException = 0x406D1388;

// Debuggers read the name from the first-chance notification; this handler then lets the
// raising thread carry on, so the exception is raised and ignored without SEH frames.
LONG CALLBACK IgnoreThreadNameException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kSetThreadNameException) {
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void NameThreadForDebugger(DWORD thread_id, HANDLE thread, const std::string& name) {
  if (name.empty()) return;
  // Newer systems keep the name with the thread; older ones lack the function.
  using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description =
      reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set_description && thread) {
    std::wstring wide(name.begin(), name.end());
    set_description(thread, wide.c_str());
  }
  if (!IsDebuggerPresent()) return;
  static PVOID handler = AddVectoredExceptionHandler(0, IgnoreThreadNameException);
  (void)handler;
  ThreadNameInfo info{4096, name.c_str(), thread_id, 0};
  RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&info));
}

}  // namespace

namespace foundation::testing {

void FailNextThreadCreations(int count) { g_failing_thread_creations.store(count); }

}  // namespace foundation::testing

// ---------------------------------------------------------------------------------------------

namespace UiLib {

Exception::Exception(const char* message) {
  const char* text = message ? message : "Exception";
  std::strncpy(message_, text, sizeof(message_) - 1);
  message_[sizeof(message_) - 1] = '\0';
}

}  // namespace UiLib

// ---------------------------------------------------------------------------------------------

CxCondition::CxCondition(CxLock& lock)
    : lock_(lock), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CxCondition::~CxCondition() = default;

void CxCondition::Signal() { SetEvent(event_.Get()); }

void CxCondition::Wait(unsigned long timeout_ms) {
  ResetEvent(event_.Get());
  lock_.Unlock();
  const DWORD result = WaitForSingleObject(event_.Get(), timeout_ms);
  lock_.Lock();
  if (result == WAIT_FAILED) throw UiLib::Exception("failed to wait on Condition");
}

// ---------------------------------------------------------------------------------------------

CxThread::CxThread() : condition_(lock_), wake_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  CreateSystemThread();
  Trace("created");
}

CxThread::~CxThread() {
  Trace("destroying");
  if (!delete_after_run_.load()) Join();
  // A system thread that was never resumed would otherwise stay suspended, with its stack,
  // until the process ends. Let it run just far enough to return: terminating a thread that is
  // still being set up can bring the whole process down (seen under Wine).
  if (thread_.IsValid() && !resumed_) {
    abandoned_.store(true);
    // Bounded like Join: a thread that starts needs the loader lock, which a caller inside
    // DllMain holds. Only then is it ended the hard way, before it can reach this object.
    if (ResumeThread(thread_.Get()) == static_cast<DWORD>(-1) ||
        WaitForSingleObject(thread_.Get(), 5000) != WAIT_OBJECT_0) {
      TerminateThread(thread_.Get(), 0);
    }
  }
  Trace("destroyed");
}

void CxThread::CreateSystemThread() {
  thread_.Close();
  thread_id_.store(0);
  resumed_ = false;
  if (g_failing_thread_creations.load() > 0) {
    g_failing_thread_creations.fetch_sub(1);
    return;
  }
  DWORD id = 0;
  thread_.Reset(CreateThread(nullptr, 0, &CxThread::ThreadEntry, this, CREATE_SUSPENDED, &id));
  if (thread_.IsValid()) thread_id_.store(id);
}

void CxThread::NameSystemThread() {
  NameThreadForDebugger(thread_id_.load(), thread_.Get(), name_);
}

unsigned long __stdcall CxThread::ThreadEntry(void* param) {
  auto* self = static_cast<CxThread*>(param);
  if (self->abandoned_.load()) return 0;  // destroyed before it was ever started
  TlsSetValue(g_current_thread_slot, self);
  Trace("started");
  self->SetRunning(true);
  try {
    self->Run();
  } catch (const std::exception& e) {
    Trace(e.what());
  } catch (...) {
    Trace("unknown exception in thread body");
  }
  self->SetRunning(false);
  Trace("stopped");
  bool delete_after_run = false;
  {
    CxAutoLock guard(self->lock_);
    self->state_ = kFinished;
    self->condition_.Signal();
    delete_after_run = self->delete_after_run_.load();
  }
  TlsSetValue(g_current_thread_slot, nullptr);
  if (delete_after_run) delete self;
  return 0;
}

void CxThread::Run() {}

void CxThread::Start() {
  CxAutoLock guard(lock_);
  if (state_ != kCreated || !thread_.IsValid() || resumed_) return;
  state_ = kStarted;
  condition_.Signal();
  SetQuit(false);
  NameSystemThread();
  if (ResumeThread(thread_.Get()) == static_cast<DWORD>(-1)) {
    state_ = kCreated;
    return;
  }
  resumed_ = true;
}

void CxThread::Join() {
  try {
    JoinOrThrow();
  } catch (const UiLib::Exception& e) {
    Trace(e.what());
  }
}

void CxThread::JoinOrThrow() {
  if (delete_after_run_.load()) {
    throw UiLib::Exception("attempt to join() with deleteAfterRun thread");
  }
  if (GetCurrentThreadId() == thread_id_.load()) {
    throw UiLib::Exception("attempt to join() a thread from itself");
  }
  bool body_returned = false;
  {
    CxAutoLock guard(lock_);
    if (state_ == kJoined) {
      Trace("already joined");
      return;
    }
    Trace("joining");
    while (state_ == kStarted) {
      condition_.Wait(INFINITE);
      Trace("checking");
    }
    body_returned = state_ == kFinished;
    state_ = kJoined;
    Trace("joined");
  }
  // The body has returned, but its thread may still be leaving the entry function, which
  // touches this object's lock last. Let it go before the caller destroys the object. The
  // wait is bounded because a thread that ends needs the loader lock, which a caller inside
  // DllMain holds.
  if (body_returned) WaitForSingleObject(thread_.Get(), 5000);
}

void CxThread::Kill() {
  {
    CxAutoLock guard(lock_);
    if (thread_.IsValid()) TerminateThread(thread_.Get(), 0);
    SetRunning(false);
    CreateSystemThread();
    state_ = kCreated;
  }
  Start();
}

void CxThread::SetQuit(bool quit) {
  quit_.store(quit);
  SetEvent(wake_event_.Get());
}

int CxThread::GetState() {
  CxAutoLock guard(lock_);
  return state_;
}

void CxThread::SetThreadName(const std::string& name) {
  CxAutoLock guard(lock_);
  name_ = name;
}

bool CxThread::WaitForWake(unsigned long timeout_ms) {
  if (WaitForSingleObject(wake_event_.Get(), timeout_ms) != WAIT_OBJECT_0) return false;
  ResetEvent(wake_event_.Get());
  return true;
}

CxThread* CxThread::CurrentThreadObject() {
  return static_cast<CxThread*>(TlsGetValue(g_current_thread_slot));
}
