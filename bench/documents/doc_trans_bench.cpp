// One document conversion through the client against the converter's start alone:
//   BM_DocumentThroughClient: CMainFrame::HandleDocTrans on a registered document, until the page
//     gets event 36. The converter stand-in Kelvarn.exe beside the program converts at once: it
//     reports its window (copy-data 1001), then the converted archive (1002), which the main
//     window turns into event 36 and the page's file pick.
//   BM_ConverterStartAlone: Kelvarn.exe started the same way (ShellExecuteExA, hidden, its one
//     Base64 argument) for a plain window, until that window gets the first WM_COPYDATA.
// Both pump the calling thread's messages the same way. The ratio of the two times is what the
// client adds to a converter's start: the argument, the registry, the report's parsing and the
// page's side of it.
//
// Run under Wine from the build's bin folder (Kelvarn.exe, OrvimSDK.dll and Trastor.dll beside
// it): bench/documents/run.sh BUILD_DIR

#include <windows.h>
#include <shellapi.h>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "foundation/hub.h"
#include "platform/browser/web_run.h"
#include "platform/duilib/UIlib.h"
#include "shell/jsevents/js_event_sender.h"
#include "shell/mainframe/main_frame.h"
#include "shell/registry/local_file_list.h"
#include "shell/system/base64.h"

namespace {

void PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

std::string TempFolder() {
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH + 1, temp);
  return std::string(temp, n);
}

// The document the stand-in converts at once (its first word), in the temporary folder.
std::string MakeDocument() {
  const std::string path = TempFolder() + "tarvo_bench_document.docx";
  std::ofstream(path, std::ios::binary) << "convert";
  return path;
}

// What a conversion leaves: the page folder, the archive and the stand-in's argument record.
void CleanUp(const std::string& md5, const std::string& document) {
  CMainFrame::RemoveTempFolder(md5);
  DeleteFileA((TempFolder() + md5 + ".zip").c_str());
  DeleteFileA((document + ".args").c_str());
}

// The browser library and the language table once for the program, as start-up makes them.
void StartLibraries() {
  static bool started = false;
  if (started) return;
  started = true;
  CWebRun::Instace()->init_cef(GetModuleHandleW(nullptr), cef_run_settting(),
                               &CxAdapter::Instance());
  DuiLib::CMutiLanSupport::Instance()->LoadFromResFile(130, L"xml\\language.xml", true, L"en_US",
                                                       L"xml");
}

// The main window with the page's events counted.
class BenchFrame : public CMainFrame {
 public:
  void OnNativeInvokeJS(const std::string& json, bool log) override {
    std::string compact;
    for (char c : json) {
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
    }
    if (compact.compare(0, 12, "{\"event\":36,") == 0) ++converted;
    CMainFrame::OnNativeInvokeJS(json, log);
  }
  int converted = 0;  // UI thread (the report arrives as a copy-data message).
};

void BM_DocumentThroughClient(benchmark::State& state) {
  StartLibraries();
  BenchFrame frame;
  if (frame.Create(nullptr, L"TarvoLive", 0x16CF0000, 0x40000) == nullptr) {
    state.SkipWithError("the main window was not created");
    return;
  }
  frame.ShowWindow(true, true);
  for (int i = 0; i < 200; ++i) PumpOnce();  // The window's start: the SDK layer, the page.
  const std::string document = MakeDocument();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string md5 = CLocalFileList::Instance()->AddDocument(document, 2);
    const int before = frame.converted;
    const DWORD deadline = GetTickCount() + 30000;
    state.ResumeTiming();
    frame.HandleDocTrans(md5);
    while (frame.converted == before && GetTickCount() < deadline) PumpOnce();
    state.PauseTiming();
    if (frame.converted == before) {
      state.SkipWithError("no event 36 within 30 s (is Kelvarn.exe beside the program?)");
      CLocalFileList::Instance()->RemoveDocument(md5);
      break;
    }
    // The stand-in ends after its report; the next one starts alone.
    for (int i = 0; i < 20; ++i) PumpOnce();
    CleanUp(md5, document);
    state.ResumeTiming();
  }
  DeleteFileA(document.c_str());
  DestroyWindow(frame.GetHWND());
  for (int i = 0; i < 50; ++i) PumpOnce();
}

// A plain window that counts the copy-data messages it gets.
int g_copies = 0;

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    ++g_copies;
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void BM_ConverterStartAlone(benchmark::State& state) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = ReceiverProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"DocTransBenchReceiver";
  RegisterClassW(&window_class);
  HWND receiver = CreateWindowW(L"DocTransBenchReceiver", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, window_class.hInstance, nullptr);
  const std::string document = MakeDocument();
  char module[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  const std::string folder =
      std::string(module, n).substr(0, std::string(module, n).rfind('\\') + 1);
  const std::string program = folder + "Kelvarn.exe";
  unsigned counter = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string md5 =
        "0123456789abcdef0123456789ab" + std::to_string(1000 + counter++ % 9000);
    g_copies = 0;
    const DWORD deadline = GetTickCount() + 30000;
    state.ResumeTiming();
    const std::string args = CJsEventSender::BuildDocTransArgs(
        reinterpret_cast<uintptr_t>(receiver), document, md5, GetCurrentProcessId());
    const std::string encoded = Base64Encode(args.data(), args.size());
    SHELLEXECUTEINFOA start{};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    start.lpFile = program.c_str();
    start.lpParameters = encoded.c_str();
    start.lpDirectory = folder.c_str();
    start.nShow = SW_HIDE;
    const bool started = ShellExecuteExA(&start) != FALSE;
    while (started && g_copies == 0 && GetTickCount() < deadline) PumpOnce();
    state.PauseTiming();
    if (!started || g_copies == 0) {
      if (start.hProcess != nullptr) CloseHandle(start.hProcess);
      state.SkipWithError("Kelvarn.exe did not start or did not report");
      break;
    }
    // Its second report is answered too, until it ends.
    while (start.hProcess != nullptr && GetTickCount() < deadline &&
           MsgWaitForMultipleObjects(1, &start.hProcess, FALSE, 10, QS_ALLINPUT) != WAIT_OBJECT_0) {
      PumpOnce();
    }
    if (start.hProcess != nullptr) CloseHandle(start.hProcess);
    CleanUp(md5, document);
    state.ResumeTiming();
  }
  DeleteFileA(document.c_str());
  DestroyWindow(receiver);
}

BENCHMARK(BM_ConverterStartAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_DocumentThroughClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
