// The request object on Linux: one libcurl easy handle that behaves, for every operation the
// request routine uses, as WinHTTP's request object does on Windows.
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "text/codepage.h"
#include "web/http_request_object.h"

namespace {

constexpr long kMaximumRedirects = 10;

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i]))
      return false;
  }
  return true;
}

// Owns one curl_slist.
class HeaderList {
 public:
  HeaderList() = default;
  ~HeaderList() { curl_slist_free_all(list_); }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  void Append(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list_, line.c_str()))
      list_ = grown;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

// Owns one easy handle.
class EasyHandle {
 public:
  EasyHandle() : handle_(curl_easy_init()) {}
  ~EasyHandle() {
    if (handle_ != nullptr)
      curl_easy_cleanup(handle_);
  }
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;
  CURL* get() const { return handle_; }

 private:
  CURL* handle_;
};

using Clock = std::chrono::steady_clock;

// Ends a transfer that makes no progress for longer than the send or receive time-out: libcurl
// itself only limits the whole transfer, while WinHTTP limits each wait.
struct StallGuard {
  CURL* handle = nullptr;
  long sendLimitMs = 0;     // 0: no limit
  long receiveLimitMs = 0;  // 0: no limit
  curl_off_t lastUp = -1;
  curl_off_t lastDown = -1;
  Clock::time_point lastProgress;

  static int OnProgress(void* self, curl_off_t downTotal, curl_off_t downNow, curl_off_t upTotal,
                        curl_off_t upNow) {
    return static_cast<StallGuard*>(self)->Check(downTotal, downNow, upTotal, upNow) ? 0 : 1;
  }

  bool Check(curl_off_t, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) {
    const Clock::time_point now = Clock::now();
    curl_off_t connected = 0;
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected == 0 || downNow != lastDown || upNow != lastUp) {
      // Still connecting (the connect time-out covers that) or bytes moved.
      lastDown = downNow;
      lastUp = upNow;
      lastProgress = now;
      return true;
    }
    const bool sending = upNow < upTotal;
    const long limit = sending ? sendLimitMs : receiveLimitMs;
    return limit == 0 || now - lastProgress < std::chrono::milliseconds(limit);
  }
};

struct Response {
  bool complete = false;
  Bytes body;
  std::vector<std::string> headerLines;  // of the latest response only
  long status = 0;

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    Bytes& body = static_cast<Response*>(self)->body;
    body.insert(body.end(), data, data + size * count);
    return size * count;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto& lines = static_cast<Response*>(self)->headerLines;
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
      line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
      lines.clear();  // a new response begins: a redirect was followed or a 1xx went before
    } else if (!line.empty()) {
      lines.push_back(std::move(line));
    }
    return size * count;
  }
};

class CurlRequestObject : public RequestObject {
 public:
  bool SetTimeouts(int resolve, int connect, int send, int receive) override {
    // Resolving and connecting are one phase in libcurl; a limit of 0 or -1 means none.
    const auto limited = [](int ms) { return ms > 0; };
    connectLimitMs_ = (limited(resolve) && limited(connect))
                          ? static_cast<long>(std::int64_t{resolve} + connect)
                          : 0;
    sendLimitMs_ = limited(send) ? send : 0;
    receiveLimitMs_ = limited(receive) ? receive : 0;
    return true;
  }

  bool SetProxy(int setting, const Text& server) override {
    proxy_ = setting == kUseNamedProxy ? TextToUtf8(server) : std::string();
    return true;
  }

  bool Open(const Text& method, const Text& url, bool async) override {
    if (async || !IsMethodToken(method))
      return false;
    method_ = method;
    url_ = TextToUtf8(url);
    headers_.clear();
    response_ = Response();
    opened_ = true;
    return true;
  }

  bool SetOption(int option, int value) override {
    if (option == kOptionAutomaticRedirects) {
      followRedirects_ = value != 0;
      return true;
    }
    if (option == kOptionIgnoredCertificateErrors) {
      verifyPeer_ =
          (value & (kIgnoreUnknownAuthority | kIgnoreWrongUsage | kIgnoreInvalidDate)) == 0;
      verifyHost_ = (value & kIgnoreInvalidName) == 0;
      return true;
    }
    return false;
  }

  bool SetCredentials(const Text& user, const Text& password, int target) override {
    if (target == kCredentialsForProxy) {
      proxyUser_ = TextToUtf8(user);
      proxyPassword_ = TextToUtf8(password);
      return true;
    }
    if (target == kCredentialsForServer) {
      serverUser_ = TextToUtf8(user);
      serverPassword_ = TextToUtf8(password);
      hasServerCredentials_ = true;
      return true;
    }
    return false;
  }

