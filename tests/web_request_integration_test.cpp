// WebRequest through the platform's real request object against the loopback test server
// (tests/server/http_test_server.py), whose state folder is named by ACCESSURL_TEST_SERVER_STATE.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "test_platform.h"
#include "web/web_request.h"

namespace {

std::string ServerAddress() {
  const char* state = std::getenv("ACCESSURL_TEST_SERVER_STATE");
  if (state == nullptr)
    return std::string();
  std::ifstream portFile(NativePath(std::string(state) + "/port"));
  std::string port;
  std::getline(portFile, port);
  return port.empty() ? std::string() : "127.0.0.1:" + port;
}

// A request as the echo path of the test server sends it back.
struct EchoedRequest {
  std::string requestLine;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  static EchoedRequest Parse(const Bytes& echo) {
    const std::string text(echo.begin(), echo.end());
    EchoedRequest request;
    const std::size_t headEnd = text.find("\r\n\r\n");
    if (headEnd == std::string::npos)
      return request;
    request.body = text.substr(headEnd + 4);
    std::size_t lineStart = 0;
    for (std::size_t lineEnd; (lineEnd = text.find("\r\n", lineStart)) <= headEnd;
         lineStart = lineEnd + 2) {
      const std::string line = text.substr(lineStart, lineEnd - lineStart);
      if (lineStart == 0) {
        request.requestLine = line;
        continue;
      }
      const std::size_t colon = line.find(": ");
      if (colon != std::string::npos)
        request.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    return request;
  }

  // The values of every header with this name, compared without letter case.
  std::vector<std::string> Values(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
      if (key.size() == name.size() &&
          std::equal(key.begin(), key.end(), name.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        values.push_back(value);
      }
    }
    return values;
  }
};

using Values = std::vector<std::string>;

class WebRequestIntegration : public testing::Test {
 protected:
  void SetUp() override {
    server_ = ServerAddress();
    if (server_.empty())
      GTEST_FAIL() << "ACCESSURL_TEST_SERVER_STATE names no running test server";
  }

  RequestOptions Options(const std::string& path) const {
    RequestOptions options;
    options.url = "http://" + server_ + path;
    return options;
  }

