#include <benchmark/benchmark.h>

#include <memory>

#include "platform/duilib/UIlib.h"

using namespace DuiLib;

namespace {

const wchar_t kLayout[] = L"xml/blue/demo_frame.xml";

bool UseSkin() {
  static const bool ok = CPaintManagerUI::SetResourceZipResource(130) &&
                         CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml",
                                                                      true, L"zh_CN", L"xml");
  return ok;
}

void BM_BuildDemoLayout(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  for (auto _ : state) {
    CPaintManagerUI manager;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(kLayout, nullptr, nullptr, &manager));
    benchmark::DoNotOptimize(root.get());
  }
}
BENCHMARK(BM_BuildDemoLayout);

void BM_LayoutPass(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  CPaintManagerUI manager;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.Create(kLayout, nullptr, nullptr, &manager));
  int width = 480;
  for (auto _ : state) {
    width = width == 480 ? 640 : 480;  // a real resize every pass
    root->SetPos(RECT{0, 0, width, 320}, false);
  }
}
BENCHMARK(BM_LayoutPass);

void BM_PaintDemoWindow(benchmark::State& state) {
  if (!UseSkin()) return state.SkipWithError("skin resource missing");
  CPaintManagerUI manager;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.Create(kLayout, nullptr, nullptr, &manager));
  manager.InitControls(root.get());
  root->SetPos(RECT{0, 0, 480, 320}, false);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 480;
  bmi.bmiHeader.biHeight = -320;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  const RECT all{0, 0, 480, 320};
  for (auto _ : state) {
    root->DoPaint(dc, all);
    GdiFlush();
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dib);
}
BENCHMARK(BM_PaintDemoWindow);

}  // namespace
