#pragma once

// CPaintManagerUI: one per window. Owns the control tree, runs the layout pass, paints into a
// double buffer, routes mouse and keyboard input to controls, keeps the option groups, fonts,
// default attribute lists and window attributes read from the layout (size, caption, size box,
// round corners, minimum size, layered), and sends notifications to the window's notifiers.
// The static part holds the process-wide instance, paths, resource source and DPI scale.
// UI thread only.

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/duilib/ui_base.h"

namespace DuiLib {

class CControlUI;

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // ---- process-wide settings ----
  static HINSTANCE GetInstance();  // the program's module unless set
  static void SetInstance(HINSTANCE instance);
  static CDuiString GetInstancePath();  // folder of the instance module, with a trailing "\"
  static CDuiString GetCurrentPath();
  static void SetCurrentPath(const wchar_t* path);
  static CDuiString GetResourcePath();
  static void SetResourcePath(const wchar_t* path);
  // Resource sources: the ZIP resource `id` (type L"ZIPRES") of the instance module, a ZIP in
  // memory, or files under the resource path. Each returns false (logged) when unusable, and
  // the previous source stays.
  static bool SetResourceZipResource(UINT id);
  static bool SetResourceZip(const void* data, unsigned int size);
  static void SetResourceFolder();
  // UI scale (system DPI / 96); layout sizes and fonts read afterwards are scaled by it.
  static void SetDpiScale(double scale);
  static double GetDpiScale();
  static int ScaleValue(int value);
  // Repaints every window (after a language switch).
  static void InvalidateAll();

  // ---- the window ----
  void Init(HWND hwnd);
  HWND GetPaintWindow() const { return m_hWnd; }

  // ---- the control tree ----
  // Takes ownership of `root` and attaches the tree to this manager.
  bool AttachDialog(CControlUI* root);
  // Attaches a subtree added at run time.
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  CControlUI* GetRoot() const { return m_pRoot.get(); }
  CControlUI* FindControl(const wchar_t* name) const;
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FindSubControlByName(CControlUI* parent, const wchar_t* name) const;
  // Forgets every reference to `control` (focus, hover, capture, timers, queued notifications).
  void ReapObjects(CControlUI* control);

