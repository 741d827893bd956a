#include "windows/doc_trans/doc_trans_frame.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "foundation/text_convert.h"
#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 9;  // "doc_trans_frame.xml"

struct KindEntry {
  const char* extension;
  int kind;
};
// In the order they are compared.
constexpr KindEntry kKinds[] = {
    {".ppt", 0}, {".pps", 0}, {".pptx", 0}, {".ppsx", 0}, {".doc", 1},  {".docx", 1},
    {".rtf", 1}, {".wps", 2}, {".dps", 3},  {".txt", 4},  {".jpg", 4},  {".jpeg", 4},
    {".png", 4}, {".pdf", 4}, {".bmp", 4},
};

struct KeyCloser {
  HKEY key;
  ~KeyCloser() { RegCloseKey(key); }
};

// Office suites: "<prefix>\CurVer" holds the installed version; versions from 15 on convert.
int CheckOffice(const wchar_t* prefix) {
  int version = 0;
  if (!CDocTransFrame::ReadCurVer((std::wstring(prefix) + L"\\CurVer").c_str(), &version)) {
    return CDocTransFrame::kEnvMissing;
  }
  if (version < 13) {
    // An older CurVer may remain beside a newer installation: look for the newer servers.
    for (int newer = 17; newer >= 13; --newer) {
      const std::wstring server = std::wstring(prefix) + L"." + std::to_wstring(newer) + L"\\CLSID";
      if (CDocTransFrame::RegKeyExists(server.c_str())) {
        version = newer;
        break;
      }
    }
  }
  return version >= 15 ? CDocTransFrame::kEnvUsable : CDocTransFrame::kEnvTooOld;
}

// WPS: the first of the two "CurVer" keys that can be read decides; versions from 9 on convert.
int CheckWps(const wchar_t* first, const wchar_t* second) {
  int version = 0;
  if (CDocTransFrame::ReadCurVer(first, &version) || CDocTransFrame::ReadCurVer(second, &version)) {
    return version >= 9 ? CDocTransFrame::kEnvUsable : CDocTransFrame::kEnvTooOld;
  }
  return CDocTransFrame::kEnvMissing;
}

}  // namespace

CDocTransFrame::CDocTransFrame(const std::wstring& path)
    : docKind(GetDocKind(UnicodeToAnsi(path).c_str())) {}

DuiLib::CDuiString CDocTransFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

void CDocTransFrame::InitWindow() { CenterWindow(); }

void CDocTransFrame::OnFinalMessage(HWND hWnd) {
  CSkinDialog::OnFinalMessage(hWnd);
  delete this;
}

int CDocTransFrame::GetDocKind(const char* path) {
  if (!path) return -1;
  const char* dot = strrchr(path, '.');
  if (!dot) return -1;
  for (const KindEntry& entry : kKinds) {
    if (_stricmp(dot, entry.extension) == 0) return entry.kind;
  }
  return -1;
}

bool CDocTransFrame::RegKeyExists(const wchar_t* subkey) {
  HKEY key = nullptr;
  if (!subkey || RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool CDocTransFrame::ReadCurVer(const wchar_t* subkey, int* version) {
  HKEY key = nullptr;
  if (!subkey || !version ||
      RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  KeyCloser closer{key};
  // At most 255 characters are read, so the text always keeps its terminator.
  wchar_t text[256] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(text) - sizeof(wchar_t);
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || text[0] == L'\0') {
    return false;
  }
  const wchar_t* digits = text;
  while (*digits && (*digits < L'0' || *digits > L'9')) ++digits;
  if (!*digits) return false;
  *version = _wtoi(digits);
  return true;
}

int CDocTransFrame::CheckConvertEnv(int kind) {
  switch (kind) {
    case 0:
      return CheckOffice(L"PowerPoint.Application");
    case 1:
      return CheckOffice(L"Word.Application");
    case 2:
      return CheckWps(L"KWPS.Application\\CurVer", L"WPS.Application\\CurVer");
    case 3:
      return CheckWps(L"KWPP.Application\\CurVer", L"WPP.Application\\CurVer");
    default:
      return kEnvUsable;
  }
}

void CDocTransFrame::OnServerChosen() {
  if (versionTip) versionTip->SetVisible(false);
  if (okButton) okButton->SetEnabled(true);
}

void CDocTransFrame::OnLocalChosen() {
  const int check = CheckConvertEnv(docKind);
  if (check == kEnvMissing) {
    if (okButton) okButton->SetEnabled(false);
    if (versionTip) versionTip->SetTextId(L"s.doc.trans.ver1");
  } else if (check == kEnvTooOld) {
    if (versionTip) versionTip->SetTextId(L"s.doc.trans.ver2");
  }
  if (versionTip) versionTip->SetVisible(check != kEnvUsable);
}

void CDocTransFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    serverOption = FindAs<DuiLib::COptionUI>(L"server_trans", L"Option");
    localOption = FindAs<DuiLib::COptionUI>(L"local_trans", L"Option");
    versionTip = m_PaintManager.FindControl(L"version_tip");
    okButton = FindAs<DuiLib::CButtonUI>(L"okbtn", L"Button");
    if (serverOption) serverOption->Selected(true);
    // The layout may have it selected already, and then no notification comes.
    OnServerChosen();
    return;
  }
  if (!msg.pSender) return;
  if (msg.sType == L"selectchanged") {
    if (msg.pSender == serverOption) {
      OnServerChosen();
    } else if (msg.pSender == localOption) {
      OnLocalChosen();
    }
    return;
  }
  if (msg.sType != L"click") return;
  const DuiLib::CDuiString name = msg.pSender->GetName();
  if (name == L"closebtn" || name == L"cancelbtn") {
    Close(kCancel);
  } else if (name == L"okbtn") {
    Close(serverOption && serverOption->IsSelected() ? kServer : kLocal);
  }
}
