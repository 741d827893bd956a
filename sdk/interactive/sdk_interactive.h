#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/beauty_record.h"
#include "foundation/bus.h"
#include "foundation/dev_consumer.h"
#include "foundation/lock.h"
#include "foundation/shared_memory.h"
#include "net_statistics.h"
#include "orvim_sdk.h"
#include "sdk/interactive/local_video_stream.h"
#include "share/beauty/beauty_face.h"
#include "share/yuv/yuv_transform.h"
#include "shell/jsevents/js_command.h"
#include "shell/login/join_info.h"
#include "shell/registry/user_stream_list.h"

class AvFileDecodeEngine;
class CLodViewFrame;

// The ids of the meeting the layer is in. SDK callbacks write them and commands read them on
// other threads, so they are kept together under one mutex and handed out as copies.
struct StMeetingIds {
  std::string groupId;   // From the room status; copied into every user record.
  std::string groupCid;
  std::string roomId;    // From joining; passed to the live control.
  std::string publishStreamId;
  std::string shareStreamId;
  std::string localMediaStreamId;
  std::string cameraStreamId;  // The camera stream released last.
  std::string ownParticipantId;
};

// One sample of the publish statistics history: the audio level and the two audio sums.
struct StPublishStatSample {
  uint32_t audioLevel = 0;
  double totalAudioEnergy = 0.0;
  double totalSamplesDuration = 0.0;
};

// The histories of the network quality level, one sample per judgement.
struct StNetStatus {
  std::deque<int64_t> sentBytes;
  std::deque<int64_t> byteRate;
  std::deque<int32_t> videoPackets;
  std::deque<int32_t> videoPacketsLost;
  std::deque<int32_t> videoLossCount;
  std::deque<int32_t> frameRate;
  std::deque<uint32_t> frameHeight;
  std::deque<float> videoLoss;
  std::deque<int64_t> audioBytes;
  std::deque<int32_t> audioPackets;
  std::deque<int32_t> audioPacketsLost;
  int32_t lastFrameRate = 0;
  uint32_t lastFrameHeight = 0;
  uint32_t lastFrameWidth = 0;
  std::string videoCodec;
  int32_t videoLast = 0;
  std::string audioCodec;
};

// A frame sender of the SDK for one outgoing stream (0 camera or picture, 1 share).
struct StFrameSender {
  std::string streamId;
  rtTarvo::rtc::FrameSender* sender = nullptr;  // The SDK's; never freed here.
};

// A steady-clock time point and the interval it is compared with.
struct StThrottle {
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  int intervalMs = 0;
};

// CSdkInterActive: the client's single object over the real-time SDK OrvimSDK. It loads the
// SDK, keeps the meeting's state, serves the device topics of the message bus, receives the
// SDK's callbacks (as its RTObserver and AudioFrameGenerator), writes frames into four
// shared-memory stream blocks and reports to the windows through DevConsumerDelegate.
//
// Threads: commands run on their caller's thread (the main window's, or a bus publisher's);
// callbacks on the SDK's threads. Each list and statistics record has its own mutex, taken
// for the copy or update of that member; flags and the consumer count are atomic.
//
// Owned by the main window, which creates it with its own DevConsumerDelegate, calls InitSDK
// once and destroys it when the window goes.
class CSdkInterActive : public rtTarvo::base::RTObserver, public rtTarvo::rtc::AudioFrameGenerator {
 public:
  explicit CSdkInterActive(DevConsumerDelegate* owner);
  ~CSdkInterActive() override;
  CSdkInterActive(const CSdkInterActive&) = delete;
  CSdkInterActive& operator=(const CSdkInterActive&) = delete;

  // Binds "OrvimSDK.dll" beside the program: 0 bound (at once when it already is), -1 no
  // library, -2 no CreateRTService export (the library is let go again, so a later call tries
  // anew).
  int LoadSdk();
  // LoadSdk, then takes the SDK's rtc engine; logs the outcome.
  void InitSDK();
  // Gives the service back through ReleaseRTService (which ends every SDK thread). The library
  // stays loaded.
  void UnloadSdk();

