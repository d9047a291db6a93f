#include "app/discovery.h"

#include <system_error>
#include <thread>

#include "app/access_address.h"
#include "web/web_request.h"

namespace {

constexpr char kIpEchoUrl[] = "http://ifconfig.me/ip";

}  // namespace

void OnMainWindowCreated(const MainWindowRef& window) {
  StartDiscoveryWorker(window);
}

bool StartDiscoveryWorker(const MainWindowRef& window) {
  try {
    // Never joined: the program ends without waiting for the request.
    std::thread(DiscoverAccessAddress, window).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void DiscoverAccessAddress(const MainWindowRef& window) {
  DiscoverAccessAddressFrom(window, kIpEchoUrl);
}

void DiscoverAccessAddressFrom(const MainWindowRef& window, const Text& ipEchoUrl) {
  RequestOptions options;
  options.url = ipEchoUrl;
  const Bytes body = WebRequest(options);
  SetAddressText(window, AccessUrlFromAnswer(body));
}
