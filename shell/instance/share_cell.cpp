#include "shell/instance/share_cell.h"

#include "foundation/log.h"

const wchar_t kInstanceCellName[] = L"tarvolive_zentavo_share_mem";

namespace {

// A writer holds the busy marker only while it stores one word: readers wait that long at most.
constexpr DWORD kBusyRetryMs = 5;
constexpr int kBusyRetries = 40;

}  // namespace

CxShareCell::CxShareCell(DWORD size, const std::wstring& name) : size_(size), name_(name) {}

CxShareCell::~CxShareCell() { Close(); }

void CxShareCell::Close() {
  if (view_) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  if (mapping_) {
    CloseHandle(mapping_);
    mapping_ = nullptr;
  }
  if (mutex_) {
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
}

bool CxShareCell::TryMarkBusy(bool close_at_once) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (name_ + L"_mtx").c_str());
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!mutex) return false;
  if (existed) {
    CloseHandle(mutex);
    return false;
  }
  if (close_at_once) {
    CloseHandle(mutex);
  } else {
    if (mutex_) CloseHandle(mutex_);
    mutex_ = mutex;
  }
  return true;
}

bool CxShareCell::ReleaseBusy() {
  if (mutex_) {
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
  return true;
}

void* CxShareCell::CreateView() {
  if (view_) return view_;
  if (!mapping_) {
    mapping_ =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size_, name_.c_str());
    if (!mapping_) return nullptr;
  }
  view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  return view_;
}

void* CxShareCell::OpenView() {
  if (view_) return view_;
  if (!mapping_) {
    mapping_ = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name_.c_str());
    if (!mapping_) return nullptr;
  }
  view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  return view_;
}

bool CxShareCell::Write(UINT_PTR value) {
  void* view = CreateView();
  if (!view) return false;
  TryMarkBusy(false);
  *static_cast<volatile UINT_PTR*>(view) = value;
  ReleaseBusy();
  return true;
}

bool CxShareCell::WriterBusy() const {
  HANDLE marker = OpenMutexW(SYNCHRONIZE, FALSE, (name_ + L"_mtx").c_str());
  if (!marker) return false;
  CloseHandle(marker);
  return true;
}

UINT_PTR CxShareCell::Read() {
  for (int retries = 0; WriterBusy(); ++retries) {
    if (retries == kBusyRetries) {
      TVLOG_WARN_THIS() << "the cell's writer is still busy after "
                        << static_cast<unsigned long>(kBusyRetries * kBusyRetryMs)
                        << " ms; nothing read";
      return 0;
    }
    Sleep(kBusyRetryMs);
  }
  void* view = OpenView();
  return view ? *static_cast<volatile UINT_PTR*>(view) : 0;
}

bool ActivateRunningInstance(const std::string& command_line, UINT timeout_ms,
                             const wchar_t* cell_name) {
  CxShareCell cell(kInstanceCellSize, cell_name);
  HWND hwnd = reinterpret_cast<HWND>(cell.Read());
  if (!hwnd || !IsWindow(hwnd)) {
    TVLOG_WARN() << "hand-off given up: "
                 << (hwnd ? "the window in the cell is gone" : "no running window in the cell");
    return false;
  }
  if (IsWindowVisible(hwnd)) {
    // Asynchronous, so that raising a hung window cannot block us either.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS);
    SetForegroundWindow(hwnd);
  }
  COPYDATASTRUCT data{};
  data.dwData = 0;
  data.cbData = static_cast<DWORD>(command_line.size());
  data.lpData = const_cast<char*>(command_line.data());
  DWORD_PTR answer = 0;
  // A hung first instance must not hang every later start.
  if (!SendMessageTimeoutW(hwnd, WM_COPYDATA, kCopyDataCommandLine, reinterpret_cast<LPARAM>(&data),
                           SMTO_ABORTIFHUNG, timeout_ms, &answer)) {
    TVLOG_WARN() << "the running instance did not answer within " << timeout_ms << " ms";
    return false;
  }
  return true;
}
