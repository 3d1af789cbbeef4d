#include "app/core/exam_work.h"

#include <chrono>
#include <exception>

#include "host/file_path.h"
#include "host/host_error.h"
#include "invigilation/invigilate.h"
#include "sessions/arrange_sessions.h"
#include "sessions/session_settings.h"
#include "sessions/suggest_timetable.h"
#include "spreadsheet/engine.h"

namespace kelv::app {
namespace {

using Clock = std::chrono::steady_clock;

int64_t since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The report of work that needs an open data workbook, or why it cannot
// start without one.
WorkReport begin(const char* work, host::Workbook*& data, Workspace& workspace) {
  WorkReport report;
  report.event = work;
  report.long_work = true;
  data = workspace.data_workbook();
  if (data == nullptr) {
    report.made_nothing = true;
    report.summary = "请先在“数据表”列表里点选数据工作簿";
  }
  return report;
}

void add_problems(WorkReport& report, const std::vector<sessions::Problem>& problems) {
  for (const sessions::Problem& p : problems) report.notes.push_back(problem_line(p));
}

}  // namespace

std::string problem_line(const sessions::Problem& p) {
  std::string where;
  auto part = [&where](const std::string& text) {
    if (!where.empty()) where += ' ';
    where += text;
  };
  if (!p.sheet.empty()) part(p.sheet);
  if (p.row > 0) part("第 " + std::to_string(p.row) + " 行");
  if (!p.heading.empty()) part("“" + p.heading + "”列");
  if (!p.value.empty()) part("值“" + p.value + "”");
  std::string line = p.level == sessions::ProblemLevel::Error ? "[错误] " : "[提醒] ";
  line += where;
  if (!where.empty()) line += "：";
  line += p.message;
  return line;
}

WorkReport arrange_sessions(Workspace& workspace, std::optional<uint64_t> seed) {
  host::Workbook* data = nullptr;
  WorkReport report = begin(kArrangeSessionsWork, data, workspace);
  if (data == nullptr) return report;
  const Clock::time_point start = Clock::now();
  sessions::ArrangeOptions options;
  options.seed = seed;
  sessions::SessionsReport done;
  try {
    done = sessions::ArrangeSessions(workspace.engine(), *data, options);
  } catch (const host::HostError& e) {
    // Stopped by the person, or a workbook that could not be written: what
    // was written before is in the open workbooks, unsaved.
    report.stopped = true;
    if (e.number() != host::kUserInterrupt) report.failure = std::current_exception();
    workspace.mark_unsaved();
    report.milliseconds = since(start);
    return report;
  }
  report.milliseconds = since(start);
  add_problems(report, done.problems);
  if (!done.written) {
    report.made_nothing = true;
    report.summary = "什么也没有写入，请先改正所列的错误";
    return report;
  }
  workspace.mark_unsaved();
  workspace.refresh_data_list();
  // The first line says what was done, in the status line; the others are
  // the details.
  const std::string text = sessions::SummaryText(done);
  const std::string done_prefix = "场次编排完成：";
  size_t from = 0;
  for (bool first = true; from <= text.size(); first = false) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    if (!first) {
      if (!line.empty()) report.notes.push_back(line);
      continue;
    }
    if (line.starts_with(done_prefix)) line.erase(0, done_prefix.size());
    if (line.ends_with("。")) line.resize(line.size() - std::string("。").size());
    report.summary = line;
  }
  return report;
}

WorkReport suggest_timetable(Workspace& workspace, host::Dialogs& dialogs) {
  host::Workbook* data = nullptr;
  WorkReport report = begin(kSuggestTimetableWork, data, workspace);
  if (data == nullptr) return report;
  const Clock::time_point start = Clock::now();
  const sessions::DraftTimetable draft = sessions::SuggestTimetable(*data);
  add_problems(report, draft.problems);
  report.milliseconds = since(start);
  if (sessions::HasErrors(draft.problems)) {
    report.made_nothing = true;
    report.summary = "拟不出场次表，请先改正所列的错误";
    return report;
  }
  if (!sessions::WriteTimetable(*data, draft, dialogs)) {
    report.made_nothing = true;
    report.summary = "保留了原来的场次表，没有改动";
    return report;
  }
  workspace.mark_unsaved();
  std::string text =
      "“场次表”草案 " + std::to_string(draft.sessions.size()) + " 场，请填上日期和时间";
  for (size_t s = 0; s < draft.sessions.size(); ++s) {
    std::string line = "第" + std::to_string(s + 1) + "场：";
    for (size_t k = 0; k < draft.sessions[s].size(); ++k) {
      if (k > 0) line += "、";
      line += draft.sessions[s][k].subject + " " + std::to_string(draft.sessions[s][k].examinees) +
              " 人";
    }
    report.notes.push_back(line);
  }
  report.summary = text;
  return report;
}

WorkReport invigilate(Workspace& workspace, host::Workbook& data, std::optional<uint64_t> seed,
                      bool fresh) {
  WorkReport report;
  report.event = kInvigilateWork;
  report.long_work = true;
  const Clock::time_point start = Clock::now();
  invigilation::InvigilationSettings settings;
  settings.rules = invigilation::RulesFromSettings(workspace.engine().this_workbook());
  settings.fresh = fresh;
  settings.seed = seed;
  spreadsheet::Engine& engine = workspace.engine();
  invigilation::InvigilationReport done;
  try {
    done = invigilation::Invigilate(engine, workspace.environment(), data, settings,
                                    [&engine](const std::string& path) {
                                      return &engine.add_workbook(host::native_path(path));
                                    });
  } catch (const host::HostError& e) {
    report.stopped = true;
    if (e.number() != host::kUserInterrupt) report.failure = std::current_exception();
    workspace.mark_unsaved();
    report.milliseconds = since(start);
    return report;
  }
  report.milliseconds = since(start);
  report.notes = invigilation::ReportLines(done);
  if (!done.done) {
    report.made_nothing = true;
    report.summary = "什么都没有写，原因见所列各条";
    return report;
  }
  workspace.mark_unsaved();
  const std::string head = "已安排监考：";
  for (const std::string& line : report.notes)
    if (line.starts_with(head)) report.summary = line.substr(head.size());
  return report;
}

invigilation::Rules rota_rules(Workspace& workspace) {
  return invigilation::RulesFromSettings(workspace.engine().this_workbook());
}

void set_rota_rules(Workspace& workspace, const invigilation::Rules& rules) {
  invigilation::StoreRules(workspace.engine().this_workbook(), rules);
  workspace.mark_unsaved();
}

void set_keep_combinations(Workspace& workspace, bool keep) {
  sessions::SetKeepCombinations(workspace.engine().this_workbook(), keep);
  workspace.mark_unsaved();
}

bool keeps_combinations(Workspace& workspace) {
  return sessions::KeepCombinations(workspace.engine().this_workbook());
}

}  // namespace kelv::app
