#include "spreadsheet/engine.h"

#include <algorithm>

#include "host/constants.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/engine_impl.h"
#include "spreadsheet/references.h"
#include "spreadsheet/text.h"
#include "spreadsheet/workbook_copy.h"

namespace kelv::spreadsheet {
namespace {

using host::HostError;
using host::kRefused;

std::string in_quotes(std::string_view s) {
  return "“" + std::string(s) + "”";
}

std::string file_name_of(const std::string& path) {
  return host::path_text(host::file_path(path).filename());
}

bool has_workbook_extension(const std::string& path, bool* macro) {
  std::string ext = host::path_text(host::file_path(path).extension());
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  *macro = ext == ".xlsm";
  return ext == ".xlsx" || ext == ".xlsm";
}

std::unique_ptr<Workbook> new_book() {
  auto book = std::make_unique<Workbook>();
  auto sheet = std::make_unique<Sheet>();
  sheet->name = "Sheet1";
  sheet->view.tab_selected = true;
  book->sheets.push_back(std::move(sheet));
  return book;
}

}  // namespace

struct Engine::State {
  std::shared_ptr<FileFormat> format;
  std::vector<std::unique_ptr<EngineWorkbook>> books;
  std::vector<std::unique_ptr<EngineWorkbook>> closed;  // handles may outlive Close
  EngineWorkbook* this_book = nullptr;
  EngineWorkbook* active = nullptr;
  bool screen_updating = true;
  bool display_alerts = true;
  int32_t calculation = host::xlCalculationAutomatic;
  host::ReplaceFormat replace_format;
  std::unique_ptr<Clipboard> clipboard;
  RepairListener repair_listener;
  OpenListener open_listener;
  std::vector<RepairReport> unheard_repairs;  // until a listener is set
  host::Progress* progress = nullptr;
};

Engine::Engine(std::shared_ptr<FileFormat> format) : state_(std::make_unique<State>()) {
  state_->format = std::move(format);
}

Engine::~Engine() = default;

host::Workbook& Engine::open_host_workbook(std::string_view path) {
  host::Workbook& book = open_workbook(path);
  set_this_workbook(book);
  return book;
}

host::Workbook& Engine::add_workbook(std::string_view file_path) {
  auto model = new_book();
  model->file_path = host::absolute_path_text(host::native_path(file_path));
  bool macro = false;
  has_workbook_extension(model->file_path, &macro);
  model->macro_enabled = macro;
  return adopt_workbook(std::move(model));
}

host::Workbook& Engine::adopt_workbook(std::unique_ptr<Workbook> model) {
  if (!model) throw HostError::host(host::kInvalidArgument);
  if (model->sheets.empty()) throw HostError::host(kRefused, "工作簿至少要有一张工作表");
  if (!model->file_path.empty()) {
    const std::string name = file_name_of(model->file_path);
    for (auto& b : state_->books)
      if (text::equal_ignore_case(b->name(), name))
        throw HostError::host(kRefused, "不能同时打开两个名称相同的工作簿" + in_quotes(name));
  }
  state_->books.push_back(std::make_unique<EngineWorkbook>(*this, std::move(model)));
  EngineWorkbook* book = state_->books.back().get();
  state_->active = book;
  if (!state_->this_book) state_->this_book = book;
  return *book;
}

void Engine::set_this_workbook(host::Workbook& book) {
  EngineWorkbook* b = engine_workbook(book);
  if (!b) throw HostError::host(host::kInvalidArgument);
  state_->this_book = b;
}

void Engine::close_workbook(host::Workbook& book) {
  auto& books = state_->books;
  auto it = std::find_if(books.begin(), books.end(), [&](auto& b) { return b.get() == &book; });
  if (it == books.end()) throw HostError::host(host::kSubscriptOutOfRange);
  EngineWorkbook* gone = it->get();
  state_->closed.push_back(std::move(*it));
  books.erase(it);
  if (state_->active == gone) state_->active = books.empty() ? nullptr : books.back().get();
  if (state_->this_book == gone) state_->this_book = books.empty() ? nullptr : books.front().get();
}

void replace_model(host::Workbook& book, std::unique_ptr<Workbook> model) {
  auto* b = dynamic_cast<EngineWorkbook*>(&book);
  if (!b) throw HostError::host(host::kInvalidArgument);
  // A copied block remembers the style table it was last pasted into.
  b->engine().set_clipboard(nullptr);
  b->replace_model(std::move(model));
}

std::unique_ptr<Workbook> copy_workbook(const Workbook& book) {
  auto copy = std::make_unique<Workbook>();
  copy->file_path = book.file_path;
  copy->styles = book.styles;
  copy->sheets.reserve(book.sheets.size());
  for (const auto& sheet : book.sheets) copy->sheets.push_back(std::make_unique<Sheet>(*sheet));
  copy->images = book.images;
  copy->defined_names = book.defined_names;
  copy->active_sheet = book.active_sheet;
  copy->first_visible_tab = book.first_visible_tab;
  copy->tab_ratio = book.tab_ratio;
  copy->macro_enabled = book.macro_enabled;
  copy->max_digit_width = book.max_digit_width;
  copy->passthrough = book.passthrough;
  copy->repairs = book.repairs;
  copy->source_kind = book.source_kind;
  copy->source_path = book.source_path;
  return copy;
}

Workbook& Engine::model_of(host::Workbook& book) {
  auto* b = dynamic_cast<EngineWorkbook*>(&book);
  if (!b) throw HostError::host(host::kInvalidArgument);
  return b->model();
}

Sheet& Engine::model_of(host::Worksheet& sheet) {
  auto* s = dynamic_cast<EngineSheet*>(&sheet);
  if (!s) throw HostError::host(host::kInvalidArgument);
  return s->model();
}

void Engine::model_changed(host::Worksheet& sheet) {
  auto* s = dynamic_cast<EngineSheet*>(&sheet);
  if (!s) throw HostError::host(host::kInvalidArgument);
  s->invalidate_caches();
}

Clipboard* Engine::clipboard() {
  return state_->clipboard.get();
}
void Engine::set_clipboard(std::unique_ptr<Clipboard> clip) {
  state_->clipboard = std::move(clip);
}

void Engine::activate_workbook(host::Workbook& book) {
  EngineWorkbook* b = engine_workbook(book);
  if (b) state_->active = b;
}

EngineWorkbook* Engine::engine_workbook(host::Workbook& book) {
  for (auto& b : state_->books)
    if (b.get() == &book) return b.get();
  return nullptr;
}

bool Engine::screen_updating() const {
  return state_->screen_updating;
}
void Engine::set_screen_updating(bool on) {
  state_->screen_updating = on;
}
bool Engine::display_alerts() const {
  return state_->display_alerts;
}
void Engine::set_display_alerts(bool on) {
  state_->display_alerts = on;
}
void Engine::set_progress(host::Progress* progress) {
  state_->progress = progress;
}

host::Progress& Engine::progress() {
  return state_->progress ? *state_->progress : host::no_progress();
}

int32_t Engine::calculation() const {
  return state_->calculation;
}

void Engine::set_calculation(int32_t mode) {
  if (mode != host::xlCalculationAutomatic && mode != host::xlCalculationManual &&
      mode != 2 /* xlCalculationSemiautomatic */)
    throw HostError::host(kRefused);
  const bool was_automatic = state_->calculation == host::xlCalculationAutomatic;
  state_->calculation = mode;
  if (mode == host::xlCalculationAutomatic && !was_automatic)
    for (auto& b : state_->books)
      for (int32_t i = 0; i < b->sheet_count(); ++i) b->sheet_ref(i).recalculate();
}

host::ReplaceFormat& Engine::replace_format() {
  return state_->replace_format;
}

host::Workbook& Engine::this_workbook() {
  if (!state_->this_book) throw HostError::host(host::kSubscriptOutOfRange);
  return *state_->this_book;
}

host::Workbook& Engine::active_workbook() {
  if (!state_->active) throw HostError::host(host::kSubscriptOutOfRange);
  return *state_->active;
}

int32_t Engine::workbook_count() const {
  return static_cast<int32_t>(state_->books.size());
}

host::Workbook& Engine::workbook_at(int32_t index) {
  if (index < 0 || index >= workbook_count()) throw HostError::host(host::kSubscriptOutOfRange);
  return *state_->books[static_cast<size_t>(index)];
}

host::Workbook& Engine::workbook(std::string_view name) {
  for (auto& b : state_->books)
    if (text::equal_ignore_case(b->name(), name)) return *b;
  throw HostError::host(host::kSubscriptOutOfRange);
}

host::Workbook& Engine::open_workbook(std::string_view path) {
  // The format tells the kind of file by its first bytes, whatever its name.
  const std::string native = host::native_path(path);
  bool macro = false;
  has_workbook_extension(native, &macro);
  const std::string name = file_name_of(native);
  for (auto& b : state_->books)
    if (text::equal_ignore_case(b->name(), name))
      throw HostError::host(kRefused, "不能同时打开两个名称相同的工作簿" + in_quotes(name));
  if (!state_->format) throw HostError::host(kRefused, "无法打开文件" + in_quotes(native));
  std::unique_ptr<Workbook> model = state_->format->load(native);
  model->file_path = host::absolute_path_text(native);
  model->macro_enabled = model->macro_enabled || macro;
  RepairReport report{model->file_path, model->repairs};
  host::Workbook& book = adopt_workbook(std::move(model));
  if (state_->open_listener) state_->open_listener(report.file);
  if (!report.repairs.empty()) {
    if (state_->repair_listener) {
      state_->repair_listener(report);
    } else {
      state_->unheard_repairs.push_back(std::move(report));
    }
  }
  return book;
}

void Engine::set_repair_listener(RepairListener listener) {
  state_->repair_listener = std::move(listener);
  if (!state_->repair_listener) return;
  std::vector<RepairReport> unheard;
  unheard.swap(state_->unheard_repairs);
  for (const RepairReport& r : unheard) state_->repair_listener(r);
}

void Engine::set_open_listener(OpenListener listener) {
  state_->open_listener = std::move(listener);
}

FileFormat* Engine::file_format() {
  return state_->format.get();
}

// --- EngineWorkbook ---------------------------------------------------------

EngineWorkbook::EngineWorkbook(Engine& app, std::unique_ptr<spreadsheet::Workbook> model)
    : app_(&app), model_(std::move(model)), window_(*this) {
  for (auto& s : model_->sheets) sheets_.push_back(std::make_unique<EngineSheet>(*this, *s));
  if (model_->active_sheet < 0 || model_->active_sheet >= sheet_count()) model_->active_sheet = 0;
}

void EngineWorkbook::replace_model(std::unique_ptr<spreadsheet::Workbook> model) {
  if (!model || model->sheets.empty()) throw HostError::host(host::kInvalidArgument);
  sheets_.clear();
  model_ = std::move(model);
  for (auto& s : model_->sheets) sheets_.push_back(std::make_unique<EngineSheet>(*this, *s));
  if (model_->active_sheet < 0 || model_->active_sheet >= sheet_count()) model_->active_sheet = 0;
  image_index_.clear();
  images_indexed_ = 0;
}

int32_t EngineWorkbook::index_of(const EngineSheet& s) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i].get() == &s) return static_cast<int32_t>(i);
  return -1;
}

