#pragma once

// CShareToolsFrame: the toolbar that floats at the top of the screen while a share runs
// (layout "share_tools.xml"): what is shared, the annotation tools (arrow, pen, eraser), the
// chat with its unread count, reopening the share selection and stopping the share. It owns the
// annotation palette, which opens under it while the pointer is on the pen.
//
// Docked at the top of its monitor's work area, it slides up by 44 pixels (a strip stays
// visible) once the pointer has left it, checked every second after the first 3 seconds, and
// comes back when the pointer is on it. While not slid up it cannot be dragged off the work
// area.
//
// Threads: UI thread only.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/duilib/UIlib.h"
#include "share/anno/anno_tools_frame.h"
#include "share/share_delegate.h"

class CShareToolsFrame : public DuiLib::WindowImplBase {
 public:
  static constexpr UINT_PTR kSlideTimer = 0xC4F;
  static constexpr UINT_PTR kAnnoPosTimer = 0xC50;
  static constexpr UINT kSlideFirstMs = 3000;
  static constexpr UINT kSlideEveryMs = 1000;
  static constexpr UINT kAnnoPosEveryMs = 1000;
  static constexpr int kSlideHeight = 44;
  static constexpr int kMaxShownCount = 99;

  CShareToolsFrame(ShareDelegate* share, AnnoDelegate* anno);
  ~CShareToolsFrame() override;
  const wchar_t* GetWindowClassName() const override { return L"CShareToolsFrame"; }

  void SetTitle(const std::wstring& title);
  // Shows the count on the chat button (99 for 100 and more; negative counts count as 0).
  void SetUnreadCount(int count);
  int GetUnreadCount() const { return m_nUnread; }
  void Show(bool show);
  bool IsSlidUp() const { return m_bSlidUp; }
  CAnnoToolsFrame* GetAnnoTools() const { return m_pAnnoTools.get(); }

  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override;
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
  UINT GetResourceID() const override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  // What the palette chooses goes on to the owner; a drawing tool chosen there also shows as
  // the toolbar's pen, so that the arrow turns it off again.
  class PaletteChoices : public AnnoDelegate {
   public:
    explicit PaletteChoices(CShareToolsFrame* tools) : m_pTools(tools) {}
    void SetColor(std::uint32_t argb) override;
    void SetPenSize(int width) override;
    void SetShape(int shape) override;
    void SetAnniPos() override;

   private:
    CShareToolsFrame* m_pTools;
  };

  void Place();
  void SlideCheck();
  LRESULT OnPosChanging(WINDOWPOS* pos);
  RECT WorkArea() const;

  PaletteChoices m_paletteChoices{this};
  std::unique_ptr<CAnnoToolsFrame> m_pAnnoTools;
  ShareDelegate* m_pShare;  // Not owned.
  AnnoDelegate* m_pAnno;    // Not owned.
  std::wstring m_sTitle;
  int m_nUnread = 0;
  bool m_bSlideArmed = false;
  bool m_bSlidUp = false;
};
