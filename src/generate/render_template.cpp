#include "generate/render_template.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codes/picture_maker.h"
#include "codes/symbol.h"
#include "generate/layout_cursor.h"
#include "generate/seat_maps.h"
#include "generate/template_layout.h"
#include "host/constants.h"
#include "host/picture.h"
#include "host/progress.h"
#include "host/range.h"
#include "host/variant.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"

namespace kelv::generate {
namespace {

using host::Range;
using host::Variant;
using host::Worksheet;

// --- Messages ---------------------------------------------------------------

std::string MissingEndMarkerMessage(const std::string& template_name, int32_t row,
                                    const char* marker) {
  return "“" + template_name + "”第" + std::to_string(row) + "行缺少结束标志:" + marker;
}

std::string MissingBodyMessage(const std::string& template_name) {
  return "“" + template_name + "”模板表中，缺少主体区，请检查!";
}

std::string NoFieldsMessage(const std::string& template_name) {
  return "“" + template_name + "”模板表中，没有字段，请检查!";
}

const char* const kTooManyAcrossMessage = "程序窗体“横向排列区数”设置太大, 请检查！";

std::string MissingFieldsMessage(const std::string& data_sheet_name,
                                 const std::string& template_name, const std::string& names) {
  return "“" + data_sheet_name + "”中没有“" + template_name + "”模板表中的“" + names +
         "”字段，请检查！";
}

std::string UnencodableMessage(const std::string& data_sheet_name, int32_t row,
                               const std::string& template_name, const std::string& field,
                               const std::string& reason) {
  return "“" + data_sheet_name + "”第" + std::to_string(row) + "行：“" + template_name +
         "”模板表中的“" + field + "”字段无法编码，" + reason + "，请检查！";
}

// --- Binding ----------------------------------------------------------------

// Takes the code fields out of an area's photo fields: a name that is a
// heading of the scratch copy stays a photo field, whatever it looks like.
void SeparateCodeFields(Worksheet& data, int32_t work_column, AreaLayout& area) {
  std::vector<FieldBinding> photos;
  for (FieldBinding& f : area.photoFields) {
    std::optional<CodeField> code;
    if (FindScratchHeading(data, work_column, f.name) == 0) code = ParseCodeField(f);
    if (code) {
      area.code_fields.push_back(std::move(*code));
    } else {
      photos.push_back(std::move(f));
    }
  }
  area.photoFields = std::move(photos);
}

// Binds every field of the list and appends the names found nowhere, each
// followed by "、".
// Appends `name` to the missing-field list "a、b、" unless it is there: a
// field used in several cells is named once.
void AddMissing(std::string& missing, const std::string& name) {
  if (("、" + missing).find("、" + name + "、") == std::string::npos) missing += name + "、";
}

void BindFields(Worksheet& data, int32_t work_column, std::vector<FieldBinding>& fields,
                std::string& missing) {
  for (FieldBinding& f : fields) {
    f.dataColumn = FindScratchHeading(data, work_column, f.name);
    if (f.dataColumn == 0) AddMissing(missing, f.name);
  }
}

// Binds each column a code field names, appending those found nowhere.
void BindCodeFields(Worksheet& data, int32_t work_column, std::vector<CodeField>& fields,
                    std::string& missing) {
  for (CodeField& f : fields) {
    for (size_t k = 0; k < f.columns.size(); ++k) {
      f.data_columns[k] = FindScratchHeading(data, work_column, f.columns[k]);
      if (f.data_columns[k] == 0) AddMissing(missing, f.columns[k]);
    }
  }
}

// The code a field shows for record `i`: the value of its column, or for a
// QR code the values of its columns one a line. An empty payload (every
// value empty) shows no code.
codes::Symbol CodeOf(Worksheet& data, const CodeField& f, int32_t i) {
  codes::Symbol symbol{f.kind, f.show_text, {}};
  bool any = false;
  for (size_t k = 0; k < f.data_columns.size(); ++k) {
    const std::string value = data.cells(i, f.data_columns[k]).value().to_text();
    any = any || !value.empty();
    if (k > 0) symbol.payload += '\n';
    symbol.payload += value;
  }
  if (!any) symbol.payload.clear();
  return symbol;
}

// Encodes every record's code of an area's code fields whose columns are
// all headings, before the scratch copy is sorted, so that a record's row
// is its row on the data sheet. Shows the first value that cannot be
// encoded and returns false.
bool CheckCodes(component::Component& self, Worksheet& data, AreaLayout& area, int32_t lastRow,
                const std::string& data_sheet_name, const std::string& template_name) {
  for (CodeField& f : area.code_fields) {
    bool bound = true;
    for (size_t k = 0; k < f.columns.size(); ++k) {
      f.data_columns[k] = FindScratchHeading(data, self.WorkColumn, f.columns[k]);
      bound = bound && f.data_columns[k] != 0;
    }
    if (!bound) continue;
    codes::Modules modules;
    for (int32_t i = 2; i <= lastRow; ++i) {
      const codes::Symbol symbol = CodeOf(data, f, i);
      if (symbol.payload.empty() || codes::surely_encodable(symbol)) continue;
      if (const auto reason = codes::encode(symbol, modules)) {
        component::ShowNotice(
            self, UnencodableMessage(data_sheet_name, i, template_name, f.name, *reason));
        return false;
      }
    }
  }
  return true;
}

// Binds an area's text fields, then its photo fields (a photo field that
// names no heading is reported like a text field rather than failing later
// on a read of column 0), then the columns of its code fields. Shows the
// missing-field message and returns false when any name is not found.
bool BindArea(component::Component& self, Worksheet& data, AreaLayout& area,
              const std::string& data_sheet_name, const std::string& template_name) {
  std::string missing;
  BindFields(data, self.WorkColumn, area.textFields, missing);
  BindFields(data, self.WorkColumn, area.photoFields, missing);
  BindCodeFields(data, self.WorkColumn, area.code_fields, missing);
  if (missing.empty()) return true;
  missing.resize(missing.size() - std::string("、").size());
  component::ShowNotice(self, MissingFieldsMessage(data_sheet_name, template_name, missing));
  return false;
}

// --- Filling ------------------------------------------------------------------

// Everything the filling passes share for one rendering.
struct Job {
  component::Component& self;
  Worksheet& data;
  Worksheet& tpl;
  Worksheet& out;
  TemplateLayout& layout;
  const LayoutSettings& settings;
  BlockGeometry g;
  int32_t lastRow = 1;
  int32_t page_column = 0;
  int32_t photo_folder_column = 0;
  std::string photo_root;
  // A template laid out as the room walks its own way.
  host::Application* EA = nullptr;
  const SeatMaps* maps = nullptr;
  // The first content row of the first page's first row of blocks.
  int32_t first_top = 0;
  host::Progress& progress;
  std::string what;  // "生成桌贴": what the progress shows

