#include "windows/device_change/device_frame.h"

#include "foundation/text_convert.h"
#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 7;  // "device_change_frame.xml"

}  // namespace

CDeviceFrame::CDeviceFrame(bool inUse, bool isMicrophone, const std::string& deviceName)
    : inUse(inUse), isMicrophone(isMicrophone), deviceName(deviceName) {}

DuiLib::CDuiString CDeviceFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CDeviceFrame::InitWindow() { CenterWindow(); }

void CDeviceFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

const wchar_t* CDeviceFrame::PromptTextId(bool inUse, bool isMicrophone) {
  if (!inUse) return L"s.dev.hotplug";
  return isMicrophone ? L"s.dev.hotplug.mic" : L"s.dev.hotplug.video";
}

std::wstring CDeviceFrame::FillName(const std::wstring& text, const std::wstring& name) {
  std::wstring filled = text;
  const size_t at = filled.find(L"%s");
  if (at != std::wstring::npos) filled.replace(at, 2, name);
  return filled;
}

void CDeviceFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    if (DuiLib::CControlUI* label = m_PaintManager.FindControl(L"dev_name_lab")) {
      const std::wstring text = DuiLib::CMutiLanSupport::Instance()->GetTextForId(
          PromptTextId(inUse, isMicrophone));
      label->SetText(FillName(text, Utf8ToUnicode(deviceName)).c_str());
    }
    if (DuiLib::CControlUI* cancel = m_PaintManager.FindControl(L"btn_cancel")) {
      cancel->SetVisible(!inUse);
    }
    return;
  }
  if (msg.sType != L"click" || !msg.pSender) return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (name == L"closebtn" || name == L"btn_cancel") {
    Close(0);
  } else if (name == L"btn_ok") {
    Close(1);
  }
}
