// The demonstration window in both skins: layout pass, hit testing, input routing,
// notifications, combos, modal loops, language switching and a saved screenshot.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "foundation/hub.h"
#include "platform/duilib/tests/test_support.h"

using namespace DuiLib;
using duilib_test::Click;
using duilib_test::DemoFrame;
using duilib_test::LogCapture;
using duilib_test::PumpUntil;
using duilib_test::Screenshot;

namespace {

class DemoWindowTest : public ::testing::TestWithParam<std::wstring> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                             L"zh_CN", L"xml"));
    frame_ = std::make_unique<DemoFrame>(GetParam());
    hwnd_ = frame_->CreateDemo();
    ASSERT_NE(hwnd_, nullptr);
    ASSERT_TRUE(PumpUntil([this] { return frame_->Count(L"windowinit") == 1; }));
  }

  void TearDown() override {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    frame_.reset();
  }

  bool IsOrange() const { return GetParam() == L"orange"; }

  std::unique_ptr<DemoFrame> frame_;
  HWND hwnd_ = nullptr;
};

RECT PosOf(DemoFrame* frame, const wchar_t* name) {
  CControlUI* control = frame->Manager().FindControl(name);
  return control ? control->GetPos() : RECT{-1, -1, -1, -1};
}

POINT Center(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

}  // namespace

TEST_P(DemoWindowTest, LayoutPassPlacesControlsWhereTheLayoutSays) {
  RECT client;
  GetClientRect(hwnd_, &client);
  EXPECT_EQ(client.right, 480);
  EXPECT_EQ(client.bottom, 320);
  struct Case {
    const wchar_t* name;
    RECT pos;
  } cases[] = {
      {L"title_lab", {12, 0, 212, 40}},         // fixed width, full row height
      {L"help_btn", {416, 8, 440, 32}},         // centred in its row
      {L"closebtn", {448, 8, 472, 32}},         // after its left padding
      {L"opt_devices", {0, 84, 120, 116}},      // inset and child padding
      {L"name_edit", {136, 84, 464, 112}},      // tab inset
      {L"remember_lab", {164, 120, 440, 140}},  // takes what the fixed siblings leave
      {L"wait_anim", {448, 122, 464, 138}},
      {L"ok_btn", {368, 274, 464, 304}},     // pushed to the right by a spacer
      {L"version_lab", {8, 292, 116, 314}},  // floating, by its own position
  };
  for (const Case& c : cases) {
    RECT pos = PosOf(frame_.get(), c.name);
    EXPECT_TRUE(EqualRect(&pos, &c.pos))
        << c.name << ": " << pos.left << "," << pos.top << "," << pos.right << "," << pos.bottom;
  }
  // Pages that are not current are laid out when they are shown.
  auto* tab = frame_->Find<CTabLayoutUI>(L"main_tab");
  ASSERT_NE(tab, nullptr);
  EXPECT_FALSE(frame_->Manager().FindControl(L"dev_combo")->IsVisible());
  Click(hwnd_, 60, 136);  // "opt_gallery"
  EXPECT_EQ(tab->GetCurSel(), 2);
  UpdateWindow(hwnd_);
  auto* tile = frame_->Find<CTileLayoutUI>(L"gallery_tile");
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->GetColumns(), 3);
  ASSERT_NE(tile->GetVerticalScrollBar(), nullptr);
  EXPECT_TRUE(tile->GetVerticalScrollBar()->IsVisible());  // four rows do not fit
  EXPECT_EQ(tile->GetVerticalScrollBar()->GetScrollRange(), 16);
  RECT t0 = PosOf(frame_.get(), L"tile_0");
  RECT t4 = PosOf(frame_.get(), L"tile_4");
  const RECT want0{136, 56, 236, 116};
  const RECT want4{244, 124, 344, 184};
  EXPECT_TRUE(EqualRect(&t0, &want0)) << t0.left << "," << t0.top << "," << t0.right;
  EXPECT_TRUE(EqualRect(&t4, &want4)) << t4.left << "," << t4.top << "," << t4.right;
  // The wheel scrolls the tiles.
  POINT screen{300, 200};
  ClientToScreen(hwnd_, &screen);
  SendMessageW(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
  UpdateWindow(hwnd_);
  EXPECT_EQ(tile->GetScrollPos(), 16);
  EXPECT_EQ(PosOf(frame_.get(), L"tile_0").top, 40);
}

