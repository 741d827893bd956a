#pragma once

// What the SDK layer's tests share: the layer with its test view, a recording owner, a page
// that records the events it is sent, and an offline meeting driven through the stand-in's
// control (its journal of calls and "emit").

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/orvim/common/json.h"
#include "platform/orvim/testing/orvim_library.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/join_info.h"

struct StAppConfig;

namespace sdk_test {

// Polls |done| every 10 ms; false when it is still false after |timeout_ms|.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 10000);

// The layer with its test view opened.
class TestLayer : public CSdkInterActive {
 public:
  using CSdkInterActive::CSdkInterActive;
  using CSdkInterActive::AddMediaShareUser;
  using CSdkInterActive::AddStreamOp;
  using CSdkInterActive::AppendLocalVideoStream;
  using CSdkInterActive::GetBeautyParam;
  using CSdkInterActive::GetStoredFrame;
  using CSdkInterActive::GetJoinInfo;
  using CSdkInterActive::GetLiveState;
  using CSdkInterActive::GetLocalVideoStreams;
  using CSdkInterActive::GetMediaShareUsers;
  using CSdkInterActive::GetRepublishStreams;
  using CSdkInterActive::GetResubscribeStreams;
  using CSdkInterActive::GetSenderStreamId;
  using CSdkInterActive::GetStreamOps;
  using CSdkInterActive::GetSubscribedStreams;
  using CSdkInterActive::IsConnectionLost;
  using CSdkInterActive::IsInMeeting;
  using CSdkInterActive::IsLocalMediaPlaying;
  using CSdkInterActive::SetLiveSubscribeEnabled;
  using CSdkInterActive::SetLocalMediaPlaying;
  using CSdkInterActive::SetLocalMicMuted;
  using CSdkInterActive::SetLocalVideoMuted;
  using CSdkInterActive::IsLocalMicMuted;
  using CSdkInterActive::IsLocalVideoMuted;
  using CSdkInterActive::StoreLastLocalFrame;
  using CSdkInterActive::UpdateMeetingIds;
  using CSdkInterActive::SetThrottleClock;
  using CSdkInterActive::GetPublishStatHistory;
  using CSdkInterActive::GetLocalMediaStatsRecord;
  using CSdkInterActive::GetNetStatus;
};

// The owner window as the layer sees it: records the calls, and keeps the two reconnect
// "timers" (on or off) and their retry counts as the main window does.
class RecordingOwner : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return usingVideoDev.load(); }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
  void OnJoinRoom(int result, const std::string& roomId) override;
  void OnJoinGroup(const std::string& groupId, const std::string& groupConfId) override;
  void IceReConnectPub(bool start) override;
  void IceReConnectSub(bool start) override;
  int GetIceReConnectPubCount() override { return pubRetries.load(); }
  int GetIceReConnectSubCount() override { return subRetries.load(); }
  void OnPictureStream(bool on) override;
  void OnVideoDevOpened() override;
  void OnPublishSuccess() override;
  void OnShareResult(int result, bool stopped) override;

  // Every call as "Name(args)", in order.
  std::vector<std::string> Calls();
  // Whether OnPublishSuccess was called.
  bool Published();
  void Clear();

  std::atomic<bool> pubTimer{false};
  std::atomic<bool> subTimer{false};
  std::atomic<int> pubRetries{0};  // What the timers' ticks counted; tests set them.
  std::atomic<int> subRetries{0};
  std::atomic<bool> usingVideoDev{false};  // What IsUsingVideoDev answers.

 private:
  void Add(const std::string& call);
  std::mutex mutex_;  // Protects |calls_|.
  std::vector<std::string> calls_;
};

// A device window registered as consumer: records its device results as "name:id=ok".
class RecordingConsumer : public DevConsumerDelegate {
 public:
  RecordingConsumer(std::string name, std::vector<std::string>* log, std::mutex* mutex)
      : name_(std::move(name)), log_(log), mutex_(mutex) {}
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return usingVideoDev.load(); }
  int GetCaptureWidth() override { return 640; }
  int GetCaptureHeight() override { return 360; }

  std::atomic<bool> usingVideoDev{false};

 private:
  std::string name_;
  std::vector<std::string>* log_;
  std::mutex* mutex_;
};

