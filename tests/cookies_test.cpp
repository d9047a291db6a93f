#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Cookies, ExtractResponseCookies) {
  struct Case {
    TextList lines;
    Text expected;
  } cases[] = {
      {{"Server: x", "Set-Cookie: a=1; path=/", "set-cookie:b=2;Secure", "Content-Type: text/html"},
       "a=1; b=2"},
      {{"SET-COOKIE: c=3; Secure"}, "c=3"},
      // A Set-Cookie line without ';' still sets its cookie.
      {{"SET-COOKIE: c=3"}, "c=3"},
      {{"Set-Cookie: a=1; path=/", "Set-Cookie:  d=4  "}, "a=1; d=4"},
      {{"X-Set-Cookie: a=1;", "Set-Cookie : a=1;"}, ""},
      {{"Set-Cookie:  a = 1 ;"}, "a = 1"},
      {{"Set-Cookie: t=a=b; Path=/"}, "t=a=b"},
      {{"Set-Cookie: a=1; path=/", "Set-Cookie: ; path=/"}, "a=1; "},
      {{"Set-Cookie: ; path=/", "Set-Cookie: a=1; path=/"}, "a=1"},
      {{"Set-Cookie:"}, ""},
      {{}, ""},
      {{"HTTP/1.1 200 OK", "Content-Length: 0"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractResponseCookies(c.lines), c.expected) << testing::PrintToString(c.lines);
  }
}

TEST(Cookies, MergeCookies) {
  struct Case {
    Text sent, returned;
    Text merged, returnedAfter;
  } cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},
      {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},  // deletion also drops the sent b
      {"a=1;", "", "a=1", ""},
      {"", "x=1; ", "x=1", "x=1; "},
      {"", " x=1;", "x=1", "x=1; "},
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      {" a =1", "a=2", "a=2", "a=2"},
      {"a=1; a=2", "", "a=1", ""},
      {"", "x=1; x=1", "x=1", "x=1; x=1"},
      {"", "x=1; x=2", "x=1; x=2", "x=1; x=2"},
      {"a=1;b=2", "b=3", "b=3; a=1;b=2", "b=3"},
      {"a=DELETED", "", "a=DELETED", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    Text sent = c.sent;
    Text returned = c.returned;
    EXPECT_EQ(MergeCookies(sent, returned), c.merged) << c.sent << " + " << c.returned;
    EXPECT_EQ(sent, c.merged);
    EXPECT_EQ(returned, c.returnedAfter);
  }
}

TEST(Cookies, MergesManyItemsKeepingOrder) {
  Text sent, returned;
  for (int i = 0; i < 10000; ++i) {
    sent += (i ? "; s" : "s") + std::to_string(i % 5000) + "=" + std::to_string(i);
    returned += (i ? "; r" : "r") + std::to_string(i) + "=1";
  }
  const Text merged = MergeCookies(sent, returned);
  const TextList items = SplitText(merged, "; ");
  ASSERT_EQ(items.size(), 15000u);  // each of the 5000 sent names once, after the returned ones
  EXPECT_EQ(items[0], "r0=1");
  EXPECT_EQ(items[9999], "r9999=1");
  EXPECT_EQ(items[10000], "s0=0");
  EXPECT_EQ(items[14999], "s4999=4999");
}

TEST(Cookies, ListHelpers) {
  EXPECT_EQ(JoinDistinct("x; y; x", "; "), "x; y");
  EXPECT_EQ(JoinDistinct("x; ", "; "), "x");
  EXPECT_EQ(JoinDistinct("", "; "), "");
  EXPECT_EQ(JoinDistinct("a;b;a;c;b", ";"), "a;b;c");

  EXPECT_EQ(IndexInList({"a", "b", "a"}, "a"), 1);
  EXPECT_EQ(IndexInList({"a", "b", "a"}, "b"), 2);
  EXPECT_EQ(IndexInList({"a"}, "A"), -1);
  EXPECT_EQ(IndexInList({}, "a"), -1);

  struct NameCase {
    Text item, name;
  } names[] = {{"a=1", "a"}, {" a =1", "a"}, {"flag", "flag"}, {"=x", ""}, {"a=b=c", "a"}};
  for (const NameCase& c : names)
    EXPECT_EQ(CookieNameOf(c.item), c.name) << c.item;

  const TextList list = {"a=1", "b=2"};
  EXPECT_TRUE(HasCookieNamed(list, "b"));
  EXPECT_FALSE(HasCookieNamed(list, "B"));
  EXPECT_FALSE(HasCookieNamed(list, " b"));
  EXPECT_FALSE(HasCookieNamed({}, "a"));
}

}  // namespace
