// kelv.dll's pieces in one process: the type library read back, the
// automation face driven through IDispatch by the late-bound call path, and
// torb's failures as automation errors.
#include <dispex.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "automation/com.h"
#include "automation/served_objects.h"
#include "automation/server.h"
#include "automation/windows_dialogs.h"
#include "host/file_path.h"
#include "support/temp_folder.h"

namespace kelv::automation {
namespace {

namespace fs = std::filesystem;

const std::string kBasic = std::string(KELV_TEST_SOURCE) + "/../scenarios/workspaces/basic";

// The kelv.dll beside this program.
std::wstring DllPath() {
  wchar_t buffer[MAX_PATH];
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return (fs::path(buffer).parent_path() / L"kelv.dll").wstring();
}

class Com : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

// A workspace copy, so the checked-in files never change.
std::string CopyOfBasic(const test::TempFolder& tmp) {
  fs::copy(host::file_path(kBasic), tmp.path() / L"ws", fs::copy_options::recursive);
  return tmp.file("ws/考务.xlsx");
}

Var Text(std::string_view s) {
  return Var::from(host::Variant(std::string(s)));
}

Var Number(double d) {
  return Var::from(host::Variant(d));
}

// Runs f and returns the HostError it throws.
template <class F>
host::HostError Failure(F&& f) {
  try {
    f();
  } catch (const host::HostError& e) {
    return e;
  }
  ADD_FAILURE() << "no failure";
  return host::HostError("", 0, "");
}

using TypeLibrary = Com;
using Help = Com;

TEST_F(TypeLibrary, ListsTorbWithItsTwoMethodsInOrder) {
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &lib), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(from_bstr(name), "kelv");
  SysFreeString(name);

  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__torb, &dispatch), S_OK);
  // The dual interface's vtable half.
  HREFTYPE ref = 0;
  ITypeInfo* info = nullptr;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  ASSERT_EQ(attr->cFuncs, 2);
  info->ReleaseTypeAttr(attr);

  const char* names[] = {"MyFunSet", "MyFunClick"};
  for (UINT k = 0; k < 2; ++k) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(k, &f), S_OK);
    BSTR fn = nullptr;
    info->GetDocumentation(f->memid, &fn, nullptr, nullptr, nullptr);
    EXPECT_EQ(from_bstr(fn), names[k]);
    SysFreeString(fn);
    ASSERT_EQ(f->cParams, 4);
    // EA and UF: objects by reference; strFlag: a string by reference; the
    // result: a variant.
    const VARTYPE pointee[] = {VT_DISPATCH, VT_DISPATCH, VT_BSTR, VT_VARIANT};
    for (int p = 0; p < 4; ++p) {
      const ELEMDESC& e = f->lprgelemdescParam[p];
      ASSERT_EQ(e.tdesc.vt, VT_PTR) << names[k] << " parameter " << p;
      EXPECT_EQ(e.tdesc.lptdesc->vt, pointee[p]) << names[k] << " parameter " << p;
    }
    EXPECT_TRUE(f->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOUT);
    EXPECT_TRUE(f->lprgelemdescParam[2].paramdesc.wParamFlags & PARAMFLAG_FIN);
    EXPECT_TRUE(f->lprgelemdescParam[3].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    BSTR params[4] = {};
    UINT got = 0;
    info->GetNames(f->memid, params, 4, &got);
    ASSERT_EQ(got, 4u);
    EXPECT_EQ(from_bstr(params[1]), "EA");
    EXPECT_EQ(from_bstr(params[2]), "UF");
    EXPECT_EQ(from_bstr(params[3]), "strFlag");
    for (BSTR& b : params) SysFreeString(b);
    info->ReleaseFuncDesc(f);
  }
  info->Release();
  dispatch->Release();
  lib->Release();
}

using Face = Com;

