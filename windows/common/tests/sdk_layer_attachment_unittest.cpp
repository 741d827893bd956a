#include "windows/common/sdk_layer_attachment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"

namespace {

class StubConsumer : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 0; }
  int GetCaptureHeight() override { return 0; }
};

void PublishHotplug(const std::string& device) {
  CxBus::Call(GetMessageBus(), kTopicDevHotplug, true, device);
}

// Stands in for the SDK layer's consumer list (on the bus) and for the window's handler; keeps
// what reaches it in order. When the consumer leaves it publishes a device removal, to see
// whether the window's subscription is still there at that moment.
class Recorder {
 public:
  explicit Recorder(DevConsumerDelegate* expected) : expected_(expected) {
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicAddDevConsumer, &Recorder::Add, this);
    CxBus::Listen(subscriptions_, GetMessageBus(), kTopicDelDevConsumer, &Recorder::Del, this);
  }

  void Add(DevConsumerDelegate* consumer) {
    events.push_back(consumer == expected_ ? "add" : "add of another consumer");
  }
  void Del(DevConsumerDelegate* consumer) {
    events.push_back(consumer == expected_ ? "del" : "del of another consumer");
    PublishHotplug("while leaving");
  }
  void OnHotplug(bool, const std::string& device) { events.push_back("hotplug " + device); }

  std::vector<std::string> events;

 private:
  DevConsumerDelegate* expected_;
  CxSubscriptionList subscriptions_;
};

}  // namespace

TEST(SdkLayerAttachmentTest, LeaveTakesTheConsumerOutOnceAndThenDropsTheSubscriptions) {
  StubConsumer consumer;
  Recorder recorder(&consumer);
  SdkLayerAttachment attachment;
  attachment.Join(&consumer);
  // A second subscription of a topic replaces the first: one delivery.
  attachment.Listen(kTopicDevHotplug, &Recorder::OnHotplug, &recorder);
  attachment.Listen(kTopicDevHotplug, &Recorder::OnHotplug, &recorder);
  PublishHotplug("joined");

  attachment.Leave();
  PublishHotplug("left");
  attachment.Leave();

  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"add", "hotplug joined", "del", "hotplug while leaving"}));
}

TEST(SdkLayerAttachmentTest, DestructorLeavesWhatLeaveDidNotTake) {
  StubConsumer consumer;
  Recorder recorder(&consumer);
  {
    SdkLayerAttachment attachment;
    attachment.Join(&consumer);
    attachment.Listen(kTopicDevHotplug, &Recorder::OnHotplug, &recorder);
  }
  PublishHotplug("after");
  {
    // Left already: the destructor publishes nothing more.
    SdkLayerAttachment attachment;
    attachment.Join(&consumer);
    attachment.Leave();
  }

  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"add", "del", "hotplug while leaving", "add", "del"}));
}
