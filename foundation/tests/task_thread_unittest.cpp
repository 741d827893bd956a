#include "foundation/task_thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/handle.h"
#include "foundation/hub.h"
#include "foundation/thread_bus.h"

namespace {

// A manual-reset event for handing signals between threads.
class Signal {
 public:
  Signal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Set() { SetEvent(event_.Get()); }
  bool Wait(DWORD ms = 5000) { return WaitForSingleObject(event_.Get(), ms) == WAIT_OBJECT_0; }

 private:
  CxHandle event_;
};

TEST(HubTest, IdleHookRunsQueuedTasksInOrderIncludingOnesPostedByTasks) {
  CxAdapter hub;
  CxUiThead& queue = hub.GetUiThread();
  std::vector<int> order;
  queue.PostTask([&] {
    order.push_back(1);
    queue.PostTask([&] { order.push_back(4); });
  });
  queue.PostTask([&] { order.push_back(2); });
  queue.PostTask([&] { throw std::runtime_error("a failing task does not stop the others"); });
  queue.PostTask([&] { order.push_back(3); });

  hub.OnIdle();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(WaitForSingleObject(queue.GetTaskEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  hub.SetRunAll(false);
  queue.PostTask([&] { order.push_back(5); });
  queue.PostTask([&] { order.push_back(6); });
  hub.OnIdle();
  EXPECT_EQ(order.size(), 5u);
  hub.OnIdle();
  EXPECT_EQ(order.back(), 6);
}

TEST(HubTest, PopTaskOnAnEmptyQueueGivesNothingAndClearsTheEvent) {
  CxSbThread thread;
  EXPECT_FALSE(thread.PopTask());
  EXPECT_EQ(WaitForSingleObject(thread.GetTaskEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  thread.PostTask([] {});
  EXPECT_EQ(WaitForSingleObject(thread.GetTaskEvent(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(thread.PopTask());
  EXPECT_EQ(WaitForSingleObject(thread.GetTaskEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(HubTest, ClientBusDeliversToSubscribersOfEveryThreadDuringTheCall) {
  constexpr char kTopic[] = "event/id/ui/test/hub";
  std::atomic<DWORD> ran_on{0};
  CxUnsubscribe handle;
  std::thread([&] {
    handle = GetMessageBus().Subscribe(
        kTopic, [&](ClsParamBase*, void*, const StBusParam&) { ran_on = GetCurrentThreadId(); });
  }).join();
  CxBus::Call(CxAdapter::Instance().GetBusCast(), kTopic);
  EXPECT_EQ(ran_on.load(), GetCurrentThreadId());
  handle();
}

// ---------------------------------------------------------------------------------------------

struct Filter : CxMessageFilter {
  std::atomic<int> seen{0};
  bool PreTranslateMessage(tagMSG* msg) override {
    if (msg->message != WM_APP + 1) return false;
    ++seen;
    return true;
  }
};

struct Idle : CxIdleHandler {
  std::atomic<int> calls{0};
  bool OnIdle() override {
    ++calls;
    return false;
  }
};

TEST(UiThreadTest, RunsTasksAndMessagesAndEndsOnQuitWithItsHooks) {
  CxUiThead thread;
  Filter filter;
  Idle idle;
  thread.AddMessageFilter(&filter);
  thread.AddIdleHandler(&idle);
  Signal started, task_ran, stopped;
  std::vector<std::string> hooks;
  DWORD task_thread_id = 0;
  thread.SetStartHook([&] {
    hooks.push_back("start");
    started.Set();
  });
  thread.SetStopHook([&] { hooks.push_back("stop"); });
  thread.SetExitHook([&] {
    hooks.push_back("exit");
    stopped.Set();
  });
  thread.Start();
  ASSERT_TRUE(started.Wait());

  thread.PostTask([&] {
    task_thread_id = GetCurrentThreadId();
    task_ran.Set();
  });
  ASSERT_TRUE(task_ran.Wait());
  EXPECT_EQ(task_thread_id, thread.GetThreadId());

  // The queue exists once the start hook ran (the loop created it right after).
  for (int i = 0; i < 100 && !PostThreadMessageW(thread.GetThreadId(), WM_APP + 1, 0, 0); ++i) {
    Sleep(10);
  }
  for (int i = 0; i < 200 && filter.seen == 0; ++i) Sleep(10);
  EXPECT_EQ(filter.seen, 1);
  for (int i = 0; i < 200 && idle.calls == 0; ++i) Sleep(10);
  EXPECT_GT(idle.calls, 0);

  ASSERT_TRUE(PostThreadMessageW(thread.GetThreadId(), WM_QUIT, 0, 0));
  ASSERT_TRUE(stopped.Wait());
  thread.Join();
  EXPECT_TRUE(thread.GetQuit());
  EXPECT_EQ(hooks, (std::vector<std::string>{"start", "stop", "exit"}));
}

TEST(MessageLoopTest, RunServesFiltersAndIdleHandlersUntilQuit) {
  struct QuittingIdle : CxIdleHandler {
    int calls = 0;
    bool OnIdle() override {
      if (++calls == 1) PostQuitMessage(5);
      return false;
    }
  } idle;
  CxMessageLoop loop;
  Filter filter;
  EXPECT_TRUE(loop.AddMessageFilter(&filter));
  EXPECT_FALSE(loop.AddMessageFilter(&filter));
  loop.AddIdleHandler(&idle);
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 1, 0, 0);
  EXPECT_EQ(loop.Run(), 5);
  EXPECT_EQ(filter.seen, 1);
  EXPECT_EQ(idle.calls, 1);
  EXPECT_TRUE(loop.RemoveMessageFilter(&filter));
  EXPECT_FALSE(loop.RemoveMessageFilter(&filter));
}

TEST(UiThreadTest, DestroyingARunningThreadStopsIt) {
  Signal started;
  auto thread = std::make_unique<CxUiThead>();
  thread->SetStartHook([&] { started.Set(); });
  thread->Start();
  ASSERT_TRUE(started.Wait());
  thread.reset();  // Must not hang or touch freed members.
}

// ---------------------------------------------------------------------------------------------

TEST(ThreadBusTest, PostsToAttachedThreadsAndRemovesSubscriptionsOnTheirThread) {
  CxSBus bus;
  CxUiThead thread;
  Signal started;
  thread.SetStartHook([&] { started.Set(); });
  bus.AttachThread(&thread);
  thread.Start();
  ASSERT_TRUE(started.Wait());

  // Post reaches the attached thread; PostTo needs an attached thread's identifier.
  Signal posted;
  DWORD ran_on = 0;
  bus.Post([&] {
    ran_on = GetCurrentThreadId();
    posted.Set();
  });
  ASSERT_TRUE(posted.Wait());
  EXPECT_EQ(ran_on, thread.GetThreadId());
  EXPECT_FALSE(bus.PostTo(GetCurrentThreadId(), [] {}));

  // A subscription made on the task thread is seen only there, and a handle called here
  // removes it on that thread.
  CxUnsubscribe handle;
  std::atomic<int> calls{0};
  Signal subscribed;
  ASSERT_TRUE(bus.PostTo(thread.GetThreadId(), [&] {
    handle = bus.Subscribe("t", [&](ClsParamBase*, void*, const StBusParam&) { ++calls; });
    CxBus::Call(bus, "t");
    subscribed.Set();
  }));
  ASSERT_TRUE(subscribed.Wait());
  CxBus::Call(bus, "t");  // Not subscribed on this thread.
  EXPECT_EQ(calls, 1);

  handle();
  Signal published;
  bus.PostTo(thread.GetThreadId(), [&] {
    CxBus::Call(bus, "t");
    published.Set();
  });
  ASSERT_TRUE(published.Wait());
  EXPECT_EQ(calls, 1);

  // Clear stops the thread; its exit hook detaches it.
  bus.Clear();
  EXPECT_FALSE(bus.PostTo(thread.GetThreadId(), [] {}));
}

}  // namespace
