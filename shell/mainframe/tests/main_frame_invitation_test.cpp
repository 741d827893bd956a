// The main window's pasted invitation (page request 8) with the clipboard, a local HTTPS server
// that answers the invitation link with a redirect, and the library's scriptable page.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "shell/http/tests/recording_server.h"
#include "shell/invitation/tests/invitation_test_support.h"
#include "shell/mainframe/tests/main_frame_test_support.h"

namespace mainframe_test {
namespace {

using Texts = std::vector<std::string>;
using namespace invitation_testing;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

const char kInvalid[] = "The invitation is not valid; copy the whole meeting invitation";
const wchar_t kPassWord[] = L"\x5BC6\x7801\xFF1A";  // "密码："

bool SetClipboardText(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  bool set = false;
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* data = GlobalLock(block)) {
      memcpy(data, text.c_str(), bytes);
      GlobalUnlock(block);
      set = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!set) GlobalFree(block);
  }
  CloseClipboard();
  return set;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class MainFrameInvitationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    https_ = HttpsBase(true);
    ASSERT_FALSE(https_.empty()) << "the TLS recording server is not running";
    static const bool trusted = TrustTestCertificate();
    ASSERT_TRUE(trusted);
  }
  void TearDown() override {
    GetAppConfig()->external_id.clear();
    GetAppConfig()->remarks.clear();
  }

  // An invitation link on the trusted server that redirects to |location|.
  std::string Link(const std::string& segment, const std::string& location, int delay_ms = 0) {
    return https_ + "/" + segment + RedirectQuery(location, delay_ms);
  }

  // Pastes |clipboard| into |frame| and waits for its answer to the page: event 15 or 25.
  static void Paste(FrameScope& frame, const std::wstring& clipboard) {
    ASSERT_TRUE(SetClipboardText(frame.hwnd(), clipboard));
    const size_t before = frame.Events(15).size() + frame.Events(25).size();
    frame->PasteInvitation();
    ASSERT_TRUE(PumpUntil([&] { return frame.Events(15).size() + frame.Events(25).size() > before; },
                          20000));
    PumpFor(50);
    EXPECT_EQ(frame.Events(15).size() + frame.Events(25).size(), before + 1);
  }

  std::string https_;
};