  // Bus topics "event/id/ui/add/dev/consumer/s" and "event/id/ui/del/dev/consumer/s": a window
  // joins or leaves the consumers. Removing takes every entry of |consumer|; the count always
  // equals the list's size.
  virtual void AddDevConsumer(DevConsumerDelegate* consumer);
  virtual void DelDevConsumer(DevConsumerDelegate* consumer);

  // The local playback window whose sound the local-media stream pulls (null clears it).
  // Shares a mutex with GenerateAudioFrame: once it returned, no pull uses the old window, so
  // the owner clears the window here before it destroys it.
  void SetLodView(CLodViewFrame* view);

  // The in-meeting guard: false while in a meeting; otherwise true, logging " in_meet=0" when
  // |log| is set.
  bool OutofMeeting(bool log);

  // rtTarvo::rtc::AudioFrameGenerator, on the SDK's audio thread: |length| bytes of the local
  // playback's sound from the playback window, silence while it is paused or when there is
  // none. Always true (sdk_local_media_audio.cpp).
  bool GenerateAudioFrame(uint8_t* buffer, int length) override;

  // ---- Meeting: login, leaving and stream teardown (sdk_meeting.cpp) ----
  // Keeps a copy of |join|, gives the service the server address and this layer as observer,
  // and logs in and joins. The outcome arrives in the callbacks; a retry repeats all three.
  void Login(const StJoinInfo& join);
  // Leaves the meeting: closes every own stream, unregisters and leaves, then wipes the
  // meeting's state so that the next Login starts clean.
  void ExitRoom();
  // Stops face beauty, the publish stream, the camera streams and the share stream.
  void CloseAllStreams();
  // Unpublishes and releases the publish stream (when there is one), then every camera stream.
  void StopLocalPublish();
  // Releases every camera stream and empties their records.
  void ReleaseLocalVideoStreams();
  // Unpublishes and releases the share stream (its id stays until the release callback).
  void StopSharePublish();
  // The server is lost: stops every own stream and wipes the meeting's state.
  void ResetMeetingState();

  // ---- Remote users, live subscription and video wall (sdk_users.cpp, sdk_live.cpp) ----
  // A new user record filled from |participant|; sent to the page (event 13) when |notify|.
  std::unique_ptr<StUserStream> MakeUserStream(const rtTarvo::rtc::ParticipantInfo& participant,
                                               bool notify);
  // Fills |user| from |participant| (nothing when |user| is null). With |apply|, the audio
  // (|audio|) or video status becomes "inactive" when |muted|, else "active".
  void FillUserStream(StUserStream* user, const rtTarvo::rtc::ParticipantInfo& participant,
                      bool audio, bool muted, bool apply);
  // Refreshes the registry's record of the SDK user whose stream is |streamId| and tells the
  // page (event 13). A user who left meanwhile stays gone.
  void UserStreamChange(std::string streamId, bool audio, bool muted, bool apply);
  void UserStreamChange(std::string streamId, const std::pair<std::string, std::string>& uidCid);
  // The participant id of the own user record (empty when there is none).
  std::string GetOwnStreamName();
  // The page's live size request: keeps the wanted size (when |subscribe|) and subscribes or
  // unsubscribes the room's live stream.
  void Set_Subscribe_Resolution(int width, int height, bool subscribe, bool openAudio);
  // Subscribes (or unsubscribes) every live (kind 7) stream of the room; one subscription is
  // in progress at a time, whichever thread asks.
  void SubscribeLiveStream(bool subscribe);
  // opt 1 subscribes the room's mix; any other value unsubscribes the subscribed mix.
  void VideoWall_OnOff(int opt);

  // ---- Reconnection, own mutes and status reports (sdk_status.cpp) ----
  // The owner's reconnect timers: publish or subscribe the listed streams again.
  void IceReConnectPub();
  void IceReConnectSub();
  // Applies the user's camera and microphone switches to the publish stream.
  void SetAvSetStatus();
  // Bus topic 21: a stream was added; mutes it as the user's own mutes say.
  void OnAvMuted(std::string streamId);
  // Mutes the share stream's sound unless the share window asked for it.
  void ShareStreamAudioMute();
  // Mutes (value 1) or unmutes what this client hears of the room's live streams.
  void OnSpeaker_OnOff(const StJsCommand& command, int value);
  // Tells the page (event 17) when the room has a screen share.
  void NotifyShareStreams();
  // The volume of the room's current media insertion.
  void SetInterCutVolume(int volume);
  void GetInterCutVolume();
  // Page event 30 "win_client:" + |text|, only while the layer has an owner.
  void PostWebLog(std::string text);

