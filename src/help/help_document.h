// The help request: the help document "帮助.doc" kept beside the host
// workbook, shown in its own window.
#pragma once

#include "component/component.h"
#include "host/application.h"
#include "sheets/workspace_names.h"

namespace kelv::help {

inline constexpr const char* kHelpDocument = sheets::kHelpDocumentName;

// Opens EA.ThisWorkbook.Path & "\帮助.doc" in the document viewer and leaves
// it open. Every call opens it again; earlier windows stay. No trap of its
// own: a missing document (53) reaches the dispatcher's error box.
void OpenHelpDocument(component::Component& self, host::Application& EA);

}  // namespace kelv::help
