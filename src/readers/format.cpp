#include "readers/format.h"

#include <algorithm>

#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/biff.h"
#include "readers/common.h"
#include "readers/compound_file.h"
#include "readers/text_table.h"
#include "xlsx/xlsx_format.h"

namespace kelv::readers {
namespace {

// The first bytes as lower-case UTF-8 with the mark and leading space
// dropped: what tells XML and HTML from other text.
std::string text_head(std::string_view head) {
  std::string text;
  if (head.substr(0, 2) == "\xFF\xFE") {
    text = from_utf16le(head.substr(2, 8192));
  } else if (head.substr(0, 2) == "\xFE\xFF") {
    text = from_utf16be(head.substr(2, 8192));
  } else if (head.size() >= 4 && head[0] == '<' && head[1] == 0) {
    text = from_utf16le(head.substr(0, 8192));
  } else {
    text = std::string(head.substr(head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0, 8192));
  }
  const size_t first = text.find_first_not_of(" \t\r\n");
  return lower_ascii(first == std::string::npos ? std::string_view()
                                                : std::string_view(text).substr(first));
}

bool named_as_package(const std::string& name) {
  const std::string lower = lower_ascii(name);
  auto ends = [&](std::string_view e) {
    return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  return ends(".xlsx") || ends(".xlsm");
}

// A file named as a workbook package that is no package: an empty file (a
// save or copy cut short) or bytes that are no text table either would
// otherwise be reported as a workbook without its sheets. A text table
// merely named .xlsx is still read as one.
constexpr std::string_view kOlderCopies =
    "工作区的“备份”文件夹里有保存前的旧版本，可以用 kelv restore 取回";

void refuse_empty_package(uint64_t size, const std::string& name) {
  if (size != 0 || !named_as_package(name)) return;
  refuse(name, "这是空文件（0 字节），不是工作簿：多半是保存或复制时中断了。" +
                   std::string(kOlderCopies));
}

std::unique_ptr<spreadsheet::Workbook> read_text_table(std::string_view bytes,
                                                       const std::string& name) {
  try {
    return read_delimited(bytes, name);
  } catch (const host::HostError&) {
    if (!named_as_package(name)) throw;
    refuse(name, "它不是 .xlsx 工作簿（文件开头不是 zip 压缩包），也不是文本表格，可能已损坏。" +
                     std::string(kOlderCopies));
  }
}

}  // namespace

FileKind detect_kind(std::string_view head) {
  if (head.substr(0, 8) == kCompoundSignature) return FileKind::Xls;
  if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4) ||
      head.substr(0, 4) == std::string_view("PK\x05\x06", 4))
    return FileKind::Xlsx;
  const std::string text = text_head(head);
  if (!text.empty() && text[0] == '<') {
    if (text.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string::npos &&
        (text.rfind("<?xml", 0) == 0 || text.find("<workbook") != std::string::npos ||
         text.find(":workbook") != std::string::npos) &&
        text.find("<html") == std::string::npos)
      return FileKind::SpreadsheetXml;
    if (text.find("<table") != std::string::npos || text.find("<html") != std::string::npos ||
        text.rfind("<!doctype html", 0) == 0 || text.find("<body") != std::string::npos)
      return FileKind::Html;
  }
  return FileKind::Text;
}

std::unique_ptr<spreadsheet::Workbook> read_any(std::shared_ptr<const std::string> bytes,
                                                const std::string& name) {
  refuse_empty_package(bytes->size(), name);
  std::unique_ptr<spreadsheet::Workbook> book;
  switch (detect_kind(*bytes)) {
    case FileKind::Xlsx:
      return xlsx::read_workbook(std::move(bytes), name);
    case FileKind::Xls:
      book = read_xls(*bytes, name);
      break;
    case FileKind::SpreadsheetXml:
      book = read_spreadsheet_xml(*bytes, name);
      break;
    case FileKind::Html:
      book = read_html(*bytes, name);
      break;
    case FileKind::Text:
      book = read_text_table(*bytes, name);
      break;
  }
  book->file_path = host::absolute_path_text(name);
  book->source_path = book->file_path;
  return book;
}

std::unique_ptr<spreadsheet::Workbook> read_any(const std::string& path) {
  // A package is read from the disk as it goes; other kinds are read whole.
  const std::string head = read_file_head(path, 8192);
  if (detect_kind(head) == FileKind::Xlsx) return xlsx::read_workbook(path);
  refuse_empty_package(head.size(), path);
  return read_any(read_file_bytes(path), path);
}

std::unique_ptr<spreadsheet::Workbook> read_any(
    const std::string& path, const std::function<bool(std::string_view sheet)>& cells_of) {
  const std::string head = read_file_head(path, 8192);
  if (detect_kind(head) == FileKind::Xlsx) return xlsx::read_workbook(path, {cells_of});
  refuse_empty_package(head.size(), path);
  return read_any(read_file_bytes(path), path);
}

std::unique_ptr<spreadsheet::Workbook> AnyFormat::load(const std::string& path) {
  return read_any(path);
}

void AnyFormat::save(const spreadsheet::Workbook& book, const std::string& path) {
  spreadsheet::refuse_overwriting_source(book, path);
  xlsx::write_workbook(book, path, fs_ ? *fs_ : host::FileSystem::system());
}

}  // namespace kelv::readers
