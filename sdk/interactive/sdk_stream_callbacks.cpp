// SDK callbacks of the streams: camera stream creation, senders, release, publish, streams
// added to and removed from the room, mutes (on the SDK's threads); the degradation preference
// and the share stop they call.

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

constexpr int kCreateCodeFailed = 1105;  // A camera stream that was made but does not work.

std::string Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

void CSdkInterActive::SetDegradationpreference(bool bFrame) {
  if (OutofMeeting(true)) return;
  const std::string publishId = GetMeetingIds().publishStreamId;
  TVLOG_INFO_THIS() << " bFrame=" << bFrame << " ,m_local_live_stream_id = " << publishId;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media || publishId.empty()) return;
  const int preference = bFrame ? 1 : 2;
  media->SetDegradationPreference(publishId, preference);
  PostWebLog("SetDegradationpreference bframe = " + std::to_string(preference));
}

void CSdkInterActive::Stop_Share_Stream() {
  if (OutofMeeting(true)) return;
  const std::string shareId = GetMeetingIds().shareStreamId;
  if (shareId.empty()) {
    // Asked for, but its sender has not come: the sender callback releases it instead of
    // publishing it.
    if (m_bShareRequested.load()) {
      m_bStopBeforeSender.store(true);
      TVLOG_INFO_THIS() << " stop before the share sender came";
    }
    return;
  }
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) {
    TVLOG_ERROR_THIS() << " media is null";
    return;
  }
  TVLOG_INFO_THIS() << "UnPublish, id = " << shareId;
  media->Unpublish(shareId);
  media->ReleaseStream(shareId);
  DelSender(1);
  PostWebLog("stop share id : " + shareId);
}

void CSdkInterActive::RemoveStreamOp(const std::string& streamId, bool audio) {
  const std::string key = streamId + (audio ? "_a" : "_v");
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  auto found = std::find(m_streamOps.begin(), m_streamOps.end(), key);
  if (found == m_streamOps.end()) return;
  m_streamOps.erase(found);
  TVLOG_INFO_THIS() << "remove op stream_id =" << key;
}

void CSdkInterActive::OnCreateStreamSuccess(std::string stream_id, std::string device_id, int code) {
  const bool ok = code != kCreateCodeFailed;
  if (m_pOwner) m_pOwner->OnVideoDevResult(device_id, ok);
  TVLOG_INFO_THIS() << " stream_id=" << stream_id << " ,device_id=" << device_id << " ,error=" << code;
  bool publish = false;
  bool beauty = false;
  {
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    for (LocalVideoStream& stream : m_localVideoStreams) {
      if (stream.deviceId != device_id) continue;
      stream.streamId = stream_id;
      publish = stream.bpublish;
      beauty = stream.bbeauty;
    }
  }
  if (publish) {
    CreateDefaultPublishStream();
    TVLOG_INFO_THIS() << " Create Publish Stream";
    rtTarvo::rtc::ParticipantInfo participant;
    const bool known = m_pRtcEngine && m_pRtcEngine->GetParticipant(&participant, stream_id);
    m_bStartMuted = known && participant.video_start_muted;
  }
  if (beauty) {
    OpenBeauty(stream_id, device_id, false);
    SetBeautyParams(device_id, GetAppConfig()->beauty, false);
  }
  TVLOG_INFO_THIS() << " devInfo.bpublish=" << publish << " ,devInfo.bbeauty=" << beauty;
  PostWebLog("OnCreateStreamSuccess create stream success id=" + stream_id + " ,dev=" + device_id);
  std::lock_guard<std::mutex> guard(m_consumerMutex);
  for (DevConsumerDelegate* consumer : m_consumers) {
    if (consumer) consumer->OnVideoDevResult(device_id, ok);
  }
}

void CSdkInterActive::OnCreateStreamFailed(int ec, std::string device_id) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,device_id=" << device_id;
  PostWebLog("OnCreateStreamFailed create stream failed dev_id=" + device_id);
  if (m_pOwner) m_pOwner->OnVideoDevResult(device_id, false);
  std::lock_guard<std::mutex> guard(m_consumerMutex);
  for (DevConsumerDelegate* consumer : m_consumers) {
    if (consumer) consumer->OnVideoDevResult(device_id, false);
  }
}

