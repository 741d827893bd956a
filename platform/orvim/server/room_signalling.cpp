// The room server's signalling: login and resume, publishing, subscriptions, mutes,
// statistics, room status, the live layout text and media insertion. Every function here runs
// with |mutex_| held.

#include <algorithm>
#include <cstdio>

#include "platform/orvim/common/records_json.h"
#include "platform/orvim/server/room_server.h"

namespace orvim::server {

using namespace rtTarvo::rtc;

namespace {

JsonPtr Reply(const char* op) {
  JsonPtr reply = NewObject();
  PutString(reply.get(), "op", op);
  return reply;
}

JsonPtr Result(const char* op, const std::string& stream, bool ok, int code = 0,
               const std::string& message = std::string()) {
  JsonPtr reply = Reply(op);
  PutString(reply.get(), "stream", stream);
  PutBool(reply.get(), "ok", ok);
  if (!ok) {
    PutInt(reply.get(), "code", code);
    PutString(reply.get(), "message", message);
  }
  return reply;
}

constexpr VideoResolution kLiveSizes[] = {{1920, 1080}, {1280, 720}, {640, 360}};

}  // namespace

cJSON* RoomServer::ParticipantJson(const Participant& p) {
  ParticipantInfo info;
  info.uid = p.uid;
  info.cid = p.cid;
  info.name = p.name;
  info.has_stream = !p.camera_stream.empty();
  info.platform = p.platform;
  info.audio_state = p.audio_state;
  info.video_state = p.video_state;
  info.video_start_muted = p.video_start_muted;
  info.stream_id = p.camera_stream;
  info.id = p.id;
  return ParticipantToJson(info);
}

std::string RoomServer::LiveSourceId(const Room& room) {
  // The newest share or local-media stream, else the first camera that is on (a muted camera
  // gives no picture), else the first camera.
  const Stream* best = nullptr;
  for (const auto& [id, s] : room.streams) {
    if (!s.video || (s.kind != kStreamScreenShare && s.kind != kStreamLocalMedia)) continue;
    if (!best || s.order > best->order) best = &s;
  }
  if (best) return best->id;
  const Stream* first = nullptr;
  for (const auto& [id, s] : room.streams) {
    if (!s.video || s.kind != kStreamCamera) continue;
    if (!first || s.order < first->order) first = &s;
    if (!s.video_muted && (!best || s.order < best->order)) best = &s;
  }
  if (!best) best = first;
  return best ? best->id : std::string();
}

cJSON* RoomServer::StreamJson(const Room& room, const std::string& stream_id) {
  StreamEntry entry;
  entry.stream_id = stream_id;
  std::string owner_name;
  if (stream_id == room.live_id() || stream_id == room.mix_id()) {
    entry.kind = stream_id == room.live_id() ? kStreamLive : kStreamMix;
    if (entry.kind == kStreamLive) {
      entry.sizes.assign(std::begin(kLiveSizes), std::end(kLiveSizes));
      auto source = room.streams.find(LiveSourceId(room));
      if (source != room.streams.end() && source->second.width > 0 && source->second.height > 0) {
        entry.sizes.push_back({source->second.width, source->second.height});
      }
    } else {
      entry.sizes.push_back({1280, 720});
    }
  } else {
    auto it = room.streams.find(stream_id);
    if (it != room.streams.end()) {
      entry.kind = it->second.kind;
      if (it->second.width > 0 && it->second.height > 0) {
        entry.sizes.push_back({it->second.width, it->second.height});
      }
      auto owner = participants_.find(it->second.owner);
      if (owner != participants_.end()) {
        entry.uid = owner->second.uid;
        entry.cid = owner->second.cid;
        owner_name = owner->second.name;
      }
    }
  }
  return StreamEntryToJson(entry, owner_name);
}

void RoomServer::Login(const std::shared_ptr<Connection>& connection, const cJSON* m) {
  const std::string uid = GetString(m, "user_id");
  const std::string conf = GetString(m, "conf_id");
  for (auto it = refusals_.begin(); it != refusals_.end(); ++it) {
    if (!it->uid.empty() && it->uid != uid) continue;
    JsonPtr reply = Reply("login_result");
    PutBool(reply.get(), "ok", false);
    PutInt(reply.get(), "code", it->code);
    PutString(reply.get(), "message", it->message);
    connection->PostJson(reply.get());
    connection->writer->Finish();
    if (--it->count <= 0) refusals_.erase(it);
    return;
  }
  if (conf.empty()) {
    JsonPtr reply = Reply("login_result");
    PutBool(reply.get(), "ok", false);
    PutInt(reply.get(), "code", 400);
    PutString(reply.get(), "message", "no conference id");
    connection->PostJson(reply.get());
    connection->writer->Finish();
    return;
  }
  const bool created = rooms_.count(conf) == 0;
  Room& room = rooms_[conf];
  Participant p;
  p.id = "p" + std::to_string(next_participant_++);
  p.uid = uid;
  p.cid = GetString(m, "cid");
  p.name = GetString(m, "user_name");
  p.platform = GetString(m, "platform", "windows");
  p.token = std::to_string(random_()) + std::to_string(random_());
  p.room = conf;
  p.connection = connection;
  p.video_start_muted = start_muted_rooms_[conf];
  if (created) {
    room.id = conf;
    room.owner = p.id;
    room.owner_cid = p.cid;
  }
  connection->participant_id = p.id;
  room.members.push_back(p.id);
  participants_[p.id] = p;

  JsonPtr reply = Reply("login_result");
  PutBool(reply.get(), "ok", true);
  PutBool(reply.get(), "created", created);
  PutString(reply.get(), "room", conf);
  PutString(reply.get(), "token", p.token);
  cJSON_AddItemToObject(reply.get(), "participant", ParticipantJson(p));
  cJSON* members = cJSON_AddArrayToObject(reply.get(), "participants");
  for (const std::string& id : room.members) cJSON_AddItemToArray(members, ParticipantJson(participants_[id]));
  cJSON* streams = cJSON_AddArrayToObject(reply.get(), "streams");
  for (const auto& [id, s] : room.streams) cJSON_AddItemToArray(streams, StreamJson(room, id));
  if (room.has_live) {
    cJSON_AddItemToArray(streams, StreamJson(room, room.live_id()));
    cJSON_AddItemToArray(streams, StreamJson(room, room.mix_id()));
  }
  connection->PostJson(reply.get());

  JsonPtr joined = Reply("participant_joined");
  cJSON_AddItemToObject(joined.get(), "participant", ParticipantJson(p));
  Broadcast(room, joined.get(), p.id);
  // Shares reach every member unasked, the new one too.
  for (const auto& [id, s] : room.streams) {
    if (s.kind == kStreamScreenShare) {
      Subscription sub;
      sub.participant = p.id;
      sub.stream = id;
      sub.implicit = true;
      room.subscriptions.push_back(sub);
    }
  }
}

bool RoomServer::Resume(const std::shared_ptr<Connection>& connection, const cJSON* m) {
  Participant* p = FindParticipant(GetString(m, "participant"));
  JsonPtr reply = Reply("resume_result");
  const bool ok = p && p->token == GetString(m, "token");
  PutBool(reply.get(), "ok", ok);
  connection->PostJson(reply.get());
  if (!ok) {
    connection->writer->Finish();
    return true;
  }
  if (p->connection && p->connection != connection) shutdown(p->connection->socket.get(), SD_BOTH);
  p->connection = connection;
  connection->participant_id = p->id;
  return true;
}

bool RoomServer::HandleClientJson(const std::shared_ptr<Connection>& connection, const cJSON* m) {
  const std::string op = GetString(m, "op");
  std::lock_guard<std::mutex> lock(mutex_);
  Participant* p = FindParticipant(connection->participant_id);
  // Refused or removed: nothing more is taken from this connection. After a goodbye it is read
  // on until the client closes.
  if (!p) return connection->farewell;
  Room* room = RoomOf(*p);
  if (!room) return false;
  const std::string stream = GetString(m, "stream");

  if (op == "leave") {
    RemoveParticipant(p->id, true);
  } else if (op == "publish") {
    Publish(*p, *room, m);
  } else if (op == "unpublish") {
    auto it = room->streams.find(stream);
    if (it != room->streams.end() && it->second.owner == p->id) Unpublish(*room, stream);
  } else if (op == "subscribe") {
    Subscribe(*p, *room, m);
  } else if (op == "unsubscribe") {
    auto it = std::find_if(room->subscriptions.begin(), room->subscriptions.end(),
                           [&](const Subscription& s) { return s.participant == p->id && s.stream == stream; });
    const bool found = it != room->subscriptions.end();
    if (found) room->subscriptions.erase(it);
    JsonPtr reply = Result("unsubscribe_result", stream, found, 404, "not subscribed");
    connection->PostJson(reply.get());
  } else if (op == "mute") {
    Mute(*p, *room, m);
  } else if (op == "speaker_mute") {
    for (Subscription& s : room->subscriptions) {
      if (s.participant == p->id && s.stream == stream) s.speaker_muted = GetBool(m, "muted");
    }
  } else if (op == "stats") {
    Statistics(*p, *room, m);
  } else if (op == "room_status") {
    RoomStatus status;
    status.room_id = room->id;
    status.group_id = room->id + "-group";
    status.group_cid = room->owner_cid;
    status.owner_id = room->owner;
    status.participant_count = static_cast<int32_t>(room->members.size());
    status.start_muted = start_muted_rooms_[room->id];
    JsonPtr reply = Reply("room_status");
    cJSON_AddItemToObject(reply.get(), "status", RoomStatusToJson(status));
    connection->PostJson(reply.get());
  } else if (op == "participants") {
    JsonPtr reply = Reply("participants");
    PutBool(reply.get(), "ok", true);
    cJSON* list = cJSON_AddArrayToObject(reply.get(), "participants");
    for (const std::string& id : room->members) cJSON_AddItemToArray(list, ParticipantJson(participants_[id]));
    connection->PostJson(reply.get());
  } else if (op == "get_layout" || op == "set_layout" || op == "insertion" || op == "set_volume" ||
             op == "get_volume") {
    const char* result = op == "get_layout"   ? "layout_get_result"
                         : op == "set_layout" ? "layout_set_result"
                         : op == "insertion"  ? "insertion_result"
                         : op == "set_volume" ? "volume_set_result"
                                              : "volume_get_result";
    JsonPtr reply = Reply(result);
    PutString(reply.get(), "ec", "200");
    PutString(reply.get(), "em", "success");
    if (op == "set_layout") room->layout_text = GetString(m, "layout");
    if (op == "get_layout") PutString(reply.get(), "data", room->layout_text);
    if (op == "insertion") {
      room->has_insertion = true;
      room->insertion.url = GetString(m, "url");
      room->insertion.audio_source = GetString(m, "audio_source");
      room->insertion.video_source = GetString(m, "video_source");
      room->insertion.room_id = room->id;
      room->insertion.muted = GetBool(m, "muted");
    }
    if (op == "set_volume") room->insertion_volume = GetInt(m, "volume");
    if (op == "get_volume") PutInt(reply.get(), "volume", room->insertion_volume);
    connection->PostJson(reply.get());
  } else {
    return false;  // Unknown requests end the connection.
  }
  return true;
}

void RoomServer::RemoveParticipant(const std::string& id, bool goodbye) {
  Participant* p = FindParticipant(id);
  if (!p) return;
  Room* room = RoomOf(*p);
  if (room) {
    std::vector<std::string> owned;
    for (const auto& [sid, s] : room->streams) {
      if (s.owner == id) owned.push_back(sid);
    }
    for (const std::string& sid : owned) Unpublish(*room, sid);
    room->subscriptions.erase(std::remove_if(room->subscriptions.begin(), room->subscriptions.end(),
                                             [&](const Subscription& s) { return s.participant == id; }),
                              room->subscriptions.end());
    room->members.erase(std::remove(room->members.begin(), room->members.end(), id), room->members.end());
    JsonPtr left = Reply("participant_left");
    cJSON_AddItemToObject(left.get(), "participant", ParticipantJson(*p));
    Broadcast(*room, left.get());
    if (room->members.empty()) rooms_.erase(p->room);
  }
  if (p->connection) {
    if (goodbye) {
      JsonPtr bye = Reply("bye");
      p->connection->PostJson(bye.get());
    }
    p->connection->participant_id.clear();
    p->connection->farewell = true;
    p->connection->writer->Finish();
  }
  participants_.erase(id);
}

void RoomServer::Publish(Participant& p, Room& room, const cJSON* m) {
  const std::string id = GetString(m, "stream");
  auto existing = room.streams.find(id);
  if (existing != room.streams.end()) {
    // Published again (after a connection loss).
    JsonPtr reply;
    if (existing->second.owner != p.id) {
      reply = Result("publish_result", id, false, 409, "the stream belongs to another participant");
    } else if (p.held) {
      reply = Result("publish_result", id, false, 503, "the media connection is held");
    } else {
      existing->second.media_down = false;
      reply = Result("publish_result", id, true);
    }
    SendTo(p.id, reply.get());
    return;
  }
  const int kind = GetInt(m, "kind");
  if (id.empty() || (kind != kStreamCamera && kind != kStreamScreenShare && kind != kStreamLocalMedia)) {
    JsonPtr reply = Result("publish_result", id, false, 400, "bad stream");
    SendTo(p.id, reply.get());
    return;
  }
  Stream& s = room.streams[id];
  s.id = id;
  s.owner = p.id;
  s.kind = kind;
  s.width = GetInt(m, "width");
  s.height = GetInt(m, "height");
  s.video = GetBool(m, "video", true);
  s.audio = GetBool(m, "audio");
  s.video_muted = GetBool(m, "video_muted");
  s.order = room.next_order++;
  JsonPtr reply = Result("publish_result", id, true);
  SendTo(p.id, reply.get());

  if (kind == kStreamCamera) {
    p.camera_stream = id;
    p.video_state = !s.video ? kStateUnusable : s.video_muted ? kStateInactive : kStateActive;
    p.audio_state = s.audio ? kStateActive : kStateUnusable;
    JsonPtr updated = Reply("participant_updated");
    cJSON_AddItemToObject(updated.get(), "participant", ParticipantJson(p));
    Broadcast(room, updated.get());
  }
  if (kind == kStreamScreenShare) {
    for (const std::string& member : room.members) {
      if (member == p.id) continue;
      Subscription sub;
      sub.participant = member;
      sub.stream = id;
      sub.implicit = true;
      room.subscriptions.push_back(sub);
    }
  }
  JsonPtr added = Reply("stream_added");
  cJSON_AddItemToObject(added.get(), "stream_entry", StreamJson(room, id));
  Broadcast(room, added.get());
  UpdateLive(room);
}

void RoomServer::Unpublish(Room& room, const std::string& stream_id) {
  auto it = room.streams.find(stream_id);
  if (it == room.streams.end()) return;
  JsonPtr removed = Reply("stream_removed");
  cJSON_AddItemToObject(removed.get(), "stream_entry", StreamJson(room, stream_id));
  Participant* owner = FindParticipant(it->second.owner);
  if (owner && owner->camera_stream == stream_id) {
    owner->camera_stream.clear();
    owner->video_state = kStateActive;
    owner->audio_state = kStateActive;
    JsonPtr updated = Reply("participant_updated");
    cJSON_AddItemToObject(updated.get(), "participant", ParticipantJson(*owner));
    Broadcast(room, updated.get());
  }
  room.streams.erase(it);
  room.subscriptions.erase(std::remove_if(room.subscriptions.begin(), room.subscriptions.end(),
                                          [&](const Subscription& s) { return s.stream == stream_id; }),
                           room.subscriptions.end());
  Broadcast(room, removed.get());
  UpdateLive(room);
}

void RoomServer::UpdateLive(Room& room) {
  const bool anything = !room.streams.empty();
  const char* ids_op = nullptr;
  if (anything && !room.has_live) {
    room.has_live = true;
    ids_op = "stream_added";
  } else if (!anything && room.has_live) {
    ids_op = "stream_removed";
  } else if (anything) {
    JsonPtr updated = Reply("stream_updated");
    cJSON_AddItemToObject(updated.get(), "stream_entry", StreamJson(room, room.live_id()));
    Broadcast(room, updated.get());
  }
  if (ids_op) {
    for (const std::string& id : {room.live_id(), room.mix_id()}) {
      JsonPtr message = Reply(ids_op);
      cJSON_AddItemToObject(message.get(), "stream_entry", StreamJson(room, id));
      Broadcast(room, message.get());
    }
  }
  if (!anything && room.has_live) {
    room.has_live = false;
    room.subscriptions.erase(
        std::remove_if(room.subscriptions.begin(), room.subscriptions.end(),
                       [&](const Subscription& s) { return s.stream == room.live_id() || s.stream == room.mix_id(); }),
        room.subscriptions.end());
  }
  SendLayout(room);
}

void RoomServer::SendLayout(Room& room) {
  std::vector<const Stream*> pictures;
  for (const auto& [id, s] : room.streams) {
    if (s.video) pictures.push_back(&s);
  }
  std::sort(pictures.begin(), pictures.end(), [](const Stream* a, const Stream* b) { return a->order < b->order; });
  std::vector<std::string> ids;
  for (const Stream* s : pictures) ids.push_back(s->id);
  if (ids == room.mix_ids) return;
  room.mix_ids = ids;
  const int n = static_cast<int>(ids.size());
  int columns = 1;
  while (columns * columns < n) ++columns;
  const int rows = n == 0 ? 1 : (n + columns - 1) / columns;
  LayoutMap layout;
  for (int i = 0; i < n; ++i) {
    const Stream& s = *pictures[static_cast<size_t>(i)];
    LayoutRegion r;
    r.index = i;
    r.hasCamera = s.kind == kStreamCamera;
    r.left_num = i % columns;
    r.left_den = columns;
    r.top_num = i / columns;
    r.top_den = rows;
    r.width_num = 1;
    r.width_den = columns;
    r.height_num = 1;
    r.height_den = rows;
    r.stream_id = s.id;
    auto owner = participants_.find(s.owner);
    if (owner != participants_.end()) {
      r.user.user_id = owner->second.uid;
      r.user.cid = owner->second.cid;
      r.user.name = owner->second.name;
    }
    char key[16];
    std::snprintf(key, sizeof(key), "region%03d", i);
    layout[key] = r;
  }
  JsonPtr message = Reply("layout_changed");
  cJSON_AddItemToObject(message.get(), "layout", LayoutToJson(layout));
  Broadcast(room, message.get());
}

void RoomServer::Subscribe(Participant& p, Room& room, const cJSON* m) {
  const std::string id = GetString(m, "stream");
  int kind = 0;
  if (room.has_live && id == room.live_id()) {
    kind = kStreamLive;
  } else if (room.has_live && id == room.mix_id()) {
    kind = kStreamMix;
  } else if (room.streams.count(id)) {
    kind = room.streams[id].kind;
  }
  JsonPtr reply;
  if (kind == 0) {
    reply = Result("subscribe_result", id, false, 404, "no such stream");
  } else if (p.held) {
    reply = Result("subscribe_result", id, false, 503, "the media connection is held");
  } else {
    Subscription* sub = FindSubscription(room, p.id, id);
    if (!sub) {
      room.subscriptions.push_back(Subscription());
      sub = &room.subscriptions.back();
      sub->participant = p.id;
      sub->stream = id;
    }
    sub->width = std::clamp(GetInt(m, "width"), 0, kMaxFrameWidth);
    sub->height = std::clamp(GetInt(m, "height"), 0, kMaxFrameHeight);
    sub->audio_muted = GetBool(m, "audio_muted");
    sub->media_down = false;
    sub->implicit = false;
    reply = Result("subscribe_result", id, true);
  }
  PutInt(reply.get(), "kind", kind);
  SendTo(p.id, reply.get());
}

void RoomServer::Mute(Participant& p, Room& room, const cJSON* m) {
  const std::string id = GetString(m, "stream");
  const bool audio = GetBool(m, "audio");
  const bool muted = GetBool(m, "muted");
  auto it = room.streams.find(id);
  if (it == room.streams.end()) {
    JsonPtr reply = Result("mute_result", id, false, 404, "no such stream");
    PutBool(reply.get(), "audio", audio);
    PutBool(reply.get(), "muted", muted);
    SendTo(p.id, reply.get());
    return;
  }
  Stream& s = it->second;
  (audio ? s.audio_muted : s.video_muted) = muted;
  if (audio) s.audio_queue.clear();
  Participant* owner = FindParticipant(s.owner);
  if (owner && owner->camera_stream == id) {
    if (audio && s.audio) owner->audio_state = muted ? kStateInactive : kStateActive;
    if (!audio && s.video) owner->video_state = muted ? kStateInactive : kStateActive;
    JsonPtr updated = Reply("participant_updated");
    cJSON_AddItemToObject(updated.get(), "participant", ParticipantJson(*owner));
    Broadcast(room, updated.get());
  }
  JsonPtr reply = Result("mute_result", id, true);
  PutBool(reply.get(), "audio", audio);
  PutBool(reply.get(), "muted", muted);
  SendTo(p.id, reply.get());
  JsonPtr notify = Reply("mute_notify");
  PutString(notify.get(), "stream", id);
  PutBool(notify.get(), "audio", audio);
  PutBool(notify.get(), "muted", muted);
  Broadcast(room, notify.get());
}

void RoomServer::Statistics(Participant& p, Room& room, const cJSON* m) {
  const std::string id = GetString(m, "stream");
  Counters* counters = nullptr;
  auto own = room.streams.find(id);
  if (own != room.streams.end() && own->second.owner == p.id) {
    counters = &own->second.in;
  } else if (Subscription* sub = FindSubscription(room, p.id, id)) {
    counters = &sub->out;
  }
  JsonPtr reply = Result("stats_result", id, counters != nullptr, 404, "unknown stream");
  PutInt(reply.get(), "seq", GetInt(m, "seq"));
  if (counters) cJSON_AddItemToObject(reply.get(), "stats", StatisticsToJson(counters->ToStatistics()));
  SendTo(p.id, reply.get());
}

}  // namespace orvim::server
