#include "invigilation/invigilate.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "invigilation/cell_words.h"
#include "invigilation/rota_check.h"
#include "invigilation/rota_solver.h"
#include "invigilation/shortfall.h"
#include "sheets/exam_sheets.h"
#include "sheets/settings_sheet.h"

namespace kelv::invigilation {
namespace {

constexpr const char* kStep = "安排监考";

bool rule_on(const host::Variant& v) {
  if (v.is_bool()) return v.as_bool();
  if (v.is_number()) return v.as_number() != 0;
  const std::string t = CellText(v);
  return !(t == "False" || t == "FALSE" || t == "false" || t == "否" || t == "0");
}

bool has_sheet(host::Workbook& book, std::string_view name) {
  for (int32_t i = 0; i < book.sheet_count(); ++i)
    if (book.sheet_at(i).name() == name) return true;
  return false;
}

uint64_t drawn_seed(host::Environment& env) {
  env.randomize();
  const auto part = [&env] { return static_cast<uint64_t>(std::floor(env.next_random() * 1e7)); };
  const uint64_t high = part();
  return high * 10000000ull + part() + 1;
}

std::string problem_line(const InputProblem& p) {
  std::string line = std::string("[") + (p.severity == Severity::Error ? "错误" : "提醒") + "] ";
  if (!p.sheet.empty()) line += p.sheet;
  if (p.row > 0) line += " 第 " + std::to_string(p.row) + " 行";
  if (!p.heading.empty()) line += " “" + p.heading + "”列";
  if (!p.value.empty()) line += " 值“" + p.value + "”";
  if (!p.sheet.empty() || p.row > 0 || !p.heading.empty() || !p.value.empty()) line += "：";
  return line + p.message;
}

}  // namespace

Rules RulesFromSettings(host::Workbook& host_book) {
  Rules rules;
  if (!has_sheet(host_book, sheets::kSettingsSheet)) return rules;
  host::Worksheet& dtb = host_book.sheet(sheets::kSettingsSheet);
  rules.own_subject =
      rule_on(dtb.cell_value(sheets::kInvigilationRuleRow, sheets::kOwnSubjectRuleColumn));
  rules.own_class =
      rule_on(dtb.cell_value(sheets::kInvigilationRuleRow, sheets::kOwnClassRuleColumn));
  return rules;
}

void StoreRules(host::Workbook& host_book, const Rules& rules) {
  host::Worksheet& dtb = host_book.worksheets().item(sheets::kSettingsSheet);
  dtb.cells(sheets::kInvigilationRuleRow, sheets::kOwnSubjectRuleColumn)
      .set_value(rules.own_subject);
  dtb.cells(sheets::kInvigilationRuleRow, sheets::kOwnClassRuleColumn).set_value(rules.own_class);
}

InvigilationReport Invigilate(host::Application& EA, host::Environment& env,
                              host::Workbook& data_book, const InvigilationSettings& settings,
                              const NewWorkbook& new_workbook) {
  InvigilationReport report;
  host::Progress& progress = EA.progress();
  progress.report(kStep, 0, 3);
  ReadOptions options;
  options.fresh = settings.fresh;
  options.rules = settings.rules;
  RotaInput in = ReadRota(data_book, options);
  report.problems = in.problems;
  if (!in.usable()) return report;
  report.seed = settings.seed ? *settings.seed : drawn_seed(env);
  progress.report(kStep, 1, 3);
  const SolveResult result = SolveRota(in.model, settings.rules, report.seed);
  if (!result.solved) {
    report.shortfall = ExplainShortfall(in.model, settings.rules, result);
    return report;
  }
  // Everything is known before the first cell changes; the writing below
  // only puts the rota into the workbooks. A rota that broke a rule would
  // be a fault of the solver: it is refused rather than written.
  const Rota& rota = result.rota;
  if (const std::vector<std::string> broken = RotaViolations(in.model, settings.rules, rota);
      !broken.empty()) {
    report.shortfall.push_back("kelv 排出的监考违反了规则（程序错误，请报告）：" + broken.front());
    return report;
  }
  progress.report(kStep, 2, 3);
  WriteRoomColumns(data_book, in, rota, report.written);
  WriteSessionBooks(EA, env, data_book, in, rota, report.written);
  WriteDutySlips(EA, env, data_book, in, rota, new_workbook, report.written);
  WriteDutySheets(data_book, in, rota, report.written);
  progress.report(kStep, 3, 3);

  const RotaModel& m = in.model;
  report.done = true;
  report.duties = m.total_need();
  report.kept = static_cast<int64_t>(m.fixed.size());
  report.sittings = m.sitting_count();
  report.rooms = m.room_count();
  report.repeated_rooms = rota.repeated_rooms;
  std::map<std::optional<int32_t>, GroupSpread> groups;
  for (int32_t t = 0; t < m.teacher_count(); ++t) {
    if (m.teachers[t].outside) continue;
    ++report.teachers;
    report.half_days += rota.half_days[t];
    GroupSpread& g = groups[m.teachers[t].max_duties];
    g.max_duties = m.teachers[t].max_duties;
    g.fewest = g.teachers == 0 ? rota.duties[t] : std::min(g.fewest, rota.duties[t]);
    g.most = std::max(g.most, rota.duties[t]);
    ++g.teachers;
  }
  for (const auto& [key, g] : groups) report.groups.push_back(g);
  return report;
}

std::vector<InputProblem> CheckInvigilation(host::Workbook& data_book, const Rules& rules) {
  if (!has_sheet(data_book, sheets::kInvigilatorSheet)) return {};
  ReadOptions options;
  options.rules = rules;
  RotaInput in = ReadRota(data_book, options);
  // Before 编排考号 or 场次编排 the rota has nothing to staff yet: that
  // is said, and is no mistake of the workbook.
  for (InputProblem& p : in.problems)
    if (p.earlier_step) p.severity = Severity::Notice;
  for (const InputProblem& p : in.problems)
    if (p.earlier_step) return std::move(in.problems);
  if (!in.usable()) return std::move(in.problems);
  const SolveResult result = SolveRota(in.model, rules, 1, false);
  if (!result.solved)
    for (const std::string& line : ExplainShortfall(in.model, rules, result))
      in.problems.push_back(
          {Severity::Error, sheets::kInvigilatorSheet, 0, "", "", "监考安排不出来：" + line});
  return std::move(in.problems);
}

std::vector<std::string> ReportLines(const InvigilationReport& report) {
  std::vector<std::string> lines;
  for (const InputProblem& p : report.problems) lines.push_back(problem_line(p));
  if (!report.shortfall.empty()) {
    lines.push_back("监考安排不出来，什么都没有写：");
    for (const std::string& s : report.shortfall) lines.push_back("  " + s);
    return lines;
  }
  if (!report.done) {
    lines.push_back("监考没有安排，什么都没有写：请先改正上面的错误");
    return lines;
  }
  std::string head = "已安排监考：";
  if (report.sittings > 1) head += std::to_string(report.sittings) + " 场，";
  head += std::to_string(report.rooms) + " 个考场，共 " + std::to_string(report.duties) + " 人次";
  if (report.kept > 0) head += "（已填的 " + std::to_string(report.kept) + " 人次照旧）";
  head += "，" + std::to_string(report.teachers) + " 名老师";
  lines.push_back(head);
  for (const GroupSpread& g : report.groups) {
    std::string line = "  " +
                       (g.max_duties ? "最多 " + std::to_string(*g.max_duties) + " 场的 "
                                     : std::string("不限场数的 ")) +
                       std::to_string(g.teachers) + " 名老师：";
    line += g.fewest == g.most
                ? "每人 " + std::to_string(g.most) + " 场"
                : "每人 " + std::to_string(g.fewest) + " 到 " + std::to_string(g.most) + " 场";
    if (g.most - g.fewest > 1) line += "（相差超过 1 场：有的老师受不监考或规则所限，排不满）";
    lines.push_back(line);
  }
  if (report.sittings > 1) {
    lines.push_back("  共用 " + std::to_string(report.half_days) +
                    " 个半天；同一位老师再进同一考场 " + std::to_string(report.repeated_rooms) +
                    " 次");
  }
  lines.push_back("  随机种子 " + std::to_string(report.seed) +
                  "（同样的数据用同一种子，排出同样的安排）");
  for (const std::string& place : report.written.places) lines.push_back("  写入 " + place);
  for (const std::string& n : report.written.notices) lines.push_back("[提醒] " + n);
  return lines;
}

}  // namespace kelv::invigilation
