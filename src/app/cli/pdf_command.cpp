#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/terminal_progress.h"
#include "host/host_error.h"
#include "print/print_job.h"
#include "readers/format.h"
#ifdef KELV_HAVE_PDF
#include "host/file_path.h"
#include "print/qt/pdf_export.h"
#endif

namespace kelv::cli {

void add_pdf_command(CLI::App& app) {
  struct Options {
    std::string book, out;
    std::vector<std::string> sheets;
  };
  auto options = std::make_shared<Options>();
  CLI::App* pdf = app.add_subcommand("pdf", "把工作表按页面设置打印成 PDF 文件");
  pdf->add_option("BOOK", options->book, "工作簿（.xlsx 或 .xlsm）")->required();
  pdf->add_option("SHEET", options->sheets, "工作表名（默认全部可见的表，按标签顺序）");
  pdf->add_option("-o,--output", options->out, "PDF 文件（默认与工作簿同名，扩展名 .pdf）");
  pdf->callback([options] {
#ifndef KELV_HAVE_PDF
    command_failed("这个 kelv 没有带 PDF 输出（编译时没有 Qt）");
#else
    std::unique_ptr<spreadsheet::Workbook> book;
    try {
      book = readers::read_any(options->book);
    } catch (const host::HostError& e) {
      command_failed("读不了工作簿：" + e.description());
    }
    std::vector<int32_t> sheets;
    try {
      sheets = print::sheets_to_print(*book, options->sheets);
    } catch (const std::invalid_argument& e) {
      command_failed(e.what());
    }
    std::string out = options->out;
    if (out.empty())
      out = host::path_text(host::file_path(options->book).replace_extension(".pdf"));
    std::error_code same;
    if (std::filesystem::equivalent(host::file_path(out), host::file_path(options->book), same))
      command_failed("PDF 文件不能写在工作簿本身上：" + out);

    const print::PrintJob job(*book, sheets);
    for (const std::string& note : job.notes()) std::cerr << "注意：" << note << "\n";
    if (const std::string warning = print::font_warning(); !warning.empty())
      std::cerr << "注意：" << warning << "\n";
    for (const std::string& note : print::font_notes(job)) std::cerr << "注意：" << note << "\n";
    // On a terminal, the pages written so far on a progress line, and a
    // line for every sheet as it is finished.
    const bool terminal = app::standard_error_is_terminal();
    app::TerminalProgress line(std::cerr, terminal);
    auto progress = [&](const print::JobProgress& p) {
      line.report("写出 PDF", p.done, p.total);
      if (terminal && p.sheet_done) {
        line.finish();
        const print::SheetLayout& l = job.sheets()[static_cast<size_t>(p.sheet)];
        std::cerr << "  " << book->sheets[static_cast<size_t>(l.sheet_index)]->name << "："
                  << l.pages.size() << " 页（" << p.done << "/" << p.total << "）" << std::endl;
      }
      return true;
    };
    try {
      print::write_pdf(job, out, progress);
    } catch (const std::exception& e) {
      command_failed(e.what());
    }
    std::cout << "已写出 " << out << "：" << job.sheets().size() << " 张工作表，共 "
              << job.page_count() << " 页\n";
#endif
  });
}

}  // namespace kelv::cli
