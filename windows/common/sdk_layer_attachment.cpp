#include "windows/common/sdk_layer_attachment.h"

#include "foundation/bus_topics.h"

SdkLayerAttachment::SdkLayerAttachment() { subscriptions_.SetReplace(true); }

SdkLayerAttachment::~SdkLayerAttachment() { Leave(); }

void SdkLayerAttachment::Join(DevConsumerDelegate* consumer) {
  CxBus::Call(GetMessageBus(), kTopicAddDevConsumer, consumer);
  consumer_ = consumer;
}

void SdkLayerAttachment::Leave() {
  if (consumer_) {
    DevConsumerDelegate* consumer = consumer_;
    consumer_ = nullptr;
    CxBus::Call(GetMessageBus(), kTopicDelDevConsumer, consumer);
  }
  subscriptions_.RemoveAll();
}
