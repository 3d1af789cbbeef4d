#include "readers/biff.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "host/constants.h"
#include "readers/common.h"
#include "readers/compound_file.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"

namespace kelv::readers {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;

enum RecordType : uint16_t {
  kFormula = 0x0006,
  kEof = 0x000A,
  kFilePass = 0x002F,
  kDateMode = 0x0022,
  kContinue = 0x003C,
  kWindow1 = 0x003D,
  kCodePage = 0x0042,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kBoundSheet = 0x0085,
  kStandardWidth = 0x0099,
  kMulRk = 0x00BD,
  kRString = 0x00D6,
  kXf = 0x00E0,
  kMergedCells = 0x00E5,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kString = 0x0207,
  kRow = 0x0208,
  kRk = 0x027E,
  kFormat = 0x041E,
  kBof = 0x0809,
};

uint16_t u16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t u32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(u16(b, at)) | (static_cast<uint32_t>(u16(b, at + 2)) << 16);
}
double f64(std::string_view b, size_t at) {
  uint64_t bits = static_cast<uint64_t>(u32(b, at)) | (static_cast<uint64_t>(u32(b, at + 4)) << 32);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

double rk_value(uint32_t rk) {
  double v = 0;
  if (rk & 2) {
    v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 1) ? v / 100 : v;
}

host::Variant error_value(uint8_t code) {
  using host::CellError;
  switch (code) {
    case 0x00:
      return CellError::Null;
    case 0x07:
      return CellError::Div0;
    case 0x0F:
      return CellError::Value;
    case 0x17:
      return CellError::Ref;
    case 0x1D:
      return CellError::Name;
    case 0x24:
      return CellError::Num;
    default:
      return CellError::NA;
  }
}

// Compressed characters are the low bytes of UTF-16 code units.
std::string latin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) append_utf8(out, static_cast<unsigned char>(c));
  return out;
}

struct Truncated {};

// A record and the CONTINUE records after it, read as one run of bytes
// whose boundaries matter to strings: characters split at a boundary go on
// after a new flag byte that says whether they are compressed.
class Segments {
 public:
  void add(std::string_view s) { segs_.push_back(s); }
  bool at_end() {
    settle();
    return seg_ >= segs_.size();
  }
  uint8_t u8() {
    settle();
    if (seg_ >= segs_.size()) throw Truncated{};
    return static_cast<uint8_t>(segs_[seg_][pos_++]);
  }
  uint16_t u16v() {
    const uint16_t a = u8();
    return static_cast<uint16_t>(a | (u8() << 8));
  }
  uint32_t u32v() {
    const uint32_t a = u16v();
    return a | (static_cast<uint32_t>(u16v()) << 16);
  }
  void skip(uint64_t n) {
    while (n > 0) {
      settle();
      if (seg_ >= segs_.size()) throw Truncated{};
      const uint64_t k = std::min<uint64_t>(n, segs_[seg_].size() - pos_);
      pos_ += static_cast<size_t>(k);
      n -= k;
    }
  }
  // cch characters, compressed or not as `high` says at first.
  std::string chars(uint32_t cch, bool high) {
    std::string out;
    while (cch > 0) {
      if (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
        ++seg_;
        pos_ = 0;
        if (seg_ >= segs_.size()) throw Truncated{};
        high = (u8() & 1) != 0;  // the flag byte restated at the split
        continue;
      }
      if (seg_ >= segs_.size()) throw Truncated{};
      const std::string_view s = segs_[seg_];
      const size_t width = high ? 2 : 1;
      const size_t avail = (s.size() - pos_) / width;
      if (avail == 0) {
        // Half a character at the end of a record: the writer split badly.
        pos_ = s.size();
        continue;
      }
      const size_t take = std::min<size_t>(avail, cch);
      const std::string_view piece = s.substr(pos_, take * width);
      out += high ? from_utf16le(piece) : latin1(piece);
      pos_ += take * width;
      cch -= static_cast<uint32_t>(take);
    }
    return out;
  }

 private:
  void settle() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
      ++seg_;
      pos_ = 0;
    }
  }
  std::vector<std::string_view> segs_;
  size_t seg_ = 0, pos_ = 0;
};

// An XLUnicodeRichExtendedString (the shared strings) or, with
// rich = false, an XLUnicodeString.
std::string unicode_string(Segments& in, bool sixteen_bit_length = true) {
  const uint32_t cch = sixteen_bit_length ? in.u16v() : in.u8();
  const uint8_t flags = in.u8();
  uint32_t runs = 0, ext = 0;
  if (flags & 0x08) runs = in.u16v();
  if (flags & 0x04) ext = in.u32v();
  std::string s = in.chars(cch, (flags & 1) != 0);
  in.skip(uint64_t{runs} * 4);  // formatting runs
  in.skip(ext);                 // phonetic data
  return s;
}

