// IsIpv4Literal, IsIpv6Literal and AccessUrlFromAnswer on arbitrary answers.
//
// Input: the whole input is the answer for AccessUrlFromAnswer; the bytes before its first zero
// byte are the text for the two literal checks, which must accept exactly what the C library's
// inet_pton accepts.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>

#include "app/access_address.h"
#include "fuzz_support.h"
#include "text/text.h"

namespace {

constexpr char kPrefix[] = "http://";
constexpr char kSuffix[] = ":9600/static/web/index.html";

bool InetPtonAccepts(int family, const Text& text) {
  unsigned char address[16];
  return inet_pton(family, text.c_str(), address) == 1;
}

Text UrlOf(const Text& address, int family) {
  return kPrefix + (family == AF_INET6 ? "[" + address + "]" : address) + kSuffix;
}

bool StartsWith(const Text& text, const Text& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const Text& text, const Text& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The URL holds an address that the C library accepts, IPv6 in brackets; or it is the failure
// text.
void CheckUrl(const Text& url) {
  if (url == kDiscoveryFailedText)
    return;
  const Text prefix = kPrefix;
  const Text suffix = kSuffix;
  FUZZ_CHECK(url.size() > prefix.size() + suffix.size());
  FUZZ_CHECK(StartsWith(url, prefix) && EndsWith(url, suffix));
  const Text address = url.substr(prefix.size(), url.size() - prefix.size() - suffix.size());
  if (address.front() == '[') {
    FUZZ_CHECK(address.back() == ']');
    FUZZ_CHECK(InetPtonAccepts(AF_INET6, address.substr(1, address.size() - 2)));
  } else {
    FUZZ_CHECK(InetPtonAccepts(AF_INET, address));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text text = CutInput(data, size, 1)[0];
  FUZZ_CHECK(IsIpv4Literal(text) == InetPtonAccepts(AF_INET, text));
  FUZZ_CHECK(IsIpv6Literal(text) == InetPtonAccepts(AF_INET6, text));

  const Bytes answer(data, data + size);
  const Text url = AccessUrlFromAnswer(answer);
  CheckUrl(url);
  // An answer that is exactly an address gives its URL.
  if (text.size() == size) {
    if (InetPtonAccepts(AF_INET, text))
      FUZZ_CHECK(url == UrlOf(text, AF_INET));
    if (InetPtonAccepts(AF_INET6, text))
      FUZZ_CHECK(url == UrlOf(text, AF_INET6));
  }
  // Spaces, tabs and line breaks around the answer change nothing.
  Bytes padded = {' ', '\t'};
  padded.insert(padded.end(), answer.begin(), answer.end());
  padded.insert(padded.end(), {'\r', '\n', ' '});
  FUZZ_CHECK(AccessUrlFromAnswer(padded) == url);
  return 0;
}
