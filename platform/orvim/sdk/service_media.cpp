// The media object of a service: devices, camera streams, outgoing streams and their senders,
// subscriptions, mutes and statistics requests; and the audio thread's work.

#include <algorithm>
#include <utility>

#include "platform/orvim/common/json.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/sdk/service.h"
#include "platform/orvim/sdk/virtual_devices.h"

namespace orvim::sdk {

using rtTarvo::base::RTObserver;
using namespace rtTarvo::rtc;

namespace {

cJSON* StreamArgs(const std::string& stream_id) {
  cJSON* args = cJSON_CreateObject();
  PutString(args, "stream_id", stream_id);
  return args;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Senders

SenderImpl::SenderImpl(Service* service, std::string stream_id)
    : service_(service), stream_id_(std::move(stream_id)) {}

void SenderImpl::SendFrame(VideoFrame* frame) {
  if (!frame) return;
  FrameDescription d;
  frame->GetDescription(&d);
  if (static_cast<size_t>(std::max(d.length, 0)) < I420Size(d.width, d.height)) return;
  SendI420(d.data, d.width, d.height);
}

void SenderImpl::SendI420(const uint8_t* data, int width, int height) {
  if (retired_.load() || !data || width <= 0 || height <= 0 || width > kMaxFrameWidth ||
      height > kMaxFrameHeight) {
    return;
  }
  service_->SendVideo(stream_id_, data, width, height);
}

void Service::SendVideo(const std::string& stream_id, const uint8_t* data, int width, int height) {
  std::shared_ptr<Session> session;
  bool offline = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_) return;
    offline = address_.empty() || address_ == "offline";
    auto it = outgoing_.find(stream_id);
    if (!offline) {
      if (it == outgoing_.end() || !it->second.published || it->second.video_muted || !it->second.video) {
        return;
      }
      session = session_;
    }
  }
  const size_t size = I420Size(width, height);
  if (offline) {
    // Offline senders record what they were given.
    PictureMark mark;
    const bool marked = ReadPictureMark(data, width, height, &mark);
    JsonPtr args = NewObject();
    PutString(args.get(), "stream_id", stream_id);
    PutInt(args.get(), "width", width);
    PutInt(args.get(), "height", height);
    PutBool(args.get(), "marked", marked);
    PutInt(args.get(), "tag", mark.tag);
    PutInt(args.get(), "camera", mark.camera);
    PutInt(args.get(), "counter", mark.counter);
    Record("SendFrame", args.release());
    return;
  }
  if (!session) return;
  Bytes bytes = CopyBytes(data, size);
  session->SendMedia(VideoMessage(stream_id, kStreamCamera, width, height, bytes, 0, size));
}

// ---------------------------------------------------------------------------------------------
// Audio thread

void Service::AudioTick() {
  struct Pull {
    std::string stream_id;
    AudioFrameGenerator* generator;
    bool send;
  };
  struct MicPacket {
    std::string stream_id;
    uint32_t counter;
    bool muted;
  };
  std::vector<Pull> pulls;
  std::vector<MicPacket> packets;
  std::shared_ptr<Session> session;
  bool report_level = false;
  int tests_done = 0;
  std::string microphone_id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_) return;
    session = session_;
    report_level = ++audio_ticks_ % 100 == 0;
    microphone_id = selected_microphone_;
    for (auto& [id, s] : outgoing_) {
      const bool can_send = s.published && s.audio && !s.audio_muted && session;
      if (s.generator) {
        pulls.push_back(Pull{id, s.generator, can_send});
      } else if (s.announce_kind == kStreamCamera && s.audio && s.published) {
        packets.push_back(MicPacket{id, s.sample_counter, s.audio_muted});
        s.sample_counter += kAudioPacketFrames;
      }
    }
    const auto now = std::chrono::steady_clock::now();
    auto due = std::remove_if(speaker_tests_due_.begin(), speaker_tests_due_.end(),
                              [now](auto t) { return t <= now; });
    tests_done = static_cast<int>(speaker_tests_due_.end() - due);
    speaker_tests_due_.erase(due, speaker_tests_due_.end());
  }

  // The generator is the caller's; it is called without any lock of ours.
  for (const Pull& pull : pulls) {
    Bytes pcm = MakeBytes(kAudioPacketBytes);
    std::fill(pcm.data.get(), pcm.data.get() + pcm.size, 0);
    pull.generator->GenerateAudioFrame(pcm.data.get(), kAudioPacketBytes);
    if (pull.send) session->SendMedia(AudioMessage(pull.stream_id, pcm, 0, pcm.size));
  }

  VirtualMicrophone microphone;
  const bool has_microphone = VirtualDevices::Instance().PickMicrophone(microphone_id, &microphone);
  for (const MicPacket& packet : packets) {
    if (packet.muted || !has_microphone || !session) continue;
    Bytes pcm = MakeBytes(kAudioPacketBytes);
    FillMicrophonePacket(reinterpret_cast<int16_t*>(pcm.data.get()), kAudioPacketFrames, tag_.load(),
                         packet.counter, microphone.level);
    session->SendMedia(AudioMessage(packet.stream_id, pcm, 0, pcm.size));
  }
  if (report_level && !packets.empty()) {
    const int level = packets.front().muted || !has_microphone ? 0 : microphone.level;
    Notify([level](RTObserver* o) { o->OnLocalAudioState(level); });
  }
  for (int i = 0; i < tests_done; ++i) Notify([](RTObserver* o) { o->OnSpeakerTestFinished(); });
}

