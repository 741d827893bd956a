#include "share/beauty/beauty_face.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/shared_memory.h"

namespace {

// The stand-in reads its behaviour from the block's field at offset 12.
enum StandInMode { kInvert = 0, kSilent = 1, kShort = 2, kExit = 3 };

StBeautyParam Requested(StandInMode mode) {
  StBeautyParam param = DefaultBeautyParam();
  param.flags = 1;
  param.param_12 = mode;
  return param;
}

std::vector<uint8_t> Frame(int width, int height) {
  std::vector<uint8_t> frame(width * height * 3 / 2);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
  return frame;
}

int CountBeautyProcesses() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"TarvoAiVideo.exe") == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// What was last written into the channel, seen from the other side.
unsigned WrittenLength(int instance) {
  CxShareMemory peer;
  wchar_t name[64];
  swprintf(name, 64, L"TarvoFaceBeauty_%d", instance);
  if (!peer.Create(name, CxBeautyFace::kChannelSize, false)) return 0xFFFFFFFF;
  uint32_t length = 0;
  std::memcpy(&length, peer.GetView(), sizeof(length));
  return length;
}

}  // namespace

TEST(BeautyParam, BlockBytesSitAtTheirOffsets) {
  const StBeautyParam defaults = DefaultBeautyParam();
  const auto* bytes = reinterpret_cast<const uint8_t*>(&defaults);
  EXPECT_EQ(bytes[64], 0x00);
  EXPECT_EQ(bytes[65], 0xFF);
  EXPECT_EQ(bytes[66], 0x00);
  EXPECT_EQ(bytes[67], 0xFF);  // 0xFF00FF00, little-endian
  EXPECT_EQ(bytes[1092], 1);
  EXPECT_EQ(bytes[1093], 0);

  CxBeautyFace beauty(1101);
  StBeautyParam in = DefaultBeautyParam();
  int32_t* words = reinterpret_cast<int32_t*>(&in);
  for (int i = 0; i < 17; ++i) words[i] = 100 + i;               // offsets 0 to 64
  std::memset(in.material_path, 'p', sizeof(in.material_path));  // no terminator at all
  in.byte_1092 = 9;
  beauty.SetParam(in);
  const auto* out = reinterpret_cast<const int32_t*>(&beauty.param());
  for (int offset : {0, 12, 20, 24, 28, 32, 36, 40, 48, 52, 56, 60, 64}) {
    EXPECT_EQ(out[offset / 4], 100 + offset / 4) << offset;
  }
  for (int offset : {4, 8, 16, 44}) EXPECT_EQ(out[offset / 4], 0) << offset;
  EXPECT_EQ(std::strlen(beauty.param().material_path), 1023u);
  EXPECT_EQ(beauty.param().byte_1092, 1);
}

TEST(BeautyFace, WithoutAProcessFramesPassAndNothingIsWritten) {
  CxBeautyFace beauty(1102);
  beauty.SetParam(Requested(kInvert));
  std::vector<uint8_t> frame = Frame(64, 48);
  const std::vector<uint8_t> original = frame;
  EXPECT_FALSE(beauty.IsBeauty());
  EXPECT_FALSE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 64, 48));
  EXPECT_EQ(frame, original);
  EXPECT_EQ(WrittenLength(1102), 0u);
}

TEST(BeautyFace, FramesGoThroughTheProcessAndComeBackProcessed) {
  const int before = CountBeautyProcesses();
  {
    CxBeautyFace beauty(1103);
    beauty.Init();
    beauty.Init();  // still running: no second process
    EXPECT_EQ(CountBeautyProcesses(), before + 1);

    // Running, but nothing requested: frames pass as they are.
    EXPECT_FALSE(beauty.IsBeauty());
    std::vector<uint8_t> frame = Frame(64, 48);
    EXPECT_FALSE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 64, 48));

    beauty.SetParam(Requested(kInvert));
    EXPECT_TRUE(beauty.IsBeauty());
    for (int round = 1; round <= 2; ++round) {
      frame = Frame(64, 48);
      const std::vector<uint8_t> original = frame;
      ASSERT_TRUE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 64, 48));
      EXPECT_EQ(frame[0], 255 - original[0]);
      EXPECT_EQ(frame[64 * 48 - 1], 255 - original[64 * 48 - 1]);
      EXPECT_EQ(frame[64 * 48], original[64 * 48]);  // chroma untouched by the stand-in
      EXPECT_EQ(beauty.param().frame_counter, round);
      EXPECT_EQ(beauty.param().width, 64);
    }

    // Too large for the channel: not written, unchanged.
    std::vector<uint8_t> huge(CxBeautyFace::kChannelSize - sizeof(StBeautyParam) + 1, 3);
    EXPECT_FALSE(beauty.BeautyFaceProcess(huge.data(), unsigned(huge.size()), 4000, 1728));
    EXPECT_EQ(huge[0], 3);
    beauty.UnInit();
    EXPECT_FALSE(beauty.IsBeauty());
  }
  EXPECT_EQ(CountBeautyProcesses(), before);
}

TEST(BeautyFace, BadAnswersLeaveTheFrameUnchanged) {
  CxBeautyFace beauty(1104);
  beauty.Init();
  const struct {
    StandInMode mode;
    DWORD min_ms;
  } cases[] = {{kShort, 0}, {kSilent, 2900}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    beauty.SetParam(Requested(c.mode));
    std::vector<uint8_t> frame = Frame(32, 32);
    const std::vector<uint8_t> original = frame;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 32, 32));
    EXPECT_GE(GetTickCount() - start, c.min_ms);
    EXPECT_EQ(frame, original);
  }
  beauty.UnInit();
}

TEST(BeautyFace, AProcessThatEndsIsNoticedAndRestartedByInit) {
  CxBeautyFace beauty(1105);
  beauty.Init();
  beauty.SetParam(Requested(kExit));
  std::vector<uint8_t> frame = Frame(32, 32);
  EXPECT_FALSE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 32, 32));
  for (int i = 0; i < 100 && beauty.IsBeauty(); ++i) Sleep(50);
  EXPECT_FALSE(beauty.IsBeauty());

  beauty.SetParam(Requested(kInvert));
  beauty.Init();
  const std::vector<uint8_t> original = frame;
  EXPECT_TRUE(beauty.BeautyFaceProcess(frame.data(), unsigned(frame.size()), 32, 32));
  EXPECT_EQ(frame[0], 255 - original[0]);
}
