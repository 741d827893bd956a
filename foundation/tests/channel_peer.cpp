// The other side of a shared-memory channel, as an outside reader or the beauty process would
// be. It opens the channel as the consumer and then, by mode:
//   answer <name> <size> <count>  answers <count> records, each byte of a record plus one
//   echo <name> <size>            answers every record unchanged until the creator quits
//   silent <name> <size>          never answers (it sets the event "<name>_opened" once the
//                                 channel is open); ends when the creator quits
//   malformed <name> <size>       writes a header whose length the mapping cannot hold
// Exit codes: 0 done, 2 bad arguments, 3 no channel, 4 timed out, 5 read or write failed.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/shared_memory.h"

namespace {

constexpr DWORD kPatienceMs = 30000;  // Never outlive a test that went away.

bool QuitRequested(CxShareMemory& channel, DWORD timeout_ms) {
  return WaitForSingleObject(channel.GetQuitEvent(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const std::wstring mode = argv[1];
  const unsigned size = static_cast<unsigned>(_wtoi(argv[3]));
  CxShareMemory channel;
  if (!channel.Create(argv[2], size, false)) return 3;
  std::vector<unsigned char> record(size);

  if (mode == L"answer") {
    const int count = argc > 4 ? _wtoi(argv[4]) : 1;
    for (int i = 0; i < count; ++i) {
      if (channel.Wait(kPatienceMs) != 1) return 4;
      const unsigned n = channel.Read(record.data(), size);
      for (unsigned j = 0; j < n; ++j) ++record[j];
      if (!channel.Write(record.data(), n)) return 5;
    }
    return 0;
  }
  if (mode == L"echo") {
    const DWORD start = GetTickCount();
    while (!QuitRequested(channel, 0)) {
      const int waited = channel.Wait(100);
      if (waited < 0) return 5;
      if (waited == 1) {
        const unsigned n = channel.Read(record.data(), size);
        if (!channel.Write(record.data(), n)) return 5;
      } else if (GetTickCount() - start > 10 * kPatienceMs) {
        return 4;
      }
    }
    return 0;
  }
  if (mode == L"silent") {
    HANDLE opened =
        OpenEventW(EVENT_MODIFY_STATE, FALSE, (std::wstring(argv[2]) + L"_opened").c_str());
    if (opened) {
      SetEvent(opened);
      CloseHandle(opened);
    }
    return QuitRequested(channel, kPatienceMs) ? 0 : 4;
  }
  if (mode == L"malformed") {
    {
      CxAutoLock guard(channel.GetChannelLock());
      const unsigned length = 0x7FFFFFF0u;
      std::memcpy(channel.GetView(), &length, sizeof(length));
      std::memcpy(channel.GetView() + 4, &size, sizeof(size));
    }
    channel.SignalPeer();
    return 0;
  }
  return 2;
}
