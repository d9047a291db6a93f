// The search, replace, split, trim and case primitives on arbitrary texts.
//
// Input: byte 0 holds the flags (bit 0: ignore case in FindText, bit 1: case-sensitive
// ReplaceText), byte 1 the start position of FindText as a signed byte (-128..127), and the rest,
// cut at its zero bytes, the text, the search text and the replacement.
//
// FindText, ReplaceText and SplitText are compared with plain scans written here from their rules:
// one candidate position per character, each compared in full. The project's versions share a
// linear-time matcher, which these scans do not use.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "text/text.h"

namespace {

constexpr char kFullWidthSpace[] = "\xA1\xA1";

unsigned char Fold(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

// The next candidate after `at`: one byte on for a byte below 0x80, two for 0x80 and above.
std::size_t NextCandidate(const Text& text, std::size_t at) {
  return at + (static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1);
}

bool MatchesAt(const Text& text, std::size_t at, const Text& search, bool ignoreCase) {
  if (text.size() - at < search.size())
    return false;
  for (std::size_t k = 0; k < search.size(); ++k) {
    const bool same =
        ignoreCase ? Fold(text[at + k]) == Fold(search[k]) : text[at + k] == search[k];
    if (!same)
      return false;
  }
  return true;
}

int PlainFind(const Text& text, const Text& search, int start, bool ignoreCase) {
  const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (from >= text.size())
    return -1;
  if (search.empty())
    return 1;
  for (std::size_t at = from; at < text.size(); at = NextCandidate(text, at)) {
    if (MatchesAt(text, at, search, ignoreCase))
      return static_cast<int>(at + 1);
  }
  return -1;
}

Text PlainReplace(const Text& text, const Text& search, const Text& replacement,
                  bool caseSensitive) {
  if (text.empty() || search.empty())
    return text;
  Text out;
  std::size_t at = 0;
  while (at < text.size()) {
    if (MatchesAt(text, at, search, !caseSensitive)) {
      out += replacement;
      at += search.size();
    } else {
      const std::size_t next = std::min(NextCandidate(text, at), text.size());
      out.append(text, at, next - at);
      at = next;
    }
  }
  return out;
}

TextList PlainSplit(const Text& text, const Text& separator) {
  if (text.empty())
    return {};
  if (separator.empty())
    return {text};
  TextList items;
  std::size_t itemStart = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (MatchesAt(text, at, separator, false)) {
      items.push_back(text.substr(itemStart, at - itemStart));
      at += separator.size();
      itemStart = at;
    } else {
      at = NextCandidate(text, at);
    }
  }
  if (itemStart < text.size())
    items.push_back(text.substr(itemStart));
  return items;
}

Text PlainUpperCase(const Text& text) {
  Text upper = text;
  for (std::size_t at = 0; at < upper.size(); at = NextCandidate(upper, at)) {
    if (upper[at] >= 'a' && upper[at] <= 'z')
      upper[at] = static_cast<char>(upper[at] - 32);
  }
  return upper;
}

Text FoldAll(const Text& text) {
  Text folded;
  for (char byte : text)
    folded += static_cast<char>(Fold(byte));
  return folded;
}

bool EndsWith(const Text& text, const Text& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckFind(const Text& text, const Text& search, int start, bool ignoreCase) {
  const int found = FindText(text, search, start, ignoreCase);
  FUZZ_CHECK(found == PlainFind(text, search, start, ignoreCase));
  // Folding changes only bytes below 0x80, so it leaves the characters where they are.
  FUZZ_CHECK(FindText(text, search, start, true) ==
             FindText(FoldAll(text), FoldAll(search), start, false));
}

void CheckReplace(const Text& text, const Text& search, const Text& replacement,
                  bool caseSensitive) {
  FUZZ_CHECK(ReplaceText(text, search, replacement, caseSensitive) ==
             PlainReplace(text, search, replacement, caseSensitive));
  // Putting the search text back where it was found keeps the text, up to the letter case of the
  // matches when they were found ignoring it.
  const Text same = ReplaceText(text, search, search, caseSensitive);
  if (caseSensitive) {
    FUZZ_CHECK(same == text);
  } else {
    FUZZ_CHECK(same.size() == text.size() && FoldAll(same) == FoldAll(text));
  }
}

void CheckSplit(const Text& text, const Text& separator) {
  const TextList items = SplitText(text, separator);
  FUZZ_CHECK(items == PlainSplit(text, separator));
  if (text.empty()) {
    FUZZ_CHECK(items.empty());
    return;
  }
  // Joined again, the items give the text, less a separator at its very end.
  const Text joined = Join(items, separator);
  if (separator.empty() || !EndsWith(text, separator)) {
    FUZZ_CHECK(joined == text);
  } else {
    FUZZ_CHECK(joined == text || joined + separator == text);
  }
  for (const Text& item : items)
    FUZZ_CHECK(separator.empty() || FindText(item, separator) == -1);
}

void CheckCaseAndSpaces(const Text& text) {
  const Text upper = ToUpperCase(text);
  FUZZ_CHECK(upper.size() == text.size());
  FUZZ_CHECK(upper == PlainUpperCase(text));
  FUZZ_CHECK(ToUpperCase(upper) == upper);

  const Text trimmed = TrimBothEnds(text);
  FUZZ_CHECK(TrimBothEnds(trimmed) == trimmed);
  FUZZ_CHECK(text.find(trimmed) != Text::npos);
  FUZZ_CHECK(trimmed.empty() || (trimmed[0] != ' ' && trimmed.rfind(kFullWidthSpace, 0) != 0));

  const Text compact = RemoveAllSpaces(text);
  FUZZ_CHECK(compact.size() <= text.size());
  FUZZ_CHECK(RemoveAllSpaces(compact) == compact);
  FUZZ_CHECK(PlainFind(compact, " ", 1, false) == -1);
  FUZZ_CHECK(PlainFind(compact, kFullWidthSpace, 1, false) == -1);
  // Trimming only takes away spaces that removing all of them takes away too.
  FUZZ_CHECK(RemoveAllSpaces(trimmed) == compact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2)
    return 0;
  const bool ignoreCase = (data[0] & 1) != 0;
  const bool caseSensitive = (data[0] & 2) != 0;
  const int start = static_cast<signed char>(data[1]);
  const TextList texts = CutInput(data + 2, size - 2, 3);
  const Text& text = texts[0];
  const Text& search = texts[1];
  const Text& replacement = texts[2];

  CheckFind(text, search, start, ignoreCase);
  CheckReplace(text, search, replacement, caseSensitive);
  CheckSplit(text, search);
  CheckCaseAndSpaces(text);
  return 0;
}
