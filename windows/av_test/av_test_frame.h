#pragma once

// CAVTestFrame: the device check the user runs before going live. Four steps, one after the
// other: the video source (a camera, or a picture in its place), the microphone with its level,
// the speaker with a test sound, and the results, where the user chooses whether camera and
// microphone start switched on and then goes live. Each of the first three steps is answered
// with "yes_btn" or "no_btn".
//
// The main window opens it in front of the mask layer:
//   auto* mask = new CMaskLayerFrame(true);
//   mask->Create(mainWindow, L"CMaskLayerFrame", 0x96C80000, 0);
//   auto* test = new CAVTestFrame(mask->GetHWND(), owner);
//   test->Create(mask->GetHWND(), L"AvTestFrame", 0x96C80000, 0);
//   mask->SetCompanion(test->GetHWND());
//   mask->ShowModal();  // both windows have deleted themselves when this returns
//
// It reaches the SDK layer only through the bus (it is one of the layer's device consumers) and
// keeps the choices in the settings record. Closing (however it comes) closes the test devices
// and reopens the broadcast microphone and speaker.
//
// Threads: the window lives on the UI thread. The SDK layer calls OnVideoDevResult and
// OnSpeakerTestEnd on its own threads under its consumer-list lock, and camera frames
// (OnYuvData, OnPreviewFrame) arrive on SDK threads under the bus lock: those calls only post a
// message to the window, or read an atomic flag and push the frame into the preview.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "foundation/dev_consumer.h"
#include "foundation/yuv_image.h"
#include "windows/common/sdk_layer_attachment.h"
#include "windows/common/skin_dialog.h"
#include "windows/shadow/shadow_base_frame.h"

class CVideoRenderUI;
class CVoiceProgressDisplayUI;

class CAVTestFrame : public DevConsumerDelegate, public CSkinDialog, public CShadowBaseFrame {
 public:
  // Private window messages.
  static constexpr UINT kMsgLoadDevices = 0xC4E;  // wParam: the step whose list is refilled
  // What the SDK threads hand over to the window.
  static constexpr UINT kMsgVideoDevResult = 0xC50;  // wParam ok, lParam heap std::string*
  static constexpr UINT kMsgSpeakerTestEnd = 0xC51;
  // Posted to the mask layer: wParam 1 the video selectors are usable, 0 locked.
  static constexpr UINT kMsgSelectorsToMask = 0xD18;
  // The microphone level timer.
  static constexpr UINT_PTR kTimerMicLevel = 0xCFD;

  enum Step { kVideo = 0, kMic = 1, kSpeaker = 2, kResults = 3 };

  // `maskWindow`: the mask layer (told when the video selectors lock and unlock; closed after
  // "goto_live"); `owner`: the main window's interface, kept and never called. Joins the SDK
  // layer's device consumers and subscribes the camera frames.
  CAVTestFrame(HWND maskWindow, DevConsumerDelegate* owner);
  // Leaves the device consumers and drops the subscription (also done at WM_DESTROY).
  ~CAVTestFrame();

  const wchar_t* GetWindowClassName() const override { return L"CAVTestFrame"; }
  void InitWindow() override;
  void OnFinalMessage(HWND hWnd) override;
  DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
  void Notify(DuiLib::TNotifyUI& msg) override;

  int GetStep() const { return step; }
  // -1 does not work, 0 not answered, 1 works; index by Step (kVideo to kSpeaker).
  int GetResult(int which) const;
  const std::string& GetCameraId() const { return cameraId; }

  // The header cell a step label shows: 0 current step, 1 another step, 2 the device does
  // not work, 3 it works. `result` is the device's result (0 for the results label).
  static int HeaderCell(bool current, int result);
  // The rotation combo's entry for a rotation in degrees, and back.
  static int RotationToItem(int degrees);
  static int ItemToRotation(int item);

  // DevConsumerDelegate.
  void OnVideoDevResult(const std::string& deviceId, bool ok) override;
  void OnPreviewFrame(const unsigned char* data, int size, int width, int height) override;
  bool IsEffectsIdle() override { return DefaultIsEffectsIdle(); }
  bool IsUsingVideoDev(const std::string& deviceId) override;
  int GetCaptureWidth() override;
  int GetCaptureHeight() override;
  void OnSpeakerTestEnd() override;
  std::string GetUpdateServer() override { return DefaultUpdateServer(); }

 protected:
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  DuiLib::CDuiString GetSkinFile() override;

 private:
  // ---- steps, results, closing (av_test_frame.cpp) ----
  void OnWindowInit();
  void OnClick(DuiLib::TNotifyUI& msg);
  void UpdateStepHeader(int current);
  void NextStep(bool ok);
  void ShowTestResults();
  void OnClosing();
  void LeaveSdkLayer();
  void OnYuvData(const StYuvImage& image);
  void OnVideoDevResultOnUi(const std::string& deviceId, bool ok);
  void OnSpeakerTestEndOnUi();
  void SyncPreviewShown();

  // ---- devices, video source, pictures, sound (av_test_devices.cpp) ----
  void Init_dev_list(bool camera, bool mic, bool speaker);
  void OnSelectItem(DuiLib::TNotifyUI& msg);
  void OnSelectChange(DuiLib::TNotifyUI& msg);
  void OnCameraChosen(DuiLib::CControlUI* item);
  void EnableVideoSelectors(bool on);
  void ShowVideoSource(bool camera);
  void OnSelectPicture();
  void OnResetDef();
  // "pic_default_btn" is usable unless the default picture is the configured one.
  void UpdateDefaultPictureButton();
  int PreviewPicture(bool show = true);
  void StartSpeakerTest();
  void StopSpeakerWait();
  void OnMicLevelTimer();

  template <class T>
  T* Find(const wchar_t* name, const wchar_t* kind) {
    return FindAs<T>(name, kind);
  }

  int step = kVideo;
  int cameraResult = 0;
  int micResult = 0;
  int speakerResult = 0;
  HWND maskWindow;
  bool speakerTesting = false;
  std::string cameraId;
  std::vector<stDev_Info> cameras;
  CVideoRenderUI* preview = nullptr;
  DevConsumerDelegate* owner;
  CVoiceProgressDisplayUI* levelMeter = nullptr;

  // The window for posts from other threads; null from WM_DESTROY on.
  std::atomic<HWND> postTarget{nullptr};
  // The preview is visible: camera frames are pushed.
  std::atomic<bool> previewShown{false};
  // Its place among the SDK layer's consumers and its bus subscriptions (left at WM_DESTROY or
  // in the destructor).
  SdkLayerAttachment sdkLayer;
  // The canvas has been set up (at "windowinit" or when the render window appears).
  bool canvasReady = false;
  // The closing steps have run (they run once, however many close requests come).
  bool closed = false;
};
