#include "automation/served_objects.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/core/script_saves.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "readers/format.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/engine.h"

namespace kelv::automation {

// {0275616A-5FB6-4FEB-8543-5C581836BB44}
const IID IID_INativeHost = {
    0x0275616a, 0x5fb6, 0x4feb, {0x85, 0x43, 0x5c, 0x58, 0x18, 0x36, 0xbb, 0x44}};

namespace {

using host::Range;
using Call = DispatchObject::Call;

// Children keep their root object (the application or the form) alive:
// the engine behind them lives as long as any of them does.
//
// A workbook, sheet or control is one object however often it is asked
// for, as automation clients expect (they compare objects by identity): the
// root keeps the live ones by the native object they stand for.
class Root : public DispatchObject {
 public:
  template <class Make>
  IDispatch* cached(const void* key, Make make) {
    if (auto it = live_.find(key); it != live_.end()) {
      it->second->AddRef();
      return it->second;
    }
    DispatchObject* made = make();
    live_[key] = made;
    return made;
  }
  // The object stands for nothing any more (deleted, closed, gone).
  void forget(const void* key, const DispatchObject* who) {
    if (auto it = live_.find(key); it != live_.end() && it->second == who) live_.erase(it);
  }
  // Closing a workbook frees its sheets: nothing known may stand for them.
  void forget_all() { live_.clear(); }

  // How scripts' saves are made: guarded and backed up on an engine of
  // kelv.Application's own; null on an engine someone else owns, whose
  // owner keeps its files safe.
  app::ScriptSaves* saves() const { return saves_; }
  void set_saves(app::ScriptSaves* saves) { saves_ = saves; }

 private:
  std::unordered_map<const void*, DispatchObject*> live_;
  app::ScriptSaves* saves_ = nullptr;
};

class Child : public DispatchObject {
 public:
  explicit Child(IDispatch* owner) : root_(owner) { root_->AddRef(); }
  ~Child() override {
    if (key_) ours<Root>(root_).forget(key_, this);
    root_->Release();
  }
  void set_key(const void* key) { key_ = key; }

 protected:
  IDispatch* root() const { return root_; }
  void forget() {
    if (key_) ours<Root>(root_).forget(key_, this);
    key_ = nullptr;
  }

