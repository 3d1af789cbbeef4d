#include "automation/foreign_host.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "host/file_path.h"
#include "host/host_error.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace kelv::automation {
namespace {

using host::Rect;
using host::Variant;

// An owned reference to an automation object.
class Ref {
 public:
  Ref() = default;
  explicit Ref(IDispatch* d) : d_(d) {}  // takes the reference
  static Ref of(const Var& v) { return Ref(object_of(v)); }
  Ref(const Ref& o) : d_(o.d_) {
    if (d_) d_->AddRef();
  }
  Ref(Ref&& o) noexcept : d_(std::exchange(o.d_, nullptr)) {}
  Ref& operator=(const Ref& o) {
    Ref copy(o);
    std::swap(d_, copy.d_);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    std::swap(d_, o.d_);
    return *this;
  }
  ~Ref() {
    if (d_) d_->Release();
  }
  IDispatch* get() const { return d_; }
  // The object's identity: its IUnknown.
  const void* identity() const {
    IUnknown* u = nullptr;
    if (FAILED(d_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u)))) return d_;
    u->Release();
    return u;
  }

  Var get(std::wstring_view name, const std::vector<Var>& args = {}) const {
    return automation::get(d_, name, args);
  }
  Ref object(std::wstring_view name, const std::vector<Var>& args = {}) const {
    return Ref::of(get(name, args));
  }
  Variant value(std::wstring_view name, const std::vector<Var>& args = {}) const {
    return to_host(*get(name, args));
  }
  void put(std::wstring_view name, const Var& v) const { automation::put(d_, name, v); }
  void put(std::wstring_view name, const Variant& v) const { put(name, Var::from(v)); }
  Var call(std::wstring_view name, const std::vector<Var>& args = {},
           const std::vector<Named>& named = {}) const {
    return method(d_, name, args, named);
  }

 private:
  IDispatch* d_ = nullptr;
};

Var number_var(double d) {
  return Var::from(Variant(d));
}
Var text_var(std::string_view s) {
  return Var::from(Variant(std::string(s)));
}
Var boolean_var(bool b) {
  return Var::from(Variant(b));
}

class DispatchApplication;
class DispatchWorkbook;

class DispatchWindow : public host::Window {
 public:
  explicit DispatchWindow(Ref w) : w_(std::move(w)) {}
  int32_t scroll_row() const override { return w_.value(L"ScrollRow").to_int32(); }
  void set_scroll_row(int32_t v) override { w_.put(L"ScrollRow", Variant(v)); }
  int32_t scroll_column() const override { return w_.value(L"ScrollColumn").to_int32(); }
  void set_scroll_column(int32_t v) override { w_.put(L"ScrollColumn", Variant(v)); }
  int32_t split_row() const override { return w_.value(L"SplitRow").to_int32(); }
  void set_split_row(int32_t v) override { w_.put(L"SplitRow", Variant(v)); }
  int32_t split_column() const override { return w_.value(L"SplitColumn").to_int32(); }
  void set_split_column(int32_t v) override { w_.put(L"SplitColumn", Variant(v)); }
  bool freeze_panes() const override { return w_.value(L"FreezePanes").to_bool(); }
  void set_freeze_panes(bool v) override { w_.put(L"FreezePanes", Variant(v)); }
  double tab_ratio() const override { return w_.value(L"TabRatio").to_double(); }
  void set_tab_ratio(double v) override { w_.put(L"TabRatio", Variant(v)); }

 private:
  Ref w_;
};

class DispatchPicture : public host::Picture {
 public:
  explicit DispatchPicture(Ref p) : p_(std::move(p)) {}
  void select() override { p_.call(L"Select"); }
  bool lock_aspect_ratio() const override { return p_.value(L"LockAspectRatio").to_bool(); }
  void set_lock_aspect_ratio(bool v) override { p_.put(L"LockAspectRatio", Variant(v)); }
  double top() const override { return p_.value(L"Top").to_double(); }
  double left() const override { return p_.value(L"Left").to_double(); }
  double width() const override { return p_.value(L"Width").to_double(); }
  double height() const override { return p_.value(L"Height").to_double(); }
  void set_top(double v) override { p_.put(L"Top", Variant(v)); }
  void set_left(double v) override { p_.put(L"Left", Variant(v)); }
  void set_width(double v) override { p_.put(L"Width", Variant(v)); }
  void set_height(double v) override { p_.put(L"Height", Variant(v)); }
  std::string alternative_text() const override { return p_.value(L"AlternativeText").to_text(); }
  void set_alternative_text(std::string_view v) override { p_.put(L"AlternativeText", Variant(v)); }

