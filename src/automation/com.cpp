#include "automation/com.h"

#include <dispex.h>

#include <cmath>
#include <cwctype>
#include <exception>
#include <new>
#include <utility>

namespace kelv::automation {

std::atomic<long> g_live_objects{0};

// {2DECACAB-AADC-4B11-AABA-EB0FAE69AB97}
const IID IID_DispatchObject = {
    0x2decacab, 0xaadc, 0x4b11, {0xaa, 0xba, 0xeb, 0x0f, 0xae, 0x69, 0xab, 0x97}};

std::wstring wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(const wchar_t* text, size_t length) {
  if (!text || length == 0) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

std::string narrow(const wchar_t* text) {
  return text ? narrow(text, wcslen(text)) : std::string();
}

std::string from_bstr(BSTR text) {
  return text ? narrow(text, SysStringLen(text)) : std::string();
}

BSTR to_bstr(std::string_view utf8) {
  const std::wstring w = wide(utf8);
  return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

const VARIANT& unwrap(const VARIANT& v) {
  const VARIANT* p = &v;
  while (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
  return *p;
}

Var Var::object(IDispatch* d) {
  Var v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = d;
  if (d) d->AddRef();
  return v;
}

Var Var::from(const host::Variant& value) {
  Var v;
  to_variant(value, v.get());
  return v;
}

namespace {

// Cell errors travel as VT_ERROR with the codes a spreadsheet application
// uses (xlErrNA is 2042 and so on), in the order of host::CellError.
constexpr int32_t kCellErrorCodes[] = {2000, 2007, 2015, 2023, 2029, 2036, 2042, 2043};

host::HostError type_mismatch() {
  return host::HostError::host(host::kTypeMismatch);
}

}  // namespace

host::Variant to_host(const VARIANT& in) {
  const VARIANT& v = unwrap(in);
  if (V_VT(&v) & VT_BYREF) {
    // A typed reference (VT_BYREF|VT_BSTR and the like) from an early-bound
    // caller: copy it out as a plain value first.
    Var plain;
    if (FAILED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&v)))) throw type_mismatch();
    return to_host(*plain);
  }
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return host::Variant();
    case VT_NULL:
      return host::Variant::null();
    case VT_BOOL:
      return host::Variant(V_BOOL(&v) != VARIANT_FALSE);
    case VT_BSTR:
      return host::Variant(from_bstr(V_BSTR(&v)));
    case VT_ERROR: {
      const int32_t code = V_ERROR(&v) & 0xFFFF;
      for (size_t k = 0; k < std::size(kCellErrorCodes); ++k)
        if (kCellErrorCodes[k] == code) return host::Variant(static_cast<host::CellError>(k));
      return host::Variant();  // a missing optional argument
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      // An object's default value, as the runtime reads it.
      IDispatch* d = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : nullptr;
      if (!d) throw host::HostError::host(host::kObjectNotSet);
      return to_host(*call(d, L"", DISPATCH_PROPERTYGET));
    }
    default: {
      Var d;
      if (FAILED(VariantChangeType(d.get(), const_cast<VARIANT*>(&v), 0, VT_R8)))
        throw type_mismatch();
      return host::Variant(V_R8(d.get()));
    }
  }
}

void to_variant(const host::Variant& value, VARIANT* out) {
  VariantClear(out);
  switch (value.kind()) {
    case host::Variant::Kind::Empty:
      V_VT(out) = VT_EMPTY;
      break;
    case host::Variant::Kind::Null:
      V_VT(out) = VT_NULL;
      break;
    case host::Variant::Kind::Boolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.as_bool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case host::Variant::Kind::Number:
      V_VT(out) = VT_R8;
      V_R8(out) = value.as_number();
      break;
    case host::Variant::Kind::Text:
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = to_bstr(value.as_text());
      break;
    case host::Variant::Kind::Error:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) =
          MAKE_HRESULT(1, FACILITY_CONTROL, kCellErrorCodes[static_cast<size_t>(value.as_error())]);
      break;
  }
}

HRESULT error_hresult(int32_t number) {
  if (number < 0) return static_cast<HRESULT>(number);
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(1, FACILITY_CONTROL, number);
  return E_FAIL;
}