 private:
  IDispatch* root_;
  const void* key_ = nullptr;
};

// The one object of a root for `key`, made by `make` the first time.
template <class T, class Make>
IDispatch* identified(IDispatch* root, const void* key, Make make) {
  return ours<Root>(root).cached(key, [&] {
    T* made = make();
    made->set_key(key);
    return made;
  });
}

// A property that reads with get and writes with set.
template <class Get, class Set>
DispatchObject::Member property(Get get, Set set) {
  return [get, set](Call& c) {
    if (c.is_put())
      set(c.args.put_value());
    else
      c.returns(get());
  };
}

template <class Get>
DispatchObject::Member read_only(Get get) {
  return [get](Call& c) {
    if (c.is_put()) throw host::HostError::host(host::kRefused, "不能设置该属性");
    c.returns(get());
  };
}

// Index arguments: a number is 1-based, anything else is a name.
bool is_number(const VARIANT& v) {
  const VARTYPE t = V_VT(&unwrap(v));
  return t != VT_BSTR && t != VT_EMPTY && t != VT_DISPATCH;
}

// --- Ranges -----------------------------------------------------------------------

class RangeObject;
IDispatch* new_range(IDispatch* root, const Range& r);

// "A1", "B2:C5", "$A$1": a block of cells by its address (its first end a
// cell, so whole rows and columns are not taken).
host::Rect parse_address(std::string_view text) {
  host::Rect r;
  int32_t row = 0, col = 0;
  if (!spreadsheet::parse_cell(text.substr(0, text.find(':')), &row, &col) ||
      !spreadsheet::parse_range(text, &r))
    throw host::HostError::host(host::kRefused, "无效的单元格地址：" + std::string(text));
  return r;
}

class RangeObject : public Child {
 public:
  RangeObject(IDispatch* owner, const Range& r) : Child(owner), r_(r) {
    member(L"", property([this] { return r_.value(); }, [this](const VARIANT& v) { set(v); }));
    member(L"Value", property([this] { return r_.value(); }, [this](const VARIANT& v) { set(v); }));
    member(L"Value2",
           property([this] { return r_.value(); }, [this](const VARIANT& v) { set(v); }));
    member(L"Text", read_only([this] { return host::Variant(r_.text()); }));
    member(L"Formula", property([this] { return formula(); },
                                [this](const VARIANT& v) { r_.set_value(to_host(v)); }));
    member(L"FormulaR1C1", [this](Call& c) {
      if (!c.is_put()) throw host::HostError::host(host::kRefused);
      r_.set_formula_r1c1(arg_text(c.args.put_value()));
    });
    member(L"Row", read_only([this] { return host::Variant(r_.row()); }));
    member(L"Column", read_only([this] { return host::Variant(r_.column()); }));
    member(L"Count", read_only([this] {
             return host::Variant(static_cast<double>(r_.rows_count()) * r_.columns_count());
           }));
    member(L"Address", read_only([this] { return host::Variant(address()); }));
    member(L"Cells", [this](Call& c) {
      if (!c.args.has(0)) return c.returns_object(new_range(root(), r_));
      c.returns_object(new_range(
          root(), r_.cell(arg_int(c.args.at(0)), c.args.has(1) ? arg_int(c.args.at(1)) : 1)));
    });
    member(L"Rows", [this](Call& c) { c.returns_object(lines_of(c, true)); });
    member(L"Columns", [this](Call& c) { c.returns_object(lines_of(c, false)); });
    member(L"Areas", [this](Call& c) {
      if (!c.args.has(0)) return c.returns(host::Variant(r_.area_count()));
      const auto areas = r_.areas();
      const int32_t k = arg_int(c.args.at(0));
      if (k < 1 || k > static_cast<int32_t>(areas.size()))
        throw host::HostError::host(host::kSubscriptOutOfRange);
      c.returns_object(new_range(root(), Range(r_.worksheet(), areas[static_cast<size_t>(k - 1)])));
    });
    member(L"CurrentRegion",
           [this](Call& c) { c.returns_object(new_range(root(), r_.current_region())); });
    member(L"MergeArea", [this](Call& c) { c.returns_object(new_range(root(), r_.merge_area())); });
    member(L"Clear", [this](Call&) { r_.clear(); });
    member(L"ClearContents", [this](Call&) { r_.clear_contents(); });
    member(L"Copy", [this](Call& c) {
      r_.copy();
      // Copy Destination:= pastes everything at the destination's cell.
      if (const VARIANT* to = c.args.find(L"Destination", 0)) {
        const Range dest = range_of(*to);
        r_.worksheet().paste_at(dest.row(), dest.column());
      }
    });
    member(L"PasteSpecial", [this](Call& c) {
      const VARIANT* paste = c.args.find(L"Paste", 0);
      if (paste && arg_int(*paste) != host::xlPasteValues)
        r_.worksheet().paste_at(r_.row(), r_.column());
      else
        r_.paste_special_values();
    });
    member(L"Delete", [this](Call& c) {
      const VARIANT* shift = c.args.find(L"Shift", 0);
      if (shift && arg_int(*shift) != host::xlUp)
        throw host::HostError::host(host::kRefused, "只支持向上移动");
      r_.delete_shift_up();
    });
    member(L"Sort", [this](Call& c) {
      const VARIANT* key = c.args.find(L"Key1", 0);
      if (!key) throw host::HostError::host(host::kArgumentNotOptional);
      const Range key_range = range_of(*key);
      const VARIANT* order = c.args.find(L"Order1", 1);
      const VARIANT* header = c.args.find(L"Header", 7);
      r_.sort(key_range,
              order ? static_cast<host::SortOrder>(arg_int(*order)) : host::SortOrder::Ascending,
              header ? static_cast<host::SortHeader>(arg_int(*header)) : host::SortHeader::No);
    });
    member(L"Replace", [this](Call& c) {
      const VARIANT* what = c.args.find(L"What", 0);
      const VARIANT* with = c.args.find(L"Replacement", 1);
      if (!what || !with) throw host::HostError::host(host::kArgumentNotOptional);
      const VARIANT* look_at = c.args.find(L"LookAt", 2);
      const VARIANT* format = c.args.find(L"ReplaceFormat", 7);
      c.returns(
          r_.replace(arg_text(*what), arg_text(*with),
                     look_at ? static_cast<host::LookAt>(arg_int(*look_at)) : host::LookAt::Part,
                     format && arg_bool(*format)));
    });
    member(L"NumberFormat", read_only([this] { return host::Variant(r_.number_format()); }));
    member(L"NumberFormatLocal",
           property([this] { return host::Variant(r_.number_format()); },
                    [this](const VARIANT& v) { r_.set_number_format_local(arg_text(v)); }));
    member(L"Font", [this](Call& c) { c.returns_object(new_font()); });
    member(L"HorizontalAlignment",
           property([this] { return host::Variant(r_.horizontal_alignment()); },
                    [this](const VARIANT& v) { r_.set_horizontal_alignment(arg_int(v)); }));
    member(L"VerticalAlignment",
           property([this] { return host::Variant(r_.vertical_alignment()); },
                    [this](const VARIANT& v) { r_.set_vertical_alignment(arg_int(v)); }));
    member(L"MergeCells", property(
                              [this] {
                                const host::Rect m =
                                    r_.worksheet().merge_area(r_.row(), r_.column());
                                return host::Variant(m.rows() > 1 || m.columns() > 1);
                              },
                              [this](const VARIANT& v) {
                                if (arg_bool(v)) r_.merge();
                              }));
    member(L"Merge", [this](Call&) { r_.merge(); });
    member(L"ColumnWidth",
           property([this] { return host::Variant(r_.column_width()); },
                    [this](const VARIANT& v) { r_.set_column_width(arg_double(v)); }));
    member(L"RowHeight", property([this] { return host::Variant(r_.row_height()); },
                                  [this](const VARIANT& v) { r_.set_row_height(arg_double(v)); }));
    member(L"Top", read_only([this] { return host::Variant(r_.top()); }));
    member(L"Left", read_only([this] { return host::Variant(r_.left()); }));
    member(L"Width", read_only([this] { return host::Variant(r_.width()); }));
    member(L"Height", read_only([this] { return host::Variant(r_.height()); }));
    member(L"Select", [this](Call&) { r_.select(); });
    member(L"Activate", [this](Call&) { r_.activate(); });
  }

  const Range& range() const { return r_; }

  // A range argument: one of ours, or an address on this range's sheet.
  Range range_of(const VARIANT& v) const;

