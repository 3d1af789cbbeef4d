// The module's exported entry points and its library entry point.
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

}  // extern "C"