  // ---- Devices, beauty, local media and senders used by the above (sdk_devices.cpp) ----
  // Closes the camera streams of |deviceId| (all of them when |stopPublish|, else those no
  // window uses any more).
  virtual void Close_Video_Dev(const std::string& deviceId, const std::string& deviceName,
                               bool stopPublish);
  // Drops the stored picture frame and tells the owner that the picture stream is off.
  virtual void Close_Picture_Stream();
  // Starts or stops the beauty process (for every camera).
  void OpenBeauty(const std::string& streamId, const std::string& deviceId, bool unused);
  void CloseBeauty(const std::string& label, bool unused);
  // Unpublishes and releases the local-media stream.
  void Stop_LocalMedia_Stream();
  // Whether the SDK lists the camera or microphone |deviceId|.
  bool VideoDevIsExist(const std::string& deviceId);
  bool MicDevIsExist(const std::string& deviceId);
  // The frame senders: kind 0 camera or picture publish stream, 1 share or local media.
  void AddSender(int kind, const std::string& streamId, rtTarvo::rtc::FrameSender* sender);
  void DelSender(int kind);
  bool HasSender(int kind);

  // ---- Camera streams and the publish stream (sdk_camera.cpp) ----
  // Bus topic 12: opens the camera |deviceId| (a record and an SDK camera stream at a size the
  // camera offers). True when a new camera stream was requested; false on reuse of an open
  // camera (whose publish flag a publishing open sets for good), out of a meeting or without
  // the SDK.
  virtual bool Open_Video_Dev(const std::string& deviceId, const std::string& deviceName, bool publish,
                              bool beauty);
  // Bus topic 7: re-creates the camera stream of |deviceId| at |width| x |height| (a new
  // record when the camera has none). False out of a meeting or without the SDK.
  virtual bool SetVideoResolution(const std::string& deviceId, const std::string& deviceName, int width,
                                  int height);
  // Bus topic 11: while the local video is muted, closes the configured camera for good.
  void CheckDevVideos();
  // The main window when a meeting's devices open: live subscription on, then the configured
  // camera (publishing when |publish|) or, in picture mode, the configured picture. With
  // |updateMute| the local video mute first follows the user's camera switch.
  void Open_CurDev(bool publish, bool updateMute);
  // The same for the page's command, with face beauty when the beauty settings changed.
  void Open_CurDevEx(bool publish);
  // Creates the publish stream at |width| x |height| with video and sound as the devices
  // allow; while one runs, only sets its size.
  void CreatePublishStream(int width, int height, int frameRate, int unused);
  // CreatePublishStream at the configured size, turned for a rotation of 90 or 270.
  void CreateDefaultPublishStream();
  // Whether the publish stream carries video (camera |deviceId|, or the picture) and sound.
  bool CanPublishVideo(const std::string& deviceId);
  bool CanPublishMic(const std::string& deviceId);
  // Re-creates the publish stream when its video or sound flag no longer matches the devices
  // (camera |cameraId|, the configured microphone); |clearReconnect| first takes it off the
  // re-publish list.
  void CheckPublishFlags(const std::string& cameraId, bool clearReconnect);
  // The first opened camera that the SDK no longer lists (a camera that went away).
  bool FindLostVideoDev(std::string& deviceId);
  // Closes the camera record of |deviceId| and its stream (a camera that went away).
  void CloseLostVideoDev(const std::string& deviceId);

