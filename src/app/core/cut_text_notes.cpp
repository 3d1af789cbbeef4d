#include "app/core/cut_text_notes.h"

#include "print/cut_texts.h"
#include "spreadsheet/engine.h"

namespace kelv::app {

std::vector<std::string> cut_text_notes(host::Application& EA, size_t limit) {
  std::vector<std::string> lines;
  if (dynamic_cast<spreadsheet::Engine*>(&EA) == nullptr) return lines;
  host::Workbook& book = EA.active_workbook();
  const std::string name = book.active_sheet().name();
  const spreadsheet::Workbook& model = spreadsheet::Engine::model_of(book);
  int32_t index = -1;
  for (size_t i = 0; i < model.sheets.size(); ++i)
    if (model.sheets[i]->name == name) index = static_cast<int32_t>(i);
  const std::vector<print::CutText> cut = print::texts_wider_than_cells(model, index);
  if (cut.empty()) return lines;
  lines.push_back("注意：表“" + name + "”中有 " + std::to_string(cut.size()) +
                  " 处文字比单元格宽，打印时会被截断。可在模板里把这些单元格设为“缩小字体填充”，"
                  "或加宽列：");
  for (size_t i = 0; i < cut.size() && i < limit; ++i)
    lines.push_back("  " + cut[i].cell + "：" + cut[i].text);
  if (cut.size() > limit)
    lines.push_back("  …… 另有 " + std::to_string(cut.size() - limit) + " 处");
  return lines;
}

}  // namespace kelv::app
