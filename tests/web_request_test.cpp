#include "web/web_request.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "recording_request_object.h"
#include "web/base64.h"

namespace {

using Log = RecordingRequestObject::Log;

const Text kUrl = "http://example.test/ip";

// The calls of a plain request up to the header lines, and the reads after Send.
const Log kPlainStart = {"SetTimeouts(15000, 15000, 15000, 15000)",
                         "Open('GET', 'http://example.test/ip', false)", "Option(4, 13056)"};
const Log kDefaultHeaderCalls = {
    "SetRequestHeader('Accept', '*/*')", "SetRequestHeader('Referer', 'http://example.test/ip')",
    "SetRequestHeader('Accept-Language', 'zh-cn')",
    "SetRequestHeader('User-Agent', 'Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)')"};
const Log kReadsAndRelease = {"ResponseBody", "GetAllResponseHeaders", "Status", "release"};

Log Concat(std::initializer_list<Log> parts) {
  Log all;
  for (const Log& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Runs WebRequest against a recording object and returns the calls it received.
struct RecordedRequest {
  Log calls;
  Bytes body;
};

RecordedRequest Record(RequestOptions& options, RecordedResponse response = {}) {
  auto log = std::make_shared<Log>();
  const Bytes body = WebRequest(options, [&] {
    return HttpRequestObject(std::make_shared<RecordingRequestObject>(log, response));
  });
  return {*log, body};
}

struct CallCase {
  const char* name;
  std::function<void(RequestOptions&)> configure;
  Log expected;
};

void PrintTo(const CallCase& c, std::ostream* os) {
  *os << c.name;
}

class WebRequestCalls : public testing::TestWithParam<CallCase> {};

TEST_P(WebRequestCalls, ReachTheObjectInOrder) {
  RequestOptions options;
  options.url = kUrl;
  GetParam().configure(options);
  EXPECT_EQ(Record(options).calls, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Options, WebRequestCalls,
    testing::Values(
        CallCase{"OnlyUrl", [](RequestOptions&) {},
                 Concat({kPlainStart, kDefaultHeaderCalls, {"SendText('')"}, kReadsAndRelease})},
        CallCase{"PostAddsContentTypeLast",
                 [](RequestOptions& o) {
                   o.method = 1;
                   o.postText = "a=1";
                 },
                 Concat({{kPlainStart[0], "Open('POST', 'http://example.test/ip', false)",
                          kPlainStart[2]},
                         kDefaultHeaderCalls,
                         {"SetRequestHeader('Content-Type', 'application/x-www-form-urlencoded')",
                          "SendText('a=1')"},
                         kReadsAndRelease})},
        CallCase{"PutHasNoContentType",
                 [](RequestOptions& o) {
                   o.method = 3;
                   o.postText = "x";
                 },
                 Concat({{kPlainStart[0], "Open('PUT', 'http://example.test/ip', false)",
                          kPlainStart[2]},
                         kDefaultHeaderCalls,
                         {"SendText('x')"},
                         kReadsAndRelease})},
        CallCase{"MethodNineIsGet", [](RequestOptions& o) { o.method = 9; },
                 Concat({kPlainStart, kDefaultHeaderCalls, {"SendText('')"}, kReadsAndRelease})},
        CallCase{"MethodMinusOneIsGet", [](RequestOptions& o) { o.method = -1; },
                 Concat({kPlainStart, kDefaultHeaderCalls, {"SendText('')"}, kReadsAndRelease})},
        CallCase{"NoRedirectAndTimeoutLeftAlone",
                 [](RequestOptions& o) {
                   o.noRedirect = true;
                   o.timeoutSeconds = -1;
                 },
                 Concat({{kPlainStart[1], "Option(6, 0)", kPlainStart[2]},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"LowerCaseAcceptIsKeptAndNormalized",
                 [](RequestOptions& o) { o.extraHeaders = "accept: text/html"; },
                 Concat({kPlainStart,
                         {"SetRequestHeader('Accept', 'text/html')", kDefaultHeaderCalls[1],
                          kDefaultHeaderCalls[2], kDefaultHeaderCalls[3], "SendText('')"},
                         kReadsAndRelease})},
        CallCase{"AcceptLanguageDoesNotCountAsAccept",
                 [](RequestOptions& o) { o.extraHeaders = "Accept-Language: en"; },
                 Concat({kPlainStart,
                         {"SetRequestHeader('Accept-Language', 'en')", kDefaultHeaderCalls[0],
                          kDefaultHeaderCalls[1], kDefaultHeaderCalls[3], "SendText('')"},
                         kReadsAndRelease})},
        CallCase{"KeepAliveLineIsSkipped",
                 [](RequestOptions& o) { o.extraHeaders = "Connection: keep-alive\r\nX-A: 1"; },
                 Concat({kPlainStart,
                         {"SetRequestHeader('X-A', '1')"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"KeepAliveInOtherCaseIsSet",
                 [](RequestOptions& o) { o.extraHeaders = "Connection: Keep-Alive\r\nX-A: 1"; },
                 Concat({kPlainStart,
                         {"SetRequestHeader('Connection', 'Keep-Alive')",
                          "SetRequestHeader('X-A', '1')"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"LowerCaseConnectionIsSetWithoutNormalizing",
                 [](RequestOptions& o) {
                   o.extraHeaders = "connection: keep-alive\r\nX-A: 1";
                   o.normalizeHeaderNames = false;
                   o.completeHeaders = false;
                 },
                 Concat({kPlainStart,
                         {"SetRequestHeader('connection', 'keep-alive')",
                          "SetRequestHeader('X-A', '1')", "SendText('')"},
                         kReadsAndRelease})},
        CallCase{"LowerCaseConnectionIsSkippedOnceNormalized",
                 [](RequestOptions& o) {
                   o.extraHeaders = "connection: keep-alive\r\nX-A: 1";
                   o.completeHeaders = false;
                 },
                 Concat({kPlainStart,
                         {"SetRequestHeader('X-A', '1')", "SendText('')"},
                         kReadsAndRelease})},
        CallCase{"LoneKeepAliveLineIsSet",
                 [](RequestOptions& o) {
                   o.extraHeaders = "Connection: keep-alive";
                   o.completeHeaders = false;
                 },
                 Concat({kPlainStart,
                         {"SetRequestHeader('Connection', 'keep-alive')", "SendText('')"},
                         kReadsAndRelease})},
        CallCase{
            "EmptyBlockGivesOneEmptyHeader",
            [](RequestOptions& o) {
              o.completeHeaders = false;
              o.normalizeHeaderNames = false;
            },
            Concat({kPlainStart, {"SetRequestHeader('', '')", "SendText('')"}, kReadsAndRelease})},
        CallCase{
            "LineWithoutColonGivesEmptyHeaderUnlessNormalized",
            [](RequestOptions& o) {
              o.extraHeaders = "no colon\r\nX-A: 1";
              o.completeHeaders = false;
              o.normalizeHeaderNames = false;
            },
            Concat({kPlainStart,
                    {"SetRequestHeader('', '')", "SetRequestHeader('X-A', '1')", "SendText('')"},
                    kReadsAndRelease})},
        CallCase{"EmptyCookiesAreSent", [](RequestOptions& o) { o.cookies = ""; },
                 Concat({kPlainStart,
                         {"SetRequestHeader('Cookie', '')"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"ProxyWithoutUser", [](RequestOptions& o) { o.proxy = "127.0.0.1:3128"; },
                 Concat({{kPlainStart[0], "SetProxy(2, '127.0.0.1:3128')", kPlainStart[1],
                          kPlainStart[2]},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"UserWithoutProxyIsIgnored",
                 [](RequestOptions& o) {
                   o.proxyUser = "u";
                   o.proxyPassword = "p";
                 },
                 Concat({kPlainStart, kDefaultHeaderCalls, {"SendText('')"}, kReadsAndRelease})},
        CallCase{"ProxyCredentialsAddBasicAuthorization",
                 [](RequestOptions& o) {
                   o.proxy = "proxy:8080";
                   o.proxyUser = "Aladdin";
                   o.proxyPassword = "open sesame";
                   o.cookies = "a=1";
                 },
                 Concat({{kPlainStart[0], "SetProxy(2, 'proxy:8080')", kPlainStart[1],
                          kPlainStart[2], "SetCredentials('Aladdin', 'open sesame', 1)",
                          "SetRequestHeader('Proxy-Authorization', "
                          "'Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==')",
                          "SetRequestHeader('Cookie', 'a=1')"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"EmptyProxyPasswordStillEncodesTheColon",
                 [](RequestOptions& o) {
                   o.proxy = "proxy:8080";
                   o.proxyUser = "u";
                 },
                 Concat({{kPlainStart[0], "SetProxy(2, 'proxy:8080')", kPlainStart[1],
                          kPlainStart[2], "SetCredentials('u', '', 1)",
                          "SetRequestHeader('Proxy-Authorization', 'Basic dTo=')"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"ServerCredentialsHaveNoHeader",
                 [](RequestOptions& o) {
                   o.proxy = "proxy:8080";
                   o.proxyUser = "u";
                   o.proxyPassword = "p";
                   o.credentialTarget = 0;
                 },
                 Concat({{kPlainStart[0], "SetProxy(2, 'proxy:8080')", kPlainStart[1],
                          kPlainStart[2], "SetCredentials('u', 'p', 0)"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{"OtherCredentialTargetPassesThrough",
                 [](RequestOptions& o) {
                   o.proxy = "proxy:8080";
                   o.proxyUser = "u";
                   o.credentialTarget = 7;
                 },
                 Concat({{kPlainStart[0], "SetProxy(2, 'proxy:8080')", kPlainStart[1],
                          kPlainStart[2], "SetCredentials('u', '', 7)"},
                         kDefaultHeaderCalls,
                         {"SendText('')"},
                         kReadsAndRelease})},
        CallCase{
            "BytesWinOverText",
            [](RequestOptions& o) {
              o.postText = "text";
              o.postBytes = Bytes{0, 1, 2};
            },
            Concat({kPlainStart, kDefaultHeaderCalls, {"SendBytes(3 bytes)"}, kReadsAndRelease})},
        CallCase{
            "EmptyBytesSendTheText",
            [](RequestOptions& o) {
              o.postText = "text";
              o.postBytes = Bytes{};
            },
            Concat({kPlainStart, kDefaultHeaderCalls, {"SendText('text')"}, kReadsAndRelease})},
        CallCase{"HeaderWithLineBreakIsRefused",
                 [](RequestOptions& o) {
                   o.cookies = "a=1\nInjected: yes";
                   o.extraHeaders = "X-A: 1\rX-B: 2";
                   o.completeHeaders = false;
                 },
                 Concat({kPlainStart, {"SendText('')"}, kReadsAndRelease})}),
    [](const testing::TestParamInfo<CallCase>& info) { return info.param.name; });

TEST(WebRequestTimeouts, EachClassOfSeconds) {
  struct Case {
    std::optional<int> seconds;
    const char* expected;  // nullptr: no SetTimeouts call
  } cases[] = {
      {std::nullopt, "SetTimeouts(15000, 15000, 15000, 15000)"},
      {0, "SetTimeouts(15000, 15000, 15000, 15000)"},
      {-2, "SetTimeouts(15000, 15000, 15000, 15000)"},
      {INT_MIN, "SetTimeouts(15000, 15000, 15000, 15000)"},
      {-1, nullptr},
      {1, "SetTimeouts(1000, 1000, 1000, 1000)"},
      {30, "SetTimeouts(30000, 30000, 30000, 30000)"},
      {2147483, "SetTimeouts(2147483000, 2147483000, 2147483000, 2147483000)"},
      // Beyond a signed 32-bit millisecond count: the largest one, not a wrapped negative value.
      {2147484, "SetTimeouts(2147483647, 2147483647, 2147483647, 2147483647)"},
      {INT_MAX, "SetTimeouts(2147483647, 2147483647, 2147483647, 2147483647)"},
  };
  for (const Case& c : cases) {
    RequestOptions options;
    options.url = kUrl;
    options.timeoutSeconds = c.seconds;
    const Log calls = Record(options).calls;
    if (c.expected == nullptr) {
      EXPECT_EQ(calls.front(), kPlainStart[1]);
    } else {
      EXPECT_EQ(calls.front(), c.expected) << c.seconds.value_or(12345);
    }
  }
}

TEST(WebRequestCookies, CleanedSentAndMerged) {
  struct Case {
    std::optional<Text> cookies;
    std::optional<bool> merge;
    Text sentHeader;  // empty: no Cookie header at all
    std::optional<Text> cookiesAfter;
    Text returnedAfter;
  } cases[] = {
      {std::nullopt, std::nullopt, "", std::nullopt, "s=1"},
      {"", std::nullopt, "SetRequestHeader('Cookie', '')", "s=1", "s=1"},
      {"Cookie: a=1", std::nullopt, "SetRequestHeader('Cookie', ' a=1')", "s=1; a=1", "s=1; a=1"},
      {"a=1; COOKIE:b=2", std::nullopt, "SetRequestHeader('Cookie', 'a=1; b=2')", "s=1; a=1; b=2",
       "s=1; a=1; b=2"},
      {"a=1; s=0", false, "SetRequestHeader('Cookie', 'a=1; s=0')", "a=1; s=0", "s=1"},
  };
  for (const Case& c : cases) {
    RequestOptions options;
    options.url = kUrl;
    options.cookies = c.cookies;
    options.mergeCookies = c.merge;
    RecordedResponse response;
    response.headers = "HTTP/1.1 200 OK\r\nSet-Cookie: s=1; path=/\r\nContent-Length: 0\r\n\r\n";
    response.status = 200;
    const Log calls = Record(options, response).calls;
    const bool sentCookie = calls[3].rfind("SetRequestHeader('Cookie'", 0) == 0;
    EXPECT_EQ(sentCookie ? calls[3] : "", c.sentHeader) << c.cookies.value_or("(left out)");
    EXPECT_EQ(options.cookies, c.cookiesAfter) << c.cookies.value_or("(left out)");
    EXPECT_EQ(options.returnedCookies, c.returnedAfter) << c.cookies.value_or("(left out)");
  }
}

TEST(WebRequestResults, ReadsLandInTheOutputFields) {
  RequestOptions options;
  options.url = kUrl;
  RecordedResponse response;
  response.body = Bytes{'1', 0, '2'};
  response.headers = "Content-Length: 3\r\n";
  response.status = 404;
  EXPECT_EQ(Record(options, response).body, (Bytes{'1', 0, '2'}));
  EXPECT_EQ(options.responseHeaders, "Content-Length: 3\r\n");
  EXPECT_EQ(options.statusCode, 404);
  EXPECT_EQ(options.returnedCookies, "");
}

TEST(WebRequestResults, FailedReadsGiveEmptyValues) {
  RequestOptions options;
  options.url = kUrl;
  options.cookies = "a=1;";
  options.statusCode = 99;
  RecordedResponse response;
  response.readsFail = true;
  response.body = Bytes{'x'};
  response.status = 200;
  const RecordedRequest request = Record(options, response);
  EXPECT_TRUE(request.body.empty());
  EXPECT_EQ(options.statusCode, 0);
  EXPECT_EQ(options.responseHeaders, "");
  EXPECT_EQ(options.returnedCookies, "a=1");  // the sent cookies alone
  EXPECT_EQ(request.calls.back(), "release");
}

TEST(WebRequestResults, CreationFailureTouchesNothing) {
  RequestOptions options;
  options.url = kUrl;
  options.cookies = "Cookie: a=1";
  options.returnedCookies = "r";
  options.responseHeaders = "h";
  options.statusCode = 7;
  const Bytes body = WebRequest(options, [] { return HttpRequestObject(); });
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(options.cookies, "Cookie: a=1");
  EXPECT_EQ(options.returnedCookies, "r");
  EXPECT_EQ(options.responseHeaders, "h");
  EXPECT_EQ(options.statusCode, 7);
}

TEST(WebRequestResults, GivenObjectIsUsedAndOutlivesTheCall) {
  auto log = std::make_shared<Log>();
  RecordedResponse response;
  response.status = 200;
  HttpRequestObject mine(std::make_shared<RecordingRequestObject>(log, response));
  RequestOptions options;
  options.url = kUrl;
  options.requestObject = mine;
  bool factoryCalled = false;
  WebRequest(options, [&] {
    factoryCalled = true;
    return HttpRequestObject();
  });
  EXPECT_FALSE(factoryCalled);
  EXPECT_EQ(options.statusCode, 200);
  EXPECT_NE(log->back(), "release");  // the caller still holds it
  options.requestObject.reset();
  mine.Release();
  EXPECT_EQ(log->back(), "release");
}

TEST(WebRequestResults, GivenEmptyObjectFailsEveryCall) {
  RequestOptions options;
  options.url = kUrl;
  options.requestObject = HttpRequestObject();
  options.statusCode = 7;
  EXPECT_TRUE(WebRequest(options, [] { return HttpRequestObject(); }).empty());
  EXPECT_EQ(options.statusCode, 0);
  EXPECT_EQ(options.responseHeaders, "");
}

TEST(Base64, EncodesWithPadding) {
  struct Case {
    std::string data;
    Text expected;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0\xFF\xFE", 3), "AP/+"},
      {"\xFB\xFF", "+/8="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Base64Encode(Bytes(c.data.begin(), c.data.end())), c.expected) << c.data;
  }
}

}  // namespace
