#include "readers/compound_file.h"

#include <algorithm>
#include <cstring>

#include "readers/common.h"

namespace kelv::readers {
namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;

uint16_t u16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t u32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(u16(b, at)) | (static_cast<uint32_t>(u16(b, at + 2)) << 16);
}

bool equal_ignore_ascii_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

CompoundFile::CompoundFile(std::string_view bytes, const std::string& file)
    : bytes_(bytes), file_(file) {
  if (bytes.size() < 512 || bytes.substr(0, 8) != kCompoundSignature)
    fail("不是有效的复合文档（文件头损坏）");
  const uint16_t shift = u16(bytes, 0x1E);
  const uint16_t mini_shift = u16(bytes, 0x20);
  if ((shift != 9 && shift != 12) || mini_shift != 6) fail("扇区大小无效");
  sector_size_ = 1u << shift;
  mini_sector_size_ = 1u << mini_shift;
  // A file cut inside its last sector reads as if that sector ended in zeros.
  if (bytes.size() % sector_size_ != 0) {
    padded_.assign(bytes.data(), bytes.size());
    padded_.resize((bytes.size() / sector_size_ + 1) * sector_size_, '\0');
    bytes_ = padded_;
    bytes = bytes_;
  }
  mini_cutoff_ = u32(bytes, 0x38);
  if (mini_cutoff_ != 4096) mini_cutoff_ = 4096;
  sector_count_ = bytes.size() <= sector_size_
                      ? 0
                      : (bytes.size() - sector_size_ + sector_size_ - 1) / sector_size_;
  const uint32_t fat_sectors = u32(bytes, 0x2C);
  const uint32_t first_dir = u32(bytes, 0x30);
  const uint32_t first_mini_fat = u32(bytes, 0x3C);
  const uint32_t mini_fat_sectors = u32(bytes, 0x40);
  uint32_t difat_sector = u32(bytes, 0x44);
  const uint32_t difat_sectors = u32(bytes, 0x48);
  if (fat_sectors > sector_count_) fail("FAT 扇区数超出文件大小");

  // The FAT's sectors: 109 in the header, the rest in the DIFAT chain.
  std::vector<uint32_t> fat_ids;
  for (uint32_t i = 0; i < 109 && fat_ids.size() < fat_sectors; ++i)
    fat_ids.push_back(u32(bytes, 0x4C + 4 * i));
  const uint32_t per_difat = sector_size_ / 4 - 1;
  std::vector<bool> seen(sector_count_, false);
  for (uint32_t k = 0; fat_ids.size() < fat_sectors; ++k) {
    if (k >= difat_sectors + 1 || difat_sector >= sector_count_ || seen[difat_sector])
      fail("DIFAT 扇区链损坏");
    seen[difat_sector] = true;
    std::string_view s = sector(difat_sector);
    for (uint32_t i = 0; i < per_difat && fat_ids.size() < fat_sectors; ++i)
      fat_ids.push_back(u32(s, size_t{4} * i));
    difat_sector = u32(s, size_t{4} * per_difat);
  }
  fat_.reserve(static_cast<size_t>(fat_sectors) * (sector_size_ / 4));
  for (uint32_t id : fat_ids) {
    if (id >= sector_count_) fail("FAT 扇区超出文件末尾");
    std::string_view s = sector(id);
    for (uint32_t i = 0; i < sector_size_ / 4; ++i) fat_.push_back(u32(s, size_t{4} * i));
  }

  // The directory: 128-byte entries along its chain.
  std::string dir = read_chain(first_dir, UINT64_MAX, nullptr);
  const size_t count = dir.size() / 128;
  if (count == 0) fail("目录为空");
  entries_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    std::string_view e(dir.data() + 128 * i, 128);
    Entry entry;
    const uint16_t name_bytes = std::min<uint16_t>(u16(e, 64), 64);
    std::string_view name = e.substr(0, name_bytes >= 2 ? name_bytes - 2 : 0);
    entry.name = from_utf16le(name);
    entry.type = static_cast<uint8_t>(e[66]);
    entry.start = u32(e, 116);
    entry.size = sector_size_ == 512 ? u32(e, 120)
                                     : (static_cast<uint64_t>(u32(e, 124)) << 32) | u32(e, 120);
    entries_.push_back(std::move(entry));
  }
  if (entries_[0].type != 5) fail("目录的根项损坏");

  // The mini FAT and the mini stream (the root entry's chain).
  if (mini_fat_sectors > 0 && first_mini_fat < kMaxRegular) {
    std::string mf = read_chain(first_mini_fat, UINT64_MAX, nullptr);
    mini_fat_.resize(mf.size() / 4);
    for (size_t i = 0; i < mini_fat_.size(); ++i) mini_fat_[i] = u32(mf, 4 * i);
  }
  const Entry& root = entries_[0];
  if (root.size > 0 && root.start < kMaxRegular) {
    if (root.size > bytes.size()) fail("小流容器的大小超出文件大小");
    uint64_t short_by = 0;
    mini_stream_ = read_chain(root.start, root.size, &short_by);
  }
}

