// NormalizeHeaderNames, HeaderNameOf and HeaderValueOf on arbitrary header blocks.
//
// Input: the bytes before the first zero byte are the header block.
//
// Lines and colons are found here with SplitText and FindText, as the routines under test find
// them; those primitives have their own fuzz target.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "text/text.h"
#include "web/headers.h"

namespace {

constexpr char kLineBreak[] = "\r\n";

// The line as normalising leaves it: within the name (the `nameLength` bytes before the colon),
// the first byte and each byte after a '-' that stands on a character are upper-cased.
Text ExpectedNormalizedLine(const Text& line, std::size_t nameLength) {
  Text expected = line;
  bool wordStart = true;
  for (std::size_t at = 0; at < nameLength;) {
    if (wordStart && line[at] >= 'a' && line[at] <= 'z')
      expected[at] = static_cast<char>(line[at] - 32);
    wordStart = line[at] == '-';
    at += static_cast<unsigned char>(line[at]) >= 0x80 ? 2 : 1;
  }
  return expected;
}

void CheckNameAndValue(const Text& line) {
  const Text name = HeaderNameOf(line);
  const Text value = HeaderValueOf(line);
  const int colon = FindText(line, ":");
  if (colon == -1) {
    FUZZ_CHECK(name.empty() && value.empty());
    return;
  }
  const auto nameLength = static_cast<std::size_t>(colon - 1);
  FUZZ_CHECK(name.size() + value.size() < line.size());
  FUZZ_CHECK(name == TrimBothEnds(line.substr(0, nameLength)));
  FUZZ_CHECK(FindText(name, ":") == -1);
  // The value is a piece of what follows the first colon, colons and all.
  FUZZ_CHECK(line.find(value, nameLength + 1) != Text::npos);
  FUZZ_CHECK(value == TrimBothEnds(line.substr(nameLength + 1)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text block = CutInput(data, size, 1)[0];
  const TextList lines = SplitText(block, kLineBreak);

  const Text normalized = NormalizeHeaderNames(block);
  FUZZ_CHECK(NormalizeHeaderNames(normalized) == normalized);

  // The lines that hold a ':' survive, in order, each with its length and its value.
  TextList kept;
  for (const Text& line : lines) {
    if (FindText(line, ":") != -1)
      kept.push_back(line);
  }
  const TextList out = SplitText(normalized, kLineBreak);
  FUZZ_CHECK(out.size() == kept.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    FUZZ_CHECK(out[i].size() == kept[i].size());
    const auto nameLength = static_cast<std::size_t>(FindText(kept[i], ":") - 1);
    FUZZ_CHECK(out[i] == ExpectedNormalizedLine(kept[i], nameLength));
    FUZZ_CHECK(HeaderValueOf(out[i]) == HeaderValueOf(kept[i]));
  }

  CheckNameAndValue(block);
  for (const Text& line : lines)
    CheckNameAndValue(line);
  return 0;
}
