// 1280 x 720 I420 pictures per second from client A's camera (the virtual camera unpaced)
// through A's SDK layer, the loopback room server and client B's layer into B's live block,
// against a plain 127.0.0.1 socket relay of the same bytes between two processes.
//
// Client A is sdk_two_client_peer.exe in a second process; this process is client B and reads
// its own live block as the stream viewer does: a picture counts when its camera counter is new
// (the block keeps only the newest picture, so pictures written faster than they are read are
// not counted, as the viewer would not show them). The relay's sender is the same peer program;
// the relay thread and the reader are here. The peer ends with each benchmark.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>

#include "foundation/app_config.h"
#include "foundation/handle.h"
#include "platform/orvim/common/media_pattern.h"
#include "platform/orvim/common/wire.h"
#include "platform/orvim/testing/room_server_process.h"
#include "platform/streamviewer/stream_block_reader.h"
#include "sdk/interactive/sdk_interactive.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

std::wstring ProgramBeside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

// sdk_two_client_peer.exe in |mode| with |argument|, told to end through a named event.
class Peer {
 public:
  Peer(const wchar_t* mode, const std::string& argument) {
    const std::wstring name = L"TarvoTwoClientBenchQuit_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount());
    quit_.Reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    std::wstring command = L"\"" + ProgramBeside(L"sdk_two_client_peer.exe") + L"\" " + mode + L" " +
                           std::wstring(argument.begin(), argument.end()) + L" " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (quit_ && CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process)) {
      CloseHandle(process.hThread);
      process_.Reset(process.hProcess);
    }
  }
  ~Peer() { Stop(); }
  bool started() const { return process_.IsValid(); }
  // True while the peer runs (an early end means it could not join or connect).
  bool running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
  void Stop() {
    if (!process_) return;
    SetEvent(quit_.Get());
    if (WaitForSingleObject(process_.Get(), 20000) != WAIT_OBJECT_0) TerminateProcess(process_.Get(), 1);
    process_.Close();
  }

 private:
  CxHandle quit_;
  CxHandle process_;
};

class ViewerOwner : public DevConsumerDelegate {
 public:
  ViewerOwner() : joined_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void OnVideoDevResult(const std::string&, bool) override {}
  void OnPreviewFrame(const unsigned char*, int, int, int) override {}
  bool IsEffectsIdle() override { return true; }
  bool IsUsingVideoDev(const std::string&) override { return false; }
  int GetCaptureWidth() override { return kWidth; }
  int GetCaptureHeight() override { return kHeight; }
  void OnJoinRoom(int result, const std::string&) override {
    if (result == 1) SetEvent(joined_.Get());
  }
  bool WaitJoined(DWORD timeout_ms) { return WaitForSingleObject(joined_.Get(), timeout_ms) == WAIT_OBJECT_0; }

 private:
  CxHandle joined_;
};

// The layer with the switch the main window sets when it opens its devices: the live stream is
// subscribed only while it is on.
class ViewerLayer : public CSdkInterActive {
 public:
  using CSdkInterActive::CSdkInterActive;
  using CSdkInterActive::SetLiveSubscribeEnabled;
};

// The next picture of the live block whose camera counter differs from |*last|; false when
// none came within 5 s.
bool NextNewPicture(StreamBlockReader* reader, StreamPicture* picture, uint32_t* last) {
  const DWORD deadline = GetTickCount() + 5000;
  std::string why;
  while (static_cast<int32_t>(deadline - GetTickCount()) > 0) {
    if (reader->Next(100, picture, &why) != StreamBlockReader::Result::kPicture) continue;
    if (static_cast<int>(picture->width) != kWidth || static_cast<int>(picture->height) != kHeight) continue;
    orvim::PictureMark mark;
    if (!orvim::ReadPictureMark(picture->i420.data(), kWidth, kHeight, &mark) || mark.counter == *last) continue;
    *last = mark.counter;
    return true;
  }
  return false;
}

