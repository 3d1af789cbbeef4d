#include "xlsx/workbook_part.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>

#include "xlsx/opc.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::RawRelationship;
using spreadsheet::Workbook;

// The children of <workbook>, in the order the file format puts them: the
// writer puts kept elements back by their place here.
enum class WorkbookElement : int32_t {
  FileVersion,
  FileSharing,
  WorkbookPr,
  WorkbookProtection,
  BookViews,
  Sheets,
  FunctionGroups,
  ExternalReferences,
  DefinedNames,
  CalcPr,
  OleSize,
  CustomWorkbookViews,
  PivotCaches,
  SmartTagPr,
  SmartTagTypes,
  WebPublishing,
  FileRecoveryPr,
  WebPublishObjects,
  ExtLst,
};

constexpr std::string_view kWorkbookElements[] = {
    "fileVersion",    "fileSharing",
    "workbookPr",     "workbookProtection",
    "bookViews",      "sheets",
    "functionGroups", "externalReferences",
    "definedNames",   "calcPr",
    "oleSize",        "customWorkbookViews",
    "pivotCaches",    "smartTagPr",
    "smartTagTypes",  "webPublishing",
    "fileRecoveryPr", "webPublishObjects",
    "extLst",
};
static_assert(std::size(kWorkbookElements) == static_cast<size_t>(WorkbookElement::ExtLst) + 1);

// Past every element of the order.
constexpr int32_t kUnknownOrder = 100;

int32_t workbook_order(std::string_view local) {
  for (size_t i = 0; i < std::size(kWorkbookElements); ++i) {
    if (local == kWorkbookElements[i]) return static_cast<int32_t>(i);
  }
  return kUnknownOrder;
}

std::string first_tag(const std::string& xml) {
  size_t i = xml.find('<');
  if (i == std::string::npos) return {};
  size_t j = i + 1;
  while (j < xml.size() && xml[j] != ' ' && xml[j] != '>' && xml[j] != '/') ++j;
  return std::string(local_name(xml.substr(i + 1, j - i - 1).c_str()));
}

class WorkbookPartReader {
 public:
  WorkbookPartReader(PackageReader& package, Workbook& book) : pkg_(package), book_(&book) {}

