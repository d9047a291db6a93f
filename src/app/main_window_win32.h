// What the Win32 window offers beyond main_window.h, for its tests only; the program needs none
// of it.
#pragma once

#include "app/main_window.h"

// The window's HWND, or null once the window has been destroyed.
void* NativeWindowOf(const MainWindowRef& window);  // HWND
