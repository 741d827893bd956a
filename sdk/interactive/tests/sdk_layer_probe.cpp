// sdk_layer_probe.exe <mode>: what the SDK layer sees from the folder it runs in.
//   load    exit code 100 + LoadSdk's result (100 bound, 99 no library, 98 no export)
//   init    InitSDK, then commands that need the SDK; 0 when they all stayed no-ops
//   blocks  opens the four stream blocks of a running layer; 0 when all four opened, else the
//           number of the first that did not

#include <string>

#include "foundation/shared_memory.h"
#include "sdk/interactive/sdk_interactive.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"load") {
    CSdkInterActive layer(nullptr);
    return 100 + layer.LoadSdk();
  }
  if (mode == L"init") {
    CSdkInterActive layer(nullptr);
    layer.InitSDK();
    layer.UnloadSdk();
    const bool quiet = !layer.GetService() && !layer.GetRtcEngine() && layer.OutofMeeting(true);
    return quiet ? 0 : 1;
  }
  if (mode == L"blocks") {
    const wchar_t* names[] = {L"livestream_share", L"mixstream_share", L"caststream_share",
                              L"camerastream_share"};
    for (int i = 0; i < 4; ++i) {
      CxShareMemory block;
      if (!block.Create(names[i], 1920 * 1080 * 2, false)) return i + 1;
      block.Close();
    }
    return 0;
  }
  return 2;
}
