#include "app/cli/chinese_cli.h"

#include <regex>
#include <vector>

#include "app/core/version.h"

namespace kelv::cli {
namespace {

std::string translate(const std::string& m) {
  std::smatch g;
  if (m == "A subcommand is required" || std::regex_search(m, std::regex("^Requires at least")))
    return "缺少子命令";
  if (std::regex_match(m, g, std::regex("(.*) is required"))) return "缺少必需的参数 " + g[1].str();
  if (std::regex_match(m, g, std::regex("The following arguments? (was|were) not expected: (.*)")))
    return "不认识的参数：" + g[2].str();
  if (std::regex_match(m, g, std::regex("(.*): (\\d+) required (.*) missing")))
    return "参数 " + g[1].str() + " 缺少取值";
  if (std::regex_match(m, g, std::regex("(.*): Value (.*) not in range (.*) to (.*)")))
    return "参数 " + g[1].str() + " 的值 " + g[2].str() + " 不在 " + g[3].str() + " 到 " +
           g[4].str() + " 之间";
  if (std::regex_search(m, g, std::regex("Could not convert: (.*) = (.*)")))
    return "参数 " + g[1].str() + " 的值“" + g[2].str() + "”无法识别";
  if (std::regex_search(m, g, std::regex("^(.*): (.*) does not exist")))
    return "参数 " + g[1].str() + " 指的文件不存在：" + g[2].str();
  return "命令行有误：" + m;
}

void chinese_groups(CLI::App& app) {
  for (CLI::Option* o : app.get_options())
    if (o->get_group() == "Options" || o->get_group() == "OPTIONS") o->group("选项");
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    if (sub->get_group() == "Subcommands") sub->group("子命令");
    chinese_groups(*sub);
  }
}

}  // namespace

void finish_chinese(CLI::App& app) {
  chinese_groups(app);
}

std::string chinese_failure(const CLI::Error& e) {
  return translate(e.what());
}

void make_chinese(CLI::App& app) {
  app.option_defaults()->group("选项");
  app.set_help_flag("-h,--help", "显示帮助并退出");
  app.set_version_flag("--version", app::version_text(), "显示版本并退出");
  auto formatter = app.get_formatter();
  formatter->label("Usage", "用法");
  formatter->label("OPTIONS", "选项");
  formatter->label("Options", "选项");
  formatter->label("SUBCOMMAND", "子命令");
  formatter->label("SUBCOMMANDS", "子命令");
  formatter->label("Subcommands", "子命令");
  formatter->label("Positionals", "位置参数");
  formatter->label("POSITIONALS", "位置参数");
  formatter->label("REQUIRED", "必需");
  formatter->label("TEXT", "文本");
  formatter->label("INT", "整数");
  formatter->label("UINT", "非负整数");
  formatter->label("FLOAT", "数");
  formatter->label("Needs", "需要");
  formatter->label("Excludes", "不可同用");
  formatter->label("Env", "环境变量");
  app.failure_message([](const CLI::App* a, const CLI::Error& e) {
    // The command's names from the program down, as typed.
    std::vector<std::string> names;
    for (const CLI::App* p = a; p != nullptr; p = p->get_parent()) names.push_back(p->get_name());
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
      if (!path.empty()) path += ' ';
      path += *name;
    }
    return "kelv: " + chinese_failure(e) + "\n运行 " + (path.empty() ? "kelv" : path) +
           " --help 查看用法。\n";
  });
}

}  // namespace kelv::cli
