// The program's one window: a hint, the address edit box and the Copy button. The build picks one
// platform implementation (main_window_win32.cpp, later main_window_gtk.cpp).
#pragma once

#include <memory>

#include "text/text.h"

class MainWindow;  // defined by the platform implementation
// Shared by the main thread and the discovery worker; stays valid after the window is destroyed.
using MainWindowRef = std::shared_ptr<MainWindow>;

// Called once the window and its three controls exist and before the window is shown.
using MainWindowCreatedHandler = void (*)(const MainWindowRef& window);

// Creates the window centred on the primary screen with its controls, then raises the created
// event. Returns null when the window cannot be created.
MainWindowRef CreateMainWindow(MainWindowCreatedHandler onCreated);
void ShowMainWindow(const MainWindowRef& window);
// Runs the message loop until the window is closed; returns the exit code (0).
int RunMessageLoop();
// Tells the user that the window could not be created.
void ReportStartupFailure();

// Replaces the edit box's text. Callable from any thread; returns once the box holds the text, or
// at once, touching nothing, when the window is already gone.
void SetAddressText(const MainWindowRef& window, const Text& text);
// The text the edit box shows now, the user's edits included. Main thread only.
Text GetAddressText(const MainWindowRef& window);
// Replaces the clipboard's content with the text; false when the clipboard could not be opened or
// its memory obtained. Main thread only.
bool SetClipboardText(const Text& text);

// Event handlers of the controls.
void OnCopyClicked(const MainWindowRef& window);
void OnAddressTextChanged(const MainWindowRef& window);