void BM_CameraThroughRoomToLiveBlock(benchmark::State& state) {
  orvim::testing::RoomServerProcess server;
  if (!server.Start()) {
    state.SkipWithError("no room server");
    return;
  }
  ViewerOwner owner;
  auto layer = std::make_unique<ViewerLayer>(&owner);
  layer->InitSDK();
  layer->SetLiveSubscribeEnabled(true);
  StJoinInfo join;
  join.owtServer = server.address();
  join.confid = "bench";
  join.userid = "b";
  join.username = "B";
  join.cid = "c-b";
  join.sid = "site";
  layer->Login(join);
  StreamBlockReader reader(StreamBlockName(0));
  StreamPicture picture;
  uint32_t last = 0;
  std::unique_ptr<Peer> clientA;
  bool ready = owner.WaitJoined(30000);
  if (ready) {
    // B asks for the live stream at A's size before A publishes; the layer subscribes when the
    // stream comes.
    layer->Set_Subscribe_Resolution(kWidth, kHeight, true, false);
    clientA = std::make_unique<Peer>(L"camera", server.address());
    ready = clientA->started();
  }
  // The first picture takes A's start, join and publish.
  bool seen = false;
  for (int tries = 0; ready && !seen && tries < 12; ++tries) {
    seen = NextNewPicture(&reader, &picture, &last);
    if (!seen) ready = clientA->running();
  }
  if (!ready || !seen) {
    state.SkipWithError("client B's live block got no picture of client A's camera");
  } else {
    for (auto _ : state) {
      if (!NextNewPicture(&reader, &picture, &last)) {
        state.SkipWithError("pictures stopped arriving");
        break;
      }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * orvim::I420Size(kWidth, kHeight)));
  }
  clientA.reset();
  layer->ExitRoom();
  layer.reset();
}
BENCHMARK(BM_CameraThroughRoomToLiveBlock)->UseRealTime()->MinTime(5.0);

// The same pictures from the peer process over one 127.0.0.1 connection to a relay thread that
// reads each message whole and writes it on over a second connection to the reader here.
void BM_PlainSocketRelayBetweenProcesses(benchmark::State& state) {
  orvim::WinsockScope winsock;
  orvim::ScopedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener.get(), 4) != 0 ||
      getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    state.SkipWithError("no listener");
    return;
  }
  const std::string port = std::to_string(ntohs(address.sin_port));
  Peer sender(L"relay", port);
  // The sender connects first; wait for it at most 30 s.
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listener.get(), &readable);
  timeval wait{30, 0};
  if (!sender.started() || select(0, &readable, nullptr, nullptr, &wait) != 1) {
    state.SkipWithError("the relay's sender did not connect");
    return;
  }
  orvim::ScopedSocket relay_in(accept(listener.get(), nullptr, nullptr));
  orvim::ScopedSocket relay_out(orvim::ConnectTo("127.0.0.1:" + port));
  orvim::ScopedSocket receiver(accept(listener.get(), nullptr, nullptr));
  orvim::TuneSocket(relay_in.get());
  orvim::TuneSocket(receiver.get());

  std::thread relay([&] {
    orvim::InMessage message;
    std::string error;
    while (orvim::ReadMessage(relay_in.get(), &message, &error)) {
      const orvim::OutMessage out =
          orvim::VideoMessage(message.stream_id, message.source_type, message.width, message.height,
                              message.body, message.payload_offset, message.payload_size());
      if (!orvim::WriteMessage(relay_out.get(), out)) break;
    }
  });
  orvim::InMessage message;
  std::string error;
  for (auto _ : state) {
    if (!orvim::ReadMessage(receiver.get(), &message, &error) || message.width != kWidth) {
      state.SkipWithError("the relay stopped");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * orvim::I420Size(kWidth, kHeight)));
  // Unblocks the relay thread and the sender's writes, then lets the sender go.
  shutdown(receiver.get(), SD_BOTH);
  shutdown(relay_out.get(), SD_BOTH);
  shutdown(relay_in.get(), SD_BOTH);
  relay.join();
  sender.Stop();
}
BENCHMARK(BM_PlainSocketRelayBetweenProcesses)->UseRealTime()->MinTime(5.0);

}  // namespace
