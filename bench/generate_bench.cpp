// Table generation at scale: seat labels (3 x 3 body, 4 text fields, 1 photo
// field) for 100,000 examinees with photos for 5,000 of them, and a door list
// with a new page per room, generated through torb and saved.
//
//   generate_bench make DIR   writes DIR/考务.xlsx, DIR/数据/考试.xlsx (already
//                             arranged: 考场, 考号, 座号) and DIR/照片/
//   generate_bench make DIR codes   the same, the seat labels with a fourth
//                             row holding the exam number's Code 128 {条码:考号}
//   generate_bench make DIR text    the same labels with the exam number as
//                             text [考号] in that fourth row: what the codes
//                             are measured against
//   generate_bench run DIR    opens the data workbook (LtbBiaoClick), generates
//                             门贴 and 桌贴 (CmdDoYongBiaoClick), saves it
//   generate_bench DIR        both
//
// Measure `run` on its own for the figures: /usr/bin/time -v generate_bench run DIR
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "bridge/torb.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace {

using namespace kelv;
using bench::cat;
using bench::Clock;
using bench::padded;
using bench::seconds_since;

constexpr int32_t kExaminees = 100000;
constexpr int32_t kPlaces = 30;
constexpr int32_t kRooms = (kExaminees + kPlaces - 1) / kPlaces;
constexpr int32_t kPhotoEvery = kExaminees / 5000;
constexpr const char* kDataFile = "考试.xlsx";

void WritePhoto(const std::string& path, int32_t seed) {
  constexpr int w = 30, h = 40;
  std::vector<unsigned char> px(w * h * 3);
  for (int i = 0; i < w * h; ++i) {
    px[i * 3] = static_cast<unsigned char>(seed * 7);
    px[i * 3 + 1] = static_cast<unsigned char>(seed * 13 + i);
    px[i * 3 + 2] = static_cast<unsigned char>(seed / 3);
  }
  if (!stbi_write_jpg(path.c_str(), w, h, 3, px.data(), 80)) {
    throw host::HostError::host(host::kPermissionDenied, path);
  }
}

void CatalogueRow(host::Worksheet& dtb, int32_t r, const char* name, int32_t rows, int32_t across,
                  int32_t rowSpacing, int32_t colSpacing, const char* page) {
  const host::Variant values[] = {true,       name,   rows, across, rowSpacing,
                                  colSpacing, "考号", page, true,   true};
  for (int32_t k = 0; k < 10; ++k) {
    if (k == 0 && r != 2) continue;
    dtb.cells(r, 4 + k).set_value(values[k]);
  }
}

enum class FourthRow { None, Code, Text };

void Make(const std::string& dir, FourthRow fourth) {
  namespace fs = std::filesystem;
  fs::create_directories(dir + "/数据");
  fs::create_directories(dir + "/照片");
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());

  host::Workbook& hostBook = engine.add_workbook(dir + "/考务.xlsx");
  host::Worksheet& dtb = bench::add_start_and_settings(hostBook);
  const char* headings[] = {"模板名", "行数", "列数", "行距",  "列距",
                            "排序",   "换页", "横排", "数据源"};
  for (int32_t k = 0; k < 9; ++k) dtb.cells(1, 5 + k).set_value(headings[k]);
  CatalogueRow(dtb, 2, "门贴", kPlaces, 1, 0, 0, "考场");
  CatalogueRow(dtb, 3, "桌贴", 6, 3, 20, 20, "无");
  dtb.cells(2, 90).set_value(false);

  host::Worksheet& mbb = hostBook.add_sheet_after(dtb);
  mbb.set_name("MBB");
  mbb.cells(2, 1).set_value("#");
  mbb.cells(2, 2).set_value("[姓名]");
  mbb.cells(2, 3).set_value("#");

  // Door list: a header with the room and the column headings, one row per
  // examinee, a page per room.
  host::Worksheet& door = hostBook.add_sheet_after(mbb);
  door.set_name("门贴");
  door.cells(3, 1).set_value("@");
  door.cells(4, 1).set_value("@");
  door.cells(3, 6).set_value("@");
  door.cells(3, 2).set_value("考场");
  door.cells(3, 3).set_value("[考场]");
  door.cells(3, 4).set_value("[考室]");
  const char* heads[] = {"考号", "姓名", "学校", "座号"};
  for (int32_t c = 0; c < 4; ++c) door.cells(4, 2 + c).set_value(heads[c]);
  door.cells(6, 1).set_value("#");
  door.cells(6, 6).set_value("#");
  const char* fields[] = {"[考号]", "[姓名]", "[学校]", "[座号]"};
  for (int32_t c = 0; c < 4; ++c) door.cells(6, 2 + c).set_value(fields[c]);
  door.range(door.cells(6, 2), door.cells(6, 5)).set_number_format_local("@");

  // Seat labels: 3 x 3 body, four text fields and the photo over D3:D5.
  host::Worksheet& seat = hostBook.add_sheet_after(door);
  seat.set_name("桌贴");
  seat.cells(3, 1).set_value("#");
  seat.cells(5, 1).set_value("#");
  seat.cells(3, 5).set_value("#");
  seat.cells(3, 2).set_value("[考场]");
  seat.cells(3, 3).set_value("[考号]");
  seat.cells(4, 2).set_value("姓名");
  seat.cells(4, 3).set_value("[姓名]");
  seat.cells(5, 2).set_value("座号");
  seat.cells(5, 3).set_value("[座号]");
  seat.cells(3, 4).set_value("{学籍号}");
  seat.range(seat.cells(3, 4), seat.cells(5, 4)).merge();
  seat.rows(3).set_row_height(24);
  seat.rows(4).set_row_height(24);
  seat.rows(5).set_row_height(24);
  seat.columns(4).set_column_width(12);
  if (fourth != FourthRow::None) {
    seat.cells(5, 1).clear_contents();
    seat.cells(6, 1).set_value("#");
    seat.cells(6, 2).set_value(fourth == FourthRow::Code ? "{条码:考号}" : "[考号]");
    seat.range(seat.cells(6, 2), seat.cells(6, 4)).merge();
    seat.rows(6).set_row_height(30);
    seat.columns(3).set_column_width(12);
  }
  hostBook.save();

  host::Workbook& data = engine.add_workbook(dir + "/数据/" + kDataFile);
  host::Worksheet& rooms = data.sheet_at(0);
  rooms.columns(1).set_number_format_local("@");  // room names stay text: 0001
  bench::write_rooms(rooms, kRooms, kPlaces);

  host::Worksheet& examinees = data.add_sheet_after(rooms);
  examinees.set_name("考生表");
  const char* columns[] = {"学籍号", "姓名", "学校", "考场", "考室", "考号", "座号"};
  for (int32_t c = 1; c <= 7; ++c) examinees.cells(1, c).set_value(columns[c - 1]);
  for (int32_t c : {1, 4, 6, 7}) examinees.columns(c).set_number_format_local("@");
  for (int32_t i = 0; i < kExaminees; ++i) {
    const int32_t r = i + 2;
    const int32_t room = i / kPlaces + 1;
    const std::string id = cat({"G", padded(i + 1, 8)});
    examinees.cells(r, 1).set_value(id);
    examinees.cells(r, 2).set_value(cat({"考生", std::to_string(i + 1)}));
    examinees.cells(r, 3).set_value(cat({"第", std::to_string(i % 20 + 1), "中学"}));
    examinees.cells(r, 4).set_value(padded(room, 4));
    examinees.cells(r, 5).set_value(bench::classroom(room));
    examinees.cells(r, 6).set_value(cat({"2024", padded(i + 1, 6)}));
    examinees.cells(r, 7).set_value(padded(i % kPlaces + 1, 2));
    if (i % kPhotoEvery == 0) WritePhoto(dir + "/照片/" + id + ".jpg", i);
  }
  data.save();
  std::printf("made %s: %d examinees in %d rooms, %d photos\n", dir.c_str(), kExaminees, kRooms,
              kExaminees / kPhotoEvery);
}

