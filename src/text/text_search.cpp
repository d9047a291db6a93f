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

namespace {

// How often a byte is likely to occur in the texts searched here (mostly ASCII letters, spaces
// and Chinese): the search looks for the pattern byte with the lowest score.
int Commonness(unsigned char byte, bool folded) {
  if (byte == ' ')
    return 10;
  if (byte >= 'a' && byte <= 'z')
    return 9;
  if (byte >= 'A' && byte <= 'Z')
    return folded ? 9 : 5;
  if (byte >= 0x80)
    return 7;
  if (byte >= '0' && byte <= '9')
    return 6;
  return 3;
}

}  // namespace

TextMatcher::TextMatcher(std::string_view text, std::string_view pattern, bool ignoreCase)
    : text_(reinterpret_cast<const unsigned char*>(text.data())),
      size_(text.size()),
      pattern_(pattern),
      border_(pattern.size(), 0),
      ignoreCase_(ignoreCase),
      comparisonBudget_(2 * text.size() + 64 * pattern.size()) {
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
  const auto cursorFor = [this](unsigned char byte) {
    const bool letter = byte >= 'a' && byte <= 'z';
    return ByteCursor{byte, (ignoreCase_ && letter) ? static_cast<unsigned char>(byte - 32) : byte};
  };
  for (std::size_t i = 1; i < pattern_.size(); ++i) {
    const auto byte = static_cast<unsigned char>(pattern_[i]);
    const auto best = static_cast<unsigned char>(pattern_[anchorOffset_]);
    if (Commonness(byte, ignoreCase_) <= Commonness(best, ignoreCase_))
      anchorOffset_ = i;
  }
  anchor_ = cursorFor(static_cast<unsigned char>(pattern_[anchorOffset_]));
  first_ = cursorFor(static_cast<unsigned char>(pattern_[0]));
}

std::size_t TextMatcher::NextByte(unsigned char byte, std::size_t from) const {
  const void* hit = from < size_ ? std::memchr(text_ + from, byte, size_ - from) : nullptr;
  return hit == nullptr ? size_ : static_cast<const unsigned char*>(hit) - text_;
}

// The first position >= from holding the cursor's byte in either case; `size_` when there is
// none. Each case is looked for again only once the scan has passed its last find.
std::size_t TextMatcher::NextOccurrence(ByteCursor& cursor, std::size_t from) const {
  if (cursor.next < from)
    cursor.next = NextByte(cursor.byte, from);
  if (cursor.otherCase == cursor.byte)
    return cursor.next;
  if (cursor.nextOtherCase < from)
    cursor.nextOtherCase = NextByte(cursor.otherCase, from);
  return cursor.next < cursor.nextOtherCase ? cursor.next : cursor.nextOtherCase;
}

bool TextMatcher::MatchesAt(std::size_t position) const {
  if (!ignoreCase_)
    return std::memcmp(text_ + position, pattern_.data(), pattern_.size()) == 0;
  for (std::size_t i = 0; i < pattern_.size(); ++i) {
    if (FoldAscii(text_[position + i]) != static_cast<unsigned char>(pattern_[i]))
      return false;
  }
  return true;
}

std::size_t TextMatcher::FindFrom(std::size_t from) {
  const std::size_t m = pattern_.size();
  std::size_t characterStart = from;  // a position known to begin a character
  std::size_t candidate = from;       // no match starts before it
  while (!linearOnly_) {
    if (candidate + m > size_)
      return kNotFound;
    const std::size_t hit = NextOccurrence(anchor_, candidate + anchorOffset_);
    if (hit + (m - anchorOffset_) > size_)
      return kNotFound;
    candidate = hit - anchorOffset_;
    if (MatchesAt(candidate)) {
      if (BeginsCharacter(text_, characterStart, candidate))
        return candidate;
      characterStart = candidate + 1;  // `candidate` holds a second byte: a character follows
    }
    ++candidate;
    if (comparisonBudget_ < m) {
      linearOnly_ = true;
    } else {
      comparisonBudget_ -= m;
    }
  }
  return FindByKnuthMorrisPratt(candidate, characterStart);
}

std::size_t TextMatcher::FindByKnuthMorrisPratt(std::size_t from, std::size_t characterStart) {
  const std::size_t m = pattern_.size();
  std::size_t matched = 0;
  for (std::size_t i = from; i < size_; ++i) {
    if (matched == 0) {
      i = NextOccurrence(first_, i);
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
