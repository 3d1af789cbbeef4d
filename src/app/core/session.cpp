#include "app/core/session.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <utility>

#include "app/core/scenario.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

// The data workbook the component works on, when kelv has it open.
host::Workbook* data_workbook(spreadsheet::Engine& engine, const std::string& name) {
  if (name.empty()) return nullptr;
  for (int32_t i = 0; i < engine.workbook_count(); ++i)
    if (engine.workbook_at(i).name() == name) return &engine.workbook_at(i);
  return nullptr;
}

// After a workbook read from another kind of file was saved as `to`: the
// component's data workbook is the new file when it was the old one, and
// the data list shows and selects the new file (no event is sent).
void adopt_converted(component::Component& self, host::FormModel& UF, const std::string& from,
                     const std::string& to) {
  const std::string old_name = host::path_text(host::file_path(from).filename());
  const std::string new_name = host::path_text(host::file_path(to).filename());
  if (self.DataBookName == old_name) self.DataBookName = new_name;
  if (!UF.has_control("LtbBiao")) return;
  host::Control& list = UF.control("LtbBiao");
  const std::vector<std::string>& items = list.items();
  auto at = std::find(items.begin(), items.end(), new_name);
  if (at == items.end()) {
    list.add_item(host::Variant(new_name));
    at = std::find(list.items().begin(), list.items().end(), new_name);
  }
  list.set_list_index(static_cast<int32_t>(at - list.items().begin()));
}

}  // namespace

bool is_workbook_file(const fs::path& p) {
  std::string ext = host::path_text(p.extension());
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::string name = host::path_text(p.filename());
  return (ext == ".xlsx" || ext == ".xlsm") && !name.starts_with("~$") && !name.starts_with(".");
}

std::string find_host_workbook(const std::string& workspace,
                               const std::optional<std::string>& named) {
  const fs::path root = host::file_path(workspace);
  std::error_code ec;
  if (named) {
    const fs::path p = root / host::file_path(*named);
    if (!fs::is_regular_file(p, ec)) throw ScenarioError("工作区中没有宿主工作簿 " + *named);
    return host::path_text(p);
  }
  std::vector<fs::path> found;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2) && is_workbook_file(it->path())) found.push_back(it->path());
  }
  if (found.empty()) throw ScenarioError("工作区顶层没有 .xlsx 或 .xlsm 工作簿：" + workspace);
  if (found.size() > 1) {
    std::string names;
    for (const auto& p : found)
      names += (names.empty() ? "" : "、") + host::path_text(p.filename());
    throw ScenarioError("工作区顶层有多个工作簿（" + names + "），请在场景中用 \"host\" 指明");
  }
  return host::path_text(found.front());
}

std::string workspace_root(const std::string& workspace) {
  std::error_code ec;
  const fs::path folder = host::file_path(workspace);
  if (!fs::is_directory(folder, ec)) throw ScenarioError("找不到工作区：" + workspace);
  return host::path_text(fs::weakly_canonical(fs::absolute(folder)));
}

std::string host_workbook_at(const std::string& location) {
  std::error_code ec;
  std::string p = host::absolute_path_text(location);
  if (fs::is_regular_file(host::file_path(p), ec)) return p;
  if (!fs::is_directory(host::file_path(p), ec)) throw ScenarioError("找不到工作区：" + location);
  const bool usual =
      fs::is_regular_file(host::file_path(p) / host::file_path(kHostWorkbookName), ec);
  return find_host_workbook(p,
                            usual ? std::optional<std::string>(kHostWorkbookName) : std::nullopt);
}

std::string backup_folder_of(const std::string& host_path) {
  return host::path_text(host::file_path(host_path).parent_path() /
                         host::file_path(kBackupFolderName));
}

std::unique_ptr<spreadsheet::Engine> open_host_workbook(
    const std::string& host_path,
    const std::function<void(const spreadsheet::RepairReport&)>& on_repair) {
  auto engine = std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>());
  if (on_repair) engine->set_repair_listener(on_repair);
  try {
    engine->open_host_workbook(host_path);
  } catch (const host::HostError& e) {
    throw ScenarioError("打不开宿主工作簿：" + std::string(e.what()));
  }
  return engine;
}

std::vector<host::Workbook*> open_workbooks(host::Application& EA) {
  std::vector<host::Workbook*> books;
  host::Workbook& host_book = EA.this_workbook();
  books.push_back(&host_book);
  for (int32_t k = 0; k < EA.workbook_count(); ++k)
    if (&EA.workbook_at(k) != &host_book) books.push_back(&EA.workbook_at(k));
  return books;
}

Questions message_box_questions(host::Dialogs& dialogs,
                                const std::function<std::string(const std::string& path)>& shown) {
  Questions q;
  q.changed = [&dialogs, shown](const std::string& path) {
    return ask_changed_by_message_boxes(dialogs, path, shown(path));
  };
  q.new_name = [](const std::string& path) { return copy_name_beside(path); };
  q.convert = [&dialogs, shown](const std::string& source, const std::string& target) {
    return ask_convert_by_message_boxes(dialogs, target, shown(source), shown(target));
  };
  return q;
}

Session::Session(const std::string& host_path, host::Dialogs& dialogs, SessionOptions options)
    : host_path_(host_path),
      folder_(host::path_text(host::file_path(host_path).parent_path())),
      options_(std::move(options)),
      dialogs_(dialogs),
      env_(options_.seed ? host::SystemEnvironment(*options_.seed) : host::SystemEnvironment()),
      saver_(options_.keep_backups ? backup_folder_of(host_path) : std::string()),
      engine_(std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>())),
      component_(std::make_unique<bridge::torb>(dialogs, env_)) {
  engine_->set_open_listener([this](const std::string& path) { saver_.files().remember(path); });
  if (options_.on_repair) engine_->set_repair_listener(options_.on_repair);
  engine_->open_host_workbook(host_path_);
  form_ = host::FormModel::standard_form(options_.seating ? options_.seating(*engine_)
                                                          : host::FormModel::SeatingControls::With);
}