TEST_P(DemoWindowTest, FindsControlsByNameAndByPoint) {
  CControlUI* ok = frame_->Manager().FindControl(L"ok_btn");
  ASSERT_NE(ok, nullptr);
  EXPECT_NE(ok->GetInterface(L"Button"), nullptr);
  EXPECT_EQ(frame_->Manager().FindControl(L"no_such_control"), nullptr);
  CControlUI* nav = frame_->Manager().FindControl(L"nav");
  EXPECT_EQ(frame_->Manager().FindSubControlByName(nav, L"opt_gallery"),
            frame_->Manager().FindControl(L"opt_gallery"));
  EXPECT_EQ(frame_->Manager().FindSubControlByName(nav, L"ok_btn"), nullptr);
  struct Case {
    POINT pt;
    const wchar_t* name;
  } cases[] = {
      {{400, 290}, L"ok_btn"},     {{60, 64}, L"opt_general"},
      {{300, 20}, L"title_space"}, {{400, 300}, L"ok_btn"},
      {{460, 20}, L"closebtn"},    {{380, 280}, L"ok_btn"},
      {{300, 100}, L"name_edit"},  {{60, 250}, L"nav"},
      {{60, 300}, L"version_lab"},  // floats lie on top
  };
  for (const Case& c : cases) {
    CControlUI* hit = frame_->Manager().FindControl(c.pt);
    ASSERT_NE(hit, nullptr) << c.name;
    EXPECT_EQ(hit->GetName(), c.name) << c.pt.x << "," << c.pt.y;
  }
  // Hidden pages are never hit.
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
  UpdateWindow(hwnd_);
  EXPECT_NE(frame_->Manager().FindControl(POINT{400, 290})->GetName(), L"ok_btn");
}

TEST_P(DemoWindowTest, ClickArrivesAsNotificationAndCloseButtonCloses) {
  POINT ok = Center(PosOf(frame_.get(), L"ok_btn"));
  Click(hwnd_, ok.x, ok.y);
  EXPECT_EQ(frame_->Count(L"click", L"ok_btn"), 1);
  EXPECT_EQ(frame_->Count(L"mouseenter", L"ok_btn"), 1);
  // Pressed on the button, released elsewhere: no click.
  SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ok.x, ok.y));
  SendMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  EXPECT_EQ(frame_->Count(L"click", L"ok_btn"), 1);
  // A disabled button gets no click.
  frame_->Manager().FindControl(L"ok_btn")->SetEnabled(false);
  Click(hwnd_, ok.x, ok.y);
  EXPECT_EQ(frame_->Count(L"click", L"ok_btn"), 1);

  // Hovering a control with a tool tip shows its text.
  POINT help = Center(PosOf(frame_.get(), L"help_btn"));
  SendMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(help.x, help.y));
  HWND tip = frame_->Manager().GetToolTipWindow();
  ASSERT_NE(tip, nullptr);
  wchar_t text[64] = {};
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = hwnd_;
  info.uId = 1;
  info.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, L"help");

  POINT close = Center(PosOf(frame_.get(), L"closebtn"));
  Click(hwnd_, close.x, close.y);
  EXPECT_EQ(frame_->Count(L"click", L"closebtn"), 1);
  EXPECT_TRUE(PumpUntil([this] { return !IsWindow(hwnd_); }));
  EXPECT_TRUE(frame_->final_message);
}

TEST_P(DemoWindowTest, OptionGroupKeepsOneSelection) {
  auto* general = frame_->Find<COptionUI>(L"opt_general");
  auto* devices = frame_->Find<COptionUI>(L"opt_devices");
  auto* gallery = frame_->Find<COptionUI>(L"opt_gallery");
  ASSERT_TRUE(general && devices && gallery);
  EXPECT_TRUE(general->IsSelected());
  EXPECT_EQ(frame_->Manager().GetOptionGroup(L"pages")->size(), 3u);

  Click(hwnd_, 60, 100);  // "opt_devices"
  EXPECT_TRUE(devices->IsSelected());
  EXPECT_FALSE(general->IsSelected());
  EXPECT_FALSE(gallery->IsSelected());
  // Only the newly selected member notifies; the cleared one is silent.
  EXPECT_EQ(frame_->Count(L"selectchanged"), 1);
  EXPECT_EQ(frame_->Count(L"selectchanged", L"opt_devices"), 1);
  EXPECT_EQ(frame_->Find<CTabLayoutUI>(L"main_tab")->GetCurSel(), 1);

  Click(hwnd_, 60, 100);  // the selected member again: nothing changes
  EXPECT_TRUE(devices->IsSelected());
  EXPECT_EQ(frame_->Count(L"selectchanged"), 1);

  gallery->Selected(true, false);  // without notification
  EXPECT_TRUE(gallery->IsSelected());
  EXPECT_FALSE(devices->IsSelected());
  EXPECT_EQ(frame_->Count(L"selectchanged"), 1);

  // A check box without a group toggles, notifying each change with its state.
  auto* check = frame_->Find<CCheckBoxUI>(L"remember_check");
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(0);
  UpdateWindow(hwnd_);
  POINT pt = Center(check->GetPos());
  Click(hwnd_, pt.x, pt.y);
  Click(hwnd_, pt.x, pt.y);
  EXPECT_FALSE(check->GetCheck());
  ASSERT_EQ(frame_->Count(L"selectchanged", L"remember_check"), 2);
  EXPECT_EQ(frame_->events[frame_->events.size() - 3].wParam, 1u);
}

