// The event handlers of the controls. They reach the window only through main_window.h.
#include "app/main_window.h"

void OnCopyClicked(const MainWindowRef& window) {
  SetClipboardText(GetAddressText(window));
}

void OnAddressTextChanged(const MainWindowRef&) {}
