// Linear-time search for a byte pattern in a code page 936 text that only accepts matches
// beginning on a character. Shared by FindText, ReplaceText and SplitText.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TextMatcher {
 public:
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  // Searches `text` (which must outlive the matcher) for `pattern`, which must not be empty. With
  // `ignoreCase` the ASCII letters are folded on both sides.
  TextMatcher(std::string_view text, std::string_view pattern, bool ignoreCase);

  // Zero-based offset of the first match at or after `from`, or kNotFound. `from` must begin a
  // character (characters are counted from it on) and must not be smaller than in the call before:
  // the successive calls of one scan read each byte of the text a bounded number of times.
  std::size_t FindFrom(std::size_t from);

 private:
  std::size_t NextFirstByte(std::size_t from);
  std::size_t NextByte(unsigned char byte, std::size_t from) const;

  const unsigned char* text_;
  std::size_t size_;
  std::string pattern_;              // folded when ignoring case
  std::vector<std::size_t> border_;  // Knuth-Morris-Pratt failure function
  bool ignoreCase_;
  // The pattern's first byte, in both cases when it is a letter and case is ignored, with the next
  // position of each (found again only once the scan has passed it).
  unsigned char first_;
  unsigned char firstOtherCase_;
  std::size_t nextFirst_ = 0;
  std::size_t nextFirstOtherCase_ = 0;
};
