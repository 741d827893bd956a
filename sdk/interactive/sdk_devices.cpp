// Camera and picture closing, face beauty on and off, the local-media stop, device presence and
// the frame senders.

#include <cstdlib>

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

void CSdkInterActive::Close_Video_Dev(const std::string& deviceId, const std::string& deviceName, bool stopPublish) {
  if (deviceId.empty() || OutofMeeting(true)) return;
  if (!m_pRtcEngine) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return;
  }
  TVLOG_INFO_THIS() << "devname =" << deviceName << " ,bStopPublish = " << stopPublish;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  bool inUse = false;
  size_t count = 0;
  std::string released;
  {
    // Lock order: camera streams, then the beauty client or the consumers.
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    count = m_localVideoStreams.size();
    for (auto it = m_localVideoStreams.begin(); it != m_localVideoStreams.end();) {
      if (it->deviceId != deviceId) {
        ++it;
        continue;
      }
      if (!stopPublish && !inUse) {
        inUse = it->bpublish && m_pOwner && m_pOwner->IsUsingVideoDev(deviceId);
        if (!inUse) {
          std::lock_guard<std::mutex> consumers(m_consumerMutex);
          for (DevConsumerDelegate* consumer : m_consumers) {
            if (consumer && consumer->IsUsingVideoDev(deviceId)) {
              inUse = true;
              break;
            }
          }
        }
      }
      if (!stopPublish && inUse) {
        ++it;
        continue;
      }
      if (it->bbeauty) CloseBeauty(it->deviceId, false);
      if (media) media->ReleaseStream(it->streamId);
      released = it->streamId;
      UpdateMeetingIds([&](StMeetingIds& m) { m.cameraStreamId = released; });
      it = m_localVideoStreams.erase(it);
    }
  }
  const std::string cameraId = GetMeetingIds().cameraStreamId;
  if (!cameraId.empty()) PostWebLog("Close_Video_Dev start release stream id= " + cameraId);
  TVLOG_INFO_THIS() << " close end bUse = " << inUse << " ,localvideo_size = " << static_cast<unsigned>(count);
}

void CSdkInterActive::Close_Picture_Stream() {
  TVLOG_INFO_THIS() << " picture";
  PostWebLog("Close_Picture_Stream img");
  {
    std::lock_guard<std::mutex> guard(m_frameMutex);
    free(m_pLastFrame);
    m_pLastFrame = nullptr;
    m_nLastFrameLength = 0;
    m_nLastFrameWidth = 0;
    m_nLastFrameHeight = 0;
  }
  if (m_pOwner) m_pOwner->OnPictureStream(false);
}

void CSdkInterActive::OpenBeauty(const std::string& /*streamId*/, const std::string& deviceId, bool /*unused*/) {
  std::lock_guard<std::mutex> guard(m_beautyMutex);
  if (m_pBeautyFace) m_pBeautyFace->Init();
  TVLOG_INFO_THIS() << " Beauty = " << deviceId;
}

void CSdkInterActive::CloseBeauty(const std::string& label, bool /*unused*/) {
  std::lock_guard<std::mutex> guard(m_beautyMutex);
  if (m_pBeautyFace) m_pBeautyFace->UnInit();
  TVLOG_INFO_THIS() << " Beauty = " << label;
}

void CSdkInterActive::Stop_LocalMedia_Stream() {
  if (OutofMeeting(true)) return;
  const std::string id = GetMeetingIds().localMediaStreamId;
  if (id.empty()) {
    // Asked for, but its sender has not come: local media stops now, and the sender callback
    // releases the stream instead of publishing it.
    if (m_bLodIng.exchange(false)) {
      m_bStopBeforeSender.store(true);
      TVLOG_INFO_THIS() << " stop before the local media sender came";
    }
    return;
  }
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " media is null";
    return;
  }
  TVLOG_INFO_THIS() << "UnPublish, id = " << id;
  media->Unpublish(id);
  media->ReleaseStream(id);
  DelSender(1);
  m_bLodIng.store(false);
  {
    std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
    m_localMediaStats = NetStatistics();
  }
  PostWebLog("stop local media share id : " + id);
}

bool CSdkInterActive::VideoDevIsExist(const std::string& deviceId) {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return false;
  }
  std::vector<rtTarvo::rtc::CameraInfo> cameras;
  media->GetCameras(&cameras);
  for (const rtTarvo::rtc::CameraInfo& camera : cameras) {
    if (camera.id == deviceId) {
      TVLOG_INFO_THIS() << " VideoDevIsExist= true";
      return true;
    }
  }
  TVLOG_INFO_THIS() << " VideoDevIsExist= false";
  return false;
}

bool CSdkInterActive::MicDevIsExist(const std::string& deviceId) {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " rtc engin is null!";
    return false;
  }
  std::vector<rtTarvo::rtc::AudioDeviceInfo> microphones;
  media->GetAudioDevices(1, &microphones);
  for (const rtTarvo::rtc::AudioDeviceInfo& microphone : microphones) {
    if (microphone.id == deviceId) {
      TVLOG_INFO_THIS() << " MicDevIsExist= true";
      return true;
    }
  }
  TVLOG_INFO_THIS() << " MicDevIsExist = false";
  return false;
}

void CSdkInterActive::AddSender(int kind, const std::string& streamId, rtTarvo::rtc::FrameSender* sender) {
  TVLOG_INFO_THIS() << " wStream=" << kind << " ,sid=" << streamId;
  if (kind < 0 || kind > 1) {
    TVLOG_ERROR_THIS() << " unknown sender kind " << kind;
    return;
  }
  CxAutoLock hold(m_senderLock);
  m_senders[kind].streamId = streamId;
  m_senders[kind].sender = sender;
}

void CSdkInterActive::DelSender(int kind) {
  TVLOG_INFO_THIS() << " wStream=" << kind;
  if (kind < 0 || kind > 1) return;
  CxAutoLock hold(m_senderLock);
  m_senders[kind].streamId.clear();
  m_senders[kind].sender = nullptr;
}

bool CSdkInterActive::HasSender(int kind) {
  if (kind < 0 || kind > 1) return false;
  CxAutoLock hold(m_senderLock);
  return m_senders[kind].sender != nullptr;
}