TEST_F(Face, OpensReadsWritesAndSavesThroughTheObjectModel) {
  test::TempFolder tmp("automation");
  const std::string host_path = CopyOfBasic(tmp);
  IDispatch* app = new_application();
  {
    Var books = get(app, L"Workbooks");
    Var book = method(arg_object(*books), L"Open", {Text(host_path)});
    EXPECT_EQ(to_host(*get(arg_object(*book), L"Name")).to_text(), "考务.xlsx");
    Var sheets = get(app, L"Worksheets");
    Var first = get(arg_object(*sheets), L"", {Number(1)});
    Var& sheet = first;
    Var cell = get(arg_object(*sheet), L"Cells", {Number(3), Number(2)});
    put(arg_object(*cell), L"Value", Text("0001"));
    // Text typed into a General cell is read as the user's typing would be.
    EXPECT_EQ(to_host(*get(arg_object(*cell), L"")), host::Variant(1.0));
    Var block = get(arg_object(*sheet), L"Range", {Text("A10:B11")});
    put(arg_object(*block), L"Value", Text("x"));
    Var corner = get(arg_object(*sheet), L"Range", {Text("$B$11")});
    EXPECT_EQ(to_host(*get(arg_object(*corner), L"Text")).to_text(), "x");
    EXPECT_EQ(to_host(*get(arg_object(*block), L"Address")).to_text(), "$A$10:$B$11");

    // A named argument: Worksheets.Add After:=.
    Var added = method(arg_object(*sheets), L"Add", {}, {{L"After", first}});
    EXPECT_EQ(to_host(*get(arg_object(*added), L"Name")).to_text().rfind("Sheet", 0), 0u);
    method(arg_object(*book), L"Save");
    EXPECT_TRUE(to_host(*get(arg_object(*book), L"Saved")).to_bool());
  }
  method(app, L"Quit");
  app->Release();

  // Read back by a second application.
  IDispatch* again = new_application();
  {
    Var books = get(again, L"Workbooks");
    Var book = method(arg_object(*books), L"Open", {Text(host_path)});
    Var sheet = get(arg_object(*book), L"Worksheets", {Number(1)});
    Var cell = get(arg_object(*sheet), L"Range", {Text("B11")});
    EXPECT_EQ(to_host(*get(arg_object(*cell), L"Value")).to_text(), "x");
    Var worksheets = get(arg_object(*book), L"Worksheets");
    Var sheets = get(arg_object(*book), L"Sheets");
    EXPECT_EQ(to_host(*get(arg_object(*worksheets), L"Count")).to_int32(),
              to_host(*get(arg_object(*sheets), L"Count")).to_int32());

    // A second workbook opened and closed again.
    const std::string data_path =
        host_path.substr(0, host_path.rfind("考务.xlsx")) + "数据/初一.xlsx";
    Var data = method(arg_object(*books), L"Open", {Text(data_path)});
    EXPECT_EQ(to_host(*get(arg_object(*books), L"Count")).to_int32(), 2);
    method(arg_object(*data), L"Close");
    EXPECT_EQ(to_host(*get(arg_object(*books), L"Count")).to_int32(), 1);
    EXPECT_EQ(to_host(*get(arg_object(*cell), L"Value")).to_text(), "x");
  }
  again->Release();
}

TEST_F(Face, FailuresComeBackWithSourceNumberAndDescription) {
  test::TempFolder tmp("automation");
  const std::string host_path = CopyOfBasic(tmp);
  IDispatch* app = new_application();
  Var books = get(app, L"Workbooks");
  Var book = method(arg_object(*books), L"Open", {Text(host_path)});

  host::HostError missing = Failure([&] { get(arg_object(*book), L"Worksheets", {Text("没有")}); });
  EXPECT_EQ(missing.source(), host::kHostSource);
  EXPECT_EQ(missing.number(), 9);
  EXPECT_EQ(missing.description(), "下标越界");

  host::HostError member = Failure([&] { get(app, L"NoSuchThing"); });
  EXPECT_EQ(member.number(), 438);
  EXPECT_EQ(member.description(), "对象不支持该属性或方法");

  host::HostError again = Failure([&] { method(arg_object(*books), L"Open", {Text(host_path)}); });
  EXPECT_EQ(again.number(), 1004);

  host::HostError absent =
      Failure([&] { method(arg_object(*books), L"Open", {Text(tmp.file("无.xlsx"))}); });
  EXPECT_EQ(absent.number(), 53);

  host::HostError no_argument = Failure([&] { method(arg_object(*books), L"Open"); });
  EXPECT_EQ(no_argument.number(), 449);
  app->Release();
}

