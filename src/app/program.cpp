#include "app/program.h"

#include "app/discovery.h"
#include "app/main_window.h"

int RunAccessUrl() {
  const MainWindowRef window = CreateMainWindow(OnMainWindowCreated);
  if (!window) {
    ReportStartupFailure();
    return -1;
  }
  ShowMainWindow(window);
  return RunMessageLoop();
}