 private:
  void set(const VARIANT& in) {
    const VARIANT& v = unwrap(in);
    if (V_VT(&v) & VT_ARRAY) {
      // A block of values, row by row, from a one- or two-dimensional array.
      SAFEARRAY* a = (V_VT(&v) & VT_BYREF) ? *V_ARRAYREF(&v) : V_ARRAY(&v);
      const UINT dims = SafeArrayGetDim(a);
      std::vector<host::Variant> values;
      LONG lo1 = 0, hi1 = -1, lo2 = 0, hi2 = 0;
      SafeArrayGetLBound(a, 1, &lo1);
      SafeArrayGetUBound(a, 1, &hi1);
      if (dims == 2) {
        SafeArrayGetLBound(a, 2, &lo2);
        SafeArrayGetUBound(a, 2, &hi2);
      }
      for (LONG i = lo1; i <= hi1; ++i)
        for (LONG j = lo2; j <= (dims == 2 ? hi2 : lo2); ++j) {
          LONG idx[2] = {i, j};
          Var item;
          if ((V_VT(&v) & VT_TYPEMASK) == VT_VARIANT)
            SafeArrayGetElement(a, idx, item.get());
          else
            throw host::HostError::host(host::kTypeMismatch);
          values.push_back(to_host(*item));
        }
      r_.set_values(values);
      return;
    }
    r_.set_value(to_host(v));
  }

  host::Variant formula() const {
    const std::string f = r_.formula();
    return f.empty() ? r_.value() : host::Variant(f);
  }

  std::string address() const { return spreadsheet::absolute_address(r_.area()); }

  IDispatch* lines_of(Call& c, bool rows) {
    const host::Rect& a = r_.area();
    if (!c.args.has(0)) return new LinesObject(root(), r_, rows);
    const int32_t k = arg_int(c.args.at(0));
    const host::Rect line = rows ? host::Rect{a.row1 + k - 1, a.col1, a.row1 + k - 1, a.col2}
                                 : host::Rect{a.row1, a.col1 + k - 1, a.row2, a.col1 + k - 1};
    if (line.row1 < 1 || line.col1 < 1 || line.row2 > host::kMaxRows ||
        line.col2 > host::kMaxColumns)
      throw host::HostError::host(host::kRefused);
    return new_range(root(), Range(r_.worksheet(), line));
  }

  // Range.Rows / Range.Columns without an index: the same block, counted by
  // rows or columns.
  class LinesObject : public Child {
   public:
    LinesObject(IDispatch* owner, const Range& r, bool rows) : Child(owner), r_(r) {
      member(L"Count", read_only([this, rows] {
               return host::Variant(rows ? r_.rows_count() : r_.columns_count());
             }));
      member(L"RowHeight",
             property([this] { return host::Variant(r_.row_height()); },
                      [this](const VARIANT& v) { r_.set_row_height(arg_double(v)); }));
      member(L"ColumnWidth",
             property([this] { return host::Variant(r_.column_width()); },
                      [this](const VARIANT& v) { r_.set_column_width(arg_double(v)); }));
    }

   private:
    Range r_;
  };

  class FontObject : public Child {
   public:
    FontObject(IDispatch* owner, const Range& r) : Child(owner), f_(r) {
      member(L"Name", property([this] { return host::Variant(f_.get().name); },
                               [this](const VARIANT& v) { f_.set_name(arg_text(v)); }));
      member(L"Size", property([this] { return host::Variant(f_.get().size); },
                               [this](const VARIANT& v) { f_.set_size(arg_double(v)); }));
      member(L"Bold", property([this] { return host::Variant(f_.get().bold); },
                               [this](const VARIANT& v) { f_.set_bold(arg_bool(v)); }));
      member(L"ColorIndex", property([this] { return host::Variant(f_.get().color_index); },
                                     [this](const VARIANT& v) { f_.set_color_index(arg_int(v)); }));
      member(L"Underline", property([this] { return host::Variant(f_.get().underline); },
                                    [this](const VARIANT& v) { f_.set_underline(arg_int(v)); }));
    }

   private:
    host::RangeFont f_;
  };

  IDispatch* new_font() { return new FontObject(root(), r_); }

  Range r_;
};

// The range behind an argument: a range object of this face (read back by
// its sheet position) or an address text.
Range RangeObject::range_of(const VARIANT& in) const {
  const VARIANT& v = unwrap(in);
  if (V_VT(&v) == VT_BSTR) return Range(r_.worksheet(), parse_address(arg_text(v)));
  return ours<RangeObject>(arg_object(v)).range();
}

IDispatch* new_range(IDispatch* root, const Range& r) {
  return new RangeObject(root, r);
}

// --- Worksheets ---------------------------------------------------------------------

IDispatch* new_workbook(IDispatch* root, host::Workbook& b);
IDispatch* new_worksheet(IDispatch* root, host::Worksheet& s);

// Worksheets(k): 1-based by number, else by name.
host::Worksheet& sheet_item(host::Workbook& b, const VARIANT& k) {
  return is_number(k) ? b.sheet_at(arg_int(k) - 1) : b.sheet(arg_text(k));
}

host::Worksheet& sheet_of(IDispatch* d);
// Closes a workbook of the application object `application`; nothing known
// may stand for its sheets afterwards.
void close_workbook(IDispatch* application, host::Workbook& book);

class PageSetupObject : public Child {
 public:
  PageSetupObject(IDispatch* owner, host::Worksheet& s) : Child(owner), setup_(s) {
    for (const auto& entry : page_setup_names()) {
      const auto p = entry.property;
      member(entry.name, property([this, p] { return setup_.get(p); },
                                  [this, p](const VARIANT& v) { setup_.set(p, to_host(v)); }));
    }
  }

 private:
  host::PageSetup setup_;
};

class PictureObject : public Child {
 public:
  PictureObject(IDispatch* owner, host::Picture& p) : Child(owner), p_(p) {
    member(L"Select", [this](Call&) { p_.select(); });
    member(L"ShapeRange", [this](Call& c) {
      AddRef();
      c.returns_object(this);
    });
    member(L"LockAspectRatio",
           property([this] { return host::Variant(p_.lock_aspect_ratio()); },
                    [this](const VARIANT& v) { p_.set_lock_aspect_ratio(arg_bool(v)); }));
    member(L"Top", property([this] { return host::Variant(p_.top()); },
                            [this](const VARIANT& v) { p_.set_top(arg_double(v)); }));
    member(L"Left", property([this] { return host::Variant(p_.left()); },
                             [this](const VARIANT& v) { p_.set_left(arg_double(v)); }));
    member(L"Width", property([this] { return host::Variant(p_.width()); },
                              [this](const VARIANT& v) { p_.set_width(arg_double(v)); }));
    member(L"Height", property([this] { return host::Variant(p_.height()); },
                               [this](const VARIANT& v) { p_.set_height(arg_double(v)); }));
    member(L"AlternativeText",
           property([this] { return host::Variant(p_.alternative_text()); },
                    [this](const VARIANT& v) { p_.set_alternative_text(arg_text(v)); }));
  }

