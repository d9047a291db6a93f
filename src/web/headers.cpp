#include "web/headers.h"

namespace {

constexpr char kLineBreak[] = "\r\n";

Text CapitalizeWords(const Text& name) {
  if (FindText(name, "-") == -1)
    return CapitalizeFirst(name);
  const TextList words = SplitText(name, "-");
  Text capitalized;
  capitalized.reserve(name.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0)
      capitalized += '-';
    capitalized += CapitalizeFirst(words[i]);
  }
  return capitalized;
}

}  // namespace

Text NormalizeHeaderNames(const Text& block) {
  Text normalized;
  normalized.reserve(block.size());
  for (const Text& line : SplitText(block, kLineBreak)) {
    const int colon = FindText(line, ":");
    if (colon == -1)
      continue;
    const Text newName = CapitalizeWords(TextMid(line, 1, colon - 1));
    // A name ending in '-' comes back one byte short; the rest of the line restores that byte.
    normalized += newName;
    normalized += TextRight(line, TextLength(line) - TextLength(newName));
    normalized += kLineBreak;
  }
  return TextLeft(normalized, TextLength(normalized) - TextLength(kLineBreak));
}

Text CapitalizeFirst(const Text& word) {
  return JoinText(ToUpperCase(TextLeft(word, 1)), TextMid(word, 2, TextLength(word)));
}

Text HeaderNameOf(const Text& line) {
  const int colon = FindText(line, ":");
  if (colon == -1)
    return Text();
  return TrimBothEnds(TextLeft(line, colon - 1));
}

Text HeaderValueOf(const Text& line) {
  const int colon = FindText(line, ":");
  if (colon == -1)
    return Text();
  return TrimBothEnds(TextRight(line, TextLength(line) - colon));
}
