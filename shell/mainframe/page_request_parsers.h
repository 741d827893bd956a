#pragma once

// The readers of the page's requests (the numbered "jsEvent" messages): each takes the parsed
// request object and fills its target. Keys are matched without regard to case (cJSON's object
// look-up); a key that is missing or of another JSON type than the one read leaves the target
// unchanged; numbers are read as 32-bit integers (cJSON's integer view, which saturates).
// Pure functions: no state, any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "shell/jsevents/js_command.h"
#include "shell/registry/local_file_list.h"

struct cJSON;

namespace page_request {

// Single keys. A "flag" is a number that means true exactly when it is 1; a "bool" is JSON true
// or false only. Each returns whether the key was read.
bool ReadInt(const cJSON* request, const char* key, int32_t* target);
bool ReadText(const cJSON* request, const char* key, std::string* target);
bool ReadFlag(const cJSON* request, const char* key, bool* target);
bool ReadBool(const cJSON* request, const char* key, bool* target);

// The request number "event" (0 when missing or no number).
int32_t RequestNumber(const cJSON* request);

// Requests 3, 4 and 11: {id, "", "", kind, opt}; request 11 reads no id.
StJsCommand DeviceCommand(const cJSON* request, int32_t kind);

// Request 16: {"auto", "auto", url, "", opt (flag), muted (bool)}.
StJsMediaCommand MediaShareCommand(const cJSON* request);

// Request 17: the subscription's size and switches; 0 and false for absent keys. "audio" is a
// bool or a number (true when not 0).
struct SubscribeRequest {
  int32_t width = 0;
  int32_t height = 0;
  bool subscribe = false;
  bool audio = false;
};
SubscribeRequest Subscribe(const cJSON* request);

// Request 18: {18, result, url, streamId}.
StJsPushStreamCommand PushResultCommand(const cJSON* request);

// Request 19: the push destinations of the array "data", in array order. False (|list| left
// as it was) when "data" is missing or no array. Elements that are no objects give a record
// with empty texts and numbers 0, as an object without keys does.
bool PushList(const cJSON* request, std::vector<StPushStreamInfo>* list);
// Request 19's queued record: {19, 0, "", streamId}.
StJsPushStreamCommand PushListCommand(const cJSON* request);

// Request 14: the object "data" printed as JSON (unformatted); empty when "data" is missing or
// no object.
std::string LayoutData(const cJSON* request);

// Request 31: the current media command's keys ("url", "md5", "height", "status", "volume",
// "pos"; "muted" a bool or a number, true when 1). The url is the page's; the caller replaces
// it with the registry's path.
void ReadMediaCommand(const cJSON* request, LocalMediaInfo* media);

// Request 32: the current document command. Reads "url"; when "md5" (default "") and "opt"
// (default 0) equal the command's md5 and status, nothing else changes and false is returned;
// otherwise they are stored, "x" and "y" read, and true returned.
bool UpdateDocumentCommand(const cJSON* request, LocalDocumentInfo* doc);

// Requests 13 and 24: true only for an absolute web address: "http://" or "https://" (any
// case), a host, and no spaces, control characters or quotes. Anything else (files, paths,
// other schemes, relative or empty addresses) must not reach the shell.
bool IsWebAddress(const std::string& url);

}  // namespace page_request
