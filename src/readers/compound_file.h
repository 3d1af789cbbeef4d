// The compound file that holds old binary workbooks: a little FAT file
// system of sectors inside one file. Reads a named stream out of it, with
// every sector chain bounded and checked for loops.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelv::readers {

inline constexpr std::string_view kCompoundSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

class CompoundFile {
 public:
  // `bytes` must outlive the object. Parses the header, the FAT (through the DIFAT), the directory
  // and the mini FAT. Throws host::HostError 1004 naming `file` for a file that is not a compound
  // file or whose structure is broken.
  CompoundFile(std::string_view bytes, const std::string& file);

  // The names of the streams, in directory order.
  std::vector<std::string> stream_names() const;
  bool has_stream(std::string_view name) const;
  // A stream's bytes. A chain that ends before the stream's size gives the
  // part it holds, and `short_by` is set to the number of bytes missing.
  std::string read_stream(std::string_view name, uint64_t* short_by = nullptr) const;

 private:
  struct Entry {
    std::string name;  // UTF-8
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root
    uint32_t start = 0;
    uint64_t size = 0;
  };

  [[noreturn]] void fail(std::string_view what) const;
  std::string_view sector(uint32_t id) const;
  // Follows a chain in `fat` from `start`, at most `limit` links; a loop, a
  // link off the table or a free sector fails.
  std::vector<uint32_t> chain(const std::vector<uint32_t>& fat, uint32_t start, uint64_t limit,
                              std::string_view what) const;
  std::string read_chain(uint32_t start, uint64_t size, uint64_t* short_by) const;
  std::string read_mini_chain(uint32_t start, uint64_t size, uint64_t* short_by) const;
  const Entry* find(std::string_view name) const;

  std::string_view bytes_;
  std::string padded_;  // the file made whole sectors, when it was cut inside one
  std::string file_;
  uint32_t sector_size_ = 512;
  uint32_t mini_sector_size_ = 64;
  uint32_t mini_cutoff_ = 4096;
  uint64_t sector_count_ = 0;  // whole sectors after the header
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<Entry> entries_;
  std::string mini_stream_;
};

}  // namespace kelv::readers