TEST_P(DemoWindowTest, ComboFilledAtRunTimeSelectsAndNotifies) {
  auto* combo = frame_->Find<CComboUI>(L"dev_combo");
  ASSERT_NE(combo, nullptr);
  const wchar_t* names[] = {L"Camera A", L"Camera B", L"Camera C"};
  for (int i = 0; i < 3; ++i) {
    auto* item = new CListLabelElementUI;
    item->SetText(names[i]);
    item->SetUserData((std::wstring(L"id-") + std::to_wstring(i)).c_str());
    if (i == 1) item->SetEnabled(false);
    ASSERT_TRUE(combo->Add(item));
  }
  EXPECT_EQ(combo->GetCount(), 3);
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_TRUE(combo->SelectItem(2));
  EXPECT_EQ(combo->GetText(), L"Camera C");
  EXPECT_EQ(combo->GetItemAt(combo->GetCurSel())->GetUserData(), L"id-2");
  ASSERT_EQ(frame_->Count(L"itemselect", L"dev_combo"), 1);
  EXPECT_EQ(frame_->events.back().wParam, 2u);
  EXPECT_EQ(frame_->events.back().lParam, -1);
  // Code may select a disabled item (a list without a usable entry shows one).
  EXPECT_TRUE(combo->SelectItem(1, false, false));
  EXPECT_EQ(combo->GetText(), L"Camera B");
  EXPECT_FALSE(combo->SelectItem(7));
  EXPECT_TRUE(combo->SelectItem(0, false, false));  // silently
  EXPECT_EQ(frame_->Count(L"itemselect"), 1);
  EXPECT_EQ(combo->GetItemIndex(combo->GetItemAt(2)), 2);
  // The arrow keys pass over the disabled item.
  TEventUI down;
  down.Type = UIEVENT_KEYDOWN;
  down.chKey = VK_DOWN;
  combo->DoEvent(down);
  EXPECT_EQ(combo->GetCurSel(), 2);
  EXPECT_EQ(frame_->Count(L"itemselect"), 2);
  TEventUI up = down;
  up.chKey = VK_UP;
  combo->DoEvent(up);
  EXPECT_EQ(combo->GetCurSel(), 0);
  combo->DoEvent(up);
  EXPECT_EQ(combo->GetCurSel(), 0);
  EXPECT_EQ(frame_->Count(L"itemselect"), 3);

  // Through the drop-down window: "dropdown", then a click on the third item.
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
  UpdateWindow(hwnd_);
  POINT pt = Center(combo->GetPos());
  Click(hwnd_, pt.x, pt.y);
  ASSERT_EQ(frame_->Count(L"dropdown", L"dev_combo"), 1);
  HWND drop = combo->GetDropWindow();
  ASSERT_NE(drop, nullptr);
  const int item_h = combo->GetListInfo()->nItemHeight;
  // The user cannot choose the disabled item: the list stays open.
  SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(10, item_h * 1 + 5));
  EXPECT_TRUE(IsWindow(drop));
  EXPECT_EQ(combo->GetCurSel(), 0);
  SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(10, item_h * 2 + 5));
  EXPECT_FALSE(IsWindow(drop));
  EXPECT_EQ(frame_->Count(L"dropup", L"dev_combo"), 1);
  EXPECT_EQ(combo->GetCurSel(), 2);
  EXPECT_EQ(frame_->events.back().type, L"itemselect");
  EXPECT_EQ(frame_->events.back().lParam, 0);

  // Emptied and refilled, as device lists are.
  combo->RemoveAll();
  EXPECT_EQ(combo->GetCount(), 0);
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_EQ(combo->GetText(), L"");
}

