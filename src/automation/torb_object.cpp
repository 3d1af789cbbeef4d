// The creatable class torb: the dual interface _torb over bridge::torb.
#include <memory>

#include "automation/foreign_host.h"
#include "automation/served_objects.h"
#include "automation/server.h"
#include "automation/windows_dialogs.h"
#include "bridge/torb.h"
#include "host/system_environment.h"

namespace kelv::automation {
namespace {

// _torb as the type library lays it out.
struct ITorb : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE MyFunSet(IDispatch** EA, IDispatch** UF, BSTR* strFlag,
                                             VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE MyFunClick(IDispatch** EA, IDispatch** UF, BSTR* strFlag,
                                               VARIANT* result) = 0;
};

// Dialogs and random numbers go where the application handed in keeps them:
// kelv's own application has its own, a desktop host gets Windows'.
class ForwardDialogs : public host::Dialogs {
 public:
  host::Dialogs* to = nullptr;
  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override {
    return to->message_box(text, buttons, icon, title);
  }
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override {
    return to->input_box(prompt, title, default_text);
  }
  void tone(int32_t hertz, int32_t milliseconds) override { to->tone(hertz, milliseconds); }
  void open_document(std::string_view path) override { to->open_document(path); }
  void make_form_resizable(std::string_view caption) override { to->make_form_resizable(caption); }
};

class ForwardEnvironment : public host::Environment {
 public:
  host::Environment* to = nullptr;
  std::vector<std::string> list_files(std::string_view folder) override {
    return to->list_files(folder);
  }
  bool file_exists(std::string_view path) override { return to->file_exists(path); }
  std::vector<bool> files_exist(const std::vector<std::string>& paths) override {
    return to->files_exist(paths);
  }
  std::vector<std::string> find_files(const std::vector<std::string>& paths) override {
    return to->find_files(paths);
  }
  void randomize() override { to->randomize(); }
  float next_random() override { return to->next_random(); }
};

// kelv's own objects behind EA or UF, or null for another application's.
INativeHost* native_of(IDispatch* d) {
  INativeHost* native = nullptr;
  if (d && SUCCEEDED(d->QueryInterface(IID_INativeHost, reinterpret_cast<void**>(&native))))
    return native;
  return nullptr;
}

class TorbObject : public ITorb, public ISupportErrorInfo {
 public:
  TorbObject() : core_(dialogs_, env_) {
    dialogs_.to = &windows_dialogs_;
    env_.to = &system_;
  }
  virtual ~TorbObject() {
    if (info_) info_->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    void* found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID__torb))
      found = static_cast<ITorb*>(this);
    else if (IsEqualIID(riid, IID_ISupportErrorInfo))
      found = static_cast<ISupportErrorInfo*>(this);
    return answer_query(out, found, static_cast<ITorb*>(this));
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override { return refs_.release(this); }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, IID__torb) ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT hr = type_info();
    if (FAILED(hr)) return hr;
    info_->AddRef();
    *out = info_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    const HRESULT hr = type_info();
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info_, names, count, ids);
  }

  // Script callers pass their variables as VT_BYREF|VT_VARIANT, which the
  // type library's by-reference object and string parameters refuse: each
  // argument is handed on as a reference of the parameter's own type.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    HRESULT hr = type_info();
    if (FAILED(hr)) return hr;
    if (!params) return E_INVALIDARG;
    const UINT n = params->cArgs;
    std::vector<VARIANT> args(n);
    std::vector<IDispatch*> objects(n, nullptr);
    std::vector<BSTR> texts(n, nullptr);
    std::vector<Var> converted(n);
    for (UINT k = 0; k < n; ++k) {
      const VARIANT& v = unwrap(params->rgvarg[k]);
      VariantInit(&args[k]);
      if (V_VT(&v) == VT_DISPATCH) {
        objects[k] = V_DISPATCH(&v);
        V_VT(&args[k]) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&args[k]) = &objects[k];
      } else if (V_VT(&v) == VT_BSTR) {
        texts[k] = V_BSTR(&v);
        V_VT(&args[k]) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&args[k]) = &texts[k];
      } else if (!(V_VT(&v) & VT_BYREF) && V_VT(&v) != VT_EMPTY && V_VT(&v) != VT_NULL &&
                 V_VT(&v) != VT_ERROR &&
                 SUCCEEDED(
                     VariantChangeType(converted[k].get(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
        // A number or Boolean where the event name goes: its text.
        texts[k] = V_BSTR(converted[k].get());
        V_VT(&args[k]) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&args[k]) = &texts[k];
      } else {
        args[k] = v;  // a shallow copy: the caller keeps ownership
      }
    }
    DISPPARAMS plain{args.data(), params->rgdispidNamedArgs, n, params->cNamedArgs};
    EXCEPINFO local{};
    EXCEPINFO* info = excep ? excep : &local;
    hr = DispInvoke(static_cast<ITorb*>(this), info_, id, flags, &plain, result, info, arg_err);
    if (FAILED(hr) && hr != DISP_E_EXCEPTION && excep && HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
      // The method failed: the error information it set goes to the caller.
      IErrorInfo* error = nullptr;
      *excep = EXCEPINFO{};
      excep->scode = hr;
      if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&excep->bstrSource);
        error->GetDescription(&excep->bstrDescription);
        error->Release();
      }
      hr = DISP_E_EXCEPTION;
    }
    if (!excep) {
      SysFreeString(local.bstrSource);
      SysFreeString(local.bstrDescription);
      SysFreeString(local.bstrHelpFile);
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE MyFunSet(IDispatch** EA, IDispatch** UF, BSTR* strFlag,
                                     VARIANT* result) override {
    return run(EA, UF, strFlag, result, false);
  }
  HRESULT STDMETHODCALLTYPE MyFunClick(IDispatch** EA, IDispatch** UF, BSTR* strFlag,
                                       VARIANT* result) override {
    return run(EA, UF, strFlag, result, true);
  }

 private:
  HRESULT type_info() {
    if (info_) return S_OK;
    ITypeLib* lib = nullptr;
    HRESULT hr = load_own_type_lib(&lib);
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(IID__torb, &info_);
    lib->Release();
    return hr;
  }

  HRESULT run(IDispatch** EA, IDispatch** UF, BSTR* strFlag, VARIANT* result, bool click) {
    if (result) VariantInit(result);
    const std::string flag = strFlag ? from_bstr(*strFlag) : std::string();
    return guarded(nullptr, [&] {
      INativeHost* app = native_of(EA ? *EA : nullptr);
      INativeHost* form = native_of(UF ? *UF : nullptr);
      struct Releaser {
        INativeHost* p;
        ~Releaser() {
          if (p) p->Release();
        }
      } hold_app{app}, hold_form{form};
      // Every call answers to the application it is handed.
      windows_dialogs_.set_host(EA ? *EA : nullptr);
      dialogs_.to = app && app->dialogs() ? app->dialogs() : &windows_dialogs_;
      env_.to = app && app->environment() ? app->environment() : &system_;
      if (!EA || !*EA || !UF || !*UF) throw host::HostError::host(host::kObjectNotSet);
      // kelv's own objects are used directly; any other application or form
      // (a desktop spreadsheet application's) through its object model.
      std::unique_ptr<host::Application> foreign_app;
      std::unique_ptr<host::Form> foreign_form;
      host::Application* application = app ? app->application() : nullptr;
      host::Form* user_form = form ? form->form() : nullptr;
      if (!application) {
        foreign_app = application_over(*EA);
        application = foreign_app.get();
      }
      if (!user_form) {
        foreign_form = form_over(*UF);
        user_form = foreign_form.get();
      }
      if (click)
        core_.MyFunClick(*application, *user_form, flag);
      else
        core_.MyFunSet(*application, *user_form, flag);
    });
  }

  RefCount refs_;
  ITypeInfo* info_ = nullptr;
  WindowsDialogs windows_dialogs_;
  host::SystemEnvironment system_;
  ForwardDialogs dialogs_;
  ForwardEnvironment env_;
  bridge::torb core_;
};

}  // namespace

IDispatch* new_torb() {
  return static_cast<ITorb*>(new TorbObject());
}

}  // namespace kelv::automation
