#pragma once

#include <cjson/cJSON.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "orvim_sdk.h"
#include "platform/orvim/sdk/audio_tap.h"
#include "platform/orvim/sdk/camera_stream.h"
#include "platform/orvim/sdk/journal.h"
#include "platform/orvim/sdk/observer_set.h"
#include "platform/orvim/sdk/room_mirror.h"
#include "platform/orvim/sdk/session.h"
#include "platform/orvim/sdk/task_thread.h"
#include "platform/orvim/sdk/ticker.h"

namespace orvim::sdk {

class Service;

// The sender of one outgoing stream. Senders live until their service is released (a caller
// may still hold one after releasing its stream); a released stream's sender drops frames.
class SenderImpl : public rtTarvo::rtc::FrameSender {
 public:
  SenderImpl(Service* service, std::string stream_id);
  void SendFrame(rtTarvo::rtc::VideoFrame* frame) override;
  void SendI420(const uint8_t* data, int width, int height) override;
  void Retire() { retired_.store(true); }
  const std::string& stream_id() const { return stream_id_; }

 private:
  Service* const service_;
  const std::string stream_id_;
  std::atomic<bool> retired_{false};
};

class MediaObjectImpl : public rtTarvo::rtc::MediaObject {
 public:
  explicit MediaObjectImpl(Service* service) : service_(service) {}
  void GetCameras(std::vector<rtTarvo::rtc::CameraInfo>* out) override;
  void GetResolutions(std::string device_id, std::vector<rtTarvo::rtc::VideoResolution>* out) override;
  int CreateCameraStream(std::string device_id, rtTarvo::rtc::VideoParams params) override;
  int CreateLocalMediaStream(rtTarvo::rtc::LocalMediaVideoOptions video,
                             rtTarvo::rtc::LocalMediaAudioOptions audio, int mode) override;
  int CreateStream(int kind, int width, int height, int profile, int layers, bool video,
                   bool audio) override;
  void SetPublishOptions(std::string stream_id, int width, int height) override;
  void ReleaseStream(std::string stream_id) override;
  void GetStreams(std::vector<rtTarvo::rtc::StreamEntry>* out) override;
  void Publish(std::string stream_id, rtTarvo::rtc::PublishOptions options) override;
  void Unpublish(std::string stream_id) override;
  void Resubscribe(std::string stream_id, int mode) override;
  void SubscribeMix(int mode) override;
  void SubscribeLive(int width, int height, bool audio_muted) override;
  void Unsubscribe(std::string stream_id) override;
  void SetDegradationPreference(std::string stream_id, int preference) override;
  void MuteAudio(std::string stream_id, bool muted) override;
  void MuteSpeaker(std::string stream_id, bool muted) override;
  void MuteVideo(std::string stream_id, bool muted) override;
  void GetAudioDevices(int kind, std::vector<rtTarvo::rtc::AudioDeviceInfo>* out) override;
  void SelectAudioDevice(rtTarvo::rtc::AudioDeviceInfo device, int mode) override;
  void TestAudioDevice(rtTarvo::rtc::AudioDeviceInfo device, std::string file, int mode) override;
  void CloseAudioDevice(rtTarvo::rtc::AudioDeviceInfo device) override;
  float GetMicrophoneLevel() override;
  float GetSpeakerLevel() override;
  void SetSpeakerVolume(unsigned volume) override;
  void RequestConnectionStats(std::string stream_id) override;

 private:
  void Subscribe(const std::string& stream_id, int kind, cJSON* request);
  void Mute(const std::string& stream_id, bool audio, bool muted);

  Service* const service_;
};

class RtcEngineImpl : public rtTarvo::rtc::RTCEngine {
 public:
  explicit RtcEngineImpl(Service* service) : service_(service) {}
  rtTarvo::rtc::MediaObject* GetMediaObject() override;
  rtTarvo::rtc::LiveControl* GetLiveControl() override;
  void RequestParticipants() override;
  void GetUserList(std::vector<rtTarvo::rtc::ParticipantInfo>* out) override;
  bool GetParticipant(rtTarvo::rtc::ParticipantInfo* out, std::string stream_id) override;
  void RequestRoomStatus() override;

 private:
  Service* const service_;
};

class LiveControlImpl : public rtTarvo::rtc::LiveControl {
 public:
  explicit LiveControlImpl(Service* service) : service_(service) {}
  void GetLiveLayout(std::string room_id) override;
  void SetLiveLayout(std::string room_id, std::string layout) override;
  void StartInsertion(rtTarvo::rtc::MediaInsertion insertion) override;
  void SetInsertionVolume(rtTarvo::rtc::InterCutVolume volume) override;
  void GetInsertionVolume(rtTarvo::rtc::InterCutVolume volume) override;

