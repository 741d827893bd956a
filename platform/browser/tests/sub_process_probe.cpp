// Starts the browser library and exits with init_cef's result: in a sub-process (the command
// line carries "--type=") the code of the WM_QUIT that ends it, -1 in the client process.
#include <windows.h>

#include "platform/browser/web_run.h"

int main() {
  CWebRun* library = CWebRun::Instace();
  const int result = library->init_cef(GetModuleHandleW(nullptr), cef_run_settting(), nullptr);
  library->uninit_cef();
  return result;
}
