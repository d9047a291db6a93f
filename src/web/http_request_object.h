// The HTTP request object that WebRequest drives, behind a small interface so that the platform
// object (WinHTTP's automation object on Windows, libcurl on Linux) and a test's recording object
// fit the same routine.
#pragma once

#include <functional>
#include <memory>

#include "text/text.h"

// The numbers that SetProxy, SetOption and SetCredentials take.
constexpr int kUseNamedProxy = 2;  // SetProxy: through the server given with it
constexpr int kOptionIgnoredCertificateErrors = 4;
constexpr int kOptionAutomaticRedirects = 6;  // 0 switches following redirects off
// Flags of option 4: the certificate errors that the object ignores.
constexpr int kIgnoreUnknownAuthority = 0x0100;
constexpr int kIgnoreWrongUsage = 0x0200;
constexpr int kIgnoreInvalidName = 0x1000;
constexpr int kIgnoreInvalidDate = 0x2000;
constexpr int kCredentialsForServer = 0;
constexpr int kCredentialsForProxy = 1;

// Operations of one request object, in the order a request uses them. A call that fails returns
// false; a read that fails returns the empty value of its type.
class RequestObject {
 public:
  virtual ~RequestObject() = default;

  // Milliseconds for resolving, connecting, sending and receiving.
  virtual bool SetTimeouts(int resolve, int connect, int send, int receive) = 0;
  // Setting 2 sends the request through the named proxy server.
  virtual bool SetProxy(int setting, const Text& server) = 0;
  virtual bool Open(const Text& method, const Text& url, bool async) = 0;
  // Option 6 (automatic redirects) and option 4 (certificate errors to ignore).
  virtual bool SetOption(int option, int value) = 0;
  // Target 1 is the proxy, 0 the server.
  virtual bool SetCredentials(const Text& user, const Text& password, int target) = 0;
  virtual bool SetRequestHeader(const Text& name, const Text& value) = 0;
  virtual bool SendText(const Text& body) = 0;
  virtual bool SendBytes(const Bytes& body) = 0;

  virtual Bytes ResponseBody() = 0;
  // The response's header lines separated by CR LF.
  virtual Text GetAllResponseHeaders() = 0;
  virtual int Status() = 0;
};

// Handle on one request object. Copying adds a reference, Release() or destruction drops one. A
// handle that holds no object fails every call and reads empty values.
class HttpRequestObject {
 public:
  HttpRequestObject() = default;
  explicit HttpRequestObject(std::shared_ptr<RequestObject> object) : object_(std::move(object)) {}

  bool HasObject() const { return object_ != nullptr; }
  void Release() { object_.reset(); }

  bool SetTimeouts(int resolve, int connect, int send, int receive);
  bool SetProxy(int setting, const Text& server);
  bool Open(const Text& method, const Text& url, bool async);
  bool SetOption(int option, int value);
  bool SetCredentials(const Text& user, const Text& password, int target);
  // Refuses a name or value that holds a CR or LF byte: it would put a line of its own on the wire.
  bool SetRequestHeader(const Text& name, const Text& value);
  bool SendText(const Text& body);
  bool SendBytes(const Bytes& body);
  Bytes ResponseBody();
  Text GetAllResponseHeaders();
  int Status();

 private:
  std::shared_ptr<RequestObject> object_;
};

// Makes a new request object; a handle without an object when that is impossible.
using RequestObjectFactory = std::function<HttpRequestObject()>;

// The platform's request object ("WinHttp.WinHttpRequest.5.1" on Windows). Defined by the
// platform adapter.
HttpRequestObject CreateHttpRequestObject();
