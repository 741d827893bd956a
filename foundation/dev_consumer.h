#pragma once

#include <cstdint>
#include <string>

// One audio or video device as the SDK layer describes it to the windows. Device lists are
// vectors of it, returned by value. Texts are UTF-8.
struct stDev_Info {
  std::string id;    // Device identifier as the SDK reports it.
  std::string name;  // Display name.
  // In the camera-resolution answer: the camera's largest width and, independently, its
  // largest height; 0 in device lists.
  int32_t width = 0;
  int32_t height = 0;
};

// DevConsumerDelegate: the interface through which the SDK layer reports device, stream, room
// and publishing events to the windows. The main window is the SDK layer's owner and gets
// every operation but OnSpeakerTestEnd; further windows register as consumers on the bus
// (`kTopicAddDevConsumer` / `kTopicDelDevConsumer`) and get OnVideoDevResult,
// IsUsingVideoDev and OnSpeakerTestEnd.
//
// Threads: OnVideoDevResult and the room, publish, reconnect and share operations run on the
// real-time SDK's callback threads; IsUsingVideoDev, OnPictureStream and OnVideoDevOpened on
// the thread that published the bus command. Calls to consumers are made under the SDK
// layer's consumer-list lock, so an implementation must not publish the consumer topics from
// inside them.
//
// Objects are never deleted through this interface (its destructor is protected). The
// settings, beauty settings and device test windows have it as their first base; a window
// that publishes itself on the bus must still pass `static_cast<DevConsumerDelegate*>(this)`
// (see foundation/bus.h on the argument type rule).
//
// The first six operations are abstract; the others do nothing or answer 0 or an empty text.
class DevConsumerDelegate {
 public:
  // A local camera stream was created (ok) or its creation failed.
  virtual void OnVideoDevResult(const std::string& deviceId, bool ok) = 0;
  virtual void OnPreviewFrame(const unsigned char* data, int size, int width, int height) = 0;
  virtual bool IsEffectsIdle() = 0;
  // True keeps the camera |deviceId| open when another window asks to close it.
  virtual bool IsUsingVideoDev(const std::string& deviceId) = 0;
  virtual int GetCaptureWidth() = 0;
  virtual int GetCaptureHeight() = 0;
  // nres: 1 joined, -1 failed.
  virtual void OnJoinRoom(int /*nres*/, const std::string& /*roomId*/) {}
  virtual void OnJoinGroup(const std::string& /*groupId*/, const std::string& /*groupConfId*/) {}
  virtual void OnSpeakerTestEnd() {}
  virtual void OnPublishSuccess() {}
  virtual void IceReConnectPub(bool /*bStart*/) {}
  virtual void IceReConnectSub(bool /*bStart*/) {}
  virtual int GetIceReConnectPubCount() { return 0; }
  virtual int GetIceReConnectSubCount() { return 0; }
  virtual void OnShareResult(int /*nres*/, bool /*stopped*/) {}
  virtual void StartUpdater(bool /*run*/) {}
  virtual void OnPictureStream(bool /*on*/) {}
  virtual std::string GetUpdateServer() { return std::string(); }
  virtual void OnVideoDevOpened() {}

 protected:
  DevConsumerDelegate() = default;
  DevConsumerDelegate(const DevConsumerDelegate&) = default;
  DevConsumerDelegate& operator=(const DevConsumerDelegate&) = default;
  ~DevConsumerDelegate() = default;
};
