#include "foundation/lock.h"

#include <windows.h>

static_assert(sizeof(CRITICAL_SECTION) <= 40, "CxLock's critical-section storage is too small");

namespace {

// Spin count 4000 with the high bit that pre-allocates the wait event.
constexpr DWORD kSpinCountWithPreallocatedEvent = 0x80000FA0;

}  // namespace

CxLock::CxLock(bool use_mutex) : use_mutex_(use_mutex) {
  if (use_mutex_) {
    mutex_ = CreateMutexW(nullptr, FALSE, nullptr);
  }
  // A mutex that could not be created falls back to the critical section, so Lock never
  // works on nothing.
  if (!mutex_) InitCriticalSection();
}

CxLock::~CxLock() {
  if (mutex_) CloseHandle(mutex_);
  DeleteCriticalSection();
}

void* CxLock::CriticalSection() { return critical_section_; }

void CxLock::InitCriticalSection() {
  if (critical_section_ready_) return;
  InitializeCriticalSectionAndSpinCount(static_cast<CRITICAL_SECTION*>(CriticalSection()),
                                        kSpinCountWithPreallocatedEvent);
  critical_section_ready_ = true;
}

void CxLock::DeleteCriticalSection() {
  if (!critical_section_ready_) return;
  ::DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(CriticalSection()));
  critical_section_ready_ = false;
}

void CxLock::Lock() {
  if (mutex_) {
    // WAIT_ABANDONED still hands over ownership: the peer that held it died.
    WaitForSingleObject(mutex_, INFINITE);
  } else {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(CriticalSection()));
  }
}

void CxLock::Unlock() {
  if (mutex_) {
    ReleaseMutex(mutex_);
  } else {
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(CriticalSection()));
  }
}

bool CxLock::CreateNamedMutex(const std::wstring& name) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = &descriptor;
  attributes.bInheritHandle = TRUE;

  HANDLE named = CreateMutexW(&attributes, FALSE, name.c_str());
  if (!named) {
    // Creating fails with access denied when another user made it; opening may still work.
    named = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  }
  if (!named) {
    if (mutex_) {
      CloseHandle(mutex_);
      mutex_ = nullptr;
    }
    InitCriticalSection();
    return false;
  }
  if (mutex_) CloseHandle(mutex_);
  mutex_ = named;
  use_mutex_ = true;
  DeleteCriticalSection();
  return true;
}