 private:
  Ref p_;
};

// A picture's bytes in a file of their own in the temporary folder, for an
// object model that inserts pictures from files only; removed when done.
class TemporaryPicture {
 public:
  explicit TemporaryPicture(std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) throw host::HostError::host(host::kRefused, "找不到临时文件夹");
    path_ = std::filesystem::path(folder) / (L"kelv-" + std::to_wstring(GetCurrentProcessId()) +
                                             L"-" + std::to_wstring(counter++) + L".png");
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(path_, ec);
      throw host::HostError::host(host::kRefused, "无法写入临时图片文件");
    }
  }
  ~TemporaryPicture() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TemporaryPicture(const TemporaryPicture&) = delete;
  TemporaryPicture& operator=(const TemporaryPicture&) = delete;
  std::string path() const { return host::path_text(path_); }

 private:
  std::filesystem::path path_;
};

// A range's block: Row, Column, Rows.Count, Columns.Count.
Rect rect_of(const Ref& r) {
  const int32_t row = r.value(L"Row").to_int32();
  const int32_t col = r.value(L"Column").to_int32();
  const int32_t rows = r.object(L"Rows").value(L"Count").to_int32();
  const int32_t cols = r.object(L"Columns").value(L"Count").to_int32();
  return Rect{row, col, row + rows - 1, col + cols - 1};
}

class DispatchWorksheet : public host::Worksheet {
 public:
  DispatchWorksheet(DispatchWorkbook& book, Ref s) : book_(book), s_(std::move(s)) {}
  const Ref& ref() const { return s_; }

  host::Workbook& parent() override;
  std::string name() const override { return s_.value(L"Name").to_text(); }
  void set_name(std::string_view n) override { s_.put(L"Name", Variant(n)); }
  host::SheetVisibility visible() const override {
    const Variant v = s_.value(L"Visible");
    if (v.is_bool())
      return v.as_bool() ? host::SheetVisibility::Visible : host::SheetVisibility::Hidden;
    return static_cast<host::SheetVisibility>(v.to_int32());
  }
  void set_visible(host::SheetVisibility v) override {
    s_.put(L"Visible", Variant(static_cast<int32_t>(v)));
  }
  void activate() override { s_.call(L"Activate"); }
  void copy_after(host::Worksheet& after) override;
  void delete_sheet() override;
  int32_t tab_color_index() const override {
    const Variant v = s_.object(L"Tab").value(L"ColorIndex");
    return v.is_number() ? v.to_int32() : 0;
  }
  void set_tab_color_index(int32_t i) override { s_.object(L"Tab").put(L"ColorIndex", Variant(i)); }

