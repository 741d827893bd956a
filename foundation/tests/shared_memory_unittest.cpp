#include "foundation/shared_memory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "foundation/handle.h"
#include "tests/support/test_process.h"

namespace {

std::wstring ChannelName(const wchar_t* what) {
  return std::wstring(L"TarvoChannelTest_") + what + L"_" + std::to_wstring(GetCurrentProcessId());
}

// The peer program in a second process; its exit code is checked by Finish.
class Peer {
 public:
  explicit Peer(const std::wstring& arguments) {
    std::wstring command =
        L"\"" + tarvo_test::ProgramBeside(L"foundation_channel_peer.exe") + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      process_.Reset(process.hProcess);
      CloseHandle(process.hThread);
    }
  }
  bool started() const { return process_.IsValid(); }
  DWORD Finish() {
    if (WaitForSingleObject(process_.Get(), 30000) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
  }

 private:
  CxHandle process_;
};

std::vector<unsigned char> Pattern(unsigned length, unsigned char seed) {
  std::vector<unsigned char> bytes(length);
  for (unsigned i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7);
  return bytes;
}

}  // namespace

TEST(SharedMemoryTest, FullExchangeWithAPeerProcessBothWays) {
  const std::wstring name = ChannelName(L"exchange");
  constexpr unsigned kCapacity = 1 << 20;
  CxShareMemory channel;
  ASSERT_TRUE(channel.Create(name.c_str(), kCapacity, true));
  EXPECT_TRUE(channel.IsCreator());
  Peer peer(L"answer " + name + L" " + std::to_wstring(kCapacity) + L" 3");
  ASSERT_TRUE(peer.started());

  for (unsigned length : {1000u, kCapacity, 0u}) {
    const auto sent = Pattern(length, static_cast<unsigned char>(length));
    ASSERT_TRUE(channel.Write(sent.data(), length));
    ASSERT_EQ(channel.Wait(10000), 1) << length;
    std::vector<unsigned char> answer(kCapacity);
    ASSERT_EQ(channel.Read(answer.data(), kCapacity), length);
    for (unsigned i = 0; i < length; ++i) {
      ASSERT_EQ(answer[i], static_cast<unsigned char>(sent[i] + 1)) << i;
    }
    EXPECT_EQ(channel.Wait(0), 0);  // Reading cleared the peer's event.
  }
  EXPECT_EQ(peer.Finish(), 0u);
}

TEST(SharedMemoryTest, CapacityBoundsWritesAndTheReadersBufferBoundsReads) {
  const std::wstring name = ChannelName(L"bounds");
  CxShareMemory creator, consumer;
  ASSERT_TRUE(creator.Create(name.c_str(), 100, true));
  ASSERT_TRUE(consumer.Create(name.c_str(), 100, false));
  for (CxShareMemory* side : {&creator, &consumer}) {
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_EQ(VirtualQuery(side->GetView(), &region, sizeof(region)), sizeof(region));
    EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_READWRITE));  // Never executable.
  }

  const auto full = Pattern(100, 1);
  ASSERT_TRUE(creator.Write(full.data(), 100));
  const auto too_long = Pattern(101, 50);
  EXPECT_FALSE(creator.Write(too_long.data(), 101));
  EXPECT_EQ(consumer.Wait(0), 1);

  unsigned char small[10] = {};
  EXPECT_EQ(consumer.Read(small, sizeof(small)), 10u);
  EXPECT_EQ(std::vector<unsigned char>(small, small + 10),
            std::vector<unsigned char>(full.begin(), full.begin() + 10));
  std::vector<unsigned char> whole(200);
  EXPECT_EQ(consumer.Read(whole.data(), 200), 100u);  // The view is unchanged by the refusal.
  EXPECT_EQ(std::vector<unsigned char>(whole.begin(), whole.begin() + 100), full);
  EXPECT_EQ(consumer.Wait(0), 0);
}

TEST(SharedMemoryTest, ConsumerCapacityNeverExceedsTheRealMapping) {
  const std::wstring name = ChannelName(L"real_size");
  CxShareMemory creator, consumer;
  ASSERT_TRUE(creator.Create(name.c_str(), 100, true));
  ASSERT_TRUE(consumer.Create(name.c_str(), 1 << 20, false));
  EXPECT_LT(consumer.GetCapacity(), 1u << 16);
  const auto big = Pattern(1 << 20, 3);
  EXPECT_FALSE(consumer.Write(big.data(), 1 << 20));
  EXPECT_TRUE(consumer.Write(big.data(), 100));
  EXPECT_EQ(creator.Wait(0), 1);
}

