#include "run/dunham.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Each test writes its Dunham files into a directory of its own.
class DunhamTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path.string();
  }

  DunhamCoefficients read(const std::string& content) {
    return read_dunham_file(write("dun.dat", content));
  }

  template <class Action>
  static std::string input_error(Action action) {
    try {
      action();
    } catch (const InputError& error) {
      return error.what();
    }
    return "";
  }

  std::vector<std::string> lines_of(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  test::TempDir dir_{"velk_dunham"};
};

// Y(0,0) = T, Y(1,0) = w, Y(0,1) = B; all three and the products below are exact in binary, so
// the closed form T + w (v + 1/2) + B J(J+1) must come out exactly.
constexpr const char* kHarmonicRotor =
    "d                  Dunham form\n"
    "1.0                mass ratio\n"
    "0.0                Lambda\n"
    "2                  column l = 0\n"
    "1000.0             T\n"
    "200.0              w\n"
    "1                  column l = 1\n"
    "1.5                B\n"
    "0\n"
    "0\n"
    "0                  no parity coefficients\n"
    "0\n";

TEST_F(DunhamTest, HarmonicRotorIsTPlusWTimesVPlusHalfPlusBTimesJJ1) {
  const auto c = read(kHarmonicRotor);
  for (int v = 0; v <= 3; ++v) {
    for (int J = 0; J <= 4; ++J) {
      const double closed = 1000.0 + 200.0 * (v + 0.5) + 1.5 * J * (J + 1);
      EXPECT_EQ(dunham_term(c, v, J, 1), closed) << "v = " << v << ", J = " << J;
    }
  }
}

TEST_F(DunhamTest, UpperCaseFormIsTheDunhamForm) {
  std::string text = kHarmonicRotor;
  text[0] = 'D';
  const auto c = read(text);
  EXPECT_TRUE(c.dunham_form());
  EXPECT_EQ(dunham_term(c, 2, 3, 1), 1000.0 + 200.0 * 2.5 + 1.5 * 12);
}

TEST_F(DunhamTest, MassRatioScalesYkByRhoToTheKPlus2l) {
  // rho = 0.5: Y(1,0) enters with 0.5, Y(0,1) with 0.25, Y(0,0) unscaled.
  std::string text = kHarmonicRotor;
  text.replace(text.find("1.0                mass ratio"), 3, "0.5");
  const auto c = read(text);
  for (int v = 0; v <= 2; ++v) {
    for (int J = 0; J <= 3; ++J) {
      const double closed = 1000.0 + 0.5 * 200.0 * (v + 0.5) + 0.25 * 1.5 * J * (J + 1);
      EXPECT_EQ(dunham_term(c, v, J, 1), closed) << "v = " << v << ", J = " << J;
    }
  }
}

TEST_F(DunhamTest, HigherColumnsAreScaledByRhoSquaredPerPowerOfX) {
  // Y(0,2) = -0.0625 and Y(2,0) = -4.0 with rho = 0.5: the x^2 term enters with rho^4 = 1/16 and
  // the u^2 term with rho^2 = 1/4. All values are exact binary fractions.
  const auto c = read(
      "d\n0.5\n0.0\n"
      "3\n0.0\n0.0\n-4.0\n"
      "0\n"   // a single zero is passed over;
      "-1\n"  // the count -1 then leaves column 1 empty
      "1\n-0.0625\n"
      "0\n0\n0\n0\n");
  EXPECT_EQ(c.Ytab[2][0], -4.0);
  EXPECT_EQ(c.Ytab[0][1], 0.0);
  EXPECT_EQ(c.Ytab[0][2], -0.0625);
  for (int v = 0; v <= 2; ++v) {
    for (int J = 0; J <= 3; ++J) {
      const double u = (v + 0.5) * 0.5;
      const double x = J * (J + 1);
      EXPECT_EQ(dunham_term(c, v, J, 1), -4.0 * u * u + (-0.0625) * x * x / 16.0);
    }
  }
}

