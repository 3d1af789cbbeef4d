// The engine's implementations of the host interfaces. Internal to the
// spreadsheet library; front ends and handlers see only host/ and engine.h.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/application.h"
#include "host/picture.h"
#include "host/window.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

class EngineWorkbook;

// A snapshot of a copied block. Styles travel by value so the block can be
// pasted into another workbook; the ids for the last destination table are
// cached, so repeated pastes intern nothing.
struct Clipboard {
  struct Item {
    int32_t row = 0, col = 0;  // offsets from the block's top-left cell
    uint32_t style = 0;        // index into styles
    Variant value;
    std::shared_ptr<const Formula> formula;
  };
  Rect source;
  std::vector<Item> items;  // by row, then column
  std::vector<Style> styles;
  std::vector<Rect> merges;  // offsets, 0-based
  const StyleTable* mapped_for = nullptr;
  std::vector<uint32_t> mapped;
};

// Passes the text of every cell formula of one sheet through `change`.
void rewrite_sheet_formulas(Sheet& sheet,
                            const std::function<std::string(std::string_view)>& change);

class EnginePicture final : public host::Picture {
 public:
  EnginePicture(Sheet& sheet, size_t index) : sheet_(&sheet), index_(index) {}
  void select() override { selected_ = true; }
  bool lock_aspect_ratio() const override { return model().lock_aspect_ratio; }
  void set_lock_aspect_ratio(bool lock) override { model().lock_aspect_ratio = lock; }
  double top() const override { return model().top; }
  double left() const override { return model().left; }
  double width() const override { return model().width; }
  double height() const override { return model().height; }
  void set_top(double pt) override;
  void set_left(double pt) override;
  void set_width(double pt) override;
  void set_height(double pt) override;
  std::string alternative_text() const override { return model().description; }
  void set_alternative_text(std::string_view text) override;
  bool selected() const { return selected_; }

 private:
  PictureModel& model() const { return sheet_->pictures[index_]; }
  Sheet* sheet_;
  size_t index_;
  bool selected_ = false;
};

class EngineSheet final : public host::Worksheet {
 public:
  EngineSheet(EngineWorkbook& book, Sheet& model)
      : book_(&book), sheet_(&model), edges_(&model, kDefaultDigitWidth) {}

  Sheet& model() { return *sheet_; }
  const Sheet& model() const { return *sheet_; }
  EngineWorkbook& book() { return *book_; }
  // Forget cached geometry and merge look-ups after the model was changed
  // behind the engine's back.
  void invalidate_caches();
  // Moves the model to a new owner (a deleted sheet keeps its handle alive).
  void detach(std::unique_ptr<Sheet> keep) {
    detached_ = std::move(keep);
    regions_.clear();
  }

  host::Workbook& parent() override;
  std::string name() const override { return sheet_->name; }
  void set_name(std::string_view name) override;
  host::SheetVisibility visible() const override;
  void set_visible(host::SheetVisibility v) override;
  void activate() override;
  void copy_after(host::Worksheet& after) override;
  void delete_sheet() override;
  int32_t tab_color_index() const override;
  void set_tab_color_index(int32_t index) override;

