#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/scenario.h"
#include "app/core/sheet_dumps.h"

namespace kelv::cli {

void add_dump_command(CLI::App& app) {
  struct Options {
    std::string file;
    std::vector<std::string> sheets;
  };
  auto options = std::make_shared<Options>();
  CLI::App* dump = app.add_subcommand("dump", "打印工作表的文本转储（用于比对）");
  dump->add_option("FILE", options->file, "工作簿（.xlsx 或 .xlsm）")->required();
  dump->add_option("SHEET", options->sheets, "工作表名（默认全部）");
  dump->callback([options] {
    try {
      app::dump_sheets(options->file, options->sheets, std::cout);
    } catch (const app::WorkspaceError& e) {
      command_failed(e.what());
    }
  });
}

}  // namespace kelv::cli
