#include "xlsx/package.h"

#include <zip.h>

#include <algorithm>
#include <exception>
#include <filesystem>

#include "host/host_error.h"
#include "xlsx/file_system.h"

namespace kelv::xlsx {
namespace {

[[noreturn]] void refuse(const std::string& text) {
  throw host::HostError::host(host::kRefused, text);
}

}  // namespace

PackageReader::PackageReader(const std::string& file, UnpackLimits limits)
    : file_(file), limits_(limits) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(file), ec)) {
    throw host::HostError::host(host::kFileNotFound, "文件未找到：“" + file + "”");
  }
  int err = 0;
  open(zip_open(file.c_str(), ZIP_RDONLY, &err));
}

PackageReader::PackageReader(std::shared_ptr<const std::string> bytes, const std::string& name,
                             UnpackLimits limits)
    : file_(name), bytes_(std::move(bytes)), limits_(limits) {
  zip_error_t error;
  zip_error_init(&error);
  zip* archive = nullptr;
  if (zip_source_t* src = zip_source_buffer_create(bytes_->data(), bytes_->size(), 0, &error)) {
    archive = zip_open_from_source(src, ZIP_RDONLY, &error);
    if (!archive) zip_source_free(src);
  }
  zip_error_fini(&error);
  open(archive);
}

void PackageReader::open(zip* archive) {
  archive_ = archive;
  if (!archive_) refuse("无法读取文件“" + file_ + "”：不是有效的 xlsx 文件（zip 格式错误）");
  const zip_int64_t n = zip_get_num_entries(archive_, 0);
  if (n < 0 || static_cast<uint64_t>(n) > limits_.max_parts) {
    zip_discard(archive_);
    archive_ = nullptr;
    refuse("无法读取文件“" + file_ + "”：包内部件过多");
  }
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(n); ++i) {
    const char* name = zip_get_name(archive_, i, ZIP_FL_ENC_GUESS);
    if (!name) continue;
    std::string s(name);
    if (s.empty() || s.back() == '/') continue;  // folders
    if (index_.emplace(s, i).second) names_.push_back(std::move(s));
  }
}

PackageReader::~PackageReader() {
  if (archive_) zip_discard(archive_);
}

bool PackageReader::has(std::string_view part) const {
  return index_.find(part) != index_.end();
}

void PackageReader::fail(std::string_view part, std::string_view what) const {
  refuse("无法读取文件“" + file_ + "”的部件“" + std::string(part) + "”：" + std::string(what));
}

uint64_t PackageReader::index_of(std::string_view part) const {
  auto it = index_.find(part);
  if (it == index_.end()) fail(part, "部件缺失");
  return it->second;
}

void PackageReader::stream(std::string_view part,
                           const std::function<void(const char*, size_t)>& sink) {
  const uint64_t i = index_of(part);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, i, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
    fail(part, "无法读取部件信息");
  }
  if (st.size > limits_.part_bytes || unpacked_ + st.size > limits_.total_bytes) {
    fail(part, "解压后超过大小上限");
  }
  if ((st.valid & ZIP_STAT_COMP_SIZE) && st.size > limits_.ratio_floor &&
      st.size / std::max<uint64_t>(st.comp_size, 1) > limits_.ratio) {
    fail(part, "压缩比异常（疑似压缩炸弹）");
  }
  zip_file_t* f = zip_fopen_index(archive_, i, 0);
  if (!f) fail(part, "无法解压");
  constexpr size_t kChunk = 64 * 1024;
  const std::unique_ptr<char[]> buf(new char[kChunk]);
  uint64_t got = 0;
  for (;;) {
    const zip_int64_t k = zip_fread(f, buf.get(), kChunk);
    if (k < 0) {
      zip_fclose(f);
      fail(part, "数据损坏");
    }
    if (k == 0) break;
    got += static_cast<uint64_t>(k);
    // The declared size is checked again against what actually unpacks.
    if (got > st.size) {
      zip_fclose(f);
      fail(part, "解压后超过声明的大小");
    }
    try {
      sink(buf.get(), static_cast<size_t>(k));
    } catch (...) {
      zip_fclose(f);
      throw;
    }
  }
  if (zip_fclose(f) != 0) fail(part, "数据损坏（校验失败）");
  unpacked_ += got;
}

void PackageReader::charge(std::string_view part, uint64_t bytes) {
  if (unpacked_ + bytes > limits_.total_bytes) fail(part, "展开后超过大小上限");
  unpacked_ += bytes;
}