  Variant cell_value(int32_t row, int32_t column) const override;
  void set_value(const Rect& area, const Variant& v) override;
  void set_values(const Rect& area, const std::vector<Variant>& values) override;
  std::string cell_formula(int32_t row, int32_t column) const override;
  void set_formula_r1c1(const Rect& area, std::string_view formula) override;
  Rect current_region(int32_t row, int32_t column) const override;
  Rect used_rect() const override;
  void clear(const Rect& area) override;
  void clear_contents(const Rect& area) override;
  void copy_rect(const Rect& area) override;
  void paste_at(int32_t row, int32_t column) override;
  void paste_values_at(int32_t row, int32_t column) override;
  void delete_shift_up(const Rect& area) override;
  void sort(const Rect& area, int32_t key_column, host::SortOrder order,
            host::SortHeader header) override;
  bool replace(const Rect& area, std::string_view what, std::string_view replacement,
               host::LookAt look_at, bool replace_format) override;
  std::string number_format(int32_t row, int32_t column) const override;
  void set_number_format_local(const Rect& area, std::string_view code) override;
  host::FontInfo font(int32_t row, int32_t column) const override;
  void change_font(const Rect& area, const host::FontChange& change) override;
  int32_t horizontal_alignment(int32_t row, int32_t column) const override;
  void set_horizontal_alignment(const Rect& area, int32_t xl) override;
  int32_t vertical_alignment(int32_t row, int32_t column) const override;
  void set_vertical_alignment(const Rect& area, int32_t xl) override;
  void merge(const Rect& area) override;
  Rect merge_area(int32_t row, int32_t column) const override;
  double column_width(int32_t column) const override;
  void set_column_width(int32_t first, int32_t last, double width) override;
  double row_height(int32_t row) const override;
  void set_row_height(int32_t first, int32_t last, double height) override;
  double top_of(int32_t row) const override;
  double left_of(int32_t column) const override;
  void select(const Rect& area) override;
  void activate_cell(int32_t row, int32_t column) override;
  host::Picture& insert_picture_at_active_cell(std::string_view path) override;
  host::Picture& insert_picture_bytes_at_active_cell(std::string_view bytes,
                                                     std::string_view file_name) override;
  void add_page_break_above(int32_t row) override;
  Variant page_setup_value(host::PageSetupProperty p) const override;
  void set_page_setup_value(host::PageSetupProperty p, const Variant& v) override;

  // Re-evaluates the formulas the engine knows how to compute (COUNTIF).
  void recalculate();

 private:
  struct ColumnCounts;
  // current_region without the known regions.
  Rect find_region(int32_t row, int32_t column) const;
  const Style& style_at(int32_t row, int32_t column) const;
  // Marks the workbook modified and drops caches that depend on the cells
  // of the given columns.
  void touch(int32_t col1, int32_t col2);
  void touch_all() { touch(1, host::kMaxColumns); }
  template <typename F>
  void restyle(const Rect& area, F&& change);
  void write_value(Cell& cell, const Variant& v);
  void evaluate(Cell& cell, int32_t row, int32_t column);
  std::shared_ptr<ColumnCounts> count_column(int32_t c) const;
  bool automatic() const;
  // Places a picture of the workbook's image store at the active cell at its
  // natural size and selects it.
  host::Picture& place_picture(Image image, std::string description);
  // The next free picture id, kept while pictures are only added here, so
  // that a sheet of many pictures is not walked for every one.
  size_t pictures_counted_ = static_cast<size_t>(-1);
  int32_t next_picture_id_ = 1;

  // Merges, indexed by their top-left cell.
  void ensure_merge_index() const;
  std::vector<size_t> merges_touching(const Rect& area) const;
  void add_merge(const Rect& area);
  void remove_merges(std::vector<size_t> indices);

  void rows_changed(int32_t from) { edges_.rows_changed(from); }
  void columns_changed() { edges_.columns_changed(); }

  EngineWorkbook* book_;
  Sheet* sheet_;
  std::unique_ptr<Sheet> detached_;
  std::vector<std::unique_ptr<EnginePicture>> pictures_;

  // Tops of rows, summed on demand and cut back from the first row whose
  // height changed; lefts of columns.
  mutable SheetEdges edges_;

  mutable std::map<std::pair<int32_t, int32_t>, size_t> merge_index_;
  mutable size_t merge_indexed_ = static_cast<size_t>(-1);
  mutable int32_t merge_max_rows_ = 1;

  // Value counts per column for COUNTIF over whole columns, dropped when a
  // cell of that column changes.
  mutable std::unordered_map<int32_t, std::shared_ptr<ColumnCounts>> counts_;

