#include "readers/format.h"

#include <algorithm>

#include "host/file_path.h"
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

// A file named as a workbook package that is no package at all: an empty
// file or other bytes (a save or copy cut short, a file renamed by hand)
// would otherwise read as an empty text table, and the data workbook would
// be reported as having lost its sheets.
void refuse_false_package(std::string_view head, uint64_t size, const std::string& name) {
  if (!named_as_package(name) || detect_kind(head) != FileKind::Text) return;
  if (size == 0)
    refuse(name,
           "这是空文件（0 字节），不是工作簿：多半是保存或复制时中断了。"
           "工作区的“备份”文件夹里有保存前的旧版本，可以用 kelv restore 取回");
  refuse(name,
         "它不是 .xlsx 工作簿（文件开头不是 zip 压缩包），可能已损坏，或只是改了扩展名。"
         "工作区的“备份”文件夹里有保存前的旧版本，可以用 kelv restore 取回");
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
  refuse_false_package(*bytes, bytes->size(), name);
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
      book = read_delimited(*bytes, name);
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
  refuse_false_package(head, head.size(), path);
  return read_any(read_file_bytes(path), path);
}

std::unique_ptr<spreadsheet::Workbook> AnyFormat::load(const std::string& path) {
  return read_any(path);
}

void AnyFormat::save(const spreadsheet::Workbook& book, const std::string& path) {
  spreadsheet::refuse_overwriting_source(book, path);
  xlsx::write_workbook(book, path, fs_ ? *fs_ : xlsx::FileSystem::system());
}

}  // namespace kelv::readers
