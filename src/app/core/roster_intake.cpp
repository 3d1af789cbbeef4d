#include "app/core/roster_intake.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "host/file_path.h"
#include "host/host_error.h"
#include "host/system_environment.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

std::string lower_extension(const std::string& path) {
  std::string ext = host::path_text(host::file_path(path).extension());
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext;
}

bool listed(const std::string& path) {
  return host::is_listed_file_name(host::path_text(host::file_path(path).filename()));
}

std::string names_text(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "“" : "、“") + n + "”";
  return text;
}

host::Worksheet* sheet_of(host::Workbook& book, const char* name) {
  if (!sheets::SheetExists(book.worksheets(), name)) return nullptr;
  return &book.worksheets().item(name);
}

int32_t last_row(host::Worksheet& sheet) {
  const host::Range used = sheet.used_range();
  return used.row() + used.rows_count() - 1;
}

int32_t last_column(host::Worksheet& sheet) {
  const host::Range used = sheet.used_range();
  return used.column() + used.columns_count() - 1;
}

std::string two_digits(int32_t n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

bool is_roster_file(const std::string& path) {
  static constexpr const char* kKinds[] = {".csv",  ".txt", ".xls",  ".xlsx",
                                           ".xlsm", ".htm", ".html", ".xml"};
  const std::string ext = lower_extension(path);
  return listed(path) &&
         std::any_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return ext == k; });
}

bool is_photo_file(const std::string& path) {
  const std::string ext = lower_extension(path);
  return listed(path) && (ext == ".jpg" || ext == ".jpeg" || ext == ".png");
}

ListOffer roster_offer(const WorkspaceFolder& folder, const std::string& source) {
  ListOffer offer;
  offer.source = host::absolute_path_text(source);
  const fs::path p = host::file_path(offer.source);
  std::string stem = host::path_text(p.stem());
  // An .xlsx list of the data folder keeps its name; the data workbook
  // made from it takes another.
  if (is_workbook_file(offer.source) && folder.in_data_folder(offer.source)) stem += "（数据）";
  offer.target = folder.data_file(stem + ".xlsx");
  std::error_code ec;
  offer.target_exists = fs::exists(host::file_path(offer.target), ec);
  return offer;
}

std::vector<std::string> rosters_waiting(const WorkspaceFolder& folder) {
  std::vector<std::string> waiting;
  for (const std::string& name : folder.data_files()) {
    const std::string path = folder.data_file(name);
    if (!is_roster_file(path) || is_workbook_file(path)) continue;
    if (!roster_offer(folder, path).target_exists) waiting.push_back(name);
  }
  return waiting;
}

std::vector<std::string> rosters_in(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it(host::file_path(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code ec2;
    const std::string path = host::path_text(it->path());
    if (!it->is_regular_file(ec2) || !is_roster_file(path)) continue;
    if (host::path_text(it->path().filename()) == kHostWorkbookName) continue;
    found.push_back(path);
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool has_rooms(host::Workbook& data) {
  host::Worksheet* rooms = sheet_of(data, sheets::kRoomSheet);
  if (rooms == nullptr) return false;
  const int32_t last = last_row(*rooms);
  for (int32_t r = sheets::kRoomFirstRow; r <= last; ++r)
    if (!rooms->cells(r, sheets::kRoomNameColumn).value().to_text().empty()) return true;
  return false;
}

int32_t examinee_count(host::Workbook& data) {
  host::Worksheet* examinees = sheet_of(data, sheets::kExamineeSheet);
  if (examinees == nullptr) return 0;
  const int32_t rows = last_row(*examinees);
  const int32_t columns = last_column(*examinees);
  int32_t n = 0;
  for (int32_t r = 2; r <= rows; ++r) {
    for (int32_t c = 1; c <= columns; ++c) {
      if (!examinees->cells(r, c).value().to_text().empty()) {
        ++n;
        break;
      }
    }
  }
  return n;
}

int32_t fill_rooms(host::Workbook& data, int32_t places) {
  host::Worksheet* rooms = sheet_of(data, sheets::kRoomSheet);
  const int32_t people = examinee_count(data);
  if (rooms == nullptr || places <= 0 || people == 0 || has_rooms(data)) return 0;
  const int32_t count = (people + places - 1) / places;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t r = sheets::kRoomFirstRow + i;
    const int32_t here = i + 1 < count ? places : people - places * (count - 1);
    // Room names as text, so that 01 keeps its leading zero.
    rooms->cells(r, sheets::kRoomNameColumn).set_number_format_local("@");
    rooms->cells(r, sheets::kRoomNameColumn).set_value(two_digits(i + 1));
    rooms->cells(r, sheets::kRoomPlacesColumn).set_value(here);
    rooms->cells(r, sheets::kRoomLocationColumn).set_value("第" + two_digits(i + 1) + "考场");
  }
  return count;
}

std::string PhotoCopyReport::text() const {
  std::string text;
  if (!copied.empty())
    text =
        "已把 " + std::to_string(copied.size()) + " 张照片复制到“" + kPhotoFolderName + "”文件夹";
  if (!kept.empty())
    text += (text.empty() ? "" : "；") + std::string("保留了原有的") + names_text(kept);
  if (!failed.empty())
    text += (text.empty() ? "" : "；") + names_text(failed) +
            "没能复制：请检查照片文件夹是否可写，再拖一次";
  return text.empty() ? "没有复制照片" : text;
}

PhotoCopyReport copy_photos(const std::vector<std::string>& files, const std::string& photo_folder,
                            const std::function<bool(const std::string& name)>& replace) {
  PhotoCopyReport report;
  const fs::path folder = host::file_path(photo_folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  for (const std::string& file : files) {
    const fs::path from = host::file_path(file);
    const std::string name = host::path_text(from.filename());
    const fs::path to = folder / from.filename();
    std::error_code same_ec;
    if (fs::exists(to, same_ec) && fs::equivalent(from, to, same_ec)) continue;
    const bool taken = fs::exists(to, ec);
    if (taken && !(replace && replace(name))) {
      report.kept.push_back(name);
      continue;
    }
    // Written beside and renamed over, so that a failure leaves the old photo whole.
    const fs::path part = folder / host::file_path(name + ".kelv-part");
    std::error_code copy_ec;
    fs::copy_file(from, part, fs::copy_options::overwrite_existing, copy_ec);
    if (!copy_ec) fs::rename(part, to, copy_ec);
    if (copy_ec) {
      fs::remove(part, ec);
      report.failed.push_back(name);
    } else {
      report.copied.push_back(name);
    }
  }
  return report;
}

}  // namespace kelv::app
