#include "io/formatted_output.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

// Expected fields are worked by hand from the edit-descriptor rules on the exact binary value of
// each double (decimal expansions from Python's decimal.Decimal(x)); the Fortran-convention ones
// (negative zero, Fw.0, the dropped leading zero, three-digit exponents) agree with a Fortran
// compiler's runtime writing the same descriptors.

namespace velk {
namespace {

TEST(FormatInteger, Iw) {
  EXPECT_EQ(format_integer(7, 5), "    7");
  EXPECT_EQ(format_integer(-7, 5), "   -7");
  EXPECT_EQ(format_integer(0, 3), "  0");
  EXPECT_EQ(format_integer(999, 3), "999");
  EXPECT_EQ(format_integer(-99, 3), "-99");
  EXPECT_EQ(format_integer(1000, 3), "***");
  EXPECT_EQ(format_integer(-100, 3), "***");
  EXPECT_EQ(format_integer(INT32_MIN, 12), " -2147483648");
  EXPECT_EQ(format_integer(INT64_MIN, 21), " -9223372036854775808");
  EXPECT_EQ(format_integer(INT64_MIN, 5), "*****");
}

TEST(FormatInteger, IwmZeroFillsToMDigits) {
  EXPECT_EQ(format_integer(7, 3, 3), "007");
  EXPECT_EQ(format_integer(-7, 5, 3), " -007");
  EXPECT_EQ(format_integer(-7, 4, 3), "-007");
  EXPECT_EQ(format_integer(-7, 3, 3), "***");
  EXPECT_EQ(format_integer(12345, 6, 3), " 12345");
  // With m = 0 a zero writes no digit at all.
  EXPECT_EQ(format_integer(0, 5, 0), "     ");
  EXPECT_EQ(format_integer(3, 5, 0), "    3");
}

TEST(FormatFixed, RoundsAndAligns) {
  EXPECT_EQ(format_fixed(1.5, 13, 5), "      1.50000");
  EXPECT_EQ(format_fixed(-1234.56789, 13, 5), "  -1234.56789");
  EXPECT_EQ(format_fixed(12345.678901, 15, 6), "   12345.678901");
  // 0.05 is stored as 0.05000000000000000277..., just above the tie: it rounds up.
  EXPECT_EQ(format_fixed(0.05, 4, 1), " 0.1");
  // 0.125 and 0.375 are exact ties: to even.
  EXPECT_EQ(format_fixed(0.125, 5, 2), " 0.12");
  EXPECT_EQ(format_fixed(0.375, 5, 2), " 0.38");
  // 2.675 is stored as 2.67499999999999982236431605997495353221893310546875: down.
  EXPECT_EQ(format_fixed(2.675, 5, 2), " 2.67");
}

TEST(FormatFixed, RoundingCarriesIntoANewDecade) {
  EXPECT_EQ(format_fixed(0.999999999, 13, 5), "      1.00000");
  EXPECT_EQ(format_fixed(-0.999999999, 13, 5), "     -1.00000");
  EXPECT_EQ(format_fixed(99.96, 6, 1), " 100.0");
  EXPECT_EQ(format_fixed(99.96, 4, 1), "****");
  // 9999999.999999 is stored as 9999999.99999899975955...: the carry adds a digit.
  EXPECT_EQ(format_fixed(9999999.999999, 14, 5), "10000000.00000");
  EXPECT_EQ(format_fixed(9999999.999999, 13, 5), "*************");
}

TEST(FormatFixed, NegativeZeroAndValuesRoundingToZeroKeepTheirSign) {
  EXPECT_EQ(format_fixed(-0.0, 13, 5), "     -0.00000");
  EXPECT_EQ(format_fixed(-0.000001, 13, 5), "     -0.00000");
  EXPECT_EQ(format_fixed(0.0, 13, 5), "      0.00000");
  EXPECT_EQ(format_fixed(0.000001, 13, 5), "      0.00000");
}

TEST(FormatFixed, ZeroBeforeThePointOnlyWhenThereIsRoom) {
  EXPECT_EQ(format_fixed(0.5, 5, 2), " 0.50");
  EXPECT_EQ(format_fixed(0.5, 4, 2), "0.50");
  EXPECT_EQ(format_fixed(0.5, 3, 2), ".50");
  EXPECT_EQ(format_fixed(-0.5, 5, 2), "-0.50");
  EXPECT_EQ(format_fixed(-0.5, 4, 2), "-.50");
  EXPECT_EQ(format_fixed(-0.5, 3, 2), "***");
  EXPECT_EQ(format_fixed(0.5, 2, 2), "**");
}

TEST(FormatFixed, NoDecimalsWritesThePoint) {
  EXPECT_EQ(format_fixed(2.0, 6, 0), "    2.");
  EXPECT_EQ(format_fixed(-2.0, 6, 0), "   -2.");
  EXPECT_EQ(format_fixed(2.5, 6, 0), "    2.");  // a tie, to even
  EXPECT_EQ(format_fixed(3.5, 6, 0), "    4.");
  EXPECT_EQ(format_fixed(123.0, 3, 0), "***");
  // A value below one half keeps its zero: a bare point would show no digit at all.
  EXPECT_EQ(format_fixed(0.4, 2, 0), "0.");
  EXPECT_EQ(format_fixed(0.4, 1, 0), "*");
  EXPECT_EQ(format_fixed(-0.4, 3, 0), "-0.");
  EXPECT_EQ(format_fixed(-0.4, 2, 0), "**");
}

TEST(FormatFixed, HugeValueOverflows) {
  EXPECT_EQ(format_fixed(1.0e300, 13, 5), "*************");
  EXPECT_EQ(format_fixed(-DBL_MAX, 15, 6), "***************");
  EXPECT_EQ(format_fixed(1.0e20, 25, 2), " 100000000000000000000.00");
}

TEST(FormatExponent, EwdLayout) {
  // The example of the rules: E10.2 of 12.6 is two blanks then 0.13E+02.
  EXPECT_EQ(format_exponent(12.6, 10, 2), "  0.13E+02");
  EXPECT_EQ(format_exponent(-12.6, 10, 2), " -0.13E+02");
  EXPECT_EQ(format_exponent(0.0, 10, 2), "  0.00E+00");
  EXPECT_EQ(format_exponent(2.5, 17, 9), "  0.250000000E+01");
  EXPECT_EQ(format_exponent(1.0e-5, 10, 2), "  0.10E-04");
  EXPECT_EQ(format_exponent(0.1, 10, 2), "  0.10E+00");
  EXPECT_EQ(format_exponent(1.0, 10, 2), "  0.10E+01");
}

TEST(FormatExponent, RoundingOnTheExactValue) {
  // Rounding that carries into a new decade raises the exponent.
  EXPECT_EQ(format_exponent(9.999, 10, 2), "  0.10E+02");
  EXPECT_EQ(format_exponent(0.0999999, 10, 2), "  0.10E+00");
  EXPECT_EQ(format_exponent(-9.96, 10, 2), " -0.10E+02");
  // 0.125 is a tie (to even); 0.135 is stored just above 0.135 and 0.145 just below 0.145.
  EXPECT_EQ(format_exponent(0.125, 10, 2), "  0.12E+00");
  EXPECT_EQ(format_exponent(0.135, 10, 2), "  0.14E+00");
  EXPECT_EQ(format_exponent(0.145, 10, 2), "  0.14E+00");
}

TEST(FormatExponent, NegativeZeroKeepsItsSign) {
  EXPECT_EQ(format_exponent(-0.0, 10, 2), " -0.00E+00");
  EXPECT_EQ(format_exponent(-0.0, 12, 3, 3), " -0.000E+000");
}

TEST(FormatExponent, LeadingZeroDroppedWhenThereIsNoRoom) {
  EXPECT_EQ(format_exponent(12.6, 8, 2), "0.13E+02");
  EXPECT_EQ(format_exponent(12.6, 7, 2), ".13E+02");
  EXPECT_EQ(format_exponent(12.6, 6, 2), "******");
  EXPECT_EQ(format_exponent(-12.6, 9, 2), "-0.13E+02");
  EXPECT_EQ(format_exponent(-12.6, 8, 2), "-.13E+02");
  EXPECT_EQ(format_exponent(-12.6, 7, 2), "*******");
}

TEST(FormatExponent, ThreeDigitExponentDropsTheLetter) {
  // 1.23e99 = 0.123e100, the example of the rules.
  EXPECT_EQ(format_exponent(1.23e99, 10, 3), " 0.123+100");
  EXPECT_EQ(format_exponent(1.2e100, 10, 2), "  0.12+101");
  EXPECT_EQ(format_exponent(-1.2e-101, 10, 2), " -0.12-100");
  // 1.2e-100 = 0.12e-99 still has two exponent digits.
  EXPECT_EQ(format_exponent(1.2e-100, 10, 2), "  0.12E-99");
  EXPECT_EQ(format_exponent(DBL_MAX, 10, 2), "  0.18+309");
  // The smallest subnormal, 4.94e-324 = 0.494e-323.
  EXPECT_EQ(format_exponent(4.9406564584124654e-324, 10, 2), "  0.49-323");
  EXPECT_EQ(format_exponent(1.2e100, 7, 2), ".12+101");
  EXPECT_EQ(format_exponent(1.2e100, 6, 2), "******");
}

TEST(FormatExponent, EwdEeHasExactlyEExponentDigits) {
  EXPECT_EQ(format_exponent(12.6, 12, 3, 3), "  0.126E+002");
  EXPECT_EQ(format_exponent(12.6, 12, 3, 1), "    0.126E+2");
  EXPECT_EQ(format_exponent(1.2e100, 10, 2, 3), " 0.12E+101");
  EXPECT_EQ(format_exponent(1.0e200, 10, 2, 3), " 0.10E+201");
  EXPECT_EQ(format_exponent(-1.0e-5, 11, 2, 3), " -0.10E-004");
  // An exponent that needs more than e digits overflows the field.
  EXPECT_EQ(format_exponent(1.26e10, 12, 3, 1), "************");
  EXPECT_EQ(format_exponent(1.2e100, 12, 2, 2), "************");
}

TEST(FormatText, AwCutsOrRightAligns) {
  EXPECT_EQ(format_text("J=", 3), " J=");
  EXPECT_EQ(format_text("reading", 8), " reading");
  EXPECT_EQ(format_text("abcdef", 3), "abc");
  EXPECT_EQ(format_text("abc", 3), "abc");
  EXPECT_EQ(format_text("", 2), "  ");
}

TEST(FormatLines, DescriptorsInOneLine) {
  EXPECT_EQ(format_line("(A3,I5)", {std::string("J="), int64_t{5}}), " J=    5");
  EXPECT_EQ(format_line("(A8,A12)", {std::string("reading"), std::string("pot.dat     ")}),
            " readingpot.dat     ");
  EXPECT_EQ(format_line("(I5,' !number of levels')", {int64_t{12}}), "   12 !number of levels");
  EXPECT_EQ(format_line("(5I3, \" !levels to be used\")",
                        {int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}}),
            "  1  1  1  1  1 !levels to be used");
  EXPECT_EQ(format_line("(2X,I2,3X,'|')", {int64_t{7}}), "   7   |");
  EXPECT_EQ(format_line("(X,I1)", {int64_t{7}}), " 7");
  EXPECT_EQ(format_line("('it''s',A)", {std::string(" ok ")}), "it's ok ");
  EXPECT_EQ(format_line("(\"Epr-\",F13.5,\"   Dcor-\",E10.2,\"  iter-\",I3)",
                        {-1234.5, 1.0e-7, int64_t{3}}),
            "Epr-  -1234.50000   Dcor-  0.10E-06  iter-  3");
  EXPECT_EQ(format_line("(i3.3,f6.2,e10.2e3)", {int64_t{7}, 1.0, 1.0}), "007  1.00 0.10E+001");
}

TEST(FormatLines, LevelLineLayoutIsEightyFourColumns) {
  const std::string line =
      format_line("(I5, I4, I4, F13.5, I2, F11.4, I3, F13.5, E10.2, I5, I7, I3, I4)",
                  {int64_t{1}, int64_t{0}, int64_t{10}, 1234.56789, int64_t{1}, -0.5, int64_t{2},
                   -10.0, 1.0e-10, int64_t{100}, int64_t{49000}, int64_t{3}, int64_t{0}});
  EXPECT_EQ(line,
            "    1   0  10   1234.56789 1    -0.5000  2    -10.00000  0.10E-09  100  49000  3   0");
  EXPECT_EQ(line.size(), 84u);
}

TEST(FormatLines, ListIsReusedOnNewLines) {
  const std::vector<FormatValue> values = {int64_t{1}, 2.0, int64_t{3}, 4.0, int64_t{5}, 6.0};
  EXPECT_EQ(format_lines("(I2,F5.1)", values),
            (std::vector<std::string>{" 1  2.0", " 3  4.0", " 5  6.0"}));
}

TEST(FormatLines, StopsAtTheFirstValueDescriptorWithoutAValue) {
  const std::vector<FormatValue> values = {int64_t{1}, int64_t{2}, int64_t{3}};
  EXPECT_EQ(format_lines("(I3,' a ',I3,' b')", values),
            (std::vector<std::string>{"  1 a   2 b", "  3 a "}));
  // The texts after the last value are written when the list ends with them.
  EXPECT_EQ(format_lines("(I3,' a ',I3,' b')", std::vector<FormatValue>{int64_t{1}, int64_t{2}}),
            (std::vector<std::string>{"  1 a   2 b"}));
  // Texts before the first value descriptor are written even without values.
  EXPECT_EQ(format_lines("(' head ',I3)", std::vector<FormatValue>{}),
            (std::vector<std::string>{" head "}));
  EXPECT_EQ(format_lines("(I3)", std::vector<FormatValue>{}), (std::vector<std::string>{""}));
  EXPECT_EQ(format_lines("('only text')", std::vector<FormatValue>{}),
            (std::vector<std::string>{"only text"}));
  // format_line joins the lines of one write.
  EXPECT_EQ(format_line("(I3,' a ',I3,' b')", {int64_t{1}, int64_t{2}, int64_t{3}}),
            "  1 a   2 b\n  3 a ");
}

TEST(FormatLines, TransitionLineEndsAfterItsLastValue) {
  const char* format = "(I5,I5,I4,I4,I4,F15.6,F15.6)";
  EXPECT_EQ(format_line(format, {int64_t{1}, int64_t{0}, int64_t{1}, int64_t{2}, int64_t{1},
                                 15000.123456, -1.0}),
            "    1    0   1   2   1   15000.123456      -1.000000");
  const std::string six =
      format_line(format, {int64_t{1}, int64_t{0}, int64_t{1}, int64_t{2}, int64_t{1}, 1.0e12});
  EXPECT_EQ(six, "    1    0   1   2   1***************");
  EXPECT_EQ(six.size(), 37u);
}

TEST(FreeFormatReal, FixedFormWithFifteenSignificantDigits) {
  EXPECT_EQ(free_format_real(1.0), "   1.00000000000000     ");
  EXPECT_EQ(free_format_real(-2.5), "  -2.50000000000000     ");
  EXPECT_EQ(free_format_real(123.456), "   123.456000000000     ");
  EXPECT_EQ(free_format_real(0.1), "  0.100000000000000     ");
  EXPECT_EQ(free_format_real(-0.1), " -0.100000000000000     ");
  // 2/3 = 0.66666666666666662965923251249478198587894439697265625.
  EXPECT_EQ(free_format_real(2.0 / 3.0), "  0.666666666666667     ");
  EXPECT_EQ(free_format_real(999999999999999.0), "   999999999999999.     ");
  // 999999999999999.375 rounds to fifteen digits without a carry.
  EXPECT_EQ(free_format_real(999999999999999.4), "   999999999999999.     ");
}

TEST(FreeFormatReal, RangeIsJudgedAfterRoundingToFifteenDigits) {
  // 0.09999999999999999 is stored as 0.09999999999999999167...; to fifteen digits 0.1: fixed.
  EXPECT_EQ(free_format_real(0.09999999999999999), "  0.100000000000000     ");
  // 0.0999999999999999 (fifteen nines) is stored as 0.09999999999999989452...: below 0.1 to
  // fifteen digits, so exponent form, whose sixteen digits show the stored value.
  EXPECT_EQ(free_format_real(0.0999999999999999), "  9.999999999999989E-002");
  // 99999999999999.98 is stored as 99999999999999.984375: to fifteen digits 1.00000000000000e14,
  // inside the range, written with fifteen digits before the point.
  EXPECT_EQ(free_format_real(99999999999999.98), "   100000000000000.     ");
  // 999999999999999.9 is stored as 999999999999999.875: to fifteen digits 1e15, outside the
  // range; the exponent form then shows sixteen digits of the stored value, which round to
  // 9.999999999999999 without a carry.
  EXPECT_EQ(free_format_real(999999999999999.9), "  9.999999999999999E+014");
  EXPECT_EQ(free_format_real(999999999999999.5), "  9.999999999999995E+014");
  EXPECT_EQ(free_format_real(1.0e15), "  1.000000000000000E+015");
}

TEST(FreeFormatReal, ExponentForm) {
  EXPECT_EQ(free_format_real(0.0), "  0.000000000000000E+000");
  EXPECT_EQ(free_format_real(-0.0), " -0.000000000000000E+000");
  EXPECT_EQ(free_format_real(1.0e-5), "  1.000000000000000E-005");
  EXPECT_EQ(free_format_real(1.0e20), "  1.000000000000000E+020");
  EXPECT_EQ(free_format_real(-1.0e20), " -1.000000000000000E+020");
  EXPECT_EQ(free_format_real(1.0e-300), "  1.000000000000000E-300");
  EXPECT_EQ(free_format_real(DBL_MAX), "  1.797693134862316E+308");
  EXPECT_EQ(free_format_real(4.9406564584124654e-324), "  4.940656458412465E-324");
  // 12345678901234567 is stored as 12345678901234568.
  EXPECT_EQ(free_format_real(12345678901234567.0), "  1.234567890123457E+016");
}

TEST(FreeLine, IntegersTakeTwelveColumnsAndRealsTwentyFour) {
  EXPECT_EQ((FreeLine() << 1).text(), "           1");
  EXPECT_EQ((FreeLine() << -2147483647 - 1).text(), " -2147483648");
  EXPECT_EQ((FreeLine() << 1.0).text(), "   1.00000000000000     ");
  EXPECT_EQ((FreeLine() << 0.0).text(), "  0.000000000000000E+000");
  EXPECT_EQ((FreeLine() << 3 << 1.0).text(), "           3   1.00000000000000     ");
}

TEST(FreeLine, TextsAndTheLeadingBlank) {
  EXPECT_EQ((FreeLine() << "reading velk.inf").text(), " reading velk.inf");
  // Two texts are written back to back, trailing blanks kept.
  EXPECT_EQ((FreeLine() << "A state data file:"
                        << "Astate.dat  ")
                .text(),
            " A state data file:Astate.dat  ");
  // A text after a number is not separated from it; a number begins a line without a blank.
  EXPECT_EQ((FreeLine() << 5 << "ab").text(), "           5ab");
  EXPECT_EQ((FreeLine() << "Range:" << 100.0 << 2.0e4).text(),
            " Range:   100.000000000000        20000.0000000000     ");
  EXPECT_EQ((FreeLine() << std::string(30, '=')).text(), " " + std::string(30, '='));
  EXPECT_EQ((FreeLine() << std::string("")).text(), " ");
  EXPECT_EQ((FreeLine() << "Dunham coeff. type: " << 'b').text(), " Dunham coeff. type: b");
  EXPECT_EQ((FreeLine() << 'y' << 1).text(), " y           1");
}

TEST(FreeLine, EmptyWriteGivesOneBlank) {
  EXPECT_EQ(FreeLine().lines(), (std::vector<std::string>{" "}));
  EXPECT_EQ(FreeLine().text(), " ");
}

TEST(FreeLine, EightyColumnsThenANewLine) {
  FreeLine six;
  for (int i = 1; i <= 6; ++i) six << i;  // 72 columns
  FreeLine fits = six;
  fits << "12345678";  // exactly 80 columns
  EXPECT_EQ(fits.lines().size(), 1u);
  EXPECT_EQ(fits.lines()[0].size(), 80u);

  FreeLine wraps = six;
  wraps << "123456789";  // would make 81: starts a new line, which begins with a blank
  ASSERT_EQ(wraps.lines().size(), 2u);
  EXPECT_EQ(wraps.lines()[0].size(), 72u);
  EXPECT_EQ(wraps.lines()[1], " 123456789");

  FreeLine numbers;
  numbers << 1.0 << 2.0 << 3.0 << 7;  // 72 + 12 > 80: the integer starts line two, no blank
  ASSERT_EQ(numbers.lines().size(), 2u);
  EXPECT_EQ(numbers.lines()[1], "           7");
  EXPECT_EQ(numbers.text(), numbers.lines()[0] + "\n" + numbers.lines()[1]);

  // A text that begins a line counts its blank: " ab" and 79 characters do not fit together.
  FreeLine texts;
  texts << "ab" << std::string(79, 'x');
  ASSERT_EQ(texts.lines().size(), 2u);
  EXPECT_EQ(texts.lines()[0], " ab");
  EXPECT_EQ(texts.lines()[1], " " + std::string(79, 'x'));

  // A text longer than a line stands alone on its own line, never after an empty one.
  FreeLine long_text;
  long_text << std::string(90, 'y');
  EXPECT_EQ(long_text.lines(), (std::vector<std::string>{" " + std::string(90, 'y')}));

  FreeLine many;
  for (int i = 0; i < 14; ++i) many << 1;  // six per line
  const auto lines = many.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "           1           1");
}

}  // namespace
}  // namespace velk
