#include "windows/settings/tests/setting_test_support.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/text_convert.h"
#include "platform/duilib/tests/test_support.h"
#include "shell/system/system_info.h"

namespace setting_test {

namespace {

std::string Tail(const char* topic) {
  std::string text = topic;
  const std::string head = "event/id/ui/";
  if (text.compare(0, head.size(), head) == 0) text.erase(0, head.size());
  if (text.size() > 2 && text.compare(text.size() - 2, 2, "/s") == 0) text.resize(text.size() - 2);
  return text;
}

template <class... A>
std::string Join(const char* topic, const A&... args) {
  std::ostringstream out;
  out << Tail(topic);
  int n = 0;
  ((out << (n++ == 0 ? " " : ",") << args), ...);
  return out.str();
}

}  // namespace

RecordingResponder::RecordingResponder() {
  CxBusCast& bus = GetMessageBus();
  CxBus::Listen(subscriptions_, bus, kTopicAddDevConsumer, &RecordingResponder::AddConsumer, this);
  CxBus::Listen(subscriptions_, bus, kTopicDelDevConsumer, &RecordingResponder::DelConsumer, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetCamList, &RecordingResponder::CamList, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetMicList, &RecordingResponder::MicList, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetSpeakerList, &RecordingResponder::SpeakerList, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetCamResolution, &RecordingResponder::CamResolution,
                this);
  CxBus::Listen(subscriptions_, bus, kTopicSetResolution, &RecordingResponder::SetResolution, this);
  CxBus::Listen(subscriptions_, bus, kTopicSetPreference, &RecordingResponder::SetPreference, this);
  CxBus::Listen(subscriptions_, bus, kTopicOpenPicture, &RecordingResponder::OpenPicture, this);
  CxBus::Listen(subscriptions_, bus, kTopicClosePicture, &RecordingResponder::ClosePicture, this);
  CxBus::Listen(subscriptions_, bus, kTopicCheckDevVideos, &RecordingResponder::CheckVideos, this);
  CxBus::Listen(subscriptions_, bus, kTopicOpenDevVideo, &RecordingResponder::OpenVideo, this);
  CxBus::Listen(subscriptions_, bus, kTopicCloseDevVideo, &RecordingResponder::CloseVideo, this);
  CxBus::Listen(subscriptions_, bus, kTopicOpenDevAudio, &RecordingResponder::OpenAudio, this);
  CxBus::Listen(subscriptions_, bus, kTopicCloseDevAudio, &RecordingResponder::CloseAudio, this);
  CxBus::Listen(subscriptions_, bus, kTopicSetBeautyDev, &RecordingResponder::SetBeauty, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetMicValue, &RecordingResponder::MicValue, this);
  CxBus::Listen(subscriptions_, bus, kTopicGetSpeakerValue, &RecordingResponder::SpeakerValue,
                this);
  CxBus::Listen(subscriptions_, bus, kTopicPlayTestSpeaker, &RecordingResponder::PlayTestSpeaker,
                this);
  CxBus::Listen(subscriptions_, bus, kTopicSetSpeakerValue, &RecordingResponder::SetSpeakerValue,
                this);
  CxBus::Listen(subscriptions_, bus, kTopicAvMuted, &RecordingResponder::AvMuted, this);
  CxBus::Listen(subscriptions_, bus, kTopicLanguage, &RecordingResponder::Language, this);
}

RecordingResponder::~RecordingResponder() { subscriptions_.RemoveAll(); }

void RecordingResponder::Record(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
}

std::vector<std::string> RecordingResponder::Calls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

std::vector<std::string> RecordingResponder::CallsOf(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : Calls()) {
    if (call.compare(0, prefix.size(), prefix) == 0) out.push_back(call);
  }
  return out;
}

void RecordingResponder::ClearCalls() {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.clear();
  beauties_.clear();
}

std::vector<DevConsumerDelegate*> RecordingResponder::Consumers() const {
  std::lock_guard<std::mutex> guard(lock_);
  return consumers_;
}

void RecordingResponder::AddConsumer(DevConsumerDelegate* consumer) {
  Record(Join(kTopicAddDevConsumer));
  std::lock_guard<std::mutex> guard(lock_);
  consumers_.push_back(consumer);
}

void RecordingResponder::DelConsumer(DevConsumerDelegate* consumer) {
  Record(Join(kTopicDelDevConsumer));
  std::lock_guard<std::mutex> guard(lock_);
  consumers_.erase(std::remove(consumers_.begin(), consumers_.end(), consumer), consumers_.end());
}

