#include "platform/orvim/testing/recording_observer.h"

#include <chrono>
#include <utility>

namespace orvim::testing {

namespace {

thread_local int t_depth = 0;  // Callbacks of any recording observer running on this thread.

constexpr size_t kMaxFrames = 5000;

ObservedEvent Named(const char* name) {
  ObservedEvent e;
  e.name = name;
  return e;
}

}  // namespace

bool RecordingObserver::WaitFor(const std::function<bool()>& predicate, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), predicate);
}

bool RecordingObserver::WaitForEvent(const std::string& name, size_t count, int timeout_ms) {
  return WaitFor(
      [&] {
        size_t n = 0;
        for (const ObservedEvent& e : events_) n += e.name == name;
        return n >= count;
      },
      timeout_ms);
}

bool RecordingObserver::WaitForFrames(const std::string& stream_id, size_t count, int timeout_ms) {
  return WaitFor(
      [&] {
        size_t n = 0;
        for (const ObservedFrame& f : frames_) n += stream_id.empty() || f.stream_id == stream_id;
        return n >= count;
      },
      timeout_ms);
}

std::vector<ObservedEvent> RecordingObserver::Events() {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<ObservedEvent> RecordingObserver::Events(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ObservedEvent> list;
  for (const ObservedEvent& e : events_) {
    if (e.name == name) list.push_back(e);
  }
  return list;
}

size_t RecordingObserver::Count(const std::string& name) { return Events(name).size(); }

ObservedEvent RecordingObserver::Last(const std::string& name) {
  std::vector<ObservedEvent> list = Events(name);
  return list.empty() ? ObservedEvent() : list.back();
}

std::vector<ObservedFrame> RecordingObserver::Frames(const std::string& stream_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ObservedFrame> list;
  for (const ObservedFrame& f : frames_) {
    if (stream_id.empty() || f.stream_id == stream_id) list.push_back(f);
  }
  return list;
}

void RecordingObserver::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
  frames_.clear();
}

void RecordingObserver::BlockNext(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  block_name_ = name;
}

void RecordingObserver::Unblock() {
  std::lock_guard<std::mutex> lock(mutex_);
  block_name_.clear();
  blocked_ = false;
  changed_.notify_all();
}

bool RecordingObserver::Blocked() {
  std::lock_guard<std::mutex> lock(mutex_);
  return blocked_;
}

void RecordingObserver::SetHook(std::function<void(const ObservedEvent&)> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

void RecordingObserver::SetFrameHook(FrameHook hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  frame_hook_ = std::move(hook);
}

void RecordingObserver::Add(ObservedEvent event) {
  event.thread = std::this_thread::get_id();
  event.nested = t_depth > 0;
  ++t_depth;
  std::function<void(const ObservedEvent&)> hook;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
    hook = hook_;
    if (!block_name_.empty() && block_name_ == event.name) {
      blocked_ = true;
      changed_.notify_all();
      changed_.wait(lock, [this] { return !blocked_; });
    }
  }
  if (hook) hook(event);
  --t_depth;
}

void RecordingObserver::OnLogin(const rtTarvo::rtc::LoginResult& result) {
  ObservedEvent e = Named("OnLogin");
  e.flag1 = result.success;
  e.code = result.code;
  e.text = result.message;
  Add(std::move(e));
}

void RecordingObserver::OnCommandPoll() { Add(Named("OnCommandPoll")); }

void RecordingObserver::OnRegisterFailed(int error_code, std::string error_msg) {
  ObservedEvent e = Named("OnRegisterFailed");
  e.code = error_code;
  e.text = std::move(error_msg);
  Add(std::move(e));
}

