#include "windows/common/picture_choice.h"

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

}  // namespace picture_choice
