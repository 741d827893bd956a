#include "share/sharing/share_frame.h"

#include <psapi.h>

#include <cwchar>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "share/anno/anno_state.h"
#include "share/capture/monitor_info.h"
#include "share/capture/program_map.h"
#include "share/sharing/cm_icon_option.h"
#include "share/window/gdi_objects.h"
#include "shell/login/skin_choice.h"
#include "skin_resource.h"

namespace {

constexpr int kSelectShareLayout = 3;  // The window's entry in the skin's layout table.
constexpr char kCanvasName[] = "CANVAS_AS";
constexpr char kSourceName[] = "SOURCE_AS";
constexpr UINT kIconTimeoutMs = 200;

bool StartsWith(const DuiLib::CDuiString& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

std::wstring AppItemName(HWND window) {
  wchar_t name[32];
  swprintf(name, 32, L"app_%d", static_cast<int>(reinterpret_cast<intptr_t>(window)));
  return name;
}

std::wstring LanguageText(const wchar_t* id) {
  return DuiLib::CMutiLanSupport::Instance()->GetTextForId(id);
}

// The window's big icon, asked without waiting on a hung program; else its class icon; else
// the standard application icon.
HICON WindowIcon(HWND window) {
  DWORD_PTR icon = 0;
  if (SendMessageTimeoutW(window, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                          kIconTimeoutMs, &icon) &&
      icon) {
    return reinterpret_cast<HICON>(icon);
  }
  if (HICON class_icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON))) {
    return class_icon;
  }
  return LoadIconW(nullptr, IDI_APPLICATION);
}

// The file name of the program that owns `window` (after the last backslash); empty when it
// cannot be read.
std::wstring ProgramFileName(HWND window) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  if (!process) return std::wstring();
  wchar_t image[MAX_PATH] = {};
  const DWORD length = GetProcessImageFileNameW(process, image, MAX_PATH);
  CloseHandle(process);
  const std::wstring path(image, length);
  const std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct ListFilter {
  std::map<HWND, CShareFrame::AppEntry>* apps;
};

BOOL CALLBACK CollectShareable(HWND window, LPARAM param) {
  auto* filter = reinterpret_cast<ListFilter*>(param);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  const LONG_PTR ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  if (!(style & WS_VISIBLE) || (ex_style & WS_EX_TOOLWINDOW) || GetParent(window)) return TRUE;
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  if (wcscmp(class_name, L"Windows.UI.Core.CoreWindow") == 0) return TRUE;
  CShareFrame::AppEntry entry{};
  entry.window = window;
  // Read without a message for windows of this process's other threads.
  const std::wstring title = ReadWindowTitle(window);
  if (title.empty()) return TRUE;
  wcsncpy(entry.title, title.c_str(), 259);
  if (wcscmp(entry.title, L"Microsoft Edge") == 0 || wcscmp(entry.title, L"TarvoLive") == 0) {
    return TRUE;
  }
  RECT rect{};
  GetWindowRect(window, &rect);
  if (IsRectEmpty(&rect)) return TRUE;
  (*filter->apps)[window] = entry;
  return TRUE;
}

}  // namespace

CShareFrame::CShareFrame(ShareDelegate* owner, gsVideoFrameOutSink* frame_out)
    : m_pOwner(owner), m_pFrameOut(frame_out) {}

