// Entry point of the Windows program. The command line is not read.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return RunAccessUrl();
}
