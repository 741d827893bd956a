// Camera records and their SDK camera streams, and the single publish stream.

#include <windows.h>

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr int kCameraFrameRate = 24;
constexpr int kPublishProfile = 7;
constexpr int kPublishLayers = 5;

// 640 x 360 is asked of cameras as 640 x 480.
int CameraHeight(int height) { return height == 360 ? 480 : height; }

// The settings' picture path (in the system code page) names an existing file.
bool PictureFileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CSdkInterActive::CanPublishVideo(const std::string& deviceId) {
  StAppConfig* config = GetAppConfig();
  if (!config->host && config->video_source_ratio) return false;
  if (!config->use_mode.load()) return true;  // The picture is always sent.
  return VideoDevIsExist(deviceId);
}

bool CSdkInterActive::CanPublishMic(const std::string& deviceId) { return MicDevIsExist(deviceId); }

void CSdkInterActive::CheckPublishFlags(const std::string& cameraId, bool clearReconnect) {
  if (GetMeetingIds().publishStreamId.empty()) return;
  if (m_bCurPublishVideo.load() == CanPublishVideo(cameraId) &&
      m_bCurPublishMic.load() == CanPublishMic(GetAppConfig()->GetMicDevId())) {
    return;
  }
  TVLOG_INFO_THIS() << " publish status not the same";
  if (clearReconnect) ClearPublishReconnect();
  StopLocalPublish();
  CreateDefaultPublishStream();
}

bool CSdkInterActive::Open_Video_Dev(const std::string& deviceId, const std::string& deviceName, bool publish,
                                     bool beauty) {
  if (OutofMeeting(true)) return false;
  if (!m_pRtcEngine) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return false;
  }
  CheckPublishFlags(deviceId, true);

  bool found = false;
  std::string streamId;
  {
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    for (LocalVideoStream& stream : m_localVideoStreams) {
      if (stream.deviceId != deviceId) continue;
      found = true;
      if (!stream.bpublish) stream.bbeauty = beauty;
      if (publish) stream.bpublish = true;
      streamId = stream.streamId;
      break;
    }
  }
  TVLOG_INFO_THIS() << " find= " << found << " ,name= " << deviceName << " ,bbeauty= " << beauty;
  if (found) {
    if (publish && beauty && !streamId.empty()) {
      OpenBeauty(streamId, deviceId, false);
      SetBeautyParams(deviceId, GetAppConfig()->beauty, false);
    }
    return false;
  }

  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " media is null";
    return false;
  }
  StAppConfig* config = GetAppConfig();
  LocalVideoStream record;
  record.deviceId = deviceId;
  record.bpublish = publish;
  record.bbeauty = beauty;
  record.params.width = config->video_width;
  record.params.height = config->video_height;

  std::vector<rtTarvo::rtc::VideoResolution> sizes;
  media->GetResolutions(deviceId, &sizes);
  const rtTarvo::rtc::VideoResolution* best = nullptr;
  for (const rtTarvo::rtc::VideoResolution& size : sizes) {
    TVLOG_INFO_THIS() << "suported resolution : w = " << size.width << " ,h=" << size.height;
    if (!best || size.height > best->height) best = &size;
  }
  if (best && best->height < record.params.height) {
    record.params.width = best->width;
    record.params.height = best->height;
    if (publish) {
      config->video_width = best->width;
      config->video_height = best->height;
      if (m_pOwner) m_pOwner->OnVideoDevOpened();
    }
  } else {
    TVLOG_INFO_THIS() << "resolution not changed";
  }
  record.params.height = CameraHeight(record.params.height);
  record.params.frame_rate = kCameraFrameRate;

  {
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    m_localVideoStreams.push_back(record);
    media->CreateCameraStream(deviceId, record.params);
  }
  PostWebLog("Open_Video_Dev start create stream devid= " + deviceId);
  TVLOG_INFO_THIS() << " CreateStream = " << deviceName << " ,w=" << record.params.width
                    << " ,h=" << record.params.height;
  return true;
}

bool CSdkInterActive::SetVideoResolution(const std::string& deviceId, const std::string& deviceName, int width,
                                         int height) {
  if (OutofMeeting(true)) return false;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return false;
  }
  rtTarvo::rtc::VideoParams params;
  params.width = width;
  params.height = CameraHeight(height);
  params.frame_rate = kCameraFrameRate;
  std::string released;
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    for (LocalVideoStream& stream : m_localVideoStreams) {
      if (stream.deviceId != deviceId) continue;
      found = true;
      media->ReleaseStream(stream.streamId);
      released = stream.streamId;
      UpdateMeetingIds([&](StMeetingIds& m) { m.cameraStreamId = released; });
      stream.streamId.clear();
      break;
    }
    if (!found) {
      LocalVideoStream record;
      record.deviceId = deviceId;
      record.params = params;
      m_localVideoStreams.push_back(record);
    }
    media->CreateCameraStream(deviceId, params);
  }
  if (found) {
    TVLOG_INFO_THIS() << " Release devname=" << deviceName;
    PostWebLog("SetVideoResolution start release stream id= " + released);
  }
  PostWebLog("SetVideoResolution start create stream devid= " + deviceId);
  TVLOG_INFO_THIS() << " CreateStream devname=" << deviceName << " ,w=" << params.width << " ,h=" << params.height;
  return true;
}