CShareFrame::~CShareFrame() {
  CloseParts();
  if (m_hWnd && IsWindow(m_hWnd)) {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
}

DuiLib::CDuiString CShareFrame::GetSkinFile() { return ::GetSkinFile(kSelectShareLayout); }

DuiLib::UILIB_RESOURCETYPE CShareFrame::GetResourceType() const {
  return DuiLib::UILIB_ZIPRESOURCE;
}

UINT CShareFrame::GetResourceID() const { return kSkinResourceId; }

void CShareFrame::InitWindow() {
  m_pOptDesk = static_cast<DuiLib::COptionUI*>(m_PaintManager.FindControl(L"option_desk"));
  m_pOptWindow = static_cast<DuiLib::COptionUI*>(m_PaintManager.FindControl(L"option_window"));
  CenterWindow();
  Trastor_Load();
  SetUpCanvas();
}

void CShareFrame::SetUpCanvas() {
  TrastorCanvas* canvas = Trastor_CreateCanvas(kCanvasName);
  if (!canvas) {
    // A share canvas left behind by an earlier window would keep pulling from it.
    if (TrastorCanvas* stale = Trastor_GetCanvas(kCanvasName)) {
      TVLOG_WARN_THIS() << "replacing a share canvas left behind";
      Trastor_DestroyCanvas(stale);
      canvas = Trastor_CreateCanvas(kCanvasName);
    }
  }
  if (!canvas) {
    TVLOG_ERROR_THIS() << "Trastor_CreateCanvas CANVAS_AS failed";
    return;
  }
  canvas->SetBackground(0xFF808080);
  canvas->SetSize(640, 480);
  canvas->SetFrameRate(15.0f);
  canvas->SetWindow(nullptr);
  TrastorSource* source = canvas->CreateSource(trastor::kSourcePull, kSourceName, 0);
  if (source) {
    source->SetCaptureSink(this);
    source->SetPosition(0, 0);
    source->SetSize(640, 480);
  }
  canvas->SetFrameOutSink(m_pFrameOut);
  canvas->SetOutputMode(trastor::kOutputFrames);
  m_pCanvas = canvas;
  m_pSource = source;
}

void CShareFrame::ReleaseCanvas() {
  m_bSharing = false;
  if (m_pCanvas) {
    m_pCanvas->Stop();  // Returns after a pull in progress has ended.
    if (TrastorSource* source = m_pSource.exchange(nullptr)) source->SetCaptureSink(nullptr);
    m_pCanvas->Close();
    Trastor_DestroyCanvas(m_pCanvas);
    m_pCanvas = nullptr;
  }
  m_capture.Stop();
}

void CShareFrame::CloseParts() {
  ReleaseCanvas();
  m_pTools.reset();
  m_pArea.reset();
  m_pAnnoPanel.reset();
}

LRESULT CShareFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  CloseParts();
  bHandled = FALSE;
  return 0;
}

LRESULT CShareFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  CloseParts();
  bHandled = FALSE;
  return 0;
}

void CShareFrame::Notify(DuiLib::TNotifyUI& msg) {
  const DuiLib::CDuiString name = msg.pSender ? msg.pSender->GetName() : DuiLib::CDuiString();
  if (msg.sType == L"windowinit") {
    m_pWindowLayout =
        static_cast<DuiLib::CContainerUI*>(m_PaintManager.FindControl(L"window_Layout"));
    if (!m_pAnnoPanel) {
      m_pAnnoPanel = std::make_unique<CAsAnnoPanel>();
      if (!m_pAnnoPanel->CreatePanel()) TVLOG_ERROR_THIS() << "no annotation panel";
    }
    m_pShareAudio = static_cast<DuiLib::COptionUI*>(m_PaintManager.FindControl(L"share_audio"));
    m_nMode = kModeDesk;
    Highlight(0);
    RefreshWindowList();
    if (GetSkinIndex() == kSkinOrange && m_pWindowLayout) {
      if (DuiLib::CScrollBarUI* bar = m_pWindowLayout->GetVerticalScrollBar()) {
        const wchar_t* thumb =
            L"file='img\\orange\\scrollbar.png' source='36,0,48,60' corner='0,10,0,10'";
        bar->SetThumbNormalImage(thumb);
        bar->SetThumbHotImage(thumb);
        bar->SetThumbPushedImage(thumb);
        bar->SetRailNormalImage(
            L"file='img\\orange\\scrollbar.png' source='0,0,12,60' corner='0,10,0,10'");
      }
    }
    m_hChosen = nullptr;
    return;
  }
  if (msg.sType != L"click") return;
  if (name == L"closebtn" || name == L"btn_cancelShare") {
    ShowWindow(false, false);
  } else if (name == L"btn_startShare") {
    if (m_pOwner) m_pOwner->OnShareStarted();
  } else if (IsSharing()) {
    return;  // The mode stays as it was while the share runs.
  } else if (name == L"option_desk") {
    m_nMode = kModeDesk;
    Highlight(0);
  } else if (name == L"option_window") {
    m_nMode = kModeArea;
    Highlight(1);
  } else if (StartsWith(name, L"app_")) {
    ChooseApp(name, msg.pSender);
  }
}

