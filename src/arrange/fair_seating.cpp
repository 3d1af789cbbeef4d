#include "arrange/fair_seating.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "arrange/paper_versions.h"
#include "host/variant.h"
#include "sheets/elective_subjects.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_shape.h"
#include "sheets/room_sheet.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::arrange {
namespace {

using sheets::FindHeaderColumn;

constexpr size_t kRowsNamed = 10;                 // rows a notice lists before "等 n 行"
constexpr int kMostSeedDigits = 15;               // kept exactly when stored as a number
constexpr uint64_t kDrawnSeedRange = 1000000000;  // drawn seeds have up to nine digits

// The text without surrounding ASCII or ideographic (U+3000) spaces.
std::string Trimmed(std::string_view s) {
  constexpr std::string_view kIdeographicSpace = "\u3000";
  for (;;) {
    if (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
      s.remove_prefix(1);
    } else if (s.starts_with(kIdeographicSpace)) {
      s.remove_prefix(kIdeographicSpace.size());
    } else if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
    } else if (s.ends_with(kIdeographicSpace)) {
      s.remove_suffix(kIdeographicSpace.size());
    } else {
      return std::string(s);
    }
  }
}

// "第 2、5、9 行", or "第 2、3、…、11 行等 25 行" for many rows.
std::string RowList(const std::vector<int32_t>& rows) {
  std::string s = "第 ";
  for (size_t k = 0; k < rows.size() && k < kRowsNamed; ++k) {
    if (k > 0) s += "、";
    s += std::to_string(rows[k]);
  }
  s += " 行";
  if (rows.size() > kRowsNamed) s += "等 " + std::to_string(rows.size()) + " 行";
  return s;
}

// A seed typed as 1 to 15 digits, full-width digits too.
bool ParseSeed(std::string_view text, uint64_t* seed) {
  constexpr std::string_view kFullWidthDigitLead = "\xEF\xBC";  // U+FF10..U+FF19
  uint64_t v = 0;
  int digits = 0;
  for (size_t i = 0; i < text.size();) {
    int d = -1;
    if (text[i] >= '0' && text[i] <= '9') {
      d = text[i] - '0';
      i += 1;
    } else if (text.substr(i, 2) == kFullWidthDigitLead && i + 2 < text.size()) {
      const auto third = static_cast<unsigned char>(text[i + 2]);
      if (third >= 0x90 && third <= 0x99) d = third - 0x90;
      i += 3;
    }
    if (d < 0 || ++digits > kMostSeedDigits) return false;
    v = v * 10 + static_cast<uint64_t>(d);
  }
  if (digits == 0) return false;
  *seed = v;
  return true;
}

// A new seed from the environment's generator (the clock in real runs).
uint64_t DrawSeed(component::Component& self) {
  self.env.randomize();
  uint64_t s = 0;
  for (int k = 0; k < 3; ++k)
    s = (s << 24) | static_cast<uint64_t>(self.env.next_random() * 16777216.0f);
  return s % kDrawnSeedRange;
}

bool IsWrittenByTheRun(std::string_view header) {
  for (const char* h : sheets::kAssignmentHeadings)
    if (header == h) return true;
  if (header == sheets::kPaperVersionHeading) return true;
  for (const sheets::GroupCount& counted : {sheets::kSchoolCount, sheets::kGradeCount,
                                            sheets::kClassCount, sheets::kClassCountAlternative})
    if (header == counted.count) return true;
  return false;
}

// Hundredths, cut rather than rounded: a deviation just under one shows as
// 0.99, not as 1.00.
double Hundredths(double v) {
  return std::floor(v * 100 + 1e-9) / 100;
}

std::string Decimal2(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", Hundredths(v));
  return buf;
}

// The setting that keeps each elective combination together, a True/False
// cell of the host workbook's settings sheet (empty: off).
bool KeepCombinations(host::Application& EA) {
  host::Workbook& host_book = EA.this_workbook();
  if (!sheets::SheetExists(host_book.worksheets(), sheets::kSettingsSheet)) return false;
  const host::Variant v = host_book.worksheets()
                              .item(sheets::kSettingsSheet)
                              .cells(sheets::kCombinationRow, sheets::kKeepCombinationColumn)
                              .value();
  return v.is_bool() ? v.as_bool() : host::text_equals(v, "TRUE") || host::text_equals(v, "True");
}

}  // namespace