std::vector<stDev_Info> RecordingResponder::CamList() {
  Record(Join(kTopicGetCamList));
  return cameras;
}

std::vector<stDev_Info> RecordingResponder::MicList() {
  Record(Join(kTopicGetMicList));
  return mics;
}

std::vector<stDev_Info> RecordingResponder::SpeakerList() {
  Record(Join(kTopicGetSpeakerList));
  return speakers;
}

stDev_Info RecordingResponder::CamResolution(const std::string& id) {
  Record(Join(kTopicGetCamResolution, id));
  auto it = largest.find(id);
  if (it != largest.end()) return it->second;
  stDev_Info full;
  full.id = id;
  full.width = 1920;
  full.height = 1080;
  return full;
}

bool RecordingResponder::SetResolution(const std::string& id, const std::string& name, int w,
                                       int h) {
  Record(Join(kTopicSetResolution, id, name, w, h));
  return setResolutionAnswer;
}

void RecordingResponder::SetPreference(bool fluency) { Record(Join(kTopicSetPreference, fluency)); }
void RecordingResponder::OpenPicture() { Record(Join(kTopicOpenPicture)); }
void RecordingResponder::ClosePicture() { Record(Join(kTopicClosePicture)); }
void RecordingResponder::CheckVideos() { Record(Join(kTopicCheckDevVideos)); }

bool RecordingResponder::OpenVideo(const std::string& id, const std::string& name, bool publish,
                                   bool beauty) {
  Record(Join(kTopicOpenDevVideo, id, name, publish, beauty));
  return openVideoAnswer;
}

void RecordingResponder::CloseVideo(const std::string& id, const std::string& name, bool force) {
  Record(Join(kTopicCloseDevVideo, id, name, force));
}

void RecordingResponder::OpenAudio(const std::string& name, const std::string& id, bool mic,
                                   bool test) {
  Record(Join(kTopicOpenDevAudio, name, id, mic, test));
}

void RecordingResponder::CloseAudio(const std::string& name, const std::string& id, bool mic,
                                    bool test) {
  Record(Join(kTopicCloseDevAudio, name, id, mic, test));
}

void RecordingResponder::SetBeauty(const std::string& id, void* beauty, bool apply) {
  Record(Join(kTopicSetBeautyDev, id, apply));
  if (!beauty) return;
  // The pointer is valid during the call only.
  std::lock_guard<std::mutex> guard(lock_);
  beauties_.push_back(*static_cast<const st_beauty*>(beauty));
}

std::vector<st_beauty> RecordingResponder::Beauties() const {
  std::lock_guard<std::mutex> guard(lock_);
  return beauties_;
}

int RecordingResponder::MicValue() {
  Record(Join(kTopicGetMicValue));
  return micLevel;
}

int RecordingResponder::SpeakerValue() {
  Record(Join(kTopicGetSpeakerValue));
  return speakerLevel;
}

void RecordingResponder::PlayTestSpeaker(const std::string& name, const std::string& id,
                                         const std::string& file, bool flag) {
  Record(Join(kTopicPlayTestSpeaker, name, id, file, flag));
}

void RecordingResponder::SetSpeakerValue(unsigned int volume) {
  Record(Join(kTopicSetSpeakerValue, volume));
}

void RecordingResponder::AvMuted(std::string stream) { Record(Join(kTopicAvMuted, stream)); }

void RecordingResponder::Language(std::string& language) {
  Record(Join(kTopicLanguage, language));
}

// ---- page events ----------------------------------------------------------------------------

PageEventSink::PageEventSink() { CJsEventSender::Instance()->SetDelegate(this); }

PageEventSink::~PageEventSink() { CJsEventSender::Instance()->SetDelegate(nullptr); }

void PageEventSink::OnNativeInvokeJS(const std::string& json, bool) {
  std::lock_guard<std::mutex> guard(lock_);
  events_.push_back(json);
}

std::vector<std::string> PageEventSink::Events() const {
  std::lock_guard<std::mutex> guard(lock_);
  return events_;
}

std::vector<std::string> PageEventSink::EventsOf(int number) const {
  std::vector<std::string> out;
  for (const std::string& json : Events()) {
    cJSON* root = cJSON_Parse(json.c_str());
    const cJSON* event = cJSON_GetObjectItemCaseSensitive(root, "event");
    if (cJSON_IsNumber(event) && event->valueint == number) {
      char* text = cJSON_PrintUnformatted(root);
      out.push_back(text ? text : "");
      cJSON_free(text);
    }
    cJSON_Delete(root);
  }
  return out;
}

