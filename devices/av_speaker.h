#pragma once

// AvSpeaker: Morlun's speaker test engine (devices/av_speaker_engine.h) over DirectSound.
//
// Threads: control operations on the user's thread, one at a time. Each Play starts a watcher
// thread that waits for the end of the sound; one atomic exchange of the playing flag decides
// whether the watcher or Stop reports OnState (0), so it is reported once. Watchers are joined
// by Play (which restarts silently), Stop, Unload, CloseDevice, Uninit and destroy, except when
// these run on the watcher itself (from inside its OnState), which lets it end by itself.

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <wrl/client.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "devices/av_base.h"
#include "devices/av_device_list.h"
#include "devices/av_speaker_engine.h"
#include "foundation/handle.h"

class AvSpeaker : public AvBase, public AvSpeakerEngine {
 public:
  AvSpeaker();
  ~AvSpeaker() override;

  // AvSpeakerEngine.
  void SetSink(AvSpeakerSink* sink) override;
  int Init() override;
  void Uninit() override;
  int EnumDevices() override;
  const wchar_t* GetDeviceName(int index) override;
  const wchar_t* GetDevicePath(int index) override;
  int OpenDevice(const wchar_t* name, const wchar_t* path) override;
  void CloseDevice() override;
  bool IsOpened() override;
  const wchar_t* GetOpenedName() override;
  const wchar_t* GetOpenedPath() override;
  int Play() override;
  void Stop() override;
  bool IsPlaying() override;
  int LoadWave(const uint8_t* image, unsigned size) override;
  int Unload() override;

  // Whether a DirectSound output description matches a wave-out device name: equal, or, for a
  // name cut to 31 characters, starting with it.
  static bool DescriptionMatches(const std::wstring& description, const std::wstring& name);

 private:
  void Report(int state);
  bool MakeBuffer(const std::vector<uint8_t>& format, const uint8_t* data, size_t size);
  // Ends the watcher without a report (joins it, or lets it go when called on it).
  void EndWatcher();
  void WatchPlayback();

  std::atomic<AvSpeakerSink*> sink_{nullptr};
  std::vector<morlun::AvDeviceEntry> devices_;
  Microsoft::WRL::ComPtr<IBaseFilter> device_filter_;
  morlun::AvDeviceEntry opened_;
  Microsoft::WRL::ComPtr<IDirectSound> sound_;
  Microsoft::WRL::ComPtr<IDirectSoundBuffer> buffer_;
  Microsoft::WRL::ComPtr<IDirectSoundNotify> notify_;
  std::atomic<bool> playing_{false};
  std::vector<uint8_t> data_;    // The loaded sound (a copy of the "data" chunk).
  std::vector<uint8_t> format_;  // Its WAVEFORMATEX block.
  std::thread watcher_;
  std::atomic<bool> watcher_cancel_{false};
  CxHandle end_event_;  // Auto-reset; set by DirectSound when the buffer stops.
  GUID device_guid_ = GUID_NULL;
  HWND window_ = nullptr;  // Owns the cooperative level; made by Init on its thread.
  DWORD window_thread_ = 0;
};