TEST_F(Face, FormControlsByNameAndThroughControls) {
  IDispatch* form = new_form();
  Var list = get(form, L"Controls", {Text("LtbBiao")});
  method(arg_object(*list), L"AddItem", {Text("甲.xlsx")});
  method(arg_object(*list), L"AddItem", {Text("乙.xlsx")});
  put(arg_object(*list), L"ListIndex", Number(1));
  Var same = get(form, L"LtbBiao");
  EXPECT_EQ(to_host(*get(arg_object(*same), L"Value")).to_text(), "乙.xlsx");
  EXPECT_EQ(to_host(*get(arg_object(*same), L"ListCount")).to_int32(), 2);
  EXPECT_EQ(to_host(*get(arg_object(*same), L"List", {Number(0)})).to_text(), "甲.xlsx");
  EXPECT_EQ(Failure([&] { put(arg_object(*same), L"ListIndex", Number(5)); }).number(), 5);

  Var pages = get(form, L"MultiPage1");
  put(arg_object(*pages), L"Value", Number(1));
  Var selected = get(arg_object(*pages), L"SelectedItem");
  EXPECT_EQ(to_host(*get(arg_object(*selected), L"Name")).to_text(), "Page1");

  EXPECT_EQ(Failure([&] { get(form, L"Controls", {Text("NoSuchControl")}); }).number(), 9);
  EXPECT_EQ(Failure([&] { get(form, L"NoSuchControl"); }).number(), 438);
  // The form's controls are in use: it can no longer be swapped.
  EXPECT_EQ(Failure([&] { put(form, L"SeatingControls", Var::from(false)); }).number(), 1004);
  form->Release();
}

TEST_F(Help, AMissingDocumentIsFileNotFound) {
  test::TempFolder tmp("automation");
  const host::HostError e = Failure([&] { open_with_program(tmp.file("帮助.doc")); });
  EXPECT_EQ(e.number(), 53);
  EXPECT_EQ(e.source(), host::kHostSource);
}

// torb through its dual interface, with arguments as a script passes them
// (variables by reference as VT_BYREF|VT_VARIANT).
class Torb : public Com {
 protected:
  void SetUp() override {
    Com::SetUp();
    g_module = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(g_module, nullptr);
  }
  void TearDown() override {
    FreeLibrary(g_module);
    g_module = nullptr;
    Com::TearDown();
  }

  // torb.NAME EA, UF, flag: the HRESULT and the EXCEPINFO.
  static HRESULT Invoke(IDispatch* torb, const wchar_t* name, IDispatch* EA, IDispatch* UF,
                        const std::string& flag, EXCEPINFO* info) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    if (FAILED(torb->GetIDsOfNames(IID_NULL, &n, 1, 0, &id))) return DISP_E_UNKNOWNNAME;
    Var ea = Var::object(EA), uf = Var::object(UF), text = Text(flag);
    VARIANT args[3];
    const Var* vars[3] = {&text, &uf, &ea};  // last argument first
    for (int k = 0; k < 3; ++k) {
      VariantInit(&args[k]);
      V_VT(&args[k]) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&args[k]) = const_cast<VARIANT*>(&**vars[k]);
    }
    DISPPARAMS params{args, nullptr, 3, 0};
    Var result;
    *info = EXCEPINFO{};
    return torb->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result.get(), info, nullptr);
  }
};

