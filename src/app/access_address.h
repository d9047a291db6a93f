// Turning the IP-echo service's answer into the access URL the window shows.
#pragma once

#include "text/text.h"

// Shown instead of a URL when the answer holds no address: 获取公网地址失败.
constexpr char kDiscoveryFailedText[] =
    "\xBB\xF1\xC8\xA1\xB9\xAB\xCD\xF8\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC";

bool IsIpv4Literal(const Text& text);
bool IsIpv6Literal(const Text& text);

// "http://" + address + ":9600/static/web/index.html" for an answer that, without its spaces and
// the tabs, CRs and LFs at its ends, is one IPv4 or IPv6 address (an IPv6 address in brackets);
// the failure text for anything else. The answer comes over plain HTTP and is not trusted: only an
// address ever becomes part of the URL.
Text AccessUrlFromAnswer(const Bytes& answer);
