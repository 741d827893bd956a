#include "sdk/interactive/tests/sdk_test_support.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "shell/registry/user_stream_list.h"

namespace sdk_test {

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void RecordingOwner::OnJoinRoom(int result, const std::string& roomId) {
  Add("OnJoinRoom(" + std::to_string(result) + "," + roomId + ")");
}

void RecordingOwner::OnJoinGroup(const std::string& groupId, const std::string& groupConfId) {
  Add("OnJoinGroup(" + groupId + "," + groupConfId + ")");
}

void RecordingOwner::IceReConnectPub(bool start) {
  pubTimer.store(start);
  Add(std::string("IceReConnectPub(") + (start ? "1" : "0") + ")");
}

void RecordingOwner::IceReConnectSub(bool start) {
  subTimer.store(start);
  Add(std::string("IceReConnectSub(") + (start ? "1" : "0") + ")");
}

void RecordingOwner::OnPictureStream(bool on) { Add(std::string("OnPictureStream(") + (on ? "1" : "0") + ")"); }

void RecordingOwner::OnVideoDevResult(const std::string& deviceId, bool ok) {
  Add("OnVideoDevResult(" + deviceId + "," + (ok ? "1" : "0") + ")");
}

void RecordingOwner::OnVideoDevOpened() { Add("OnVideoDevOpened()"); }

void RecordingOwner::OnPublishSuccess() { Add("OnPublishSuccess()"); }

void RecordingOwner::OnShareResult(int result, bool stopped) {
  Add("OnShareResult(" + std::to_string(result) + "," + (stopped ? "1" : "0") + ")");
}

void RecordingConsumer::OnVideoDevResult(const std::string& deviceId, bool ok) {
  std::lock_guard<std::mutex> lock(*mutex_);
  log_->push_back(name_ + ":" + deviceId + "=" + (ok ? "1" : "0"));
}

std::vector<std::string> RecordingOwner::Calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

bool RecordingOwner::Published() {
  for (const std::string& call : Calls()) {
    if (call == "OnPublishSuccess()") return true;
  }
  return false;
}

void RecordingOwner::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void RecordingOwner::Add(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

PageSink::PageSink() { CJsEventSender::Instance()->SetDelegate(this); }

PageSink::~PageSink() { CJsEventSender::Instance()->SetDelegate(nullptr); }

void PageSink::OnNativeInvokeJS(const std::string& json, bool /*log*/) {
  orvim::JsonPtr event = orvim::ParseObject(json);
  const int number = orvim::GetInt(event.get(), "event", -1);
  std::lock_guard<std::mutex> lock(mutex_);
  events_.emplace_back(number, json);
}

void PageSink::DeferExitNotify(int reason, const std::string& origin, bool deferred) {
  std::lock_guard<std::mutex> lock(mutex_);
  deferred_.push_back(std::to_string(reason) + "/" + origin + "/" + (deferred ? "1" : "0"));
}

std::vector<std::string> PageSink::Events(int number) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const auto& event : events_) {
    if (number == 0 || event.first == number) out.push_back(event.second);
  }
  return out;
}

std::vector<orvim::JsonPtr> PageSink::Parsed(int number) {
  std::vector<orvim::JsonPtr> out;
  for (const std::string& text : Events(number)) out.push_back(orvim::ParseObject(text));
  return out;
}

std::vector<std::string> PageSink::Deferred() {
  std::lock_guard<std::mutex> lock(mutex_);
  return deferred_;
}

std::vector<std::string> PageSink::Values(int number, const char* key) {
  std::vector<std::string> out;
  for (const orvim::JsonPtr& event : Parsed(number)) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(event.get(), key);
    if (cJSON_IsNumber(item)) {
      out.push_back(std::to_string(item->valueint));
    } else if (cJSON_IsString(item)) {
      out.push_back(item->valuestring);
    } else {
      out.push_back("?");
    }
  }
  return out;
}

bool PageSink::WaitFor(int number, size_t count, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Events(number).size() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void PageSink::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
  deferred_.clear();
}

