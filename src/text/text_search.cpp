#include "text/text_search.h"

#include <cstring>

namespace {

unsigned char FoldAscii(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 32) : byte;
}

bool IsLetter(unsigned char byte) {
  return FoldAscii(byte) >= 'a' && FoldAscii(byte) <= 'z';
}

}  // namespace

TextMatcher::TextMatcher(std::string_view pattern, bool ignoreCase)
    : pattern_(pattern), border_(pattern.size(), 0), ignoreCase_(ignoreCase) {
  if (ignoreCase_) {
    for (char& c : pattern_)
      c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
  }
  std::size_t k = 0;
  for (std::size_t i = 1; i < pattern_.size(); ++i) {
    while (k > 0 && pattern_[i] != pattern_[k])
      k = border_[k - 1];
    if (pattern_[i] == pattern_[k])
      ++k;
    border_[i] = k;
  }
}

std::size_t TextMatcher::FindFrom(std::string_view text, std::size_t from) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t m = pattern_.size();
  const auto first = static_cast<unsigned char>(pattern_[0]);
  const bool skipWithMemchr = !(ignoreCase_ && IsLetter(first));

  std::size_t characterStart = from;  // the next character boundary not yet passed
  std::size_t matched = 0;
  for (std::size_t i = from; i < n; ++i) {
    if (matched == 0) {
      // Jump straight to the next possible first byte; this keeps common searches near memchr
      // speed while the failure function keeps the worst case linear.
      if (skipWithMemchr) {
        const void* hit = std::memchr(bytes + i, first, n - i);
        if (hit == nullptr)
          return kNotFound;
        i = static_cast<const unsigned char*>(hit) - bytes;
      } else {
        while (i < n && FoldAscii(bytes[i]) != first)
          ++i;
        if (i == n)
          return kNotFound;
      }
    }
    const unsigned char byte = ignoreCase_ ? FoldAscii(bytes[i]) : bytes[i];
    while (matched > 0 && byte != static_cast<unsigned char>(pattern_[matched])) {
      matched = border_[matched - 1];
    }
    if (byte == static_cast<unsigned char>(pattern_[matched]))
      ++matched;
    if (matched == m) {
      const std::size_t position = i + 1 - m;
      while (characterStart < position)
        characterStart += bytes[characterStart] >= 0x80 ? 2 : 1;
      if (characterStart == position)
        return position;
      matched = border_[matched - 1];  // began on a second byte: keep looking
    }
  }
  return kNotFound;
}
