#include "platform/orvim/sdk/service.h"

#include <chrono>
#include <thread>
#include <utility>

#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/records_json.h"
#include "platform/orvim/sdk/sdk_threads.h"

namespace orvim::sdk {

using rtTarvo::base::RTObserver;

namespace {

// A frame received from the server, delivered from its message buffer.
class ReceivedFrame : public rtTarvo::rtc::VideoFrame {
 public:
  explicit ReceivedFrame(const InMessage& message) {
    description_.width = message.width;
    description_.height = message.height;
    description_.length = static_cast<int32_t>(message.payload_size());
    description_.data = message.payload();
  }
  void GetDescription(rtTarvo::rtc::FrameDescription* out) override { *out = description_; }

 private:
  rtTarvo::rtc::FrameDescription description_;
};

}  // namespace

Service::Service(int number)
    : number_(number),
      hooks_(SdkThreadHooks(this)),
      tag_(static_cast<uint16_t>(number)),
      callbacks_(L"orvim: callbacks", hooks_),
      remote_frames_(L"orvim: remote frames", hooks_),
      audio_(L"orvim: audio", hooks_, 10, [this] { AudioTick(); }) {}

Service::~Service() { Shutdown(); }

void Service::Shutdown() {
  std::shared_ptr<Session> session;
  std::vector<std::shared_ptr<Session>> old_sessions;
  std::map<std::string, std::unique_ptr<CameraStream>> cameras;
  std::vector<std::unique_ptr<CameraStream>> old_cameras;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_) return;
    released_ = true;
    session = std::move(session_);
    old_sessions = std::move(old_sessions_);
    cameras = std::move(cameras_);
    old_cameras = std::move(old_cameras_);
    for (auto& sender : senders_) sender->Retire();
  }
  // Ask every thread to end first, then wait for each.
  for (auto& [id, camera] : cameras) {
    if (camera) camera->Stop();
  }
  if (session) session->Stop();
  for (auto& old : old_sessions) old->Stop();
  for (auto& [id, camera] : cameras) {
    if (camera) camera->Join();
  }
  for (auto& camera : old_cameras) camera->Join();
  audio_.Stop();
  remote_frames_.Stop();
  callbacks_.Stop();
}

void Service::AddObserver(RTObserver* observer) {
  Record("AddObserver");
  observers_.Add(observer);
}

void Service::RemoveObserver(RTObserver* observer) {
  Record("RemoveObserver");
  observers_.Remove(observer, CurrentThreadOwner() != this);
}

void Service::SetServerAddress(std::string address) {
  JsonPtr args = NewObject();
  PutString(args.get(), "address", address);
  Record("SetServerAddress", args.release());
  std::lock_guard<std::mutex> lock(mutex_);
  address_ = address;
}

int Service::LoginAndJoin(std::string conf_id, std::string user_name, std::string user_id,
                          std::string cid, std::string sid, std::string extra) {
  JsonPtr args = NewObject();
  PutString(args.get(), "conf_id", conf_id);
  PutString(args.get(), "user_name", user_name);
  PutString(args.get(), "user_id", user_id);
  PutString(args.get(), "cid", cid);
  PutString(args.get(), "sid", sid);
  PutString(args.get(), "extra", extra);
  Record("LoginAndJoin", args.release());
  if (Released()) return -1;
  CollectFinished();
  if (Offline()) return 0;

  Failure failure;
  if (TakeFailure("login", &failure)) {
    Notify([failure, conf_id](RTObserver* o) {
      o->OnLogin(rtTarvo::rtc::LoginResult{false, failure.code, failure.message});
      o->OnRegisterFailed(failure.code, failure.message);
      o->OnJoinRoomFailed(failure.code, conf_id);
    });
    return 0;
  }
  std::shared_ptr<Session> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old = std::move(session_);
    if (old) old_sessions_.push_back(old);
    EndSessionState();
    room_id_ = conf_id;
    if (!tag_fixed_) tag_.store(TagFromText(user_id.c_str()));
    Session::Login login{conf_id, user_name, user_id, cid, sid, extra};
    // Made under the lock: its reader's first report waits until |session_| names it.
    session_ = std::make_shared<Session>(address_, std::move(login),
                                         static_cast<SessionDelegate*>(this), hooks_,
                                         reconnect_window_ms_);
  }
  if (old) old->Leave();
  return 0;
}

