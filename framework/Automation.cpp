#include "Automation.h"

#include <vector>

#include "Strings.h"

namespace {
// The system's text for an HRESULT, else its number.
std::string HResultText(HRESULT code) {
  std::string text = SystemMessage((DWORD)code);
  if (text.empty()) {
    char number[32];
    wsprintfA(number, "OLE error %08X", (unsigned)code);
    text = number;
  }
  return text;
}

[[noreturn]] void Fail(HRESULT code) { throw EOleError(HResultText(code), code); }

void Check(HRESULT code) {
  if (FAILED(code)) Fail(code);
}

// The error an object left for this thread (IErrorInfo), when it left one.
[[noreturn]] void FailWithErrorInfo(HRESULT code) {
  TComPtr<IErrorInfo> info;
  BSTR description = nullptr;
  std::string text;
  if (GetErrorInfo(0, info.OutTyped()) == S_OK && info && SUCCEEDED(info->GetDescription(&description)) &&
      description != nullptr)
    text = Narrow(description, SysStringLen(description));
  SysFreeString(description);
  throw EOleError(text.empty() ? HResultText(code) : text, code);
}

// The error a call raised: the object's description when it gave one.
[[noreturn]] void FailWith(EXCEPINFO& info, HRESULT code) {
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  BSTR description = info.bstrDescription;
  std::string text = description != nullptr ? Narrow(description, SysStringLen(description)) : "";
  HRESULT reported = info.scode != 0 ? info.scode : code;
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  throw EOleError(text.empty() ? HResultText(reported) : text, reported);
}
}  // namespace

// ---- TComInit ----

TComInit::TComInit() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

TComInit::~TComInit() {
  if (SUCCEEDED(result_)) CoUninitialize();
}

// ---- TOleVariant ----

TOleVariant::TOleVariant() { VariantInit(&value_); }

TOleVariant::TOleVariant(int value) : TOleVariant() {
  value_.vt = VT_I4;
  value_.lVal = value;
}

TOleVariant::TOleVariant(bool value) : TOleVariant() {
  value_.vt = VT_BOOL;
  value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

TOleVariant::TOleVariant(double value) : TOleVariant() {
  value_.vt = VT_R8;
  value_.dblVal = value;
}

TOleVariant::TOleVariant(const char* text) : TOleVariant(std::string(text)) {}

TOleVariant::TOleVariant(const std::string& text) : TOleVariant() {
  std::wstring wide = Widen(text);
  value_.vt = VT_BSTR;
  value_.bstrVal = SysAllocStringLen(wide.data(), (UINT)wide.size());
}

TOleVariant::TOleVariant(IDispatch* object) : TOleVariant() {
  value_.vt = VT_DISPATCH;
  value_.pdispVal = object;
  if (object != nullptr) object->AddRef();
}

TOleVariant::~TOleVariant() { VariantClear(&value_); }

TOleVariant::TOleVariant(const TOleVariant& other) : TOleVariant() {
  VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
}

TOleVariant& TOleVariant::operator=(const TOleVariant& other) {
  if (this != &other) VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
  return *this;
}

TOleVariant::TOleVariant(TOleVariant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

TOleVariant& TOleVariant::operator=(TOleVariant&& other) noexcept {
  if (this != &other) {
    VariantClear(&value_);
    value_ = other.value_;
    VariantInit(&other.value_);
  }
  return *this;
}

VARIANT* TOleVariant::Out() {
  VariantClear(&value_);
  return &value_;
}

int TOleVariant::AsInt() const {
  TOleVariant converted;
  Check(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value_), 0, VT_I4));
  return converted.value_.lVal;
}

bool TOleVariant::AsBool() const {
  TOleVariant converted;
  Check(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value_), 0, VT_BOOL));
  return converted.value_.boolVal != VARIANT_FALSE;
}

