#pragma once

// CDocTransFrame: asks how a document is converted before it is shared: on the server, or on
// this computer by the outside converter, which needs an installed office program. It looks in
// the registry's class keys for that program and warns when local conversion is impossible or
// risky.
//
//   auto* dialog = new CDocTransFrame(path);
//   dialog->Create(main_window, L"DocTransFrame", 0x96C80000, 0);
//   UINT mode = dialog->ShowModal();  // the dialog has deleted itself when this returns
//
// Modal result: 1 server conversion, 2 local conversion, 0 cancelled. UI thread only, except
// the static registry checks, which any thread may call.

#include <string>

#include "windows/common/skin_dialog.h"

class CDocTransFrame : public CSkinDialog {
 public:
  enum Result : UINT { kCancel = 0, kServer = 1, kLocal = 2 };
  // Results of CheckConvertEnv.
  enum EnvCheck { kEnvUsable = 0, kEnvMissing = -1, kEnvTooOld = -2 };

  // `path`: the document (UTF-16).
  explicit CDocTransFrame(const std::wstring& path);

  const wchar_t* GetWindowClassName() const override { return L"CDocTransFrame"; }
  void InitWindow() override;
  void Notify(DuiLib::TNotifyUI& msg) override;
  // Deletes the object once its window is gone.
  void OnFinalMessage(HWND hWnd) override;

  // The document kind from the extension (after the last "."), without regard to case:
  // 0 PowerPoint (.ppt .pps .pptx .ppsx), 1 Word (.doc .docx .rtf), 2 WPS writer (.wps),
  // 3 WPS presentation (.dps), 4 needs no office program (.txt .jpg .jpeg .png .pdf .bmp),
  // -1 anything else, no extension or no path.
  static int GetDocKind(const char* path);
  // Whether the office program that the kind needs is installed (kEnvUsable also for kinds
  // that need none), missing (kEnvMissing) or too old (kEnvTooOld).
  static int CheckConvertEnv(int kind);
  // Reads the default value of HKEY_CLASSES_ROOT\`subkey` (a "CurVer" key such as
  // "Word.Application.16") and the number that starts at its first digit. False when the key
  // or a text value is missing, or the value has no digit.
  static bool ReadCurVer(const wchar_t* subkey, int* version);
  // Whether HKEY_CLASSES_ROOT\`subkey` exists and can be read.
  static bool RegKeyExists(const wchar_t* subkey);

 protected:
  DuiLib::CDuiString GetSkinFile() override;

 private:
  void OnServerChosen();
  void OnLocalChosen();

  DuiLib::COptionUI* serverOption = nullptr;
  DuiLib::COptionUI* localOption = nullptr;
  DuiLib::CControlUI* versionTip = nullptr;
  DuiLib::CButtonUI* okButton = nullptr;
  int docKind = -1;
};
