// Measures how long the program takes from the IP-echo service's answer to the URL in the edit
// box: runs the discovery worker against the URL in ACCESSURL_ECHO_URL, prints the wall-clock
// time (microseconds since the epoch) at which the box held the result, and ends the process. The
// echo server notes when it sent its answer; tools/measure_performance.py subtracts the two.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/discovery.h"
#include "app/main_window.h"

namespace {

void MeasureDiscovery(const MainWindowRef& window) {
  const char* url = std::getenv("ACCESSURL_ECHO_URL");
  std::thread([window, url = std::string(url != nullptr ? url : "")] {
    DiscoverAccessAddressFrom(window, url);  // returns once the box holds the text
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
    std::fflush(stdout);
    std::_Exit(0);
  }).detach();
}

}  // namespace

int main() {
  const MainWindowRef window = CreateMainWindow(MeasureDiscovery);
  if (!window)
    return 1;
  ShowMainWindow(window);
  return RunMessageLoop();
}
