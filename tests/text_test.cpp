#include "text/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text/codepage.h"

namespace {

// Byte escapes keep the code page 936 texts exact whatever the source encoding is.
const Text kZhongWen = "\xD6\xD0\xCE\xC4";  // 中文
const Text kFullWidthSpace = "\xA1\xA1";

Bytes B(const std::string& bytes) {
  return Bytes(bytes.begin(), bytes.end());
}

TEST(TextCut, LeftRightMid) {
  struct Case {
    Text got;
    Text expected;
  } cases[] = {
      {TextLeft("abc", 0), ""},    {TextLeft("abc", -1), ""},        {TextLeft("abc", 2), "ab"},
      {TextLeft("abc", 5), "abc"}, {TextLeft(kZhongWen, 1), "\xD6"},  // half a character is allowed
      {TextRight("abc", 2), "bc"}, {TextRight("abc", 8), "abc"},     {TextRight("abc", 0), ""},
      {TextRight("abc", -3), ""},  {TextMid("abcdef", 2, 3), "bcd"}, {TextMid("abc", 2, 10), "bc"},
      {TextMid("abc", 3, 1), "c"}, {TextMid("abc", 0, 2), ""},  // a start below 1 is not moved up
      {TextMid("abc", -5, 9), ""}, {TextMid("abc", 4, 1), ""},       {TextMid("abc", 1, 0), ""},
      {TextMid("", 1, 1), ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.got, c.expected);
  EXPECT_EQ(TextLength(kZhongWen), 4);
  EXPECT_EQ(TextLength(""), 0);
}

TEST(TextSearch, FindText) {
  struct Case {
    Text text;
    Text search;
    int start;
    bool ignoreCase;
    int expected;
  } cases[] = {
      {"a:b:c", ":", 1, false, 2},
      {"abc", "x", 1, false, -1},
      {"abc", "b", 0, false, 2},
      {"abc", "b", -7, false, 2},
      {"abc", "c", 9, false, -1},
      {"a;b;c", ";", 3, false, 4},  // counted from the first byte, not from the start
      {"Set-Cookie: a", "set-cookie:", 1, true, 1},
      {"Set-Cookie: a", "set-cookie:", 1, false, -1},
      {"abc", "", 3, false, 1},  // an empty search gives 1, not the start
      {"abc", "", 4, false, -1},
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"ab", "abc", 1, false, -1},
      {"abc", "abc", 1, false, 1},
      {"\xB0"
       "AA",
       "A", 1, false, 3},  // position 2 is the second byte of a character
      {"\xB0"
       "AA",
       "A", 2, false, 2},  // the starting byte is a candidate whatever it is
      {"\xB0"
       "A",
       "\xB0"
       "a",
       1, true, 1},  // folding applies to second bytes too
      {"\xB0"
       "A",
       "\xB0"
       "a",
       1, false, -1},
      {"x" + kZhongWen + "y", "\xD0\xCE", 1, false, -1},  // spans two characters
      {"x" + kZhongWen + "y", "\xCE\xC4", 1, false, 4},
      {"aaab", "aab", 1, false, 2},  // needs the failure function
      {"ABAB"
       "\xB1"
       "ABAC",
       "abac", 1, true, -1},  // only on a second byte
      {"AB"
       "\xB1"
       "ABAC"
       "ABAC",
       "abac", 1, true, 8},
      {"\xB1"
       "AB"
       "\xB1"
       "ABAB",
       "ABAB", 1, false, -1},
      {"\xB1"
       "AB"
       "\xB1"
       "ABABAB",
       "ABAB", 1, false, 7},
      {"Accept-Language: en", "Accept:", 1, true, -1},
      // Runs of lead bytes: only their parity decides where characters begin.
      {"a\xB0\xB1\xB2"
       "A",
       "A", 1, false, -1},
      {"\xB0\xB1\xB2\xB3"
       "A",
       "A", 1, false, 5},
      {"\xB0"
       "A"
       "\xB0"
       "AA",
       "A", 1, false, 5},
      {"\xB0\xB1\xB2"
       "AA"
       "\xB3\xB4"
       "A",
       "A", 2, false, 4},  // counted from the start
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.text, c.search, c.start, c.ignoreCase), c.expected)
        << "'" << c.text << "' / '" << c.search << "' from " << c.start;
  }
  EXPECT_EQ(FindText("a:b", ":"), 2);
  EXPECT_EQ(FindText("X-A: 1", "x-a:", true), 1);
}

