// A zip file written byte by byte, so a test can say exactly what it holds
// (sizes, methods, any number of entries), in memory and without the
// package writer.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kelv::xlsx::test {

class ZipBytes {
 public:
  // Stored as is.
  void add(const std::string& name, const std::string& data) {
    add_raw(name, data, 0, crc(data), data.size());
  }
  // Already deflated (raw deflate), with the CRC and size of what it
  // inflates to.
  void add_raw(const std::string& name, const std::string& data, uint16_t method, uint32_t crc,
               uint64_t size) {
    central_.push_back({name, static_cast<uint32_t>(out_.size()), method, crc,
                        static_cast<uint32_t>(data.size()), static_cast<uint32_t>(size)});
    const Entry& e = central_.back();
    u32(0x04034b50);
    u16(20);
    u16(0x0800);  // UTF-8 names
    u16(method);
    u16(0);
    u16(0);
    u32(e.crc);
    u32(e.compressed);
    u32(e.size);
    u16(static_cast<uint16_t>(name.size()));
    u16(0);
    out_ += name;
    out_ += data;
  }
  std::string finish() {
    const uint64_t start = out_.size();
    for (const Entry& e : central_) {
      u32(0x02014b50);
      u16(20);
      u16(20);
      u16(0x0800);
      u16(e.method);
      u16(0);
      u16(0);
      u32(e.crc);
      u32(e.compressed);
      u32(e.size);
      u16(static_cast<uint16_t>(e.name.size()));
      u16(0);
      u16(0);
      u16(0);
      u16(0);
      u32(0);
      u32(e.offset);
      out_ += e.name;
    }
    const uint64_t length = out_.size() - start;
    const uint64_t n = central_.size();
    if (n > 0xFFFF) {
      // The 64-bit end records, for more entries than 16 bits count.
      const uint64_t at = out_.size();
      u32(0x06064b50);
      u64(44);
      u16(45);
      u16(45);
      u32(0);
      u32(0);
      u64(n);
      u64(n);
      u64(length);
      u64(start);
      u32(0x07064b50);
      u32(0);
      u64(at);
      u32(1);
    }
    u32(0x06054b50);
    u16(0);
    u16(0);
    u16(static_cast<uint16_t>(std::min<uint64_t>(n, 0xFFFF)));
    u16(static_cast<uint16_t>(std::min<uint64_t>(n, 0xFFFF)));
    u32(static_cast<uint32_t>(length));
    u32(static_cast<uint32_t>(start));
    u16(0);
    return std::move(out_);
  }

  static uint32_t crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
  }

 private:
  struct Entry {
    std::string name;
    uint32_t offset;
    uint16_t method;
    uint32_t crc, compressed, size;
  };
  void u16(uint16_t v) {
    out_ += static_cast<char>(v & 0xFF);
    out_ += static_cast<char>(v >> 8);
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void u64(uint64_t v) {
    u32(static_cast<uint32_t>(v));
    u32(static_cast<uint32_t>(v >> 32));
  }

  std::string out_;
  std::vector<Entry> central_;
};

}  // namespace kelv::xlsx::test
