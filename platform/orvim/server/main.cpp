// orvim_room_server.exe <port> [--page-root=<folder>]: the loopback room server of
// OrvimSDK.dll. Listens on 127.0.0.1:<port> (0: a free port); prints the port as the first line
// of its output, then serves until it is ended or told "exit" on a control connection. With a
// page folder it also answers HTTP requests for the client's web application (page_files.h).

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/orvim/common/wire.h"
#include "platform/orvim/server/room_server.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: orvim_room_server <port> [--page-root=<folder>]\n");
  return 2;
}

}  // namespace

int main() {
  // The wide command line: a page folder may have any name.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return Usage();
  std::wstring port_text;
  std::wstring page_root;
  const std::wstring root_option = L"--page-root=";
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.compare(0, root_option.size(), root_option) == 0 && page_root.empty()) {
      page_root = arg.substr(root_option.size());
      ok = ok && !page_root.empty();
    } else if (port_text.empty() && !arg.empty() && arg[0] != L'-') {
      port_text = arg;
    } else {
      ok = false;
    }
  }
  LocalFree(argv);
  if (!ok || port_text.empty()) return Usage();
  wchar_t* end = nullptr;
  const long port = std::wcstol(port_text.c_str(), &end, 10);
  if (*end != L'\0' || port < 0 || port > 65535) {
    std::fprintf(stderr, "orvim_room_server: bad port %ls\n", port_text.c_str());
    return 2;
  }
  if (!page_root.empty()) {
    while (page_root.size() > 1 && (page_root.back() == L'\\' || page_root.back() == L'/')) {
      page_root.pop_back();
    }
    const DWORD attributes = GetFileAttributesW(page_root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      std::fprintf(stderr, "orvim_room_server: no page folder %ls\n", page_root.c_str());
      return 2;
    }
  }
  orvim::WinsockScope winsock;
  if (!winsock.ok()) {
    std::fprintf(stderr, "orvim_room_server: no Winsock\n");
    return 1;
  }
  orvim::server::RoomServer server;
  server.SetPageRoot(page_root);
  if (!server.Listen(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "orvim_room_server: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::printf("%u\n", static_cast<unsigned>(server.port()));
  std::fflush(stdout);
  server.Run();
  return 0;
}
