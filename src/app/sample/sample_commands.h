// The kelv subcommands of this folder: `kelv sample DIR [--examinees N]` and
// `kelv demo [DIR] [--examinees N]`.
#pragma once

#include <CLI/CLI.hpp>

namespace kelv::sample {

void add_sample_commands(CLI::App& app);

}  // namespace kelv::sample
