// The zip container of a package being written, entry by entry and
// straight through: each entry's local header, its data as it comes, then
// the central directory and the end records. Sizes and CRC-32 are set in
// the local header once the entry's data is all written (it is still in
// the write buffer for every small part, so the file is seldom sought).
// Many small parts (a picture per seat label) cost a few dozen bytes of
// header each and no system call of their own; more than 65,535 entries,
// or a file past 4 GB, get the 64-bit end records any zip reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelv::host {
class WritableFile;
}  // namespace kelv::host

namespace kelv::xlsx {

class ZipWriter {
 public:
  enum class Method : uint16_t { Stored = 0, Deflated = 8 };

  // Writes into `out`, which must outlive the writer. A failure of `out`
  // comes out of the call that wrote, as the FileSystemError it threw.
  explicit ZipWriter(host::WritableFile& out);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Starts an entry named `name` (UTF-8); `data` then gives its data as
  // stored (deflated already, for Method::Deflated), and `end` its CRC-32
  // and unpacked size. std::length_error for an entry of 4 GB or more.
  void begin(std::string_view name, Method method);
  void data(std::string_view bytes);
  void end(uint32_t crc, uint64_t size);

  // Writes the central directory and the end records, and what is still
  // buffered. Nothing may be written after it.
  void finish();

 private:
  // What the central directory says of an entry; its name is in names_.
  struct Entry {
    uint64_t name_at = 0;
    uint64_t packed = 0, size = 0, offset = 0;
    uint32_t crc = 0;
    uint16_t name_size = 0;
    Method method = Method::Deflated;
  };
  std::string_view name_of(const Entry& e) const {
    return std::string_view(names_).substr(e.name_at, e.name_size);
  }

  void put(std::string_view bytes);
  void patch(uint64_t at, std::string_view bytes);
  void flush();

  host::WritableFile& out_;
  std::string buffer_;
  uint64_t buffer_start_ = 0;  // where the buffer's first byte goes in the file
  std::vector<Entry> entries_;
  std::string names_;  // every entry's name, end to end
  bool open_ = false;
};

}  // namespace kelv::xlsx
