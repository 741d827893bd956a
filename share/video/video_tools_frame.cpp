#include "share/video/video_tools_frame.h"

#include "foundation/app_config.h"
#include "shell/login/skin_choice.h"
#include "skin_resource.h"

namespace {

// The tool windows' entries in the skin's layout table.
constexpr int kVideoToolsLayout = 14;
constexpr int kPickToolsLayout = 15;

DuiLib::CCheckBoxUI* FindCheckBox(DuiLib::CPaintManagerUI& manager, const wchar_t* name) {
  return static_cast<DuiLib::CCheckBoxUI*>(manager.FindControl(name));
}

}  // namespace

void CFloatingToolsFrame::PlaceOver(const RECT& render, int lift) {
  if (!m_hWnd) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int left = render.left + (render.right - render.left) / 2 - client.right / 2;
  const int top = render.bottom - client.bottom - lift;
  SetWindowPos(m_hWnd, nullptr, left, top, 0, 0,
               SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CFloatingToolsFrame::Hide() {
  if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
}

DuiLib::UILIB_RESOURCETYPE CFloatingToolsFrame::GetResourceType() const {
  return DuiLib::UILIB_ZIPRESOURCE;
}

UINT CFloatingToolsFrame::GetResourceID() const { return kSkinResourceId; }

DuiLib::CDuiString CVideoToolsFrame::GetSkinFile() { return ::GetSkinFile(kVideoToolsLayout); }

void CVideoToolsFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    const StAppConfig* config = GetAppConfig();
    SetToolsState(config->mirror != 0, config->flip != 0);
    return;
  }
  if (!m_pOwner || !msg.pSender) return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (msg.sType == L"click") {
    if (name == L"anti_clockwise_btn") {
      m_pOwner->OnVideo_Rotate(false);
    } else if (name == L"clockwise_btn") {
      m_pOwner->OnVideo_Rotate(true);
    }
  } else if (msg.sType == L"selectchanged") {
    auto* check = static_cast<DuiLib::CCheckBoxUI*>(msg.pSender);
    if (name == L"flip_check") {
      m_pOwner->OnVideo_Flip(check->GetCheck());
    } else if (name == L"mirror_check") {
      m_pOwner->OnVideo_Mirror(check->GetCheck());
    }
  }
}

void CVideoToolsFrame::SetToolsState(bool mirror, bool flip) {
  if (DuiLib::CCheckBoxUI* check = FindCheckBox(m_PaintManager, L"flip_check")) {
    check->SetCheck(flip, false);
  }
  if (DuiLib::CCheckBoxUI* check = FindCheckBox(m_PaintManager, L"mirror_check")) {
    check->SetCheck(mirror, false);
  }
}

DuiLib::CDuiString CPickToolsFrame::GetSkinFile() { return ::GetSkinFile(kPickToolsLayout); }

void CPickToolsFrame::InitWindow() {
  // The layout names the tooltips by their language-table ids.
  const struct {
    const wchar_t* control;
    const wchar_t* text_id;
  } tooltips[] = {{L"pick_btn", L"s.pick"}, {L"reset_btn", L"s.rest"}};
  for (const auto& tooltip : tooltips) {
    if (DuiLib::CControlUI* control = m_PaintManager.FindControl(tooltip.control)) {
      control->SetToolTip(
          DuiLib::CMutiLanSupport::Instance()->GetTextForId(tooltip.text_id).c_str());
    }
  }
}

void CPickToolsFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType != L"click" || !m_pOwner || !msg.pSender) return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (name == L"pick_btn") {
    m_pOwner->OnVideo_StartPick(true);
  } else if (name == L"reset_btn") {
    m_pOwner->OnVideo_PickColor(kResetColour);
  }
}
