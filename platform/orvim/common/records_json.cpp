#include "platform/orvim/common/records_json.h"

#include "platform/orvim/common/json.h"

namespace orvim {

using rtTarvo::rtc::LayoutMap;
using rtTarvo::rtc::LayoutRegion;
using rtTarvo::rtc::ParticipantInfo;
using rtTarvo::rtc::RoomStatus;
using rtTarvo::rtc::StreamEntry;
using rtTarvo::rtc::StreamInfo;
using rtTarvo::rtc::VideoResolution;

cJSON* ParticipantToJson(const ParticipantInfo& p) {
  cJSON* json = cJSON_CreateObject();
  PutString(json, "uid", p.uid);
  PutString(json, "cid", p.cid);
  PutString(json, "name", p.name);
  PutBool(json, "has_stream", p.has_stream);
  PutString(json, "platform", p.platform);
  PutInt(json, "audio_state", p.audio_state);
  PutInt(json, "video_state", p.video_state);
  PutBool(json, "audio_start_muted", p.audio_start_muted);
  PutBool(json, "video_start_muted", p.video_start_muted);
  PutString(json, "stream_id", p.stream_id);
  PutString(json, "id", p.id);
  return json;
}

ParticipantInfo ParticipantFromJson(const cJSON* json) {
  ParticipantInfo p;
  p.uid = GetString(json, "uid");
  p.cid = GetString(json, "cid");
  p.name = GetString(json, "name");
  p.has_stream = GetBool(json, "has_stream");
  p.platform = GetString(json, "platform");
  p.audio_state = GetInt(json, "audio_state", p.audio_state);
  p.video_state = GetInt(json, "video_state", p.video_state);
  p.audio_start_muted = GetBool(json, "audio_start_muted");
  p.video_start_muted = GetBool(json, "video_start_muted");
  p.stream_id = GetString(json, "stream_id");
  p.id = GetString(json, "id");
  return p;
}

cJSON* RoomStatusToJson(const RoomStatus& s) {
  cJSON* json = cJSON_CreateObject();
  PutString(json, "room_id", s.room_id);
  PutString(json, "group_id", s.group_id);
  PutString(json, "group_cid", s.group_cid);
  PutString(json, "owner_id", s.owner_id);
  PutInt(json, "participant_count", s.participant_count);
  PutBool(json, "start_muted", s.start_muted);
  return json;
}

RoomStatus RoomStatusFromJson(const cJSON* json) {
  RoomStatus s;
  s.room_id = GetString(json, "room_id");
  s.group_id = GetString(json, "group_id");
  s.group_cid = GetString(json, "group_cid");
  s.owner_id = GetString(json, "owner_id");
  s.participant_count = GetInt(json, "participant_count");
  s.start_muted = GetBool(json, "start_muted");
  return s;
}

cJSON* StreamEntryToJson(const StreamEntry& e, const std::string& owner_name) {
  cJSON* json = cJSON_CreateObject();
  PutString(json, "stream_id", e.stream_id);
  PutInt(json, "kind", e.kind);
  cJSON* sizes = cJSON_AddArrayToObject(json, "sizes");
  for (const VideoResolution& r : e.sizes) {
    cJSON* pair = cJSON_CreateArray();
    cJSON_AddItemToArray(pair, cJSON_CreateNumber(r.width));
    cJSON_AddItemToArray(pair, cJSON_CreateNumber(r.height));
    cJSON_AddItemToArray(sizes, pair);
  }
  PutString(json, "uid", e.uid);
  PutString(json, "cid", e.cid);
  PutString(json, "name", owner_name);
  return json;
}

StreamEntry StreamEntryFromJson(const cJSON* json) {
  StreamEntry e;
  e.stream_id = GetString(json, "stream_id");
  e.kind = GetInt(json, "kind");
  e.uid = GetString(json, "uid");
  e.cid = GetString(json, "cid");
  const cJSON* sizes = cJSON_GetObjectItemCaseSensitive(json, "sizes");
  const cJSON* pair = nullptr;
  cJSON_ArrayForEach(pair, sizes) {
    if (!cJSON_IsArray(pair) || cJSON_GetArraySize(pair) != 2) continue;
    const cJSON* w = cJSON_GetArrayItem(pair, 0);
    const cJSON* h = cJSON_GetArrayItem(pair, 1);
    if (!cJSON_IsNumber(w) || !cJSON_IsNumber(h)) continue;
    e.sizes.push_back({static_cast<int32_t>(w->valuedouble), static_cast<int32_t>(h->valuedouble)});
  }
  return e;
}

StreamInfo StreamInfoFromJson(const cJSON* json) {
  StreamInfo s;
  s.stream_id = GetString(json, "stream_id");
  s.uid = GetString(json, "uid");
  s.cid = GetString(json, "cid");
  s.name = GetString(json, "name");
  s.kind = GetInt(json, "kind");
  return s;
}

cJSON* StatisticsToJson(const NetStatistics& s) {
  cJSON* json = cJSON_CreateObject();
  cJSON* video = cJSON_AddObjectToObject(json, "video");
  PutInt(video, "bytes", s.video.bytes);
  PutInt(video, "packets", s.video.packets);
  PutInt(video, "packetsLost", s.video.packetsLost);
  PutInt(video, "lossCount", s.video.lossCount);
  PutInt(video, "width", s.video.width);
  PutInt(video, "height", s.video.height);
  PutInt(video, "frameRate", s.video.frameRate);
  PutString(video, "codec", s.video.codec);
  PutInt(video, "rtt", s.video.rtt);
  cJSON* audio = cJSON_AddObjectToObject(json, "audio");
  PutInt(audio, "bytes", s.audio.bytes);
  PutInt(audio, "packets", s.audio.packets);
  PutInt(audio, "packetsLost", s.audio.packetsLost);
  PutInt(audio, "packetsDiscarded", s.audio.packetsDiscarded);
  PutString(audio, "codec", s.audio.codec);
  PutInt(audio, "rtt", s.audio.rtt);
  PutInt(audio, "audioLevel", s.audio.audioLevel);
  PutDouble(audio, "totalAudioEnergy", s.audio.totalAudioEnergy);
  PutDouble(audio, "totalSamplesDuration", s.audio.totalSamplesDuration);
  return json;
}

NetStatistics StatisticsFromJson(const cJSON* json) {
  NetStatistics s;
  const cJSON* video = cJSON_GetObjectItemCaseSensitive(json, "video");
  s.video.bytes = GetInt64(video, "bytes", s.video.bytes);
  s.video.packets = GetInt(video, "packets", s.video.packets);
  s.video.packetsLost = GetInt(video, "packetsLost", s.video.packetsLost);
  s.video.lossCount = GetInt(video, "lossCount", s.video.lossCount);
  s.video.width = static_cast<uint32_t>(GetInt64(video, "width", s.video.width));
  s.video.height = static_cast<uint32_t>(GetInt64(video, "height", s.video.height));
  s.video.frameRate = GetInt(video, "frameRate", s.video.frameRate);
  s.video.codec = GetString(video, "codec", s.video.codec);
  s.video.rtt = GetInt(video, "rtt", s.video.rtt);
  const cJSON* audio = cJSON_GetObjectItemCaseSensitive(json, "audio");
  s.audio.bytes = GetInt64(audio, "bytes", s.audio.bytes);
  s.audio.packets = GetInt(audio, "packets", s.audio.packets);
  s.audio.packetsLost = GetInt(audio, "packetsLost", s.audio.packetsLost);
  s.audio.packetsDiscarded =
      static_cast<uint32_t>(GetInt64(audio, "packetsDiscarded", s.audio.packetsDiscarded));
  s.audio.codec = GetString(audio, "codec", s.audio.codec);
  s.audio.rtt = GetInt(audio, "rtt", s.audio.rtt);
  s.audio.audioLevel = static_cast<uint32_t>(GetInt64(audio, "audioLevel", s.audio.audioLevel));
  s.audio.totalAudioEnergy = GetDouble(audio, "totalAudioEnergy", s.audio.totalAudioEnergy);
  s.audio.totalSamplesDuration =
      GetDouble(audio, "totalSamplesDuration", s.audio.totalSamplesDuration);
  return s;
}

cJSON* LayoutToJson(const LayoutMap& layout) {
  cJSON* json = cJSON_CreateObject();
  for (const auto& [key, r] : layout) {
    cJSON* region = cJSON_CreateObject();
    PutInt(region, "index", r.index);
    PutBool(region, "isFixed", r.isFixed);
    PutBool(region, "hasCamera", r.hasCamera);
    const int32_t numbers[8] = {r.left_num,  r.left_den,  r.top_num,    r.top_den,
                                r.width_num, r.width_den, r.height_num, r.height_den};
    cJSON* fractions = cJSON_AddArrayToObject(region, "fractions");
    for (int32_t n : numbers) cJSON_AddItemToArray(fractions, cJSON_CreateNumber(n));
    PutString(region, "stream_id", r.stream_id);
    PutString(region, "user_id", r.user.user_id);
    PutString(region, "user_cid", r.user.cid);
    PutString(region, "user_name", r.user.name);
    cJSON_AddItemToObject(json, key.c_str(), region);
  }
  return json;
}

LayoutMap LayoutFromJson(const cJSON* json) {
  LayoutMap layout;
  const cJSON* region = nullptr;
  cJSON_ArrayForEach(region, json) {
    if (!cJSON_IsObject(region) || !region->string) continue;
    LayoutRegion r;
    r.index = GetInt(region, "index");
    r.isFixed = GetBool(region, "isFixed");
    r.hasCamera = GetBool(region, "hasCamera");
    int32_t* numbers[8] = {&r.left_num,  &r.left_den,  &r.top_num,    &r.top_den,
                           &r.width_num, &r.width_den, &r.height_num, &r.height_den};
    const cJSON* fractions = cJSON_GetObjectItemCaseSensitive(region, "fractions");
    for (int i = 0; i < 8; ++i) {
      const cJSON* n = cJSON_GetArrayItem(fractions, i);
      if (cJSON_IsNumber(n)) *numbers[i] = static_cast<int32_t>(n->valuedouble);
    }
    r.stream_id = GetString(region, "stream_id");
    r.user.user_id = GetString(region, "user_id");
    r.user.cid = GetString(region, "user_cid");
    r.user.name = GetString(region, "user_name");
    layout[region->string] = r;
  }
  return layout;
}

std::vector<ParticipantInfo> ParticipantsFromJson(const cJSON* array) {
  std::vector<ParticipantInfo> list;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, array) {
    if (cJSON_IsObject(item)) list.push_back(ParticipantFromJson(item));
  }
  return list;
}

std::vector<StreamEntry> StreamEntriesFromJson(const cJSON* array) {
  std::vector<StreamEntry> list;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, array) {
    if (cJSON_IsObject(item)) list.push_back(StreamEntryFromJson(item));
  }
  return list;
}

std::vector<std::string> StringsFromJson(const cJSON* array) {
  std::vector<std::string> list;
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, array) {
    if (cJSON_IsString(item) && item->valuestring) list.push_back(item->valuestring);
  }
  return list;
}

}  // namespace orvim
