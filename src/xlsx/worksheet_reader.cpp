#include <expat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <type_traits>

#include "host/constants.h"
#include "host/host_error.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/geometry.h"
#include "spreadsheet/references.h"
#include "xlsx/package.h"
#include "xlsx/parallel_rows.h"
#include "xlsx/plain_rows.h"
#include "xlsx/row_splitter.h"
#include "xlsx/worksheet_part.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Cell;
using spreadsheet::Sheet;

constexpr char kSep = '\x01';

// A name as expat reports it with triplets: "uri\1local\1prefix",
// "uri\1local" or "local".
struct QName {
  std::string_view uri, local, prefix;
  explicit QName(const char* s) {
    std::string_view v(s);
    const size_t a = v.find(kSep);
    if (a == std::string_view::npos) {
      local = v;
      return;
    }
    uri = v.substr(0, a);
    const size_t b = v.find(kSep, a + 1);
    if (b == std::string_view::npos) {
      local = v.substr(a + 1);
    } else {
      local = v.substr(a + 1, b - a - 1);
      prefix = v.substr(b + 1);
    }
  }
  bool main() const { return is_spreadsheet_namespace(uri); }
  void append_qualified(std::string& out) const {
    if (!prefix.empty()) {
      out.append(prefix);
      out.push_back(':');
    }
    out.append(local);
  }
};

void escape_plain(std::string& out, std::string_view v, bool attribute) {
  for (char c : v) {
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        if (attribute) {
          out.append("&quot;");
        } else {
          out.push_back(c);
        }
        break;
      case '\n':
        if (attribute) {
          out.append("&#10;");
        } else {
          out.push_back(c);
        }
        break;
      case '\r':
        out.append("&#13;");
        break;
      case '\t':
        if (attribute) {
          out.append("&#9;");
        } else {
          out.push_back(c);
        }
        break;
      default:
        out.push_back(c);
    }
  }
}

// Appends the attributes as written (qualified names, escaped values).
void append_attributes(std::string& out, const char** atts,
                       const std::vector<std::string_view>& skip = {}) {
  for (int i = 0; atts[i]; i += 2) {
    QName q(atts[i]);
    if (q.uri.empty() && std::find(skip.begin(), skip.end(), q.local) != skip.end()) continue;
    out.push_back(' ');
    q.append_qualified(out);
    out.append("=\"");
    escape_plain(out, atts[i + 1], true);
    out.push_back('"');
  }
}

const char* find_attr(const char** atts, std::string_view local) {
  for (int i = 0; atts[i]; i += 2) {
    // Unprefixed attributes carry no namespace part.
    if (std::strchr(atts[i], kSep) == nullptr && local == atts[i]) return atts[i + 1];
  }
  return nullptr;
}

// Where the parse is: what the element just opened is, one entry per level
// of nesting. The rows of a sheet have a place for each of their levels;
// elsewhere the place of a modelled top-level element says how its children
// are read.
enum class Place : uint8_t {
  Document,          // outside the root element
  Worksheet,         // among the root's children
  Kept,              // inside an element kept as raw XML
  Skipped,           // inside an element whose content the model does not use
  SheetPr,           // among <sheetPr>'s children
  SheetViews,        // among the sheet's views
  FirstView,         // among the first view's pane and selections
  Cols,              // among the column ranges
  MergeCells,        // among the merged ranges
  HeaderFooter,      // among the header and footer texts
  HeaderFooterText,  // in one header or footer text
  RowBreaks,         // among the page breaks between rows
  SheetData,         // among the rows
  Row,               // among a row's cells
  Cell,              // among a cell's value, formula and inline string
  Value,             // in a cell's <v>
  Formula,           // in a cell's <f>
  InlineString,      // in a cell's <is>, or a run of it
  InlineText,        // in a <t> of an inline string
};

// The place of a top-level element the model reads; Kept for the others.
Place section_place(WorksheetElement e) {
  switch (e) {
    case WorksheetElement::SheetPr:
      return Place::SheetPr;
    case WorksheetElement::SheetViews:
      return Place::SheetViews;
    case WorksheetElement::Cols:
      return Place::Cols;
    case WorksheetElement::SheetData:
      return Place::SheetData;
    case WorksheetElement::MergeCells:
      return Place::MergeCells;
    case WorksheetElement::HeaderFooter:
      return Place::HeaderFooter;
    case WorksheetElement::RowBreaks:
      return Place::RowBreaks;
    case WorksheetElement::Dimension:  // recomputed when written
    case WorksheetElement::SheetFormatPr:
    case WorksheetElement::PrintOptions:
    case WorksheetElement::PageMargins:
    case WorksheetElement::PageSetup:
    case WorksheetElement::Drawing:
      return Place::Skipped;  // all in the attributes
    default:
      return Place::Kept;
  }
}

// The local part of a name as expat reports it (see QName), without
// building the rest: the cells of a sheet need nothing more.
std::string_view local_part(const char* s) {
  const char* a = std::strchr(s, kSep);
  if (!a) return s;
  ++a;
  const char* b = std::strchr(a, kSep);
  return b ? std::string_view(a, static_cast<size_t>(b - a)) : std::string_view(a);
}

// A cell's t attribute, read once when the cell starts.
enum class CellType : uint8_t {
  Number,        // n, or none, or one not known
  SharedString,  // s: <v> is an index into the shared strings
  FormulaText,   // str: a formula's text result
  InlineString,  // inlineStr: the text is in <is>
  Boolean,       // b
  Error,         // e: #N/A, #NUM! ...
  Date,          // d: an ISO 8601 date and time
};

CellType cell_type(std::string_view t) {
  if (t == "s") return CellType::SharedString;
  if (t == "str") return CellType::FormulaText;
  if (t == "inlineStr") return CellType::InlineString;
  if (t == "b") return CellType::Boolean;
  if (t == "e") return CellType::Error;
  if (t == "d") return CellType::Date;
  return CellType::Number;
}

// A formula's t attribute.
enum class FormulaType : uint8_t {
  Normal,     // the cell's own formula (also one not known)
  Shared,     // shared: the anchor carries the text, the others name its si
  Array,      // array: one formula over the range in ref
  DataTable,  // dataTable: the results stay values
};

