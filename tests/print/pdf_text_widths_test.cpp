// A text of a General number's characters measures as Qt measures it, in
// the faces cells are drawn with, kerned or not.
#include <gtest/gtest.h>

#include <QFont>
#include <QString>
#include <string>
#include <vector>

#include "print/qt/fonts.h"
#include "print/qt/pdf_export.h"
#include "print/qt/text_widths.h"
#include "spreadsheet/model.h"

namespace kelv::print {
namespace {

TEST(TextWidths, TextsMeasureAsQtMeasuresThemInEveryFace) {
  (void)font_warning();  // starts Qt
  const std::vector<std::string> texts = {"2026000123", "2.026000123E+09",
                                          "2.03E+09",   "2E+09",
                                          "-0.000123",  "1.5E-07",
                                          "7",          "11",
                                          "-.E+",       "",
                                          "考号12",     "12 345"};
  for (const char* face : {"Calibri", "Arial", "Times New Roman", "宋体", "Courier New"}) {
    for (const double points : {9.0, 11.0, 20.0}) {
      spreadsheet::Font f;
      f.name = face;
      f.size = points;
      for (const bool bold : {false, true}) {
        f.bold = bold;
        const QFontMetricsF metrics(cell_font(f, 10));
        TextWidths widths(metrics);
        for (const std::string& text : texts)
          EXPECT_EQ(widths(text), metrics.horizontalAdvance(QString::fromStdString(text)))
              << face << " " << points << (bold ? " bold " : " ") << text;
      }
    }
  }
}

TEST(TextWidths, AFontThatKernsDigitsIsMeasuredWhole) {
  (void)font_warning();
  QFont font = cell_font(spreadsheet::Font{}, 10);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 3);  // spacing Qt adds to whole texts
  const QFontMetricsF metrics(font);
  TextWidths widths(metrics);
  for (const char* text : {"1", "12", "2.03E+09"})
    EXPECT_EQ(widths(text), metrics.horizontalAdvance(QString(text))) << text;
}

}  // namespace
}  // namespace kelv::print
