#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_process.h"

TEST(EnvFileMapping, SecondProcessOpensNamedMapping) {
  const std::wstring name = L"Local\\TarvoEnvMapping_" + std::to_wstring(GetCurrentProcessId());
  HANDLE mapping =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
  ASSERT_NE(mapping, nullptr);
  char* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  ASSERT_NE(view, nullptr);
  std::strcpy(view, "from parent");

  DWORD code = 1;
  ASSERT_TRUE(tarvo_test::RunProgram(tarvo_test::ProgramBeside(L"env_mapping_peer.exe"), name,
                                     20000, &code));

  EXPECT_EQ(code, 0u);
  EXPECT_STREQ(view + 1024, "from peer");
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}
