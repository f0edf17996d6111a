// The line list on several threads: the files byte for byte those of one thread, and the ExoMol
// fields written without printf against printf itself.
//
// The Na₂ A ← X list of examples/na2-absorb-fcf in blocks of J that take in its beginning (the
// J of state A solved before the first step), its middle, the J where state X runs out of levels
// (lines with the last levels of X, then the steps ahead of the end dropped) and the end of
// state A's levels; each block to 17 digits, on 1 and 3 threads. The ExoMol files of one whole
// list (seeded random levels and lines) with the partition function summed on 1 and 3 threads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "io/console.h"
#include "io/errors.h"
#include "linelist_test_support.h"
#include "props/exomol_fields.h"
#include "props/linelist_blocks.h"
#include "props/linelist_command.h"
#include "props/linelist_files.h"

namespace velk::props {
namespace {

namespace fs = std::filesystem;
using namespace linelist_testing;  // NOLINT: the tests' shared helpers

struct JBlock {
  int32_t J1, J2;
  const char* what;
};

class LineListThreads : public ScratchFolder, public ::testing::WithParamInterface<JBlock> {};

TEST_P(LineListThreads, BlockIsTheSameOnOneAndThreeThreads) {
  for (const char* file : {"velk.inf", "na2x.pot", "na2amors.pot"}) {
    fs::copy_file(fs::path(VELK_NA2_FCF_DIR) / file, file);
  }
  const JBlock block = GetParam();
  LinelistRequest request;
  request.j_range = std::pair{block.J1, block.J2};
  for (const int threads : {1, 3}) {
    request.threads = threads;
    request.name = "threads" + std::to_string(threads);
    write_line_list(request);
  }
  for (const char* ext : {".levels", ".lines"}) {
    const std::string one = bytes_of(std::string("threads1") + ext);
    EXPECT_TRUE(one == bytes_of(std::string("threads3") + ext)) << ext;
  }
  // Each block holds levels; every block short of the end of state A's levels holds lines.
  const std::string levels = bytes_of("threads1.levels");
  EXPECT_GT(std::count(levels.begin(), levels.end(), '\n'), 10) << levels.substr(0, 200);
  if (block.J1 < 380) {
    EXPECT_GT(bytes_of("threads1.lines").size(), 1000u);
  }
}

// State X (A of velk.inf) holds levels up to J = 214, the A state (B) up to J = 383 or so.
INSTANTIATE_TEST_SUITE_P(Na2, LineListThreads,
                         ::testing::Values(JBlock{0, 3, "first"}, JBlock{100, 104, "middle"},
                                           JBlock{212, 217, "endOfX"},
                                           JBlock{380, 100000, "endOfList"}),
                         [](const auto& info) { return std::string(info.param.what); });

// Levels and lines at random, seeded: the files are written from them as from a solved list.
SolvedList random_list() {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> energy(0.0, 20000.0), log_A(-3.0, 9.0);
  SolvedList list;
  for (int32_t J = 0; J < 60; ++J) {
    for (const char state : {'A', 'B'}) {
      for (int32_t v = 0; v < 25; ++v) {
        list.levels.push_back(
            ListedLevel{state, v, J, 0, energy(random), v, list.levels.size(), {}});
      }
    }
  }
  std::uniform_int_distribution<std::size_t> level(0, list.levels.size() - 1);
  for (int k = 0; k < 20000; ++k) {
    list.lines.push_back(ListedLine{level(random), level(random), std::pow(10.0, log_A(random))});
  }
  list.spins = NuclearSpins{1.5, 1.5, true};
  list.ended = true;
  return list;
}

TEST_F(ScratchFolder, ExoMolFilesAreTheSameOnOneAndThreeThreads) {
  const SolvedList list = random_list();
  write_list_files(list, "one",
                   {.tmax = 700, .threads = 1, .hitran = {}, .par = false, .csv = false});
  write_list_files(list, "three",
                   {.tmax = 700, .threads = 3, .hitran = {}, .par = false, .csv = false});
  for (const char* ext : {".states", ".trans", ".pf"}) {
    const std::string one = bytes_of(std::string("one") + ext);
    EXPECT_GT(one.size(), 10000u) << ext;
    EXPECT_TRUE(one == bytes_of(std::string("three") + ext)) << ext;
  }
}

// An energy beyond the F12.6 field would shift every column after it: the list is refused
// before any file is written, at the last figure the field holds and above it.
TEST_F(ScratchFolder, AnEnergyBeyondTheStatesFieldWritesNoFile) {
  for (const double top : {99999.999999, 100000.0}) {
    SolvedList list = random_list();
    const auto lowest =
        std::min_element(list.levels.begin(), list.levels.end(),
                         [](const ListedLevel& a, const ListedLevel& b) { return a.E < b.E; });
    list.levels.back().E = lowest->E + top;
    bool refused = false;
    try {
      write_list_files(list, "wide",
                       {.tmax = 10, .threads = 1, .hitran = {}, .par = false, .csv = false});
    } catch (const InputError& error) {
      refused = true;
      EXPECT_NE(std::string(error.what()).find("100000 cm-1 or more"), std::string::npos);
    }
    EXPECT_EQ(refused, top >= 100000.0) << top;
    EXPECT_EQ(fs::exists("wide.states"), !refused) << top;
    fs::remove("wide.states");
    fs::remove("wide.trans");
    fs::remove("wide.pf");
  }
}

// printf is the truth the fields are held to: seeded random magnitudes over the whole range of
// doubles, and the values where rounding carries into a new power of ten or meets an exact tie.
TEST(ExoMolFields, FieldsAreWhatPrintfWrites) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                9.99995,
                                9.99994999,
                                99999.5,
                                12345.5,
                                12346.5,
                                0.5,
                                1e-300,
                                4.9e-324,
                                1e300,
                                -2.5e7,
                                6.02214e23,
                                1.00005e5,
                                2.25,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 random(34);
  std::uniform_real_distribution<double> exponent(-320.0, 308.0), mantissa(-10.0, 10.0);
  for (int k = 0; k < 200000; ++k)
    values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  std::uniform_int_distribution<uint64_t> bits;
  for (int k = 0; k < 20000; ++k) {
    const uint64_t word = bits(random);
    double value = 0.0;
    std::memcpy(&value, &word, sizeof value);
    values.push_back(value);
  }
  for (const double value : values) {
    for (const auto& [width, decimals] : {std::pair{10, 4}, std::pair{12, 4}, std::pair{3, 0}}) {
      char expected[80], written[80];
      std::snprintf(expected, sizeof expected, "%*.*E", width, decimals, value);
      char* const end = put_scientific(written, value, width, decimals);
      ASSERT_EQ(std::string(written, end), std::string(expected)) << value;
    }
  }
  for (const double value : values) {
    for (const auto& [width, decimals] : {std::pair{12, 6}, std::pair{10, 4}, std::pair{7, 1}}) {
      char expected[400], written[400];
      std::snprintf(expected, sizeof expected, "%*.*f", width, decimals, value);
      char* const end = put_fixed(written, value, width, decimals);
      ASSERT_EQ(std::string(written, end), std::string(expected)) << value;
    }
  }
  for (const std::size_t count : {std::size_t{0}, std::size_t{7}, std::size_t{123456789012},
                                  std::numeric_limits<std::size_t>::max()}) {
    char expected[40], written[40];
    std::snprintf(expected, sizeof expected, "%12zu", count);
    char* const end = put_count(written, count, 12);
    EXPECT_EQ(std::string(written, end), std::string(expected));
  }
}

// The thread count as velk takes it: a whole number from 1 to 256, apart or after '='.
TEST(LineListThreadArguments, TakesACountFrom1To256) {
  const auto parsed = [](std::vector<std::string> arguments) {
    return parse_linelist_arguments(arguments);
  };
  EXPECT_EQ(parsed({"--threads", "3"}).threads, 3);
  EXPECT_EQ(parsed({"--threads=256"}).threads, 256);
  EXPECT_EQ(parsed({}).threads, 0) << "0: one per core";
  for (const char* bad : {"0", "257", "2.5", "x", ""}) {
    EXPECT_FALSE(parsed({"--threads", bad}).refusal.empty()) << bad;
  }
  EXPECT_FALSE(parsed({"--threads"}).refusal.empty());
}

}  // namespace
}  // namespace velk::props
