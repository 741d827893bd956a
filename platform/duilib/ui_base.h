#pragma once

// Basic types of the UI library: texts, notifications, input events, logging and the parsers
// for attribute values ("l,t,r,b" rectangles, "#AARRGGBB" colours, image descriptions).
// UI thread only unless stated.

#include <windows.h>

#include <cstdint>
#include <string>

namespace DuiLib {

using CDuiString = std::wstring;

class CControlUI;
class CPaintManagerUI;

// ---------------------------------------------------------------------------------------------
// Logging. Problems with layouts, images and language tables are reported here; the program
// routes the lines into its own log with SetUiLogHandler. Thread-safe.

enum class UiLogLevel { kInfo, kWarning, kError };
using UiLogHandler = void (*)(UiLogLevel level, const wchar_t* line);

// Installs the sink for library log lines; null restores the default (OutputDebugStringW).
void SetUiLogHandler(UiLogHandler handler);
void UiLog(UiLogLevel level, const wchar_t* format, ...);

// ---------------------------------------------------------------------------------------------
// Notifications, sent by controls to the window's notifiers by type name ("click",
// "selectchanged", "itemselect", ...).

struct TNotifyUI {
  CDuiString sType;
  CDuiString sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

// A window-message filter that sees messages before the paint manager handles them.
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

// ---------------------------------------------------------------------------------------------
// Input events that the paint manager routes to controls.

enum UiEventType {
  UIEVENT_MOUSEMOVE = 1,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_DBLCLICK,
  UIEVENT_SCROLLWHEEL,
  UIEVENT_KEYDOWN,
  UIEVENT_CHAR,
  UIEVENT_SETFOCUS,
  UIEVENT_KILLFOCUS,
  UIEVENT_TIMER,
};

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  wchar_t chKey = 0;
  WORD wKeyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Where a window's layouts and images come from (WindowImplBase::GetResourceType).
enum UILIB_RESOURCETYPE {
  UILIB_FILE = 1,         // files under the resource path
  UILIB_ZIP = 2,          // a ZIP file under the resource path
  UILIB_RESOURCE = 3,     // not used by this library
  UILIB_ZIPRESOURCE = 4,  // a ZIP carried as a resource of the instance module
};

// ---------------------------------------------------------------------------------------------
// Attribute value parsers. Each returns false, leaving the output untouched, for malformed text;
// a number outside the range of int is malformed.

bool ParseIntList(const wchar_t* text, int* values, int count);
bool ParseRect(const wchar_t* text, RECT* rc);
bool ParseSize(const wchar_t* text, SIZE* size);
// "#AARRGGBB", "#RRGGBB" (opaque), "0xAARRGGBB" or a decimal number.
bool ParseColor(const wchar_t* text, DWORD* argb);
bool ParseBool(const wchar_t* text, bool* value);
bool ParseInt(const wchar_t* text, int* value);
// Text alignment: "left", "center" or "right" replaces the DT_LEFT / DT_CENTER / DT_RIGHT flag
// of *style; "top", "vcenter" or "bottom" the DT_TOP / DT_VCENTER / DT_BOTTOM flag.
bool ParseHorizontalAlign(const wchar_t* text, UINT* style);
bool ParseVerticalAlign(const wchar_t* text, UINT* style);

// A parsed image description: a bare file name, or
// "file='a.png' source='l,t,r,b' corner='l,t,r,b' dest='l,t,r,b' fade='0..255' hole='true'".
struct TImageDesc {
  CDuiString file;
  RECT source{};  // empty: the whole image
  RECT corner{};  // nine-slice borders, in image pixels
  RECT dest{};    // empty: the whole control
  bool hasSource = false;
  bool hasDest = false;
  BYTE fade = 255;
  bool hole = false;  // nine-slice without the centre
};
bool ParseImageDesc(const wchar_t* text, TImageDesc* desc);

// Text helpers.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
bool EqualsNoCase(const wchar_t* a, const wchar_t* b);
// A resource name with "\" turned into "/", lower case, without a leading "./" or "/".
std::wstring NormalizeResourceName(const std::wstring& name);

}  // namespace DuiLib
