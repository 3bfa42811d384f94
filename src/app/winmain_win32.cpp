// The program's entry: everything happens in runProgram, so that tests can link
// the windows.
#include <windows.h>

#include "app/app_start_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine,
                    int showCommand) {
  return sk720::runProgram(instance, commandLine, showCommand);
}
