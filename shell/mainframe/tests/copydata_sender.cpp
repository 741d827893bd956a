// Sends one WM_COPYDATA to a window of another process, as a second instance or the document
// converter would:
//   copydata_sender.exe <hwnd> <wparam> text <text...> | null | empty | big | binary
// "null" sends no record, "empty" a record of length 0, "big" 100 KB of 'A', "binary" bytes 0 to
// 255 over and over (10 KB). Exits 0 when the window took the message, 1 otherwise.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoull(argv[1], nullptr, 10)));
  const WPARAM command = static_cast<WPARAM>(std::wcstoul(argv[2], nullptr, 10));
  const std::wstring mode = argv[3];
  std::vector<char> bytes;
  if (mode == L"text") {
    std::wstring text;
    for (int i = 4; i < argc; ++i) text += (i > 4 ? L" " : L"") + std::wstring(argv[i]);
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    bytes.resize(n > 0 ? n : 0);
    if (n > 0) {
      WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n,
                          nullptr, nullptr);
    }
  } else if (mode == L"big") {
    bytes.assign(100 * 1024, 'A');
  } else if (mode == L"binary") {
    for (int i = 0; i < 10 * 1024; ++i) bytes.push_back(static_cast<char>(i & 0xFF));
  }
  COPYDATASTRUCT data = {};
  data.dwData = 0;
  data.cbData = static_cast<DWORD>(bytes.size());
  data.lpData = bytes.empty() ? nullptr : bytes.data();
  const LPARAM record = mode == L"null" ? 0 : reinterpret_cast<LPARAM>(&data);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(target, WM_COPYDATA, command, record, SMTO_ABORTIFHUNG, 20000,
                             &answer) != 0
             ? 0
             : 1;
}
