// The module's entry points: class objects, unloading, registration.
#include "automation/server.h"

#include <olectl.h>

#include <new>

#include "automation/served_objects.h"

namespace kelv::automation {

// {0DCE4881-DDD8-4DD2-BDA7-AEC3CBD3CB51}
const CLSID CLSID_torb = {
    0x0dce4881, 0xddd8, 0x4dd2, {0xbd, 0xa7, 0xae, 0xc3, 0xcb, 0xd3, 0xcb, 0x51}};
// {24973E80-6951-4F44-B519-4F81054B263B}
const CLSID CLSID_Application = {
    0x24973e80, 0x6951, 0x4f44, {0xb5, 0x19, 0x4f, 0x81, 0x05, 0x4b, 0x26, 0x3b}};
// {BD7C0112-DDFF-4BFA-91B4-9BD98EB23E70}
const CLSID CLSID_Form = {
    0xbd7c0112, 0xddff, 0x4bfa, {0x91, 0xb4, 0x9b, 0xd9, 0x8e, 0xb2, 0x3e, 0x70}};
// {ED7C403D-E3E0-4761-B80F-8BA04DFD1939}
const IID IID__torb = {
    0xed7c403d, 0xe3e0, 0x4761, {0xb8, 0x0f, 0x8b, 0xa0, 0x4d, 0xfd, 0x19, 0x39}};
// {BCEC03D3-7D84-4FEF-9F29-9B7D88D2D81F}
const GUID LIBID_kelv = {
    0xbcec03d3, 0x7d84, 0x4fef, {0x9f, 0x29, 0x9b, 0x7d, 0x88, 0xd2, 0xd8, 0x1f}};

HMODULE g_module = nullptr;
std::atomic<long> g_locks{0};

namespace {}  // namespace

struct ClassEntry {
  const CLSID* clsid;
  const wchar_t* progid;  // version-independent; the versioned one adds ".1"
  const wchar_t* description;
  IDispatch* (*create)();
};

const ClassEntry kClasses[] = {
    {&CLSID_torb, L"kelv.torb", L"kelv torb", new_torb},
    {&CLSID_Application, L"kelv.Application", L"kelv Application", new_application},
    {&CLSID_Form, L"kelv.Form", L"kelv Form", new_form},
};

namespace {

std::wstring guid_text(const GUID& g) {
  wchar_t buffer[40];
  StringFromGUID2(g, buffer, 40);
  return buffer;
}

}  // namespace

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}
  virtual ~ClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    const bool ours = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory);
    return answer_query(out, ours ? static_cast<IClassFactory*>(this) : nullptr, this);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override { return refs_.release(this); }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IDispatch* object = nullptr;
    try {
      object = entry_.create();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      ++g_locks;
    else
      --g_locks;
    return S_OK;
  }

 private:
  const ClassEntry& entry_;
  RefCount refs_;
};

namespace {

LSTATUS set_value(HKEY root, const std::wstring& key, const wchar_t* name,
                  const std::wstring& value) {
  return RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

namespace {

// Where registration goes: the machine's classes when this process may
// write them, else the current user's.
HKEY open_classes(bool machine) {
  HKEY key = nullptr;
  if (machine) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS)
      return key;
    return nullptr;
  }
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) == ERROR_SUCCESS)
    return key;
  return nullptr;
}

}  // namespace

