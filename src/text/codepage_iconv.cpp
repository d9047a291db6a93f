// Code page 936 conversions through glibc's iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>

#include "text/codepage.h"

namespace {

// Windows' code page 936 gives the private-use characters U+E000..U+E864 the user-defined and
// unassigned double-byte codes, and U+F8F5 the single byte 0xFF; glibc's CP936 has none of them.
// These runs map consecutive characters to consecutive codes (second bytes skip 0x7F; a run in
// the 0xA1..0xFE range moves on to the next lead byte after 0xFE), so both builds agree byte for
// byte.
struct PrivateUseRun {
  std::uint16_t first;
  std::uint16_t count;
  std::uint8_t lead;
  std::uint8_t trail;
};

constexpr PrivateUseRun kPrivateUseRuns[] = {
    {0xE000, 564, 0xAA, 0xA1}, {0xE234, 658, 0xF8, 0xA1}, {0xE4C6, 96, 0xA1, 0x40},
    {0xE526, 96, 0xA2, 0x40},  {0xE586, 96, 0xA3, 0x40},  {0xE5E6, 96, 0xA4, 0x40},
    {0xE646, 96, 0xA5, 0x40},  {0xE6A6, 96, 0xA6, 0x40},  {0xE706, 96, 0xA7, 0x40},
    {0xE766, 6, 0xA2, 0xAB},   {0xE76C, 2, 0xA2, 0xE3},   {0xE76E, 2, 0xA2, 0xEF},
    {0xE770, 2, 0xA2, 0xFD},   {0xE772, 11, 0xA4, 0xF4},  {0xE77D, 8, 0xA5, 0xF7},
    {0xE785, 8, 0xA6, 0xB9},   {0xE78D, 7, 0xA6, 0xD9},   {0xE794, 2, 0xA6, 0xEC},
    {0xE796, 1, 0xA6, 0xF3},   {0xE797, 9, 0xA6, 0xF6},   {0xE7A0, 15, 0xA7, 0xC2},
    {0xE7AF, 13, 0xA7, 0xF2},  {0xE7BC, 11, 0xA8, 0x96},  {0xE7C7, 1, 0xA8, 0xBC},
    {0xE7C8, 1, 0xA8, 0xBF},   {0xE7C9, 4, 0xA8, 0xC1},   {0xE7CD, 21, 0xA8, 0xEA},
    {0xE7E2, 1, 0xA9, 0x58},   {0xE7E3, 1, 0xA9, 0x5B},   {0xE7E4, 3, 0xA9, 0x5D},
    {0xE7E7, 13, 0xA9, 0x89},  {0xE7F4, 13, 0xA9, 0x97},  {0xE801, 15, 0xA9, 0xF0},
    {0xE810, 5, 0xD7, 0xFA},   {0xE815, 80, 0xFE, 0x50},
};

std::string PrivateUseToText(char16_t unit) {
  if (unit == 0xF8F5)
    return "\xFF";
  for (const PrivateUseRun& run : kPrivateUseRuns) {
    if (unit < run.first || unit >= run.first + run.count)
      continue;
    const unsigned offset = unit - run.first;
    unsigned lead = run.lead;
    unsigned trail;
    if (run.trail >= 0xA1) {
      const unsigned index = (run.trail - 0xA1u) + offset;
      lead += index / 94;
      trail = 0xA1 + index % 94;
    } else {
      const unsigned index = (run.trail < 0x7F ? run.trail - 0x40u : run.trail - 0x41u) + offset;
      trail = index < 63 ? 0x40 + index : 0x41 + index;
    }
    return std::string{static_cast<char>(lead), static_cast<char>(trail)};
  }
  return std::string();
}

// Owns one iconv conversion descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (handle_ != kInvalid)
      iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `input`, which consists of units of `unitSize` bytes. A unit that has no form in the
  // target, or is malformed, is replaced by what `fallback` makes of it and the conversion goes
  // on after it.
  std::string Run(std::string_view input, std::size_t unitSize,
                  const std::function<std::string(std::string_view unit)>& fallback) {
    std::string output;
    if (handle_ == kInvalid)
      return output;
    output.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (inLeft > 0) {
      char* out = output.data() + used;
      std::size_t outLeft = output.size() - used;
      const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
      used = output.size() - outLeft;
      if (result != static_cast<std::size_t>(-1))
        break;
      if (errno == E2BIG) {
        output.resize(output.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: the unit at `in` cannot be converted.
      const std::size_t skip = inLeft < unitSize ? inLeft : unitSize;
      const std::string replacement = fallback(std::string_view(in, skip));
      if (output.size() - used < replacement.size())
        output.resize(output.size() * 2 + 16);
      std::memcpy(output.data() + used, replacement.data(), replacement.size());
      used += replacement.size();
      in += skip;
      inLeft -= skip;
      iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    }
    output.resize(used);
    return output;
  }

 private:
  static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
  iconv_t handle_;
};

char16_t LittleEndianUnit(std::string_view bytes) {
  if (bytes.size() < 2)
    return u'?';
  return static_cast<char16_t>(static_cast<unsigned char>(bytes[0]) |
                               (static_cast<unsigned char>(bytes[1]) << 8));
}

}  // namespace

Text Utf16ToText(std::u16string_view utf16) {
  const std::size_t end = utf16.find(u'\0');
  if (end != std::u16string_view::npos)
    utf16 = utf16.substr(0, end);
  std::string littleEndian;
  littleEndian.reserve(utf16.size() * 2);
  for (char16_t unit : utf16) {
    littleEndian.push_back(static_cast<char>(unit & 0xFF));
    littleEndian.push_back(static_cast<char>(unit >> 8));
  }
  return Converter("CP936", "UTF-16LE").Run(littleEndian, 2, [](std::string_view unit) {
    const std::string privateUse = PrivateUseToText(LittleEndianUnit(unit));
    return privateUse.empty() ? std::string("?") : privateUse;
  });
}

std::u16string TextToUtf16(const Text& text) {
  const std::string littleEndian =
      Converter("UTF-16LE", "CP936").Run(text, 1, [](std::string_view) {
        return std::string("?\0", 2);
      });
  std::u16string utf16;
  utf16.reserve(littleEndian.size() / 2);
  for (std::size_t i = 0; i + 1 < littleEndian.size(); i += 2) {
    utf16.push_back(LittleEndianUnit(std::string_view(littleEndian).substr(i, 2)));
  }
  return utf16;
}
