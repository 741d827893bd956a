#include "shell/jsevents/js_event_sender.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "foundation/text_convert.h"

namespace {

// The JSON library allocates with the C library's functions.
[[maybe_unused]] const bool g_hooks_set = [] {
  cJSON_Hooks hooks = {&std::malloc, &std::free};
  cJSON_InitHooks(&hooks);
  return true;
}();

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// An event object with its leading "event" key; null when the library is out of memory.
JsonPtr NewEvent(int number) {
  JsonPtr event(cJSON_CreateObject());
  if (event) cJSON_AddNumberToObject(event.get(), "event", number);
  return event;
}

std::string Print(const cJSON* object) {
  char* text = cJSON_Print(object);
  if (text == nullptr) return std::string();
  std::string printed(text);
  cJSON_free(text);
  return printed;
}

void AddString(cJSON* object, const char* key, const std::string& value) {
  cJSON_AddStringToObject(object, key, value.c_str());
}

void AddUserKeys(cJSON* object, const StUserStream& user) {
  AddString(object, "name", user.name);
  AddString(object, "id", user.id);
  AddString(object, "gId", user.gId);
  AddString(object, "gcId", user.gcId);
  AddString(object, "audioStatus", user.audioStatus);
  AddString(object, "videoStatus", user.videoStatus);
  AddString(object, "platform", user.platform);
  AddString(object, "streamId", user.streamId);
  AddString(object, "uid", user.uid);
  AddString(object, "cid", user.cid);
}

}  // namespace

std::string BuildNativeInvokeScript(const std::string& json) {
  return "nativeInvokeJS(" + json + "); ";
}

CJsEventSender* CJsEventSender::Instance() {
  static CJsEventSender sender;
  return &sender;
}

void CJsEventSender::Send(const std::string& json, bool log) {
  JsEventDelegate* delegate = delegate_.load();
  if (delegate != nullptr && !json.empty()) delegate->OnNativeInvokeJS(json, log);
}

namespace {

// Prints and sends |event| (nothing when it could not be built).
void SendEvent(CJsEventSender* sender, const JsonPtr& event, bool log) {
  if (event) sender->Send(Print(event.get()), log);
}

}  // namespace

#define TV_EVENT_WITH_NUMBER(Method, number, key, log)           \
  void CJsEventSender::Method(int value) {                       \
    JsonPtr event = NewEvent(number);                            \
    if (event) cJSON_AddNumberToObject(event.get(), key, value); \
    SendEvent(this, event, log);                                 \
  }

TV_EVENT_WITH_NUMBER(NotifyDeviceResult, 9, "ret", true)
TV_EVENT_WITH_NUMBER(NotifyGuestListOption, 22, "opt", true)
TV_EVENT_WITH_NUMBER(NotifyConnectionStatus, 28, "status", true)
TV_EVENT_WITH_NUMBER(NotifyInterCutVolume, 31, "value", true)
TV_EVENT_WITH_NUMBER(NotifyViewerOption, 33, "opt", true)
TV_EVENT_WITH_NUMBER(NotifyCpuUsage, 39, "usage", true)

#undef TV_EVENT_WITH_NUMBER

void CJsEventSender::NotifyCloseClicked() { SendEvent(this, NewEvent(8), true); }

void CJsEventSender::NotifySettingsOpened() { SendEvent(this, NewEvent(23), true); }

void CJsEventSender::NotifyEvent37() { SendEvent(this, NewEvent(37), true); }

void CJsEventSender::NotifyJoinGroup(const std::string& gid, const std::string& gcid) {
  JsonPtr event = NewEvent(11);
  if (event) {
    AddString(event.get(), "gid", gid);
    AddString(event.get(), "gcid", gcid);
  }
  SendEvent(this, event, true);
}

int CJsEventSender::NotifyUserList(int first, int count) {
  JsonPtr event = NewEvent(12);
  cJSON* list = event ? cJSON_AddArrayToObject(event.get(), "list") : nullptr;
  int position = 0;
  int total = 0;
  CUserStreamList::Instance()->ForEach([&](const StUserStream& user) {
    ++total;
    if (position >= first + count) return;  // Past the page: only counted.
    if (position >= first && list != nullptr) {
      cJSON* item = cJSON_CreateObject();
      if (item != nullptr) {
        AddUserKeys(item, user);
        cJSON_AddItemToArray(list, item);
      }
    }
    ++position;
  });
  SendEvent(this, event, true);
  return total - position;
}