 private:
  host::Picture& p_;
};

// A small collection object with one method (Pictures.Insert,
// HPageBreaks.Add): the method's name and what it does.
class MethodHolder : public Child {
 public:
  MethodHolder(IDispatch* owner, const wchar_t* name, Member m) : Child(owner) {
    member(name, std::move(m));
  }
};

class WorksheetObject : public Child {
 public:
  WorksheetObject(IDispatch* owner, host::Worksheet& s) : Child(owner), s_(s) {
    member(L"Name", property([this] { return host::Variant(s_.name()); },
                             [this](const VARIANT& v) { s_.set_name(arg_text(v)); }));
    member(L"Visible",
           property([this] { return host::Variant(static_cast<int32_t>(s_.visible())); },
                    [this](const VARIANT& v) { set_visible(v); }));
    member(L"Parent", [this](Call& c) { c.returns_object(new_workbook(root(), s_.parent())); });
    member(L"Activate", [this](Call&) { s_.activate(); });
    member(L"Select", [this](Call&) { s_.activate(); });
    member(L"Copy", [this](Call& c) {
      const VARIANT* after = c.args.find(L"After", 1);
      if (!after) throw host::HostError::host(host::kRefused, "只支持 Copy After:=");
      s_.copy_after(sheet_of(arg_object(*after)));
    });
    member(L"Delete", [this](Call&) {
      s_.delete_sheet();
      forget();
    });
    member(L"Cells", [this](Call& c) {
      if (!c.args.has(0))
        return c.returns_object(
            new_range(root(), Range(s_, {1, 1, host::kMaxRows, host::kMaxColumns})));
      c.returns_object(new_range(root(), s_.cells(arg_int(c.args.at(0)), arg_int(c.args.at(1)))));
    });
    member(L"Range", [this](Call& c) { c.returns_object(new_range(root(), range(c.args))); });
    member(L"Rows", [this](Call& c) {
      c.returns_object(new_range(root(), s_.rows(arg_int(c.args.at(0)))));
    });
    member(L"Columns", [this](Call& c) {
      c.returns_object(new_range(root(), s_.columns(arg_int(c.args.at(0)))));
    });
    member(L"UsedRange", [this](Call& c) { c.returns_object(new_range(root(), s_.used_range())); });
    member(L"Paste", [this](Call& c) {
      const VARIANT* to = c.args.find(L"Destination", 0);
      if (!to) throw host::HostError::host(host::kArgumentNotOptional);
      IDispatch* d = arg_object(*to);
      s_.paste_at(arg_int(*get(d, L"Row")), arg_int(*get(d, L"Column")));
    });
    member(L"PageSetup", [this](Call& c) { c.returns_object(new PageSetupObject(root(), s_)); });
    member(L"HPageBreaks", [this](Call& c) {
      c.returns_object(new MethodHolder(root(), L"Add", [this](Call& add) {
        const VARIANT* before = add.args.find(L"Before", 0);
        if (!before) throw host::HostError::host(host::kArgumentNotOptional);
        s_.add_page_break_above(arg_int(*get(arg_object(*before), L"Row")));
      }));
    });
    member(L"Pictures", [this](Call& c) {
      c.returns_object(new MethodHolder(root(), L"Insert", [this](Call& insert) {
        host::Picture& p = s_.insert_picture(arg_text(insert.args.at(0)));
        insert.returns_object(new PictureObject(this->root(), p));
      }));
    });
    // Shapes.AddPicture(Filename, LinkToFile, SaveWithDocument, Left, Top,
    // Width, Height): always embedded; a width or height of -1 keeps the
    // picture's own.
    member(L"Shapes", [this](Call& c) {
      c.returns_object(new MethodHolder(root(), L"AddPicture", [this](Call& add) {
        host::Picture& p = s_.insert_picture(arg_text(add.args.at(0)));
        if (add.args.has(3)) p.set_left(arg_double(add.args.at(3)));
        if (add.args.has(4)) p.set_top(arg_double(add.args.at(4)));
        p.set_lock_aspect_ratio(false);
        if (add.args.has(5) && arg_double(add.args.at(5)) >= 0)
          p.set_width(arg_double(add.args.at(5)));
        if (add.args.has(6) && arg_double(add.args.at(6)) >= 0)
          p.set_height(arg_double(add.args.at(6)));
        p.set_lock_aspect_ratio(true);
        add.returns_object(new PictureObject(this->root(), p));
      }));
    });
    member(L"Tab", [this](Call& c) {
      auto* tab = new MethodHolder(root(), L"ColorIndex", [this](Call& ci) {
        if (ci.is_put())
          s_.set_tab_color_index(arg_int(ci.args.put_value()));
        else
          ci.returns(host::Variant(s_.tab_color_index()));
      });
      c.returns_object(tab);
    });
  }

  host::Worksheet& sheet() const { return s_; }

