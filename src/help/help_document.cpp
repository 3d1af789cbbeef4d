#include "help/help_document.h"

#include <string>

namespace kelv::help {

void OpenHelpDocument(component::Component& self, host::Application& EA) {
  const std::string path = EA.this_workbook().path() + "\\" + kHelpDocument;
  self.dialogs.open_document(path);
}

}  // namespace kelv::help
