#include "app/form/workspace.h"

#include <filesystem>

#include "app/core/repair_notice.h"
#include "app/core/scenario_runner.h"
#include "app/core/workbook_files.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string Workspace::host_workbook_path(const std::string& location) {
  std::error_code ec;
  const fs::path p = fs::absolute(fs::path(location), ec);
  if (fs::is_regular_file(p, ec)) return p.lexically_normal().string();
  if (!fs::is_directory(p, ec))
    throw host::HostError::host(host::kFileNotFound, "找不到工作区：" + location);
  try {
    const bool usual = fs::is_regular_file(p / kHostWorkbookName, ec);
    return app::find_host_workbook(
        p.lexically_normal().string(),
        usual ? std::optional<std::string>(kHostWorkbookName) : std::nullopt);
  } catch (const app::ScenarioError& e) {
    throw host::HostError::host(host::kFileNotFound, e.what());
  }
}

Workspace::Workspace(const std::string& location, host::Dialogs& dialogs,
                     std::optional<uint64_t> seed)
    : host_path_(host_workbook_path(location)),
      folder_(fs::path(host_path_).parent_path().string()),
      env_(seed ? host::SystemEnvironment(*seed) : host::SystemEnvironment()),
      form_(host::FormModel::standard_form()),
      engine_(std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>())),
      component_(std::make_unique<bridge::torb>(dialogs, env_)),
      saver_(std::make_unique<app::GuardedSaver>(app::backup_folder_of(host_path_))) {
  engine_->set_open_listener([this](const std::string& path) { saver_->files().remember(path); });
  // A damaged file, the host workbook or one the component opens, is
  // opened mended and the repairs shown.
  engine_->set_repair_listener([&dialogs](const spreadsheet::RepairReport& r) {
    dialogs.message_box(app::repair_notice(r), host::MessageButtons::Ok, host::MessageIcon::None,
                        "文件已修复");
  });
  engine_->open_host_workbook(host_path_);
}

Workspace::~Workspace() {
  // The form outlives nothing that listens to it.
  form_->set_listener(nullptr);
}

void Workspace::start() {
  component_->MyFunClick(*engine_, *form_, "UserFormInitialize");
  unsaved_ = false;
}

void Workspace::click(std::string_view event) {
  component_->MyFunClick(*engine_, *form_, event);
  if (event != "MyHelp") unsaved_ = true;
}

void Workspace::set(std::string_view control) {
  unsaved_ = true;
  component_->MyFunSet(*engine_, *form_, control);
}

std::string Workspace::file_of(host::Workbook& book) {
  return (fs::path(book.path()) / book.name()).string();
}

void Workspace::save(
    const std::function<app::ChangedChoice(const std::string&)>& ask,
    const std::function<std::string(const std::string&)>& new_name, app::SaveReport& report,
    const std::function<std::string(const std::string&, const std::string&)>& convert) {
  std::vector<host::Workbook*> books;
  for (int32_t i = 0; i < engine_->workbook_count(); ++i) books.push_back(&engine_->workbook_at(i));
  saver_->save(books, ask, new_name, report, convert);
  for (const auto& [from, to] : report.converted)
    app::adopt_converted(component_->state(), *form_, from, to);
  for (const std::string& path : report.reload)
    if (path != host_path_) app::reload_workbook(*engine_, path);
  if (report.cancelled.empty()) unsaved_ = false;
}

bool Workspace::settle_data_click(const std::function<app::ChangedChoice(const std::string&)>& ask,
                                  const std::function<std::string(const std::string&)>& new_name) {
  return app::settle_data_click(*saver_, *engine_, *form_, ask, new_name);
}

std::string Workspace::backup_folder() const {
  return saver_->backup_folder();
}

std::string Workspace::data_folder() const {
  return host::path_text(host::file_path(folder_) / host::file_path("数据"));
}

}  // namespace kelv::form
