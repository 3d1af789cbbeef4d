#include "app/core/version.h"

namespace kelv::app {

std::string version_text() {
  return std::string("kelv ") + KELV_VERSION;
}

}  // namespace kelv::app
