#include "devices/av_speaker.h"

#include <uuids.h>

#include <cstring>

#include "devices/av_log.h"
#include "devices/av_wave_image.h"

namespace {

constexpr wchar_t kWindowClass[] = L"WndClass_NotifySpeaker";
constexpr size_t kWaveOutNameMax = 31;  // Wave-out device names are cut to this length.

LRESULT CALLBACK SpeakerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&SpeakerWindowProc), &module);
  return module;
}

struct OutputSearch {
  const std::wstring* name;
  bool found;
  GUID guid;
};

BOOL CALLBACK VisitOutput(LPGUID guid, LPCWSTR description, LPCWSTR, LPVOID context) {
  auto* search = static_cast<OutputSearch*>(context);
  if (!description || !AvSpeaker::DescriptionMatches(description, *search->name)) return TRUE;
  search->found = true;
  search->guid = guid ? *guid : GUID_NULL;
  return FALSE;
}

}  // namespace

AvSpeaker::AvSpeaker() = default;

AvSpeaker::~AvSpeaker() { Uninit(); }

bool AvSpeaker::DescriptionMatches(const std::wstring& description, const std::wstring& name) {
  if (name.empty()) return false;
  if (description == name) return true;
  return name.size() == kWaveOutNameMax && description.compare(0, name.size(), name) == 0;
}

void AvSpeaker::SetSink(AvSpeakerSink* sink) { sink_.store(sink); }

void AvSpeaker::Report(int state) {
  if (AvSpeakerSink* sink = sink_.load()) sink->OnState(state);
}

int AvSpeaker::Init() {
  AvLog("AvSpeaker::Init, pInst = %08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  if (!window_) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = SpeakerWindowProc;
    window_class.hInstance = ThisModule();
    window_class.lpszClassName = kWindowClass;
    // A second engine finds the class registered: that is as good.
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      AvLog("AvSpeaker::Init: the window class cannot be registered (%lu)", GetLastError());
      return 0;
    }
    window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 320, 240, GetDesktopWindow(),
                              nullptr, ThisModule(), nullptr);
    if (!window_) {
      AvLog("AvSpeaker::Init: the window cannot be made (%lu)", GetLastError());
      return 0;
    }
    window_thread_ = GetCurrentThreadId();
  }
  if (!CreateGraph()) return 0;
  EnumDevices();
  return 1;
}

void AvSpeaker::Uninit() {
  CloseDevice();  // Stops and unloads first.
  ReleaseGraph();
  if (window_) {
    if (GetCurrentThreadId() == window_thread_) {
      DestroyWindow(window_);
    } else {
      PostMessageW(window_, WM_CLOSE, 0, 0);  // Closed by its own thread.
    }
    window_ = nullptr;
    // Fails while another engine's window exists; the last engine unregisters the class.
    UnregisterClassW(kWindowClass, ThisModule());
  }
}

int AvSpeaker::EnumDevices() {
  if (!HasGraph()) return -1;
  const int count = morlun::ListDevices(CLSID_AudioRendererCategory, &devices_,
                                        [](const morlun::AvDeviceEntry& entry) {
                                          return entry.name.find(L"DirectSound") ==
                                                 std::wstring::npos;
                                        });
  AvLog("AvSpeaker::EnumDevices = %d", count);
  return count;
}

const wchar_t* AvSpeaker::GetDeviceName(int index) {
  if (index < 0 || index >= static_cast<int>(devices_.size())) return nullptr;
  return devices_[index].name.c_str();
}

const wchar_t* AvSpeaker::GetDevicePath(int index) {
  if (index < 0 || index >= static_cast<int>(devices_.size())) return nullptr;
  return devices_[index].path.c_str();
}

int AvSpeaker::OpenDevice(const wchar_t* name, const wchar_t* path) {
  CloseDevice();
  if (!HasGraph() || !window_) return 0;
  device_filter_ = morlun::BindDevice(CLSID_AudioRendererCategory, name, path, &opened_);
  if (!device_filter_) {
    AvLog("AvSpeaker::OpenDevice: no such device");
    CloseDevice();
    return 0;
  }
  OutputSearch search{&opened_.name, false, GUID_NULL};
  DirectSoundEnumerateW(VisitOutput, &search);
  if (!search.found) {
    AvLog("AvSpeaker::OpenDevice: no DirectSound output for the device");
    CloseDevice();
    return 0;
  }
  device_guid_ = search.guid;
  HRESULT hr = DirectSoundCreate(device_guid_ == GUID_NULL ? nullptr : &device_guid_, &sound_,
                                 nullptr);
  if (SUCCEEDED(hr)) hr = sound_->SetCooperativeLevel(window_, DSSCL_NORMAL);
  if (SUCCEEDED(hr)) {
    end_event_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!end_event_) hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) {
    AvLog("AvSpeaker::OpenDevice: DirectSound failed, hr = %08lx", static_cast<unsigned long>(hr));
    CloseDevice();
    return 0;
  }
  AvLog("AvSpeaker::OpenDevice: opened");
  return 1;
}

void AvSpeaker::CloseDevice() {
  device_filter_.Reset();
  opened_ = morlun::AvDeviceEntry();
  Unload();
  sound_.Reset();
  end_event_.Close();
  device_guid_ = GUID_NULL;
}

bool AvSpeaker::IsOpened() { return device_filter_ != nullptr; }

const wchar_t* AvSpeaker::GetOpenedName() { return opened_.name.c_str(); }