bool EngineWorkbook::name_taken(std::string_view name, const EngineSheet* except) const {
  const std::string folded = text::fold_case(name);
  for (auto& s : sheets_)
    if (s.get() != except && text::fold_case(s->model().name) == folded) return true;
  return false;
}

void EngineWorkbook::check_sheet_name(std::string_view name, const EngineSheet* except) const {
  const int32_t len = text::length(name);
  if (len < 1 || len > 31 || name.find_first_of("[]:*?/\\") != std::string_view::npos ||
      name.front() == '\'' || name.back() == '\'')
    throw HostError::host(kRefused, "工作表名称" + in_quotes(name) +
                                        "无效：须为 1 到 31 个字符，不能含有 [ ] : * ? / \\");
  if (name_taken(name, except))
    throw HostError::host(kRefused, "工作表名称" + in_quotes(name) + "已被占用");
}

EngineSheet& EngineWorkbook::insert_sheet(std::unique_ptr<Sheet> sheet, int32_t index) {
  Sheet& model = *sheet;
  for (DefinedName& d : model_->defined_names)
    if (d.local_sheet >= index) ++d.local_sheet;
  model_->sheets.insert(model_->sheets.begin() + index, std::move(sheet));
  sheets_.insert(sheets_.begin() + index, std::make_unique<EngineSheet>(*this, model));
  if (model_->active_sheet >= index) ++model_->active_sheet;
  make_active(index);
  mark_modified();
  return *sheets_[static_cast<size_t>(index)];
}

