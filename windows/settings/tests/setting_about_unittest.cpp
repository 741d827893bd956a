// The "about" page's update check against a local HTTPS update service, the update consent,
// pictures in place of the camera, and screenshots of every page in both skins and two
// languages.

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/app_config.h"
#include "foundation/text_convert.h"
#include "shell/system/system_info.h"
#include "windows/settings/tests/setting_test_support.h"
#include "windows/settings/version_check.h"

using namespace DuiLib;
using namespace setting_test;

namespace {

std::string ServerDir() {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return std::string(dir ? dir : ".") + "/update-server";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Answer(int status, const std::string& body, int delay_ms = 0) {
  std::string escaped;
  for (char c : body) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  std::ofstream(ServerDir() + "/answer", std::ios::binary)
      << "{\"status\":" << status << ",\"body\":\"" << escaped << "\",\"delay_ms\":" << delay_ms
      << "}";
}

int RequestCount() {
  const std::string text = ReadText(ServerDir() + "/requests");
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

// Trusts the update service's certificate in the prefix's machine root store, as an
// administrator would trust a company's own certificate authority.
bool TrustServerCertificate() {
  const std::string pem = ReadText(ServerDir() + "/cert.pem");
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr)) {
    return false;
  }
  std::string der(size, '\0');
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            reinterpret_cast<BYTE*>(&der[0]), &size, nullptr, nullptr)) {
    return false;
  }
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                  CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!root) return false;
  const BOOL added = CertAddEncodedCertificateToStore(
      root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), size,
      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

class SettingAboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_test::UseDialogLook({0, L"zh_CN"});
    port_ = ReadText(ServerDir() + "/port");
    ASSERT_FALSE(port_.empty()) << "the update server is not running";
    // Handing curl the certificate as a CA file (CURLOPT_CAINFO) is refused by Wine's
    // Schannel (error 60); a certificate in the root store is trusted.
    static const bool trusted = TrustServerCertificate();
    ASSERT_TRUE(trusted);
    owner_.updateServer = "127.0.0.1:" + port_;
    GetAppConfig()->show_logo = true;
    GetAppConfig()->language = L"zh_CN";
  }
  // Waits until `checks` more update checks have ended and their messages are handled.
  static void WaitForChecks(int before, int checks = 1) {
    EXPECT_TRUE(PumpUntil([&] { return CVersionCheck::EndedChecksForTest() >= before + checks; },
                          15000));
    Pump(100);
  }

  std::string port_;
  RecordingResponder responder_;
  PageEventSink page_;
  TestOwner owner_;
  dialog_test::OwnerWindow owner_window_;
};

struct Shown {
  std::wstring label;
  std::wstring label_id;
  bool update = false;
  bool check = false;
};

Shown WhatTheAboutPageShows(CPaintManagerUI* pm) {
  Shown shown;
  shown.label = pm->FindControl(L"version_check_lab")->GetText();
  shown.label_id = pm->FindControl(L"version_check_lab")->GetTextId();
  shown.update = pm->FindControl(L"update_version_btn")->IsVisible();
  shown.check = pm->FindControl(L"version_check_btn")->IsVisible();
  return shown;
}

}  // namespace

TEST_F(SettingAboutTest, UpdateRepliesAndFailures) {
  struct Case {
    const char* what;
    int status;
    std::string body;
    bool answered;
    std::wstring label;
    bool update;
  } cases[] = {
      {"newer version", 200, R"({"code":2,"version":{"main":3,"minor":1,"revision":0,"build":7}})",
       true, L"发现新版本 V3.1.0.7", true},
      {"current", 200, R"({"code":0})", true, L"已是最新版本", false},
      {"not JSON", 200, "<html>busy</html>", false, L"", false},
      {"a JSON array", 200, "[1,2]", false, L"", false},
      {"HTTP 500", 500, R"({"code":2})", false, L"", false},
      {"no server", 0, "", false, L"", false},
      // A service whose certificate nobody trusts is not believed, nor one that shows a
      // certificate for another name.
      {"untrusted certificate", -1,
       R"({"code":2,"version":{"main":3,"minor":1,"revision":0,"build":7}})", false, L"", false},
      {"certificate for another name", -2,
       R"({"code":2,"version":{"main":3,"minor":1,"revision":0,"build":7}})", false, L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Answer(c.status < 0 ? 200 : c.status, c.body);
    if (c.status == 0) {
      owner_.updateServer = "127.0.0.1:1";
    } else if (c.status == -1) {
      owner_.updateServer = "127.0.0.1:" + ReadText(ServerDir() + "/untrusted_port");
    } else if (c.status == -2) {
      owner_.updateServer = "localhost:" + port_;
    } else {
      owner_.updateServer = "127.0.0.1:" + port_;
    }
    const int requests = RequestCount();
    const int ended = CVersionCheck::EndedChecksForTest();
    Shown shown;
    RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                  dialog_test::ClickOn(hwnd, pm, L"about_opt");
                  WaitForChecks(ended);
                  shown = WhatTheAboutPageShows(pm);
                  dialog_test::ClickOn(hwnd, pm, L"closebtn");
                });
    EXPECT_EQ(shown.label, c.label);
    EXPECT_EQ(shown.update, c.update);
    EXPECT_EQ(shown.check, !c.update);
    if (c.status > 0) {
      ASSERT_EQ(RequestCount(), requests + 1);
      const std::string last = ReadText(ServerDir() + "/requests");
      EXPECT_NE(last.find(R"("path": "/?cmd=update")"), std::string::npos);
      EXPECT_NE(last.find(R"("content_type": "application/json")"), std::string::npos);
      const FileVersionInfo info(GetModuleFilePath());
      const uint16_t* v = info.Numbers();
      std::ostringstream body;
      body << R"({\"dev\":\"TarvoZentavo.Windows\",\"version\":{\"main\":)" << v[0]
           << R"(,\"minor\":)" << v[1] << R"(,\"revision\":)" << v[2] << R"(,\"build\":)" << v[3]
           << "}}";
      EXPECT_NE(last.rfind(body.str()), std::string::npos) << last;
    }
  }
}