void RecordingObserver::OnVideoFrameYUVData(std::string stream_id, int source_type,
                                            rtTarvo::rtc::VideoFrame* frame) {
  ObservedFrame f;
  f.stream_id = std::move(stream_id);
  f.type = source_type;
  f.thread = std::this_thread::get_id();
  if (frame) {
    rtTarvo::rtc::FrameDescription d;
    frame->GetDescription(&d);
    FrameHook hook;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      hook = frame_hook_;
    }
    if (hook) hook(f.stream_id, source_type, d);
    f.width = d.width;
    f.height = d.height;
    f.length = d.length;
    if (d.data && d.width > 0 && d.height > 0 &&
        static_cast<int64_t>(d.length) >= static_cast<int64_t>(d.width) * d.height) {
      f.marked = ReadPictureMark(d.data, d.width, d.height, &f.mark);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  frames_.push_back(std::move(f));
  if (frames_.size() > kMaxFrames) frames_.pop_front();
  changed_.notify_all();
}

void RecordingObserver::OnServerConnected(const std::vector<uint8_t>& reason) {
  ObservedEvent e = Named("OnServerConnected");
  e.text.assign(reason.begin(), reason.end());
  Add(std::move(e));
}

void RecordingObserver::OnServerDisconnected(std::string stream_id) {
  ObservedEvent e = Named("OnServerDisconnected");
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::BeKickedFromRoomNotify(std::string origin, int reason) {
  ObservedEvent e = Named("BeKickedFromRoomNotify");
  e.id = std::move(origin);
  e.code = reason;
  Add(std::move(e));
}

void RecordingObserver::OnIceDisconnected(std::string stream_id) {
  ObservedEvent e = Named("OnIceDisconnected");
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnKickoutNotify(std::vector<std::string> user_ids) {
  ObservedEvent e = Named("OnKickoutNotify");
  e.ids = std::move(user_ids);
  Add(std::move(e));
}

void RecordingObserver::OnParticipantJoined(rtTarvo::rtc::ParticipantInfo participant) {
  ObservedEvent e = Named("OnParticipantJoined");
  e.id = participant.id;
  e.participant = std::move(participant);
  Add(std::move(e));
}

void RecordingObserver::OnParticipantLeft(rtTarvo::rtc::ParticipantInfo participant) {
  ObservedEvent e = Named("OnParticipantLeft");
  e.id = participant.id;
  e.participant = std::move(participant);
  Add(std::move(e));
}

void RecordingObserver::OnRoomDestoryNotify(int reason) {
  ObservedEvent e = Named("OnRoomDestoryNotify");
  e.code = reason;
  Add(std::move(e));
}

void RecordingObserver::OnAudioDeviceSelected(uint8_t kind, const std::string& name, const std::string& id) {
  ObservedEvent e = Named("OnAudioDeviceSelected");
  e.code = kind;
  e.text = name;
  e.id = id;
  Add(std::move(e));
}

void RecordingObserver::OnStreamMuteOrUnmuteNotify(std::string stream_id, bool is_audio, bool muted) {
  ObservedEvent e = Named("OnStreamMuteOrUnmuteNotify");
  e.id = std::move(stream_id);
  e.flag1 = is_audio;
  e.flag2 = muted;
  Add(std::move(e));
}

void RecordingObserver::OnStreamAdded(rtTarvo::rtc::StreamInfo stream) {
  ObservedEvent e = Named("OnStreamAdded");
  e.id = stream.stream_id;
  e.code = stream.kind;
  e.stream = std::move(stream);
  Add(std::move(e));
}

void RecordingObserver::OnStreamRemoved(rtTarvo::rtc::StreamInfo stream) {
  ObservedEvent e = Named("OnStreamRemoved");
  e.id = stream.stream_id;
  e.code = stream.kind;
  e.stream = std::move(stream);
  Add(std::move(e));
}

void RecordingObserver::OnCreateRoomSuccess(std::string participant_id, std::string room_name) {
  ObservedEvent e = Named("OnCreateRoomSuccess");
  e.id = std::move(participant_id);
  e.text = std::move(room_name);
  Add(std::move(e));
}

void RecordingObserver::OnCreateRoomFailed(int ec, std::string room_name) {
  ObservedEvent e = Named("OnCreateRoomFailed");
  e.code = ec;
  e.text = std::move(room_name);
  Add(std::move(e));
}

void RecordingObserver::OnJoinRoomSuccess(std::string room_id) {
  ObservedEvent e = Named("OnJoinRoomSuccess");
  e.id = std::move(room_id);
  Add(std::move(e));
}

void RecordingObserver::OnJoinRoomFailed(int ec, std::string room_id) {
  ObservedEvent e = Named("OnJoinRoomFailed");
  e.code = ec;
  e.id = std::move(room_id);
  Add(std::move(e));
}

void RecordingObserver::OnCreateStreamSuccess(std::string stream_id, std::string device_id, int code) {
  ObservedEvent e = Named("OnCreateStreamSuccess");
  e.id = std::move(stream_id);
  e.text = std::move(device_id);
  e.code = code;
  Add(std::move(e));
}

void RecordingObserver::OnCreateStreamFailed(int ec, std::string device_id) {
  ObservedEvent e = Named("OnCreateStreamFailed");
  e.code = ec;
  e.text = std::move(device_id);
  Add(std::move(e));
}

void RecordingObserver::OnCreateSenderSuccess(rtTarvo::rtc::FrameSender* sender, std::string label,
                                              std::string stream_id, int video_type, int stream_kind,
                                              int sender_kind) {
  ObservedEvent e = Named("OnCreateSenderSuccess");
  e.sender = sender;
  e.text = std::move(label);
  e.id = std::move(stream_id);
  e.code = video_type;
  e.number = stream_kind;
  e.number2 = sender_kind;
  Add(std::move(e));
}

void RecordingObserver::OnCreateSenderFailed(rtTarvo::rtc::FrameSender* sender, std::string stream_id,
                                             int ec, int video_type, int stream_kind) {
  ObservedEvent e = Named("OnCreateSenderFailed");
  e.sender = sender;
  e.id = std::move(stream_id);
  e.code = ec;
  e.number = video_type;
  e.number2 = stream_kind;
  Add(std::move(e));
}

void RecordingObserver::OnReleaseStreamSuccess(std::string stream_id) {
  ObservedEvent e = Named("OnReleaseStreamSuccess");
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnReleaseStreamFailed(int ec, std::string stream_id) {
  ObservedEvent e = Named("OnReleaseStreamFailed");
  e.code = ec;
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnPublishSuccess(std::string stream_id) {
  ObservedEvent e = Named("OnPublishSuccess");
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnPublishFailed(int ec, std::string em, std::string stream_id) {
  ObservedEvent e = Named("OnPublishFailed");
  e.code = ec;
  e.text = std::move(em);
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnStreamMuteOrUnmuteSuccess(std::string stream_id, bool muted, bool is_audio) {
  ObservedEvent e = Named("OnStreamMuteOrUnmuteSuccess");
  e.id = std::move(stream_id);
  e.flag1 = is_audio;
  e.flag2 = muted;
  Add(std::move(e));
}

void RecordingObserver::OnStreamMuteOrUnmuteFailed(int ec, std::string stream_id, bool muted, bool is_audio) {
  ObservedEvent e = Named("OnStreamMuteOrUnmuteFailed");
  e.code = ec;
  e.id = std::move(stream_id);
  e.flag1 = is_audio;
  e.flag2 = muted;
  Add(std::move(e));
}

void RecordingObserver::OnSubscribeSuccess(std::string stream_id, int video_type) {
  ObservedEvent e = Named("OnSubscribeSuccess");
  e.id = std::move(stream_id);
  e.number = video_type;
  Add(std::move(e));
}

void RecordingObserver::OnSubscribeFailed(int ec, std::string em, std::string stream_id, int video_type) {
  ObservedEvent e = Named("OnSubscribeFailed");
  e.code = ec;
  e.text = std::move(em);
  e.id = std::move(stream_id);
  e.number = video_type;
  Add(std::move(e));
}

void RecordingObserver::OnUnSubscribeSuccess(std::string stream_id) {
  ObservedEvent e = Named("OnUnSubscribeSuccess");
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnUnSubscribeFailed(int ec, std::string em, std::string stream_id) {
  ObservedEvent e = Named("OnUnSubscribeFailed");
  e.code = ec;
  e.text = std::move(em);
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnGetConnectionStatsResult(std::string stream_id, NetStatistics stats) {
  ObservedEvent e = Named("OnGetConnectionStatsResult");
  e.id = std::move(stream_id);
  e.stats = std::move(stats);
  Add(std::move(e));
}

void RecordingObserver::OnGetConnectionStatsReusltFailed(int ec, std::string stream_id) {
  ObservedEvent e = Named("OnGetConnectionStatsReusltFailed");
  e.code = ec;
  e.id = std::move(stream_id);
  Add(std::move(e));
}

void RecordingObserver::OnGetParticipantsSuccess(std::vector<rtTarvo::rtc::ParticipantInfo> participants) {
  ObservedEvent e = Named("OnGetParticipantsSuccess");
  e.participants = std::move(participants);
  Add(std::move(e));
}

void RecordingObserver::OnGetParticipantsFailed(int ec) {
  ObservedEvent e = Named("OnGetParticipantsFailed");
  e.code = ec;
  Add(std::move(e));
}

void RecordingObserver::OnGetRoomStatusSuccess(rtTarvo::rtc::RoomStatus status) {
  ObservedEvent e = Named("OnGetRoomStatusSuccess");
  e.id = status.room_id;
  e.status = std::move(status);
  Add(std::move(e));
}

void RecordingObserver::OnSpeakerTestFinished() { Add(Named("OnSpeakerTestFinished")); }

void RecordingObserver::OnLocalAudioState(int value) {
  ObservedEvent e = Named("OnLocalAudioState");
  e.code = value;
  Add(std::move(e));
}

void RecordingObserver::OnGetLive2LayoutResult(const std::string& ec, const std::string& em,
                                               const std::string& data) {
  ObservedEvent e = Named("OnGetLive2LayoutResult");
  e.id = ec;
  e.text = em;
  e.ids = {data};
  Add(std::move(e));
}

void RecordingObserver::OnSetLive2LayoutResult(const std::string& ec, const std::string& em) {
  ObservedEvent e = Named("OnSetLive2LayoutResult");
  e.id = ec;
  e.text = em;
  Add(std::move(e));
}

void RecordingObserver::OnLayoutChanged(int count, const rtTarvo::rtc::LayoutMap& layout) {
  ObservedEvent e = Named("OnLayoutChanged");
  e.code = count;
  e.layout = layout;
  Add(std::move(e));
}

void RecordingObserver::OnStartInterCut(const std::string& ec, const std::string& em) {
  ObservedEvent e = Named("OnStartInterCut");
  e.id = ec;
  e.text = em;
  Add(std::move(e));
}

void RecordingObserver::OnStopInterCut(const std::string& ec, const std::string& em) {
  ObservedEvent e = Named("OnStopInterCut");
  e.id = ec;
  e.text = em;
  Add(std::move(e));
}

void RecordingObserver::OnSetInterCutVolume(const std::string& ec, const std::string& em) {
  ObservedEvent e = Named("OnSetInterCutVolume");
  e.id = ec;
  e.text = em;
  Add(std::move(e));
}

void RecordingObserver::OnGetInterCutVolume(const std::string& ec, const std::string& em, int volume) {
  ObservedEvent e = Named("OnGetInterCutVolume");
  e.id = ec;
  e.text = em;
  e.code = volume;
  Add(std::move(e));
}

}  // namespace orvim::testing
