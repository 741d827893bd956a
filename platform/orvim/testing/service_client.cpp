#include "platform/orvim/testing/service_client.h"

namespace orvim::testing {

ServiceClient::ServiceClient(const OrvimLibrary& library) : library_(library) {
  service_ = library_.Create();
  if (!service_) return;
  rtc_ = service_->CreateRtcEngine();
  service_->AddObserver(&observer_);
  // The newest service is this one.
  JsonPtr answer = library_.ControlJson(R"({"cmd":"services"})");
  const cJSON* list = cJSON_GetObjectItemCaseSensitive(answer.get(), "services");
  const cJSON* last = cJSON_GetArrayItem(list, cJSON_GetArraySize(list) - 1);
  number_ = GetInt(last, "number");
}

ServiceClient::~ServiceClient() { Release(); }

void ServiceClient::Release() {
  if (!service_) return;
  library_.Release(service_);
  service_ = nullptr;
  rtc_ = nullptr;
}

bool ServiceClient::Join(const std::string& address, const std::string& room, const std::string& user_id) {
  if (!service_) return false;
  const size_t before = observer_.Count("OnJoinRoomSuccess");
  service_->SetServerAddress(address);
  service_->LoginAndJoin(room, "Name of " + user_id, user_id, "cid-" + user_id, "sid", "");
  if (!observer_.WaitForEvent("OnJoinRoomSuccess", before + 1)) return false;
  JsonPtr answer = library_.ControlJson(R"({"cmd":"services"})");
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, cJSON_GetObjectItemCaseSensitive(answer.get(), "services")) {
    if (GetInt(item, "number") == number_) participant_id_ = GetString(item, "participant");
  }
  return !participant_id_.empty();
}

bool ServiceClient::PublishStream(int kind, bool audio, std::string* stream_id,
                                  rtTarvo::rtc::FrameSender** sender,
                                  rtTarvo::rtc::AudioFrameGenerator* generator) {
  const size_t senders = observer_.Count("OnCreateSenderSuccess");
  if (generator) {
    rtTarvo::rtc::LocalMediaVideoOptions video;
    video.width = 640;
    video.height = 360;
    video.mode = 2;
    video.has_video = true;
    rtTarvo::rtc::LocalMediaAudioOptions sound;
    sound.generator = generator;
    sound.enabled = audio;
    media()->CreateLocalMediaStream(video, sound, 1);
  } else {
    media()->CreateStream(kind, 1280, 720, 7, 5, true, audio);
  }
  if (!observer_.WaitForEvent("OnCreateSenderSuccess", senders + 1)) return false;
  const ObservedEvent created = observer_.Events("OnCreateSenderSuccess")[senders];
  *stream_id = created.id;
  if (sender) *sender = created.sender;
  const size_t published = observer_.Count("OnPublishSuccess");
  media()->Publish(created.id, rtTarvo::rtc::PublishOptions());
  return observer_.WaitForEvent("OnPublishSuccess", published + 1);
}

std::string ServiceClient::Control(const std::string& command, const std::string& fields) const {
  std::string request = "{\"cmd\":\"" + command + "\",\"service\":" + std::to_string(number_);
  if (!fields.empty()) request += "," + fields;
  request += "}";
  return library_.Control(request);
}

bool ServiceClient::ControlOk(const std::string& command, const std::string& fields) const {
  JsonPtr answer = ParseObject(Control(command, fields));
  return answer && GetBool(answer.get(), "ok");
}

std::string ServerControl(const OrvimLibrary& library, const std::string& address,
                          const std::string& request) {
  return library.Control(R"({"cmd":"server","address":")" + address + R"(","request":)" + request + "}");
}

bool ServerControlOk(const OrvimLibrary& library, const std::string& address, const std::string& request) {
  JsonPtr answer = ParseObject(ServerControl(library, address, request));
  return answer && GetBool(answer.get(), "ok");
}

}  // namespace orvim::testing
