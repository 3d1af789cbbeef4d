#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <pugixml.hpp>

#include "host/constants.h"
#include "readers/common.h"
#include "readers/text_table.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"
#include "xlsx/package.h"
#include "xlsx/xml_util.h"

namespace kelv::readers {
namespace {

std::string_view local(const char* name) {
  std::string_view s(name);
  const size_t colon = s.find(':');
  return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

// An attribute by its local name (ss:Index, Index, ...).
pugi::xml_attribute attr(pugi::xml_node n, std::string_view name) {
  for (pugi::xml_attribute a : n.attributes())
    if (local(a.name()) == name) return a;
  return {};
}

pugi::xml_node child(pugi::xml_node n, std::string_view name) {
  for (pugi::xml_node c : n.children())
    if (local(c.name()) == name) return c;
  return {};
}

// The named formats of the XML spreadsheet as format codes.
std::string format_code(const std::string& f) {
  static const std::map<std::string, std::string> kNamed = {
      {"General", "General"},
      {"General Number", "General"},
      {"General Date", "yyyy/m/d h:mm"},
      {"Long Date", "yyyy\"年\"m\"月\"d\"日\""},
      {"Medium Date", "d-mmm-yy"},
      {"Short Date", "yyyy/m/d"},
      {"Long Time", "h:mm:ss"},
      {"Medium Time", "h:mm AM/PM"},
      {"Short Time", "h:mm"},
      {"Currency", "\"¥\"#,##0.00"},
      {"Euro Currency", "[$€-2] #,##0.00"},
      {"Fixed", "0.00"},
      {"Standard", "#,##0.00"},
      {"Percent", "0.00%"},
      {"Scientific", "0.00E+00"},
      {"Yes/No", "\"Yes\";\"Yes\";\"No\""},
      {"True/False", "\"True\";\"True\";\"False\""},
      {"On/Off", "\"On\";\"On\";\"Off\""},
  };
  if (auto it = kNamed.find(f); it != kNamed.end()) return it->second;
  return f;
}

}  // namespace

std::unique_ptr<spreadsheet::Workbook> read_spreadsheet_xml(std::string_view bytes,
                                                            const std::string& file) {
  const std::string text = decode_text(bytes, file);
  if (xlsx::nests_deeper_than(text, xlsx::kMaxXmlDepth))
    refuse(file, "XML 嵌套超过 " + std::to_string(xlsx::kMaxXmlDepth) + " 层");
  pugi::xml_document doc;
  // Entities of a DOCTYPE are never expanded: the parser reads none.
  const pugi::xml_parse_result parsed = doc.load_buffer(
      text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype, pugi::encoding_utf8);
  if (!parsed)
    refuse(file, "XML 格式错误（第 " + std::to_string(parsed.offset) + " 字节）：" +
                     parsed.description());
  pugi::xml_node root = doc.document_element();
  if (local(root.name()) != "Workbook") refuse(file, "不是 XML 电子表格（根元素不是 Workbook）");

  auto book = std::make_unique<spreadsheet::Workbook>();
  book->source_kind = spreadsheet::SourceKind::SpreadsheetXml;
  std::map<std::string, uint32_t> styles;
  std::map<std::string, std::string> style_codes;
  if (pugi::xml_node ss = child(root, "Styles")) {
    for (pugi::xml_node st : ss.children()) {
      if (local(st.name()) != "Style") continue;
      const std::string id = attr(st, "ID").value();
      spreadsheet::Style s;
      if (pugi::xml_node nf = child(st, "NumberFormat")) {
        if (pugi::xml_attribute f = attr(nf, "Format")) s.number_format = format_code(f.value());
      }
      if (pugi::xml_node al = child(st, "Alignment")) {
        if (std::string(attr(al, "WrapText").value()) == "1") s.alignment.wrap_text = true;
      }
      styles[id] = s == spreadsheet::Style{} ? 0 : book->styles.intern(s);
      style_codes[id] = s.number_format;
    }
  }
  ReadBudget budget;
  int64_t column_settings = 0;
  int64_t dropped = 0;
  for (pugi::xml_node ws : root.children()) {
    if (local(ws.name()) != "Worksheet") continue;
    if (book->sheets.size() >= kMaxSheets)
      refuse(file, "工作表超过 " + std::to_string(kMaxSheets) + " 个，不予读取");
    auto sheet = std::make_unique<spreadsheet::Sheet>();
    sheet->name = sheet_name(*book, attr(ws, "Name").value());
    const std::string part = sheet->name;
    SheetFiller fill(file, *sheet, budget);
    pugi::xml_node table = child(ws, "Table");
    int32_t row = 0;
    int32_t column = 0;
    for (pugi::xml_node n : table.children()) {
      const std::string_view kind = local(n.name());
      if (kind == "Column") {
        const int32_t index = attr(n, "Index") ? attr(n, "Index").as_int() : column + 1;
        const int32_t span = std::clamp(attr(n, "Span").as_int() + 1, 1, host::kMaxColumns);
        if (index < 1 || index > host::kMaxColumns) continue;
        const int32_t last = std::min(index + span - 1, host::kMaxColumns);
        column_settings += last - index + 1;
        if (column_settings > 1'000'000) refuse(file, part, "列的设置过多");
        for (int32_t c = index; c <= last; ++c) {
          spreadsheet::ColumnInfo& info = sheet->columns[c];
          if (attr(n, "Width")) {
            // Points to characters of the default font (7 pixels a digit, 5 of padding).
            const double px = attr(n, "Width").as_double() * 4 / 3;
            info.width = std::max(0.0, std::round((px - 5) / 7 * 100) / 100);
            info.custom_width = true;
          }
          info.hidden = std::string(attr(n, "Hidden").value()) == "1";
        }
        column = index + span - 1;
      } else if (kind == "Row") {
        row = attr(n, "Index") ? attr(n, "Index").as_int() : row + 1;
        if (row < 1 || row > host::kMaxRows) {
          row = host::kMaxRows;  // the rows after it are past the sheet too
          ++dropped;
          continue;
        }
        if (attr(n, "Height")) {
          spreadsheet::Row& r = spreadsheet::cells::row_at(*sheet, row);
          r.height = attr(n, "Height").as_double();
          r.custom_height = true;
        }
        int32_t col = 0;
        for (pugi::xml_node cell : n.children()) {
          if (local(cell.name()) != "Cell") continue;
          col = attr(cell, "Index") ? attr(cell, "Index").as_int() : col + 1;
          if (col < 1 || col > host::kMaxColumns) {
            col = host::kMaxColumns;
            ++dropped;
            continue;
          }
          const int32_t across =
              std::clamp(attr(cell, "MergeAcross").as_int(), 0, host::kMaxColumns);
          const int32_t down = std::clamp(attr(cell, "MergeDown").as_int(), 0, host::kMaxRows);
          if ((across > 0 || down > 0) && sheet->merges.size() < kMaxMergesPerSheet)
            sheet->merges.push_back({row, col, std::min(row + down, host::kMaxRows),
                                     std::min(col + across, host::kMaxColumns)});
          const std::string style_id = attr(cell, "StyleID").value();
          uint32_t style = 0;
          if (auto it = styles.find(style_id); it != styles.end()) style = it->second;
          if (pugi::xml_node data = child(cell, "Data")) {
            const std::string type = attr(data, "Type").value();
            const std::string value = data.text().get();
            if (type == "Number") {
              char* end = nullptr;
              const double v = std::strtod(value.c_str(), &end);
              if (end && !*end && std::isfinite(v)) {
                fill.put(row, col, v, style);
              } else {
                fill.put(row, col, value, style);
              }
            } else if (type == "DateTime") {
              if (const std::optional<double> v = spreadsheet::iso_datetime_serial(value)) {
                if (style == 0) {
                  spreadsheet::Style s;
                  s.number_format = kTextDateFormat;
                  style = book->styles.intern(s);
                }
                fill.put(row, col, *v, style);
              } else {
                fill.put(row, col, value, style);
              }
            } else if (type == "Boolean") {
              fill.put(row, col, value == "1", style);
            } else if (type == "Error") {
              host::CellError e{};
              if (host::parse_cell_error(value, &e)) {
                fill.put(row, col, e, style);
              } else {
                fill.put(row, col, value, style);
              }
            } else {
              // Rich text (ss:Data with html content) reads as its text.
              std::string all;
              for (pugi::xml_node t = data.first_child(); t;) {
                if (t.type() == pugi::node_pcdata || t.type() == pugi::node_cdata) all += t.value();
                if (t.first_child()) {
                  t = t.first_child();
                  continue;
                }
                while (t != data && !t.next_sibling()) t = t.parent();
                if (t == data) break;
                t = t.next_sibling();
              }
              if (!all.empty()) fill.put(row, col, all, style);
            }
          }
          col = std::min(col + across, host::kMaxColumns);
        }
      }
    }
    spreadsheet::keep_disjoint_merges(*sheet);
    book->sheets.push_back(std::move(sheet));
  }
  if (book->sheets.empty()) refuse(file, "XML 电子表格中没有工作表");
  if (dropped > 0)
    book->repairs.push_back("有 " + std::to_string(dropped) +
                            " 行或单元格的位置超出工作表范围，已略去");
  book->sheets[0]->view.tab_selected = true;
  return book;
}

}  // namespace kelv::readers
