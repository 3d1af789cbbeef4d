// Dates as serial numbers, built-in format ids and date formats: the one
// set of rules every reader and the writer use.
#include "spreadsheet/cell_values.h"

#include <gtest/gtest.h>

#include "spreadsheet/number_format.h"

namespace kelv::spreadsheet {
namespace {

double serial(int32_t y, int32_t m, int32_t d) {
  return date_serial(y, m, d).value_or(-1);
}

// The 1900 system around its odd start: the day before 1900-01-01 is 0 (a
// time alone stands on it), the leap day that never was is 60, and from
// March on the count agrees with the days since 1899-12-30.
TEST(DateSerial, EdgesOfThe1900System) {
  EXPECT_EQ(serial(1899, 12, 31), 0);
  EXPECT_EQ(serial(1900, 1, 1), 1);
  EXPECT_EQ(serial(1900, 2, 28), 59);
  EXPECT_EQ(serial(1900, 2, 29), 60);
  EXPECT_EQ(serial(1900, 3, 1), 61);
  EXPECT_EQ(serial(2024, 1, 5), 45296);
  EXPECT_EQ(serial(2024, 2, 29), 45351);
  EXPECT_EQ(serial(9999, 12, 31), 2958465);
  EXPECT_FALSE(date_serial(1899, 12, 30));
  EXPECT_FALSE(date_serial(2023, 2, 29));
  EXPECT_FALSE(date_serial(2024, 4, 31));
  EXPECT_FALSE(date_serial(2024, 13, 1));
  EXPECT_FALSE(date_serial(10000, 1, 1));
}

TEST(DateSerial, CivilDateIsItsInverse) {
  for (int64_t s = 1; s <= 2958465; s += 37) {
    const CivilDate c = civil_date(s);
    ASSERT_EQ(serial(c.year, c.month, c.day), static_cast<double>(s)) << s;
  }
  const CivilDate leap = civil_date(60);
  EXPECT_EQ(leap.month * 100 + leap.day, 229);
  const CivilDate zero = civil_date(0);
  EXPECT_EQ(zero.year * 10000 + zero.month * 100 + zero.day, 19000100);
  // Shown through a format, serial 0 is 1900-01-00 and 59 the 28th.
  EXPECT_EQ(format_number(0.5, "yyyy-mm-dd hh:mm").text, "1900-01-00 12:00");
  EXPECT_EQ(format_number(59, "yyyy-mm-dd").text, "1900-02-28");
  EXPECT_EQ(format_number(61, "yyyy-mm-dd").text, "1900-03-01");
}

// SpreadsheetML writes a time alone on 1899-12-31, xlsx's t="d" cells a time
// alone as hh:mm:ss; both are fractions of a day and nothing more.
TEST(DateSerial, IsoTexts) {
  EXPECT_DOUBLE_EQ(iso_datetime_serial("1899-12-31T08:30:00.000").value_or(-1), 8.5 / 24);
  EXPECT_DOUBLE_EQ(iso_datetime_serial("08:30:00").value_or(-1), 8.5 / 24);
  EXPECT_DOUBLE_EQ(iso_datetime_serial("2024-01-05T12:00:00Z").value_or(-1), 45296.5);
  EXPECT_DOUBLE_EQ(iso_datetime_serial("2024-01-05").value_or(-1), 45296);
  EXPECT_DOUBLE_EQ(iso_datetime_serial("1900-02-28T00:00:00").value_or(-1), 59);
  EXPECT_FALSE(iso_datetime_serial("2024-1-5x"));
  EXPECT_FALSE(iso_datetime_serial("2024-02-30"));
  EXPECT_FALSE(iso_datetime_serial("25:00:00"));
  EXPECT_FALSE(iso_datetime_serial("abc"));
}

// Ids 27-36 and 50-58 mean 年月日 dates only in a Chinese suite; a code is
// never written under one of them, while the ids any reader knows are kept.
TEST(BuiltinFormats, LocaleIdsAreNeverGivenToACode) {
  EXPECT_EQ(builtin_number_format(31), "yyyy\"年\"m\"月\"d\"日\"");
  EXPECT_EQ(builtin_number_format_id("yyyy\"年\"m\"月\"d\"日\""), -1);
  EXPECT_EQ(builtin_number_format_id("m\"月\"d\"日\""), -1);
  EXPECT_EQ(builtin_number_format_id("yyyy/m/d"), 14);
  EXPECT_EQ(builtin_number_format_id("0.00"), 2);
  EXPECT_EQ(builtin_number_format_id("@"), 49);
  EXPECT_EQ(builtin_number_format_id("General"), 0);
  for (int32_t id = 0; id < 60; ++id) {
    EXPECT_EQ(is_locale_builtin_format(id), (id >= 27 && id <= 36) || (id >= 50 && id <= 58));
    // Every built-in date id has a code that reads as a date.
    if (is_date_format_id(id) && !builtin_number_format(id).empty()) {
      EXPECT_TRUE(is_date_format(builtin_number_format(id))) << id;
    }
  }
  EXPECT_FALSE(is_date_format_id(49));
}

TEST(DateFormats, WhatShowsADate) {
  for (const char* code : {"yyyy\"年\"m\"月\"d\"日\"", "[$-804]aaaa", "m/d", "[h]:mm", "h:mm AM/PM",
                           "上午/下午h\"时\"mm\"分\"", "[DBNum1]yyyy\"年\"m\"月\""})
    EXPECT_TRUE(is_date_format(code)) << code;
  for (const char* code : {"General", "0.00", "\"年\"0", "[Red]0", "@", "0.00E+00", "\"d\"0",
                           "#,##0;[Red]-#,##0", "0;\"m\""})
    EXPECT_FALSE(is_date_format(code)) << code;
}

}  // namespace
}  // namespace kelv::spreadsheet