TEST_F(DunhamTest, LambdaShiftsTheRotationalVariable) {
  std::string text = kHarmonicRotor;
  text.replace(text.find("0.0                Lambda"), 3, "1.0");
  const auto c = read(text);
  // x = J(J+1) - Lambda^2
  EXPECT_EQ(dunham_term(c, 0, 0, 1), 1000.0 + 100.0 - 1.5);
  EXPECT_EQ(dunham_term(c, 1, 2, 1), 1000.0 + 300.0 + 1.5 * 5);
  // J = -1 (the P branch of J'' = 0): J(J+1) = 0, so x = -Lambda^2
  EXPECT_EQ(dunham_term(c, 0, -1, 1), 1000.0 + 100.0 - 1.5);
}

TEST_F(DunhamTest, BandFormIsTPlusBxMinusDxSquared) {
  // The third constant is D given as a positive number; it enters with a minus sign.
  const auto c = read(
      "b                  band constants\n"
      "1.0\n"
      "0.0\n"
      "2\n"
      "0  1000.0  1.5  0.25  0.0  0.0  0.0\n"
      "1  1200.0  1.25 0.125 0.0  0.0  0.0   trailing comment\n"
      "0\n0\n");
  EXPECT_FALSE(c.dunham_form());
  EXPECT_EQ(c.Ytab[0][2], -0.25);
  for (int J = 0; J <= 4; ++J) {
    const double x = J * (J + 1);
    EXPECT_EQ(dunham_term(c, 0, J, 1), 1000.0 + 1.5 * x - 0.25 * x * x) << "J = " << J;
    EXPECT_EQ(dunham_term(c, 1, J, 1), 1200.0 + 1.25 * x - 0.125 * x * x) << "J = " << J;
  }
}

TEST_F(DunhamTest, BandFormHigherConstantsUseIntegerPowersOfX) {
  const auto c = read(
      "b\n1.0\n0.0\n1\n"
      "0  0.0  0.0  0.0  0.5  0.25  0.125\n"
      "0\n0\n");
  const double x = 6.0;  // J = 2
  EXPECT_EQ(dunham_term(c, 0, 2, 1), 0.5 * x * x * x + 0.25 * x * x * x * x + 0.125 * 7776.0);
}

TEST_F(DunhamTest, BandFormCountOfZeroReadsNoRows) {
  const auto c = read("b\n1.0\n0.0\n0\n0\n0\n");
  EXPECT_EQ(dunham_term(c, 0, 3, 1), 0.0);
  EXPECT_EQ(dunham_term(c, 50, 3, 1), 0.0);
}

TEST_F(DunhamTest, ParityTermOnlyForParityOtherThanOne) {
  // q(0) = 0.25, q(1) = 0.125 are exact in single precision: qv = 0.25 + 0.125 u.
  std::string text = kHarmonicRotor;
  text.replace(text.rfind("0                  no parity"), std::string::npos,
               "2  parity coefficients\n0.25\n0.125\n");
  const auto c = read(text);
  for (int v = 0; v <= 2; ++v) {
    for (int J = 0; J <= 3; ++J) {
      const double base = 1000.0 + 200.0 * (v + 0.5) + 1.5 * J * (J + 1);
      const double parity = J * (J + 1) * (0.25 + 0.125 * (v + 0.5));
      EXPECT_EQ(dunham_term(c, v, J, 1), base);
      EXPECT_EQ(dunham_term(c, v, J, 0), base + parity);
      EXPECT_EQ(dunham_term(c, v, J, 2), base + parity);
    }
  }
}

TEST_F(DunhamTest, ParitySumIsSinglePrecisionAndItsProductDouble) {
  // Only a parity term: q(0) = 0.1, q(1) = -0.003, J = 100. Reference values from Python with
  // struct 'f' rounding of each partial sum only: 10100 * f32(f32(f32(0.1)) + f32(-0.003) * u),
  // the product in double. Rounding the product to single precision too would give
  // 994.8499755859375 and 903.9500122070312.
  const auto c = read("d\n1.0\n0.0\n0\n0\n2\n0.1\n-0.003\n");
  EXPECT_EQ(dunham_term(c, 0, 100, 1), 0.0);
  EXPECT_EQ(dunham_term(c, 0, 100, 0), 994.8499843478203);
  EXPECT_EQ(dunham_term(c, 3, 100, 2), 903.9500258862972);
}

