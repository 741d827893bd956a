// Child process of LogExitTest: writes the number of records given on its command line through
// the process-wide log and exits normally, so the log packs its file at exit. Meanwhile a second
// thread writes "record during exit" shortly after exit has begun, as a thread that is still
// busy when the program ends would.
#include <windows.h>

#include <cstdlib>
#include <thread>

#include "foundation/log.h"

namespace {

HANDLE g_exit_begun = nullptr;

// Registered after the log's own exit handler, so it runs before it.
void NoteExitBegun() { SetEvent(g_exit_begun); }

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 0;
  for (int i = 0; i < count; ++i) TVLOG_INFO() << "exit record " << i;

  g_exit_begun = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atexit(&NoteExitBegun);
  std::thread([] {
    WaitForSingleObject(g_exit_begun, INFINITE);
    Sleep(20);
    TVLOG_INFO() << "record during exit";
  }).detach();
  return 0;
}
