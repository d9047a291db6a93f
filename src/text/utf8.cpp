#include <cstdint>
#include <string>

#include "text/codepage.h"
#include "text/text.h"

namespace {

// Sequence length announced by a first byte, with the value bits it carries; 0 when the byte
// cannot begin a sequence.
struct Lead {
  int length;
  std::uint32_t bits;
};

Lead LeadOf(std::uint8_t byte) {
  if (byte < 0x80)
    return {1, byte};
  if (byte < 0xC0)
    return {0, 0};
  if (byte < 0xE0)
    return {2, byte & 0x1Fu};
  if (byte < 0xF0)
    return {3, byte & 0x0Fu};
  if (byte < 0xF8)
    return {4, byte & 0x07u};
  if (byte < 0xFC)
    return {5, byte & 0x03u};
  if (byte < 0xFE)
    return {6, byte & 0x01u};
  return {0, 0};
}

}  // namespace

Text Utf8ToText(const Bytes& utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const Lead lead = LeadOf(utf8[i]);
    if (lead.length == 0 || i + lead.length > utf8.size())
      break;
    std::uint32_t value = lead.bits;
    bool complete = true;
    for (int k = 1; k < lead.length; ++k) {
      const std::uint8_t next = utf8[i + k];
      if ((next & 0xC0) != 0x80) {
        complete = false;
        break;
      }
      value = (value << 6) | (next & 0x3Fu);
    }
    if (!complete || value == 0)
      break;
    // Code page 936 has no characters beyond the Basic Multilingual Plane and none for a
    // surrogate, so each of those is one "?" whatever the platform converter would make of it.
    const bool representable = value <= 0xFFFF && (value < 0xD800 || value > 0xDFFF);
    units.push_back(representable ? static_cast<char16_t>(value) : u'?');
    i += lead.length;
  }
  return Utf16ToText(units);
}

std::string TextToUtf8(const Text& text) {
  const std::u16string utf16 = TextToUtf16(text);
  std::string utf8;
  utf8.reserve(utf16.size() * 3);
  // Code page 936 lies in the Basic Multilingual Plane: one, two or three bytes per unit.
  for (char16_t unit : utf16) {
    if (unit < 0x80) {
      utf8 += static_cast<char>(unit);
    } else if (unit < 0x800) {
      utf8 += static_cast<char>(0xC0 | (unit >> 6));
      utf8 += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (unit >> 12));
      utf8 += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return utf8;
}
