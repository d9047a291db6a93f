#include <windows.h>
#include <objbase.h>

#include "web/com_runtime.h"

// S_OK and S_FALSE (the thread already had the runtime) both take a reference that one
// CoUninitialize gives back. A failure, such as a thread already in another apartment mode, takes
// none, and uninitialising then would tear down the caller's runtime.
ComRuntimeScope::ComRuntimeScope() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}

ComRuntimeScope::~ComRuntimeScope() {
  if (initialized_)
    CoUninitialize();
}