SeatingPlan SeatingPlan::Prepare(component::Component& self, host::Application& EA, host::Form& UF,
                                 host::Worksheet& rooms, host::Worksheet& examinees) {
  SeatingPlan plan;
  host::Control* seed_box = component::OptionalControl(UF, kSeedControl);
  host::Control* apart_box = component::OptionalControl(UF, kKeepApartControl);
  const int32_t combination_col = KeepCombinations(EA) ? sheets::FindElectiveColumn(examinees) : 0;
  if (seed_box == nullptr && apart_box == nullptr && combination_col == 0) return plan;

  const bool random = UF["OptSJKaoHao"].value().to_bool();
  std::string apart = apart_box ? Trimmed(apart_box->value().to_text()) : std::string();
  if (apart == kNoKeepApart) apart.clear();
  if (apart.empty() && random && PaperVersionsWanted(UF)) {
    apart = TwoGradesColumn(examinees);
    plan.apart_for_versions_ = !apart.empty();
  }
  const int32_t fixed_col = FindHeaderColumn(examinees, 1, kFixedRoomHeader);
  if (!random && apart.empty() && fixed_col == 0 && combination_col == 0) return plan;
  plan.active_ = true;

  std::vector<std::string> problems;
  SeatOrderRequest& q = plan.request_;
  q.random = random;
  if (random) plan.ReadSeed(self, seed_box, problems);
  const int32_t group_col = plan.ReadKeepApart(examinees, apart, problems);
  q.keep_apart = random && group_col > 0;
  const int32_t N = examinees.cells(1, 1).current_region().rows_count() - 1;
  q.examinees = std::max(N, 0);
  const auto rows_named = plan.ReadRooms(rooms, problems);
  const std::vector<int32_t> fixed =
      plan.ReadFixedRooms(examinees, fixed_col, rows_named, problems);
  if (problems.empty() && !random && apart.empty() && plan.fixed_count_ == 0 &&
      combination_col == 0)
    return {};
  if (!problems.empty()) {
    std::string text;
    for (const std::string& p : problems) text += p + "\n";
    component::ShowNotice(self, text + "请改正后再编排考号。");
    plan.refused_ = true;
    return plan;
  }

  const std::vector<int32_t> group = plan.ReadGroups(examinees, group_col);
  const std::vector<int32_t> combination = plan.ReadCombinations(examinees, combination_col);
  plan.SortByContent(examinees);
  q.group.resize(q.examinees);
  q.fixed_room.resize(q.examinees);
  if (!combination.empty()) q.combination.resize(q.examinees);
  for (int32_t k = 0; k < q.examinees; ++k) {
    q.group[k] = group[plan.sheet_row_[k]];
    q.fixed_room[k] = fixed[plan.sheet_row_[k]];
    if (!combination.empty()) q.combination[k] = combination[plan.sheet_row_[k]];
  }
  plan.order_ = OrderSeats(q);
  return plan;
}

// The seed typed in the seed box, or one drawn when the box is empty.
void SeatingPlan::ReadSeed(component::Component& self, host::Control* seed_box,
                           std::vector<std::string>& problems) {
  const std::string seed_text = seed_box ? Trimmed(seed_box->value().to_text()) : std::string();
  if (seed_text.empty()) {
    request_.seed = DrawSeed(self);
    seed_drawn_ = true;
  } else if (!ParseSeed(seed_text, &request_.seed)) {
    problems.push_back("随机种子须是 1 到 15 位数字，现在是“" + seed_text + "”。");
  }
}

// The examinee sheet's column of the keep-apart heading (0: none or wrong).
int32_t SeatingPlan::ReadKeepApart(host::Worksheet& examinees, const std::string& apart,
                                   std::vector<std::string>& problems) {
  if (apart.empty()) return 0;
  int32_t group_col = 0;
  if (IsWrittenByTheRun(apart)) {
    problems.push_back("“" + apart + "”列由编排写入，不能用来同组不相邻。");
  } else {
    group_col = FindHeaderColumn(examinees, 1, apart);
    if (group_col == 0) problems.push_back("考生表中没有“" + apart + "”列，无法同组不相邻。");
  }
  apart_header_ = apart;
  apart_ignored_ = !request_.random;
  return group_col;
}

