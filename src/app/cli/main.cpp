#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "app/cli/commands.h"
#include "app/sample/sample_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"kelv：考务编排与制表"};
  app.require_subcommand(1);
  kelv::cli::AddRunCommand(app);
  kelv::cli::AddDumpCommand(app);
  kelv::cli::AddPlayCommand(app);
  kelv::cli::AddPdfCommand(app);
  kelv::sample::AddSampleCommands(app);
  try {
    CLI11_PARSE(app, argc, argv);
  } catch (const std::exception& e) {
    // Whatever a command did not handle itself ends the program with a
    // message, not an abort.
    std::cerr << "kelv: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
