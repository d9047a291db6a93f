// Conversion between UTF-16 and code page 936, always with code page 936 named explicitly, never
// the machine's ANSI code page. One implementation per platform.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

// Each UTF-16 unit that code page 936 cannot represent (lone surrogates included) becomes "?".
// The result ends before the first zero unit.
Text Utf16ToText(std::u16string_view utf16);

// Code page 936 to UTF-16; a lead byte without its second byte becomes U+003F.
std::u16string TextToUtf16(const Text& text);

// Code page 936 to UTF-8, through TextToUtf16.
std::string TextToUtf8(const Text& text);