void CShareFrame::ChooseApp(const DuiLib::CDuiString& name, DuiLib::CControlUI* item) {
  for (const auto& [window, entry] : m_apps) {
    if (AppItemName(window) != name) continue;
    Highlight(-1);
    m_hChosen = window;
    m_sChosenTitle = entry.title;
    m_sChosenProgram = ProgramFileName(window);
    m_nMode = kModeApp;
    if (item) item->SetBorderSize(2);
    return;
  }
}

void CShareFrame::Highlight(int n) {
  if (m_pWindowLayout) {
    for (int i = 0; i < m_pWindowLayout->GetCount(); ++i) {
      DuiLib::CControlUI* item = m_pWindowLayout->GetItemAt(i);
      if (item && StartsWith(item->GetName(), L"app_")) item->SetBorderSize(0);
    }
  }
  if (!m_pOptDesk || !m_pOptWindow) return;
  if (n == 0 || n == 1) {
    m_pOptDesk->SetBorderSize(n == 0 ? 2 : 0);
    m_pOptWindow->SetBorderSize(n == 1 ? 2 : 0);
    return;
  }
  m_pOptDesk->Selected(false, false);
  m_pOptWindow->Selected(false, false);
  m_pOptDesk->SetBorderSize(0);
  m_pOptWindow->SetBorderSize(0);
}

void CShareFrame::RefreshWindowList() {
  if (m_pWindowLayout) m_pWindowLayout->RemoveAll();
  m_apps.clear();
  ListFilter filter{&m_apps};
  EnumWindows(&CollectShareable, reinterpret_cast<LPARAM>(&filter));
  if (!m_pWindowLayout) return;
  // The main window owns this one.
  HWND main_window = m_hWnd ? GetWindow(m_hWnd, GW_OWNER) : nullptr;
  const DWORD border = GetSkinIndex() == kSkinOrange ? 0xFFF89B33 : 0xFF2F9AFF;
  for (auto& [window, entry] : m_apps) {
    entry.icon = WindowIcon(window);
    if (window == main_window || window == m_hWnd) continue;
    auto* item = new CmIconOption();
    RECT padding = item->GetTextPadding();
    padding.left = 2 * padding.left + 18;
    padding.top = 75;
    item->SetTextPadding(padding);
    item->SetAttribute(L"align", L"left");
    item->SetAttribute(L"endellipsis", L"true");
    item->SetWindowAndIcon(window, entry.icon);
    item->SetText(entry.title);
    item->SetTextColor(0xFF9091A0);
    item->SetGroup(L"share_group");
    item->SetBorderColor(border);
    item->SetName(AppItemName(window).c_str());
    m_pWindowLayout->Add(item);
  }
}

std::wstring CShareFrame::ShareTitle() const {
  switch (m_nMode.load()) {
    case kModeDesk:
      return LanguageText(L"s.desk.shareing");
    case kModeArea:
      return LanguageText(L"s.win.shareing");
    default:
      return m_sChosenTitle;
  }
}

void CShareFrame::ShowToolbar() {
  if (!m_pTools) {
    m_pTools = std::make_unique<CShareToolsFrame>(m_pOwner, this);
    m_pTools->Create(m_pAnnoPanel ? m_pAnnoPanel->GetHWND() : nullptr, L"ShareTools", WS_POPUP,
                     WS_EX_TOOLWINDOW);
  }
  m_pTools->SetTitle(ShareTitle());
  m_pTools->SetUnreadCount(m_nUnread);
  m_pTools->Show(true);
  if (m_nMode.load() == kModeArea) {
    if (!m_pArea) {
      m_pArea = std::make_unique<CRegionIndicator>();
      m_pArea->CreateFrame();
    }
    m_pArea->Show();
  } else if (m_pArea) {
    m_pArea->Hide();
  }
}

