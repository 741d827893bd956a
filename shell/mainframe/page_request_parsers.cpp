#include "shell/mainframe/page_request_parsers.h"

#include <cjson/cJSON.h>

#include <cctype>
#include <memory>

#include "foundation/text_convert.h"

namespace page_request {

namespace {

const cJSON* Item(const cJSON* request, const char* key) {
  return cJSON_IsObject(request) ? cJSON_GetObjectItem(request, key) : nullptr;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() ||
        std::tolower(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(prefix[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadInt(const cJSON* request, const char* key, int32_t* target) {
  const cJSON* item = Item(request, key);
  if (!cJSON_IsNumber(item)) return false;
  *target = item->valueint;
  return true;
}

bool ReadText(const cJSON* request, const char* key, std::string* target) {
  const cJSON* item = Item(request, key);
  if (!cJSON_IsString(item) || item->valuestring == nullptr) return false;
  *target = item->valuestring;
  return true;
}

bool ReadFlag(const cJSON* request, const char* key, bool* target) {
  int32_t number = 0;
  if (!ReadInt(request, key, &number)) return false;
  *target = number == 1;
  return true;
}

bool ReadBool(const cJSON* request, const char* key, bool* target) {
  const cJSON* item = Item(request, key);
  if (!cJSON_IsBool(item)) return false;
  *target = cJSON_IsTrue(item);
  return true;
}

int32_t RequestNumber(const cJSON* request) {
  int32_t number = 0;
  ReadInt(request, "event", &number);
  return number;
}

StJsCommand DeviceCommand(const cJSON* request, int32_t kind) {
  StJsCommand command;
  command.kind = kind;
  if (kind != 11) ReadText(request, "id", &command.id);
  ReadInt(request, "opt", &command.opt);
  return command;
}

StJsMediaCommand MediaShareCommand(const cJSON* request) {
  StJsMediaCommand command;
  ReadFlag(request, "opt", &command.opt);
  ReadText(request, "url", &command.url);
  ReadBool(request, "muted", &command.muted);
  return command;
}

SubscribeRequest Subscribe(const cJSON* request) {
  SubscribeRequest subscribe;
  ReadFlag(request, "subscrib", &subscribe.subscribe);
  ReadInt(request, "width", &subscribe.width);
  ReadInt(request, "height", &subscribe.height);
  int32_t audio = 0;
  if (!ReadBool(request, "audio", &subscribe.audio) && ReadInt(request, "audio", &audio)) {
    subscribe.audio = audio != 0;
  }
  return subscribe;
}

StJsPushStreamCommand PushResultCommand(const cJSON* request) {
  StJsPushStreamCommand command;
  command.kind = 18;
  ReadText(request, "url", &command.url);
  ReadInt(request, "result", &command.result);
  ReadText(request, "streamId", &command.streamId);
  return command;
}

bool PushList(const cJSON* request, std::vector<StPushStreamInfo>* list) {
  const cJSON* data = Item(request, "data");
  if (!cJSON_IsArray(data)) return false;
  list->clear();
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, data) {
    StPushStreamInfo info;
    info.state = 0;
    ReadText(element, "id", &info.stream_id);
    ReadInt(element, "state", &info.state);
    std::string text;
    if (ReadText(element, "platform", &text)) info.platform_name = Utf8ToUnicode(text);
    if (ReadText(element, "pushStreamUrl", &text)) info.push_url = Utf8ToUnicode(text);
    std::string resolution;
    if (ReadText(element, "resolution", &resolution)) {
      if (resolution == "UD") {
        info.width = 1920;
        info.height = 1080;
      } else if (resolution == "HD") {
        info.width = 1280;
        info.height = 720;
      } else if (resolution == "LD") {
        info.width = 640;
        info.height = 360;
      }
    }
    list->push_back(std::move(info));
  }
  return true;
}

StJsPushStreamCommand PushListCommand(const cJSON* request) {
  StJsPushStreamCommand command;
  command.kind = 19;
  ReadText(request, "streamId", &command.streamId);
  return command;
}

std::string LayoutData(const cJSON* request) {
  const cJSON* data = Item(request, "data");
  if (!cJSON_IsObject(data)) return std::string();
  std::unique_ptr<char, decltype(&cJSON_free)> text(cJSON_PrintUnformatted(data), &cJSON_free);
  return text ? std::string(text.get()) : std::string();
}

void ReadMediaCommand(const cJSON* request, LocalMediaInfo* media) {
  ReadText(request, "url", &media->url);
  ReadText(request, "md5", &media->md5);
  ReadInt(request, "height", &media->height);
  ReadInt(request, "status", &media->status);
  ReadInt(request, "volume", &media->volume);
  ReadInt(request, "pos", &media->pos);
  bool muted = false;
  int32_t number = 0;
  if (ReadBool(request, "muted", &muted)) {
    media->muted = muted ? 1 : 0;
  } else if (ReadInt(request, "muted", &number)) {
    media->muted = number == 1 ? 1 : 0;
  }
}

bool UpdateDocumentCommand(const cJSON* request, LocalDocumentInfo* doc) {
  ReadText(request, "url", &doc->url);
  std::string md5;
  int32_t opt = 0;
  ReadText(request, "md5", &md5);
  ReadInt(request, "opt", &opt);
  if (md5 == doc->md5 && opt == doc->status) return false;
  doc->md5 = md5;
  doc->status = opt;
  ReadInt(request, "x", &doc->x);
  ReadInt(request, "y", &doc->y);
  return true;
}

bool IsWebAddress(const std::string& url) {
  size_t host = 0;
  if (StartsWithNoCase(url, "http://")) {
    host = 7;
  } else if (StartsWithNoCase(url, "https://")) {
    host = 8;
  } else {
    return false;
  }
  if (host >= url.size() || url[host] == '/' || url[host] == '\\' || url[host] == ':' ||
      url[host] == '?' || url[host] == '#') {
    return false;
  }
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

}  // namespace page_request
