// The redirect reader against the recording server over plain HTTP and over TLS with a trusted
// and an untrusted certificate, and the worker-thread lookup around it.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "shell/http/tests/recording_server.h"
#include "shell/invitation/invitation_lookup.h"
#include "shell/invitation/redirect_reader.h"
#include "shell/invitation/tests/invitation_test_support.h"

namespace {

using namespace invitation_testing;

const char kTarget[] = "https://meet.example/live?liveId=8001&guestId=Gx7";

class InvitationRedirectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    http_ = http_testing::ServerBase();
    https_ = HttpsBase(true);
    untrusted_ = HttpsBase(false);
    ASSERT_FALSE(http_.empty()) << "the recording server is not running";
    ASSERT_FALSE(https_.empty()) << "the TLS recording server is not running";
    static const bool trusted = TrustTestCertificate();
    ASSERT_TRUE(trusted);
  }

  std::string http_, https_, untrusted_;
};

TEST_F(InvitationRedirectTest, AddressOfARedirectOverPlainHttp) {
  const std::string segment = http_testing::UniqueSegment("redirect");
  const struct {
    const char* name;
    std::string query;
    std::string address;
  } cases[] = {
      {"302", RedirectQuery(kTarget), kTarget},
      {"301", "?status=301&location=https%3A%2F%2Fa.example%2Fx", "https://a.example/x"},
      // A relative Location is made absolute against the link.
      {"relative", "?status=302&location=%2Fjoin%3FliveId%3D5",
       http_ + "/join?liveId=5"},
      // No redirect: a plain answer, a redirect status without a Location, a closed connection.
      {"200", "?status=200", ""},
      {"302 without Location", "?status=302", ""},
      {"closed", "?close=1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadRedirectAddress(http_ + "/" + segment + c.query), c.address);
  }
  // The link is requested once each time, with GET, and the redirect is not followed.
  ASSERT_EQ(http_testing::RequestCount(segment), 6);
  http_testing::RecordedRequest first;
  ASSERT_TRUE(http_testing::WaitForRequest(segment, 0, &first));
  EXPECT_EQ(first.head.rfind("GET /" + segment + "?status=302&location=", 0), 0u) << first.head;
  EXPECT_EQ(ReadRedirectAddress("http://127.0.0.1:1/nobody"), "");
  EXPECT_EQ(ReadRedirectAddress("no address"), "");
}

// Over TLS the address counts only from a server whose certificate is trusted and names the
// link's host.
TEST_F(InvitationRedirectTest, AddressOverHttpsOnlyFromATrustedServer) {
  const std::string segment = http_testing::UniqueSegment("tls");
  const std::string query = "/" + segment + RedirectQuery(kTarget);
  EXPECT_EQ(ReadRedirectAddress(https_ + query), kTarget);
  EXPECT_EQ(ReadRedirectAddress(untrusted_ + query), "");
  const std::string port = https_.substr(https_.rfind(':'));
  EXPECT_EQ(ReadRedirectAddress("https://localhost" + port + query), "")
      << "the certificate names 127.0.0.1 only";
  // The trusted server answered the first request; the others reached a server too.
  EXPECT_GE(HttpsRequestCount(segment), 1);
}

// Cancelling ends a transfer to a silent server at once, not after the request's timeout.
TEST_F(InvitationRedirectTest, CancelEndsASilentTransfer) {
  const std::string segment = http_testing::UniqueSegment("silent");
  std::atomic<bool> cancel{false};
  std::string address = "unset";
  std::thread reader([&] { address = ReadRedirectAddress(http_ + "/" + segment + "?hang=60", &cancel); });
  http_testing::RecordedRequest request;
  ASSERT_TRUE(http_testing::WaitForRequest(segment, 0, &request));
  const auto cancelled = std::chrono::steady_clock::now();
  cancel = true;
  reader.join();
  EXPECT_EQ(address, "");
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(30))
      << "the transfer waited for the server";
}

TEST_F(InvitationRedirectTest, LookupRunsOnAWorkerOneAtATime) {
  const std::string segment = http_testing::UniqueSegment("lookup");
  CInvitationLookup lookup;
  std::atomic<bool> arrived{false};
  std::string address;
  DWORD worker = 0;
  ASSERT_TRUE(lookup.Start(http_ + "/" + segment + RedirectQuery(kTarget, 1500),
                           [&](const std::string& a) {
                             address = a;
                             worker = GetCurrentThreadId();
                             arrived = true;
                           }));
  EXPECT_TRUE(lookup.Busy());
  EXPECT_FALSE(lookup.Start(http_ + "/" + segment + "?status=200",
                            [](const std::string&) { ADD_FAILURE() << "a second lookup ran"; }));
  for (int i = 0; i < 500 && !arrived; ++i) Sleep(20);
  ASSERT_TRUE(arrived);
  EXPECT_TRUE(lookup.Busy()) << "busy until the owner collected the result";
  lookup.Finish();
  EXPECT_FALSE(lookup.Busy());
  EXPECT_EQ(address, kTarget);
  EXPECT_NE(worker, GetCurrentThreadId());
  EXPECT_EQ(http_testing::RequestCount(segment), 1);

  // Collected, it takes the next one.
  arrived = false;
  ASSERT_TRUE(lookup.Start(http_ + "/" + segment + "?status=200",
                           [&](const std::string& a) {
                             address = a;
                             arrived = true;
                           }));
  for (int i = 0; i < 500 && !arrived; ++i) Sleep(20);
  lookup.Finish();
  EXPECT_TRUE(arrived);
  EXPECT_EQ(address, "");
}

// A lookup whose owner goes while the server is silent is cancelled; its result still arrives
// (empty) before the owner is gone.
TEST_F(InvitationRedirectTest, OwnerGoingCancelsTheLookup) {
  const std::string segment = http_testing::UniqueSegment("owner");
  std::atomic<int> results{0};
  std::string address = "unset";
  {
    CInvitationLookup lookup;
    ASSERT_TRUE(lookup.Start(http_ + "/" + segment + "?hang=60", [&](const std::string& a) {
      address = a;
      ++results;
    }));
    http_testing::RecordedRequest request;
    ASSERT_TRUE(http_testing::WaitForRequest(segment, 0, &request));
  }
  EXPECT_EQ(results, 1);
  EXPECT_EQ(address, "");
}

}  // namespace