// torb, kelv's application with a copy of the basic host workbook open, and
// a form, released when the session ends.
struct Session {
  explicit Session(const test::TempFolder& tmp) {
    Var books = get(app, L"Workbooks");
    method(arg_object(*books), L"Open", {Text(CopyOfBasic(tmp))});
  }
  ~Session() {
    form->Release();
    app->Release();
    torb->Release();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  IDispatch* torb = new_torb();
  IDispatch* app = new_application();
  IDispatch* form = new_form();
};

// The automation error a failed call left in `info`: its number, source and
// description, with the texts freed.
struct Failed {
  int32_t number;
  std::string source, description;
};
Failed TakeFailure(EXCEPINFO& info) {
  Failed f{error_number(info.scode), from_bstr(info.bstrSource), from_bstr(info.bstrDescription)};
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  info = EXCEPINFO{};
  return f;
}

TEST_F(Torb, MyFunSetFailureIsAnAutomationErrorAndMyFunClickShowsTheErrorBox) {
  test::TempFolder tmp("automation");
  {
    Session session(tmp);
    IDispatch* torb = session.torb;
    IDispatch* app = session.app;
    IDispatch* form = session.form;
    EXCEPINFO info;
    ASSERT_EQ(Invoke(torb, L"MyFunClick", app, form, "UserFormInitialize", &info), S_OK);
    Var rows = get(form, L"Controls", {Text("TxtHang")});
    put(arg_object(*rows), L"Value", Text("abc"));
    ASSERT_EQ(Invoke(torb, L"MyFunSet", app, form, "TxtHang", &info), DISP_E_EXCEPTION);
    const Failed mismatch = TakeFailure(info);
    EXPECT_EQ(mismatch.number, 13);
    EXPECT_EQ(mismatch.source, host::kHostSource);
    EXPECT_EQ(mismatch.description, "类型不匹配");

    // A failing handler: the error box, and a normal return.
    const int32_t before = to_host(*get(app, L"DialogCount")).to_int32();
    Var list = get(form, L"Controls", {Text("LtbBiao")});
    method(arg_object(*list), L"Clear");
    method(arg_object(*list), L"AddItem", {Text("没有.xlsx")});
    put(arg_object(*list), L"ListIndex", Number(0));
    ASSERT_EQ(Invoke(torb, L"MyFunClick", app, form, "LtbBiaoClick", &info), S_OK);
    const int32_t after = to_host(*get(app, L"DialogCount")).to_int32();
    ASSERT_EQ(after, before + 1);
    EXPECT_EQ(to_host(*get(app, L"DialogTitle", {Number(after)})).to_text(), "错误");
    EXPECT_NE(to_host(*get(app, L"DialogText", {Number(after)})).to_text().find("：(53)"),
              std::string::npos);
    // Everything recorded of it: an OK box with the critical icon, answered
    // by default for want of a queued answer.
    EXPECT_EQ(to_host(*get(app, L"DialogButtons", {Number(after)})).to_text(), "OK");
    EXPECT_EQ(to_host(*get(app, L"DialogIcon", {Number(after)})).to_text(), "critical");
    EXPECT_EQ(to_host(*get(app, L"DialogAnswer", {Number(after)})).to_text(), "OK");
    EXPECT_TRUE(to_host(*get(app, L"DialogDefaulted", {Number(after)})).to_bool());
    EXPECT_EQ(to_host(*get(app, L"DialogDefaultText", {Number(after)})).to_text(), "");
    EXPECT_TRUE(to_host(*get(app, L"ScreenUpdating")).to_bool());
    EXPECT_TRUE(to_host(*get(app, L"DisplayAlerts")).to_bool());

    // A form where the application goes: its missing members are 438.
    IDispatch* not_an_application = new_form();
    ASSERT_EQ(Invoke(torb, L"MyFunSet", not_an_application, form, "TxtSKHao", &info),
              DISP_E_EXCEPTION);
    const Failed missing = TakeFailure(info);
    EXPECT_EQ(missing.number, 438);
    EXPECT_EQ(missing.description, "对象不支持该属性或方法");
    not_an_application->Release();
    // An application with no workbook open: the host's own failure.
    IDispatch* other = new_application();
    ASSERT_EQ(Invoke(torb, L"MyFunSet", other, form, "TxtSKHao", &info), DISP_E_EXCEPTION);
    const Failed out_of_range = TakeFailure(info);
    EXPECT_EQ(out_of_range.number, 9);
    EXPECT_EQ(out_of_range.description, "下标越界");
    other->Release();
  }
  EXPECT_TRUE(can_unload_now());
}

// Another application's object as a script engine under Wine hands it over:
// GetIDsOfNames refused, names found through IDispatchEx::GetDispID. Every
// object it returns is wrapped the same way, and kelv's own interfaces are
// hidden, so torb can only reach it by its object model.
class ScriptLike : public IDispatchEx {
 public:
  static IDispatch* Wrap(IDispatch* inner) {
    inner->AddRef();
    return new ScriptLike(inner);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, __uuidof(IDispatchEx))) {
      *out = static_cast<IDispatchEx*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT* arg_err) override {
    // Objects going in are unwrapped, objects coming out wrapped.
    std::vector<VARIANT> args(params ? params->cArgs : 0);
    for (size_t k = 0; k < args.size(); ++k) {
      args[k] = unwrap(params->rgvarg[k]);
      if (V_VT(&args[k]) == VT_DISPATCH) {
        ScriptLike* mine = nullptr;
        for (ScriptLike* w : all())
          if (static_cast<IDispatch*>(w) == V_DISPATCH(&args[k])) mine = w;
        if (mine) V_DISPATCH(&args[k]) = mine->inner_;
      }
    }
    DISPPARAMS inner_params{args.data(), params ? params->rgdispidNamedArgs : nullptr,
                            static_cast<UINT>(args.size()), params ? params->cNamedArgs : 0};
    const HRESULT hr =
        inner_->Invoke(id, IID_NULL, lcid, flags, &inner_params, result, info, arg_err);
    if (SUCCEEDED(hr) && result && V_VT(result) == VT_DISPATCH && V_DISPATCH(result)) {
      IDispatch* plain = V_DISPATCH(result);
      V_DISPATCH(result) = Wrap(plain);
      plain->Release();
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD, DISPID* id) override {
    LPOLESTR n = name;
    return inner_->GetIDsOfNames(IID_NULL, &n, 1, 0, id);
  }
  HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, IServiceProvider*) override {
    return Invoke(id, IID_NULL, lcid, flags, params, result, info, nullptr);
  }
  HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

