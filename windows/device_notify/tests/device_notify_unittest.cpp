#include "windows/device_notify/device_notify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_process.h"

// Array allocations of this program are counted, so that a test can see whether an identifier
// copy was freed.
namespace {
std::atomic<long> liveArrays{0};
}  // namespace

void* operator new[](std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  ++liveArrays;
  return p;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  void* p = std::malloc(size ? size : 1);
  if (p) ++liveArrays;
  return p;
}
void operator delete[](void* p) noexcept {
  if (!p) return;
  --liveArrays;
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }

namespace {

const wchar_t kEndpoint[] = L"{0.0.1.00000000}.{5c1d1a2b-7e59-4d62-9f3c-3b8c2a1f0e44}";
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);

// A message-only window on this thread that nothing dispatches: tests take its messages with
// PeekMessageW.
struct TestWindow {
  TestWindow() {
    hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                           nullptr);
  }
  ~TestWindow() {
    if (hwnd) DestroyWindow(hwnd);
  }
  // Takes every queued unplug message for this window; the receiver frees each copy.
  std::vector<std::wstring> TakeUnplugged() {
    std::vector<std::wstring> ids;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, CM_DEVICE_UNPLUG_MSG, CM_DEVICE_UNPLUG_MSG, PM_REMOVE)) {
      EXPECT_EQ(msg.wParam, 0u);
      auto* copy = reinterpret_cast<wchar_t*>(msg.lParam);
      ids.push_back(copy ? copy : L"(null)");
      lastCopy = copy;
      FreeDeviceId(copy);
    }
    return ids;
  }
  HWND hwnd = nullptr;
  const wchar_t* lastCopy = nullptr;
};

IMMDeviceEnumerator* NewEnumerator() {
  IMMDeviceEnumerator* enumerator = nullptr;
  CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                   __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator));
  return enumerator;
}

}  // namespace

TEST(MMNotificationClientTest, QueryInterfaceAnswersOnlyUnknownAndTheSinkWithCountedReferences) {
  auto* client = new CMMNotificationClient();
  void* out = nullptr;
  ASSERT_EQ(client->QueryInterface(__uuidof(IUnknown), &out), S_OK);
  EXPECT_EQ(out, static_cast<IMMNotificationClient*>(client));
  ASSERT_EQ(client->QueryInterface(__uuidof(IMMNotificationClient), &out), S_OK);
  EXPECT_EQ(out, static_cast<IMMNotificationClient*>(client));
  EXPECT_EQ(client->AddRef(), 4u);  // 1 at construction and 2 from the answers above

  for (const IID& other : {__uuidof(IMMDeviceEnumerator), __uuidof(IMMDevice),
                           __uuidof(IClassFactory)}) {
    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(client->QueryInterface(other, &out), kNoInterface);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(client->AddRef(), 5u);  // refused answers took no reference

  // The count is shared by threads as the audio service shares it.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([client] {
      for (int i = 0; i < 10000; ++i) {
        client->AddRef();
        client->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (ULONG expected = 4; expected > 0; --expected) EXPECT_EQ(client->Release(), expected);
  EXPECT_EQ(client->Release(), 0u);  // deleted
}

TEST(MMNotificationClientTest, OnlyUnpluggedPostsOneCopyOfTheIdentifierFromAnotherThread) {
  TestWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  CMMNotificationClient client;
  ASSERT_TRUE(client.Register(window.hwnd));  // the real enumerator under Wine

  struct Case {
    DWORD state;
    const wchar_t* id;
  };
  const Case cases[] = {{DEVICE_STATE_ACTIVE, L"active"},
                        {DEVICE_STATE_DISABLED, L"disabled"},
                        {DEVICE_STATE_NOTPRESENT, L"not present"},
                        {DEVICE_STATE_UNPLUGGED, kEndpoint}};
  std::thread audio([&] {
    for (const Case& c : cases) EXPECT_EQ(client.OnDeviceStateChanged(c.id, c.state), S_OK);
    EXPECT_EQ(client.OnDeviceAdded(L"added"), S_OK);
    EXPECT_EQ(client.OnDeviceRemoved(L"removed"), S_OK);
    EXPECT_EQ(client.OnDefaultDeviceChanged(eRender, eConsole, L"default"), S_OK);
  });
  audio.join();

  EXPECT_EQ(window.TakeUnplugged(), std::vector<std::wstring>{kEndpoint});
  EXPECT_NE(window.lastCopy, kEndpoint);  // a copy the receiver owns, not the caller's text
}

TEST(MMNotificationClientTest, UnregisteredClientPostsNothingAnywhere) {
  // Without a window a post would land in the calling thread's own queue, where nobody frees it.
  CMMNotificationClient client;
  const long before = liveArrays;
  EXPECT_EQ(client.OnDeviceStateChanged(kEndpoint, DEVICE_STATE_UNPLUGGED), S_OK);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, CM_DEVICE_UNPLUG_MSG, CM_DEVICE_UNPLUG_MSG, PM_REMOVE));
  EXPECT_EQ(liveArrays, before);
}

