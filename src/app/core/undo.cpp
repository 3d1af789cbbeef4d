#include "app/core/undo.h"

#include <algorithm>
#include <utility>

#include "host/host_error.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/text.h"
#include "spreadsheet/workbook_copy.h"

namespace kelv::app {
namespace {

bool same_cells(const spreadsheet::Row& a, const spreadsheet::Row& b) {
  if (a.cells.size() != b.cells.size() || a.height != b.height || a.hidden != b.hidden ||
      a.custom_height != b.custom_height || a.style != b.style ||
      a.outline_level != b.outline_level)
    return false;
  for (size_t k = 0; k < a.cells.size(); ++k) {
    const spreadsheet::Cell& x = a.cells[k];
    const spreadsheet::Cell& y = b.cells[k];
    if (x.col != y.col || x.style != y.style || !(x.value == y.value)) return false;
    if (x.formula.get() != y.formula.get()) {
      if (!x.formula || !y.formula) return false;
      if (x.formula->text != y.formula->text || x.formula->array_ref != y.formula->array_ref)
        return false;
    }
  }
  return true;
}

bool same_rows(const spreadsheet::Sheet& a, const spreadsheet::Sheet& b) {
  if (a.rows.size() != b.rows.size()) return false;
  for (size_t r = 0; r < a.rows.size(); ++r)
    if (!same_cells(a.rows[r], b.rows[r])) return false;
  return true;
}

// Everything of a sheet but its rows, as far as long work changes it.
bool same_frame(const spreadsheet::Sheet& a, const spreadsheet::Sheet& b) {
  return a.name == b.name && a.visibility == b.visibility && a.columns == b.columns &&
         a.merges == b.merges && a.pictures.size() == b.pictures.size() &&
         a.row_breaks == b.row_breaks && a.column_breaks == b.column_breaks &&
         a.default_row_height == b.default_row_height &&
         a.default_column_width == b.default_column_width;
}

spreadsheet::Sheet* sheet_named(spreadsheet::Workbook& book, const std::string& name) {
  for (auto& s : book.sheets)
    if (spreadsheet::text::equal_ignore_case(s->name, name)) return s.get();
  return nullptr;
}

int64_t row_bytes(const spreadsheet::Sheet& sheet) {
  auto bytes = static_cast<int64_t>(sheet.rows.capacity() * sizeof(spreadsheet::Row));
  for (const spreadsheet::Row& row : sheet.rows) {
    bytes += static_cast<int64_t>(row.cells.capacity() * sizeof(spreadsheet::Cell));
    for (const spreadsheet::Cell& c : row.cells)
      if (c.value.is_text() && c.value.as_text().size() > 15)
        bytes += static_cast<int64_t>(c.value.as_text().size());
  }
  return bytes;
}

// Hears the front end's progress and whether the person stopped the work;
// from then on the component's error box for the stop is held back.
class HeardProgress : public host::Progress {
 public:
  HeardProgress(host::Progress& inner, TimedDialogs& dialogs) : inner_(inner), dialogs_(dialogs) {}
  void report(std::string_view what, int64_t done, int64_t total) override {
    try {
      inner_.report(what, done, total);
    } catch (const host::HostError& e) {
      if (e.number() == host::kUserInterrupt) {
        stopped_ = true;
        dialogs_.hold_error_boxes(true);
      }
      throw;
    }
  }
  bool stopped() const { return stopped_; }