TEST(TextSearch, FrequentRareByteFallsBackToTheLinearScan) {
  // ':' looks like the rarest byte of the pattern, but here it is everywhere: the comparisons
  // around it run out of budget and the search finishes with the linear scan.
  const Text colons(3000, ':');
  EXPECT_EQ(FindText(colons + "yyyyyyyy:", "yyyyyyyy:"), 3001);
  EXPECT_EQ(FindText(colons + "YYYYYYYY:", "yyyyyyyy:", 1, true), 3001);
  EXPECT_EQ(FindText(colons + "\xB0"
                              "yyyyyyyy:"
                              "yyyyyyyy:",
                     "yyyyyyyy:"),
            3011);
  EXPECT_EQ(FindText(colons, "yyyyyyyy:"), -1);
  EXPECT_EQ(ReplaceText(colons + "y:y:", "y:", "-", true), colons + "--");
}

TEST(TextSearch, MatchesOnlyOnCharacterStartsInLongRuns) {
  // Every 'A' here is a second byte; a naive byte search would find one at position 2.
  Text text;
  for (int i = 0; i < 1000; ++i)
    text +=
        "\xB0"
        "A";
  EXPECT_EQ(FindText(text, "A"), -1);
  EXPECT_EQ(FindText(text + "A", "A"), 2001);
  EXPECT_EQ(FindText(text + "AA", "AA"), 2001);
}

TEST(TextCase, ToUpperCase) {
  EXPECT_EQ(ToUpperCase("abc-Def 1"), "ABC-DEF 1");
  EXPECT_EQ(ToUpperCase("\xB0"
                        "a"),
            "\xB0"
            "a");
  EXPECT_EQ(ToUpperCase("\xB0"), "\xB0");
  EXPECT_EQ(ToUpperCase("z{`@"
                        "\xB0"
                        "ab"),
            "Z{`@"
            "\xB0"
            "aB");
  EXPECT_EQ(ToUpperCase(""), "");
}

TEST(TextSpaces, TrimBothEnds) {
  struct Case {
    Text text;
    Text expected;
  } cases[] = {
      {"  a b  ", "a b"},
      {"\ta ", "\ta"},  // tab is not a space
      {" a\r\n", "a\r\n"},
      {kFullWidthSpace + "a" + kFullWidthSpace, "a"},
      {" " + kFullWidthSpace + " ", ""},
      {"", ""},
      {"a" + kFullWidthSpace + "b", "a" + kFullWidthSpace + "b"},
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},   // 0xA1 0xA1 here is not a character of its own
      {"\xB0\xA1\xA1\xA1 ", "\xB0\xA1"},  // the second 0xA1 0xA1 is a space
  };
  for (const Case& c : cases)
    EXPECT_EQ(TrimBothEnds(c.text), c.expected) << c.text;
}

TEST(TextSpaces, RemoveAllSpaces) {
  EXPECT_EQ(RemoveAllSpaces(" 1.2. 3.4 \r\n"), "1.2.3.4\r\n");
  EXPECT_EQ(RemoveAllSpaces(kFullWidthSpace + "1 2"), "12");
  EXPECT_EQ(RemoveAllSpaces("\xB0\xA1\xA1\xA1"
                            "a"),
            "\xB0\xA1"
            "a");
  EXPECT_EQ(RemoveAllSpaces("\xB0 "), "\xB0 ");  // 0xB0 0x20 is one character
  EXPECT_EQ(RemoveAllSpaces(""), "");
}

