#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "aes_ecb.h"
#include "cipher_format.h"
#include "model_encipher.h"
#include "worker_tasks.h"
#include "zq_block_cipher.h"

namespace {

using zqfd::CipherMode;

std::vector<uint8_t> Hex(const char* text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; text[i] && text[i + 1]; i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(text + i, 2), nullptr, 16)));
  }
  return bytes;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

struct Deciphered {
  int result;
  std::vector<uint8_t> plain;
  std::string printed;
};

Deciphered Decipher(std::vector<uint8_t> file) {
  unsigned int plain_length = 0xFFFFFFFF;
  testing::internal::CaptureStdout();
  const int result =
      block_cipher_decrypt(file.data(), static_cast<unsigned int>(file.size()), &plain_length);
  Deciphered out{result, {}, testing::internal::GetCapturedStdout()};
  if (result == 1) out.plain.assign(file.begin(), file.begin() + plain_length);
  return out;
}

// A block-mode file whose payload is |blocks| enciphered blocks of |plain| (no padding added):
// its final block's last byte is whatever |plain| ends with.
std::vector<uint8_t> RawBlockFile(const std::vector<uint8_t>& plain, int n = 31) {
  auto file = *zqfd::EncipherModel({}, CipherMode::kBlock, n);
  file.resize(zqfd::kCipherHeaderSize);
  std::vector<uint8_t> key;
  EXPECT_TRUE(zqfd::DeriveBlockKey(file.data() + zqfd::kKeyMaterialOffset, n, &key));
  std::vector<uint8_t> payload = plain;
  auto aes = zqfd::AesEcb::Create(key.data(), key.size());
  EXPECT_TRUE(aes && aes->Encrypt(payload.data(), payload.size()));
  file.insert(file.end(), payload.begin(), payload.end());
  return file;
}

TEST(AesEcb, MatchesTheFips197Vectors) {
  const auto plain = Hex("00112233445566778899aabbccddeeff");
  struct Vector {
    const char* key;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const Vector& v : vectors) {
    const auto key = Hex(v.key);
    auto aes = zqfd::AesEcb::Create(key.data(), key.size());
    ASSERT_TRUE(aes) << v.key;
    // Two identical blocks: electronic-codebook mode enciphers each on its own.
    std::vector<uint8_t> data = plain;
    data.insert(data.end(), plain.begin(), plain.end());
    ASSERT_TRUE(aes->Encrypt(data.data(), data.size()));
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 16), Hex(v.cipher));
    EXPECT_EQ(std::vector<uint8_t>(data.begin() + 16, data.end()), Hex(v.cipher));
    ASSERT_TRUE(aes->Decrypt(data.data(), data.size()));
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 16), plain);
  }
  const auto short_key = Hex("0001020304");
  EXPECT_FALSE(zqfd::AesEcb::Create(short_key.data(), short_key.size()));
}

TEST(BlockCipher, RefusesBadInputWithItsCode) {
  const auto good = *zqfd::EncipherModel(Pattern(100), CipherMode::kBlock, 31);
  auto with = [&](size_t offset, uint8_t value) {
    auto file = good;
    file[offset] = value;
    return file;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int result;
    const char* message;
  };
  const Case cases[] = {
      {"47 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 47), -2,
       "zq_cipher decrypt input size too small"},
      {"bad signature", with(2, 0x00), -2, "invalid encrypted input,ma\n"},
      {"bad marker", with(8, 0x41), -2, "invalid encrypted input,ma\n"},
      {"even key length", with(6, 30), -2, "invalid encrypted input,kmoc\n"},
      {"key length above 31", with(6, 33), -2, "invalid encrypted input,kmoc\n"},
      {"reserved byte set", with(5, 1), -2, "invalid encrypted input,kmoc\n"},
      {"unknown mode", with(4, 3), -2, "invalid encrypted input,kmoc\n"},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 48), -2,
       "zq_cipher decrypt input size too small"},
      {"payload of 15 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 63), -2,
       "zq_cipher decrypt input size too small"},
  };
  for (const Case& c : cases) {
    const Deciphered d = Decipher(c.file);
    EXPECT_EQ(d.result, c.result) << c.what;
    EXPECT_NE(d.printed.find(c.message), std::string::npos) << c.what << ": " << d.printed;
    EXPECT_EQ(d.printed.find("zq_cipher ver:ZQ_BlockCipher_V3.1.4\n"), 0u) << c.what;
  }

  unsigned int length = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(block_cipher_decrypt(nullptr, 100, &length), -1);
  auto file = good;
  EXPECT_EQ(block_cipher_decrypt(file.data(), 0, &length), -1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("zq_cipher decrypt null reference"),
            std::string::npos);
}

