// Late-bound automation: create an object by its ProgID, call its methods and read or write its
// properties by name with positional arguments, and walk a collection through its _NewEnum. A
// failing call raises EOleError with the object's own error text (its EXCEPINFO), else the
// system's text for the HRESULT.
//
// How to use:
//   TComInit com;                                   // COM on this thread for the length of the work
//   TAutoObject script = TAutoObject::Create("MSScriptControl.ScriptControl");
//   script.Put("Language", "VBScript");
//   int sum = script.Call("Eval", {"1+2"}).AsInt();
//   dictionary.ForEach([&](const TOleVariant& key) { keys.push_back(key.AsString()); return true; });
#pragma once

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include <windows.h>
#include <oaidl.h>

#include "ComPtr.h"

// A failed automation call; Code() is its HRESULT.
class EOleError : public std::runtime_error {
 public:
  EOleError(const std::string& text, HRESULT code) : std::runtime_error(text), code_(code) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// COM initialised (apartment-threaded) on this thread while it lives; balanced, and harmless
// when the thread has COM already.
class TComInit {
 public:
  TComInit();
  ~TComInit();
  TComInit(const TComInit&) = delete;
  TComInit& operator=(const TComInit&) = delete;

 private:
  HRESULT result_;
};

class TAutoObject;

// Owns one VARIANT: an argument or a result.
class TOleVariant {
 public:
  TOleVariant();
  TOleVariant(int value);
  TOleVariant(bool value);
  TOleVariant(double value);
  TOleVariant(const char* text);
  TOleVariant(const std::string& text);
  TOleVariant(IDispatch* object);   // adds its own reference
  ~TOleVariant();
  TOleVariant(const TOleVariant& other);
  TOleVariant& operator=(const TOleVariant& other);
  TOleVariant(TOleVariant&& other) noexcept;
  TOleVariant& operator=(TOleVariant&& other) noexcept;

  VARTYPE Type() const { return value_.vt; }
  bool IsEmpty() const { return value_.vt == VT_EMPTY || value_.vt == VT_NULL; }
  // Conversions raise EOleError when the value has no such form.
  int AsInt() const;
  bool AsBool() const;
  std::string AsString() const;
  TAutoObject AsObject() const;

  const VARIANT& Raw() const { return value_; }
  VARIANT* Out();   // clears the value first

 private:
  VARIANT value_;
};

// One automation object reached by name (IDispatch).
class TAutoObject {
 public:
  TAutoObject() = default;
  explicit TAutoObject(IDispatch* object);   // adds its own reference
  // Creates the object registered as progId (in-process or local server).
  static TAutoObject Create(const std::string& progId, DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER);

  explicit operator bool() const { return static_cast<bool>(object_); }
  IDispatch* Dispatch() const { return object_.Get(); }

  TOleVariant Call(const std::string& name, std::initializer_list<TOleVariant> args = {}) const;
  TOleVariant Get(const std::string& name, std::initializer_list<TOleVariant> args = {}) const;
  void Put(const std::string& name, const TOleVariant& value) const;
  // Calls fn for each element of the collection until fn returns false.
  void ForEach(const std::function<bool(const TOleVariant&)>& fn) const;

 private:
  TOleVariant Invoke(const std::string& name, WORD kind, const TOleVariant* args, size_t count) const;
  TComPtr<IDispatch> object_;
};
