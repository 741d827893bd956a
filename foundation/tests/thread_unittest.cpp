#include "foundation/thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "foundation/thread_testing.h"

namespace {

// A body that counts its runs and then waits for the quit flag.
class WaitingThread : public CxThread {
 public:
  ~WaitingThread() override {
    SetQuit(true);
    Join();
  }
  void Run() override {
    runs.fetch_add(1);
    current_object.store(CurrentThreadObject());
    while (!GetQuit()) WaitForWake(INFINITE);
  }
  std::atomic<int> runs{0};
  std::atomic<CxThread*> current_object{nullptr};
};

class CountingThread : public CxThread {
 public:
  ~CountingThread() override { Join(); }
  void Run() override { runs.fetch_add(1); }
  std::atomic<int> runs{0};
};

}  // namespace

TEST(ThreadTest, StartTwiceRunsTheBodyOnceAndJoinTwiceStaysJoined) {
  CountingThread thread;
  EXPECT_EQ(thread.GetState(), CxThread::kCreated);
  EXPECT_NE(thread.GetThreadId(), 0u);
  thread.Start();
  thread.Start();
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
  thread.Join();
  thread.Start();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
  EXPECT_EQ(thread.runs.load(), 1);
}

TEST(ThreadTest, JoinAfterTheBodyEndedReturnsJoined) {
  CountingThread thread;
  thread.Start();
  while (thread.GetState() != CxThread::kFinished) Sleep(1);
  EXPECT_FALSE(thread.IsRunning());
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
}

TEST(ThreadTest, SetQuitWakesAWaitingBodyAndTheSlotHoldsItsObject) {
  WaitingThread thread;
  thread.Start();
  while (!thread.IsRunning()) Sleep(1);
  Sleep(20);  // Let the body reach its wait.
  EXPECT_EQ(thread.GetState(), CxThread::kStarted);
  thread.SetQuit(true);
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
  EXPECT_EQ(thread.current_object.load(), &thread);
  EXPECT_EQ(CxThread::CurrentThreadObject(), nullptr);
}

TEST(ThreadTest, SelfDeletingThreadDestroysItselfAndIsNeverJoined) {
  struct SelfDeleting : CxThread {
    HANDLE destroyed;
    explicit SelfDeleting(HANDLE event) : destroyed(event) {}
    ~SelfDeleting() override { SetEvent(destroyed); }
  };
  CxHandle destroyed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto* thread = new SelfDeleting(destroyed.Get());
  thread->SetDeleteAfterRun(true);
  thread->Start();
  ASSERT_EQ(WaitForSingleObject(destroyed.Get(), 10000), WAIT_OBJECT_0);
}

TEST(ThreadTest, JoiningASelfDeletingThreadReturnsWithoutWaiting) {
  // The body blocks until released; Join must not wait for it.
  struct Blocked : CxThread {
    HANDLE release;
    HANDLE destroyed;
    Blocked(HANDLE release_event, HANDLE destroyed_event)
        : release(release_event), destroyed(destroyed_event) {}
    ~Blocked() override { SetEvent(destroyed); }
    void Run() override { WaitForSingleObject(release, INFINITE); }
  };
  CxHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CxHandle destroyed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto* thread = new Blocked(release.Get(), destroyed.Get());
  thread->SetDeleteAfterRun(true);
  thread->Start();
  thread->Join();
  EXPECT_EQ(thread->GetState(), CxThread::kStarted);
  SetEvent(release.Get());
  ASSERT_EQ(WaitForSingleObject(destroyed.Get(), 10000), WAIT_OBJECT_0);
}

TEST(ThreadTest, KillRestartsTheBodyOnAFreshThread) {
  WaitingThread thread;
  thread.Start();
  while (thread.runs.load() != 1) Sleep(1);
  const unsigned long first_id = thread.GetThreadId();
  thread.Kill();
  while (thread.runs.load() != 2) Sleep(1);
  EXPECT_NE(thread.GetThreadId(), first_id);
  EXPECT_EQ(thread.GetState(), CxThread::kStarted);
  thread.SetQuit(true);
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
}

TEST(ThreadTest, FailedSystemThreadStaysCreatedAndJoinReturns) {
  foundation::testing::FailNextThreadCreations(1);
  CountingThread thread;
  EXPECT_EQ(thread.GetThreadId(), 0u);
  thread.Start();
  EXPECT_EQ(thread.GetState(), CxThread::kCreated);
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
  EXPECT_EQ(thread.runs.load(), 0);
}

TEST(ThreadTest, NeverStartedThreadIsDestroyedWithoutRunningItsBody) {
  auto* thread = new CountingThread;
  const DWORD id = thread->GetThreadId();
  HANDLE system_thread = OpenThread(SYNCHRONIZE, FALSE, id);
  ASSERT_NE(system_thread, nullptr);
  delete thread;
  // The suspended system thread is ended, not left behind.
  EXPECT_EQ(WaitForSingleObject(system_thread, 10000), WAIT_OBJECT_0);
  CloseHandle(system_thread);
}

TEST(ThreadTest, BodyExceptionStaysInsideTheThread) {
  struct Throwing : CxThread {
    ~Throwing() override { Join(); }
    void Run() override { throw UiLib::Exception("body failed"); }
  };
  Throwing thread;
  thread.Start();
  thread.Join();
  EXPECT_EQ(thread.GetState(), CxThread::kJoined);
}

TEST(ThreadTest, ConditionWaitReleasesTheLockAndWakesOnSignal) {
  CxLock lock;
  CxCondition condition(lock);
  bool ready = false;  // Protected by |lock|.
  std::thread signaller;
  {
    CxAutoLock guard(lock);
    // The signaller needs the lock, so it gets through only while Wait has released it.
    signaller = std::thread([&] {
      CxAutoLock inner(lock);
      ready = true;
      condition.Signal();
    });
    const DWORD start = GetTickCount();
    while (!ready && GetTickCount() - start < 10000) condition.Wait(10000);
    EXPECT_TRUE(ready);
  }
  signaller.join();
}

TEST(ThreadTest, ConditionWaitTimesOutHoldingTheLockAgain) {
  CxLock lock;
  CxCondition condition(lock);
  std::atomic<bool> taken{false};
  std::thread other;
  {
    CxAutoLock guard(lock);
    condition.Wait(20);  // Nobody signals: returns after the time-out.
    other = std::thread([&] {
      CxAutoLock inner(lock);
      taken = true;
    });
    Sleep(100);
    EXPECT_FALSE(taken.load()) << "the lock was not taken again after the time-out";
  }
  other.join();
  EXPECT_TRUE(taken.load());
}

TEST(ThreadTest, ExceptionKeepsAtMost255Characters) {
  EXPECT_STREQ(UiLib::Exception().what(), "Exception");
  EXPECT_STREQ(UiLib::Exception("failed to wait on Condition").what(),
               "failed to wait on Condition");
  const std::string long_text(300, 'x');
  EXPECT_EQ(std::string(UiLib::Exception(long_text.c_str()).what()), long_text.substr(0, 255));
}