  void run(const std::string& part, const std::map<std::string, RawRelationship>& rels,
           const SheetReader& read_sheet) {
    pugi::xml_document doc = parse_part(pkg_, part);
    pugi::xml_node root = doc.document_element();
    if (local_name(root.name()) != "workbook") pkg_.fail(part, "根元素不是 workbook");
    require_spreadsheet_root(pkg_, part, root);
    auto& pass = book_->passthrough;
    pass.workbook_namespaces = namespace_declarations(root);

    // File sheet index -> model sheet index (sheets of other kinds are not kept).
    std::vector<int32_t> index_map;
    pugi::xml_node sheets = child(root, "sheets");
    if (!sheets) pkg_.fail(part, "缺少 sheets 元素");
    for (pugi::xml_node s : sheets.children()) {
      if (local_name(s.name()) != "sheet") continue;
      const std::string rid = rel_attr(s, "id");
      auto it = rels.find(rid);
      if (it == rels.end()) {
        keep_other_sheet(s, rid, static_cast<int32_t>(index_map.size()));
        index_map.push_back(-1);
        continue;
      }
      const std::string& sheet_part = it->second.target;
      if (!pkg_.has(sheet_part)) pkg_.fail(sheet_part, "工作表部件缺失");
      auto sheet = std::make_unique<spreadsheet::Sheet>();
      sheet->name = attr_str(s, "name");
      const std::string state = attr_str(s, "state");
      sheet->visibility = state == "hidden"       ? spreadsheet::Visibility::Hidden
                          : state == "veryHidden" ? spreadsheet::Visibility::VeryHidden
                                                  : spreadsheet::Visibility::Visible;
      read_sheet(sheet_part, *sheet);
      index_map.push_back(static_cast<int32_t>(book_->sheets.size()));
      book_->sheets.push_back(std::move(sheet));
    }
    if (book_->sheets.empty()) pkg_.fail(part, "工作簿中没有工作表");
    const auto sheet_count = static_cast<int64_t>(index_map.size());
    // A sheet index off the list is a local defect: what it points at is
    // left out (nullopt) and the repair reported.
    auto model_index = [&](int64_t file_index, const std::string& what,
                           const char* repair) -> std::optional<int32_t> {
      if (file_index >= 0 && file_index < sheet_count)
        return index_map[static_cast<size_t>(file_index)];
      book_->repairs.push_back(what + "：工作表索引 " + std::to_string(file_index) +
                               " 超出范围（共 " + std::to_string(sheet_count) + " 张工作表），" +
                               repair);
      return std::nullopt;
    };

    if (pugi::xml_node views = child(root, "bookViews")) {
      if (pugi::xml_node v = child(views, "workbookView")) {
        const int64_t active_tab = attr_int(v, "activeTab", 0);
        const int32_t active = model_index(active_tab, "活动工作表", "已改为第一张").value_or(0);
        book_->active_sheet = std::max(0, active);
        if (active < 0) {
          for (auto& o : book_->passthrough.other_sheets) o.active = o.position == active_tab;
        }
        book_->first_visible_tab = std::max(
            0, model_index(attr_int(v, "firstSheet", 0), "第一个标签", "已改为第一张").value_or(0));
        book_->tab_ratio = std::clamp(attr_num(v, "tabRatio", 600) / 1000.0, 0.0, 1.0);
        XmlOut rest;
        for (pugi::xml_attribute a = v.first_attribute(); a; a = a.next_attribute()) {
          const std::string_view an(a.name());
          if (an != "activeTab" && an != "firstSheet" && an != "tabRatio") rest.attr(an, a.value());
        }
        book_->passthrough.workbook_view_attributes = std::move(rest.str());
      }
    }
    if (pugi::xml_node names = child(root, "definedNames")) {
      for (pugi::xml_node n : names.children()) {
        if (local_name(n.name()) != "definedName") continue;
        spreadsheet::DefinedName d;
        d.name = attr_str(n, "name");
        d.value = decode_escapes(n.text().get());
        d.hidden = attr_bool(n, "hidden", false);
        if (pugi::xml_attribute l = attr(n, "localSheetId")) {
          const int64_t file_index = attr_int(n, "localSheetId", -1);
          const std::optional<int32_t> local =
              model_index(file_index, "名称“" + d.name + "”", "已略去这个名称");
          if (!local) continue;
          d.local_sheet = *local;
          if (d.local_sheet < 0) {
            keep_other_sheet_name(n, static_cast<int32_t>(file_index));
            continue;
          }
        }
        XmlOut extra;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
          const std::string_view an(a.name());
          if (an != "name" && an != "localSheetId" && an != "hidden") extra.attr(an, a.value());
        }
        d.extra_attributes = std::move(extra.str());
        book_->defined_names.push_back(std::move(d));
      }
    }
    for (pugi::xml_node n : root.children()) {
      if (n.type() != pugi::node_element) continue;
      const std::string_view l = local_name(n.name());
      if (l == "workbookPr") {
        pass.workbook_pr_xml = node_xml(n);
      } else if (l != "sheets" && l != "bookViews" && l != "definedNames" && l != "calcPr" &&
                 l != "fileVersion") {
        pass.workbook_extra_elements.push_back(node_xml(n));
      }
    }
  }

  // A chart sheet or the like: its entry and relationship are kept, its part
  // is carried with the rest.
  void keep_other_sheet(pugi::xml_node entry, const std::string& rid, int32_t position) {
    auto& pass = book_->passthrough;
    auto rel = std::find_if(pass.workbook_relationships.begin(), pass.workbook_relationships.end(),
                            [&](const RawRelationship& r) { return r.id == rid; });
    if (rel == pass.workbook_relationships.end()) return;  // a sheet without a part
    spreadsheet::RawSheet raw;
    raw.position = position;
    raw.relationship = *rel;
    XmlOut attrs;
    for (pugi::xml_attribute a = entry.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view n(a.name());
      if (n == "sheetId" || local_name(a.name()) == "id") continue;
      attrs.attr(n, a.value());
    }
    raw.attributes = std::move(attrs.str());
    pass.workbook_relationships.erase(rel);
    pass.other_sheets.push_back(std::move(raw));
  }

  void keep_other_sheet_name(pugi::xml_node name, int32_t position) {
    for (auto& o : book_->passthrough.other_sheets) {
      if (o.position != position) continue;
      XmlOut attrs;
      for (pugi::xml_attribute a = name.first_attribute(); a; a = a.next_attribute()) {
        if (std::string_view(a.name()) != "localSheetId") attrs.attr(a.name(), a.value());
      }
      o.defined_names.emplace_back(std::move(attrs.str()), decode_escapes(name.text().get()));
    }
  }

 private:
  PackageReader& pkg_;
  Workbook* book_;
};

}  // namespace

void read_workbook_part(PackageReader& package, const std::string& part,
                        const std::map<std::string, RawRelationship>& sheet_rels, Workbook& book,
                        const SheetReader& read_sheet) {
  WorkbookPartReader(package, book).run(part, sheet_rels, read_sheet);
}

