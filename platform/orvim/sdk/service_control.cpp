// The control commands of one service (orvim_control.h), among them "emit", which runs any
// observer callback with given arguments from an SDK thread.

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <utility>

#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/records_json.h"
#include "platform/orvim/sdk/service.h"

namespace orvim::sdk {

using rtTarvo::base::RTObserver;
using namespace rtTarvo::rtc;

namespace {

constexpr unsigned kWaitMs = 10000;

// A frame the control made up: a camera picture, or a description that lies about its size.
class EmittedFrame : public VideoFrame {
 public:
  EmittedFrame(const cJSON* args) {
    const int width = GetInt(args, "width", 640);
    const int height = GetInt(args, "height", 360);
    const size_t real = I420Size(std::clamp(width, 0, kMaxFrameWidth), std::clamp(height, 0, kMaxFrameHeight));
    buffer_.assign(std::max<size_t>(real, 16), 0);
    PictureMark mark;
    mark.tag = static_cast<uint16_t>(GetInt(args, "tag", 0));
    mark.camera = static_cast<uint8_t>(GetInt(args, "camera", 0) & 15);
    mark.counter = static_cast<uint32_t>(GetInt(args, "counter", 0));
    if (real > 0) DrawPictureMark(buffer_.data(), width, height, mark);
    description_.width = width;
    description_.height = height;
    description_.length = GetInt(args, "length", static_cast<int>(real));
    description_.data = GetBool(args, "null_data") ? nullptr : buffer_.data();
  }
  void GetDescription(FrameDescription* out) override { *out = description_; }