TEST_P(DemoWindowTest, ModalLoopsNestAndReturnTheClosingResult) {
  frame_.reset();
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;

  auto outer = std::make_unique<DemoFrame>(GetParam());
  auto inner = std::make_unique<DemoFrame>(GetParam());
  ASSERT_NE(outer->CreateDemo(), nullptr);
  UINT inner_result = 0;
  bool outer_alive_after_inner = false;
  outer->on_timer = [&](DemoFrame* self, UINT_PTR id) {
    KillTimer(self->GetHWND(), id);
    if (id == 1) {
      ASSERT_NE(inner->CreateDemo(self->GetHWND()), nullptr);
      SetWindowPos(self->GetHWND(), nullptr, 400, 300, 640, 480, SWP_NOZORDER);
      inner->CenterWindow();  // over its owner
      RECT o, i;
      GetWindowRect(self->GetHWND(), &o);
      GetWindowRect(inner->GetHWND(), &i);
      EXPECT_EQ((i.left + i.right) / 2, (o.left + o.right) / 2);
      EXPECT_EQ((i.top + i.bottom) / 2, (o.top + o.bottom) / 2);
      SetTimer(inner->GetHWND(), 2, 20, nullptr);
      inner_result = inner->ShowModal();  // nested loop
      outer_alive_after_inner = IsWindow(self->GetHWND()) && IsWindowEnabled(self->GetHWND());
      SetTimer(self->GetHWND(), 3, 20, nullptr);
    } else if (id == 3) {
      self->Close(3);
    }
  };
  inner->refuse_close = 1;
  inner->on_timer = [&](DemoFrame* self, UINT_PTR id) {
    KillTimer(self->GetHWND(), id);
    // The owner is disabled while the inner loop runs, also after a refused close.
    EXPECT_FALSE(IsWindowEnabled(outer->GetHWND()));
    if (id == 2) {
      self->Close(5);  // refused
      SetTimer(self->GetHWND(), 4, 20, nullptr);
    } else {
      self->Close(7);
    }
  };
  SetTimer(outer->GetHWND(), 1, 20, nullptr);
  UINT outer_result = outer->ShowModal();
  EXPECT_EQ(inner_result, 7u);
  EXPECT_TRUE(outer_alive_after_inner);
  EXPECT_EQ(outer_result, 3u);
  EXPECT_TRUE(inner->final_message);
  EXPECT_TRUE(outer->final_message);
}

// Tasks posted to the client's UI task hub from another thread while a dialog is modal run on
// the UI thread during the dialog, whether the loop is woken by the hub's task event or comes
// back on its own; no window message is needed to get them going.
TEST_P(DemoWindowTest, HubTasksPostedDuringAModalLoopRunInIt) {
  constexpr UINT kClosedByTask = 7;
  constexpr UINT kClosedByTimeOut = 99;
  CxAdapter& hub = CxAdapter::Instance();
  for (bool woken : {true, false}) {
    CWindowWnd::SetIdleHook([&hub] { hub.OnIdle(); },
                            woken ? hub.GetUiThread().GetTaskEvent() : nullptr);
    DemoFrame dialog(GetParam());
    HWND hwnd = dialog.CreateDemo(hwnd_);
    ASSERT_NE(hwnd, nullptr);
    const DWORD ui_thread = GetCurrentThreadId();
    std::atomic<int> ran_in_dialog{0};
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread poster([&] {
      // The owner is disabled once the modal loop runs.
      for (int waited = 0; IsWindowEnabled(hwnd_) && waited < 5000; ++waited) Sleep(1);
      for (int i = 0; i < 10; ++i) {
        hub.GetUiThread().PostTask([&] {
          if (GetCurrentThreadId() == ui_thread && IsWindow(hwnd)) ++ran_in_dialog;
        });
        Sleep(2);
      }
      hub.GetUiThread().PostTask([&] {
        dialog.Close(kClosedByTask);
        SetEvent(closed);
      });
      // Tasks that never run within the dialog must not leave the test hanging.
      if (WaitForSingleObject(closed, 5000) != WAIT_OBJECT_0) {
        PostMessageW(hwnd, WM_CLOSE, kClosedByTimeOut, 0);
      }
    });
    const UINT result = dialog.ShowModal();
    poster.join();
    hub.OnIdle();  // what did not run in the dialog runs now, while its captures live
    CloseHandle(closed);
    EXPECT_EQ(result, kClosedByTask) << (woken ? "woken" : "polling");
    EXPECT_EQ(ran_in_dialog.load(), 10) << (woken ? "woken" : "polling");
  }
  CWindowWnd::SetIdleHook(nullptr);
}

TEST_P(DemoWindowTest, SwitchingLanguageChangesBoundTexts) {
  CControlUI* title = frame_->Manager().FindControl(L"title_lab");
  CControlUI* general = frame_->Manager().FindControl(L"opt_general");
  auto* edit = frame_->Find<CEditUI>(L"name_edit");
  EXPECT_EQ(title->GetText(), L"演示窗口");
  EXPECT_EQ(edit->GetPromptText(), L"请输入名称");
  ASSERT_TRUE(CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                           L"en_US", L"xml"));
  EXPECT_EQ(title->GetText(), L"Demo window");
  EXPECT_EQ(general->GetText(), L"General");
  EXPECT_EQ(edit->GetPromptText(), L"Enter a name");
  ASSERT_TRUE(CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true,
                                                           L"zh_TW", L"xml"));
  EXPECT_EQ(title->GetText(), L"演示視窗");
  // A text set directly replaces the binding.
  title->SetTextId(L"");
  title->SetText(L"fixed");
  CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true, L"en_US", L"xml");
  EXPECT_EQ(title->GetText(), L"fixed");
}