std::string write_workbook_part(const Workbook& book,
                                const std::vector<std::string>& sheet_rel_ids) {
  const auto& pass = book.passthrough;
  std::vector<std::pair<int32_t, const std::string*>> extra;
  // Elements of other vocabularies (mc:AlternateContent, xr:revisionPtr)
  // stay after the element they followed; at the start they follow
  // workbookPr, where desktop applications write them.
  auto before = static_cast<int32_t>(WorkbookElement::WorkbookPr);
  for (const std::string& x : pass.workbook_extra_elements) {
    const int32_t order = workbook_order(first_tag(x));
    if (order != kUnknownOrder) before = order;
    extra.emplace_back(before, &x);
  }
  std::stable_sort(extra.begin(), extra.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  size_t next = 0;
  XmlOut out;
  // Kept elements up to and including `last`.
  auto kept_through = [&](WorkbookElement last) {
    const auto order = static_cast<int32_t>(last);
    while (next < extra.size() && extra[next].first <= order) out.raw(*extra[next++].second);
  };
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<workbook xmlns=\"");
  out.raw(kMainNs).raw("\" xmlns:r=\"").raw(kRelNs).raw("\"");
  {
    // The file's declarations, less the two written above.
    pugi::xml_document d;
    const std::string probe = "<w" + pass.workbook_namespaces + "/>";
    if (d.load_buffer(probe.data(), probe.size())) {
      for (pugi::xml_attribute a = d.document_element().first_attribute(); a;
           a = a.next_attribute()) {
        if (std::string_view(a.name()) != "xmlns:r") out.attr(a.name(), a.value());
      }
    }
  }
  out.raw(">");
  kept_through(WorkbookElement::FileSharing);
  out.raw(pass.workbook_pr_xml.empty() ? "<workbookPr/>" : pass.workbook_pr_xml);
  kept_through(WorkbookElement::WorkbookProtection);
  const auto n = static_cast<int32_t>(book.sheets.size());
  // Sheets of other kinds go back to their places; indices in the file
  // count them too.
  const auto& others = pass.other_sheets;
  std::vector<int32_t> file_index(static_cast<size_t>(n));
  std::vector<std::pair<bool, size_t>> entries;  // (model sheet?, index)
  {
    size_t model = 0, other = 0;
    while (model < file_index.size() || other < others.size()) {
      const auto at = static_cast<int32_t>(entries.size());
      if (other < others.size() && (others[other].position <= at || model == file_index.size())) {
        entries.emplace_back(false, other++);
      } else {
        file_index[model] = at;
        entries.emplace_back(true, model++);
      }
    }
  }
  const int32_t active = std::clamp(book.active_sheet, 0, std::max(0, n - 1));
  out.raw("<bookViews><workbookView").raw(pass.workbook_view_attributes);
  if (book.first_visible_tab > 0 && book.first_visible_tab < n)
    out.attr("firstSheet", int64_t{file_index[static_cast<size_t>(book.first_visible_tab)]});
  int64_t active_tab = n > 0 ? file_index[static_cast<size_t>(active)] : 0;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].first && others[entries[k].second].active) active_tab = static_cast<int64_t>(k);
  }
  if (active_tab) out.attr("activeTab", active_tab);
  out.attr("tabRatio",
           static_cast<int64_t>(std::lround(std::clamp(book.tab_ratio, 0.0, 1.0) * 1000)));
  out.raw("/></bookViews>");
  kept_through(WorkbookElement::BookViews);
  out.raw("<sheets>");
  for (size_t k = 0; k < entries.size(); ++k) {
    const auto id = static_cast<int64_t>(k + 1);
    if (!entries[k].first) {
      const spreadsheet::RawSheet& o = others[entries[k].second];
      out.raw("<sheet").raw(o.attributes).attr("sheetId", id);
      out.attr("r:id", o.relationship.id).raw("/>");
      continue;
    }
    const size_t i = entries[k].second;
    const spreadsheet::Sheet& s = *book.sheets[i];
    out.raw("<sheet").attr("name", s.name).attr("sheetId", id);
    if (s.visibility == spreadsheet::Visibility::Hidden) out.attr("state", "hidden");
    if (s.visibility == spreadsheet::Visibility::VeryHidden) out.attr("state", "veryHidden");
    out.attr("r:id", sheet_rel_ids[i]).raw("/>");
  }
  out.raw("</sheets>");
  kept_through(WorkbookElement::ExternalReferences);
  bool any = false;
  for (const auto& d : book.defined_names) {
    if (d.local_sheet >= n || d.name.empty()) continue;  // its sheet is gone
    if (!any) out.raw("<definedNames>");
    any = true;
    out.raw("<definedName").attr("name", d.name);
    if (d.local_sheet >= 0)
      out.attr("localSheetId", int64_t{file_index[static_cast<size_t>(d.local_sheet)]});
    if (d.hidden) out.attr("hidden", "1");
    out.raw(d.extra_attributes).raw(">").text(d.value).raw("</definedName>");
  }
  for (size_t k = 0; k < entries.size(); ++k) {
    if (entries[k].first) continue;
    for (const auto& [attrs, value] : others[entries[k].second].defined_names) {
      if (!any) out.raw("<definedNames>");
      any = true;
      out.raw("<definedName").raw(attrs).attr("localSheetId", static_cast<int64_t>(k));
      out.raw(">").text(value).raw("</definedName>");
    }
  }
  if (any) out.raw("</definedNames>");
  kept_through(WorkbookElement::DefinedNames);
  // Cached values are kept, and the application recalculates on opening.
  out.raw("<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>");
  kept_through(WorkbookElement::ExtLst);
  out.raw("</workbook>");
  return std::move(out.str());
}

}  // namespace kelv::xlsx