  Variant cell_value(int32_t r, int32_t c) const override { return cell(r, c).value(L"Value"); }
  void set_value(const Rect& a, const Variant& v) override { range(a).put(L"Value", v); }
  void set_values(const Rect& a, const std::vector<Variant>& values) override {
    if (static_cast<int64_t>(values.size()) != int64_t{a.rows()} * a.columns())
      throw host::HostError::host(host::kRefused);
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(a.rows()), 1},
                                {static_cast<ULONG>(a.columns()), 1}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!array) throw host::HostError::host(host::kOutOfMemory);
    size_t k = 0;
    for (LONG i = 1; i <= a.rows(); ++i)
      for (LONG j = 1; j <= a.columns(); ++j) {
        LONG idx[2] = {i, j};
        Var item = Var::from(values[k++]);
        SafeArrayPutElement(array, idx, item.get());
      }
    Var block;
    V_VT(block.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(block.get()) = array;
    range(a).put(L"Value", block);
  }
  std::string cell_formula(int32_t r, int32_t c) const override {
    const Variant f = cell(r, c).value(L"Formula");
    return f.is_text() && f.as_text().starts_with("=") ? f.as_text() : std::string();
  }
  void set_formula_r1c1(const Rect& a, std::string_view f) override {
    range(a).put(L"FormulaR1C1", Variant(f));
  }

  Rect current_region(int32_t r, int32_t c) const override {
    return rect_of(cell(r, c).object(L"CurrentRegion"));
  }
  Rect used_rect() const override { return rect_of(s_.object(L"UsedRange")); }

  void clear(const Rect& a) override { range(a).call(L"Clear"); }
  void clear_contents(const Rect& a) override { range(a).call(L"ClearContents"); }
  void copy_rect(const Rect& a) override { range(a).call(L"Copy"); }
  void paste_at(int32_t r, int32_t c) override {
    s_.call(L"Paste", {}, {{L"Destination", Var::object(cell(r, c).get()), 0}});
  }
  void paste_values_at(int32_t r, int32_t c) override {
    cell(r, c).call(L"PasteSpecial", {}, {{L"Paste", number_var(host::xlPasteValues), 0}});
  }
  void delete_shift_up(const Rect& a) override {
    range(a).call(L"Delete", {}, {{L"Shift", number_var(host::xlUp), 0}});
  }
  void sort(const Rect& a, int32_t key, host::SortOrder order, host::SortHeader header) override {
    range(a).call(L"Sort", {},
                  {{L"Key1", Var::object(cell(a.row1, key).get()), 0},
                   {L"Order1", number_var(static_cast<int32_t>(order)), 1},
                   {L"Header", number_var(static_cast<int32_t>(header)), 7}});
  }
  bool replace(const Rect& a, std::string_view what, std::string_view with, host::LookAt look_at,
               bool replace_format) override;

  std::string number_format(int32_t r, int32_t c) const override {
    return cell(r, c).value(L"NumberFormat").to_text();
  }
  void set_number_format_local(const Rect& a, std::string_view code) override {
    range(a).put(L"NumberFormatLocal", Variant(code));
  }
  host::FontInfo font(int32_t r, int32_t c) const override {
    const Ref f = cell(r, c).object(L"Font");
    host::FontInfo info;
    info.name = f.value(L"Name").to_text();
    info.size = f.value(L"Size").to_double();
    info.bold = f.value(L"Bold").to_bool();
    const Variant color = f.value(L"ColorIndex");
    info.color_index = color.is_number() ? color.to_int32() : 0;
    info.underline = f.value(L"Underline").to_int32();
    return info;
  }
  void change_font(const Rect& a, const host::FontChange& change) override;
  int32_t horizontal_alignment(int32_t r, int32_t c) const override {
    return cell(r, c).value(L"HorizontalAlignment").to_int32();
  }
  void set_horizontal_alignment(const Rect& a, int32_t xl) override {
    range(a).put(L"HorizontalAlignment", Variant(xl));
  }
  int32_t vertical_alignment(int32_t r, int32_t c) const override {
    return cell(r, c).value(L"VerticalAlignment").to_int32();
  }
  void set_vertical_alignment(const Rect& a, int32_t xl) override {
    range(a).put(L"VerticalAlignment", Variant(xl));
  }
  void merge(const Rect& a) override { range(a).call(L"Merge"); }
  Rect merge_area(int32_t r, int32_t c) const override {
    return rect_of(cell(r, c).object(L"MergeArea"));
  }

  double column_width(int32_t c) const override {
    return s_.object(L"Columns", {number_var(c)}).value(L"ColumnWidth").to_double();
  }
  void set_column_width(int32_t first, int32_t last, double w) override {
    range(Rect{1, first, 1, last}).put(L"ColumnWidth", Variant(w));
  }
  double row_height(int32_t r) const override {
    return s_.object(L"Rows", {number_var(r)}).value(L"RowHeight").to_double();
  }
  void set_row_height(int32_t first, int32_t last, double h) override {
    range(Rect{first, 1, last, 1}).put(L"RowHeight", Variant(h));
  }
  double top_of(int32_t r) const override {
    // One past the last row: the last row's bottom edge.
    if (r > host::kMaxRows) {
      const Ref last = cell(host::kMaxRows, 1);
      return last.value(L"Top").to_double() + last.value(L"Height").to_double();
    }
    return cell(r, 1).value(L"Top").to_double();
  }
  double left_of(int32_t c) const override {
    if (c > host::kMaxColumns) {
      const Ref last = cell(1, host::kMaxColumns);
      return last.value(L"Left").to_double() + last.value(L"Width").to_double();
    }
    return cell(1, c).value(L"Left").to_double();
  }

  void select(const Rect& a) override { range(a).call(L"Select"); }
  void activate_cell(int32_t r, int32_t c) override { cell(r, c).call(L"Activate"); }
  host::Picture& insert_picture_at_active_cell(std::string_view path) override {
    Ref p = s_.object(L"Pictures").object(L"Insert", {text_var(path)});
    pictures_.push_back(std::make_unique<DispatchPicture>(std::move(p)));
    return *pictures_.back();
  }
  // Shapes.AddPicture with the picture embedded (Pictures.Insert may only
  // link to the file, which is removed at once), at its natural size. It
  // lands at the sheet's top-left corner rather than the active cell: the
  // object model has no cell to give it, and callers place it themselves.
  host::Picture& insert_picture_bytes_at_active_cell(std::string_view bytes,
                                                     std::string_view file_name) override {
    const TemporaryPicture file(bytes);
    constexpr int32_t kMsoFalse = 0, kMsoTrue = -1;
    Ref p = s_.object(L"Shapes").object(
        L"AddPicture", {text_var(file.path()), number_var(kMsoFalse), number_var(kMsoTrue),
                        number_var(0), number_var(0), number_var(-1), number_var(-1)});
    p.put(L"AlternativeText", Variant(file_name));
    p.call(L"Select");
    pictures_.push_back(std::make_unique<DispatchPicture>(std::move(p)));
    return *pictures_.back();
  }
  void add_page_break_above(int32_t r) override {
    if (r <= 1) return;
    s_.object(L"HPageBreaks").call(L"Add", {}, {{L"Before", Var::object(cell(r, 1).get()), 0}});
  }
  Variant page_setup_value(host::PageSetupProperty p) const override {
    return s_.object(L"PageSetup").value(page_setup_name(p));
  }
  void set_page_setup_value(host::PageSetupProperty p, const Variant& v) override {
    s_.object(L"PageSetup").put(page_setup_name(p), v);
  }

 private:
  Ref cell(int32_t r, int32_t c) const {
    return s_.object(L"Cells", {number_var(r), number_var(c)});
  }
  Ref range(const Rect& a) const {
    if (a.rows() == 1 && a.columns() == 1) return cell(a.row1, a.col1);
    return s_.object(L"Range", {Var::object(cell(a.row1, a.col1).get()),
                                Var::object(cell(a.row2, a.col2).get())});
  }

  DispatchWorkbook& book_;
  Ref s_;
  std::vector<std::unique_ptr<DispatchPicture>> pictures_;
};

