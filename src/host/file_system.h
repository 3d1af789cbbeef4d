// The file-system calls that replace a file, and nothing more: create a
// temporary file beside the target, write it, flush it to the disk, rename
// it over the target, flush the folder. Every write that replaces a file
// goes through here (workbook saves, backups, restores, imports, PDFs), and
// the system's implementation is the only code that asks the operating
// system for these; tests put a fault-injecting one in its place, so a
// failure at every step can be shown to leave the old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace kelv::host {

// A failed file-system call: the kind of failure (a save reports them
// differently) and the system's own words.
class FileSystemError : public std::runtime_error {
 public:
  enum class Kind {
    NoSpace,  // the disk or the quota is full
    Denied,   // no permission, or a read-only file system
    InUse,    // another program holds the file open for writing
    Other,
  };
  FileSystemError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// A file being written. Every call throws FileSystemError when it fails.
class WritableFile {
 public:
  virtual ~WritableFile() = default;  // closes a file left open, quietly
  // Writes at the current position, which then moves past the bytes.
  virtual void write(const void* data, size_t size) = 0;
  virtual void seek(uint64_t position) = 0;
  virtual uint64_t position() const = 0;
  // Returns once what was written is on the disk.
  virtual void sync() = 0;
  virtual void close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A new file in `folder` named `prefix` and a unique suffix, which no
  // other save can take for a leftover while it is open. It gets the
  // permissions of the file `like`, or those of a new file when there is
  // no such file. `*path` is set to its path.
  virtual std::unique_ptr<WritableFile> create_temporary(const std::string& folder,
                                                         const std::string& prefix,
                                                         const std::string& like,
                                                         std::string* path) = 0;
  // Puts `from` in the place of `to` in one step. Refused (InUse) when
  // another program holds `to` open for writing.
  virtual void rename(const std::string& from, const std::string& to) = 0;
  // Returns once the folder's entries (a rename into it) are on the disk.
  virtual void sync_folder(const std::string& folder) = 0;
  // Quietly: a file that cannot be removed stays.
  virtual void remove(const std::string& path) noexcept = 0;
  // Removes the files in `folder` named `prefix`... that a save which died
  // (killed, or the machine stopped) left behind; never one that a running
  // save is writing.
  virtual void remove_leftovers(const std::string& folder, const std::string& prefix) noexcept = 0;

  // The operating system's.
  static FileSystem& system();
};

// Replaces the file at `path` with what `write` writes, or makes it when
// there is none: the bytes go to a new hidden file beside it
// (".NAME.kelv-XXXXXX"), which is flushed to the disk and renamed over the
// target only when complete; then the folder is flushed. Files a killed
// replacement left behind are removed first. On any failure the old file is
// as it was, the temporary file is gone, and HostError names the file, the
// step and the reason: 70 where the system refused permission (a read-only
// folder, a file another program is writing), 1004 otherwise (a full disk, a
// missing folder, a folder in the file's place). `action` is what the
// message says could not be done ("保存文件", "备份文件"). A HostError
// `write` throws keeps its words, with the file named; anything else it
// throws that is no std::exception (a writer stopping on purpose) leaves
// the old file too and is rethrown as it is.
void replace_file(const std::string& path, const std::function<void(WritableFile&)>& write,
                  FileSystem& fs = FileSystem::system(), const char* action = "保存文件");

// Replaces `to` with a byte-for-byte copy of `from` through replace_file.
// A `from` that cannot be read fails with 53 (missing) or 1004, naming it.
void copy_file(const std::string& from, const std::string& to,
               FileSystem& fs = FileSystem::system(), const char* action = "复制文件");

}  // namespace kelv::host
