#include "foundation/bus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "foundation/tests/bus_test_support.h"

namespace {

constexpr char kTopic[] = "event/id/ui/test/s";

// Subscribes raw handlers that record their subscription's order of calls.
class BusCastTest : public ::testing::Test {
 protected:
  CxUnsubscribe SubscribeRecorder(const std::string& name, std::function<void()> extra = nullptr) {
    return bus_.Subscribe(kTopic, [this, name, extra](ClsParamBase*, void*, const StBusParam&) {
      calls_.push_back(name);
      if (extra) extra();
    });
  }
  void Publish() { CxBus::Call(bus_, kTopic); }

  CxBusCast bus_;
  std::vector<std::string> calls_;
};

TEST_F(BusCastTest, HandlersRunInSubscriptionOrder) {
  std::vector<CxUnsubscribe> handles;
  for (int i = 0; i < 6; ++i) handles.push_back(SubscribeRecorder(std::to_string(i)));
  handles[2]();
  handles.push_back(SubscribeRecorder("6"));
  Publish();
  EXPECT_EQ(calls_, (std::vector<std::string>{"0", "1", "3", "4", "5", "6"}));
}

TEST_F(BusCastTest, PublishingWithoutSubscribersDoesNothing) {
  Publish();
  CxUnsubscribe handle = SubscribeRecorder("a");
  handle();
  Publish();
  EXPECT_TRUE(calls_.empty());
}

TEST_F(BusCastTest, HandleCalledTwiceRemovesOnce) {
  CxUnsubscribe first = SubscribeRecorder("first");
  const CxUnsubscribe copy = first;
  CxUnsubscribe second = SubscribeRecorder("second");
  first();
  first();
  copy();
  Publish();
  EXPECT_EQ(calls_, std::vector<std::string>{"second"});
}

TEST_F(BusCastTest, HandleCalledAgainNeverRemovesAnotherThreadsSubscription) {
  // Each new thread subscribes first thing: the identifiers must still differ.
  CxUnsubscribe a;
  std::thread([&] {
    a = SubscribeRecorder("a");
    a();
  }).join();
  std::thread([&] { SubscribeRecorder("b"); }).join();
  a();
  Publish();
  EXPECT_EQ(calls_, std::vector<std::string>{"b"});
}

TEST_F(BusCastTest, HandlerRemovingALaterSubscriberStopsItInThisDelivery) {
  // Whichever of the two runs first removes the other one.
  CxUnsubscribe a, b;
  a = SubscribeRecorder("a", [&] { b(); });
  b = SubscribeRecorder("b", [&] { a(); });
  Publish();
  ASSERT_EQ(calls_.size(), 1u);
  const std::string survivor = calls_.front();
  calls_.clear();
  Publish();
  EXPECT_EQ(calls_, std::vector<std::string>{survivor});
}

TEST_F(BusCastTest, RemovedSubscriberIsSkippedEvenWhenAnotherWasAddedMeanwhile) {
  // The handler that runs first removes the other one and adds a new one, so the topic keeps
  // its size; the removed subscriber must still not run, nor the new one in this delivery.
  std::map<std::string, CxUnsubscribe> handles;
  auto swap_other = [&](const std::string& other) {
    return [&, other] {
      handles[other]();
      handles["late"] = SubscribeRecorder("late");
    };
  };
  handles["a"] = SubscribeRecorder("a", swap_other("b"));
  handles["b"] = SubscribeRecorder("b", swap_other("a"));
  Publish();
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_NE(calls_.front(), "late");
}

TEST_F(BusCastTest, HandlerMayRemoveItselfWhileRunning) {
  CxUnsubscribe self;
  int runs = 0;
  self = bus_.Subscribe(kTopic,
                        [&, big = std::string(64, 'x')](ClsParamBase*, void*, const StBusParam&) {
                          self();
                          ++runs;
                          EXPECT_EQ(big.size(), 64u);  // The handler's captures are still alive.
                        });
  Publish();
  Publish();
  EXPECT_EQ(runs, 1);
}

TEST_F(BusCastTest, RemovalFromOtherThreads) {
  // Removed from another, running thread.
  CxUnsubscribe here = SubscribeRecorder("here");
  std::thread([&] { here(); }).join();

  // Subscribed on a thread that has ended, removed from this one: the subscription must go.
  CxUnsubscribe orphan;
  std::thread([&] { orphan = SubscribeRecorder("orphan"); }).join();
  orphan();

  Publish();
  EXPECT_TRUE(calls_.empty());
}

TEST_F(BusCastTest, RemovalFromAnotherThreadWaitsForTheDeliveryInProgress) {
  // A delivery holds the bus lock: a handle called from another thread meanwhile waits, so the
  // handler's object stays intact until the handler has returned.
  std::thread remover;
  CxUnsubscribe handle = SubscribeRecorder("slow", [&] {
    remover = std::thread([&] { handle(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (bus_.FindTopic(kTopic)->size() == 1) calls_.push_back("still subscribed");
  });
  Publish();
  remover.join();
  Publish();
  EXPECT_EQ(calls_, (std::vector<std::string>{"slow", "still subscribed"}));
}

TEST_F(BusCastTest, ClearDropsEverySubscriptionAndStopsTheDelivery) {
  SubscribeRecorder("a", [&] { bus_.Clear(); });
  SubscribeRecorder("b", [&] { bus_.Clear(); });
  Publish();
  EXPECT_EQ(calls_.size(), 1u);
  Publish();
  EXPECT_EQ(calls_.size(), 1u);
}

TEST(BusCastLifetime, HandleOutlivingTheBusDoesNothing) {
  CxUnsubscribe handle;
  {
    CxBusCast bus;
    handle = bus.Subscribe(kTopic, [](ClsParamBase*, void*, const StBusParam&) {});
  }
  handle();
}

// ---------------------------------------------------------------------------------------------

class SubscriptionListTest : public BusCastTest {
 protected:
  void Add(const std::string& topic, const std::string& name) {
    list_.Add(bus_.Subscribe(topic, [this, name](ClsParamBase*, void*,
                                                 const StBusParam&) { calls_.push_back(name); }),
              topic);
  }
  void PublishBoth() {
    CxBus::Call(bus_, "one");
    CxBus::Call(bus_, "two");
  }
  CxSubscriptionList list_;
};

TEST_F(SubscriptionListTest, RemoveDropsOneTopicAndKeepsTheOther) {
  Add("one", "one-a");
  Add("one", "one-b");
  Add("two", "two");
  list_.Remove("one");
  EXPECT_EQ(list_.Size(), 1u);
  PublishBoth();
  EXPECT_EQ(calls_, std::vector<std::string>{"two"});
}

TEST_F(SubscriptionListTest, RemoveAllAndDestructionDropEverything) {
  Add("one", "one");
  Add("two", "two");
  list_.RemoveAll();
  EXPECT_EQ(list_.Size(), 0u);
  {
    CxSubscriptionList scoped;
    scoped.Add(bus_.Subscribe("one", [this](ClsParamBase*, void*,
                                            const StBusParam&) { calls_.push_back("scoped"); }),
               "one");
  }
  PublishBoth();
  EXPECT_TRUE(calls_.empty());
}

}  // namespace
