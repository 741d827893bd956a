#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/beauty_record.h"
#include "foundation/lock.h"

// One extra push destination of the broadcast, as the web page sends it.
struct StPushStreamInfo {
  std::wstring platform_name;  // Shown to the user.
  std::wstring push_url;       // Begins with "rtmp://".
  std::string stream_id;
  int32_t width = 0;
  int32_t height = 0;
  int32_t state = 1;  // 0 pushing, 1 idle, any other value an error state.
};

// StAppConfig: the client's settings and shared state: chosen devices, video size and
// orientation, display flags, UI language, the program's version, the push destinations, the
// beauty and background block and the custom materials.
//
// `GetAppConfig()` returns the process-wide record; the beauty settings window also builds a
// record of its own as its working copy. Fields are read and written directly by their users.
// Texts are byte strings: device identifiers and names, picture path, live resolution.
//
// Threads: the UI thread and the SDK's callback threads use the record. The atomic flags may be
// used from any thread. The microphone and speaker texts, which the SDK's device callbacks
// write, are reached only through their accessors, which take |lock|. Everything else is plain
// data; users that need a consistent view of several fields hold |lock|.
struct StAppConfig {
  StAppConfig() = default;
  StAppConfig(const StAppConfig&) = delete;
  StAppConfig& operator=(const StAppConfig&) = delete;

  // Sets the video size: 0 → 1920 × 1080, 1 → 1280 × 720, any other → 640 × 360.
  void SetResolutionIndex(int index);

  // Appends a copy of |info| to the push destinations.
  void AddPushStream(const StPushStreamInfo& info);
  // The destination at |index|, or null for an index outside 0 to count − 1.
  StPushStreamInfo* GetPushStream(int index);
  int PushStreamCount() const { return static_cast<int>(push_streams.size()); }

  // True when an entry with the same path is in the custom materials.
  bool FindCustomMaterial(const StCustomMaterial& entry) const;
  // Removes every entry with the same path.
  void RemoveCustomMaterial(const StCustomMaterial& entry);
  int CustomMaterialCount() const { return static_cast<int>(custom_materials.size()); }

  // Copies into the beauty window's working copy: camera identifier and name, video size, the
  // beauty block (its rotation, flip and mirror taken from this record's), the custom
  // materials and the preference.
  void GetBeauty(StAppConfig& out);
  // The reverse copy from the working copy, except that the block's rotation, flip and mirror
  // become this record's own; then raises beauty_changed.
  void SetBeauty(const StAppConfig& in);

  // The language test of the windows: true for "en_US".
  bool IsEnglish() const { return language == L"en_US"; }

  // Microphone and speaker: written by the SDK layer's device callbacks, read by the UI.
  // Thread-safe.
  void SetMicDevice(const std::string& id, const std::string& name);
  void SetSpeakerDevice(const std::string& id, const std::string& name);
  void SetMicDevId(const std::string& id);
  void SetMicDevName(const std::string& name);
  void SetSpeakerDevId(const std::string& id);
  void SetSpeakerDevName(const std::string& name);
  std::string GetMicDevId();
  std::string GetMicDevName();
  std::string GetSpeakerDevId();
  std::string GetSpeakerDevName();

  std::string camera_dev_id;    // "camera_dev_id" in the configuration file.
  std::string camera_dev_name;  // "camera_dev_name"; in the system code page.
  std::string picture_path;     // "picture_path": still picture published instead of the camera.

 private:
  std::string mic_dev_id;        // "mic_dev_id". Protected by |lock|.
  std::string mic_dev_name;      // UTF-8. Protected by |lock|.
  std::string speaker_dev_id;    // "speaker_dev_id". Protected by |lock|.
  std::string speaker_dev_name;  // UTF-8. Protected by |lock|.

 public:
  int32_t video_width = 1280;  // With the height: "resolution".
  int32_t video_height = 720;
  int32_t rotation = 0;  // Degrees: 0, 90, 180 or 270 ("rotate").
  int32_t flip = 0;      // 0 or 1 ("flip").
  int32_t mirror = 0;    // 0 or 1 ("mirror").
  int32_t speaker_volume = 80;

  // Video mode ("use_mode"): set while the camera is the video source, clear for the picture.
  std::atomic<bool> use_mode{true};
  bool camera_on = true;      // The user's camera switch; opened at the start of a live.
  bool microphone_on = true;  // The user's microphone switch; opened at the start of a live.
  // Raised by the beauty settings window while the user picks a key colour from its preview;
  // while set the local frame path skips face beauty.
  std::atomic<bool> beauty_suspended{false};
  // Set by the page's live request; read as the push permission of the push-stream page.
  bool live_running = false;
  bool host = false;            // The join data's role is 1 (host).
  uint8_t prior = 0;            // Preference ("prior"): 0 quality first, 1 fluency first.
  bool canOpenDevTools = true;  // F11 opens the developer tools only while set.

  // Guards |mic_dev_*| and |speaker_dev_*|; held by users that need a consistent view.
  CxLock lock;

  std::string text;            // A spare text the record has always carried; unused.
  bool show_logo = false;      // "showlogo".
  bool guest_list = false;     // Guest-list option, set by the page.
  bool viewer_option = false;  // Viewer option, set by the page.
  bool share_audio = false;    // The share window's "share_audio" option at the start of a share.
  std::wstring language = L"zh_CN";            // UI language: "zh_CN", "zh_TW" or "en_US".
  std::vector<StPushStreamInfo> push_streams;  // Extra push destinations from the page.
  std::string live_resolution;  // "liveResolution" of the join data, compared with "1080"/"720".
  bool video_source_ratio = false;  // The join data's "videoSourceRatio" is 1.
  // The devices' default-on switch: the join data's "guestMicDefault" is 1, or the user hosts.
  bool guest_mic_default = true;
  std::atomic<bool> update_running{true};  // While the start-up update check runs.
  int32_t camera_resolution = 0;           // "cameraResolution" of the join data.
  // Cleared when the configuration file has no "resolution"; while clear, the join data's
  // camera resolution sets the video size.
  std::atomic<bool> resolution_chosen{true};
  std::atomic<bool> beauty_changed{false};  // Raised by SetBeauty.
  // The settings windows open the beauty settings only while this is set.
  std::atomic<bool> beauty_allowed{true};
  st_beauty beauty;
  std::vector<StCustomMaterial> custom_materials;  // Imported backgrounds; equal by path.
  std::wstring version;        // The program's file version "%d.%d.%d.%d", set at start-up.
  bool external_data = false;  // When set, the next two texts are saved.
  std::string external_id;     // "thirdpartyid".
  std::string remarks;         // "remarksinfo".
  std::string live_id;         // "liveid" of the join data.
};

// The process-wide record, created on first use (at start-up, on the main thread) and never
// freed.
StAppConfig* GetAppConfig();
