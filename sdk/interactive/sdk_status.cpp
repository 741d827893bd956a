// Publishing and subscribing again after a connection loss, the user's own mutes, and status
// reports to the page.

#include <windows.h>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

void CSdkInterActive::IceReConnectPub() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  const std::string publishId = GetMeetingIds().publishStreamId;
  std::lock_guard<std::mutex> guard(m_republishMutex);
  for (const std::string& id : m_republishStreams) {
    // The camera publish stream keeps the user's camera switch, as at its first publish.
    rtTarvo::rtc::PublishOptions options;
    options.video_muted = !publishId.empty() && id == publishId && m_bVideoMutex.load();
    media->Publish(id, options);
    TVLOG_INFO_THIS() << "Publish : " << id;
  }
}

void CSdkInterActive::IceReConnectSub() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  std::lock_guard<std::mutex> guard(m_resubscribeMutex);
  for (const std::string& id : m_resubscribeStreams) {
    if (!id.empty() && id.find("-live") != std::string::npos) {
      SubscribeLiveStream(true);
    } else {
      media->Resubscribe(id, 0);
      TVLOG_INFO_THIS() << "Subscribe : " << id;
    }
  }
}

void CSdkInterActive::SetAvSetStatus() {
  StAppConfig* config = GetAppConfig();
  const bool cameraOff = !config->camera_on;
  const bool micOff = !config->microphone_on;
  if (!cameraOff && !micOff) return;
  const StMeetingIds ids = GetMeetingIds();
  if (!CUserStreamList::Instance()->Find(ids.ownParticipantId)) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (cameraOff && (VideoDevIsExist(config->camera_dev_id) || !config->use_mode.load())) {
    if (media) media->MuteVideo(ids.publishStreamId, true);
    TVLOG_INFO_THIS() << "Self VideoMute";
  }
  Sleep(50);
  if (micOff && MicDevIsExist(config->GetMicDevId())) {
    if (media) media->MuteAudio(ids.publishStreamId, true);
    TVLOG_INFO_THIS() << "Self AudioMute";
  }
  PostWebLog(std::string("SetAvSetStatus video=") + (cameraOff ? "1" : "0") + "video = " + (micOff ? "1" : "0"));
}

void CSdkInterActive::OnAvMuted(std::string streamId) {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  if (m_bVideoMutex.load()) media->MuteVideo(streamId, true);
  if (m_bMicMuted.load()) media->MuteAudio(streamId, true);
}

void CSdkInterActive::ShareStreamAudioMute() {
  const bool mute = !GetAppConfig()->share_audio;
  const std::string shareId = GetMeetingIds().shareStreamId;
  TVLOG_INFO_THIS() << " bMute=" << mute << " streamid=" << shareId;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media || shareId.empty()) return;
  media->MuteAudio(shareId, mute);
}

void CSdkInterActive::OnSpeaker_OnOff(const StJsCommand& /*command*/, int value) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  std::vector<rtTarvo::rtc::StreamEntry> streams;
  media->GetStreams(&streams);
  const std::string publishId = GetMeetingIds().publishStreamId;
  for (const rtTarvo::rtc::StreamEntry& entry : streams) {
    if (entry.kind != rtTarvo::rtc::kStreamLive) continue;
    // The page's value 1 mutes the speaker here (while 1 unmutes the camera and microphone).
    media->MuteSpeaker(entry.stream_id, value == 1);
    TVLOG_INFO_THIS() << " remotestream=" << entry.stream_id << " ,live=" << publishId << " ,opt=" << value;
    PostWebLog("OnSpeaker_OnOff star remote audio mute id= " + entry.stream_id + " ,opt = " + std::to_string(value));
  }
}

void CSdkInterActive::NotifyShareStreams() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  std::vector<rtTarvo::rtc::StreamEntry> streams;
  media->GetStreams(&streams);
  for (const rtTarvo::rtc::StreamEntry& entry : streams) {
    if (entry.kind != rtTarvo::rtc::kStreamScreenShare) continue;
    CJsEventSender::Instance()->NotifyMediaShare(1, " ");
    return;
  }
}

void CSdkInterActive::SetInterCutVolume(int volume) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::LiveControl* live = GetLiveControl();
  if (!live) {
    TVLOG_ERROR_THIS() << " rtControl is null";
    return;
  }
  TVLOG_INFO_THIS() << " nVolume=" << volume;
  // No callback names the insertion: the empty id means the room's current one.
  live->SetInsertionVolume(rtTarvo::rtc::InterCutVolume{std::string(), volume});
  PostWebLog("SetInterCutVolume nVolume= " + std::to_string(volume));
}

void CSdkInterActive::GetInterCutVolume() {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::LiveControl* live = GetLiveControl();
  if (!live) {
    TVLOG_ERROR_THIS() << " rtControl is null";
    return;
  }
  live->GetInsertionVolume(rtTarvo::rtc::InterCutVolume{std::string(), 0});
}

void CSdkInterActive::PostWebLog(std::string text) {
  if (!m_pOwner) return;
  CJsEventSender::Instance()->NotifyWebLog("win_client:" + text);
}
