#pragma once

// What the settings window tests stand the window on: a recording responder in place of the SDK
// layer on the real bus, a page-event sink, an owner, and runs of the window as the main window
// makes them, driven by input at laid-out positions.

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/beauty_record.h"
#include "foundation/bus.h"
#include "foundation/dev_consumer.h"
#include "shell/jsevents/js_event_sender.h"
#include "windows/common/tests/dialog_test_support.h"
#include "windows/settings/setting_frame.h"

struct StAppConfig;

namespace setting_test {

// Listens to the SDK layer's topics (1 to 21) and the language topic on the client's bus,
// answers from its table and records each call as "<topic tail> arg,arg,..." in order, where
// the tail is the topic without "event/id/ui/" and "/s" ("open/dev/video cam1,Cam 1,1,0").
// ClearCalls forgets the beauty blocks too.
class RecordingResponder {
 public:
  RecordingResponder();
  ~RecordingResponder();

  // Answers.
  std::vector<stDev_Info> cameras, mics, speakers;
  std::map<std::string, stDev_Info> largest;  // by camera identifier
  bool openVideoAnswer = false;
  bool setResolutionAnswer = false;
  int micLevel = 40;
  int speakerLevel = 60;

  // The beauty blocks of "set/beauty/dev", copied during each call as the SDK layer does.
  std::vector<st_beauty> Beauties() const;

  std::vector<std::string> Calls() const;
  // Calls whose text starts with `prefix`.
  std::vector<std::string> CallsOf(const std::string& prefix) const;
  int Count(const std::string& prefix) const { return static_cast<int>(CallsOf(prefix).size()); }
  void ClearCalls();
  // The consumers added and not removed.
  std::vector<DevConsumerDelegate*> Consumers() const;

 private:
  void Record(const std::string& call);
  void AddConsumer(DevConsumerDelegate* consumer);
  void DelConsumer(DevConsumerDelegate* consumer);
  std::vector<stDev_Info> CamList();
  std::vector<stDev_Info> MicList();
  std::vector<stDev_Info> SpeakerList();
  stDev_Info CamResolution(const std::string& id);
  bool SetResolution(const std::string& id, const std::string& name, int w, int h);
  void SetPreference(bool fluency);
  void OpenPicture();
  void ClosePicture();
  void CheckVideos();
  bool OpenVideo(const std::string& id, const std::string& name, bool publish, bool beauty);
  void CloseVideo(const std::string& id, const std::string& name, bool force);
  void OpenAudio(const std::string& name, const std::string& id, bool mic, bool test);
  void CloseAudio(const std::string& name, const std::string& id, bool mic, bool test);
  void SetBeauty(const std::string& id, void* beauty, bool apply);
  int MicValue();
  int SpeakerValue();
  void PlayTestSpeaker(const std::string& name, const std::string& id, const std::string& file,
                       bool flag);
  void SetSpeakerValue(unsigned int volume);
  void AvMuted(std::string stream);
  void Language(std::string& language);

  mutable std::mutex lock_;
  std::vector<std::string> calls_;
  std::vector<st_beauty> beauties_;
  std::vector<DevConsumerDelegate*> consumers_;
  CxSubscriptionList subscriptions_;
};

// Receives the page events and keeps their JSON texts.
class PageEventSink : public JsEventDelegate {
 public:
  PageEventSink();
  ~PageEventSink();
  void OnNativeInvokeJS(const std::string& json, bool log) override;
  void DeferExitNotify(int, const std::string&, bool) override {}
  void OnShareStopped() override {}
  void RestoreIfNotMaximized() override {}

  std::vector<std::string> Events() const;
  // Events whose "event" number is `number`, printed without spaces.
  std::vector<std::string> EventsOf(int number) const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<std::string> events_;
};

// The main window's side of the device consumer interface.
class TestOwner : public DevConsumerDelegate {
 public:
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return false; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return 1280; }
  int GetCaptureHeight() override { return 720; }
  void StartUpdater(bool run) override { updater.push_back(run); }
  std::string GetUpdateServer() override { return updateServer; }

  std::string updateServer;  // empty: no server
  std::vector<bool> updater;
};

// Runs a settings window as the main window does: created with (owner, role, page) as a popup
// of the owner window with style 0x96C80000 under the name "SettingFrame", modal. `script` runs
// inside the modal loop once the window is laid out; the window closes itself when the script
// leaves it open for `timeout_ms`.
struct RunResult {
  UINT result = 0xFFFF;
  bool timed_out = false;
};
RunResult RunSettings(
    HWND ownerWindow, DevConsumerDelegate* owner, int role, int page,
    const std::function<void(CSettingFrame*, HWND, DuiLib::CPaintManagerUI*)>& script,
    DWORD timeout_ms = 20000);

// Starts GDI+ for the test program, once; the pictures the window loads need it.
using dialog_test::StartGdiplusOnce;

// Pumps the window's messages for `ms` milliseconds (timers, posted messages), or until `done`.
void Pump(int ms);
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// Opens the named combo with a click and clicks its entry `index` in the drop-down.
bool ChooseFromCombo(HWND hwnd, DuiLib::CPaintManagerUI* pm, const wchar_t* combo, int index);

// The control `name` of the window as its interface `kind`.
template <class T>
T* Get(DuiLib::CPaintManagerUI* pm, const wchar_t* name) {
  return static_cast<T*>(pm->FindControl(name));
}

// Runs `script` once inside the next dialog of window class `cls` that opens (as it opens
// from the window under test, modally), once it is laid out. DialogWasDriven tells whether it
// ran since.
void DriveNextDialog(const wchar_t* cls,
                     std::function<void(HWND, DuiLib::CPaintManagerUI*)> script);
bool DialogWasDriven();

inline bool Visible(DuiLib::CPaintManagerUI* pm, const wchar_t* name) {
  DuiLib::CControlUI* control = pm->FindControl(name);
  return control && control->IsVisible();
}
inline bool Enabled(DuiLib::CPaintManagerUI* pm, const wchar_t* name) {
  DuiLib::CControlUI* control = pm->FindControl(name);
  return control && control->IsEnabled();
}

// Points the settings at the devices the tests list first: camera "cam1" ("Cam One", 1280 x
// 720, upright, in camera mode with no picture chosen), microphone "mic1" ("Mic One") and
// speaker "spk1" ("Speaker One"); returns them for what a test adds.
StAppConfig* ConfigureTestDevices();

// The configuration file the tests save into (a fresh file in the test data folder).
std::wstring ConfigPath(const std::wstring& name);

// Pictures to choose: the bytes of a file, a file written, a path in the test data folder, and
// the default picture grown to exactly `size` bytes with comment segments after its start
// marker (still a valid JPEG; empty when `size` is too small).
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::wstring DataFile(const std::wstring& name);
std::string JpegOfSize(size_t size);

// The pictures at the size limit, written to the test data folder: <prefix>exact.jpg (2 MiB
// exactly), <prefix>over.jpg (one byte more) and <prefix>text.jpg (a text file).
struct LimitPictures {
  std::wstring exact, over, text;
};
LimitPictures WriteLimitPictures(const std::wstring& prefix);

}  // namespace setting_test
