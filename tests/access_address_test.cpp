#include "app/access_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes B(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

TEST(AccessAddress, UrlFromAnswer) {
  struct Case {
    std::string answer;
    Text expected;
  } cases[] = {
      {"203.0.113.7", "http://203.0.113.7:9600/static/web/index.html"},
      {" 203.0.113.7 ", "http://203.0.113.7:9600/static/web/index.html"},
      {"203.0.113.7\n", "http://203.0.113.7:9600/static/web/index.html"},
      {"\t203.0.113.7\r\n", "http://203.0.113.7:9600/static/web/index.html"},
      {"\xE3\x80\x80"
       "203.0.113.7",
       "http://203.0.113.7:9600/static/web/index.html"},
      {"2001:db8::1", "http://[2001:db8::1]:9600/static/web/index.html"},
      {"::ffff:192.0.2.1\n", "http://[::ffff:192.0.2.1]:9600/static/web/index.html"},
      {"", kDiscoveryFailedText},
      {"<html><body>500 Internal Server Error</body></html>", kDiscoveryFailedText},
      {"203.0.113.7\n203.0.113.8", kDiscoveryFailedText},
      {"203.0.113.7/evil", kDiscoveryFailedText},
      {"203.0.113.7@evil.example", kDiscoveryFailedText},
      {"203.0.113.7:80", kDiscoveryFailedText},
      {std::string("203.0.113.7\0junk", 16), "http://203.0.113.7:9600/static/web/index.html"},
      {"203.0.\xFF"
       "113.7",
       kDiscoveryFailedText},  // decoding stops at the broken byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(AccessUrlFromAnswer(B(c.answer)), c.expected) << c.answer;
}

TEST(AccessAddress, Ipv4Literals) {
  for (const char* good : {"0.0.0.0", "255.255.255.255", "1.2.3.4", "10.0.0.10"}) {
    EXPECT_TRUE(IsIpv4Literal(good)) << good;
  }
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "01.2.3.4", "1..2.3", "1.2.3.4.",
                          ".1.2.3", "a.b.c.d", "1.2.3.-4", "1.2.3.4 ", "1234.1.1.1"}) {
    EXPECT_FALSE(IsIpv4Literal(bad)) << bad;
  }
}

TEST(AccessAddress, Ipv6Literals) {
  for (const char* good :
       {"::", "::1", "1::", "2001:db8::1", "2001:0db8:0000:0000:0000:0000:0000:0001",
        "1:2:3:4:5:6:7:8", "1:2:3:4:5:6::8", "1::2:3:4:5:6:7", "::ffff:1.2.3.4",
        "1:2:3:4:5:6:1.2.3.4", "FE80::ABCD"}) {
    EXPECT_TRUE(IsIpv6Literal(good)) << good;
  }
  for (const char* bad :
       {"", ":", ":::", "1:2:3:4:5:6:7", "1:2:3:4:5:6:7:8:9", "1::2::3", "12345::", "g::1",
        "1:2:3:4:5:6:7::8", "::1.2.3", "1.2.3.4::", "fe80::1%eth0", ":1::", "1:", "[::1]",
        "::1.2.3.4:5", "1:2:3:4:5:6:7:1.2.3.4"}) {
    EXPECT_FALSE(IsIpv6Literal(bad)) << bad;
  }
}

}  // namespace