  // Regions found lately, by the cell they were asked for, all dropped when
  // any cell of the sheet changes (a sort of a table under its headings may
  // keep the table's own): a handler asks for the region of the same table
  // many times (each heading looked up), and on a long table each answer is
  // a walk over every row.
  struct KnownRegion {
    int32_t row = 0, column = 0;
    Rect region;
  };
  static constexpr size_t kKnownRegions = 4;
  std::optional<Rect> region_along_known_row(int32_t row, int32_t column) const;
  bool row_full(int32_t row, int32_t col1, int32_t col2) const;
  std::vector<KnownRegion> regions_kept_by_sort(const Rect& area, int32_t first, size_t rows) const;
  mutable std::vector<KnownRegion> regions_;
  mutable size_t next_region_ = 0;  // the entry replaced next once all are taken
};

class EngineWindow final : public host::Window {
 public:
  explicit EngineWindow(EngineWorkbook& book) : book_(&book) {}
  int32_t scroll_row() const override;
  void set_scroll_row(int32_t row) override;
  int32_t scroll_column() const override;
  void set_scroll_column(int32_t column) override;
  int32_t split_row() const override;
  void set_split_row(int32_t rows) override;
  int32_t split_column() const override;
  void set_split_column(int32_t columns) override;
  bool freeze_panes() const override;
  void set_freeze_panes(bool frozen) override;
  double tab_ratio() const override;
  void set_tab_ratio(double ratio) override;

 private:
  SheetView& view() const;
  EngineWorkbook* book_;
};

class EngineWorkbook final : public host::Workbook {
 public:
  EngineWorkbook(Engine& app, std::unique_ptr<spreadsheet::Workbook> model);

  spreadsheet::Workbook& model() { return *model_; }
  const spreadsheet::Workbook& model() const { return *model_; }
  Engine& engine() { return *app_; }
  void mark_modified() { modified_ = true; }
  // See Engine::replace_model.
  void replace_model(std::unique_ptr<spreadsheet::Workbook> model);
  void mark_saved() { modified_ = false; }

  // Sheet management for the sheets' own operations.
  int32_t index_of(const EngineSheet& s) const;
  EngineSheet& sheet_ref(int32_t index) { return *sheets_[static_cast<size_t>(index)]; }
  // Throws 1004 for a name that is malformed or taken by another sheet.
  void check_sheet_name(std::string_view name, const EngineSheet* except) const;
  bool name_taken(std::string_view name, const EngineSheet* except) const;
  EngineSheet& insert_sheet(std::unique_ptr<Sheet> sheet, int32_t index);
  void remove_sheet(EngineSheet& s);
  void make_active(int32_t index);
  int32_t visible_count() const;
  // Passes the text of every cell formula of the workbook through `change`.
  void rewrite_formulas(const std::function<std::string(std::string_view)>& change);
  // Stores image bytes once per workbook; returns the index in images.
  uint32_t store_image(Image image);

  host::Application& application() override;
  std::string name() const override;
  std::string path() const override;
  void activate() override;
  host::Worksheet& active_sheet() override;
  host::Window& window() override { return window_; }
  int32_t sheet_count() const override { return static_cast<int32_t>(sheets_.size()); }
  host::Worksheet& sheet_at(int32_t index) override;
  host::Worksheet& sheet(std::string_view name) override;
  host::Worksheet& add_sheet_after(host::Worksheet& after) override;
  void save() override;
  void save_as(std::string_view path) override;
  bool modified() const override { return modified_; }

 private:
  Engine* app_;
  std::unique_ptr<spreadsheet::Workbook> model_;
  std::vector<std::unique_ptr<EngineSheet>> sheets_;
  std::vector<std::unique_ptr<EngineSheet>> deleted_;
  EngineWindow window_;
  bool modified_ = false;
  std::unordered_multimap<size_t, uint32_t> image_index_;  // images by the hash of their bytes
  size_t images_indexed_ = 0;
};

}  // namespace kelv::spreadsheet
