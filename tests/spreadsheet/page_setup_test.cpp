#include "engine_fixture.h"

namespace kelv::spreadsheet {
namespace {

using P = host::PageSetupProperty;

class PageSetupTest : public EngineTest {
 protected:
  host::PageSetup page() { return ws().page_setup(); }
  // Setting v must fail with 1004 and leave the property as it was.
  void refused(P p, const Variant& v) {
    const Variant before = page().get(p);
    EXPECT_EQ(error_number([&] { page().set(p, v); }), 1004) << v.to_text();
    EXPECT_EQ(page().get(p), before);
  }
};

TEST_F(PageSetupTest, HeadersAndFootersAreSectionsOfOneString) {
  page().set(P::CenterFooter, "第 &P 页，共 &N 页");
  page().set(P::LeftFooter, "A&&B");
  page().set(P::RightHeader, "考场表");
  EXPECT_EQ(model().page_setup.header_footer.odd_footer, "&LA&&B&C第 &P 页，共 &N 页");
  EXPECT_EQ(page().get(P::CenterFooter), Variant("第 &P 页，共 &N 页"));
  EXPECT_EQ(page().get(P::LeftFooter), Variant("A&&B"));
  EXPECT_EQ(page().get(P::RightHeader), Variant("考场表"));
  EXPECT_EQ(page().get(P::LeftHeader), Variant(""));
  page().set(P::CenterFooter, "");
  EXPECT_EQ(model().page_setup.header_footer.odd_footer, "&LA&&B");
  refused(P::RightFooter, std::string(300, 'x'));
}

TEST_F(PageSetupTest, MarginsArePointsOverInches) {
  page().set(P::TopMargin, 36);
  EXPECT_DOUBLE_EQ(model().page_setup.top_margin, 0.5);
  EXPECT_EQ(page().get(P::TopMargin), Variant(36.0));
  page().set(P::LeftMargin, "18");
  EXPECT_DOUBLE_EQ(model().page_setup.left_margin, 0.25);
  refused(P::TopMargin, Variant());
  refused(P::TopMargin, "wide");
  refused(P::TopMargin, -1);
  refused(P::BottomMargin, true);
}

TEST_F(PageSetupTest, OrientationPaperZoomQualityAndCentring) {
  page().set(P::Orientation, 2);
  page().set(P::PaperSize, 11);
  page().set(P::Zoom, 85);
  page().set(P::PrintQuality, 300);
  page().set(P::CenterHorizontally, true);
  EXPECT_EQ(page().get(P::Orientation), Variant(2));
  EXPECT_EQ(page().get(P::PaperSize), Variant(11));
  EXPECT_EQ(page().get(P::Zoom), Variant(85));
  EXPECT_EQ(page().get(P::PrintQuality), Variant(300));
  EXPECT_EQ(page().get(P::CenterHorizontally), Variant(true));
  refused(P::Orientation, 3);
  refused(P::Orientation, Variant());
  refused(P::PaperSize, 0);
  refused(P::PaperSize, 48);
  refused(P::Zoom, 9);
  refused(P::Zoom, 401);
  refused(P::Zoom, true);
  refused(P::PrintQuality, 0);
  refused(P::CenterHorizontally, Variant());
  refused(P::CenterVertically, "maybe");
}

TEST_F(PageSetupTest, ZoomFalseFitsToPages) {
  page().set(P::Zoom, false);
  page().set(P::FitToPagesWide, 1);
  page().set(P::FitToPagesTall, false);
  EXPECT_EQ(page().get(P::Zoom), Variant(false));
  EXPECT_TRUE(model().page_setup.fit_to_page);
  EXPECT_EQ(model().page_setup.fit_to_height, 0);
  page().set(P::Zoom, 100);
  EXPECT_FALSE(model().page_setup.fit_to_page);
}

}  // namespace
}  // namespace kelv::spreadsheet