TEST(BlockCipher, PrintsItsVersion) {
  testing::internal::CaptureStdout();
  const int printed = print_cipher_version();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "zq_cipher ver:ZQ_BlockCipher_V3.1.4\n");
  EXPECT_EQ(printed, 36);
}

TEST(BlockCipher, AFailedDecipherLeavesTheBufferAsItWas) {
  auto file = *zqfd::EncipherModel(Pattern(40), CipherMode::kBlock, 31);
  file.resize(48 + 15);
  const auto before = file;
  unsigned int length = 7;
  testing::internal::CaptureStdout();
  EXPECT_EQ(block_cipher_decrypt(file.data(), static_cast<unsigned>(file.size()), &length), -2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(file, before);
  EXPECT_EQ(length, 7u);
}

TEST(BlockCipher, TakesThePaddingFromTheFinalBlock) {
  const auto data = Pattern(64);  // B = 3 blocks before the final one
  struct Case {
    uint8_t last;
    size_t plain_length;
  };
  // 0x10 drops the whole final block, 0 keeps it, above 16 discards it, 3 drops three bytes.
  const Case cases[] = {{0x10, 48}, {0x00, 64}, {0x11, 48}, {0xFF, 48}, {0x03, 61}};
  for (const Case& c : cases) {
    auto plain = data;
    plain.back() = c.last;
    const Deciphered d = Decipher(RawBlockFile(plain));
    ASSERT_EQ(d.result, 1) << int(c.last);
    EXPECT_EQ(d.plain, std::vector<uint8_t>(plain.begin(), plain.begin() + c.plain_length))
        << int(c.last);
  }
  // Bytes after the last whole block are ignored.
  auto plain = data;
  plain.back() = 0x04;
  auto file = RawBlockFile(plain);
  file.insert(file.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(Decipher(file).plain.size(), 60u);
}

TEST(ModelCipher, RoundTripsInBothModesAroundTheThreadThresholds) {
  // Block mode uses workers above 8 blocks before the final one; plain mode above 2048 bytes.
  const size_t sizes[] = {0, 1, 15, 16, 17, 143, 144, 145, 160, 2048, 2049, 5000, 300017};
  for (const size_t size : sizes) {
    const auto plain = Pattern(size);
    for (int n : {1, 15, 17, 31}) {
      const auto file = zqfd::EncipherModel(plain, CipherMode::kBlock, n);
      ASSERT_TRUE(file);
      const Deciphered d = Decipher(*file);
      ASSERT_EQ(d.result, 1) << size << " bytes, n " << n;
      EXPECT_EQ(d.plain, plain) << size << " bytes, n " << n;
      EXPECT_NE(d.printed.find("zq_cipher end"), std::string::npos);
    }
    if (size == 0) continue;  // a plain file is longer than its header
    const auto file = zqfd::EncipherModel(plain, CipherMode::kPlain);
    const Deciphered d = Decipher(*file);
    ASSERT_EQ(d.result, 1) << size << " bytes, plain";
    EXPECT_EQ(d.plain, plain) << size << " bytes, plain";
    EXPECT_NE(d.printed.find("zq_cipher plain end"), std::string::npos);
  }
}

TEST(ModelCipher, PlainModeRefusesAFileWithoutPayload) {
  auto file = *zqfd::EncipherModel(Pattern(10), CipherMode::kPlain);
  file.resize(48);
  const Deciphered d = Decipher(file);
  EXPECT_EQ(d.result, -2);
  EXPECT_NE(d.printed.find("invalid encrypted input file, too small\n"), std::string::npos);
  unsigned int length = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(plain_cipher_decrypt(file.data(), 48, &length), -2);
  testing::internal::GetCapturedStdout();
}

TEST(ModelCipher, KeyMaterialIsStoredScrambled) {
  const auto plain = Pattern(4096);
  const auto file = *zqfd::EncipherModel(plain, CipherMode::kPlain);
  // A payload combined with the stored bytes themselves would not give the plain bytes back.
  std::vector<uint8_t> naive(file.begin() + 48, file.end());
  for (size_t i = 0; i < naive.size(); ++i) naive[i] ^= file[16 + i % 32];
  EXPECT_NE(naive, plain);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(zqfd::UnscrambleKeyByte(zqfd::ScrambleKeyByte(static_cast<uint8_t>(b))), b);
  }
}

TEST(WorkerTasks, SplitsPlainBytesInFoursAndBlocksInEights) {
  using zqfd::WorkRange;
  EXPECT_EQ(
      zqfd::PlainWorkRanges(5000),
      (std::vector<WorkRange>{{0, 1024}, {1024, 1024}, {2048, 1024}, {3072, 1024}, {4096, 904}}));
  EXPECT_EQ(zqfd::PlainWorkRanges(4096),
            (std::vector<WorkRange>{{0, 1024}, {1024, 1024}, {2048, 1024}, {3072, 1024}}));
  EXPECT_EQ(zqfd::PlainWorkRanges(2048), (std::vector<WorkRange>{{0, 2048}}));
  EXPECT_EQ(zqfd::BlockWorkRanges(8), (std::vector<WorkRange>{{0, 8}}));
  EXPECT_EQ(zqfd::BlockWorkRanges(16).size(), 8u);
  const auto nineteen = zqfd::BlockWorkRanges(19);
  ASSERT_EQ(nineteen.size(), 9u);
  EXPECT_EQ(nineteen[7], (WorkRange{14, 2}));
  EXPECT_EQ(nineteen[8], (WorkRange{16, 3}));
}

TEST(WorkerTasks, RunsTasksOnTheCallerWhenNoThreadStarts) {
  const DWORD caller = GetCurrentThreadId();
  std::vector<DWORD> ran_on(5, 0);
  std::vector<std::function<void()>> tasks;
  for (size_t i = 0; i < ran_on.size(); ++i) {
    tasks.push_back([&ran_on, i] { ran_on[i] = GetCurrentThreadId(); });
  }
  int started = 0;
  // Every second thread fails to start.
  zqfd::RunTasksOnThreads(tasks, [&started](std::function<void()> task) {
    if (started++ % 2 == 1) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return std::thread(std::move(task));
  });
  for (size_t i = 0; i < ran_on.size(); ++i) {
    ASSERT_NE(ran_on[i], 0u) << i;
    EXPECT_EQ(ran_on[i] == caller, i % 2 == 1) << i;
  }
}

// The enciphering tool writes files the library deciphers.
TEST(ModelEncipherTool, EnciphersFilesInEitherMode) {
  char folder[MAX_PATH];
  GetModuleFileNameA(nullptr, folder, MAX_PATH);
  std::string dir(folder);
  dir.resize(dir.find_last_of("\\/") + 1);
  const std::string input = dir + "encipher_tool_input.bin";
  const auto plain = Pattern(3001);
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char*>(plain.data()),
             static_cast<std::streamsize>(plain.size()));
  for (const char* mode : {"block", "plain"}) {
    const std::string output = dir + "encipher_tool_output_" + mode + ".bin";
    std::string command =
        "\"" + dir + "zq_model_encipher.exe\" " + mode + " \"" + input + "\" \"" + output + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_EQ(code, 0u) << mode;
    std::ifstream in(output, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    EXPECT_EQ(file[4], std::string(mode) == "block" ? 1 : 2);
    EXPECT_EQ(Decipher(file).plain, plain) << mode;
  }
}

}  // namespace
