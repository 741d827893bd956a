#pragma once

// What the beauty settings window's tests stand the window on: the settings window tests'
// recording responder and page-event sink, a settings record in a known state, runs of the
// window as the main window makes them, and input on its controls and floating tools.

#include <windows.h>

#include <functional>
#include <string>

#include "windows/beauty/beauty_setting_frame.h"
#include "windows/settings/tests/setting_test_support.h"

namespace beauty_test {

using Script = std::function<void(CBeautySettingFrame*, HWND, DuiLib::CPaintManagerUI*)>;

// The process-wide record as the tests start it: camera "cam1" ("Cam One") at 1280 x 720, no
// rotation, default beauty block, no custom materials, zh_CN.
void ResetConfig();

// Runs a beauty settings window as the main window does: created for `owner` as a popup of
// `ownerWindow` with style 0x96C80000 under the title "BeautySettingFrame", modal. `script`
// runs inside the modal loop once the first load (timer 0xD75) is done. Returns false when the
// window could not be made or the script left it open for `timeout_ms`.
bool RunBeauty(HWND ownerWindow, DevConsumerDelegate* owner, const Script& script,
               DWORD timeout_ms = 20000);

// A left click at the slider's position for `value` (mouse down and up: "valuechanged").
bool DragSliderTo(HWND hwnd, DuiLib::CPaintManagerUI* pm, const wchar_t* slider, int value);
// Clicks the button `name` of the floating tools window of class `cls` ("CVideoToolsFrame" or
// "CPickToolsFrame") that belongs to the window's preview.
bool ClickTool(CBeautySettingFrame* frame, bool pickTools, const wchar_t* name);
// Shows the background page.
void OpenBackgroundPage(HWND hwnd, DuiLib::CPaintManagerUI* pm);

// The folder the window's built-in materials lie in ("<program folder>\res\").
std::wstring ResFolder();
// A scratch folder of the test (created, emptied).
std::wstring ScratchFolder(const std::wstring& name);

}  // namespace beauty_test
