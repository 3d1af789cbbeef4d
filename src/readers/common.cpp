#include "readers/common.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "host/constants.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"

namespace kelv::readers {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

// Converts with ICU; `strict` stops at the first byte sequence that is not
// text in the encoding.
std::optional<std::string> convert(const Converter& from, std::string_view bytes, bool strict) {
  UErrorCode status = U_ZERO_ERROR;
  if (strict) {
    ucnv_setToUCallBack(from.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return std::nullopt;
  }
  Converter to = open_converter("UTF-8");
  if (!to) return std::nullopt;
  std::string out;
  out.resize(bytes.size() * 3 + 16);
  char* target = out.data();
  const char* source = bytes.data();
  status = U_ZERO_ERROR;
  ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source,
                 bytes.data() + bytes.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                 &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(target - out.data()));
  return out;
}

const char* code_page_name(int32_t code_page, std::string& buffer) {
  switch (code_page) {
    case 936:
      return "GB18030";
    case 1200:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case 65001:
      return "UTF-8";
    case 367:
    case 20127:
      return "US-ASCII";
    case 10000:
    case 32768:
      return "macintosh";
    case 32769:
      return "windows-1252";
    default:
      buffer = "windows-" + std::to_string(code_page);
      return buffer.c_str();
  }
}

}  // namespace

std::shared_ptr<const std::string> read_file_bytes(const std::string& path) {
  const auto fs_path = host::file_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fs_path, ec))
    throw host::HostError::host(host::kFileNotFound, "文件未找到：“" + path + "”");
  const uintmax_t size = std::filesystem::file_size(fs_path, ec);
  if (ec) refuse(path, "无法读取文件大小");
  if (size > kMaxFileBytes)
    refuse(path, "文件大于 " + std::to_string(kMaxFileBytes >> 20) + " MB，不予读取");
  std::ifstream in(fs_path, std::ios::binary);
  if (!in) refuse(path, "无法打开");
  auto bytes = std::make_shared<std::string>();
  bytes->resize(static_cast<size_t>(size));
  in.read(bytes->data(), static_cast<std::streamsize>(size));
  if (static_cast<uintmax_t>(in.gcount()) != size) refuse(path, "读取失败");
  return bytes;
}

std::string read_file_head(const std::string& path, size_t n) {
  const auto fs_path = host::file_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fs_path, ec))
    throw host::HostError::host(host::kFileNotFound, "文件未找到：“" + path + "”");
  std::ifstream in(fs_path, std::ios::binary);
  if (!in) refuse(path, "无法打开");
  std::string head(n, '\0');
  in.read(head.data(), static_cast<std::streamsize>(n));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

void refuse(const std::string& file, std::string_view what) {
  throw host::HostError::host(host::kRefused, "无法读取文件“" + file + "”：" + std::string(what));
}

void refuse(const std::string& file, std::string_view part, std::string_view what) {
  throw host::HostError::host(host::kRefused, "无法读取文件“" + file + "”的部件“" +
                                                  std::string(part) + "”：" + std::string(what));
}

std::string from_code_page(std::string_view bytes, int32_t code_page) {
  bool ascii = true;
  for (char ch : bytes) {
    if (static_cast<unsigned char>(ch) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return std::string(bytes);
  if (code_page == 1200) return from_utf16le(bytes);
  std::string buffer;
  Converter c = open_converter(code_page_name(code_page, buffer));
  if (!c) c = open_converter("windows-1252");
  if (c) {
    if (auto s = convert(c, bytes, false)) return *s;
  }
  std::string out;
  for (char ch : bytes)
    out += static_cast<unsigned char>(ch) < 0x80 ? std::string(1, ch) : "\xEF\xBF\xBD";
  return out;
}

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

std::string from_utf16(std::string_view bytes, bool little) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  const size_t n = bytes.size() / 2;
  auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return little ? (a | (b << 8)) : ((a << 8) | b);
  };
  for (size_t i = 0; i < n; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
      const uint32_t lo = unit(i + 1);
      if (lo >= 0xDC00 && lo < 0xE000) {
        append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    append_utf8(out, u);
  }
  return out;
}

}  // namespace

std::string from_utf16le(std::string_view bytes) {
  return from_utf16(bytes, true);
}
std::string from_utf16be(std::string_view bytes) {
  return from_utf16(bytes, false);
}

bool is_valid_utf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp < 0xE000))
      return false;
    i += len;
  }
  return true;
}

std::optional<std::string> from_gb18030_strict(std::string_view bytes) {
  Converter c = open_converter("GB18030");
  if (!c) return std::nullopt;
  return convert(c, bytes, true);
}

namespace {

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool parse_int(std::string_view s, int32_t* out) {
  if (!all_digits(s) || s.size() > 4) return false;
  *out = std::atoi(std::string(s).c_str());
  return true;
}

std::optional<double> parse_date(std::string_view s) {
  const char sep = s.size() > 4 ? s[4] : 0;
  if (sep != '-' && sep != '/') return std::nullopt;
  const size_t a = 4;
  const size_t b = s.find(sep, a + 1);
  if (b == std::string_view::npos) return std::nullopt;
  int32_t y = 0, m = 0, d = 0;
  if (!parse_int(s.substr(0, a), &y) || !parse_int(s.substr(a + 1, b - a - 1), &m) ||
      !parse_int(s.substr(b + 1), &d))
    return std::nullopt;
  if (y < 1900) return std::nullopt;
  return spreadsheet::date_serial(y, m, d);
}

}  // namespace