 private:
  explicit ScriptLike(IDispatch* inner) : inner_(inner) { all().push_back(this); }
  virtual ~ScriptLike() {
    std::erase(all(), this);
    inner_->Release();
  }
  static std::vector<ScriptLike*>& all() {
    static std::vector<ScriptLike*> list;
    return list;
  }
  IDispatch* inner_;
  ULONG refs_ = 1;
};

// The examinee sheet of the data workbook, cell by cell.
std::vector<std::string> ExamineeSheet(IDispatch* app) {
  Var book = get(app, L"Workbooks", {Text("初一.xlsx")});
  Var sheet = get(arg_object(*book), L"Worksheets", {Text("考生表")});
  Var used = get(arg_object(*sheet), L"UsedRange");
  Var rows = get(arg_object(*used), L"Rows");
  Var cols = get(arg_object(*used), L"Columns");
  const int32_t nr = to_host(*get(arg_object(*rows), L"Count")).to_int32();
  const int32_t nc = to_host(*get(arg_object(*cols), L"Count")).to_int32();
  std::vector<std::string> out;
  for (int32_t r = 1; r <= nr; ++r)
    for (int32_t c = 1; c <= nc; ++c) {
      Var cell = get(arg_object(*sheet), L"Cells", {Number(r), Number(c)});
      out.push_back(to_host(*get(arg_object(*cell), L"Text")).to_text());
    }
  return out;
}

TEST_F(Torb, WorksOnAnotherApplicationThroughItsObjectModel) {
  std::vector<std::string> sheets[2];
  for (bool foreign : {false, true}) {
    test::TempFolder tmp("automation");
    Session session(tmp);
    IDispatch* torb = session.torb;
    IDispatch* app = session.app;
    IDispatch* form = session.form;
    IDispatch* EA = foreign ? ScriptLike::Wrap(app) : app;
    IDispatch* UF = foreign ? ScriptLike::Wrap(form) : form;
    EXCEPINFO info;
    ASSERT_EQ(Invoke(torb, L"MyFunClick", EA, UF, "UserFormInitialize", &info), S_OK);
    {
      Var list = get(form, L"Controls", {Text("LtbBiao")});
      put(arg_object(*list), L"Value", Text("初一.xlsx"));
    }
    ASSERT_EQ(Invoke(torb, L"MyFunClick", EA, UF, "LtbBiaoClick", &info), S_OK);
    ASSERT_EQ(Invoke(torb, L"MyFunClick", EA, UF, "CmdDoKaoHaoClick", &info), S_OK);
    // No error box on the way: only the end-of-work tone (and, for kelv's
    // own application, the window-style request it writes down).
    EXPECT_EQ(to_host(*get(app, L"DialogCount")).to_int32(), foreign ? 0 : 2);
    Var books = get(app, L"Workbooks");
    EXPECT_EQ(to_host(*get(arg_object(*books), L"Count")).to_int32(), 2);
    sheets[foreign] = ExamineeSheet(app);

    // A failing setting reaches the caller with the application's error.
    Var rows = get(form, L"Controls", {Text("TxtHang")});
    put(arg_object(*rows), L"Value", Text("abc"));
    ASSERT_EQ(Invoke(torb, L"MyFunSet", EA, UF, "TxtHang", &info), DISP_E_EXCEPTION);
    const Failed mismatch = TakeFailure(info);
    EXPECT_EQ(mismatch.number, 13);
    EXPECT_EQ(mismatch.source, host::kHostSource);

    if (foreign) {
      EA->Release();
      UF->Release();
    }
  }
  EXPECT_GT(sheets[0].size(), 10u);
  EXPECT_EQ(sheets[0], sheets[1]);
}

}  // namespace
}  // namespace kelv::automation
