#pragma once

#include <memory>
#include <string>

#include "orvim_sdk.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/recording_observer.h"

namespace orvim::testing {

// One raw service of OrvimSDK.dll with a recording observer, as tests drive it: the service is
// released (every thread joined) when the object goes.
class ServiceClient {
 public:
  explicit ServiceClient(const OrvimLibrary& library);
  ~ServiceClient();
  ServiceClient(const ServiceClient&) = delete;
  ServiceClient& operator=(const ServiceClient&) = delete;

  rtTarvo::base::RTService* service() const { return service_; }
  rtTarvo::rtc::RTCEngine* rtc() const { return rtc_; }
  rtTarvo::rtc::MediaObject* media() const { return rtc_ ? rtc_->GetMediaObject() : nullptr; }
  rtTarvo::rtc::LiveControl* live() const { return rtc_ ? rtc_->GetLiveControl() : nullptr; }
  RecordingObserver& observer() { return observer_; }
  // The service's number for control commands.
  int number() const { return number_; }

  // Logs in to |address| as |user_id| and joins |room|; true once OnJoinRoomSuccess arrived.
  bool Join(const std::string& address, const std::string& room, const std::string& user_id);
  // The own participant id (after Join).
  std::string participant_id() const { return participant_id_; }
  // Creates an outgoing stream (CreateStream kind 0 or 1, or the local-media stream when
  // |local_media|), publishes it and waits for both answers; returns the stream id and sender.
  bool PublishStream(int kind, bool audio, std::string* stream_id, rtTarvo::rtc::FrameSender** sender,
                     rtTarvo::rtc::AudioFrameGenerator* generator = nullptr);
  // A control command for this service: |fields| are the members after "cmd" and "service",
  // e.g. R"("tag": 7)".
  std::string Control(const std::string& command, const std::string& fields = std::string()) const;
  bool ControlOk(const std::string& command, const std::string& fields = std::string()) const;
  // Releases the service now.
  void Release();

 private:
  const OrvimLibrary& library_;
  rtTarvo::base::RTService* service_ = nullptr;
  rtTarvo::rtc::RTCEngine* rtc_ = nullptr;
  RecordingObserver observer_;
  int number_ = 0;
  std::string participant_id_;
};

// Sends a control request to the room server at |address| through the library.
std::string ServerControl(const OrvimLibrary& library, const std::string& address,
                          const std::string& request);
bool ServerControlOk(const OrvimLibrary& library, const std::string& address,
                     const std::string& request);

}  // namespace orvim::testing
