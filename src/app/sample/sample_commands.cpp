#include "app/sample/sample_commands.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/sample/demo.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "xlsx/xlsx_format.h"

namespace kelv::sample {
namespace {

// Runs a command body; a failure is printed as "kelv: ..." and ends with
// exit code 1.
template <class Body>
void guarded(Body&& body) {
  try {
    body();
  } catch (const host::HostError& e) {
    std::cerr << "kelv: " << e.description() << "\n";
    throw CLI::RuntimeError(1);
  } catch (const std::exception& e) {
    std::cerr << "kelv: " << e.what() << "\n";
    throw CLI::RuntimeError(1);
  }
}

// A folder that already holds a workspace: a workbook at its top or a data
// folder. Writing a sample there would replace the user's files.
std::string existing_workspace_file(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path root = host::file_path(dir);
  const fs::path data = root / host::file_path(sheets::kDataFolderName);
  if (fs::is_directory(data, ec)) return host::path_text(data);
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = host::path_text(it->path().extension());
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".xlsx" || ext == ".xlsm") return host::path_text(it->path());
  }
  return "";
}

void refuse_existing_workspace(const std::string& dir, bool force) {
  if (force || dir.empty()) return;
  const std::string found = existing_workspace_file(dir);
  if (!found.empty())
    throw std::runtime_error("文件夹 " + dir + " 中已有工作区（" + found +
                             "），示例会覆盖其中的文件。请换一个空文件夹，或加 --force 覆盖。");
}

}  // namespace

void add_sample_commands(CLI::App& app) {
  auto sample_dir = std::make_shared<std::string>();
  auto sample_count = std::make_shared<int32_t>(SampleOptions{}.examinees);
  CLI::App* sample = app.add_subcommand("sample", "写出示例工作区（宿主工作簿、数据、照片、帮助）");
  sample->add_option("DIR", *sample_dir, "工作区文件夹")->required();
  sample->add_option("--examinees", *sample_count, "考生人数")->check(CLI::Range(0, 1000000));
  auto sample_force = std::make_shared<bool>(false);
  sample->add_flag("--force", *sample_force, "文件夹中已有工作区时也写出（覆盖同名文件）");
  sample->callback([sample_dir, sample_count, sample_force] {
    guarded([&] {
      refuse_existing_workspace(*sample_dir, *sample_force);
      SampleOptions options;
      options.examinees = *sample_count;
      xlsx::XlsxFormat format;
      const SampleResult r = write_sample_workspace(*sample_dir, options, format);
      std::cout << "示例工作区：" << *sample_dir << "（考生 " << options.examinees << " 名，考场 "
                << r.rooms << " 个，照片 " << r.photos << " 张）\n";
    });
  });

  auto demo_dir = std::make_shared<std::string>();
  auto demo_count = std::make_shared<int32_t>(DemoOptions{}.examinees);
  CLI::App* demo = app.add_subcommand("demo", "在示例工作区上演示编排考号与生成全部表格");
  demo->add_option("DIR", *demo_dir, "工作区文件夹（缺省为新的临时文件夹）");
  demo->add_option("--examinees", *demo_count, "考生人数")->check(CLI::Range(1, 1000000));
  auto demo_seed = std::make_shared<std::optional<uint64_t>>();
  demo->add_option("--seed", *demo_seed, "固定的随机数种子（两次演示写出相同的考号）");
  auto demo_force = std::make_shared<bool>(false);
  demo->add_flag("--force", *demo_force, "文件夹中已有工作区时也写出（覆盖同名文件）");
  demo->callback([demo_dir, demo_count, demo_seed, demo_force] {
    int32_t error_boxes = 0;
    guarded([&] {
      refuse_existing_workspace(*demo_dir, *demo_force);
      DemoOptions options;
      if (!demo_dir->empty()) options.dir = *demo_dir;
      options.examinees = *demo_count;
      options.seed = *demo_seed;
      error_boxes = run_demo(options, std::cout);
    });
    if (error_boxes != 0) throw CLI::RuntimeError(1);
  });
}

}  // namespace kelv::sample
