// One HTTP request through the platform's HTTP request object.
#pragma once

#include <optional>

#include "text/text.h"
#include "web/http_request_object.h"

// The URL and the options of one request. An option that is not set was left out. WebRequest
// writes the four output fields (cookies, returnedCookies, responseHeaders, statusCode) unless the
// request object cannot be created.
struct RequestOptions {
  Text url;

  // Index into GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT, PATCH; others mean GET.
  std::optional<int> method;
  // Sent when postBytes is empty.
  std::optional<Text> postText;
  // Given, even empty, switches on the Cookie header and the merge; may be rewritten.
  std::optional<Text> cookies;
  // Out: the cookies the response set, merged with `cookies` when merging applies.
  std::optional<Text> returnedCookies;
  // Header lines separated by CR LF.
  std::optional<Text> extraHeaders;
  // Out: the response's header lines.
  std::optional<Text> responseHeaders;
  // Out: the HTTP status, 0 when there is none.
  std::optional<int> statusCode;
  std::optional<bool> noRedirect;
  std::optional<Bytes> postBytes;
  std::optional<Text> proxy;
  // -1 leaves the object's time-outs alone, 1 or more sets that many seconds, anything else 15.
  std::optional<int> timeoutSeconds;
  std::optional<Text> proxyUser;
  std::optional<Text> proxyPassword;
  // Left out: 1, the proxy, with a Basic Proxy-Authorization header; 0: the server.
  std::optional<int> credentialTarget;
  // Given: the request goes through this object instead of a new one.
  std::optional<HttpRequestObject> requestObject;
  // The three switches are on when left out.
  std::optional<bool> mergeCookies;
  std::optional<bool> completeHeaders;
  std::optional<bool> normalizeHeaderNames;
};

// Performs the request and returns the response body (empty when there is none), making the
// request object with `createObject` unless the options give one. Failures are swallowed: the body
// is then empty and, once an object existed, statusCode is 0.
Bytes WebRequest(RequestOptions& options, const RequestObjectFactory& createObject);

// The same with the platform's request object.
inline Bytes WebRequest(RequestOptions& options) {
  return WebRequest(options, CreateHttpRequestObject);
}