host::Variant typed_value(std::string_view text, bool* date) {
  *date = false;
  if (text.empty()) return {};
  if (text == "TRUE" || text == "true") return true;
  if (text == "FALSE" || text == "false") return false;
  if (text.size() > 64) return std::string(text);
  host::CellError error{};
  if (text[0] == '#' && host::parse_cell_error(text, &error)) return error;
  // Digits kept as written: a leading zero, or more digits than a number keeps.
  std::string_view body = text;
  if (!body.empty() && (body[0] == '-' || body[0] == '+')) body.remove_prefix(1);
  // Significant digits: leading zeros (of 0.5, 0.001) do not count.
  size_t digits = 0;
  bool leading = true;
  for (char c : body) {
    if (leading && (c == '0' || c == '.')) continue;
    leading = false;
    digits += c >= '0' && c <= '9';
  }
  // More than 11 digits would show in exponent form under the General
  // format (1.10105E+17), and past 15 they lose digits.
  if (all_digits(body) && ((body.size() > 1 && body[0] == '0') || body.size() > 11))
    return std::string(text);
  if (digits > 15) return std::string(text);
  if (auto d = parse_date(text)) {
    *date = true;
    return *d;
  }
  // A number: optional sign, digits with thousands separators in groups of
  // three, an optional fraction and exponent; a trailing % divides by 100.
  std::string plain;
  size_t i = 0;
  const size_t n = text.size();
  if (text[i] == '-' || text[i] == '+') plain += text[i++];
  size_t int_start = i, group = 0;
  bool grouped = false, any = false;
  while (i < n && ((text[i] >= '0' && text[i] <= '9') || text[i] == ',')) {
    if (text[i] == ',') {
      if (i == int_start || (grouped && group != 3) || (!grouped && group > 3))
        return std::string(text);
      grouped = true;
      group = 0;
    } else {
      plain += text[i];
      ++group;
      any = true;
    }
    ++i;
  }
  if (grouped && group != 3) return std::string(text);
  if (i < n && text[i] == '.') {
    plain += text[i++];
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      plain += text[i++];
      any = true;
    }
  }
  if (!any) return std::string(text);
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    plain += text[i++];
    if (i < n && (text[i] == '-' || text[i] == '+')) plain += text[i++];
    const size_t e = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') plain += text[i++];
    if (i == e) return std::string(text);
  }
  bool percent = false;
  if (i < n && text[i] == '%') {
    percent = true;
    ++i;
  }
  if (i != n) return std::string(text);
  char* end = nullptr;
  double v = std::strtod(plain.c_str(), &end);
  if (!end || *end || !std::isfinite(v)) return std::string(text);
  if (percent) v /= 100;
  return v;
}

void SheetFiller::put(int32_t r, int32_t c, const host::Variant& value, uint32_t style) {
  if (r < 1 || r > host::kMaxRows || c < 1 || c > host::kMaxColumns) {
    ++dropped_;
    return;
  }
  if (budget_.cells == 0)
    refuse(file_, "单元格超过 " + std::to_string(kMaxCells) + " 个，不予读取");
  --budget_.cells;
  if (value.is_text()) {
    const uint64_t n = value.as_text().size();
    if (n > budget_.text_bytes)
      refuse(file_, "单元格中的文字超过 " + std::to_string(kMaxTextBytes >> 20) + " MB，不予读取");
    budget_.text_bytes -= n;
  }
  spreadsheet::Cell cell;
  cell.col = c;
  cell.style = style;
  cell.value = value;
  spreadsheet::cells::put(spreadsheet::cells::row_at(sheet_, r), std::move(cell));
}

std::string sheet_name(const spreadsheet::Workbook& book, std::string_view wanted) {
  std::string base;
  for (char c : wanted)
    base += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : '_';
  while (!base.empty() && base.front() == '\'') base.erase(base.begin());
  while (!base.empty() && base.back() == '\'') base.pop_back();
  // Cut to 31 characters, never inside a UTF-8 sequence.
  auto cut = [](std::string s, size_t chars) {
    size_t count = 0, i = 0;
    while (i < s.size()) {
      if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
        if (count == chars) break;
        ++count;
      }
      ++i;
    }
    s.resize(i);
    return s;
  };
  base = cut(base, 31);
  if (base.empty()) base = "Sheet" + std::to_string(book.sheets.size() + 1);
  auto taken = [&](const std::string& name) {
    for (const auto& s : book.sheets) {
      if (s->name.size() == name.size() &&
          std::equal(name.begin(), name.end(), s->name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        return true;
    }
    return false;
  };
  std::string name = base;
  for (int32_t k = 2; taken(name); ++k) {
    const std::string suffix = " (" + std::to_string(k) + ")";
    name = cut(base, 31 - suffix.size()) + suffix;
  }
  return name;
}

}  // namespace kelv::readers
