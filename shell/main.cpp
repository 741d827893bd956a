#include <windows.h>

#include "shell/startup/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  return RunClient(instance, command_line);
}