// The rooms with the seats each receives in this run: the rooms fill in
// order, so when places outnumber examinees the last ones stay short. With
// keep-apart, a room's shape (每列座数, 列数) gives the length of its seat
// columns. Returns the room sheet rows of each room name.
std::map<std::string, std::vector<int32_t>> SeatingPlan::ReadRooms(
    host::Worksheet& rooms, std::vector<std::string>& problems) {
  SeatOrderRequest& q = request_;
  const int32_t R = rooms.cells(1, 1).current_region().rows_count();
  const sheets::RoomShapeColumns shape_columns =
      q.keep_apart ? sheets::FindRoomShapeColumns(rooms) : sheets::RoomShapeColumns{};
  int64_t remaining = q.examinees;
  std::map<std::string, std::vector<int32_t>> rows_named;
  std::vector<sheets::RoomShapeProblem> shape_problems;
  for (int32_t r = sheets::kRoomFirstRow; r <= R; ++r) {
    const std::string name = rooms.cells(r, sheets::kRoomNameColumn).text();
    const int32_t places =
        std::max(rooms.cells(r, sheets::kRoomPlacesColumn).value().to_int32(), 0);
    const auto seats = static_cast<int32_t>(std::min<int64_t>(places, remaining));
    remaining -= seats;
    const sheets::RoomShape shape = sheets::ReadRoomShape(rooms, shape_columns, r, &shape_problems);
    q.rooms.push_back({seats, shape.NeighbourColumnLength(places)});
    room_names_.push_back(name);
    rows_named[name].push_back(r);
  }
  for (const sheets::RoomShapeProblem& p : shape_problems) problems.push_back(p.message);
  return rows_named;
}

// Fixed rooms, by name, per examinee (kNoRoom: none); every wrong name and
// every overfull room is told.
std::vector<int32_t> SeatingPlan::ReadFixedRooms(
    host::Worksheet& examinees, int32_t fixed_col,
    const std::map<std::string, std::vector<int32_t>>& rows_named,
    std::vector<std::string>& problems) {
  const SeatOrderRequest& q = request_;
  std::vector<int32_t> fixed(q.examinees, kNoRoom);
  if (fixed_col == 0) return fixed;
  std::vector<std::pair<std::string, std::vector<int32_t>>> unknown, doubled;
  std::vector<std::vector<int32_t>> fixed_rows(q.rooms.size());
  auto note = [](auto& list, const std::string& name, int32_t row) {
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == name; });
    if (it == list.end()) it = list.insert(list.end(), {name, {}});
    it->second.push_back(row);
  };
  // A room typed as 03 into a cell of general format reads as the number
  // 3; it still names room "03" when no room is called "3".
  std::map<double, std::string> by_number;
  for (const auto& [name, rows] : rows_named) {
    double d = 0;
    if (host::parse_decimal(name, &d, true)) by_number.try_emplace(d, name);
  }
  for (int32_t i = 0; i < q.examinees; ++i) {
    const host::Variant cell = examinees.cells(i + 2, fixed_col).value();
    std::string name = Trimmed(cell.to_text());
    if (name.empty()) continue;
    if (cell.is_number() && rows_named.count(name) == 0 && by_number.count(cell.as_number()))
      name = by_number[cell.as_number()];
    auto it = rows_named.find(name);
    if (it == rows_named.end()) {
      note(unknown, name, i + 2);
    } else if (it->second.size() > 1) {
      note(doubled, name, i + 2);
    } else {
      fixed[i] = it->second.front() - sheets::kRoomFirstRow;
      fixed_rows[fixed[i]].push_back(i + 2);
      ++fixed_count_;
    }
  }
  for (const auto& [name, rows] : unknown)
    problems.push_back("指定考场“" + name + "”不在考场表中（考生表" + RowList(rows) + "）。");
  for (const auto& [name, rows] : doubled) {
    const std::vector<int32_t>& named = rows_named.at(name);
    problems.push_back("考场表中有 " + std::to_string(named.size()) + " 个考场叫“" + name + "”（" +
                       RowList(named) + "），指定在此的考生（考生表" + RowList(rows) +
                       "）无法确定去哪一个。");
  }
  for (size_t r = 0; r < q.rooms.size(); ++r) {
    if (static_cast<int32_t>(fixed_rows[r].size()) <= q.rooms[r].seats) continue;
    problems.push_back("考场“" + room_names_[r] + "”本次只排 " + std::to_string(q.rooms[r].seats) +
                       " 人，指定在此的却有 " + std::to_string(fixed_rows[r].size()) +
                       " 人（考生表" + RowList(fixed_rows[r]) + "）。");
  }
  return fixed;
}

// Groups by the text of the keep-apart column; an empty cell is no group.
std::vector<int32_t> SeatingPlan::ReadGroups(host::Worksheet& examinees, int32_t group_col) const {
  std::vector<int32_t> group(request_.examinees, kNoGroup);
  if (!request_.keep_apart) return group;
  std::unordered_map<std::string, int32_t> number;
  for (int32_t i = 0; i < request_.examinees; ++i) {
    const std::string value = examinees.cells(i + 2, group_col).text();
    if (value.empty()) continue;
    group[i] = number.try_emplace(value, static_cast<int32_t>(number.size())).first->second;
  }
  return group;
}

