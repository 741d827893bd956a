// The rtc engine and the live control of a service.

#include "platform/orvim/common/json.h"
#include "platform/orvim/sdk/service.h"

namespace orvim::sdk {

using rtTarvo::base::RTObserver;
using namespace rtTarvo::rtc;

MediaObject* RtcEngineImpl::GetMediaObject() { return &service_->media_; }

LiveControl* RtcEngineImpl::GetLiveControl() { return &service_->live_; }

void RtcEngineImpl::RequestParticipants() {
  service_->Record("RequestParticipants");
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "participants");
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnGetParticipantsFailed(-1); });
  }
}

void RtcEngineImpl::GetUserList(std::vector<ParticipantInfo>* out) {
  if (out) *out = service_->mirror_.Participants();
}

bool RtcEngineImpl::GetParticipant(ParticipantInfo* out, std::string stream_id) {
  if (!out) return false;
  bool own = false;
  {
    std::lock_guard<std::mutex> lock(service_->mutex_);
    own = service_->cameras_.count(stream_id) > 0 || service_->outgoing_.count(stream_id) > 0;
  }
  if (own) return service_->Self(out);
  return service_->mirror_.FindParticipantByStream(stream_id, out);
}

void RtcEngineImpl::RequestRoomStatus() {
  service_->Record("RequestRoomStatus");
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "room_status");
  service_->SendRequest(request);
}

void LiveControlImpl::GetLiveLayout(std::string room_id) {
  JsonPtr args = NewObject();
  PutString(args.get(), "room_id", room_id);
  service_->Record("GetLiveLayout", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "get_layout");
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnGetLive2LayoutResult("-1", "not in a room", ""); });
  }
}

void LiveControlImpl::SetLiveLayout(std::string room_id, std::string layout) {
  JsonPtr args = NewObject();
  PutString(args.get(), "room_id", room_id);
  PutString(args.get(), "layout", layout);
  service_->Record("SetLiveLayout", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "set_layout");
  PutString(request, "layout", layout);
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnSetLive2LayoutResult("-1", "not in a room"); });
  }
}

void LiveControlImpl::StartInsertion(MediaInsertion insertion) {
  JsonPtr args = NewObject();
  PutString(args.get(), "url", insertion.url);
  PutString(args.get(), "audio_source", insertion.audio_source);
  PutString(args.get(), "video_source", insertion.video_source);
  PutString(args.get(), "room_id", insertion.room_id);
  PutBool(args.get(), "muted", insertion.muted);
  service_->Record("StartInsertion", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "insertion");
  PutString(request, "url", insertion.url);
  PutString(request, "audio_source", insertion.audio_source);
  PutString(request, "video_source", insertion.video_source);
  PutBool(request, "muted", insertion.muted);
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnStartInterCut("-1", "not in a room"); });
  }
}

void LiveControlImpl::SetInsertionVolume(InterCutVolume volume) {
  JsonPtr args = NewObject();
  PutString(args.get(), "id", volume.id);
  PutInt(args.get(), "volume", volume.volume);
  service_->Record("SetInsertionVolume", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "set_volume");
  PutString(request, "id", volume.id);
  PutInt(request, "volume", volume.volume);
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnSetInterCutVolume("-1", "not in a room"); });
  }
}

void LiveControlImpl::GetInsertionVolume(InterCutVolume volume) {
  JsonPtr args = NewObject();
  PutString(args.get(), "id", volume.id);
  PutInt(args.get(), "volume", volume.volume);
  service_->Record("GetInsertionVolume", args.release());
  if (service_->Released() || service_->Offline()) return;
  cJSON* request = cJSON_CreateObject();
  PutString(request, "op", "get_volume");
  PutString(request, "id", volume.id);
  if (!service_->SendRequest(request)) {
    service_->Notify([](RTObserver* o) { o->OnGetInterCutVolume("-1", "not in a room", 0); });
  }
}

}  // namespace orvim::sdk