void rewrite_sheet_formulas(Sheet& sheet,
                            const std::function<std::string(std::string_view)>& change) {
  for (Row& row : sheet.rows) {
    for (Cell& c : row.cells) {
      if (!c.formula) continue;
      std::string text = change(c.formula->text);
      if (text == c.formula->text) continue;
      auto f = std::make_shared<Formula>(*c.formula);
      f->text = std::move(text);
      c.formula = std::move(f);
    }
  }
}

void EngineWorkbook::rewrite_formulas(const std::function<std::string(std::string_view)>& change) {
  for (auto& sheet : model_->sheets) rewrite_sheet_formulas(*sheet, change);
}

void EngineWorkbook::remove_sheet(EngineSheet& s) {
  const int32_t index = index_of(s);
  if (index < 0) throw HostError::host(host::kSubscriptOutOfRange);
  const bool was_active = model_->active_sheet == index;
  std::unique_ptr<Sheet> model = std::move(model_->sheets[static_cast<size_t>(index)]);
  model_->sheets.erase(model_->sheets.begin() + index);
  // Names that belonged to the sheet go with it; later sheets move down.
  auto& names = model_->defined_names;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const DefinedName& d) { return d.local_sheet == index; }),
              names.end());
  for (DefinedName& d : names)
    if (d.local_sheet > index) --d.local_sheet;
  // What still names the sheet now refers to nothing, as #REF!.
  for (DefinedName& d : names) d.value = drop_sheet_references(d.value, model->name);
  rewrite_formulas([&](std::string_view f) { return drop_sheet_references(f, model->name); });
  // Drop the cells now; the handle stays valid for anyone still holding it.
  model->rows.clear();
  model->rows.shrink_to_fit();
  s.detach(std::move(model));
  deleted_.push_back(std::move(sheets_[static_cast<size_t>(index)]));
  sheets_.erase(sheets_.begin() + index);
  if (model_->active_sheet > index) --model_->active_sheet;
  if (was_active) {
    int32_t next = -1;
    for (int32_t i = index; i < sheet_count() && next < 0; ++i)
      if (sheets_[static_cast<size_t>(i)]->model().visibility == Visibility::Visible) next = i;
    for (int32_t i = index - 1; i >= 0 && next < 0; --i)
      if (sheets_[static_cast<size_t>(i)]->model().visibility == Visibility::Visible) next = i;
    make_active(next < 0 ? 0 : next);
  }
  mark_modified();
}

