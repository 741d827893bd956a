#include "share/capture/win_capture.h"

#include <algorithm>

#include "foundation/log.h"
#include "foundation/tick_clock.h"
#include "share/capture/monitor_info.h"
#include "share/capture/scr_dc_cap_source.h"
#include "share/capture/win_dc_cap_source.h"

namespace {

constexpr std::uint64_t kProgramMapRefreshMs = 3000;

bool IsCapturable(HWND window) {
  return IsWindow(window) && IsWindowVisible(window) && !IsIconic(window);
}

// Programs that open further top-level windows for one document, and the label of their
// window-count log line.
struct MultiWindowProgram {
  const wchar_t* exe_name;
  const char* label;
};
constexpr MultiWindowProgram kMultiWindowPrograms[] = {
    {L"wps.exe", "wps window count "},
    {L"wpp.exe", "wpp window count "},
    {L"powerpnt.exe", "powerpnt window count "},
    {L"QCExplorer.exe", "QCExplorer window count "},
    {L"Photoshop.exe", "Photoshop window count "},
    {L"excel.exe", "excel window count "},
};

}  // namespace

CWinCapture::CWinCapture() = default;

CWinCapture::~CWinCapture() { Stop(); }

bool CWinCapture::Init(IWinCaptureSink* sink, const std::vector<HWND>& windows) {
  CxAutoLock lock(lock_);
  windows_ = windows;
  sink_ = sink;
  TVLOG_INFO_THIS() << "CWinCapture::Init count = " << static_cast<unsigned>(windows_.size());
  RefreshMonitorScale();
  FreeTopWindowAndProcess();
  CollectTopWindowAndProcess();
  last_map_refresh_ = CxTickClock::Now();
  force_screen_ = DecideForceScreen();
  for (HWND window : windows_) {
    if (!IsWindowVisible(window)) continue;
    if (IsIconic(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
    SetForegroundWindow(window);
  }
  if (std::any_of(windows_.begin(), windows_.end(), IsCapturable)) {
    NewCapture();
  } else {
    new_source_ = true;
  }
  return true;
}

void CWinCapture::Stop() {
  // Under the lock, so that a frame pull still running on the engine thread ends first.
  CxAutoLock lock(lock_);
  FreeTopWindowAndProcess();
  windows_.clear();
  source_.reset();
  new_source_ = true;
}

bool CWinCapture::GetCaptureData(unsigned char** pixels, int* width, int* height, int* size,
                                 int* reason) {
  CxAutoLock lock(lock_);
  *reason = kReasonNone;
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [](HWND window) { return !IsWindow(window); }),
                 windows_.end());
  if (windows_.empty()) {
    *reason = kReasonNoWindow;
    return false;
  }
  const std::uint64_t now = CxTickClock::Now();
  if (now - last_map_refresh_ > kProgramMapRefreshMs) {
    FreeTopWindowAndProcess();
    CollectTopWindowAndProcess();
    if (GatherProgramWindows()) new_source_ = true;
    last_map_refresh_ = now;
  }
  if (!std::any_of(windows_.begin(), windows_.end(), IsCapturable)) {
    new_source_ = true;
    *reason = kReasonNotVisible;
    return false;
  }
  if (new_source_ || !source_) NewCapture();
  if (!source_ || !source_->GetWindowImageData(windows_, pixels, width, height, size)) {
    *reason = kReasonFailed;
    return false;
  }
  return true;
}

void CWinCapture::NewCapture() {
  CxAutoLock lock(lock_);
  source_.reset();
  if (!force_screen_ && windows_.size() == 1 && WinDCCapTest(windows_.front())) {
    source_ = std::make_unique<CWinDCCapSource>(this);
    TVLOG_INFO_THIS() << "CWinCapture::NewCapture 1";
  } else {
    source_ = std::make_unique<CScrDCCapSource>();
    TVLOG_INFO_THIS() << "CWinCapture::NewCapture 2";
  }
  ++source_count_;
  new_source_ = false;
}

unsigned CWinCapture::GetSourceCount() {
  CxAutoLock lock(lock_);
  return source_count_;
}

std::vector<HWND> CWinCapture::GetWindows() {
  CxAutoLock lock(lock_);
  return windows_;
}

void CWinCapture::FreeTopWindowAndProcess() {
  TVLOG_INFO_THIS() << "FreeTopWindowAndProcess appWnds.size() = "
                    << static_cast<unsigned>(programs_.size());
  programs_.clear();
}

void CWinCapture::CollectTopWindowAndProcess() { ::CollectTopWindowAndProcess(&programs_); }

bool CWinCapture::DecideForceScreen() {
  for (HWND window : windows_) {
    const ProgramRecord* program = FindProgramOf(programs_, window);
    if (!program) continue;
    if (GetWindowLongW(window, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT)) return true;
    if (IsForceScreenProgram(program->exe_name)) return true;
  }
  return false;
}

bool CWinCapture::GatherProgramWindows() {
  std::vector<HWND> gathered = windows_;
  bool wps_found = false;
  for (HWND window : windows_) {
    const ProgramRecord* program = FindProgramOf(programs_, window);
    if (!program) continue;
    for (const MultiWindowProgram& known : kMultiWindowPrograms) {
      if (!SameExeName(program->exe_name, known.exe_name)) continue;
      gathered.insert(gathered.end(), program->windows.begin(), program->windows.end());
      TVLOG_INFO_THIS() << known.label << static_cast<unsigned>(program->windows.size());
      if (SameExeName(program->exe_name, L"wps.exe")) wps_found = true;
    }
  }
  if (wps_found) {
    unsigned wpp_programs = 0;
    for (const auto& entry : programs_) {
      if (!SameExeName(entry.second.exe_name, L"wpp.exe")) continue;
      gathered.insert(gathered.end(), entry.second.windows.begin(), entry.second.windows.end());
      ++wpp_programs;
    }
    TVLOG_INFO_THIS() << "wps check " << wpp_programs;
  }
  std::sort(gathered.begin(), gathered.end());
  gathered.erase(std::unique(gathered.begin(), gathered.end()), gathered.end());
  if (gathered == windows_) return false;
  const bool length_changed = gathered.size() != windows_.size();
  windows_ = std::move(gathered);
  return length_changed;
}
