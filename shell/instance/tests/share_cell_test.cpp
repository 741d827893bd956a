#include "shell/instance/share_cell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "foundation/handle.h"
#include "tests/support/test_process.h"

namespace {

std::wstring UniqueCellName(const wchar_t* tag) {
  return std::wstring(L"tarvo_cell_test_") + tag + L"_" + std::to_wstring(GetCurrentProcessId());
}

// A stand-in for the running client's main window, on its own thread with a message loop. It
// records every hand-off it receives.
class FirstInstanceWindow {
 public:
  explicit FirstInstanceWindow(bool visible, bool hung = false) : visible_(visible), hung_(hung) {
    thread_ = std::thread([this] { Run(); });
    while (!hwnd_.load()) Sleep(1);
  }
  ~FirstInstanceWindow() {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND hwnd() const { return hwnd_; }
  int received() const { return received_; }
  const std::string& text() const { return text_; }
  WPARAM command() const { return command_; }
  ULONG_PTR data_tag() const { return data_tag_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<FirstInstanceWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self) {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      self->command_ = wp;
      self->data_tag_ = cds->dwData;
      self->text_.assign(static_cast<const char*>(cds->lpData), cds->cbData);
      ++self->received_;
      return TRUE;
    }
    if (msg == WM_CLOSE) {
      DestroyWindow(hwnd);
      return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  void Run() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvoFirstInstance";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"first", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (visible_) ShowWindow(hwnd, SW_SHOW);
    hwnd_ = hwnd;
    if (hung_) {
      Sleep(3000);  // does not pump messages: a hung first instance
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }

  bool visible_;
  bool hung_;
  std::thread thread_;
  std::atomic<HWND> hwnd_{nullptr};
  int received_ = 0;
  std::string text_;
  WPARAM command_ = 0;
  ULONG_PTR data_tag_ = 99;
};

DWORD RunSecondInstance(const std::wstring& cell, const std::string& command_line) {
  std::wstring hex;
  for (unsigned char c : command_line) {
    wchar_t byte[3];
    swprintf(byte, 3, L"%02x", c);
    hex += byte;
  }
  DWORD code = 100;
  if (!tarvo_test::RunProgram(tarvo_test::ProgramBeside(L"second_instance.exe"), cell + L" " + hex,
                              30000, &code)) {
    return 101;
  }
  return code;
}

}  // namespace

TEST(SingleInstance, SecondProcessDeliversItsExactCommandLine) {
  const std::wstring cell_name = UniqueCellName(L"handoff");
  FirstInstanceWindow first(true);
  CxShareCell cell(kInstanceCellSize, cell_name);
  ASSERT_TRUE(cell.Write(reinterpret_cast<UINT_PTR>(first.hwnd())));

  const std::string lines[] = {"\"C:\\TarvoLive\\TarvoLive.exe\" -web_debug room=12 name=\xd5\xc5",
                               ""};
  int expected = 0;
  for (const std::string& line : lines) {
    EXPECT_EQ(RunSecondInstance(cell_name, line), 0u);
    ++expected;
    EXPECT_EQ(first.received(), expected);
    EXPECT_EQ(first.text(), line);
    EXPECT_EQ(first.command(), kCopyDataCommandLine);
    EXPECT_EQ(first.data_tag(), 0u);
  }
}

TEST(SingleInstance, HiddenWindowReceivesButIsNotShown) {
  const std::wstring cell_name = UniqueCellName(L"hidden");
  FirstInstanceWindow first(false);
  CxShareCell cell(kInstanceCellSize, cell_name);
  ASSERT_TRUE(cell.Write(reinterpret_cast<UINT_PTR>(first.hwnd())));
  EXPECT_TRUE(ActivateRunningInstance("x", 5000, cell_name.c_str()));
  EXPECT_EQ(first.text(), "x");
  EXPECT_FALSE(IsWindowVisible(first.hwnd()));
}

TEST(SingleInstance, NothingIsSentWithoutAUsableWindow) {
  const std::wstring cell_name = UniqueCellName(L"none");
  // No mapping at all.
  EXPECT_EQ(CxShareCell(kInstanceCellSize, cell_name).Read(), 0u);
  EXPECT_FALSE(ActivateRunningInstance("x", 5000, cell_name.c_str()));

  // A stale handle: the window is gone.
  HWND stale;
  {
    FirstInstanceWindow gone(true);
    stale = gone.hwnd();
  }
  CxShareCell cell(kInstanceCellSize, cell_name);
  ASSERT_TRUE(cell.Write(reinterpret_cast<UINT_PTR>(stale)));
  EXPECT_FALSE(ActivateRunningInstance("x", 5000, cell_name.c_str()));
}

TEST(SingleInstance, BusyWriterMakesReadsGiveZero) {
  const std::wstring cell_name = UniqueCellName(L"busy");
  CxShareCell writer(kInstanceCellSize, cell_name);
  ASSERT_TRUE(writer.Write(0x1234));
  CxShareCell reader(kInstanceCellSize, cell_name);
  EXPECT_EQ(reader.Read(), 0x1234u);

  CxShareCell busy(kInstanceCellSize, cell_name);
  ASSERT_TRUE(busy.TryMarkBusy(false));
  CxShareCell second_reader(kInstanceCellSize, cell_name);
  EXPECT_EQ(second_reader.Read(), 0u);
  EXPECT_FALSE(CxShareCell(kInstanceCellSize, cell_name).TryMarkBusy(true));
  busy.ReleaseBusy();
  EXPECT_EQ(second_reader.Read(), 0x1234u);
  second_reader.Close();
  second_reader.Close();  // closing twice is harmless
}

TEST(SingleInstance, ConcurrentReadersAllSeeTheValue) {
  const std::wstring cell_name = UniqueCellName(L"readers");
  CxShareCell writer(kInstanceCellSize, cell_name);
  ASSERT_TRUE(writer.Write(0x5678));
  std::atomic<int> missed{0};
  auto read_many = [&] {
    CxShareCell reader(kInstanceCellSize, cell_name);
    for (int i = 0; i < 2000; ++i) {
      if (reader.Read() != 0x5678u) ++missed;
    }
  };
  std::thread a(read_many), b(read_many);
  a.join();
  b.join();
  EXPECT_EQ(missed.load(), 0);
}

TEST(SingleInstance, SecondInstancesReleasedTogetherAllDeliver) {
  const std::wstring cell_name = UniqueCellName(L"together");
  FirstInstanceWindow first(false);
  CxShareCell cell(kInstanceCellSize, cell_name);
  ASSERT_TRUE(cell.Write(reinterpret_cast<UINT_PTR>(first.hwnd())));

  constexpr int kRounds = 20;
  constexpr int kStarts = 2;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    const std::wstring ready_name = cell_name + L"_ready_" + std::to_wstring(round);
    const std::wstring start_name = cell_name + L"_start_" + std::to_wstring(round);
    CxHandle ready(CreateSemaphoreW(nullptr, 0, kStarts, ready_name.c_str()));
    CxHandle start(CreateEventW(nullptr, TRUE, FALSE, start_name.c_str()));
    ASSERT_TRUE(ready && start);
    CxHandle starts[kStarts];
    for (CxHandle& process : starts) {
      process.Reset(tarvo_test::StartProgram(
          tarvo_test::ProgramBeside(L"second_instance.exe"),
          cell_name + L" 7878 " + ready_name + L" " + start_name));  // "xx"
      ASSERT_TRUE(process);
    }
    for (int i = 0; i < kStarts; ++i) {
      ASSERT_EQ(WaitForSingleObject(ready.Get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    }
    SetEvent(start.Get());
    for (const CxHandle& process : starts) {
      DWORD code = 100;
      ASSERT_TRUE(tarvo_test::FinishProgram(process.Get(), 30000, &code));
      EXPECT_EQ(code, 0u) << "hand-off lost";
    }
  }
  EXPECT_EQ(first.received(), kRounds * kStarts);
  EXPECT_EQ(first.text(), "xx");
}

TEST(SingleInstance, HungFirstInstanceDoesNotHangTheSecond) {
  const std::wstring cell_name = UniqueCellName(L"hung");
  const std::wstring ready_name = cell_name + L"_ready";
  CxHandle ready(CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str()));
  CxHandle hung(tarvo_test::StartProgram(tarvo_test::ProgramBeside(L"second_instance.exe"),
                                         L"--hung-first " + cell_name + L" " + ready_name));
  ASSERT_TRUE(hung);
  ASSERT_EQ(WaitForSingleObject(ready.Get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  const DWORD start = GetTickCount();
  EXPECT_FALSE(ActivateRunningInstance("x", 500, cell_name.c_str()));
  EXPECT_LT(GetTickCount() - start, 2500u);
  WaitForSingleObject(hung.Get(), 10000);
}
