// kelv.dll as an in-process automation server: its classes, their
// identifiers, and the registry entries that install them.
#pragma once

#include <string>

#include "automation/com.h"

namespace kelv::automation {

extern const CLSID CLSID_torb;
extern const CLSID CLSID_Application;
extern const CLSID CLSID_Form;
extern const IID IID__torb;
extern const GUID LIBID_kelv;

// A new torb, as CreateObject("kelv.torb") gives it.
IDispatch* new_torb();

// Writes every key of the three classes, their ProgIDs and the type library
// under `classes` (HKLM\Software\Classes or HKCU\Software\Classes), for the
// module at `module_path`.
HRESULT register_classes(HKEY classes, const std::wstring& module_path);
// Removes every key register_classes writes; keys already gone are fine.
HRESULT unregister_classes(HKEY classes);

// The module the server code lives in (set by DllMain; null in a program).
extern HMODULE g_module;

// What the exported entry points do.
HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** out);
bool can_unload_now();
// Registers the module for the machine when this process may, else for the
// current user.
HRESULT register_server();
// Removes the registration from both places, whichever this process may
// write.
HRESULT unregister_server();
// Registers in one place only, the machine's classes or the current
// user's, or removes the registration from there (DllInstall, which
// `regsvr32 /n /i:machine` and `/i:user` call): a setup program installing
// for one user registers for that user even when it runs as administrator.
HRESULT register_server_in(bool machine);
HRESULT unregister_server_in(bool machine);

// The type library embedded in the module (resource 1 of type TYPELIB).
HRESULT load_own_type_lib(ITypeLib** lib);

}  // namespace kelv::automation
