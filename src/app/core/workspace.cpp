#include "app/core/workspace.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/core/arrangement_state.h"
#include "app/core/cut_text_notes.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/format.h"
#include "sheets/sheet_lookup.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

std::string file_name_of(const std::string& path) {
  return host::path_text(host::file_path(path).filename());
}

// After a workbook read from another kind of file was saved as `to`: the
// component's data workbook is the new file when it was the old one, and
// the data list shows and selects the new file (no event is sent).
void adopt_converted(component::Component& self, host::FormModel& UF, const std::string& from,
                     const std::string& to) {
  const std::string old_name = file_name_of(from);
  const std::string new_name = file_name_of(to);
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

// Selects `name` in the data list; false when the list does not show it.
bool select_data_file(host::FormModel& UF, const std::string& name) {
  host::Control& list = UF.control("LtbBiao");
  const std::vector<std::string>& items = list.items();
  const auto at = std::find(items.begin(), items.end(), name);
  if (at == items.end()) return false;
  list.set_list_index(static_cast<int32_t>(at - items.begin()));
  return true;
}

// A workbook with a table on its first sheet and neither of the data
// workbook's two sheets: a list exported from another system.
bool is_plain_list(host::Workbook& book) {
  if (sheets::SheetExists(book.worksheets(), "考生表") ||
      sheets::SheetExists(book.worksheets(), "考场表") || book.sheet_count() == 0)
    return false;
  return book.sheet_at(0).current_region(1, 1).rows() >= 2;
}

}  // namespace

bool from_disabled_button(const host::FormModel& form, std::string_view event) {
  constexpr std::string_view kSuffix = "Click";
  if (event.size() <= kSuffix.size() || !event.ends_with(kSuffix)) return false;
  const std::string_view name = event.substr(0, event.size() - kSuffix.size());
  if (!form.has_control(name)) return false;
  for (const host::Control* c : form.controls())
    if (c->name() == name) return c->kind() == host::ControlKind::CommandButton && !c->enabled();
  return false;
}

std::vector<host::Workbook*> open_workbooks(host::Application& EA) {
  std::vector<host::Workbook*> books;
  host::Workbook& host_book = EA.this_workbook();
  books.push_back(&host_book);
  for (int32_t k = 0; k < EA.workbook_count(); ++k)
    if (&EA.workbook_at(k) != &host_book) books.push_back(&EA.workbook_at(k));
  return books;
}

host::Workbook* open_workbook_named(host::Application& EA, std::string_view name) {
  if (name.empty()) return nullptr;
  try {
    return &EA.workbook(name);
  } catch (const host::HostError&) {
    return nullptr;
  }
}

std::unique_ptr<spreadsheet::Engine> open_any_workbook(
    const std::string& path,
    const std::function<void(const spreadsheet::RepairReport&)>& on_repair) {
  auto engine = std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>());
  if (on_repair) engine->set_repair_listener(on_repair);
  try {
    engine->open_host_workbook(path);
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Unreadable,
                         "打不开工作簿“" + path + "”：" + e.description());
  }
  return engine;
}

Questions message_box_questions(host::Dialogs& dialogs,
                                const std::function<std::string(const std::string& path)>& shown,
                                CheckQuestion check) {
  Questions q;
  q.changed = [&dialogs, shown](const std::string& path) {
    return ask_changed_by_message_boxes(dialogs, path, shown(path));
  };
  q.new_name = [](const std::string& path) { return copy_name_beside(path); };
  q.convert = [&dialogs, shown](const std::string& source, const std::string& target) {
    return ask_convert_by_message_boxes(dialogs, target, shown(source), shown(target));
  };
  q.check = std::move(check);
  return q;
}

CheckQuestion check_by_message_box(host::Dialogs& dialogs) {
  return [&dialogs](const std::vector<Finding>& findings, const std::string& action) {
    int32_t errors = 0;
    std::string lines;
    for (const Finding& f : findings) {
      errors += f.severity == Severity::Error;
      lines += '\n';
      lines += finding_line(f);
    }
    std::string text = "开始";
    text += action;
    text += "之前检查数据，发现 ";
    text += std::to_string(errors);
    text += " 个错误、";
    text += std::to_string(findings.size() - static_cast<size_t>(errors));
    text += " 个提醒：";
    text += lines;
    if (errors > 0) {
      text += "\n\n有错误时";
      text += action;
      text += "会停下或得出错误的结果。";
    } else {
      text += "\n";
    }
    text += "是否仍然开始";
    text += action;
    text += "？";
    return dialogs.message_box(text, host::MessageButtons::YesNo, host::MessageIcon::None,
                               "检查数据") == host::MessageResult::Yes
               ? CheckChoice::Continue
               : CheckChoice::Cancel;
  };
}

