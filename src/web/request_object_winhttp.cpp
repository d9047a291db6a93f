// The request object on Windows: WinHTTP's automation object "WinHttp.WinHttpRequest.5.1", every
// method and property reached by name through IDispatch. Texts cross as UTF-16 converted with
// code page 936.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>
#include <vector>

#include "text/codepage.h"
#include "web/http_request_object.h"

namespace {

// Owns one BSTR.
class Bstr {
 public:
  explicit Bstr(const Text& text) {
    const std::u16string wide = TextToUtf16(text);
    value_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                               static_cast<UINT>(wide.size()));
  }
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  // Hands the string over to a VARIANT, which frees it from then on.
  BSTR Detach() { return std::exchange(value_, nullptr); }

 private:
  BSTR value_ = nullptr;
};

// Owns one VARIANT and whatever it holds (a BSTR, a SAFEARRAY).
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant& operator=(Variant&&) = delete;
  Variant(const Variant&) = delete;

  static Variant Int(int number) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = number;
    return v;
  }
  static Variant Bool(bool flag) {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  static Variant String(const Text& text) {
    Variant v;
    v.value_.bstrVal = Bstr(text).Detach();
    if (v.value_.bstrVal != nullptr)
      v.value_.vt = VT_BSTR;
    return v;
  }
  // A one-dimensional array of unsigned bytes.
  static Variant ByteArray(const Bytes& bytes) {
    Variant v;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr)
      return v;
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
      if (!bytes.empty())
        memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
    }
    v.value_.vt = VT_ARRAY | VT_UI1;
    v.value_.parray = array;
    return v;
  }

  VARIANT* get() { return &value_; }
  const VARIANT& raw() const { return value_; }

 private:
  VARIANT value_;
};

// Frees the strings that a failed Invoke may leave in its exception record.
class ExceptionRecord {
 public:
  ExceptionRecord() { ZeroMemory(&info_, sizeof(info_)); }
  ~ExceptionRecord() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  ExceptionRecord(const ExceptionRecord&) = delete;
  ExceptionRecord& operator=(const ExceptionRecord&) = delete;
  EXCEPINFO* get() { return &info_; }

 private:
  EXCEPINFO info_;
};

// Owns one reference to an IDispatch.
class DispatchPtr {
 public:
  explicit DispatchPtr(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~DispatchPtr() {
    if (dispatch_ != nullptr)
      dispatch_->Release();
  }
  DispatchPtr(const DispatchPtr&) = delete;
  DispatchPtr& operator=(const DispatchPtr&) = delete;
  IDispatch* operator->() const { return dispatch_; }

 private:
  IDispatch* dispatch_;
};

class WinHttpRequestObject : public RequestObject {
 public:
  explicit WinHttpRequestObject(IDispatch* dispatch) : dispatch_(dispatch) {}

  bool SetTimeouts(int resolve, int connect, int send, int receive) override {
    return Call(L"SetTimeouts", DISPATCH_METHOD,
                Args(Variant::Int(resolve), Variant::Int(connect), Variant::Int(send),
                     Variant::Int(receive)));
  }
  bool SetProxy(int setting, const Text& server) override {
    return Call(L"SetProxy", DISPATCH_METHOD, Args(Variant::Int(setting), Variant::String(server)));
  }
  bool Open(const Text& method, const Text& url, bool async) override {
    return Call(L"Open", DISPATCH_METHOD,
                Args(Variant::String(method), Variant::String(url), Variant::Bool(async)));
  }
  bool SetOption(int option, int value) override {
    // Option is an indexed property: Option(index) = value.
    return Call(L"Option", DISPATCH_PROPERTYPUT, Args(Variant::Int(option), Variant::Int(value)));
  }
  bool SetCredentials(const Text& user, const Text& password, int target) override {
    return Call(L"SetCredentials", DISPATCH_METHOD,
                Args(Variant::String(user), Variant::String(password), Variant::Int(target)));
  }
  bool SetRequestHeader(const Text& name, const Text& value) override {
    return Call(L"SetRequestHeader", DISPATCH_METHOD,
                Args(Variant::String(name), Variant::String(value)));
  }
  bool SendText(const Text& body) override {
    return Call(L"Send", DISPATCH_METHOD, Args(Variant::String(body)));
  }
  bool SendBytes(const Bytes& body) override {
    return Call(L"Send", DISPATCH_METHOD, Args(Variant::ByteArray(body)));
  }

  Bytes ResponseBody() override {
    Variant result;
    if (!Call(L"ResponseBody", DISPATCH_PROPERTYGET, {}, result.get()))
      return Bytes();
    return BytesOf(result.raw());
  }
  Text GetAllResponseHeaders() override {
    Variant result;
    if (!Call(L"GetAllResponseHeaders", DISPATCH_METHOD, {}, result.get()))
      return Text();
    if (result.raw().vt != VT_BSTR || result.raw().bstrVal == nullptr)
      return Text();
    const BSTR headers = result.raw().bstrVal;
    return Utf16ToText(
        std::u16string_view(reinterpret_cast<const char16_t*>(headers), SysStringLen(headers)));
  }
  int Status() override {
    Variant result;
    if (!Call(L"Status", DISPATCH_PROPERTYGET, {}, result.get()))
      return 0;
    Variant number;
    if (FAILED(VariantChangeType(number.get(), result.get(), 0, VT_R8)))
      return 0;
    return static_cast<int>(number.raw().dblVal);  // truncates toward zero
  }

 private:
  template <typename... Values>
  static std::vector<Variant> Args(Values&&... values) {
    std::vector<Variant> args;
    args.reserve(sizeof...(values));
    (args.push_back(std::forward<Values>(values)), ...);
    return args;
  }

  static Bytes BytesOf(const VARIANT& value) {
    if (value.vt != (VT_ARRAY | VT_UI1) || value.parray == nullptr)
      return Bytes();
    SAFEARRAY* array = value.parray;
    if (SafeArrayGetDim(array) != 1)
      return Bytes();
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    if (upper < lower)
      return Bytes();
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data)))
      return Bytes();
    const auto* first = static_cast<const std::uint8_t*>(data);
    Bytes bytes(first, first + (upper - lower + 1));
    SafeArrayUnaccessData(array);
    return bytes;
  }

  // Looks the member up by name and invokes it with `args` in their natural order.
  bool Call(const wchar_t* name, WORD flags, std::vector<Variant> args, VARIANT* result = nullptr) {
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member))) {
      return false;
    }
    // IDispatch takes the arguments last first; the VARIANTs stay owned by `args`.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it)
      reversed.push_back(it->raw());
    DISPID putTarget = DISPID_PROPERTYPUT;
    DISPPARAMS params = {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (flags == DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &putTarget;
      params.cNamedArgs = 1;
    }
    ExceptionRecord exception;
    UINT badArgument = 0;
    return SUCCEEDED(dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       result, exception.get(), &badArgument));
  }

  DispatchPtr dispatch_;
};

}  // namespace

HttpRequestObject CreateHttpRequestObject() {
  CLSID classId;
  if (FAILED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &classId)))
    return HttpRequestObject();
  IDispatch* dispatch = nullptr;
  if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch)))) {
    return HttpRequestObject();
  }
  return HttpRequestObject(std::make_shared<WinHttpRequestObject>(dispatch));
}
