// A stand-in for the outside document converter, built as Kelvarn.exe beside the tests:
//   Kelvarn.exe <Base64 of {"hwnd","md5","file","pid"}>
// It writes what it decoded to "<file>.args" (one "key=value" line per key), then acts by the
// first word of the document:
//   convert  creates the page folder "<temp>\<md5>\" with a page, reports its window (1001)
//            and the converted archive (1002, status 2, url "<temp>\<md5>.zip"), and ends;
//   fail     creates the page folder, reports its window and a failure (1002, status 0);
//   hang     creates the page folder, reports its window and waits for the client's cancel
//            (1003), whose text it writes to "<file>.cancel"; it ends after the cancel, when
//            the client's window goes, or after 60 s;
//   retry    asks for the document to be converted again (1005) and ends;
//   silent   reports nothing (for a start measured on its own: it still writes the args).
// Any other first word counts as "convert". Exit code 0, or 2 for an unusable argument.
#include <windows.h>

#include <cjson/cJSON.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/system/base64.h"

namespace {

HWND g_client = nullptr;
std::string g_file;
bool g_cancelled = false;

std::string Field(const cJSON* root, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(root, key);
  return cJSON_IsString(item) && item->valuestring != nullptr ? item->valuestring : "";
}

void Send(WPARAM command, const std::string& text) {
  COPYDATASTRUCT data{};
  data.cbData = static_cast<DWORD>(text.size());
  data.lpData = const_cast<char*>(text.data());
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(g_client, WM_COPYDATA, command, reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG, 20000, &answer);
}

std::string Report(const std::string& md5, const std::string& url, int status) {
  return "{\"md5\":\"" + md5 + "\",\"url\":\"" + url + "\",\"status\":" + std::to_string(status) +
         ",\"totalpage\":3,\"curpage\":3}";
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && wParam == 1003) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::ofstream out(g_file + ".cancel", std::ios::binary);
    if (data != nullptr && data->lpData != nullptr) {
      out.write(static_cast<const char*>(data->lpData), data->cbData);
    }
    g_cancelled = true;
    PostQuitMessage(0);
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::string TempFolder() {
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH + 1, temp);
  return std::string(temp, n);
}

void MakePages(const std::string& md5) {
  const std::string folder = TempFolder() + md5;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\page1.png", std::ios::binary) << "page";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring wide = argv[1];
  const std::string json = Base64Decode(std::string(wide.begin(), wide.end()));
  cJSON* root = cJSON_Parse(json.c_str());
  if (!cJSON_IsObject(root)) return 2;
  const std::string hwnd = Field(root, "hwnd");
  const std::string md5 = Field(root, "md5");
  g_file = Field(root, "file");
  const std::string pid = Field(root, "pid");
  cJSON_Delete(root);
  g_client =
      reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(hwnd.c_str(), nullptr, 10)));
  {
    std::ofstream args(g_file + ".args", std::ios::binary);
    args << "hwnd=" << hwnd << "\nmd5=" << md5 << "\nfile=" << g_file << "\npid=" << pid << "\n";
  }
  std::string word;
  {
    std::ifstream document(g_file, std::ios::binary);
    document >> word;
  }
  if (word == "silent") return 0;
  if (word == "retry") {
    Send(1005, "{\"md5\":\"" + md5 + "\"}");
    return 0;
  }

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"KelvarnStandIn";
  RegisterClassW(&window_class);
  HWND window = CreateWindowW(L"KelvarnStandIn", L"Kelvarn", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, instance, nullptr);
  MakePages(md5);
  Send(1001, std::to_string(reinterpret_cast<uintptr_t>(window)));
  if (word == "fail") {
    Send(1002, Report(md5, "", 0));
  } else if (word == "hang") {
    SetTimer(window, 1, 200, nullptr);
    const DWORD deadline = GetTickCount() + 60000;
    MSG msg;
    while (!g_cancelled && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (!IsWindow(g_client) || GetTickCount() > deadline) break;
      DispatchMessageW(&msg);
    }
  } else {
    std::string url = TempFolder() + md5 + ".zip";
    std::ofstream(url, std::ios::binary) << "archive";
    std::string escaped;
    for (char c : url) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    Send(1002, Report(md5, escaped, 2));
  }
  DestroyWindow(window);
  return 0;
}
