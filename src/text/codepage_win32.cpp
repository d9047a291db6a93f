// Code page 936 conversions through the Windows converters, with the code page named explicitly.
#include <windows.h>

#include "text/codepage.h"

namespace {

constexpr UINT kCodePage936 = 936;

}  // namespace

Text Utf16ToText(std::u16string_view utf16) {
  const std::size_t end = utf16.find(u'\0');
  if (end != std::u16string_view::npos)
    utf16 = utf16.substr(0, end);
  if (utf16.empty())
    return Text();
  const auto* wide = reinterpret_cast<const wchar_t*>(utf16.data());
  const int units = static_cast<int>(utf16.size());
  // No best-fit: a character that code page 936 lacks becomes "?", not a look-alike.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int size = WideCharToMultiByte(kCodePage936, flags, wide, units, nullptr, 0, "?", nullptr);
  if (size <= 0)
    return Text();
  Text text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(kCodePage936, flags, wide, units, text.data(), size, "?", nullptr);
  return text;
}

std::u16string TextToUtf16(const Text& text) {
  if (text.empty())
    return std::u16string();
  const int bytes = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(kCodePage936, 0, text.data(), bytes, nullptr, 0);
  if (size <= 0)
    return std::u16string();
  std::u16string utf16(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(kCodePage936, 0, text.data(), bytes, reinterpret_cast<wchar_t*>(utf16.data()),
                      size);
  return utf16;
}