void Service::Leave() {
  Record("Leave");
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session = std::move(session_);
    if (session) old_sessions_.push_back(session);
    EndSessionState();
  }
  if (session) session->Leave();
  CollectFinished();
}

void Service::TakeCommand(const void* record) {
  JsonPtr args = NewObject();
  PutBool(args.get(), "record", record != nullptr);
  Record("TakeCommand", args.release());
}

void Service::Notify(ObserverCall call) {
  callbacks_.Post([this, call = std::move(call)] { observers_.ForEach(call); });
}

void Service::DeliverFrame(const std::string& stream_id, int source_type,
                           rtTarvo::rtc::VideoFrame* frame) {
  observers_.ForEach([&](RTObserver* o) { o->OnVideoFrameYUVData(stream_id, source_type, frame); });
}

bool Service::Offline() {
  std::lock_guard<std::mutex> lock(mutex_);
  return address_.empty() || address_ == "offline";
}

bool Service::Released() {
  std::lock_guard<std::mutex> lock(mutex_);
  return released_;
}

bool Service::SendRequest(cJSON* request) {
  JsonPtr owned(request);
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Requests made while the login is still under way wait for it in the session.
    if (released_ || !session_) return false;
    session = session_;
  }
  session->SendJson(ToText(owned.get()));
  return true;
}

bool Service::TakeFailure(const std::string& kind, Failure* failure) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = failures_.find(kind);
  if (it == failures_.end()) return false;
  *failure = it->second;
  failures_.erase(it);
  return true;
}

std::string Service::NewStreamId(const char* kind) {
  std::lock_guard<std::mutex> lock(mutex_);
  return "s" + std::to_string(number_) + "-" + std::to_string(tag_.load()) + "-" + kind + "-" +
         std::to_string(next_stream_number_++);
}

std::string Service::RoomId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return room_id_;
}

bool Service::Self(rtTarvo::rtc::ParticipantInfo* out) {
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session = session_;
  }
  return session && mirror_.FindParticipant(session->participant_id(), out);
}

void Service::EndSessionState() {
  // Called with |mutex_| held.
  mirror_.Clear();
  for (auto& [id, stream] : outgoing_) stream.published = false;
}

bool Service::EndCameraStreams(const std::string& device_id, int timeout_ms) {
  // The streams stay where they are (a later ReleaseStream or the release collects them);
  // they are looked up anew under the lock on every round, as those may take them meanwhile.
  auto running = [&](bool stop) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool any = false;
    auto check = [&](CameraStream* stream) {
      if (!stream || stream->device_id() != device_id || stream->Finished()) return;
      if (stop) stream->Stop();
      any = true;
    };
    for (auto& [id, stream] : cameras_) check(stream.get());
    for (auto& stream : old_cameras_) check(stream.get());
    return any;
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool any = running(true);
  while (any && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    any = running(false);
  }
  return !any;
}

void Service::CollectFinished() {
  std::vector<std::shared_ptr<Session>> sessions;
  std::vector<std::unique_ptr<CameraStream>> cameras;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = old_sessions_.begin(); it != old_sessions_.end();) {
      if ((*it)->Finished()) {
        sessions.push_back(std::move(*it));
        it = old_sessions_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = old_cameras_.begin(); it != old_cameras_.end();) {
      if ((*it)->Finished()) {
        cameras.push_back(std::move(*it));
        it = old_cameras_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& session : sessions) session->Stop();
  for (auto& camera : cameras) camera->Join();
}

// ---------------------------------------------------------------------------------------------
// Session reports (reader thread).

void Service::OnSessionMessage(const void* session, const cJSON* message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ || session != session_.get()) return;
  }
  HandleServerMessage(GetString(message, "op"), message);
}

void Service::OnSessionMedia(const void* session, InMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ || session != session_.get()) return;
  }
  if (message.type == kMessageAudio) {
    tap_.Add(message.stream_id, message.payload(), message.payload_size());
    return;
  }
  // A slow observer loses remote frames instead of piling them up.
  if (remote_pending_.load() >= 3) return;
  ++remote_pending_;
  remote_frames_.Post([this, message = std::move(message)] {
    ReceivedFrame frame(message);
    DeliverFrame(message.stream_id, message.source_type, &frame);
    --remote_pending_;
  });
}