class DispatchWorkbook : public host::Workbook {
 public:
  DispatchWorkbook(DispatchApplication& app, Ref b) : app_(app), b_(std::move(b)) {}
  const Ref& ref() const { return b_; }

  host::Application& application() override;
  std::string name() const override { return b_.value(L"Name").to_text(); }
  std::string path() const override { return b_.value(L"Path").to_text(); }
  void activate() override { b_.call(L"Activate"); }
  host::Worksheet& active_sheet() override { return sheet_of(b_.object(L"ActiveSheet")); }
  host::Window& window() override {
    if (!window_)
      window_ = std::make_unique<DispatchWindow>(b_.object(L"Windows", {number_var(1)}));
    return *window_;
  }
  int32_t sheet_count() const override {
    return b_.object(L"Worksheets").value(L"Count").to_int32();
  }
  host::Worksheet& sheet_at(int32_t i) override {
    if (i < 0) throw host::HostError::host(host::kSubscriptOutOfRange);
    return sheet_of(b_.object(L"Worksheets", {number_var(i + 1)}));
  }
  host::Worksheet& sheet(std::string_view name) override {
    return sheet_of(b_.object(L"Worksheets", {text_var(name)}));
  }
  host::Worksheet& add_sheet_after(host::Worksheet& after) override {
    auto* a = dynamic_cast<DispatchWorksheet*>(&after);
    if (!a) throw host::HostError::host(host::kRefused);
    return sheet_of(Ref::of(
        b_.object(L"Worksheets").call(L"Add", {}, {{L"After", Var::object(a->ref().get()), 1}})));
  }
  void save() override { b_.call(L"Save"); }
  void save_as(std::string_view path) override { b_.call(L"SaveAs", {text_var(path)}); }
  bool modified() const override { return !b_.value(L"Saved").to_bool(); }

