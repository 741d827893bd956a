#include "shell/login/join_info.h"

#include <cjson/cJSON.h>

#include "foundation/app_config.h"
#include "shell/login/skin_choice.h"

const char kDefaultOwtServer[] = "owt.tarvolive.example:7777";

namespace {

void CopyString(const cJSON* data, const char* key, std::string& target) {
  const cJSON* item = cJSON_GetObjectItem(data, key);
  if (cJSON_IsString(item) && item->valuestring) target = item->valuestring;
}

const cJSON* Number(const cJSON* data, const char* key) {
  const cJSON* item = cJSON_GetObjectItem(data, key);
  return cJSON_IsNumber(item) ? item : nullptr;
}

}  // namespace

bool ParseLoginData(const cJSON* request, StJoinInfo& join, StAppConfig& config) {
  if (!cJSON_IsObject(request)) return false;
  const cJSON* data = cJSON_GetObjectItem(request, "data");
  if (!cJSON_IsObject(data)) return false;

  CopyString(data, "confid", join.confid);
  CopyString(data, "sid", join.sid);
  CopyString(data, "username", join.username);
  CopyString(data, "userid", join.userid);
  CopyString(data, "cid", join.cid);
  CopyString(data, "owtServer", join.owtServer);
  if (join.owtServer.empty()) join.owtServer = kDefaultOwtServer;

  join.role = 1;
  if (const cJSON* role = Number(data, "role")) join.role = role->valueint;

  CopyString(data, "liveResolution", config.live_resolution);
  if (const cJSON* ratio = Number(data, "videoSourceRatio")) {
    config.video_source_ratio = ratio->valueint == 1;
  }
  if (const cJSON* guest_mic = Number(data, "guestMicDefault")) {
    config.guest_mic_default = guest_mic->valueint == 1 || join.role == 1;
  }
  CopyString(data, "liveid", config.live_id);
  if (const cJSON* camera = Number(data, "cameraResolution")) {
    config.camera_resolution = camera->valueint;
    if (!config.resolution_chosen) {
      if (camera->valueint == 1080) {
        config.video_width = 1920;
        config.video_height = 1080;
      } else if (camera->valueint == 720) {
        config.video_width = 1280;
        config.video_height = 720;
      } else {
        config.video_width = 640;
        config.video_height = 360;
      }
    }
  }
  const cJSON* skin = cJSON_GetObjectItem(data, "hostSkin");
  if (cJSON_IsString(skin) && skin->valuestring && std::string(skin->valuestring) == "1") {
    SetSkinIndex(kSkinOrange);
  }
  config.host = join.role == 1;
  return true;
}