int32_t error_number(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL || HRESULT_FACILITY(hr) == FACILITY_DISPATCH)
    return HRESULT_CODE(hr);
  return static_cast<int32_t>(hr);
}

HRESULT set_error_info(const host::HostError& e) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    const std::wstring source = wide(e.source());
    const std::wstring description = wide(e.description());
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return error_hresult(e.number());
}

HRESULT fill_excepinfo(const host::HostError& e, EXCEPINFO* info) {
  if (!info) return set_error_info(e);
  *info = EXCEPINFO{};
  info->bstrSource = to_bstr(e.source());
  info->bstrDescription = to_bstr(e.description());
  info->scode = error_hresult(e.number());
  return DISP_E_EXCEPTION;
}

HRESULT guarded(EXCEPINFO* info, const std::function<void()>& f) {
  auto fail = [&](const host::HostError& e) {
    return info ? fill_excepinfo(e, info) : set_error_info(e);
  };
  try {
    f();
    return S_OK;
  } catch (const host::HostError& e) {
    return fail(e);
  } catch (const std::bad_alloc&) {
    return fail(host::HostError(host::kComponentSource, host::kOutOfMemory,
                                host::standard_description(host::kOutOfMemory)));
  } catch (const std::exception& e) {
    return fail(host::HostError(host::kComponentSource, host::kInvalidArgument, e.what()));
  } catch (...) {
    return fail(host::HostError(host::kComponentSource, host::kInvalidArgument,
                                host::standard_description(host::kInvalidArgument)));
  }
}

// --- Arguments ----------------------------------------------------------------

namespace {

bool is_missing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == static_cast<SCODE>(DISP_E_PARAMNOTFOUND);
}

}  // namespace

Args::Args(const DISPPARAMS* params, const std::vector<std::wstring>* named_ids) {
  if (!params) return;
  const UINT named = params->cNamedArgs;
  // Named arguments come first in rgvarg; positional ones follow, last first.
  for (UINT k = params->cArgs; k > named; --k)
    positional_.push_back(&unwrap(params->rgvarg[k - 1]));
  for (UINT k = 0; k < named; ++k) {
    const DISPID id = params->rgdispidNamedArgs[k];
    const VARIANT* value = &unwrap(params->rgvarg[k]);
    if (id == DISPID_PROPERTYPUT) {
      put_ = value;
    } else if (named_ids && id >= 1000 && static_cast<size_t>(id - 1000) < named_ids->size()) {
      named_.emplace_back((*named_ids)[static_cast<size_t>(id - 1000)], value);
    }
  }
  while (!positional_.empty() && is_missing(*positional_.back())) positional_.pop_back();
}

bool Args::has(size_t i) const {
  return i < positional_.size() && !is_missing(*positional_[i]);
}

const VARIANT& Args::at(size_t i) const {
  if (!has(i)) throw host::HostError::host(host::kArgumentNotOptional);
  return *positional_[i];
}

const VARIANT* Args::find(std::wstring_view name, size_t position) const {
  for (const auto& [n, v] : named_)
    if (_wcsicmp(n.c_str(), std::wstring(name).c_str()) == 0) return v;
  if (position != SIZE_MAX && has(position)) return positional_[position];
  return nullptr;
}

const VARIANT& Args::put_value() const {
  if (put_) return *put_;
  if (!positional_.empty()) return *positional_.back();
  throw host::HostError::host(host::kArgumentNotOptional);
}

int32_t arg_int(const VARIANT& v) {
  return to_host(v).to_int32();
}
double arg_double(const VARIANT& v) {
  return to_host(v).to_double();
}
bool arg_bool(const VARIANT& v) {
  return to_host(v).to_bool();
}
std::string arg_text(const VARIANT& v) {
  return to_host(v).to_text();
}
IDispatch* arg_object(const VARIANT& in) {
  const VARIANT& v = unwrap(in);
  if (V_VT(&v) == VT_DISPATCH) {
    if (!V_DISPATCH(&v)) throw host::HostError::host(host::kObjectNotSet);
    return V_DISPATCH(&v);
  }
  if (V_VT(&v) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&v) && *V_DISPATCHREF(&v))
    return *V_DISPATCHREF(&v);
  throw host::HostError::host(host::kObjectRequired);
}

