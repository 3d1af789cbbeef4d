#include "generate/page_setup_transfer.h"

#include <gtest/gtest.h>

#include "generate_host.h"
#include "sheets/settings_sheet.h"

namespace kelv::generate {
namespace {

using host::PageSetupProperty;
using host::Variant;
using sheets::kCaptureFlagColumn;
using sheets::kCaptureRow;
using sheets::kPageSetupColumn;

class PageSetupTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.AddTemplate({.name = "T"});  // catalogue row 2
    out = &host.data_book->add_sheet_after(host.Examinees());
    out->set_name("T");
  }
  host::Worksheet& DTB() { return host.DTB(); }
  Variant Get(PageSetupProperty p) { return out->page_setup().get(p); }

  testing::GenerateHost host;
  host::Worksheet* out = nullptr;
};

TEST_F(PageSetupTransferTest, SaveCapturesTheNineValuesInOrderAndSetsTheFlag) {
  out->page_setup().set(PageSetupProperty::CenterFooter, "&P/&N");
  out->page_setup().set(PageSetupProperty::Orientation, 2);
  out->page_setup().set(PageSetupProperty::TopMargin, 30);
  out->page_setup().set(PageSetupProperty::Zoom, false);
  SavePageSetup(host.self, host.engine, "T");
  EXPECT_EQ(DTB().cells(kCaptureRow, kCaptureFlagColumn).value(), Variant(true));
  EXPECT_EQ(DTB().cells(2, 92).value(), Variant("&P/&N"));
  EXPECT_EQ(DTB().cells(2, 94).value(), Variant(30));
  EXPECT_EQ(DTB().cells(2, 96).value(), Variant(2));
  EXPECT_EQ(DTB().cells(2, 98).value(), Variant(false));
}

TEST_F(PageSetupTransferTest, SaveOfAMissingSheetStillSetsTheFlag) {
  DTB().cells(2, 94).set_value(99);
  SavePageSetup(host.self, host.engine, "没有这张表");
  EXPECT_EQ(DTB().cells(kCaptureRow, kCaptureFlagColumn).value(), Variant(true));
  EXPECT_EQ(DTB().cells(2, 94).value(), Variant(99));
}

TEST_F(PageSetupTransferTest, FirstGenerationAppliesTheStoredRowAndTheFixedMargins) {
  const Variant stored[] = {"左", Variant(), "右", 40, 30, 2, 9, 85, 300};
  for (int k = 1; k <= 9; ++k) DTB().cells(2, kPageSetupColumn + k).set_value(stored[k - 1]);
  DTB().cells(kCaptureRow, kCaptureFlagColumn).set_value(false);
  DTB().cells(2, 91).set_value("不该搬过去");
  ApplyPageSetup(host.self, host.engine, "T", 2);
  EXPECT_EQ(Get(PageSetupProperty::LeftFooter), Variant("左"));
  EXPECT_EQ(Get(PageSetupProperty::CenterFooter), Variant(""));
  EXPECT_EQ(Get(PageSetupProperty::TopMargin), Variant(40));
  EXPECT_EQ(Get(PageSetupProperty::BottomMargin), Variant(30));
  EXPECT_EQ(Get(PageSetupProperty::Orientation), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::Zoom), Variant(85));
  EXPECT_EQ(Get(PageSetupProperty::HeaderMargin), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::FooterMargin), Variant(10));
  EXPECT_EQ(Get(PageSetupProperty::LeftMargin), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::RightMargin), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::CenterHorizontally), Variant(true));
  EXPECT_EQ(DTB().cells(2, kPageSetupColumn + 1).value(), Variant("左"));
}

TEST_F(PageSetupTransferTest, ACarriedOverCaptureReplacesTheRowEmptyValuesIncluded) {
  DTB().cells(2, kPageSetupColumn + 1).set_value("旧左");
  DTB().cells(2, kPageSetupColumn + 7).set_value(9);
  DTB().cells(kCaptureRow, kCaptureFlagColumn).set_value(true);
  DTB().cells(2, 92).set_value("第&P页");
  DTB().cells(2, 96).set_value(2);
  DTB().cells(2, 98).set_value(false);
  ApplyPageSetup(host.self, host.engine, "T", 2);
  EXPECT_TRUE(DTB().cells(2, kPageSetupColumn + 1).value().is_empty());
  EXPECT_EQ(DTB().cells(2, kPageSetupColumn + 2).value(), Variant("第&P页"));
  EXPECT_TRUE(DTB().cells(2, kPageSetupColumn + 7).value().is_empty());
  EXPECT_EQ(DTB().cells(2, kPageSetupColumn + 8).value(), Variant(false));
  EXPECT_EQ(DTB().cells(kCaptureRow, kCaptureFlagColumn).value(), Variant(true));
  EXPECT_EQ(Get(PageSetupProperty::Orientation), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::Zoom), Variant(false));
  EXPECT_EQ(Get(PageSetupProperty::CenterFooter), Variant("第&P页"));
}

TEST_F(PageSetupTransferTest, RefusedValuesAreSkippedAndTheRestStillApplies) {
  const Variant before = Get(PageSetupProperty::PrintQuality);
  const Variant stored[] = {"", "", "", "上", 30, 7, "A4", 5000, "高"};
  for (int k = 1; k <= 9; ++k) DTB().cells(2, kPageSetupColumn + k).set_value(stored[k - 1]);
  ApplyPageSetup(host.self, host.engine, "T", 2);
  EXPECT_EQ(Get(PageSetupProperty::PrintQuality), before);
  EXPECT_EQ(Get(PageSetupProperty::BottomMargin), Variant(30));
  EXPECT_EQ(Get(PageSetupProperty::LeftMargin), Variant(2));
  EXPECT_EQ(Get(PageSetupProperty::CenterHorizontally), Variant(true));
}

}  // namespace
}  // namespace kelv::generate
