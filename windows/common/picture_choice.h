#pragma once

// Choosing a picture to show in place of the camera, as the settings and device test windows
// do: the system's open-file dialog for JPEG files, then the size check.
//
//   std::wstring path;
//   switch (picture_choice::Choose(window, &path)) {
//     case picture_choice::kChosen: ...  // path names an existing file of at most 2 MiB
//     case picture_choice::kTooLarge: ... // refused; path names the file
//     case picture_choice::kCancelled: ...
//   }
//
// UI thread (the dialog is modal to `owner`). The dialog can be replaced (tests); the
// replacement is kept under a lock and called on the caller's thread.

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>

namespace picture_choice {

constexpr unsigned long long kMaxPictureBytes = 0x200000;  // 2 MiB

enum Outcome { kCancelled, kTooLarge, kChosen };

// Opens the dialog (filter "Image File (*.jpg;*.jpeg)", a MAX_PATH buffer, explorer style,
// the file must exist, no read-only box). A file that cannot be read counts as cancelled.
Outcome Choose(HWND owner, std::wstring* path);

// The whole pick of the settings and device test windows: Choose, then the settings record's
// picture path set to the choice while `preview` shows it (it answers below 0 for a picture it
// cannot show). A file over the limit or a picture that cannot be shown is refused with page
// event 25 (status 0, "s.filemax.tips" or "s.file.format.error") and the previous path stays.
// True when the chosen picture is in place; `path` then names it.
bool ChooseAndPreview(HWND owner, const std::function<int()>& preview, std::wstring* path);

// Replaces GetOpenFileNameW; null restores it. The same replacement as file_dialog.h's (every
// open-file dialog of the settings windows).
using FileDialogFunc = std::function<BOOL(OPENFILENAMEW*)>;
void SetFileDialogFunc(FileDialogFunc func);

}  // namespace picture_choice
