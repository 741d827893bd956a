// The second process of SdkTwoClientBench:
//   sdk_two_client_peer.exe camera <room server address> <quit event>
//     client A: the SDK layer joins room "bench" as "a" and publishes the virtual camera at
//     1280 x 720, unpaced (a new picture as soon as the previous one was taken);
//   sdk_two_client_peer.exe relay <port> <quit event>
//     writes 1280 x 720 I420 video messages to 127.0.0.1:<port> as fast as the connection
//     takes them, copying each picture first as a sender does.
// Either ends when the named event <quit event> is set (the relay also when its connection
// goes). Exit code 0, or 2 when it could not start, 3 when client A did not join.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "foundation/app_config.h"
#include "foundation/handle.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/orvim_library.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// The main window as client A's layer sees it; only the join matters here.
class Owner : public DevConsumerDelegate {
 public:
  Owner() : joined_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return true; }
  int GetCaptureWidth() override { return kWidth; }
  int GetCaptureHeight() override { return kHeight; }
  void OnJoinRoom(int result, const std::string&) override {
    if (result == 1) SetEvent(joined_.Get());
  }
  bool WaitJoined(DWORD timeout_ms) { return WaitForSingleObject(joined_.Get(), timeout_ms) == WAIT_OBJECT_0; }

 private:
  CxHandle joined_;
};

// The layer with the switch for the live subscription.
class PublisherLayer : public CSdkInterActive {
 public:
  using CSdkInterActive::CSdkInterActive;
  using CSdkInterActive::SetLiveSubscribeEnabled;
};

int RunCamera(const std::string& address, HANDLE quit) {
  orvim::testing::OrvimLibrary library;
  if (!library.ok()) return 2;
  library.Control(R"({"cmd":"camera_rate","id":"orvim-camera-1","unpaced":true})");
  StAppConfig* config = GetAppConfig();
  config->camera_dev_id = "orvim-camera-1";
  config->camera_dev_name = "Orvim Virtual Camera";
  config->video_width = kWidth;
  config->video_height = kHeight;
  config->use_mode.store(true);
  config->camera_on = true;

  Owner owner;
  auto layer = std::make_unique<PublisherLayer>(&owner);
  layer->InitSDK();
  StJoinInfo join;
  join.owtServer = address;
  join.confid = "bench";
  join.userid = "a";
  join.username = "A";
  join.cid = "c-a";
  join.sid = "site";
  layer->Login(join);
  if (!owner.WaitJoined(30000)) return 3;

  // Client A does not watch the live stream: the live block of this machine is B's alone.
  layer->SetLiveSubscribeEnabled(false);
  layer->Open_Video_Dev(config->camera_dev_id, config->camera_dev_name, true, false);
  WaitForSingleObject(quit, INFINITE);
  layer->ExitRoom();
  layer.reset();
  return 0;
}

int RunRelaySender(const std::string& port, HANDLE quit) {
  orvim::WinsockScope winsock;
  orvim::ScopedSocket connection(orvim::ConnectTo("127.0.0.1:" + port));
  if (!connection.valid()) return 2;
  orvim::Bytes picture = orvim::MakeBytes(orvim::I420Size(kWidth, kHeight));
  std::fill(picture.data.get(), picture.data.get() + picture.size, 128);
  while (WaitForSingleObject(quit, 0) == WAIT_TIMEOUT) {
    orvim::Bytes frame = orvim::CopyBytes(picture.data.get(), picture.size);
    if (!orvim::WriteMessage(connection.get(), orvim::VideoMessage("s", 7, kWidth, kHeight, frame, 0, frame.size))) {
      break;
    }
  }
  return 0;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text; *p; ++p) out += static_cast<char>(*p);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  CxHandle quit(OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
  if (!quit.Get()) return 2;
  const std::wstring mode = argv[1];
  if (mode == L"camera") return RunCamera(Narrow(argv[2]), quit.Get());
  if (mode == L"relay") return RunRelaySender(Narrow(argv[2]), quit.Get());
  return 2;
}
