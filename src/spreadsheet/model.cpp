#include "spreadsheet/model.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <system_error>

#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::spreadsheet {

std::string xlsx_path_for(const Workbook& book) {
  if (!book.from_other_format() || book.source_path.empty()) return book.file_path;
  std::filesystem::path p = host::file_path(book.source_path);
  const std::filesystem::path source = p;
  p.replace_extension(".xlsx");
  // A text or old workbook that was merely named .xlsx keeps its name free.
  if (p == source)
    p.replace_filename(host::file_path(host::path_text(p.stem()) + "（已转换）.xlsx"));
  return host::path_text(p);
}

void refuse_overwriting_source(const Workbook& book, std::string_view path) {
  if (!book.from_other_format() || book.source_path.empty()) return;
  const std::string target = host::absolute_path_text(path);
  bool same = target == book.source_path;
  if (!same) {
    std::error_code ec;
    same = std::filesystem::equivalent(host::file_path(target), host::file_path(book.source_path),
                                       ec) &&
           !ec;
  }
  if (!same) return;
  throw host::HostError::host(host::kRefused,
                              "不能保存到“" + target +
                                  "”：它不是 .xlsx 工作簿，保存会覆盖原文件；请另存为“" +
                                  xlsx_path_for(book) + "”");
}
namespace {

void mix(size_t& seed, size_t v) {
  seed ^= v + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// The merges in their order, less each one that overlaps a merge kept
// before it; with drop_single, less the one-cell ones too.
std::vector<host::Rect> first_disjoint(const std::vector<host::Rect>& merges, bool drop_single) {
  std::multimap<int32_t, host::Rect> kept;  // by first row
  int32_t tallest = 1;
  std::vector<host::Rect> out;
  out.reserve(merges.size());
  for (const host::Rect& m : merges) {
    if (drop_single && m.rows() == 1 && m.columns() == 1) continue;
    bool clash = false;
    for (auto it = kept.lower_bound(m.row1 - tallest + 1);
         !clash && it != kept.end() && it->first <= m.row2; ++it)
      clash = it->second.intersects(m);
    if (clash) continue;
    kept.emplace(m.row1, m);
    tallest = std::max(tallest, m.rows());
    out.push_back(m);
  }
  return out;
}

size_t hash_color(const Color& c) {
  size_t h = static_cast<size_t>(c.kind);
  mix(h, c.value);
  mix(h, std::hash<double>()(c.tint));
  return h;
}

}  // namespace

size_t StyleHash::operator()(const Style& s) const {
  size_t h = std::hash<std::string>()(s.number_format);
  mix(h, std::hash<std::string>()(s.font.name));
  mix(h, std::hash<double>()(s.font.size));
  mix(h, (s.font.bold ? 1 : 0) | (s.font.italic ? 2 : 0) | (s.font.strike ? 4 : 0));
  mix(h, std::hash<std::string>()(s.font.underline));
  mix(h, hash_color(s.font.color));
  mix(h, std::hash<std::string>()(s.fill.pattern));
  mix(h, hash_color(s.fill.fg));
  for (const BorderSide* b : {&s.border.left, &s.border.right, &s.border.top, &s.border.bottom})
    mix(h, std::hash<std::string>()(b->style));
  mix(h, std::hash<std::string>()(s.alignment.horizontal));
  mix(h, std::hash<std::string>()(s.alignment.vertical));
  mix(h, s.alignment.wrap_text ? 1 : 0);
  return h;
}

StyleTable::StyleTable() {
  assign({Style{}});
}

uint32_t StyleTable::intern(const Style& s) {
  auto it = index_.find(s);
  if (it != index_.end()) return it->second;
  const auto id = static_cast<uint32_t>(styles_.size());
  styles_.push_back(s);
  index_.emplace(s, id);
  return id;
}

void StyleTable::assign(std::vector<Style> styles) {
  if (styles.empty()) styles.push_back(Style{});
  styles_ = std::move(styles);
  index_.clear();
  // The first occurrence of a format keeps its id, so the file's order wins.
  for (uint32_t i = 0; i < styles_.size(); ++i) index_.emplace(styles_[i], i);
}

void keep_disjoint_merges(Sheet& sheet) {
  sheet.merges = first_disjoint(sheet.merges, true);
}

bool merges_disjoint(const Sheet& sheet) {
  return first_disjoint(sheet.merges, false).size() == sheet.merges.size();
}

}  // namespace kelv::spreadsheet