TEST_F(MainFrameInvitationTest, CopiedTextsAndRedirectsToLoginParameters) {
  FrameScope frame;
  ASSERT_NE(frame.Page(), nullptr);
  // The stored external id and remarks go with the login parameters (the window has read its
  // configuration by now).
  GetAppConfig()->external_id = "T1";
  GetAppConfig()->remarks = "R1";
  const std::string segment = http_testing::UniqueSegment("paste");
  const struct {
    const char* name;
    std::wstring clipboard;
    const char* liveId;  // nullptr: the invitation is not usable
    const char* guestId = "";
    const char* pwd = "";
  } cases[] = {
      {"whole invitation",
       L"  \x4F1A\x8BAE\x94FE\x63A5\xFF1A" + Wide(Link(segment, "https://m.example/j?liveId=8001&guestId=Gx7")) +
           L"\r\n" + kPassWord + L"654321 \r\n",
       "8001", "Gx7", "654321"},
      // The live id's key in any case; the guest id's only as written; no pass code.
      {"LiveId and GuestId", Wide(Link(segment, "https://m.example/j?LiveId=42&GuestId=G")),
       "42", "", ""},
      {"no digits", Wide(Link(segment, "https://m.example/j?liveId=x1&guestId=G")) + L" " +
                        kPassWord + L"1",
       nullptr},
      {"no redirect", Wide(https_ + "/" + segment + "?status=200"), nullptr},
      {"untrusted server",
       Wide(HttpsBase(false) + "/" + segment + RedirectQuery("https://m.example/j?liveId=9")),
       nullptr},
      {"no https link", L"http://m.example/j?liveId=9 " + std::wstring(kPassWord) + L"1", nullptr},
      {"empty clipboard", L"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t logins = frame.Events(15).size();
    const size_t statuses = frame.Events(25).size();
    Paste(frame, c.clipboard);
    if (c.liveId == nullptr) {
      ASSERT_EQ(frame.Events(25).size(), statuses + 1);
      EXPECT_EQ(frame.Values(25, "msg").back(), kInvalid);
      EXPECT_EQ(frame.Values(25, "status").back(), "0");
      continue;
    }
    ASSERT_EQ(frame.Events(15).size(), logins + 1);
    EXPECT_EQ(frame.Values(15, "liveId").back(), c.liveId);
    EXPECT_EQ(frame.Values(15, "guestId").back(), c.guestId);
    EXPECT_EQ(frame.Values(15, "pwd").back(), c.pwd);
    EXPECT_EQ(frame.Values(15, "nickName").back(), "");
    EXPECT_EQ(frame.Values(15, "thirdPartyId").back(), "T1");
    EXPECT_EQ(frame.Values(15, "remarksInfo").back(), "R1");
    EXPECT_EQ(frame.Values(15, "autoLogin").back(), "false");
  }
}

// While the server takes its time the UI thread goes on, a second paste is ignored, and the
// answer arrives on the UI thread; then the next paste is read again.
TEST_F(MainFrameInvitationTest, SlowServerLeavesTheUiRunningAndASecondPasteIsIgnored) {
  FrameScope frame;
  ASSERT_NE(frame.Page(), nullptr);
  const std::string slow = http_testing::UniqueSegment("slow");
  const std::string second = http_testing::UniqueSegment("second");
  ASSERT_TRUE(SetClipboardText(
      frame.hwnd(), Wide(Link(slow, "https://m.example/j?liveId=11&guestId=A", 4000))));
  frame->PasteInvitation();

  bool ui_ran = false;
  CxAdapter::Instance().GetUiThread().PostTask([&] { ui_ran = true; });
  ASSERT_TRUE(PumpUntil([&] { return ui_ran && HttpsRequestCount(slow) == 1; }));
  EXPECT_TRUE(frame.Events(15).empty()) << "the window waited for the server";

  ASSERT_TRUE(SetClipboardText(frame.hwnd(),
                               Wide(Link(second, "https://m.example/j?liveId=22&guestId=B"))));
  frame->PasteInvitation();
  ASSERT_TRUE(PumpUntil([&] { return !frame.Events(15).empty(); }, 20000));
  PumpFor(200);
  EXPECT_EQ(frame.Values(15, "liveId"), Texts{"11"});
  EXPECT_EQ(HttpsRequestCount(second), 0) << "the second paste was read";
  EXPECT_TRUE(frame.Events(25).empty());

  Paste(frame, Wide(Link(second, "https://m.example/j?liveId=22&guestId=B")));
  EXPECT_EQ(frame.Values(15, "liveId"), (Texts{"11", "22"}));
  EXPECT_EQ(HttpsRequestCount(second), 1);
}

// A window that goes while its invitation's server is silent does not wait for the server, and
// the answer that comes too late is dropped.
TEST_F(MainFrameInvitationTest, WindowGoingWhileTheServerIsSilent) {
  const std::string segment = http_testing::UniqueSegment("gone");
  std::chrono::steady_clock::time_point closing;
  {
    FrameScope frame;
    ASSERT_TRUE(SetClipboardText(frame.hwnd(), Wide(https_ + "/" + segment + "?hang=60")));
    frame->PasteInvitation();
    ASSERT_TRUE(PumpUntil([&] { return HttpsRequestCount(segment) == 1; }));
    closing = std::chrono::steady_clock::now();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(30))
      << "the window waited for the server";
  PumpFor(100);

  // The next window reads invitations as before.
  FrameScope frame;
  Paste(frame, Wide(Link(segment, "https://m.example/j?liveId=5")));
  EXPECT_EQ(frame.Values(15, "liveId"), Texts{"5"});
}

}  // namespace
}  // namespace mainframe_test