// Each examinee's elective combination as a rank, combinations sorted by
// their subjects in timetable order (物化生 before 物化政 before 史政地), so
// combinations sharing subjects fill neighbouring rooms; kNoGroup for an
// empty or unreadable cell. Empty without the column.
std::vector<int32_t> SeatingPlan::ReadCombinations(host::Worksheet& examinees,
                                                   int32_t combination_col) {
  if (combination_col == 0) return {};
  combination_header_ = examinees.cells(1, combination_col).text();
  std::vector<std::string> key(request_.examinees);
  std::map<std::vector<int32_t>, std::string> ranked;  // subject ranks -> key
  std::map<std::string, std::vector<int32_t>> ranks_of;
  for (int32_t i = 0; i < request_.examinees; ++i) {
    const sheets::SubjectList list =
        sheets::ReadSubjectList(examinees.cells(i + 2, combination_col).text());
    if (list.subjects.empty() || !list.unreadable.empty()) continue;
    key[i] = sheets::CombinationKey(list);
    if (ranks_of.count(key[i]) != 0) continue;
    std::vector<int32_t> ranks;
    for (const std::string& s : list.subjects) ranks.push_back(sheets::SubjectRank(s));
    ranks_of.emplace(key[i], ranks);
    ranked.emplace(ranks, key[i]);
  }
  std::map<std::string, int32_t> rank;
  for (const auto& [ranks, k] : ranked) rank.emplace(k, static_cast<int32_t>(rank.size()));
  combinations_ = static_cast<int32_t>(rank.size());
  std::vector<int32_t> combination(request_.examinees, kNoGroup);
  for (int32_t i = 0; i < request_.examinees; ++i)
    if (!key[i].empty()) combination[i] = rank[key[i]];
  return combination;
}

// A random order starts from the rows sorted by their own content, so the
// same seed replays the same order whatever order an earlier run left.
void SeatingPlan::SortByContent(host::Worksheet& examinees) {
  const int32_t n = request_.examinees;
  sheet_row_.resize(n);
  std::iota(sheet_row_.begin(), sheet_row_.end(), 0);
  if (!request_.random) return;
  const int32_t columns = examinees.cells(1, 1).current_region().columns_count();
  std::vector<int32_t> content;
  for (int32_t c = 1; c <= columns; ++c)
    if (!IsWrittenByTheRun(examinees.cells(1, c).text())) content.push_back(c);
  std::vector<std::string> key(n);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t c : content) {
      key[i] += examinees.cells(i + 2, c).text();
      key[i] += '\x1f';
    }
  std::stable_sort(sheet_row_.begin(), sheet_row_.end(),
                   [&](int32_t a, int32_t b) { return key[a] < key[b]; });
}

void SeatingPlan::Reorder(host::Worksheet& examinees) const {
  const int32_t c = examinees.cells(1, 1).current_region().columns_count() + 1;
  examinees.cells(1, c).set_value(sheets::kShuffleKeyHeading);
  std::vector<int32_t> place(order_.size());
  for (size_t k = 0; k < order_.size(); ++k) place[sheet_row_[order_[k]]] = static_cast<int32_t>(k);
  for (size_t i = 0; i < place.size(); ++i)
    examinees.cells(static_cast<int32_t>(i) + 2, c).set_value(place[i] + 1);
  examinees.cells(1, c).current_region().sort(examinees.cells(1, c), host::SortOrder::Ascending,
                                              host::SortHeader::Yes);
  examinees.columns(c).clear();
}

