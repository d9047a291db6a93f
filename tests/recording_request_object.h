// A request object that writes down every call with its arguments and answers reads with canned
// values, for checking exactly what WebRequest asks of the object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "web/http_request_object.h"

struct RecordedResponse {
  bool readsFail = false;
  Bytes body;
  Text headers;
  int status = 0;
};

class RecordingRequestObject : public RequestObject {
 public:
  using Log = std::vector<std::string>;

  RecordingRequestObject(std::shared_ptr<Log> log, RecordedResponse response)
      : log_(std::move(log)), response_(std::move(response)) {}
  ~RecordingRequestObject() override { log_->push_back("release"); }

  bool SetTimeouts(int resolve, int connect, int send, int receive) override {
    return Record("SetTimeouts(" + std::to_string(resolve) + ", " + std::to_string(connect) + ", " +
                  std::to_string(send) + ", " + std::to_string(receive) + ")");
  }
  bool SetProxy(int setting, const Text& server) override {
    return Record("SetProxy(" + std::to_string(setting) + ", '" + server + "')");
  }
  bool Open(const Text& method, const Text& url, bool async) override {
    return Record("Open('" + method + "', '" + url + "', " + (async ? "true" : "false") + ")");
  }
  bool SetOption(int option, int value) override {
    return Record("Option(" + std::to_string(option) + ", " + std::to_string(value) + ")");
  }
  bool SetCredentials(const Text& user, const Text& password, int target) override {
    return Record("SetCredentials('" + user + "', '" + password + "', " + std::to_string(target) +
                  ")");
  }
  bool SetRequestHeader(const Text& name, const Text& value) override {
    return Record("SetRequestHeader('" + name + "', '" + value + "')");
  }
  bool SendText(const Text& body) override { return Record("SendText('" + body + "')"); }
  bool SendBytes(const Bytes& body) override {
    return Record("SendBytes(" + std::to_string(body.size()) + " bytes)");
  }
  Bytes ResponseBody() override {
    Record("ResponseBody");
    return response_.readsFail ? Bytes() : response_.body;
  }
  Text GetAllResponseHeaders() override {
    Record("GetAllResponseHeaders");
    return response_.readsFail ? Text() : response_.headers;
  }
  int Status() override {
    Record("Status");
    return response_.readsFail ? 0 : response_.status;
  }

 private:
  bool Record(std::string call) {
    log_->push_back(std::move(call));
    return !response_.readsFail;
  }

  std::shared_ptr<Log> log_;
  RecordedResponse response_;
};