Workspace::Workspace(const std::string& location, host::Dialogs& dialogs, WorkspaceOptions options)
    : folder_(WorkspaceFolder::locate(location, options.host_name)),
      options_(std::move(options)),
      dialogs_(dialogs),
      timed_(dialogs),
      files_(options_.file_system != nullptr ? *options_.file_system : host::FileSystem::system()),
      env_(options_.seed ? host::SystemEnvironment(*options_.seed) : host::SystemEnvironment()),
      saver_(options_.keep_backups ? folder_.backup_folder() : std::string(), files_),
      engine_(std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>(files_))),
      component_(std::make_unique<bridge::torb>(timed_, env_)) {
  engine_->set_open_listener([this](const std::string& path) { opened(path); });
  if (options_.on_repair) engine_->set_repair_listener(options_.on_repair);
  try {
    engine_->open_host_workbook(host_path());
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Unreadable,
                         "打不开宿主工作簿：" + std::string(e.what()));
  }
  // A roster or any other workbook without the settings sheet is no host
  // workbook: the component would fail at its first look-up.
  if (!sheets::SheetExists(engine_->this_workbook().worksheets(), "DTB"))
    throw WorkspaceError(WorkspaceError::Kind::NotAWorkspace,
                         "“" + folder_.host_name() +
                             "”不是 kelv 的宿主工作簿（没有设置表 DTB），所以“" + root() +
                             "”不是 kelv 工作区。可以在这里新建工作区，再把名单导入进来。");
  form_ = host::FormModel::standard_form(options_.seating ? options_.seating(*engine_)
                                                          : host::FormModel::SeatingControls::With);
}

Workspace::~Workspace() {
  // The form outlives nothing that listens to it.
  if (form_) form_->set_listener(nullptr);
}

void Workspace::opened(const std::string& path) {
  saver_.files().remember(path);
  for (std::string& warning : WorkspaceFolder::lock_warnings(path))
    warnings_.push_back(std::move(warning));
}

std::vector<std::string> Workspace::take_warnings() {
  return std::exchange(warnings_, {});
}

host::Workbook* Workspace::data_workbook() {
  host::Workbook* book = open_workbook_named(*engine_, component_->state().DataBookName);
  return book == &engine_->this_workbook() ? nullptr : book;
}

host::Workbook& Workspace::open_data_file(const std::string& name) {
  const fs::path given = host::file_path(name);
  const std::string path = given.is_absolute() ? name : folder_.data_file(name);
  if (host::Workbook* open = open_workbook_named(*engine_, file_name_of(path))) return *open;
  try {
    return engine_->open_workbook(path);
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Unreadable,
                         "打不开“" + file_name_of(path) + "”：" + e.description());
  }
}

std::vector<Finding> Workspace::check(host::Workbook& data) {
  return check_workspace(engine_->this_workbook(), data,
                         settings_from_host(engine_->this_workbook()), CheckPurpose::Both);
}

