// Remote users: the SDK's participant records turned into the registry's user records.

#include <cstdio>

#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

// The page's text of a participant state; null for a value outside 1 to 3.
const char* StateText(int32_t state) {
  switch (state) {
    case rtTarvo::rtc::kStateActive:
      return "active";
    case rtTarvo::rtc::kStateInactive:
      return "inactive";
    case rtTarvo::rtc::kStateUnusable:
      return "unuserful";
    default:
      return nullptr;
  }
}

}  // namespace

void CSdkInterActive::FillUserStream(StUserStream* user, const rtTarvo::rtc::ParticipantInfo& participant,
                                     bool audio, bool muted, bool apply) {
  if (!user) return;
  const StMeetingIds ids = GetMeetingIds();
  user->gId = ids.groupId;
  user->gcId = ids.groupCid;
  user->platform = participant.platform;
  user->streamId = participant.stream_id;
  user->name = participant.name;
  user->uid = participant.uid;
  user->cid = participant.cid;
  user->id = participant.id;
  if (!participant.has_stream) return;
  if (const char* text = StateText(participant.audio_state)) user->audioStatus = text;
  if (const char* text = StateText(participant.video_state)) user->videoStatus = text;
  if (apply) (audio ? user->audioStatus : user->videoStatus) = muted ? "inactive" : "active";
}

std::unique_ptr<StUserStream> CSdkInterActive::MakeUserStream(const rtTarvo::rtc::ParticipantInfo& participant,
                                                              bool notify) {
  auto user = std::make_unique<StUserStream>();
  FillUserStream(user.get(), participant, false, false, false);
  if (notify) CJsEventSender::Instance()->NotifyUserStream(*user);
  return user;
}

void CSdkInterActive::UserStreamChange(std::string streamId, bool audio, bool muted, bool apply) {
  TVLOG_INFO_THIS() << " stream_id=" << streamId;
  if (!m_pRtcEngine) return;
  std::vector<rtTarvo::rtc::ParticipantInfo> users;
  m_pRtcEngine->GetUserList(&users);
  for (const rtTarvo::rtc::ParticipantInfo& entry : users) {
    if (entry.stream_id != streamId) continue;
    // Changed in place: a user who left meanwhile is not brought back.
    const std::optional<StUserStream> user = CUserStreamList::Instance()->Update(
        entry.id, [&](StUserStream& record) { FillUserStream(&record, entry, audio, muted, apply); });
    if (!user) {
      std::printf("User Id -> %s\n", entry.id.c_str());
      return;
    }
    CJsEventSender::Instance()->NotifyUserStream(*user);
    return;
  }
  TVLOG_INFO_THIS() << " not find user stream_id =" << streamId;
}

void CSdkInterActive::UserStreamChange(std::string streamId, const std::pair<std::string, std::string>& uidCid) {
  TVLOG_INFO_THIS() << " stream_id=" << streamId << " cid = " << uidCid.second << " ,uid=" << uidCid.first;
  if (!m_pRtcEngine) return;
  std::vector<rtTarvo::rtc::ParticipantInfo> users;
  m_pRtcEngine->GetUserList(&users);
  for (const rtTarvo::rtc::ParticipantInfo& entry : users) {
    if (entry.stream_id != streamId || entry.cid != uidCid.second || entry.uid != uidCid.first) continue;
    const std::optional<StUserStream> user = CUserStreamList::Instance()->Update(
        entry.id, [&](StUserStream& record) { FillUserStream(&record, entry, false, false, false); });
    if (!user) {
      std::printf("User Id -> %s\n", entry.id.c_str());
      return;
    }
    CJsEventSender::Instance()->NotifyUserStream(*user);
    return;
  }
  TVLOG_INFO_THIS() << " not find user stream_id =" << streamId;
}

std::string CSdkInterActive::GetOwnStreamName() {
  const StJoinInfo join = GetJoinInfo();
  const std::optional<StUserStream> own = CUserStreamList::Instance()->FindByUidCid(join.userid, join.cid);
  return own ? own->id : std::string();
}