  Variant value(int32_t record, int32_t column) const { return data.cells(record, column).value(); }

  bool PageChangesAfter(int32_t i) const {
    return !host::values_equal(value(i, page_column), value(i + 1, page_column));
  }

  // The walk every pass takes over the records 2..last.
  void Walk(int32_t last, const LayoutVisitor& visit) const {
    if (maps != nullptr) {
      maps->Walk(*EA, last, visit);
    } else {
      WalkRecords(
          g, last, [&](int32_t i) { return PageChangesAfter(i); }, visit);
    }
  }
};

Range AreaRange(Worksheet& tpl, const AreaLayout& area) {
  return tpl.range(tpl.cells(area.firstRow, 2),
                   tpl.cells(area.firstRow + area.rowCount - 1, area.colCount + 1));
}

// Record-block pass and body row heights. G(1) collects the spacer rows
// above the rows of blocks, G(r) the rows holding body row r - 1.
void RecordBlockPass(Job& job) {
  const int32_t B = job.g.B;
  AreaRange(job.tpl, job.layout.body).copy();
  std::vector<Range> groups;
  groups.reserve(B + 1);
  for (int32_t r = 1; r <= B + 1; ++r) groups.push_back(job.out.rows(job.first_top - 2 + r));

  LayoutVisitor visit;
  visit.block = [&](int32_t i, int32_t top, int32_t col, bool starts_line) {
    if (starts_line) {
      for (int32_t r = 1; r <= B + 1; ++r) groups[r - 1].add(job.out.rows(top + r - 2));
    }
    job.progress.report(job.what, i - 2, job.lastRow - 1);
    job.out.paste(job.out.cells(top, col));
    for (const FieldBinding& f : job.layout.body.textFields) {
      job.out.cells(top + f.areaRow - 1, col + f.areaCol - 1).set_value(job.value(i, f.dataColumn));
    }
  };
  visit.page = [&](int32_t break_row, int32_t) {
    job.out.add_page_break(job.out.cells(break_row, 1));
  };
  job.Walk(job.lastRow, visit);
  job.progress.report(job.what, job.lastRow - 1, job.lastRow - 1);

  groups[0].set_row_height(job.settings.rowSpacing);
  for (int32_t r = 2; r <= B + 1; ++r) {
    groups[r - 1].set_row_height(job.tpl.rows(job.layout.body.firstRow + r - 2).row_height());
  }
}

// Header pass: a filled header on top of every page, then the first page's,
// then the header row heights (HG(r) collects the rows holding header row r).
void HeaderPass(Job& job) {
  const AreaLayout& header = job.layout.header;
  const int32_t H = job.g.H;
  AreaRange(job.tpl, header).copy();
  std::vector<Range> groups;
  groups.reserve(H);
  for (int32_t r = 1; r <= H; ++r) groups.push_back(job.out.rows(r + 1));

  auto place_header = [&](int32_t h, int32_t i) {
    for (int32_t r = 1; r <= H; ++r) groups[r - 1].add(job.out.rows(h + r - 1));
    job.out.paste(job.out.cells(h, 2));
    for (const FieldBinding& f : header.textFields) {
      job.out.cells(h + f.areaRow - 1, 1 + f.areaCol).set_value(job.value(i, f.dataColumn));
    }
  };
  LayoutVisitor visit;
  visit.page = [&](int32_t break_row, int32_t next) { place_header(break_row + 1, next); };
  // Each header belongs to the record after the page break: one record
  // fewer than the block pass.
  job.Walk(job.lastRow - 1, visit);
  place_header(2, 2);

  for (int32_t r = 1; r <= H; ++r) {
    groups[r - 1].set_row_height(job.tpl.rows(header.firstRow + r - 1).row_height());
  }
}

void ColumnWidths(Job& job) {
  const int32_t C = job.g.C;
  const int32_t K = job.g.K;
  const int32_t pitch = C + 1;
  for (int32_t c = 2; c <= C + 1; ++c) {
    if (c > pitch * K) break;
    Range columns = job.out.columns(c);
    for (int32_t t = c + pitch; t <= pitch * K; t += pitch) columns.add(job.out.columns(t));
    columns.set_column_width(job.tpl.columns(c).column_width());
  }
  Range spacers = job.out.columns(1);
  for (int32_t t = 1; t <= K - 1; ++t) spacers.add(job.out.columns(t * pitch + 1));
  spacers.set_column_width(job.settings.colSpacing);
  job.out.columns(1).set_column_width(0.6);
  // Blocks that reach the sheet's last column leave no column to their right.
  if (K * pitch + 1 <= host::kMaxColumns) job.out.columns(K * pitch + 1).set_column_width(0.6);
}

// A photo field of one record: where its name goes and the name; or a code
// field of one record: where it goes, the field and the record (a seat
// label each: the code is read when it is placed).
struct PhotoPlace {
  int32_t row, column;
  std::string name;
  const CodeField* code = nullptr;
  int32_t record = 0;
};

// Inside the merged area of a cell, inset 2 points at the top and left and
// 1 point at the right and bottom: where a photo or a code goes.
void FitOver(host::Picture& picture, const Range& cell) {
  picture.select();
  const Range m = cell.merge_area();
  host::Picture& s = picture.shape_range();
  s.set_lock_aspect_ratio(false);
  s.set_top(m.top() + 2);
  s.set_left(m.left() + 2);
  s.set_width(m.width() - 3);
  s.set_height(m.height() - 3);
}

// The pictures of the code places, in their order: each made for the size
// it will have (the cell's merged area, inset as a photo is), a batch ahead
// of its placing on a thread of its own. A code that cannot be encoded was
// refused before anything was written; here it, an empty payload, or an
// area too small to hold a module, has no picture.
class CodePictures {
 public:
  CodePictures(Job& job, const std::vector<PhotoPlace>& places) : job_(job), places_(places) {
    maker_.start(NextOrders());
  }

