#pragma once

// Opens the window, starts the discovery and runs until the window closes. Returns the exit code:
// 0, or -1 when the window cannot be created.
int RunAccessUrl();
