// The program's version, as `--version` prints it.
#pragma once

#include <string>

namespace kelv::app {

// "kelv 1.1.0"
std::string version_text();

}  // namespace kelv::app
