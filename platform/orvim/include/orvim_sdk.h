#pragma once

// OrvimSDK: the real-time SDK the client loads at run time ("OrvimSDK.dll" beside the program).
// Rooms, participants, publishing and subscribing of video and audio streams, virtual devices.
//
// Binding: LoadLibrary, then GetProcAddress of `CreateRTService` and `ReleaseRTService`
// (`CreateRTServiceFunc`, `ReleaseRTServiceFunc` below). Several services may live in one
// process; each is given back through ReleaseRTService only.
//
// Objects: the service hands out its rtc engine, media object, live control and command object;
// they belong to the service and live until ReleaseRTService. Senders belong to their stream
// and live until the stream is released. Operations are listed with their slot number (their
// place in the SDK's own order); operations that no caller uses are not declared.
//
// Values: texts pass as `std::string` by value (UTF-8), lists fill a vector the caller passes
// (cleared first). Both sides are built with one compiler and share one heap; no C++ exception
// leaves the SDK.
//
// Threads: every operation may be called from any thread, also from inside a callback. The SDK
// calls its observers on its own threads, never from inside an operation:
// - one ordered callback thread per service (signalling results and notifications);
// - one thread per camera stream (local camera frames, source type 1);
// - one thread for remote frames (source types 2, 4, 7);
// - one audio thread (pulls AudioFrameGenerator while a local-media stream exists).
// Only RemoveObserver and ReleaseRTService wait for the SDK's threads; releasing a stream does
// not (its thread may be waiting for a lock the caller holds).
//
// The SDK talks to a room server of its own on 127.0.0.1 (SetServerAddress "host:port"); with
// no address, or the address "offline", calls are only recorded and callbacks come from the
// control export (orvim_control.h).
//
// Not reproduced: codecs, ICE and UDP (raw I420 and 16-bit PCM travel over TCP; losses are
// injected by the server); sound devices (received audio goes to a tap and to the speaker
// level; a speaker test plays nothing); media insertion by URL fetches nothing; degradation
// preference, publish options and the live layout text are recorded (the live picture follows
// the server's own rule); the constants callers pass to CreateStream, the mode of
// SelectAudioDevice and the unit of SetSpeakerVolume are recorded unchanged.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net_statistics.h"