TEST_P(DemoWindowTest, HitTestAnswersCaptionClientAndSizingCodes) {
  struct Case {
    int x, y;
    LRESULT code;
  } cases[] = {
      {0, 0, HTTOPLEFT},         {240, 2, HTTOP},      {476, 1, HTTOP},        {477, 1, HTTOPRIGHT},
      {1, 160, HTLEFT},          {479, 160, HTRIGHT},  {1, 318, HTBOTTOMLEFT}, {240, 319, HTBOTTOM},
      {479, 319, HTBOTTOMRIGHT}, {100, 20, HTCAPTION}, {300, 20, HTCAPTION},   {460, 20, HTCLIENT},
      {428, 20, HTCLIENT},       {240, 200, HTCLIENT}, {60, 64, HTCLIENT},
  };
  for (const Case& c : cases) {
    POINT pt{c.x, c.y};
    ClientToScreen(hwnd_, &pt);
    EXPECT_EQ(SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)), c.code)
        << c.x << "," << c.y;
  }
  // Maximised, the size box no longer applies.
  ShowWindow(hwnd_, SW_MAXIMIZE);
  POINT corner{0, 0};
  ClientToScreen(hwnd_, &corner);
  EXPECT_EQ(SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(corner.x, corner.y)), HTCAPTION);
}

TEST_P(DemoWindowTest, WindowAttributesOfTheLayoutApply) {
  CPaintManagerUI& manager = frame_->Manager();
  EXPECT_EQ(manager.GetCaptionRect().bottom, 40);
  EXPECT_EQ(manager.GetSizeBox().left, 4);
  EXPECT_EQ(manager.GetRoundCorner().cx, 4);
  // Round corners shape the window; the minimum size limits resizing.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(GetWindowRgn(hwnd_, region), ERROR);
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 240, 160));
  DeleteObject(region);
  MINMAXINFO info{};
  SendMessageW(hwnd_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 360);
  EXPECT_EQ(info.ptMinTrackSize.y, 240);
  // Resizing runs the layout pass again.
  SetWindowPos(hwnd_, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER);
  UpdateWindow(hwnd_);
  RECT close = PosOf(frame_.get(), L"closebtn");
  EXPECT_EQ(close.right, 592);
  EXPECT_EQ(PosOf(frame_.get(), L"ok_btn").bottom, 384);
}

TEST_P(DemoWindowTest, EditTypingKeysAndMaxChars) {
  auto* edit = frame_->Find<CEditUI>(L"name_edit");
  POINT pt = Center(edit->GetPos());
  Click(hwnd_, pt.x, pt.y);
  EXPECT_TRUE(edit->IsFocused());
  EXPECT_EQ(frame_->Count(L"setfocus", L"name_edit"), 1);
  for (wchar_t c : std::wstring(L"abcdefghij")) SendMessageW(hwnd_, WM_CHAR, c, 0);
  EXPECT_EQ(edit->GetText(), L"abcdefgh");  // "maxchar" 8
  EXPECT_EQ(frame_->Count(L"textchanged", L"name_edit"), 8);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_HOME, 0);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_DELETE, 0);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_END, 0);
  SendMessageW(hwnd_, WM_CHAR, L'\b', 0);
  EXPECT_EQ(edit->GetText(), L"bcdefg");
  // Escape is swallowed by the window; Enter reaches the edit.
  SendMessageW(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
  duilib_test::Pump(20);
  EXPECT_TRUE(IsWindow(hwnd_));
  EXPECT_EQ(frame_->Count(L"return"), 0);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(frame_->Count(L"return", L"name_edit"), 1);
  // A click elsewhere takes the focus away.
  POINT ok = Center(PosOf(frame_.get(), L"ok_btn"));
  Click(hwnd_, ok.x, ok.y);
  EXPECT_FALSE(edit->IsFocused());
  EXPECT_EQ(frame_->Count(L"killfocus", L"name_edit"), 1);
}

TEST_P(DemoWindowTest, ListAndSliderNotifyTheirChanges) {
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
  auto* list = frame_->Find<CListUI>(L"dev_list");
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 20; ++i) {
    auto* item = new CListLabelElementUI;
    item->SetName((L"mic_" + std::to_wstring(i)).c_str());
    item->SetText((L"Microphone " + std::to_wstring(i)).c_str());
    list->Add(item);
  }
  UpdateWindow(hwnd_);
  RECT third = list->GetItemAt(2)->GetPos();
  EXPECT_EQ(third.bottom - third.top, 24);                 // "itemheight"
  EXPECT_TRUE(list->GetVerticalScrollBar()->IsVisible());  // 20 rows do not fit
  POINT pt = Center(third);
  Click(hwnd_, pt.x, pt.y);
  EXPECT_EQ(list->GetCurSel(), 2);
  ASSERT_EQ(frame_->Count(L"itemselect", L"dev_list"), 1);
  EXPECT_EQ(frame_->events.back().wParam, 2u);
  list->Remove(list->GetItemAt(0));
  EXPECT_EQ(list->GetCurSel(), 1);  // the same item, one place up

  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(0);
  UpdateWindow(hwnd_);
  auto* slider = frame_->Find<CSliderUI>(L"volume_slider");
  RECT rc = slider->GetPos();
  const int y = (rc.top + rc.bottom) / 2;
  SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.left + 5, y));
  SendMessageW(hwnd_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((rc.left + rc.right) / 2, y));
  SendMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM((rc.left + rc.right) / 2, y));
  EXPECT_EQ(slider->GetValue(), 50);
  EXPECT_EQ(frame_->Count(L"valuechanged", L"volume_slider"), 1);
  slider->SetValue(500);  // clamped, silent
  EXPECT_EQ(slider->GetValue(), 100);
  EXPECT_EQ(frame_->Count(L"valuechanged"), 1);
}

