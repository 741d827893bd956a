// orvim_room_server.exe with a page folder: the web application's files over HTTP on the room's
// own port, nothing outside the folder's plain files, malformed and silent requests, and SDK
// services served on the same port.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/orvim/testing/service_client.h"

namespace {

using namespace std::chrono_literals;

struct HttpAnswer {
  bool ended = false;  // The server closed the connection.
  std::string status;  // "200 OK"
  std::string head;    // The header lines.
  std::string body;
};

// Sends |bytes| and reads until the server ends the connection (at most 15 s).
HttpAnswer Exchange(const std::string& address, const std::string& bytes) {
  HttpAnswer answer;
  orvim::ScopedSocket socket(orvim::ConnectTo(address));
  if (!socket.valid()) return answer;
  send(socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0);
  std::string all;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(socket.get(), &read);
    timeval timeout{0, 200000};
    if (select(0, &read, nullptr, nullptr, &timeout) != 1) continue;
    char buffer[4096];
    const int got = recv(socket.get(), buffer, sizeof(buffer), 0);
    if (got <= 0) {
      answer.ended = true;
      break;
    }
    all.append(buffer, static_cast<size_t>(got));
  }
  const size_t end_of_head = all.find("\r\n\r\n");
  if (all.compare(0, 9, "HTTP/1.1 ") != 0 || end_of_head == std::string::npos) return answer;
  const size_t end_of_line = all.find("\r\n");
  answer.status = all.substr(9, end_of_line - 9);
  answer.head = all.substr(end_of_line + 2, end_of_head - end_of_line);
  answer.body = all.substr(end_of_head + 4);
  return answer;
}

std::string Get(const std::string& target, const char* method = "GET") {
  return std::string(method) + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

void WriteFile(const std::wstring& path, const std::string& text) {
  std::ofstream(path.c_str(), std::ios::binary) << text;
}

class OrvimPageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    base_ = std::wstring(temp) + L"orvim-page-" + std::to_wstring(GetCurrentProcessId());
    root_ = base_ + L"\\webapp";
    CreateDirectoryW(base_.c_str(), nullptr);
    CreateDirectoryW(root_.c_str(), nullptr);
    CreateDirectoryW((root_ + L"\\sub").c_str(), nullptr);
    CreateDirectoryW((root_ + L"\\folder.js").c_str(), nullptr);
    WriteFile(root_ + L"\\index.html", kIndex);
    WriteFile(root_ + L"\\style.css", "body { color: red; }");
    WriteFile(root_ + L"\\app.js", "var a = 1;");
    WriteFile(root_ + L"\\.hidden", "hidden");
    WriteFile(root_ + L"\\sub\\inner.txt", "inner");
    WriteFile(base_ + L"\\outside.txt", "outside");
    ASSERT_TRUE(library_.ok());
    ASSERT_TRUE(server_.Start(0, L"\"--page-root=" + root_ + L"/\""));
  }
  void TearDown() override {
    server_.Kill();
    for (const wchar_t* file :
         {L"\\index.html", L"\\style.css", L"\\app.js", L"\\.hidden", L"\\sub\\inner.txt"}) {
      DeleteFileW((root_ + file).c_str());
    }
    RemoveDirectoryW((root_ + L"\\sub").c_str());
    RemoveDirectoryW((root_ + L"\\folder.js").c_str());
    RemoveDirectoryW(root_.c_str());
    DeleteFileW((base_ + L"\\outside.txt").c_str());
    RemoveDirectoryW(base_.c_str());
  }

  static constexpr const char* kIndex = "<!DOCTYPE html><p>the page</p>";
  orvim::WinsockScope winsock_;
  std::wstring base_;
  std::wstring root_;
  orvim::testing::OrvimLibrary library_;
  orvim::testing::RoomServerProcess server_;
};

