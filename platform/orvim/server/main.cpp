// orvim_room_server.exe <port>: the loopback room server of OrvimSDK.dll. Listens on
// 127.0.0.1:<port> (0: a free port); prints the port as the first line of its output, then
// serves until it is ended or told "exit" on a control connection.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/orvim/common/wire.h"
#include "platform/orvim/server/room_server.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvim_room_server <port>\n");
    return 2;
  }
  const std::string text = argv[1];
  char* end = nullptr;
  const long port = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || port < 0 || port > 65535) {
    std::fprintf(stderr, "orvim_room_server: bad port %s\n", text.c_str());
    return 2;
  }
  orvim::WinsockScope winsock;
  if (!winsock.ok()) {
    std::fprintf(stderr, "orvim_room_server: no Winsock\n");
    return 1;
  }
  orvim::server::RoomServer server;
  if (!server.Listen(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "orvim_room_server: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::printf("%u\n", static_cast<unsigned>(server.port()));
  std::fflush(stdout);
  server.Run();
  return 0;
}
