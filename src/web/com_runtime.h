// The component runtime that the Windows request object lives in, initialised for the lifetime of
// one scope on the calling thread. Does nothing on other platforms.
#pragma once

class ComRuntimeScope {
 public:
  ComRuntimeScope();   // CoInitialize(NULL)
  ~ComRuntimeScope();  // CoUninitialize()
  ComRuntimeScope(const ComRuntimeScope&) = delete;
  ComRuntimeScope& operator=(const ComRuntimeScope&) = delete;

 private:
  [[maybe_unused]] bool initialized_ = false;  // read only where there is a component runtime
};