void CSdkInterActive::OnCreateSenderSuccess(rtTarvo::rtc::FrameSender* sender, std::string /*label*/,
                                            std::string stream_id, int video_type, int /*stream_kind*/,
                                            int sender_kind) {
  TVLOG_INFO_THIS() << "wStream=" << reinterpret_cast<uintptr_t>(sender) << " ,stream_id=" << stream_id
                    << " ,video_type=" << video_type;
  AddSender(sender_kind, stream_id, sender);  // Refuses kinds other than 0 and 1.
  bool videoMuted = false;
  if (video_type == rtTarvo::rtc::kStreamLive) {
    UpdateMeetingIds([&](StMeetingIds& m) { m.publishStreamId = stream_id; });
    videoMuted = m_bVideoMutex.load();
    PostWebLog("OnCreateSenderSuccess create live stream success  id : " + stream_id);
  } else if (video_type == rtTarvo::rtc::kStreamScreenShare) {
    m_bShareRequested.store(false);
    if (m_bStopBeforeSender.exchange(false)) {
      // The user stopped this stream before it came: it goes again unpublished.
      TVLOG_INFO_THIS() << " stopped before its sender came, release id = " << stream_id;
      DelSender(sender_kind);
      if (rtTarvo::rtc::MediaObject* media = GetMedia()) media->ReleaseStream(stream_id);
      PostWebLog("OnCreateSenderSuccess share stream stopped before it came, release id : " + stream_id);
      return;
    }
    const bool playing = m_bLodIng.load();
    UpdateMeetingIds([&](StMeetingIds& m) { (playing ? m.localMediaStreamId : m.shareStreamId) = stream_id; });
    PostWebLog("OnCreateSenderSuccess create share stream success  id : " + stream_id + " ,isloding=" + Flag(playing));
  }
  TVLOG_INFO_THIS() << "VideoMute = " << videoMuted;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  rtTarvo::rtc::PublishOptions options;
  options.video_muted = videoMuted;
  media->Publish(stream_id, options);
}

void CSdkInterActive::OnCreateSenderFailed(rtTarvo::rtc::FrameSender* sender, std::string stream_id, int ec,
                                           int video_type, int /*stream_kind*/) {
  TVLOG_INFO_THIS() << "wStream=" << reinterpret_cast<uintptr_t>(sender) << " ,ec=" << ec << " ,video_type=" << video_type
                    << " ,stream_id=" << stream_id;
  if (video_type == rtTarvo::rtc::kStreamScreenShare) {
    PostWebLog("OnCreateSenderFailed create share stream failed ec = " + std::to_string(ec));
    const bool playing = m_bLodIng.load();
    if (m_pOwner) m_pOwner->OnShareResult(playing ? -2 : -1, false);
    // No stream will come: local media no longer plays, and a stop waiting for it is done.
    if (playing) m_bLodIng.store(false);
    m_bShareRequested.store(false);
    m_bStopBeforeSender.store(false);
  } else if (video_type == rtTarvo::rtc::kStreamLive) {
    PostWebLog("OnCreateSenderFailed create live stream failed ec = " + std::to_string(ec));
  }
}

void CSdkInterActive::OnReleaseStreamSuccess(std::string stream_id) {
  TVLOG_INFO_THIS() << " stream_id=" << stream_id;
  PostWebLog("OnReleaseStreamSuccess release stream success id=" + stream_id);
  const StMeetingIds ids = GetMeetingIds();
  auto held = [&](const std::string& id) { return !id.empty() && id == stream_id; };
  if (held(ids.shareStreamId)) {
    TVLOG_INFO_THIS() << " share stream release! loding = " << m_bLodIng.load();
    UpdateMeetingIds([](StMeetingIds& m) { m.shareStreamId.clear(); });
    if (m_pOwner) m_pOwner->OnShareResult(1, true);
  } else if (held(ids.localMediaStreamId)) {
    TVLOG_INFO_THIS() << " lod stream release! loding = " << m_bLodIng.load();
    UpdateMeetingIds([](StMeetingIds& m) { m.localMediaStreamId.clear(); });
    std::lock_guard<std::mutex> guard(m_localMediaStatsMutex);
    m_localMediaStats = NetStatistics();
  } else if (held(ids.publishStreamId)) {
    TVLOG_INFO_THIS() << " live stream release!";
    UpdateMeetingIds([](StMeetingIds& m) { m.publishStreamId.clear(); });
  }
}

