// The subcommands of kelv. Each adds itself to the command line; its
// callback does the work and turns a failure into a message on standard
// error and exit code 1 (command_failed).
#pragma once

#include <CLI/CLI.hpp>
#include <string_view>

namespace kelv::cli {

// Prints "kelv: MESSAGE" to standard error and ends the command with exit code 1.
[[noreturn]] void command_failed(std::string_view message);

void add_run_command(CLI::App& app);   // kelv run WORKSPACE SCENARIO.json [--transcript FILE]
void add_dump_command(CLI::App& app);  // kelv dump FILE.xlsx [SHEET...]
void add_play_command(CLI::App& app);
void add_import_command(CLI::App& app);  // kelv import FILE [--output OUT.xlsx] [--force]
void add_pdf_command(CLI::App& app);     // kelv pdf BOOK.xlsx [SHEET...] [-o OUT.pdf]  // kelv play
                                         // WORKSPACE [--host NAME] [--seed N] [--no-viewer]

}  // namespace kelv::cli
