#include "web/http_request_object.h"

namespace {

bool HoldsLineBreak(const Text& text) {
  return text.find_first_of("\r\n") != Text::npos;
}

}  // namespace

bool HttpRequestObject::SetTimeouts(int resolve, int connect, int send, int receive) {
  return object_ && object_->SetTimeouts(resolve, connect, send, receive);
}

bool HttpRequestObject::SetProxy(int setting, const Text& server) {
  return object_ && object_->SetProxy(setting, server);
}

bool HttpRequestObject::Open(const Text& method, const Text& url, bool async) {
  return object_ && object_->Open(method, url, async);
}

bool HttpRequestObject::SetOption(int option, int value) {
  return object_ && object_->SetOption(option, value);
}

bool HttpRequestObject::SetCredentials(const Text& user, const Text& password, int target) {
  return object_ && object_->SetCredentials(user, password, target);
}

bool HttpRequestObject::SetRequestHeader(const Text& name, const Text& value) {
  if (HoldsLineBreak(name) || HoldsLineBreak(value))
    return false;
  return object_ && object_->SetRequestHeader(name, value);
}

bool HttpRequestObject::SendText(const Text& body) {
  return object_ && object_->SendText(body);
}

bool HttpRequestObject::SendBytes(const Bytes& body) {
  return object_ && object_->SendBytes(body);
}

Bytes HttpRequestObject::ResponseBody() {
  return object_ ? object_->ResponseBody() : Bytes();
}

Text HttpRequestObject::GetAllResponseHeaders() {
  return object_ ? object_->GetAllResponseHeaders() : Text();
}

int HttpRequestObject::Status() {
  return object_ ? object_->Status() : 0;
}
