#include <winsock2.h>
#include <windows.h>

#include "test_platform.h"

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string NativePath(const std::string& path) {
  return (!path.empty() && path[0] == '/' && RunningUnderWine()) ? "Z:" + path : path;
}

int UnusedLoopbackPort() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
    return 9;
  int port = 9;  // discard: refused on a machine without that service
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (listener != INVALID_SOCKET &&
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (listener != INVALID_SOCKET)
    closesocket(listener);
  WSACleanup();
  return port;
}
