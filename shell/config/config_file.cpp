#include "shell/config/config_file.h"

#include <windows.h>
#include <shlobj.h>

#include <utility>

#include "foundation/app_config.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"

namespace {

constexpr wchar_t kSection[] = L"LiveConfig";

std::wstring Wide(const char* text) { return AnsiToUnicode(text ? text : ""); }

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(AnsiToUnicode(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

CConfigFile::CConfigFile(std::wstring path) : path_(std::move(path)) {}

std::string CConfigFile::ReadConfigString(const char* key) const {
  // The system code page gives at most two bytes a character: 260 characters hold the 259
  // characters of the narrow buffer the file has always been read into.
  wchar_t buffer[260] = {};
  GetPrivateProfileStringW(kSection, Wide(key).c_str(), L"", buffer, 260, path_.c_str());
  return UnicodeToAnsi(buffer);
}

int CConfigFile::ReadConfigInt(const char* key) const {
  return static_cast<int>(GetPrivateProfileIntW(kSection, Wide(key).c_str(), -1, path_.c_str()));
}

void CConfigFile::WriteConfigString(const char* key, const std::string& value) const {
  WritePrivateProfileStringW(kSection, Wide(key).c_str(), AnsiToUnicode(value).c_str(),
                             path_.c_str());
}

void CConfigFile::LoadConfig(StAppConfig& config, StFrameConfig& frame) const {
  int value = ReadConfigInt("use_mode");
  if (value >= 0) config.use_mode = value == 1;
  config.camera_dev_name = ReadConfigString("camera_dev_name");
  config.camera_dev_id = ReadConfigString("camera_dev_id");
  config.SetMicDevId(ReadConfigString("mic_dev_id"));
  config.SetSpeakerDevId(ReadConfigString("speaker_dev_id"));
  value = ReadConfigInt("showlogo");
  if (value >= 0) config.show_logo = value == 1;
  const std::string picture = ReadConfigString("picture_path");
  if (FileExists(picture)) config.picture_path = picture;
  value = ReadConfigInt("resolution");
  if (value < 0) {
    config.resolution_chosen = false;
  } else {
    config.SetResolutionIndex(value);
  }
  value = ReadConfigInt("prior");
  if (value >= 0) config.prior = value == 1 ? 1 : 0;
  value = ReadConfigInt("test_use");
  if (value >= 0) frame.test_use = value == 1;
  const std::string page_url = ReadConfigString("pageurl");
  if (!page_url.empty()) frame.page_url = page_url;
  config.external_id = ReadConfigString("thirdpartyid");
  config.remarks = ReadConfigString("remarksinfo");
  TVLOG_INFO() << "loaded " << UnicodeToUtf8(path_);
}

void CConfigFile::SaveConfig(StAppConfig& config) {
  CxAutoLock guard(save_lock_);
  WriteConfigString("use_mode", Flag(config.use_mode));
  WriteConfigString("camera_dev_id", config.camera_dev_id);
  WriteConfigString("mic_dev_id", config.GetMicDevId());
  WriteConfigString("speaker_dev_id", config.GetSpeakerDevId());
  WriteConfigString("picture_path", config.picture_path);
  WriteConfigString("camera_dev_name", config.camera_dev_name);
  if (config.video_width == 1920) {
    WriteConfigString("resolution", "0");
  } else if (config.video_width == 1280) {
    WriteConfigString("resolution", "1");
  } else if (config.video_width == 640) {
    WriteConfigString("resolution", "2");
  }
  WriteConfigString("prior", Flag(config.prior != 0));
  // "rotate": 0 for none, 1 for 90 degrees, 2 for 270 and 3 for 180, so that every rotation
  // reads back as itself.
  static const char* const kRotateValues[4] = {"0", "1", "3", "2"};
  const int quarter_turns = ((config.rotation % 360) + 360) % 360 / 90;
  WriteConfigString("rotate", kRotateValues[quarter_turns]);
  WriteConfigString("flip", Flag(config.flip != 0));
  WriteConfigString("mirror", Flag(config.mirror != 0));
  WriteConfigString("showlogo", Flag(config.show_logo));
  if (config.external_data) {
    WriteConfigString("thirdpartyid", config.external_id);
    WriteConfigString("remarksinfo", config.remarks);
  }
}

std::wstring GetDefaultConfigPath() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return L"config.ini";
  }
  std::wstring path = std::wstring(folder) + L"\\TarvoLive";
  CreateDirectoryW(path.c_str(), nullptr);
  return path + L"\\config.ini";
}