// A device window registered as consumer that counts the ends of the speaker test.
class SpeakerTestConsumer : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 0; }
  int GetCaptureHeight() override { return 0; }
  void OnSpeakerTestEnd() override { ++ends; }
  std::atomic<int> ends{0};
};

// The page: every event the sender sends, parsed, and the deferred leave notices.
class PageSink : public JsEventDelegate {
 public:
  PageSink();   // Installs itself on CJsEventSender::Instance().
  ~PageSink();  // Uninstalls itself.
  void OnNativeInvokeJS(const std::string& json, bool log) override;
  void DeferExitNotify(int reason, const std::string& origin, bool deferred) override;
  void OnShareStopped() override {}
  void RestoreIfNotMaximized() override {}

  // The events numbered |number| (all when 0), as JSON texts.
  std::vector<std::string> Events(int number = 0);
  // The events numbered |number|, parsed.
  std::vector<orvim::JsonPtr> Parsed(int number);
  // "reason/origin/deferred" of each DeferExitNotify.
  std::vector<std::string> Deferred();
  // The values of |key| of the events numbered |number| (numbers as decimal text).
  std::vector<std::string> Values(int number, const char* key);
  // Waits until |count| events numbered |number| arrived; false after |timeout_ms|.
  bool WaitFor(int number, size_t count, int timeout_ms = 10000);
  void Clear();

 private:
  std::mutex mutex_;  // Protects the lists.
  std::vector<std::pair<int, std::string>> events_;
  std::vector<std::string> deferred_;
};

// One recorded SDK call.
struct Call {
  std::string op;
  std::string args;  // JSON text.
};

// A layer of its own service, logged in offline and in a meeting; the journal starts empty.
class OfflineMeeting {
 public:
  // |withOwner| false gives the layer no owner.
  explicit OfflineMeeting(bool withOwner = true);
  ~OfflineMeeting();

  // Logs in (offline) with |join| (userid "me", cid "c-me" by default) and emits the join
  // success of room "room"; the journal is cleared after.
  void Join();
  // The service's calls since the last read (cleared).
  std::vector<Call> Journal();
  // Only the names, optionally only those in |filter|.
  std::vector<std::string> Ops(const std::vector<std::string>& filter = {});
  // Runs one callback on the service's callback thread and waits for it. |args| is the JSON
  // text of the arguments object.
  bool Emit(const std::string& callback, const std::string& args);
  // The stream list (JSON array text) and user list the offline service answers.
  bool SetStreams(const std::string& streams);
  bool SetUsers(const std::string& users);
  std::string Control(const std::string& request) { return library.Control(request); }

  orvim::testing::OrvimLibrary library;
  PageSink page;
  RecordingOwner owner;
  TestLayer layer;
  StJoinInfo join;
};

// Keeps the settings fields the camera and frame tests change, and puts them back.
class ConfigGuard {
 public:
  ConfigGuard();
  ~ConfigGuard();
  ConfigGuard(const ConfigGuard&) = delete;
  ConfigGuard& operator=(const ConfigGuard&) = delete;

 private:
  std::string cameraId_, cameraName_, micId_, picture_;
  int32_t width_, height_, rotation_, flip_, mirror_;
  bool useMode_, cameraOn_, host_, ratio_, suspended_, beautyChanged_;
  uint8_t prior_;
  st_beauty beauty_;
};

// Points the settings at the stand-in's virtual devices: its first camera, at 1280 x 720, and
// its first microphone.
void UseVirtualDevices(StAppConfig* config);

// This client's join info for |room| of the room server at |server|: "Me" (user "me", client
// "c-me") of site "site".
StJoinInfo JoinAsMe(const std::string& room, const std::string& server);

// The text of the process log from |offset| on.
std::string ReadLog(size_t offset = 0);
size_t LogSize();

}  // namespace sdk_test
