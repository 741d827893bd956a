#pragma once

#include <string>
#include <vector>

#include "foundation/beauty_record.h"
#include "foundation/dev_consumer.h"
#include "foundation/yuv_image.h"

// The topics of the client's bus (GetMessageBus): each topic's text and the signature its
// listeners register with CxBus::Listen (result type first). "text" is a UTF-8 `std::string`.
// Publishers send exactly the listener's argument types except where noted; topics with a
// result are called with CxBus::CallWithResult and a local result object of the listed result
// type, which the publisher reads when the call returns.
//
// Who publishes and who listens:
// - The SDK layer listens to topics 1 to 21; the settings, beauty settings and device test
//   windows publish them (1 and 2 from their constructors and destructors, with their own
//   `DevConsumerDelegate*`; converted to that type, never as the window's own pointer type).
// - The SDK layer publishes 22 with every local camera frame (on the SDK thread that delivered
//   it) and 21 when a stream is added; the device windows listen to 22 and 23.
// - The main window publishes 23 and listens to 24; the settings window publishes 24.

// 1, 2: a window joins or leaves the SDK layer's device consumers.
inline constexpr char kTopicAddDevConsumer[] = "event/id/ui/add/dev/consumer/s";
inline constexpr char kTopicDelDevConsumer[] = "event/id/ui/del/dev/consumer/s";
using DevConsumerListener = void(DevConsumerDelegate* consumer);

// 3 to 5: device lists.
inline constexpr char kTopicGetCamList[] = "event/id/ui/get/cam/list/s";
inline constexpr char kTopicGetMicList[] = "event/id/ui/get/mic/list/s";
inline constexpr char kTopicGetSpeakerList[] = "event/id/ui/get/speaker/list/s";
using DevListListener = std::vector<stDev_Info>();

// 6: a camera's largest width and height (camera identifier).
inline constexpr char kTopicGetCamResolution[] = "event/id/ui/get/cam/resolution/s";
using CamResolutionListener = stDev_Info(const std::string& deviceId);

// 7: camera identifier, camera name, width, height. Publishers pass a bool result object, false
// until answered: the listener's answer (the camera stream was re-created) is there when the
// call returns.
inline constexpr char kTopicSetResolution[] = "event/id/ui/set/resolution/s";
using SetResolutionListener = bool(const std::string& deviceId, const std::string& deviceName,
                                   int width, int height);

// 8: the degradation preference flag (true: keep the frame rate).
inline constexpr char kTopicSetPreference[] = "event/id/ui/set/preference/s";
using SetPreferenceListener = void(bool bFrame);

// 9 to 11: the picture stream and the camera check. 11 has no publisher in the client.
inline constexpr char kTopicOpenPicture[] = "event/id/ui/open/picture/s";
inline constexpr char kTopicClosePicture[] = "event/id/ui/close/picture/s";
inline constexpr char kTopicCheckDevVideos[] = "event/id/ui/check/dev/videos/s";
using NoArgumentListener = void();

// 12: camera identifier, camera name, publish flag, beauty flag; answers whether a new
// camera stream was requested.
inline constexpr char kTopicOpenDevVideo[] = "event/id/ui/open/dev/video/s";
using OpenDevVideoListener = bool(const std::string& deviceId, const std::string& deviceName,
                                  bool publish, bool beauty);

// 13: camera identifier, camera name, force flag (stop publishing, release without asking).
inline constexpr char kTopicCloseDevVideo[] = "event/id/ui/close/dev/video/s";
using CloseDevVideoListener = void(const std::string& deviceId, const std::string& deviceName,
                                   bool force);

// 14, 15: device name, device identifier, microphone flag, test flag.
inline constexpr char kTopicOpenDevAudio[] = "event/id/ui/open/dev/audio/s";
inline constexpr char kTopicCloseDevAudio[] = "event/id/ui/close/dev/audio/s";
using DevAudioListener = void(const std::string& deviceName, const std::string& deviceId,
                              bool microphone, bool test);

// 16: camera identifier, the beauty block, true. Publishers pass a `st_beauty*`, which reaches
// the untyped pointer by the equal-size rule; it is valid during the call only.
inline constexpr char kTopicSetBeautyDev[] = "event/id/ui/set/beauty/dev/s";
using SetBeautyDevListener = void(const std::string& deviceId, void* beauty, bool apply);

// 17, 18: microphone and speaker volume.
inline constexpr char kTopicGetMicValue[] = "event/id/ui/get/mic/value/s";
inline constexpr char kTopicGetSpeakerValue[] = "event/id/ui/get/speaker/value/s";
using VolumeListener = int();

// 19: speaker name, speaker identifier, sound file path, a flag the listener ignores.
inline constexpr char kTopicPlayTestSpeaker[] = "event/id/ui/play/test/speaker/s";
using PlayTestSpeakerListener = void(const std::string& speakerName, const std::string& speakerId,
                                     const std::string& soundFile, bool flag);

// 20: the speaker volume. Publishers pass an int, which reaches the unsigned listener.
inline constexpr char kTopicSetSpeakerValue[] = "event/id/ui/set/speaker/value/s";
using SetSpeakerValueListener = void(unsigned int volume);

// 21: a stream was added (the stream identifier, by value).
inline constexpr char kTopicAvMuted[] = "event/id/ui/av/muted";
using AvMutedListener = void(std::string streamId);

// 22: one local camera frame; its pixels are valid during the call only.
inline constexpr char kTopicYuvData[] = "event/id/ui/yuv/data/s";
using YuvDataListener = void(const StYuvImage& image);

// 23: a device went away: true for a microphone, false for a camera; the device identifier.
inline constexpr char kTopicDevHotplug[] = "event/id/ui/dev/hotplug/s";
using DevHotplugListener = void(bool microphone, const std::string& deviceId);

// 24: the UI language the user picked ("zh_CN", "zh_TW", "en_US").
inline constexpr char kTopicLanguage[] = "event/id/ui/language";
using LanguageListener = void(std::string& language);

// Every topic of the client, in the order above.
inline constexpr const char* kBusTopics[] = {
    kTopicAddDevConsumer, kTopicDelDevConsumer,   kTopicGetCamList,      kTopicGetMicList,
    kTopicGetSpeakerList, kTopicGetCamResolution, kTopicSetResolution,   kTopicSetPreference,
    kTopicOpenPicture,    kTopicClosePicture,     kTopicCheckDevVideos,  kTopicOpenDevVideo,
    kTopicCloseDevVideo,  kTopicOpenDevAudio,     kTopicCloseDevAudio,   kTopicSetBeautyDev,
    kTopicGetMicValue,    kTopicGetSpeakerValue,  kTopicPlayTestSpeaker, kTopicSetSpeakerValue,
    kTopicAvMuted,        kTopicYuvData,          kTopicDevHotplug,      kTopicLanguage,
};
