// The command line in Chinese: help texts, labels and the messages for a
// command line kelv cannot take.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace kelv::cli {

// Call on the main App before adding subcommands, which inherit it: help
// flag and labels in Chinese, --version, and failure messages translated.
void make_chinese(CLI::App& app);

// Call once every subcommand is added: their own group headings and those
// of the options they made before taking the Chinese defaults ("Subcommands",
// "Options") read 子命令 and 选项, all the way down.
void finish_chinese(CLI::App& app);

// The Chinese message for a parse failure (also used by tests).
std::string chinese_failure(const CLI::Error& e);

}  // namespace kelv::cli