namespace rtTarvo {

namespace rtc {

// ------------------------------------------------------------------------------------------
// Records

// Stream kinds (video source types): 1 a camera stream (local frames and announced camera
// publish streams), 2 a screen share, 4 the room's mix, 7 the room's live stream (and, for
// senders, the camera publish stream), 8 a local-media stream.
enum StreamKind : int32_t {
  kStreamCamera = 1,
  kStreamScreenShare = 2,
  kStreamMix = 4,
  kStreamLive = 7,
  kStreamLocalMedia = 8,
};

// Participant states for audio and video.
enum ParticipantState : int32_t { kStateActive = 1, kStateInactive = 2, kStateUnusable = 3 };

struct LoginResult {
  bool success = false;  // First byte: the success flag.
  int32_t code = 0;
  std::string message;
};

// One participant of the room.
struct ParticipantInfo {
  std::string uid;
  std::string cid;
  std::string name;
  bool has_stream = false;  // The participant publishes a camera stream (|stream_id|).
  std::string platform;
  int32_t audio_state = kStateActive;
  int32_t video_state = kStateActive;
  bool audio_start_muted = false;  // Room policy: the publish stream starts muted.
  bool video_start_muted = false;
  std::string stream_id;  // The participant's camera publish stream, once there is one.
  std::string id;         // The server's participant id.
};

struct RoomStatus {
  std::string room_id;
  std::string group_id;
  std::string group_cid;
  std::string owner_id;  // Participant id of the member who created the room.
  int32_t participant_count = 0;
  bool start_muted = false;  // New publish streams start with video muted.
};

// A stream that was added to or removed from the room.
struct StreamInfo {
  std::string stream_id;
  std::string uid;  // Owner; empty for the room's live and mix streams.
  std::string cid;
  std::string name;  // Owner's name.
  int32_t kind = 0;  // StreamKind.
};

struct VideoResolution {
  int32_t width = 0;
  int32_t height = 0;
};

// One entry of the media object's stream list.
struct StreamEntry {
  std::string stream_id;
  int32_t kind = 0;
  std::vector<VideoResolution> sizes;  // Sizes a subscriber may ask for.
  std::string uid;                     // Owner; empty for the live and mix streams.
  std::string cid;
};

struct CameraInfo {
  std::string id;
  std::string name;
};

// Camera stream parameters (16 bytes).
struct VideoParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t frame_rate = 30;
  bool enable_video = true;
  bool adaptive = true;
};

struct AudioDeviceInfo {
  std::string id;
  std::string name;
  int32_t kind = 0;  // 1 microphone, 2 speaker.
};

struct PublishOptions {
  bool video_muted = false;  // Publish with the video muted.
};

class AudioFrameGenerator;

struct LocalMediaVideoOptions {
  int32_t width = 0;
  int32_t height = 0;
  int32_t mode = 6;
  bool has_video = false;
};

struct LocalMediaAudioOptions {
  int32_t sample_rate = 48000;
  int32_t channels = 2;
  int32_t mode = 6;
  bool enabled = true;
  bool loop = false;
  AudioFrameGenerator* generator = nullptr;  // Pulled every 10 ms; not owned.
};

// A server-side media insertion (nothing is fetched).
struct MediaInsertion {
  std::string url;
  std::string audio_source = "auto";
  std::string video_source = "auto";
  std::string room_id;
  bool muted = false;
};

struct InterCutVolume {
  std::string id;  // Empty: the room's current insertion.
  int32_t volume = 0;
};

struct LayoutUser {
  std::string user_id;
  std::string cid;
  std::string name;
};

// One region of the mix picture: each edge as a fraction numerator / denominator.
struct LayoutRegion {
  int32_t index = 0;
  bool isFixed = false;
  bool hasCamera = false;
  int32_t left_num = 0;
  int32_t left_den = 1;
  int32_t top_num = 0;
  int32_t top_den = 1;
  int32_t width_num = 0;
  int32_t width_den = 1;
  int32_t height_num = 0;
  int32_t height_den = 1;
  std::string stream_id;
  LayoutUser user;
};

using LayoutMap = std::map<std::string, LayoutRegion>;

// What a frame object describes: an I420 picture (Y, then U and V at half size, no padding).
struct FrameDescription {
  int32_t width = 0;
  int32_t height = 0;
  int32_t length = 0;
  uint8_t* data = nullptr;  // Writable during the callback that delivered the frame.
};

// ------------------------------------------------------------------------------------------
// Frames

class VideoFrame {
 public:
  // 1
  virtual void GetDescription(FrameDescription* out) = 0;

 protected:
  ~VideoFrame() = default;
};

// Takes the frames of one outgoing stream. Thread-safe; copies the picture during the call.
class FrameSender {
 public:
  // 0: a frame the SDK delivered.
  virtual void SendFrame(VideoFrame* frame) = 0;
  // 1: an I420 picture of width x height.
  virtual void SendI420(const uint8_t* data, int width, int height) = 0;

