// Finding the access address: one request to the IP-echo service on a background thread, whose
// answer ends up in the window's edit box.
#pragma once

#include "app/main_window.h"

// The window's created handler: starts the discovery worker.
void OnMainWindowCreated(const MainWindowRef& window);
// Starts the worker on a detached thread with the default stack; false when it cannot be started.
bool StartDiscoveryWorker(const MainWindowRef& window);
// The worker: asks the IP-echo service and writes the access URL (or the failure text) into the
// window. Blocks for as long as the request takes.
void DiscoverAccessAddress(const MainWindowRef& window);
// The same with another IP-echo URL, for measuring the worker against a local service.
void DiscoverAccessAddressFrom(const MainWindowRef& window, const Text& ipEchoUrl);