struct Record {
  uint16_t type = 0;
  std::string_view data;
};

class Records {
 public:
  // `count` is the records read so far in the whole workbook: sheets may
  // share their records, and the work stays bounded however often.
  Records(std::string_view stream, size_t at, uint64_t& count)
      : s_(stream), pos_(at), count_(count) {}
  // False at the end of the stream; `truncated` when a record's header or
  // body runs past it.
  bool next(Record& r) {
    if (pos_ >= s_.size()) return false;
    if (++count_ > kMaxRecords) throw Truncated{};
    if (s_.size() - pos_ < 4) {
      truncated = true;
      pos_ = s_.size();
      return false;
    }
    r.type = u16(s_, pos_);
    const size_t len = u16(s_, pos_ + 2);
    if (s_.size() - pos_ - 4 < len) {
      truncated = true;
      pos_ = s_.size();
      return false;
    }
    r.data = s_.substr(pos_ + 4, len);
    pos_ += 4 + len;
    return true;
  }
  // The CONTINUE records that follow, each as a segment after `first`.
  Segments with_continues(std::string_view first) {
    Segments seg;
    seg.add(first);
    while (pos_ + 4 <= s_.size() && u16(s_, pos_) == kContinue) {
      Record r;
      if (!next(r)) break;
      seg.add(r.data);
    }
    return seg;
  }
  bool truncated = false;

 private:
  std::string_view s_;
  size_t pos_;
  uint64_t& count_;
};

struct SheetEntry {
  std::string name;
  uint32_t offset = 0;
  uint8_t visibility = 0;
  uint8_t kind = 0;
};

class XlsReader {
 public:
  XlsReader(std::string_view bytes, const std::string& file) : bytes_(bytes), file_(file) {}

  std::unique_ptr<Workbook> run() {
    CompoundFile cf(bytes_, file_);
    if (cf.has_stream("EncryptedPackage") || cf.has_stream("EncryptionInfo"))
      refuse(file_, "文件已加密（设置了打开密码），请在原程序中去掉密码并另存后再打开");
    std::string name = cf.has_stream("Workbook") ? "Workbook" : "Book";
    if (!cf.has_stream(name)) refuse(file_, "复合文档中没有工作簿流，不是 Excel 工作簿");
    uint64_t short_by = 0;
    stream_ = cf.read_stream(name, &short_by);
    part_ = name;
    book_ = std::make_unique<Workbook>();
    book_->source_kind = spreadsheet::SourceKind::Xls;
    if (short_by > 0)
      book_->repairs.push_back("“" + name + "”流比声明的短 " + std::to_string(short_by) +
                               " 字节，已读入现有部分");
    read_globals();
    for (const SheetEntry& e : sheets_) {
      if (e.kind != 0) continue;  // charts, macro and dialog sheets
      read_sheet(e);
    }
    if (book_->sheets.empty()) refuse(file_, part_, "没有工作表");
    size_t active = std::min<size_t>(active_tab_, book_->sheets.size() - 1);
    if (book_->sheets[active]->visibility != spreadsheet::Visibility::Visible) {
      for (size_t i = 0; i < book_->sheets.size(); ++i) {
        if (book_->sheets[i]->visibility == spreadsheet::Visibility::Visible) {
          active = i;
          break;
        }
      }
    }
    book_->active_sheet = static_cast<int32_t>(active);
    book_->sheets[active]->view.tab_selected = true;
    return std::move(book_);
  }

 private:
  std::string text8(std::string_view bytes) const { return from_code_page(bytes, code_page_); }

  // A string with a 16-bit length: BIFF8 Unicode, BIFF5 bytes in the code page.
  std::string string16(Segments& in) {
    if (biff8_) return unicode_string(in);
    const uint16_t n = in.u16v();
    std::string raw;
    for (uint16_t i = 0; i < n; ++i) raw += static_cast<char>(in.u8());
    return text8(raw);
  }

