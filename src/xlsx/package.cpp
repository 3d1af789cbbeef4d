#include "xlsx/package.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "host/file_path.h"
#include "host/file_system.h"
#include "host/host_error.h"
#include "xlsx/deflate.h"

namespace kelv::xlsx {
namespace {

[[noreturn]] void refuse(const std::string& text) {
  throw host::HostError::host(host::kRefused, text);
}

// The archive at `file` (UTF-8), or null. On Windows it is opened through
// its wide-character name.
zip_t* open_archive(const std::string& file, int flags) {
#ifdef _WIN32
  const std::wstring name = host::file_path(file).wstring();
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_win32w_create(name.c_str(), 0, -1, &error);
  zip_t* archive = src ? zip_open_from_source(src, flags, &error) : nullptr;
  if (src && !archive) zip_source_free(src);
  zip_error_fini(&error);
  return archive;
#else
  int err = 0;
  return zip_open(file.c_str(), flags, &err);
#endif
}

}  // namespace

PackageReader::PackageReader(const std::string& file, UnpackLimits limits)
    : file_(file), limits_(limits) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(host::file_path(file), ec)) {
    throw host::HostError::host(host::kFileNotFound, "文件未找到：“" + file + "”");
  }
  package_size_ = std::filesystem::file_size(host::file_path(file), ec);
  if (ec) package_size_ = 0;
  open(open_archive(file, ZIP_RDONLY));
}

PackageReader::PackageReader(std::shared_ptr<const std::string> bytes, const std::string& name,
                             UnpackLimits limits)
    : file_(name), bytes_(std::move(bytes)), limits_(limits), package_size_(bytes_->size()) {
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

void PackageReader::FreeInflater::operator()(libdeflate_decompressor* d) const {
  libdeflate_free_decompressor(d);
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
  if (st.size <= kWholePart && whole_part(i, st, part, sink)) return;
  zip_file_t* f = zip_fopen_index(archive_, i, 0);
  if (!f) fail(part, "无法解压");
  const uint64_t got = st.size > kWholePart ? inflate_beside(f, st.size, part, sink)
                                            : inflate_here(f, st.size, part, sink);
  if (zip_fclose(f) != 0) fail(part, "数据损坏（校验失败）");
  unpacked_ += got;
}

uint64_t PackageReader::inflate_here(zip_file_t* f, uint64_t size, std::string_view part,
                                     const std::function<void(const char*, size_t)>& sink) {
  constexpr size_t kChunk = size_t{64} * 1024;
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
    if (got > size) {
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
  return got;
}

// A large part is inflated on a thread of its own a few chunks ahead of the
// sink, so that parsing and inflating overlap.
uint64_t PackageReader::inflate_beside(zip_file_t* f, uint64_t size, std::string_view part,
                                       const std::function<void(const char*, size_t)>& sink) {
  constexpr size_t kChunk = size_t{256} * 1024;
  constexpr size_t kAhead = 4;
  std::mutex m;
  std::condition_variable cv;
  std::deque<std::string> full, empty;
  bool done = false, cancel = false;
  const char* error = nullptr;
  uint64_t got = 0;
  std::thread inflater([&] {
    for (;;) {
      std::string buf;
      {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return cancel || full.size() < kAhead; });
        if (cancel) return;
        if (!empty.empty()) {
          buf = std::move(empty.front());
          empty.pop_front();
        }
      }
      buf.resize(kChunk);
      const zip_int64_t k = zip_fread(f, buf.data(), buf.size());
      std::lock_guard<std::mutex> lock(m);
      if (k <= 0 || got + static_cast<uint64_t>(k) > size) {
        error = k < 0 ? "数据损坏" : k > 0 ? "解压后超过声明的大小" : nullptr;
        done = true;
        cv.notify_all();
        return;
      }
      got += static_cast<uint64_t>(k);
      buf.resize(static_cast<size_t>(k));
      full.push_back(std::move(buf));
      cv.notify_all();
    }
  });
  auto stop = [&] {
    {
      std::lock_guard<std::mutex> lock(m);
      cancel = true;
    }
    cv.notify_all();
    inflater.join();
  };
  for (;;) {
    std::string buf;
    {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return done || !full.empty(); });
      if (full.empty()) break;
      buf = std::move(full.front());
      full.pop_front();
    }
    cv.notify_all();
    try {
      sink(buf.data(), buf.size());
    } catch (...) {
      stop();
      zip_fclose(f);
      throw;
    }
    std::lock_guard<std::mutex> lock(m);
    empty.push_back(std::move(buf));
  }
  stop();
  if (error) {
    zip_fclose(f);
    fail(part, error);
  }
  return got;
}