bool Workspace::settle_data_click(const Questions& questions) {
  host::Control& list = form_->control("LtbBiao");
  if (list.list_count() == 0 || !questions.changed) return true;
  const std::string name = list.list_index() >= 0 ? list.value().to_text() : list.items().front();
  host::Workbook* open = open_workbook_named(*engine_, name);
  if (open == nullptr || open == &engine_->this_workbook()) return true;
  const std::string path = file_of(*open);
  if (!saver_.files().changed_elsewhere(path)) return true;
  switch (questions.changed(path)) {
    case ChangedChoice::Reload:
      engine_->close_workbook(*open);
      saver_.files().forget(path);
      return true;
    case ChangedChoice::SaveAs: {
      std::string target = questions.new_name ? questions.new_name(path) : std::string();
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

bool Workspace::check_before(std::string_view event, const CheckQuestion& decide) {
  CheckPurpose purpose;
  if (event == "CmdDoKaoHaoClick")
    purpose = CheckPurpose::Assign;
  else if (event == "CmdDoYongBiaoClick")
    purpose = CheckPurpose::Generate;
  else
    return true;
  host::Workbook* data = data_workbook();
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

WorkReport Workspace::click(std::string_view event, const Questions& questions,
                            const std::function<void()>& sending) {
  using Clock = std::chrono::steady_clock;
  WorkReport report;
  report.event = std::string(event);
  report.long_work = is_long_work(event);
  if (from_disabled_button(*form_, event)) {
    report.gate = WorkReport::Gate::Disabled;
    return report;
  }
  if (event == "LtbBiaoClick" && !settle_data_click(questions)) {
    report.gate = WorkReport::Gate::ChangedElsewhere;
    return report;
  }
  if (questions.check && !check_before(event, questions.check)) {
    report.gate = WorkReport::Gate::CheckDeclined;
    return report;
  }
  // What generation reads, as the form shows it when the click is sent.
  const std::string template_name = form_->control("LtbMoBan").list_index() >= 0
                                        ? form_->control("LtbMoBan").value().to_text()
                                        : std::string();
  const host::Variant source = form_->control("ChbSJYuan").value();
  const bool examinee_source = source.is_bool() && source.as_bool();

  if (sending) sending();
  const int64_t errors_before = component_->state().error_boxes_shown;
  const Clock::time_point start = Clock::now();
  const int64_t waited_before = timed_.waited_ms();
  try {
    component_->MyFunClick(component_application_ ? *component_application_ : *engine_,
                           component_form_ ? *component_form_ : *form_, event);
  } catch (const std::exception&) {
    report.failure = std::current_exception();
  }
  // The work's own time: without the boxes that waited for the person.
  report.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() -
      (timed_.waited_ms() - waited_before);
  if (event != "UserFormInitialize" && event != "MyHelp") unsaved_ = true;
  if (report.long_work) {
    report.stopped = component_->state().error_boxes_shown != errors_before;
    const std::string& data = component_->state().DataBookName;
    if (!report.stopped && event == "CmdDoKaoHaoClick")
      report.summary = assignment_summary(*engine_, data);
    if (!report.stopped && event == "CmdDoYongBiaoClick") {
      report.summary = generation_summary(*engine_, data, template_name, examinee_source);
      report.made_nothing = report.summary.empty();
      // Tables are made from the numbers the arrangement writes.
      if (report.made_nothing) {
        host::Workbook* book = data_workbook();
        if (book != nullptr && !is_arranged(*book)) report.advice = "请先编排考号";
      }
      if (!report.made_nothing && !report.failure) report.notes = cut_text_notes(*engine_);
    }
  }
  report.warnings = take_warnings();
  return report;
}

namespace {

// The form's number boxes as the window labels them.
const char* number_box_label(std::string_view control) {
  static constexpr std::pair<std::string_view, const char*> kLabels[] = {
      {"TxtHang", "每页行数"},
      {"TxtLie", "每页列数"},
      {"TxtHJv", "行间距"},
      {"TxtLJv", "列间距"},
      {"TxtXHShu", "座号循环数"}};
  for (const auto& [name, label] : kLabels)
    if (name == control) return label;
  return nullptr;
}

}  // namespace

void Workspace::set(std::string_view control) {
  unsaved_ = true;
  try {
    component_->MyFunSet(component_application_ ? *component_application_ : *engine_,
                         component_form_ ? *component_form_ : *form_, control);
  } catch (const host::HostError& e) {
    // A number box holding no number: say which box and what it holds,
    // not the bare "(13)类型不匹配".
    const char* label = number_box_label(control);
    if (e.number() != host::kTypeMismatch || label == nullptr) throw;
    std::string text = "“";
    text += label;
    text += "”须是数字，现在填的是“";
    text += form_->control(std::string(control)).value().to_text();
    text += "”：这项设置没有保存，请改成数字。";
    throw host::HostError(e.source(), e.number(), text);
  }
}

bool Workspace::is_list(host::Workbook& book) {
  if (sheets::SheetExists(book.worksheets(), "考生表") ||
      sheets::SheetExists(book.worksheets(), "考场表"))
    return false;
  try {
    if (spreadsheet::Engine::model_of(book).from_other_format()) return true;
  } catch (const host::HostError&) {
    // A workbook of another application is read as that one reads it.
  }
  return is_plain_list(book);
}

std::optional<ListOffer> Workspace::list_offer() {
  // The list the data list selects, opened by the component and refused
  // for lacking the data workbook's sheets.
  host::Control& list = form_->control("LtbBiao");
  if (list.list_index() < 0) return std::nullopt;
  host::Workbook* book = open_workbook_named(*engine_, list.value().to_text());
  if (book == nullptr || book == &engine_->this_workbook() || !is_list(*book)) return std::nullopt;
  const spreadsheet::Workbook& model = spreadsheet::Engine::model_of(*book);
  ListOffer offer;
  if (model.from_other_format()) {
    offer.source = model.source_path;
    offer.target = spreadsheet::xlsx_path_for(model);
  } else {
    offer.source = file_of(*book);
    const fs::path p = host::file_path(offer.source);
    offer.target = host::path_text(p.parent_path() /
                                   host::file_path(host::path_text(p.stem()) + "（数据）.xlsx"));
  }
  std::error_code ec;
  offer.target_exists = fs::exists(host::file_path(offer.target), ec);
  return offer;
}

WorkReport Workspace::take_offer(const ListOffer& offer, const Questions& questions,
                                 const std::function<void()>& sending) {
  // The list was opened only to be refused; the data workbook made from its
  // file takes its place, and nothing of it is left to save.
  for (int32_t i = 0; i < engine_->workbook_count(); ++i) {
    host::Workbook& open = engine_->workbook_at(i);
    if (&open == &engine_->this_workbook()) continue;
    const spreadsheet::Workbook& model = spreadsheet::Engine::model_of(open);
    if (model.source_path == offer.source || file_of(open) == offer.source) {
      saver_.files().forget(file_of(open));
      engine_->close_workbook(open);
      break;
    }
  }
  ImportResult imported;
  try {
    keep_backup(offer.target, folder_.backup_folder(), std::chrono::system_clock::now(),
                kBackupsKept, files_);
    imported = import_data_file(offer.source, offer.target, true, files_);
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Failed, "无法做成数据工作簿：" + e.description());
  }
  refresh_data_list();
  if (!select_data_file(*form_, file_name_of(offer.target))) {
    WorkReport none;
    none.event = "LtbBiaoClick";
    return none;
  }
  WorkReport report = click("LtbBiaoClick", questions, sending);
  // What the list will show wrongly (digits a program dropped) comes first.
  report.warnings.insert(report.warnings.begin(), imported.warnings.begin(),
                         imported.warnings.end());
  return report;
}

bool Workspace::refresh_data_list() {
  host::Control& list = form_->control("LtbBiao");
  const std::string selected = list.list_index() >= 0 ? list.value().to_text() : std::string();
  // Listed as start-up lists them; names already shown keep their place.
  const std::vector<std::string> now = folder_.data_files();
  std::vector<std::string> names;
  for (const std::string& n : list.items())
    if (std::find(now.begin(), now.end(), n) != now.end()) names.push_back(n);
  for (const std::string& n : now)
    if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  if (names == list.items()) return false;
  list.clear();
  for (const std::string& n : names) list.add_item(host::Variant(n));
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == selected) list.set_list_index(static_cast<int32_t>(i));
  return true;
}

bool Workspace::host_changed_elsewhere() const {
  return saver_.files().changed_elsewhere(host_path());
}

void Workspace::save(const std::vector<host::Workbook*>& books, const Questions& questions,
                     SaveReport& report) {
  saver_.save(books, questions.changed, questions.new_name, report, questions.convert);
  for (const auto& [from, to] : report.converted)
    adopt_converted(component_->state(), *form_, from, to);
  for (const std::string& path : report.reload)
    if (options_.reload_host_in_engine || path != host_path()) reload_workbook(*engine_, path);
  // A workbook saved into the data folder that the data list lacks (one of
  // a 场次, a copy saved under a new name) is listed like the others.
  const std::vector<std::string>& listed = form_->control("LtbBiao").items();
  for (const std::string& path : report.saved) {
    if (!folder_.in_data_folder(path)) continue;
    const std::string name = host::path_text(host::file_path(path).filename());
    if (std::find(listed.begin(), listed.end(), name) == listed.end()) {
      refresh_data_list();
      break;
    }
  }
}

void Workspace::save_all(const Questions& questions, SaveReport& report) {
  save(open_workbooks(), questions, report);
  if (report.cancelled.empty()) unsaved_ = false;
}

void Workspace::restore(const Backup& backup) {
  folder_.restore(backup, files_);
}

}  // namespace kelv::app