 private:
  void set_visible(const VARIANT& in) {
    const VARIANT& v = unwrap(in);
    if (V_VT(&v) == VT_BOOL) {
      s_.set_visible(V_BOOL(&v) ? host::SheetVisibility::Visible : host::SheetVisibility::Hidden);
      return;
    }
    const int32_t k = arg_int(v);
    if (k != -1 && k != 0 && k != 2) throw host::HostError::host(host::kRefused);
    s_.set_visible(static_cast<host::SheetVisibility>(k));
  }

  // Range("A1:B2"), Range(Cells(1, 1), Cells(2, 2)).
  Range range(const Args& args) {
    auto one = [&](const VARIANT& v) {
      if (V_VT(&unwrap(v)) == VT_BSTR) return Range(s_, parse_address(arg_text(v)));
      Range r = ours<RangeObject>(arg_object(v)).range();
      if (&r.worksheet() != &s_) throw host::HostError::host(host::kRefused);
      return r;
    };
    Range first = one(args.at(0));
    if (!args.has(1)) return first;
    return s_.range(first, one(args.at(1)));
  }

  host::Worksheet& s_;
};

IDispatch* new_worksheet(IDispatch* root, host::Worksheet& s) {
  return identified<WorksheetObject>(root, &s, [&] { return new WorksheetObject(root, s); });
}

host::Worksheet& sheet_of(IDispatch* d) {
  return ours<WorksheetObject>(d).sheet();
}

class WorksheetsObject : public Child {
 public:
  WorksheetsObject(IDispatch* owner, host::Workbook& b) : Child(owner), b_(b) {
    auto item = [this](Call& c) {
      c.returns_object(new_worksheet(root(), sheet_item(b_, c.args.at(0))));
    };
    member(L"", item);
    member(L"Item", item);
    member(L"Count", read_only([this] { return host::Variant(b_.sheet_count()); }));
    member(L"Add", [this](Call& c) {
      const VARIANT* after = c.args.find(L"After", 1);
      host::Worksheet& base = after ? sheet_of(arg_object(*after)) : b_.active_sheet();
      c.returns_object(new_worksheet(root(), b_.add_sheet_after(base)));
    });
  }

 private:
  host::Workbook& b_;
};

class WindowObject : public Child {
 public:
  WindowObject(IDispatch* owner, host::Window& w) : Child(owner), w_(w) {
    member(L"ScrollRow", property([this] { return host::Variant(w_.scroll_row()); },
                                  [this](const VARIANT& v) { w_.set_scroll_row(arg_int(v)); }));
    member(L"ScrollColumn",
           property([this] { return host::Variant(w_.scroll_column()); },
                    [this](const VARIANT& v) { w_.set_scroll_column(arg_int(v)); }));
    member(L"SplitRow", property([this] { return host::Variant(w_.split_row()); },
                                 [this](const VARIANT& v) { w_.set_split_row(arg_int(v)); }));
    member(L"SplitColumn", property([this] { return host::Variant(w_.split_column()); },
                                    [this](const VARIANT& v) { w_.set_split_column(arg_int(v)); }));
    member(L"FreezePanes",
           property([this] { return host::Variant(w_.freeze_panes()); },
                    [this](const VARIANT& v) { w_.set_freeze_panes(arg_bool(v)); }));
    member(L"TabRatio", property([this] { return host::Variant(w_.tab_ratio()); },
                                 [this](const VARIANT& v) { w_.set_tab_ratio(arg_double(v)); }));
  }

 private:
  host::Window& w_;
};

class WorkbookObject : public Child {
 public:
  WorkbookObject(IDispatch* owner, host::Workbook& b) : Child(owner), b_(b) {
    member(L"Name", read_only([this] { return host::Variant(b_.name()); }));
    member(L"Path", read_only([this] { return host::Variant(b_.path()); }));
    member(L"FullName", read_only([this] { return host::Variant(b_.path() + "\\" + b_.name()); }));
    member(L"Saved", read_only([this] { return host::Variant(!b_.modified()); }));
    member(L"Activate", [this](Call&) { b_.activate(); });
    member(L"Worksheets", [this](Call& c) { collection_or_item(c); });
    member(L"Sheets", [this](Call& c) { collection_or_item(c); });
    member(L"ActiveSheet",
           [this](Call& c) { c.returns_object(new_worksheet(root(), b_.active_sheet())); });
    member(L"Windows",
           [this](Call& c) { c.returns_object(new WindowObject(root(), b_.window())); });
    member(L"Save", [this](Call&) { save(); });
    member(L"SaveAs", [this](Call& c) {
      const VARIANT* name = c.args.find(L"Filename", 0);
      if (!name) throw host::HostError::host(host::kArgumentNotOptional);
      if (app::ScriptSaves* saves = ours<Root>(root()).saves())
        saves->save_as(b_, arg_text(*name));
      else
        b_.save_as(arg_text(*name));
    });
    member(L"Close", [this](Call& c) {
      const VARIANT* save_changes = c.args.find(L"SaveChanges", 0);
      if (save_changes && arg_bool(*save_changes)) save();
      close_workbook(root(), b_);
    });
  }

 private:
  void save() {
    if (app::ScriptSaves* saves = ours<Root>(root()).saves())
      saves->save(b_);
    else
      b_.save();
  }

  void collection_or_item(Call& c) {
    if (!c.args.has(0)) return c.returns_object(new WorksheetsObject(root(), b_));
    c.returns_object(new_worksheet(root(), sheet_item(b_, c.args.at(0))));
  }