TEST_P(DemoWindowTest, PostedNotificationsArriveLaterAndDieWithTheirSender) {
  CControlUI* name = frame_->Manager().FindControl(L"name_lab");
  CControlUI* ok = frame_->Manager().FindControl(L"ok_btn");
  frame_->Manager().SendNotify(name, L"rendercreate", 5, 6, true);
  frame_->Manager().SendNotify(ok, L"posted", 0, 0, true);
  frame_->Manager().SendNotify(ok, L"direct", 0, 0, false);
  EXPECT_EQ(frame_->Count(L"direct", L"ok_btn"), 1);
  EXPECT_EQ(frame_->Count(L"rendercreate"), 0);
  // The sender of a queued notification goes: the notification goes with it.
  auto* row = static_cast<CContainerUI*>(ok->GetParent());
  ASSERT_TRUE(row->Remove(ok));
  ASSERT_TRUE(PumpUntil([this] { return frame_->Count(L"rendercreate") == 1; }));
  EXPECT_EQ(frame_->events.back().wParam, 5u);
  EXPECT_EQ(frame_->events.back().lParam, 6);
  duilib_test::Pump(50);
  EXPECT_EQ(frame_->Count(L"posted"), 0);
  EXPECT_EQ(frame_->Manager().FindControl(L"ok_btn"), nullptr);
}

TEST_P(DemoWindowTest, HandlersMayRemoveTheSender) {
  // A click handler removes the option it came from.
  frame_->on_notify = [](DemoFrame* self, TNotifyUI& msg) {
    if (msg.sType == L"click" && msg.pSender->GetName() == L"opt_gallery") {
      auto* nav = self->Find<CContainerUI>(L"nav");
      nav->Remove(msg.pSender);
    }
  };
  Click(hwnd_, 60, 136);
  EXPECT_EQ(frame_->Manager().FindControl(L"opt_gallery"), nullptr);
  EXPECT_EQ(frame_->Count(L"selectchanged"), 0);
  EXPECT_EQ(frame_->Manager().GetOptionGroup(L"pages")->size(), 2u);

  // A "dropup" handler empties the combo whose item was just chosen.
  auto* combo = frame_->Find<CComboUI>(L"dev_combo");
  for (int i = 0; i < 2; ++i) combo->Add(new CListLabelElementUI);
  frame_->on_notify = [combo](DemoFrame*, TNotifyUI& msg) {
    if (msg.sType == L"dropup") combo->RemoveAll();
  };
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
  UpdateWindow(hwnd_);
  POINT pt = Center(combo->GetPos());
  Click(hwnd_, pt.x, pt.y);
  HWND drop = combo->GetDropWindow();
  ASSERT_NE(drop, nullptr);
  SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
  EXPECT_EQ(frame_->Count(L"dropup"), 1);
  EXPECT_EQ(frame_->Count(L"itemselect"), 0);
  EXPECT_EQ(combo->GetCount(), 0);
}

TEST_P(DemoWindowTest, AnimationPlaysAndStops) {
  auto* anim = frame_->Find<CAnimationUI>(L"wait_anim");
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->GetFrameCount(), 3);
  anim->PlayAnimation();
  EXPECT_TRUE(PumpUntil([anim] { return anim->GetCurrentFrame() == 2; }, 2000));
  anim->StopAnimation();
  EXPECT_FALSE(anim->IsPlaying());
  duilib_test::Pump(250);
  EXPECT_EQ(anim->GetCurrentFrame(), 0);
}

