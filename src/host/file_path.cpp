#include "host/file_path.h"

#include "host/environment.h"

namespace kelv::host {

std::string native_path(std::string_view path) {
  std::string out(path);
#ifdef _WIN32
  for (char& ch : out)
    if (ch == '/') ch = '\\';
#else
  for (char& ch : out)
    if (ch == '\\') ch = '/';
#endif
  return out;
}

std::filesystem::path file_path(std::string_view text) {
  const std::string native = native_path(text);
  // char8_t text is UTF-8 on every platform; plain char text would go
  // through the C library's narrow conversion on Windows, which is no UTF-8.
  return std::filesystem::path(std::u8string(native.begin(), native.end()));
}

std::string path_text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string absolute_path_text(std::string_view text) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(file_path(text), ec);
  if (ec) p = file_path(text);
  return path_text(p.lexically_normal());
}

bool is_listed_file_name(std::string_view name) {
  return !name.empty() && name.front() != '.' && !name.starts_with("~$");
}

}  // namespace kelv::host