TEST_F(OrvimPageFilesTest, ThePageAndItsFilesAreAnsweredAndNothingElse) {
  struct Case {
    const char* name;
    std::string request;
    const char* status;
    const char* type;  // Content type of a 200 answer.
    std::string body;  // Of a 200 answer.
  } cases[] = {
      {"the page", Get("/cla/pc"), "200 OK", "text/html; charset=utf-8", kIndex},
      {"the page with the client's query", Get("/cla/pc?localDoc=true"), "200 OK",
       "text/html; charset=utf-8", kIndex},
      {"a style sheet", Get("/cla/style.css"), "200 OK", "text/css; charset=utf-8",
       "body { color: red; }"},
      {"a script", Get("/cla/app.js#x"), "200 OK", "text/javascript; charset=utf-8", "var a = 1;"},
      {"the folder itself", Get("/cla/"), "404 Not Found", "", ""},
      {"the page as a folder", Get("/cla/pc/"), "404 Not Found", "", ""},
      {"a missing file", Get("/cla/missing.js"), "404 Not Found", "", ""},
      {"a hidden file", Get("/cla/.hidden"), "404 Not Found", "", ""},
      {"a subfolder's file", Get("/cla/sub/inner.txt"), "404 Not Found", "", ""},
      {"a folder", Get("/cla/folder.js"), "404 Not Found", "", ""},
      {"the parent folder", Get("/cla/../outside.txt"), "404 Not Found", "", ""},
      {"an encoded parent folder", Get("/cla/..%2Foutside.txt"), "404 Not Found", "", ""},
      {"an encoded separator", Get("/cla/sub%5Cinner.txt"), "404 Not Found", "", ""},
      {"outside the page's path", Get("/index.html"), "404 Not Found", "", ""},
      {"another method", Get("/cla/pc", "POST"), "405 Method Not Allowed", "", ""},
      {"no version", "GET /cla/pc\r\n\r\n", "400 Bad Request", "", ""},
      {"another protocol", "GET /cla/pc FTP/1.0\r\n\r\n", "400 Bad Request", "", ""},
      {"no path", "GET  HTTP/1.1\r\n\r\n", "400 Bad Request", "", ""},
      {"a request without end", "GET /cla/pc HTTP/1.1\r\nX: " + std::string(20000, 'x'),
       "400 Bad Request", "", ""},
  };
  for (const Case& c : cases) {
    const HttpAnswer answer = Exchange(server_.address(), c.request);
    EXPECT_TRUE(answer.ended) << c.name;
    EXPECT_EQ(answer.status, c.status) << c.name;
    EXPECT_NE(answer.head.find("Connection: close\r\n"), std::string::npos) << c.name;
    if (answer.status != "200 OK") continue;
    EXPECT_NE(answer.head.find(std::string("Content-Type: ") + c.type + "\r\n"), std::string::npos)
        << c.name << ": " << answer.head;
    EXPECT_NE(answer.head.find("Content-Length: " + std::to_string(c.body.size()) + "\r\n"),
              std::string::npos)
        << c.name;
    EXPECT_EQ(answer.body, c.body) << c.name;
  }

  // HEAD: the page's length, no body.
  const HttpAnswer head = Exchange(server_.address(), Get("/cla/pc", "HEAD"));
  EXPECT_EQ(head.status, "200 OK");
  EXPECT_NE(head.head.find("Content-Length: " + std::to_string(std::strlen(kIndex)) + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(head.body.empty());
}

TEST_F(OrvimPageFilesTest, ASilentRequestEndsAndTheRoomIsServedOnTheSamePort) {
  // A client that stops in the middle of its request holds nothing up and is let go.
  orvim::ScopedSocket silent(orvim::ConnectTo(server_.address()));
  ASSERT_TRUE(silent.valid());
  const std::string part = "GET /cla/pc HTTP/1.1\r\n";
  send(silent.get(), part.data(), static_cast<int>(part.size()), 0);
  EXPECT_EQ(Exchange(server_.address(), Get("/cla/pc")).status, "200 OK");

  orvim::testing::ServiceClient a(library_);
  orvim::testing::ServiceClient b(library_);
  ASSERT_TRUE(a.Join(server_.address(), "room", "alice"));
  ASSERT_TRUE(b.Join(server_.address(), "room", "bob"));
  ASSERT_TRUE(a.observer().WaitForEvent("OnParticipantJoined"));
  EXPECT_EQ(Exchange(server_.address(), Get("/cla/app.js")).body, "var a = 1;");

  bool ended = false;
  for (int i = 0; i < 150 && !ended; ++i) {
    fd_set read;
    FD_ZERO(&read);
    FD_SET(silent.get(), &read);
    timeval timeout{0, 200000};
    char buffer[256];
    ended = select(0, &read, nullptr, nullptr, &timeout) == 1 &&
            recv(silent.get(), buffer, sizeof(buffer), 0) <= 0;
  }
  EXPECT_TRUE(ended);
}

}  // namespace
