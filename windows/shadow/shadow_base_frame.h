#pragma once

// CShadowBaseFrame: the base that gives the borderless dialogs (settings, device test, beauty
// settings) their drop shadow, and the operation bodies those dialogs share for the device
// consumer interface. UI thread only.

#include <windows.h>

#include <string>

namespace DuiLib {
class CWndShadow;
}

class CShadowBaseFrame {
 public:
  CShadowBaseFrame();
  // Deletes the shadow window.
  virtual ~CShadowBaseFrame();
  CShadowBaseFrame(const CShadowBaseFrame&) = delete;
  CShadowBaseFrame& operator=(const CShadowBaseFrame&) = delete;

  // Creates the shadow for `window` with the current skin's shadow image (corners and hole
  // 8 pixels on each side). Called by the dialog when its window is initialised; a second call
  // replaces the first shadow. CWndShadow::Initialize must have run.
  void AttachShadow(HWND window);
  DuiLib::CWndShadow* GetShadow() const { return shadow; }

  // The shadow image of a skin: "img\orange\wineffect.png" for skin 1, else the blue one.
  static const wchar_t* ShadowImageForSkin(int skinIndex);
  // Where the current skin index comes from (the program's skin setting); without a source
  // the blue skin (0) is used.
  static void SetSkinIndexSource(int (*source)());

  // Shared bodies of device consumer operations: the dialogs answer "effects idle" with false
  // and have no update server.
  static bool DefaultIsEffectsIdle() { return false; }
  static std::string DefaultUpdateServer() { return std::string(); }

 protected:
  DuiLib::CWndShadow* shadow = nullptr;  // owned; null until AttachShadow
};
