// Scratch files beside the test program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

inline std::string TestFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/"));
}

// A fresh folder under the test program's folder (no trailing separator).
inline std::string MakeTestFolder(const std::string& name) {
  const std::string dir = TestFolder() + "\\" + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
