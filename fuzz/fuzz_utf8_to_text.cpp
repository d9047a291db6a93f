// Utf8ToText on arbitrary bytes. Input: the whole input is the UTF-8 argument; its first byte also
// picks where the prefix check cuts it.
//
// A plain walk over the input finds the sequences that the decoder takes, and the result is
// checked against them: never a zero byte, one code page 936 character per sequence, an ASCII
// value as itself. A prefix of the input decodes to a prefix of the result, and the two halves of
// the input cut between two sequences decode to the two halves of the result.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "text/text.h"

namespace {

// Length of the UTF-8 sequence that `byte` begins (1 to 6), or 0 when it cannot begin one.
std::size_t SequenceLength(std::uint8_t byte) {
  if (byte < 0x80)
    return 1;
  if (byte < 0xC0)
    return 0;
  if (byte < 0xE0)
    return 2;
  if (byte < 0xF0)
    return 3;
  if (byte < 0xF8)
    return 4;
  if (byte < 0xFC)
    return 5;
  if (byte < 0xFE)
    return 6;
  return 0;
}

struct Sequence {
  std::size_t at;
  std::uint32_t value;  // overlong forms included, so a longer sequence may hold an ASCII value
};

// The sequences decoded before decoding ends: at a byte that cannot begin a sequence, a sequence
// cut short by the end or holding a byte that is not 0x80..0xBF, or the character U+0000.
std::vector<Sequence> DecodedSequences(const Bytes& input) {
  std::vector<Sequence> sequences;
  std::size_t at = 0;
  while (at < input.size()) {
    const std::size_t length = SequenceLength(input[at]);
    if (length == 0 || input.size() - at < length)
      break;
    // The first byte carries 7 value bits in ASCII, 7 - length bits otherwise.
    std::uint32_t value = input[at] & (length == 1 ? 0x7Fu : 0x7Fu >> length);
    bool broken = false;
    for (std::size_t k = 1; k < length; ++k) {
      broken = broken || (input[at + k] & 0xC0) != 0x80;
      value = (value << 6) | (input[at + k] & 0x3Fu);
    }
    if (broken || value == 0)
      break;
    sequences.push_back({at, value});
    at += length;
  }
  return sequences;
}

// Splits code page 936 bytes into characters: a byte below 0x80, the single bytes 0x80 (the euro
// sign) and 0xFF, or a lead byte 0x81..0xFE followed by a trail byte 0x40..0xFE other than 0x7F.
// Returns false when a lead byte lacks a valid trail byte.
bool SplitCodePage936(const Text& text, TextList* characters) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 1;
    if (byte > 0x80 && byte < 0xFF) {
      if (i + 1 == text.size())
        return false;
      const auto trail = static_cast<std::uint8_t>(text[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
        return false;
      length = 2;
    }
    characters->push_back(text.substr(i, length));
    i += length;
  }
  return true;
}

Bytes Slice(const Bytes& input, std::size_t begin, std::size_t end) {
  return Bytes(input.begin() + static_cast<std::ptrdiff_t>(begin),
               input.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input(data, data + size);
  const Text text = Utf8ToText(input);
  const std::vector<Sequence> sequences = DecodedSequences(input);

  FUZZ_CHECK(text.find('\0') == Text::npos);
  TextList characters;
  FUZZ_CHECK(SplitCodePage936(text, &characters));
  FUZZ_CHECK(characters.size() == sequences.size());
  FUZZ_CHECK(text.size() <= 2 * sequences.size());
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    if (sequences[i].value < 0x80) {
      FUZZ_CHECK(characters[i] == Text(1, static_cast<char>(sequences[i].value)));
    } else {
      // A character beyond ASCII never turns into an ASCII one, except the "?" that stands for a
      // character code page 936 lacks.
      FUZZ_CHECK(characters[i] == "?" || static_cast<std::uint8_t>(characters[i][0]) >= 0x80);
    }
  }

  // Any prefix of the input decodes to a prefix of the result.
  const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  const Text prefix = Utf8ToText(Slice(input, 0, cut));
  FUZZ_CHECK(text.compare(0, prefix.size(), prefix) == 0);

  // Cut between two decoded sequences, the two halves decode to the two halves of the result.
  if (!sequences.empty()) {
    const std::size_t boundary = sequences[sequences.size() / 2].at;
    const Text head = Utf8ToText(Slice(input, 0, boundary));
    const Text tail = Utf8ToText(Slice(input, boundary, size));
    FUZZ_CHECK(head + tail == text);
  }
  return 0;
}
