// Login, leaving and the teardown of the layer's own streams.

#include <windows.h>

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"

void CSdkInterActive::Login(const StJoinInfo& join) {
  {
    std::lock_guard<std::mutex> guard(m_idsMutex);
    m_joinInfo = join;
  }
  if (!m_pService) {
    TVLOG_ERROR_THIS() << " service is null";
    return;
  }
  m_pService->SetServerAddress(join.owtServer);
  m_pService->AddObserver(this);
  m_pService->LoginAndJoin(join.confid, join.username, join.userid, join.cid, join.sid, std::string());
}

void CSdkInterActive::ExitRoom() {
  TVLOG_INFO_THIS() << "ExitRoom ";
  m_bIn_meet.store(false);
  CloseAllStreams();
  if (m_pService) {
    // Waits for callbacks in flight; none arrives after it.
    m_pService->RemoveObserver(this);
    m_pService->Leave();
  }
  // Nothing of this meeting may reach the next one: the local-media stop above returns at once
  // out of a meeting, so the playing flag and the rest are cleared here.
  ClearMeetingState();
  ClearRecoveryState();
}

void CSdkInterActive::CloseAllStreams() {
  CloseBeauty("exit_room", true);
  CloseBeauty("exit_room", false);
  Sleep(50);
  StopLocalPublish();
  StopSharePublish();
}

void CSdkInterActive::StopLocalPublish() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  const StMeetingIds ids = GetMeetingIds();
  if (!ids.publishStreamId.empty()) {
    media->Unpublish(ids.publishStreamId);
    media->ReleaseStream(ids.publishStreamId);
    media->ReleaseStream(ids.cameraStreamId);
    DelSender(0);
    UpdateMeetingIds([](StMeetingIds& m) { m.publishStreamId.clear(); });
  }
  ReleaseLocalVideoStreams();
}

void CSdkInterActive::ReleaseLocalVideoStreams() {
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  for (const LocalVideoStream& stream : m_localVideoStreams) media->ReleaseStream(stream.streamId);
  m_localVideoStreams.clear();
}

void CSdkInterActive::StopSharePublish() {
  const std::string shareId = GetMeetingIds().shareStreamId;
  if (shareId.empty()) return;
  rtTarvo::rtc::MediaObject* media = GetMedia();
  if (!media) return;
  media->Unpublish(shareId);
  media->ReleaseStream(shareId);
  DelSender(1);
}

void CSdkInterActive::ResetMeetingState() {
  StopLocalPublish();
  Stop_LocalMedia_Stream();
  StopSharePublish();
  ClearMeetingState();
}

void CSdkInterActive::ClearMeetingState() {
  m_bLiveSubscribing.store(false);
  m_bLiveSubscribeEnabled.store(true);
  m_bLiveSubscribed.store(false);
  {
    std::lock_guard<std::mutex> guard(m_mediaShareMutex);
    m_mediaShareUsers.clear();
  }
  ReleaseLocalVideoStreams();
  {
    // Without a media object the records were not released above; they go all the same.
    std::lock_guard<std::mutex> guard(m_localVideoMutex);
    m_localVideoStreams.clear();
  }
  {
    std::lock_guard<std::mutex> guard(m_subscribedMutex);
    m_subscribedStreams.clear();
  }
  UpdateMeetingIds([](StMeetingIds& m) {
    m.publishStreamId.clear();
    m.shareStreamId.clear();
    m.cameraStreamId.clear();
    m.localMediaStreamId.clear();
  });
  DelSender(0);
  DelSender(1);
  m_bLodIng.store(false);
  m_bShareRequested.store(false);
  m_bStopBeforeSender.store(false);
}

void CSdkInterActive::ClearRecoveryState() {
  {
    std::lock_guard<std::mutex> guard(m_republishMutex);
    m_republishStreams.clear();
    m_bPublishConnectionLost.store(false);
  }
  {
    std::lock_guard<std::mutex> guard(m_resubscribeMutex);
    m_resubscribeStreams.clear();
    m_bSubscribeConnectionLost.store(false);
  }
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  m_streamOps.clear();
}
