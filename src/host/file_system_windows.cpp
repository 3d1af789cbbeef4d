// The save's file-system calls on Windows: wide-character paths, a new file
// opened without sharing so no other save takes it for a leftover, and the
// target replaced with ReplaceFileW (which keeps its attributes and
// permissions) or, for a new target, moved into place written through.
#ifdef _WIN32

#include <windows.h>

#include <random>

#include "host/file_path.h"
#include "host/file_system.h"

namespace kelv::host {
namespace {

FileSystemError error_from_code(DWORD code, const std::string& what) {
  using Kind = FileSystemError::Kind;
  Kind kind = Kind::Other;
  switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      kind = Kind::NoSpace;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      kind = Kind::Denied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      kind = Kind::InUse;
      break;
    default:
      break;
  }
  return FileSystemError(kind, what + ": Windows error " + std::to_string(code));
}

std::wstring wide(const std::string& utf8) {
  return host::file_path(utf8).wstring();
}

class WindowsFile : public WritableFile {
 public:
  WindowsFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~WindowsFile() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }

  void write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
      DWORD n = 0;
      if (!WriteFile(h_, p, chunk, &n, nullptr))
        throw error_from_code(GetLastError(), "write " + path_);
      p += n;
      size -= n;
      position_ += n;
    }
  }

  void seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(h_, to, nullptr, FILE_BEGIN))
      throw error_from_code(GetLastError(), "seek " + path_);
    position_ = position;
  }

  uint64_t position() const override { return position_; }

  void sync() override {
    if (!FlushFileBuffers(h_)) throw error_from_code(GetLastError(), "flush " + path_);
  }

  void close() override {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) throw error_from_code(GetLastError(), "close " + path_);
  }

 private:
  HANDLE h_;
  std::string path_;
  uint64_t position_ = 0;
};

class WindowsFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> create_temporary(const std::string& folder,
                                                 const std::string& prefix, const std::string&,
                                                 std::string* path) override {
    std::random_device random;
    DWORD last = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = folder + "/" + prefix + std::to_string(random());
      // No sharing: while the save writes, nobody else can open or remove it.
      HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        *path = name;
        return std::make_unique<WindowsFile>(h, name);
      }
      last = GetLastError();
      if (last != ERROR_FILE_EXISTS && last != ERROR_ALREADY_EXISTS) break;
    }
    throw error_from_code(last, "create " + folder + "/" + prefix);
  }

  void rename(const std::string& from, const std::string& to) override {
    const std::wstring f = wide(from), t = wide(to);
    if (ReplaceFileW(t.c_str(), f.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
      return;
    const DWORD replace_error = GetLastError();
    if (replace_error == ERROR_SHARING_VIOLATION ||
        replace_error == ERROR_UNABLE_TO_REMOVE_REPLACED)
      throw error_from_code(ERROR_SHARING_VIOLATION, "replace " + to);
    // A new target, or a file system that cannot replace: a move written
    // through to the disk.
    if (!MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw error_from_code(GetLastError(), "move " + from + " to " + to);
  }

  // MOVEFILE_WRITE_THROUGH and ReplaceFileW leave nothing of a folder to flush.
  void sync_folder(const std::string&) override {}

  void remove(const std::string& path) noexcept override { DeleteFileW(wide(path).c_str()); }

  void remove_leftovers(const std::string& folder, const std::string& prefix) noexcept override {
    const std::wstring pattern = wide(folder + "/" + prefix) + L"*";
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      // A save still writing holds its file without sharing: the delete fails.
      DeleteFileW((host::file_path(folder) / found.cFileName).c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
};

}  // namespace

FileSystem& FileSystem::system() {
  static WindowsFileSystem fs;
  return fs;
}

}  // namespace kelv::host

#endif  // _WIN32