 private:
  std::vector<uint8_t> buffer_;
  FrameDescription description_;
};

// The participants of "OnGetParticipantsSuccess": a list, or "count" made-up records.
std::vector<ParticipantInfo> EmittedParticipants(const cJSON* args) {
  const int count = GetInt(args, "count", -1);
  if (count < 0) return ParticipantsFromJson(cJSON_GetObjectItemCaseSensitive(args, "participants"));
  std::vector<ParticipantInfo> list(static_cast<size_t>(std::min(count, 1000000)));
  for (size_t i = 0; i < list.size(); ++i) {
    list[i].uid = "user" + std::to_string(i);
    list[i].cid = "cid" + std::to_string(i);
    list[i].name = "User " + std::to_string(i);
    list[i].platform = "windows";
    list[i].id = "p" + std::to_string(i);
  }
  return list;
}

}  // namespace

bool Service::PostAndWait(TaskThread& thread, std::function<void()> task, bool wait) {
  if (!wait || thread.IsCurrent()) {
    thread.Post(std::move(task));
    return true;
  }
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto done = std::make_shared<Done>();
  thread.Post([task = std::move(task), done] {
    task();
    std::lock_guard<std::mutex> lock(done->mutex);
    done->done = true;
    done->cv.notify_all();
  });
  // A service released meanwhile drops the task: stop waiting then.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  std::unique_lock<std::mutex> lock(done->mutex);
  while (!done->done && std::chrono::steady_clock::now() < deadline) {
    done->cv.wait_for(lock, std::chrono::milliseconds(50));
    if (!done->done) {
      lock.unlock();
      const bool released = Released();
      lock.lock();
      if (released) break;
    }
  }
  return done->done;
}

std::string Service::ControlEmit(const cJSON* request) {
  const std::string name = GetString(request, "callback");
  const cJSON* a = cJSON_GetObjectItemCaseSensitive(request, "args");
  const bool wait = GetBool(request, "wait", true);
  auto s = [a](const char* key) { return GetString(a, key); };
  auto i = [a](const char* key) { return GetInt(a, key); };
  auto b = [a](const char* key) { return GetBool(a, key); };
  auto object = [a](const char* key) { return cJSON_GetObjectItemCaseSensitive(a, key); };

  if (name == "OnVideoFrameYUVData") {
    auto frame = std::make_shared<EmittedFrame>(a);
    const std::string stream_id = s("stream_id");
    const int type = i("source_type");
    const bool ok = PostAndWait(
        remote_frames_, [this, frame, stream_id, type] { DeliverFrame(stream_id, type, frame.get()); }, wait);
    return ok ? OkAnswer() : ErrorAnswer("the frame was not delivered in time");
  }

  ObserverCall call;
  if (name == "OnLogin") {
    LoginResult r{b("success"), i("code"), s("message")};
    call = [r](RTObserver* o) { o->OnLogin(r); };
  } else if (name == "OnCommandPoll") {
    call = [](RTObserver* o) { o->OnCommandPoll(); };
  } else if (name == "OnRegisterFailed") {
    call = [c = i("error_code"), m = s("error_msg")](RTObserver* o) { o->OnRegisterFailed(c, m); };
  } else if (name == "OnCreateRoomSuccess") {
    call = [p = s("participant_id"), r = s("room_name")](RTObserver* o) { o->OnCreateRoomSuccess(p, r); };
  } else if (name == "OnCreateRoomFailed") {
    call = [e = i("ec"), r = s("room_name")](RTObserver* o) { o->OnCreateRoomFailed(e, r); };
  } else if (name == "OnJoinRoomSuccess") {
    call = [r = s("room_id")](RTObserver* o) { o->OnJoinRoomSuccess(r); };
  } else if (name == "OnJoinRoomFailed") {
    call = [e = i("ec"), r = s("room_id")](RTObserver* o) { o->OnJoinRoomFailed(e, r); };
  } else if (name == "OnCreateStreamSuccess") {
    call = [id = s("stream_id"), d = s("device_id"), c = i("code")](RTObserver* o) {
      o->OnCreateStreamSuccess(id, d, c);
    };
  } else if (name == "OnCreateStreamFailed") {
    call = [e = i("ec"), d = s("device_id")](RTObserver* o) { o->OnCreateStreamFailed(e, d); };
  } else if (name == "OnCreateSenderSuccess") {
    // A real sender of this service, so that frames sent through it are recorded.
    const std::string stream_id = s("stream_id");
    const int sender_kind = i("sender_kind");
    SenderImpl* sender = nullptr;
    if (!b("null_sender")) {
      std::lock_guard<std::mutex> lock(mutex_);
      senders_.push_back(std::make_unique<SenderImpl>(this, stream_id));
      sender = senders_.back().get();
      Outgoing& out = outgoing_[stream_id];
      out.sender_kind = sender_kind;
      out.announce_kind = sender_kind == 0 ? kStreamCamera : kStreamScreenShare;
      out.sender = sender;
    }
    call = [=, label = s("label"), type = i("video_type"), kind = i("stream_kind")](RTObserver* o) {
      o->OnCreateSenderSuccess(sender, label, stream_id, type, kind, sender_kind);
    };
  } else if (name == "OnCreateSenderFailed") {
    call = [id = s("stream_id"), e = i("ec"), t = i("video_type"), k = i("stream_kind")](RTObserver* o) {
      o->OnCreateSenderFailed(nullptr, id, e, t, k);
    };
  } else if (name == "OnReleaseStreamSuccess") {
    call = [id = s("stream_id")](RTObserver* o) { o->OnReleaseStreamSuccess(id); };
  } else if (name == "OnReleaseStreamFailed") {
    call = [e = i("ec"), id = s("stream_id")](RTObserver* o) { o->OnReleaseStreamFailed(e, id); };
  } else if (name == "OnPublishSuccess") {
    call = [id = s("stream_id")](RTObserver* o) { o->OnPublishSuccess(id); };
  } else if (name == "OnPublishFailed") {
    call = [e = i("ec"), m = s("em"), id = s("stream_id")](RTObserver* o) { o->OnPublishFailed(e, m, id); };
  } else if (name == "OnStreamMuteOrUnmuteSuccess") {
    call = [id = s("stream_id"), m = b("muted"), au = b("is_audio")](RTObserver* o) {
      o->OnStreamMuteOrUnmuteSuccess(id, m, au);
    };
  } else if (name == "OnStreamMuteOrUnmuteFailed") {
    call = [e = i("ec"), id = s("stream_id"), m = b("muted"), au = b("is_audio")](RTObserver* o) {
      o->OnStreamMuteOrUnmuteFailed(e, id, m, au);
    };
  } else if (name == "OnSubscribeSuccess") {
    call = [id = s("stream_id"), t = i("video_type")](RTObserver* o) { o->OnSubscribeSuccess(id, t); };
  } else if (name == "OnSubscribeFailed") {
    call = [e = i("ec"), m = s("em"), id = s("stream_id"), t = i("video_type")](RTObserver* o) {
      o->OnSubscribeFailed(e, m, id, t);
    };
  } else if (name == "OnUnSubscribeSuccess") {
    call = [id = s("stream_id")](RTObserver* o) { o->OnUnSubscribeSuccess(id); };
  } else if (name == "OnUnSubscribeFailed") {
    call = [e = i("ec"), m = s("em"), id = s("stream_id")](RTObserver* o) { o->OnUnSubscribeFailed(e, m, id); };
  } else if (name == "OnGetConnectionStatsResult") {
    call = [id = s("stream_id"), st = StatisticsFromJson(object("stats"))](RTObserver* o) {
      o->OnGetConnectionStatsResult(id, st);
    };
  } else if (name == "OnGetConnectionStatsReusltFailed") {
    call = [e = i("ec"), id = s("stream_id")](RTObserver* o) { o->OnGetConnectionStatsReusltFailed(e, id); };
  } else if (name == "OnGetParticipantsSuccess") {
    call = [list = EmittedParticipants(a)](RTObserver* o) { o->OnGetParticipantsSuccess(list); };
  } else if (name == "OnGetParticipantsFailed") {
    call = [e = i("ec")](RTObserver* o) { o->OnGetParticipantsFailed(e); };
  } else if (name == "OnGetRoomStatusSuccess") {
    call = [st = RoomStatusFromJson(object("status"))](RTObserver* o) { o->OnGetRoomStatusSuccess(st); };
  } else if (name == "OnSpeakerTestFinished") {
    call = [](RTObserver* o) { o->OnSpeakerTestFinished(); };
  } else if (name == "OnLocalAudioState") {
    call = [v = i("value")](RTObserver* o) { o->OnLocalAudioState(v); };
  } else if (name == "OnGetLive2LayoutResult") {
    call = [e = s("ec"), m = s("em"), d = s("data")](RTObserver* o) { o->OnGetLive2LayoutResult(e, m, d); };
  } else if (name == "OnSetLive2LayoutResult") {
    call = [e = s("ec"), m = s("em")](RTObserver* o) { o->OnSetLive2LayoutResult(e, m); };
  } else if (name == "OnLayoutChanged") {
    call = [c = i("count"), l = LayoutFromJson(object("layout"))](RTObserver* o) { o->OnLayoutChanged(c, l); };
  } else if (name == "OnStartInterCut") {
    call = [e = s("ec"), m = s("em")](RTObserver* o) { o->OnStartInterCut(e, m); };
  } else if (name == "OnStopInterCut") {
    call = [e = s("ec"), m = s("em")](RTObserver* o) { o->OnStopInterCut(e, m); };
  } else if (name == "OnSetInterCutVolume") {
    call = [e = s("ec"), m = s("em")](RTObserver* o) { o->OnSetInterCutVolume(e, m); };
  } else if (name == "OnGetInterCutVolume") {
    call = [e = s("ec"), m = s("em"), v = i("volume")](RTObserver* o) { o->OnGetInterCutVolume(e, m, v); };
  } else if (name == "OnServerConnected") {
    const std::string reason = s("reason");
    call = [bytes = std::vector<uint8_t>(reason.begin(), reason.end())](RTObserver* o) {
      o->OnServerConnected(bytes);
    };
  } else if (name == "OnServerDisconnected") {
    call = [id = s("stream_id")](RTObserver* o) { o->OnServerDisconnected(id); };
  } else if (name == "BeKickedFromRoomNotify") {
    call = [or_ = s("origin"), r = i("reason")](RTObserver* o) { o->BeKickedFromRoomNotify(or_, r); };
  } else if (name == "OnIceDisconnected") {
    call = [id = s("stream_id")](RTObserver* o) { o->OnIceDisconnected(id); };
  } else if (name == "OnKickoutNotify") {
    call = [ids = StringsFromJson(object("user_ids"))](RTObserver* o) { o->OnKickoutNotify(ids); };
  } else if (name == "OnParticipantJoined") {
    call = [p = ParticipantFromJson(object("participant"))](RTObserver* o) { o->OnParticipantJoined(p); };
  } else if (name == "OnParticipantLeft") {
    call = [p = ParticipantFromJson(object("participant"))](RTObserver* o) { o->OnParticipantLeft(p); };
  } else if (name == "OnRoomDestoryNotify") {
    call = [r = i("reason")](RTObserver* o) { o->OnRoomDestoryNotify(r); };
  } else if (name == "OnAudioDeviceSelected") {
    call = [k = static_cast<uint8_t>(i("kind")), n = s("name"), id = s("id")](RTObserver* o) {
      o->OnAudioDeviceSelected(k, n, id);
    };
  } else if (name == "OnStreamMuteOrUnmuteNotify") {
    call = [id = s("stream_id"), au = b("is_audio"), m = b("muted")](RTObserver* o) {
      o->OnStreamMuteOrUnmuteNotify(id, au, m);
    };
  } else if (name == "OnStreamAdded") {
    call = [st = StreamInfoFromJson(object("stream"))](RTObserver* o) { o->OnStreamAdded(st); };
  } else if (name == "OnStreamRemoved") {
    call = [st = StreamInfoFromJson(object("stream"))](RTObserver* o) { o->OnStreamRemoved(st); };
  } else {
    return ErrorAnswer("unknown callback " + name);
  }
  const bool ok = PostAndWait(callbacks_, [this, call] { observers_.ForEach(call); }, wait);
  return ok ? OkAnswer() : ErrorAnswer("the callback did not run in time");
}

std::string Service::ControlServer(const cJSON* request) {
  std::string address;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    address = address_;
  }
  return ForwardToServer(address, request);
}