void Service::OnSessionLoginFailed(const void* session, int code, const std::string& message) {
  std::string room;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ || session != session_.get()) return;
    old_sessions_.push_back(std::move(session_));
    room = room_id_;
  }
  Notify([code, message, room](RTObserver* o) {
    o->OnLogin(rtTarvo::rtc::LoginResult{false, code, message});
    o->OnRegisterFailed(code, message);
    o->OnJoinRoomFailed(code, room);
  });
}

void Service::OnSessionResumed(const void* session) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ || session != session_.get()) return;
  }
  Notify([](RTObserver* o) {
    const std::string reason = "signalling resumed";
    o->OnServerConnected(std::vector<uint8_t>(reason.begin(), reason.end()));
  });
}

void Service::OnSessionLost(const void* session) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ || session != session_.get()) return;
    old_sessions_.push_back(std::move(session_));
    EndSessionState();
  }
  Notify([](RTObserver* o) { o->OnServerDisconnected(std::string()); });
}

void Service::HandleServerMessage(const std::string& op, const cJSON* m) {
  using namespace rtTarvo::rtc;
  const std::string stream_id = GetString(m, "stream");
  const int code = GetInt(m, "code", -1);
  const std::string text = GetString(m, "message");
  const bool ok = GetBool(m, "ok", true);

  if (op == "login_result") {
    mirror_.SetParticipants(ParticipantsFromJson(cJSON_GetObjectItemCaseSensitive(m, "participants")));
    mirror_.SetStreams(StreamEntriesFromJson(cJSON_GetObjectItemCaseSensitive(m, "streams")));
    const std::string room = GetString(m, "room");
    const bool created = GetBool(m, "created");
    const std::string self =
        GetString(cJSON_GetObjectItemCaseSensitive(m, "participant"), "id");
    Notify([room, created, self](RTObserver* o) {
      o->OnLogin(LoginResult{true, 0, "ok"});
      if (created) o->OnCreateRoomSuccess(self, room);
      o->OnJoinRoomSuccess(room);
    });
  } else if (op == "participant_joined" || op == "participant_left" || op == "participant_updated") {
    const ParticipantInfo p = ParticipantFromJson(cJSON_GetObjectItemCaseSensitive(m, "participant"));
    if (op == "participant_left") {
      mirror_.RemoveParticipant(p.id);
      Notify([p](RTObserver* o) { o->OnParticipantLeft(p); });
    } else {
      mirror_.PutParticipant(p);
      if (op == "participant_joined") Notify([p](RTObserver* o) { o->OnParticipantJoined(p); });
    }
  } else if (op == "stream_added" || op == "stream_removed" || op == "stream_updated") {
    const cJSON* json = cJSON_GetObjectItemCaseSensitive(m, "stream_entry");
    const StreamInfo info = StreamInfoFromJson(json);
    if (op == "stream_removed") {
      mirror_.RemoveStream(info.stream_id);
      Notify([info](RTObserver* o) { o->OnStreamRemoved(info); });
    } else {
      mirror_.PutStream(StreamEntryFromJson(json));
      if (op == "stream_added") Notify([info](RTObserver* o) { o->OnStreamAdded(info); });
    }
  } else if (op == "publish_result") {
    if (ok) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = outgoing_.find(stream_id);
        if (it != outgoing_.end()) it->second.published = true;
      }
      Notify([stream_id](RTObserver* o) { o->OnPublishSuccess(stream_id); });
    } else {
      Notify([=](RTObserver* o) { o->OnPublishFailed(code, text, stream_id); });
    }
  } else if (op == "subscribe_result") {
    const int kind = GetInt(m, "kind");
    if (ok) {
      Notify([=](RTObserver* o) { o->OnSubscribeSuccess(stream_id, kind); });
    } else {
      Notify([=](RTObserver* o) { o->OnSubscribeFailed(code, text, stream_id, kind); });
    }
  } else if (op == "unsubscribe_result") {
    if (ok) {
      Notify([=](RTObserver* o) { o->OnUnSubscribeSuccess(stream_id); });
    } else {
      Notify([=](RTObserver* o) { o->OnUnSubscribeFailed(code, text, stream_id); });
    }
  } else if (op == "mute_result" || op == "mute_notify") {
    const bool audio = GetBool(m, "audio");
    const bool muted = GetBool(m, "muted");
    if (op == "mute_notify") {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = outgoing_.find(stream_id);
        if (it != outgoing_.end()) (audio ? it->second.audio_muted : it->second.video_muted) = muted;
      }
      Notify([=](RTObserver* o) { o->OnStreamMuteOrUnmuteNotify(stream_id, audio, muted); });
    } else if (ok) {
      Notify([=](RTObserver* o) { o->OnStreamMuteOrUnmuteSuccess(stream_id, muted, audio); });
    } else {
      Notify([=](RTObserver* o) { o->OnStreamMuteOrUnmuteFailed(code, stream_id, muted, audio); });
    }
  } else if (op == "stats_result") {
    int rtt = -1;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = stats_requests_.find(GetInt(m, "seq"));
      if (it != stats_requests_.end()) {
        rtt = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - it->second)
                                   .count());
        stats_requests_.erase(it);
      }
    }
    if (ok) {
      NetStatistics stats = StatisticsFromJson(cJSON_GetObjectItemCaseSensitive(m, "stats"));
      stats.video.rtt = rtt;
      stats.audio.rtt = rtt;
      Notify([stream_id, stats](RTObserver* o) { o->OnGetConnectionStatsResult(stream_id, stats); });
    } else {
      Notify([=](RTObserver* o) { o->OnGetConnectionStatsReusltFailed(code, stream_id); });
    }
  } else if (op == "room_status") {
    const RoomStatus status = RoomStatusFromJson(cJSON_GetObjectItemCaseSensitive(m, "status"));
    Notify([status](RTObserver* o) { o->OnGetRoomStatusSuccess(status); });
  } else if (op == "participants") {
    if (ok) {
      std::vector<ParticipantInfo> list =
          ParticipantsFromJson(cJSON_GetObjectItemCaseSensitive(m, "participants"));
      mirror_.SetParticipants(list);
      Notify([list](RTObserver* o) { o->OnGetParticipantsSuccess(list); });
    } else {
      Notify([code](RTObserver* o) { o->OnGetParticipantsFailed(code); });
    }
  } else if (op == "layout_changed") {
    const LayoutMap layout = LayoutFromJson(cJSON_GetObjectItemCaseSensitive(m, "layout"));
    const int count = static_cast<int>(layout.size());
    Notify([count, layout](RTObserver* o) { o->OnLayoutChanged(count, layout); });
  } else if (op == "layout_get_result" || op == "layout_set_result" || op == "insertion_result" ||
             op == "volume_set_result" || op == "volume_get_result") {
    const std::string ec = GetString(m, "ec");
    const std::string em = GetString(m, "em");
    const std::string data = GetString(m, "data");
    const int volume = GetInt(m, "volume");
    Notify([=](RTObserver* o) {
      if (op == "layout_get_result") o->OnGetLive2LayoutResult(ec, em, data);
      if (op == "layout_set_result") o->OnSetLive2LayoutResult(ec, em);
      if (op == "insertion_result") o->OnStartInterCut(ec, em);
      if (op == "volume_set_result") o->OnSetInterCutVolume(ec, em);
      if (op == "volume_get_result") o->OnGetInterCutVolume(ec, em, volume);
    });
  } else if (op == "ice_disconnected") {
    Notify([stream_id](RTObserver* o) { o->OnIceDisconnected(stream_id); });
  } else if (op == "kicked" || op == "room_destroyed") {
    const std::string origin = GetString(m, "origin");
    const int reason = GetInt(m, "reason");
    {
      // The server ends this session (its goodbye and the close follow).
      std::lock_guard<std::mutex> lock(mutex_);
      if (session_) old_sessions_.push_back(std::move(session_));
      EndSessionState();
    }
    if (op == "kicked") {
      Notify([origin, reason](RTObserver* o) { o->BeKickedFromRoomNotify(origin, reason); });
    } else {
      Notify([reason](RTObserver* o) { o->OnRoomDestoryNotify(reason); });
    }
  } else if (op == "kickout_notice") {
    const std::vector<std::string> ids = StringsFromJson(cJSON_GetObjectItemCaseSensitive(m, "user_ids"));
    Notify([ids](RTObserver* o) { o->OnKickoutNotify(ids); });
  }
}

}  // namespace orvim::sdk