// --- DispatchObject -------------------------------------------------------------

namespace {

// Parameter names of named arguments share one table: DISPID 1000 + index.
std::vector<std::wstring>& parameter_names() {
  static std::vector<std::wstring> names;
  return names;
}

DISPID parameter_id(const wchar_t* name) {
  auto& names = parameter_names();
  for (size_t k = 0; k < names.size(); ++k)
    if (_wcsicmp(names[k].c_str(), name) == 0) return static_cast<DISPID>(1000 + k);
  names.emplace_back(name);
  return static_cast<DISPID>(1000 + names.size() - 1);
}

constexpr DISPID kFirstDynamic = 100000;

}  // namespace

void DispatchObject::Call::returns_object(IDispatch* d) const {
  if (!result) {
    if (d) d->Release();
    return;
  }
  VariantClear(result);
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = d;
}

DispatchObject::DispatchObject() = default;

DispatchObject::~DispatchObject() = default;

HRESULT DispatchObject::QueryInterface(REFIID riid, void** out) {
  void* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    found = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(riid, IID_DispatchObject)) {
    found = this;
  } else {
    found = query(riid);
  }
  return answer_query(out, found, this);
}

ULONG DispatchObject::AddRef() {
  return refs_.add();
}

ULONG DispatchObject::Release() {
  return refs_.release(this);
}

namespace {

constexpr std::pair<host::ControlKind, const char*> kControlTypes[] = {
    {host::ControlKind::TextBox, "TextBox"},
    {host::ControlKind::ComboBox, "ComboBox"},
    {host::ControlKind::ListBox, "ListBox"},
    {host::ControlKind::CheckBox, "CheckBox"},
    {host::ControlKind::OptionButton, "OptionButton"},
    {host::ControlKind::CommandButton, "CommandButton"},
    {host::ControlKind::MultiPage, "MultiPage"},
};

constexpr PageSetupName kPageSetupNames[] = {
    {host::PageSetupProperty::LeftHeader, L"LeftHeader"},
    {host::PageSetupProperty::CenterHeader, L"CenterHeader"},
    {host::PageSetupProperty::RightHeader, L"RightHeader"},
    {host::PageSetupProperty::LeftFooter, L"LeftFooter"},
    {host::PageSetupProperty::CenterFooter, L"CenterFooter"},
    {host::PageSetupProperty::RightFooter, L"RightFooter"},
    {host::PageSetupProperty::TopMargin, L"TopMargin"},
    {host::PageSetupProperty::BottomMargin, L"BottomMargin"},
    {host::PageSetupProperty::LeftMargin, L"LeftMargin"},
    {host::PageSetupProperty::RightMargin, L"RightMargin"},
    {host::PageSetupProperty::HeaderMargin, L"HeaderMargin"},
    {host::PageSetupProperty::FooterMargin, L"FooterMargin"},
    {host::PageSetupProperty::Orientation, L"Orientation"},
    {host::PageSetupProperty::PaperSize, L"PaperSize"},
    {host::PageSetupProperty::Zoom, L"Zoom"},
    {host::PageSetupProperty::FitToPagesWide, L"FitToPagesWide"},
    {host::PageSetupProperty::FitToPagesTall, L"FitToPagesTall"},
    {host::PageSetupProperty::PrintQuality, L"PrintQuality"},
    {host::PageSetupProperty::CenterHorizontally, L"CenterHorizontally"},
    {host::PageSetupProperty::CenterVertically, L"CenterVertically"},
};

}  // namespace

std::span<const PageSetupName> page_setup_names() {
  return kPageSetupNames;
}

const wchar_t* page_setup_name(host::PageSetupProperty property) {
  for (const PageSetupName& p : kPageSetupNames)
    if (p.property == property) return p.name;
  return L"";
}

const char* control_type(host::ControlKind kind) {
  for (const auto& [k, name] : kControlTypes)
    if (k == kind) return name;
  return "Control";
}

