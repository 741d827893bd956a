#pragma once

// CMainFrame: the client's main window. A layout window that hosts the web page (the real user
// interface) in a browser control, owns the real-time SDK layer, receives that layer's reports
// (DevConsumerDelegate), hands the page its numbered events (JsEventDelegate) and keeps the
// state that the page bridge, the timers and the private messages share.
//
// One object per process (Singleton<CMainFrame>::Instance()), created by start-up and never
// destroyed before the process ends; its window is created once. Tests make objects of their
// own.
//
// Threads: the window, its timers, its private messages and the browser callbacks run on the UI
// thread. The SDK layer calls the DevConsumerDelegate operations and DeferExitNotify on its own
// threads: each of those posts its work to the UI thread (the hub's UI task queue, which the
// browser library's loop runs through the idle hook) and touches nothing else; the two
// reconnect counts are atomic. OnNativeInvokeJS runs on any thread and reaches the browser
// control under |m_jsLock| only while forwarding is on: the window stops forwarding before the
// SDK layer goes and before the control tree does.
//
// Sharing: the share window (m_pShareFrame) is made, shown and told to start and stop on the UI
// thread; it deletes itself when its window ends, and the main window forgets it then. The
// canvas engine hands the composed share frames to OnVideoFrameOut on its own thread: that only
// sets the atomic frame-arrived flag and forwards the frame to the SDK layer. The share canvas
// is stopped (the share window closed) and the engine freed before the SDK layer goes.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus.h"
#include "foundation/dev_consumer.h"
#include "platform/browser/browser_delegate.h"
#include "platform/duilib/UIlib.h"
#include "platform/trastor/trastor.h"
#include "share/share_delegate.h"
#include "shell/instance/share_cell.h"
#include "shell/invitation/invitation_lookup.h"
#include "shell/jsevents/js_command.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/login/join_info.h"
#include "shell/registry/local_file_list.h"
#include "shell/report/bug_report.h"

class CCefWebBrowserUI;
struct cJSON;
class CSdkInterActive;
class CShareFrame;
class CSettingFrame;
class CBeautySettingFrame;
class CLogSendWaitFrame;
class CLodViewFrame;
class CConfigFile;

// The page's web host (a deployment setting) and the page address made of it:
// "https://" + host + "/cla/pc".
extern const char kDefaultWebHost[];
std::string DefaultPageUrl();
// The update hosts (port 6010): the normal one, and the test one for "test_use" = 1.
extern const char kUpdateHost[];
extern const char kTestUpdateHost[];
// The report service's host (a deployment setting): logs go to "https://" + host + "/traupload",
// the report record to "https://" + host + "/clientapi/apichannel?sc=1".
extern const char kReportHost[];

// One device that went away, as the device reactions hand it on: kind 0 microphone, 2 camera;
// the device identifier and its name (UTF-8).
struct DeviceChangeRecord {
  int kind = 0;
  std::string id;
  std::string name;
};

