#include "share/beauty/beauty_face.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/log.h"

namespace {

std::wstring ChannelName(int instance) {
  wchar_t name[64];
  std::swprintf(name, 64, L"TarvoFaceBeauty_%d", instance);
  return name;
}

std::wstring BeautyProgramPath() {
  wchar_t path[1025] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, 1024);
  std::wstring folder(path, n);
  const size_t slash = folder.find_last_of(L'\\');
  folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
  return folder + L"\\beauty\\TarvoAiVideo.exe";
}

}  // namespace

CxBeautyFace::CxBeautyFace(int instance) : param_(DefaultBeautyParam()), instance_(instance) {
  channel_.Create(ChannelName(instance).c_str(), kChannelSize, true);
}

CxBeautyFace::~CxBeautyFace() {
  UnInit();
  channel_.Close();
}

void CxBeautyFace::Init() {
  std::lock_guard<std::mutex> guard(process_lock_);
  TVLOG_INFO_THIS() << "CxBeautyFace::Init begin";
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) return;  // still running
    CloseHandle(process_);
    process_ = nullptr;
    TVLOG_INFO_THIS() << "CxBeautyFace::Init WaitForSingleObject(m_hProcess, 0)";
  }
  const std::wstring program = BeautyProgramPath();
  wchar_t arguments[256];
  std::swprintf(arguments, 256, L"NAME=%ls MODE=0 PID=%lu", ChannelName(instance_).c_str(),
                GetCurrentProcessId());
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // No error box when the program is missing: Init runs on a worker thread, and frames simply
  // pass unprocessed without the process.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = arguments;
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) {
    TVLOG_WARN_THIS() << "cannot start the beauty process, error " << GetLastError();
    return;
  }
  process_ = info.hProcess;
}

void CxBeautyFace::UnInit() {
  TVLOG_INFO_THIS() << "CxBeautyFace::UnInit begin";
  {
    std::lock_guard<std::mutex> guard(process_lock_);
    if (process_) {
      TerminateProcess(process_, 0);
      // Reap it, so that no half-ended process is left behind.
      WaitForSingleObject(process_, 5000);
      CloseHandle(process_);
      process_ = nullptr;
    }
  }
  TVLOG_INFO_THIS() << "CxBeautyFace::UnInit end";
}

bool CxBeautyFace::IsBeauty() {
  std::lock_guard<std::mutex> guard(process_lock_);
  if (!process_) return false;
  if (WaitForSingleObject(process_, 0) != WAIT_TIMEOUT) {
    TVLOG_INFO_THIS()
        << "CxBeautyFace::BeautyFaceProcess WaitForSingleObject(m_hProcess, 0) != WAIT_TIMEOUT";
    CloseHandle(process_);
    process_ = nullptr;
    return false;
  }
  return param_.flags != 0 || param_.background_mode != 0;
}

void CxBeautyFace::SetParam(StBeautyParam param) {
  param_.flags = param.flags;
  param_.param_12 = param.param_12;
  param_.beauty_level_2 = param.beauty_level_2;
  param_.beauty_level_3 = param.beauty_level_3;
  param_.param_28 = param.param_28;
  param_.beauty_level_4 = param.beauty_level_4;
  param_.beauty_level_5 = param.beauty_level_5;
  param_.beauty_level_6 = param.beauty_level_6;
  param_.param_48 = param.param_48;
  param_.beauty_level_1 = param.beauty_level_1;
  param_.background_mode = param.background_mode;
  param_.background_level = param.background_level;
  param_.key_color = param.key_color;
  // The path always ends with a zero inside its field, so the reader never runs past it.
  std::memset(param_.material_path, 0, sizeof(param_.material_path));
  size_t length = 0;
  while (length < sizeof(param.material_path) - 1 && param.material_path[length]) ++length;
  std::memcpy(param_.material_path, param.material_path, length);
}

bool CxBeautyFace::BeautyFaceProcess(uint8_t* data, unsigned size, int width, int height) {
  if (!data || size == 0 || !IsBeauty()) return false;
  param_.width = width;
  param_.height = height;
  ++param_.frame_counter;

  constexpr unsigned kBlock = sizeof(StBeautyParam);
  uint8_t* view = channel_.GetView();
  if (!view || size > channel_.GetCapacity() - kBlock || channel_.GetCapacity() < kBlock) {
    TVLOG_INFO_THIS() << "CxBeautyFace::BeautyFaceProcess MemShare.Write Failed";
    return false;
  }
  {
    CxAutoLock guard(channel_.GetChannelLock());
    const uint32_t header[2] = {kBlock + size, channel_.GetCapacity()};
    std::memcpy(view, header, sizeof(header));
    std::memcpy(view + CxShareMemory::kHeaderSize, &param_, kBlock);
    std::memcpy(view + CxShareMemory::kHeaderSize + kBlock, data, size);
    channel_.SignalPeer();
  }

  if (channel_.Wait(kAnswerTimeoutMs) != 1) {
    TVLOG_INFO_THIS() << "CxBeautyFace::BeautyFaceProcess MemShare.Wait Failed";
    return false;
  }
  // Read into scratch first: an answer of another size must not touch the caller's frame.
  uint32_t answer_length = 0;
  {
    CxAutoLock guard(channel_.GetChannelLock());
    std::memcpy(&answer_length, view, sizeof(answer_length));
  }
  if (answer_.size() < size) answer_.resize(size);
  const unsigned count = answer_length == size ? channel_.Read(answer_.data(), size) : 0;
  if (count != size) {
    TVLOG_INFO_THIS() << "CxBeautyFace::BeautyFaceProcess m_xMemShare.Read Failed";
    return false;
  }
  std::memcpy(data, answer_.data(), size);
  return true;
}
