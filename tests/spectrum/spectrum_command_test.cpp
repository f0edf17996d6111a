#include "spectrum/spectrum_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "spectrum/physical_constants.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace velk::spectrum {
namespace {

using test::write_file;

// The eight header lines of a potential file, all the command reads of one: masses and Λ.
std::string potential_header(int Lambda) {
  return "3\n11.494884641 11.24 10.99 11.73 11.99\n" + std::to_string(Lambda) +
         "\n0.0\n0.0\ndescription\ncomment\nAN\n";
}

std::string control(const std::string& a_file, const std::string& b_file) {
  return "heading\n" + a_file + "\np\n1\n" + b_file + "\np\n1\ngrid\n2.2 12 1000\n2.2 12 1000\n";
}

// Astate.dat: six header lines, then rigid-rotor levels of v'' = 0, J'' = 0..120, B = 0.15 cm-1.
constexpr double kB = 0.15;
std::string lower_levels() {
  std::string text = "  121 !number of levels\n Potential File:  x.pot\n\n\n\n\n";
  for (int J = 0; J <= 120; ++J) {
    char line[80];
    std::snprintf(line, sizeof line, "%5d%4d%4d%15.6f%2d\n", J + 1, 0, J, kB * J * (J + 1), 1);
    text += line;
  }
  return text;
}

const std::string kColumns =
    "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,moment";

std::vector<std::map<std::string, std::string>> read_csv(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> names;
  std::stringstream header(line);
  for (std::string cell; std::getline(header, cell, ',');) names.push_back(cell);
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    std::map<std::string, std::string> row;
    std::size_t start = 0;
    for (const std::string& name : names) {
      const std::size_t comma = line.find(',', start);
      row[name] =
          line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      start = comma == std::string::npos ? line.size() : comma + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

class SpectrumCommandTest : public test::ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    write_file("x.pot", potential_header(0));
    write_file("a.pot", potential_header(0));
    write_file("velk.inf", control("x.pot", "a.pot"));
    write_file("Astate.dat", lower_levels());
  }
  int run(std::vector<std::string> arguments) {
    test::ConsoleCapture console;
    const int status = run_spectrum_command(arguments, "velk-props spectrum");
    output_ = console.text();
    return status;
  }
  std::string output_;
};

TEST_F(SpectrumCommandTest, AbsorptionLinesFromOneLowerLevel) {
  // R(10) and P(10) of one band, FCF 0.2, with a moment on the R line: HL 11 and 10, intensities
  // ν·S·X·N''/(2J''+1) with N'' the rigid-rotor Boltzmann fraction of J'' = 10 at 500 K, summed
  // here independently over the 121 listed levels.
  write_file("vel_tran.csv", kColumns +
                                 "\n1,P,3,9,1,0,10,1,15000.5,0.2,3.4,\n"
                                 "2,R,3,11,1,0,10,1,15004.25,0.2,3.4,1.5\n");
  ASSERT_EQ(run({"--temperature", "500", "--fwhm=0.05"}), 0) << output_;
  double Q = 0.0;
  for (int J = 0; J <= 120; ++J) {
    Q += (2 * J + 1) * std::exp(-kSecondRadiation * kB * J * (J + 1) / 500.0);
  }
  const double per_sublevel = std::exp(-kSecondRadiation * kB * 110 / 500.0) / Q;
  const auto rows = read_csv("vel_tran.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("HL"), "10");
  EXPECT_EQ(rows[1].at("HL"), "11");
  EXPECT_EQ(rows[0].at("r_centroid"), "3.4");  // the columns already there are kept
  const double I_P = std::stod(rows[0].at("intensity"));
  const double I_R = std::stod(rows[1].at("intensity"));
  EXPECT_NEAR(I_P, 15000.5 * 10.0 * 0.2 * per_sublevel, 1e-9 * I_P);
  EXPECT_NEAR(I_R, 15004.25 * 11.0 * 1.5 * 1.5 * per_sublevel, 1e-9 * I_R);
  EXPECT_EQ(rows[0].at("A_einstein"), "");  // no moment, no A
  EXPECT_NEAR(std::stod(rows[1].at("A_einstein")),
              3.136189e-7 * 15004.25 * 15004.25 * 15004.25 * 2.25 * 11.0 / 23.0,
              1e-6 * 3.136189e-7 * 15004.25 * 15004.25 * 15004.25);
  // spectrum.csv: the two lines, each with its area.
  const auto points = read_csv("spectrum.csv");
  ASSERT_GT(points.size(), 100u);
  const double step = std::stod(points[1].at("wavenumber")) - std::stod(points[0].at("wavenumber"));
  double below = 0.0, above = 0.0;
  for (const auto& point : points) {
    const double value = std::stod(point.at("intensity")) * step;
    (std::stod(point.at("wavenumber")) < 15002.0 ? below : above) += value;
  }
  EXPECT_NEAR(below, I_P, 1e-9 * I_P);
  EXPECT_NEAR(above, I_R, 1e-9 * I_R);
  // A second call replaces the added columns rather than adding them again.
  ASSERT_EQ(run({"--temperature", "500", "--fwhm=0.05"}), 0) << output_;
  std::ifstream again("vel_tran.csv");
  std::string header;
  std::getline(again, header);
  EXPECT_EQ(header, kColumns + ",HL,intensity,A_einstein");
  EXPECT_NE(output_.find("absorption at 500 K"), std::string::npos) << output_;
}

TEST_F(SpectrumCommandTest, FluorescenceRunGivesEmissionFromTheUpperLevel) {
  // A known-level run whose computed state is A: vel_tran.out's header names x.pot. Emission
  // from B(6, 27), Λ' = 1 (¹Π) to ¹Σ: R(26) S = J''+2 = 28, P(28) S = J''−1 = 27 (both ×1 for
  // one Λ-component in the stated normalisation: 2·(J''+2)/2), ν⁴·S/(2J'+1).
  write_file("a.pot", potential_header(1));
  write_file("vel_tran.out",
             "       Known level:   6  27   1    21187.88166\n          Data file:x.pot\n"
             " ==============================\n \n");
  write_file("vel_tran.csv", kColumns +
                                 "\n1,R,6,27,1,0,26,1,21000.525268,0.01,,\n"
                                 "2,P,6,27,1,0,28,1,20983.653398,0.02,,\n");
  std::remove("Astate.dat");  // emission needs no lower populations
  ASSERT_EQ(run({"--shape", "voigt", "--fwhm", "0.02"}), 0) << output_;
  const auto rows = read_csv("vel_tran.csv");
  EXPECT_DOUBLE_EQ(std::stod(rows[0].at("HL")), 28.0);
  EXPECT_DOUBLE_EQ(std::stod(rows[1].at("HL")), 27.0);
  const double nu_R = 21000.525268, nu_P = 20983.653398;
  EXPECT_NEAR(std::stod(rows[0].at("intensity")), nu_R * nu_R * nu_R * nu_R * 28.0 / 55.0 * 0.01,
              1e-12 * nu_R * nu_R * nu_R * nu_R);
  EXPECT_NEAR(std::stod(rows[1].at("intensity")) / std::stod(rows[0].at("intensity")),
              (nu_P / nu_R) * (nu_P / nu_R) * (nu_P / nu_R) * (nu_P / nu_R) * 27.0 / 28.0 * 2.0,
              1e-12);
  EXPECT_NE(output_.find("emission"), std::string::npos);
  // --photons: ν³.
  ASSERT_EQ(run({"--photons"}), 0) << output_;
  const auto photons = read_csv("vel_tran.csv");
  EXPECT_NEAR(std::stod(photons[1].at("intensity")) / std::stod(photons[0].at("intensity")),
              (nu_P / nu_R) * (nu_P / nu_R) * (nu_P / nu_R) * 27.0 / 28.0 * 2.0, 1e-12);
}

TEST_F(SpectrumCommandTest, MissingAndMalformedInputsNameTheFile) {
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(output_,
            "velk-props spectrum: vel_tran.csv: no such file; run velk-props "
            "transitions first\n");
  write_file("vel_tran.csv", kColumns + "\n1,P,3,9,1,0,10,1,abc,0.2,3.4,\n");
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(output_,
            "velk-props spectrum: vel_tran.csv: line 2: expected a number wavenumber, "
            "found \"abc\"\n");
  write_file("vel_tran.csv", "line,wavenumber\n1,2\n");
  EXPECT_EQ(run({}), 2);
  EXPECT_NE(output_.find("line 1: expected a column named upper_v"), std::string::npos);
  write_file("vel_tran.csv", kColumns + "\n1,P,3,9,1,0,10,1,15000,0.2,3.4,\n");
  EXPECT_EQ(run({"--shape", "lorentz"}), 2);
  EXPECT_NE(output_.find("--fwhm W > 0"), std::string::npos);
  std::remove("Astate.dat");
  EXPECT_EQ(run({}), 2);
  EXPECT_NE(output_.find("Astate.dat"), std::string::npos) << output_;
}

TEST(SpectrumArguments, OptionsAndRefusals) {
  const std::vector<std::string> good = {
      "--temperature=77", "--shape", "voigt",  "--fwhm", "0.1",      "--emission", "--photons",
      "--spin-weights",   "5,3",     "--mass", "46",     "--levels", "X.dat"};
  const SpectrumRequest request = parse_spectrum_arguments(good, "p");
  EXPECT_TRUE(request.refusal.empty()) << request.refusal;
  EXPECT_EQ(request.temperature, 77.0);
  EXPECT_EQ(request.shape, ShapeKind::Voigt);
  EXPECT_EQ(request.fwhm, 0.1);
  EXPECT_EQ(request.mode, SpectrumMode::Emission);
  EXPECT_TRUE(request.photons);
  EXPECT_EQ(request.spin_weights.even, 5.0);
  EXPECT_EQ(request.spin_weights.odd, 3.0);
  EXPECT_EQ(request.mass, 46.0);
  EXPECT_EQ(request.levels_file, "X.dat");
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--temperature", "0"},
                                              {"--temperature"},
                                              {"--shape", "box"},
                                              {"--fwhm", "-1"},
                                              {"--spin-weights", "1"},
                                              {"--spin-weights", "0,0"},
                                              {"--absorption", "--emission"},
                                              {"--absorption", "--photons"},
                                              {"--bogus"},
                                              {"word"}}) {
    const SpectrumRequest refused = parse_spectrum_arguments(bad, "velk-props spectrum");
    EXPECT_TRUE(refused.refusal.starts_with("velk-props spectrum: ")) << bad[0];
    EXPECT_TRUE(refused.refusal.ends_with("(velk-props spectrum --help lists the options)"));
  }
}

}  // namespace
}  // namespace velk::spectrum
