// The subcommands of kelv. Each adds itself to the command line; its
// callback does the work and turns a failure into a message on standard
// error and exit code 1 (CommandFailed).
#pragma once

#include <CLI/CLI.hpp>
#include <string_view>

namespace kelv::cli {

// Prints "kelv: MESSAGE" to standard error and ends the command with exit code 1.
[[noreturn]] void CommandFailed(std::string_view message);

void AddRunCommand(CLI::App& app);   // kelv run WORKSPACE SCENARIO.json [--transcript FILE]
void AddDumpCommand(CLI::App& app);  // kelv dump FILE.xlsx [SHEET...]
void AddPlayCommand(CLI::App& app);
void AddPdfCommand(CLI::App& app);   // kelv pdf BOOK.xlsx [SHEET...] [-o OUT.pdf]  // kelv play WORKSPACE [--host NAME] [--seed N] [--no-viewer]

}  // namespace kelv::cli
