// SDK callbacks of connection loss, recovery and removal from the room (on the SDK's threads),
// and the two recovery lists they keep.
//
// Per side (publish, subscribe): connected (list empty, flag clear) -> lost (first stream
// listed: flag set, page event 28 with 1, the owner's reconnect timer started) -> each stream
// leaves the list when it is published or subscribed again, or fails before any retry -> the
// list empties (flag clear, the owner's timer stopped, event 28 with 2, or 3 after a failure).
// A list's mutex is held while the owner is called; the owner only starts or stops a timer or
// reads its count, and never calls back into the layer from there.

#include <algorithm>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

void CSdkInterActive::OnIceDisconnected(std::string stream_id) {
  TVLOG_ERROR_THIS() << " stream_id=" << stream_id;
  PostWebLog("OnIceDisconnected ice connected id=" + stream_id);
  if (stream_id.empty() || !m_bIn_meet.load()) return;
  {
    std::lock_guard<std::mutex> guard(m_streamOpMutex);
    m_streamOps.clear();
  }
  const StMeetingIds ids = GetMeetingIds();
  const bool publish =
      stream_id == ids.publishStreamId || stream_id == ids.shareStreamId || stream_id == ids.localMediaStreamId;
  ListForRecovery(stream_id, publish);
}

void CSdkInterActive::ListForRecovery(const std::string& streamId, bool publish) {
  std::mutex& mutex = publish ? m_republishMutex : m_resubscribeMutex;
  std::vector<std::string>& list = publish ? m_republishStreams : m_resubscribeStreams;
  std::atomic<bool>& lost = publish ? m_bPublishConnectionLost : m_bSubscribeConnectionLost;
  std::lock_guard<std::mutex> guard(mutex);
  if (std::find(list.begin(), list.end(), streamId) != list.end()) return;
  if (list.empty()) {
    lost.store(true);
    CJsEventSender::Instance()->NotifyConnectionStatus(1);
  }
  list.push_back(streamId);
  if (!m_pOwner) return;
  if (publish) {
    m_pOwner->IceReConnectPub(true);
  } else {
    m_pOwner->IceReConnectSub(true);
  }
}

void CSdkInterActive::OnPublishStreamRestored(const std::string& streamId, bool ok) {
  StreamRestored(streamId, ok, true);
}

void CSdkInterActive::OnSubscribeStreamRestored(const std::string& streamId, bool ok) {
  StreamRestored(streamId, ok, false);
}

void CSdkInterActive::StreamRestored(const std::string& streamId, bool ok, bool publish) {
  std::mutex& mutex = publish ? m_republishMutex : m_resubscribeMutex;
  std::vector<std::string>& list = publish ? m_republishStreams : m_resubscribeStreams;
  std::atomic<bool>& lost = publish ? m_bPublishConnectionLost : m_bSubscribeConnectionLost;
  std::lock_guard<std::mutex> guard(mutex);
  auto found = std::find(list.begin(), list.end(), streamId);
  if (found == list.end()) return;
  const int retries = !m_pOwner ? 0 : publish ? m_pOwner->GetIceReConnectPubCount() : m_pOwner->GetIceReConnectSubCount();
  // A stream stays listed only when it failed again after the owner retried it.
  if (retries >= 1 && !ok) return;
  list.erase(found);
  if (!list.empty()) return;
  lost.store(false);
  if (m_pOwner) {
    if (publish) {
      m_pOwner->IceReConnectPub(false);
    } else {
      m_pOwner->IceReConnectSub(false);
    }
  }
  CJsEventSender::Instance()->NotifyConnectionStatus(ok ? 2 : 3);
}

bool CSdkInterActive::IsPublishReconnecting() {
  const std::string publishId = GetMeetingIds().publishStreamId;
  std::lock_guard<std::mutex> guard(m_republishMutex);
  return std::find(m_republishStreams.begin(), m_republishStreams.end(), publishId) != m_republishStreams.end();
}

void CSdkInterActive::ClearPublishReconnect() {
  const std::string publishId = GetMeetingIds().publishStreamId;
  std::lock_guard<std::mutex> guard(m_republishMutex);
  auto found = std::find(m_republishStreams.begin(), m_republishStreams.end(), publishId);
  if (found != m_republishStreams.end()) m_republishStreams.erase(found);
}

void CSdkInterActive::OnServerConnected(const std::vector<uint8_t>& reason) {
  if (!m_bIn_meet.load()) return;
  if (!reason.empty()) {
    const std::string text(reason.begin(), reason.end());
    TVLOG_ERROR_THIS() << " reason =" << text;
    PostWebLog("OnServerConnected server connected id=" + text);
  } else {
    TVLOG_ERROR_THIS() << " reason = null";
    PostWebLog("OnServerConnected server connected null");
  }
  if (m_pOwner) {
    m_pOwner->IceReConnectPub(true);
    m_pOwner->IceReConnectSub(true);
  }
}

void CSdkInterActive::OnServerDisconnected(std::string stream_id) {
  (TVLOG_ERROR_THIS() << " stream_id=" << stream_id << " ,ConsumerDelegate =").AppendPointer(m_pOwner);
  StAppConfig* config = GetAppConfig();
  Close_Video_Dev(config->camera_dev_id, config->camera_dev_name, true);
  ResetMeetingState();
  m_bIn_meet.store(false);
  CJsEventSender::Instance()->NotifyLeaveRoom(0, std::string(), true);
  ClearRecoveryState();
  PostWebLog("OnServerDisconnected m_bIn_meet is false, server disconnected id =" + stream_id);
}

void CSdkInterActive::BeKickedFromRoomNotify(std::string origin, int reason) {
  TVLOG_ERROR_THIS() << " resason=" << reason << " ,origin=" << origin;
  if (reason == 1) CJsEventSender::Instance()->NotifyLeaveRoom(1, origin, false);
  // The meeting ends for every reason: nothing of it may reach a rejoin (an old sender would
  // stop the next publish stream from being created).
  ResetMeetingState();
  ClearRecoveryState();
  m_bIn_meet.store(false);
  PostWebLog("BeKickedFromRoomNotify m_bIn_meet is false, bekicked from room res =" + std::to_string(reason));
}

void CSdkInterActive::OnKickoutNotify(std::vector<std::string> user_ids) {
  if (user_ids.empty()) {
    TVLOG_ERROR_THIS() << " kickout_users null";
    return;
  }
  TVLOG_ERROR_THIS() << " kickout_users=" << user_ids.front();
  PostWebLog("OnKickoutNotify kickout_user " + user_ids.front());
}
