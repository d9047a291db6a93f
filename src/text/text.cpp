#include "text/text.h"

#include <string_view>

#include "text/text_search.h"

namespace {

bool IsLeadByte(char byte) {
  return static_cast<unsigned char>(byte) >= 0x80;
}

// Length of the character that begins at `at`; a lead byte at the very end stands alone.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  return (IsLeadByte(text[at]) && at + 1 < text.size()) ? 2 : 1;
}

// Length of the space character that begins at `at`, or 0 when none does.
std::size_t SpaceLength(std::string_view text, std::size_t at) {
  if (text[at] == ' ')
    return 1;
  if (text[at] == '\xA1' && at + 1 < text.size() && text[at + 1] == '\xA1')
    return 2;
  return 0;
}

}  // namespace

int TextLength(const Text& text) {
  return static_cast<int>(text.size());
}

Text TextLeft(const Text& text, int count) {
  if (count <= 0)
    return Text();
  return text.substr(0, static_cast<std::size_t>(count));
}

Text TextRight(const Text& text, int count) {
  if (count <= 0)
    return Text();
  if (static_cast<std::size_t>(count) >= text.size())
    return text;
  return text.substr(text.size() - static_cast<std::size_t>(count));
}

Text TextMid(const Text& text, int start, int count) {
  if (start < 1 || start > TextLength(text) || count <= 0)
    return Text();
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

int FindText(const Text& text, const Text& search, int start, bool ignoreCase) {
  const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (from >= text.size())
    return -1;
  if (search.empty())
    return 1;
  const std::size_t found = TextMatcher(text, search, ignoreCase).FindFrom(from);
  return found == TextMatcher::kNotFound ? -1 : static_cast<int>(found + 1);
}

Text ToUpperCase(const Text& text) {
  Text upper = text;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    if (IsLeadByte(upper[i])) {
      ++i;  // the second byte of a double-byte character is never a letter
    } else if (upper[i] >= 'a' && upper[i] <= 'z') {
      upper[i] = static_cast<char>(upper[i] - 32);
    }
  }
  return upper;
}

Text TrimBothEnds(const Text& text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t space = SpaceLength(text, begin);
    if (space == 0)
      break;
    begin += space;
  }
  std::size_t end = begin;  // just past the last character that is not a space
  for (std::size_t i = begin; i < text.size();) {
    const std::size_t space = SpaceLength(text, i);
    const std::size_t length = space != 0 ? space : CharacterLength(text, i);
    if (space == 0)
      end = i + length;
    i += length;
  }
  return text.substr(begin, end - begin);
}

Text RemoveAllSpaces(const Text& text) {
  Text kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t space = SpaceLength(text, i);
    if (space != 0) {
      i += space;
      continue;
    }
    const std::size_t length = CharacterLength(text, i);
    kept.append(text, i, length);
    i += length;
  }
  return kept;
}

Text ReplaceText(const Text& text, const Text& search, const Text& replacement,
                 bool caseSensitive) {
  if (text.empty() || search.empty())
    return text;
  TextMatcher matcher(text, search, !caseSensitive);
  Text replaced;
  replaced.reserve(text.size());
  std::size_t done = 0;
  for (;;) {
    const std::size_t found = matcher.FindFrom(done);
    if (found == TextMatcher::kNotFound)
      break;
    replaced.append(text, done, found - done);
    replaced.append(replacement);
    done = found + search.size();
  }
  replaced.append(text, done, std::string::npos);
  return replaced;
}

TextList SplitText(const Text& text, const Text& separator) {
  if (text.empty())
    return TextList();
  if (separator.empty())
    return TextList{text};
  TextMatcher matcher(text, separator, false);
  TextList pieces;
  std::size_t done = 0;
  for (;;) {
    const std::size_t found = matcher.FindFrom(done);
    if (found == TextMatcher::kNotFound)
      break;
    pieces.emplace_back(text, done, found - done);
    done = found + separator.size();
  }
  if (done < text.size())
    pieces.emplace_back(text, done, std::string::npos);
  return pieces;
}

Text JoinText(const Text& a, const Text& b) {
  return JoinText(a, b, Text(), Text());
}

Text JoinText(const Text& a, const Text& b, const Text& c) {
  return JoinText(a, b, c, Text());
}

Text JoinText(const Text& a, const Text& b, const Text& c, const Text& d) {
  Text joined;
  joined.reserve(a.size() + b.size() + c.size() + d.size());
  joined.append(a).append(b).append(c).append(d);
  return joined;
}

int CompareText(const Text& a, const Text& b) {
  const int order = a.compare(b);  // char_traits<char> compares as unsigned char
  return (order > 0) - (order < 0);
}

Bytes TextToBytes(const Text& text) {
  return Bytes(text.begin(), text.end());
}