  bool SetRequestHeader(const Text& name, const Text& value) override {
    if (!opened_ || name.empty())
      return false;
    const std::string utf8Name = TextToUtf8(name);
    for (auto& header : headers_) {
      if (SameNameIgnoringCase(header.first, utf8Name)) {
        header.second = TextToUtf8(value);
        return true;
      }
    }
    headers_.emplace_back(utf8Name, TextToUtf8(value));
    return true;
  }

  // A text body goes out as WinHTTP sends a BSTR: ASCII as it is, anything else as UTF-8.
  bool SendText(const Text& body) override {
    const std::string bytes = IsAscii(body) ? body : TextToUtf8(body);
    return Perform(bytes);
  }

  bool SendBytes(const Bytes& body) override {
    return Perform(std::string(body.begin(), body.end()));
  }

  Bytes ResponseBody() override { return response_.complete ? response_.body : Bytes(); }

  Text GetAllResponseHeaders() override {
    if (!response_.complete)
      return Text();
    Text joined;
    for (const std::string& line : response_.headerLines) {
      if (!joined.empty())
        joined += "\r\n";
      joined += line;
    }
    return joined;
  }

  int Status() override { return response_.complete ? static_cast<int>(response_.status) : 0; }

 private:
  // Like WinHTTP, any verb is accepted, as long as it is one word of printable ASCII.
  static bool IsMethodToken(const Text& method) {
    if (method.empty())
      return false;
    for (char c : method) {
      if (c <= ' ' || c >= 0x7F)
        return false;
    }
    return true;
  }

  bool HasHeader(const std::string& name) const {
    for (const auto& header : headers_) {
      if (SameNameIgnoringCase(header.first, name))
        return true;
    }
    return false;
  }

  bool Perform(const std::string& body) {
    response_ = Response();
    if (!opened_)
      return false;
    EasyHandle easy;
    CURL* curl = easy.get();
    if (curl == nullptr)
      return false;

    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaximumRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, verifyPeer_ ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, verifyHost_ ? 2L : 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectLimitMs_);
    // An empty proxy text means a direct connection, whatever the environment says.
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy_.c_str());
    // A Proxy-Authorization header of the caller's already carries the credentials; libcurl would
    // add a second one.
    if (!proxy_.empty() && !proxyUser_.empty() && !HasHeader("Proxy-Authorization")) {
      curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxyUser_.c_str());
      curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxyPassword_.c_str());
      curl_easy_setopt(curl, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
    }
    if (hasServerCredentials_) {
      curl_easy_setopt(curl, CURLOPT_USERNAME, serverUser_.c_str());
      curl_easy_setopt(curl, CURLOPT_PASSWORD, serverPassword_.c_str());
      curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    }

    if (method_ == "HEAD") {
      curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (method_ == "POST" || !body.empty()) {
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    }
    if (method_ != "GET" && method_ != "HEAD" && method_ != "POST") {
      curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method_.c_str());
    } else if (method_ == "GET" && !body.empty()) {
      curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "GET");
    }

    HeaderList headerList;
    for (const auto& [name, value] : headers_) {
      // "Name;" is libcurl's way to send a header with an empty value.
      headerList.Append(value.empty() ? name + ";" : name + ": " + value);
    }
    // Only the caller's headers: none of libcurl's own defaults.
    if (!HasHeader("Accept"))
      headerList.Append("Accept:");
    if (!HasHeader("Content-Type"))
      headerList.Append("Content-Type:");
    if (!HasHeader("Expect"))
      headerList.Append("Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());

    Response response;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Response::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Response::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);

    StallGuard guard;
    guard.handle = curl;
    guard.sendLimitMs = sendLimitMs_;
    guard.receiveLimitMs = receiveLimitMs_;
    guard.lastProgress = Clock::now();
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &StallGuard::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &guard);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    if (curl_easy_perform(curl) != CURLE_OK)
      return false;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    response.complete = true;
    response_ = std::move(response);
    return true;
  }

  long connectLimitMs_ = 0;
  long sendLimitMs_ = 0;
  long receiveLimitMs_ = 0;
  std::string proxy_;
  std::string proxyUser_, proxyPassword_;
  std::string serverUser_, serverPassword_;
  bool hasServerCredentials_ = false;
  bool followRedirects_ = true;
  bool verifyPeer_ = true;
  bool verifyHost_ = true;

  bool opened_ = false;
  Text method_;
  std::string url_;
  std::vector<std::pair<std::string, std::string>> headers_;
  Response response_;
};

}  // namespace

HttpRequestObject CreateHttpRequestObject() {
  // libcurl's global set-up is not safe to run on two threads at once.
  static std::once_flag globalInit;
  static bool ready = false;
  std::call_once(globalInit, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  if (!ready)
    return HttpRequestObject();
  return HttpRequestObject(std::make_shared<CurlRequestObject>());
}
