#include "text/text_search.h"

#include <cstring>

namespace {

unsigned char FoldAscii(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 32) : byte;
}

// Whether `position` begins a character, given that `known` (<= position) does. The byte before
// a run of bytes of 0x80 or above always ends a character (it is a single-byte character or a
// second byte), so the run starts a character and holds double-byte characters only: `position`
// begins one exactly when an even number of the run's bytes lie before it. Only that run is read.
bool BeginsCharacter(const unsigned char* bytes, std::size_t known, std::size_t position) {
  std::size_t runStart = position;
  while (runStart > known && bytes[runStart - 1] >= 0x80)
    --runStart;
  return (position - runStart) % 2 == 0;
}

}  // namespace

TextMatcher::TextMatcher(std::string_view text, std::string_view pattern, bool ignoreCase)
    : text_(reinterpret_cast<const unsigned char*>(text.data())),
      size_(text.size()),
      pattern_(pattern),
      border_(pattern.size(), 0),
      ignoreCase_(ignoreCase) {
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
  first_ = static_cast<unsigned char>(pattern_[0]);
  const bool letter = first_ >= 'a' && first_ <= 'z';
  firstOtherCase_ = (ignoreCase_ && letter) ? static_cast<unsigned char>(first_ - 32) : first_;
}

std::size_t TextMatcher::NextByte(unsigned char byte, std::size_t from) const {
  const void* hit = from < size_ ? std::memchr(text_ + from, byte, size_ - from) : nullptr;
  return hit == nullptr ? size_ : static_cast<const unsigned char*>(hit) - text_;
}

// The first position >= from that can begin a match; `size_` when there is none.
std::size_t TextMatcher::NextFirstByte(std::size_t from) {
  if (nextFirst_ < from)
    nextFirst_ = NextByte(first_, from);
  if (firstOtherCase_ == first_)
    return nextFirst_;
  if (nextFirstOtherCase_ < from)
    nextFirstOtherCase_ = NextByte(firstOtherCase_, from);
  return nextFirst_ < nextFirstOtherCase_ ? nextFirst_ : nextFirstOtherCase_;
}

std::size_t TextMatcher::FindFrom(std::size_t from) {
  const std::size_t m = pattern_.size();
  std::size_t characterStart = from;  // a position known to begin a character
  std::size_t matched = 0;
  for (std::size_t i = from; i < size_; ++i) {
    if (matched == 0) {
      // Jump straight to the next possible first byte; this keeps common searches near memchr
      // speed while the failure function keeps the worst case linear.
      i = NextFirstByte(i);
      if (i == size_)
        return kNotFound;
    }
    const unsigned char byte = ignoreCase_ ? FoldAscii(text_[i]) : text_[i];
    while (matched > 0 && byte != static_cast<unsigned char>(pattern_[matched])) {
      matched = border_[matched - 1];
    }
    if (byte == static_cast<unsigned char>(pattern_[matched]))
      ++matched;
    if (matched == m) {
      const std::size_t position = i + 1 - m;
      if (BeginsCharacter(text_, characterStart, position))
        return position;
      characterStart = position + 1;   // `position` holds a second byte: a character follows it
      matched = border_[matched - 1];  // keep looking
    }
  }
  return kNotFound;
}