void CJsEventSender::NotifyUserStream(const StUserStream& user) {
  JsonPtr event = NewEvent(13);
  if (event) AddUserKeys(event.get(), user);
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyUserLeft(const StUserStream& user) {
  JsonPtr event = NewEvent(14);
  if (event) {
    AddString(event.get(), "id", user.id);
    AddString(event.get(), "uid", user.uid);
    AddString(event.get(), "cid", user.cid);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyLoginParams(const std::string& liveId, const std::string& pwd,
                                       const std::string& guestId, const std::string& nickName,
                                       const std::string& thirdPartyId,
                                       const std::string& remarksInfo, bool autoLogin) {
  JsonPtr event = NewEvent(15);
  if (event) {
    AddString(event.get(), "liveId", liveId);
    AddString(event.get(), "pwd", pwd);
    AddString(event.get(), "guestId", guestId);
    AddString(event.get(), "nickName", nickName);
    AddString(event.get(), "thirdPartyId", thirdPartyId);
    AddString(event.get(), "remarksInfo", remarksInfo);
    cJSON_AddBoolToObject(event.get(), "autoLogin", autoLogin ? 1 : 0);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyNetLevel(int level) {
  JsonPtr event = NewEvent(16);
  if (event) AddString(event.get(), "netlevel", std::to_string(level));
  SendEvent(this, event, false);
}

void CJsEventSender::NotifyMediaShare(int mediaShareType, const std::string& uid) {
  JsonPtr event = NewEvent(17);
  if (event) {
    cJSON_AddNumberToObject(event.get(), "mediaShareType", mediaShareType);
    AddString(event.get(), "uid", uid);
  }
  SendEvent(this, event, true);
  if (mediaShareType == 0) {
    JsEventDelegate* delegate = delegate_.load();
    if (delegate != nullptr) delegate->OnShareStopped();
  }
}

std::string CJsEventSender::FormatLayoutValue(float value) {
  char text[32];
  for (int decimals = 2; decimals >= 0; --decimals) {
    const int length = std::snprintf(text, sizeof(text), "%0.*f", decimals, value);
    if (length > 0 && length <= 7) return text;
  }
  return value < 0 ? "-999999" : "9999999";
}

void CJsEventSender::NotifyLayout(const std::vector<StLayoutItem>& items) {
  JsonPtr event = NewEvent(18);
  cJSON* list = event ? cJSON_AddArrayToObject(event.get(), "list") : nullptr;
  for (const StLayoutItem& entry : items) {
    if (list == nullptr) break;
    cJSON* item = cJSON_CreateObject();
    if (item == nullptr) continue;
    cJSON_AddNumberToObject(item, "index", entry.index);
    AddString(item, "isFixed", entry.isFixed ? "true" : "false");
    AddString(item, "hasCamera", entry.hasCamera ? "true" : "false");
    AddString(item, "left", FormatLayoutValue(entry.left));
    AddString(item, "top", FormatLayoutValue(entry.top));
    AddString(item, "width", FormatLayoutValue(entry.width));
    AddString(item, "height", FormatLayoutValue(entry.height));
    AddString(item, "stream_id", entry.stream_id);
    AddString(item, "userName", entry.userName);
    AddString(item, "userId", entry.userId);
    cJSON_AddItemToArray(list, item);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyLayoutData(const std::string& data) {
  JsonPtr event = NewEvent(19);
  if (event) AddString(event.get(), "data", data);
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyWindowZoomed(bool restore, int opt) {
  if (restore) {
    JsEventDelegate* delegate = delegate_.load();
    if (delegate != nullptr) delegate->RestoreIfNotMaximized();
  }
  JsonPtr event = NewEvent(20);
  if (event) cJSON_AddNumberToObject(event.get(), "opt", opt);
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyPushStreamAdded(const StPushStreamInfo& info) {
  JsonPtr event = NewEvent(21);
  if (event) {
    AddString(event.get(), "url", UnicodeToUtf8(info.push_url));
    AddString(event.get(), "platform", UnicodeToUtf8(info.platform_name));
    cJSON_AddNumberToObject(event.get(), "width", info.width);
    cJSON_AddNumberToObject(event.get(), "height", info.height);
    if (!info.stream_id.empty()) AddString(event.get(), "streamId", info.stream_id);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyPushStreamState(int opt, const std::string& streamId) {
  JsonPtr event = NewEvent(24);
  if (event) {
    cJSON_AddNumberToObject(event.get(), "opt", opt);
    if (!streamId.empty()) AddString(event.get(), "streamId", streamId);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyStatus(const std::wstring& msg, int status) {
  JsonPtr event = NewEvent(25);
  if (event) {
    AddString(event.get(), "msg", UnicodeToUtf8(msg));
    cJSON_AddNumberToObject(event.get(), "status", status);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyLeaveRoom(int reason, const std::string& origin, bool deferred) {
  JsEventDelegate* delegate = delegate_.load();
  if (delegate != nullptr) delegate->DeferExitNotify(reason, origin, deferred);
  if (deferred) return;
  JsonPtr event = NewEvent(27);
  if (event) {
    cJSON_AddNumberToObject(event.get(), "reason", reason);
    AddString(event.get(), "origin", origin);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyCopyDataShow(bool show) {
  // A number (1 or 0), as the page expects it; not a JSON boolean.
  JsonPtr event = NewEvent(29);
  if (event) cJSON_AddNumberToObject(event.get(), "show", show ? 1 : 0);
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyWebLog(const std::string& text) {
  JsonPtr event = NewEvent(30);
  if (event) AddString(event.get(), "text", text);
  SendEvent(this, event, false);
}

void CJsEventSender::NotifyLanguageChanged(const std::string& value) {
  JsonPtr event = NewEvent(32);
  if (event) AddString(event.get(), "value", value);
  SendEvent(this, event, false);
}

void CJsEventSender::NotifyLocalFileAdded(const std::string& url, const std::string& md5,
                                          unsigned long long size, int type, int height) {
  JsonPtr event = NewEvent(34);
  if (event) {
    AddString(event.get(), "url", url);
    AddString(event.get(), "md5", md5);
    AddString(event.get(), "size", std::to_string(size));
    cJSON_AddNumberToObject(event.get(), "type", type);
    if (type == 0) cJSON_AddNumberToObject(event.get(), "height", height != 0 ? height : 360);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyLocalPlayback(const std::string& md5, int status, int totaltimes,
                                         int curtime) {
  JsonPtr event = NewEvent(35);
  if (event) {
    AddString(event.get(), "md5", md5);
    cJSON_AddNumberToObject(event.get(), "status", status);
    cJSON_AddNumberToObject(event.get(), "totaltimes", totaltimes);
    cJSON_AddNumberToObject(event.get(), "curtime", curtime);
  }
  SendEvent(this, event, false);
}

void CJsEventSender::NotifyDocConverted(const LocalDocumentInfo& doc) {
  JsonPtr event = NewEvent(36);
  if (event) {
    AddString(event.get(), "md5", doc.md5);
    cJSON_AddNumberToObject(event.get(), "status", doc.status);
    cJSON_AddNumberToObject(event.get(), "totalpage", doc.totalpage);
    cJSON_AddNumberToObject(event.get(), "curpage", doc.curpage);
  }
  SendEvent(this, event, true);
}

void CJsEventSender::NotifyShowState(bool show) {
  JsonPtr event = NewEvent(38);
  if (event) AddString(event.get(), "isShow", show ? "1" : "0");
  SendEvent(this, event, false);
}

std::string CJsEventSender::BuildDocTransArgs(uintptr_t hwnd, const std::string& file,
                                              const std::string& md5, unsigned long pid) {
  JsonPtr args(cJSON_CreateObject());
  if (!args) return std::string();
  AddString(args.get(), "hwnd", std::to_string(static_cast<unsigned long long>(hwnd)));
  AddString(args.get(), "md5", md5);
  AddString(args.get(), "file", file);
  AddString(args.get(), "pid", std::to_string(pid));
  return Print(args.get());
}