OfflineMeeting::OfflineMeeting(bool withOwner) : layer(withOwner ? &owner : nullptr) {
  CUserStreamList::Instance()->Replace({});
  layer.InitSDK();
  join = JoinAsMe("room", "offline");
}

OfflineMeeting::~OfflineMeeting() { CUserStreamList::Instance()->Replace({}); }

void OfflineMeeting::Join() {
  layer.Login(join);
  Emit("OnJoinRoomSuccess", R"({"room_id":"room"})");
  Journal();
  page.Clear();
  owner.Clear();
}

std::vector<Call> OfflineMeeting::Journal() {
  orvim::JsonPtr answer = library.ControlJson(R"({"cmd":"journal","clear":true})");
  std::vector<Call> calls;
  const cJSON* list = cJSON_GetObjectItemCaseSensitive(answer.get(), "calls");
  const cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, list) {
    calls.push_back({orvim::GetString(entry, "op"),
                     orvim::ToText(cJSON_GetObjectItemCaseSensitive(entry, "args"))});
  }
  return calls;
}

std::vector<std::string> OfflineMeeting::Ops(const std::vector<std::string>& filter) {
  std::vector<std::string> ops;
  for (const Call& call : Journal()) {
    bool keep = filter.empty();
    for (const std::string& name : filter) keep = keep || call.op == name;
    if (keep) ops.push_back(call.op + call.args);
  }
  return ops;
}

bool OfflineMeeting::Emit(const std::string& callback, const std::string& args) {
  return library.ControlOk(R"({"cmd":"emit","callback":")" + callback + R"(","args":)" + args + "}");
}

bool OfflineMeeting::SetStreams(const std::string& streams) {
  return library.ControlOk(R"({"cmd":"streams","streams":)" + streams + "}");
}

bool OfflineMeeting::SetUsers(const std::string& users) {
  return library.ControlOk(R"({"cmd":"users","users":)" + users + "}");
}

void UseVirtualDevices(StAppConfig* config) {
  config->camera_dev_id = "orvim-camera-1";
  config->camera_dev_name = "Orvim Virtual Camera";
  config->SetMicDevId("orvim-mic-1");
  config->video_width = 1280;
  config->video_height = 720;
}

StJoinInfo JoinAsMe(const std::string& room, const std::string& server) {
  StJoinInfo join;
  join.confid = room;
  join.username = "Me";
  join.userid = "me";
  join.cid = "c-me";
  join.sid = "site";
  join.owtServer = server;
  return join;
}

ConfigGuard::ConfigGuard() {
  StAppConfig* c = GetAppConfig();
  cameraId_ = c->camera_dev_id;
  cameraName_ = c->camera_dev_name;
  micId_ = c->GetMicDevId();
  picture_ = c->picture_path;
  width_ = c->video_width;
  height_ = c->video_height;
  rotation_ = c->rotation;
  flip_ = c->flip;
  mirror_ = c->mirror;
  useMode_ = c->use_mode.load();
  cameraOn_ = c->camera_on;
  host_ = c->host;
  ratio_ = c->video_source_ratio;
  suspended_ = c->beauty_suspended.load();
  beautyChanged_ = c->beauty_changed.load();
  prior_ = c->prior;
  beauty_ = c->beauty;
}

ConfigGuard::~ConfigGuard() {
  StAppConfig* c = GetAppConfig();
  c->camera_dev_id = cameraId_;
  c->camera_dev_name = cameraName_;
  c->SetMicDevId(micId_);
  c->picture_path = picture_;
  c->video_width = width_;
  c->video_height = height_;
  c->rotation = rotation_;
  c->flip = flip_;
  c->mirror = mirror_;
  c->use_mode.store(useMode_);
  c->camera_on = cameraOn_;
  c->host = host_;
  c->video_source_ratio = ratio_;
  c->beauty_suspended.store(suspended_);
  c->beauty_changed.store(beautyChanged_);
  c->prior = prior_;
  c->beauty = beauty_;
}

std::string ReadLog(size_t offset) {
  std::ifstream in(CLogWrapper::Instance()->GetLogPath().c_str(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return offset < text.size() ? text.substr(offset) : std::string();
}

size_t LogSize() { return ReadLog().size(); }

}  // namespace sdk_test
