// Text and byte primitives.
//
// A Text is a byte string in code page 936 (GBK): a byte below 0x80 is a character of its own, a
// byte of 0x80 or above starts a double-byte character with the byte after it. Lengths and
// positions count bytes; positions start at 1 and a search that finds nothing gives -1. Spaces are
// the ASCII space and the full-width space 0xA1 0xA1; letter case exists only for ASCII letters.
//
// Every primitive is a pure function, linear in the length of its input, and never fails: counts
// and positions out of range give the empty value or -1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Text = std::string;                 // code page 936 bytes, no zero byte
using Bytes = std::vector<std::uint8_t>;  // any bytes, zero included
using TextList = std::vector<Text>;       // items addressed 1..count by the callers

int TextLength(const Text& text);
Text TextLeft(const Text& text, int count);
Text TextRight(const Text& text, int count);
Text TextMid(const Text& text, int start, int count);

// Position of the first match of `search` at or after `start` that begins on a character, or -1.
// With `ignoreCase` the 26 ASCII letters are folded in every compared byte.
int FindText(const Text& text, const Text& search, int start, bool ignoreCase);
inline int FindText(const Text& text, const Text& search, bool ignoreCase = false) {
  return FindText(text, search, 1, ignoreCase);
}

Text ToUpperCase(const Text& text);
Text TrimBothEnds(const Text& text);
Text RemoveAllSpaces(const Text& text);

// Replaces every occurrence, left to right, without overlaps. Note the sense of the flag: true asks
// for exact matching, false folds ASCII letter case.
Text ReplaceText(const Text& text, const Text& search, const Text& replacement, bool caseSensitive);

// Pieces between the separators; a separator at the very end gives no empty last piece.
TextList SplitText(const Text& text, const Text& separator);

Text JoinText(const Text& a, const Text& b);
Text JoinText(const Text& a, const Text& b, const Text& c);
Text JoinText(const Text& a, const Text& b, const Text& c, const Text& d);

// -1, 0 or 1, comparing bytes as unsigned values.
int CompareText(const Text& a, const Text& b);

Bytes TextToBytes(const Text& text);

// Decodes UTF-8 up to the first malformed sequence or zero character and converts the characters
// to code page 936, "?" standing for each one that code page 936 lacks.
Text Utf8ToText(const Bytes& utf8);
