#include "foundation/bus.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/dev_consumer.h"
#include "foundation/handle.h"
#include "foundation/tests/bus_test_support.h"

namespace {

constexpr char kTopic[] = "event/id/ui/test/call/s";

struct Listener {
  int four_calls = 0;
  std::string last_text;
  int answer = 42;

  void Four(const std::string& a, const std::string& b, int c, int d) {
    ++four_calls;
    last_text = a + b + std::to_string(c + d);
  }
  int Answer() { return answer; }
  std::vector<int> List() const { return {1, 2, 3}; }
  void Nothing() {}
};

class BusCallTest : public ::testing::Test {
 protected:
  BusAlertRecorder alerts_;
  CxBusCast bus_;
  CxSubscriptionList list_;
  Listener listener_;
};

TEST_F(BusCallTest, ArgumentsReachTheListener) {
  CxBus::Listen(list_, bus_, kTopic, &Listener::Four, &listener_);
  CxBus::Call(bus_, kTopic, std::string("a"), std::string("b"), 1, 2);
  CxBus::PostCall(bus_, kTopic, std::string("c"), std::string("d"), 3, 4);
  EXPECT_EQ(listener_.four_calls, 2);
  EXPECT_EQ(listener_.last_text, "cd7");
  EXPECT_TRUE(BusAlertRecorder::Alerts().empty());
}

TEST_F(BusCallTest, MismatchedCallAlertsWithTheTopicAndSkipsOnlyThatListener) {
  Listener three_args_listener;
  CxSubscriptionList other;
  CxBus::Listen(list_, bus_, kTopic, &Listener::Four, &listener_);
  // A second listener with the matching signature still runs.
  struct ThreeListener {
    int calls = 0;
    void Three(const std::string&, const std::string&, int) { ++calls; }
  } three;
  CxBus::Listen(other, bus_, kTopic, &ThreeListener::Three, &three);

  CxBus::Call(bus_, kTopic, std::string("a"), std::string("b"), 1);

  EXPECT_EQ(listener_.four_calls, 0);
  EXPECT_EQ(three.calls, 1);
  ASSERT_EQ(BusAlertRecorder::Alerts().size(), 1u);
  const BusAlertRecorder::Alert& alert = BusAlertRecorder::Alerts().front();
  // Caption and text are in code page 936.
  EXPECT_EQ(alert.caption, "\xD7\xDC\xCF\xDF\xCF\xFB\xCF\xA2\xB4\xED\xCE\xF3");
  EXPECT_EQ(alert.text.rfind("\xB5\xF7\xD3\xC3", 0), 0u);
  EXPECT_NE(alert.text.find(std::string("\r\nEvent:[") + kTopic + "]"), std::string::npos);
}

TEST_F(BusCallTest, TypeRuleTable) {
  // Equal names, or else equal sizes, at every position of lists of equal length.
  const StBusType i{4, "i"}, j{4, "j"}, s{24, "string"}, d{8, "d"};
  struct Case {
    StBusTypeList a, b;
    bool match;
  } cases[] = {
      {{}, {}, true},
      {{i, s}, {i, s}, true},
      {{i}, {j}, true},   // int against unsigned int: equal sizes.
      {{s}, {i}, false},  // a text against a 4-byte type.
      {{i, i}, {i}, false},
      {{d, i}, {i, d}, false},
      {{StBusType{24, "x"}}, {StBusType{8, "x"}}, true},  // equal names win over sizes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CxBus::MatchParamTypes(c.a, c.b), c.match) << c.a.size() << " " << c.b.size();
  }
}

TEST_F(BusCallTest, CallWithoutSubscribersLeavesTheResultUnchanged) {
  int result = 7;
  CxBus::CallWithResult(bus_, kTopic, &result);
  EXPECT_EQ(result, 7);
}

TEST_F(BusCallTest, ResultComesBackAndTheLastListenerWins) {
  Listener second;
  second.answer = 43;
  CxSubscriptionList other;
  CxBus::Listen(list_, bus_, kTopic, &Listener::Answer, &listener_);
  CxBus::Listen(other, bus_, kTopic, &Listener::Answer, &second);
  int result = 0;
  CxBus::CallWithResult(bus_, kTopic, &result);
  EXPECT_EQ(result, 43);  // Listeners run in subscription order.
  // Without a result object the answers are dropped.
  CxBus::Call(bus_, kTopic);
  EXPECT_TRUE(BusAlertRecorder::Alerts().empty());

  CxSubscriptionList lists;
  CxBus::Listen(lists, bus_, "list", &Listener::List, &listener_);
  std::vector<int> list;
  CxBus::CallWithResult(bus_, "list", &list);
  EXPECT_EQ(list, (std::vector<int>{1, 2, 3}));
}

TEST_F(BusCallTest, ResultObjectOfAnotherTypeIsRefused) {
  // Assigning a vector through a pointer to a string would corrupt memory: the listener must
  // not run and the caller's object must stay as it was.
  CxBus::Listen(list_, bus_, "list", &Listener::List, &listener_);
  CxBus::Listen(list_, bus_, "none", &Listener::Nothing, &listener_);
  std::string text = "kept";
  CxBus::CallWithResult(bus_, "list", &text);
  unsigned int same_size = 5;
  CxBus::Listen(list_, bus_, "answer", &Listener::Answer, &listener_);
  CxBus::CallWithResult(bus_, "answer", &same_size);
  int unused = 9;
  CxBus::CallWithResult(bus_, "none", &unused);

  EXPECT_EQ(text, "kept");
  EXPECT_EQ(same_size, 5u);
  EXPECT_EQ(unused, 9);
  ASSERT_EQ(BusAlertRecorder::Alerts().size(), 3u);
  EXPECT_NE(BusAlertRecorder::Alerts()[0].text.find("Event:[list]"), std::string::npos);
}

// A window whose first base is the consumer interface, as the device windows are, and one
// whose interface is a later base, as the main window's is.
struct FirstBaseWindow : DevConsumerDelegate {
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
};
struct Pad {
  virtual ~Pad() = default;
  int pad = 0;
};
struct LaterBaseWindow : Pad, FirstBaseWindow {};

struct ConsumerListener {
  std::vector<DevConsumerDelegate*> received;
  void Add(DevConsumerDelegate* consumer) { received.push_back(consumer); }
};

TEST_F(BusCallTest, WindowPointersReachAConsumerListener) {
  ConsumerListener consumers;
  CxBus::Listen(list_, bus_, kTopic, &ConsumerListener::Add, &consumers);
  FirstBaseWindow first;
  LaterBaseWindow later;
  CxBus::Call(bus_, kTopic, &first);  // Same address as its interface: passes by size.
  CxBus::Call(bus_, kTopic, static_cast<DevConsumerDelegate*>(&later));
  ASSERT_EQ(consumers.received.size(), 2u);
  EXPECT_EQ(consumers.received[0], static_cast<DevConsumerDelegate*>(&first));
  EXPECT_EQ(consumers.received[1], static_cast<DevConsumerDelegate*>(&later));
  EXPECT_EQ(consumers.received[1]->GetCaptureWidth(), 1280);
  EXPECT_TRUE(BusAlertRecorder::Alerts().empty());
}

TEST_F(BusCallTest, CompletionEventIsSetAfterTheListenerRan) {
  CxBus::Listen(list_, bus_, kTopic, &Listener::Four, &listener_);
  CxHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::shared_ptr<ClsParamBase> pack =
      std::make_shared<ClsParam<std::tuple<std::string, std::string, int, int>>>("a", "b", 1, 1);
  pack->completion_event = event.Get();
  bus_.Send(kTopic, pack, nullptr);
  EXPECT_EQ(listener_.four_calls, 1);
  EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(BusCallTest, ReplaceFlagDropsTheTopicsEarlierSubscription) {
  list_.SetReplace(true);
  CxBus::Listen(list_, bus_, kTopic, &Listener::Four, &listener_);
  CxBus::Listen(list_, bus_, kTopic, &Listener::Four, &listener_);
  CxBus::Listen(list_, bus_, "other", &Listener::Nothing, &listener_);
  CxBus::Call(bus_, kTopic, std::string("a"), std::string("b"), 1, 2);
  EXPECT_EQ(listener_.four_calls, 1);
  EXPECT_EQ(list_.Size(), 2u);
}

}  // namespace
