// Late-bound automation against objects every Windows (and Wine) prefix registers, and against a
// small object of our own that fails the way automation servers report errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Automation.h"

namespace {
// Knows one member, "Fail", whose call raises an exception with the given description.
class TFailingObject : public IDispatch {
 public:
  explicit TFailingObject(const wchar_t* description) : description_(description) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
    if (lstrcmpiW(names[0], L"Fail") != 0) return DISP_E_UNKNOWNNAME;
    *id = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* info, UINT*) override {
    *info = EXCEPINFO{};
    info->bstrDescription = description_ != nullptr ? SysAllocString(description_) : nullptr;
    info->scode = E_FAIL;
    return DISP_E_EXCEPTION;
  }
  ULONG refs_ = 1;

 private:
  const wchar_t* description_;
};

// The text and code of the error a call raises.
template <class F>
std::pair<std::string, HRESULT> ErrorOf(F call) {
  try {
    call();
  } catch (const EOleError& e) {
    return {e.what(), e.Code()};
  }
  return {"no error", S_OK};
}
}  // namespace

TEST(Automation, ScriptControlEvaluatesAndAFailingEvalRaisesItsError) {
  TComInit com;
  TAutoObject script = TAutoObject::Create("MSScriptControl.ScriptControl");
  script.Put("Language", "VBScript");
  EXPECT_EQ(script.Get("Language").AsString(), "VBScript");
  EXPECT_EQ(script.Call("Eval", {"1+2"}).AsInt(), 3);
  EXPECT_EQ(script.Call("Eval", {"\"a\" & 2"}).AsString(), "a2");
  auto [text, code] = ErrorOf([&] { script.Call("Eval", {"CInt(\"x\")"}); });
  EXPECT_EQ((unsigned)code, 0x800A000Du);   // the script's "Type mismatch"
  EXPECT_NE(text, "");
  EXPECT_EQ(script.Get("Error").AsObject().Get("Description").AsString(), "Type mismatch");
  // An unknown programmatic identifier or an empty object fails the same way.
  EXPECT_THROW(TAutoObject::Create("Zelvoran.NoSuchObject"), EOleError);
  EXPECT_THROW(TAutoObject().Call("Anything"), EOleError);
}

TEST(Automation, AFailingCallCarriesTheObjectsOwnTextElseTheCode) {
  TFailingObject described(L"Restore point not created");
  EXPECT_EQ(ErrorOf([&] { TAutoObject(&described).Call("Fail", {1, "two"}); }),
            std::make_pair(std::string("Restore point not created"), E_FAIL));
  TFailingObject silent(nullptr);
  auto [text, code] = ErrorOf([&] { TAutoObject(&silent).Call("Fail"); });
  EXPECT_NE(text, "");
  EXPECT_EQ(code, E_FAIL);
  EXPECT_THROW(TAutoObject(&silent).Get("Other"), EOleError);
  EXPECT_EQ(described.refs_, 1u);   // every reference given back
  EXPECT_EQ(silent.refs_, 1u);
}

TEST(Automation, DictionaryTakesPositionalArgumentsAndEnumeratesItsKeys) {
  TComInit com;
  TAutoObject dictionary = TAutoObject::Create("Scripting.Dictionary");
  dictionary.Call("Add", {"one", 1});
  dictionary.Call("Add", {"two", 2});
  EXPECT_EQ(dictionary.Get("Count").AsInt(), 2);
  EXPECT_EQ(dictionary.Get("Item", {"two"}).AsInt(), 2);
  EXPECT_TRUE(dictionary.Call("Exists", {"one"}).AsBool());
  std::vector<std::string> keys;
  dictionary.ForEach([&](const TOleVariant& key) {
    keys.push_back(key.AsString());
    return true;
  });
  EXPECT_EQ(keys, (std::vector<std::string>{"one", "two"}));
  EXPECT_THROW(dictionary.Call("Add", {"one", 3}), EOleError);   // a key already there
}
