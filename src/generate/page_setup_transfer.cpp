#include "generate/page_setup_transfer.h"

#include <array>

#include "component/ignore_failures.h"
#include "host/host_error.h"
#include "host/variant.h"
#include "host/worksheet.h"
#include "sheets/settings_sheet.h"

namespace kelv::generate {
namespace {

using component::IgnoreFailure;
using host::PageSetupProperty;
using sheets::kCaptureFlagColumn;
using sheets::kCaptureRow;
using sheets::kPageSetupColumn;
using sheets::kPageSetupValueCount;

// An object that an earlier, skipped statement failed to set: using it
// fails like an unset object variable, and that statement is skipped too.
template <class T>
T& Use(T* object) {
  if (object == nullptr) throw host::HostError::host(host::kObjectNotSet);
  return *object;
}

}  // namespace

void SavePageSetup(component::Component& self, host::Application& EA,
                   const std::string& sheet_name) {
  host::Worksheet* dtb = nullptr;
  IgnoreFailure([&] { dtb = &EA.this_workbook().worksheets().item(sheets::kSettingsSheet); });
  IgnoreFailure([&] { Use(dtb).cells(kCaptureRow, kCaptureFlagColumn).set_value(true); });
  host::Worksheet* sheet = nullptr;
  IgnoreFailure(
      [&] { sheet = &EA.workbooks().item(self.DataBookName).worksheets().item(sheet_name); });
  for (int32_t k = 1; k <= kPageSetupValueCount; ++k) {
    IgnoreFailure([&] {
      const host::Variant v = Use(sheet).page_setup().get(kTransferredPageSetup[k - 1]);
      Use(dtb).cells(kCaptureRow, kCaptureFlagColumn + k).set_value(v);
    });
  }
}

void ApplyPageSetup(component::Component& self, host::Application& EA,
                    const std::string& sheet_name, int32_t r) {
  host::Worksheet* dtb = nullptr;
  IgnoreFailure([&] { dtb = &EA.this_workbook().worksheets().item(sheets::kSettingsSheet); });
  bool carry_over = false;
  IgnoreFailure([&] {
    carry_over = host::values_equal(Use(dtb).cells(kCaptureRow, kCaptureFlagColumn).value(),
                                    host::Variant(true));
  });
  if (carry_over) {
    for (int32_t k = 1; k <= kPageSetupValueCount; ++k) {
      IgnoreFailure([&] {
        Use(dtb)
            .cells(r, kPageSetupColumn + k)
            .set_value(Use(dtb).cells(kCaptureRow, kCaptureFlagColumn + k).value());
      });
    }
  }
  std::array<host::Variant, kPageSetupValueCount> stored;
  for (int32_t k = 1; k <= kPageSetupValueCount; ++k) {
    IgnoreFailure([&] { stored[k - 1] = Use(dtb).cells(r, kPageSetupColumn + k).value(); });
  }
  host::Worksheet* sheet = nullptr;
  IgnoreFailure(
      [&] { sheet = &EA.workbooks().item(self.DataBookName).worksheets().item(sheet_name); });
  for (int32_t k = 1; k <= kPageSetupValueCount; ++k) {
    IgnoreFailure(
        [&] { Use(sheet).page_setup().set(kTransferredPageSetup[k - 1], stored[k - 1]); });
  }
  IgnoreFailure([&] { Use(sheet).page_setup().set(PageSetupProperty::HeaderMargin, 2); });
  IgnoreFailure([&] { Use(sheet).page_setup().set(PageSetupProperty::FooterMargin, 10); });
  IgnoreFailure([&] { Use(sheet).page_setup().set(PageSetupProperty::LeftMargin, 2); });
  IgnoreFailure([&] { Use(sheet).page_setup().set(PageSetupProperty::RightMargin, 2); });
  IgnoreFailure([&] { Use(sheet).page_setup().set(PageSetupProperty::CenterHorizontally, true); });
}

}  // namespace kelv::generate
