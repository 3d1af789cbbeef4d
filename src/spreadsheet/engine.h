// The embedded spreadsheet application: implements the host interfaces over
// the in-memory model. Front ends create one Engine, open the host workbook
// with it and hand it to the component as its application object.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/application.h"
#include "spreadsheet/file_format.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

class EngineWorkbook;
class EngineSheet;
struct Clipboard;

// A workbook file that was damaged and opened mended: its path and what the
// reader repaired, a line each.
struct RepairReport {
  std::string file;
  std::vector<std::string> repairs;
};

class Engine : public host::Application {
 public:
  // `format` reads and writes files; it may be null for engines that never
  // touch the disk (tests).
  explicit Engine(std::shared_ptr<FileFormat> format);
  ~Engine() override;

  // Opens a file and makes it the host workbook (ThisWorkbook).
  host::Workbook& open_host_workbook(std::string_view path);
  // Adopts a model built elsewhere (the reader, a generator).
  host::Workbook& adopt_workbook(std::unique_ptr<Workbook> model);
  void set_this_workbook(host::Workbook& book);
  // Closes a workbook without saving.
  void close_workbook(host::Workbook& book);

  // Front ends show what was repaired in every damaged file opened, by them
  // or by the component: the listener hears of each one as it opens.
  // Reports of files opened before a listener is set are handed to it when
  // it is set; nothing is repaired without being told.
  using RepairListener = std::function<void(const RepairReport&)>;
  void set_repair_listener(RepairListener listener);

  // Front ends note every workbook file read, by them or by the component,
  // to tell later whether another program changed it: the listener hears
  // the full path of each file as soon as it has been read.
  using OpenListener = std::function<void(const std::string& file_path)>;
  void set_open_listener(OpenListener listener);

  // Where long work reports how far it has come and is stopped: a front
  // end's progress line or dialog, which must outlive its use here; null
  // (the default) reports nothing and never stops.
  void set_progress(host::Progress* progress);

  // The model behind a workbook or sheet of this engine.
  static Workbook& model_of(host::Workbook& book);
  static Sheet& model_of(host::Worksheet& sheet);
  // After changing a sheet's model directly (heights, widths, merges,
  // cells) while it is still used through the host interfaces: drops the
  // engine's cached geometry, merge index, COUNTIF counts and regions.
  static void model_changed(host::Worksheet& sheet);

  // The application clipboard (Range.Copy); null when nothing was copied.
  Clipboard* clipboard();
  void set_clipboard(std::unique_ptr<Clipboard> clip);
  void activate_workbook(host::Workbook& book);
  FileFormat* file_format();
  // The engine's workbook behind a host workbook, or null for a foreign one.
  EngineWorkbook* engine_workbook(host::Workbook& book);

  // host::Application
  bool screen_updating() const override;
  void set_screen_updating(bool on) override;
  bool display_alerts() const override;
  void set_display_alerts(bool on) override;
  int32_t calculation() const override;
  void set_calculation(int32_t mode) override;
  host::ReplaceFormat& replace_format() override;
  host::Workbook& this_workbook() override;
  host::Workbook& active_workbook() override;
  int32_t workbook_count() const override;
  host::Workbook& workbook_at(int32_t index) override;
  host::Workbook& workbook(std::string_view name) override;
  host::Workbook& open_workbook(std::string_view path) override;
  host::Progress& progress() override;
  host::Workbook& add_workbook(std::string_view file_path) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelv::spreadsheet