void CSdkInterActive::OnReleaseStreamFailed(int ec, std::string stream_id) {
  TVLOG_INFO_THIS() << "ec = " << ec << " ,stream_id=" << stream_id;
  PostWebLog("OnReleaseStreamFailed release stream failed id=" + stream_id);
}

void CSdkInterActive::OnPublishSuccess(std::string stream_id) {
  TVLOG_INFO_THIS() << " id=" << stream_id;
  const StMeetingIds ids = GetMeetingIds();
  auto held = [&](const std::string& id) { return !id.empty() && id == stream_id; };
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (held(ids.publishStreamId)) {
    if (m_pOwner && !m_bPublishConnectionLost.load()) m_pOwner->OnPublishSuccess();
    // The size the stream was created with: a rotated stream or a picture's size stays. A
    // stream this layer did not size keeps the configured size.
    int width = m_nPublishWidth.load();
    int height = m_nPublishHeight.load();
    if (width <= 0 || height <= 0) {
      width = GetAppConfig()->video_width;
      height = GetAppConfig()->video_height;
    }
    if (media) media->SetPublishOptions(stream_id, width, height);
    if (m_bStartMuted && media) media->MuteVideo(stream_id, true);
  } else if (held(ids.shareStreamId)) {
    ShareStreamAudioMute();
  } else if (held(ids.localMediaStreamId)) {
    if (media) media->SetDegradationPreference(stream_id, 2);
  }
  OnPublishStreamRestored(stream_id, true);
  PostWebLog("OnPublishSuccess publish stream success id=" + stream_id);
}

void CSdkInterActive::OnPublishFailed(int ec, std::string em, std::string stream_id) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,id=" << stream_id;
  const StMeetingIds ids = GetMeetingIds();
  auto held = [&](const std::string& id) { return !id.empty() && id == stream_id; };
  if (held(ids.shareStreamId)) {
    if (m_pOwner) m_pOwner->OnShareResult(-1, false);
  } else if (held(ids.localMediaStreamId)) {
    if (m_pOwner) m_pOwner->OnShareResult(-2, false);
  } else if (held(ids.publishStreamId)) {
    if (!IsPublishReconnecting()) {
      StopLocalPublish();
      UpdateMeetingIds([](StMeetingIds& m) { m.publishStreamId.clear(); });
    }
  }
  OnPublishStreamRestored(stream_id, false);
  PostWebLog("OnPublishFailed publish stream failed id=" + stream_id + ", ec = " + std::to_string(ec) + ", em = " + em);
}

void CSdkInterActive::OnStreamAdded(rtTarvo::rtc::StreamInfo stream) {
  TVLOG_INFO_THIS() << " stream_id=" << stream.stream_id << " ,VideoSourceType=" << stream.kind
                    << " ,sublive_status=" << m_bLiveSubscribed.load() << " ,m_bLodIng=" << m_bLodIng.load();
  UserStreamChange(stream.stream_id, std::make_pair(stream.uid, stream.cid));
  if (stream.kind == rtTarvo::rtc::kStreamCamera) {
    const std::optional<StUserStream> user = CUserStreamList::Instance()->FindByUidCid(stream.uid, stream.cid);
    if (user && user->id == GetOwnStreamName()) {
      CxBus::Call(GetMessageBus(), kTopicAvMuted, std::string(stream.stream_id));
    }
  }
  if (stream.kind == rtTarvo::rtc::kStreamLive) {
    if (!m_bLiveSubscribed.load()) {
      SetDegradationpreference(GetAppConfig()->prior != 0);
      SubscribeLiveStream(true);
    }
  } else if (stream.kind == rtTarvo::rtc::kStreamScreenShare) {
    CJsEventSender::Instance()->NotifyMediaShare(2, stream.uid);
    const StJoinInfo join = GetJoinInfo();
    if (stream.uid == join.userid && stream.cid == join.cid && m_pOwner) m_pOwner->OnShareResult(1, false);
  } else if (stream.kind == rtTarvo::rtc::kStreamLocalMedia) {
    AddMediaShareUser(stream.uid);
    CJsEventSender::Instance()->NotifyMediaShare(1, stream.uid);
  }
  PostWebLog("OnStreamAdded id=" + stream.stream_id + " ,type" + std::to_string(stream.kind));
}

