#include "app/sample/sample_commands.h"

#include <iostream>
#include <memory>
#include <string>

#include "app/sample/demo.h"
#include "app/sample/sample_workspace.h"
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

}  // namespace

void add_sample_commands(CLI::App& app) {
  auto sample_dir = std::make_shared<std::string>();
  auto sample_count = std::make_shared<int32_t>(SampleOptions{}.examinees);
  CLI::App* sample = app.add_subcommand("sample", "写出示例工作区（宿主工作簿、数据、照片、帮助）");
  sample->add_option("DIR", *sample_dir, "工作区文件夹")->required();
  sample->add_option("--examinees", *sample_count, "考生人数")->check(CLI::Range(0, 1000000));
  sample->callback([sample_dir, sample_count] {
    guarded([&] {
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
  demo->callback([demo_dir, demo_count, demo_seed] {
    int32_t error_boxes = 0;
    guarded([&] {
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