std::string PackageReader::read(std::string_view part) {
  std::string out;
  stream(part, [&](const char* p, size_t n) { out.append(p, n); });
  return out;
}

// libzip writes a new archive through a source; this one hands the bytes
// to a WritableFile and keeps the first failure to rethrow it whole.
struct PackageWriter::Sink {
  WritableFile& out;
  uint64_t size = 0;  // the furthest byte written
  std::exception_ptr failure;
  zip_error_t error;

  explicit Sink(WritableFile& f) : out(f) { zip_error_init(&error); }
  ~Sink() { zip_error_fini(&error); }

  zip_int64_t fail() {
    if (!failure) failure = std::current_exception();
    zip_error_set(&error, ZIP_ER_WRITE, 0);
    return -1;
  }

  static zip_int64_t callback(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<Sink*>(self);
    try {
      switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
          return zip_source_make_command_bitmap(
              ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
              ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
              ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
              ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE,
              -1);
        case ZIP_SOURCE_STAT: {
          // An empty archive to start from.
          auto* st = static_cast<zip_stat_t*>(data);
          zip_stat_init(st);
          st->size = 0;
          st->valid |= ZIP_STAT_SIZE;
          return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
          return zip_error_to_data(&s->error, data, len);
        case ZIP_SOURCE_WRITE:
          s->out.write(data, static_cast<size_t>(len));
          s->size = std::max(s->size, s->out.position());
          return static_cast<zip_int64_t>(len);
        case ZIP_SOURCE_SEEK_WRITE: {
          const zip_int64_t to =
              zip_source_seek_compute_offset(s->out.position(), s->size, data, len, &s->error);
          if (to < 0) return -1;
          s->out.seek(static_cast<uint64_t>(to));
          return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
          return static_cast<zip_int64_t>(s->out.position());
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_READ:
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_SEEK:
        case ZIP_SOURCE_TELL:
        case ZIP_SOURCE_BEGIN_WRITE:
        case ZIP_SOURCE_COMMIT_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
        case ZIP_SOURCE_REMOVE:
        case ZIP_SOURCE_FREE:
          return 0;
        default:
          zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
          return -1;
      }
    } catch (...) {
      return s->fail();
    }
  }
};

PackageWriter::PackageWriter(const std::string& file) : file_(file) {
  int err = 0;
  archive_ = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!archive_) refuse("无法写入文件“" + file + "”");
}

PackageWriter::PackageWriter(WritableFile& out, const std::string& file)
    : file_(file), sink_(std::make_unique<Sink>(out)) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_function_create(&Sink::callback, sink_.get(), &error);
  if (src) {
    archive_ = zip_open_from_source(src, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive_) zip_source_free(src);
  }
  zip_error_fini(&error);
  if (!archive_) refuse("无法写入文件“" + file + "”");
}

PackageWriter::~PackageWriter() {
  if (archive_) zip_discard(archive_);
}

void PackageWriter::add_buffer(const std::string& part, const std::string& data) {
  zip_source_t* src = zip_source_buffer(archive_, data.data(), data.size(), 0);
  if (!src) refuse("无法写入文件“" + file_ + "”的部件“" + part + "”");
  const zip_int64_t i =
      zip_file_add(archive_, part.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
  if (i < 0) {
    zip_source_free(src);
    refuse("无法写入文件“" + file_ + "”的部件“" + part + "”");
  }
  // zlib's usual level: the size other producers write, at their speed.
  zip_set_file_compression(archive_, static_cast<zip_uint64_t>(i), ZIP_CM_DEFLATE, 6);
}

void PackageWriter::add(const std::string& part, std::string data) {
  auto p = std::make_shared<const std::string>(std::move(data));
  keep_.push_back(p);
  add_buffer(part, *p);
}

void PackageWriter::add(const std::string& part, std::shared_ptr<const std::string> data) {
  if (!data) data = std::make_shared<const std::string>();
  keep_.push_back(data);
  add_buffer(part, *data);
}

void PackageWriter::close() {
  if (zip_close(archive_) != 0) {
    std::string why = zip_strerror(archive_);
    zip_discard(archive_);
    archive_ = nullptr;
    if (sink_ && sink_->failure) std::rethrow_exception(sink_->failure);
    refuse("无法写入文件“" + file_ + "”：" + why);
  }
  archive_ = nullptr;
  keep_.clear();
}

}  // namespace kelv::xlsx
