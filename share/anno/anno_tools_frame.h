#pragma once

// CAnnoToolsFrame: the annotation palette (layout "anno_tools.xml"): eight colours, five pen
// widths and the two drawing tools (pen, rectangle). Each choice goes to the AnnoDelegate. It
// shows under the share toolbar while the pointer is on the toolbar's pen button and hides
// 400 ms after the pointer leaves, unless the pointer is on the palette then. UI thread only.

#include <windows.h>

#include <cstdint>

#include "platform/duilib/UIlib.h"
#include "share/share_delegate.h"

class CAnnoToolsFrame : public DuiLib::WindowImplBase {
 public:
  static constexpr UINT_PTR kHideTimer = 0xC48;
  static constexpr UINT kHideDelayMs = 400;
  static constexpr UINT kHideRetryMs = 1000;

  explicit CAnnoToolsFrame(AnnoDelegate* delegate) : m_pDelegate(delegate) {}
  const wchar_t* GetWindowClassName() const override { return L"CAnnoToolsFrame"; }
  void Notify(DuiLib::TNotifyUI& msg) override;

  // Shows the palette topmost under `anchor` (x = anchor left + 260 - own width / 2,
  // y = anchor bottom - 6).
  void ShowUnder(HWND anchor);
  // Hides the palette after kHideDelayMs.
  void HideLater();
  // 1 pen or 2 rectangle: what the toolbar's pen button draws with.
  int GetShape() const { return m_nShape; }

  // The palette colour of an index (0xAARRGGBB); indexes outside 0..7 give red.
  static std::uint32_t ColourOfIndex(int index);

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override;
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
  UINT GetResourceID() const override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  AnnoDelegate* m_pDelegate;  // Not owned.
  int m_nShape = 1;
};