TEST(SharedMemoryTest, SilentPeerTimesOutAndSeesTheCreatorQuit) {
  const std::wstring name = ChannelName(L"silent");
  CxShareMemory channel;
  ASSERT_TRUE(channel.Create(name.c_str(), 4096, true));
  CxHandle opened(CreateEventW(nullptr, TRUE, FALSE, (name + L"_opened").c_str()));
  Peer peer(L"silent " + name + L" 4096");
  ASSERT_TRUE(peer.started());
  // The creator must not close before the peer has opened the channel.
  ASSERT_EQ(WaitForSingleObject(opened.Get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  const char record[] = "frame";
  ASSERT_TRUE(channel.Write(record, sizeof(record)));
  EXPECT_EQ(channel.Wait(300), 0);
  channel.Close();  // Sets the quit event the peer waits for.
  EXPECT_EQ(peer.Finish(), 0u);
  channel.Close();  // A second Close (and the destructor's) does nothing.
  EXPECT_FALSE(channel.HasMapping());
}

TEST(SharedMemoryTest, OpeningBeforeTheCreatorExistsFails) {
  const std::wstring name = ChannelName(L"missing");
  CxShareMemory consumer;
  EXPECT_FALSE(consumer.Create(name.c_str(), 100, false));
  EXPECT_FALSE(consumer.HasMapping());
  EXPECT_EQ(consumer.GetView(), nullptr);
  EXPECT_EQ(consumer.Wait(0), -1);
  EXPECT_FALSE(consumer.Write("x", 1));
  char buffer[4];
  EXPECT_EQ(consumer.Read(buffer, sizeof(buffer)), 0u);
}

TEST(SharedMemoryTest, MalformedHeaderFromThePeerIsAFailedRead) {
  const std::wstring name = ChannelName(L"malformed");
  CxShareMemory channel;
  ASSERT_TRUE(channel.Create(name.c_str(), 4096, true));
  Peer peer(L"malformed " + name + L" 4096");
  ASSERT_TRUE(peer.started());
  ASSERT_EQ(channel.Wait(10000), 1);
  std::vector<unsigned char> buffer(1 << 20);
  EXPECT_EQ(channel.Read(buffer.data(), static_cast<unsigned>(buffer.size())), 0u);
  EXPECT_EQ(peer.Finish(), 0u);

  // The channel still works for the next good record.
  ASSERT_TRUE(channel.Write("ok", 2));
  CxShareMemory reader;
  ASSERT_TRUE(reader.Create(name.c_str(), 4096, false));
  char text[2];
  EXPECT_EQ(reader.Read(text, 2), 2u);
}

TEST(SharedMemoryTest, LengthAboveTheCapacityIsMalformedEvenWhereThePageWouldHoldIt) {
  const std::wstring name = ChannelName(L"capacity");
  constexpr unsigned kCapacity = 100;
  CxShareMemory reader, writer;
  ASSERT_TRUE(reader.Create(name.c_str(), kCapacity, true));
  ASSERT_TRUE(writer.Create(name.c_str(), kCapacity, false));
  const struct {
    unsigned length;
    unsigned read;
  } cases[] = {{kCapacity, kCapacity}, {kCapacity + 1, 0}, {4096 - 8, 0}, {0x7FFFFFF0u, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    {
      CxAutoLock guard(writer.GetChannelLock());
      std::memcpy(writer.GetView(), &c.length, sizeof(c.length));
      std::memcpy(writer.GetView() + 4, &kCapacity, sizeof(kCapacity));
    }
    writer.SignalPeer();
    std::vector<unsigned char> buffer(1 << 16);
    EXPECT_EQ(reader.Read(buffer.data(), static_cast<unsigned>(buffer.size())), c.read);
  }
}

TEST(SharedMemoryTest, PeerAnsweringAtOnceIsNeverLost) {
  // The creator fills the view itself and signals outside the channel lock; the consumer
  // answers as soon as it wakes. No answer may lose its signal.
  const std::wstring name = ChannelName(L"fast_answer");
  CxShareMemory creator, consumer;
  ASSERT_TRUE(creator.Create(name.c_str(), 64, true));
  ASSERT_TRUE(consumer.Create(name.c_str(), 64, false));
  std::atomic<bool> stop{false};
  std::thread answerer([&] {
    unsigned value = 0;
    while (!stop) {
      if (consumer.Wait(100) != 1) continue;
      if (consumer.Read(&value, sizeof(value)) != sizeof(value)) continue;
      ++value;
      consumer.Write(&value, sizeof(value));
    }
  });
  constexpr unsigned kExchanges = 5000;
  unsigned lost = 0;
  for (unsigned i = 0; i < kExchanges && lost == 0; ++i) {
    {
      CxAutoLock guard(creator.GetChannelLock());
      const unsigned header[2] = {sizeof(i), 64};
      std::memcpy(creator.GetView(), header, sizeof(header));
      std::memcpy(creator.GetView() + CxShareMemory::kHeaderSize, &i, sizeof(i));
    }
    creator.SignalPeer();
    unsigned answer = 0;
    if (creator.Wait(2000) != 1) {
      lost = i + 1;
    } else {
      ASSERT_EQ(creator.Read(&answer, sizeof(answer)), sizeof(answer));
      ASSERT_EQ(answer, i + 1);
    }
  }
  stop = true;
  answerer.join();
  EXPECT_EQ(lost, 0u) << "the answer to exchange " << lost - 1 << " lost its signal";
}
