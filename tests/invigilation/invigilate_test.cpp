// The rota on data workbooks written by openpyxl (data/make_rota_books.py):
// each rule read back from what was written, each impossible case told
// with its numbers and nothing written.
#include "invigilation/invigilate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/environment.h"
#include "host/file_path.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"
#include "support/outside_tools.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::invigilation {
namespace {

namespace fs = std::filesystem;

// A copy of data workbooks in a 数据 folder, the first one open.
class DataFolder {
 public:
  explicit DataFolder(const std::vector<std::string>& files) : dir_("rota") {
    folder_ = dir_.path() / host::file_path("数据");
    fs::create_directories(folder_);
    for (const std::string& f : files)
      fs::copy_file(host::file_path("data/" + f), folder_ / host::file_path(f));
    engine_ = std::make_unique<spreadsheet::Engine>(std::make_shared<xlsx::XlsxFormat>());
    book_ = &engine_->open_workbook(file(files.front()));
  }

  std::string file(const std::string& name) const {
    return host::path_text(folder_ / host::file_path(name));
  }
  host::Workbook& book() { return *book_; }
  spreadsheet::Engine& engine() { return *engine_; }

  InvigilationReport run(InvigilationSettings settings = {}) {
    if (!settings.seed) settings.seed = 7;
    return Invigilate(*engine_, env_, *book_, settings, [this](const std::string& path) {
      return &engine_->add_workbook(host::native_path(path));
    });
  }

  // The rows of a sheet's table as heading -> text.
  std::vector<std::map<std::string, std::string>> rows(host::Workbook& book,
                                                       const std::string& sheet) {
    host::Worksheet& ws = book.sheet(sheet);
    const host::Rect region = ws.current_region(1, 1);
    std::vector<std::map<std::string, std::string>> out;
    for (int32_t r = 2; r <= region.row2; ++r) {
      std::map<std::string, std::string> row;
      for (int32_t c = 1; c <= region.col2; ++c) row[ws.cells(1, c).text()] = ws.cells(r, c).text();
      out.push_back(std::move(row));
    }
    return out;
  }
  std::vector<std::map<std::string, std::string>> rows(const std::string& sheet) {
    return rows(*book_, sheet);
  }

