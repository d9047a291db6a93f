#include "web/web_request.h"

#include <cstdint>
#include <limits>

#include "web/base64.h"
#include "web/com_runtime.h"
#include "web/cookies.h"
#include "web/headers.h"

namespace {

constexpr const char* kMethodNames[] = {"GET",    "POST",  "HEAD",    "PUT",  "OPTIONS",
                                        "DELETE", "TRACE", "CONNECT", "PATCH"};
constexpr int kPostMethod = 1;

constexpr int kDefaultTimeoutMilliseconds = 15000;
constexpr int kMillisecondsPerSecond = 1000;
// 0x3300: every certificate error that the object can be told to ignore.
constexpr int kIgnoreCertificateErrors =
    kIgnoreUnknownAuthority | kIgnoreWrongUsage | kIgnoreInvalidName | kIgnoreInvalidDate;

constexpr char kLineBreak[] = "\r\n";

struct DefaultHeader {
  Text key;
  Text line;  // appended, with its leading line break, when the key is absent
};

int MethodIndexOf(int method) {
  return (method < 0 || method > 8) ? 0 : method;
}

// The same number of milliseconds for all four time-outs; a number of seconds too large for a
// signed 32-bit millisecond count gives the largest one.
int TimeoutMilliseconds(int timeoutSeconds) {
  if (timeoutSeconds < 1)
    return kDefaultTimeoutMilliseconds;
  const std::int64_t milliseconds = std::int64_t{timeoutSeconds} * kMillisecondsPerSecond;
  const std::int64_t largest = std::numeric_limits<std::int32_t>::max();
  return static_cast<int>(milliseconds > largest ? largest : milliseconds);
}

Text CompleteHeaderBlock(Text block, const Text& url, int methodIndex) {
  const DefaultHeader defaults[] = {
      {"Accept:", "\r\nAccept: */*"},
      {"Referer:", "\r\nReferer: " + url},
      {"Accept-Language:", "\r\nAccept-Language: zh-cn"},
      {"User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
  };
  for (const DefaultHeader& header : defaults) {
    if (FindText(block, header.key, true) == -1)
      block += header.line;
  }
  if (methodIndex == kPostMethod && FindText(block, "Content-Type:", true) == -1) {
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  return block;
}

void SetCredentialsAndProxyAuthorization(HttpRequestObject& object, const Text& user,
                                         const Text& password, int target) {
  object.SetCredentials(user, password, target);
  if (target != kCredentialsForProxy)
    return;
  const Text credentials = JoinText(user, ":", password);
  object.SetRequestHeader("Proxy-Authorization",
                          JoinText("Basic ", Base64Encode(TextToBytes(credentials))));
}

// Removes every "Cookie:" the caller left in the text, in any letter case, and sends the rest.
void SendCookies(HttpRequestObject& object, Text& cookies) {
  if (!cookies.empty() && FindText(cookies, "Cookie:", true) != -1) {
    cookies = ReplaceText(cookies, "Cookie:", Text(), false);
  }
  object.SetRequestHeader("Cookie", cookies);
}

bool IsKeepAliveLine(const Text& line) {
  return CompareText(HeaderNameOf(line), "Connection") == 0 &&
         CompareText(HeaderValueOf(line), "keep-alive") == 0;
}

void SetHeaderLines(HttpRequestObject& object, const Text& block) {
  if (FindText(block, kLineBreak) == -1) {
    object.SetRequestHeader(HeaderNameOf(block), HeaderValueOf(block));
    return;
  }
  for (const Text& line : SplitText(block, kLineBreak)) {
    if (line.empty() || IsKeepAliveLine(line))
      continue;
    object.SetRequestHeader(HeaderNameOf(line), HeaderValueOf(line));
  }
}

}  // namespace

Bytes WebRequest(RequestOptions& options, const RequestObjectFactory& createObject) {
  const bool mergeCookies = options.mergeCookies.value_or(true);
  const bool completeHeaders = options.completeHeaders.value_or(true);
  const bool normalizeHeaderNames = options.normalizeHeaderNames.value_or(true);

  ComRuntimeScope comRuntime;

  const int methodIndex = MethodIndexOf(options.method.value_or(0));

  HttpRequestObject object;
  if (options.requestObject) {
    object = *options.requestObject;
  } else {
    object = createObject();
    if (!object.HasObject())
      return Bytes();
  }

  const int timeoutSeconds = options.timeoutSeconds.value_or(0);
  if (timeoutSeconds != -1) {
    const int t = TimeoutMilliseconds(timeoutSeconds);
    object.SetTimeouts(t, t, t, t);
  }

  const Text proxy = options.proxy.value_or(Text());
  if (!proxy.empty())
    object.SetProxy(kUseNamedProxy, proxy);

  object.Open(kMethodNames[methodIndex], options.url, false);

  if (options.noRedirect.value_or(false))
    object.SetOption(kOptionAutomaticRedirects, 0);
  object.SetOption(kOptionIgnoredCertificateErrors, kIgnoreCertificateErrors);

  Text block = options.extraHeaders.value_or(Text());
  if (completeHeaders)
    block = CompleteHeaderBlock(block, options.url, methodIndex);
  if (normalizeHeaderNames)
    block = NormalizeHeaderNames(block);

  const Text proxyUser = options.proxyUser.value_or(Text());
  if (!proxy.empty() && !proxyUser.empty()) {
    SetCredentialsAndProxyAuthorization(object, proxyUser, options.proxyPassword.value_or(Text()),
                                        options.credentialTarget.value_or(kCredentialsForProxy));
  }

  if (options.cookies)
    SendCookies(object, *options.cookies);

  SetHeaderLines(object, block);

  if (options.postBytes && !options.postBytes->empty()) {
    object.SendBytes(*options.postBytes);
  } else {
    object.SendText(options.postText.value_or(Text()));
  }

  Bytes body = object.ResponseBody();
  options.responseHeaders = object.GetAllResponseHeaders();
  options.statusCode = object.Status();

  options.returnedCookies = ExtractResponseCookies(SplitText(*options.responseHeaders, kLineBreak));
  if (mergeCookies && options.cookies) {
    options.returnedCookies = MergeCookies(*options.cookies, *options.returnedCookies);
  }

  object.Release();  // before the component runtime goes
  return body;
}