TEST_F(DunhamTest, LargeParityTermKeepsItsSixthDecimal) {
  // q(0) = 0.0123 alone, v = 0, J = 28: 812 × f32(0.0123) = 812 × 0.012299999594688416 =
  // 9.98759967… in double, printed 9.987600; a single-precision product gives 9.98759937…,
  // printed 9.987599.
  const auto c = read("d\n1.0\n0.0\n0\n0\n1\n0.0123\n");
  EXPECT_EQ(dunham_term(c, 0, 28, 0), 812 * 0.012299999594688416);
  EXPECT_EQ(format_line("(F13.6)", {dunham_term(c, 0, 28, 0)}), "     9.987600");
}

TEST_F(DunhamTest, SmallParityTermIsUnchangedByThePrecisionOfTheProduct) {
  // q(0) = 0.25 is exact in single precision and J(J+1) × 0.25 for J = 4 is 5 exactly, well below
  // the size where single and double products part: both give the same term.
  const auto c = read("d\n1.0\n0.0\n0\n0\n1\n0.25\n");
  EXPECT_EQ(dunham_term(c, 0, 4, 0), 5.0);
}

TEST_F(DunhamTest, MassRatioScalesTheParityArgumentInTheBandForm) {
  // The band sum ignores rho; the parity argument is u = (v + 1/2) rho.
  const auto c = read("b\n0.5\n0.0\n1\n2  100.0  0.0  0.0  0.0  0.0  0.0\n2\n0.0\n1.0\n");
  EXPECT_EQ(dunham_term(c, 2, 0, 1), 100.0);
  EXPECT_EQ(dunham_term(c, 2, 3, 1), 100.0);
  EXPECT_EQ(dunham_term(c, 2, 3, 0), 100.0 + 12.0 * (2.5 * 0.5));
}

TEST_F(DunhamTest, TwoZeroCountsEndTheColumnsASingleZeroIsPassedOver) {
  const auto c = read(
      "d\n1.0\n0.0\n"
      "2\n1.0\n2.0\n"
      "0                  passed over\n"
      "1\n3.0             the next column, l = 1\n"
      "0\n0\n"
      "1\n0.5             parity count after the end of the columns\n");
  EXPECT_EQ(c.Ytab[0][0], 1.0);
  EXPECT_EQ(c.Ytab[1][0], 2.0);
  EXPECT_EQ(c.Ytab[0][1], 3.0);
  EXPECT_EQ(c.Ytab[0][2], 0.0);
  EXPECT_EQ(c.qtab[0], 0.5f);
  EXPECT_EQ(c.qtab[1], 0.0f);
}

TEST_F(DunhamTest, ParityCountMayFollowASingleZero) {
  const auto c = read("d\n1.0\n0.0\n0\n0\n0\n2\n0.5\n0.25\n");
  EXPECT_EQ(c.qtab[0], 0.5f);
  EXPECT_EQ(c.qtab[1], 0.25f);
}

TEST_F(DunhamTest, SingleZeroParityCountAtTheEndOfTheFileIsAnError) {
  const std::string message = input_error([&] { read("d\n1.0\n0.0\n0\n0\n0\n"); });
  EXPECT_NE(message.find("dun.dat, line 7"), std::string::npos) << message;
  EXPECT_NE(message.find("end of the file"), std::string::npos) << message;
}

TEST_F(DunhamTest, LetterInACoefficientNamesFileAndLine) {
  const std::string message = input_error([&] { read("d\n1.0\n0.0\n1\n1O00.0\n0\n0\n0\n0\n"); });
  EXPECT_NE(message.find("dun.dat, line 5"), std::string::npos) << message;
  EXPECT_NE(message.find("1O00.0"), std::string::npos) << message;
}

TEST_F(DunhamTest, TwentyOneColumnsAreAcceptedTwentyTwoAreNot) {
  std::string columns;
  for (int l = 0; l < 21; ++l) columns += "1\n1.0\n";
  const auto c = read("d\n1.0\n0.0\n" + columns + "0\n0\n0\n0\n");
  EXPECT_EQ(c.Ytab[0][20], 1.0);
  const std::string message =
      input_error([&] { read("d\n1.0\n0.0\n" + columns + "1\n1.0\n0\n0\n0\n0\n"); });
  EXPECT_NE(message.find("dun.dat, line 46"), std::string::npos) << message;
  EXPECT_NE(message.find("21"), std::string::npos) << message;
}

