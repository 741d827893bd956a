#include "windows/common/device_texts.h"

#include "foundation/app_config.h"
#include "foundation/text_convert.h"
#include "shell/system/system_info.h"

namespace device_texts {

namespace {

std::wstring ProgramFolder() { return GetModuleDir() + L"\\"; }

}  // namespace

std::string EntryId(DuiLib::CControlUI* entry) {
  return entry ? UnicodeToUtf8(entry->GetUserData()) : std::string();
}

std::string EntryName(DuiLib::CControlUI* entry) {
  return entry ? UnicodeToUtf8(entry->GetText()) : std::string();
}

std::string ConfiguredCameraName() {
  return UnicodeToUtf8(AnsiToUnicode(GetAppConfig()->camera_dev_name));
}

std::string DefaultPicturePath() { return UnicodeToAnsi(ProgramFolder() + L"res\\defalutpic.jpg"); }

std::string TestSoundPath() { return UnicodeToUtf8(ProgramFolder() + L"res\\test.mp3"); }

}  // namespace device_texts
