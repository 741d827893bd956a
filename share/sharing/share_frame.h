#pragma once

// CShareFrame: the share window. The user chooses the full screen ("option_desk"), an area
// ("option_window", marked by the area frame) or one application window from a list of
// thumbnails; the owner (ShareDelegate) is asked to start, and then calls StartShare and
// StopShare. While a share runs, the canvas engine pulls every frame of the share canvas
// "CANVAS_AS" from this window (gsDsCaptureSink), which paints the screen, the area or the
// application's window into it; the composed frames go to the owner's frame-out sink. The
// window owns the annotation panel, the share toolbar (with the palette), the area frame and
// the window capture, and relays the annotation choices (AnnoDelegate).
//
// Closing the window (WM_CLOSE) stops and releases the share canvas first (the engine never
// calls a closed window; the next share window creates "CANVAS_AS" again), then the capture,
// the toolbar, the area frame and the panel.
//
// Threads: everything runs on the UI thread except OnCaptureFrame, which runs on the canvas
// engine's thread. It reads the mode, the sharing flag and the chosen window (atomics), and
// the panel's size and the area (copies those windows keep under their own locks); the window
// capture guards itself. Stopping the canvas waits for a pull in progress.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/duilib/UIlib.h"
#include "platform/trastor/trastor.h"
#include "share/anno/as_anno_panel.h"
#include "share/area/region_indicator.h"
#include "share/capture/win_capture.h"
#include "share/share_delegate.h"
#include "share/sharing/share_tools_frame.h"

class CShareFrame : public DuiLib::WindowImplBase,
                    public AnnoDelegate,
                    public gsDsCaptureSink,
                    public IWinCaptureSink {
 public:
  enum Mode { kModeNone = 5, kModeDesk = 0, kModeArea = 1, kModeApp = 3 };
  // Full-screen frames leave out this much of every edge (the panel's border).
  static constexpr int kDeskInset = 8;
  // The picture while the shared application is closed or minimised.
  static constexpr int kGoneWidth = 640;
  static constexpr int kGoneHeight = 360;

  struct AppEntry {
    HWND window;
    HICON icon;
    wchar_t title[512];
  };

  // `owner` and `frame_out` are not owned and must outlive the window.
  CShareFrame(ShareDelegate* owner, gsVideoFrameOutSink* frame_out);
  ~CShareFrame() override;
  const wchar_t* GetWindowClassName() const override { return L"CShareFrame"; }

  void RefreshWindowList();
  bool IsSharing() const { return m_bSharing.load(); }
  void StartShare();
  void StopShare();
  void UpdateShareTitle();
  void SetUnreadChatCount(int count);

  // AnnoDelegate.
  void SetColor(std::uint32_t argb) override;
  void SetPenSize(int width) override;
  void SetShape(int shape) override;
  void SetAnniPos() override;

  // gsDsCaptureSink: paints one frame of the share; always true.
  bool OnCaptureFrame(TrastorSource* source, HDC dc, int width, int height) override;
  // IWinCaptureSink: nothing drawn over captured windows.
  void OnWinCaptureDraw(HDC, int, int, int, int) override {}

  int GetMode() const { return m_nMode.load(); }
  HWND GetChosenWindow() const { return m_hChosen.load(); }
  const std::wstring& GetChosenProgram() const { return m_sChosenProgram; }
  const std::map<HWND, AppEntry>& GetAppList() const { return m_apps; }
  CAsAnnoPanel* GetAnnoPanel() const { return m_pAnnoPanel.get(); }
  CShareToolsFrame* GetToolsFrame() const { return m_pTools.get(); }
  CRegionIndicator* GetAreaFrame() const { return m_pArea.get(); }
  TrastorCanvas* GetCanvas() const { return m_pCanvas; }

  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override;
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
  UINT GetResourceID() const override;
  LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  void SetUpCanvas();
  // Stops the canvas (waiting for a pull in progress) and the capture, then gives the canvas
  // back to the engine.
  void ReleaseCanvas();
  // Releases the canvas, then the toolbar, the area frame and the panel.
  void CloseParts();
  void Highlight(int n);
  void ShowToolbar();
  // Puts the toolbar and its palette back in front of the annotation panel.
  void KeepToolsInFront();
  std::wstring ShareTitle() const;
  void ChooseApp(const DuiLib::CDuiString& name, DuiLib::CControlUI* item);

  // Frame painting by mode, on the engine thread.
  void PaintDesk(HDC dc);
  void PaintArea(HDC dc);
  void PaintApp(HDC dc, int width, int height);
  // Sets the canvas and source size when it differs and both sides are at least 1.
  void FollowSize(int width, int height);
  void CopyScreen(HDC dc, int left, int top, int width, int height);

  DuiLib::COptionUI* m_pOptDesk = nullptr;
  DuiLib::COptionUI* m_pOptWindow = nullptr;
  DuiLib::COptionUI* m_pShareAudio = nullptr;
  DuiLib::CContainerUI* m_pWindowLayout = nullptr;
  std::map<HWND, AppEntry> m_apps;
  std::atomic<int> m_nMode{kModeNone};
  std::atomic<HWND> m_hChosen{nullptr};
  std::vector<HWND> m_sharedWindows;
  std::wstring m_sChosenTitle;
  std::wstring m_sChosenProgram;
  int m_nUnread = 0;
  std::unique_ptr<CAsAnnoPanel> m_pAnnoPanel;
  std::unique_ptr<CShareToolsFrame> m_pTools;
  std::unique_ptr<CRegionIndicator> m_pArea;
  ShareDelegate* m_pOwner;
  gsVideoFrameOutSink* m_pFrameOut;
  std::atomic<bool> m_bSharing{false};
  TrastorCanvas* m_pCanvas = nullptr;
  std::atomic<TrastorSource*> m_pSource{nullptr};
  CWinCapture m_capture;
  int m_nAreaMonitor = -1;
};
