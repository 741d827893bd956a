#include "foundation/lock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/handle.h"
#include "tests/support/test_process.h"

namespace {

// Increments |counter| without atomics: only the lock keeps the total right.
void AddUnderLock(CxLock& lock, volatile long& counter, int times) {
  for (int i = 0; i < times; ++i) {
    CxAutoLock guard(lock);
    const long value = counter;
    if (i % 64 == 0) SwitchToThread();
    counter = value + 1;
  }
}

}  // namespace

TEST(LockTest, BothFormsSerialiseThreadsAndAreReentrant) {
  for (bool use_mutex : {false, true}) {
    SCOPED_TRACE(use_mutex ? "mutex" : "critical section");
    CxLock lock(use_mutex);
    EXPECT_EQ(lock.IsMutex(), use_mutex);
    volatile long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] { AddUnderLock(lock, counter, 5000); });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 20000);

    CxAutoLock outer(lock);
    CxAutoLock inner(lock);  // The owner takes it again without blocking.
  }
}

TEST(LockTest, NamedMutexIsSharedWithAnotherProcess) {
  const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
  const std::wstring mutex_name = L"Global\\mutex-TarvoLockTest_" + suffix;
  const std::wstring counter_name = L"Local\\TarvoLockTestCounter_" + suffix;

  CxLock lock;  // A critical section until it becomes the named mutex.
  ASSERT_TRUE(lock.CreateNamedMutex(mutex_name));
  EXPECT_TRUE(lock.IsMutex());

  CxHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      counter_name.c_str()));
  ASSERT_TRUE(mapping);
  auto* counter =
      static_cast<volatile long*>(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  ASSERT_NE(counter, nullptr);
  *counter = 0;

  constexpr int kTimes = 20000;
  std::wstring command = L"\"" + tarvo_test::ProgramBeside(L"foundation_lock_peer.exe") + L"\" " +
                         mutex_name + L" " + counter_name + L" " + std::to_wstring(kTimes);
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CxHandle process_handle(process.hProcess);
  CxHandle thread_handle(process.hThread);

  AddUnderLock(lock, *counter, kTimes);

  ASSERT_EQ(WaitForSingleObject(process_handle.Get(), 60000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(process_handle.Get(), &exit_code);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(*counter, 2 * kTimes);
  UnmapViewOfFile(const_cast<long*>(counter));
}

TEST(HandleTest, OwnerClosesMovesAndReleases) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD flags = 0;
  {
    CxHandle owner(raw);
    CxHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.Get(), raw);
  }
  EXPECT_FALSE(GetHandleInformation(raw, &flags));  // Closed by the last owner.

  raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CxHandle owner(raw);
  HANDLE released = owner.Release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(GetHandleInformation(released, &flags));
  owner.Reset(released);
  SetLastError(1234);
  owner.Close();
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_FALSE(GetHandleInformation(released, &flags));
  EXPECT_FALSE(CxHandle(INVALID_HANDLE_VALUE).IsValid());
}
