#include "xlsx/zip_writer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "host/file_system.h"

namespace kelv::xlsx {
namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEnd = 0x06054b50;
constexpr uint32_t kEnd64 = 0x06064b50;
constexpr uint32_t kEnd64Locator = 0x07064b50;
constexpr uint16_t kVersion = 20;    // deflate
constexpr uint16_t kVersion64 = 45;  // the 64-bit extension
constexpr uint16_t kUtf8Name = 1u << 11;
// 1980-01-01 00:00, the first day zip dates know: an entry's time says
// nothing about a workbook, and the same workbook makes the same file.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr uint64_t k32 = 0xFFFFFFFFu;
constexpr size_t kBuffer = size_t{1} << 20;

void le16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void le32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void le64(std::string& s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t flags_of(std::string_view name) {
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? 0 : kUtf8Name;
}

}  // namespace

ZipWriter::ZipWriter(host::WritableFile& out) : out_(out), buffer_start_(out.position()) {
  buffer_.reserve(kBuffer);
}

void ZipWriter::put(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBuffer) flush();
  if (bytes.size() >= kBuffer) {
    out_.write(bytes.data(), bytes.size());
    buffer_start_ += bytes.size();
    return;
  }
  buffer_.append(bytes);
}

void ZipWriter::flush() {
  if (buffer_.empty()) return;
  out_.write(buffer_.data(), buffer_.size());
  buffer_start_ += buffer_.size();
  buffer_.clear();
}

void ZipWriter::patch(uint64_t at, std::string_view bytes) {
  if (at >= buffer_start_) {
    buffer_.replace(static_cast<size_t>(at - buffer_start_), bytes.size(), bytes);
    return;
  }
  // A large entry's header went to the file before its data was done.
  flush();
  out_.seek(at);
  out_.write(bytes.data(), bytes.size());
  out_.seek(buffer_start_);
}

void ZipWriter::begin(std::string_view name, Method method) {
  if (open_) throw std::logic_error("zip entry left open");
  if (name.size() > 0xFFFF) throw std::length_error("zip entry name");
  Entry e;
  e.name_at = names_.size();
  e.name_size = static_cast<uint16_t>(name.size());
  names_.append(name);
  e.method = method;
  e.offset = buffer_start_ + buffer_.size();
  std::string h;
  h.reserve(30 + name.size());
  le32(h, kLocalHeader);
  le16(h, kVersion);
  le16(h, flags_of(name));
  le16(h, static_cast<uint16_t>(method));
  le16(h, kDosTime);
  le16(h, kDosDate);
  le32(h, 0);  // CRC-32 and the two sizes, set by end()
  le32(h, 0);
  le32(h, 0);
  le16(h, static_cast<uint16_t>(name.size()));
  le16(h, 0);
  h += name;
  put(h);
  entries_.push_back(e);
  open_ = true;
}

void ZipWriter::data(std::string_view bytes) {
  entries_.back().packed += bytes.size();
  put(bytes);
}

void ZipWriter::end(uint32_t crc, uint64_t size) {
  Entry& e = entries_.back();
  open_ = false;
  // A part this large has no place in a workbook; its sizes would need the
  // 64-bit extension in a local header written before they were known.
  if (size >= k32 || e.packed >= k32) throw std::length_error("zip entry of 4 GB or more");
  e.crc = crc;
  e.size = size;
  std::string fields;
  le32(fields, crc);
  le32(fields, static_cast<uint32_t>(e.packed));
  le32(fields, static_cast<uint32_t>(size));
  patch(e.offset + 14, fields);
}

void ZipWriter::finish() {
  if (open_) throw std::logic_error("zip entry left open");
  const uint64_t directory = buffer_start_ + buffer_.size();
  std::string h;
  for (const Entry& e : entries_) {
    const std::string_view name = name_of(e);
    h.clear();
    const bool far = e.offset >= k32;
    le32(h, kCentralHeader);
    le16(h, far ? kVersion64 : kVersion);  // made by
    le16(h, far ? kVersion64 : kVersion);  // needed
    le16(h, flags_of(name));
    le16(h, static_cast<uint16_t>(e.method));
    le16(h, kDosTime);
    le16(h, kDosDate);
    le32(h, e.crc);
    le32(h, static_cast<uint32_t>(e.packed));
    le32(h, static_cast<uint32_t>(e.size));
    le16(h, e.name_size);
    le16(h, far ? 12 : 0);  // extra field
    le16(h, 0);             // comment
    le16(h, 0);             // disk
    le16(h, 0);             // internal attributes
    le32(h, 0);             // external attributes
    le32(h, far ? static_cast<uint32_t>(k32) : static_cast<uint32_t>(e.offset));
    h += name;
    if (far) {
      le16(h, 0x0001);  // the 64-bit extension: the header's offset alone
      le16(h, 8);
      le64(h, e.offset);
    }
    put(h);
  }
  const uint64_t end_of_directory = buffer_start_ + buffer_.size();
  const uint64_t size = end_of_directory - directory;
  const uint64_t count = entries_.size();
  h.clear();
  if (count >= 0xFFFF || directory >= k32 || size >= k32) {
    le32(h, kEnd64);
    le64(h, 44);  // the size of the rest of this record
    le16(h, kVersion64);
    le16(h, kVersion64);
    le32(h, 0);
    le32(h, 0);
    le64(h, count);
    le64(h, count);
    le64(h, size);
    le64(h, directory);
    le32(h, kEnd64Locator);
    le32(h, 0);
    le64(h, end_of_directory);
    le32(h, 1);
  }
  le32(h, kEnd);
  le16(h, 0);
  le16(h, 0);
  le16(h, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  le16(h, static_cast<uint16_t>(std::min<uint64_t>(count, 0xFFFF)));
  le32(h, static_cast<uint32_t>(std::min(size, k32)));
  le32(h, static_cast<uint32_t>(std::min(directory, k32)));
  le16(h, 0);
  put(h);
  flush();
}

}  // namespace kelv::xlsx
