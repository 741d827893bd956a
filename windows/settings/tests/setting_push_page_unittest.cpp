// The push-stream page: which controls the permission and the list allow, the row buttons'
// page events, the push address dialog, and a list that changes while the dialog is open.

#include <gtest/gtest.h>

#include <string>

#include "foundation/app_config.h"
#include "shell/login/skin_choice.h"
#include "windows/add_push_stream/add_push_stream_frame.h"
#include "windows/settings/tests/setting_test_support.h"

using namespace DuiLib;
using namespace setting_test;

namespace {

StPushStreamInfo Destination(int n, int state, int width = 1280, int height = 720) {
  StPushStreamInfo info;
  info.platform_name = L"Platform " + std::to_wstring(n);
  info.push_url = L"rtmp://push.example.com/live/" + std::to_wstring(n);
  info.stream_id = "stream-" + std::to_string(n);
  info.width = width;
  info.height = height;
  info.state = state;
  return info;
}

void SetDestinations(int count, int pushing_row = -1) {
  StAppConfig* config = GetAppConfig();
  config->push_streams.clear();
  for (int i = 0; i < count; ++i) config->AddPushStream(Destination(i, i == pushing_row ? 0 : 1));
}

// The row's child `base` ("start_push_stream") with the row's number.
CControlUI* RowChild(CPaintManagerUI* pm, int row, const std::wstring& base) {
  auto* list = Get<CListUI>(pm, L"push_stream_list");
  CControlUI* item = list ? list->GetItemAt(row) : nullptr;
  if (!item) return nullptr;
  const std::wstring name = item->GetName();
  const std::wstring number = name.substr(std::wstring(L"push_stream_item").size());
  return pm->FindSubControlByName(item, (base + number).c_str());
}

class SettingPushPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseLook({0, L"zh_CN"});
    CShadowBaseFrame::SetSkinIndexSource(&GetSkinIndex);
    GetAppConfig()->live_resolution = "1080";
    GetAppConfig()->live_running = false;
    GetAppConfig()->push_streams.clear();
  }

  // Shows the push page and runs `script` on it.
  void OnPushPage(const std::function<void(CSettingFrame*, HWND, CPaintManagerUI*)>& script) {
    RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
                          [&](CSettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
                            dialog_test::ClickOn(hwnd, pm, L"push_stream_opt");
                            Pump(50);
                            script(frame, hwnd, pm);
                            if (IsWindow(hwnd)) dialog_test::ClickOn(hwnd, pm, L"closebtn");
                          });
    EXPECT_FALSE(run.timed_out);
  }

  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

}  // namespace

