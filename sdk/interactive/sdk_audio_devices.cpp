// Device lists and camera resolutions, opening, closing and testing audio devices, volumes.
// Served as bus handlers on the publishing window's thread; the SDK is called on that thread and
// no lock of the layer is taken.

#include <windows.h>

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

rtTarvo::rtc::AudioDeviceInfo AudioDevice(const std::string& id, const std::string& name, bool microphone) {
  return rtTarvo::rtc::AudioDeviceInfo{id, name, microphone ? 1 : 2};
}

// A level of the SDK (0 to 1) as a percentage, cut toward zero.
int Percent(float level) { return static_cast<int>(level * 100.0f); }

}  // namespace

void CSdkInterActive::SubscribeDeviceTopics() {
  CxBus& bus = GetMessageBus();
  CxBus::Listen(m_subscriptions, bus, kTopicGetCamList, &CSdkInterActive::Get_Video_DevList, this);
  CxBus::Listen(m_subscriptions, bus, kTopicGetMicList, &CSdkInterActive::Get_Mic_DevList, this);
  CxBus::Listen(m_subscriptions, bus, kTopicGetSpeakerList, &CSdkInterActive::Get_Speaker_DevList, this);
  CxBus::Listen(m_subscriptions, bus, kTopicGetCamResolution, &CSdkInterActive::Get_Video_Resolutions, this);
  CxBus::Listen(m_subscriptions, bus, kTopicOpenDevAudio, &CSdkInterActive::Open_Audio_Dev, this);
  CxBus::Listen(m_subscriptions, bus, kTopicCloseDevAudio, &CSdkInterActive::Close_Audio_Dev, this);
  CxBus::Listen(m_subscriptions, bus, kTopicOpenPicture, &CSdkInterActive::Open_Picture_Stream, this);
  CxBus::Listen(m_subscriptions, bus, kTopicSetBeautyDev, &CSdkInterActive::SetBeautyDev, this);
  CxBus::Listen(m_subscriptions, bus, kTopicGetMicValue, &CSdkInterActive::GetMicVolume, this);
  CxBus::Listen(m_subscriptions, bus, kTopicGetSpeakerValue, &CSdkInterActive::GetSpeakerVolume, this);
  CxBus::Listen(m_subscriptions, bus, kTopicPlayTestSpeaker, &CSdkInterActive::PlayTestSpeaker, this);
  CxBus::Listen(m_subscriptions, bus, kTopicSetSpeakerValue, &CSdkInterActive::Set_SpeakerVolume, this);
}

std::vector<stDev_Info> CSdkInterActive::Get_Video_DevList() {
  std::vector<stDev_Info> list;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return list;
  }
  TVLOG_INFO_THIS() << "vcamera list b = " << GetTickCount();
  std::vector<rtTarvo::rtc::CameraInfo> cameras;
  media->GetCameras(&cameras);
  for (const rtTarvo::rtc::CameraInfo& camera : cameras) list.push_back(stDev_Info{camera.id, camera.name, 0, 0});
  TVLOG_INFO_THIS() << "vcamera list e = " << GetTickCount();
  return list;
}

stDev_Info CSdkInterActive::Get_Video_Resolutions(const std::string& deviceId) {
  stDev_Info best{deviceId, std::string(), 0, 0};
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return best;
  }
  TVLOG_INFO_THIS() << "vcamera resolution b = " << GetTickCount();
  std::vector<rtTarvo::rtc::VideoResolution> sizes;
  media->GetResolutions(deviceId, &sizes);
  // The largest width and the largest height, each on its own.
  for (const rtTarvo::rtc::VideoResolution& size : sizes) {
    best.width = std::max(best.width, size.width);
    best.height = std::max(best.height, size.height);
  }
  TVLOG_INFO_THIS() << "vcamera resolution e = " << GetTickCount();
  return best;
}

std::vector<stDev_Info> CSdkInterActive::Get_Mic_DevList() { return GetAudioDevList(1); }

std::vector<stDev_Info> CSdkInterActive::Get_Speaker_DevList() { return GetAudioDevList(2); }

std::vector<stDev_Info> CSdkInterActive::GetAudioDevList(int kind) {
  std::vector<stDev_Info> list;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return list;
  }
  std::vector<rtTarvo::rtc::AudioDeviceInfo> devices;
  media->GetAudioDevices(kind, &devices);
  for (const rtTarvo::rtc::AudioDeviceInfo& device : devices) list.push_back(stDev_Info{device.id, device.name, 0, 0});
  return list;
}

void CSdkInterActive::Open_Audio_Dev(const std::string& name, const std::string& deviceId, bool microphone,
                                     bool test) {
  TVLOG_INFO_THIS() << " strname=" << name << " ,strdevid=" << deviceId << " ,bMic=" << microphone
                    << " ,btest=" << test;
  PostWebLog("Open_Audio_Dev strname= " + name + "  ,strdevid=" + deviceId + " ,bmic=" + (microphone ? "1" : "0"));
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  const rtTarvo::rtc::AudioDeviceInfo device = AudioDevice(deviceId, name, microphone);
  media->SelectAudioDevice(device, 0);
  if (test) media->TestAudioDevice(device, "i", 1);
  // A microphone that came back (or went) while publishing may change whether the publish
  // stream should carry sound.
  if (microphone && !test) CheckPublishFlags(GetAppConfig()->camera_dev_id, false);
}

void CSdkInterActive::Close_Audio_Dev(const std::string& name, const std::string& deviceId, bool microphone,
                                      bool /*unused*/) {
  TVLOG_INFO_THIS() << " strname=" << name << " ,strdevid=" << deviceId << " ,bMic=" << microphone;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  const rtTarvo::rtc::AudioDeviceInfo device = AudioDevice(deviceId, name, microphone);
  media->CloseAudioDevice(device);
  media->SelectAudioDevice(device, IsInMeeting() ? 1 : 0);
}

void CSdkInterActive::PlayTestSpeaker(const std::string& name, const std::string& deviceId, const std::string& file,
                                      bool /*unused*/) {
  if (deviceId.empty()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  media->TestAudioDevice(AudioDevice(deviceId, name, false), file, 0);
}

int CSdkInterActive::GetMicVolume() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  return media ? Percent(media->GetMicrophoneLevel()) : 0;
}

int CSdkInterActive::GetSpeakerVolume() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  return media ? Percent(media->GetSpeakerLevel()) : 0;
}

void CSdkInterActive::Set_SpeakerVolume(unsigned int volume) {
  TVLOG_INFO_THIS() << " nvalue = " << volume;
  PostWebLog("Set_SpeakerVolume nvalue = " + std::to_string(volume));
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) media->SetSpeakerVolume(volume);
}
