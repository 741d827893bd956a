#include "platform/orvim/sdk/virtual_devices.h"

#include <algorithm>

#include "platform/orvim/common/json.h"

namespace orvim::sdk {

VirtualDevices& VirtualDevices::Instance() {
  static VirtualDevices devices;
  return devices;
}

VirtualDevices::VirtualDevices() { ResetLocked(); }

void VirtualDevices::ResetLocked() {
  cameras_ = {VirtualCamera{"orvim-camera-1", "Orvim Virtual Camera",
                            {{1920, 1080}, {1280, 720}, {640, 480}, {640, 360}}, 1, 0, false}};
  microphones_ = {VirtualMicrophone{"orvim-mic-1", "Orvim Virtual Microphone", 3000}};
  speakers_ = {VirtualSpeaker{"orvim-speaker-1", "Orvim Virtual Speaker"}};
}

std::vector<VirtualCamera> VirtualDevices::Cameras() {
  std::lock_guard<std::mutex> lock(mutex_);
  return cameras_;
}

std::vector<VirtualMicrophone> VirtualDevices::Microphones() {
  std::lock_guard<std::mutex> lock(mutex_);
  return microphones_;
}

std::vector<VirtualSpeaker> VirtualDevices::Speakers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return speakers_;
}

bool VirtualDevices::FindCamera(const std::string& id, VirtualCamera* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const VirtualCamera& camera : cameras_) {
    if (camera.id == id) {
      *out = camera;
      return true;
    }
  }
  return false;
}

bool VirtualDevices::PickMicrophone(const std::string& id, VirtualMicrophone* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const VirtualMicrophone& microphone : microphones_) {
    if (microphone.id == id) {
      *out = microphone;
      return true;
    }
  }
  if (microphones_.empty()) return false;
  *out = microphones_.front();
  return true;
}

std::string VirtualDevices::ListLocked() {
  JsonPtr answer = NewObject();
  PutBool(answer.get(), "ok", true);
  cJSON* cameras = cJSON_AddArrayToObject(answer.get(), "cameras");
  for (const VirtualCamera& c : cameras_) {
    cJSON* item = cJSON_CreateObject();
    PutString(item, "id", c.id);
    PutString(item, "name", c.name);
    PutInt(item, "number", c.number);
    PutInt(item, "frame_rate", c.frame_rate);
    PutBool(item, "unpaced", c.unpaced);
    cJSON* sizes = cJSON_AddArrayToObject(item, "resolutions");
    for (const auto& r : c.sizes) {
      cJSON* pair = cJSON_CreateArray();
      cJSON_AddItemToArray(pair, cJSON_CreateNumber(r.width));
      cJSON_AddItemToArray(pair, cJSON_CreateNumber(r.height));
      cJSON_AddItemToArray(sizes, pair);
    }
    cJSON_AddItemToArray(cameras, item);
  }
  cJSON* microphones = cJSON_AddArrayToObject(answer.get(), "microphones");
  for (const VirtualMicrophone& m : microphones_) {
    cJSON* item = cJSON_CreateObject();
    PutString(item, "id", m.id);
    PutString(item, "name", m.name);
    PutInt(item, "level", m.level);
    cJSON_AddItemToArray(microphones, item);
  }
  cJSON* speakers = cJSON_AddArrayToObject(answer.get(), "speakers");
  for (const VirtualSpeaker& s : speakers_) {
    cJSON* item = cJSON_CreateObject();
    PutString(item, "id", s.id);
    PutString(item, "name", s.name);
    cJSON_AddItemToArray(speakers, item);
  }
  return ToText(answer.get());
}

std::string VirtualDevices::HandleDevices(const cJSON* request) {
  const std::string action = GetString(request, "action", "list");
  std::lock_guard<std::mutex> lock(mutex_);
  if (action == "list") return ListLocked();
  if (action == "reset") {
    ResetLocked();
    return ListLocked();
  }
  const std::string id = GetString(request, "id");
  if (id.empty()) return ErrorAnswer("the device needs an id");
  auto erase = [&id](auto& list) {
    const size_t before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(), [&id](const auto& d) { return d.id == id; }),
               list.end());
    return list.size() != before;
  };
  if (action == "remove") {
    const bool removed = erase(cameras_) | erase(microphones_) | erase(speakers_);
    return removed ? ListLocked() : ErrorAnswer("no device " + id);
  }
  if (action != "add") return ErrorAnswer("unknown devices action " + action);
  const std::string kind = GetString(request, "kind");
  const std::string name = GetString(request, "name", id);
  if (kind == "camera") {
    erase(cameras_);
    VirtualCamera camera{id, name, {}, GetInt(request, "number", static_cast<int>(cameras_.size()) + 1) & 15,
                         0, false};
    const cJSON* pair = nullptr;
    cJSON_ArrayForEach(pair, cJSON_GetObjectItemCaseSensitive(request, "resolutions")) {
      const cJSON* w = cJSON_GetArrayItem(pair, 0);
      const cJSON* h = cJSON_GetArrayItem(pair, 1);
      if (cJSON_IsNumber(w) && cJSON_IsNumber(h)) {
        camera.sizes.push_back({static_cast<int32_t>(w->valuedouble), static_cast<int32_t>(h->valuedouble)});
      }
    }
    cameras_.push_back(camera);
  } else if (kind == "microphone") {
    erase(microphones_);
    microphones_.push_back(VirtualMicrophone{id, name, std::clamp(GetInt(request, "level", 3000), 0, 32767)});
  } else if (kind == "speaker") {
    erase(speakers_);
    speakers_.push_back(VirtualSpeaker{id, name});
  } else {
    return ErrorAnswer("unknown device kind " + kind);
  }
  return ListLocked();
}

std::string VirtualDevices::HandleLevel(const cJSON* request) {
  const std::string id = GetString(request, "id");
  const int level = GetInt(request, "level", -1);
  if (level < 0 || level > 32767) return ErrorAnswer("level must be 0 to 32767");
  std::lock_guard<std::mutex> lock(mutex_);
  for (VirtualMicrophone& m : microphones_) {
    if (id.empty() || m.id == id) m.level = level;
  }
  return OkAnswer();
}

std::string VirtualDevices::HandleCameraRate(const cJSON* request) {
  const std::string id = GetString(request, "id");
  const bool unpaced = GetBool(request, "unpaced");
  const int fps = GetInt(request, "fps", 0);
  if (!unpaced && (fps < 0 || fps > 1000)) return ErrorAnswer("fps must be 0 to 1000");
  std::lock_guard<std::mutex> lock(mutex_);
  bool found = false;
  for (VirtualCamera& c : cameras_) {
    if (!id.empty() && c.id != id) continue;
    c.unpaced = unpaced;
    c.frame_rate = unpaced ? 0 : fps;
    found = true;
  }
  return found ? OkAnswer() : ErrorAnswer("no camera " + id);
}

}  // namespace orvim::sdk
