// Linear-time search for a byte pattern that only accepts matches beginning on a character of a
// code page 936 text. Shared by FindText, ReplaceText and SplitText.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TextMatcher {
 public:
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  // `pattern` must not be empty. With `ignoreCase` the ASCII letters are folded on both sides.
  TextMatcher(std::string_view pattern, bool ignoreCase);

  // Zero-based offset of the first match at or after `from`, which must itself begin a character;
  // characters are counted from `from` on. kNotFound when there is none.
  std::size_t FindFrom(std::string_view text, std::size_t from) const;

  std::size_t PatternLength() const { return pattern_.size(); }

 private:
  std::string pattern_;              // folded when ignoring case
  std::vector<std::size_t> border_;  // Knuth-Morris-Pratt failure function
  bool ignoreCase_;
};
