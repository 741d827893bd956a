#include "foundation/app_config.h"

#include <algorithm>

void StAppConfig::SetResolutionIndex(int index) {
  switch (index) {
    case 0:
      video_width = 1920;
      video_height = 1080;
      break;
    case 1:
      video_width = 1280;
      video_height = 720;
      break;
    default:
      video_width = 640;
      video_height = 360;
      break;
  }
}

void StAppConfig::AddPushStream(const StPushStreamInfo& info) { push_streams.push_back(info); }

StPushStreamInfo* StAppConfig::GetPushStream(int index) {
  if (index < 0 || index >= PushStreamCount()) return nullptr;
  return &push_streams[static_cast<size_t>(index)];
}

bool StAppConfig::FindCustomMaterial(const StCustomMaterial& entry) const {
  return std::find(custom_materials.begin(), custom_materials.end(), entry) !=
         custom_materials.end();
}

void StAppConfig::RemoveCustomMaterial(const StCustomMaterial& entry) {
  custom_materials.erase(std::remove(custom_materials.begin(), custom_materials.end(), entry),
                         custom_materials.end());
}

void StAppConfig::GetBeauty(StAppConfig& out) {
  if (&out == this) return;
  CxAutoLock guard(lock);
  out.camera_dev_id = camera_dev_id;
  out.camera_dev_name = camera_dev_name;
  out.video_width = video_width;
  out.video_height = video_height;
  out.beauty = beauty;
  out.beauty.rotation = rotation;
  out.beauty.flip = flip;
  out.beauty.mirror = mirror;
  out.custom_materials = custom_materials;
  out.prior = prior;
}

void StAppConfig::SetBeauty(const StAppConfig& in) {
  if (&in != this) {
    CxAutoLock guard(lock);
    camera_dev_id = in.camera_dev_id;
    camera_dev_name = in.camera_dev_name;
    video_width = in.video_width;
    video_height = in.video_height;
    const int32_t own_rotation = beauty.rotation;
    const int32_t own_flip = beauty.flip;
    const int32_t own_mirror = beauty.mirror;
    beauty = in.beauty;
    beauty.rotation = own_rotation;
    beauty.flip = own_flip;
    beauty.mirror = own_mirror;
    rotation = in.beauty.rotation;
    flip = in.beauty.flip;
    mirror = in.beauty.mirror;
    custom_materials = in.custom_materials;
    prior = in.prior;
  }
  beauty_changed = true;
}

void StAppConfig::SetMicDevice(const std::string& id, const std::string& name) {
  CxAutoLock guard(lock);
  mic_dev_id = id;
  mic_dev_name = name;
}

void StAppConfig::SetSpeakerDevice(const std::string& id, const std::string& name) {
  CxAutoLock guard(lock);
  speaker_dev_id = id;
  speaker_dev_name = name;
}

void StAppConfig::SetMicDevId(const std::string& id) {
  CxAutoLock guard(lock);
  mic_dev_id = id;
}

void StAppConfig::SetMicDevName(const std::string& name) {
  CxAutoLock guard(lock);
  mic_dev_name = name;
}

void StAppConfig::SetSpeakerDevId(const std::string& id) {
  CxAutoLock guard(lock);
  speaker_dev_id = id;
}

void StAppConfig::SetSpeakerDevName(const std::string& name) {
  CxAutoLock guard(lock);
  speaker_dev_name = name;
}

std::string StAppConfig::GetMicDevId() {
  CxAutoLock guard(lock);
  return mic_dev_id;
}

std::string StAppConfig::GetMicDevName() {
  CxAutoLock guard(lock);
  return mic_dev_name;
}

std::string StAppConfig::GetSpeakerDevId() {
  CxAutoLock guard(lock);
  return speaker_dev_id;
}

std::string StAppConfig::GetSpeakerDevName() {
  CxAutoLock guard(lock);
  return speaker_dev_name;
}

StAppConfig* GetAppConfig() {
  static StAppConfig* const config = new StAppConfig;  // Never freed.
  return config;
}
