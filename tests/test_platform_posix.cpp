#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "test_platform.h"

bool RunningUnderWine() {
  return false;
}

std::string NativePath(const std::string& path) {
  return path;
}

int UnusedLoopbackPort() {
  int port = 9;  // discard: refused on a machine without that service
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (listener >= 0 &&
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (listener >= 0)
    close(listener);
  return port;
}