TEST_F(SettingAboutTest, ASecondPressWhileACheckRunsStartsNothing) {
  Answer(200, R"({"code":0})");
  Shown first, second;
  int requests_before = -1, requests_after = -1;
  // Counted before the window starts its first check: on a loaded machine that check may have
  // ended before the script runs.
  const int ended = CVersionCheck::EndedChecksForTest();
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                dialog_test::ClickOn(hwnd, pm, L"about_opt");
                WaitForChecks(ended);
                first = WhatTheAboutPageShows(pm);
                Answer(200, R"({"code":2,"version":{"main":9,"minor":9,"revision":9,"build":9}})",
                       1500);
                requests_before = RequestCount();
                const int again = CVersionCheck::EndedChecksForTest();
                dialog_test::ClickOn(hwnd, pm, L"version_check_btn");
                dialog_test::ClickOn(hwnd, pm, L"version_check_btn");
                WaitForChecks(again);
                requests_after = RequestCount();
                second = WhatTheAboutPageShows(pm);
                dialog_test::ClickOn(hwnd, pm, L"closebtn");
              });
  EXPECT_EQ(first.label_id, L"s.new.ver");
  EXPECT_EQ(requests_after, requests_before + 1);
  EXPECT_EQ(second.label, L"发现新版本 V9.9.9.9");
  EXPECT_TRUE(second.update);
  EXPECT_FALSE(second.check);
}

TEST_F(SettingAboutTest, ASlowReplyAfterTheWindowClosedIsDropped) {
  Answer(200, R"({"code":2,"version":{"main":3,"minor":1,"revision":0,"build":7}})", 2000);
  const int ended = CVersionCheck::EndedChecksForTest();
  const int requests = RequestCount();
  RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
                              [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                                EXPECT_TRUE(PumpUntil([&] { return RequestCount() > requests; }));
                                dialog_test::ClickOn(hwnd, pm, L"closebtn");
                              });
  EXPECT_EQ(run.result, 0u);
  // The check ends after the window went; a second window meanwhile has a check of its own.
  Answer(200, R"({"code":0})");
  Shown second;
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0, [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
    dialog_test::ClickOn(hwnd, pm, L"about_opt");
    WaitForChecks(ended, 2);
    second = WhatTheAboutPageShows(pm);
    dialog_test::ClickOn(hwnd, pm, L"closebtn");
  });
  EXPECT_EQ(second.label_id, L"s.new.ver");
  EXPECT_FALSE(second.update);
}

TEST_F(SettingAboutTest, UpdateConsentClosesWithOneAndStartsTheUpdater) {
  for (bool consent : {false, true}) {
    SCOPED_TRACE(consent);
    Answer(200, R"({"code":2,"version":{"main":3,"minor":1,"revision":0,"build":7}})");
    owner_.updater.clear();
    const int ended = CVersionCheck::EndedChecksForTest();
    RunResult run = RunSettings(owner_window_.hwnd(), &owner_, 1, 0,
                                [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
                                  dialog_test::ClickOn(hwnd, pm, L"about_opt");
                                  WaitForChecks(ended);
                                  DriveNextDialog(L"CExitMeetFrame", [&](HWND dialog,
                                                                         CPaintManagerUI* dpm) {
                                    // The update page of the confirmation.
                                    EXPECT_EQ(Get<CTabLayoutUI>(dpm, L"tab_layout")->GetCurSel(), 1);
                                    dialog_test::ClickOn(dialog, dpm,
                                                         consent ? L"btn_ok" : L"btn_cancel");
                                  });
                                  dialog_test::ClickOn(hwnd, pm, L"update_version_btn");
                                  EXPECT_TRUE(DialogWasDriven());
                                  if (!consent) dialog_test::ClickOn(hwnd, pm, L"closebtn");
                                });
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.result, consent ? 1u : 0u);
    EXPECT_EQ(owner_.updater, consent ? std::vector<bool>{false} : std::vector<bool>{});
  }
}

TEST_F(SettingAboutTest, AgreementPagesOpenThroughTheShell) {
  std::vector<std::wstring> opened;
  CSettingFrame::SetShellOpenFunc([&](HWND, const std::wstring& url) { opened.push_back(url); });
  RunSettings(owner_window_.hwnd(), &owner_, 1, 0, [&](CSettingFrame*, HWND hwnd, CPaintManagerUI* pm) {
    dialog_test::ClickOn(hwnd, pm, L"about_opt");
    dialog_test::LayOut(pm);
    dialog_test::ClickOn(hwnd, pm, L"privacy_btn");
    dialog_test::ClickOn(hwnd, pm, L"user_agreement_btn");
    dialog_test::ClickOn(hwnd, pm, L"closebtn");
  });
  CSettingFrame::SetShellOpenFunc(nullptr);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].substr(0, 8), L"https://");
  EXPECT_NE(opened[0].find(L"/Tarvo/agreement/policy-live/"), std::wstring::npos);
  EXPECT_NE(opened[1].find(L"/Tarvo/agreement/terms-live/"), std::wstring::npos);
}
