#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "orvim_sdk.h"
#include "platform/orvim/common/media_pattern.h"

namespace orvim::testing {

// One callback an observer received.
struct ObservedEvent {
  std::string name;
  std::string id;    // The first text argument (stream, room or device id, origin, ...).
  std::string text;  // The second text argument (message, room name, label, ...).
  int code = 0;      // The first number (code, kind, reason, value, ...).
  int number = 0;    // The second number (video type, ...).
  int number2 = 0;   // The third number (sender kind, ...).
  bool flag1 = false;
  bool flag2 = false;
  rtTarvo::rtc::FrameSender* sender = nullptr;
  rtTarvo::rtc::ParticipantInfo participant;
  rtTarvo::rtc::StreamInfo stream;
  rtTarvo::rtc::RoomStatus status;
  std::vector<rtTarvo::rtc::ParticipantInfo> participants;
  std::vector<std::string> ids;
  NetStatistics stats;
  rtTarvo::rtc::LayoutMap layout;
  std::thread::id thread;
  bool nested = false;  // Delivered while another callback of this observer ran on its thread.
};

// One frame an observer received (its picture's mark read back).
struct ObservedFrame {
  std::string stream_id;
  int type = 0;
  int width = 0;
  int height = 0;
  int length = 0;
  bool marked = false;
  PictureMark mark;
  std::thread::id thread;
};

// An observer for tests: records every callback and frame, lets a test wait for them, block a
// callback, or act inside one. Thread-safe.
class RecordingObserver : public rtTarvo::base::RTObserver {
 public:
  RecordingObserver() = default;

  // Waits until |predicate| (called under the observer's lock) holds; false after |timeout_ms|.
  bool WaitFor(const std::function<bool()>& predicate, int timeout_ms = 10000);
  // Waits until |count| callbacks named |name| arrived.
  bool WaitForEvent(const std::string& name, size_t count = 1, int timeout_ms = 10000);
  // Waits until |count| frames of |stream_id| (any stream when empty) arrived.
  bool WaitForFrames(const std::string& stream_id, size_t count, int timeout_ms = 10000);

  std::vector<ObservedEvent> Events();
  std::vector<ObservedEvent> Events(const std::string& name);
  size_t Count(const std::string& name);
  // The last callback named |name| (a default event when none).
  ObservedEvent Last(const std::string& name);
  std::vector<ObservedFrame> Frames(const std::string& stream_id = std::string());
  void Clear();

  // The next callback named |name| waits in its callback until Unblock.
  void BlockNext(const std::string& name);
  void Unblock();
  // True while a blocked callback waits.
  bool Blocked();
  // Called after each callback was recorded, on the SDK's thread.
  void SetHook(std::function<void(const ObservedEvent&)> hook);
  // Called with each frame (stream id, source type, description) on the SDK's thread.
  using FrameHook = std::function<void(const std::string&, int, const rtTarvo::rtc::FrameDescription&)>;
  void SetFrameHook(FrameHook hook);

  // Callbacks.
  void OnLogin(const rtTarvo::rtc::LoginResult& result) override;
  void OnCommandPoll() override;
  void OnRegisterFailed(int error_code, std::string error_msg) override;
  void OnVideoFrameYUVData(std::string stream_id, int source_type, rtTarvo::rtc::VideoFrame* frame) override;
  void OnServerConnected(const std::vector<uint8_t>& reason) override;
  void OnServerDisconnected(std::string stream_id) override;
  void BeKickedFromRoomNotify(std::string origin, int reason) override;
  void OnIceDisconnected(std::string stream_id) override;
  void OnKickoutNotify(std::vector<std::string> user_ids) override;
  void OnParticipantJoined(rtTarvo::rtc::ParticipantInfo participant) override;
  void OnParticipantLeft(rtTarvo::rtc::ParticipantInfo participant) override;
  void OnRoomDestoryNotify(int reason) override;
  void OnAudioDeviceSelected(uint8_t kind, const std::string& name, const std::string& id) override;
  void OnStreamMuteOrUnmuteNotify(std::string stream_id, bool is_audio, bool muted) override;
  void OnStreamAdded(rtTarvo::rtc::StreamInfo stream) override;
  void OnStreamRemoved(rtTarvo::rtc::StreamInfo stream) override;
  void OnCreateRoomSuccess(std::string participant_id, std::string room_name) override;
  void OnCreateRoomFailed(int ec, std::string room_name) override;
  void OnJoinRoomSuccess(std::string room_id) override;
  void OnJoinRoomFailed(int ec, std::string room_id) override;
  void OnCreateStreamSuccess(std::string stream_id, std::string device_id, int code) override;
  void OnCreateStreamFailed(int ec, std::string device_id) override;
  void OnCreateSenderSuccess(rtTarvo::rtc::FrameSender* sender, std::string label, std::string stream_id,
                             int video_type, int stream_kind, int sender_kind) override;
  void OnCreateSenderFailed(rtTarvo::rtc::FrameSender* sender, std::string stream_id, int ec,
                            int video_type, int stream_kind) override;
  void OnReleaseStreamSuccess(std::string stream_id) override;
  void OnReleaseStreamFailed(int ec, std::string stream_id) override;
  void OnPublishSuccess(std::string stream_id) override;
  void OnPublishFailed(int ec, std::string em, std::string stream_id) override;
  void OnStreamMuteOrUnmuteSuccess(std::string stream_id, bool muted, bool is_audio) override;
  void OnStreamMuteOrUnmuteFailed(int ec, std::string stream_id, bool muted, bool is_audio) override;
  void OnSubscribeSuccess(std::string stream_id, int video_type) override;
  void OnSubscribeFailed(int ec, std::string em, std::string stream_id, int video_type) override;
  void OnUnSubscribeSuccess(std::string stream_id) override;
  void OnUnSubscribeFailed(int ec, std::string em, std::string stream_id) override;
  void OnGetConnectionStatsResult(std::string stream_id, NetStatistics stats) override;
  void OnGetConnectionStatsReusltFailed(int ec, std::string stream_id) override;
  void OnGetParticipantsSuccess(std::vector<rtTarvo::rtc::ParticipantInfo> participants) override;
  void OnGetParticipantsFailed(int ec) override;
  void OnGetRoomStatusSuccess(rtTarvo::rtc::RoomStatus status) override;
  void OnSpeakerTestFinished() override;
  void OnLocalAudioState(int value) override;
  void OnGetLive2LayoutResult(const std::string& ec, const std::string& em, const std::string& data) override;
  void OnSetLive2LayoutResult(const std::string& ec, const std::string& em) override;
  void OnLayoutChanged(int count, const rtTarvo::rtc::LayoutMap& layout) override;
  void OnStartInterCut(const std::string& ec, const std::string& em) override;
  void OnStopInterCut(const std::string& ec, const std::string& em) override;
  void OnSetInterCutVolume(const std::string& ec, const std::string& em) override;
  void OnGetInterCutVolume(const std::string& ec, const std::string& em, int volume) override;

 private:
  void Add(ObservedEvent event);

  std::mutex mutex_;  // Protects everything below.
  std::condition_variable changed_;
  std::vector<ObservedEvent> events_;
  std::deque<ObservedFrame> frames_;
  std::string block_name_;
  bool blocked_ = false;
  std::function<void(const ObservedEvent&)> hook_;
  FrameHook frame_hook_;
};

}  // namespace orvim::testing
