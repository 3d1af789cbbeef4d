// The subcommands of kelv. Each adds itself to the command line; its
// callback does the work and turns a failure into a message on standard
// error and exit code 1 (command_failed).
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <string_view>

#include "app/core/workspace.h"
#include "host/dialogs.h"

namespace kelv::cli {

// Prints "kelv: MESSAGE" to standard error and ends the command with exit code 1.
[[noreturn]] void command_failed(std::string_view message);

// Opens the workspace at `location` for a command, the repairs of damaged
// files printed; a location that is no workspace ends the command with
// what is wrong.
std::unique_ptr<app::Workspace> open_workspace(const std::string& location, host::Dialogs& dialogs,
                                               app::WorkspaceOptions options = {});

// kelv run WORKSPACE SCENARIO.json [--transcript FILE]
void add_run_command(CLI::App& app);
// kelv dump FILE.xlsx [SHEET...]
void add_dump_command(CLI::App& app);
// kelv play WORKSPACE [--host NAME] [--seed N] [--no-viewer]
void add_play_command(CLI::App& app);
// kelv pdf BOOK.xlsx [SHEET...] [-o OUT.pdf]
void add_pdf_command(CLI::App& app);
// kelv check WORKSPACE [DATA] [--fix]
void add_check_command(CLI::App& app);
// kelv restore WORKSPACE [N]
void add_restore_command(CLI::App& app);
// kelv import FILE [--output OUT.xlsx] [--force]
void add_import_command(CLI::App& app);
// kelv sessions WORKSPACE [DATA] [--seed N] [--suggest] [--keep-combinations yes|no]
void add_sessions_command(CLI::App& app);
// kelv invigilate WORKSPACE [DATA] [--seed N] [--fresh] [--own-subject yes|no]
//                 [--own-classes yes|no]
void add_invigilate_command(CLI::App& app);

}  // namespace kelv::cli
