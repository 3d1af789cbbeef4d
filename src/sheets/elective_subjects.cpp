#include "sheets/elective_subjects.h"

#include <algorithm>
#include <array>

#include "sheets/exam_sheets.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sheets {
namespace {

struct Name {
  std::string_view written;
  std::string_view canonical;
};

// Every spelling of a subject kelv reads, full names before the
// one-character forms so the longest name wins when a piece is split.
constexpr std::array<Name, 26> kNames = {{
    {"思想政治", "政治"}, {"通用技术", "技术"}, {"信息技术", "技术"}, {"语文", "语文"},
    {"数学", "数学"},     {"外语", "外语"},     {"英语", "外语"},     {"物理", "物理"},
    {"化学", "化学"},     {"生物", "生物"},     {"历史", "历史"},     {"地理", "地理"},
    {"政治", "政治"},     {"思政", "政治"},     {"技术", "技术"},     {"语", "语文"},
    {"数", "数学"},       {"外", "外语"},       {"英", "外语"},       {"物", "物理"},
    {"化", "化学"},       {"生", "生物"},       {"史", "历史"},       {"地", "地理"},
    {"政", "政治"},       {"技", "技术"},
}};

constexpr std::array<std::string_view, 10> kOrder = {"语文", "数学", "外语", "物理", "历史",
                                                     "化学", "生物", "政治", "地理", "技术"};

// Separators between subjects, single bytes and UTF-8 sequences.
constexpr std::string_view kByteSeparators = " \t\r\n,/+;|\\";
constexpr std::array<std::string_view, 8> kSeparators = {"\u3000", "\u3001", "\uFF0C", "\uFF0F",
                                                         "\uFF0B", "\uFF1B", "\u00B7", "\u30FB"};

// The length of the separator at the start of `s`, or 0.
size_t SeparatorAt(std::string_view s) {
  if (kByteSeparators.find(s.front()) != std::string_view::npos) return 1;
  for (std::string_view sep : kSeparators)
    if (s.starts_with(sep)) return sep.size();
  return 0;
}

std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t sep = SeparatorAt(text.substr(i));
    if (sep == 0) {
      ++i;
      continue;
    }
    if (i > start) pieces.push_back(text.substr(start, i - start));
    i += sep;
    start = i;
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

// Reads a piece as names one after another; false when some part is none.
bool SplitPiece(std::string_view piece, const std::vector<std::string>& other_names,
                std::vector<std::string>& out) {
  std::vector<std::string> found;
  while (!piece.empty()) {
    std::string_view best;
    std::string canonical;
    for (const std::string& other : other_names)
      if (other.size() > best.size() && piece.starts_with(other)) {
        best = other;
        canonical = other;
      }
    for (const Name& n : kNames)
      if (n.written.size() > best.size() && piece.starts_with(n.written)) {
        best = n.written;
        canonical = n.canonical;
      }
    if (best.empty()) return false;
    found.push_back(canonical);
    piece.remove_prefix(best.size());
  }
  out.insert(out.end(), found.begin(), found.end());
  return true;
}

}  // namespace

std::string CanonicalSubject(std::string_view name) {
  for (const Name& n : kNames)
    if (n.written == name) return std::string(n.canonical);
  return "";
}

int32_t SubjectRank(std::string_view canonical) {
  const auto* at = std::find(kOrder.begin(), kOrder.end(), canonical);
  return static_cast<int32_t>(at - kOrder.begin());
}

SubjectList ReadSubjectList(std::string_view text, const std::vector<std::string>& other_names) {
  SubjectList list;
  std::vector<std::string> found;
  for (std::string_view piece : Pieces(text)) {
    if (std::find(other_names.begin(), other_names.end(), piece) != other_names.end()) {
      found.emplace_back(piece);
    } else if (!SplitPiece(piece, other_names, found)) {
      list.unreadable.emplace_back(piece);
    }
  }
  for (const std::string& s : found)
    if (std::find(list.subjects.begin(), list.subjects.end(), s) == list.subjects.end())
      list.subjects.push_back(s);
  std::stable_sort(
      list.subjects.begin(), list.subjects.end(),
      [](const std::string& a, const std::string& b) { return SubjectRank(a) < SubjectRank(b); });
  return list;
}

std::string CombinationKey(const SubjectList& list) {
  std::string key;
  for (const std::string& s : list.subjects) {
    if (!key.empty()) key += "、";
    key += s;
  }
  return key;
}

int32_t FindElectiveColumn(host::Worksheet& examinees) {
  for (std::string_view heading : kElectiveHeadings)
    if (const int32_t c = FindHeaderColumn(examinees, 1, heading); c != 0) return c;
  return 0;
}

}  // namespace kelv::sheets
