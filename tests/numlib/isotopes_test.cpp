#include "numlib/isotopes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace velk {
namespace {

// A CTest name from a chemical name: letters and digits kept, everything else '_'.
std::string test_name(std::string_view text) {
  std::string name = "n";
  for (const char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

struct KnownMass {
  const char* name;
  double mass;  // u
  double spin;
};

// Masses: NIST "Atomic Weights and Isotopic Compositions" as printed on its pages (12C exact by
// the definition of the unit). Spins: the textbook ground states (NMR nuclei). The table's text
// carries the same digits, so the comparison is exact.
class IsotopeMassTest : public testing::TestWithParam<KnownMass> {};

TEST_P(IsotopeMassTest, MatchesTheIndependentlyKnownValue) {
  const IsotopeLookup found = find_isotope(GetParam().name);
  ASSERT_NE(found.isotope, nullptr) << found.error;
  EXPECT_EQ(found.isotope->mass, GetParam().mass);
  EXPECT_EQ(found.isotope->spin, GetParam().spin);
}

INSTANTIATE_TEST_SUITE_P(
    CheckValues, IsotopeMassTest,
    testing::Values(KnownMass{"12C", 12.0, 0.0}, KnownMass{"1H", 1.00782503223, 0.5},
                    KnownMass{"23Na", 22.9897692820, 1.5}, KnownMass{"16O", 15.99491461957, 0.0},
                    KnownMass{"127I", 126.9044719, 2.5}, KnownMass{"D", 2.01410177812, 1.0},
                    KnownMass{"Na", 22.9897692820, 1.5}, KnownMass{"H", 1.00782503223, 0.5}),
    [](const auto& info) { return test_name(info.param.name); });

TEST(IsotopeTableTest, HoldsEachIsotopeOnceInOrderOfZThenA) {
  const auto table = isotope_table();
  ASSERT_GT(table.size(), 280u);
  std::set<std::pair<int, int>> seen;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Isotope& isotope = table[i];
    EXPECT_TRUE(seen.insert({isotope.Z, isotope.A}).second) << isotope.name();
    EXPECT_GE(isotope.A, isotope.Z) << isotope.name();
    // A mass is within 0.1 u of its mass number for every nucleus this light.
    EXPECT_LT(std::abs(isotope.mass - isotope.A), 0.1) << isotope.name();
    EXPECT_GE(isotope.spin, 0.0) << isotope.name();
    // Even-even nuclei have I = 0; odd-A nuclei a half-integer spin.
    if (isotope.Z % 2 == 0 && isotope.A % 2 == 0) {
      EXPECT_EQ(isotope.spin, 0.0) << isotope.name();
    }
    if (isotope.A % 2 == 1) {
      EXPECT_EQ(isotope.spin * 2.0 - 1.0, 2.0 * std::floor(isotope.spin)) << isotope.name();
    }
    if (i == 0) continue;
    const Isotope& previous = table[i - 1];
    EXPECT_TRUE(previous.Z < isotope.Z || (previous.Z == isotope.Z && previous.A < isotope.A))
        << previous.name() << " before " << isotope.name();
    if (previous.Z == isotope.Z) {
      EXPECT_LT(previous.mass, isotope.mass) << isotope.name();
    }
  }
  // Every element H..Bi but technetium and promethium has a stable isotope.
  std::set<int> elements;
  for (const Isotope& isotope : table) elements.insert(isotope.Z);
  for (int Z = 1; Z <= 83; ++Z) {
    if (Z != 43 && Z != 61) {
      EXPECT_TRUE(elements.contains(Z)) << "Z = " << Z;
    }
  }
}

struct NamedMolecule {
  const char* name;
  const char* first;
  const char* second;
  const char* canonical;
};

class IsotopologueNameTest : public testing::TestWithParam<NamedMolecule> {};

TEST_P(IsotopologueNameTest, NamesBothAtoms) {
  const IsotopologueLookup parsed = parse_isotopologue(GetParam().name);
  ASSERT_TRUE(parsed.isotopologue) << parsed.error;
  EXPECT_EQ(parsed.isotopologue->atoms[0], find_isotope(GetParam().first).isotope);
  EXPECT_EQ(parsed.isotopologue->atoms[1], find_isotope(GetParam().second).isotope);
  EXPECT_EQ(parsed.isotopologue->name(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(Forms, IsotopologueNameTest,
                         testing::Values(NamedMolecule{"23Na2", "23Na", "23Na", "23Na2"},
                                         NamedMolecule{"23Na35Cl", "23Na", "35Cl", "23Na35Cl"},
                                         NamedMolecule{"(23Na)(39K)", "23Na", "39K", "23Na39K"},
                                         NamedMolecule{"H35Cl", "1H", "35Cl", "1H35Cl"},
                                         NamedMolecule{"H37Cl", "1H", "37Cl", "1H37Cl"},
                                         NamedMolecule{"HD", "1H", "2H", "1H2H"},
                                         NamedMolecule{"D2", "2H", "2H", "2H2"},
                                         NamedMolecule{"(7Li)2", "7Li", "7Li", "7Li2"},
                                         NamedMolecule{"39K-85Rb", "39K", "85Rb", "39K85Rb"},
                                         NamedMolecule{"NaCl", "23Na", "35Cl", "23Na35Cl"}),
                         [](const auto& info) { return test_name(info.param.name); });

class IsotopologueRefusalTest : public testing::TestWithParam<std::pair<const char*, const char*>> {
};

TEST_P(IsotopologueRefusalTest, SaysWhatIsWrong) {
  const IsotopologueLookup parsed = parse_isotopologue(GetParam().first);
  EXPECT_FALSE(parsed.isotopologue);
  EXPECT_NE(parsed.error.find(GetParam().second), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    BadNames, IsotopologueRefusalTest,
    testing::Values(std::pair{"24Na2", "unknown isotope '24Na'"},
                    std::pair{"23Xx2", "no element 'Xx'"}, std::pair{"23Na", "diatomic"},
                    std::pair{"23Na3", "diatomic"}, std::pair{"H2O", "unknown isotope '2O'"},
                    std::pair{"HOH", "diatomic"}, std::pair{"(23Na", "unclosed"},
                    std::pair{"", "diatomic"}, std::pair{"na2", "not an isotopologue name"},
                    std::pair{"23Na35Cl2", "diatomic"}),
    [](const auto& info) { return test_name(info.param.first); });

TEST(ReducedMassTest, IsTheHarmonicMeanOverTwo) {
  const auto nacl = parse_isotopologue("23Na35Cl").isotopologue;
  ASSERT_TRUE(nacl);
  const double na = 22.9897692820, cl = 34.968852682;
  EXPECT_DOUBLE_EQ(reduced_mass_of(*nacl), na * cl / (na + cl));
  const auto na2 = parse_isotopologue("23Na2").isotopologue;
  ASSERT_TRUE(na2);
  EXPECT_DOUBLE_EQ(reduced_mass_of(*na2), na / 2.0);
  EXPECT_TRUE(homonuclear(*na2));
  EXPECT_FALSE(homonuclear(*nacl));
  EXPECT_EQ(nuclear_spins_of(*nacl), (std::array<double, 2>{1.5, 1.5}));
  EXPECT_EQ(nuclear_spins_of(*parse_isotopologue("HD").isotopologue),
            (std::array<double, 2>{0.5, 1.0}));
}

TEST(AtomicMassFromTextTest, TakesNumbersAndNames) {
  EXPECT_EQ(atomic_mass_from_text("22.98977").mass, 22.98977);
  EXPECT_EQ(atomic_mass_from_text("23Na").mass, 22.9897692820);
  EXPECT_NE(atomic_mass_from_text("-1").error, "");
  EXPECT_NE(atomic_mass_from_text("0").error, "");
  EXPECT_NE(atomic_mass_from_text("inf").error, "");
  EXPECT_NE(atomic_mass_from_text("99Na").error.find("'99Na'"), std::string::npos);
}

}  // namespace
}  // namespace velk
