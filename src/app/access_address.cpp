#include "app/access_address.h"

#include <cctype>

namespace {

constexpr char kUrlPrefix[] = "http://";
constexpr char kUrlSuffix[] = ":9600/static/web/index.html";

bool IsLineSpace(char c) {
  return c == '\t' || c == '\r' || c == '\n';
}

Text TrimLineSpace(const Text& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsLineSpace(text[begin]))
    ++begin;
  while (end > begin && IsLineSpace(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One dotted-quad part: 0 to 255 in decimal, without leading zeros.
bool IsIpv4Part(const Text& part) {
  if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
    return false;
  int value = 0;
  for (char c : part) {
    if (!IsDigit(c))
      return false;
    value = value * 10 + (c - '0');
  }
  return value <= 255;
}

// Splits at every separator, keeping empty pieces at both ends (unlike SplitText).
TextList SplitAll(const Text& text, char separator) {
  TextList pieces(1);
  for (char c : text) {
    if (c == separator) {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

bool IsHexGroup(const Text& group) {
  if (group.empty() || group.size() > 4)
    return false;
  for (char c : group) {
    if (!IsHexDigit(c))
      return false;
  }
  return true;
}

// Counts the 16-bit groups of a colon-separated run (a trailing dotted quad counts two when
// `mayEndInIpv4`); -1 when the run is malformed. An empty run has no groups.
int CountIpv6Groups(const Text& run, bool mayEndInIpv4) {
  if (run.empty())
    return 0;
  const TextList groups = SplitAll(run, ':');
  int count = 0;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const bool last = i + 1 == groups.size();
    if (last && mayEndInIpv4 && groups[i].find('.') != Text::npos) {
      if (!IsIpv4Literal(groups[i]))
        return -1;
      count += 2;
    } else if (IsHexGroup(groups[i])) {
      count += 1;
    } else {
      return -1;
    }
  }
  return count;
}

}  // namespace

bool IsIpv4Literal(const Text& text) {
  const TextList parts = SplitAll(text, '.');
  if (parts.size() != 4)
    return false;
  for (const Text& part : parts) {
    if (!IsIpv4Part(part))
      return false;
  }
  return true;
}

bool IsIpv6Literal(const Text& text) {
  const std::size_t gap = text.find("::");
  if (gap == Text::npos)
    return CountIpv6Groups(text, true) == 8;
  if (text.find("::", gap + 1) != Text::npos)
    return false;  // at most one "::"
  const Text head = text.substr(0, gap);
  const Text tail = text.substr(gap + 2);
  const int headGroups = CountIpv6Groups(head, false);
  const int tailGroups = CountIpv6Groups(tail, true);
  // "::" stands for at least one group of zeros.
  return headGroups >= 0 && tailGroups >= 0 && headGroups + tailGroups <= 7;
}

Text AccessUrlFromAnswer(const Bytes& answer) {
  const Text address = TrimLineSpace(RemoveAllSpaces(Utf8ToText(answer)));
  if (IsIpv4Literal(address))
    return JoinText(kUrlPrefix, address, kUrlSuffix);
  if (IsIpv6Literal(address))
    return JoinText(kUrlPrefix, "[", address, JoinText("]", kUrlSuffix));
  return kDiscoveryFailedText;
}