bool SelectItem(host::Control& list, const std::string& text) {
  for (size_t i = 0; i < list.items().size(); ++i) {
    if (list.items()[i] == text) {
      list.set_list_index(static_cast<int32_t>(i));
      return true;
    }
  }
  return false;
}

int Run(const std::string& dir) {
  const Clock::time_point start = Clock::now();
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  engine.open_host_workbook(dir + "/考务.xlsx");
  host::SystemEnvironment env(1);
  host::RecordingDialogs dialogs;
  auto form = host::FormModel::standard_form();
  bridge::torb component(dialogs, env);
  component.MyFunClick(engine, *form, "UserFormInitialize");
  SelectItem((*form)["LtbBiao"], kDataFile);
  component.MyFunClick(engine, *form, "LtbBiaoClick");
  const double opened = seconds_since(start);

  double generated[2] = {0, 0};
  const char* names[] = {"门贴", "桌贴"};
  for (int t = 0; t < 2; ++t) {
    SelectItem((*form)["LtbMoBan"], names[t]);
    component.MyFunClick(engine, *form, "LtbMoBanClick");
    const Clock::time_point g = Clock::now();
    component.MyFunClick(engine, *form, "CmdDoYongBiaoClick");
    generated[t] = seconds_since(g);
  }
  const double generated_peak = bench::peak_mb();
  const Clock::time_point s = Clock::now();
  engine.workbook(kDataFile).save();
  const double saved = seconds_since(s);
  const double total = seconds_since(start);
  const double cpu = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;

  int errors = 0;
  for (const host::DialogRecord& r : dialogs.messages()) {
    std::printf("  [%s] %s\n", r.title.c_str(), r.text.c_str());
    ++errors;
  }
  host::Workbook& data = engine.workbook(kDataFile);
  for (const char* name : names) {
    const spreadsheet::Sheet& m = spreadsheet::Engine::model_of(data.worksheets().item(name));
    std::printf("%s: %zu rows, %zu page breaks, %zu pictures\n", name, m.rows.size(),
                m.row_breaks.size(), m.pictures.size());
  }
  std::printf(
      "open data %.2f s, door list %.2f s, seat labels %.2f s, save %.2f s, total %.2f s, "
      "peak %.0f MB (%.0f MB before saving)\n(wall clock; processor time of the whole run %.2f "
      "s)\n",
      opened, generated[0], generated[1], saved, total, bench::peak_mb(), generated_peak, cpu);
  return errors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "make") {
      const std::string fourth = argc == 4 ? argv[3] : "";
      Make(argv[2], fourth == "codes"  ? FourthRow::Code
                    : fourth == "text" ? FourthRow::Text
                                       : FourthRow::None);
      return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "run") return Run(argv[2]);
    if (argc == 2) {
      Make(argv[1], FourthRow::None);
      return Run(argv[1]);
    }
    std::fprintf(stderr, "usage: generate_bench [make|run] DIR [codes|text]\n");
    return 2;
  } catch (const kelv::host::HostError& e) {
    std::fprintf(stderr, "generate_bench: (%d) %s\n", e.number(), e.description().c_str());
    return 1;
  }
}
