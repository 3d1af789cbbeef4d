#include "host/file_system.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::host {
namespace {

// "无法保存文件“PATH”：", built by appending (GCC 12 warns wrongly of an
// overlapping copy in the chain of operator+ at -O3).
std::string cannot_text(const char* action, const std::string& path) {
  std::string text = "无法";
  text += action;
  text += "“";
  text += path;
  text += "”：";
  return text;
}

// A failed replacement's message: the file, the step that failed and why,
// in the user's words; error 70 where the system said no, 1004 otherwise.
HostError replace_failure(const std::string& path, const char* action, const std::string& step,
                          const FileSystemError& e) {
  using Kind = FileSystemError::Kind;
  std::string why;
  int32_t number = kRefused;
  switch (e.kind()) {
    case Kind::NoSpace:
      why = "磁盘空间不足";
      break;
    case Kind::Denied:
      why = "没有写入权限（文件夹只读或权限不够）";
      number = kPermissionDenied;
      break;
    case Kind::InUse:
      why = "文件正被其他程序写入，请先在那里关闭它";
      number = kPermissionDenied;
      break;
    case Kind::Other:
      why = std::string("系统报告：") + e.what();
      break;
  }
  std::string text = cannot_text(action, path);
  text += step;
  text += "，";
  text += why;
  return HostError::host(number, text);
}

}  // namespace

void replace_file(const std::string& path, const std::function<void(WritableFile&)>& write,
                  FileSystem& fs, const char* action) {
  namespace fsys = std::filesystem;
  const std::string cannot = cannot_text(action, path);
  const fsys::path target = file_path(path);
  std::error_code ec;
  fsys::path folder_path = target.parent_path();
  if (folder_path.empty()) folder_path = ".";
  if (!fsys::is_directory(folder_path, ec)) throw HostError::host(kRefused, cannot + "文件夹不存在");
  // Only a file is replaced: a rename over a folder would lose what is in it
  // where the system allows it at all.
  if (fsys::exists(target, ec) && !fsys::is_regular_file(target, ec))
    throw HostError::host(kRefused, cannot + "同名的文件夹或其他项目已存在");
  const std::string folder = path_text(folder_path);
  // A new hidden file beside the target, renamed over it only when complete
  // and on the disk. Files a killed replacement left behind go first.
  std::string prefix = ".";
  prefix += path_text(target.filename());
  prefix += ".kelv-";
  fs.remove_leftovers(folder, prefix);
  std::string tmp;
  const char* step = "无法创建临时文件";
  try {
    std::unique_ptr<WritableFile> file = fs.create_temporary(folder, prefix, path, &tmp);
    step = "写入失败";
    write(*file);
    // On the disk before it replaces anything: a crash right after the
    // rename must not leave an empty file where the old one was.
    step = "写入磁盘失败";
    file->sync();
    file->close();
    step = "无法替换原文件";
    fs.rename(tmp, path);
  } catch (const FileSystemError& e) {
    if (!tmp.empty()) fs.remove(tmp);
    throw replace_failure(path, action, step, e);
  } catch (const HostError& e) {
    if (!tmp.empty()) fs.remove(tmp);
    if (e.description().find(path) != std::string::npos) throw;
    throw HostError::host(kRefused, cannot + e.description());
  } catch (const std::exception& e) {
    if (!tmp.empty()) fs.remove(tmp);
    throw HostError::host(kRefused, cannot + e.what());
  } catch (...) {
    // The writer stopped on purpose (an export the person cancelled).
    if (!tmp.empty()) fs.remove(tmp);
    throw;
  }
  // The new file is in place; the folder entry must reach the disk too, or
  // a crash could bring the old one back.
  try {
    fs.sync_folder(folder);
  } catch (const FileSystemError& e) {
    throw replace_failure(path, action, "已写入，但无法确认已存入磁盘", e);
  }
}

void copy_file(const std::string& from, const std::string& to, FileSystem& fs,
               const char* action) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_path(from), ec))
    throw HostError::host(kFileNotFound, "找不到文件“" + from + "”");
  std::ifstream in(file_path(from), std::ios::binary);
  if (!in) throw HostError::host(kRefused, "无法读取文件“" + from + "”");
  replace_file(
      to,
      [&](WritableFile& out) {
        std::vector<char> buffer(1 << 16);
        while (in) {
          in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
          const std::streamsize n = in.gcount();
          if (n > 0) out.write(buffer.data(), static_cast<size_t>(n));
        }
        if (in.bad()) throw HostError::host(kRefused, "读取“" + from + "”时出错");
      },
      fs, action);
}

}  // namespace kelv::host
