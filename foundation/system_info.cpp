#include "foundation/system_info.h"

#include <windows.h>

namespace {

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool Is64BitWindows() {
  HMODULE kernel = LoadLibraryW(L"kernel32.dll");
  if (!kernel) return false;
  using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
  bool is_64_bit = false;
  if (auto get_native_system_info = Lookup<GetNativeSystemInfoFn>(kernel, "GetNativeSystemInfo")) {
    SYSTEM_INFO info{};
    get_native_system_info(&info);
    is_64_bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  }
  FreeLibrary(kernel);
  return is_64_bit;
}

bool GetNtVersionNumbers(unsigned long& major, unsigned long& minor, unsigned long& build) {
  return GetNtVersionNumbersFrom(L"ntdll.dll", "RtlGetNtVersionNumbers", major, minor, build);
}

bool GetNtVersionNumbersFrom(const wchar_t* module, const char* function, unsigned long& major,
                             unsigned long& minor, unsigned long& build) {
  HMODULE ntdll = LoadLibraryW(module);
  if (!ntdll) return false;
  using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  auto get_numbers = Lookup<RtlGetNtVersionNumbersFn>(ntdll, function);
  if (get_numbers) {
    DWORD major_version = 0, minor_version = 0, build_number = 0;
    get_numbers(&major_version, &minor_version, &build_number);
    major = major_version;
    minor = minor_version;
    build = build_number & 0xFFFF;
  }
  FreeLibrary(ntdll);
  return get_numbers != nullptr;
}
