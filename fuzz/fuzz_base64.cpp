// Base64Encode on arbitrary bytes; the whole input is the data.
//
// The encoding is checked by its form (length, alphabet, padding) and by decoding it again with a
// small decoder written here.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "text/text.h"
#include "web/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of an alphabet character, or -1.
int SextetOf(char c) {
  const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
  return found == nullptr ? -1 : static_cast<int>(found - kAlphabet);
}

// Decodes groups of four characters; the caller has checked the form.
Bytes Decode(const Text& encoded) {
  Bytes decoded;
  for (std::size_t i = 0; i < encoded.size(); i += 4) {
    std::uint32_t group = 0;
    int padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const int sextet = SextetOf(encoded[i + k]);
      padding += sextet < 0 ? 1 : 0;
      group = (group << 6) | static_cast<std::uint32_t>(sextet < 0 ? 0 : sextet);
    }
    decoded.push_back(static_cast<std::uint8_t>(group >> 16));
    if (padding < 2)
      decoded.push_back(static_cast<std::uint8_t>(group >> 8));
    if (padding < 1)
      decoded.push_back(static_cast<std::uint8_t>(group));
  }
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input(data, data + size);
  const Text encoded = Base64Encode(input);

  FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
  // Alphabet characters, then as many '=' as the last group lacks bytes.
  const std::size_t padding = (3 - size % 3) % 3;
  const std::size_t characters = encoded.size() - padding;
  for (std::size_t i = 0; i < encoded.size(); ++i)
    FUZZ_CHECK(i < characters ? SextetOf(encoded[i]) >= 0 : encoded[i] == '=');
  // The bits that padding leaves over are zero, as the standard form has them.
  if (padding != 0)
    FUZZ_CHECK((SextetOf(encoded[characters - 1]) & (padding == 1 ? 0x03 : 0x0F)) == 0);

  FUZZ_CHECK(Decode(encoded) == input);
  return 0;
}
