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
  if (detect_kind(read_file_head(path, 8192)) == FileKind::Xlsx) return xlsx::read_workbook(path);
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