void SeatingPlan::Report(component::Component& self, host::Workbook& book,
                         host::Worksheet& examinees, bool versions) const {
  const SeatOrderRequest& q = request_;
  const SeatingCheck check = q.keep_apart ? CheckSeating(q, order_) : SeatingCheck{};
  int32_t unavoidable = 0;
  for (const RoomCheck& room : check.rooms)
    if (room.crowded) unavoidable += room.shared_pairs;

  // The record is rewritten whole at every run, as the last sheet.
  host::Worksheets sheets = book.worksheets();
  if (sheets::SheetExists(sheets, kRecordSheet)) sheets.item(kRecordSheet).delete_sheet();
  host::Worksheet& sheet = sheets.add_after(sheets.item(sheets.count() - 1));
  sheet.set_name(kRecordSheet);
  const std::string seed = std::to_string(q.seed);
  sheet.cells(1, 1).set_value("随机种子");
  sheet.cells(1, 2).set_number_format_local("@");
  sheet.cells(1, 2).set_value(q.random ? seed : std::string("（按顺序编排，未用随机数）"));
  sheet.cells(2, 1).set_value("考号顺序");
  sheet.cells(2, 2).set_value(q.random ? "随机" : "考生表原顺序");
  sheet.cells(3, 1).set_value("同组不相邻");
  sheet.cells(3, 2).set_value(q.keep_apart ? apart_header_ : std::string(kNoKeepApart));
  sheet.cells(4, 1).set_value("指定考场人数");
  sheet.cells(4, 2).set_value(fixed_count_);
  if (!q.combination.empty()) {
    sheet.cells(8, 1).set_value("选考组合");
    sheet.cells(8, 2).set_value("同一组合排在一起（按“" + combination_header_ + "”，" +
                                std::to_string(combinations_) + " 个组合）");
  }
  // AB papers beside the combinations: row 9 starts the rooms' table.
  if (versions) {
    sheet.cells(8, 3).set_value("AB 卷");
    sheet.cells(8, 4).set_value(apart_for_versions_ ? "是，两个年级交错" : "是");
  }
  if (q.keep_apart) {
    sheet.cells(5, 1).set_value("相邻同组对数");
    sheet.cells(5, 2).set_value(check.shared_pairs);
    sheet.cells(6, 1).set_value("最大份额偏差");
    sheet.cells(6, 2).set_value(Hundredths(check.largest_deviation));
    sheet.cells(7, 1).set_value("相邻的座位");
    sheet.cells(7, 2).set_value(
        "座号相连的两个座位；填了每列座数的考场按 S 形排座（第一列由前往后，第二列由后往前，"
        "依此类推），左右并排的两个座位也算相邻");
    const char* headers[] = {"考场",     "人数",         "每列座数",    "组数",
                             "最多同组", "相邻同组对数", "同组过半座位"};
    for (int32_t c = 0; c < 7; ++c) sheet.cells(9, c + 1).set_value(headers[c]);
    for (size_t r = 0; r < check.rooms.size(); ++r) {
      const RoomCheck& room = check.rooms[r];
      const auto row = static_cast<int32_t>(r) + 10;
      sheet.cells(row, 1).set_number_format_local("@");
      sheet.cells(row, 1).set_value(room_names_[r]);
      sheet.cells(row, 2).set_value(room.examinees);
      if (q.rooms[r].per_column > 0) sheet.cells(row, 3).set_value(q.rooms[r].per_column);
      sheet.cells(row, 4).set_value(room.groups);
      sheet.cells(row, 5).set_value(room.largest_group);
      sheet.cells(row, 6).set_value(room.shared_pairs);
      if (room.crowded) sheet.cells(row, 7).set_value("是");
    }
  }
  examinees.activate();

  std::string text;
  if (q.random) {
    text += (seed_drawn_ ? "本次随机种子：" : "随机种子：") + seed +
            "，已记在本数据簿的“排座记录”表中；同样的种子、数据和选项排出同样的考号顺序。\n";
  }
  if (apart_ignored_)
    text += "同组不相邻只在随机编排考号时起作用，本次按考生表原顺序编排，未作调整。\n";
  if (q.keep_apart) {
    text += (apart_for_versions_ ? "两个年级交错就座（按“" : "同组不相邻（按“") + apart_header_ +
            "”）：相邻座位同组 " + std::to_string(check.shared_pairs) + " 对";
    if (check.shared_pairs > 0 && unavoidable == check.shared_pairs) {
      text += "，都在某组人数超过一半座位、无法分开的考场";
    } else if (unavoidable > 0) {
      text += "，其中 " + std::to_string(unavoidable) + " 对在某组人数超过一半座位的考场";
    }
    // Kept together, combinations are not spread over the rooms by share.
    text += q.combination.empty()
                ? "。\n各组在每个考场的人数与按座位数应得的份额最多相差 " +
                      Decimal2(check.largest_deviation) + " 人；各考场明细见“排座记录”表。\n"
                : "。\n各考场明细见“排座记录”表。\n";
  }
  if (!q.combination.empty())
    text += "选考组合排在一起（按“" + combination_header_ + "”）：" +
            std::to_string(combinations_) + " 个组合，同一组合的考生坐在相连的考场。\n";
  if (fixed_count_ > 0)
    text += "指定考场的 " + std::to_string(fixed_count_) + " 人都已排进所指定的考场。\n";
  if (versions) text += PaperVersionNote() + "\n";
  if (text.empty()) return;
  text.pop_back();
  component::ShowNotice(self, text);
}

}  // namespace kelv::arrange
