#include "windows/common/picture_choice.h"

#include "foundation/app_config.h"
#include "foundation/text_convert.h"
#include "platform/duilib/UIlib.h"
#include "shell/jsevents/js_event_sender.h"
#include "windows/common/file_dialog.h"

namespace picture_choice {

namespace {

BOOL RunDialog(OPENFILENAMEW* ofn) { return file_dialog::RunOpen(ofn); }

}  // namespace

void SetFileDialogFunc(FileDialogFunc func) { file_dialog::SetOpenFunc(std::move(func)); }

Outcome Choose(HWND owner, std::wstring* path) {
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"Image File (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!RunDialog(&ofn)) return kCancelled;
  file[MAX_PATH - 1] = L'\0';
  // The size as 64 bits: a file above 4 GiB is refused too.
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExW(file, GetFileExInfoStandard, &info)) return kCancelled;
  const unsigned long long bytes =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (path) *path = file;
  return bytes > kMaxPictureBytes ? kTooLarge : kChosen;
}

bool ChooseAndPreview(HWND owner, const std::function<int()>& preview, std::wstring* path) {
  const Outcome choice = Choose(owner, path);
  if (choice == kCancelled) return false;
  DuiLib::CMutiLanSupport* texts = DuiLib::CMutiLanSupport::Instance();
  if (choice == kTooLarge) {
    CJsEventSender::Instance()->NotifyStatus(texts->GetTextForId(L"s.filemax.tips"), 0);
    return false;
  }
  StAppConfig* config = GetAppConfig();
  const std::string previous = config->picture_path;
  config->picture_path = UnicodeToAnsi(*path);
  if (preview() < 0) {
    config->picture_path = previous;
    CJsEventSender::Instance()->NotifyStatus(texts->GetTextForId(L"s.file.format.error"), 0);
    return false;
  }
  return true;
}

}  // namespace picture_choice
