// The outside reader of the camera stream block, for tests: "camera_block_reader <frames>
// <output file>". Opens "camerastream_share" as its consumer, waits for each signal, reads the
// record and writes one line per frame: "<first word> <capacity> <width> <height> <length>
// <camera> <counter>" (camera and counter -1 when the picture carries no mark). Exit code 0
// after the frames, 1 when a frame did not come within 5 s, 2 on bad arguments or no block.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "foundation/shared_memory.h"
#include "platform/orvim/common/media_pattern.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const int frames = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
  FILE* out = _wfopen(argv[2], L"w");
  if (!out || frames <= 0) return 2;
  CxShareMemory block;
  if (!block.Create(L"camerastream_share", 1920 * 1080 * 2, false)) return 2;
  std::vector<uint8_t> record(1920 * 1080 * 2);
  for (int i = 0; i < frames; ++i) {
    if (block.Wait(5000) != 1) {
      std::fclose(out);
      return 1;
    }
    uint32_t words[2] = {0, 0};
    unsigned got = 0;
    {
      // The record as a whole, under the channel's lock: header and pixels of one frame.
      CxAutoLock hold(block.GetChannelLock());
      std::memcpy(words, block.GetView(), sizeof(words));
      got = block.Read(record.data(), static_cast<unsigned>(record.size()));
    }
    uint16_t width = 0, height = 0;
    uint32_t length = 0;
    std::memcpy(&width, record.data(), 2);
    std::memcpy(&height, record.data() + 2, 2);
    std::memcpy(&length, record.data() + 4, 4);
    orvim::PictureMark mark;
    const bool marked = got >= 8 && length + 8 <= got &&
                        orvim::ReadPictureMark(record.data() + 8, width, height, &mark);
    std::fprintf(out, "%u %u %u %u %u %d %d\n", words[0], words[1], width, height, length,
                 marked ? static_cast<int>(mark.camera) : -1, marked ? static_cast<int>(mark.counter) : -1);
  }
  std::fclose(out);
  return 0;
}