// ---------------------------------------------------------------------------------------------
// Media object

void MediaObjectImpl::GetCameras(std::vector<CameraInfo>* out) {
  if (!out) return;
  out->clear();
  for (const VirtualCamera& camera : VirtualDevices::Instance().Cameras()) {
    out->push_back(CameraInfo{camera.id, camera.name});
  }
}

void MediaObjectImpl::GetResolutions(std::string device_id, std::vector<VideoResolution>* out) {
  if (!out) return;
  out->clear();
  VirtualCamera camera;
  if (VirtualDevices::Instance().FindCamera(device_id, &camera)) *out = camera.sizes;
}

int MediaObjectImpl::CreateCameraStream(std::string device_id, VideoParams params) {
  JsonPtr args = NewObject();
  PutString(args.get(), "device_id", device_id);
  PutInt(args.get(), "width", params.width);
  PutInt(args.get(), "height", params.height);
  PutInt(args.get(), "frame_rate", params.frame_rate);
  PutBool(args.get(), "enable_video", params.enable_video);
  PutBool(args.get(), "adaptive", params.adaptive);
  service_->Record("CreateCameraStream", args.release());
  if (service_->Released()) return -1;
  service_->CollectFinished();
  if (service_->Offline()) return 0;

  Service::Failure failure;
  VirtualCamera camera;
  if (service_->TakeFailure("create_stream", &failure)) {
    service_->Notify([failure, device_id](RTObserver* o) { o->OnCreateStreamFailed(failure.code, device_id); });
    return 0;
  }
  if (!VirtualDevices::Instance().FindCamera(device_id, &camera)) {
    service_->Notify([device_id](RTObserver* o) { o->OnCreateStreamFailed(404, device_id); });
    return 0;
  }
  const std::string stream_id = service_->NewStreamId("camera");
  int code = 0;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    if (service_->has_create_code_) {
      code = service_->next_create_code_;
      service_->has_create_code_ = false;
    }
    service_->cameras_[stream_id] = nullptr;  // Reserved; started after the success report.
  }
  Service* service = service_;
  service_->callbacks_.Post([service, stream_id, device_id, params, code] {
    service->observers_.ForEach(
        [&](RTObserver* o) { o->OnCreateStreamSuccess(stream_id, device_id, code); });
    std::lock_guard<std::mutex> lock(service->mutex_);
    auto it = service->cameras_.find(stream_id);
    if (service->released_ || it == service->cameras_.end() || it->second) return;  // Released meanwhile.
    it->second = std::make_unique<CameraStream>(
        stream_id, device_id, params, [service] { return service->tag_.load(); },
        [service](const std::string& id, VideoFrame* frame) {
          service->DeliverFrame(id, kStreamCamera, frame);
        },
        service->hooks_);
  });
  return 0;
}