void CShareFrame::KeepToolsInFront() {
  // The panel owns the toolbar, which owns the palette. Windows keeps owned windows in front of
  // their owner; Wine does not carry them along when the topmost panel is raised, and the panel
  // then hides them and, with a drawing tool on, takes their clicks.
  if (!m_pTools || !m_pTools->GetHWND() || !IsWindowVisible(m_pTools->GetHWND())) return;
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(m_pTools->GetHWND(), HWND_TOPMOST, 0, 0, 0, 0, flags);
  const CAnnoToolsFrame* palette = m_pTools->GetAnnoTools();
  if (palette && palette->GetHWND() && IsWindowVisible(palette->GetHWND())) {
    SetWindowPos(palette->GetHWND(), HWND_TOPMOST, 0, 0, 0, 0, flags);
  }
}

void CShareFrame::StartShare() {
  if (!m_hWnd) return;
  m_bSharing = true;
  ShowToolbar();
  ShowWindow(false, false);
  CAnnoState& state = CAnnoState::Instance();
  state.ClearStrokes();
  state.SetShape(kAnnoShapeNone);
  if (m_pAnnoPanel) {
    m_pAnnoPanel->SetBorder(m_nMode.load() == kModeDesk);
    m_pAnnoPanel->Prepare();
    m_pAnnoPanel->Redraw();
    m_pAnnoPanel->Show();
    KeepToolsInFront();
  }
  if (m_nMode.load() == kModeApp) {
    m_sharedWindows.assign(1, m_hChosen.load());
    m_capture.Init(this, m_sharedWindows);
  }
  GetAppConfig()->share_audio = m_pShareAudio && m_pShareAudio->IsSelected();
  if (m_pCanvas && !m_pCanvas->IsRunning()) m_pCanvas->Start();
}

void CShareFrame::StopShare() {
  m_bSharing = false;
  if (m_pCanvas && m_pCanvas->IsRunning()) m_pCanvas->Stop();
  if (m_nMode.load() == kModeApp) m_capture.Stop();
  if (m_pTools) m_pTools->Show(false);
  if (m_pArea) m_pArea->Hide();
  if (m_hWnd) ShowWindow(false, false);
  CAnnoState::Instance().ClearStrokes();
  if (m_pAnnoPanel) m_pAnnoPanel->Hide();
}

void CShareFrame::UpdateShareTitle() {
  if (!m_pTools) return;
  if (m_pTools->GetHWND()) InvalidateRect(m_pTools->GetHWND(), nullptr, TRUE);
  m_pTools->SetTitle(ShareTitle());
}

void CShareFrame::SetUnreadChatCount(int count) {
  m_nUnread = count;
  if (m_pTools) m_pTools->SetUnreadCount(count);
}

void CShareFrame::SetColor(std::uint32_t argb) {
  CAnnoState::Instance().SetColour(SwapRedBlue(argb));
}

void CShareFrame::SetPenSize(int width) { CAnnoState::Instance().SetWidth(width); }

void CShareFrame::SetShape(int shape) {
  if (!CAnnoState::Instance().SetShape(shape)) return;
  if (!m_pAnnoPanel) return;
  m_pAnnoPanel->OnShapeChanged();
  KeepToolsInFront();
}

