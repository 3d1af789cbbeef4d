#include "app/core/workbook_files.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

fs::path path_of(const std::string& utf8) {
  return host::file_path(utf8);
}

std::string text_of(const fs::path& p) {
  return host::path_text(p);
}

[[noreturn]] void fail(const std::string& text) {
  throw host::HostError::host(host::kRefused, text);
}

std::string in_quotes(const std::string& s) {
  return "“" + s + "”";
}

// "YYYYMMDD-HHMMSS" in local time.
std::string stamp_of(std::chrono::system_clock::time_point t) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &tt);
#else
  localtime_r(&tt, &local);
#endif
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
  return buf;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Splits "STEM.YYYYMMDD-HHMMSS[-N].EXT" into the workbook's file name and
// the stamp; false for any other name.
bool parse_backup_name(const std::string& name, std::string* workbook, std::string* stamp) {
  const size_t ext = name.rfind('.');
  if (ext == std::string::npos || ext == 0) return false;
  const size_t dot = name.rfind('.', ext - 1);
  if (dot == std::string::npos || dot == 0) return false;
  const std::string s = name.substr(dot + 1, ext - dot - 1);
  if (s.size() < 15 || s[8] != '-' || !all_digits(s.substr(0, 8)) || !all_digits(s.substr(9, 6)))
    return false;
  if (s.size() > 15 && (s[15] != '-' || !all_digits(s.substr(16)))) return false;
  *workbook = name.substr(0, dot) + name.substr(ext);
  *stamp = s;
  return true;
}

}  // namespace

bool FileIdentity::same_file_as(const FileIdentity& other) const {
  return exists == other.exists && size == other.size && hash == other.hash;
}

FileIdentity identify_file(const std::string& path) {
  FileIdentity id;
  std::error_code ec;
  const fs::path p = path_of(path);
  const auto size = fs::file_size(p, ec);
  if (ec) return id;
  const auto modified = fs::last_write_time(p, ec);
  if (ec) return id;
  std::ifstream in(p, std::ios::binary);
  if (!in) return id;
  uint64_t h = 14695981039346656037ULL;
  char buf[1 << 16];
  while (in) {
    in.read(buf, sizeof buf);
    const std::streamsize n = in.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      h ^= static_cast<unsigned char>(buf[i]);
      h *= 1099511628211ULL;
    }
  }
  id.exists = true;
  id.size = size;
  id.modified = static_cast<int64_t>(modified.time_since_epoch().count());
  id.hash = h;
  return id;
}

void OpenedFiles::remember(const std::string& path) {
  files_[path] = identify_file(path);
}

void OpenedFiles::forget(const std::string& path) {
  files_.erase(path);
}

bool OpenedFiles::changed_elsewhere(const std::string& path) const {
  const auto it = files_.find(path);
  if (it == files_.end()) return false;
  const FileIdentity& known = it->second;
  if (!known.exists) return false;  // a new file: nothing of anyone's to lose
  // Size and time unchanged: the same file, without reading it again. A
  // file that is gone holds nobody's work: a save writes it anew (and
  // reports it if it cannot).
  std::error_code ec;
  const fs::path p = path_of(path);
  if (!fs::is_regular_file(p, ec)) return false;
  const auto size = fs::file_size(p, ec);
  if (ec) return false;
  const auto modified = fs::last_write_time(p, ec);
  if (!ec && size == known.size &&
      static_cast<int64_t>(modified.time_since_epoch().count()) == known.modified)
    return false;
  return !identify_file(path).same_file_as(known);
}

std::vector<std::string> lock_files_of(const std::string& workbook_path) {
  const fs::path p = path_of(workbook_path);
  const std::string name = text_of(p.filename());
  std::vector<std::string> found;
  std::error_code ec;
  std::string office = "~$", libre = ".~lock.";
  office += name;
  libre += name;
  libre += '#';
  for (const std::string& lock : {office, libre}) {
    const fs::path l = p.parent_path() / path_of(lock);
    if (fs::exists(l, ec)) found.push_back(text_of(l));
  }
  return found;
}

std::string lock_warning(const std::string& workbook_path, const std::string& lock_file) {
  return "工作簿" + in_quotes(text_of(path_of(workbook_path).filename())) +
         "可能正在另一个电子表格程序中打开（发现锁定文件" +
         in_quotes(text_of(path_of(lock_file).filename())) +
         "）。请先在那个程序中保存并关闭它；否则两边的修改可能互相覆盖。";
}