  void read_globals() {
    Records recs(stream_, 0, records_);
    Record r;
    if (!recs.next(r) || r.type != kBof || r.data.size() < 4) {
      if (!r.data.empty() && (r.type == 0x0009 || r.type == 0x0209 || r.type == 0x0409))
        refuse(file_, part_, "是 Excel 5.0 之前的格式，无法读取");
      refuse(file_, part_, "开头不是 BOF 记录，不是 Excel 工作簿");
    }
    const uint16_t version = u16(r.data, 0);
    if (version == 0x0600) {
      biff8_ = true;
    } else if (version == 0x0500) {
      biff8_ = false;
      code_page_ = 1252;
    } else {
      refuse(file_, part_, "不支持的 BIFF 版本");
    }
    bool ended = false;
    try {
      while (!ended && recs.next(r)) {
        const std::string_view d = r.data;
        switch (r.type) {
          case kFilePass:
            refuse(file_, "文件已加密（设置了打开密码），请在原程序中去掉密码并另存后再打开");
          case kCodePage:
            if (d.size() >= 2) code_page_ = u16(d, 0);
            break;
          case kDateMode:
            if (d.size() >= 2) date1904_ = u16(d, 0) == 1;
            break;
          case kWindow1:
            if (d.size() >= 12) active_tab_ = u16(d, 10);
            break;
          case kFormat:
            read_format(recs.with_continues(d));
            break;
          case kXf:
            if (d.size() >= 4) xf_formats_.push_back(u16(d, 2));
            break;
          case kBoundSheet:
            read_boundsheet(d);
            break;
          case kSst:
            read_sst(recs.with_continues(d));
            break;
          case kEof:
            ended = true;
            break;
          default:
            break;
        }
      }
    } catch (const Truncated&) {
      recs.truncated = true;
    }
    if (recs.truncated || !ended)
      book_->repairs.push_back("工作簿全局记录不完整（在流末尾被截断），已读入截断前的部分");
  }

  void read_format(Segments in) {
    try {
      const uint16_t id = in.u16v();
      std::string code;
      if (biff8_) {
        code = unicode_string(in);
      } else {
        const uint8_t n = in.u8();
        std::string raw;
        for (uint8_t i = 0; i < n; ++i) raw += static_cast<char>(in.u8());
        code = text8(raw);
      }
      formats_[id] = code;
    } catch (const Truncated&) {
      book_->repairs.push_back("一条数字格式记录不完整，已略去");
    }
  }

  void read_boundsheet(std::string_view d) {
    if (d.size() < 8) return;
    SheetEntry e;
    e.offset = u32(d, 0);
    e.visibility = static_cast<uint8_t>(d[4]) & 3;
    e.kind = static_cast<uint8_t>(d[5]);
    Segments in;
    in.add(d.substr(6));
    try {
      if (biff8_) {
        e.name = unicode_string(in, false);
      } else {
        const uint8_t n = in.u8();
        std::string raw;
        for (uint8_t i = 0; i < n; ++i) raw += static_cast<char>(in.u8());
        e.name = text8(raw);
      }
    } catch (const Truncated&) {
      e.name.clear();
    }
    if (sheets_.size() >= kMaxSheets)
      refuse(file_, part_, "工作表超过 " + std::to_string(kMaxSheets) + " 个，不予读取");
    sheets_.push_back(std::move(e));
  }

  void read_sst(Segments in) {
    try {
      in.u32v();  // total references
      const uint32_t unique = in.u32v();
      // Never trust the count for memory: each string takes three bytes at least.
      sst_.reserve(std::min<size_t>(unique, stream_.size() / 3));
      for (uint32_t i = 0; i < unique; ++i) {
        if (in.at_end()) break;
        sst_.push_back(unicode_string(in));
      }
    } catch (const Truncated&) {
      book_->repairs.push_back("共享字符串表不完整，已读入前 " + std::to_string(sst_.size()) +
                               " 个");
    }
  }

  uint32_t style_for(uint16_t xf, bool* date) {
    *date = false;
    if (xf >= xf_formats_.size()) return 0;
    const uint16_t fmt = xf_formats_[xf];
    if (auto it = style_by_format_.find(fmt); it != style_by_format_.end()) {
      *date = it->second.second;
      return it->second.first;
    }
    std::string code;
    if (auto f = formats_.find(fmt); f != formats_.end()) {
      code = f->second;
    } else {
      code = spreadsheet::builtin_number_format(fmt);
    }
    if (code.empty()) code = "General";
    const bool is_date = formats_.count(fmt) ? spreadsheet::is_date_format(code)
                                             : spreadsheet::is_date_format_id(fmt) ||
                                                   spreadsheet::is_date_format(code);
    spreadsheet::Style s;
    s.number_format = code;
    const uint32_t id = code == "General" ? 0 : book_->styles.intern(s);
    style_by_format_[fmt] = {id, is_date};
    *date = is_date;
    return id;
  }

