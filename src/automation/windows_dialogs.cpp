#include "automation/windows_dialogs.h"

#include <shellapi.h>

#include "host/environment.h"
#include "host/file_path.h"

namespace kelv::automation {

host::MessageResult WindowsDialogs::message_box(std::string_view text, host::MessageButtons buttons,
                                                host::MessageIcon icon, std::string_view title) {
  UINT style = MB_TASKMODAL | MB_SETFOREGROUND;
  style |= buttons == host::MessageButtons::YesNo ? MB_YESNO : MB_OK;
  if (icon == host::MessageIcon::Critical) style |= MB_ICONSTOP;
  const int answer = MessageBoxW(GetActiveWindow(), wide(text).c_str(), wide(title).c_str(), style);
  if (answer == IDYES) return host::MessageResult::Yes;
  if (answer == IDNO) return host::MessageResult::No;
  return host::MessageResult::Ok;
}

std::string WindowsDialogs::input_box(std::string_view prompt, std::string_view title,
                                      std::string_view default_text) {
  // The host's InputBox returns False on Cancel.
  if (!host_) return {};
  try {
    Var answer = method(host_, L"InputBox",
                        {Var::from(std::string(prompt)), Var::from(std::string(title)),
                         Var::from(std::string(default_text))});
    if (V_VT(&*answer) == VT_BOOL) return {};
    return to_host(*answer).to_text();
  } catch (const host::HostError&) {
    return {};
  }
}

void WindowsDialogs::tone(int32_t hertz, int32_t milliseconds) {
  Beep(static_cast<DWORD>(hertz), static_cast<DWORD>(milliseconds));
}

void WindowsDialogs::open_document(std::string_view path) {
  open_with_program(path);
}

void WindowsDialogs::make_form_resizable(std::string_view caption) {
  // A form of the host is a top-level window of class ThunderDFrame.
  HWND window = FindWindowW(L"ThunderDFrame", wide(caption).c_str());
  if (!window) throw host::HostError::host(host::kRefused, "找不到窗体的窗口");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, style | WS_THICKFRAME | WS_MINIMIZEBOX);
  DrawMenuBar(window);
}

bool open_with_program(std::string_view path, const wchar_t* progid) {
  const std::wstring file = host::file_path(host::native_path(path)).wstring();
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw host::HostError::host(host::kFileNotFound);

  CLSID clsid;
  IDispatch* word = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(progid, &clsid)) &&
      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                 IID_IDispatch, reinterpret_cast<void**>(&word)))) {
    try {
      put(word, L"Visible", Var::from(true));
      Var documents = get(word, L"Documents");
      Var name;
      V_VT(name.get()) = VT_BSTR;
      V_BSTR(name.get()) = SysAllocStringLen(file.data(), static_cast<UINT>(file.size()));
      method(arg_object(*documents), L"Open", {name});
      word->Release();
      return true;
    } catch (const host::HostError&) {
      word->Release();  // fall back on the viewer
    }
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32)
    throw host::HostError::host(host::kRefused, "没有可以打开此文档的程序：" + std::string(path));
  return false;
}

}  // namespace kelv::automation