Session::~Session() {
  // The form outlives nothing that listens to it.
  form_->set_listener(nullptr);
}

std::unique_ptr<Session> open_session(const std::string& host_path, host::Dialogs& dialogs,
                                      SessionOptions options) {
  try {
    return std::make_unique<Session>(host_path, dialogs, std::move(options));
  } catch (const host::HostError& e) {
    throw ScenarioError("打不开宿主工作簿：" + std::string(e.what()));
  }
}

std::string Session::backup_folder() const {
  return backup_folder_of(host_path_);
}

std::string Session::data_folder() const {
  return host::path_text(host::file_path(folder_) / host::file_path("数据"));
}

std::vector<std::string> Session::lock_warnings() const {
  std::vector<std::string> warnings;
  for (const std::string& lock : lock_files_of(host_path_))
    warnings.push_back(lock_warning(host_path_, lock));
  return warnings;
}

Session::Gate Session::gate(std::string_view event, const Questions& questions) {
  if (event == "LtbBiaoClick" && !settle_data_click(questions)) return Gate::ChangedElsewhere;
  if (questions.check && !check_before(event, questions.check)) return Gate::CheckDeclined;
  return Gate::Send;
}

bool Session::settle_data_click(const Questions& questions) {
  host::Control& list = form_->control("LtbBiao");
  if (list.list_count() == 0) return true;
  const std::string name = list.list_index() >= 0 ? list.value().to_text() : list.items().front();
  host::Workbook* open = nullptr;
  for (int32_t i = 0; i < engine_->workbook_count() && open == nullptr; ++i)
    if (engine_->workbook_at(i).name() == name &&
        &engine_->workbook_at(i) != &engine_->this_workbook())
      open = &engine_->workbook_at(i);
  if (open == nullptr) return true;
  const std::string path = file_of(*open);
  if (!saver_.files().changed_elsewhere(path)) return true;
  switch (questions.changed(path)) {
    case ChangedChoice::Reload:
      engine_->close_workbook(*open);
      saver_.files().forget(path);
      return true;
    case ChangedChoice::SaveAs: {
      std::string target = questions.new_name(path);
      if (target.empty()) return false;
      SaveReport report;
      saver_.save(
          {open}, [](const std::string&) { return ChangedChoice::SaveAs; },
          [&](const std::string&) { return target; }, report);
      return true;
    }
    case ChangedChoice::Cancel:
      break;
  }
  return false;
}

bool Session::check_before(std::string_view event, const CheckQuestion& decide) {
  CheckPurpose purpose;
  if (event == "CmdDoKaoHaoClick")
    purpose = CheckPurpose::Assign;
  else if (event == "CmdDoYongBiaoClick")
    purpose = CheckPurpose::Generate;
  else
    return true;
  host::Workbook* data = data_workbook(*engine_, component_->state().DataBookName);
  if (data == nullptr) return true;
  for (;;) {
    std::vector<Finding> findings;
    try {
      findings =
          check_workspace(engine_->this_workbook(), *data, settings_from_form(*form_), purpose);
    } catch (const std::exception&) {
      // A check that cannot read the workbook leaves the run to report it.
      return true;
    }
    if (findings.empty()) return true;
    const CheckChoice choice = decide(findings, long_work_name(event));
    if (choice != CheckChoice::Mend) return choice == CheckChoice::Continue;
    try {
      if (apply_mends(*data, findings) > 0) mark_unsaved();
    } catch (const std::exception& e) {
      dialogs_.message_box(std::string("修正失败：") + e.what(), host::MessageButtons::Ok,
                           host::MessageIcon::Critical, "错误");
      return false;
    }
  }
}

WorkReport Session::click(std::string_view event) {
  using Clock = std::chrono::steady_clock;
  WorkReport report;
  report.event = std::string(event);
  report.long_work = is_long_work(event);
  const int64_t errors_before = component_->state().error_boxes_shown;
  const Clock::time_point start = Clock::now();
  try {
    component_->MyFunClick(*engine_, *form_, event);
  } catch (const std::exception&) {
    report.failure = std::current_exception();
  }
  report.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  if (event != "UserFormInitialize" && event != "MyHelp") unsaved_ = true;
  if (report.long_work) {
    report.stopped = component_->state().error_boxes_shown != errors_before;
    if (!report.stopped && event == "CmdDoKaoHaoClick")
      report.summary = assignment_summary(*engine_, component_->state().DataBookName);
  }
  return report;
}

void Session::set(std::string_view control) {
  unsaved_ = true;
  component_->MyFunSet(*engine_, *form_, control);
}

void Session::save(const std::vector<host::Workbook*>& books, const Questions& questions,
                   SaveReport& report) {
  saver_.save(books, questions.changed, questions.new_name, report, questions.convert);
  for (const auto& [from, to] : report.converted)
    adopt_converted(component_->state(), *form_, from, to);
  for (const std::string& path : report.reload)
    if (options_.reload_host_in_engine || path != host_path_) reload_workbook(*engine_, path);
}

void Session::save_all(const Questions& questions, SaveReport& report) {
  save(open_workbooks(), questions, report);
  if (report.cancelled.empty()) unsaved_ = false;
}

}  // namespace kelv::app