void CSdkInterActive::CheckDevVideos() {
  if (!m_bVideoMutex.load()) return;
  StAppConfig* config = GetAppConfig();
  Close_Video_Dev(config->camera_dev_id, config->camera_dev_name, true);
}

void CSdkInterActive::Open_CurDev(bool publish, bool updateMute) {
  TVLOG_INFO_THIS() << " bpublish=" << publish;
  m_bLiveSubscribeEnabled.store(true);
  SubscribeLiveStream(true);
  StAppConfig* config = GetAppConfig();
  if (updateMute) {
    m_bVideoMutex.store(!config->camera_on);
    TVLOG_INFO_THIS() << " m_bVideoMutex =" << m_bVideoMutex.load();
  }
  if (config->use_mode.load()) {
    Open_Video_Dev(config->camera_dev_id, config->camera_dev_name, publish, false);
  } else if (PictureFileExists(config->picture_path)) {
    Open_Picture_Stream();
  }
}

void CSdkInterActive::Open_CurDevEx(bool publish) {
  TVLOG_INFO_THIS() << " bpublish=" << publish;
  m_bLiveSubscribeEnabled.store(true);
  SubscribeLiveStream(true);
  StAppConfig* config = GetAppConfig();
  if (config->use_mode.load()) {
    Open_Video_Dev(config->camera_dev_id, config->camera_dev_name, publish, config->beauty_changed.load());
  } else if (PictureFileExists(config->picture_path)) {
    Open_Picture_Stream();
  }
}

void CSdkInterActive::CreatePublishStream(int width, int height, int /*frameRate*/, int /*unused*/) {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " media is null";
    return;
  }
  const std::string publishId = GetMeetingIds().publishStreamId;
  if (HasSender(0)) {
    TVLOG_INFO_THIS() << "-- local id is exist!";
    if (!publishId.empty()) {
      m_nPublishWidth.store(width);
      m_nPublishHeight.store(height);
      media->SetPublishOptions(publishId, width, height);
    }
    return;
  }
  StAppConfig* config = GetAppConfig();
  m_bCurPublishVideo.store(CanPublishVideo(config->camera_dev_id));
  m_bCurPublishMic.store(CanPublishMic(config->GetMicDevId()));
  TVLOG_INFO_THIS() << " m_bCurPublishVideo=" << m_bCurPublishVideo.load()
                    << " ,m_bCurPublishMic=" << m_bCurPublishMic.load();
  m_nPublishWidth.store(width);
  m_nPublishHeight.store(height);
  media->CreateStream(0, width, height, kPublishProfile, kPublishLayers, m_bCurPublishVideo.load(),
                      m_bCurPublishMic.load());
  if (!publishId.empty()) media->SetPublishOptions(publishId, width, height);
  PostWebLog("CreatePublishStream stream_id = " + publishId);
}

void CSdkInterActive::CreateDefaultPublishStream() {
  StAppConfig* config = GetAppConfig();
  int width = config->video_width;
  int height = config->video_height;
  if (config->rotation % 180 != 0) std::swap(width, height);
  CreatePublishStream(width, height, kCameraFrameRate, 0);
}

bool CSdkInterActive::FindLostVideoDev(std::string& deviceId) {
  const std::vector<stDev_Info> cameras = Get_Video_DevList();
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  for (const LocalVideoStream& stream : m_localVideoStreams) {
    const bool listed = std::any_of(cameras.begin(), cameras.end(),
                                    [&](const stDev_Info& camera) { return camera.id == stream.deviceId; });
    if (listed) continue;
    deviceId = stream.deviceId;
    return true;
  }
  return false;
}

void CSdkInterActive::CloseLostVideoDev(const std::string& deviceId) {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  for (auto it = m_localVideoStreams.begin(); it != m_localVideoStreams.end(); ++it) {
    if (it->deviceId != deviceId) continue;
    if (it->bbeauty) CloseBeauty(it->deviceId, false);
    if (media) media->ReleaseStream(it->streamId);
    const std::string released = it->streamId;
    UpdateMeetingIds([&](StMeetingIds& m) { m.cameraStreamId = released; });
    m_localVideoStreams.erase(it);
    return;
  }
}
