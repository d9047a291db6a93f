// ExtractResponseCookies, MergeCookies and JoinDistinct on arbitrary texts.
//
// Input, cut at its zero bytes: the response header text (split at CR LF into the lines), the
// sent cookies, the returned cookies, and a separator for JoinDistinct.
//
// The merge and the removal of repeats are also redone here the plain way, with the list
// routines HasCookieNamed and IndexInList that scan a list item by item; the project's versions
// keep hash sets instead.
#include <cstddef>
#include <cstdint>
#include <set>

#include "fuzz_support.h"
#include "text/text.h"
#include "web/cookies.h"

namespace {

constexpr char kItemSeparator[] = "; ";
constexpr char kSetCookie[] = "set-cookie:";

bool IsSetCookieLine(const Text& line) {
  return FindText(line, kSetCookie, 1, true) == 1;
}

// One Set-Cookie line's contribution: the trimmed bytes between the colon and the first ';' on a
// character, or up to the end of the line when there is none.
Text CookieOfLine(const Text& line) {
  const std::size_t start = sizeof kSetCookie - 1;
  std::size_t end = start;
  while (end < line.size() && line[end] != ';')
    end += static_cast<unsigned char>(line[end]) >= 0x80 ? 2 : 1;
  return TrimBothEnds(line.substr(start, end - start));
}

Text PlainExtract(const TextList& lines) {
  Text cookies;
  for (const Text& line : lines) {
    if (!IsSetCookieLine(line))
      continue;
    if (!cookies.empty())
      cookies += kItemSeparator;
    cookies += CookieOfLine(line);
  }
  return cookies;
}

Text TrimCookieText(const Text& text) {
  const Text trimmed = TrimBothEnds(text);
  return !trimmed.empty() && trimmed.back() == ';' ? trimmed + " " : trimmed;
}

// The distinct items of the text, in the order of their first occurrence.
TextList FirstOccurrences(const Text& text, const Text& separator) {
  TextList distinct;
  for (const Text& item : SplitText(text, separator)) {
    if (IndexInList(distinct, item) == -1)
      distinct.push_back(item);
  }
  return distinct;
}

Text PlainMerge(const Text& sent, const Text& returned) {
  TextList merged = SplitText(TrimCookieText(returned), kItemSeparator);
  for (const Text& item : SplitText(TrimCookieText(sent), kItemSeparator)) {
    if (!HasCookieNamed(merged, CookieNameOf(item)))
      merged.push_back(item);
  }
  TextList kept;
  for (const Text& item : merged) {
    if (TextRight(item, 8) != "=deleted")
      kept.push_back(item);
  }
  return Join(FirstOccurrences(Join(kept, kItemSeparator), kItemSeparator), kItemSeparator);
}

bool AllDifferent(const TextList& items) {
  return std::set<Text>(items.begin(), items.end()).size() == items.size();
}

void CheckExtract(const Text& headers) {
  const TextList lines = SplitText(headers, "\r\n");
  const Text cookies = ExtractResponseCookies(lines);
  FUZZ_CHECK(cookies == PlainExtract(lines));
  // Lines other than Set-Cookie lines add nothing.
  TextList setCookieLines;
  for (const Text& line : lines) {
    if (IsSetCookieLine(line))
      setCookieLines.push_back(line);
  }
  FUZZ_CHECK(ExtractResponseCookies(setCookieLines) == cookies);
}

void CheckMerge(const Text& sentBefore, const Text& returnedBefore) {
  Text sent = sentBefore;
  Text returned = returnedBefore;
  const Text merged = MergeCookies(sent, returned);
  FUZZ_CHECK(sent == merged);
  FUZZ_CHECK(returned == TrimCookieText(returnedBefore));
  FUZZ_CHECK(merged == PlainMerge(sentBefore, returnedBefore));
  const TextList items = SplitText(merged, kItemSeparator);
  for (const Text& item : items)
    FUZZ_CHECK(TextRight(item, 8) != "=deleted");
  FUZZ_CHECK(AllDifferent(items));
}

void CheckJoinDistinct(const Text& text, const Text& separator) {
  const Text distinct = JoinDistinct(text, separator);
  TextList expected = FirstOccurrences(text, separator);
  FUZZ_CHECK(distinct == Join(expected, separator));
  // Split again, the result gives each item once, in the order of first occurrence; an empty last
  // item leaves only the final separator behind, which splitting drops.
  const bool endsInEmptyItem = !expected.empty() && expected.back().empty();
  if (endsInEmptyItem)
    expected.pop_back();
  const TextList items = SplitText(distinct, separator);
  FUZZ_CHECK(AllDifferent(items));
  FUZZ_CHECK(items == expected);
  if (!endsInEmptyItem || expected.empty())
    FUZZ_CHECK(JoinDistinct(distinct, separator) == distinct);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TextList texts = CutInput(data, size, 4);
  const Text& headers = texts[0];
  const Text& sent = texts[1];
  const Text& returned = texts[2];
  const Text& separator = texts[3];

  CheckExtract(headers);
  CheckMerge(sent, returned);
  CheckJoinDistinct(sent, kItemSeparator);
  CheckJoinDistinct(headers, separator);
  return 0;
}