 private:
  test::TempFolder dir_;
  fs::path folder_;
  std::unique_ptr<spreadsheet::Engine> engine_;
  host::Workbook* book_ = nullptr;
  host::SystemEnvironment env_{1};
};

std::vector<std::string> items(const std::string& list) {
  std::vector<std::string> out;
  std::string item;
  for (size_t i = 0; i <= list.size(); ++i) {
    const bool sep = i == list.size() || list[i] == ',' || list[i] == ' ' ||
                     list.compare(i, 3, "、") == 0 || list.compare(i, 3, "，") == 0;
    if (!sep) {
      item += list[i];
      continue;
    }
    if (!item.empty()) out.push_back(item);
    item.clear();
    if (i < list.size() && static_cast<unsigned char>(list[i]) >= 0x80) i += 2;
  }
  return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

TEST(Invigilate, OneSittingStaffsEveryRoomByTheRulesAndKeepsTypedNames) {
  DataFolder data({"一场.xlsx"});
  const InvigilationReport report = data.run();
  ASSERT_TRUE(report.done) << joined(ReportLines(report));
  EXPECT_EQ(report.duties, 5 * 2 + 3);
  EXPECT_EQ(report.kept, 2);

  // Classes per room and per teacher, as the workbook says.
  std::map<std::string, std::set<std::string>> classes_in;
  for (auto& e : data.rows("考生表")) classes_in[e["考场"]].insert(e["班级"]);
  std::map<std::string, std::vector<std::string>> teaches;
  for (auto& t : data.rows("监考表")) teaches[t["姓名"]] = items(t["任教班级"]);

  std::map<std::string, std::vector<std::string>> in_room;
  std::map<std::string, int> duties;
  for (auto& room : data.rows("考场表")) {
    for (const char* role : {"监考甲", "监考乙", "监考丙"})
      if (!room[role].empty()) {
        in_room[room["考场"]].push_back(room[role]);
        ++duties[room[role]];
      }
  }
  EXPECT_TRUE(in_room["07"].empty()) << "a room without examinees gets nobody";
  for (const char* room : {"01", "02", "03", "04", "05"})
    EXPECT_EQ(in_room[room].size(), 2u) << room;
  EXPECT_EQ(in_room["06"].size(), 3u) << "监考人数 3 appends 监考丙";
  EXPECT_EQ(data.rows("考场表")[1]["监考甲"], "周敏");
  EXPECT_EQ(data.rows("考场表")[2]["监考乙"], "校外老师");
  for (const auto& [name, n] : duties) EXPECT_EQ(n, 1) << name << " twice in the one sitting";
  EXPECT_EQ(duties.count("吴刚"), 0u) << "不监考 1";
  EXPECT_EQ(duties.count("郑洁"), 0u) << "最多场数 0";
  for (const auto& [room, names] : in_room)
    for (const std::string& name : names) {
      if (name == "周敏" || name == "校外老师") continue;  // typed in
      for (const std::string& c : teaches[name])
        EXPECT_EQ(classes_in[room].count(c), 0u) << name << " teaches " << c << " in " << room;
    }
  // Every examinee's copy of the room's invigilators.
  for (auto& e : data.rows("考生表")) {
    EXPECT_EQ(e["监考甲"], in_room[e["考场"]][0]) << e["姓名"];
    EXPECT_EQ(e["监考乙"], in_room[e["考场"]][1]) << e["姓名"];
  }
  EXPECT_EQ(data.rows("监考安排").size(), 13u);
  EXPECT_EQ(data.rows("监考统计").size(), 17u) << "16 teachers and the outside name";

  data.book().save();
  EXPECT_TRUE(test::openpyxl_accepts(
      data.file("一场.xlsx"),
      "ws = wb['监考安排']\n"
      "head = [c.value for c in ws[1]]\n"
      "why = head\n"
      "ok = head == ['场次', '科目', '日期', '开始', '结束', '考场', '考室', '监考', '角色']\n"
      "ok = ok and ws.max_row == 14 and '监考丙' in [c.value for c in wb['考场表'][1]]"));
}

// Reads 监考安排 back: per duty its sitting, paper, room and teacher.
struct Duty {
  std::string sitting, subject, room, teacher, date, start;
};
std::vector<Duty> duties_of(DataFolder& data) {
  std::vector<Duty> out;
  for (auto& d : data.rows("监考安排"))
    out.push_back({d["场次"], d["科目"], d["考场"], d["监考"], d["日期"], d["开始"]});
  return out;
}

TEST(Invigilate, SessionsKeepEveryRuleFairlyAndPacked) {
  DataFolder data({"场次.xlsx", "场次（第1场）.xlsx", "场次（第2场）.xlsx"});
  const InvigilationReport report = data.run();
  ASSERT_TRUE(report.done) << joined(ReportLines(report));
  const std::vector<Duty> duties = duties_of(data);
  // Needs: 4 sittings of 4 rooms at 2 each, room 04 at 1.
  EXPECT_EQ(duties.size(), 4u * 7u);

  std::map<std::string, std::string> subject;
  std::map<std::string, std::string> taught;
  for (auto& t : data.rows("监考表")) {
    subject[t["姓名"]] = t["学科"] == "英语" ? "外语" : t["学科"];
    taught[t["姓名"]] = t["任教班级"];
  }
  const std::map<std::string, std::string> class_of = {
      {"01", "1班"}, {"02", "2班"}, {"03", "3班"}, {"04", "4班"}};
  std::map<std::string, std::set<std::string>> sittings;
  std::map<std::string, std::set<std::string>> rooms_had;
  std::map<std::string, int> count;
  for (const Duty& d : duties) {
    EXPECT_TRUE(sittings[d.teacher].insert(d.sitting).second)
        << d.teacher << " twice in " << d.sitting;
    EXPECT_NE(subject[d.teacher], d.subject) << d.teacher << " watches their own subject";
    EXPECT_NE(taught[d.teacher], class_of.at(d.room)) << d.teacher << " watches their class";
    EXPECT_TRUE(rooms_had[d.teacher].insert(d.room).second) << d.teacher << " had " << d.room;
    ++count[d.teacher];
  }
  EXPECT_EQ(sittings["陈静"].count("2"), 0u) << "不监考 数学";
  EXPECT_EQ(sittings["杨帆"].count("4"), 0u) << "不监考 第4场";
  EXPECT_EQ(sittings["赵磊"].count("2"), 1u) << "必监考 2";
  EXPECT_EQ(rooms_had["黄丽"].count("03"), 1u) << "必监考 03";
  EXPECT_LE(count["徐静"], 1);
  EXPECT_LE(count["孙涛"], 1);
  int fewest = 99, most = 0;
  for (const auto& [name, n] : count)
    if (name != "徐静" && name != "孙涛") {
      fewest = std::min(fewest, n);
      most = std::max(most, n);
    }
  EXPECT_LE(most - fewest, 1) << "duties of teachers without 最多场数";
  // Two half-days of two sittings each: nobody spends a half-day on one
  // duty while the other sitting of it could be theirs too.
  std::map<std::string, int> halves;
  for (auto& t : data.rows("监考统计"))
    EXPECT_EQ(std::stoi(t["半天数"]), (std::stoi(t["场数"]) + 1) / 2) << t["姓名"];
  // Dates and times keep their values and formats.
  host::Worksheet& sheet = data.book().sheet("监考安排");
  EXPECT_EQ(sheet.cell_value(2, 3), host::Variant(45815.0));
  EXPECT_EQ(sheet.number_format(2, 3), "yyyy-mm-dd");
  EXPECT_EQ(sheet.number_format(2, 4), "h:mm");

  // 场次考场 holds them, and so does the arrangement's workbook of 场次 1;
  // the school's own file under 场次 2's name is left alone.
  for (auto& room : data.rows("场次考场"))
    EXPECT_FALSE(room["监考甲"].empty()) << room["场次"] << " " << room["考场"];
  host::Workbook& first = data.engine().workbook("场次（第1场）.xlsx");
  auto rooms = data.rows(first, "考场表");
  EXPECT_EQ(rooms[0]["监考甲"], data.rows("场次考场")[0]["监考甲"]);
  for (auto& e : data.rows(first, "考生表")) EXPECT_FALSE(e["监考甲"].empty());
  EXPECT_TRUE(contains(report.written.notices, "场次（第2场）.xlsx 不是场次编排写的工作簿"));
  EXPECT_TRUE(contains(report.written.notices, "场次（第3场）.xlsx"));
}

TEST(Invigilate, SameSeedSameRotaTypedNamesKeptFreshDrawsAnew) {
  auto rota = [](DataFolder& d) {
    std::string all;
    for (const Duty& x : duties_of(d)) all += x.sitting + x.room + x.teacher + ";";
    return all;
  };
  DataFolder a({"场次.xlsx"}), b({"场次.xlsx"});
  ASSERT_TRUE(a.run().done);
  ASSERT_TRUE(b.run().done);
  EXPECT_EQ(rota(a), rota(b));
  // Again on what it wrote: every name is now typed in and kept.
  InvigilationSettings other;
  other.seed = 99;
  const InvigilationReport again = a.run(other);
  ASSERT_TRUE(again.done);
  EXPECT_EQ(again.kept, again.duties);
  EXPECT_EQ(rota(a), rota(b));
  // A fresh rota from other seeds keeps none and differs for some seed.
  bool differs = false;
  for (uint64_t seed = 100; seed < 105 && !differs; ++seed) {
    InvigilationSettings fresh;
    fresh.fresh = true;
    fresh.seed = seed;
    const InvigilationReport r = a.run(fresh);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.kept, 0);
    differs = rota(a) != rota(b);
  }
  EXPECT_TRUE(differs);
}

TEST(Invigilate, ShortOfTeachersForAPaperSaysWhoAndWhatWouldHelpAndWritesNothing) {
  DataFolder data({"物理不够.xlsx"});
  const InvigilationReport report = data.run();
  EXPECT_FALSE(report.done);
  EXPECT_TRUE(contains(report.shortfall,
                       "第 3 场需要 24 名监考，可用 21 名：7 名教物理（本场考物理），缺 3 名"))
      << joined(report.shortfall);
  EXPECT_TRUE(contains(report.shortfall, "关掉“不监考本学科”这条规则")) << joined(report.shortfall);
  EXPECT_FALSE(data.book().modified());
  EXPECT_EQ(data.book().worksheets().count(), 6) << "no 监考安排, no 监考统计";
  EXPECT_TRUE(contains(ReportLines(report), "什么都没有写"));
  // The check before the work says the same.
  bool told = false;
  for (const InputProblem& p : CheckInvigilation(data.book(), Rules{}))
    told = told || (p.severity == Severity::Error &&
                    p.message.find("第 3 场需要 24 名监考") != std::string::npos);
  EXPECT_TRUE(told);
  // With the rule off it can be done.
  InvigilationSettings off;
  off.rules.own_subject = false;
  EXPECT_TRUE(data.run(off).done);
}

TEST(Invigilate, ARoomOfTheirOwnClassesAndLimitedDutiesAreExplained) {
  DataFolder classes({"班级不够.xlsx"});
  InvigilationReport report = classes.run();
  EXPECT_FALSE(report.done);
  EXPECT_TRUE(
      contains(report.shortfall,
               "考场 01 需要 2 名监考，可用 1 名：4 名任教这个考场里的班级（1班、2班），缺 1 名"))
      << joined(report.shortfall);
  EXPECT_TRUE(contains(report.shortfall, "关掉“不监考任教班级”这条规则"));

  DataFolder limited({"场数不够.xlsx"});
  report = limited.run();
  EXPECT_FALSE(report.done);
  EXPECT_TRUE(contains(report.shortfall,
                       "全部 4 场共需要 8 人次监考，按现在的条件最多只能安排 6 人次，缺 2 人次"
                       "（3 名老师有最多场数）"))
      << joined(report.shortfall);
  EXPECT_TRUE(contains(report.shortfall, "提高监考表里的最多场数"));
  EXPECT_TRUE(contains(report.shortfall, "把监考人数共减少 2 人次"));

  DataFolder required({"必监考冲突.xlsx"});
  report = required.run();
  EXPECT_FALSE(report.done);
  EXPECT_TRUE(
      contains(report.shortfall, "的必监考“5”无法安排：“5”还能安排 2 名监考，必监考它的却有 3 名"))
      << joined(report.shortfall);
}

TEST(Invigilate, MistakesInTheSheetsAreNamedByRowAllAtOnce) {
  DataFolder data({"填错了.xlsx"});
  const InvigilationReport report = data.run();
  EXPECT_FALSE(report.done);
  EXPECT_FALSE(data.book().modified());
  auto has = [&](const std::string& sheet, int32_t row, const std::string& text) {
    for (const InputProblem& p : report.problems)
      if (p.sheet == sheet && p.row == row && p.message.find(text) != std::string::npos)
        return true;
    return false;
  };
  const std::string all = joined(ReportLines(report));
  EXPECT_TRUE(has("监考表", 3, "最多场数要写 0 或正整数")) << all;
  EXPECT_TRUE(has("监考表", 5, "在第 2 行已经有了")) << all;
  EXPECT_TRUE(has("监考表", 4, "必监考“09”不是任何场次、科目或考场")) << all;
  EXPECT_TRUE(has("监考表", 6, "没有姓名")) << all;
  EXPECT_TRUE(has("考场表", 3, "“周敏”已经填在考场 01，同一场不能再监考考场 02")) << all;
  EXPECT_TRUE(has("考场表", 3, "监考人数是 2，却已经填了监考丙“王芳”")) << all;
}

}  // namespace
}  // namespace kelv::invigilation
