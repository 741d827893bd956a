// SDK callbacks of login, the room and its participants (on the SDK's threads).

#include <windows.h>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_command.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

constexpr int kUserListPage = 1000;  // Users per page event 12.

}  // namespace

void CSdkInterActive::OnLogin(const rtTarvo::rtc::LoginResult& result) {
  if (result.success) {
    TVLOG_INFO_THIS() << " res =" << result.success;
    Sleep(50);
  } else {
    TVLOG_ERROR_THIS() << " error_code=" << result.success;
  }
}

void CSdkInterActive::OnCommandPoll() {
  if (!m_pService) return;
  rtTarvo::base::CommandObject* commands = m_pService->GetCommandObject();
  rtTarvo::base::CommandSink* sink = commands ? commands->GetSink() : nullptr;
  if (!sink) return;
  const StJsCommand command;
  sink->TakeCommand(&command);
}

void CSdkInterActive::OnRegisterFailed(int error_code, std::string error_msg) {
  TVLOG_ERROR_THIS() << " error_code=" << error_code << " ,error_msg = " << error_msg;
}

void CSdkInterActive::OnCreateRoomSuccess(std::string /*participant_id*/, std::string room_name) {
  TVLOG_INFO_THIS() << " room name is " << room_name;
}

void CSdkInterActive::OnCreateRoomFailed(int ec, std::string room_name) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,room_name=" << room_name;
}

void CSdkInterActive::OnJoinRoomSuccess(std::string room_id) {
  TVLOG_INFO_THIS() << " room_id=" << room_id;
  m_bIn_meet.store(true);
  UpdateMeetingIds([&](StMeetingIds& m) { m.roomId = room_id; });
  if (m_pOwner) m_pOwner->OnJoinRoom(1, room_id);
  if (!m_pRtcEngine) return;
  m_pRtcEngine->RequestRoomStatus();
  rtTarvo::rtc::MediaObject* media = m_pRtcEngine->GetMediaObject();
  if (!media) return;
  std::vector<rtTarvo::rtc::StreamEntry> streams;
  media->GetStreams(&streams);
  for (const rtTarvo::rtc::StreamEntry& entry : streams) {
    if (entry.kind == rtTarvo::rtc::kStreamLocalMedia) {
      CJsEventSender::Instance()->NotifyMediaShare(1, entry.stream_id);
      return;
    }
    if (entry.kind == rtTarvo::rtc::kStreamScreenShare) {
      CJsEventSender::Instance()->NotifyMediaShare(2, entry.stream_id);
      return;
    }
  }
}

void CSdkInterActive::OnJoinRoomFailed(int ec, std::string room_id) {
  TVLOG_ERROR_THIS() << " ec=" << ec << " ,room_id=" << room_id;
  if (m_pOwner) m_pOwner->OnJoinRoom(-1, GetMeetingIds().roomId);
}

void CSdkInterActive::OnGetRoomStatusSuccess(rtTarvo::rtc::RoomStatus status) {
  TVLOG_INFO_THIS() << " gid=" << status.group_id << " ,gcid=" << status.group_cid;
  UpdateMeetingIds([&](StMeetingIds& m) {
    m.groupId = status.group_id;
    m.groupCid = status.group_cid;
  });
  if (m_pRtcEngine) m_pRtcEngine->RequestParticipants();
  if (m_pOwner) m_pOwner->OnJoinGroup(status.group_id, status.group_cid);
  SubscribeLiveStream(true);
}

void CSdkInterActive::OnGetParticipantsSuccess(std::vector<rtTarvo::rtc::ParticipantInfo> participants) {
  TVLOG_INFO_THIS() << "user list size =" << static_cast<unsigned>(participants.size());
  const StJoinInfo join = GetJoinInfo();
  std::vector<StUserStream> users;
  users.reserve(participants.size());
  std::string ownId;
  bool ownFound = false;
  for (const rtTarvo::rtc::ParticipantInfo& participant : participants) {
    users.push_back(std::move(*MakeUserStream(participant, false)));
    const StUserStream& user = users.back();
    if (user.uid == join.userid && user.cid == join.cid) {
      ownId = user.id;
      ownFound = true;
    }
  }
  if (ownFound) UpdateMeetingIds([&](StMeetingIds& m) { m.ownParticipantId = ownId; });
  // The whole room: users of an earlier meeting, who never left this one, go.
  CUserStreamList::Instance()->Replace(std::move(users));
  for (int first = 0;; first += kUserListPage) {
    if (CJsEventSender::Instance()->NotifyUserList(first, kUserListPage) <= 0) break;
  }
}

void CSdkInterActive::OnGetParticipantsFailed(int ec) { TVLOG_ERROR_THIS() << " ec=" << ec; }

void CSdkInterActive::OnParticipantJoined(rtTarvo::rtc::ParticipantInfo participant) {
  TVLOG_INFO_THIS() << "join id=" << participant.id << " ,name=" << participant.name;
  std::unique_ptr<StUserStream> user = MakeUserStream(participant, true);
  if (user) CUserStreamList::Instance()->Add(user.release());
}

void CSdkInterActive::OnParticipantLeft(rtTarvo::rtc::ParticipantInfo participant) {
  TVLOG_INFO_THIS() << "leave id=" << participant.id << " ,name=" << participant.name;
  const std::optional<StUserStream> user = CUserStreamList::Instance()->Find(participant.id);
  if (user) CJsEventSender::Instance()->NotifyUserLeft(*user);
  CUserStreamList::Instance()->Remove(participant.id);
}

void CSdkInterActive::OnRoomDestoryNotify(int reason) {
  TVLOG_INFO_THIS() << " OnRoomDestoryNotify =" << reason;
  PostWebLog("OnRoomDestoryNotify reason =" + std::to_string(reason));
  if (reason != 0) return;
  StAppConfig* config = GetAppConfig();
  if (config->use_mode.load()) {
    Close_Video_Dev(config->camera_dev_id, config->camera_dev_name, true);
  } else {
    Close_Picture_Stream();
  }
  CloseAllStreams();
}

void CSdkInterActive::OnAudioDeviceSelected(uint8_t kind, const std::string& name, const std::string& id) {
  // The settings record's locked setters: the UI thread reads these texts meanwhile.
  if (kind == 0) {
    GetAppConfig()->SetSpeakerDevice(id, name);
  } else if (kind == 1) {
    GetAppConfig()->SetMicDevice(id, name);
  }
}