void CShareFrame::SetAnniPos() {
  if (!IsSharing() || !m_pAnnoPanel || !m_pAnnoPanel->GetHWND()) return;
  SetWindowPos(m_pAnnoPanel->GetHWND(), HWND_TOP, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  KeepToolsInFront();
  const RECT before = m_pAnnoPanel->GetPanelRect();
  m_pAnnoPanel->UpdateRectPos();
  const RECT after = m_pAnnoPanel->GetPanelRect();
  if (!EqualRect(&before, &after)) {
    // The monitors changed: cover them again with surfaces of the new size.
    m_pAnnoPanel->Prepare();
    m_pAnnoPanel->Redraw();
  }
  if (m_nMode.load() != kModeArea || !m_pArea) return;
  const RECT area = m_pArea->GetAreaRect();
  const POINT centre{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
  const MonitorInfoTable::Snapshot monitors = MonitorInfoTable::Instance().GetSnapshot();
  int index = monitors.primary;
  if (monitors.count > 1) {
    for (int i = 0; i < monitors.count; ++i) {
      if (PtInRect(&monitors.monitors[i].rect, centre)) {
        index = i;
        break;
      }
    }
  }
  if (index == m_nAreaMonitor || index < 0 || index >= monitors.count) return;
  m_nAreaMonitor = index;
  const RECT& rect = monitors.monitors[index].rect;
  TVLOG_INFO_THIS() << (index == 0 ? "-------- Work Monitor = " : "======== Work Monitor = ")
                    << index << " Pos(" << rect.left << ", " << rect.top << ") - Size("
                    << rect.right - rect.left << ", " << rect.bottom - rect.top << ")";
}

bool CShareFrame::OnCaptureFrame(TrastorSource* source, HDC dc, int width, int height) {
  if (!m_bSharing.load() || !source || source != m_pSource.load()) return true;
  RefreshMonitorScaleIfOlderThan(1000);
  switch (m_nMode.load()) {
    case kModeDesk:
      PaintDesk(dc);
      break;
    case kModeArea:
      PaintArea(dc);
      break;
    case kModeApp:
      PaintApp(dc, width, height);
      break;
    default:
      break;
  }
  return true;
}

void CShareFrame::FollowSize(int width, int height) {
  TrastorSource* source = m_pSource.load();
  if (!m_pCanvas || !source || width < 1 || height < 1) return;
  int current_width = 0;
  int current_height = 0;
  m_pCanvas->GetSize(&current_width, &current_height);
  if (current_width == width && current_height == height) return;
  m_pCanvas->SetSize(width, height);
  source->SetSize(width, height);
}

void CShareFrame::CopyScreen(HDC dc, int left, int top, int width, int height) {
  share::WindowDc screen(nullptr);
  if (screen) BitBlt(dc, 0, 0, width, height, screen.get(), left, top, SRCCOPY);
}

void CShareFrame::PaintDesk(HDC dc) {
  if (!m_pAnnoPanel) return;
  const SIZE panel = m_pAnnoPanel->GetClientSize();
  const RECT origin = m_pAnnoPanel->GetPanelRect();
  const int width = (panel.cx - 2 * kDeskInset) / 8 * 8;
  const int height = (panel.cy - 2 * kDeskInset) / 2 * 2;
  if (width < 1 || height < 1) return;
  FollowSize(width, height);
  // The panel covers every monitor and may begin left of or above the primary one.
  CopyScreen(dc, origin.left + kDeskInset, origin.top + kDeskInset, width, height);
}

void CShareFrame::PaintArea(HDC dc) {
  if (!m_pArea) return;
  const RECT area = m_pArea->GetAreaRect();
  const int width = (area.right - area.left) / 8 * 8;
  const int height = (area.bottom - area.top) / 2 * 2;
  if (width < 1 || height < 1) return;
  FollowSize(width, height);
  CopyScreen(dc, area.left, area.top, width, height);
}

void CShareFrame::PaintApp(HDC dc, int width, int height) {
  HWND chosen = m_hChosen.load();
  if (!chosen || !IsWindow(chosen) || IsIconic(chosen)) {
    FollowSize(kGoneWidth, kGoneHeight);
    const RECT rect{0, 0, width, height};
    SetBkColor(dc, RGB(255, 255, 255));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    return;
  }
  unsigned char* pixels = nullptr;
  int image_width = 0;
  int image_height = 0;
  int size = 0;
  int reason = 0;
  if (!m_capture.GetCaptureData(&pixels, &image_width, &image_height, &size, &reason)) return;
  FollowSize(image_width, image_height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image_width;
  info.bmiHeader.biHeight = image_height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  // One bitmap and context per frame, both released before the next.
  share::ScopedBitmap bitmap(
      CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, pixels, &info, DIB_RGB_COLORS));
  share::ScopedMemoryDc memory(CreateCompatibleDC(dc));
  if (!bitmap || !memory) return;
  share::SelectedObject selected(memory.get(), bitmap.get());
  BitBlt(dc, 0, 0, image_width, image_height, memory.get(), 0, 0, SRCCOPY);
}