int MediaObjectImpl::CreateLocalMediaStream(LocalMediaVideoOptions video, LocalMediaAudioOptions audio,
                                            int mode) {
  JsonPtr args = NewObject();
  PutInt(args.get(), "width", video.width);
  PutInt(args.get(), "height", video.height);
  PutInt(args.get(), "video_mode", video.mode);
  PutBool(args.get(), "has_video", video.has_video);
  PutInt(args.get(), "sample_rate", audio.sample_rate);
  PutInt(args.get(), "channels", audio.channels);
  PutInt(args.get(), "audio_mode", audio.mode);
  PutBool(args.get(), "audio_enabled", audio.enabled);
  PutBool(args.get(), "loop", audio.loop);
  PutBool(args.get(), "generator", audio.generator != nullptr);
  PutInt(args.get(), "mode", mode);
  service_->Record("CreateLocalMediaStream", args.release());
  if (service_->Released() || service_->Offline()) return service_->Released() ? -1 : 0;

  Service::Failure failure;
  if (service_->TakeFailure("create_sender", &failure)) {
    service_->Notify([failure](RTObserver* o) {
      o->OnCreateSenderFailed(nullptr, std::string(), failure.code, kStreamScreenShare, kStreamLocalMedia);
    });
    return 0;
  }
  const std::string stream_id = service_->NewStreamId("media");
  SenderImpl* sender = nullptr;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    service_->senders_.push_back(std::make_unique<SenderImpl>(service_, stream_id));
    sender = service_->senders_.back().get();
    Service::Outgoing& s = service_->outgoing_[stream_id];
    s.sender_kind = 1;
    s.announce_kind = kStreamLocalMedia;
    s.width = video.width;
    s.height = video.height;
    s.video = video.has_video;
    s.audio = audio.enabled;
    s.generator = audio.generator;
    s.sender = sender;
  }
  service_->Notify([sender, stream_id](RTObserver* o) {
    o->OnCreateSenderSuccess(sender, std::string(), stream_id, kStreamScreenShare, kStreamLocalMedia, 1);
  });
  return 0;
}

int MediaObjectImpl::CreateStream(int kind, int width, int height, int profile, int layers, bool video,
                                  bool audio) {
  JsonPtr args = NewObject();
  PutInt(args.get(), "kind", kind);
  PutInt(args.get(), "width", width);
  PutInt(args.get(), "height", height);
  PutInt(args.get(), "profile", profile);
  PutInt(args.get(), "layers", layers);
  PutBool(args.get(), "video", video);
  PutBool(args.get(), "audio", audio);
  service_->Record("CreateStream", args.release());
  if (service_->Released() || (kind != 0 && kind != 1)) return -1;
  if (service_->Offline()) return 0;

  const int video_type = kind == 0 ? kStreamLive : kStreamScreenShare;
  const int announce = kind == 0 ? kStreamCamera : kStreamScreenShare;
  Service::Failure failure;
  if (service_->TakeFailure("create_sender", &failure)) {
    service_->Notify([failure, video_type, announce](RTObserver* o) {
      o->OnCreateSenderFailed(nullptr, std::string(), failure.code, video_type, announce);
    });
    return 0;
  }
  const std::string stream_id = service_->NewStreamId(kind == 0 ? "publish" : "share");
  SenderImpl* sender = nullptr;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    service_->senders_.push_back(std::make_unique<SenderImpl>(service_, stream_id));
    sender = service_->senders_.back().get();
    Service::Outgoing& s = service_->outgoing_[stream_id];
    s.sender_kind = kind;
    s.announce_kind = announce;
    s.width = width;
    s.height = height;
    s.video = video;
    s.audio = audio;
    s.sender = sender;
  }
  service_->Notify([=](RTObserver* o) {
    o->OnCreateSenderSuccess(sender, std::string(), stream_id, video_type, announce, kind);
  });
  return 0;
}

void MediaObjectImpl::SetPublishOptions(std::string stream_id, int width, int height) {
  JsonPtr args(StreamArgs(stream_id));
  PutInt(args.get(), "width", width);
  PutInt(args.get(), "height", height);
  service_->Record("SetPublishOptions", args.release());
  std::lock_guard<std::mutex> lock(service_->mutex_);
  auto it = service_->outgoing_.find(stream_id);
  if (it != service_->outgoing_.end()) {
    it->second.width = width;
    it->second.height = height;
  }
}

