#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/terminal_progress.h"
#include "app/core/workspace_folder.h"
#include "host/host_error.h"
#include "print/print_job.h"
#include "readers/format.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#ifdef KELV_HAVE_PDF
#include "host/file_path.h"
#include "print/qt/pdf_export.h"
#endif

namespace kelv::cli {
namespace {

// 考生表 and 考场表: the lists of a data workbook, whose long rows would
// print as strips of columns.
[[maybe_unused]] bool is_list_sheet(std::string_view name) {
  return name == sheets::kExamineeSheet || name == sheets::kRoomSheet;
}

// Without sheet names, a data workbook prints the tables generated in it:
// its visible sheets other than its lists. Other workbooks print every
// visible sheet.
[[maybe_unused]] std::vector<std::string> generated_tables(const spreadsheet::Workbook& book) {
  bool data_book = false;
  for (const auto& s : book.sheets) data_book = data_book || is_list_sheet(s->name);
  std::vector<std::string> names;
  if (!data_book) return names;
  for (const auto& s : book.sheets) {
    if (s->visibility != spreadsheet::Visibility::Visible) continue;
    if (is_list_sheet(s->name)) continue;
    names.push_back(s->name);
  }
  return names;
}

}  // namespace

void add_pdf_command(CLI::App& app) {
  struct Options {
    std::string book, out;
    std::vector<std::string> sheets;
  };
  auto options = std::make_shared<Options>();
  CLI::App* pdf = app.add_subcommand("pdf", "把工作表按页面设置打印成 PDF 文件");
  pdf->add_option("BOOK", options->book, "工作簿（.xlsx 或 .xlsm）")->required();
  pdf->add_option("SHEET", options->sheets,
                  "工作表名（默认：数据工作簿中生成的表；其他工作簿中全部可见的表，按标签顺序）");
  pdf->add_option("-o,--output", options->out, "PDF 文件（默认与工作簿同名，扩展名 .pdf）");
  pdf->callback([options] {
#ifndef KELV_HAVE_PDF
    command_failed("这个 kelv 没有带 PDF 输出（编译时没有 Qt）");
#else
    // Another program editing the workbook may not have saved what it shows.
    for (const std::string& w : app::WorkspaceFolder::lock_warnings(options->book))
      std::cerr << "注意：" << w << "\n";
    // Only the cells of the sheets printed are read: the sheets named, or
    // without names every sheet but 考生表 and 考场表 (which a data
    // workbook does not print and another workbook does not have).
    auto printed = [names = options->sheets](std::string_view sheet) {
      if (names.empty()) return !is_list_sheet(sheet);
      return std::find(names.begin(), names.end(), sheet) != names.end();
    };
    std::unique_ptr<spreadsheet::Workbook> book;
    try {
      book = readers::read_any(options->book, printed);
    } catch (const host::HostError& e) {
      command_failed("读不了工作簿：" + e.description());
    }
    std::vector<std::string> names = options->sheets;
    if (names.empty()) {
      names = generated_tables(*book);
      std::string list;
      for (const std::string& n : names) list += (list.empty() ? "" : "、") + n;
      if (!names.empty())
        std::cerr << "未指定工作表：打印生成的表 " << list
                  << "（考生表和考场表不打印；要打印它们，请在命令后写出表名）\n";
    }
    std::vector<int32_t> sheets;
    try {
      sheets = print::sheets_to_print(*book, names);
    } catch (const std::invalid_argument& e) {
      command_failed(e.what());
    }
    std::string out = options->out;
    if (out.empty())
      out = host::path_text(host::file_path(options->book).replace_extension(".pdf"));
    std::error_code same;
    if (std::filesystem::equivalent(host::file_path(out), host::file_path(options->book), same))
      command_failed("PDF 文件不能写在工作簿本身上：" + out);
    // The folder of the PDF is made when it is not there yet.
    const std::filesystem::path folder = host::file_path(out).parent_path();
    std::error_code made;
    if (!folder.empty() && !std::filesystem::is_directory(folder, made) &&
        !std::filesystem::create_directories(folder, made))
      command_failed("无法创建文件夹“" + host::path_text(folder) + "”：" + made.message());

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