const wchar_t* AvSpeaker::GetOpenedPath() { return opened_.path.c_str(); }

bool AvSpeaker::MakeBuffer(const std::vector<uint8_t>& format, const uint8_t* data,
                           size_t size) {
  DSBUFFERDESC description{};
  description.dwSize = sizeof(description);
  description.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS;
  description.dwBufferBytes = static_cast<DWORD>(size);
  description.lpwfxFormat =
      reinterpret_cast<WAVEFORMATEX*>(const_cast<uint8_t*>(format.data()));
  HRESULT hr = sound_->CreateSoundBuffer(&description, &buffer_, nullptr);
  if (SUCCEEDED(hr)) {
    hr = buffer_->QueryInterface(IID_IDirectSoundNotify,
                                 reinterpret_cast<void**>(notify_.ReleaseAndGetAddressOf()));
  }
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD bytes1 = 0;
  DWORD bytes2 = 0;
  if (SUCCEEDED(hr)) {
    hr = buffer_->Lock(0, 0, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER);
    if (hr == DSERR_BUFFERLOST && SUCCEEDED(buffer_->Restore())) {
      hr = buffer_->Lock(0, 0, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER);
    }
  }
  if (SUCCEEDED(hr)) {
    std::memcpy(part1, data, bytes1 < size ? bytes1 : size);
    if (part2 && bytes1 < size) std::memcpy(part2, data + bytes1, size - bytes1);
    buffer_->Unlock(part1, bytes1, part2, bytes2);
  }
  if (FAILED(hr)) {
    AvLog("AvSpeaker::LoadWave: the sound buffer cannot be made, hr = %08lx",
          static_cast<unsigned long>(hr));
    notify_.Reset();
    buffer_.Reset();
    return false;
  }
  return true;
}

int AvSpeaker::LoadWave(const uint8_t* image, unsigned size) {
  Unload();
  morlun::WaveImage wave;
  const char* error = "";
  if (!morlun::ParseWaveImage(image, size, &wave, &error)) {
    AvLog("AvSpeaker::LoadWave: refused: %s", error);
    return 0;
  }
  if (sound_ && !MakeBuffer(wave.format, wave.data, wave.data_size)) return 0;
  data_.assign(wave.data, wave.data + wave.data_size);
  format_ = std::move(wave.format);
  AvLog("AvSpeaker::LoadWave: %u bytes of sound", static_cast<unsigned>(data_.size()));
  return 1;
}

int AvSpeaker::Unload() {
  Stop();
  data_.clear();
  notify_.Reset();
  buffer_.Reset();
  format_.clear();
  return 0;
}

void AvSpeaker::EndWatcher() {
  if (!watcher_.joinable()) return;
  if (std::this_thread::get_id() == watcher_.get_id()) {
    watcher_.detach();  // Called from its own OnState: it ends by itself after that.
    return;
  }
  watcher_cancel_.store(true);
  if (end_event_) SetEvent(end_event_.Get());
  watcher_.join();
}

void AvSpeaker::WatchPlayback() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
  HANDLE end_event = end_event_.Get();
  while (!watcher_cancel_.load() && playing_.load()) {
    if (WaitForSingleObject(end_event, 100) != WAIT_OBJECT_0) continue;
    if (watcher_cancel_.load()) return;
    if (playing_.exchange(false)) {
      AvLog("AvSpeaker: playback ended");
      try {
        Report(0);
      } catch (...) {
        AvLog("AvSpeaker: OnState threw");
      }
    }
    return;  // Touches nothing of the engine after the report.
  }
}

int AvSpeaker::Play() {
  if (data_.empty()) {
    Stop();
    AvLog("AvSpeaker::Play: nothing loaded");
    return 0;
  }
  if (!sound_ || !buffer_ || !notify_ || !end_event_) {
    Stop();
    AvLog("AvSpeaker::Play: no device");
    return 1;
  }
  // A Play while playing restarts the sound: the old watcher goes without a report.
  EndWatcher();
  buffer_->Stop();
  buffer_->SetCurrentPosition(0);
  ResetEvent(end_event_.Get());
  DSBPOSITIONNOTIFY mark{static_cast<DWORD>(DSBPN_OFFSETSTOP), end_event_.Get()};
  HRESULT hr = notify_->SetNotificationPositions(1, &mark);
  const bool was_playing = playing_.exchange(true);
  if (SUCCEEDED(hr)) {
    try {
      watcher_cancel_.store(false);
      watcher_ = std::thread(&AvSpeaker::WatchPlayback, this);
    } catch (...) {
      hr = E_OUTOFMEMORY;
    }
  }
  if (SUCCEEDED(hr)) hr = buffer_->Play(0, 0, 0);
  if (FAILED(hr)) {
    AvLog("AvSpeaker::Play failed, hr = %08lx", static_cast<unsigned long>(hr));
    playing_.store(false);
    EndWatcher();
    if (was_playing) Report(0);
    return 0;
  }
  AvLog("AvSpeaker::Play");
  if (!was_playing) Report(1);
  return 1;
}

void AvSpeaker::Stop() {
  const bool was_playing = playing_.exchange(false);
  if (buffer_) {
    DWORD status = 0;
    if (SUCCEEDED(buffer_->GetStatus(&status)) && (status & DSBSTATUS_PLAYING)) buffer_->Stop();
  }
  EndWatcher();
  if (was_playing) {
    AvLog("AvSpeaker::Stop");
    Report(0);
  }
}

bool AvSpeaker::IsPlaying() { return playing_.load(); }