TEST_F(DunhamTest, FiftyOneValuesPerColumnAreAcceptedFiftyTwoAreNot) {
  auto column = [](int n) {
    std::ostringstream text;
    text << "d\n1.0\n0.0\n" << n << "\n";
    for (int k = 0; k < n; ++k) text << k + 1 << ".0\n";
    text << "0\n0\n0\n0\n";
    return text.str();
  };
  const auto c = read(column(51));
  EXPECT_EQ(c.Ytab[50][0], 51.0);
  const std::string message = input_error([&] { read(column(52)); });
  EXPECT_NE(message.find("dun.dat, line 4"), std::string::npos) << message;
  EXPECT_NE(message.find("51"), std::string::npos) << message;
}

TEST_F(DunhamTest, BandRowsOutsideZeroToFiftyAreRejected) {
  const auto c = read("b\n1.0\n0.0\n1\n50 7.0 0 0 0 0 0\n0\n0\n");
  EXPECT_EQ(dunham_term(c, 50, 0, 1), 7.0);
  for (const char* row : {"51", "-1"}) {
    const std::string message = input_error(
        [&] { read("b\n1.0\n0.0\n2\n0 1.0 0 0 0 0 0\n" + std::string(row) + " 7.0 0 0 0 0 0\n"); });
    EXPECT_NE(message.find("dun.dat, line 6"), std::string::npos) << message;
    EXPECT_NE(message.find(row), std::string::npos) << message;
  }
}

TEST_F(DunhamTest, TenParityCoefficientsAreAcceptedElevenAreNot) {
  auto parity = [](int m) {
    std::ostringstream text;
    text << "d\n1.0\n0.0\n0\n0\n" << m << "\n";
    for (int i = 0; i < m; ++i) text << "0.5\n";
    return text.str();
  };
  const auto c = read(parity(10));
  EXPECT_EQ(c.qtab[9], 0.5f);
  const std::string message = input_error([&] { read(parity(11)); });
  EXPECT_NE(message.find("dun.dat, line 6"), std::string::npos) << message;
  EXPECT_NE(message.find("10"), std::string::npos) << message;
}

TEST_F(DunhamTest, BandFormLevelsAboveFiftyAreRejectedBeforeTheFileIsWritten) {
  const std::string file = write("band.dat", "b\n1.0\n0.0\n1\n0 1.0 0 0 0 0 0\n0\n0\n");
  const std::string level_file = (dir_ / "Astate.dat").string();
  const std::string message =
      input_error([&] { dunham_levels(file, 50, 51, 0, 0, 1, 1, level_file); });
  EXPECT_NE(message.find("band.dat"), std::string::npos) << message;
  EXPECT_NE(message.find("51"), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(level_file));
  // An empty J range asks for no level, so nothing is out of reach.
  dunham_levels(file, 50, 51, 1, 0, 1, 1, level_file);
  EXPECT_EQ(lines_of("Astate.dat").size(), 6u);
}

TEST_F(DunhamTest, LevelFileListsJOutermostThenVThenParity) {
  const std::string file = write("rotor.dat", kHarmonicRotor);
  dunham_levels(file, 0, 1, 2, 3, 0, 1, (dir_ / "Bstate.dat").string());
  const auto lines = lines_of("Bstate.dat");
  ASSERT_EQ(lines.size(), 6u + 8u);
  EXPECT_EQ(lines[0], "    8 !number of levels");
  EXPECT_EQ(lines[4], " iline,nv,Jline,Eout,Par");
  EXPECT_EQ(lines[5], "  1  1  1  1  1");
  // E = 1000 + 200 (v + 1/2) + 1.5 J(J+1); no parity coefficients, so p = 0 and 1 agree.
  EXPECT_EQ(lines[6], "    1   0   2    1109.000000  0 10  1");
  EXPECT_EQ(lines[7], "    2   0   2    1109.000000  1 10  1");
  EXPECT_EQ(lines[8], "    3   1   2    1309.000000  0 10  1");
  EXPECT_EQ(lines[10], "    5   0   3    1118.000000  0 10  1");
  EXPECT_EQ(lines[13], "    8   1   3    1318.000000  1 10  1");
}

}  // namespace
}  // namespace velk
