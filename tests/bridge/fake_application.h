// A host application with nothing but the settings the dispatcher touches and
// a host workbook that only knows its folder. Every change of ScreenUpdating
// and DisplayAlerts is logged, and either setting can be made to refuse.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/application.h"
#include "host/constants.h"
#include "host/host_error.h"

namespace kelv::testing {

class FolderWorkbook : public host::Workbook {
 public:
  FolderWorkbook(host::Application& app, std::string folder)
      : app_(app), folder_(std::move(folder)) {}

  host::Application& application() override { return app_; }
  std::string name() const override { return "考务.xlsx"; }
  std::string path() const override { return folder_; }
  void activate() override {}
  host::Worksheet& active_sheet() override {
    throw host::HostError::host(host::kSubscriptOutOfRange);
  }
  host::Window& window() override { throw host::HostError::host(host::kSubscriptOutOfRange); }
  int32_t sheet_count() const override { return 0; }
  host::Worksheet& sheet_at(int32_t) override {
    throw host::HostError::host(host::kSubscriptOutOfRange);
  }
  host::Worksheet& sheet(std::string_view) override {
    throw host::HostError::host(host::kSubscriptOutOfRange);
  }
  host::Worksheet& add_sheet_after(host::Worksheet&) override {
    throw host::HostError::host(host::kRefused);
  }
  void save() override {}
  void save_as(std::string_view) override {}
  bool modified() const override { return false; }

 private:
  host::Application& app_;
  std::string folder_;
};

class FakeApplication : public host::Application {
 public:
  explicit FakeApplication(std::string folder = ".") : book_(*this, std::move(folder)) {}

  // "SU=0", "DA=1", ... in call order, refused calls included.
  std::vector<std::string> log;
  bool screen_updating_value = true;
  bool display_alerts_value = true;
  // Settings to that value are refused with 1004.
  std::optional<bool> refuse_screen_updating;
  std::optional<bool> refuse_display_alerts;

  bool screen_updating() const override { return screen_updating_value; }
  void set_screen_updating(bool on) override {
    log.push_back(on ? "SU=1" : "SU=0");
    if (refuse_screen_updating == on) throw host::HostError::host(host::kRefused);
    screen_updating_value = on;
  }
  bool display_alerts() const override { return display_alerts_value; }
  void set_display_alerts(bool on) override {
    log.push_back(on ? "DA=1" : "DA=0");
    if (refuse_display_alerts == on) throw host::HostError::host(host::kRefused);
    display_alerts_value = on;
  }
  int32_t calculation() const override { return host::xlCalculationAutomatic; }
  void set_calculation(int32_t) override {}
  host::ReplaceFormat& replace_format() override { return replace_format_; }
  host::Workbook& this_workbook() override { return book_; }
  host::Workbook& active_workbook() override { return book_; }
  int32_t workbook_count() const override { return 1; }
  host::Workbook& workbook_at(int32_t index) override {
    if (index != 0) throw host::HostError::host(host::kSubscriptOutOfRange);
    return book_;
  }
  host::Workbook& workbook(std::string_view name) override {
    if (name != book_.name()) throw host::HostError::host(host::kSubscriptOutOfRange);
    return book_;
  }
  host::Workbook& open_workbook(std::string_view) override {
    throw host::HostError::host(host::kRefused);
  }

 private:
  FolderWorkbook book_;
  host::ReplaceFormat replace_format_;
};

}  // namespace kelv::testing
