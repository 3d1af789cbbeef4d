#include "app/form/workspace.h"

#include "app/core/repair_notice.h"
#include "app/core/scenario.h"
#include "host/host_error.h"

namespace kelv::form {
namespace {

app::SessionOptions options_for(host::Dialogs& dialogs, std::optional<uint64_t> seed) {
  app::SessionOptions options;
  options.seed = seed;
  // A damaged file, the host workbook or one the component opens, is
  // opened mended and the repairs shown.
  options.on_repair = [&dialogs](const spreadsheet::RepairReport& r) {
    dialogs.message_box(app::repair_notice(r), host::MessageButtons::Ok, host::MessageIcon::None,
                        "文件已修复");
  };
  options.reload_host_in_engine = false;
  return options;
}

}  // namespace

std::string Workspace::host_workbook_path(const std::string& location) {
  try {
    return app::host_workbook_at(location);
  } catch (const app::ScenarioError& e) {
    throw host::HostError::host(host::kFileNotFound, e.what());
  }
}

Workspace::Workspace(const std::string& location, host::Dialogs& dialogs,
                     std::optional<uint64_t> seed)
    : app::Session(host_workbook_path(location), dialogs, options_for(dialogs, seed)) {}

}  // namespace kelv::form
