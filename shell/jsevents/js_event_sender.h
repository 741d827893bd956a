#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "shell/jsevents/layout_item.h"
#include "shell/registry/local_file_list.h"
#include "shell/registry/user_stream_list.h"

// What the page events need of the main window. The main window implements it and installs
// itself with CJsEventSender::SetDelegate. Its operations are called on the sender's calling
// thread, which may be any thread: OnNativeInvokeJS must hand the script to the browser control
// without touching windows (CCefWebBrowserUI::ExecJs queues it to the UI thread). A call that
// has loaded the delegate may still be running when SetDelegate replaces it, so a delegate
// object must outlive every sender call (the main window lives until the process ends), and
// what it forwards to (the browser control) must stay valid or be checked by the delegate.
class JsEventDelegate {
 public:
  // Runs BuildNativeInvokeScript(json) in the page; logs the json when |log| is true.
  virtual void OnNativeInvokeJS(const std::string& json, bool log) = 0;
  // Event 27 goes here first; the main window decides whether to tell the page later.
  virtual void DeferExitNotify(int reason, const std::string& origin, bool deferred) = 0;
  // After event 17 with media share type 0: the share has stopped.
  virtual void OnShareStopped() = 0;
  // Before event 20 when a restore is asked: restores the main window unless it is maximised.
  virtual void RestoreIfNotMaximized() = 0;

 protected:
  ~JsEventDelegate() = default;
};

// "nativeInvokeJS(" + json + "); ": the script that hands one event to the page.
std::string BuildNativeInvokeScript(const std::string& json);

// CJsEventSender: builds the numbered JSON events for the web page, one operation per event.
// Each event is one JSON object whose first key is "event"; texts are UTF-8 and whole numbers
// print without fraction. The printed text goes to the delegate's OnNativeInvokeJS.
//
// Threads: any thread may call any operation; each call builds and frees its own objects. The
// sender keeps only the delegate pointer (atomic). Without a delegate, events are dropped.
class CJsEventSender {
 public:
  static CJsEventSender* Instance();

  CJsEventSender() = default;
  CJsEventSender(const CJsEventSender&) = delete;
  CJsEventSender& operator=(const CJsEventSender&) = delete;

  void SetDelegate(JsEventDelegate* delegate) { delegate_.store(delegate); }
  JsEventDelegate* GetDelegate() const { return delegate_.load(); }

  void Send(const std::string& json, bool log);

  void NotifyCloseClicked();                                              // 8
  void NotifyDeviceResult(int ret);                                       // 9
  void NotifyJoinGroup(const std::string& gid, const std::string& gcid);  // 11
  // Sends the registry's users at positions [first, first + count) in id order (event 12, also
  // when empty) and returns how many users lie after the last position taken.
  int NotifyUserList(int first, int count);         // 12
  void NotifyUserStream(const StUserStream& user);  // 13
  void NotifyUserLeft(const StUserStream& user);    // 14
  void NotifyLoginParams(const std::string& liveId, const std::string& pwd,
                         const std::string& guestId, const std::string& nickName,
                         const std::string& thirdPartyId, const std::string& remarksInfo,
                         bool autoLogin);                                      // 15
  void NotifyNetLevel(int level);                                              // 16
  void NotifyMediaShare(int mediaShareType, const std::string& uid);           // 17
  void NotifyLayout(const std::vector<StLayoutItem>& items);                   // 18
  void NotifyLayoutData(const std::string& data);                              // 19
  void NotifyWindowZoomed(bool restore, int opt);                              // 20
  void NotifyPushStreamAdded(const StPushStreamInfo& info);                    // 21
  void NotifyGuestListOption(int opt);                                         // 22
  void NotifySettingsOpened();                                                 // 23
  void NotifyPushStreamState(int opt, const std::string& streamId);            // 24
  void NotifyStatus(const std::wstring& msg, int status);                      // 25
  void NotifyLeaveRoom(int reason, const std::string& origin, bool deferred);  // 27
  void NotifyConnectionStatus(int status);                                     // 28
  void NotifyCopyDataShow(bool show);                                          // 29
  void NotifyWebLog(const std::string& text);                                  // 30
  void NotifyInterCutVolume(int value);                                        // 31
  void NotifyLanguageChanged(const std::string& value);                        // 32
  void NotifyViewerOption(int opt);                                            // 33
  void NotifyLocalFileAdded(const std::string& url, const std::string& md5, unsigned long long size,
                            int type, int height);  // 34
  void NotifyLocalPlayback(const std::string& md5, int status, int totaltimes,
                           int curtime);                  // 35
  void NotifyDocConverted(const LocalDocumentInfo& doc);  // 36
  void NotifyEvent37();                                   // 37
  void NotifyShowState(bool show);                        // 38
  void NotifyCpuUsage(int usage);                         // 39

  // The document converter's argument (no "event" key); returned, not sent.
  static std::string BuildDocTransArgs(uintptr_t hwnd, const std::string& file,
                                       const std::string& md5, unsigned long pid);

  // A layout value as event 18 writes it: "%0.2f" in at most 7 characters; values that need
  // more keep fewer decimals, and values beyond 7 digits are clamped to "9999999"/"-999999".
  static std::string FormatLayoutValue(float value);

 private:
  std::atomic<JsEventDelegate*> delegate_{nullptr};
};
