// What every automation piece of kelv.dll shares: UTF-8 and UTF-16 texts,
// VARIANTs and the host's values, failures as automation errors, a
// reference-counted IDispatch whose members are a table of names, and the
// one late-bound call path into another object's IDispatch.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/form.h"
#include "host/host_error.h"
#include "host/page_setup.h"
#include "host/variant.h"

namespace kelv::automation {

// Objects alive in this module; DllCanUnloadNow answers from it.
extern std::atomic<long> g_live_objects;

// The reference count of one of this module's COM objects, which counts the
// object among the live ones while it exists. `release` deletes the object
// when the last reference goes.
class RefCount {
 public:
  RefCount() { ++g_live_objects; }
  ~RefCount() { --g_live_objects; }
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  ULONG add() { return static_cast<ULONG>(++refs_); }
  template <class T>
  ULONG release(T* object) {
    const long left = --refs_;
    if (left == 0) delete object;
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> refs_{1};
};

// QueryInterface's answer once the object has picked the pointer for the
// interface asked (null when it has none): E_POINTER, E_NOINTERFACE, or the
// pointer, with a reference added to `owner`, whose one count every
// interface of the object shares.
inline HRESULT answer_query(void** out, void* found, IUnknown* owner) {
  if (!out) return E_POINTER;
  *out = found;
  if (!found) return E_NOINTERFACE;
  owner->AddRef();
  return S_OK;
}

std::wstring wide(std::string_view utf8);
std::string narrow(const wchar_t* text, size_t length);
std::string narrow(const wchar_t* text);
std::string from_bstr(BSTR text);
BSTR to_bstr(std::string_view utf8);

// VT_BYREF|VT_VARIANT resolved to the variant it points at (any depth).
const VARIANT& unwrap(const VARIANT& v);

// A VARIANT owned by C++ scope.
class Var {
 public:
  Var() { VariantInit(&v_); }
  Var(const Var& o) : Var() { VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)); }
  Var& operator=(const Var& o) {
    if (this != &o) VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
    return *this;
  }
  ~Var() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  // Takes a copy of a dispatch pointer (AddRef).
  static Var object(IDispatch* d);
  static Var from(const host::Variant& value);

 private:
  VARIANT v_;
};

// Value conversions, done once at the boundary. A VARIANT that is no cell
// value (an object, an array) fails with 13.
host::Variant to_host(const VARIANT& v);
void to_variant(const host::Variant& value, VARIANT* out);

// The HRESULT an automation client reads back as the error's number: a
// FACILITY_CONTROL code for the runtime's numbers, the number itself when it
// is already an HRESULT.
HRESULT error_hresult(int32_t number);
// The other way round: the number a client shows for an HRESULT.
int32_t error_number(HRESULT hr);

// Sets the thread's error information (source, description) and returns the
// HRESULT for the failure.
HRESULT set_error_info(const host::HostError& e);
// Fills EXCEPINFO for IDispatch::Invoke; DISP_E_EXCEPTION to return.
HRESULT fill_excepinfo(const host::HostError& e, EXCEPINFO* info);
// Runs f, turning HostError and other C++ exceptions into an automation
// failure: EXCEPINFO when given, else the thread's error information.
HRESULT guarded(EXCEPINFO* info, const std::function<void()>& f);

// The arguments of one Invoke: positional ones in the caller's order and
// named ones by name, each with VT_BYREF|VT_VARIANT resolved.
class Args {
 public:
  Args(const DISPPARAMS* params, const std::vector<std::wstring>* named_ids);
  size_t count() const { return positional_.size(); }
  bool has(size_t i) const;
  // The i-th positional argument; 449 (argument not optional) when missing.
  const VARIANT& at(size_t i) const;
  // A named argument, else the positional one at `position` when given.
  const VARIANT* find(std::wstring_view name, size_t position = SIZE_MAX) const;
  // The value of a property put.
  const VARIANT& put_value() const;
  bool is_put() const { return put_ != nullptr; }

 private:
  std::vector<const VARIANT*> positional_;
  std::vector<std::pair<std::wstring, const VARIANT*>> named_;
  const VARIANT* put_ = nullptr;
};

