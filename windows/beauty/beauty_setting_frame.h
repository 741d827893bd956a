#pragma once

// CBeautySettingFrame: the modal window in which the user chooses the camera, watches its
// preview, sets the six face-beauty levels and chooses a background effect (none, blur, a
// built-in or own picture or video, green-screen keying on a colour picked from the preview).
// It edits a working copy of the settings record; every change is stored into the process-wide
// record and published to the SDK layer at once (ApplyBeauty), so there is no save step.
//
//   auto* frame = new CBeautySettingFrame(owner);
//   frame->Create(mainWindow, L"BeautySettingFrame", 0x96C80000, 0);
//   frame->ShowModal();  // the frame has deleted itself when this returns
//
// Threads: the window lives on the UI thread. The SDK layer calls OnVideoDevResult,
// IsUsingVideoDev and OnPreviewFrame on its own threads (under its consumer-list lock), and the
// camera frames of "event/id/ui/yuv/data/s" arrive on SDK threads under the bus lock: those
// calls post a message, read a guarded copy of the camera identifier, or push the frame into
// the preview. The window leaves the SDK layer at WM_DESTROY, before its children go.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/dev_consumer.h"
#include "foundation/video_tools_delegate.h"
#include "foundation/yuv_image.h"
#include "windows/common/sdk_layer_attachment.h"
#include "windows/common/skin_dialog.h"
#include "windows/shadow/shadow_base_frame.h"

class CVideoRenderUI;

class CBeautySettingFrame : public DevConsumerDelegate,
                            public CSkinDialog,
                            public VideoToolsDelegate,
                            public CShadowBaseFrame {
 public:
  // The one-shot timer that fills the camera list and the background page after "windowinit".
  static constexpr UINT_PTR kTimerFirstLoad = 0xD75;
  // OnVideoDevResult handed to the UI thread: wParam ok.
  static constexpr UINT kMsgVideoDevResult = 0xD76;
  // Custom materials offered at most.
  static constexpr int kMaxCustomMaterials = 10;
  static constexpr unsigned long long kMaxVideoBytes = 524288000ull;  // 500 MiB
  static constexpr unsigned long long kMaxPictureBytes = 2097152ull;  // 2 MiB

  // `owner`: the main window's interface (kept, not owned). Joins the SDK layer's device
  // consumers and subscribes the camera frames and device removals.
  explicit CBeautySettingFrame(DevConsumerDelegate* owner);
  // Leaves the device consumers and drops the subscriptions (also done at WM_DESTROY).
  ~CBeautySettingFrame();

  const wchar_t* GetWindowClassName() const override { return L"CBeautySettingFrame"; }
  void InitWindow() override;
  void OnFinalMessage(HWND hWnd) override;
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Stores the working copy into the process-wide record and publishes its beauty block on
  // "event/id/ui/set/beauty/dev/s" with the camera identifier and true.
  void ApplyBeauty();

  // The working copy (UI thread).
  const StAppConfig& Working() const { return working; }
  CVideoRenderUI* Preview() const { return preview; }

  // DevConsumerDelegate.
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char* data, int size, int width, int height) override;
  bool IsEffectsIdle() override { return !picking; }
  bool IsUsingVideoDev(const std::string& deviceId) override;
  int GetCaptureWidth() override { return captureWidth; }
  int GetCaptureHeight() override { return captureHeight; }

  // VideoToolsDelegate.
  void OnVideo_Rotate(bool clockwise) override;
  void OnVideo_Flip(bool flipped) override;
  void OnVideo_Mirror(bool mirrored) override;
  void OnVideo_StartPick(bool on) override;
  void OnVideo_PickColor(uint32_t colorref) override;

  // Whether a chosen file is a video material: its last four characters, lower-cased, are
  // ".mp4" or ".flv".
  static bool IsVideoMaterial(const std::wstring& path);
  // The thumbnail's file name for a video: the part after the last "\" with every "mp4",
  // "MP4", "FLV" and "flv" replaced by "pnm".
  static std::wstring ThumbnailFileName(const std::wstring& path);

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  DuiLib::CDuiString GetSkinFile() override;

 private:
  // ---- frame (beauty_setting_frame.cpp) ----
  void OnWindowInit();
  void OnFirstLoad();
  void OnClick(DuiLib::TNotifyUI& msg);
  void OnItemSelect(DuiLib::TNotifyUI& msg);
  void OnSliderChanged(DuiLib::TNotifyUI& msg);
  void OnHover(DuiLib::TNotifyUI& msg, bool enter);
  void SetSlidersFromRecord(bool skipOverallLabel);
  void LoadCameraList();
  void OnCameraSelected();
  void ChooseCaptureSize(const std::string& deviceId);
  void SetCameraControlsEnabled(bool on);
  void OnDevHotPlug(bool isMic, const std::string& deviceText);
  void OnYuvData(const StYuvImage& image);
  void OnClosing();
  void LeaveSdkLayer();
  void StopPicking();
  void SetUsingCamera(const std::string& id);
  template <class T>
  T* Find(const wchar_t* name, const wchar_t* kind) {
    return FindAs<T>(name, kind);
  }

  // ---- background page (beauty_background_page.cpp) ----
  void OnBackgroundSelect(DuiLib::TNotifyUI& msg);
  void ResetBackgroundKeying();
  void InitBackgroundPage();
  void ImportCustomMaterial();
  bool CreateCustomTile(const std::wstring& path, bool isVideo, bool quiet);
  void RemoveCustomMaterial(DuiLib::CControlUI* closeButton);
  void UpdateAddButton();
  std::wstring MakeVideoThumbnail(const std::wstring& path, bool quiet);
  void PlaceAddTip();
  void RemoveThumbnails();
  void NotifyRefusal(const wchar_t* textId);

  DevConsumerDelegate* owner;
  DuiLib::CTabLayoutUI* beautyTab = nullptr;
  DuiLib::CTileLayoutUI* tileLayout = nullptr;  // "window_Layout"
  StAppConfig working;
  CVideoRenderUI* preview = nullptr;
  int customTileCounter = 0;
  std::atomic<bool> picking{false};
  // Thumbnails this window wrote into the temporary folder; removed when it closes.
  std::vector<std::wstring> thumbnails;

  // The window for posts from other threads; null from WM_DESTROY on.
  std::atomic<HWND> postTarget{nullptr};
  // The preview shows: camera frames of the bus are pushed.
  std::atomic<bool> previewShown{false};
  // What the SDK threads read: the working copy's camera and capture size.
  std::mutex usingLock;
  std::string usingCameraId;  // Guarded by usingLock.
  std::atomic<int> captureWidth{1280};
  std::atomic<int> captureHeight{720};
  // Its place among the SDK layer's consumers and its bus subscriptions (left at WM_DESTROY or
  // in the destructor).
  SdkLayerAttachment sdkLayer;
};