 private:
  Service* const service_;
};

// One service: what CreateRTService hands out. Its parts (rtc engine, media object, live
// control) are members; they and the session's reader thread work on the state below.
//
// Threads: the callback thread (ordered callbacks), the remote-frame thread, the audio thread
// (10 ms ticks: microphone packets, local-media pulls, level reports, speaker tests), the
// session's reader and writer, and one thread per camera stream. Locks: |mutex_| guards the
// state; it is never held while an observer or the audio generator is called, nor while a
// thread is joined.
class Service : public rtTarvo::base::RTService,
                public rtTarvo::base::CommandObject,
                public rtTarvo::base::CommandSink,
                private SessionDelegate {
 public:
  explicit Service(int number);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Ends every thread of the service and refuses later calls. ReleaseRTService calls it.
  void Shutdown();
  int number() const { return number_; }

  // RTService
  rtTarvo::rtc::RTCEngine* CreateRtcEngine() override { return &rtc_; }
  rtTarvo::base::CommandObject* GetCommandObject() override { return this; }
  void AddObserver(rtTarvo::base::RTObserver* observer) override;
  void RemoveObserver(rtTarvo::base::RTObserver* observer) override;
  void SetServerAddress(std::string address) override;
  int LoginAndJoin(std::string conf_id, std::string user_name, std::string user_id,
                   std::string cid, std::string sid, std::string extra) override;
  void Leave() override;
  // CommandObject, CommandSink
  rtTarvo::base::CommandSink* GetSink() override { return this; }
  void TakeCommand(const void* record) override;

  // One control command of this service (see orvim_control.h).
  std::string Control(const std::string& command, const cJSON* request);
  // A line for the control's "services".
  cJSON* Describe();
  // The camera |device_id| went away: its running streams end, and this waits until their
  // threads have (at most |timeout_ms|), so that no frame of it is delivered after. False when
  // one is still running then. Must not be called while holding a lock a frame observer takes.
  bool EndCameraStreams(const std::string& device_id, int timeout_ms);

 private:
  friend class SenderImpl;
  friend class MediaObjectImpl;
  friend class RtcEngineImpl;
  friend class LiveControlImpl;

  // An outgoing stream this service created (publish, share or local media).
  struct Outgoing {
    int sender_kind = 0;    // 0 camera publish, 1 share or local media.
    int announce_kind = 0;  // 1 camera, 2 share, 8 local media.
    int width = 0;
    int height = 0;
    bool video = true;
    bool audio = false;
    bool published = false;
    bool video_muted = false;
    bool audio_muted = false;
    rtTarvo::rtc::AudioFrameGenerator* generator = nullptr;
    uint32_t sample_counter = 0;
    SenderImpl* sender = nullptr;  // Owned by |senders_|.
  };

  // A failure the control asked for the next request of a kind.
  struct Failure {
    int code;
    std::string message;
  };

  using ObserverCall = std::function<void(rtTarvo::base::RTObserver*)>;

  // Runs |call| for every observer on the callback thread.
  void Notify(ObserverCall call);
  // Delivers a frame to every observer on the calling (SDK) thread.
  void DeliverFrame(const std::string& stream_id, int source_type, rtTarvo::rtc::VideoFrame* frame);
  void Record(const char* op, cJSON* args = nullptr) { journal_.Record(op, args); }
  bool Offline();
  bool Released();
  // Sends a signalling request; false without a joined session.
  bool SendRequest(cJSON* request);
  // Takes the failure queued for |kind|, if any.
  bool TakeFailure(const std::string& kind, Failure* failure);
  std::string NewStreamId(const char* kind);
  std::string RoomId();
  // The own participant, from the room mirror.
  bool Self(rtTarvo::rtc::ParticipantInfo* out);
  // Ends the current session's meeting state (streams no longer published).
  void EndSessionState();
  // Joins camera streams and sessions whose threads have ended.
  void CollectFinished();

  // Frames from a sender of stream |stream_id| (any thread).
  void SendVideo(const std::string& stream_id, const uint8_t* data, int width, int height);
  void AudioTick();

  // SessionDelegate (reader thread).
  void OnSessionMessage(const void* session, const cJSON* message) override;
  void OnSessionMedia(const void* session, InMessage message) override;
  void OnSessionLoginFailed(const void* session, int code, const std::string& message) override;
  void OnSessionResumed(const void* session) override;
  void OnSessionLost(const void* session) override;
  void HandleServerMessage(const std::string& op, const cJSON* message);

  // Control helpers.
  std::string ControlEmit(const cJSON* request);
  std::string ControlServer(const cJSON* request);
  bool PostAndWait(TaskThread& thread, std::function<void()> task, bool wait);

  const int number_;
  const ThreadHooks hooks_;
  std::atomic<uint16_t> tag_;
  ObserverSet observers_;
  Journal journal_;
  RoomMirror mirror_;
  AudioTap tap_;
  MediaObjectImpl media_{this};
  RtcEngineImpl rtc_{this};
  LiveControlImpl live_{this};

  std::mutex mutex_;  // Protects everything below.
  bool released_ = false;
  std::string address_;
  std::shared_ptr<Session> session_;
  std::vector<std::shared_ptr<Session>> old_sessions_;
  std::map<std::string, std::unique_ptr<CameraStream>> cameras_;  // Null until started.
  std::vector<std::unique_ptr<CameraStream>> old_cameras_;
  std::map<std::string, Outgoing> outgoing_;
  std::vector<std::unique_ptr<SenderImpl>> senders_;
  int next_stream_number_ = 1;
  bool has_create_code_ = false;
  int next_create_code_ = 0;
  std::map<std::string, Failure> failures_;
  std::string selected_microphone_;
  std::string selected_speaker_;
  unsigned speaker_volume_ = 100;
  int speaker_test_ms_ = 2000;
  int reconnect_window_ms_ = 1500;
  bool tag_fixed_ = false;
  std::string room_id_;
  int next_stats_seq_ = 1;
  std::map<int, std::chrono::steady_clock::time_point> stats_requests_;
  std::vector<std::chrono::steady_clock::time_point> speaker_tests_due_;
  int audio_ticks_ = 0;

  // Threads last: they start once the state above exists and are stopped by Shutdown.
  std::atomic<int> remote_pending_{0};
  TaskThread callbacks_;
  TaskThread remote_frames_;
  Ticker audio_;
};

// Sends the control request |request|["request"] to the room server at |address| and returns
// its answer.
std::string ForwardToServer(const std::string& address, const cJSON* request);

}  // namespace orvim::sdk