  // ---- Frame flow and stream blocks (sdk_frames.cpp) ----
  // rtTarvo::rtc::FrameObserver: every frame the SDK delivers (on its frame threads).
  void OnVideoFrameYUVData(std::string streamId, int sourceType, rtTarvo::rtc::VideoFrame* frame) override;
  // One local camera frame: oriented, beautified, into the camera block and the publish
  // stream's sender, and as a small preview on the bus.
  void LocalVideoFrameHandle(const std::string& streamId, rtTarvo::rtc::VideoFrame* frame);
  // Writes one I420 frame of |length| bytes (at most that many are read) into the camera block.
  void SetShareMemory(const uint8_t* data, int length, int width, int height);
  // The record of one stream block: the length word, the capacity word, |header| and the
  // pixels (|copy| writes them at the view's base + 16 when given). False when the block is
  // closed or the frame does not fit.
  struct StFrameHeader {
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t length = 0;
  };
  using BlockCopy = std::function<void(unsigned char* base, unsigned offset)>;
  bool WriteFrameBlock(CxShareMemory& block, const StFrameHeader& header, const uint8_t* data, uint32_t length,
                       const BlockCopy& copy);
  // Sends the stored picture frame again (the main window's 40 ms picture timer).
  void ResendLastLocalFrame();
  // Hands a frame to the sender of |kind| (0 publish stream, 1 share); dropped without one.
  void SendFrame(int kind, const uint8_t* data, int width, int height);
  void SendFrameObject(int kind, rtTarvo::rtc::VideoFrame* frame);
  // The camera record whose stream is |streamId|; its transform is made here on first use.
  bool GetLocalStreamInfo(LocalStreamInfo& out, const std::string& streamId);

  // ---- Stream callbacks, degradation and the share stop (sdk_stream_callbacks.cpp) ----
  // Bus topic 8: the publish stream keeps its frame rate (|bFrame|) or its resolution.
  virtual void SetDegradationpreference(bool bFrame);
  // Unpublishes and releases the share stream.
  void Stop_Share_Stream();
  // Drops the pending mute operation of |streamId| (audio or video).
  void RemoveStreamOp(const std::string& streamId, bool audio);
  void OnCreateStreamSuccess(std::string stream_id, std::string device_id, int code) override;
  void OnCreateStreamFailed(int ec, std::string device_id) override;
  void OnCreateSenderSuccess(rtTarvo::rtc::FrameSender* sender, std::string label, std::string stream_id,
                             int video_type, int stream_kind, int sender_kind) override;
  void OnCreateSenderFailed(rtTarvo::rtc::FrameSender* sender, std::string stream_id, int ec, int video_type,
                            int stream_kind) override;
  void OnReleaseStreamSuccess(std::string stream_id) override;
  void OnReleaseStreamFailed(int ec, std::string stream_id) override;
  void OnPublishSuccess(std::string stream_id) override;
  void OnPublishFailed(int ec, std::string em, std::string stream_id) override;
  void OnStreamAdded(rtTarvo::rtc::StreamInfo stream) override;
  void OnStreamRemoved(rtTarvo::rtc::StreamInfo stream) override;
  void OnStreamMuteOrUnmuteNotify(std::string stream_id, bool is_audio, bool muted) override;
  void OnStreamMuteOrUnmuteSuccess(std::string stream_id, bool muted, bool is_audio) override;
  void OnStreamMuteOrUnmuteFailed(int ec, std::string stream_id, bool muted, bool is_audio) override;

  // ---- Device lists, audio devices and volumes (sdk_audio_devices.cpp); picture stream and
  // face beauty (sdk_picture_beauty.cpp). Bus handlers, run on the publisher's thread ----
  // The SDK's cameras, microphones and speakers (sizes 0 x 0); empty without the rtc engine.
  std::vector<stDev_Info> Get_Video_DevList();
  std::vector<stDev_Info> Get_Mic_DevList();
  std::vector<stDev_Info> Get_Speaker_DevList();
  // |deviceId| with the camera's largest width and, on its own, its largest height (0 x 0 when
  // the SDK knows none).
  stDev_Info Get_Video_Resolutions(const std::string& deviceId);
  // Makes the microphone or speaker the one in use, and starts its test when |test|.
  void Open_Audio_Dev(const std::string& name, const std::string& deviceId, bool microphone, bool test);
  // Ends the device's test; the device is selected again (in a meeting: for the meeting).
  void Close_Audio_Dev(const std::string& name, const std::string& deviceId, bool microphone, bool unused);
  // Plays |file| on the speaker |deviceId| (nothing for an empty id); the end comes as the
  // speaker-test callback.
  void PlayTestSpeaker(const std::string& name, const std::string& deviceId, const std::string& file,
                       bool unused);
  // The microphone's and the received sound's level, 0 to 100 (0 without the media object).
  int GetMicVolume();
  int GetSpeakerVolume();
  void Set_SpeakerVolume(unsigned int volume);
  // The beauty settings window's block (an `st_beauty*`, read during the call; null is
  // ignored) becomes the beauty process's parameters.
  void SetBeautyDev(const std::string& deviceId, void* beauty, bool unused);
  void SetBeautyParams(const std::string& deviceId, st_beauty beauty, bool unused);
  // Bus topic 9: publishes the configured picture in place of the camera: loaded (fitted into
  // 1920 x 1080), oriented as configured and stored as the last local frame; the publish
  // stream is made (or sized) for it and the owner told. A picture that cannot be loaded
  // changes nothing.
  virtual void Open_Picture_Stream();