FormulaType formula_type(std::string_view t) {
  if (t == "shared") return FormulaType::Shared;
  if (t == "array") return FormulaType::Array;
  if (t == "dataTable") return FormulaType::DataTable;
  return FormulaType::Normal;
}

// Reads one worksheet document: the whole part, or one segment of its rows
// (read_segment) for the parallel reader.
class Reader {
 public:
  Reader(PackageReader& package, const std::string& part, const std::vector<std::string>& sst,
         size_t style_count, Sheet& sheet, std::vector<std::string>& repairs)
      : package_(package),
        part_(part),
        sst_(sst),
        style_count_(style_count),
        sheet_(sheet),
        repairs_(repairs) {}

  WorksheetRead run() {
    begin();
    package_.stream(part_, [&](const char* p, size_t n) { feed(p, n, false); });
    return end();
  }

  void begin() {
    parser_owner_.reset(XML_ParserCreateNS(nullptr, kSep));
    parser_ = parser_owner_.get();
    if (!parser_) throw std::bad_alloc();
    XML_SetReturnNSTriplet(parser_, 1);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Reader::on_start, &Reader::on_end);
    XML_SetCharacterDataHandler(parser_, &Reader::on_text);
    XML_SetStartNamespaceDeclHandler(parser_, &Reader::on_ns);
    XML_SetStartDoctypeDeclHandler(parser_, &Reader::on_doctype);
  }

  WorksheetRead end() {
    feed("", 0, true);
    if (!seen_root_) package_.fail(part_, "不是工作表");
    spreadsheet::keep_disjoint_merges(sheet_);
    const std::string where = "工作表“" + sheet_.name + "”：";
    if (defects_.bad_strings) {
      repairs_.push_back(where + std::to_string(defects_.bad_strings) +
                         " 个单元格的共享字符串索引超出范围（第一个是 " +
                         defects_.first_bad_string + "），已作为空单元格读入");
    }
    if (defects_.renumbered) {
      repairs_.push_back(where + std::to_string(defects_.renumbered) +
                         " 处行号为 0 或负数，已按上一行的下一行读入");
    }
    if (defects_.not_finite) {
      repairs_.push_back(where + std::to_string(defects_.not_finite) +
                         " 个单元格的数值不是有限数（第一个是 " + defects_.first_not_finite +
                         "），已作为错误值 #NUM! 读入");
    }
    return result_;
  }

  // Reads a segment of rows (see RowSplitter) into this reader's sheet, whose
  // rows then start after row `base`. The package is only named in errors.
  // Shared formulas whose anchor is not in the segment are left for the
  // caller (take_segment_results).
  void read_segment(int32_t base, size_t row_cap, std::string_view head, std::string_view rows,
                    std::string_view tail) {
    begin_segment(base, row_cap);
    begin();
    feed(head.data(), head.size(), false);
    feed(rows.data(), rows.size(), false);
    feed(tail.data(), tail.size(), true);
  }
  // Reads a segment of plain rows without the XML parser; false, with
  // nothing kept, when it is not plain (see read_plain_rows) or something in
  // it stops the read.
  bool read_plain_segment(int32_t base, size_t row_cap, std::string_view head,
                          std::string_view rows) {
    begin_segment(base, row_cap);
    struct Side : PlainRowsHandler {
      Reader& r;
      explicit Side(Reader& reader) : r(reader) {}
      bool row(const char** atts) override {
        r.start_row(atts);
        return r.error_.empty();
      }
      bool cell(const char** atts) override {
        r.start_cell(atts);
        return r.error_.empty();
      }
      void value(std::string_view text) override {
        r.cell_.value.assign(text);
        r.cell_.has_value = true;
      }
      bool cell_end() override {
        r.finish_cell();
        return r.error_.empty();
      }
    } side(*this);
    return read_plain_rows(head, rows, side);
  }
  bool repaired() const {
    return defects_.bad_strings > 0 || defects_.renumbered > 0 || defects_.not_finite > 0;
  }
  // Hands over what a segment leaves for the caller to settle.
  void take_segment_results(SegmentRows& out) {
    out.followers = std::move(segment_.followers);
    out.anchors = std::move(shared_);
    out.charged = segment_.charged;
  }

  void feed(const char* p, size_t n, bool last) {
    if (XML_Parse(parser_, p, static_cast<int>(n), last) == XML_STATUS_ERROR) {
      if (!error_.empty()) package_.fail(part_, error_);
      package_.fail(part_, "XML 格式错误（第 " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
                               " 行第 " + std::to_string(XML_GetCurrentColumnNumber(parser_)) +
                               " 列）：" + XML_ErrorString(XML_GetErrorCode(parser_)));
    }
  }

  // A reference to row 0 ("B0"): its column.
  static bool row_zero_ref(std::string_view ref, int32_t* col) {
    size_t i = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')))
      ++i;
    if (i == 0 || i == ref.size() || ref.find_first_not_of('0', i) != std::string_view::npos)
      return false;
    const int32_t c = spreadsheet::column_number(ref.substr(0, i));
    if (c == 0) return false;
    *col = c;
    return true;
  }

 private:
  // This reader's rows start after row `base`, at most row_cap of them.
  void begin_segment(int32_t base, size_t row_cap) {
    segment_.on = true;
    segment_.base = base;
    row_ = base;
    segment_.row_cap = row_cap;
  }

  // Stops the parse with a message naming the position.
  void stop(const std::string& what) {
    if (!parser_) {
      // Read without the parser (read_plain_segment): the segment is read
      // again with it, which tells where.
      if (error_.empty()) error_ = what;
      return;
    }
    if (error_.empty()) {
      error_ = what + "（第 " + std::to_string(XML_GetCurrentLineNumber(parser_)) + " 行）";
    }
    XML_StopParser(parser_, XML_FALSE);
  }

  static void on_doctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<Reader*>(self)->stop("不允许 DOCTYPE 声明");
  }

  static void on_ns(void* self, const XML_Char* prefix, const XML_Char* uri) {
    auto* r = static_cast<Reader*>(self);
    std::string& d = r->pending_ns_;
    d.append(prefix ? " xmlns:" : " xmlns");
    if (prefix) d.append(prefix);
    d.append("=\"");
    escape_plain(d, uri ? uri : "", true);
    d.push_back('"');
    if (r->places_[r->depth_] == Place::Document && prefix && std::strcmp(prefix, "r") != 0) {
      r->root_ns_.append(" xmlns:").append(prefix).append("=\"");
      escape_plain(r->root_ns_, uri ? uri : "", true);
      r->root_ns_.push_back('"');
    }
  }

  static void on_start(void* self, const XML_Char* name, const XML_Char** atts) {
    static_cast<Reader*>(self)->start(name, atts);
  }
  static void on_end(void* self, const XML_Char* name) { static_cast<Reader*>(self)->end(name); }
  static void on_text(void* self, const XML_Char* s, int len) {
    auto* r = static_cast<Reader*>(self);
    switch (r->places_[r->depth_]) {
      case Place::Kept:
        escape_plain(r->raw_, std::string_view(s, static_cast<size_t>(len)), false);
        r->raw_open_ = false;
        break;
      case Place::Value:
      case Place::Formula:
      case Place::InlineText:
      case Place::HeaderFooterText:
        r->buf_.append(s, static_cast<size_t>(len));
        break;
      default:
        break;
    }
  }

  void start(const char* name, const char** atts) {
    const Place parent = places_[depth_];
    if (++depth_ > kMaxXmlDepth) {
      places_[depth_] = Place::Skipped;
      return stop("XML 嵌套超过 " + std::to_string(kMaxXmlDepth) + " 层");
    }
    places_[depth_] = enter(parent, name, atts);
    pending_ns_.clear();
  }

  // What the element opened in `parent` is; reads what the model takes from
  // its start tag.
  Place enter(Place parent, const char* name, const char** atts) {
    switch (parent) {
      case Place::SheetData:
        if (local_part(name) != "row") return Place::Skipped;
        start_row(atts);
        return Place::Row;
      case Place::Row:
        if (local_part(name) != "c") return Place::Skipped;
        start_cell(atts);
        return Place::Cell;
      case Place::Cell:
        return enter_cell_child(local_part(name), atts);
      case Place::InlineString: {
        const std::string_view local = local_part(name);
        if (local == "rPh") return Place::Skipped;  // phonetic reading, not the text
        if (local != "t") return Place::InlineString;
        buf_.clear();
        return Place::InlineText;
      }
      case Place::Kept:
        if (in_column_breaks_ && depth_ == 3 && QName(name).local == "brk") column_break(atts);
        raw_start(name, atts);
        return Place::Kept;
      case Place::Document:
        return enter_root(name, atts);
      case Place::Worksheet:
        return enter_top_level(name, atts);
      case Place::SheetPr:
        return enter_sheet_pr_child(name, atts);
      case Place::SheetViews:
        if (QName(name).local != "sheetView") return Place::Skipped;
        if (++view_count_ > 1) return Place::Skipped;
        sheet_view(atts);
        return Place::FirstView;
      case Place::FirstView: {
        const QName q(name);
        if (q.local == "pane") {
          pane(atts);
        } else if (q.local == "selection") {
          selection(atts);
        }
        return Place::Skipped;
      }
      case Place::Cols:
        if (QName(name).local == "col") column(atts);
        return Place::Skipped;
      case Place::MergeCells:
        if (QName(name).local == "mergeCell") merge_cell(atts);
        return Place::Skipped;
      case Place::HeaderFooter:
        buf_.clear();
        hf_target_ = header_footer_field(QName(name).local);
        return Place::HeaderFooterText;
      case Place::RowBreaks:
        if (QName(name).local == "brk") row_break(atts);
        return Place::Skipped;
      case Place::Skipped:
      case Place::HeaderFooterText:
      case Place::Value:
      case Place::Formula:
      case Place::InlineText:
        return Place::Skipped;
    }
    return Place::Skipped;
  }

  Place enter_root(const char* name, const char** atts) {
    const QName q(name);
    if (q.local != "worksheet" && q.local != "dialogsheet") {
      stop("根元素不是 worksheet");
      return Place::Skipped;
    }
    if (!q.main()) {
      stop("使用了无法识别的命名空间“" + std::string(q.uri) + "”");
      return Place::Skipped;
    }
    seen_root_ = true;
    for (int i = 0; atts[i]; i += 2) {
      QName a(atts[i]);
      if (a.local == "Ignorable") {
        root_ns_.push_back(' ');
        a.append_qualified(root_ns_);
        root_ns_.append("=\"");
        escape_plain(root_ns_, atts[i + 1], true);
        root_ns_.push_back('"');
      }
    }
    sheet_.passthrough.root_namespaces = root_ns_;
    sheet_.passthrough.sheet_format_absent = true;
    return Place::Worksheet;
  }

  Place enter_top_level(const char* name, const char** atts) {
    const QName q(name);
    const int32_t order = q.main() ? worksheet_element_order(q.local) : -1;
    if (order >= 0) last_order_ = order;
    const Place place =
        order >= 0 ? section_place(static_cast<WorksheetElement>(order)) : Place::Kept;
    if (place == Place::Kept) {
      // Kept as written, in its place in the worksheet's order; an element
      // outside that order (mc:AlternateContent) stays after the element it
      // followed.
      kept_order_ = order >= 0 ? order : last_order_;
      // Column breaks are read into the model and kept as written too.
      in_column_breaks_ = order == static_cast<int32_t>(WorksheetElement::ColBreaks);
      raw_.clear();
      raw_start(name, atts);
      return Place::Kept;
    }
    top_level(q.local, atts);
    return place;
  }

  Place enter_sheet_pr_child(const char* name, const char** atts) {
    const QName q(name);
    if (q.local == "tabColor") {
      sheet_.tab_color = color(atts);
    } else if (q.local == "pageSetUpPr") {
      for (int i = 0; atts[i]; i += 2) {
        if (std::strcmp(atts[i], "fitToPage") == 0) {
          sheet_.page_setup.fit_to_page = parse_bool(atts[i + 1]);
        } else {
          std::string& a = sheet_.passthrough.page_setup_pr_attributes;
          a.push_back(' ');
          QName(atts[i]).append_qualified(a);
          a.append("=\"");
          escape_plain(a, atts[i + 1], true);
          a.push_back('"');
        }
      }
    } else {
      raw_.clear();
      raw_start(name, atts);
      return Place::Kept;
    }
    return Place::Skipped;
  }

  void merge_cell(const char** atts) {
    if (const char* ref = find_attr(atts, "ref")) {
      host::Rect r;
      if (!spreadsheet::parse_range(ref, &r)) return stop(std::string("合并区域引用无效：") + ref);
      sheet_.merges.push_back(r);
    }
  }

  void row_break(const char** atts) {
    int64_t id = 0;
    const char* v = find_attr(atts, "id");
    if (v && parse_int(v, &id) && id >= 0 && id < host::kMaxRows) {
      sheet_.row_breaks.insert(static_cast<int32_t>(id + 1));
    }
  }

  // <brk id="N"> breaks after column N: column N + 1 starts a page.
  void column_break(const char** atts) {
    int64_t id = 0;
    const char* v = find_attr(atts, "id");
    if (v && parse_int(v, &id) && id >= 1 && id < host::kMaxColumns) {
      sheet_.column_breaks.insert(static_cast<int32_t>(id + 1));
      sheet_.passthrough.column_breaks_read.insert(static_cast<int32_t>(id + 1));
    }
  }

  void end(const char* name) {
    const Place here = places_[depth_];
    --depth_;
    switch (here) {
      case Place::Kept:
        raw_end(name);
        if (places_[depth_] != Place::Kept) keep_raw();
        break;
      case Place::Cell:
        finish_cell();
        break;
      case Place::Value:
        cell_.value.swap(buf_);
        cell_.has_value = true;
        break;
      case Place::Formula:
        finish_formula();
        break;
      case Place::InlineText:
        cell_.inline_text += buf_;
        break;
      case Place::HeaderFooterText:
        if (hf_target_) *hf_target_ = decode_escapes(buf_);
        hf_target_ = nullptr;
        break;
      default:
        break;
    }
  }

  // An element kept as raw XML is complete: a child of <sheetPr> goes back
  // inside it, a top-level one in its place among the worksheet's children.
  void keep_raw() {
    if (places_[depth_] == Place::SheetPr) {
      sheet_.passthrough.sheet_pr_extra += raw_;
    } else {
      // What names another part or a differential format of this workbook.
      const bool refers =
          raw_.find(":id=\"") != std::string::npos || raw_.find("dxfId=\"") != std::string::npos;
      sheet_.passthrough.elements.push_back({kept_order_, std::move(raw_), refers});
    }
    raw_.clear();
  }

  // Raw capture of an element the model does not hold.
  void raw_start(const char* name, const char** atts) {
    QName q(name);
    raw_.push_back('<');
    q.append_qualified(raw_);
    raw_.append(pending_ns_);
    append_attributes(raw_, atts);
    raw_.push_back('>');
    raw_open_ = true;
  }
  void raw_end(const char* name) {
    if (raw_open_) {
      raw_.back() = '/';
      raw_.push_back('>');
      raw_open_ = false;
      return;
    }
    raw_.append("</");
    QName(name).append_qualified(raw_);
    raw_.push_back('>');
  }

  spreadsheet::Color color(const char** atts) {
    spreadsheet::Color c;
    if (const char* a = find_attr(atts, "auto"); a && parse_bool(a))
      return spreadsheet::Color::automatic();
    int64_t v = 0;
    if (const char* rgb = find_attr(atts, "rgb")) {
      std::string_view s(rgb);
      uint32_t x = 0;
      std::from_chars(s.data(), s.data() + s.size(), x, 16);
      if (s.size() <= 6) x |= 0xFF000000u;
      c = spreadsheet::Color::rgb(x);
    } else if (const char* i = find_attr(atts, "indexed"); i && parse_int(i, &v)) {
      c = spreadsheet::Color::indexed(static_cast<uint32_t>(v));
    } else if (const char* t = find_attr(atts, "theme"); t && parse_int(t, &v)) {
      c = spreadsheet::Color::theme(static_cast<uint32_t>(v));
    } else {
      return c;
    }
    if (const char* tint = find_attr(atts, "tint")) parse_number(tint, &c.tint);
    return c;
  }

  void top_level(std::string_view local, const char** atts) {
    auto& ps = sheet_.page_setup;
    if (local == "sheetPr") {
      append_attributes(sheet_.passthrough.sheet_pr_attributes, atts);
    } else if (local == "sheetFormatPr") {
      sheet_.passthrough.sheet_format_absent = false;
      double v = 0;
      if (const char* h = find_attr(atts, "defaultRowHeight"); h && parse_number(h, &v) && v >= 0)
        sheet_.default_row_height = v;
      if (const char* w = find_attr(atts, "defaultColWidth"); w && parse_number(w, &v) && v >= 0) {
        sheet_.default_column_width = v;
      } else if (const char* b = find_attr(atts, "baseColWidth");
                 b && parse_number(b, &v) && v >= 0) {
        // Base width in digits plus the cell margins, in whole steps of 8
        // pixels, as the office suites draw it.
        sheet_.default_column_width = spreadsheet::standard_column_width(v, 7);
      }
      if (const char* c = find_attr(atts, "customHeight"))
        sheet_.custom_default_height = parse_bool(c);
      append_attributes(sheet_.passthrough.sheet_format_attributes, atts,
                        {"defaultRowHeight", "defaultColWidth", "baseColWidth", "customHeight"});
    } else if (local == "printOptions") {
      ps.given.print_options = true;
      if (const char* v = find_attr(atts, "horizontalCentered"))
        ps.horizontal_centered = parse_bool(v);
      if (const char* v = find_attr(atts, "verticalCentered")) ps.vertical_centered = parse_bool(v);
      if (const char* v = find_attr(atts, "gridLines")) ps.print_grid_lines = parse_bool(v);
      if (const char* v = find_attr(atts, "headings")) ps.print_headings = parse_bool(v);
    } else if (local == "pageMargins") {
      ps.given.margins = true;
      auto num = [&](const char* n, double& out) {
        double v = 0;
        if (const char* s = find_attr(atts, n); s && parse_number(s, &v)) out = v;
      };
      num("left", ps.left_margin);
      num("right", ps.right_margin);
      num("top", ps.top_margin);
      num("bottom", ps.bottom_margin);
      num("header", ps.header_margin);
      num("footer", ps.footer_margin);
    } else if (local == "pageSetup") {
      auto num = [&](const char* n, int32_t& out, bool& given) {
        int64_t v = 0;
        if (const char* s = find_attr(atts, n);
            s && parse_int(s, &v) && v >= INT32_MIN && v <= INT32_MAX) {
          out = static_cast<int32_t>(v);
          given = true;
        }
      };
      // A page setup that names no paper means Letter, the format's default
      // (why Excel leaves it out on Letter paper).
      ps.paper_size = 1;
      num("paperSize", ps.paper_size, ps.given.paper_size);
      num("scale", ps.scale, ps.given.scale);
      num("fitToWidth", ps.fit_to_width, ps.given.fit_to_width);
      num("fitToHeight", ps.fit_to_height, ps.given.fit_to_height);
      num("horizontalDpi", ps.horizontal_dpi, ps.given.horizontal_dpi);
      num("verticalDpi", ps.vertical_dpi, ps.given.vertical_dpi);
      const char* use_first = find_attr(atts, "useFirstPageNumber");
      if (use_first && parse_bool(use_first))
        num("firstPageNumber", ps.first_page_number, ps.given.first_page_number);
      if (const char* o = find_attr(atts, "orientation")) {
        const std::string_view v(o);
        ps.orientation = v == "portrait" ? 1 : v == "landscape" ? 2 : 0;
        ps.given.orientation = true;
      }
      page_setup_carried(atts);
    } else if (local == "headerFooter") {
      ps.given.header_footer = true;
      auto& hf = ps.header_footer;
      if (const char* v = find_attr(atts, "differentOddEven"))
        hf.different_odd_even = parse_bool(v);
      if (const char* v = find_attr(atts, "differentFirst")) hf.different_first = parse_bool(v);
      if (const char* v = find_attr(atts, "scaleWithDoc")) hf.scale_with_doc = parse_bool(v);
      if (const char* v = find_attr(atts, "alignWithMargins"))
        hf.align_with_margins = parse_bool(v);
    } else if (local == "drawing") {
      for (int i = 0; atts[i]; i += 2) {
        QName a(atts[i]);
        if (a.local == "id" && !a.uri.empty()) result_.drawing_rel = atts[i + 1];
      }
    }
  }

  // The attributes of <pageSetup> the model does not hold, as written; the
  // page order goes into the model and references to other parts apart,
  // each with its place among the others.
  void page_setup_carried(const char** atts) {
    static constexpr std::string_view kModelled[] = {
        "paperSize",          "scale",           "fitToWidth",
        "fitToHeight",        "horizontalDpi",   "verticalDpi",
        "useFirstPageNumber", "firstPageNumber", "orientation"};
    auto& pass = sheet_.passthrough;
    auto& ps = sheet_.page_setup;
    int32_t carried = 0;
    for (int i = 0; atts[i]; i += 2) {
      const QName q(atts[i]);
      const std::string_view value(atts[i + 1]);
      if (q.uri.empty() &&
          std::find(std::begin(kModelled), std::end(kModelled), q.local) != std::end(kModelled))
        continue;
      if (q.uri.empty() && q.local == "pageOrder" &&
          (value == "downThenOver" || value == "overThenDown")) {
        ps.page_order = value == "overThenDown" ? spreadsheet::PageOrder::OverThenDown
                                                : spreadsheet::PageOrder::DownThenOver;
        ps.given.page_order = true;
        pass.page_order_slot = carried++;
        continue;
      }
      std::string* to = &pass.page_setup_attributes;
      if (!q.uri.empty() && q.local == "id") {
        if (pass.page_setup_references_slot < 0) pass.page_setup_references_slot = carried++;
        to = &pass.page_setup_references;
      } else {
        ++carried;
      }
      to->push_back(' ');
      q.append_qualified(*to);
      to->append("=\"");
      escape_plain(*to, atts[i + 1], true);
      to->push_back('"');
    }
  }

  std::string* header_footer_field(std::string_view local) {
    auto& hf = sheet_.page_setup.header_footer;
    if (local == "oddHeader") return &hf.odd_header;
    if (local == "oddFooter") return &hf.odd_footer;
    if (local == "evenHeader") return &hf.even_header;
    if (local == "evenFooter") return &hf.even_footer;
    if (local == "firstHeader") return &hf.first_header;
    if (local == "firstFooter") return &hf.first_footer;
    return nullptr;
  }

  void sheet_view(const char** atts) {
    auto& v = sheet_.view;
    if (const char* s = find_attr(atts, "tabSelected")) v.tab_selected = parse_bool(s);
    if (const char* s = find_attr(atts, "showGridLines")) v.show_grid_lines = parse_bool(s);
    int64_t z = 0;
    if (const char* s = find_attr(atts, "zoomScale"); s && parse_int(s, &z) && z >= 10 && z <= 400)
      v.zoom = static_cast<int32_t>(z);
    if (const char* s = find_attr(atts, "topLeftCell")) {
      int32_t r = 0, c = 0;
      if (spreadsheet::parse_cell(s, &r, &c)) {
        v.top_row = r;
        v.left_col = c;
      }
    }
    append_attributes(
        sheet_.passthrough.sheet_view_attributes, atts,
        {"tabSelected", "showGridLines", "zoomScale", "topLeftCell", "workbookViewId"});
  }

  void pane(const char** atts) {
    auto& v = sheet_.view;
    const char* state = find_attr(atts, "state");
    if (!state || (std::strcmp(state, "frozen") != 0 && std::strcmp(state, "frozenSplit") != 0)) {
      auto& p = sheet_.passthrough;
      p.split_pane_attributes.clear();
      append_attributes(p.split_pane_attributes, atts);
      const char* active = find_attr(atts, "activePane");
      p.split_active_pane = active ? active : "";
      return;
    }
    double x = 0, y = 0;
    if (const char* s = find_attr(atts, "xSplit")) parse_number(s, &x);
    if (const char* s = find_attr(atts, "ySplit")) parse_number(s, &y);
    if (x < 0 || y < 0 || x >= host::kMaxColumns || y >= host::kMaxRows) return;
    v.split_cols = static_cast<int32_t>(x);
    v.split_rows = static_cast<int32_t>(y);
    v.frozen = true;
    if (const char* s = find_attr(atts, "topLeftCell")) {
      int32_t r = 0, c = 0;
      if (spreadsheet::parse_cell(s, &r, &c)) {
        v.pane_top_row = r;
        v.pane_left_col = c;
      }
    }
  }

  void selection(const char** atts) {
    // With frozen panes the active pane's selection is the one that counts;
    // the last selection listed belongs to it.
    auto& v = sheet_.view;
    if (const char* s = find_attr(atts, "activeCell")) {
      int32_t r = 0, c = 0;
      if (spreadsheet::parse_cell(s, &r, &c)) {
        v.active_row = r;
        v.active_col = c;
        v.selection = {host::Rect::cell(r, c)};
      }
    }
    if (const char* s = find_attr(atts, "sqref")) {
      std::vector<host::Rect> rects;
      if (spreadsheet::parse_range_list(s, &rects) && !rects.empty()) v.selection = rects;
    }
  }

  void column(const char** atts) {
    int64_t lo = 0, hi = 0;
    const char* a = find_attr(atts, "min");
    const char* b = find_attr(atts, "max");
    if (!a || !b || !parse_int(a, &lo) || !parse_int(b, &hi) || lo < 1 || hi < lo ||
        hi > host::kMaxColumns) {
      return stop("列定义超出范围");
    }
    spreadsheet::ColumnInfo info;
    double w = 0;
    if (const char* s = find_attr(atts, "width"); s && parse_number(s, &w) && w >= 0)
      info.width = w;
    if (const char* s = find_attr(atts, "hidden")) info.hidden = parse_bool(s);
    if (const char* s = find_attr(atts, "customWidth")) info.custom_width = parse_bool(s);
    // A width no one set is the sheet's default width.
    if (!info.custom_width && info.width == sheet_.default_column_width) info.width = -1;
    int64_t v = 0;
    if (const char* s = find_attr(atts, "style");
        s && parse_int(s, &v) && v >= 0 && static_cast<size_t>(v) < style_count_ && v != 0)
      info.style = static_cast<uint32_t>(v);
    if (const char* s = find_attr(atts, "outlineLevel"); s && parse_int(s, &v) && v >= 0 && v <= 7)
      info.outline_level = static_cast<int32_t>(v);
    // A whole-sheet column record with nothing of its own (some producers
    // write one) adds nothing.
    if (info == spreadsheet::ColumnInfo{}) return;
    for (int64_t c = lo; c <= hi; ++c) sheet_.columns[static_cast<int32_t>(c)] = info;
  }

  // --- sheetData, the hot path ---

  spreadsheet::Row& row_at(int32_t r) {
    const int64_t at = int64_t{r} - segment_.base;  // 1-based within this reader's rows
    if (segment_.on && (at < 1 || static_cast<uint64_t>(at) > segment_.row_cap)) {
      // A row before the segment's first, or far past it: the sheet is
      // read again in one piece, which handles (and charges) it.
      stop("行不在本段内");
      return segment_.spare_row;
    }
    const auto n = static_cast<size_t>(at);
    if (sheet_.rows.size() < n) {
      if (!segment_.on) package_.charge(part_, (n - sheet_.rows.size()) * sizeof(spreadsheet::Row));
      sheet_.rows.resize(n);
    }
    return sheet_.rows[n - 1];
  }

  void start_row(const char** atts) {
    // One pass over the attributes; only unprefixed names count.
    const char *ref = nullptr, *ht = nullptr, *hidden = nullptr, *style = nullptr,
               *custom_format = nullptr, *outline = nullptr, *custom_height = nullptr;
    for (int i = 0; atts[i]; i += 2) {
      const char* n = atts[i];
      const char* v = atts[i + 1];
      if (std::strcmp(n, "r") == 0) {
        ref = v;
      } else if (std::strcmp(n, "ht") == 0) {
        ht = v;
      } else if (std::strcmp(n, "hidden") == 0) {
        hidden = v;
      } else if (std::strcmp(n, "s") == 0) {
        style = v;
      } else if (std::strcmp(n, "customFormat") == 0) {
        custom_format = v;
      } else if (std::strcmp(n, "outlineLevel") == 0) {
        outline = v;
      } else if (std::strcmp(n, "customHeight") == 0) {
        custom_height = v;
      }
    }
    int64_t r = row_ + 1;
    if (ref && !parse_int(ref, &r)) return stop(std::string("行号无效：") + ref);
    if (r > host::kMaxRows) return stop("行号超出范围：" + std::to_string(r));
    defects_.row_renumbered = r < 1;
    if (r < 1) {
      // A row numbered 0 (or less) is taken as the row after the last.
      ++defects_.renumbered;
      r = std::min<int64_t>(row_ + 1, host::kMaxRows);
    }
    row_ = static_cast<int32_t>(r);
    col_ = 0;
    if (ht || hidden || (style && custom_format) || outline) {
      spreadsheet::Row& row = row_at(row_);
      double h = 0;
      // Kept as written, even beyond the 409.5 points an application lets
      // a user set.
      if (ht && parse_number(ht, &h) && h >= 0 && std::isfinite(h)) row.height = h;
      if (custom_height) row.custom_height = parse_bool(custom_height);
      if (hidden) row.hidden = parse_bool(hidden);
      int64_t v = 0;
      if (style && custom_format && parse_bool(custom_format) && parse_int(style, &v) && v >= 0 &&
          static_cast<size_t>(v) < style_count_)
        row.style = static_cast<uint32_t>(v);
      if (outline && parse_int(outline, &v) && v >= 0 && v <= 7)
        row.outline_level = static_cast<int32_t>(v);
    }
  }

  void start_cell(const char** atts) {
    if (row_ == 0) row_ = 1;
    const char *ref = nullptr, *t = nullptr, *sv = nullptr;
    for (int i = 0; atts[i]; i += 2) {
      const char* n = atts[i];
      if (n[0] == 0 || n[1] != 0) continue;  // longer names and prefixed ones
      if (n[0] == 'r') {
        ref = atts[i + 1];
      } else if (n[0] == 't') {
        t = atts[i + 1];
      } else if (n[0] == 's') {
        sv = atts[i + 1];
      }
    }
    int32_t r = row_, c = col_ + 1;
    if (ref) {
      if (!spreadsheet::parse_cell(ref, &r, &c)) {
        // "B0": a cell of a row numbered 0 keeps its column in the row read.
        if (!row_zero_ref(ref, &c)) return stop(std::string("单元格引用无效或超出范围：") + ref);
        if (!defects_.row_renumbered) ++defects_.renumbered;
        r = row_;
      }
      if (r != row_) {
        // A cell outside its row element: take its own row.
        row_ = r;
      }
    }
    if (c > host::kMaxColumns) return stop("单元格列号超出范围");
    col_ = c;
    cell_.type = t ? cell_type(t) : CellType::Number;
    cell_.style = 0;
    int64_t s = 0;
    if (sv && parse_int(sv, &s) && s > 0 && static_cast<size_t>(s) < style_count_)
      cell_.style = static_cast<uint32_t>(s);
    cell_.value.clear();
    cell_.has_value = false;
    cell_.formula.reset();
    cell_.inline_text.clear();
    cell_.has_inline = false;
  }

  Place enter_cell_child(std::string_view local, const char** atts) {
    if (local == "v") {
      buf_.clear();
      return Place::Value;
    }
    if (local == "f") {
      buf_.clear();
      const char* t = find_attr(atts, "t");
      cell_.formula_type = t ? formula_type(t) : FormulaType::Normal;
      cell_.formula_ref.clear();
      cell_.formula_si = -1;
      if (const char* ref = find_attr(atts, "ref")) cell_.formula_ref = ref;
      int64_t si = -1;
      if (const char* s = find_attr(atts, "si"); s && parse_int(s, &si)) cell_.formula_si = si;
      return Place::Formula;
    }
    if (local == "is") {
      cell_.has_inline = true;
      return Place::InlineString;
    }
    return Place::Skipped;
  }

  void finish_formula() {
    auto f = std::make_shared<spreadsheet::Formula>();
    buf_ = decode_escapes(buf_);
    if (cell_.formula_type == FormulaType::Shared && cell_.formula_si >= 0) {
      if (!buf_.empty()) {
        shared_[cell_.formula_si] = {row_, col_, buf_};
        f->text = buf_;
      } else {
        auto it = shared_.find(cell_.formula_si);
        if (it == shared_.end() && segment_.on) {
          // The anchor may be in an earlier segment: the caller settles it.
          segment_.followers.push_back({row_, col_, cell_.formula_si});
          cell_.formula = std::move(f);
          return;
        }
        if (it == shared_.end()) return;  // a follower before its anchor: keep the value only
        f->text = spreadsheet::move_references(it->second.text, row_ - it->second.row,
                                               col_ - it->second.col);
      }
    } else if (cell_.formula_type == FormulaType::DataTable) {
      return;  // data-table results stay values
    } else {
      if (buf_.empty()) return;
      f->text = buf_;
      if (cell_.formula_type == FormulaType::Array)
        f->array_ref =
            cell_.formula_ref.empty() ? spreadsheet::cell_address(row_, col_) : cell_.formula_ref;
    }
    cell_.formula = std::move(f);
  }

  void finish_cell() {
    Cell cell;
    cell.col = col_;
    cell.style = cell_.style;
    cell.formula = std::move(cell_.formula);
    if (cell_.type == CellType::InlineString) {
      // <c t="inlineStr"/> with no string at all is a blank cell.
      if (cell_.has_inline) cell.value = decode_escapes(cell_.inline_text);
    } else if (cell_.has_value) {
      switch (cell_.type) {
        case CellType::SharedString: {
          int64_t i = -1;
          if (!parse_int(cell_.value, &i) || i < 0 || static_cast<size_t>(i) >= sst_.size()) {
            // A local defect: the cell reads empty and the repair is reported.
            if (!defects_.bad_strings++)
              defects_.first_bad_string = spreadsheet::cell_address(row_, col_);
            break;
          }
          cell.value = sst_[static_cast<size_t>(i)];
          break;
        }
        case CellType::FormulaText:
          cell.value = decode_escapes(cell_.value);
          break;
        case CellType::Boolean:
          cell.value = parse_bool(cell_.value);
          break;
        case CellType::Error: {
          host::CellError e = host::CellError::NA;
          host::parse_cell_error(cell_.value, &e);
          cell.value = e;
          break;
        }
        case CellType::Date: {
          if (const std::optional<double> d = spreadsheet::iso_datetime_serial(cell_.value)) {
            cell.value = *d;
          } else {
            cell.value = cell_.value;
          }
          break;
        }
        case CellType::InlineString:  // read above, from <is>
        case CellType::Number: {
          double d = 0;
          if (!parse_number(cell_.value, &d)) {
            if (cell_.value.find_first_not_of(" \t\r\n") == std::string::npos)
              break;  // an empty <v/>
            return stop("单元格 " + spreadsheet::cell_address(row_, col_) + " 的数值无效");
          }
          cell.value = d;
          if (!std::isfinite(d)) {
            // "nan" and "inf" parse, but no cell can hold them: read as the
            // error they are saved as, and reported.
            cell.value = host::Variant(host::CellError::Num);
            if (!defects_.not_finite++)
              defects_.first_not_finite = spreadsheet::cell_address(row_, col_);
          }
        }
      }
    }
    if (cell.value.is_empty() && !cell.formula && cell.style == 0) return;
    // The model's cells count against the unpacking limit too: a small file
    // of many tiny cells must not make the model huge.
    const uint64_t cost = sizeof(Cell) + (cell.value.is_text() ? cell.value.as_text().size() : 0);
    // A segment parsed beside others counts its own; the cost is charged
    // when the segment is put back in order.
    if (segment_.on) {
      segment_.charged += cost;
    } else {
      package_.charge(part_, cost);
    }
    spreadsheet::Row& row = row_at(row_);
    if (row_ != filling_) {
      // Rows of a table are alike: a new row gets room for as many cells as
      // the row before it, once, instead of growing cell by cell.
      const int64_t before = int64_t{filling_} - segment_.base;
      if (filling_ > 0 && before >= 1 && static_cast<size_t>(before) <= sheet_.rows.size())
        width_ = sheet_.rows[static_cast<size_t>(before - 1)].cells.size();
      filling_ = row_;
      if (row.cells.capacity() == 0) row.cells.reserve(width_);
    }
    spreadsheet::cells::put(row, std::move(cell));
  }

  PackageReader& package_;
  const std::string& part_;
  const std::vector<std::string>& sst_;
  size_t style_count_;
  Sheet& sheet_;
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser_owner_{
      nullptr, &XML_ParserFree};
  XML_Parser parser_ = nullptr;
  WorksheetRead result_;
  // Reading one segment of the rows (read_segment).
  struct Segment {
    bool on = false;
    int32_t base = 0;  // the row before its first
    size_t row_cap = 0;
    spreadsheet::Row spare_row;  // where a row outside the segment goes while the parse stops
    std::vector<SharedFollower> followers;
    uint64_t charged = 0;  // its cells' cost, charged when the segments are put in order
  } segment_;
  std::string error_;

  // places_[depth_] is the element being read; places_[0] the document, and
  // one more for the element found too deep.
  std::array<Place, kMaxXmlDepth + 2> places_{};
  int32_t depth_ = 0;
  bool seen_root_ = false;
  std::string pending_ns_, root_ns_;
  int32_t kept_order_ = 0;         // the place in the worksheet's order of what raw_ keeps
  bool in_column_breaks_ = false;  // raw_ keeps a <colBreaks>
  std::string raw_;
  bool raw_open_ = false;
  int32_t view_count_ = 0;
  int32_t last_order_ = 0;

  std::string buf_;
  std::string* hf_target_ = nullptr;

  int32_t row_ = 0, col_ = 0;
  int32_t filling_ = 0;  // the row the last cell went to
  size_t width_ = 0;     // cells in the row filled before it
  // The cell being read, from its start tag to its end.
  struct OpenCell {
    CellType type = CellType::Number;
    uint32_t style = 0;
    std::string value, inline_text;
    bool has_value = false;
    bool has_inline = false;
    std::shared_ptr<const spreadsheet::Formula> formula;
    FormulaType formula_type = FormulaType::Normal;
    std::string formula_ref;
    int64_t formula_si = -1;
  } cell_;
  // Repairs of local defects, reported once per sheet.
  std::vector<std::string>& repairs_;
  struct Defects {
    int64_t bad_strings = 0, renumbered = 0, not_finite = 0;
    bool row_renumbered = false;  // the row being read was renumbered
    std::string first_bad_string, first_not_finite;
  } defects_;
  // The anchors of shared formulas by si, the last met of each group.
  std::map<int64_t, SharedFormula> shared_;
};

}  // namespace