void MediaObjectImpl::ReleaseStream(std::string stream_id) {
  service_->Record("ReleaseStream", StreamArgs(stream_id));
  if (service_->Released() || service_->Offline()) return;
  Service::Failure failure;
  if (service_->TakeFailure("release", &failure)) {
    service_->Notify([failure, stream_id](RTObserver* o) { o->OnReleaseStreamFailed(failure.code, stream_id); });
    return;
  }
  bool found = false;
  bool was_published = false;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    auto camera = service_->cameras_.find(stream_id);
    if (camera != service_->cameras_.end()) {
      found = true;
      if (camera->second) {
        camera->second->Stop();  // Not joined here: its thread may wait for a lock our caller holds.
        service_->old_cameras_.push_back(std::move(camera->second));
      }
      service_->cameras_.erase(camera);
    }
    auto outgoing = service_->outgoing_.find(stream_id);
    if (outgoing != service_->outgoing_.end()) {
      found = true;
      was_published = outgoing->second.published;
      outgoing->second.sender->Retire();
      service_->outgoing_.erase(outgoing);
    }
  }
  if (was_published) {
    cJSON* request = cJSON_CreateObject();
    PutString(request, "op", "unpublish");
    PutString(request, "stream", stream_id);
    service_->SendRequest(request);
  }
  if (found) {
    service_->Notify([stream_id](RTObserver* o) { o->OnReleaseStreamSuccess(stream_id); });
  } else {
    service_->Notify([stream_id](RTObserver* o) { o->OnReleaseStreamFailed(404, stream_id); });
  }
  service_->CollectFinished();
}

void MediaObjectImpl::GetStreams(std::vector<StreamEntry>* out) {
  if (out) *out = service_->mirror_.Streams();
}

void MediaObjectImpl::Publish(std::string stream_id, PublishOptions options) {
  JsonPtr args(StreamArgs(stream_id));
  PutBool(args.get(), "video_muted", options.video_muted);
  service_->Record("Publish", args.release());
  if (service_->Released() || service_->Offline()) return;
  Service::Failure failure;
  if (service_->TakeFailure("publish", &failure)) {
    service_->Notify([failure, stream_id](RTObserver* o) {
      o->OnPublishFailed(failure.code, failure.message, stream_id);
    });
    return;
  }
  cJSON* request = cJSON_CreateObject();
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    auto it = service_->outgoing_.find(stream_id);
    if (it == service_->outgoing_.end()) {
      cJSON_Delete(request);
      request = nullptr;
    } else {
      Service::Outgoing& s = it->second;
      s.video_muted = options.video_muted;
      PutString(request, "op", "publish");
      PutString(request, "stream", stream_id);
      PutInt(request, "kind", s.announce_kind);
      PutInt(request, "width", s.width);
      PutInt(request, "height", s.height);
      PutBool(request, "video", s.video);
      PutBool(request, "audio", s.audio);
      PutBool(request, "video_muted", options.video_muted);
    }
  }
  if (!request) {
    service_->Notify([stream_id](RTObserver* o) { o->OnPublishFailed(404, "no such stream", stream_id); });
  } else if (!service_->SendRequest(request)) {
    service_->Notify([stream_id](RTObserver* o) { o->OnPublishFailed(-1, "not in a room", stream_id); });
  }
}

void MediaObjectImpl::Unpublish(std::string stream_id) {
  service_->Record("Unpublish", StreamArgs(stream_id));
  if (service_->Released() || service_->Offline()) return;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    auto it = service_->outgoing_.find(stream_id);
    if (it != service_->outgoing_.end()) it->second.published = false;
  }
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "unpublish");
  PutString(request, "stream", stream_id);
  service_->SendRequest(request);
}

void MediaObjectImpl::Subscribe(const std::string& stream_id, int kind, cJSON* request) {
  Service::Failure failure;
  if (service_->TakeFailure("subscribe", &failure)) {
    cJSON_Delete(request);
    service_->Notify([=](RTObserver* o) { o->OnSubscribeFailed(failure.code, failure.message, stream_id, kind); });
    return;
  }
  PutString(request, "op", "subscribe");
  PutString(request, "stream", stream_id);
  if (!service_->SendRequest(request)) {
    service_->Notify([=](RTObserver* o) { o->OnSubscribeFailed(-1, "not in a room", stream_id, kind); });
  }
}

