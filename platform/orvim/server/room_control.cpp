// The room server's control commands (a control connection's requests): what tests inject and
// read. See README.md beside this file.

#include <algorithm>

#include "platform/orvim/server/room_server.h"

namespace orvim::server {

namespace {

JsonPtr Message(const char* op) {
  JsonPtr message = NewObject();
  PutString(message.get(), "op", op);
  return message;
}

}  // namespace

Participant* RoomServer::ControlTarget(const cJSON* request) {
  const std::string id = GetString(request, "participant");
  if (!id.empty()) return FindParticipant(id);
  const std::string uid = GetString(request, "uid");
  const std::string room = GetString(request, "room");
  if (uid.empty()) return nullptr;
  for (auto& [pid, p] : participants_) {
    if (p.uid == uid && (room.empty() || p.room == room)) return &p;
  }
  return nullptr;
}

std::string RoomServer::Control(const cJSON* request) {
  if (!cJSON_IsObject(request)) return ErrorAnswer("the request is no JSON object");
  const std::string command = GetString(request, "cmd");
  if (command == "exit") {
    exiting_.store(true);
    // Wakes the accept loop.
    ScopedSocket wake(ConnectTo("127.0.0.1:" + std::to_string(port_)));
    return OkAnswer();
  }

  std::lock_guard<std::mutex> lock(mutex_);
  if (command == "rooms") {
    JsonPtr answer = NewObject();
    PutBool(answer.get(), "ok", true);
    cJSON* rooms = cJSON_AddArrayToObject(answer.get(), "rooms");
    for (const auto& [id, room] : rooms_) {
      cJSON* r = cJSON_CreateObject();
      PutString(r, "id", id);
      PutString(r, "owner", room.owner);
      PutBool(r, "live", room.has_live);
      PutString(r, "layout", room.layout_text);
      PutInt(r, "insertion_volume", room.insertion_volume);
      PutBool(r, "has_insertion", room.has_insertion);
      PutString(r, "insertion_url", room.insertion.url);
      cJSON* members = cJSON_AddArrayToObject(r, "participants");
      for (const std::string& pid : room.members) {
        cJSON* item = ParticipantJson(participants_[pid]);
        PutBool(item, "connected", participants_[pid].connection != nullptr);
        cJSON_AddItemToArray(members, item);
      }
      cJSON* streams = cJSON_AddArrayToObject(r, "streams");
      for (const auto& [sid, s] : room.streams) {
        cJSON* item = cJSON_CreateObject();
        PutString(item, "id", sid);
        PutString(item, "owner", s.owner);
        PutInt(item, "kind", s.kind);
        PutBool(item, "video_muted", s.video_muted);
        PutBool(item, "audio_muted", s.audio_muted);
        PutBool(item, "media_down", s.media_down);
        cJSON_AddItemToArray(streams, item);
      }
      cJSON* subs = cJSON_AddArrayToObject(r, "subscriptions");
      for (const Subscription& s : room.subscriptions) {
        cJSON* item = cJSON_CreateObject();
        PutString(item, "participant", s.participant);
        PutString(item, "stream", s.stream);
        PutInt(item, "width", s.width);
        PutInt(item, "height", s.height);
        PutBool(item, "media_down", s.media_down);
        PutBool(item, "implicit", s.implicit);
        cJSON_AddItemToArray(subs, item);
      }
      cJSON_AddItemToArray(rooms, r);
    }
    return ToText(answer.get());
  }
  if (command == "refuse_login") {
    refusals_.push_back(Refusal{GetString(request, "uid"), std::max(1, GetInt(request, "count", 1)),
                                GetInt(request, "code", 403), GetString(request, "message", "login refused")});
    return OkAnswer();
  }
  if (command == "start_muted") {
    start_muted_rooms_[GetString(request, "room")] = GetBool(request, "on", true);
    return OkAnswer();
  }
  if (command == "grace_ms") {
    grace_ms_ = std::max(0, GetInt(request, "ms", grace_ms_));
    return OkAnswer();
  }
  if (command == "kickout_notice" || command == "destroy_room") {
    auto it = rooms_.find(GetString(request, "room"));
    if (it == rooms_.end()) return ErrorAnswer("no such room");
    Room& room = it->second;
    if (command == "kickout_notice") {
      JsonPtr notice = Message("kickout_notice");
      cJSON* ids = cJSON_AddArrayToObject(notice.get(), "user_ids");
      const cJSON* id = nullptr;
      cJSON_ArrayForEach(id, cJSON_GetObjectItemCaseSensitive(request, "user_ids")) {
        if (cJSON_IsString(id)) cJSON_AddItemToArray(ids, cJSON_CreateString(id->valuestring));
      }
      Broadcast(room, notice.get());
      return OkAnswer();
    }
    JsonPtr destroyed = Message("room_destroyed");
    PutInt(destroyed.get(), "reason", GetInt(request, "reason"));
    Broadcast(room, destroyed.get());
    const std::vector<std::string> members = room.members;
    for (const std::string& pid : members) RemoveParticipant(pid, true);
    rooms_.erase(GetString(request, "room"));
    return OkAnswer();
  }

  // The rest concern one participant.
  Participant* p = ControlTarget(request);
  if (command != "drop_media" && command != "hold" && command != "drop_signalling" && command != "kick" &&
      command != "network" && command != "tap") {
    return ErrorAnswer("unknown command " + command);
  }
  if (!p) return ErrorAnswer("no such participant");
  Room* room = RoomOf(*p);
  if (command == "drop_media") {
    if (Has(request, "hold")) p->held = GetBool(request, "hold");
    if (!room) return OkAnswer();
    // Every stream of the participant, or only |stream| when it is given.
    const std::string only = GetString(request, "stream");
    std::vector<std::string> lost;
    for (auto& [sid, s] : room->streams) {
      if (s.owner == p->id && (only.empty() || only == sid)) {
        s.media_down = true;
        s.audio_queue.clear();
        lost.push_back(sid);
      }
    }
    for (Subscription& s : room->subscriptions) {
      if (s.participant == p->id && !s.implicit && (only.empty() || only == s.stream)) {
        s.media_down = true;
        lost.push_back(s.stream);
      }
    }
    for (const std::string& sid : lost) {
      JsonPtr message = Message("ice_disconnected");
      PutString(message.get(), "stream", sid);
      SendTo(p->id, message.get());
    }
    JsonPtr answer = NewObject();
    PutBool(answer.get(), "ok", true);
    cJSON* list = cJSON_AddArrayToObject(answer.get(), "streams");
    for (const std::string& sid : lost) cJSON_AddItemToArray(list, cJSON_CreateString(sid.c_str()));
    return ToText(answer.get());
  }
  if (command == "hold") {
    p->held = GetBool(request, "on", true);
    return OkAnswer();
  }
  if (command == "drop_signalling") {
    if (p->connection) shutdown(p->connection->socket.get(), SD_BOTH);
    return OkAnswer();
  }
  if (command == "kick") {
    JsonPtr kicked = Message("kicked");
    PutString(kicked.get(), "origin", GetString(request, "origin"));
    PutInt(kicked.get(), "reason", GetInt(request, "reason", 1));
    SendTo(p->id, kicked.get());
    RemoveParticipant(p->id, true);
    return OkAnswer();
  }
  if (command == "network") {
    p->video_loss = std::clamp(GetDouble(request, "loss", p->video_loss), 0.0, 1.0);
    p->audio_loss = std::clamp(GetDouble(request, "audio_loss", p->audio_loss), 0.0, 1.0);
    p->frame_rate_cap = std::max(0, GetInt(request, "fps_cap", p->frame_rate_cap));
    return OkAnswer();
  }
  // tap
  JsonPtr answer = NewObject();
  PutBool(answer.get(), "ok", true);
  PutInt(answer.get(), "packets", static_cast<int64_t>(p->tap_packets));
  cJSON* entries = cJSON_AddArrayToObject(answer.get(), "entries");
  for (const auto& e : p->tap) {
    cJSON* item = cJSON_CreateObject();
    PutString(item, "stream", e.stream);
    PutBool(item, "marked", e.marked);
    PutInt(item, "tag", e.tag);
    PutInt(item, "counter", e.counter);
    PutInt(item, "level", e.level);
    cJSON_AddItemToArray(entries, item);
  }
  if (GetBool(request, "drain")) p->tap.clear();
  return ToText(answer.get());
}

}  // namespace orvim::server