  void put_number(SheetFiller& fill, uint16_t row, uint16_t col, uint16_t xf, double v) {
    bool date = false;
    const uint32_t style = style_for(xf, &date);
    if (date && date1904_) v += spreadsheet::k1904Offset;  // the model counts from 1900
    if (!std::isfinite(v)) {
      fill.put(row + 1, col + 1, host::CellError::Num, style);
      return;
    }
    fill.put(row + 1, col + 1, v, style);
  }

  void put_value(SheetFiller& fill, uint16_t row, uint16_t col, uint16_t xf,
                 const host::Variant& v) {
    bool date = false;
    fill.put(row + 1, col + 1, v, style_for(xf, &date));
  }

  void read_sheet(const SheetEntry& e) {
    auto sheet = std::make_unique<Sheet>();
    sheet->name = sheet_name(*book_, e.name);
    sheet->visibility = e.visibility == 1   ? spreadsheet::Visibility::Hidden
                        : e.visibility == 2 ? spreadsheet::Visibility::VeryHidden
                                            : spreadsheet::Visibility::Visible;
    const std::string part = sheet->name;
    if (e.offset >= stream_.size()) refuse(file_, part, "工作表的位置超出工作簿流");
    Records recs(stream_, e.offset, records_);
    Record r;
    if (!recs.next(r) || r.type != kBof) refuse(file_, part, "工作表不以 BOF 记录开头");
    SheetFiller fill(file_, *sheet, budget_);
    int32_t depth = 1;
    int64_t bad_sst = 0, bad_records = 0, bad_merges = 0;
    // A formula whose text result follows in a STRING record.
    std::optional<std::tuple<uint16_t, uint16_t, uint16_t>> pending;
    try {
      while (depth > 0 && recs.next(r)) {
        const std::string_view d = r.data;
        if (r.type == kBof) {
          ++depth;  // a chart embedded in the sheet
          continue;
        }
        if (r.type == kEof) {
          --depth;
          continue;
        }
        if (depth > 1) continue;
        switch (r.type) {
          case kNumber:
            if (d.size() < 14) {
              ++bad_records;
              break;
            }
            put_number(fill, u16(d, 0), u16(d, 2), u16(d, 4), f64(d, 6));
            break;
          case kRk:
            if (d.size() < 10) {
              ++bad_records;
              break;
            }
            put_number(fill, u16(d, 0), u16(d, 2), u16(d, 4), rk_value(u32(d, 6)));
            break;
          case kMulRk: {
            if (d.size() < 6) {
              ++bad_records;
              break;
            }
            const uint16_t row = u16(d, 0);
            uint16_t col = u16(d, 2);
            for (size_t at = 4; at + 6 <= d.size() - 2; at += 6, ++col)
              put_number(fill, row, col, u16(d, at), rk_value(u32(d, at + 2)));
            break;
          }
          case kLabelSst: {
            if (d.size() < 10) {
              ++bad_records;
              break;
            }
            const uint32_t i = u32(d, 6);
            if (i >= sst_.size()) {
              ++bad_sst;
              break;
            }
            put_value(fill, u16(d, 0), u16(d, 2), u16(d, 4), sst_[i]);
            break;
          }
          case kLabel:
          case kRString: {
            if (d.size() < 8) {
              ++bad_records;
              break;
            }
            Segments in = recs.with_continues(d.substr(6));
            try {
              std::string s = string16(in);
              put_value(fill, u16(d, 0), u16(d, 2), u16(d, 4), std::move(s));
            } catch (const Truncated&) {
              ++bad_records;
            }
            break;
          }
          case kBoolErr:
            if (d.size() < 8) {
              ++bad_records;
              break;
            }
            put_value(fill, u16(d, 0), u16(d, 2), u16(d, 4),
                      d[7] ? error_value(static_cast<uint8_t>(d[6])) : host::Variant(d[6] != 0));
            break;
          case kFormula: {
            if (d.size() < 20) {
              ++bad_records;
              break;
            }
            const uint16_t row = u16(d, 0), col = u16(d, 2), xf = u16(d, 4);
            pending.reset();
            if (u16(d, 12) != 0xFFFF) {
              put_number(fill, row, col, xf, f64(d, 6));
              break;
            }
            switch (static_cast<uint8_t>(d[6])) {
              case 0:
                pending = std::make_tuple(row, col, xf);
                break;
              case 1:
                put_value(fill, row, col, xf, d[8] != 0);
                break;
              case 2:
                put_value(fill, row, col, xf, error_value(static_cast<uint8_t>(d[8])));
                break;
              default:
                put_value(fill, row, col, xf, std::string());
                break;
            }
            break;
          }
          case kString: {
            Segments in = recs.with_continues(d);
            if (!pending) break;
            try {
              std::string s = string16(in);
              const auto [row, col, xf] = *pending;
              put_value(fill, row, col, xf, std::move(s));
            } catch (const Truncated&) {
              ++bad_records;
            }
            pending.reset();
            break;
          }
          case kMergedCells: {
            if (d.size() < 2) break;
            const uint16_t n = u16(d, 0);
            for (size_t k = 0; k < n && 2 + 8 * (k + 1) <= d.size(); ++k) {
              const size_t at = 2 + 8 * k;
              const int32_t r1 = u16(d, at) + 1, r2 = u16(d, at + 2) + 1;
              const int32_t c1 = u16(d, at + 4) + 1, c2 = u16(d, at + 6) + 1;
              if (r1 > r2 || c1 > c2 || c2 > host::kMaxColumns) continue;
              if (sheet->merges.size() >= kMaxMergesPerSheet) {
                ++bad_merges;
                continue;
              }
              sheet->merges.push_back({r1, c1, r2, c2});
            }
            break;
          }
          case kColInfo: {
            if (d.size() < 10) break;
            const int32_t c1 = u16(d, 0) + 1;
            const int32_t c2 = std::min<int32_t>(u16(d, 2) + 1, 256);
            for (int32_t c = c1; c <= c2; ++c) {
              spreadsheet::ColumnInfo& info = sheet->columns[c];
              info.width = u16(d, 4) / 256.0;
              info.custom_width = true;
              info.hidden = (u16(d, 8) & 1) != 0;
              info.outline_level = (u16(d, 8) >> 8) & 7;
            }
            break;
          }
          case kStandardWidth:
            if (d.size() >= 2 && u16(d, 0) > 0) sheet->default_column_width = u16(d, 0) / 256.0;
            break;
          case kRow: {
            if (d.size() < 16) break;
            const int32_t row = u16(d, 0) + 1;
            const uint16_t height = u16(d, 6);
            const uint32_t options = u32(d, 12);
            if ((options & 0x40) || (options & 0x20)) {
              spreadsheet::Row& rw = spreadsheet::cells::row_at(*sheet, row);
              if (options & 0x40) {
                rw.height = (height & 0x7FFF) / 20.0;
                rw.custom_height = true;
              }
              rw.hidden = (options & 0x20) != 0;
            }
            break;
          }
          default:
            break;
        }
      }
    } catch (const Truncated&) {
      recs.truncated = true;
    }
    if (recs.truncated || depth > 0)
      book_->repairs.push_back("工作表“" + part +
                               "”的记录不完整（在流末尾被截断），已读入截断前的部分");
    if (bad_sst > 0)
      book_->repairs.push_back("工作表“" + part + "”中有 " + std::to_string(bad_sst) +
                               " 个单元格的共享字符串序号超出范围，已读为空单元格");
    if (bad_records > 0)
      book_->repairs.push_back("工作表“" + part + "”中有 " + std::to_string(bad_records) +
                               " 条单元格记录损坏，已略去");
    if (bad_merges > 0)
      book_->repairs.push_back("工作表“" + part + "”的合并区域超过 " +
                               std::to_string(kMaxMergesPerSheet) + " 个，多出的 " +
                               std::to_string(bad_merges) + " 个已略去");
    spreadsheet::keep_disjoint_merges(*sheet);
    book_->sheets.push_back(std::move(sheet));
  }

  std::string_view bytes_;
  const std::string& file_;
  std::string stream_;
  std::string part_;
  std::unique_ptr<Workbook> book_;
  bool biff8_ = true;
  int32_t code_page_ = 1200;
  bool date1904_ = false;
  uint16_t active_tab_ = 0;
  std::map<uint16_t, std::string> formats_;
  std::vector<uint16_t> xf_formats_;
  std::vector<SheetEntry> sheets_;
  std::vector<std::string> sst_;
  std::map<uint16_t, std::pair<uint32_t, bool>> style_by_format_;
  ReadBudget budget_;
  uint64_t records_ = 0;
};

}  // namespace

std::unique_ptr<spreadsheet::Workbook> read_xls(std::string_view bytes, const std::string& file) {
  return XlsReader(bytes, file).run();
}

}  // namespace kelv::readers