TEST_F(SettingPushPageTest, PermissionAndListDecideWhatIsEnabled) {
  struct Case {
    int count;
    bool allowed;
    int pushing_row;
    int page;
    bool add, second_add, all, tips;
    bool start, edit_pushing;  // row 0's start; the pushing row's edit and delete
  } cases[] = {
      {0, false, -1, 0, false, false, false, true, false, false},
      {0, true, -1, 0, true, true, false, false, false, false},
      {9, true, -1, 1, true, true, true, false, true, false},
      {9, false, -1, 1, false, false, false, false, false, false},
      {10, true, -1, 1, false, false, true, false, true, false},
      {10, true, 3, 1, false, false, true, false, true, false},
      {3, false, 1, 1, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("count " + std::to_string(c.count) + (c.allowed ? " allowed" : " refused") +
                 " pushing " + std::to_string(c.pushing_row));
    SetDestinations(c.count, c.pushing_row);
    GetAppConfig()->live_running = c.allowed;
    OnPushPage([&](CSettingFrame*, HWND, CPaintManagerUI* pm) {
      EXPECT_EQ(Get<CTabLayoutUI>(pm, L"push_stream_tablayout")->GetCurSel(), c.page);
      EXPECT_EQ(Get<CListUI>(pm, L"push_stream_list")->GetCount(), c.count);
      EXPECT_EQ(pm->FindControl(L"add_push_stream_btn")->IsEnabled(), c.add);
      EXPECT_EQ(pm->FindControl(L"add_strem_second_btn")->IsEnabled(), c.second_add);
      EXPECT_EQ(pm->FindControl(L"quick_push_flow_btn")->IsEnabled(), c.all);
      EXPECT_EQ(pm->FindControl(L"add_priv_tips")->IsVisible(), c.tips);
      if (c.count > 0) {
        const int idle_row = c.pushing_row == 0 ? 1 : 0;
        EXPECT_EQ(RowChild(pm, idle_row, L"start_push_stream")->IsEnabled(), c.start);
        EXPECT_EQ(RowChild(pm, idle_row, L"edit_stream_address_btn")->IsEnabled(), c.allowed);
        EXPECT_TRUE(RowChild(pm, idle_row, L"start_push_stream")->IsVisible());
        EXPECT_EQ(RowChild(pm, idle_row, L"push_stream_resolution_lab")->GetText(), L"1280*720");
        EXPECT_EQ(RowChild(pm, idle_row, L"push_stream_platform_lab")->GetText(),
                  L"Platform " + std::to_wstring(idle_row));
      }
      if (c.pushing_row >= 0) {
        const int r = c.pushing_row;
        EXPECT_TRUE(RowChild(pm, r, L"stop_push_stream")->IsVisible());
        EXPECT_FALSE(RowChild(pm, r, L"start_push_stream")->IsVisible());
        EXPECT_EQ(RowChild(pm, r, L"stop_push_stream")->IsEnabled(), c.allowed);
        EXPECT_EQ(RowChild(pm, r, L"edit_stream_address_btn")->IsEnabled(), c.edit_pushing);
        EXPECT_EQ(RowChild(pm, r, L"del_stream_address_btn")->IsEnabled(), c.edit_pushing);
        EXPECT_EQ(RowChild(pm, r, L"push_stream_status_lab")->GetText(), L"推流中");
      }
    });
  }
}

TEST_F(SettingPushPageTest, RowButtonsSendTheRowsStreamIdentifier) {
  SetDestinations(3);
  GetAppConfig()->live_running = true;
  OnPushPage([&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
    for (const wchar_t* base : {L"start_push_stream", L"del_stream_address_btn"}) {
      CControlUI* button = RowChild(pm, 1, base);
      ASSERT_NE(button, nullptr);
      const RECT rc = button->GetPos();
      duilib_test::Click(hwnd, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
      Pump(50);  // the delete button's click is delivered from the message loop
    }
    dialog_test::ClickOn(hwnd, pm, L"quick_push_flow_btn");
  });
  const std::vector<std::string> events = page_.EventsOf(24);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], R"({"event":24,"opt":3,"streamId":"stream-1"})");
  EXPECT_EQ(events[1], R"({"event":24,"opt":5,"streamId":"stream-1"})");
  EXPECT_EQ(events[2], R"({"event":24,"opt":1})");
}

TEST_F(SettingPushPageTest, TheDialogsOkReachesThePageOnlyWithPermission) {
  for (bool allowed : {true, false}) {
    SCOPED_TRACE(allowed);
    page_.Clear();
    SetDestinations(0);
    GetAppConfig()->live_running = true;
    OnPushPage([&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
      DriveNextDialog(L"CAddPushStreamFrame", [&](HWND dialog, CPaintManagerUI* dpm) {
        dialog_test::ClickOn(dialog, dpm, L"platform_name_edit");
        dialog_test::Type(dialog, L"Live");
        dialog_test::ClickOn(dialog, dpm, L"address_edit");
        dialog_test::Type(dialog, L"rtmp://a/b");
        EXPECT_TRUE(ChooseFromCombo(dialog, dpm, L"resolution_combo", 2));
        // The permission may go while the dialog is open.
        GetAppConfig()->live_running = allowed;
        dialog_test::ClickOn(dialog, dpm, L"ok_btn");
      });
      dialog_test::ClickOn(hwnd, pm, L"add_push_stream_btn");
      EXPECT_TRUE(DialogWasDriven());
    });
    const std::vector<std::string> events = page_.EventsOf(21);
    if (allowed) {
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0],
                R"({"event":21,"url":"rtmp://a/b","platform":"Live","width":640,"height":360})");
    } else {
      EXPECT_TRUE(events.empty());
    }
  }
}