void PageEventSink::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  events_.clear();
}

// ---- runs -------------------------------------------------------------------------------------

void Pump(int ms) { duilib_test::Pump(ms); }

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  return duilib_test::PumpUntil(done, timeout_ms);
}

bool ChooseFromCombo(HWND hwnd, DuiLib::CPaintManagerUI* pm, const wchar_t* name, int index) {
  auto* combo = static_cast<DuiLib::CComboUI*>(pm->FindControl(name));
  dialog_test::LayOut(pm);  // a page shown just now may not be laid out yet
  if (!combo || !dialog_test::ClickOn(hwnd, pm, name)) return false;
  HWND drop = combo->GetDropWindow();
  if (!drop) return false;
  const int item = combo->GetListInfo()->nItemHeight;
  SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(20, item * index + item / 2));
  Pump(20);
  return combo->GetCurSel() == index;
}

namespace {

struct DialogDrive {
  std::wstring cls;
  std::function<void(HWND, DuiLib::CPaintManagerUI*)> script;
  bool done = false;
  int ticks = 0;
};
DialogDrive g_drive;

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowW(g_drive.cls.c_str(), nullptr);
  if (++g_drive.ticks > 300) KillTimer(nullptr, id);  // about 10 s
  if (!dialog || !IsWindowVisible(dialog) || g_drive.done) return;
  KillTimer(nullptr, id);
  auto* window = reinterpret_cast<DuiLib::CWindowWnd*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  auto* base = dynamic_cast<DuiLib::WindowImplBase*>(window);
  if (!base) return;
  g_drive.done = true;
  dialog_test::LayOut(base->GetPaintManager());
  auto script = g_drive.script;
  script(dialog, base->GetPaintManager());
}

}  // namespace

void DriveNextDialog(const wchar_t* cls,
                     std::function<void(HWND, DuiLib::CPaintManagerUI*)> script) {
  g_drive.cls = cls;
  g_drive.script = std::move(script);
  g_drive.done = false;
  g_drive.ticks = 0;
  SetTimer(nullptr, 0, 30, LookForDialog);
}

bool DialogWasDriven() { return g_drive.done; }

StAppConfig* ConfigureTestDevices() {
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "cam1";
  config->camera_dev_name = "Cam One";
  config->picture_path.clear();
  config->SetMicDevice("mic1", "Mic One");
  config->SetSpeakerDevice("spk1", "Speaker One");
  config->video_width = 1280;
  config->video_height = 720;
  config->rotation = 0;
  config->flip = 0;
  config->mirror = 0;
  config->use_mode = true;
  return config;
}

std::wstring ConfigPath(const std::wstring& name) {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  std::wstring folder = dir ? std::wstring(dir, dir + strlen(dir)) : L".";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring path = folder + L"/" + name;
  DeleteFileW(path.c_str());
  return path;
}

// ---- pictures --------------------------------------------------------------------------------

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(UnicodeToUtf8(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(UnicodeToUtf8(path), std::ios::binary) << bytes;
}

std::wstring DataFile(const std::wstring& name) {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  const std::string folder = dir ? dir : ".";
  return Utf8ToUnicode(folder) + L"/" + name;
}

std::string JpegOfSize(size_t size) {
  const std::string base = ReadBytes(GetModuleDir() + L"\\res\\defalutpic.jpg");
  if (base.size() < 4 || size < base.size() + 4) return std::string();
  std::string padding;
  size_t left = size - base.size();
  while (left > 0) {
    size_t segment = left > 65537 ? 65537 : left;
    if (left - segment > 0 && left - segment < 4) segment -= 4;  // room for one more
    const size_t length = segment - 2;                           // counts its own two bytes
    padding += '\xFF';
    padding += '\xFE';
    padding += static_cast<char>(length >> 8);
    padding += static_cast<char>(length & 0xFF);
    padding.append(length - 2, 'x');
    left -= segment;
  }
  return base.substr(0, 2) + padding + base.substr(2);
}

LimitPictures WriteLimitPictures(const std::wstring& prefix) {
  LimitPictures pictures{DataFile(prefix + L"exact.jpg"), DataFile(prefix + L"over.jpg"),
                         DataFile(prefix + L"text.jpg")};
  WriteBytes(pictures.exact, JpegOfSize(2097152));
  WriteBytes(pictures.over, JpegOfSize(2097153));
  WriteBytes(pictures.text, "this is a text file, not a picture\n");
  return pictures;
}

}  // namespace setting_test