 protected:
  ~FrameSender() = default;
};

// ------------------------------------------------------------------------------------------
// Observers (implemented by the SDK's user; every callback does nothing unless overridden)

class FrameObserver {
 public:
  virtual ~FrameObserver() = default;  // 0
  // 2: one video frame of |stream_id|; source type as StreamKind (1 a local camera stream).
  virtual void OnVideoFrameYUVData(std::string /*stream_id*/, int /*source_type*/,
                                   VideoFrame* /*frame*/) {}
};

class RTCNotifyObserver {
 public:
  virtual ~RTCNotifyObserver() = default;  // 0
  // 1: the signalling connection came back; |reason| holds a text.
  virtual void OnServerConnected(const std::vector<uint8_t>& /*reason*/) {}
  // 2: the server is gone (the reconnect window passed); the session has ended.
  virtual void OnServerDisconnected(std::string /*stream_id*/) {}
  // 3: this participant was removed from the room.
  virtual void BeKickedFromRoomNotify(std::string /*origin*/, int /*reason*/) {}
  // 4: the media connection of one of this participant's streams was lost.
  virtual void OnIceDisconnected(std::string /*stream_id*/) {}
  // 8
  virtual void OnKickoutNotify(std::vector<std::string> /*user_ids*/) {}
  // 9, 10
  virtual void OnParticipantJoined(ParticipantInfo /*participant*/) {}
  virtual void OnParticipantLeft(ParticipantInfo /*participant*/) {}
  // 14
  virtual void OnRoomDestoryNotify(int /*reason*/) {}
  // 16: kind 0 speaker, 1 microphone.
  virtual void OnAudioDeviceSelected(uint8_t /*kind*/, const std::string& /*name*/,
                                     const std::string& /*id*/) {}
  // 17: any member muted or unmuted a stream.
  virtual void OnStreamMuteOrUnmuteNotify(std::string /*stream_id*/, bool /*is_audio*/,
                                          bool /*muted*/) {}
  // 18, 19
  virtual void OnStreamAdded(StreamInfo /*stream*/) {}
  virtual void OnStreamRemoved(StreamInfo /*stream*/) {}
};

class RTCObserver : public FrameObserver, public RTCNotifyObserver {
 public:
  // 3, 4
  virtual void OnCreateRoomSuccess(std::string /*participant_id*/, std::string /*room_name*/) {}
  virtual void OnCreateRoomFailed(int /*ec*/, std::string /*room_name*/) {}
  // 7, 8
  virtual void OnJoinRoomSuccess(std::string /*room_id*/) {}
  virtual void OnJoinRoomFailed(int /*ec*/, std::string /*room_id*/) {}
  // 11, 12: a camera stream (MediaObject::CreateCameraStream).
  virtual void OnCreateStreamSuccess(std::string /*stream_id*/, std::string /*device_id*/,
                                     int /*code*/) {}
  virtual void OnCreateStreamFailed(int /*ec*/, std::string /*device_id*/) {}
  // 13, 14: an outgoing stream and its sender (MediaObject::CreateStream and
  // CreateLocalMediaStream). Video type 7 for the camera publish stream, 2 for a share or
  // local-media stream; sender kind 0 camera, 1 share.
  virtual void OnCreateSenderSuccess(FrameSender* /*sender*/, std::string /*label*/,
                                     std::string /*stream_id*/, int /*video_type*/,
                                     int /*stream_kind*/, int /*sender_kind*/) {}
  virtual void OnCreateSenderFailed(FrameSender* /*sender*/, std::string /*stream_id*/,
                                    int /*ec*/, int /*video_type*/, int /*stream_kind*/) {}
  // 19, 20
  virtual void OnReleaseStreamSuccess(std::string /*stream_id*/) {}
  virtual void OnReleaseStreamFailed(int /*ec*/, std::string /*stream_id*/) {}
  // 21, 22
  virtual void OnPublishSuccess(std::string /*stream_id*/) {}
  virtual void OnPublishFailed(int /*ec*/, std::string /*em*/, std::string /*stream_id*/) {}
  // 33, 34: the answer to this participant's own mute request.
  virtual void OnStreamMuteOrUnmuteSuccess(std::string /*stream_id*/, bool /*muted*/,
                                           bool /*is_audio*/) {}
  virtual void OnStreamMuteOrUnmuteFailed(int /*ec*/, std::string /*stream_id*/, bool /*muted*/,
                                          bool /*is_audio*/) {}
  // 70 to 73
  virtual void OnSubscribeSuccess(std::string /*stream_id*/, int /*video_type*/) {}
  virtual void OnSubscribeFailed(int /*ec*/, std::string /*em*/, std::string /*stream_id*/,
                                 int /*video_type*/) {}
  virtual void OnUnSubscribeSuccess(std::string /*stream_id*/) {}
  virtual void OnUnSubscribeFailed(int /*ec*/, std::string /*em*/, std::string /*stream_id*/) {}
  // 74, 75
  virtual void OnGetConnectionStatsResult(std::string /*stream_id*/, NetStatistics /*stats*/) {}
  virtual void OnGetConnectionStatsReusltFailed(int /*ec*/, std::string /*stream_id*/) {}
  // 78, 79
  virtual void OnGetParticipantsSuccess(std::vector<ParticipantInfo> /*participants*/) {}
  virtual void OnGetParticipantsFailed(int /*ec*/) {}
  // 80
  virtual void OnGetRoomStatusSuccess(RoomStatus /*status*/) {}
  // 82
  virtual void OnSpeakerTestFinished() {}
  // 83: the microphone level (0 to 32767), each second while audio is published.
  virtual void OnLocalAudioState(int /*value*/) {}
  // 84, 85
  virtual void OnGetLive2LayoutResult(const std::string& /*ec*/, const std::string& /*em*/,
                                      const std::string& /*data*/) {}
  virtual void OnSetLive2LayoutResult(const std::string& /*ec*/, const std::string& /*em*/) {}
  // 86: the regions of the room's mix picture, keyed by region name.
  virtual void OnLayoutChanged(int /*count*/, const LayoutMap& /*layout*/) {}
  // 87 to 90
  virtual void OnStartInterCut(const std::string& /*ec*/, const std::string& /*em*/) {}
  virtual void OnStopInterCut(const std::string& /*ec*/, const std::string& /*em*/) {}
  virtual void OnSetInterCutVolume(const std::string& /*ec*/, const std::string& /*em*/) {}
  virtual void OnGetInterCutVolume(const std::string& /*ec*/, const std::string& /*em*/,
                                   int /*volume*/) {}
};

// Fills audio buffers for a local-media stream: 48000 Hz, 2 channels, signed 16-bit, called
// with 1920 bytes (10 ms) on the SDK's audio thread.
class AudioFrameGenerator {
 public:
  // 0
  virtual bool GenerateAudioFrame(uint8_t* buffer, int length) = 0;

