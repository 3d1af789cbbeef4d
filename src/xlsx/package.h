// The zip container of a workbook file: bounded reading of parts and
// writing of a new package. Errors are host::HostError naming the file and
// the part.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct zip;
struct zip_file;
struct zip_stat;
struct libdeflate_decompressor;

namespace kelv::host {
class WritableFile;
}  // namespace kelv::host

namespace kelv::xlsx {

// Unpacking limits. A part or a package beyond them is refused, so a small
// crafted file can not make the reader allocate without bound. A part's
// size is checked as declared before it is unpacked and again as it
// unpacks. A sheet of 100,000 examinees in 20 columns is some 150 MB of XML.
struct UnpackLimits {
  // A million examinees, assigned and counted, are a sheet of some 670 MB
  // and 1.5 GB with their cells; kelv reads back what it writes with room
  // to spare. The ratio refuses a bomb long before it gets there.
  uint64_t total_bytes = 4ull << 30;  // every part together, and the cells read
  uint64_t part_bytes = 2ull << 30;
  uint64_t ratio = 1000;  // uncompressed : compressed, for parts over ratio_floor
  uint64_t ratio_floor = 1u << 20;
  // A part is at least a directory entry of some fifty bytes in the file;
  // kelv writes one picture part per code on a seat label.
  uint64_t max_parts = uint64_t{1} << 22;
};

// Nesting deeper than this is refused before a part is parsed: real parts
// nest a few dozen levels, and a deep one would make the parsers' stacks
// and trees grow with it.
inline constexpr int32_t kMaxXmlDepth = 1000;

class PackageReader {
 public:
  // Opens the file; 53 when it does not exist, 1004 when it is not a zip.
  PackageReader(const std::string& file, UnpackLimits limits = {});
  // A package held in memory; `name` stands for the file in messages.
  PackageReader(std::shared_ptr<const std::string> bytes, const std::string& name,
                UnpackLimits limits = {});
  ~PackageReader();
  PackageReader(const PackageReader&) = delete;
  PackageReader& operator=(const PackageReader&) = delete;

  const std::string& file() const { return file_; }
  // Part names in archive order, without a leading "/".
  const std::vector<std::string>& parts() const { return names_; }
  bool has(std::string_view part) const;
  // The whole part; 1004 when missing, damaged or beyond the limits.
  std::string read(std::string_view part);
  // Streams the part in chunks to sink; the same checks as read().
  void stream(std::string_view part, const std::function<void(const char*, size_t)>& sink);

  // Counts memory the model spends on a part (row slots of a sheet) against
  // the total limit, so a small file can not make the model huge either.
  void charge(std::string_view part, uint64_t bytes);

  // What has been unpacked and charged so far, and giving some of it back
  // when a part is read a second time.
  uint64_t counted() const { return unpacked_; }
  void refund(uint64_t bytes) { unpacked_ -= std::min(bytes, unpacked_); }

  // A failure naming the file and the part.
  [[noreturn]] void fail(std::string_view part, std::string_view what) const;

 private:
  // Parts up to this size are inflated whole; larger ones stream.
  static constexpr uint64_t kWholePart = uint64_t{2} << 20;

  void open(zip* archive);
  uint64_t index_of(std::string_view part) const;
  bool whole_part(uint64_t i, const struct zip_stat& st, std::string_view part,
                  const std::function<void(const char*, size_t)>& sink);
  uint64_t inflate_here(zip_file* f, uint64_t size, std::string_view part,
                        const std::function<void(const char*, size_t)>& sink);
  uint64_t inflate_beside(zip_file* f, uint64_t size, std::string_view part,
                          const std::function<void(const char*, size_t)>& sink);

  struct FreeInflater {
    void operator()(libdeflate_decompressor* d) const;
  };

  std::string file_;
  std::shared_ptr<const std::string> bytes_;  // of a package in memory
  UnpackLimits limits_;
  uint64_t package_size_ = 0;  // bytes of the whole package
  zip* archive_ = nullptr;
  std::unique_ptr<libdeflate_decompressor, FreeInflater> inflater_;
  std::vector<std::string> names_;
  std::map<std::string, uint64_t, std::less<>> index_;
  uint64_t unpacked_ = 0;
};

class CompressionPool;
struct CompressedPart;
struct CompressedPiece;
class ZipWriter;

// Writes parts as one zip file. Each part is compressed as it is added, on
// worker threads (never more threads than cores, the caller's included),
// large parts in pieces side by side, and written to the file as soon as it
// and the parts before it are compressed, so that neither the compressed
// package nor a part is held whole.
class PackageWriter {
 public:
  explicit PackageWriter(const std::string& file);
  // Writes the package into `out`, which must outlive the writer; `file`
  // names it in messages. A failure of `out` comes out of the call that
  // wrote (an add, a stream's write, close) as the FileSystemError it threw.
  PackageWriter(host::WritableFile& out, const std::string& file);
  ~PackageWriter();  // discards an unfinished package it opened itself
  PackageWriter(const PackageWriter&) = delete;
  PackageWriter& operator=(const PackageWriter&) = delete;

  // A part; each name once (1004 for a second).
  void add(const std::string& part, std::string data);
  void add(const std::string& part, std::shared_ptr<const std::string> data);
  // A part compressed already in its own format (a PNG or JPEG picture),
  // stored as it is.
  void add_stored(const std::string& part, std::shared_ptr<const std::string> data);

  // A part handed over piece by piece, so that it is compressed while the
  // rest of it is still being made and never held whole.
  class Stream {
   public:
    // Takes the text out of `piece` (left empty).
    void write(std::string& piece);
    // Ends the part; nothing may be written after it.
    void finish();

   private:
    friend class PackageWriter;
    Stream(PackageWriter& w, CompressedPart& p) : writer_(w), part_(p) {}
    PackageWriter& writer_;
    CompressedPart& part_;
    std::string held_;  // the latest piece, sent once it is known not to be the last
  };
  Stream stream(const std::string& part);

  // Writes what is left and the zip's directory.
  void close();

 private:
  CompressedPart& new_part(const std::string& name);
  void submit(CompressedPart& part, std::unique_ptr<CompressedPiece> piece);
  void add_view(CompressedPart& part, const std::shared_ptr<const std::string>& owner);
  void write_ready(bool wait);

  std::string file_;
  std::unique_ptr<host::WritableFile> own_;
  std::unique_ptr<ZipWriter> zip_;
  std::unique_ptr<CompressionPool> pool_;
  std::deque<std::unique_ptr<CompressedPart>> parts_;  // not yet written, in order
  std::unordered_set<std::string> names_;              // every part's, written or not
  bool closed_ = false;
};

}  // namespace kelv::xlsx