TEST_P(DemoWindowTest, ScreenshotShowsTheSkin) {
  // Something typed, a checked box, a moved slider and filled device lists.
  auto* combo = frame_->Find<CComboUI>(L"dev_combo");
  auto* list = frame_->Find<CListUI>(L"dev_list");
  const wchar_t* devices[] = {L"USB Camera", L"麦克风 (Realtek Audio)", L"Line In"};
  for (const wchar_t* name : devices) {
    auto* entry = new CListLabelElementUI;
    entry->SetText(name);
    combo->Add(entry);
    auto* row = new CListLabelElementUI;
    row->SetText(name);
    list->Add(row);
  }
  combo->SelectItem(0, false, false);
  list->SelectItem(1, false, false);
  frame_->Find<CSliderUI>(L"volume_slider")->SetValue(65);
  frame_->Find<CEditUI>(L"name_edit")->SetText(L"Tarvo");
  frame_->Find<CCheckBoxUI>(L"remember_check")->SetCheck(true, false);
  const DWORD bar = IsOrange() ? 0xF4F4F4 : 0x252A33;
  const DWORD accent = IsOrange() ? 0xF89B33 : 0x2F9AFF;
  auto* tab = frame_->Find<CTabLayoutUI>(L"main_tab");

  {
    Screenshot shot(hwnd_);
    ASSERT_TRUE(shot.printed());
    EXPECT_EQ(shot.Pixel(300, 20), bar);      // title bar
    EXPECT_EQ(shot.Pixel(60, 250), bar);      // navigation column
    EXPECT_EQ(shot.Pixel(372, 289), accent);  // the button image
    // The Chinese title is drawn: the mapped CJK font puts glyph pixels into the label.
    EXPECT_GT(shot.Ink(RECT{12, 0, 212, 40}, bar), 60);
    EXPECT_TRUE(shot.Save(L"duilib_demo_" + GetParam() + L".png"));
  }
  {
    frame_->Find<COptionUI>(L"opt_devices")->Selected(true);  // switches the page
    ASSERT_EQ(tab->GetCurSel(), 1);
    Screenshot shot(hwnd_);
    ASSERT_TRUE(shot.printed());
    if (!IsOrange()) {
      EXPECT_EQ(shot.Pixel(200, 136), accent);  // the selected list row
    }
    EXPECT_TRUE(shot.Save(L"duilib_demo_" + GetParam() + L"_devices.png"));
  }
  {
    frame_->Find<COptionUI>(L"opt_gallery")->Selected(true);
    ASSERT_EQ(tab->GetCurSel(), 2);
    Screenshot shot(hwnd_);
    ASSERT_TRUE(shot.printed());
    EXPECT_EQ(shot.Pixel(150, 70), accent);   // the first tile
    EXPECT_EQ(shot.Pixel(457, 180), accent);  // the scroll bar's thumb image
    EXPECT_TRUE(shot.Save(L"duilib_demo_" + GetParam() + L"_gallery.png"));
  }
}

TEST_P(DemoWindowTest, MissingImageAndMalformedAttributeStillLoad) {
  // Load it again with the log captured; a missing image is reported when first drawn.
  DestroyWindow(hwnd_);
  CRenderEngine::FreeImageCache();
  LogCapture log;
  DemoFrame again(GetParam());
  HWND hwnd = again.CreateDemo();
  ASSERT_NE(hwnd, nullptr);
  CControlUI* broken = again.Manager().FindControl(L"broken_lab");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->GetFixedWidth(), 0);  // width="abc" ignored
  EXPECT_EQ(broken->GetWidth(), 328);
  EXPECT_TRUE(log.Contains(L"width=\"abc\""));
  EXPECT_TRUE(log.Contains(L"no_such_image.png"));  // reported when it was first drawn
  EXPECT_EQ(broken->GetText(), L"missing image");
  DestroyWindow(hwnd);
}

TEST_P(DemoWindowTest, MalformedOrMissingLayoutFailsCleanly) {
  LogCapture log;
  DemoFrame missing(GetParam(), L"no_such_frame.xml");
  EXPECT_EQ(missing.CreateDemo(), nullptr);
  EXPECT_TRUE(log.Contains(L"no_such_frame.xml"));

  // A malformed file on disk.
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring folder = std::wstring(dir) + L"duilib_test";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\xml").c_str(), nullptr);
  CreateDirectoryW((folder + L"\\xml\\" + GetParam()).c_str(), nullptr);
  std::wstring file = folder + L"\\xml\\" + GetParam() + L"\\broken.xml";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const char text[] = "<Window size=\"100,100\"><VerticalLayout><Label name=\"a\"></Window>";
  DWORD written = 0;
  WriteFile(handle, text, sizeof(text) - 1, &written, nullptr);
  CloseHandle(handle);
  std::wstring old_path = CPaintManagerUI::GetResourcePath();
  CPaintManagerUI::SetResourcePath(folder.c_str());
  DemoFrame broken(GetParam(), L"broken.xml");
  broken.resource_type_ = UILIB_FILE;
  EXPECT_EQ(broken.CreateDemo(), nullptr);
  EXPECT_TRUE(log.Contains(L"malformed"));
  CPaintManagerUI::SetResourcePath(old_path.c_str());
  // The skin archive is used again by the next window.
  DemoFrame after(GetParam());
  HWND hwnd = after.CreateDemo();
  EXPECT_NE(hwnd, nullptr);
  DestroyWindow(hwnd);
}

