#include "arrange/exam_numbers.h"

#include <gtest/gtest.h>

#include "host/host_error.h"

namespace kelv::arrange {
namespace {

int ErrorNumberOf(const char* start) {
  try {
    ExamNumbers numbers(start);
  } catch (const host::HostError& e) {
    return e.number();
  }
  return 0;
}

TEST(ExamNumbers, TenCharactersSplitIntoPrefixAndEightDigits) {
  ExamNumbers numbers("2024010001");
  EXPECT_EQ(numbers.prefix(), "20");
  EXPECT_EQ(numbers.width(), 8);
  EXPECT_EQ(numbers.start(), 24010001);
  EXPECT_EQ(numbers(0), "2024010001");
  EXPECT_EQ(numbers(57), "2024010058");
}

TEST(ExamNumbers, LettersBeforeTheLastEightAreAFixedPrefix) {
  ExamNumbers numbers("KS20240001");
  EXPECT_EQ(numbers.prefix(), "KS");
  EXPECT_EQ(numbers(0), "KS20240001");
  EXPECT_EQ(numbers(99), "KS20240100");
  // Characters, not bytes: a Chinese prefix is two characters here.
  ExamNumbers chinese("考场00000001");
  EXPECT_EQ(chinese.prefix(), "考场");
  EXPECT_EQ(chinese(9), "考场00000010");
}

TEST(ExamNumbers, ShortStartKeepsItsWidthAndWrapsAround) {
  ExamNumbers numbers("0001");
  EXPECT_EQ(numbers.prefix(), "");
  EXPECT_EQ(numbers.width(), 4);
  EXPECT_EQ(numbers(0), "0001");
  EXPECT_EQ(numbers(1), "0002");
  EXPECT_EQ(numbers(9998), "9999");
  EXPECT_EQ(numbers(9999), "0000");
  EXPECT_EQ(numbers(10000), "0001");
  ExamNumbers one("8");
  EXPECT_EQ(one(0), "8");
  EXPECT_EQ(one(2), "0");
}

TEST(ExamNumbers, NumberPartThatIsNotANumberIsATypeMismatch) {
  EXPECT_EQ(ErrorNumberOf("A001"), 13);
  EXPECT_EQ(ErrorNumberOf(""), 13);
  EXPECT_EQ(ErrorNumberOf("2024A1000001"), 13);  // last eight: "A1000001"
  EXPECT_EQ(ErrorNumberOf("AB12345678"), 0);
}

// A number pasted from another program often carries a blank at either end;
// kept, it would shift every exam number by a digit (2024010001 with a
// trailing space gave 20204010001).
TEST(ExamNumbers, BlanksAroundTheStartNumberAreDroppedAndFullWidthDigitsRead) {
  for (const char* typed : {"2024010001 ", " 2024010001", "\t2024010001\r\n", "2024010001\xC2\xA0",
                            "\xE3\x80\x80"
                            "2024010001\xE3\x80\x80",
                            "\xEF\xBB\xBF"
                            "2024010001\xE2\x80\x8B",
                            "\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94"
                            "010001"}) {
    ExamNumbers numbers(typed);
    EXPECT_EQ(numbers.prefix(), "20") << typed;
    EXPECT_EQ(numbers(0), "2024010001") << typed;
    EXPECT_EQ(numbers(9), "2024010010") << typed;
  }
  // Blanks inside stay: they are not white space around the number.
  EXPECT_EQ(NormalizeStartNumber(" KS 0001 "), "KS 0001");
  EXPECT_EQ(ErrorNumberOf("   "), 13);
  EXPECT_EQ(ErrorNumberOf("A001 "), 13);
}

TEST(ExamNumbers, RunningPastThe32BitRangeIsAnOverflow) {
  ExamNumbers numbers("99999999");
  EXPECT_EQ(numbers(1), "00000000");
  try {
    numbers(INT32_MAX);
    FAIL() << "expected an overflow";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST(SeatNumber, TakesTheLastCharactersOfApostropheZerosAndCounter) {
  EXPECT_EQ(SeatNumber(1, 2), "01");
  EXPECT_EQ(SeatNumber(30, 2), "30");
  EXPECT_EQ(SeatNumber(1, 1), "1");
  EXPECT_EQ(SeatNumber(8, 1), "8");
  EXPECT_EQ(SeatNumber(1, 3), "001");
  EXPECT_EQ(SeatNumber(120, 3), "120");
  EXPECT_EQ(SeatNumber(1234, 3), "234");
  // Past the three zeros the apostrophe shows; the host drops it on entry.
  EXPECT_EQ(SeatNumber(1, 5), "'0001");
  EXPECT_EQ(SeatNumber(1, 9), "'0001");
}

TEST(CharCount, CountsCodePoints) {
  EXPECT_EQ(CharCount(""), 0);
  EXPECT_EQ(CharCount("030"), 3);
  EXPECT_EQ(CharCount("考场01"), 4);
}

}  // namespace
}  // namespace kelv::arrange