std::string ForwardToServer(const std::string& address, const cJSON* request) {
  const cJSON* inner = cJSON_GetObjectItemCaseSensitive(request, "request");
  if (!cJSON_IsObject(inner)) return ErrorAnswer("server needs a request object");
  ScopedSocket socket(ConnectTo(address));
  if (!socket.valid()) return ErrorAnswer("the room server cannot be reached at " + address);
  JsonPtr message = NewObject();
  PutString(message.get(), "op", "control");
  cJSON_AddItemToObject(message.get(), "request", cJSON_Duplicate(inner, true));
  InMessage answer;
  std::string error;
  if (!WriteMessage(socket.get(), JsonMessage(ToText(message.get()))) ||
      !ReadMessage(socket.get(), &answer, &error) || answer.type != kMessageJson) {
    return ErrorAnswer("no answer from the room server");
  }
  return answer.json();
}

std::string Service::Control(const std::string& command, const cJSON* request) {
  if (command == "journal") return journal_.Read(GetBool(request, "clear"));
  if (command == "emit") return ControlEmit(request);
  if (command == "flush") {
    return callbacks_.Flush(kWaitMs) && remote_frames_.Flush(kWaitMs) ? OkAnswer()
                                                                     : ErrorAnswer("still busy");
  }
  if (command == "tap") return tap_.Read(GetBool(request, "drain"));
  if (command == "server") return ControlServer(request);
  if (command == "streams") {
    mirror_.SetStreams(StreamEntriesFromJson(cJSON_GetObjectItemCaseSensitive(request, "streams")));
    return OkAnswer();
  }
  if (command == "users") {
    mirror_.SetParticipants(ParticipantsFromJson(cJSON_GetObjectItemCaseSensitive(request, "users")));
    return OkAnswer();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (command == "next_create_code") {
    has_create_code_ = true;
    next_create_code_ = GetInt(request, "code");
  } else if (command == "fail_next") {
    const std::string kind = GetString(request, "request");
    static const char* const kKinds[] = {"create_stream", "create_sender", "publish", "subscribe",
                                         "unsubscribe",   "release",       "mute",    "stats",
                                         "login"};
    if (std::none_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return kind == k; })) {
      return ErrorAnswer("unknown request kind " + kind);
    }
    failures_[kind] = Failure{GetInt(request, "code", -1), GetString(request, "message", "failed")};
  } else if (command == "tag") {
    const int tag = GetInt(request, "tag", -1);
    if (tag < 0 || tag > 65535) return ErrorAnswer("tag must be 0 to 65535");
    tag_.store(static_cast<uint16_t>(tag));
    tag_fixed_ = true;
  } else if (command == "speaker_test_ms") {
    speaker_test_ms_ = std::max(0, GetInt(request, "ms", speaker_test_ms_));
  } else if (command == "reconnect_window_ms") {
    reconnect_window_ms_ = std::max(0, GetInt(request, "ms", reconnect_window_ms_));
  } else {
    return ErrorAnswer("unknown command " + command);
  }
  return OkAnswer();
}

cJSON* Service::Describe() {
  cJSON* item = cJSON_CreateObject();
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    PutInt(item, "number", number_);
    PutInt(item, "tag", tag_.load());
    PutString(item, "address", address_);
    PutString(item, "room", room_id_);
    session = session_;
  }
  const bool offline = Offline();
  PutString(item, "state", offline ? "offline" : !session ? "idle" : session->Joined() ? "joined" : "joining");
  PutString(item, "participant", session ? session->participant_id() : std::string());
  return item;
}

}  // namespace orvim::sdk