  // ---- Screen share, local media and media insertion (sdk_share_media.cpp) ----
  // The main window's share start: -1 out of a meeting, 2 while local media plays, 1 while a
  // share sender exists (only its sound mute is applied again), 0 requested.
  int Start_Share_Stream();
  // One I420 share frame of |length| bytes, on the caller's capture or playback thread; a
  // frame that does not hold a whole picture of |width| x |height| is dropped.
  void SendShareStreamData(const uint8_t* data, int length, int width, int height);
  // A server-side media insertion of |url| (every request inserts; |start| is only logged).
  void Start_MediaShare(const std::string& audioSource, const std::string& videoSource, const std::string& url,
                        bool start, bool mute);
  // Plays the file open in |engine| (null: none yet, no video) into the meeting: -1 out of a
  // meeting, 1 while a share sender exists, 2 while local media plays, 0 requested.
  int Start_LocalMedia_Stream(AvFileDecodeEngine* engine, int width, int height, bool flag);
  // Local media plays: its stream was requested and not stopped since.
  bool IsLocalMediaPlaying() const { return m_bLodIng.load(); }

  // ---- Live layout, statistics copies and user mutes (sdk_stats.cpp); network quality
  // (sdk_net_quality.cpp) ----
  // Asks the live control for the live layout (answered as page event 19) or sets it.
  void GetLive2Layout(const std::string& roomId);
  void SetLive2Layout(const std::string& roomId, const std::string& layout);
  // Copies of the three statistics records; the publish and subscribe getters (the publish
  // one only with |request|) also ask the SDK for fresh ones. Local media's is empty while it
  // does not play.
  void GetPublishNetStats(NetStatistics* out, bool request);
  void GetSubscribeNetStats(NetStatistics* out);
  void GetLocalMediaNetStats(NetStatistics* out);
  void ResetLocalMediaNetStats();
  // Mutes (|opt| not 1) or unmutes the video or sound of the user whose participant id is
  // |userId|; one request per stream and kind at a time (until the mute result arrives).
  void OnVideo_OnOff(const std::string& userId, int opt);
  void OnMic_OnOff(const std::string& userId, int opt);
  // The publish stream's quality, 2 good, 1 fair, 0 poor; one history sample per call (the
  // main window's network-quality timer).
  int UpdateNetStatus();

  // ---- Statistics, layout, inter-cut, speaker-test and show-state callbacks
  // (sdk_stats_callbacks.cpp), on the SDK's threads ----
  void OnGetConnectionStatsResult(std::string stream_id, NetStatistics stats) override;
  void OnGetConnectionStatsReusltFailed(int ec, std::string stream_id) override;
  void OnLayoutChanged(int count, const rtTarvo::rtc::LayoutMap& layout) override;
  void OnGetLive2LayoutResult(const std::string& ec, const std::string& em, const std::string& data) override;
  void OnSetLive2LayoutResult(const std::string& ec, const std::string& em) override;
  void OnStartInterCut(const std::string& ec, const std::string& em) override;
  void OnStopInterCut(const std::string& ec, const std::string& em) override;
  void OnSetInterCutVolume(const std::string& ec, const std::string& em) override;
  void OnGetInterCutVolume(const std::string& ec, const std::string& em, int volume) override;
  void OnSpeakerTestFinished() override;
  void OnLocalAudioState(int value) override;

