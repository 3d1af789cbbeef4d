#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/sample/sample_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"kelv：考务编排与制表"};
  app.require_subcommand(1);
  kelv::cli::AddRunCommand(app);
  kelv::cli::AddDumpCommand(app);
  kelv::cli::AddPlayCommand(app);
  kelv::sample::AddSampleCommands(app);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
