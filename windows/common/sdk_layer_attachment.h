#pragma once

// SdkLayerAttachment: what ties a device window (settings, device test, beauty settings) to the
// SDK layer: its place among the layer's device consumers and its subscriptions on the message
// bus (camera frames, device removals). A member of the window:
//
//   CSettingFrame::CSettingFrame(...) {
//     sdkLayer.Join(static_cast<DevConsumerDelegate*>(this));
//     sdkLayer.Listen(kTopicYuvData, &CSettingFrame::OnYuvData, this);
//   }
//   void CSettingFrame::LeaveSdkLayer() {  // at WM_DESTROY and in the destructor
//     postTarget = nullptr;
//     sdkLayer.Leave();
//   }
//
// The window joins in the body of its constructor, when all its members are ready: from then on
// the SDK layer may call it on the layer's threads. UI thread only (the destructor too).

#include <string>

#include "foundation/bus.h"
#include "foundation/dev_consumer.h"
#include "foundation/hub.h"

class SdkLayerAttachment {
 public:
  SdkLayerAttachment();
  // Leaves (see Leave).
  ~SdkLayerAttachment();
  SdkLayerAttachment(const SdkLayerAttachment&) = delete;
  SdkLayerAttachment& operator=(const SdkLayerAttachment&) = delete;

  // Adds `consumer` to the SDK layer's device consumers (kTopicAddDevConsumer). Once.
  void Join(DevConsumerDelegate* consumer);

  // Subscribes `object`'s `member` to `topic` on the process's message bus (CxBus::Listen); a
  // later subscription of the same topic replaces the earlier one.
  template <class Member, class Object>
  void Listen(const std::string& topic, Member member, Object* object) {
    CxBus::Listen(subscriptions_, GetMessageBus(), topic, member, object);
  }

  // Takes the consumer out of the SDK layer's consumers (kTopicDelDevConsumer, only the first
  // time), then drops the subscriptions. After it returns no SDK thread is inside the window:
  // the SDK layer calls consumers under its consumer-list lock and the bus delivers under its
  // own lock. Later calls do nothing.
  void Leave();

 private:
  DevConsumerDelegate* consumer_ = nullptr;  // Null when not (or no longer) a consumer.
  CxSubscriptionList subscriptions_;
};
