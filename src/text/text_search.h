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
  // One byte of the pattern (in both cases when it is a folded letter) and where it next occurs.
  struct ByteCursor {
    unsigned char byte;
    unsigned char otherCase;
    std::size_t next = 0;
    std::size_t nextOtherCase = 0;
  };

  std::size_t NextOccurrence(ByteCursor& cursor, std::size_t from) const;
  std::size_t NextByte(unsigned char byte, std::size_t from) const;
  bool MatchesAt(std::size_t position) const;
  std::size_t FindByKnuthMorrisPratt(std::size_t from, std::size_t characterStart);

  const unsigned char* text_;
  std::size_t size_;
  std::string pattern_;              // folded when ignoring case
  std::vector<std::size_t> border_;  // Knuth-Morris-Pratt failure function
  bool ignoreCase_;
  // The fast path looks for the pattern's rarest-looking byte and compares the whole pattern
  // around it; once those comparisons have cost more than a few passes over the text it gives way
  // for good to Knuth-Morris-Pratt, which keeps the worst case linear.
  ByteCursor anchor_;
  std::size_t anchorOffset_ = 0;
  std::size_t comparisonBudget_;
  bool linearOnly_ = false;
  ByteCursor first_;  // skips to the next possible start in the Knuth-Morris-Pratt scan
};
