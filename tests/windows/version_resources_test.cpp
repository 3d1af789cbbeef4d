// The version resource and the icon of each file given, as Windows reads
// them for the file's properties and Explorer's list: the product name, the
// version (the fixed numbers and the text), a description in Chinese, and
// for programs an icon. Prints a line per check; exit 1 when one failed,
// 77 when a file is missing (the setup program is made by `make windows`).
//   test_version_resources VERSION FILE...
#include <windows.h>
// ExtractIconExW: windows.h leaves shellapi.h out under WIN32_LEAN_AND_MEAN.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::wstring& file, const char* what) {
  std::printf("%s %ls: %s\n", ok ? "ok  " : "FAIL", file.c_str(), what);
  if (!ok) ++failures;
}

// Linux paths from the test's command line are on Wine's drive Z:.
std::wstring windows_path(const std::wstring& path) {
  return !path.empty() && path[0] == L'/' ? L"Z:" + path : path;
}

std::wstring query_string(const std::vector<char>& block, const std::wstring& name) {
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* t = nullptr;
  UINT n = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&t),
                      &n) ||
      n < sizeof(Translation))
    return {};
  wchar_t key[96];
  std::swprintf(key, 96, L"\\StringFileInfo\\%04x%04x\\%ls", t->language, t->code_page,
                name.c_str());
  wchar_t* value = nullptr;
  if (!VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&value), &n) || n == 0) return {};
  return value;
}

bool has_chinese(const std::wstring& s) {
  for (wchar_t c : s)
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: test_version_resources VERSION FILE...\n", stderr);
    return 2;
  }
  const std::wstring version = argv[1];
  unsigned major = 0, minor = 0, patch = 0;
  std::swscanf(version.c_str(), L"%u.%u.%u", &major, &minor, &patch);
  for (int i = 2; i < argc; ++i) {
    const std::wstring file = windows_path(argv[i]);
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::printf("skipped: %ls is not there\n", file.c_str());
      return 77;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<char> block(size);
    const bool read = size > 0 && GetFileVersionInfoW(file.c_str(), 0, size, block.data());
    check(read, file, "has a version resource");
    if (!read) continue;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT n = 0;
    const bool has_fixed =
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &n) && fixed;
    check(has_fixed && HIWORD(fixed->dwFileVersionMS) == major &&
              LOWORD(fixed->dwFileVersionMS) == minor && HIWORD(fixed->dwFileVersionLS) == patch,
          file, "file version numbers are the project's");
    check(query_string(block, L"ProductName") == L"kelv \u8003\u52a1", file,
          "product name kelv 考务");
    check(query_string(block, L"ProductVersion") == version, file, "product version text");
    check(has_chinese(query_string(block, L"FileDescription")), file, "description in Chinese");
    const std::wstring ext = file.substr(file.size() >= 4 ? file.size() - 4 : 0);
    if (ext == L".exe" || ext == L".EXE")
      check(ExtractIconExW(file.c_str(), -1, nullptr, nullptr, 0) > 0, file, "has an icon");
  }
  return failures == 0 ? 0 : 1;
}
