// The library's exports, its log sink and the operations that only store or refuse.

#include <string>
#include <vector>

#include "vendra_test_support.h"

using namespace vendra_test;

namespace {

std::vector<std::wstring>* g_lines = nullptr;

void CollectLine(int level, const wchar_t* text) {
  EXPECT_EQ(level, 0);
  if (g_lines) g_lines->push_back(text);
}

// Names in the export directory of a loaded module.
std::vector<std::string> ExportedNames(HMODULE module) {
  auto* base = reinterpret_cast<const std::uint8_t*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::vector<std::string> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    result.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  }
  return result;
}

}  // namespace

TEST(VendraLibraryTest, ExportsExactlyItsFiveFunctionsByNameAndOrdinal) {
  HMODULE module = GetModuleHandleW(L"Vendra.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ExportedNames(module),
            (std::vector<std::string>{"Vendra_Create", "Vendra_Destroy", "Vendra_GetCountTexture2D",
                                      "Vendra_GetCountTextureMem", "Vendra_LogCallback"}));
  const char* names[] = {"Vendra_Create", "Vendra_Destroy", "Vendra_GetCountTexture2D",
                         "Vendra_GetCountTextureMem", "Vendra_LogCallback"};
  for (int ordinal = 1; ordinal <= 5; ++ordinal) {
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)),
              GetProcAddress(module, names[ordinal - 1]))
        << names[ordinal - 1];
  }
  EXPECT_EQ(Vendra_GetCountTexture2D(), 0);
  EXPECT_EQ(Vendra_GetCountTextureMem(), 0);
}

TEST(VendraLibraryTest, SystemReportsGdiAndReservedSlotsGiveNothing) {
  SystemPtr system = MakeSystem();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->GetSystemType(), gs::kSystemGdi);
  std::uint8_t bytes[16] = {};
  EXPECT_EQ(system->CreateTextureReserved1(bytes, 2, 2), nullptr);
  EXPECT_EQ(system->CreateTextureReserved2(bytes, 2, 2), nullptr);
  EXPECT_EQ(system->SetDrawMode(gs::vendra::kDrawColorKey), 0);
  EXPECT_EQ(system->SetDrawMode(0), gs::vendra::kDrawColorKey);
  EXPECT_FALSE(system->GetBlendEnable());
  system->SetBlendEnable(true);
  EXPECT_TRUE(system->GetBlendEnable());
}

TEST(VendraLibraryTest, DestroyingNullTouchesNoLiveSystem) {
  SystemPtr system = MakeSystem();
  EXPECT_EQ(Vendra_Destroy(nullptr), 0);
  // The live system still holds msimg32: destroying it is what unloads the library.
  EXPECT_NE(Vendra_Destroy(system.release()), 0);
}

TEST(VendraLibraryTest, LogLinesGoToTheInstalledSink) {
  std::vector<std::wstring> lines;
  g_lines = &lines;
  EXPECT_EQ(Vendra_LogCallback(CollectLine), &CollectLine);
  SystemPtr system = MakeSystem();
  TexturePtr texture(system->CreateTextureWrite(4, 4, nullptr, false));
  EXPECT_FALSE(system->CopyTexture(nullptr, texture.get()));
  std::vector<std::uint8_t> short_frame(4 * 4 * 3 / 2 - 1);
  EXPECT_FALSE(texture->SetData(short_frame.data(), static_cast<int>(short_frame.size()),
                                gs::vendra::kI420, false));
  EXPECT_EQ(system->CreateTextureFromFile("Z:\\no\\such\\picture.png"), nullptr);
  EXPECT_EQ(Vendra_LogCallback(nullptr), nullptr);
  EXPECT_FALSE(system->CopyTexture(texture.get(), nullptr));  // not collected any more
  g_lines = nullptr;

  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"gsSystemImpl::CopyTexture [ERROR] Src or Dest Null");
  EXPECT_EQ(lines[1].rfind(L"gsTextureImpl::SetData [ERROR]  - Width(4) Height(4) Size(23) "
                           L"type(1)",
                           0),
            0u);
  EXPECT_EQ(lines[2].rfind(L"gsSystemImpl::CreateTextureFromFile [ERROR] CreateFile (err=", 0), 0u);
}
