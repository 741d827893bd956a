#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring ProgramBeside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

}  // namespace

TEST(EnvFileMapping, SecondProcessOpensNamedMapping) {
  const std::wstring name = L"Local\\TarvoEnvMapping_" + std::to_wstring(GetCurrentProcessId());
  HANDLE mapping =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
  ASSERT_NE(mapping, nullptr);
  char* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  ASSERT_NE(view, nullptr);
  std::strcpy(view, "from parent");

  std::wstring cmd = L"\"" + ProgramBeside(L"env_mapping_peer.exe") + L"\" " + name;
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  EXPECT_EQ(code, 0u);
  EXPECT_STREQ(view + 1024, "from peer");
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}
