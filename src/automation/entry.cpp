// The module's exported entry points and its library entry point.
#include <string>

#include "automation/server.h"

using namespace kelv::automation;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  return get_class_object(clsid, riid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return can_unload_now() ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return register_server();
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return unregister_server();
}

// `regsvr32 /n /i:user kelv.dll` (or /i:machine, and with /u to remove):
// the registration in the place named, and only there.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command) {
  if (command == nullptr) return E_INVALIDARG;
  const std::wstring where = command;
  if (where != L"user" && where != L"machine") return E_INVALIDARG;
  const bool machine = where == L"machine";
  return install ? register_server_in(machine) : unregister_server_in(machine);
}

}  // extern "C"