  // ---- Connection recovery (sdk_recovery_callbacks.cpp) ----
  // A publish or subscribe result of |streamId|: it leaves its recovery list unless it failed
  // after the owner has retried; an emptied list ends that side's loss.
  void OnPublishStreamRestored(const std::string& streamId, bool ok);
  void OnSubscribeStreamRestored(const std::string& streamId, bool ok);
  // Whether the publish stream waits to be published again.
  bool IsPublishReconnecting();
  // Takes the publish stream off the re-publish list.
  void ClearPublishReconnect();

  // ---- SDK callbacks (sdk_room_callbacks.cpp, sdk_subscribe_callbacks.cpp,
  // sdk_recovery_callbacks.cpp); all run on the SDK's threads ----
  void OnLogin(const rtTarvo::rtc::LoginResult& result) override;
  void OnCommandPoll() override;
  void OnRegisterFailed(int error_code, std::string error_msg) override;
  void OnCreateRoomSuccess(std::string participant_id, std::string room_name) override;
  void OnCreateRoomFailed(int ec, std::string room_name) override;
  void OnJoinRoomSuccess(std::string room_id) override;
  void OnJoinRoomFailed(int ec, std::string room_id) override;
  void OnGetRoomStatusSuccess(rtTarvo::rtc::RoomStatus status) override;
  void OnGetParticipantsSuccess(std::vector<rtTarvo::rtc::ParticipantInfo> participants) override;
  void OnGetParticipantsFailed(int ec) override;
  void OnParticipantJoined(rtTarvo::rtc::ParticipantInfo participant) override;
  void OnParticipantLeft(rtTarvo::rtc::ParticipantInfo participant) override;
  void OnRoomDestoryNotify(int reason) override;
  void OnAudioDeviceSelected(uint8_t kind, const std::string& name, const std::string& id) override;
  void OnSubscribeSuccess(std::string stream_id, int video_type) override;
  void OnSubscribeFailed(int ec, std::string em, std::string stream_id, int video_type) override;
  void OnUnSubscribeSuccess(std::string stream_id) override;
  void OnUnSubscribeFailed(int ec, std::string em, std::string stream_id) override;
  void OnIceDisconnected(std::string stream_id) override;
  void OnServerConnected(const std::vector<uint8_t>& reason) override;
  void OnServerDisconnected(std::string stream_id) override;
  void BeKickedFromRoomNotify(std::string origin, int reason) override;
  void OnKickoutNotify(std::vector<std::string> user_ids) override;

  // The SDK objects (null until InitSDK bound them).
  rtTarvo::base::RTService* GetService() const { return m_pService; }
  rtTarvo::rtc::RTCEngine* GetRtcEngine() const { return m_pRtcEngine; }
  // The number of registered consumers.
  int GetConsumerCount() const { return m_nConsumerCount.load(); }
  // A copy of the meeting's ids.
  StMeetingIds GetMeetingIds();

 protected:
  // Changes the meeting's ids under their mutex.
  void UpdateMeetingIds(const std::function<void(StMeetingIds&)>& change);
  // A copy of the join record of the last Login.
  StJoinInfo GetJoinInfo();

