#include "xlsx/package.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "host/file_path.h"
#include "host/file_system.h"
#include "host/host_error.h"
#include "xlsx/deflate.h"
#include "xlsx/zip_writer.h"

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

// One piece of a part: its text, and once compressed, its deflate blocks (a
// stored part's one piece is its data as it is).
struct CompressedPiece {
  std::shared_ptr<const std::string> owner;  // keeps `in` alive until compressed or written
  std::string_view in;
  bool last = false;
  bool fast = false;  // past the part's first kFastDeflateAfter bytes
  uint64_t size = 0;
  uint32_t crc = 0;
  std::string out;
  std::exception_ptr error;
  std::atomic<bool> done{false};  // set by the thread that compressed it
};

struct CompressedPart {
  std::string name;
  bool stored = false;
  bool complete = false;                                // every piece has been handed over
  bool begun = false;                                   // its entry is started in the file
  std::deque<std::unique_ptr<CompressedPiece>> pieces;  // not yet written
  uint64_t handed = 0;                                  // bytes handed over to compress
  uint32_t crc = 0;
  uint64_t size = 0;
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
  CompressionPool(const CompressionPool&) = delete;
  CompressionPool& operator=(const CompressionPool&) = delete;

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
  // A thread's compressors, one for each level, made when first needed.
  struct Deflaters {
    std::unique_ptr<Deflater> usual, fast;
    Deflater& of(const CompressedPiece& p) {
      std::unique_ptr<Deflater>& d = p.fast ? fast : usual;
      if (!d) d = std::make_unique<Deflater>(p.fast ? kFastDeflateLevel : kDeflateLevel);
      return *d;
    }
  };

  static void compress(CompressedPiece& p, Deflaters& deflaters) {
    try {
      p.size = p.in.size();
      p.crc = crc32_of(0, p.in);
      deflaters.of(p).compress(p.in, p.last, p.out);
    } catch (...) {
      p.error = std::current_exception();
    }
    p.in = {};
    p.owner.reset();
    p.done.store(true, std::memory_order_release);
  }

  void run_here(CompressedPiece* p) {
    compress(*p, own_);
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
    Deflaters d;
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
      compress(*p, d);
      finished();
    }
  }

  std::mutex m_;
  std::condition_variable wake_, done_;
  std::deque<CompressedPiece*> queue_;
  size_t running_ = 0;
  bool stop_ = false;
  Deflaters own_;
  std::vector<std::thread> threads_;
};

namespace {

// The package file a writer opens itself, by its path.
class PathFile final : public host::WritableFile {
 public:
  explicit PathFile(const std::string& file)
      : path_(host::file_path(file)), out_(path_, std::ios::binary | std::ios::trunc) {
    if (!out_)
      throw host::FileSystemError(host::FileSystemError::Kind::Other, "cannot create " + file);
  }
  void write(const void* data, size_t size) override {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    check();
    position_ += size;
  }
  void seek(uint64_t position) override {
    out_.seekp(static_cast<std::streamoff>(position));
    check();
    position_ = position;
  }
  uint64_t position() const override { return position_; }
  void sync() override {
    out_.flush();
    check();
  }
  void close() override {
    out_.close();
    check();
  }
  // Takes away a file left unfinished.
  void discard() noexcept {
    out_.close();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }

 private:
  void check() {
    if (!out_) throw host::FileSystemError(host::FileSystemError::Kind::Other, "write failed");
  }
  std::filesystem::path path_;
  std::ofstream out_;
  uint64_t position_ = 0;
};

}  // namespace

PackageWriter::PackageWriter(const std::string& file) : file_(file) {
  try {
    own_ = std::make_unique<PathFile>(file);
  } catch (const host::FileSystemError&) {
    refuse("无法写入文件“" + file + "”");
  }
  zip_ = std::make_unique<ZipWriter>(*own_);
}

PackageWriter::PackageWriter(host::WritableFile& out, const std::string& file)
    : file_(file), zip_(std::make_unique<ZipWriter>(out)) {}