std::string Backup::when() const {
  if (stamp.size() < 15) return stamp;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
         stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

std::string keep_backup(const std::string& file, const std::string& folder,
                        std::chrono::system_clock::time_point now, int keep,
                        host::FileSystem& files) {
  std::error_code ec;
  const fs::path source = path_of(file);
  if (!fs::is_regular_file(source, ec)) return "";
  const fs::path dir = path_of(folder);
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) fail("无法创建备份文件夹" + in_quotes(folder) + "，工作簿未保存");
  const std::string stem = text_of(source.stem()), ext = text_of(source.extension());
  const std::string stamp = stamp_of(now);
  // NAME.STAMP.xlsx, or NAME.STAMP-2.xlsx and on after a save in the same second.
  const std::string first = stem + "." + stamp;
  fs::path target = dir / path_of(first + ext);
  for (int n = 2; fs::exists(target, ec); ++n) {
    std::string name = first;
    name += "-";
    name += std::to_string(n);
    name += ext;
    target = dir / path_of(name);
  }
  try {
    host::copy_file(file, text_of(target), files, "备份文件");
  } catch (const host::HostError& e) {
    throw host::HostError::host(e.number(), e.description() + "。工作簿未保存");
  }
  std::vector<Backup> copies = list_backups(folder, text_of(source.filename()));
  for (size_t i = static_cast<size_t>(std::max(keep, 1)); i < copies.size(); ++i)
    fs::remove(path_of(copies[i].path), ec);
  return text_of(target);
}