class CMainFrame : public DuiLib::WindowImplBase,
                   public Browser_UI_Delegate,
                   public ShareDelegate,
                   public DevConsumerDelegate,
                   public gsVideoFrameOutSink,
                   public JsEventDelegate,
                   public IBugReportSink {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // ---- start-up ----
  // Keeps |command| as the start link when it has at least 10 characters.
  void SetStartupCommand(const std::string& command);
  // The updater asks the client to end (any thread): on the UI thread |before_close| runs (start-up
  // closes the instance mutex there), then the browser is closed; the close handshake ends the
  // window and the loop. Without a usable browser the window is closed at once.
  void EndClient(std::function<void()> before_close);

  // ---- WindowImplBase ----
  const wchar_t* GetWindowClassName() const override { return L"CMainFrame"; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;

  // ---- Browser_UI_Delegate (UI thread) ----
  void OnBrowserCreated(int browser_id, int host) override;
  void OnBrowserClosing(int browser_id) override;
  void OnBrowserClosed(int browser_id) override;
  void OnSetLoadingState(int browser_id, bool isLoading, bool canGoBack,
                         bool canGoForward) override;
  void OnLoadErrror(int nErrorCode, const wchar_t* error_text, const wchar_t* failed_url) override;
  void OnNavigateNewUrl(int browser_id, const char* url) override;
  bool OnProcessTerminated(int browser_id, int status) override;
  void OnJsMessageCallBack(int browser_id, browser_msg_head head, const char* value,
                           int extra) override;

  // ---- DevConsumerDelegate (the SDK layer's threads; see the class comment) ----
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return false; }
  bool IsUsingVideoDev(const std::string& deviceId) override;
  int GetCaptureWidth() override;
  int GetCaptureHeight() override;
  void OnJoinRoom(int nres, const std::string& roomId) override;
  void OnJoinGroup(const std::string& groupId, const std::string& groupConfId) override;
  void OnPublishSuccess() override;
  void IceReConnectPub(bool bStart) override;
  void IceReConnectSub(bool bStart) override;
  int GetIceReConnectPubCount() override { return m_nIceReConnectPub.load(); }
  int GetIceReConnectSubCount() override { return m_nIceReConnectSub.load(); }
  // The update-required report: false (any thread) posts kMsgUpdateNow; true (UI thread) ends
  // the live session and starts the updater without check.
  void StartUpdater(bool run) override;
  void OnPictureStream(bool on) override;
  // "<host>:6010": the test update host with "test_use", otherwise the update host.
  std::string GetUpdateServer() override;
  void OnVideoDevOpened() override;
  // The SDK layer's share result (any thread): posted as kMsgShareResult, wParam the result,
  // lParam 0 for a stop and 1 for a start.
  void OnShareResult(int nres, bool stopped) override;

  // ---- JsEventDelegate (any thread) ----
  void OnNativeInvokeJS(const std::string& json, bool log) override;
  void DeferExitNotify(int reason, const std::string& origin, bool deferred) override;
  // Also ShareDelegate slot 1 (the share window, UI thread) and the page's share end (event 17
  // type 0, any thread): the frame-arrived flag is cleared at once; the rest runs on the UI
  // thread, posted there from other threads: timer 0xD03 stopped, the SDK layer's share stream
  // stopped, and the share window's share stopped when no share stream is out (none will
  // report its end).
  void OnShareStopped() override;
  void RestoreIfNotMaximized() override;

  // ---- ShareDelegate (the share window, UI thread) ----
  // Start: the flag cleared, timer 0xD03 started (it asks the SDK layer for the share stream
  // once a frame of the share canvas arrived), the share window's share started.
  void OnShareStarted() override;
  // The share window again: its application list refreshed, shown and centred.
  void OnShowShareFrame() override;
  // The local media window's progress, end and start failure: page event 35 with the values.
  void OnLocalPlayback(const std::string& md5, int status, int total_time,
                       int current_time) override;

  // ---- gsVideoFrameOutSink (the canvas engine's thread) ----
  // Frames of the share canvas "CANVAS_AS" go to the SDK layer's share stream; frames of other
  // canvases are ignored.
  void OnVideoFrameOut(TrastorCanvas* canvas, int format, int width, int height,
                       const unsigned char* pixels, int length, int reserved1,
                       int reserved2) override;

  // ---- page side (UI thread) ----
  void InitConfigPath();
  void OnWindowInit();
  void LoadLoginWeb(bool reload);
  void NotifyWebLogin(const std::string& text, bool addressOnly);
  void SendStoredLoginParams();
  // Page request 8: the meeting invitation the user copied becomes login parameters for the
  // page (event 15), or the page hears that it is not usable. The link's redirect address is
  // read on a worker thread; a request that arrives while one is being read is ignored.
  void PasteInvitation();
  void ShowLiveMode(bool live);
  void CloseLive(bool close);
  // Ends the share window (WM_CLOSE: its canvas is released and the object deleted) and this
  // window's use of the canvas engine.
  void CloseShareAndCanvas();
  // The share window (page request 6): made when missing and |show|; a show while it shares
  // does nothing more, a hide while it shares reports the share stopped first; a show refreshes
  // its application list. |unused| is not read.
  void ShowShareFrame(bool show, bool unused = false);

  // ---- child windows and reactions (UI thread) ----
  // The settings window on |page| (modal), unless one is open; the page hears of it (event 23).
  // Its result 2 opens the beauty settings; the configuration is saved afterwards.
  void ShowSettingFrame(int page);
  // The beauty settings (modal, one at a time) in camera mode; in picture mode only page
  // event 25.
  void ShowBeautySettingFrame();
  // The network signal window (modal) over the SDK layer, whose local-media figures start
  // afresh.
  void ShowNetSignalFrame();
  // Sends the logs to the report service ("logbtn"), with the wait window under the main
  // window; the button stays disabled until the upload ends.
  void SendLogToServer();
  // The device test at the start of a live (timer 0xD00): the test window in front of the mask
  // layer (modal); then the configuration is saved, the default picture set when none exists,
  // the configured devices opened, and the language topic subscribed (once).
  void ShowAvTestFrame();
  // The language topic: page event 32 with the language.
  void OnLanguageChanged(std::string& language);
  // Devices that went away: each is logged to the page and published on the hot-plug topic; a
  // configured microphone or camera is muted and forgotten; the publish stream is made again;
  // when a configured device went, and no settings or beauty window is open, the device-lost
  // notice shows (at most once in 2000 ms), and its "open settings" opens the settings on the
  // audio (microphone) or video page.
  void ShowDeviceChange(const std::vector<DeviceChangeRecord>& records);
  // The network quality for the page (timer 0xCFE): a changed level is stored; 0, 1, 2 send
  // page event 16 with "2", "1", "0"; every change is logged to the page.
  void UpdateNetLevel();

  // ---- IBugReportSink (the uploader's thread) ----
  // The upload's end: hides the wait window, enables "logbtn" and tells the page, on the UI
  // thread.
  void OnReportStatus(int status) override;

  // ---- documents and local media from the page (UI thread) ----
  // The page's file pick: |kind| 0 a document, 2 a media file; 1 does nothing; other kinds open
  // the dialog without a filter and ignore the choice. Files over the limits are refused with
  // page event 25 (status 2); a document is registered with the transfer mode the user chose,
  // a media file always; page event 34 announces it.
  void PickLocalFile(int kind);
  // The document transfer dialog for |path| (modal); its result: above 0 the mode, else
  // cancelled.
  virtual int ShowDocTransMode(const std::wstring& path);
  // Starts the converter "Kelvarn.exe" of the program folder for the document |md5| (status 1).
  // A converter that does not start ends the document: page event 36 with status 0, and the
  // document leaves the registry.
  void HandleDocTrans(const std::string& md5);
  // The page cancels the document |md5|: a converter converting it is told (1003), its page
  // folder is deleted and it leaves the registry.
  void CancelDocument(const std::string& md5);
  // The page's local media command (|command|.status 1 play or resume, 2 pause, 3 stop, 4 seek
  // to |command|.pos; other values do nothing) through the local media window and the SDK
  // layer's local-media stream. The page hears page event 35: a failed play or pause as status
  // 0, a pause as 2, a stop as 3; the playback's progress and end come from the window.
  void HandleLodStatus(const LocalMediaInfo& command);

  // ---- page requests (UI thread) ----
  // The second half of a page request: the window work of request |number| with the value
  // its first half took (message kMsgPageRequest).
  virtual void HandleJsCallBack(int number, int value);

  // ---- housekeeping ----
  // Deletes the files older than 30 days from "<roaming application data>\<folder>\logs\".
  static void PruneLogs(const std::string& folderName);
  // True for an id of the document registry's form: exactly 32 lowercase hexadecimal
  // characters.
  static bool IsDocumentId(const std::string& id);
  // Deletes the page folder of a document: the temporary folder + |documentId|. Ids of any other
  // form delete nothing (false).
  static bool RemoveTempFolder(const std::string& documentId);
  // Deletes |path| with its files and folders; false when it cannot be listed. A link (a
  // reparse point) is never entered: at most the link itself is removed.
  static bool DeleteFolderRecursive(const std::wstring& path);

  CSdkInterActive* GetSdk() const { return m_pSdk; }
  CLodViewFrame* GetLodView() const { return m_pLodView; }
  CCefWebBrowserUI* GetBrowser() const { return m_pBrowser; }

 protected:
  // ---- window behaviour ----
  DuiLib::CDuiString GetSkinFolder() override { return DuiLib::CDuiString(); }
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
  UINT GetResourceID() const override;
  LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDpiChanged(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

  // What tests replace: the monitor's DPI (read afresh), the process's processor usage, the
  // zoom hand-over to the browser library.
  virtual double ReadMonitorDpi();
  virtual int SampleCpuUsage();
  virtual void SetBrowserZoom(unsigned browser_id, double ratio);

  // ---- messages, timers and copy-data (UI thread) ----
  void OnTimer(UINT_PTR id);
  // F11: the developer tools window for the page, when the configuration allows it
  // ("dev_tools_enable" 1) and none is open.
  void OpenDevTools();
  void HandleCopyData(WPARAM command, const std::string& text);
  void OnWindowReady();
  void BackToStart();
  void OnPageReadyTick();
  void OnLoginRetryTick();
  void OnReconnectTick(bool publish);
  virtual void StartReconnect(bool publish, bool start);
  void OnCpuUsageTick(bool second);
  // Sharing (main_frame_share.cpp): the share result (0xC4B), timer 0xD03, the end of the
  // share window, and the share stop's UI-thread part.
  void OnShareResultMessage(int result, bool stop);
  void OnShareStartTick();
  void OnShareFrameEnded(CShareFrame* frame);
  void StopShareOnUi();
  bool OnUiThread() const;
  // The report upload: the uploader, the report service's address ("https://" + host), the
  // end of an upload on the UI thread. Virtual so that tests can use their own service.
  virtual IBugReport* ReportUploader();
  virtual std::string ReportServerBase();
  void ApplyReportStatus(int status);
  // The log-send wait window: placed under |main| while it shows; destroyed with the window.
  void PlaceLogSendWait(const RECT& main);
  void DestroyLogSendWait();
  // Device reactions: WM_DEVICECHANGE, the unplugged audio endpoint message (its text is freed
  // here), the lists kept for them, and the clock of the notice's spacing (virtual for tests).
  void OnDeviceChange(WPARAM event, LPARAM lParam);
  void OnEndpointUnplugged(LPARAM lParam);
  void FetchDeviceLists();
  bool ConfiguredDeviceRemoved(bool microphone, DeviceChangeRecord* record);
  virtual std::uint64_t DeviceNoticeClock();
  // The SDK layer's aggregated connection quality (virtual for tests).
  virtual int SampleNetQuality();
  // The converter's messages (copy-data 1002 and 1005) and the pacing timer 0xD05.
  void OnConverterReport(const std::string& text);
  void OnConverterRetry(const std::string& text);
  void OnDocumentPacingTick();
  // Page requests: the first half of request |number| (false: nothing to post), the login
  // request, the queues and the commands that the second half runs.
  bool TakePageRequest(int32_t number, const cJSON* request, int32_t* value);
  bool TakeLoginRequest(const cJSON* request);
  void RunDeviceCommand(int kind);
  void RunPushStreamQueue();
  void RunDocumentCommand();
  void ShowLogo(bool show);
  void ChangeRole(int role);
  // Opens a web address that requests 13 and 24 checked (virtual: tests record it instead).
  virtual void OpenWebAddress(const std::string& url);
  void BindControls();
  void SetWindowIcons();
  void ToggleMaxRestore();
  // The join result and the group join, on the UI thread.
  // Virtual so that tests can see on which thread they run.
  virtual void OnJoinResult(int result, const std::string& roomId);
  virtual void OnGroupJoined(const std::string& gid, const std::string& gcid);
  virtual void ApplyDeferExit(int reason, const std::string& origin, bool deferred);
  // Runs |work| on the UI thread later (any thread); dropped once this object is gone.
  void PostToUi(std::function<void()> work);
  // Stops page events reaching the browser control (waits for one in progress).
  void StopForwarding();
  void DestroySdk();
  // The local media window: made hidden on first use, given the SDK layer and handed to it.
  // Null when its window cannot be made.
  CLodViewFrame* LocalMediaWindow();
  // Takes the window away from the SDK layer, then destroys it (before the SDK layer goes).
  void DestroyLodView();
  void ApplyOrangeRestyle();

  // ---- fields, in the order of the class's record ----
  bool m_bLoadError = false;
  bool m_bPagePending = true;
  bool m_bLiveMode = false;
  bool m_bAutoLogin = true;
  bool m_bTestUse = false;
  bool m_bPickingFile = false;
  int m_nLoginRetry = 0;
  int m_nNetLevel = -1;
  std::atomic<int> m_nIceReConnectPub{0};
  std::atomic<int> m_nIceReConnectSub{0};
  std::string m_strConfigPath;
  std::string m_strStartupCommand;
  std::string m_strRoomId;
  std::string m_strExitOrigin;
  std::string m_strPageUrl;
  StJoinInfo m_joinInfo;
  LocalMediaInfo m_mediaInfo;
  LocalDocumentInfo m_docInfo;
  std::deque<StJsCommand> m_jsCommands;
  std::deque<StJsPushStreamCommand> m_pushResults;
  std::deque<StJsMediaCommand> m_mediaShares;
  std::vector<stDev_Info> m_cameraList;
  std::vector<stDev_Info> m_micList;
  CxShareCell m_shareCell;
  CCefWebBrowserUI* m_pBrowser = nullptr;
  DuiLib::CTabLayoutUI* m_pTabLayout = nullptr;
  DuiLib::CControlUI* m_pMaxBtn = nullptr;
  DuiLib::CControlUI* m_pRestoreBtn = nullptr;
  CShareFrame* m_pShareFrame = nullptr;
  CSettingFrame* m_pSettingFrame = nullptr;
  CBeautySettingFrame* m_pBeautyFrame = nullptr;
  CLogSendWaitFrame* m_pLogSendWait = nullptr;
  CLodViewFrame* m_pLodView = nullptr;
  CSdkInterActive* m_pSdk = nullptr;
  CxSubscriptionList m_subscriptions;
  std::atomic<bool> m_bShareFrameArrived{false};
  HWND m_hConverterWnd = nullptr;

  // Not in the record: the page-event gate, the processor sample kept between the two ticks,
  // and the token that posted UI work checks.
  std::mutex m_jsLock;  // Held while an event is handed to the browser control.
  bool m_bForwardJs = true;  // Under |m_jsLock|.
  int m_nFirstCpuSample = 0;
  bool m_bDocPacing = false;  // Timer kTimerDocPacing has been started.
  std::uint64_t m_nLastDeviceNotice = 0;  // When the device-lost notice last showed.
  bool m_bCanvasEngineLoaded = false;  // This window counts as a user of the canvas engine.
  std::unique_ptr<CConfigFile> m_config;  // "config.ini" at |m_strConfigPath|.
  CInvitationLookup m_invitation;  // The pasted invitation's link being read (UI thread).
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
