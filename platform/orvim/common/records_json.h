#pragma once

#include <cjson/cJSON.h>

#include <vector>

#include "orvim_sdk.h"

// The SDK's records as JSON objects, as the room server sends them and as the control's "emit"
// takes them. Readers take missing or mistyped members as the record's defaults.

namespace orvim {

cJSON* ParticipantToJson(const rtTarvo::rtc::ParticipantInfo& p);
rtTarvo::rtc::ParticipantInfo ParticipantFromJson(const cJSON* json);

cJSON* RoomStatusToJson(const rtTarvo::rtc::RoomStatus& s);
rtTarvo::rtc::RoomStatus RoomStatusFromJson(const cJSON* json);

// A stream list entry; its "uid", "cid", "name" and "kind" also make a StreamInfo.
cJSON* StreamEntryToJson(const rtTarvo::rtc::StreamEntry& e, const std::string& owner_name);
rtTarvo::rtc::StreamEntry StreamEntryFromJson(const cJSON* json);
rtTarvo::rtc::StreamInfo StreamInfoFromJson(const cJSON* json);

cJSON* StatisticsToJson(const NetStatistics& s);
NetStatistics StatisticsFromJson(const cJSON* json);

// {"key": region, ...}
cJSON* LayoutToJson(const rtTarvo::rtc::LayoutMap& layout);
rtTarvo::rtc::LayoutMap LayoutFromJson(const cJSON* json);

// Arrays: every element that is an object.
std::vector<rtTarvo::rtc::ParticipantInfo> ParticipantsFromJson(const cJSON* array);
std::vector<rtTarvo::rtc::StreamEntry> StreamEntriesFromJson(const cJSON* array);
std::vector<std::string> StringsFromJson(const cJSON* array);

}  // namespace orvim