  host::Workbook& b_;
};

IDispatch* new_workbook(IDispatch* root, host::Workbook& b) {
  return identified<WorkbookObject>(root, &b, [&] { return new WorkbookObject(root, b); });
}

class WorkbooksObject : public Child {
 public:
  WorkbooksObject(IDispatch* owner, spreadsheet::Engine& app, bool first_is_host)
      : Child(owner), app_(app), first_is_host_(first_is_host) {
    auto item = [this](Call& c) {
      const VARIANT& k = c.args.at(0);
      host::Workbook& b =
          is_number(k) ? app_.workbook_at(arg_int(k) - 1) : app_.workbook(arg_text(k));
      c.returns_object(new_workbook(root(), b));
    };
    member(L"", item);
    member(L"Item", item);
    member(L"Count", read_only([this] { return host::Variant(app_.workbook_count()); }));
    member(L"Open", [this](Call& c) {
      const VARIANT* name = c.args.find(L"Filename", 0);
      if (!name) throw host::HostError::host(host::kArgumentNotOptional);
      const std::string path = arg_text(*name);
      // The first workbook a script opens in a new kelv.Application is its
      // host workbook (ThisWorkbook).
      host::Workbook& b = first_is_host_ && app_.workbook_count() == 0
                              ? app_.open_host_workbook(path)
                              : app_.open_workbook(path);
      c.returns_object(new_workbook(root(), b));
    });
  }

 private:
  spreadsheet::Engine& app_;
  bool first_is_host_;
};

// Application.ReplaceFormat: what Replace(..., ReplaceFormat:=True) gives
// the cells it matched.
class ReplaceFormatObject : public Child {
 public:
  ReplaceFormatObject(IDispatch* owner, host::ReplaceFormat& f) : Child(owner), f_(f) {
    member(L"Clear", [this](Call&) { f_ = host::ReplaceFormat{}; });
    member(L"Font", [this](Call& c) { c.returns_object(new FontHolder(root(), f_.font)); });
    member(L"HorizontalAlignment",
           property(
               [this] {
                 return f_.horizontal_alignment ? host::Variant(*f_.horizontal_alignment)
                                                : host::Variant::null();
               },
               [this](const VARIANT& v) { f_.horizontal_alignment = arg_int(v); }));
    member(L"VerticalAlignment",
           property(
               [this] {
                 return f_.vertical_alignment ? host::Variant(*f_.vertical_alignment)
                                              : host::Variant::null();
               },
               [this](const VARIANT& v) { f_.vertical_alignment = arg_int(v); }));
  }

 private:
  // ReplaceFormat.Font: each property set is one the format applies.
  class FontHolder : public Child {
   public:
    FontHolder(IDispatch* owner, host::FontChange& f) : Child(owner), f_(f) {
      member(L"Name", [this](Call& c) {
        put_or_get(c, f_.name, [](const VARIANT& v) { return arg_text(v); });
      });
      member(L"Size", [this](Call& c) {
        put_or_get(c, f_.size, [](const VARIANT& v) { return arg_double(v); });
      });
      member(L"Bold", [this](Call& c) {
        put_or_get(c, f_.bold, [](const VARIANT& v) { return arg_bool(v); });
      });
      member(L"ColorIndex", [this](Call& c) {
        put_or_get(c, f_.color_index, [](const VARIANT& v) { return arg_int(v); });
      });
      member(L"Underline", [this](Call& c) {
        put_or_get(c, f_.underline, [](const VARIANT& v) { return arg_int(v); });
      });
    }

   private:
    template <class T, class Convert>
    static void put_or_get(Call& c, std::optional<T>& field, Convert convert) {
      if (c.is_put())
        field = convert(c.args.put_value());
      else
        c.returns(field ? host::Variant(*field) : host::Variant::null());
    }
    host::FontChange& f_;
  };

