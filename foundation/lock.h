#pragma once

#include <string>

// CxLock: a re-entrant lock that is either a critical section (the default) or a mutex.
// The mutex form can be turned into a named mutex that other processes (also of other users)
// open by the same name; the shared-memory channel uses that to guard its mapping.
// CxAutoLock takes a CxLock for one scope.
//
// Lock and Unlock may be called from any thread; the owning thread may take the lock again.
// CreateNamedMutex must not race with Lock/Unlock: call it while no thread uses the lock.
class CxLock {
 public:
  // |use_mutex| true: an unnamed mutex; false: a critical section (spin count 4000).
  explicit CxLock(bool use_mutex = false);
  ~CxLock();

  CxLock(const CxLock&) = delete;
  CxLock& operator=(const CxLock&) = delete;

  void Lock();
  void Unlock();

  // Turns the lock into the named mutex |name|, creating it or opening the existing one. Its
  // security descriptor has a NULL DACL, so processes of any user may open it. Returns false
  // when the mutex could not be created or opened; the lock then stays a usable lock of this
  // process only (a critical section) and the caller should refuse to share anything with it.
  bool CreateNamedMutex(const std::wstring& name);

  // True while the lock is backed by a mutex (unnamed or named).
  bool IsMutex() const { return mutex_ != nullptr; }

 private:
  void InitCriticalSection();
  void DeleteCriticalSection();
  void* CriticalSection();

  bool use_mutex_;
  void* mutex_ = nullptr;  // HANDLE; the lock is a critical section while this is null.
  bool critical_section_ready_ = false;
  // Storage for a CRITICAL_SECTION, kept opaque so that this header needs no <windows.h>.
  alignas(8) unsigned char critical_section_[40];
};

// Holds a CxLock from construction to destruction.
class CxAutoLock {
 public:
  explicit CxAutoLock(CxLock& lock) : lock_(lock) { lock_.Lock(); }
  explicit CxAutoLock(CxLock* lock) : CxAutoLock(*lock) {}
  ~CxAutoLock() { lock_.Unlock(); }

  CxAutoLock(const CxAutoLock&) = delete;
  CxAutoLock& operator=(const CxAutoLock&) = delete;

 private:
  CxLock& lock_;
};
