// Second process of LockTest: takes the named lock given on its command line and adds to the
// shared counter as often as told. Arguments: mutex name, counter mapping name, count.
// Exit code 0 on success.
#include <windows.h>

#include <cstdlib>

#include "foundation/lock.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  CxLock lock;
  if (!lock.CreateNamedMutex(argv[1])) return 3;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, argv[2]);
  if (!mapping) return 4;
  auto* counter =
      static_cast<volatile long*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  if (!counter) return 5;
  const int times = _wtoi(argv[3]);
  for (int i = 0; i < times; ++i) {
    CxAutoLock guard(lock);
    const long value = *counter;
    if (i % 64 == 0) SwitchToThread();
    *counter = value + 1;
  }
  UnmapViewOfFile(const_cast<long*>(counter));
  CloseHandle(mapping);
  return 0;
}