  host::ReplaceFormat& f_;
};

// --- The application -----------------------------------------------------------------

// Dialogs of a kelv.Application a script created: answered from the queue
// and written down.
struct OwnedParts {
  app::ScriptSaves saves;  // before the engine, whose open listener it is
  std::unique_ptr<spreadsheet::Engine> engine;
  host::RecordingDialogs dialogs;
  std::unique_ptr<host::SystemEnvironment> env = std::make_unique<host::SystemEnvironment>();
};

class ApplicationObject : public Root, public INativeHost {
 public:
  ApplicationObject(spreadsheet::Engine& app, host::Dialogs& dialogs, host::Environment& env,
                    std::unique_ptr<OwnedParts> parts)
      : app_(app), dialogs_(&dialogs), env_(&env), owned_(std::move(parts)) {
    IDispatch* self = this;
    member(L"Name", read_only([] { return host::Variant("kelv"); }));
    member(L"Workbooks", [this, self](Call& c) {
      if (!c.args.has(0))
        return c.returns_object(new WorkbooksObject(self, app_, owned_ != nullptr));
      const VARIANT& k = c.args.at(0);
      host::Workbook& b =
          is_number(k) ? app_.workbook_at(arg_int(k) - 1) : app_.workbook(arg_text(k));
      c.returns_object(new_workbook(self, b));
    });
    member(L"ThisWorkbook",
           [this, self](Call& c) { c.returns_object(new_workbook(self, app_.this_workbook())); });
    member(L"ActiveWorkbook",
           [this, self](Call& c) { c.returns_object(new_workbook(self, app_.active_workbook())); });
    member(L"ActiveSheet",
           [this, self](Call& c) { c.returns_object(new_worksheet(self, app_.active_sheet())); });
    member(L"ActiveWindow", [this, self](Call& c) {
      c.returns_object(new WindowObject(self, app_.active_window()));
    });
    member(L"Worksheets", [this, self](Call& c) {
      host::Workbook& b = app_.active_workbook();
      if (!c.args.has(0)) return c.returns_object(new WorksheetsObject(self, b));
      c.returns_object(new_worksheet(self, sheet_item(b, c.args.at(0))));
    });
    member(L"ScreenUpdating",
           property([this] { return host::Variant(app_.screen_updating()); },
                    [this](const VARIANT& v) { app_.set_screen_updating(arg_bool(v)); }));
    member(L"DisplayAlerts",
           property([this] { return host::Variant(app_.display_alerts()); },
                    [this](const VARIANT& v) { app_.set_display_alerts(arg_bool(v)); }));
    member(L"Calculation",
           property([this] { return host::Variant(app_.calculation()); },
                    [this](const VARIANT& v) { app_.set_calculation(arg_int(v)); }));
    member(L"Union", [self](Call& c) {
      std::vector<Range> parts;
      for (size_t k = 0; c.args.has(k); ++k) {
        parts.push_back(ours<RangeObject>(arg_object(c.args.at(k))).range());
      }
      if (parts.size() < 2) throw host::HostError::host(host::kArgumentNotOptional);
      Range all = parts[0];
      for (size_t k = 1; k < parts.size(); ++k) all.add(parts[k]);
      c.returns_object(new_range(self, all));
    });
    member(L"ReplaceFormat", [this, self](Call& c) {
      c.returns_object(new ReplaceFormatObject(self, app_.replace_format()));
    });
    // For scripts: the dialogs of a kelv.Application it created.
    member(L"Answer", [this](Call& c) {
      const VARIANT& v = c.args.at(0);
      recording().queue_answer(V_VT(&unwrap(v)) == VT_NULL || V_VT(&unwrap(v)) == VT_EMPTY
                                   ? std::nullopt
                                   : std::optional<std::string>(arg_text(v)));
    });
    member(L"DialogCount", read_only([this] {
             return host::Variant(static_cast<int32_t>(recording().records().size()));
           }));
    member(L"DialogKind", [this](Call& c) { c.returns(record(c).kind); });
    member(L"DialogText", [this](Call& c) { c.returns(record(c).text); });
    member(L"DialogTitle", [this](Call& c) { c.returns(record(c).title); });
    // The rest of what was recorded of dialog i: a message box's buttons
    // ("OK", "YesNo") and icon ("none", "critical"), an input box's default
    // text, the answer used ("OK", "Yes", "No", the typed text, Null for
    // Cancel) and whether it was the default for want of a queued one, a
    // tone's pitch and length.
    member(L"DialogButtons", [this](Call& c) { c.returns(record(c).buttons); });
    member(L"DialogIcon", [this](Call& c) { c.returns(record(c).icon); });
    member(L"DialogDefaultText", [this](Call& c) { c.returns(record(c).default_text); });
    member(L"DialogAnswer", [this](Call& c) {
      const host::DialogRecord& r = record(c);
      c.returns(r.answer ? host::Variant(*r.answer) : host::Variant::null());
    });
    member(L"DialogDefaulted", [this](Call& c) { c.returns(host::Variant(record(c).defaulted)); });
    member(L"DialogHertz", [this](Call& c) { c.returns(host::Variant(record(c).hertz)); });
    member(L"DialogMilliseconds",
           [this](Call& c) { c.returns(host::Variant(record(c).milliseconds)); });
    member(L"RandomSeed", [this](Call& c) {
      if (!c.is_put()) throw host::HostError::host(host::kRefused);
      owned().env = std::make_unique<host::SystemEnvironment>(
          static_cast<uint64_t>(arg_int(c.args.put_value())));
      env_ = owned().env.get();
    });
    member(L"Quit", [this](Call&) {
      if (!owned_) return;
      while (app_.workbook_count() > 0) app_.close_workbook(app_.workbook_at(0));
      forget_all();
    });
  }

  // IUnknown, for both faces of the object.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return DispatchObject::QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchObject::Release(); }

  void close(host::Workbook& book) {
    app_.close_workbook(book);
    forget_all();
  }

  host::Application* STDMETHODCALLTYPE application() override { return &app_; }
  host::Form* STDMETHODCALLTYPE form() override { return nullptr; }
  host::Dialogs* STDMETHODCALLTYPE dialogs() override { return dialogs_; }
  host::Environment* STDMETHODCALLTYPE environment() override { return env_; }

 protected:
  void* query(REFIID riid) override {
    return IsEqualIID(riid, IID_INativeHost) ? static_cast<INativeHost*>(this) : nullptr;
  }

 private:
  OwnedParts& owned() {
    if (!owned_)
      throw host::HostError::host(host::kRefused, "此应用程序的对话框和随机数不由脚本管理");
    return *owned_;
  }
  host::RecordingDialogs& recording() { return owned().dialogs; }
  const host::DialogRecord& record(Call& c) {
    const int32_t k = arg_int(c.args.at(0));
    const auto& all = recording().records();
    if (k < 1 || k > static_cast<int32_t>(all.size()))
      throw host::HostError::host(host::kSubscriptOutOfRange);
    return all[static_cast<size_t>(k - 1)];
  }