void EngineWorkbook::make_active(int32_t index) {
  for (auto& s : model_->sheets) s->view.tab_selected = false;
  for (auto& o : model_->passthrough.other_sheets) o.active = false;
  model_->active_sheet = index;
  model_->sheets[static_cast<size_t>(index)]->view.tab_selected = true;
  if (model_->first_visible_tab > index) model_->first_visible_tab = index;
}

int32_t EngineWorkbook::visible_count() const {
  int32_t n = 0;
  for (auto& s : model_->sheets) n += s->visibility == Visibility::Visible ? 1 : 0;
  return n;
}

uint32_t EngineWorkbook::store_image(Image image) {
  auto& images = model_->images;
  if (images_indexed_ > images.size()) {
    image_index_.clear();
    images_indexed_ = 0;
  }
  for (; images_indexed_ < images.size(); ++images_indexed_) {
    const auto& b = images[images_indexed_].bytes;
    image_index_.emplace(std::hash<std::string_view>()(b ? std::string_view(*b) : ""),
                         static_cast<uint32_t>(images_indexed_));
  }
  const size_t h = std::hash<std::string_view>()(*image.bytes);
  for (auto [at, end] = image_index_.equal_range(h); at != end; ++at) {
    const uint32_t i = at->second;
    if (images[i].bytes && *images[i].bytes == *image.bytes) return i;
  }
  images.push_back(std::move(image));
  const auto id = static_cast<uint32_t>(images.size() - 1);
  image_index_.emplace(h, id);
  images_indexed_ = images.size();
  return id;
}

host::Application& EngineWorkbook::application() {
  return *app_;
}

std::string EngineWorkbook::name() const {
  if (model_->file_path.empty()) return "Book1";
  return file_name_of(model_->file_path);
}

