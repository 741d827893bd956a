#pragma once

// CSettingFrame: the client's modal settings window. Five pages chosen by the options on its
// left: function settings, push streams (host only), video, audio and "about". It reaches the
// SDK layer only through the bus (it is one of the layer's device consumers) and keeps the
// user's choices in the settings record; the main window saves them when the window closes.
//
//   auto* frame = new CSettingFrame(owner, role, startPage);
//   frame->Create(mainWindow, L"SettingFrame", 0x96C80000, 0);
//   UINT result = frame->ShowModal();  // the frame has deleted itself when this returns
//
// Modal result: 0 closed, 1 the user agreed to update (the owner's updater has been started),
// 2 the advanced video settings were asked for.
//
// Threads: the window lives on the UI thread. The SDK layer calls OnVideoDevResult and
// OnSpeakerTestEnd on its own threads under its consumer-list lock, and the camera frames
// (OnYuvData, OnPreviewFrame) arrive on SDK threads under the bus lock: those calls only post
// a message to the window, or read atomic flags and push the frame into the preview. The
// update check runs on a thread of its own with its own state (version_check.h).

#include <windows.h>
#include <objbase.h>
#include <commdlg.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/app_config.h"
#include "foundation/dev_consumer.h"
#include "foundation/video_tools_delegate.h"
#include "foundation/yuv_image.h"
#include "windows/common/sdk_layer_attachment.h"
#include "windows/common/skin_dialog.h"
#include "windows/shadow/shadow_base_frame.h"

class CVideoRenderUI;
class CVoiceProgressDisplayUI;
class CVersionCheck;