std::string TOleVariant::AsString() const {
  if (IsEmpty()) return "";
  TOleVariant converted;
  Check(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value_), 0, VT_BSTR));
  BSTR text = converted.value_.bstrVal;
  return text != nullptr ? Narrow(text, SysStringLen(text)) : "";
}

TAutoObject TOleVariant::AsObject() const {
  if (value_.vt == VT_DISPATCH) return TAutoObject(value_.pdispVal);
  if (value_.vt == (VT_DISPATCH | VT_BYREF) && value_.ppdispVal != nullptr) return TAutoObject(*value_.ppdispVal);
  if (value_.vt == VT_UNKNOWN && value_.punkVal != nullptr) {
    TComPtr<IDispatch> object;
    Check(value_.punkVal->QueryInterface(IID_IDispatch, object.Out()));
    return TAutoObject(object.Get());
  }
  Fail(DISP_E_TYPEMISMATCH);
}

// ---- TAutoObject ----

TAutoObject::TAutoObject(IDispatch* object) : object_(object) {
  if (object != nullptr) object->AddRef();
}

TAutoObject TAutoObject::Create(const std::string& progId, DWORD context) {
  CLSID clsid;
  Check(CLSIDFromProgID(Widen(progId).c_str(), &clsid));
  TComPtr<IDispatch> object;
  Check(CoCreateInstance(clsid, nullptr, context, IID_IDispatch, object.Out()));
  return TAutoObject(object.Get());
}

TOleVariant TAutoObject::Invoke(const std::string& name, WORD kind, const TOleVariant* args, size_t count) const {
  if (!object_) Fail(E_POINTER);
  std::wstring wide = Widen(name);
  LPOLESTR names = wide.data();
  DISPID id = DISPID_UNKNOWN;
  Check(object_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id));
  // Automation takes the arguments last first.
  std::vector<VARIANT> reversed;
  for (size_t i = count; i-- > 0;) reversed.push_back(args[i].Raw());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), kind == DISPATCH_PROPERTYPUT ? &named : nullptr, (UINT)count,
                    kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
  TOleVariant result;
  EXCEPINFO info{};
  UINT argError = 0;
  HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                               kind == DISPATCH_PROPERTYPUT ? nullptr : result.Out(), &info, &argError);
  if (hr == DISP_E_EXCEPTION) FailWith(info, hr);
  if (FAILED(hr)) FailWithErrorInfo(hr);
  return result;
}

TOleVariant TAutoObject::Call(const std::string& name, std::initializer_list<TOleVariant> args) const {
  return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args.begin(), args.size());
}

TOleVariant TAutoObject::Get(const std::string& name, std::initializer_list<TOleVariant> args) const {
  return Invoke(name, DISPATCH_PROPERTYGET, args.begin(), args.size());
}

void TAutoObject::Put(const std::string& name, const TOleVariant& value) const {
  Invoke(name, DISPATCH_PROPERTYPUT, &value, 1);
}

void TAutoObject::ForEach(const std::function<bool(const TOleVariant&)>& fn) const {
  if (!object_) Fail(E_POINTER);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  TOleVariant enumerator;
  EXCEPINFO info{};
  HRESULT hr = object_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                               &none, enumerator.Out(), &info, nullptr);
  if (hr == DISP_E_EXCEPTION) FailWith(info, hr);
  Check(hr);
  const VARIANT& raw = enumerator.Raw();
  IUnknown* unknown = raw.vt == VT_UNKNOWN || raw.vt == VT_DISPATCH ? raw.punkVal : nullptr;
  if (unknown == nullptr) Fail(DISP_E_TYPEMISMATCH);
  TComPtr<IEnumVARIANT> items;
  Check(unknown->QueryInterface(IID_IEnumVARIANT, items.Out()));
  for (;;) {
    TOleVariant item;
    ULONG fetched = 0;
    if (items->Next(1, item.Out(), &fetched) != S_OK || fetched == 0) break;
    if (!fn(item)) break;
  }
}
