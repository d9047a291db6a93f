#include "web/cookies.h"

#include <string_view>
#include <unordered_set>

namespace {

constexpr char kSetCookie[] = "set-cookie:";
constexpr char kItemSeparator[] = "; ";
constexpr char kDeletedMark[] = "=deleted";

// Trims the text and completes a final ';' to a whole separator.
Text TrimCookieText(const Text& text) {
  Text trimmed = TrimBothEnds(text);
  if (!trimmed.empty() && trimmed.back() == ';')
    trimmed += ' ';
  return trimmed;
}

}  // namespace

Text ExtractResponseCookies(const TextList& lines) {
  const int cookieStart = TextLength(kSetCookie) + 1;
  Text cookies;
  for (const Text& line : lines) {
    if (FindText(line, kSetCookie, 1, true) != 1)
      continue;
    const int semicolon = FindText(line, ";", cookieStart, false);
    // Without a ';' the whole rest of the line is the cookie.
    const int cookieLength =
        semicolon == -1 ? TextLength(line) - cookieStart + 1 : semicolon - cookieStart;
    if (!cookies.empty())
      cookies += kItemSeparator;
    cookies += TrimBothEnds(TextMid(line, cookieStart, cookieLength));
  }
  return cookies;
}

Text MergeCookies(Text& sent, Text& returned) {
  sent = TrimCookieText(sent);
  returned = TrimCookieText(returned);
  const TextList sentItems = SplitText(sent, kItemSeparator);
  TextList merged = SplitText(returned, kItemSeparator);

  // The names of `merged`, kept as it grows, in place of a scan per sent item.
  std::unordered_set<Text> names;
  for (const Text& item : merged)
    names.insert(CookieNameOf(item));
  for (const Text& item : sentItems) {
    if (names.insert(CookieNameOf(item)).second)
      merged.push_back(item);
  }

  Text kept;
  for (const Text& item : merged) {
    if (TextRight(item, TextLength(kDeletedMark)) == kDeletedMark)
      continue;
    kept += item;
    kept += kItemSeparator;
  }
  sent =
      JoinDistinct(TextLeft(kept, TextLength(kept) - TextLength(kItemSeparator)), kItemSeparator);
  return sent;
}

Text CookieNameOf(const Text& item) {
  const int equals = FindText(item, "=");
  return TrimBothEnds(equals == -1 ? item : TextLeft(item, equals - 1));
}

bool HasCookieNamed(const TextList& list, const Text& name) {
  for (const Text& item : list) {
    if (CompareText(CookieNameOf(item), name) == 0)
      return true;
  }
  return false;
}

Text JoinDistinct(const Text& text, const Text& separator) {
  const TextList items = SplitText(text, separator);
  std::unordered_set<std::string_view> seen;  // views into `items`
  Text distinct;
  distinct.reserve(text.size());
  for (const Text& item : items) {
    if (!seen.insert(item).second)
      continue;
    distinct += item;
    distinct += separator;
  }
  return TextLeft(distinct, TextLength(distinct) - TextLength(separator));
}

int IndexInList(const TextList& list, const Text& item) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (CompareText(list[i], item) == 0)
      return static_cast<int>(i + 1);
  }
  return -1;
}