void CSdkInterActive::OnStreamRemoved(rtTarvo::rtc::StreamInfo stream) {
  TVLOG_INFO_THIS() << " stream_id=" << stream.stream_id << " ,type=" << stream.kind << " ,m_bLodIng=" << m_bLodIng.load();
  UserStreamChange(stream.stream_id, std::make_pair(stream.uid, stream.cid));
  if (stream.kind == rtTarvo::rtc::kStreamScreenShare && !m_bPublishConnectionLost.load()) {
    CJsEventSender::Instance()->NotifyMediaShare(0, stream.uid);
    const std::vector<std::string> users = GetMediaShareUsers();
    if (!users.empty()) CJsEventSender::Instance()->NotifyMediaShare(1, users.front());
    if (m_pOwner) m_pOwner->OnShareResult(1, true);
    // Whoever's share went, our own share stops (the record does not say whose it was).
    Stop_Share_Stream();
  } else if (stream.kind == rtTarvo::rtc::kStreamLocalMedia) {
    bool emptied = false;
    {
      std::lock_guard<std::mutex> guard(m_mediaShareMutex);
      auto found = std::find(m_mediaShareUsers.begin(), m_mediaShareUsers.end(), stream.uid);
      if (found != m_mediaShareUsers.end()) m_mediaShareUsers.erase(found);
      emptied = m_mediaShareUsers.empty();
    }
    if (emptied) CJsEventSender::Instance()->NotifyMediaShare(0, stream.uid);
  }
  PostWebLog("OnStreamRemoved id=" + stream.stream_id + " ,type" + std::to_string(stream.kind));
}

void CSdkInterActive::OnStreamMuteOrUnmuteNotify(std::string stream_id, bool is_audio, bool muted) {
  TVLOG_INFO_THIS() << "stream_id =" << stream_id << " ,is_audio =" << is_audio << " ,muted =" << muted;
  UserStreamChange(stream_id, false, false, false);
  ApplyOwnMute(stream_id, is_audio, muted);
  PostWebLog("OnStreamMuteOrUnmuteNotify stream mute or unmute success id=" + stream_id + " , muted = " + Flag(muted));
  RemoveStreamOp(stream_id, is_audio);
}

void CSdkInterActive::OnStreamMuteOrUnmuteSuccess(std::string stream_id, bool muted, bool is_audio) {
  TVLOG_INFO_THIS() << "stream_id =" << stream_id << " ,is_audio =" << is_audio << " ,muted =" << muted;
  UserStreamChange(stream_id, is_audio, muted, true);
  ApplyOwnMute(stream_id, is_audio, muted);
  PostWebLog("OnStreamMuteOrUnmuteNotify stream mute or unmute success id=" + stream_id + " , muted = " + Flag(muted));
  PostWebLog("OnStreamMuteOrUnmuteSuccess stream mute or unmute success id=" + stream_id +
             " , is_audio = " + Flag(is_audio));
  RemoveStreamOp(stream_id, is_audio);
}

void CSdkInterActive::OnStreamMuteOrUnmuteFailed(int ec, std::string stream_id, bool /*muted*/, bool is_audio) {
  TVLOG_INFO_THIS() << "stream_id =" << stream_id << " , is_audio = " << is_audio << " ,ec=" << ec;
  PostWebLog("OnStreamMuteOrUnmuteFailed stream mute or unmute failed id=" + stream_id + " , is_audio = " +
             Flag(is_audio));
  RemoveStreamOp(stream_id, is_audio);
}

void CSdkInterActive::ApplyOwnMute(const std::string& streamId, bool audio, bool muted) {
  const std::optional<StUserStream> user = CUserStreamList::Instance()->FindByStreamId(streamId);
  const StJoinInfo join = GetJoinInfo();
  if (user && user->uid == join.userid && user->cid == join.cid) {
    (audio ? m_bMicMuted : m_bVideoMutex).store(muted);
  }
  TVLOG_INFO_THIS() << " stream_id=" << streamId << " ,uid=" << (user ? user->uid : std::string())
                    << " ,m_bVideoMutex=" << m_bVideoMutex.load() << " ,m_bMicMuted=" << m_bMicMuted.load();
}
