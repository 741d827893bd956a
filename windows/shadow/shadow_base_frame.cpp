#include "windows/shadow/shadow_base_frame.h"

#include "platform/duilib/UIlib.h"

namespace {

int (*g_skin_index_source)() = nullptr;

constexpr RECT kShadowCorner{8, 8, 8, 8};
constexpr RECT kShadowHole{8, 8, 8, 8};

}  // namespace

CShadowBaseFrame::CShadowBaseFrame() = default;

CShadowBaseFrame::~CShadowBaseFrame() {
  delete shadow;
  shadow = nullptr;
}

const wchar_t* CShadowBaseFrame::ShadowImageForSkin(int skinIndex) {
  return skinIndex == 1 ? L"img\\orange\\wineffect.png" : L"img\\blue\\wineffect.png";
}

void CShadowBaseFrame::SetSkinIndexSource(int (*source)()) { g_skin_index_source = source; }

void CShadowBaseFrame::AttachShadow(HWND window) {
  // A repeated call must not leak the earlier shadow window.
  delete shadow;
  shadow = new DuiLib::CWndShadow;
  const int skin = g_skin_index_source ? g_skin_index_source() : 0;
  if (!shadow->SetImage(ShadowImageForSkin(skin), kShadowCorner, kShadowHole)) {
    DuiLib::UiLog(DuiLib::UiLogLevel::kWarning, L"shadow image %ls is missing",
                  ShadowImageForSkin(skin));
  }
  if (!shadow->Create(window)) {
    DuiLib::UiLog(DuiLib::UiLogLevel::kError, L"shadow for window %p was not created",
                  static_cast<void*>(window));
  }
}