void MediaObjectImpl::Resubscribe(std::string stream_id, int mode) {
  JsonPtr args(StreamArgs(stream_id));
  PutInt(args.get(), "mode", mode);
  service_->Record("Resubscribe", args.release());
  if (service_->Released() || service_->Offline()) return;
  StreamEntry entry;
  const int kind = service_->mirror_.FindStream(stream_id, &entry) ? entry.kind : 0;
  Subscribe(stream_id, kind, cJSON_CreateObject());
}

void MediaObjectImpl::SubscribeMix(int mode) {
  JsonPtr args = NewObject();
  PutInt(args.get(), "mode", mode);
  service_->Record("SubscribeMix", args.release());
  if (service_->Released() || service_->Offline()) return;
  std::string id = service_->mirror_.FirstStreamOfKind(kStreamMix);
  if (id.empty()) id = service_->RoomId() + "-mix";
  Subscribe(id, kStreamMix, cJSON_CreateObject());
}

void MediaObjectImpl::SubscribeLive(int width, int height, bool audio_muted) {
  JsonPtr args = NewObject();
  PutInt(args.get(), "width", width);
  PutInt(args.get(), "height", height);
  PutBool(args.get(), "audio_muted", audio_muted);
  service_->Record("SubscribeLive", args.release());
  if (service_->Released() || service_->Offline()) return;
  std::string id = service_->mirror_.FirstStreamOfKind(kStreamLive);
  if (id.empty()) id = service_->RoomId() + "-live";
  cJSON* request = cJSON_CreateObject();
  PutInt(request, "width", width);
  PutInt(request, "height", height);
  PutBool(request, "audio_muted", audio_muted);
  Subscribe(id, kStreamLive, request);
}

void MediaObjectImpl::Unsubscribe(std::string stream_id) {
  service_->Record("Unsubscribe", StreamArgs(stream_id));
  if (service_->Released() || service_->Offline()) return;
  Service::Failure failure;
  if (service_->TakeFailure("unsubscribe", &failure)) {
    service_->Notify([=](RTObserver* o) { o->OnUnSubscribeFailed(failure.code, failure.message, stream_id); });
    return;
  }
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "unsubscribe");
  PutString(request, "stream", stream_id);
  if (!service_->SendRequest(request)) {
    service_->Notify([=](RTObserver* o) { o->OnUnSubscribeFailed(-1, "not in a room", stream_id); });
  }
}

void MediaObjectImpl::SetDegradationPreference(std::string stream_id, int preference) {
  JsonPtr args(StreamArgs(stream_id));
  PutInt(args.get(), "preference", preference);
  service_->Record("SetDegradationPreference", args.release());
}

void MediaObjectImpl::Mute(const std::string& stream_id, bool audio, bool muted) {
  if (service_->Released() || service_->Offline()) return;
  Service::Failure failure;
  if (service_->TakeFailure("mute", &failure)) {
    service_->Notify([=](RTObserver* o) { o->OnStreamMuteOrUnmuteFailed(failure.code, stream_id, muted, audio); });
    return;
  }
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "mute");
  PutString(request, "stream", stream_id);
  PutBool(request, "audio", audio);
  PutBool(request, "muted", muted);
  if (!service_->SendRequest(request)) {
    service_->Notify([=](RTObserver* o) { o->OnStreamMuteOrUnmuteFailed(-1, stream_id, muted, audio); });
  }
}

void MediaObjectImpl::MuteAudio(std::string stream_id, bool muted) {
  JsonPtr args(StreamArgs(stream_id));
  PutBool(args.get(), "muted", muted);
  service_->Record("MuteAudio", args.release());
  Mute(stream_id, true, muted);
}

void MediaObjectImpl::MuteVideo(std::string stream_id, bool muted) {
  JsonPtr args(StreamArgs(stream_id));
  PutBool(args.get(), "muted", muted);
  service_->Record("MuteVideo", args.release());
  Mute(stream_id, false, muted);
}

void MediaObjectImpl::MuteSpeaker(std::string stream_id, bool muted) {
  JsonPtr args(StreamArgs(stream_id));
  PutBool(args.get(), "muted", muted);
  service_->Record("MuteSpeaker", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "speaker_mute");
  PutString(request, "stream", stream_id);
  PutBool(request, "muted", muted);
  service_->SendRequest(request);
}

