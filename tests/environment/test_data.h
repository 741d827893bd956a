#pragma once

#include <cstdlib>
#include <string>

// Folder of files that host-side fixtures write and tests read ("Z:/..." under Wine).
inline std::string TestDataPath(const std::string& name) {
  const char* dir = std::getenv("TARVO_TEST_DATA");
  return std::string(dir ? dir : ".") + "/" + name;
}