TEST(MMNotificationClientTest, CopyIsFreedWhenTheWindowIsGone) {
  TestWindow window;
  CMMNotificationClient client;
  ASSERT_TRUE(client.Register(window.hwnd));

  // A window that takes the message owns one live copy until it frees it.
  const long before = liveArrays;
  client.OnDeviceStateChanged(kEndpoint, DEVICE_STATE_UNPLUGGED);
  EXPECT_EQ(liveArrays, before + 1);
  EXPECT_EQ(window.TakeUnplugged().size(), 1u);
  EXPECT_EQ(liveArrays, before);

  // After the window is destroyed the post fails and the copy must not stay behind.
  DestroyWindow(window.hwnd);
  window.hwnd = nullptr;
  client.OnDeviceStateChanged(kEndpoint, DEVICE_STATE_UNPLUGGED);
  EXPECT_EQ(liveArrays, before);
}

TEST(MMNotificationClientTest, DestroyedClientIsNoLongerAnEndpointCallback) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IMMDeviceEnumerator* enumerator = NewEnumerator();
  ASSERT_NE(enumerator, nullptr);
  TestWindow window;
  // The client's storage outlives it, so that its address can be asked after for.
  alignas(CMMNotificationClient) unsigned char storage[sizeof(CMMNotificationClient)];
  auto* client = new (storage) CMMNotificationClient();
  ASSERT_TRUE(client->Register(window.hwnd));
  IMMNotificationClient* address = client;
  client->~CMMNotificationClient();
  // Still registered, the audio service would call into freed memory at any time.
  EXPECT_EQ(enumerator->UnregisterEndpointNotificationCallback(address), kNotFound);
  enumerator->Release();
  CoUninitialize();
}

TEST(DeviceNotifyTest, SecondRegisterChangesNothing) {
  TestWindow first;
  TestWindow second;
  CDeviceNotify& notify = CDeviceNotify::Instance();
  EXPECT_EQ(&notify, &CDeviceNotify::Instance());
  EXPECT_EQ(notify.Register(first.hwnd), 0);
  EXPECT_EQ(notify.Register(second.hwnd), 0);

  notify.EndpointClient().OnDeviceStateChanged(kEndpoint, DEVICE_STATE_UNPLUGGED);
  EXPECT_EQ(first.TakeUnplugged(), std::vector<std::wstring>{kEndpoint});
  EXPECT_TRUE(second.TakeUnplugged().empty());
}

TEST(DeviceNotifyTest, ProcessesThatRegisterAndExitNeverCrash) {
  const std::wstring child = tarvo_test::ProgramBeside(L"DeviceNotifyChild.exe");
  for (int run = 0; run < 50; ++run) {
    DWORD code = 0xFFFFFFFF;
    ASSERT_TRUE(tarvo_test::RunProgram(child, L"", 60000, &code)) << "run " << run;
    ASSERT_EQ(code, 0u) << "run " << run;
  }
}