 private:
  host::Progress& inner_;
  TimedDialogs& dialogs_;
  bool stopped_ = false;
};

}  // namespace

struct WorkSnapshot::Book {
  std::string name;
  // The copy; null once the step is known to have left the workbook as it was.
  std::unique_ptr<spreadsheet::Workbook> model;
  // Per sheet of the copy: its rows were dropped as the step left them
  // unchanged; they are the workbook's sheet of the same name.
  std::vector<bool> rows_kept;
};

struct WorkSnapshot::ControlState {
  std::string name;
  host::ControlKind kind;
  host::Variant value;
  std::vector<std::string> items;
  int32_t list_index = -1;
  bool enabled = true;
  std::string page;
};

WorkSnapshot::WorkSnapshot(Workspace& workspace, std::string what) : what_(std::move(what)) {
  spreadsheet::Engine& engine = workspace.engine();
  for (host::Workbook* book : workspace.open_workbooks()) {
    Book copy;
    copy.name = book->name();
    copy.model = spreadsheet::copy_workbook(spreadsheet::Engine::model_of(*book));
    copy.rows_kept.assign(copy.model->sheets.size(), false);
    books_.push_back(std::move(copy));
  }
  try {
    active_ = engine.active_workbook().name();
  } catch (const host::HostError&) {
    active_.clear();
  }
  for (const host::Control* c : workspace.form().controls()) {
    ControlState state{c->name(), c->kind(), {}, {}, -1, c->enabled(), {}};
    switch (c->kind()) {
      case host::ControlKind::ListBox:
      case host::ControlKind::ComboBox:
        state.items = c->items();
        state.list_index = c->list_index();
        state.value = c->value();
        break;
      case host::ControlKind::MultiPage:
        state.page = c->selected_page();
        break;
      case host::ControlKind::CommandButton:
        break;
      default:
        state.value = c->value();
        break;
    }
    controls_.push_back(std::move(state));
  }
  const component::Component& self = workspace.component().state();
  data_book_name_ = self.DataBookName;
  work_column_ = self.WorkColumn;
  form_ready_ = self.FormReady;
  unsaved_ = workspace.unsaved();
}

WorkSnapshot::~WorkSnapshot() = default;

bool WorkSnapshot::keep_changes_only(Workspace& workspace) {
  finished_ = true;
  bool changed = false;
  for (host::Workbook* book : workspace.open_workbooks()) {
    const std::string name = book->name();
    const bool known = std::any_of(books_.begin(), books_.end(), [&](const Book& b) {
      return spreadsheet::text::equal_ignore_case(b.name, name);
    });
    if (!known) {
      opened_.push_back(name);
      changed = true;
    }
  }
  for (Book& b : books_) {
    host::Workbook* open = open_workbook_named(workspace.engine(), b.name);
    if (open == nullptr) {
      changed = true;  // the step closed it; the copy opens it again
      continue;
    }
    spreadsheet::Workbook& now = spreadsheet::Engine::model_of(*open);
    bool book_changed = now.sheets.size() != b.model->sheets.size() ||
                        now.styles.size() != b.model->styles.size() ||
                        now.defined_names.size() != b.model->defined_names.size() ||
                        now.images.size() != b.model->images.size() ||
                        now.active_sheet != b.model->active_sheet;
    for (size_t k = 0; k < b.model->sheets.size(); ++k) {
      spreadsheet::Sheet& then = *b.model->sheets[k];
      spreadsheet::Sheet* current = sheet_named(now, then.name);
      if (current == nullptr) {
        book_changed = true;
        continue;
      }
      if (!same_frame(then, *current)) book_changed = true;
      if (same_rows(then, *current)) {
        std::vector<spreadsheet::Row>().swap(then.rows);
        b.rows_kept[k] = true;
      } else {
        book_changed = true;
      }
    }
    if (!book_changed) {
      b.model.reset();
      b.rows_kept.clear();
    }
    changed = changed || book_changed;
  }
  return changed;
}

void WorkSnapshot::restore(Workspace& workspace) {
  spreadsheet::Engine& engine = workspace.engine();
  // First whether every row the snapshot left in a workbook is still there.
  for (const Book& b : books_) {
    if (!b.model) continue;
    host::Workbook* open = open_workbook_named(engine, b.name);
    for (size_t k = 0; k < b.model->sheets.size(); ++k) {
      if (!b.rows_kept[k]) continue;
      if (open == nullptr ||
          sheet_named(spreadsheet::Engine::model_of(*open), b.model->sheets[k]->name) == nullptr)
        throw WorkspaceError(WorkspaceError::Kind::Failed,
                             "无法撤销" + what_ + "：工作表“" + b.model->sheets[k]->name + "”（" +
                                 b.name + "）在那之后已被删除或关闭。");
    }
  }
  // Workbooks the step opened.
  std::vector<host::Workbook*> to_close;
  for (host::Workbook* book : workspace.open_workbooks()) {
    if (book == &engine.this_workbook()) continue;
    const std::string name = book->name();
    auto same = [&](const std::string& n) { return spreadsheet::text::equal_ignore_case(n, name); };
    const bool opened_by_step = finished_
                                    ? std::any_of(opened_.begin(), opened_.end(), same)
                                    : std::none_of(books_.begin(), books_.end(),
                                                   [&](const Book& b) { return same(b.name); });
    if (opened_by_step) to_close.push_back(book);
  }
  for (host::Workbook* book : to_close) engine.close_workbook(*book);
  for (Book& b : books_) {
    if (!b.model) continue;
    host::Workbook* open = open_workbook_named(engine, b.name);
    for (size_t k = 0; k < b.model->sheets.size(); ++k) {
      if (!b.rows_kept[k]) continue;
      spreadsheet::Sheet& then = *b.model->sheets[k];
      then.rows = std::move(sheet_named(spreadsheet::Engine::model_of(*open), then.name)->rows);
    }
    if (open != nullptr)
      spreadsheet::replace_model(*open, std::move(b.model));
    else
      engine.adopt_workbook(std::move(b.model));
  }
  books_.clear();
  if (host::Workbook* active = open_workbook_named(engine, active_))
    engine.activate_workbook(*active);

  host::FormModel& form = workspace.form();
  for (const ControlState& s : controls_) {
    if (!form.has_control(s.name)) continue;
    host::Control& c = form.control(s.name);
    if (c.enabled() != s.enabled) c.set_enabled(s.enabled);
    switch (s.kind) {
      case host::ControlKind::ListBox:
      case host::ControlKind::ComboBox:
        if (c.items() != s.items) {
          c.clear();
          for (const std::string& item : s.items) c.add_item(host::Variant(item));
        }
        if (c.list_index() != s.list_index) c.set_list_index(s.list_index);
        if (s.kind == host::ControlKind::ComboBox && !(c.value() == s.value)) c.set_value(s.value);
        break;
      case host::ControlKind::MultiPage:
        if (c.selected_page() != s.page) c.set_selected_page(s.page);
        break;
      case host::ControlKind::CommandButton:
        break;
      default:
        if (!(c.value() == s.value)) c.set_value(s.value);
        break;
    }
  }
  component::Component& self = workspace.component().state();
  self.DataBookName = data_book_name_;
  self.WorkColumn = work_column_;
  self.FormReady = form_ready_;
  workspace.set_unsaved(unsaved_);
}

int64_t WorkSnapshot::cell_bytes() const {
  int64_t bytes = 0;
  for (const Book& b : books_)
    if (b.model)
      for (const auto& sheet : b.model->sheets) bytes += row_bytes(*sheet);
  return bytes;
}

UndoableRun run_undoable(Workspace& workspace, host::Progress& progress, const std::string& what,
                         const std::function<WorkReport()>& work) {
  UndoableRun run;
  auto snapshot = std::make_unique<WorkSnapshot>(workspace, what);
  spreadsheet::Engine& engine = workspace.engine();
  host::Progress& before = engine.progress();
  HeardProgress heard(progress, workspace.component_dialogs());
  engine.set_progress(&heard);
  auto settle = [&] {
    engine.set_progress(&before);
    workspace.component_dialogs().hold_error_boxes(false);
  };
  try {
    run.report = work();
  } catch (...) {
    settle();
    if (!heard.stopped()) throw;
    run.report.event = what;
  }
  settle();
  if (heard.stopped()) {
    snapshot->restore(workspace);
    WorkReport& r = run.report;
    r.cancelled = true;
    r.stopped = false;
    r.made_nothing = false;
    r.failure = nullptr;
    r.summary.clear();
    r.notes.clear();
    return run;
  }
  if (snapshot->keep_changes_only(workspace)) run.undo = std::move(snapshot);
  return run;
}

}  // namespace kelv::app