  spreadsheet::Engine& app_;
  host::Dialogs* dialogs_;
  host::Environment* env_;
  std::unique_ptr<OwnedParts> owned_;
};

void close_workbook(IDispatch* application, host::Workbook& book) {
  ours<ApplicationObject>(application).close(book);
}

// --- The form --------------------------------------------------------------------------

class ControlObject : public Child {
 public:
  ControlObject(IDispatch* owner, host::Control& c) : Child(owner), c_(c) {
    auto value = property([this] { return c_.value(); },
                          [this](const VARIANT& v) { c_.set_value(to_host(v)); });
    member(L"", value);
    member(L"Value", value);
    member(L"Name", read_only([this] { return host::Variant(c_.name()); }));
    // The control's kind, as TypeName names it.
    member(L"ControlType", read_only([this] { return host::Variant(control_type(c_.kind())); }));
    member(L"Text", property([this] { return text(); },
                             [this](const VARIANT& v) { c_.set_value(to_host(v)); }));
    member(L"Caption", read_only([this] { return host::Variant(c_.name()); }));
    member(L"ListCount", read_only([this] { return host::Variant(c_.list_count()); }));
    member(L"ListIndex", property([this] { return host::Variant(c_.list_index()); },
                                  [this](const VARIANT& v) { c_.set_list_index(arg_int(v)); }));
    member(L"List", [this](Call& c) {
      if (c.is_put()) throw host::HostError::host(host::kRefused, "请用 AddItem 添加列表项");
      const int32_t k = arg_int(c.args.at(0));
      if (k < 0 || k >= c_.list_count()) throw host::HostError::host(host::kInvalidArgument);
      c.returns(host::Variant(c_.items()[static_cast<size_t>(k)]));
    });
    member(L"Selected", [this](Call& c) {
      const int32_t k = arg_int(c.args.at(0));
      if (c.is_put())
        c_.set_selected(k, arg_bool(c.args.put_value()));
      else
        c.returns(host::Variant(c_.list_index() == k));
    });
    member(L"AddItem", [this](Call& c) { c_.add_item(to_host(c.args.at(0))); });
    member(L"Clear", [this](Call&) { c_.clear(); });
    member(L"Enabled", property([this] { return host::Variant(c_.enabled()); },
                                [this](const VARIANT& v) { c_.set_enabled(arg_bool(v)); }));
    member(L"SelectedItem", [this](Call& c) {
      c.returns_object(new MethodHolder(
          root(), L"Name", [this](Call& n) { n.returns(host::Variant(c_.selected_page())); }));
    });
  }

 private:
  host::Variant text() const {
    const host::Variant v = c_.value();
    return v.is_null() ? host::Variant("") : host::Variant(v.to_text());
  }

  host::Control& c_;
};

class FormObject : public Root, public INativeHost {
 public:
  FormObject(host::Form& form, std::unique_ptr<host::FormModel> owned)
      : form_(&form), owned_(std::move(owned)) {
    member(L"Caption", property([this] { return host::Variant(form_->caption()); },
                                [this](const VARIANT& v) { form_->set_caption(arg_text(v)); }));
    member(L"Controls", [this](Call& c) {
      if (!c.args.has(0)) {
        AddRef();
        return c.returns_object(this);  // Controls("Name") reads as Controls.Item
      }
      c.returns_object(control_object(form_->control(arg_text(c.args.at(0)))));
    });
    member(L"Item", [this](Call& c) {
      c.returns_object(control_object(form_->control(arg_text(c.args.at(0)))));
    });
    // A form of kelv's own may be the one without the seating controls
    // (TxtZhongZi, CmbFenKai), as a host workbook made before them has it.
    // Only before any control has been handed out.
    member(L"SeatingControls", [this](Call& c) {
      if (!owned_) throw host::HostError::host(host::kRefused);
      if (!c.is_put()) return c.returns(owned_->has_control("TxtZhongZi"));
      if (handed_out_) throw host::HostError::host(host::kRefused, "窗体的控件已在使用中");
      using enum host::FormModel::SeatingControls;
      const std::string caption = owned_->caption();
      owned_ = host::FormModel::standard_form(arg_bool(c.args.put_value()) ? With : Without);
      owned_->set_caption(caption);
      form_ = owned_.get();
    });
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return DispatchObject::QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchObject::Release(); }
  host::Application* STDMETHODCALLTYPE application() override { return nullptr; }
  host::Form* STDMETHODCALLTYPE form() override { return form_; }
  host::Dialogs* STDMETHODCALLTYPE dialogs() override { return nullptr; }
  host::Environment* STDMETHODCALLTYPE environment() override { return nullptr; }

 protected:
  IDispatch* control_object(host::Control& control) {
    handed_out_ = true;
    return identified<ControlObject>(this, &control,
                                     [&] { return new ControlObject(this, control); });
  }

  void* query(REFIID riid) override {
    return IsEqualIID(riid, IID_INativeHost) ? static_cast<INativeHost*>(this) : nullptr;
  }
  // UF.MultiPage1, UF.LtbBiao: a control by its name.
  std::optional<Member> dynamic_member(std::wstring_view name) override {
    const std::string n = narrow(std::wstring(name).c_str());
    if (owned_ && !owned_->has_control(n)) return std::nullopt;
    return Member([this, n](Call& c) {
      host::Control& control = form_->control(n);
      if (c.is_put()) return control.set_value(to_host(c.args.put_value()));
      c.returns_object(control_object(control));
    });
  }

 private:
  host::Form* form_;
  bool handed_out_ = false;
  std::unique_ptr<host::FormModel> owned_;
};

}  // namespace

IDispatch* new_application() {
  auto owned = std::make_unique<OwnedParts>();
  owned->engine = std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>());
  spreadsheet::Engine& app = *owned->engine;
  app::ScriptSaves& saves = owned->saves;
  app.set_open_listener([&saves](const std::string& path) { saves.opened(path); });
  host::Dialogs& dialogs = owned->dialogs;
  host::Environment& env = *owned->env;
  auto* object = new ApplicationObject(app, dialogs, env, std::move(owned));
  object->set_saves(&saves);
  return static_cast<DispatchObject*>(object);
}

IDispatch* wrap_application(spreadsheet::Engine& app, host::Dialogs& dialogs,
                            host::Environment& env) {
  return static_cast<DispatchObject*>(new ApplicationObject(app, dialogs, env, nullptr));
}

IDispatch* new_form() {
  std::unique_ptr<host::FormModel> model = host::FormModel::standard_form();
  host::Form& form = *model;
  return static_cast<DispatchObject*>(new FormObject(form, std::move(model)));
}

IDispatch* wrap_form(host::Form& form) {
  return static_cast<DispatchObject*>(new FormObject(form, nullptr));
}

}  // namespace kelv::automation