std::string EngineWorkbook::path() const {
  if (model_->file_path.empty()) return "";
  std::string folder = host::path_text(host::file_path(model_->file_path).parent_path());
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

void EngineWorkbook::activate() {
  app_->activate_workbook(*this);
}

host::Worksheet& EngineWorkbook::active_sheet() {
  return *sheets_[static_cast<size_t>(model_->active_sheet)];
}

host::Worksheet& EngineWorkbook::sheet_at(int32_t index) {
  if (index < 0 || index >= sheet_count()) throw HostError::host(host::kSubscriptOutOfRange);
  return *sheets_[static_cast<size_t>(index)];
}

host::Worksheet& EngineWorkbook::sheet(std::string_view name) {
  for (auto& s : sheets_)
    if (s->model().name == name) return *s;
  throw HostError::host(host::kSubscriptOutOfRange);
}

host::Worksheet& EngineWorkbook::add_sheet_after(host::Worksheet& after) {
  auto* a = dynamic_cast<EngineSheet*>(&after);
  const int32_t at = a ? index_of(*a) : -1;
  if (at < 0) throw HostError::host(kRefused, "只能在同一工作簿的工作表之后添加工作表");
  std::string name;
  for (int32_t n = 1;; ++n) {
    name = "Sheet" + std::to_string(n);
    if (!name_taken(name, nullptr)) break;
  }
  auto sheet = std::make_unique<Sheet>();
  sheet->name = name;
  EngineSheet& added = insert_sheet(std::move(sheet), at + 1);
  app_->activate_workbook(*this);
  return added;
}

void EngineWorkbook::save() {
  save_as(model_->file_path);
}

void EngineWorkbook::save_as(std::string_view path) {
  if (path.empty()) throw HostError::host(kRefused, "工作簿还没有文件名");
  const std::string native = host::native_path(path);
  refuse_overwriting_source(*model_, native);
  bool macro = false;
  if (!has_workbook_extension(native, &macro))
    throw HostError::host(kRefused,
                          "不能保存为" + in_quotes(native) + "：只能保存为 .xlsx 或 .xlsm 工作簿");
  FileFormat* format = app_->file_format();
  if (!format) throw HostError::host(kRefused, "无法保存文件" + in_quotes(native));
  const std::string old_path = model_->file_path;
  model_->file_path = host::absolute_path_text(native);
  model_->macro_enabled = macro;
  try {
    format->save(*model_, model_->file_path);
  } catch (...) {
    model_->file_path = old_path;
    throw;
  }
  mark_saved();
}

// --- EngineWindow -----------------------------------------------------------

SheetView& EngineWindow::view() const {
  spreadsheet::Workbook& m = book_->model();
  return m.sheets[static_cast<size_t>(m.active_sheet)]->view;
}

int32_t EngineWindow::scroll_row() const {
  return view().top_row;
}
int32_t EngineWindow::scroll_column() const {
  return view().left_col;
}
int32_t EngineWindow::split_row() const {
  return view().split_rows;
}
int32_t EngineWindow::split_column() const {
  return view().split_cols;
}
bool EngineWindow::freeze_panes() const {
  return view().frozen;
}
double EngineWindow::tab_ratio() const {
  return book_->model().tab_ratio;
}

void EngineWindow::set_scroll_row(int32_t row) {
  if (row < 1 || row > host::kMaxRows) throw HostError::host(kRefused);
  view().top_row = row;
}

void EngineWindow::set_scroll_column(int32_t column) {
  if (column < 1 || column > host::kMaxColumns) throw HostError::host(kRefused);
  view().left_col = column;
}

void EngineWindow::set_split_row(int32_t rows) {
  if (rows < 0 || rows >= host::kMaxRows) throw HostError::host(kRefused);
  view().split_rows = rows;
  view().pane_top_row = 0;
  book_->mark_modified();
}

void EngineWindow::set_split_column(int32_t columns) {
  if (columns < 0 || columns >= host::kMaxColumns) throw HostError::host(kRefused);
  view().split_cols = columns;
  view().pane_left_col = 0;
  book_->mark_modified();
}

void EngineWindow::set_freeze_panes(bool frozen) {
  SheetView& v = view();
  if (frozen && !v.frozen && v.split_rows == 0 && v.split_cols == 0) {
    // Freezing without a split freezes above and left of the active cell.
    v.split_rows = std::max(0, v.active_row - v.top_row);
    v.split_cols = std::max(0, v.active_col - v.left_col);
  }
  if (!frozen && v.frozen) v.split_rows = v.split_cols = 0;
  if (frozen != v.frozen) v.pane_top_row = v.pane_left_col = 0;
  v.frozen = frozen;
  book_->mark_modified();
}

void EngineWindow::set_tab_ratio(double ratio) {
  if (!(ratio >= 0 && ratio <= 1)) throw HostError::host(kRefused);
  book_->model().tab_ratio = ratio;
  book_->mark_modified();
}

}  // namespace kelv::spreadsheet
