#pragma once

// Helpers for the tests of the settings and device dialogs: the skin and language to draw in,
// an owner window, modal runs driven from inside the modal loop, input at laid-out controls,
// screenshots and the ink that texts leave in them, and the texts that layouts name.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/duilib/UIlib.h"
#include "platform/duilib/tests/test_support.h"

namespace dialog_test {

struct Look {
  int skin;                // 0 blue, 1 orange
  const wchar_t* language; // "zh_CN", "en_US"
};
std::string LookName(const Look& look);  // "blue_zh_CN"
const wchar_t* SkinFolder(int skin);     // L"blue" / L"orange"

// Sets the process-wide skin and loads the language table of the skin archive.
void UseLook(const Look& look);

// Starts GDI+ for the test program, once; the pictures the dialogs load need it.
void StartGdiplusOnce();

// What a settings or device dialog needs to open in `look`: GDI+ started, the look in use, and
// the shadow frames taking their skin from the skin choice.
void UseDialogLook(const Look& look);

// A plain visible top-level window that owns the dialogs under test. It keeps clear of the
// screen's top-left corner, where the graphics tests read their windows from the screen.
class OwnerWindow {
 public:
  explicit OwnerWindow(RECT rc = RECT{240, 180, 1520, 900});
  ~OwnerWindow();
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// Creates `dialog` as the client creates its dialogs: owned by `owner`, style 0x96C80000, at
// the default position.
HWND CreateLikeTheClient(DuiLib::CWindowWnd* dialog, HWND owner, const wchar_t* name);

// Runs the dialog modally; `script` runs once from inside the modal loop, after the first
// layout pass, with the dialog's window. When the dialog is still open `timeout_ms` later it
// is closed and *timed_out set. Returns the modal result.
UINT RunModal(DuiLib::CWindowWnd* dialog, const std::function<void(HWND)>& script,
              bool* timed_out, DWORD timeout_ms = 10000);

// Runs the layout pass (and so "windowinit") of the dialog's paint manager.
void LayOut(DuiLib::CPaintManagerUI* manager);

// The centre of the named control, or (-1, -1) when the layout has none.
POINT CenterOf(DuiLib::CPaintManagerUI* manager, const wchar_t* name);
// A left click at the centre of the named control; false when there is none.
bool ClickOn(HWND hwnd, DuiLib::CPaintManagerUI* manager, const wchar_t* name);
// Types `text` into the focused control, one WM_CHAR a character.
void Type(HWND hwnd, const std::wstring& text);

// The window as it looks: a layered window's back buffer laid over `backdrop`, else what it
// paints for PrintWindow.
std::unique_ptr<duilib_test::Screenshot> Shoot(HWND hwnd, DuiLib::CPaintManagerUI* manager,
                                               DWORD backdrop = 0x707070);
// Pixels of the named control's rectangle (less `inset` on each side) that differ from the
// colour most of it has: the ink that its text (or picture) leaves.
int InkOf(const duilib_test::Screenshot& shot, DuiLib::CPaintManagerUI* manager,
          const wchar_t* name, int inset = 2);

// Adds the text ids (textid="...") that `layout` of the skin archive names to `ids`; false when
// the archive has no such layout.
bool AddLayoutTextIds(const wchar_t* layout, std::vector<std::wstring>* ids);

}  // namespace dialog_test
