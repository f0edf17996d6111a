// The masses of velk-rkr's command line: numbers, isotope names and isotopologues give the same
// two masses, and unknown names are refused by name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rkr/rkr_command.h"

namespace velk::rkr {
namespace {

RkrRequest parsed(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "x.dun");
  return parse_rkr_arguments(arguments);
}

struct MassCase {
  const char* name;
  std::vector<std::string> arguments;
  double mass1, mass2;  // u: the isotope table's digits (NIST's published values)
};

class RkrMassArgumentsTest : public testing::TestWithParam<MassCase> {};

TEST_P(RkrMassArgumentsTest, GiveTheTwoMasses) {
  const RkrRequest request = parsed(GetParam().arguments);
  EXPECT_EQ(request.refusal, "");
  EXPECT_EQ(request.options.mass1, GetParam().mass1);
  EXPECT_EQ(request.options.mass2, GetParam().mass2);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RkrMassArgumentsTest,
    testing::Values(
        MassCase{"numbers", {"--masses", "22.98977", "34.96885"}, 22.98977, 34.96885},
        MassCase{"names", {"--masses", "23Na", "35Cl"}, 22.989769282, 34.968852682},
        MassCase{"mixed", {"--masses", "12C", "15.99"}, 12.0, 15.99},
        MassCase{"isotopologue", {"--isotopologue", "23Na35Cl"}, 22.989769282, 34.968852682},
        MassCase{"homonuclear", {"--isotopologue", "23Na2"}, 22.989769282, 22.989769282}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* says;
};

class RkrMassRefusalTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RkrMassRefusalTest, NamesTheProblem) {
  const RkrRequest request = parsed(GetParam().arguments);
  EXPECT_NE(request.refusal.find(GetParam().says), std::string::npos) << request.refusal;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RkrMassRefusalTest,
    testing::Values(RefusedCase{"unknown_isotope", {"--masses", "24Na", "23Na"}, "'24Na'"},
                    RefusedCase{"unknown_element", {"--masses", "23Na", "Xx"}, "'Xx'"},
                    RefusedCase{"one_mass", {"--masses", "23Na"}, "two atomic masses"},
                    RefusedCase{"unknown_molecule", {"--isotopologue", "24Na2"}, "'24Na'"},
                    RefusedCase{"three_atoms", {"--isotopologue", "HOH"}, "diatomic"},
                    RefusedCase{"none", {}, "--isotopologue NAME is required"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velk::rkr