// A skin archive file with a lying entry: the window is not created, the reason is logged and
// the file is closed again.
TEST_P(DemoWindowTest, DamagedSkinArchiveFileFailsCleanlyAndIsClosed) {
  duilib_test::StoredZip zip = duilib_test::MakeStoredZip(
      {{"xml/" + std::string(GetParam().begin(), GetParam().end()) + "/demo_frame.xml",
        "<Window size=\"100,100\"><Label/></Window>"}});
  zip.Put32(zip.central_headers[0] + duilib_test::StoredZip::kCentralSize, 0xFFFFFFFFu);
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring file = std::wstring(dir) + L"duilib_damaged_skin.zip";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, zip.bytes.data(), static_cast<DWORD>(zip.bytes.size()), &written, nullptr);
  CloseHandle(handle);

  LogCapture log;
  const std::wstring old_path = CPaintManagerUI::GetResourcePath();
  CPaintManagerUI::SetResourcePath(dir);
  DemoFrame damaged(GetParam());
  damaged.resource_type_ = UILIB_ZIP;
  damaged.zip_file_ = L"duilib_damaged_skin.zip";
  EXPECT_EQ(damaged.CreateDemo(), nullptr);
  CPaintManagerUI::SetResourcePath(old_path.c_str());
  EXPECT_TRUE(log.Contains(L"declares"));
  EXPECT_TRUE(log.Contains(L"duilib_damaged_skin.zip"));
  EXPECT_FALSE(log.Contains(L"exception"));
  EXPECT_TRUE(DeleteFileW(file.c_str())) << "the skin file is still open";
}

TEST_P(DemoWindowTest, LayeredWindowKeepsPerPixelAlpha) {
  DemoFrame layer(GetParam(), L"demo_layer.xml");
  HWND hwnd = layer.CreateDemo();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_TRUE(layer.Manager().IsLayered());
  SIZE size{};
  ASSERT_TRUE(PumpUntil([&] { return layer.Manager().GetBackBufferBits(&size) != nullptr; }));
  const DWORD* bits = layer.Manager().GetBackBufferBits(&size);
  ASSERT_EQ(size.cx, 200);
  ASSERT_EQ(size.cy, 120);
  EXPECT_EQ(bits[20 * 200 + 100], 0xFFFF0000u);  // opaque red
  EXPECT_EQ(bits[42 * 200 + 5], 0x80000000u);    // translucent black, premultiplied
  EXPECT_EQ(bits[100 * 200 + 100], 0u);          // nothing painted: transparent
  int text = 0;
  for (int y = 40; y < 80; ++y) {
    for (int x = 0; x < 200; ++x) text += (bits[y * 200 + x] >> 24) == 0xFF;
  }
  EXPECT_GT(text, 10);  // the white text is opaque
  DestroyWindow(hwnd);
}

TEST_P(DemoWindowTest, AsynchronousClickArrivesAfterTheInputAndMayDeleteItsSender) {
  // A row of the list with a button that posts its clicks; the handler deletes the row.
  frame_->Find<CTabLayoutUI>(L"main_tab")->SelectItem(1);
  auto* list = frame_->Find<CListUI>(L"dev_list");
  ASSERT_NE(list, nullptr);
  CDialogBuilder builder;
  CControlUI* row = builder.Create(
      L"<ListContainerElement name=\"row\" height=\"24\"><Button name=\"row_btn\" "
      L"width=\"60\" asyncnotify=\"true\" text=\"x\" /></ListContainerElement>",
      nullptr, frame_.get(), &frame_->Manager());
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(list->Add(row));
  auto* button = frame_->Find<CButtonUI>(L"row_btn");
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(button->IsAsyncNotify());
  frame_->on_notify = [list](DemoFrame*, TNotifyUI& msg) {
    if (msg.sType == L"click" && msg.pSender->GetName() == L"row_btn") list->RemoveAll();
  };
  duilib_test::Pump(50);  // lays the row out
  const POINT at = Center(button->GetPos());
  Click(hwnd_, at.x, at.y);
  button->Activate();  // a second click, queued behind the first
  EXPECT_EQ(frame_->Count(L"click", L"row_btn"), 0);  // not during the input
  ASSERT_TRUE(PumpUntil([this] { return frame_->Count(L"click", L"row_btn") > 0; }));
  duilib_test::Pump(50);
  // The row went with the first click; the second click of the deleted button was dropped.
  EXPECT_EQ(frame_->Count(L"click", L"row_btn"), 1);
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(frame_->Manager().FindControl(L"row_btn"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Skins, DemoWindowTest, ::testing::Values(L"blue", L"orange"),
                         [](const ::testing::TestParamInfo<std::wstring>& info) {
                           return std::string(info.param.begin(), info.param.end());
                         });