  // What tests look at and set up.
  struct StLiveState {
    bool subscribing = false;  // A live subscription is in progress.
    bool enabled = false;      // Live subscription enabled.
    bool subscribed = false;   // The live stream is subscribed.
    int width = 0;             // The wanted live size.
    int height = 0;
    bool audioMuted = false;
  };
  StLiveState GetLiveState() const;
  std::map<std::string, int32_t> GetSubscribedStreams();
  std::vector<LocalVideoStream> GetLocalVideoStreams();
  void AppendLocalVideoStream(const LocalVideoStream& stream);
  std::vector<std::string> GetRepublishStreams();
  std::vector<std::string> GetResubscribeStreams();
  std::vector<std::string> GetStreamOps();
  void AddStreamOp(const std::string& op);
  std::vector<std::string> GetMediaShareUsers();
  void AddMediaShareUser(const std::string& uid);
  bool IsConnectionLost(bool publish) const;
  std::string GetSenderStreamId(int kind);
  void SetLiveSubscribeEnabled(bool on) { m_bLiveSubscribeEnabled.store(on); }
  void SetLocalMediaPlaying(bool on) { m_bLodIng.store(on); }
  bool IsInMeeting() const { return m_bIn_meet.load(); }
  void SetLocalVideoMuted(bool muted) { m_bVideoMutex.store(muted); }
  void SetLocalMicMuted(bool muted) { m_bMicMuted.store(muted); }
  // The beauty client's parameter block (defaults when there is no client).
  StBeautyParam GetBeautyParam();
  // A copy of the stored picture frame (empty when none) and its size.
  std::vector<uint8_t> GetStoredFrame(int* width, int* height);
  bool IsLocalVideoMuted() const { return m_bVideoMutex.load(); }
  bool IsLocalMicMuted() const { return m_bMicMuted.load(); }
  // Replaces the stored last local frame by a copy of |length| bytes of |data|.
  void StoreLastLocalFrame(const uint8_t* data, uint32_t length, uint16_t width, uint16_t height);
  // The show-state throttles' clock (steady_clock by default); both throttles start again at
  // its present time, as at construction.
  using SteadyNow = std::chrono::steady_clock::time_point (*)();
  void SetThrottleClock(SteadyNow now);
  std::deque<StPublishStatSample> GetPublishStatHistory();
  NetStatistics GetLocalMediaStatsRecord();
  StNetStatus GetNetStatus() const { return m_netStatus; }

 private:
  // The SDK's media object and live control, or null.
  rtTarvo::rtc::MediaObject* GetMedia() const;
  rtTarvo::rtc::LiveControl* GetLiveControl() const;
  // Wipes the meeting's state after its streams were stopped: live flags, the local-media
  // users and playing flag, camera records, the subscribed map, the stream ids and senders.
  void ClearMeetingState();
  // Empties both recovery lists (ending both sides' loss) and the pending stream operations.
  void ClearRecoveryState();
  // OnIceDisconnected's work on one side's list.
  void ListForRecovery(const std::string& streamId, bool publish);
  // OnPublishStreamRestored and OnSubscribeStreamRestored.
  void StreamRestored(const std::string& streamId, bool ok, bool publish);
  // A mute of the own stream |streamId| (found in the user registry) sets the local flag.
  void ApplyOwnMute(const std::string& streamId, bool audio, bool muted);
  // Subscribes the device-list, audio, volume, picture and beauty topics.
  void SubscribeDeviceTopics();
  // The microphones (1) or speakers (2) the SDK lists.
  std::vector<stDev_Info> GetAudioDevList(int kind);