TEST_F(SettingPushPageTest, EditingOpensTheDialogWithTheRowsValues) {
  GetAppConfig()->push_streams.clear();
  GetAppConfig()->AddPushStream(Destination(0, 1));
  GetAppConfig()->AddPushStream(Destination(1, 1, 640, 360));
  GetAppConfig()->live_running = true;
  std::wstring name, address;
  int resolution = -1;
  OnPushPage([&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
    DriveNextDialog(L"CAddPushStreamFrame", [&](HWND dialog, CPaintManagerUI* dpm) {
      name = Get<CEditUI>(dpm, L"platform_name_edit")->GetText();
      address = Get<CEditUI>(dpm, L"address_edit")->GetText();
      resolution = Get<CComboUI>(dpm, L"resolution_combo")->GetCurSel();
      dialog_test::ClickOn(dialog, dpm, L"ok_btn");
    });
    CControlUI* edit = RowChild(pm, 1, L"edit_stream_address_btn");
    ASSERT_NE(edit, nullptr);
    const RECT rc = edit->GetPos();
    duilib_test::Click(hwnd, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    EXPECT_TRUE(PumpUntil([] { return DialogWasDriven(); }));
    Pump(50);
  });
  EXPECT_EQ(name, L"Platform 1");
  EXPECT_EQ(address, L"rtmp://push.example.com/live/1");
  EXPECT_EQ(resolution, 2);
  const std::vector<std::string> events = page_.EventsOf(21);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], R"({"event":21,"url":"rtmp://push.example.com/live/1","platform":)"
                       R"("Platform 1","width":640,"height":360,"streamId":"stream-1"})");
}

TEST_F(SettingPushPageTest, ANewListWhileTheDialogIsOpenLeavesNoDanglingRow) {
  SetDestinations(3);
  GetAppConfig()->live_running = true;
  int rows_after = -1;
  bool old_row_gone = false;
  OnPushPage([&](CSettingFrame* frame, HWND hwnd, CPaintManagerUI* pm) {
    CControlUI* edit = RowChild(pm, 0, L"edit_stream_address_btn");
    ASSERT_NE(edit, nullptr);
    const std::wstring old_name = edit->GetName();
    DriveNextDialog(L"CAddPushStreamFrame", [&](HWND dialog, CPaintManagerUI* dpm) {
      // The page sends a new list, as the main window hands it over.
      SetDestinations(2);
      frame->LoadPushStreamList();
      dialog_test::ClickOn(dialog, dpm, L"ok_btn");
    });
    const RECT rc = edit->GetPos();
    duilib_test::Click(hwnd, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    EXPECT_TRUE(PumpUntil([] { return DialogWasDriven(); }));
    Pump(100);
    rows_after = Get<CListUI>(pm, L"push_stream_list")->GetCount();
    old_row_gone = pm->FindControl(old_name.c_str()) == nullptr;
    // The new rows work.
    CControlUI* start = RowChild(pm, 1, L"start_push_stream");
    ASSERT_NE(start, nullptr);
    const RECT src = start->GetPos();
    duilib_test::Click(hwnd, (src.left + src.right) / 2, (src.top + src.bottom) / 2);
  });
  EXPECT_EQ(rows_after, 2);
  EXPECT_TRUE(old_row_gone);
  EXPECT_EQ(page_.EventsOf(21).size(), 1u);
  ASSERT_EQ(page_.EventsOf(24).size(), 1u);
  EXPECT_EQ(page_.EventsOf(24)[0], R"({"event":24,"opt":3,"streamId":"stream-1"})");
}