host::ControlKind control_kind(std::string_view type) {
  for (const auto& [k, name] : kControlTypes)
    if (type == name) return k;
  throw host::HostError::host(host::kTypeMismatch);
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

void DispatchObject::member(std::wstring name, Member m) {
  names_.push_back(std::move(name));
  members_.push_back(std::move(m));
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  HRESULT hr = S_OK;
  ids[0] = DISPID_UNKNOWN;
  for (size_t k = 0; k < names_.size(); ++k)
    if (_wcsicmp(names_[k].c_str(), names[0]) == 0) {
      ids[0] = k == 0 && names_[k].empty() ? DISPID_VALUE : static_cast<DISPID>(k + 1);
      break;
    }
  if (ids[0] == DISPID_UNKNOWN) {
    for (size_t k = 0; k < dynamic_names_.size(); ++k)
      if (_wcsicmp(dynamic_names_[k].c_str(), names[0]) == 0) {
        ids[0] = static_cast<DISPID>(kFirstDynamic + k);
        break;
      }
  }
  if (ids[0] == DISPID_UNKNOWN) {
    if (std::optional<Member> m = dynamic_member(names[0])) {
      dynamic_names_.emplace_back(names[0]);
      dynamic_.push_back(std::move(*m));
      ids[0] = static_cast<DISPID>(kFirstDynamic + dynamic_.size() - 1);
    } else {
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  for (UINT k = 1; k < count; ++k) ids[k] = parameter_id(names[k]);
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* info, UINT* arg_err) {
  if (arg_err) *arg_err = 0;
  const Member* m = nullptr;
  if (id == DISPID_VALUE) {
    if (!names_.empty() && names_[0].empty()) m = &members_[0];
  } else if (id >= 1 && static_cast<size_t>(id) <= members_.size()) {
    m = &members_[static_cast<size_t>(id - 1)];
  } else if (id >= kFirstDynamic && static_cast<size_t>(id - kFirstDynamic) < dynamic_.size()) {
    m = &dynamic_[static_cast<size_t>(id - kFirstDynamic)];
  }
  if (!m) return DISP_E_MEMBERNOTFOUND;
  if (result) VariantInit(result);
  // Keep the object alive while its member runs (a member may drop the last
  // outside reference, as Close does).
  AddRef();
  const HRESULT hr = guarded(info, [&] {
    Args args(params, &parameter_names());
    Call call{args, flags, result};
    (*m)(call);
  });
  Release();
  return hr;
}

host::HostError no_such_member(std::string_view object, std::string_view name) {
  (void)object;
  (void)name;
  return host::HostError::host(host::kNoSuchMember);
}

// --- Calling out ------------------------------------------------------------------

namespace {

// The member's DISPID: GetIDsOfNames, or IDispatchEx::GetDispID for objects
// that refuse it. Named-argument names come back in ids[1..].
bool find_ids(IDispatch* target, std::wstring_view name, const std::vector<Named>& named,
              std::vector<DISPID>& ids) {
  if (name.empty() && named.empty()) {
    ids = {DISPID_VALUE};
    return true;
  }
  std::vector<std::wstring> texts;
  texts.emplace_back(name);
  for (const Named& n : named) texts.push_back(n.name);
  std::vector<LPOLESTR> ptrs;
  ptrs.reserve(texts.size());
  for (std::wstring& t : texts) ptrs.push_back(t.data());
  ids.assign(texts.size(), DISPID_UNKNOWN);
  HRESULT hr = target->GetIDsOfNames(IID_NULL, ptrs.data(), static_cast<UINT>(ptrs.size()),
                                     LOCALE_USER_DEFAULT, ids.data());
  if (SUCCEEDED(hr)) {
    if (name.empty()) ids[0] = DISPID_VALUE;
    return true;
  }
  if (hr == DISP_E_UNKNOWNNAME) return false;
  IDispatchEx* ex = nullptr;
  if (FAILED(target->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void**>(&ex))))
    return false;
  bool found = true;
  if (name.empty()) {
    ids[0] = DISPID_VALUE;
  } else {
    BSTR b = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    found = SUCCEEDED(ex->GetDispID(b, fdexNameCaseInsensitive, &ids[0]));
    SysFreeString(b);
  }
  ex->Release();
  // Script objects take no named arguments: they go by position then.
  for (size_t k = 1; k < ids.size(); ++k) ids[k] = DISPID_UNKNOWN;
  return found;
}

}  // namespace

Var call(IDispatch* target, std::wstring_view name, WORD flags, const std::vector<Var>& args,
         const std::vector<Named>& named) {
  if (!target) throw host::HostError::host(host::kObjectNotSet);
  std::vector<DISPID> ids;
  if (!find_ids(target, name, named, ids)) throw host::HostError::host(host::kNoSuchMember);

  const bool by_name = !named.empty() && ids.size() > 1 && ids[1] != DISPID_UNKNOWN;
  // rgvarg holds named arguments first, then the positional ones last first.
  std::vector<VARIANT> argv;
  std::vector<DISPID> named_ids;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (by_name)
    for (size_t k = 0; k < named.size(); ++k) {
      argv.push_back(*named[k].value);
      named_ids.push_back(ids[k + 1]);
    }
  std::vector<const Var*> positional;
  positional.reserve(args.size());
  for (const Var& a : args) positional.push_back(&a);
  Var missing;
  V_VT(missing.get()) = VT_ERROR;
  V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
  if (!by_name)
    for (const Named& n : named) {
      if (n.position < 0) {
        positional.push_back(&n.value);
        continue;
      }
      const size_t at = static_cast<size_t>(n.position);
      if (positional.size() <= at) positional.resize(at + 1, &missing);
      positional[at] = &n.value;
    }
  if (put) {
    // The value of a put is the last argument, passed as the named
    // DISPID_PROPERTYPUT.
    argv.insert(argv.begin(), **positional.back());
    named_ids.insert(named_ids.begin(), DISPID_PROPERTYPUT);
    positional.pop_back();
  }
  for (size_t k = positional.size(); k > 0; --k) argv.push_back(**positional[k - 1]);

  DISPPARAMS params{argv.data(), named_ids.data(), static_cast<UINT>(argv.size()),
                    static_cast<UINT>(named_ids.size())};
  Var result;
  EXCEPINFO info{};
  UINT arg_err = 0;
  const HRESULT hr = target->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    put ? nullptr : result.get(), &info, &arg_err);
  if (SUCCEEDED(hr)) return result;
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    const HRESULT code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
    host::HostError e(from_bstr(info.bstrSource),
                      info.scode ? error_number(code) : static_cast<int32_t>(info.wCode),
                      from_bstr(info.bstrDescription));
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (e.description().empty())
      throw host::HostError(e.source(), e.number(), host::standard_description(e.number()));
    throw e;
  }
  if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME)
    throw host::HostError::host(host::kNoSuchMember);
  if (hr == DISP_E_TYPEMISMATCH) throw host::HostError::host(host::kTypeMismatch);
  if (hr == DISP_E_PARAMNOTOPTIONAL || hr == DISP_E_BADPARAMCOUNT)
    throw host::HostError::host(host::kArgumentNotOptional);
  if (hr == DISP_E_OVERFLOW) throw host::HostError::host(host::kOverflow);
  // A plain failure: the thread's error information says more when set.
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error) {
    BSTR source = nullptr, description = nullptr;
    error->GetSource(&source);
    error->GetDescription(&description);
    host::HostError e(from_bstr(source), error_number(hr), from_bstr(description));
    SysFreeString(source);
    SysFreeString(description);
    error->Release();
    throw e;
  }
  throw host::HostError::host(error_number(hr));
}

Var get(IDispatch* target, std::wstring_view name, const std::vector<Var>& args) {
  return call(target, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

void put(IDispatch* target, std::wstring_view name, const Var& value,
         const std::vector<Var>& args) {
  std::vector<Var> all = args;
  all.push_back(value);
  call(target, name, DISPATCH_PROPERTYPUT, all);
}

Var method(IDispatch* target, std::wstring_view name, const std::vector<Var>& args,
           const std::vector<Named>& named) {
  return call(target, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, named);
}

IDispatch* object_of(const Var& v) {
  IDispatch* d = arg_object(*v);
  d->AddRef();
  return d;
}

}  // namespace kelv::automation
