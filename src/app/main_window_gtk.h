// What the GTK window offers beyond main_window.h, for its tests only; the program needs none of
// it.
#pragma once

#include "app/main_window.h"

// The window's GtkWindow, or null once the window has been destroyed.
void* NativeWindowOf(const MainWindowRef& window);  // GtkWidget*