// Argument helpers that fail with the runtime's numbers.
int32_t arg_int(const VARIANT& v);
double arg_double(const VARIANT& v);
bool arg_bool(const VARIANT& v);
std::string arg_text(const VARIANT& v);
IDispatch* arg_object(const VARIANT& v);  // borrowed; 424 when not an object

// An IDispatch whose members are looked up by name (ignoring case) in a
// table the object builds once. DISPID 0 is the member named "" (the default
// member). Parameter names of named arguments get DISPIDs of their own.
class DispatchObject : public IDispatch {
 public:
  struct Call {
    Args& args;
    WORD flags;
    VARIANT* result;  // may be null
    bool is_put() const { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    void returns(const host::Variant& v) const {
      if (result) to_variant(v, result);
    }
    void returns_object(IDispatch* d) const;  // takes ownership of one reference
  };
  using Member = std::function<void(Call&)>;

  DispatchObject();
  virtual ~DispatchObject();
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT* arg_err) override;

 protected:
  // Adds a member; "" is the default member.
  void member(std::wstring name, Member m);
  // A name the table lacks: a derived object may still know it (a form's
  // controls). Returns the member to call, or nothing for 438.
  virtual std::optional<Member> dynamic_member(std::wstring_view) { return std::nullopt; }
  // Interfaces besides IUnknown and IDispatch.
  virtual void* query(REFIID) { return nullptr; }

 private:
  RefCount refs_;
  std::vector<std::wstring> names_;
  std::vector<Member> members_;
  std::vector<Member> dynamic_;  // DISPIDs past the table, from dynamic_member
  std::vector<std::wstring> dynamic_names_;
};

// Answers QueryInterface with the DispatchObject itself: how an object
// handed back as an argument is known to be one of this module's.
extern const IID IID_DispatchObject;

// The object of type T behind an argument, or 13 when it is another object.
template <class T>
T& ours(IDispatch* d) {
  DispatchObject* obj = nullptr;
  if (d && SUCCEEDED(d->QueryInterface(IID_DispatchObject, reinterpret_cast<void**>(&obj)))) {
    obj->Release();  // the caller's reference keeps it alive
    if (T* t = dynamic_cast<T*>(obj)) return *t;
  }
  throw host::HostError::host(host::kTypeMismatch);
}

// A form control's ControlType, as kelv.Form's controls give it and as
// another application's controls are read: "TextBox", "ComboBox", ...
const char* control_type(host::ControlKind kind);
// The kind a ControlType names; 13 for any other text.
host::ControlKind control_kind(std::string_view type);

// The page setup's properties by their automation names, one list for
// kelv.Application's PageSetup objects and for another application's.
struct PageSetupName {
  host::PageSetupProperty property;
  const wchar_t* name;
};
std::span<const PageSetupName> page_setup_names();
const wchar_t* page_setup_name(host::PageSetupProperty property);

// The error 438 of a member an object lacks.
host::HostError no_such_member(std::string_view object, std::string_view name);

// One late-bound call into another object's IDispatch: the member by name
// (through IDispatchEx when GetIDsOfNames is refused, as script objects do),
// positional arguments in order and named ones after them. A failure comes
// back as HostError with the callee's source, number and description; a
// member the object lacks is 438. Named arguments go by name where the
// object takes names, else by their position.
struct Named {
  std::wstring name;
  Var value;
  // Its place in the member's parameter list, for objects that take
  // arguments by position only (script objects); -1: after the others.
  int position = -1;
};
Var call(IDispatch* target, std::wstring_view name, WORD flags, const std::vector<Var>& args = {},
         const std::vector<Named>& named = {});
Var get(IDispatch* target, std::wstring_view name, const std::vector<Var>& args = {});
void put(IDispatch* target, std::wstring_view name, const Var& value,
         const std::vector<Var>& args = {});
Var method(IDispatch* target, std::wstring_view name, const std::vector<Var>& args = {},
           const std::vector<Named>& named = {});
// The object a VARIANT holds (AddRef'd), or 424.
IDispatch* object_of(const Var& v);

}  // namespace kelv::automation
