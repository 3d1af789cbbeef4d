#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/chinese_cli.h"
#include "app/cli/commands.h"
#include "app/core/platform.h"
#include "app/sample/sample_commands.h"

int main(int argc, char** argv) {
  // Whatever a command did not handle itself ends the program with a
  // message, not an abort.
  try {
    kelv::app::prepare_console();
    // CLI11 reads the arguments as UTF-8 text.
    std::vector<std::string> args = kelv::app::utf8_arguments(argc, argv);
    std::vector<char*> utf8_argv;
    utf8_argv.reserve(args.size() + 1);
    for (std::string& a : args) utf8_argv.push_back(a.data());
    argc = static_cast<int>(utf8_argv.size());
    utf8_argv.push_back(nullptr);
    argv = utf8_argv.data();
    CLI::App app{"kelv：考务编排与制表", "kelv"};
    kelv::cli::make_chinese(app);
    app.require_subcommand(1);
    // A path starting with "/" is a path, not a Windows-style option.
    app.allow_windows_style_options(false);
    kelv::cli::add_run_command(app);
    kelv::cli::add_dump_command(app);
    kelv::cli::add_play_command(app);
    kelv::cli::add_pdf_command(app);
    kelv::cli::add_restore_command(app);
    kelv::cli::add_check_command(app);
    kelv::cli::add_import_command(app);
    kelv::cli::add_sessions_command(app);
    kelv::cli::add_invigilate_command(app);
    kelv::sample::add_sample_commands(app);
    kelv::cli::finish_chinese(app);
    CLI11_PARSE(app, argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "kelv: " << e.what() << "\n";
    return 1;
  } catch (...) {
    std::cerr << "kelv: 未知错误\n";
    return 1;
  }
  return 0;
}
