// One open workspace behind the desktop form: the session every front end
// builds on, opened from a folder or a workbook the person chose, with
// damaged files' repairs shown in a box. Knows nothing of widgets, so tests
// can drive it directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/session.h"
#include "host/dialogs.h"

namespace kelv::form {

using app::kHostWorkbookName;

class Workspace : public app::Session {
 public:
  // Opens the host workbook at `location`: a workbook file, or a folder
  // holding 考务.xlsx (or else a single .xlsx/.xlsm at its top). Throws
  // host::HostError (53 when there is no host workbook, 1004 when it cannot
  // be read). A seed fixes the random sequence (tests). A host workbook the
  // person chose to read again after a save is left to the window, which
  // opens the workspace anew.
  Workspace(const std::string& location, host::Dialogs& dialogs,
            std::optional<uint64_t> seed = std::nullopt);

  // The host workbook file a location names; throws like the constructor.
  static std::string host_workbook_path(const std::string& location);
};

}  // namespace kelv::form