class CSettingFrame : public DevConsumerDelegate,
                      public CSkinDialog,
                      public VideoToolsDelegate,
                      public CShadowBaseFrame {
 public:
  // Private window messages.
  static constexpr UINT kMsgLoadDevices = 3150;   // (0, 1) video mode, else device lists
  static constexpr UINT kMsgVersionResult = 3155;  // wParam 0 answered, 1 failed
  // What the SDK threads hand over to the window.
  static constexpr UINT kMsgVideoDevResult = 3160;  // wParam ok, lParam heap std::string*
  static constexpr UINT kMsgSpeakerTestEnd = 3161;
  // Timers.
  static constexpr UINT_PTR kTimerMicTip = 3151;
  static constexpr UINT_PTR kTimerMicLevel = 3152;
  static constexpr UINT_PTR kTimerSpeakerTip = 3153;
  static constexpr UINT_PTR kTimerSpeakerLevel = 3154;
  static constexpr UINT_PTR kTimerStartPage = 3156;

  enum Result : UINT { kClosed = 0, kUpdate = 1, kBeauty = 2 };

  // `owner`: the main window's interface (not owned); `role` 1 marks the host; `startPage` 0
  // opens the function page, 3 the audio page, any other value the video page. Joins the SDK
  // layer's device consumers and subscribes the camera frames and device removals.
  CSettingFrame(DevConsumerDelegate* owner, int role, int startPage);
  // Leaves the device consumers and drops the subscriptions (also done at WM_DESTROY).
  ~CSettingFrame();

  const wchar_t* GetWindowClassName() const override { return L"CSettingFrame"; }
  void InitWindow() override;
  void OnFinalMessage(HWND hWnd) override;
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Closes the window with result 0 (the page asked to close the settings).
  void CloseFrame();
  // The push-stream list of the settings record, shown anew; then UpdatePushStreamState.
  void LoadPushStreamList();
  // Enables the push-stream controls by the push permission and the list.
  void UpdatePushStreamState();
  // The beauty settings window closed: the camera list, sizes and tools are shown anew.
  void RefreshVideoPage();

  // DevConsumerDelegate.
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char* data, int size, int width, int height) override;
  bool IsEffectsIdle() override { return DefaultIsEffectsIdle(); }
  bool IsUsingVideoDev(const std::string& deviceId) override;
  int GetCaptureWidth() override;
  int GetCaptureHeight() override;
  void OnSpeakerTestEnd() override;
  std::string GetUpdateServer() override { return DefaultUpdateServer(); }

  // VideoToolsDelegate.
  void OnVideo_Rotate(bool clockwise) override;
  void OnVideo_Flip(bool flipped) override;
  void OnVideo_Mirror(bool mirrored) override;
  void OnVideo_StartPick(bool) override {}
  void OnVideo_PickColor(uint32_t) override {}

  // Replaceable system calls, so that tests can drive the window without system dialogs.
  // Null restores GetOpenFileNameW / ShellExecuteW. The open-file dialog is the one of
  // windows/common/file_dialog.h, which the beauty settings window uses too.
  using FileDialogFunc = std::function<BOOL(OPENFILENAMEW*)>;
  using ShellOpenFunc = std::function<void(HWND, const std::wstring& url)>;
  static void SetFileDialogFunc(FileDialogFunc func);
  static void SetShellOpenFunc(ShellOpenFunc func);

  // Which list entry an unplugged device is: entries with an empty identifier never match;
  // an identifier equal to `deviceText` first, else the first identifier that occurs in it
  // (Core Audio and the SDK spell identifiers differently). -1 when none matches.
  static int FindUnpluggedEntry(const std::wstring* ids, int count, const std::wstring& deviceText);

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  DuiLib::CDuiString GetSkinFile() override;

 private:
  // ---- frame (setting_frame.cpp) ----
  void OnWindowInit();
  void OnSelectChanged(DuiLib::TNotifyUI& msg);
  void OnClickButton(DuiLib::TNotifyUI& msg);
  void SelectPage(int index);
  void InitLanguageCombo();
  void OnLanguageSelected(int index);
  void ShowBranding(bool show);
  void StartVersionCheck();
  void OnVersionResult(WPARAM failed);
  void OnTimer(UINT_PTR id);
  void OnClosing();
  void OnDestroyWindow();
  void LeaveSdkLayer();
  void OnYuvData(const StYuvImage& image);
  void OnVideoDevResultOnUi(const std::string& deviceId, bool ok);
  void SyncPreviewShown();
  template <class T>
  T* Find(const wchar_t* name, const wchar_t* kind) {
    return FindAs<T>(name, kind);
  }

  // ---- video and audio pages (setting_device_pages.cpp) ----
  void LoadDeviceLists(bool video, bool audio, bool fireEvents);
  void LoadResolutionCombo(const std::string& deviceId, bool quiet);
  void SetVideoControlsEnabled(bool on);
  void OnSelectItem(DuiLib::TNotifyUI& msg);
  void OnModeSelected(int index);
  void OnCameraSelected();
  void OnResolutionSelected(int index);
  void OnDevHotPlug(bool isMic, const std::string& deviceText);
  void StartMicTest();
  void StartSpeakerTest();
  void StopAudioTest(bool mic);
  void SetTestIndicators(bool on, bool mic, bool tipOnly);
  void ShowDefaultPicture(bool reset);
  void OnUploadPicture();
  int PreviewPicture();
  void OnRenderCreate();
  void OnSpeakerVolumeChanged(DuiLib::TNotifyUI& msg);
  void ThemeCombo(const wchar_t* name, bool usable = true);

  // ---- push-stream page (setting_push_page.cpp) ----
  void AddPushStreamItem(const StPushStreamInfo& record);
  void ShowAddPushStreamAddressFrame(int index, const StPushStreamInfo* record);
  void PushStreamAction(DuiLib::CControlUI* item, bool start);
  // The row of the item that `button` belongs to, or -1.
  int RowOfButton(DuiLib::CControlUI* button) const;
  bool OnPushStreamClick(const DuiLib::CDuiString& name, DuiLib::CControlUI* sender);

  DuiLib::CTabLayoutUI* mainTab = nullptr;
  DuiLib::CTabLayoutUI* pushTab = nullptr;
  DuiLib::CListUI* pushList = nullptr;
  CVoiceProgressDisplayUI* micMeter = nullptr;
  CVoiceProgressDisplayUI* speakerMeter = nullptr;
  CVideoRenderUI* preview = nullptr;
  DevConsumerDelegate* owner;
  int itemCounter = 0;
  int role;
  int startPage;
  bool micTesting = false;
  bool speakerTesting = false;
  std::atomic<bool> previewPaused{false};
  std::string selectedCameraId;
  int version[4] = {0, 0, 0, 0};
  int updateStatus = 0;
  unsigned checkThreadId = 0;

  // The window for posts from other threads; null from WM_DESTROY on.
  std::atomic<HWND> postTarget{nullptr};
  // The preview is shown and not paused: camera frames are pushed.
  std::atomic<bool> previewShown{false};
  // Its place among the SDK layer's consumers and its bus subscriptions (left at WM_DESTROY or
  // in the destructor).
  SdkLayerAttachment sdkLayer;
  std::shared_ptr<CVersionCheck> versionCheck;
};
