#include "codes/symbol.h"

#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <cmath>
#include <memory>
#include <string>
#include <thread>

namespace kelv::codes {
namespace {

Modules Encoded(const Symbol& s) {
  Modules m;
  const auto reason = encode(s, m);
  EXPECT_FALSE(reason) << *reason;
  return m;
}

TEST(CodeMarker, RoundTripsAnyPayloadAsPlainAttributeText) {
  const Symbol qr{Symbology::QR, false, "2024010203\n张三\r\t50%\x7f"};
  const std::string text = marker(qr);
  EXPECT_EQ(text, "kelv-code:qr:2024010203%0A张三%0D%0950%25%7F");
  EXPECT_EQ(parse_marker(text), qr);
  const Symbol bars{Symbology::Code128, true, "A-1 /2"};
  EXPECT_EQ(marker(bars), "kelv-code:code128:A-1 /2");
  EXPECT_EQ(parse_marker(marker(bars)), bars);
  const Symbol plain{Symbology::Code128, false, "2024"};
  EXPECT_EQ(marker(plain), "kelv-code:code128-plain:2024");
  EXPECT_EQ(parse_marker(marker(plain)), plain);
}

TEST(CodeMarker, OtherDescriptionsAreNoCode) {
  EXPECT_FALSE(parse_marker("1001.jpg"));
  EXPECT_FALSE(parse_marker(""));
  EXPECT_FALSE(parse_marker("kelv-code:ean13:123"));
  EXPECT_FALSE(parse_marker("kelv-code:qr:50%"));    // cut escape
  EXPECT_FALSE(parse_marker("kelv-code:qr:50%G0"));  // not hexadecimal
}

TEST(CodeEncoding, Code128HasTenQuietModulesEachSide) {
  const Modules m = Encoded({Symbology::Code128, true, "2024010203"});
  ASSERT_EQ(m.height, 1);
  EXPECT_EQ(m.width, 90 + 2 * kCode128QuietZone);  // start, five pairs, check, stop
  for (int32_t x = 0; x < kCode128QuietZone; ++x) {
    EXPECT_FALSE(m.is_dark(x, 0));
    EXPECT_FALSE(m.is_dark(m.width - 1 - x, 0));
  }
  EXPECT_TRUE(m.is_dark(kCode128QuietZone, 0));  // the start character opens with a bar
  EXPECT_TRUE(m.is_dark(m.width - kCode128QuietZone - 1, 0));  // the stop closes with one
  EXPECT_EQ(m.text, "2024010203");
  EXPECT_EQ(Encoded({Symbology::Code128, false, "2024010203"}).text, "");
}

// Codes are encoded one after another in one symbol of the encoder: each
// comes out as it would on its own, after longer codes, after codes that
// could not be encoded, and on another thread.
TEST(CodeEncoding, EachCodeIsAsIfEncodedAloneWhateverCameBefore) {
  auto alone = [](const Symbol& s) {
    Modules m;
    std::thread([&] { m = Encoded(s); }).join();
    return m;
  };
  const Symbol one{Symbology::Code128, true, "7"};
  const Symbol number{Symbology::Code128, false, "2024010203"};
  const Symbol letters{Symbology::Code128, true, std::string(40, 'Z')};
  Modules m;
  EXPECT_FALSE(encode(letters, m));
  EXPECT_TRUE(encode({Symbology::Code128, true, "考号"}, m));
  EXPECT_TRUE(encode({Symbology::Code128, true, std::string(300, '1')}, m));
  EXPECT_FALSE(encode({Symbology::QR, false, "2024010203"}, m));
  for (const Symbol& s : {one, number, letters, one}) {
    const Modules after = Encoded(s), fresh = alone(s);
    EXPECT_EQ(after.width, fresh.width) << s.payload;
    EXPECT_EQ(after.dark, fresh.dark) << s.payload;
    EXPECT_EQ(after.text, fresh.text) << s.payload;
  }
}

TEST(CodeEncoding, QrIsSquareWithFourQuietModulesAndItsFinderPatterns) {
  const Modules m = Encoded({Symbology::QR, false, "2024010203\n王伟\n01\n15"});
  EXPECT_EQ(m.width, m.height);
  EXPECT_EQ((m.width - 2 * kQrQuietZone - 17) % 4, 0);  // 21, 25, 29, ... modules
  const int32_t q = kQrQuietZone;
  for (int32_t k = 0; k < 7; ++k) {
    EXPECT_TRUE(m.is_dark(q + k, q));       // top-left finder, top edge
    EXPECT_TRUE(m.is_dark(q, q + k));       // and left edge
    EXPECT_FALSE(m.is_dark(k % q, q + k));  // quiet zone
  }
  EXPECT_FALSE(m.is_dark(q + 1, q + 1));
  EXPECT_TRUE(m.is_dark(q + 3, q + 3));  // the finder's centre
}

TEST(CodeEncoding, WhatCannotBeEncodedIsAReasonInChinese) {
  Modules m;
  EXPECT_EQ(encode({Symbology::Code128, true, "考号12"}, m),
            "条码只能容纳数字、英文字母和常用符号，不能容纳汉字等字符");
  EXPECT_EQ(encode({Symbology::QR, false, std::string(3000, 'x')}, m), "内容太长，二维码容纳不下");
  // Digits pack tighter, but not this tight.
  EXPECT_EQ(encode({Symbology::QR, false, std::string(6000, '1')}, m), "内容太长，二维码容纳不下");
  // Chinese text in a QR code is no reason.
  EXPECT_FALSE(encode({Symbology::QR, false, "张三"}, m));
}

TEST(CodePlacement, QrIsTheLargestCentredSquare) {
  const Modules m = Encoded({Symbology::QR, false, "1"});  // 21 + 8 = 29 modules
  const Placement wide = place(m, 116, 58);
  EXPECT_DOUBLE_EQ(wide.module, 2.0);
  EXPECT_DOUBLE_EQ(wide.x, 29);
  EXPECT_DOUBLE_EQ(wide.y, 0);
  const Placement tall = place(m, 29, 100);
  EXPECT_DOUBLE_EQ(tall.module, 1.0);
  EXPECT_DOUBLE_EQ(tall.y, 35.5);
  EXPECT_EQ(place(m, 0, 10).module, 0);
}

TEST(CodePlacement, Code128SpansTheWidthAndKeepsItsTextOnlyWhereItFits) {
  const Modules m = Encoded({Symbology::Code128, true, "2024010203"});  // 110 modules
  const Placement high = place(m, 110, 18);
  EXPECT_DOUBLE_EQ(high.module, 1);
  EXPECT_DOUBLE_EQ(high.text_band, 8);
  EXPECT_DOUBLE_EQ(high.bar_height, 10);
  const Placement low = place(m, 110, 17.9);
  EXPECT_DOUBLE_EQ(low.text_band, 0);
  EXPECT_DOUBLE_EQ(low.bar_height, 17.9);
}

TEST(CodePicture, PixelsPerModuleGiveAtLeast300PerInchWithinLimits) {
  EXPECT_EQ(pixels_per_module(0.24, false), 1);  // exactly 300 per inch
  EXPECT_EQ(pixels_per_module(0.25, false), 2);
  EXPECT_EQ(pixels_per_module(1.1, false), 5);
  EXPECT_EQ(pixels_per_module(0.1, true), 2);  // the text needs two
  EXPECT_EQ(pixels_per_module(40, false), 12);
  EXPECT_EQ(pixels_per_module(std::nan(""), false), 1);
}

struct Decoded {
  int w = 0, h = 0;
  std::unique_ptr<unsigned char, void (*)(void*)> px{nullptr, stbi_image_free};
  bool dark(int x, int y) const { return px.get()[size_t(y) * w + x] < 128; }
};

Decoded Decode(const std::string& png) {
  Decoded d;
  int comp = 0;
  d.px.reset(stbi_load_from_memory(reinterpret_cast<const unsigned char*>(png.data()),
                                   static_cast<int>(png.size()), &d.w, &d.h, &comp, 1));
  EXPECT_TRUE(d.px) << "not a PNG";
  return d;
}

TEST(CodePicture, QrPictureHasTheBoxsProportionsAndWholePixelModules) {
  const Modules m = Encoded({Symbology::QR, false, "2024010203\n王伟\n01\n15"});
  const double w = 90, h = 57;
  const Placement at = place(m, w, h);
  const int32_t p = pixels_per_module(at.module, false);
  const Decoded d = Decode(png(m, w, h));
  ASSERT_TRUE(d.px);
  EXPECT_NEAR(double(d.w) / d.h, w / h, 0.01);
  EXPECT_EQ(d.h, m.height * p);
  const int32_t left = (d.w - m.width * p) / 2;
  for (int32_t y = 0; y < m.height; ++y) {
    for (int32_t x = 0; x < m.width; ++x) {
      // Every pixel of a module is the module's colour.
      for (const auto& [dx, dy] : {std::pair{0, 0}, {p - 1, 0}, {0, p - 1}, {p - 1, p - 1}}) {
        ASSERT_EQ(d.dark(left + x * p + dx, y * p + dy), m.is_dark(x, y)) << x << "," << y;
      }
    }
  }
  for (int32_t y = 0; y < d.h; ++y) EXPECT_FALSE(d.dark(left - 1, y));  // white margin
}

TEST(CodePicture, Code128PictureHasBarsAboveItsTextBand) {
  const Modules m = Encoded({Symbology::Code128, true, "2024010203"});
  const double w = 121.5, h = 57;
  const Placement at = place(m, w, h);
  const int32_t p = pixels_per_module(at.module, true);
  const Decoded d = Decode(png(m, w, h));
  ASSERT_TRUE(d.px);
  EXPECT_EQ(d.w, m.width * p);
  EXPECT_EQ(d.h, static_cast<int>(std::lround(h * p / at.module)));
  const int32_t band = 8 * p, bars = d.h - band;
  for (int32_t x = 0; x < m.width; ++x) {
    EXPECT_EQ(d.dark(x * p, 0), m.is_dark(x, 0));
    EXPECT_EQ(d.dark(x * p + p - 1, bars - 1), m.is_dark(x, 0));
  }
  int32_t text_pixels = 0;
  for (int32_t y = bars; y < d.h; ++y)
    for (int32_t x = 0; x < d.w; ++x) text_pixels += d.dark(x, y);
  EXPECT_GT(text_pixels, 10 * p);  // ten digits drawn
  EXPECT_LT(text_pixels, band * d.w / 2);

  const Decoded plain = Decode(png(Encoded({Symbology::Code128, false, "2024010203"}), w, h));
  for (int32_t x = 0; x < m.width; ++x)
    EXPECT_EQ(plain.dark(x * plain.w / m.width, plain.h - 1), m.is_dark(x, 0));
}

TEST(CodePicture, ABoxWithNoRoomGivesNoPicture) {
  EXPECT_EQ(png(Encoded({Symbology::QR, false, "1"}), 0, 20), "");
  EXPECT_EQ(png(Encoded({Symbology::QR, false, "1"}), -3, 20), "");
}

}  // namespace
}  // namespace kelv::codes