TEST(TextReplace, ReplaceText) {
  struct Case {
    Text text, search, replacement;
    bool caseSensitive;
    Text expected;
  } cases[] = {
      {"Cookie: a=1; COOKIE:b=2", "Cookie:", "", false, " a=1; b=2"},
      {"Cookie: a=1; COOKIE:b=2", "Cookie:", "", true, " a=1; COOKIE:b=2"},
      {"aaa", "aa", "b", true, "ba"},
      {"abab", "b", "bb", true, "abbabb"},  // inserted bytes are not searched again
      {"abc", "", "x", true, "abc"},
      {"", "a", "x", true, ""},
      {"\xB0"
       "AA",
       "A", "x", true,
       "\xB0"
       "Ax"},
      {"ab", "abc", "x", true, "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.search, c.replacement, c.caseSensitive), c.expected) << c.text;
  }
}

TEST(TextSplit, SplitText) {
  struct Case {
    Text text, separator;
    TextList expected;
  } cases[] = {
      {"a;b", ";", {"a", "b"}},
      {"a;;b", ";", {"a", "", "b"}},
      {";a", ";", {"", "a"}},
      {"a;", ";", {"a"}},
      {";", ";", {""}},
      {";;", ";", {"", ""}},
      {"a", ";", {"a"}},
      {"", ";", {}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"a;b", "", {"a;b"}},
      {"aXb", "x", {"aXb"}},  // letter case counts
      {"\xB0;a;b", ";", {"\xB0;a", "b"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitText(c.text, c.separator), c.expected) << c.text;
}

TEST(TextJoinCompare, JoinAndCompare) {
  EXPECT_EQ(JoinText("a", "", "b"), "ab");
  EXPECT_EQ(JoinText("a", "b"), "ab");
  EXPECT_EQ(JoinText("http://", "1.2.3.4", ":9600", "/x"), "http://1.2.3.4:9600/x");

  EXPECT_EQ(CompareText("a", "b"), -1);
  EXPECT_EQ(CompareText("ab", "a"), 1);
  EXPECT_EQ(CompareText("a", "A"), 1);
  EXPECT_EQ(CompareText("\x80", "a"), 1);  // unsigned bytes
  EXPECT_EQ(CompareText("", Text()), 0);
  EXPECT_EQ(CompareText("abc", "abc"), 0);

  EXPECT_EQ(TextToBytes("ab"), (Bytes{0x61, 0x62}));
  EXPECT_TRUE(TextToBytes("").empty());
}

TEST(TextUtf8, Utf8ToText) {
  struct Case {
    std::string utf8;
    Text expected;
  } cases[] = {
      {"\xE4\xB8\xAD", "\xD6\xD0"},  // 中
      {"1.2\xFF"
       "3",
       "1.2"},
      {"a\xE4\xB8", "a"},  // cut short
      {"a\xE4"
       "AB",
       "a"},  // the rest after a broken sequence is dropped
      {std::string("a\0b", 3), "a"},
      {"a\xC0\x80"
       "b",
       "a"},  // an overlong zero is still a zero
      {"a\xC1\x81"
       "b",
       "aAb"},  // overlong forms decode by the same rule
      {"\x80"
       "a",
       ""},
      {"\xEF\xBB\xBF"
       "a",
       "?a"},                        // the byte-order mark stays and has no form in 936
      {"\xE3\x80\x80", "\xA1\xA1"},  // U+3000 full-width space
      {"\xC3\xA9", "\xA8\xA6"},      // é
      {"\xF0\x9F\x98\x80"
       "!",
       "?!"},  // beyond the Basic Multilingual Plane
      {"\xED\xA0\x80"
       "x",
       "?x"},  // an encoded surrogate
      {"\xF8\x88\x80\x80\x80"
       "x",
       "?x"},                             // five bytes, U+200000
      {"\xFD\xBF\xBF\xBF\xBF\xBF", "?"},  // six bytes, 0x7FFFFFFF
      {"\xE2\x82\xAC", "\x80"},           // the euro sign is the one single byte at 0x80
      {"", ""},
      {"\xE4\xB8\xAD\xE6\x96\x87 1.2.3.4\n", kZhongWen + " 1.2.3.4\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8ToText(B(c.utf8)), c.expected) << c.utf8;
}

TEST(TextUtf8, CodePageRoundTrip) {
  EXPECT_EQ(TextToUtf16(kZhongWen), u"\u4E2D\u6587");
  EXPECT_EQ(Utf16ToText(u"\u4E2D\u6587 x"), kZhongWen + " x");
  EXPECT_EQ(Utf16ToText(std::u16string(u"a\0b", 3)), "a");
  EXPECT_EQ(Utf16ToText(u"\u0100"), "?");  // no best-fit 'A'
  EXPECT_EQ(TextToUtf8(kZhongWen + "a\xA8\xA6"),
            "\xE4\xB8\xAD\xE6\x96\x87"
            "a\xC3\xA9");
  EXPECT_EQ(TextToUtf8(""), "");
}

}  // namespace

namespace {

// FNV-1a over the conversion of every Basic Multilingual Plane character, one at a time. The
// iconv and the Windows builds must produce the same digest: this is what keeps them
// byte-identical.
std::uint64_t DigestOfWholePlane() {
  std::uint64_t digest = 14695981039346656037ull;
  for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF)
      continue;
    const Text text = Utf16ToText(std::u16string(1, static_cast<char16_t>(unit)));
    for (unsigned char byte : text + '|') {
      digest = (digest ^ byte) * 1099511628211ull;
    }
  }
  return digest;
}

TEST(TextUtf8, CodePage936IsTheSameOnEveryPlatform) {
  EXPECT_EQ(Utf16ToText(u"\uE000\uE233\uE234\uE4C6\uE765\uE864\uF8F5\uE865"),
            "\xAA\xA1\xAF\xFE\xF8\xA1\xA1\x40\xA7\xA0\xFE\xA0\xFF?");
  EXPECT_EQ(DigestOfWholePlane(), 7825962317773980738ull);
}

}  // namespace