void MediaObjectImpl::GetAudioDevices(int kind, std::vector<AudioDeviceInfo>* out) {
  if (!out) return;
  out->clear();
  if (kind == 1) {
    for (const auto& m : VirtualDevices::Instance().Microphones()) out->push_back({m.id, m.name, 1});
  } else if (kind == 2) {
    for (const auto& s : VirtualDevices::Instance().Speakers()) out->push_back({s.id, s.name, 2});
  }
}

void MediaObjectImpl::SelectAudioDevice(AudioDeviceInfo device, int mode) {
  JsonPtr args = NewObject();
  PutString(args.get(), "id", device.id);
  PutString(args.get(), "name", device.name);
  PutInt(args.get(), "kind", device.kind);
  PutInt(args.get(), "mode", mode);
  service_->Record("SelectAudioDevice", args.release());
  if (service_->Released()) return;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    if (device.kind == 1) service_->selected_microphone_ = device.id;
    if (device.kind == 2) service_->selected_speaker_ = device.id;
  }
  if (service_->Offline() || (device.kind != 1 && device.kind != 2)) return;
  const uint8_t selected_kind = device.kind == 1 ? 1 : 0;
  service_->Notify([device, selected_kind](RTObserver* o) {
    o->OnAudioDeviceSelected(selected_kind, device.name, device.id);
  });
}

void MediaObjectImpl::TestAudioDevice(AudioDeviceInfo device, std::string file, int mode) {
  JsonPtr args = NewObject();
  PutString(args.get(), "id", device.id);
  PutString(args.get(), "name", device.name);
  PutInt(args.get(), "kind", device.kind);
  PutString(args.get(), "file", file);
  PutInt(args.get(), "mode", mode);
  service_->Record("TestAudioDevice", args.release());
  if (service_->Released() || service_->Offline() || device.kind != 2) return;
  std::lock_guard<std::mutex> lock(service_->mutex_);
  service_->speaker_tests_due_.push_back(std::chrono::steady_clock::now() +
                                         std::chrono::milliseconds(service_->speaker_test_ms_));
}

void MediaObjectImpl::CloseAudioDevice(AudioDeviceInfo device) {
  JsonPtr args = NewObject();
  PutString(args.get(), "id", device.id);
  PutString(args.get(), "name", device.name);
  PutInt(args.get(), "kind", device.kind);
  service_->Record("CloseAudioDevice", args.release());
}

float MediaObjectImpl::GetMicrophoneLevel() {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    id = service_->selected_microphone_;
  }
  VirtualMicrophone microphone;
  if (!VirtualDevices::Instance().PickMicrophone(id, &microphone)) return 0.0f;
  return static_cast<float>(microphone.level) / 32767.0f;
}

float MediaObjectImpl::GetSpeakerLevel() { return service_->tap_.SpeakerLevel(); }

void MediaObjectImpl::SetSpeakerVolume(unsigned volume) {
  JsonPtr args = NewObject();
  PutInt(args.get(), "volume", volume);
  service_->Record("SetSpeakerVolume", args.release());
  std::lock_guard<std::mutex> lock(service_->mutex_);
  service_->speaker_volume_ = volume;
}

void MediaObjectImpl::RequestConnectionStats(std::string stream_id) {
  service_->Record("RequestConnectionStats", StreamArgs(stream_id));
  if (service_->Released() || service_->Offline()) return;
  Service::Failure failure;
  if (service_->TakeFailure("stats", &failure)) {
    service_->Notify([=](RTObserver* o) { o->OnGetConnectionStatsReusltFailed(failure.code, stream_id); });
    return;
  }
  int seq = 0;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    seq = service_->next_stats_seq_++;
    service_->stats_requests_[seq] = std::chrono::steady_clock::now();
    if (service_->stats_requests_.size() > 1000) service_->stats_requests_.erase(service_->stats_requests_.begin());
  }
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "stats");
  PutString(request, "stream", stream_id);
  PutInt(request, "seq", seq);
  if (!service_->SendRequest(request)) {
    service_->Notify([=](RTObserver* o) { o->OnGetConnectionStatsReusltFailed(-1, stream_id); });
  }
}

}  // namespace orvim::sdk