  // ---- notifications ----
  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  // Synchronous: every notifier's Notify runs before this returns. Asynchronous: queued and
  // delivered from the window's message loop in order.
  void SendNotify(TNotifyUI& msg, bool bAsync = false);
  void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0,
                  bool bAsync = false);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  // Returns true when the message was handled; lRes is then its result.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  // Message filters' turn at a message (the window calls this first).
  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

  // ---- option groups ----
  bool AddOptionGroup(const wchar_t* group, CControlUI* control);
  const std::vector<CControlUI*>* GetOptionGroup(const wchar_t* group) const;
  void RemoveOptionGroup(const wchar_t* group, CControlUI* control);

  // ---- window attributes ----
  SIZE GetInitSize() const { return m_szInitWindowSize; }
  void SetInitSize(int cx, int cy);
  RECT GetSizeBox() const { return m_rcSizeBox; }
  void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
  RECT GetCaptionRect() const { return m_rcCaption; }
  void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
  SIZE GetRoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy);
  SIZE GetMinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
  SIZE GetMaxInfo() const { return m_szMaxWindow; }
  void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }
  bool IsLayered() const { return m_bLayered; }
  // A layered window shows the per-pixel alpha of what its controls paint (translucent
  // colours and images; areas nothing paints are transparent), times a constant opacity.
  void SetLayered(bool layered, BYTE opacity = 255);
  // Applies a layout's <Window> attribute; returns false for unknown or malformed ones.
  bool SetWindowAttribute(const wchar_t* name, const wchar_t* value);

  // ---- default attribute lists and fonts ----
  void AddDefaultAttributeList(const wchar_t* controlName, const wchar_t* list);
  const wchar_t* GetDefaultAttributeList(const wchar_t* controlName) const;
  // Adds font `id` (size in pixels); `isDefault` makes it the font of controls without one.
  void AddFont(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic,
               bool isDefault);
  HFONT GetFont(int id) const;  // -1 or an unknown id: the default font

  // ---- focus, timers, painting ----
  CControlUI* GetFocus() const { return m_pFocus; }
  void SetFocus(CControlUI* control);
  CControlUI* GetHot() const { return m_pEventHover; }
  // The tool-tip window that shows the hovered control's "tooltip" (null before the first).
  HWND GetToolTipWindow() const { return m_hwndTooltip; }
  // Control timers run on window timers numbered from 0x10000 up; a window's own
  // HandleCustomMessage must leave WM_TIMER unhandled for identifiers it did not set.
  bool SetTimer(CControlUI* control, UINT id, UINT elapse);
  bool KillTimer(CControlUI* control, UINT id);
  void Invalidate();
  void Invalidate(const RECT& rc);
  void NeedUpdate() { m_bUpdateNeeded = true; }
  // Runs the layout pass now when anything changed; sends "windowinit" after the first one.
  void UpdateLayout();
  // Paints the whole client area into `hdc` through the back buffer.
  void PaintTo(HDC hdc);
  // The back buffer of the last paint: top-down 32-bit premultiplied BGRA pixels (null before
  // the first paint).
  const DWORD* GetBackBufferBits(SIZE* size) const;

 private:
  struct TimerInfo {
    CControlUI* control;
    UINT id;
    UINT_PTR windowId;
  };
  struct FontInfo {
    int id;
    HFONT font;
  };

  void OnPaint();
  void PaintBuffer(const RECT& rcPaint);
  bool EnsureBuffer(int cx, int cy);
  void FreeBuffer();
  void SetHot(CControlUI* control, POINT pt);
  void DispatchEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam);
  // Hands `msg` to each notifier still registered; false when one of them destroyed this
  // manager (nothing of it may be touched then).
  bool NotifyAll(TNotifyUI& msg);
  void DeliverAsyncNotifications();
  void ApplyRoundCorner();
  void PresentLayered();
  void ScheduleLayeredPaint();
  void PaintLayered();
  void UpdateToolTip(CControlUI* control);

  HWND m_hWnd = nullptr;
  // Cleared when the manager is destroyed, so that loops calling out (notifiers may destroy
  // the window and this manager with it) can tell.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  POINT m_ptLastMouse{};
  std::unique_ptr<CControlUI> m_pRoot;
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pEventHover = nullptr;
  CControlUI* m_pEventClick = nullptr;
  std::vector<INotifyUI*> m_notifiers;
  std::vector<IMessageFilterUI*> m_filters;
  std::deque<TNotifyUI> m_asyncNotify;
  std::map<std::wstring, std::vector<CControlUI*>> m_optionGroups;
  std::map<std::wstring, std::wstring> m_defaultAttributes;
  std::vector<FontInfo> m_fonts;
  HFONT m_hDefaultFont = nullptr;
  std::vector<TimerInfo> m_timers;
  UINT_PTR m_nextTimerId = 0x10000;
  SIZE m_szInitWindowSize{};
  RECT m_rcSizeBox{};
  RECT m_rcCaption{};
  SIZE m_szRoundCorner{};
  SIZE m_szMinWindow{};
  SIZE m_szMaxWindow{};
  bool m_bLayered = false;
  bool m_bLayeredPaintPending = false;
  BYTE m_opacity = 255;
  bool m_bUpdateNeeded = true;
  bool m_bFirstLayout = true;
  bool m_bMouseTracking = false;
  SIZE m_szLastClient{-1, -1};
  HWND m_hwndTooltip = nullptr;  // owned (a popup owned by the paint window)
  HDC m_hdcBuffer = nullptr;
  HBITMAP m_hbmpBuffer = nullptr;
  DWORD* m_pBufferBits = nullptr;  // pixels of m_hbmpBuffer
  HGDIOBJ m_hbmpOld = nullptr;
  SIZE m_szBuffer{};
};

}  // namespace DuiLib
