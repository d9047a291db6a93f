#include "web/headers.h"

#include <gtest/gtest.h>

namespace {

TEST(Headers, NormalizeHeaderNames) {
  struct Case {
    Text block;
    Text expected;
  } cases[] = {
      {"accept: */*\r\nuser-agent: X\r\ncontent-type: text/plain",
       "Accept: */*\r\nUser-Agent: X\r\nContent-Type: text/plain"},
      {"\r\naccept: */*\r\n\r\nno colon here\r\nreferer: x\r\n", "Accept: */*\r\nReferer: x"},
      {"", ""},
      {"no colon\r\n\r\nnone here", ""},
      {"accept: x", "Accept: x"},
      {"x-forwarded-for: 1.2.3.4", "X-Forwarded-For: 1.2.3.4"},
      {"ACCEPT-language: zh", "ACCEPT-Language: zh"},  // nothing is lower-cased
      {"accept language: x", "Accept language: x"},    // a space starts no word
      {"x--y: 1", "X--Y: 1"},
      {"x-: 1", "X-: 1"},  // the trailing '-' comes back from the rest of the line
      {"x--: 1", "X--: 1"},
      {"-x: 1", "-X: 1"},
      {"-: 1", "-: 1"},
      {": value", ": value"},
      {" accept: x", " accept: x"},
      {"x-range: a-b:c-d", "X-Range: a-b:c-d"},  // only the name is touched
      {"\xC3\xFB-x: 1", "\xC3\xFB-X: 1"},        // 名-x
      {"\xB0-x: 1", "\xB0-x: 1"},  // 0xB0 0x2D is one character, so no word starts there
      {"a: 1\r\nb", "A: 1"},
  };
  for (const Case& c : cases) {
    const Text normalized = NormalizeHeaderNames(c.block);
    EXPECT_EQ(normalized, c.expected) << c.block;
    EXPECT_EQ(NormalizeHeaderNames(normalized), normalized) << "idempotent for " << c.block;
  }
}

TEST(Headers, CapitalizeFirst) {
  struct Case {
    Text word, expected;
  } cases[] = {
      {"a", "A"},
      {"abc", "Abc"},
      {"Abc", "Abc"},
      {"1abc", "1abc"},
      {"", ""},
      {"\xB0"
       "a",
       "\xB0"
       "a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CapitalizeFirst(c.word), c.expected) << c.word;
}

TEST(Headers, NameAndValueOfLine) {
  struct Case {
    Text line, name, value;
  } cases[] = {
      {"Accept:  */* ", "Accept", "*/*"},
      {" Accept : x", "Accept", "x"},
      {"Referer: a:b", "Referer", "a:b"},
      {":x", "", "x"},
      {"Name:", "Name", ""},
      {"no colon", "", ""},
      {"", "", ""},
      {"X:\tv", "X", "\tv"},  // a tab is not trimmed
      {"X: \xA1\xA1v\xA1\xA1", "X", "v"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HeaderNameOf(c.line), c.name) << c.line;
    EXPECT_EQ(HeaderValueOf(c.line), c.value) << c.line;
  }
}

}  // namespace