  // The one wrapper of an automation sheet.
  DispatchWorksheet& sheet_of(const Ref& s) {
    const void* id = s.identity();
    auto it = sheets_.find(id);
    if (it == sheets_.end())
      it = sheets_.emplace(id, std::make_unique<DispatchWorksheet>(*this, s)).first;
    return *it->second;
  }
  // A deleted sheet's wrapper stays alive (the caller still holds it) but is
  // no longer found.
  void forget(DispatchWorksheet& s) {
    for (auto it = sheets_.begin(); it != sheets_.end(); ++it)
      if (it->second.get() == &s) {
        gone_.push_back(std::move(it->second));
        sheets_.erase(it);
        return;
      }
  }

 private:
  DispatchApplication& app_;
  Ref b_;
  std::unique_ptr<DispatchWindow> window_;
  std::map<const void*, std::unique_ptr<DispatchWorksheet>> sheets_;
  std::vector<std::unique_ptr<DispatchWorksheet>> gone_;
};

class DispatchApplication : public host::Application {
 public:
  explicit DispatchApplication(Ref app) : a_(std::move(app)) {}

  bool screen_updating() const override { return a_.value(L"ScreenUpdating").to_bool(); }
  void set_screen_updating(bool on) override { a_.put(L"ScreenUpdating", Variant(on)); }
  bool display_alerts() const override { return a_.value(L"DisplayAlerts").to_bool(); }
  void set_display_alerts(bool on) override { a_.put(L"DisplayAlerts", Variant(on)); }
  int32_t calculation() const override { return a_.value(L"Calculation").to_int32(); }
  void set_calculation(int32_t mode) override { a_.put(L"Calculation", Variant(mode)); }
  // Kept here and handed to the application before each Replace that uses it.
  host::ReplaceFormat& replace_format() override { return replace_format_; }
  void push_replace_format() {
    const Ref f = a_.object(L"ReplaceFormat");
    f.call(L"Clear");
    const host::FontChange& font = replace_format_.font;
    if (!font.empty()) {
      const Ref ff = f.object(L"Font");
      if (font.name) ff.put(L"Name", Variant(*font.name));
      if (font.size) ff.put(L"Size", Variant(*font.size));
      if (font.bold) ff.put(L"Bold", Variant(*font.bold));
      if (font.color_index) ff.put(L"ColorIndex", Variant(*font.color_index));
      if (font.underline) ff.put(L"Underline", Variant(*font.underline));
    }
    if (replace_format_.horizontal_alignment)
      f.put(L"HorizontalAlignment", Variant(*replace_format_.horizontal_alignment));
    if (replace_format_.vertical_alignment)
      f.put(L"VerticalAlignment", Variant(*replace_format_.vertical_alignment));
  }

  host::Workbook& this_workbook() override { return book_of(a_.object(L"ThisWorkbook")); }
  host::Workbook& active_workbook() override { return book_of(a_.object(L"ActiveWorkbook")); }
  int32_t workbook_count() const override {
    return a_.object(L"Workbooks").value(L"Count").to_int32();
  }
  host::Workbook& workbook_at(int32_t i) override {
    if (i < 0) throw host::HostError::host(host::kSubscriptOutOfRange);
    return book_of(a_.object(L"Workbooks", {number_var(i + 1)}));
  }
  host::Workbook& workbook(std::string_view name) override {
    return book_of(a_.object(L"Workbooks", {text_var(name)}));
  }
  host::Workbook& open_workbook(std::string_view path) override {
    return book_of(Ref::of(a_.object(L"Workbooks").call(L"Open", {text_var(path)})));
  }

  DispatchWorkbook& book_of(const Ref& b) {
    const void* id = b.identity();
    auto it = books_.find(id);
    if (it == books_.end())
      it = books_.emplace(id, std::make_unique<DispatchWorkbook>(*this, b)).first;
    return *it->second;
  }

 private:
  Ref a_;
  host::ReplaceFormat replace_format_;
  std::map<const void*, std::unique_ptr<DispatchWorkbook>> books_;
};

host::Workbook& DispatchWorksheet::parent() {
  return book_;
}

void DispatchWorksheet::copy_after(host::Worksheet& after) {
  auto* a = dynamic_cast<DispatchWorksheet*>(&after);
  if (!a) throw host::HostError::host(host::kRefused);
  s_.call(L"Copy", {}, {{L"After", Var::object(a->ref().get()), 1}});
}

void DispatchWorksheet::delete_sheet() {
  s_.call(L"Delete");
  book_.forget(*this);
}

