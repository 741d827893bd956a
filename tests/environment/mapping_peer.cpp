// Second process of EnvFileMappingTest: opens the mapping named on its command line, checks the
// parent's text and answers in the same mapping. Exit code 0 on success.
#include <windows.h>

#include <cstring>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, argv[1]);
  if (!mapping) return 3;
  char* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  int rc = 4;
  if (view) {
    if (std::strcmp(view, "from parent") == 0) {
      std::strcpy(view + 1024, "from peer");
      rc = 0;
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return rc;
}
