#pragma once

#include <cjson/cJSON.h>

#include <mutex>
#include <string>
#include <vector>

#include "orvim_sdk.h"

namespace orvim::sdk {

struct VirtualCamera {
  std::string id;
  std::string name;
  std::vector<rtTarvo::rtc::VideoResolution> sizes;
  int number = 1;        // Drawn into every picture, 0 to 15.
  int frame_rate = 0;    // 0: the rate the stream asked for.
  bool unpaced = false;  // Frames as fast as they are taken.
};

struct VirtualMicrophone {
  std::string id;
  std::string name;
  int level = 3000;  // 0 to 32767.
};

struct VirtualSpeaker {
  std::string id;
  std::string name;
};

// The devices the SDK offers, shared by every service of the process: by default the camera
// "Orvim Virtual Camera" (1920 x 1080, 1280 x 720, 640 x 480, 640 x 360), one microphone and
// one speaker. Thread-safe; every getter returns copies.
class VirtualDevices {
 public:
  static VirtualDevices& Instance();

  std::vector<VirtualCamera> Cameras();
  std::vector<VirtualMicrophone> Microphones();
  std::vector<VirtualSpeaker> Speakers();
  bool FindCamera(const std::string& id, VirtualCamera* out);
  // The microphone |id|, or the first one when |id| is empty or unknown. False when none.
  bool PickMicrophone(const std::string& id, VirtualMicrophone* out);

  // The control's "devices", "level" and "camera_rate" commands.
  std::string HandleDevices(const cJSON* request);
  std::string HandleLevel(const cJSON* request);
  std::string HandleCameraRate(const cJSON* request);

 private:
  VirtualDevices();
  void ResetLocked();
  std::string ListLocked();

  std::mutex mutex_;  // Protects the three lists.
  std::vector<VirtualCamera> cameras_;
  std::vector<VirtualMicrophone> microphones_;
  std::vector<VirtualSpeaker> speakers_;
};

}  // namespace orvim::sdk