 protected:
  ~AudioFrameGenerator() = default;
};

}  // namespace rtc

namespace rtm {

class RTMObserver {
 public:
  virtual ~RTMObserver() = default;  // 0
  // 1
  virtual void OnLogin(const rtc::LoginResult& /*result*/) {}
  // 5: the service asks for page commands (hand them to the command sink).
  virtual void OnCommandPoll() {}
  // 6
  virtual void OnRegisterFailed(int /*error_code*/, std::string /*error_msg*/) {}
};

}  // namespace rtm

namespace base {

// What the SDK's user registers (AddObserver).
class RTObserver : public rtm::RTMObserver, public rtc::RTCObserver {};

}  // namespace base

namespace rtc {

// ------------------------------------------------------------------------------------------
// Service objects

// Live-stream controls of the room.
class LiveControl {
 public:
  // 26, 27: answered by OnGetLive2LayoutResult, OnSetLive2LayoutResult.
  virtual void GetLiveLayout(std::string room_id) = 0;
  virtual void SetLiveLayout(std::string room_id, std::string layout) = 0;
  // 28: answered by OnStartInterCut.
  virtual void StartInsertion(MediaInsertion insertion) = 0;
  // 30, 31: answered by OnSetInterCutVolume, OnGetInterCutVolume.
  virtual void SetInsertionVolume(InterCutVolume volume) = 0;
  virtual void GetInsertionVolume(InterCutVolume volume) = 0;

 protected:
  ~LiveControl() = default;
};

// Devices and streams. Operations that start something answer 0 when the request was made
// (the outcome arrives in a callback) and -1 when it was refused at once.
class MediaObject {
 public:
  // 2, 3
  virtual void GetCameras(std::vector<CameraInfo>* out) = 0;
  virtual void GetResolutions(std::string device_id, std::vector<VideoResolution>* out) = 0;
  // 4: a camera stream; answered by OnCreateStreamSuccess / OnCreateStreamFailed.
  virtual int CreateCameraStream(std::string device_id, VideoParams params) = 0;
  // 6: a local-media stream (video type 2, sender kind 1); |generator| in |audio| is pulled
  // while the stream exists. Answered by OnCreateSenderSuccess / OnCreateSenderFailed.
  virtual int CreateLocalMediaStream(LocalMediaVideoOptions video, LocalMediaAudioOptions audio,
                                     int mode) = 0;
  // 7: kind 0 the camera publish stream (video type 7), 1 a screen share (video type 2).
  // Answered by OnCreateSenderSuccess / OnCreateSenderFailed.
  virtual int CreateStream(int kind, int width, int height, int profile, int layers, bool video,
                           bool audio) = 0;
  // 8
  virtual void SetPublishOptions(std::string stream_id, int width, int height) = 0;
  // 10: answered by OnReleaseStreamSuccess / OnReleaseStreamFailed.
  virtual void ReleaseStream(std::string stream_id) = 0;
  // 11: the room's streams as this participant knows them.
  virtual void GetStreams(std::vector<StreamEntry>* out) = 0;
  // 12, 13: answered by OnPublishSuccess / OnPublishFailed; an unpublish by OnStreamRemoved.
  virtual void Publish(std::string stream_id, PublishOptions options) = 0;
  virtual void Unpublish(std::string stream_id) = 0;
  // 14: subscribes |stream_id| (again).
  virtual void Resubscribe(std::string stream_id, int mode) = 0;
  // 15: the room's mix stream.
  virtual void SubscribeMix(int mode) = 0;
  // 17: the room's live stream at width x height (0 x 0: the source size).
  virtual void SubscribeLive(int width, int height, bool audio_muted) = 0;
  // 18
  virtual void Unsubscribe(std::string stream_id) = 0;
  // 19
  virtual void SetDegradationPreference(std::string stream_id, int preference) = 0;
  // 23, 24, 25: 23 and 25 mute a stream for everyone (any member may mute any stream); 24
  // mutes what this participant hears of a subscribed stream.
  virtual void MuteAudio(std::string stream_id, bool muted) = 0;
  virtual void MuteSpeaker(std::string stream_id, bool muted) = 0;
  virtual void MuteVideo(std::string stream_id, bool muted) = 0;
  // 27: kind 1 microphones, 2 speakers.
  virtual void GetAudioDevices(int kind, std::vector<AudioDeviceInfo>* out) = 0;
  // 28: makes the device the one in use.
  virtual void SelectAudioDevice(AudioDeviceInfo device, int mode) = 0;
  // 30: a microphone test, or a speaker test of |file| (answered by OnSpeakerTestFinished).
  virtual void TestAudioDevice(AudioDeviceInfo device, std::string file, int mode) = 0;
  // 31: ends a test of the device.
  virtual void CloseAudioDevice(AudioDeviceInfo device) = 0;
  // 32, 33: RMS level of the microphone in use and of what the speaker receives, 0 to 1.
  virtual float GetMicrophoneLevel() = 0;
  virtual float GetSpeakerLevel() = 0;
  // 34
  virtual void SetSpeakerVolume(unsigned volume) = 0;
  // 35: answered by OnGetConnectionStatsResult / OnGetConnectionStatsReusltFailed.
  virtual void RequestConnectionStats(std::string stream_id) = 0;