 private:
  // 1. The SDK.
  void* m_hSdkLibrary = nullptr;  // HMODULE; loaded once, never freed.
  rtTarvo::base::RTService* m_pService = nullptr;
  rtTarvo::rtc::RTCEngine* m_pRtcEngine = nullptr;
  // 2. The local playback window (not owned), and the mutex that a pull holds while it uses it.
  std::mutex m_lodViewMutex;  // Protects |m_pLodView|; held across the window's calls.
  CLodViewFrame* m_pLodView = nullptr;
  // 3, 5, 15. The meeting's ids.
  std::mutex m_idsMutex;  // Protects |m_ids|.
  StMeetingIds m_ids;
  // 4. Local camera streams.
  std::mutex m_localVideoMutex;  // Protects |m_localVideoStreams|.
  std::vector<LocalVideoStream> m_localVideoStreams;
  // 6. Subscribed streams: stream id to kind (2 share, 4 mix, 7 live).
  std::mutex m_subscribedMutex;  // Protects |m_subscribedStreams|.
  std::map<std::string, int32_t> m_subscribedStreams;
  // 7. Consumers (not owned).
  std::mutex m_consumerMutex;  // Protects |m_consumers|.
  std::vector<DevConsumerDelegate*> m_consumers;
  std::atomic<int32_t> m_nConsumerCount{0};
  // 8. Pending stream operations: stream id + "_v" or "_a".
  std::mutex m_streamOpMutex;  // Protects |m_streamOps|.
  std::vector<std::string> m_streamOps;
  // 9. The face-beauty client.
  std::mutex m_beautyMutex;  // Serialises the beauty client's start, stop, parameters and frames.
  std::unique_ptr<CxBeautyFace> m_pBeautyFace;
  // 10. The last local frame (malloc'd).
  std::mutex m_frameMutex;  // Protects the four fields below.
  uint8_t* m_pLastFrame = nullptr;
  uint16_t m_nLastFrameWidth = 0;
  uint16_t m_nLastFrameHeight = 0;
  uint32_t m_nLastFrameLength = 0;
  // 11. Transform work objects (camera frames use their record's own, see LocalVideoStream).
  CxYuvTransform m_pictureTransform;
  CxYuvTransform m_previewTransform;
  // 12. Stream blocks, in this order: live, mix, cast, camera.
  CxShareMemory m_liveBlock;
  CxShareMemory m_mixBlock;
  CxShareMemory m_castBlock;
  CxShareMemory m_cameraBlock;
  // 13. The network quality histories.
  StNetStatus m_netStatus;
  // 14. The join record (under |m_idsMutex|).
  StJoinInfo m_joinInfo;
  // 16. Recovery lists.
  std::mutex m_republishMutex;  // Protects |m_republishStreams|.
  std::vector<std::string> m_republishStreams;
  std::mutex m_resubscribeMutex;  // Protects |m_resubscribeStreams|.
  std::vector<std::string> m_resubscribeStreams;
  // 17. Users publishing a local-media stream.
  std::mutex m_mediaShareMutex;  // Protects |m_mediaShareUsers|.
  std::vector<std::string> m_mediaShareUsers;
  // 18. Flags.
  std::atomic<bool> m_bLiveSubscribing{false};
  std::atomic<bool> m_bPublishConnectionLost{false};
  std::atomic<bool> m_bSubscribeConnectionLost{false};
  std::atomic<bool> m_bVideoMutex{false};  // Local video muted.
  std::atomic<bool> m_bMicMuted{false};
  std::atomic<bool> m_bIn_meet{false};
  std::atomic<bool> m_bLiveSubscribeEnabled{false};
  std::atomic<bool> m_bLiveSubscribed{false};
  std::atomic<bool> m_bLodIng{false};
  std::atomic<bool> m_bCurPublishVideo{false};
  std::atomic<bool> m_bCurPublishMic{false};
  std::atomic<int32_t> m_nLiveWidth{0};
  std::atomic<int32_t> m_nLiveHeight{0};
  std::atomic<bool> m_bLiveAudioMuted{false};
  // 19. Statistics records, the publish history between the first two, and their mutexes.
  NetStatistics m_publishStats;
  std::deque<StPublishStatSample> m_publishStatHistory;
  NetStatistics m_subscribeStats;
  NetStatistics m_localMediaStats;
  std::mutex m_publishStatsMutex;
  std::mutex m_subscribeStatsMutex;
  std::mutex m_localMediaStatsMutex;
  // 20. The owner (the main window; not owned).
  DevConsumerDelegate* m_pOwner = nullptr;
  // 21. Frame senders by kind, under the sender lock (a critical section).
  CxLock m_senderLock;
  StFrameSender m_senders[2];
  // 22. Bus subscriptions.
  CxSubscriptionList m_subscriptions;
  // 23. The publish stream starts muted (set at camera stream creation).
  bool m_bStartMuted = false;
  // The size the publish stream was created with (or last set to); its publish sets it again.
  std::atomic<int32_t> m_nPublishWidth{0};
  std::atomic<int32_t> m_nPublishHeight{0};
  // A share stream was asked for and its sender has not come yet.
  std::atomic<bool> m_bShareRequested{false};
  // A share or local-media stop came before the stream's sender: the sender callback releases
  // that stream instead of publishing it.
  std::atomic<bool> m_bStopBeforeSender{false};
  // 24. Throttles of the show-state hint (touched only by OnLocalAudioState), on |m_throttleNow|.
  std::atomic<SteadyNow> m_throttleNow{&std::chrono::steady_clock::now};
  StThrottle m_repeatThrottle{std::chrono::steady_clock::now(), 60000};
  StThrottle m_showThrottle{std::chrono::steady_clock::now(), 5000};
};