std::vector<Backup> list_backups(const std::string& folder, const std::string& workbook) {
  std::vector<Backup> found;
  std::error_code ec;
  for (fs::directory_iterator it(path_of(folder), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    Backup b;
    if (!parse_backup_name(text_of(it->path().filename()), &b.workbook, &b.stamp)) continue;
    if (!workbook.empty() && b.workbook != workbook) continue;
    b.path = text_of(it->path());
    found.push_back(std::move(b));
  }
  // Newest first; a second copy in one second ("-2") is newer than the first.
  auto key = [](const Backup& b) {
    const size_t dash = b.stamp.find('-', 9);
    const int n = dash == std::string::npos ? 1 : std::stoi(b.stamp.substr(dash + 1));
    return std::make_pair(b.stamp.substr(0, 15), n);
  };
  std::sort(found.begin(), found.end(), [&](const Backup& a, const Backup& b) {
    if (key(a) != key(b)) return key(a) > key(b);
    return a.workbook < b.workbook;
  });
  return found;
}

void restore_backup(const Backup& backup, const std::string& target, const std::string& folder,
                    host::FileSystem& files) {
  std::error_code ec;
  if (!fs::is_regular_file(path_of(backup.path), ec)) fail("找不到备份" + in_quotes(backup.path));
  keep_backup(target, folder, std::chrono::system_clock::now(), kBackupsKept, files);
  host::copy_file(backup.path, target, files, "恢复文件");
}

void copy_file_over(const std::string& from, const std::string& to, host::FileSystem& files) {
  host::copy_file(from, to, files, "写入文件");
}

std::string copy_name_beside(const std::string& path) {
  const fs::path p = path_of(path);
  const std::string stem = text_of(p.stem()), ext = text_of(p.extension());
  std::error_code ec;
  for (int n = 1;; ++n) {
    std::string name = stem;
    name += n == 1 ? "（kelv 副本）" : "（kelv 副本 " + std::to_string(n) + "）";
    name += ext;
    const fs::path candidate = p.parent_path() / path_of(name);
    if (!fs::exists(candidate, ec)) return text_of(candidate);
  }
}

std::string changed_elsewhere_text(const std::string& shown_name) {
  return "工作簿" + in_quotes(shown_name) +
         "在 kelv 打开之后已被其他程序修改。直接保存会覆盖那些修改，因此 kelv 不会这样做。";
}

ChangedChoice ask_changed_by_message_boxes(host::Dialogs& dialogs, const std::string& path,
                                           const std::string& shown) {
  const std::string text = changed_elsewhere_text(shown);
  if (dialogs.message_box(text + "\n是否重新载入磁盘上的文件（放弃 kelv 对它的更改）？",
                          host::MessageButtons::YesNo, host::MessageIcon::None,
                          "文件已在别处修改") == host::MessageResult::Yes)
    return ChangedChoice::Reload;
  if (dialogs.message_box(text + "\n是否把 kelv 的版本另存为" +
                              in_quotes(text_of(path_of(copy_name_beside(path)).filename())) +
                              "？选“否”则不保存这个工作簿。",
                          host::MessageButtons::YesNo, host::MessageIcon::None,
                          "文件已在别处修改") == host::MessageResult::Yes)
    return ChangedChoice::SaveAs;
  return ChangedChoice::Cancel;
}

std::string other_kind_target(host::Workbook& book) {
  const spreadsheet::Workbook* model = nullptr;
  try {
    model = &spreadsheet::Engine::model_of(book);
  } catch (const host::HostError&) {
    return "";  // a workbook of another application saves as that one does
  }
  if (!model->from_other_format() || model->file_path != model->source_path) return "";
  return spreadsheet::xlsx_path_for(*model);
}

std::string ask_convert_by_message_boxes(host::Dialogs& dialogs, const std::string& target,
                                         const std::string& shown_source,
                                         const std::string& shown_target) {
  if (dialogs.message_box("“" + shown_source +
                              "”不是 .xlsx 工作簿，kelv 不会改写它。是否把它另存为“" +
                              shown_target + "”？",
                          host::MessageButtons::YesNo, host::MessageIcon::None,
                          "另存为 .xlsx") != host::MessageResult::Yes)
    return "";
  std::error_code ec;
  if (fs::exists(path_of(target), ec) &&
      dialogs.message_box("“" + shown_target + "”已经存在。是否替换它？（原来的文件会先备份）",
                          host::MessageButtons::YesNo, host::MessageIcon::None,
                          "另存为 .xlsx") != host::MessageResult::Yes)
    return "";
  return target;
}

void GuardedSaver::keep_backup_of(const std::string& file) {
  if (!backup_folder_.empty())
    keep_backup(file, backup_folder_, std::chrono::system_clock::now(), kBackupsKept, *files_system_);
}

void GuardedSaver::save(const std::vector<host::Workbook*>& books,
                        const std::function<ChangedChoice(const std::string& path)>& ask,
                        const std::function<std::string(const std::string& path)>& new_name,
                        SaveReport& report,
                        const std::function<std::string(const std::string& source,
                                                        const std::string& target)>& convert) {
  for (host::Workbook* book : books) {
    const std::string path = file_of(*book);
    if (const std::string suggested = other_kind_target(*book); !suggested.empty()) {
      const std::string target = convert ? convert(path, suggested) : std::string();
      if (target.empty()) {
        report.cancelled.push_back(path);
        continue;
      }
      keep_backup_of(target);
      book->save_as(target);
      files_.remember(target);
      report.saved.push_back(target);
      report.converted.emplace_back(path, target);
      continue;
    }
    if (files_.changed_elsewhere(path)) {
      switch (ask(path)) {
        case ChangedChoice::Reload:
          report.reload.push_back(path);
          continue;
        case ChangedChoice::Cancel:
          report.cancelled.push_back(path);
          continue;
        case ChangedChoice::SaveAs: {
          const std::string target = new_name(path);
          if (target.empty()) {
            report.cancelled.push_back(path);
            continue;
          }
          keep_backup_of(target);
          book->save_as(target);
          files_.forget(path);
          files_.remember(target);
          report.saved.push_back(target);
          continue;
        }
      }
    }
    keep_backup_of(path);
    book->save();
    files_.remember(path);
    report.saved.push_back(path);
  }
}

std::string file_of(host::Workbook& book) {
  return text_of(path_of(book.path()) / path_of(book.name()));
}

void reload_workbook(spreadsheet::Engine& engine, const std::string& path) {
  host::Workbook* old = nullptr;
  for (int32_t i = 0; i < engine.workbook_count() && old == nullptr; ++i)
    if (file_of(engine.workbook_at(i)) == path) old = &engine.workbook_at(i);
  const bool is_host =
      old != nullptr && engine.workbook_count() > 0 && old == &engine.this_workbook();
  if (old != nullptr) engine.close_workbook(*old);
  if (is_host)
    engine.open_host_workbook(path);
  else
    engine.open_workbook(path);
}

}  // namespace kelv::app