int32_t worksheet_element_order(std::string_view local) {
  for (size_t i = 0; i < std::size(kWorksheetElements); ++i) {
    if (local == kWorksheetElements[i]) return static_cast<int32_t>(i);
  }
  return -1;
}

WorksheetRead read_worksheet(PackageReader& package, const std::string& part,
                             const std::vector<std::string>& shared_strings, size_t style_count,
                             spreadsheet::Sheet& sheet, std::vector<std::string>& repairs) {
  const uint64_t before = package.counted();
  {
    Sheet trial = sheet;
    std::vector<std::string> trial_repairs;
    Reader main(package, part, shared_strings, style_count, trial, trial_repairs);
    WorksheetRead result;
    ParallelRowSides sides;
    sides.sheet = [&](std::string_view b) { main.feed(b.data(), b.size(), false); };
    sides.sheet_end = [&] { result = main.end(); };
    sides.segment = [&](const RowSplitter::Segment& segment, std::string_view head,
                        std::string_view tail, SegmentRows& out) {
      // A row element takes a few bytes at least; rows far beyond what the
      // segment could hold are left to the one-piece read and its limits.
      const size_t row_cap = segment.xml.size() / 4 + 16;
      // A segment with something to repair is read again in one piece,
      // which reports the repair once for the whole sheet.
      const auto hand_over = [&](Reader& r) {
        if (r.repaired()) return false;
        r.take_segment_results(out);
        return true;
      };
      // Plain rows are read without the parser; anything else, with it.
      std::vector<std::string> segment_repairs;
      {
        Reader plain(package, part, shared_strings, style_count, out.rows, segment_repairs);
        if (plain.read_plain_segment(row_base(segment), row_cap, head, segment.xml))
          return hand_over(plain);
      }
      out = SegmentRows{};
      segment_repairs.clear();
      Reader r(package, part, shared_strings, style_count, out.rows, segment_repairs);
      r.read_segment(row_base(segment), row_cap, head, segment.xml, tail);
      return hand_over(r);
    };
    main.begin();
    if (read_rows_in_parallel(package, part, trial, sides)) {
      sheet = std::move(trial);
      repairs.insert(repairs.end(), trial_repairs.begin(), trial_repairs.end());
      return result;
    }
  }
  package.refund(package.counted() - before);
  return Reader(package, part, shared_strings, style_count, sheet, repairs).run();
}

}  // namespace kelv::xlsx