bool DispatchWorksheet::replace(const Rect& a, std::string_view what, std::string_view with,
                                host::LookAt look_at, bool replace_format) {
  if (replace_format) static_cast<DispatchApplication&>(book_.application()).push_replace_format();
  const Var found = range(a).call(L"Replace", {},
                                  {{L"What", text_var(what), 0},
                                   {L"Replacement", text_var(with), 1},
                                   {L"LookAt", number_var(static_cast<int32_t>(look_at)), 2},
                                   {L"ReplaceFormat", boolean_var(replace_format), 7}});
  const Variant v = to_host(*found);
  return v.is_bool() && v.as_bool();
}

void DispatchWorksheet::change_font(const Rect& a, const host::FontChange& change) {
  if (change.empty()) return;
  const Ref f = range(a).object(L"Font");
  if (change.name) f.put(L"Name", Variant(*change.name));
  if (change.size) f.put(L"Size", Variant(*change.size));
  if (change.bold) f.put(L"Bold", Variant(*change.bold));
  if (change.color_index) f.put(L"ColorIndex", Variant(*change.color_index));
  if (change.underline) f.put(L"Underline", Variant(*change.underline));
}

host::Application& DispatchWorkbook::application() {
  return app_;
}

// --- The form --------------------------------------------------------------------

class DispatchControl : public host::Control {
 public:
  DispatchControl(std::string name, Ref c)
      : name_(std::move(name)),
        c_(std::move(c)),
        kind_(control_kind(c_.value(L"ControlType").to_text())) {}

  const std::string& name() const override { return name_; }
  host::ControlKind kind() const override { return kind_; }
  Variant value() const override { return c_.value(L"Value"); }
  void set_value(const Variant& v) override { c_.put(L"Value", v); }
  void clear() override { c_.call(L"Clear"); }
  void add_item(const Variant& item) override { c_.call(L"AddItem", {Var::from(item)}); }
  int32_t list_count() const override { return c_.value(L"ListCount").to_int32(); }
  int32_t list_index() const override { return c_.value(L"ListIndex").to_int32(); }
  void set_list_index(int32_t i) override { c_.put(L"ListIndex", Variant(i)); }
  void set_selected(int32_t i, bool on) override {
    automation::put(c_.get(), L"Selected", boolean_var(on), {number_var(i)});
  }
  const std::vector<std::string>& items() const override {
    const int32_t n = list_count();
    items_.clear();
    for (int32_t k = 0; k < n; ++k) items_.push_back(c_.value(L"List", {number_var(k)}).to_text());
    return items_;
  }
  bool enabled() const override { return c_.value(L"Enabled").to_bool(); }
  void set_enabled(bool on) override { c_.put(L"Enabled", Variant(on)); }
  std::string selected_page() const override {
    return c_.object(L"SelectedItem").value(L"Name").to_text();
  }
  void set_selected_page(std::string_view page) override {
    if (page != "Page0" && page != "Page1") throw host::HostError::host(host::kInvalidArgument);
    c_.put(L"Value", Variant(page == "Page1" ? 1 : 0));
  }

 private:
  std::string name_;
  Ref c_;
  host::ControlKind kind_;
  mutable std::vector<std::string> items_;
};

class DispatchForm : public host::Form {
 public:
  explicit DispatchForm(Ref f) : f_(std::move(f)) {}
  std::string caption() const override { return f_.value(L"Caption").to_text(); }
  void set_caption(std::string_view c) override { f_.put(L"Caption", Variant(c)); }
  host::Control& control(std::string_view name) override {
    auto it = controls_.find(name);
    if (it == controls_.end()) {
      Ref c = f_.object(L"Controls", {text_var(name)});
      it = controls_
               .emplace(std::string(name),
                        std::make_unique<DispatchControl>(std::string(name), std::move(c)))
               .first;
    }
    return *it->second;
  }

 private:
  Ref f_;
  std::map<std::string, std::unique_ptr<DispatchControl>, std::less<>> controls_;
};

}  // namespace

std::unique_ptr<host::Application> application_over(IDispatch* app) {
  app->AddRef();
  return std::make_unique<DispatchApplication>(Ref(app));
}

std::unique_ptr<host::Form> form_over(IDispatch* form) {
  form->AddRef();
  return std::make_unique<DispatchForm>(Ref(form));
}

}  // namespace kelv::automation
