// Child process of LogExitTest: writes the number of records given on its command line through
// the process-wide log and exits normally, so the log packs its file at exit.
#include <cstdlib>

#include "foundation/log.h"

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 0;
  for (int i = 0; i < count; ++i) TVLOG_INFO() << "exit record " << i;
  return 0;
}