HRESULT register_classes(HKEY classes, const std::wstring& path) {
  const std::wstring lib = guid_text(LIBID_kelv);
  LSTATUS s = ERROR_SUCCESS;
  auto ok = [&](LSTATUS r) {
    if (r != ERROR_SUCCESS && s == ERROR_SUCCESS) s = r;
  };
  for (const ClassEntry& c : kClasses) {
    const std::wstring clsid = guid_text(*c.clsid);
    const std::wstring versioned = std::wstring(c.progid) + L".1";
    const std::wstring key = L"CLSID\\" + clsid;
    ok(set_value(classes, key, nullptr, c.description));
    ok(set_value(classes, key + L"\\InprocServer32", nullptr, path));
    ok(set_value(classes, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
    ok(set_value(classes, key + L"\\ProgID", nullptr, versioned));
    ok(set_value(classes, key + L"\\VersionIndependentProgID", nullptr, c.progid));
    ok(set_value(classes, key + L"\\Programmable", nullptr, L""));
    if (c.clsid == &CLSID_torb) {
      ok(set_value(classes, key + L"\\TypeLib", nullptr, lib));
      ok(set_value(classes, key + L"\\Version", nullptr, L"1.0"));
    }
    ok(set_value(classes, c.progid, nullptr, c.description));
    ok(set_value(classes, std::wstring(c.progid) + L"\\CLSID", nullptr, clsid));
    ok(set_value(classes, std::wstring(c.progid) + L"\\CurVer", nullptr, versioned));
    ok(set_value(classes, versioned, nullptr, c.description));
    ok(set_value(classes, versioned + L"\\CLSID", nullptr, clsid));
  }
  // The type library and its interface, as RegisterTypeLib writes them,
  // under the same root.
  const std::wstring tl = L"TypeLib\\" + lib + L"\\1.0";
  ok(set_value(classes, tl, nullptr, L"kelv"));
  ok(set_value(classes, tl + L"\\0\\win64", nullptr, path));
  ok(set_value(classes, tl + L"\\FLAGS", nullptr, L"0"));
  const std::size_t slash = path.find_last_of(L"\\/");
  ok(set_value(classes, tl + L"\\HELPDIR", nullptr,
               slash == std::wstring::npos ? L"" : path.substr(0, slash)));
  const std::wstring itf = L"Interface\\" + guid_text(IID__torb);
  const std::wstring automation_marshaler = L"{00020424-0000-0000-C000-000000000046}";
  ok(set_value(classes, itf, nullptr, L"_torb"));
  ok(set_value(classes, itf + L"\\ProxyStubClsid", nullptr, automation_marshaler));
  ok(set_value(classes, itf + L"\\ProxyStubClsid32", nullptr, automation_marshaler));
  ok(set_value(classes, itf + L"\\TypeLib", nullptr, lib));
  ok(set_value(classes, itf + L"\\TypeLib", L"Version", L"1.0"));
  if (s != ERROR_SUCCESS) {
    unregister_classes(classes);
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT unregister_classes(HKEY classes) {
  auto remove = [&](const std::wstring& key) { RegDeleteTreeW(classes, key.c_str()); };
  for (const ClassEntry& c : kClasses) {
    remove(L"CLSID\\" + guid_text(*c.clsid));
    remove(c.progid);
    remove(std::wstring(c.progid) + L".1");
  }
  remove(L"TypeLib\\" + guid_text(LIBID_kelv));
  remove(L"Interface\\" + guid_text(IID__torb));
  return S_OK;
}

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ClassEntry& c : kClasses)
    if (IsEqualCLSID(clsid, *c.clsid)) {
      auto* factory = new (std::nothrow) ClassFactory(c);
      if (!factory) return E_OUTOFMEMORY;
      const HRESULT hr = factory->QueryInterface(riid, out);
      factory->Release();
      return hr;
    }
  return CLASS_E_CLASSNOTAVAILABLE;
}

bool can_unload_now() {
  return g_live_objects == 0 && g_locks == 0;
}

HRESULT register_server() {
  const std::wstring path = module_path();
  if (path.empty()) return SELFREG_E_CLASS;
  HKEY classes = open_classes(true);
  if (!classes) classes = open_classes(false);
  if (!classes) return SELFREG_E_CLASS;
  const HRESULT hr = register_classes(classes, path);
  RegCloseKey(classes);
  return hr;
}

HRESULT unregister_server() {
  for (bool machine : {true, false})
    if (HKEY classes = open_classes(machine)) {
      unregister_classes(classes);
      RegCloseKey(classes);
    }
  return S_OK;
}

HRESULT register_server_in(bool machine) {
  const std::wstring path = module_path();
  if (path.empty()) return SELFREG_E_CLASS;
  HKEY classes = open_classes(machine);
  if (!classes) return E_ACCESSDENIED;
  const HRESULT hr = register_classes(classes, path);
  RegCloseKey(classes);
  return hr;
}

HRESULT unregister_server_in(bool machine) {
  HKEY classes = open_classes(machine);
  if (!classes) return E_ACCESSDENIED;
  unregister_classes(classes);
  RegCloseKey(classes);
  return S_OK;
}

HRESULT load_own_type_lib(ITypeLib** lib) {
  return LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, lib);
}

}  // namespace kelv::automation
