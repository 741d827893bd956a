// The live layout through the live control, copies of the three statistics records with fresh
// requests to the SDK, and muting another user's (or the own) video or sound.

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

void CSdkInterActive::GetLive2Layout(const std::string& roomId) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::LiveControl* live = GetLiveControl();
  if (!live) {
    TVLOG_ERROR_THIS() << " rtControl is null";
    return;
  }
  TVLOG_INFO_THIS() << " sroomid=" << roomId;
  live->GetLiveLayout(roomId);
}

void CSdkInterActive::SetLive2Layout(const std::string& roomId, const std::string& layout) {
  if (OutofMeeting(true)) return;
  rtTarvo::rtc::LiveControl* live = GetLiveControl();
  if (!live) {
    TVLOG_ERROR_THIS() << " rtControl is null";
    return;
  }
  TVLOG_INFO_THIS() << " sroomid=" << roomId << " ,layout=" << layout;
  live->SetLiveLayout(roomId, layout);
}

void CSdkInterActive::GetPublishNetStats(NetStatistics* out, bool request) {
  if (out) {
    std::lock_guard<std::mutex> guard(m_publishStatsMutex);
    *out = m_publishStats;
  }
  if (!request || !m_bIn_meet.load()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) media->RequestConnectionStats(GetMeetingIds().publishStreamId);
}

void CSdkInterActive::GetSubscribeNetStats(NetStatistics* out) {
  if (out) {
    std::lock_guard<std::mutex> guard(m_subscribeStatsMutex);
    *out = m_subscribeStats;
  }
  std::string liveId;
  {
    std::lock_guard<std::mutex> guard(m_subscribedMutex);
    for (const auto& entry : m_subscribedStreams) {
      if (entry.second != rtTarvo::rtc::kStreamLive) continue;
      liveId = entry.first;
      break;
    }
  }
  if (liveId.empty() || !m_bIn_meet.load()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) media->RequestConnectionStats(liveId);
}

void CSdkInterActive::GetLocalMediaNetStats(NetStatistics* out) {
  if (!m_bLodIng.load()) {
    if (out) *out = NetStatistics();
    return;
  }
  if (out) {
    std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
    *out = m_localMediaStats;
  }
  if (!m_bIn_meet.load()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (media) media->RequestConnectionStats(GetMeetingIds().localMediaStreamId);
}

void CSdkInterActive::ResetLocalMediaNetStats() {
  std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
  m_localMediaStats = NetStatistics();
}

void CSdkInterActive::OnVideo_OnOff(const std::string& userId, int opt) {
  if (OutofMeeting(true)) return;
  const std::optional<StUserStream> user = CUserStreamList::Instance()->Find(userId);
  if (!user) {
    TVLOG_ERROR_THIS() << " sid=" << userId << " ,opt=" << opt << " , user is null";
    PostWebLog("OnVideo_OnOff user is not find!");
    return;
  }
  TVLOG_INFO_THIS() << " sid=" << userId << " ,opt=" << opt << " ,stremid=" << user->streamId;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  if (user->uid == GetJoinInfo().userid && GetAppConfig()->camera_dev_id.empty()) {
    TVLOG_ERROR_THIS() << " dev is null";
    PostWebLog("OnVideo_OnOff dev is null!");
    return;
  }
  const std::string key = user->streamId + "_v";
  // Held across the SDK call, so that a second request waits for the first to be listed.
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  if (std::find(m_streamOps.begin(), m_streamOps.end(), key) != m_streamOps.end()) {
    TVLOG_INFO_THIS() << " task handling!";
    return;
  }
  m_streamOps.push_back(key);
  media->MuteVideo(user->streamId, opt != 1);
  PostWebLog("OnVideo_OnOff star video mute id= " + user->streamId + " ,opt = " + std::to_string(opt));
}

void CSdkInterActive::OnMic_OnOff(const std::string& userId, int opt) {
  if (OutofMeeting(true)) return;
  TVLOG_INFO_THIS() << " sid=" << userId << " ,opt=" << opt;
  const std::optional<StUserStream> user = CUserStreamList::Instance()->Find(userId);
  if (!user) {
    TVLOG_ERROR_THIS() << " pUser is null";
    return;
  }
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  const StJoinInfo join = GetJoinInfo();
  if (user->uid == join.userid && GetAppConfig()->GetMicDevId().empty()) {
    TVLOG_ERROR_THIS() << " dev is null";
    PostWebLog("OnMic_OnOff dev is null!");
    return;
  }
  TVLOG_INFO_THIS() << " streamid=" << user->streamId;
  const std::string key = user->streamId + "_a";
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  if (std::find(m_streamOps.begin(), m_streamOps.end(), key) != m_streamOps.end()) {
    TVLOG_INFO_THIS() << " task handling!";
    return;
  }
  m_streamOps.push_back(key);
  if (user->uid == join.userid && user->cid == join.cid) m_bMicMuted.store(opt != 1);
  media->MuteAudio(user->streamId, opt != 1);
  PostWebLog("OnMic_OnOff star mic mute id= " + user->streamId + " ,opt = " + std::to_string(opt));
}
