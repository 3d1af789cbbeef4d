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
void Guarded(Body&& body) {
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

void AddSampleCommands(CLI::App& app) {
  auto sampleDir = std::make_shared<std::string>();
  auto sampleCount = std::make_shared<int32_t>(SampleOptions{}.examinees);
  CLI::App* sample = app.add_subcommand("sample", "写出示例工作区（宿主工作簿、数据、照片、帮助）");
  sample->add_option("DIR", *sampleDir, "工作区文件夹")->required();
  sample->add_option("--examinees", *sampleCount, "考生人数")->check(CLI::Range(0, 1000000));
  sample->callback([sampleDir, sampleCount] {
    Guarded([&] {
      SampleOptions options;
      options.examinees = *sampleCount;
      xlsx::XlsxFormat format;
      const SampleResult r = WriteSampleWorkspace(*sampleDir, options, format);
      std::cout << "示例工作区：" << *sampleDir << "（考生 " << options.examinees << " 名，考场 "
                << r.rooms << " 个，照片 " << r.photos << " 张）\n";
    });
  });

  auto demoDir = std::make_shared<std::string>();
  auto demoCount = std::make_shared<int32_t>(DemoOptions{}.examinees);
  CLI::App* demo = app.add_subcommand("demo", "在示例工作区上演示编排考号与生成全部表格");
  demo->add_option("DIR", *demoDir, "工作区文件夹（缺省为新的临时文件夹）");
  demo->add_option("--examinees", *demoCount, "考生人数")->check(CLI::Range(1, 1000000));
  auto demoSeed = std::make_shared<std::optional<uint64_t>>();
  demo->add_option("--seed", *demoSeed, "固定的随机数种子（两次演示写出相同的考号）");
  demo->callback([demoDir, demoCount, demoSeed] {
    int32_t errorBoxes = 0;
    Guarded([&] {
      DemoOptions options;
      if (!demoDir->empty()) options.dir = *demoDir;
      options.examinees = *demoCount;
      options.seed = *demoSeed;
      errorBoxes = RunDemo(options, std::cout);
    });
    if (errorBoxes != 0) throw CLI::RuntimeError(1);
  });
}

}  // namespace kelv::sample