// A part of known size inflated in one go with libdeflate and its CRC
// checked. False when the entry is not plainly deflated or stored, for the
// streaming path to read.
bool PackageReader::whole_part(uint64_t i, const struct zip_stat& st, std::string_view part,
                               const std::function<void(const char*, size_t)>& sink) {
  constexpr uint64_t kNeeded =
      ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
  if ((st.valid & kNeeded) != kNeeded || st.encryption_method != ZIP_EM_NONE ||
      st.comp_method != ZIP_CM_DEFLATE || st.comp_size > (uint64_t{1} << 30)) {
    return false;
  }
  // A compressed size larger than the package is a damaged entry: nothing is
  // set aside for it, and the streaming read reports the damage.
  if (st.comp_size > package_size_) return false;
  zip_file_t* f = zip_fopen_index(archive_, i, ZIP_FL_COMPRESSED);
  if (!f) fail(part, "无法解压");
  std::string packed(static_cast<size_t>(st.comp_size), '\0');
  const zip_int64_t k = zip_fread(f, packed.data(), packed.size());
  zip_fclose(f);
  if (k != static_cast<zip_int64_t>(packed.size())) fail(part, "数据损坏");
  if (!inflater_) inflater_.reset(libdeflate_alloc_decompressor());
  if (!inflater_) throw std::bad_alloc();
  std::string out(static_cast<size_t>(st.size), '\0');
  size_t n = 0;
  const libdeflate_result r = libdeflate_deflate_decompress(
      inflater_.get(), packed.data(), packed.size(), out.data(), out.size(), &n);
  if (r == LIBDEFLATE_INSUFFICIENT_SPACE) fail(part, "解压后超过声明的大小");
  if (r != LIBDEFLATE_SUCCESS || n != out.size()) fail(part, "数据损坏");
  if (libdeflate_crc32(0, out.data(), out.size()) != st.crc) fail(part, "数据损坏（校验失败）");
  unpacked_ += out.size();
  packed = std::string();
  if (!out.empty()) sink(out.data(), out.size());
  return true;
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

// --- Writing -------------------------------------------------------------------

// One piece of a part: its text, and once compressed, its deflate blocks.
struct CompressedPiece {
  std::shared_ptr<const std::string> owner;  // keeps `in` alive until compressed
  std::string_view in;
  bool last = false;
  uint64_t size = 0;
  uint32_t crc = 0;
  std::string out;
  std::exception_ptr error;
};

struct CompressedPart {
  std::string name;
  std::vector<std::unique_ptr<CompressedPiece>> pieces;
  // Where the zip writer's read stands.
  size_t piece = 0, offset = 0;
};

// Compresses pieces on worker threads: one fewer than the cores, since the
// thread that adds parts also compresses when it is ahead of them or done.
class CompressionPool {
 public:
  CompressionPool() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < cores; ++i) threads_.emplace_back([this] { work(); });
  }
  ~CompressionPool() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  void submit(CompressedPiece* p) {
    CompressedPiece* own = nullptr;
    {
      std::lock_guard<std::mutex> lock(m_);
      queue_.push_back(p);
      // Too far ahead of the workers: lend a hand rather than pile up text.
      if (queue_.size() > 2 * (threads_.size() + 1)) {
        own = queue_.front();
        queue_.pop_front();
        ++running_;
      }
    }
    wake_.notify_one();
    if (own) run_here(own);
  }

  // Compresses what is still queued here, then waits for the workers.
  void drain() {
    for (;;) {
      CompressedPiece* p = nullptr;
      {
        std::unique_lock<std::mutex> lock(m_);
        if (queue_.empty()) {
          done_.wait(lock, [this] { return running_ == 0 && queue_.empty(); });
          return;
        }
        p = queue_.front();
        queue_.pop_front();
        ++running_;
      }
      run_here(p);
    }
  }

 private:
  static void compress(CompressedPiece& p, Deflater& d) {
    try {
      p.size = p.in.size();
      p.crc = crc32_of(0, p.in);
      d.compress(p.in, p.last, p.out);
    } catch (...) {
      p.error = std::current_exception();
    }
    p.in = {};
    p.owner.reset();
  }

  void run_here(CompressedPiece* p) {
    if (!own_) own_ = std::make_unique<Deflater>();
    compress(*p, *own_);
    finished();
  }

  void finished() {
    {
      std::lock_guard<std::mutex> lock(m_);
      --running_;
    }
    done_.notify_all();
  }

  void work() {
    std::unique_ptr<Deflater> d;
    for (;;) {
      CompressedPiece* p = nullptr;
      {
        std::unique_lock<std::mutex> lock(m_);
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;
        p = queue_.front();
        queue_.pop_front();
        ++running_;
      }
      if (!d) d = std::make_unique<Deflater>();
      compress(*p, *d);
      finished();
    }
  }

  std::mutex m_;
  std::condition_variable wake_, done_;
  std::deque<CompressedPiece*> queue_;
  size_t running_ = 0;
  bool stop_ = false;
  std::unique_ptr<Deflater> own_;
  std::vector<std::thread> threads_;
};

