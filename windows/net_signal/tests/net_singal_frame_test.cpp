// The network signal window over the real SDK layer in an offline meeting: statistics records
// arrive through the stand-in's statistics callback, the window is stepped with its timer
// message, and its labels are read back in each skin and language.

#include "windows/net_signal/net_singal_frame.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sdk/interactive/tests/sdk_test_support.h"
#include "windows/common/tests/dialog_test_support.h"

using namespace DuiLib;
using dialog_test::Look;

namespace {

// The counters of one stream's record that the window reads.
struct Rec {
  long long vbytes = 0;
  int vpackets = 0, vlost = 0, vloss = 0, width = 0, height = 0, fps = 0;
  long long abytes = 0;
  int apackets = 0, alost = 0;
};

std::string Json(const Rec& r) {
  return R"({"video":{"bytes":)" + std::to_string(r.vbytes) + R"(,"packets":)" + std::to_string(r.vpackets) +
         R"(,"packetsLost":)" + std::to_string(r.vlost) + R"(,"lossCount":)" + std::to_string(r.vloss) +
         R"(,"width":)" + std::to_string(r.width) + R"(,"height":)" + std::to_string(r.height) +
         R"(,"frameRate":)" + std::to_string(r.fps) + R"(,"codec":"H264"},"audio":{"bytes":)" +
         std::to_string(r.abytes) + R"(,"packets":)" + std::to_string(r.apackets) +
         R"(,"packetsLost":)" + std::to_string(r.alost) + R"(,"codec":"opus"}})";
}

constexpr long long kKb = 1024 / 8;  // Bytes that make one kilobit in the window's rate.

std::wstring T(const wchar_t* id) { return CMutiLanSupport::Instance()->GetTextForId(id); }

class NetSingalFrameTest : public ::testing::TestWithParam<Look> {
 protected:
  void SetUp() override {
    dialog_test::UseLook(GetParam());
    m.Join();
    m.layer.UpdateMeetingIds([](StMeetingIds& ids) {
      ids.publishStreamId = "pub";
      ids.localMediaStreamId = "lm";
    });
    m.layer.SetLocalMediaPlaying(true);
  }
  void Set(const char* stream, const Rec& r) {
    ASSERT_TRUE(m.Emit("OnGetConnectionStatsResult",
                       std::string(R"({"stream_id":")") + stream + R"(","stats":)" + Json(r) + "}"));
  }
  // Runs the window modally; `script` runs inside its loop with the window's own timer stopped
  // (the test sends the ticks), then the window is closed with "closebtn".
  void Run(const std::function<void(HWND, CPaintManagerUI*)>& script) {
    CNetSingalFrame frame(&m.layer);
    ASSERT_NE(dialog_test::CreateLikeTheClient(&frame, owner.hwnd(), L"NetSingalFrame"), nullptr);
    bool timed_out = false;
    const UINT result = dialog_test::RunModal(
        &frame,
        [&](HWND hwnd) {
          EXPECT_TRUE(KillTimer(hwnd, CNetSingalFrame::kRefreshTimer)) << "the refresh timer runs";
          script(hwnd, frame.GetPaintManager());
          EXPECT_TRUE(dialog_test::ClickOn(hwnd, frame.GetPaintManager(), L"closebtn"));
        },
        &timed_out, 60000);
    EXPECT_FALSE(timed_out);
    EXPECT_EQ(result, 0u);
  }

  sdk_test::ConfigGuard config;
  sdk_test::OfflineMeeting m;
  dialog_test::OwnerWindow owner;
};

// One second: the records the layer holds when the timer ticks, and the label texts after it
// (the language text is put in front of each).
struct Tick {
  const char* name;
  Rec pub, lm, sub;
  std::map<std::wstring, std::pair<const wchar_t*, std::wstring>> labels;  // name → (text id, rest)
};

TEST_P(NetSingalFrameTest, FiguresOfEachSecond) {
  // The copies the window takes at "windowinit".
  Rec pub0{100 * kKb, 0, 0, 0, 1280, 720, 25, 40 * kKb};
  Rec lm0{50 * kKb, 0, 0, 0, 640, 360, 30};
  Rec sub0{10 * kKb};
  Set("pub", pub0);
  Set("lm", lm0);
  Set("sub", sub0);
  const std::vector<Tick> ticks = {
      {"first tick against the windowinit copies",
       {2100 * kKb, 64, 3, 0, 1280, 720, 25, 104 * kKb, 200, 10},
       {1050 * kKb, 10, 2, 0, 640, 360, 30},
       {810 * kKb, 0, 0, 0, 640, 360, 15, 64 * kKb, 50, 1},
       {{L"video_kbps", {L"s.kbps", L"3000kbps"}},       // 2000 + 1000
        {L"audio_kbps", {L"s.kbps", L"64kbps"}},
        {L"videopkg_send", {L"s.send.pkg", L"74"}},
        {L"videopkg_lost", {L"s.loss.pkg", L"5"}},
        {L"vlostpkg_rate", {L"s.loss.pkgrate", L"0%"}},   // one record in the history
        {L"resolution_text", {L"s.dot.solution", L"1280*720"}},
        {L"frame_rate", {L"s.frame.rate", L"30"}},
        {L"v_encode_type", {L"s.encode", L"H264"}},
        {L"audiopkg_send", {L"s.send.pkg", L"200"}},
        {L"audiopkg_lost", {L"s.loss.pkg", L"10"}},
        {L"alostpkg_rate", {L"s.loss.pkgrate", L"5%"}},
        {L"a_encode_type", {L"s.encode", L" opus"}},
        {L"r_video_kbps", {L"s.kbps", L"800kbps"}},
        {L"r_audio_kbps", {L"s.kbps", L"64kbps"}},
        {L"r_videopkg_send", {L"s.recv.pkg", L"0"}},
        {L"r_vlostpkg_rate", {L"s.loss.pkgrate", L"0"}},  // no packets: no percent sign
        {L"r_resolution_text", {L"s.dot.solution", L" 640*360"}},
        {L"r_frame_rate", {L"s.frame.rate", L" 15"}},
        {L"r_audiopkg_send", {L"s.recv.pkg", L"50"}},
        {L"r_audiopkg_lost", {L"s.loss.pkg", L"1"}},
        {L"r_alostpkg_rate", {L"s.loss.pkgrate", L"2%"}}}},
      {"the published and the subscribed stream restart",
       {8 * kKb, 8, 0, 0, 640, 360, 25, 8 * kKb, 10, 0},
       {1050 * kKb, 10, 0, 0, 1280, 720, 30},
       {1 * kKb, 10, 1, 0, 640, 360, 15, 1 * kKb, 5, 0},
       {{L"video_kbps", {L"s.kbps", L"0kbps"}},
        {L"audio_kbps", {L"s.kbps", L"0kbps"}},
        {L"resolution_text", {L"s.dot.solution", L"1280*720"}},  // the local media is wider
        {L"r_video_kbps", {L"s.kbps", L"0kbps"}},
        {L"r_audio_kbps", {L"s.kbps", L"0kbps"}},
        {L"r_vlostpkg_rate", {L"s.loss.pkgrate", L"10%"}}}},
      {"above 8000 kbps of local video; remote rates beyond 32 bits",
       {8 * kKb + 7000 * kKb, 72, 0, 32, 640, 360, 25, 8 * kKb},
       {2059 * kKb, 10, 0, 0, 0, 0, 0},  // 1008 kbps more
       {1 * kKb + (1LL << 33) * kKb, 20, 1, 0, 640, 360, 15, 1 * kKb + (1LL << 32) * kKb, 5, 0},
       {{L"video_kbps", {L"s.kbps", L"0kbps"}},
        {L"resolution_text", {L"s.dot.solution", L"640*360"}},
        {L"r_video_kbps", {L"s.kbps", L"8589934592kbps"}},
        {L"r_audio_kbps", {L"s.kbps", L"4294967296kbps"}}}},
      {"no packets sent",
       {9000 * kKb, 0, 0, 0, 640, 360, 25, 8 * kKb},
       {2059 * kKb},
       {},
       {{L"video_kbps", {L"s.kbps", L"1992kbps"}},
        {L"videopkg_send", {L"s.send.pkg", L"0"}},
        {L"vlostpkg_rate", {L"s.loss.pkgrate", L"0"}},
        {L"alostpkg_rate", {L"s.loss.pkgrate", L"0"}},
        {L"r_videopkg_send", {L"s.recv.pkg", L"0"}}}},
      {"five records: no loss rate yet",
       {9000 * kKb, 64, 0, 64, 640, 360, 25, 8 * kKb},
       {2059 * kKb},
       {},
       {{L"vlostpkg_rate", {L"s.loss.pkgrate", L"0%"}}}},
      // Pairs of the six records (packets, loss counter): (64,0)→(8,0) sent taken as 1, 0;
      // (8,0)→(72,32) 0.5; (72,32)→(0,0) loss falls, 0; (0,0)→(64,64) 1; (64,64)→(128,192)
      // 2 clamped to 1: mean 0.5.
      {"six records: the mean of the clamped pair ratios",
       {9000 * kKb, 128, 0, 192, 640, 360, 25, 8 * kKb},
       {2059 * kKb},
       {},
       {{L"vlostpkg_rate", {L"s.loss.pkgrate", L"50%"}}}},
      // The oldest pair goes: 0.5, 0, 1, 1 and (128,192)→(192,224) 0.5: mean 0.6.
      {"seven records: only the last five pairs count",
       {9000 * kKb, 192, 0, 224, 640, 360, 25, 8 * kKb},
       {2059 * kKb},
       {},
       {{L"vlostpkg_rate", {L"s.loss.pkgrate", L"60%"}}}},
  };

  Run([&](HWND hwnd, CPaintManagerUI* pm) {
    auto text = [&](const wchar_t* name) -> std::wstring {
      CControlUI* c = pm->FindControl(name);
      return c ? c->GetText() : L"<missing>";
    };
    // "windowinit" filled every label from empty records.
    EXPECT_EQ(text(L"video_kbps"), T(L"s.kbps") + L"0kbps");
    EXPECT_EQ(text(L"vlostpkg_rate"), T(L"s.loss.pkgrate") + L"0");
    EXPECT_EQ(text(L"r_resolution_text"), T(L"s.dot.solution") + L" 0*0");
    EXPECT_EQ(text(L"a_encode_type"), T(L"s.encode") + L" ");

    for (const Tick& tick : ticks) {
      SCOPED_TRACE(tick.name);
      Set("pub", tick.pub);
      Set("lm", tick.lm);
      Set("sub", tick.sub);
      SendMessageW(hwnd, WM_TIMER, CNetSingalFrame::kRefreshTimer, 0);
      for (const auto& [name, want] : tick.labels) {
        EXPECT_EQ(text(name.c_str()), T(want.first) + want.second) << std::wstring(name);
      }
    }
  });
}

TEST_P(NetSingalFrameTest, TextsOfTheLanguageAndScreenshot) {
  Set("pub", Rec{0, 0, 0, 0, 1280, 720, 25, 0, 0, 0});
  Run([&](HWND hwnd, CPaintManagerUI* pm) {
    Set("pub", Rec{2048 * kKb, 640, 3, 0, 1280, 720, 25, 64 * kKb, 500, 5});
    Set("sub", Rec{1024 * kKb, 320, 2, 0, 640, 360, 15, 32 * kKb, 250, 0});
    SendMessageW(hwnd, WM_TIMER, CNetSingalFrame::kRefreshTimer, 0);
    const bool chinese = std::wstring(GetParam().language) == L"zh_CN";
    EXPECT_EQ(pm->FindControl(L"video_kbps")->GetText(),
              chinese ? L"码率：2048kbps" : L"Bitrate:2048kbps");
    EXPECT_EQ(pm->FindControl(L"r_resolution_text")->GetText(),
              chinese ? L"分辨率： 640*360" : L"Resolution: 640*360");
    EXPECT_EQ(pm->FindControl(L"alostpkg_rate")->GetText(), chinese ? L"丢包率：1%" : L"Loss rate:1%");
    dialog_test::LayOut(pm);
    auto shot = dialog_test::Shoot(hwnd, pm);
    ASSERT_TRUE(shot->printed());
    // Every label shows its text: at least as much ink as its glyphs need.
    for (const wchar_t* name :
         {L"video_kbps", L"audio_kbps", L"videopkg_send", L"audiopkg_send", L"videopkg_lost",
          L"audiopkg_lost", L"vlostpkg_rate", L"alostpkg_rate", L"resolution_text",
          L"a_encode_type", L"frame_rate", L"v_encode_type", L"r_video_kbps", L"r_audio_kbps",
          L"r_videopkg_send", L"r_audiopkg_send", L"r_videopkg_lost", L"r_audiopkg_lost",
          L"r_vlostpkg_rate", L"r_alostpkg_rate", L"r_resolution_text", L"r_frame_rate"}) {
      const int glyphs = static_cast<int>(pm->FindControl(name)->GetText().size());
      EXPECT_GT(dialog_test::InkOf(*shot, pm, name), glyphs * 8) << std::wstring(name);
    }
    EXPECT_TRUE(shot->Save(L"net_signal_" + std::wstring(dialog_test::SkinFolder(GetParam().skin)) +
                           L"_" + GetParam().language + L".png"));
  });
}

INSTANTIATE_TEST_SUITE_P(Looks, NetSingalFrameTest,
                         ::testing::Values(Look{0, L"zh_CN"}, Look{0, L"en_US"},
                                           Look{1, L"zh_CN"}, Look{1, L"en_US"}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return dialog_test::LookName(info.param);
                         });

}  // namespace
