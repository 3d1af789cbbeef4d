// The save's file-system calls on POSIX systems. A Windows build brings its
// own implementation of FileSystem::system() (wide-character paths,
// MoveFileEx); nothing else in the save calls the operating system.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/file_system.h"

namespace kelv::host {
namespace {

FileSystemError error_from_errno(int err, const std::string& what) {
  using Kind = FileSystemError::Kind;
  Kind kind = Kind::Other;
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      kind = Kind::NoSpace;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      kind = Kind::Denied;
      break;
    case ETXTBSY:
    case EBUSY:
      kind = Kind::InUse;
      break;
    default:
      break;
  }
  return FileSystemError(kind, what + ": " + std::strerror(err));
}

class PosixFile : public WritableFile {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw error_from_errno(errno, "write " + path_);
      }
      p += n;
      size -= static_cast<size_t>(n);
      position_ += static_cast<uint64_t>(n);
    }
  }

  void seek(uint64_t position) override {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
      throw error_from_errno(errno, "seek " + path_);
    position_ = position;
  }

  uint64_t position() const override { return position_; }

  void sync() override {
    if (::fsync(fd_) != 0) throw error_from_errno(errno, "fsync " + path_);
  }

  void close() override {
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report a failed write only here.
    if (::close(fd) != 0 && errno != EINTR) throw error_from_errno(errno, "close " + path_);
  }

 private:
  int fd_;
  std::string path_;
  uint64_t position_ = 0;
};

// Another program has the file open for writing: a read lease is refused
// then. Where leases are not to be had (another owner, a network file
// system), nothing is known and the save goes ahead.
bool open_for_writing_elsewhere(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool busy = ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN;
  if (!busy) ::fcntl(fd, F_SETLEASE, F_UNLCK);
  ::close(fd);
  return busy;
}

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> create_temporary(const std::string& folder,
                                                 const std::string& prefix, const std::string& like,
                                                 std::string* path) override {
    std::string name = folder + "/" + prefix + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw error_from_errno(errno, "create " + name);
    auto file = std::make_unique<PosixFile>(fd, name);
    *path = name;
    // Held while the save writes, so remove_leftovers leaves it alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    struct stat old;
    if (::stat(like.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      ::fchmod(fd, old.st_mode & 07777);
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd, 0666 & ~mask);
    }
    return file;
  }

  void rename(const std::string& from, const std::string& to) override {
    if (open_for_writing_elsewhere(to))
      throw FileSystemError(FileSystemError::Kind::InUse, to + " is open for writing elsewhere");
    if (std::rename(from.c_str(), to.c_str()) != 0)
      throw error_from_errno(errno, "rename " + from + " to " + to);
  }

  void sync_folder(const std::string& folder) override {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // nothing to flush through
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    // File systems that cannot flush a folder are taken at their word.
    if (rc != 0 && err != EINVAL && err != EROFS) throw error_from_errno(err, "fsync " + folder);
  }

  void remove(const std::string& path) noexcept override { ::unlink(path.c_str()); }

  void remove_leftovers(const std::string& folder, const std::string& prefix) noexcept override {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
      if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
      const std::string path = folder + "/" + e->d_name;
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
      if (fd < 0) continue;
      // A save that is still writing holds the lock.
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
      ::close(fd);
    }
    ::closedir(dir);
  }
};

}  // namespace

FileSystem& FileSystem::system() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace kelv::host

#endif  // _WIN32