namespace {

// Hands a compressed part to libzip as data already deflated, with its size
// and CRC, so that libzip copies it as it is.
zip_int64_t compressed_source(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* part = static_cast<CompressedPart*>(user);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      part->piece = 0;
      part->offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      auto* to = static_cast<char*>(data);
      zip_uint64_t n = 0;
      while (n < len && part->piece < part->pieces.size()) {
        const std::string& out = part->pieces[part->piece]->out;
        const size_t k = std::min<size_t>(static_cast<size_t>(len - n), out.size() - part->offset);
        // Bytes of a part, not a C string.
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
        std::memcpy(to + n, out.data() + part->offset, k);
        n += k;
        part->offset += k;
        if (part->offset == out.size()) {
          ++part->piece;
          part->offset = 0;
        }
      }
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_STAT: {
      if (len < sizeof(zip_stat_t)) return -1;
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      uint64_t size = 0, packed = 0;
      uint32_t crc = 0;
      for (const auto& p : part->pieces) {
        crc = crc32_join(crc, p->crc, p->size);
        size += p->size;
        packed += p->out.size();
      }
      st->size = size;
      st->comp_size = packed;
      st->comp_method = ZIP_CM_DEFLATE;
      st->crc = crc;
      st->encryption_method = ZIP_EM_NONE;
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                  ZIP_STAT_ENCRYPTION_METHOD;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: {
      zip_error_t e;
      zip_error_init_with_code(&e, ZIP_ER_OPNOTSUPP);
      const zip_int64_t n = zip_error_to_data(&e, data, len);
      zip_error_fini(&e);
      return n;
    }
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return -1;
  }
}

}  // namespace

// libzip writes a new archive through a source; this one hands the bytes
// to a WritableFile and keeps the first failure to rethrow it whole.
struct PackageWriter::Sink {
  host::WritableFile& out;
  uint64_t size = 0;  // the furthest byte written
  std::exception_ptr failure;
  zip_error_t error;

  explicit Sink(host::WritableFile& f) : out(f) { zip_error_init(&error); }
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
  archive_ = open_archive(file, ZIP_CREATE | ZIP_TRUNCATE);
  if (!archive_) refuse("无法写入文件“" + file + "”");
}

PackageWriter::PackageWriter(host::WritableFile& out, const std::string& file)
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
  pool_.reset();  // the workers finish before the pieces they hold go
  if (archive_) zip_discard(archive_);
}

CompressedPart& PackageWriter::new_part(const std::string& name) {
  if (!pool_) pool_ = std::make_unique<CompressionPool>();
  parts_.push_back(std::make_unique<CompressedPart>());
  parts_.back()->name = name;
  return *parts_.back();
}

void PackageWriter::add_view(CompressedPart& part,
                             const std::shared_ptr<const std::string>& owner) {
  const std::string_view all(*owner);
  size_t at = 0;
  do {
    auto p = std::make_unique<CompressedPiece>();
    p->in = all.substr(at, kDeflatePiece);
    at += p->in.size();
    p->last = at == all.size();
    p->owner = owner;
    part.pieces.push_back(std::move(p));
    pool_->submit(part.pieces.back().get());
  } while (at < all.size());
}

void PackageWriter::add(const std::string& part, std::string data) {
  add_view(new_part(part), std::make_shared<const std::string>(std::move(data)));
}

void PackageWriter::add(const std::string& part, std::shared_ptr<const std::string> data) {
  if (!data) data = std::make_shared<const std::string>();
  add_view(new_part(part), data);
}

PackageWriter::Stream PackageWriter::stream(const std::string& part) {
  return Stream(*this, new_part(part));
}

void PackageWriter::Stream::write(std::string& piece) {
  if (piece.empty()) return;
  if (!held_.empty()) {
    auto p = std::make_unique<CompressedPiece>();
    p->owner = std::make_shared<const std::string>(std::move(held_));
    p->in = *p->owner;
    part_.pieces.push_back(std::move(p));
    writer_.pool_->submit(part_.pieces.back().get());
  }
  held_ = std::move(piece);
  piece.clear();
}

void PackageWriter::Stream::finish() {
  auto p = std::make_unique<CompressedPiece>();
  p->owner = std::make_shared<const std::string>(std::move(held_));
  p->in = *p->owner;
  p->last = true;
  part_.pieces.push_back(std::move(p));
  writer_.pool_->submit(part_.pieces.back().get());
}

void PackageWriter::close() {
  if (pool_) pool_->drain();
  pool_.reset();
  for (const auto& part : parts_) {
    for (const auto& piece : part->pieces)
      if (piece->error) std::rethrow_exception(piece->error);
    zip_source_t* src = zip_source_function(archive_, &compressed_source, part.get());
    if (!src) refuse("无法写入文件“" + file_ + "”的部件“" + part->name + "”");
    if (zip_file_add(archive_, part->name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
      zip_source_free(src);
      refuse("无法写入文件“" + file_ + "”的部件“" + part->name + "”");
    }
  }
  if (zip_close(archive_) != 0) {
    std::string why = zip_strerror(archive_);
    zip_discard(archive_);
    archive_ = nullptr;
    if (sink_ && sink_->failure) std::rethrow_exception(sink_->failure);
    refuse("无法写入文件“" + file_ + "”：" + why);
  }
  archive_ = nullptr;
  parts_.clear();
}

}  // namespace kelv::xlsx