PackageWriter::~PackageWriter() {
  pool_.reset();  // the workers finish before the pieces they hold go
  if (own_ && !closed_) static_cast<PathFile&>(*own_).discard();
}

CompressedPart& PackageWriter::new_part(const std::string& name) {
  if (closed_) throw std::logic_error("package already closed");
  if (!names_.insert(name).second) refuse("无法写入文件“" + file_ + "”：部件“" + name + "”重复");
  parts_.push_back(std::make_unique<CompressedPart>());
  parts_.back()->name = name;
  return *parts_.back();
}

void PackageWriter::submit(CompressedPart& part, std::unique_ptr<CompressedPiece> piece) {
  if (!pool_) pool_ = std::make_unique<CompressionPool>();
  CompressedPiece* p = piece.get();
  p->fast = part.handed >= kFastDeflateAfter;
  part.handed += p->in.size();
  part.pieces.push_back(std::move(piece));
  pool_->submit(p);
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
    submit(part, std::move(p));
  } while (at < all.size());
  part.complete = true;
  write_ready(false);
}

void PackageWriter::add(const std::string& part, std::string data) {
  add_view(new_part(part), std::make_shared<const std::string>(std::move(data)));
}

void PackageWriter::add(const std::string& part, std::shared_ptr<const std::string> data) {
  if (!data) data = std::make_shared<const std::string>();
  add_view(new_part(part), data);
}

void PackageWriter::add_stored(const std::string& part, std::shared_ptr<const std::string> data) {
  if (!data) data = std::make_shared<const std::string>();
  CompressedPart& p = new_part(part);
  p.stored = true;
  auto piece = std::make_unique<CompressedPiece>();
  piece->in = *data;
  piece->size = data->size();
  piece->crc = crc32_of(0, piece->in);
  piece->owner = std::move(data);
  piece->last = true;
  piece->done.store(true, std::memory_order_relaxed);
  p.pieces.push_back(std::move(piece));
  p.complete = true;
  write_ready(false);
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
    writer_.submit(part_, std::move(p));
    writer_.write_ready(false);
  }
  held_ = std::move(piece);
  piece.clear();
}

void PackageWriter::Stream::finish() {
  auto p = std::make_unique<CompressedPiece>();
  p->owner = std::make_shared<const std::string>(std::move(held_));
  p->in = *p->owner;
  p->last = true;
  writer_.submit(part_, std::move(p));
  part_.complete = true;
  writer_.write_ready(false);
}

// Writes out, in the order they were added, the parts at the front whose
// pieces are compressed, and a started part's pieces as far as they are;
// with `wait`, everything, compressing here what is still queued.
void PackageWriter::write_ready(bool wait) {
  while (!parts_.empty()) {
    CompressedPart& part = *parts_.front();
    if (!part.begun) {
      zip_->begin(part.name, part.stored ? ZipWriter::Method::Stored : ZipWriter::Method::Deflated);
      part.begun = true;
    }
    while (!part.pieces.empty()) {
      CompressedPiece& piece = *part.pieces.front();
      if (!piece.done.load(std::memory_order_acquire)) {
        if (!wait) return;
        pool_->drain();
      }
      if (piece.error) std::rethrow_exception(piece.error);
      zip_->data(part.stored ? piece.in : std::string_view(piece.out));
      part.crc = crc32_join(part.crc, piece.crc, piece.size);
      part.size += piece.size;
      part.pieces.pop_front();
    }
    if (!part.complete) return;  // a stream still being written
    try {
      zip_->end(part.crc, part.size);
    } catch (const std::length_error&) {
      refuse("无法写入文件“" + file_ + "”的部件“" + part.name + "”：超过 4 GB");
    }
    parts_.pop_front();
  }
}

void PackageWriter::close() {
  if (closed_) return;
  for (const auto& part : parts_)
    if (!part->complete) throw std::logic_error("package part still being written");
  write_ready(true);
  zip_->finish();
  if (own_) own_->close();
  pool_.reset();
  closed_ = true;
}

}  // namespace kelv::xlsx