 protected:
  ~MediaObject() = default;
};

class RTCEngine {
 public:
  // 0, 1
  virtual MediaObject* GetMediaObject() = 0;
  virtual LiveControl* GetLiveControl() = 0;
  // 3: answered by OnGetParticipantsSuccess / OnGetParticipantsFailed.
  virtual void RequestParticipants() = 0;
  // 4: the room's participants as this participant knows them.
  virtual void GetUserList(std::vector<ParticipantInfo>* out) = 0;
  // 5: the participant whose camera publish stream is |stream_id|; false when none.
  virtual bool GetParticipant(ParticipantInfo* out, std::string stream_id) = 0;
  // 6: answered by OnGetRoomStatusSuccess.
  virtual void RequestRoomStatus() = 0;

 protected:
  ~RTCEngine() = default;
};

}  // namespace rtc

namespace base {

// Takes page command records; the record's layout is agreed between the SDK's user and its
// server side, the SDK only passes it on.
class CommandSink {
 public:
  // 2
  virtual void TakeCommand(const void* record) = 0;

 protected:
  ~CommandSink() = default;
};

class CommandObject {
 public:
  // 1
  virtual CommandSink* GetSink() = 0;

 protected:
  ~CommandObject() = default;
};

class RTService {
 public:
  // 3: the rtc engine (one per service; later calls give the same object).
  virtual rtc::RTCEngine* CreateRtcEngine() = 0;
  // 4
  virtual CommandObject* GetCommandObject() = 0;
  // 5, 6: an observer added twice is kept once. After RemoveObserver returns, nothing reaches
  // |observer| any more; called from a callback, it stops the later callbacks only.
  virtual void AddObserver(RTObserver* observer) = 0;
  virtual void RemoveObserver(RTObserver* observer) = 0;
  // 9: "host:port" of the room server; empty or "offline" for no server.
  virtual void SetServerAddress(std::string address) = 0;
  // 13: logs in and joins (creating it when needed) the room |conf_id|. Answered by OnLogin,
  // then OnCreateRoomSuccess for the first member, then OnJoinRoomSuccess (room id = conf_id)
  // or OnJoinRoomFailed. A call while logged in ends the earlier session first.
  virtual int LoginAndJoin(std::string conf_id, std::string user_name, std::string user_id,
                           std::string cid, std::string sid, std::string extra) = 0;
  // 16
  virtual void Leave() = 0;

 protected:
  ~RTService() = default;
};

}  // namespace base

}  // namespace rtTarvo

// The exports. ReleaseRTService stops and joins every thread of the service before it returns;
// it must not be called from one of that service's callbacks.
extern "C" {
using CreateRTServiceFunc = rtTarvo::base::RTService* (*)();
using ReleaseRTServiceFunc = void (*)(rtTarvo::base::RTService* service);
}
