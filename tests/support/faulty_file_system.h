// The system's file system with one step of a file replacement made to
// fail, for tests that show a failure at every step leaves the old file as
// it was: saves, backups, restores, imports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/file_system.h"

namespace kelv::test {

using host::FileSystem;
using host::FileSystemError;
using host::WritableFile;
using Kind = FileSystemError::Kind;

// Fails the nth call of one step.
class FaultyFileSystem : public FileSystem {
 public:
  enum class Step { Create, Write, Sync, Close, Rename, SyncFolder };

  void fail(Step step, int nth, Kind kind = Kind::Other) {
    step_ = step;
    nth_ = nth;
    kind_ = kind;
    calls_ = 0;
  }
  int calls() const { return calls_; }  // of the step set to fail

  std::unique_ptr<WritableFile> create_temporary(const std::string& folder,
                                                 const std::string& prefix, const std::string& like,
                                                 std::string* path) override {
    hit(Step::Create);
    return std::make_unique<File>(*this, real().create_temporary(folder, prefix, like, path));
  }
  void rename(const std::string& from, const std::string& to) override {
    hit(Step::Rename);
    real().rename(from, to);
  }
  void sync_folder(const std::string& folder) override {
    hit(Step::SyncFolder);
    real().sync_folder(folder);
  }
  void remove(const std::string& path) noexcept override { real().remove(path); }
  void remove_leftovers(const std::string& folder, const std::string& prefix) noexcept override {
    real().remove_leftovers(folder, prefix);
  }

 private:
  class File : public WritableFile {
   public:
    File(FaultyFileSystem& fs, std::unique_ptr<WritableFile> f) : fs_(fs), f_(std::move(f)) {}
    void write(const void* data, size_t size) override {
      fs_.hit(Step::Write);
      f_->write(data, size);
    }
    void seek(uint64_t position) override { f_->seek(position); }
    uint64_t position() const override { return f_->position(); }
    void sync() override {
      fs_.hit(Step::Sync);
      f_->sync();
    }
    void close() override {
      fs_.hit(Step::Close);
      f_->close();
    }

   private:
    FaultyFileSystem& fs_;
    std::unique_ptr<WritableFile> f_;
  };

  static FileSystem& real() { return FileSystem::system(); }
  void hit(Step step) {
    if (step != step_) return;
    if (++calls_ == nth_) throw FileSystemError(kind_, "injected failure");
  }

  Step step_ = Step::Create;
  int nth_ = 0;  // 0: nothing fails
  Kind kind_ = Kind::Other;
  int calls_ = 0;
};

}  // namespace kelv::test