  std::string server_;
};

TEST_F(WebRequestIntegration, PlainGetCarriesTheFourDefaultHeaders) {
  RequestOptions options = Options("/echo");
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(options.statusCode, 200);
  EXPECT_EQ(request.requestLine, "GET /echo HTTP/1.1");
  EXPECT_EQ(request.Values("Accept"), Values{"*/*"});
  EXPECT_EQ(request.Values("Referer"), Values{options.url});
  EXPECT_EQ(request.Values("Accept-Language"), Values{"zh-cn"});
  EXPECT_EQ(request.Values("User-Agent"),
            Values{"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"});
  EXPECT_TRUE(request.Values("Cookie").empty());
  EXPECT_TRUE(request.Values("Content-Type").empty());
  EXPECT_TRUE(request.Values("Proxy-Authorization").empty());
  EXPECT_EQ(request.body, "");
  EXPECT_NE(options.responseHeaders->find("Content-Type: application/octet-stream"),
            std::string::npos);
}

TEST_F(WebRequestIntegration, PostedTextArrivesExactly) {
  RequestOptions options = Options("/echo");
  options.method = 1;
  options.postText = "a=1&b=two%20words";
  options.extraHeaders = "x-trace-id: 42";
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(request.requestLine, "POST /echo HTTP/1.1");
  EXPECT_EQ(request.body, "a=1&b=two%20words");
  EXPECT_EQ(request.Values("Content-Type"), Values{"application/x-www-form-urlencoded"});
  EXPECT_EQ(request.Values("X-Trace-Id"), Values{"42"});
}

TEST_F(WebRequestIntegration, NonAsciiTextGoesOutAsUtf8) {
  RequestOptions options = Options("/echo");
  options.method = 3;
  options.postText = "\xD6\xD0\xCE\xC4";  // 中文
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(request.requestLine, "PUT /echo HTTP/1.1");
  EXPECT_EQ(request.body, "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(WebRequestIntegration, PostedBytesArriveExactly) {
  RequestOptions options = Options("/echo");
  options.method = 1;
  options.postText = "ignored";
  Bytes binary;
  for (int i = 0; i < 600; ++i)
    binary.push_back(static_cast<std::uint8_t>(i * 7));
  binary[0] = 0;
  binary[599] = 0;
  options.postBytes = binary;
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(request.body, std::string(binary.begin(), binary.end()));
}

TEST_F(WebRequestIntegration, ReturnedCookiesMergeWithSentOnes) {
  RequestOptions options = Options("/cookies");
  options.cookies = "Cookie: a=1; s1=old";
  EXPECT_EQ(WebRequest(options), TextToBytes("cookies set"));
  EXPECT_EQ(options.returnedCookies, "s1=v1; s2=v2; a=1");
  EXPECT_EQ(options.cookies, "s1=v1; s2=v2; a=1");

  RequestOptions echo = Options("/echo");
  echo.cookies = "a=1; b=2";
  EXPECT_EQ(EchoedRequest::Parse(WebRequest(echo)).Values("Cookie"), Values{"a=1; b=2"});
}

TEST_F(WebRequestIntegration, RedirectsAreFollowedUnlessSwitchedOff) {
  RequestOptions followed = Options("/redirect");
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(followed));
  EXPECT_EQ(followed.statusCode, 200);
  EXPECT_EQ(request.requestLine, "GET /echo?redirected=1 HTTP/1.1");

  RequestOptions stopped = Options("/redirect");
  stopped.noRedirect = true;
  EXPECT_EQ(WebRequest(stopped), TextToBytes("moved"));
  EXPECT_EQ(stopped.statusCode, 302);
  EXPECT_NE(stopped.responseHeaders->find("Location: /echo?redirected=1"), std::string::npos);
}

TEST_F(WebRequestIntegration, ErrorStatusKeepsItsBody) {
  RequestOptions options = Options("/status/404");
  EXPECT_EQ(WebRequest(options), TextToBytes("status 404 for /status/404"));
  EXPECT_EQ(options.statusCode, 404);
}

TEST_F(WebRequestIntegration, RefusedConnectionGivesEmptyResults) {
  RequestOptions options;
  options.url = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/echo";
  options.cookies = "a=1";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(WebRequest(options).empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(options.statusCode, 0);
  EXPECT_EQ(options.responseHeaders, "");
  EXPECT_EQ(options.returnedCookies, "a=1");
}

TEST_F(WebRequestIntegration, ServerCredentialsArrive) {
  // Credentials are only set together with a proxy; the proxy here is the test server itself,
  // which answers a proxied request with the same echo.
  RequestOptions options = Options("/echo");
  options.proxy = server_;
  options.proxyUser = "user";
  options.proxyPassword = "secret";
  options.credentialTarget = 0;
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(request.Values("Authorization"), Values{"Basic dXNlcjpzZWNyZXQ="});
  EXPECT_TRUE(request.Values("Proxy-Authorization").empty());
}

TEST_F(WebRequestIntegration, ProxyReceivesAbsoluteUriAndAuthorization) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine's WinHTTP accepts SetProxy but connects directly";
  RequestOptions options;
  // Nothing listens at the target: only a request through the proxy can succeed.
  options.url = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/echo";
  options.proxy = server_;
  options.proxyUser = "user";
  options.proxyPassword = "secret";
  const EchoedRequest request = EchoedRequest::Parse(WebRequest(options));
  EXPECT_EQ(request.requestLine, "GET " + options.url + " HTTP/1.1");
  EXPECT_EQ(request.Values("Proxy-Authorization"), Values{"Basic dXNlcjpzZWNyZXQ="});
}

TEST_F(WebRequestIntegration, StalledAnswersTimeOut) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinHTTP resets time-outs at Open and has none for the response headers";
  }
  const struct {
    const char* path;
    const char* fullBody;
  } cases[] = {{"/stall-headers?s=6", "late"}, {"/stall-body?s=6", "0123456789"}};
  for (const auto& c : cases) {
    RequestOptions options = Options(c.path);
    options.timeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    const Bytes body = WebRequest(options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3500)) << c.path;
    EXPECT_NE(body, TextToBytes(c.fullBody)) << c.path;
  }
}

}  // namespace