void CompoundFile::fail(std::string_view what) const {
  refuse(file_, what);
}

std::string_view CompoundFile::sector(uint32_t id) const {
  const uint64_t at = (static_cast<uint64_t>(id) + 1) * sector_size_;
  if (at + sector_size_ > bytes_.size()) fail("扇区链超出文件末尾");
  return bytes_.substr(at, sector_size_);
}

std::vector<uint32_t> CompoundFile::chain(const std::vector<uint32_t>& fat, uint32_t start,
                                          uint64_t limit, std::string_view what) const {
  std::vector<uint32_t> ids;
  std::vector<bool> seen(fat.size(), false);
  uint32_t id = start;
  while (id != kEnd && ids.size() < limit) {
    if (id >= fat.size()) {
      if (id == kFree && !ids.empty()) break;  // a chain ended with a free mark
      fail(std::string(what) + "的扇区链指向表外");
    }
    if (seen[id]) fail(std::string(what) + "的扇区链有循环");
    seen[id] = true;
    ids.push_back(id);
    id = fat[id];
  }
  return ids;
}

std::string CompoundFile::read_chain(uint32_t start, uint64_t size, uint64_t* short_by) const {
  if (start == kEnd || size == 0) return {};
  const uint64_t links =
      size == UINT64_MAX ? fat_.size() : (size + sector_size_ - 1) / sector_size_;
  std::vector<uint32_t> ids = chain(fat_, start, links, "流");
  std::string out;
  out.reserve(std::min<uint64_t>(ids.size() * uint64_t{sector_size_}, bytes_.size()));
  for (uint32_t id : ids) {
    if (id >= sector_count_) fail("扇区链超出文件末尾");
    std::string_view s = sector(id);
    out.append(s.data(), s.size());
  }
  if (size != UINT64_MAX) {
    if (out.size() >= size) {
      out.resize(static_cast<size_t>(size));
    } else if (short_by) {
      *short_by = size - out.size();
    }
  }
  return out;
}

std::string CompoundFile::read_mini_chain(uint32_t start, uint64_t size, uint64_t* short_by) const {
  if (start == kEnd || size == 0) return {};
  const uint64_t links = (size + mini_sector_size_ - 1) / mini_sector_size_;
  std::vector<uint32_t> ids = chain(mini_fat_, start, links, "小流");
  std::string out;
  out.reserve(ids.size() * mini_sector_size_);
  for (uint32_t id : ids) {
    const uint64_t at = static_cast<uint64_t>(id) * mini_sector_size_;
    if (at >= mini_stream_.size()) fail("小流扇区超出小流容器");
    out.append(mini_stream_, at, std::min<uint64_t>(mini_sector_size_, mini_stream_.size() - at));
  }
  if (out.size() >= size) {
    out.resize(static_cast<size_t>(size));
  } else if (short_by) {
    *short_by = size - out.size();
  }
  return out;
}

const CompoundFile::Entry* CompoundFile::find(std::string_view name) const {
  for (const Entry& e : entries_)
    if (e.type == 2 && equal_ignore_ascii_case(e.name, name)) return &e;
  return nullptr;
}

std::vector<std::string> CompoundFile::stream_names() const {
  std::vector<std::string> names;
  for (const Entry& e : entries_)
    if (e.type == 2) names.push_back(e.name);
  return names;
}

bool CompoundFile::has_stream(std::string_view name) const {
  return find(name) != nullptr;
}

std::string CompoundFile::read_stream(std::string_view name, uint64_t* short_by) const {
  const Entry* e = find(name);
  if (!e) fail("缺少“" + std::string(name) + "”流");
  if (e->size > bytes_.size()) {
    // A size past the file: read what the chain holds.
    uint64_t missing = 0;
    std::string s = read_chain(e->start, UINT64_MAX, &missing);
    if (short_by) *short_by = e->size - s.size();
    return s;
  }
  if (e->size < mini_cutoff_) return read_mini_chain(e->start, e->size, short_by);
  return read_chain(e->start, e->size, short_by);
}

}  // namespace kelv::readers
