// Stand-in for the outside beauty process in tests, started by the client as
// "beauty\TarvoAiVideo.exe NAME=<channel> MODE=0 PID=<client>". It opens the channel as the
// consumer and answers every frame. The block's field at offset 12 chooses what it does:
//   0 invert the luma plane and answer the whole frame,
//   1 stay silent, 2 answer with a frame one byte short, 3 exit at once (code 3).
// It ends when the client closes the channel or ends; exit code 2 on bad arguments.
// Each block whose settings (the levels, background, key colour and material path) differ from
// the last one is written whole to "<temporary folder>\<channel>.param", so tests can read what
// reached the process.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "foundation/shared_memory.h"
#include "share/beauty/beauty_param.h"

namespace {

bool Argument(int argc, wchar_t** argv, const wchar_t* key, std::wstring* value) {
  const size_t n = std::wcslen(key);
  for (int i = 1; i < argc; ++i) {
    if (std::wcsncmp(argv[i], key, n) == 0) {
      *value = argv[i] + n;
      return true;
    }
  }
  return false;
}

// Replaces "<temporary folder>\<name>.param" with the block.
void RecordParam(const std::wstring& name, const StBeautyParam& param) {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring path = std::wstring(folder) + name + L".param";
  const std::wstring part = path + L".part";
  HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, &param, sizeof(param), &written, nullptr) && written == sizeof(param);
  CloseHandle(file);
  if (!ok || !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(part.c_str());
  }
}

// The part of the block that the settings decide (not the per-frame size and counter).
bool SameSettings(const StBeautyParam& a, const StBeautyParam& b) {
  const size_t from = offsetof(StBeautyParam, beauty_level_2);
  const size_t to = offsetof(StBeautyParam, byte_1092);
  return std::memcmp(reinterpret_cast<const char*>(&a) + from,
                     reinterpret_cast<const char*>(&b) + from, to - from) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring name, mode, pid;
  if (!Argument(argc, argv, L"NAME=", &name) || !Argument(argc, argv, L"MODE=", &mode) ||
      !Argument(argc, argv, L"PID=", &pid) || mode != L"0") {
    return 2;
  }
  HANDLE client = OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(pid.c_str(), nullptr, 10));
  CxShareMemory channel;
  if (!client || !channel.Create(name.c_str(), 10368000, false)) return 2;
  std::vector<uint8_t> record(channel.GetCapacity());
  StBeautyParam recorded{};
  bool anyRecorded = false;
  for (;;) {
    if (WaitForSingleObject(client, 0) != WAIT_TIMEOUT) break;
    if (WaitForSingleObject(static_cast<HANDLE>(channel.GetQuitEvent()), 0) == WAIT_OBJECT_0) break;
    const int waited = channel.Wait(200);
    if (waited == 0) continue;
    if (waited < 0) break;
    const unsigned length = channel.Read(record.data(), static_cast<unsigned>(record.size()));
    if (length < sizeof(StBeautyParam)) continue;
    StBeautyParam param;
    std::memcpy(&param, record.data(), sizeof(param));
    if (!anyRecorded || !SameSettings(param, recorded)) {
      RecordParam(name, param);
      recorded = param;
      anyRecorded = true;
    }
    uint8_t* frame = record.data() + sizeof(param);
    const unsigned frame_size = length - sizeof(param);
    if (param.param_12 == 1) continue;
    if (param.param_12 == 3) return 3;
    const unsigned luma = static_cast<unsigned>(param.width) * static_cast<unsigned>(param.height);
    for (unsigned i = 0; i < luma && i < frame_size; ++i) frame[i] = 255 - frame[i];
    channel.Write(frame, param.param_12 == 2 ? frame_size - 1 : frame_size);
  }
  CloseHandle(client);
  return 0;
}
