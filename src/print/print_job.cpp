#include "print/print_job.h"

namespace kelv::print {

std::vector<int32_t> sheets_to_print(const spreadsheet::Workbook& book,
                                     const std::vector<std::string>& names) {
  std::vector<int32_t> out;
  if (names.empty()) {
    for (int32_t i = 0; i < static_cast<int32_t>(book.sheets.size()); ++i)
      if (book.sheets[static_cast<size_t>(i)]->visibility == spreadsheet::Visibility::Visible)
        out.push_back(i);
    return out;
  }
  for (const std::string& name : names) {
    int32_t found = -1;
    for (int32_t i = 0; i < static_cast<int32_t>(book.sheets.size()); ++i)
      if (book.sheets[static_cast<size_t>(i)]->name == name) found = i;
    if (found < 0) throw std::invalid_argument("工作簿中没有工作表“" + name + "”");
    out.push_back(found);
  }
  return out;
}

PrintJob::PrintJob(const spreadsheet::Workbook& book, const std::vector<int32_t>& sheets,
                   std::time_t now)
    : book_(book) {
  int32_t number = 1;
  for (int32_t index : sheets) {
    layouts_.push_back(layout_sheet(book, index));
    const SheetLayout& l = layouts_.back();
    const int32_t first = book.sheets[static_cast<size_t>(index)]->page_setup.first_page_number;
    if (first > 0) number = first;
    for (int32_t p = 0; p < static_cast<int32_t>(l.pages.size()); ++p)
      pages_.push_back({static_cast<int32_t>(layouts_.size()) - 1, p, number++});
  }
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  date_ = std::to_string(tm.tm_year + 1900) + "/" + std::to_string(tm.tm_mon + 1) + "/" +
          std::to_string(tm.tm_mday);
  time_ =
      std::to_string(tm.tm_hour) + ":" + (tm.tm_min < 10 ? "0" : "") + std::to_string(tm.tm_min);
  // The file path is UTF-8 with the platform's separators.
  const size_t slash = book.file_path.find_last_of("/\\");
  file_ = slash == std::string::npos ? book.file_path : book.file_path.substr(slash + 1);
  path_ = slash == std::string::npos ? std::string() : book.file_path.substr(0, slash + 1);
}

PageFields PrintJob::fields(int32_t index) const {
  const PageRef& ref = page(index);
  PageFields f;
  f.page = ref.number;
  f.pages = page_count();
  f.date = date_;
  f.time = time_;
  f.sheet = book_.sheets[static_cast<size_t>(layouts_[ref.sheet].sheet_index)]->name;
  f.file = file_;
  f.path = path_;
  return f;
}

std::vector<std::string> PrintJob::notes() const {
  std::vector<std::string> out;
  for (const SheetLayout& l : layouts_)
    for (const std::string& note : l.notes)
      out.push_back(book_.sheets[static_cast<size_t>(l.sheet_index)]->name + "：" + note);
  return out;
}

}  // namespace kelv::print