  // The next code place's code and picture.
  std::pair<const codes::Symbol&, const std::string&> next() {
    if (taken_ == batch_.pictures.size()) {
      batch_ = maker_.finish();
      taken_ = 0;
      maker_.start(NextOrders());
    }
    const size_t i = taken_++;
    return {batch_.orders[i].symbol, batch_.pictures[i]};
  }

 private:
  static constexpr size_t kBatch = 512;

  // The orders of the next batch of code places.
  std::vector<codes::PictureOrder> NextOrders() {
    std::vector<codes::PictureOrder> orders;
    for (; scanned_ < places_.size() && orders.size() < kBatch; ++scanned_) {
      const PhotoPlace& p = places_[scanned_];
      if (!p.code) continue;
      const Range m = job_.out.cells(p.row, p.column).merge_area();
      orders.push_back({CodeOf(job_.data, *p.code, p.record), m.width() - 3, m.height() - 3});
    }
    return orders;
  }

  Job& job_;
  const std::vector<PhotoPlace>& places_;
  codes::PictureMaker maker_;
  size_t scanned_ = 0;
  codes::Pictures batch_;  // the batch being placed
  size_t taken_ = 0;
};

// A code's cell is emptied; the code's picture is fitted over the merged
// area as a photo would be and carries the code in its description.
void PlaceCode(Job& job, const PhotoPlace& p, CodePictures& pictures) {
  Range cell = job.out.cells(p.row, p.column);
  cell.set_value(Variant());
  cell.select();
  const auto [symbol, png] = pictures.next();
  if (symbol.payload.empty() || png.empty()) return;
  host::Picture& picture = job.out.insert_picture(png, "code.png");
  picture.set_alternative_text(codes::marker(symbol));
  FitOver(picture, cell);
}

// Writes each photo's file name into its cell and, when the file is found,
// stretches the picture over the cell's merged area, inset 2 points at the
// top and left and 1 point at the right and bottom. The files are looked
// for all at once.
void PlacePhotos(Job& job, const std::vector<PhotoPlace>& places) {
  std::vector<std::string> names;
  for (const PhotoPlace& p : places)
    if (!p.code && StaysInPhotoFolder(p.name)) names.push_back(p.name);
  const std::vector<std::string> found = FindPhotoFiles(job.self.env, job.photo_root, names);
  const std::string what = job.what + "：图片";
  const auto total = static_cast<int64_t>(places.size());
  int64_t done = 0;
  size_t next = 0;
  CodePictures pictures(job, places);
  for (const PhotoPlace& p : places) {
    job.progress.report(what, done++, total);
    if (p.code) {
      PlaceCode(job, p, pictures);
      continue;
    }
    Range cell = job.out.cells(p.row, p.column);
    cell.set_value(Variant(p.name));
    cell.select();
    if (!StaysInPhotoFolder(p.name)) continue;
    const std::string& path = found[next++];
    if (path.empty()) continue;
    FitOver(job.out.insert_picture(path), cell);
  }
  job.progress.report(what, total, total);
}

// Collects the photos with `collect`, then places them; when collecting
// fails part way, the photos met before the failure are placed first, as
// placing each photo as it was met would have left them.
template <typename F>
void CollectThenPlace(Job& job, std::vector<PhotoPlace>& places, F&& collect) {
  try {
    collect();
  } catch (...) {
    PlacePhotos(job, places);
    throw;
  }
  PlacePhotos(job, places);
}

std::string RecordPhotoName(const Job& job, int32_t i, const FieldBinding& f) {
  return PhotoFileName(job.value(i, job.photo_folder_column).to_text(),
                       job.value(i, f.dataColumn).to_text());
}

void BodyPhotoPass(Job& job) {
  std::vector<PhotoPlace> places;
  // Each record once: a seat label's photo and code for a hundred thousand
  // records, without the vector's growth holding twice that for a while.
  places.reserve(static_cast<size_t>(std::max(job.lastRow - 1, 0)) *
                 (job.layout.body.photoFields.size() + job.layout.body.code_fields.size()));
  LayoutVisitor visit;
  visit.block = [&](int32_t i, int32_t top, int32_t col, bool) {
    for (const FieldBinding& f : job.layout.body.photoFields) {
      places.push_back({top + f.areaRow - 1, col + f.areaCol - 1, RecordPhotoName(job, i, f)});
    }
    for (const CodeField& f : job.layout.body.code_fields) {
      places.push_back({top + f.areaRow - 1, col + f.areaCol - 1, {}, &f, i});
    }
  };
  CollectThenPlace(job, places, [&] { job.Walk(job.lastRow, visit); });
}

void HeaderPhotoPass(Job& job) {
  std::vector<PhotoPlace> places;
  auto place_header_photos = [&](int32_t h, int32_t i) {
    for (const FieldBinding& f : job.layout.header.photoFields) {
      places.push_back({h + f.areaRow - 1, 1 + f.areaCol, RecordPhotoName(job, i, f)});
    }
    for (const CodeField& f : job.layout.header.code_fields) {
      places.push_back({h + f.areaRow - 1, 1 + f.areaCol, {}, &f, i});
    }
  };
  LayoutVisitor visit;
  visit.page = [&](int32_t break_row, int32_t next) { place_header_photos(break_row + 1, next); };
  CollectThenPlace(job, places, [&] {
    job.Walk(job.lastRow - 1, visit);
    place_header_photos(2, 2);
  });
}

}  // namespace

float ColumnSpacingWidth(float x) {
  const float wide = (x - 5) / 8;
  const float narrow = static_cast<float>(x * 0.08);
  return x > 13 ? wide : narrow;
}

LayoutSettings ReadLayoutSettings(Worksheet& settings, int32_t row) {
  LayoutSettings s;
  s.rowsPerPage = settings.cells(row, sheets::kRowsPerPageColumn).value().to_int32();
  s.colsAcross = settings.cells(row, sheets::kColsAcrossColumn).value().to_int32();
  s.rowSpacing = settings.cells(row, sheets::kRowSpacingColumn).value().to_single() * 3 / 4;
  s.colSpacing =
      ColumnSpacingWidth(settings.cells(row, sheets::kColSpacingColumn).value().to_single());
  s.sortName = settings.cells(row, sheets::kSortNameColumn).value().to_text();
  s.pageName = settings.cells(row, sheets::kPageNameColumn).value().to_text();
  return s;
}

int32_t FindScratchHeading(Worksheet& data, int32_t work_column, const std::string& wanted) {
  if (wanted.empty()) return 0;
  for (int32_t c = work_column; c <= host::kMaxColumns; ++c) {
    const Range heading = data.cells(1, c);
    const Variant v = heading.value();
    if (v.is_empty() || (v.is_text() && v.as_text().empty())) return 0;
    if (host::values_equal(v, Variant(wanted))) return heading.column();
  }
  return 0;
}

std::string PhotoFileName(const std::string& folder_value, const std::string& field_value) {
  std::string sub = folder_value + "\\";
  if (sub == "\\") sub.clear();
  return sub + field_value + ".jpg";
}

std::vector<std::string> FindPhotoFiles(host::Environment& env, const std::string& root,
                                        const std::vector<std::string>& names) {
  // Each name with its alternatives, in the order they are taken.
  constexpr size_t kTries = 3;
  std::vector<std::string> paths;
  paths.reserve(names.size() * kTries);
  for (const std::string& name : names) {
    const std::string path = root + name;
    const bool jpg = path.size() >= 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
    const std::string stem = jpg ? path.substr(0, path.size() - 4) : std::string();
    paths.push_back(path);
    paths.push_back(jpg ? stem + ".jpeg" : std::string());
    paths.push_back(jpg ? stem + ".png" : std::string());
  }
  const std::vector<std::string> found = env.find_files(paths);
  std::vector<std::string> out(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    for (size_t k = 0; k < kTries && out[i].empty(); ++k) {
      if (!paths[i * kTries + k].empty()) out[i] = found[i * kTries + k];
    }
  }
  return out;
}

bool StaysInPhotoFolder(const std::string& name) {
  if (name.empty()) return true;
  if (name[0] == '\\' || name[0] == '/') return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool RenderTemplate(component::Component& self, host::Application& EA,
                    const std::string& data_sheet_name, const std::string& template_name,
                    int32_t settings_row, bool across_first) {
  Worksheet& data = EA.workbooks().item(self.DataBookName).worksheets().item(data_sheet_name);
  Worksheet& dtb = EA.this_workbook().worksheets().item(sheets::kSettingsSheet);
  const LayoutSettings settings = ReadLayoutSettings(dtb, settings_row);
  Worksheet& tpl = EA.this_workbook().worksheets().item(template_name);

  TemplateLayout layout;
  const AreaBounds header_bounds = FindAreaBounds(tpl, kHeaderMarker);
  if (header_bounds.firstRow != 0) {
    if (header_bounds.end_column == 0) {
      component::ShowNotice(
          self, MissingEndMarkerMessage(template_name, header_bounds.firstRow, kHeaderMarker));
      return false;
    }
    layout.header = ScanArea(tpl, header_bounds);
  }
  const AreaBounds body_bounds = FindAreaBounds(tpl, kBodyMarker);
  if (body_bounds.firstRow == 0) {
    component::ShowNotice(self, MissingBodyMessage(template_name));
    return false;
  }
  if (body_bounds.end_column == 0) {
    component::ShowNotice(
        self, MissingEndMarkerMessage(template_name, body_bounds.firstRow, kBodyMarker));
    return false;
  }
  layout.body = ScanArea(tpl, body_bounds);
  if (layout.body.textFields.empty() && layout.body.photoFields.empty()) {
    component::ShowNotice(self, NoFieldsMessage(template_name));
    return false;
  }
  if (static_cast<int64_t>(layout.body.colCount + 1) * settings.colsAcross > host::kMaxColumns) {
    component::ShowNotice(self, kTooManyAcrossMessage);
    return false;
  }

  const int32_t lastRow = data.cells(1, self.WorkColumn).current_region().rows_count();
  for (AreaLayout* area : {&layout.header, &layout.body}) {
    if (!area->present) continue;
    SeparateCodeFields(data, self.WorkColumn, *area);
    if (!CheckCodes(self, data, *area, lastRow, data_sheet_name, template_name)) return false;
  }
  // A template laid out as the room orders the records by room and seat.
  std::optional<SeatMaps> maps;
  if (sheets::RoomLayoutOf(dtb, settings_row)) {
    maps = SeatMaps::Prepare(self, EA, data, layout, lastRow, data_sheet_name, template_name);
    if (!maps) return false;
  }
  const int32_t sort_column =
      maps ? 0 : FindScratchHeading(data, self.WorkColumn, settings.sortName);
  if (sort_column != 0) {
    data.cells(1, sort_column)
        .current_region()
        .sort(data.cells(1, sort_column), host::SortOrder::Ascending, host::SortHeader::Yes);
  }
  int32_t page_column = FindScratchHeading(data, self.WorkColumn, settings.pageName);
  if (page_column == 0) page_column = self.WorkColumn - 1;
  int32_t photo_folder_column = FindScratchHeading(data, self.WorkColumn, kPhotoFolderHeading);
  if (photo_folder_column == 0) photo_folder_column = self.WorkColumn - 1;

  if (layout.header.present &&
      !BindArea(self, data, layout.header, data_sheet_name, template_name)) {
    return false;
  }
  if (!BindArea(self, data, layout.body, data_sheet_name, template_name)) return false;

  Worksheet& out = EA.workbooks().item(self.DataBookName).worksheets().item(template_name);
  out.cells(1, 2).set_value(Variant("  "));

  Job job{self,
          data,
          tpl,
          out,
          layout,
          settings,
          {},
          lastRow,
          page_column,
          photo_folder_column,
          {},
          &EA,
          nullptr,
          0,
          EA.progress(),
          "生成" + template_name};
  job.g.B = layout.body.rowCount;
  job.g.C = layout.body.colCount;
  job.g.H = layout.header.rowCount;
  job.g.R = settings.rowsPerPage;
  job.g.K = settings.colsAcross;
  job.g.across_first = across_first;
  job.first_top = job.g.H + 3;
  job.EA = &EA;
  if (maps) {
    maps->Place(job.g);
    job.maps = &*maps;
    job.g.K = maps->WidestRoom();
    job.first_top = maps->FirstTop();
  }

  RecordBlockPass(job);
  if (job.g.H >= 1) HeaderPass(job);
  if (maps) maps->Finish(out, tpl, layout.body, settings.rowSpacing);
  ColumnWidths(job);
  job.photo_root = EA.this_workbook().path() + kPhotoFolder;
  if (!layout.body.photoFields.empty() || !layout.body.code_fields.empty()) BodyPhotoPass(job);
  if (!layout.header.photoFields.empty() || !layout.header.code_fields.empty())
    HeaderPhotoPass(job);
  return true;
}

}  // namespace kelv::generate
