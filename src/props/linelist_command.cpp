#include "props/linelist_command.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string_view>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/run_file_check.h"
#include "numlib/failure_policy.h"
#include "props/linelist_blocks.h"
#include "props/linelist_csv.h"
#include "props/linelist_hitran.h"
#include "props/linelist_levels.h"
#include "props/linelist_lines.h"
#include "props/linelist_within.h"
#include "props/moment_table.h"
#include "props/props_files.h"
#include "props/run_inputs.h"
#include "props/transition_overlaps.h"

namespace velk::props {
namespace {

void print_linelist_help() {
  say("usage: velk-props linelist [options]");
  say("  every bound level of states A and B of velk.inf (J = 0, 1, ... until a J has none)");
  say("  and every one-photon line between them -> NAME.states, NAME.trans, NAME.pf (ExoMol),");
  say("  NAME.par (HITRAN, 160-character records)");
  say("options:");
  say("  --name NAME         the files' stem (default velk)");
  say("  --moment FILE       electronic transition moment, lines 'R M' (Å, debye)");
  say("  --moment-constant D a constant transition moment in debye (default 1)");
  say("  --spins I1 I2       nuclear spins of the two atoms, for g_tot");
  say("  --homonuclear       the two nuclei are the same (state A gerade, B ungerade);");
  say("                      needs --spins");
  say("  --isotopologue NAME the reduced mass and nuclear spins of a molecule such as");
  say("                      23Na2 (default spins: the one homonuclear molecule of the");
  say("                      isotope table whose reduced mass is the curve's, within 1e-4 u)");
  say("  --quasibound        also the quasi-bound levels, NAME.states ending in their");
  say("                      half-widths (cm-1)");
  say("  --within A          the rovibrational lines within state A (or B) alone, --moment");
  say("                      giving its dipole function mu(R)");
  say("  --tmax T            NAME.pf from 1 K to T K in steps of 1 K (default 5000)");
  say("  --j-range J1 J2     one block of J -> NAME.levels, NAME.lines, joined by");
  say("                      velk-props merge --name OUT NAME1 NAME2 ...");
  say("  --temperature T     K, the intensities of NAME.par and NAME.csv (default 296)");
  say("  --hitran-id M I     molecule and isotopologue ids of NAME.par (default 0 0)");
  say("  --csv               NAME.csv too: the lines in the columns of the spectrum command");
  say("  -h, --help          this text");
  say("exit status: 0 written, 1 a builder stopped on a potential file, 2 a missing or");
  say("  malformed file or bad arguments, 3 internal error.");
}

std::string refusal(std::string_view what) {
  return std::string(kPrefix) + "linelist: " + std::string(what) +
         " (velk-props linelist --help lists the options)";
}

std::optional<double> number_of(const std::string& text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// A nuclear spin is a whole or half-whole number from 0 up.
bool is_spin(double I) {
  return I >= 0.0 && I <= 20.0 && std::nearbyint(2 * I) == 2 * I;
}

// No J beyond: the list ends where both states hold no level.
constexpr int32_t kNoLastJ = std::numeric_limits<int32_t>::max() - 2;

RunInputs read_run_inputs_checked() {
  require_file("velk.inf", "run velk-props linelist in a working directory with a velk.inf");
  return read_run_inputs("velk.inf");
}

std::vector<std::string> output_names(const LinelistRequest& request) {
  if (request.j_range) return {request.name + ".levels", request.name + ".lines"};
  std::vector<std::string> names = {request.name + ".states", request.name + ".trans",
                                    request.name + ".pf", request.name + ".par"};
  if (request.csv) names.push_back(request.name + ".csv");
  return names;
}

}  // namespace

LinelistRequest parse_linelist_arguments(std::span<const std::string> arguments) {
  LinelistRequest request;
  const auto refuse = [&](std::string message) {
    if (request.refusal.empty()) request.refusal = refusal(message);
  };
  bool moment_constant_given = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto next = [&](std::string_view what) -> std::string {
      if (i + 1 < arguments.size()) return arguments[++i];
      refuse(argument + " wants " + std::string(what));
      return {};
    };
    if (argument == "-h" || argument == "--help") {
      request.help = true;
    } else if (argument == "--name") {
      request.name = next("a name");
      if (request.name.empty() || request.name.find('/') != std::string::npos) {
        refuse("--name wants a file stem without '/'");
      }
    } else if (argument == "--moment") {
      request.moment_file = next("a file name");
      if (request.moment_file.empty()) refuse("--moment wants a file name");
    } else if (argument == "--moment-constant") {
      const std::string text = next("a moment in debye");
      const std::optional<double> value = number_of(text);
      if (!value) refuse("--moment-constant wants a number, not '" + text + "'");
      request.moment_constant = value.value_or(1.0);
      moment_constant_given = true;
    } else if (argument == "--spins") {
      const std::string first = next("two nuclear spins");
      const std::string second = next("two nuclear spins");
      const std::optional<double> I1 = number_of(first), I2 = number_of(second);
      if (!I1 || !I2 || !is_spin(*I1) || !is_spin(*I2)) {
        refuse("--spins wants two nuclear spins such as 1.5 1.5, not '" + first + " " + second +
               "'");
      } else {
        request.spins = NuclearSpins{*I1, *I2, false};
      }
    } else if (argument == "--j-range") {
      const std::string first = next("two J");
      const std::string second = next("two J");
      const std::optional<double> J1 = number_of(first), J2 = number_of(second);
      if (!J1 || !J2 || *J1 < 0 || *J2 < *J1 || *J2 > 100000 || std::nearbyint(*J1) != *J1 ||
          std::nearbyint(*J2) != *J2) {
        refuse("--j-range wants two whole J, 0 <= J1 <= J2 <= 100000, not '" + first + " " +
               second + "'");
      } else {
        request.j_range = std::pair{static_cast<int32_t>(*J1), static_cast<int32_t>(*J2)};
      }
    } else if (argument == "--homonuclear") {
      request.homonuclear = true;
    } else if (argument == "--quasibound") {
      request.quasi_bound = true;
    } else if (argument == "--within") {
      const std::string letter = next("a state, A or B");
      if (letter != "A" && letter != "B") {
        refuse("--within wants a state, A or B, not '" + letter + "'");
      } else {
        request.within = letter[0];
      }
    } else if (argument == "--isotopologue") {
      const IsotopologueLookup found = parse_isotopologue(next("a name such as 23Na2"));
      if (found.isotopologue) {
        request.isotopologue = found.isotopologue;
      } else {
        refuse("--isotopologue: " + found.error);
      }
    } else if (argument == "--tmax") {
      const std::string text = next("a temperature in K");
      const std::optional<double> value = number_of(text);
      if (!value || *value < 1.0 || *value > 1e6 || std::nearbyint(*value) != *value) {
        refuse("--tmax wants a whole number of kelvin from 1 to 1000000, not '" + text + "'");
      } else {
        request.tmax = static_cast<int32_t>(*value);
      }
    } else if (argument == "--temperature") {
      const std::string text = next("a temperature in K");
      const std::optional<double> value = number_of(text);
      if (!value || !(*value > 0.0)) {
        refuse("--temperature wants a temperature in K above 0, not '" + text + "'");
      } else {
        request.hitran.temperature = *value;
      }
    } else if (argument == "--hitran-id") {
      const std::string first = next("a molecule and an isotopologue id");
      const std::string second = next("a molecule and an isotopologue id");
      const std::optional<double> M = number_of(first), I = number_of(second);
      if (!M || !I || *M < 0 || *M > 99 || *I < 0 || *I > 9 || std::nearbyint(*M) != *M ||
          std::nearbyint(*I) != *I) {
        refuse("--hitran-id wants a molecule id 0..99 and an isotopologue id 0..9, not '" + first +
               " " + second + "'");
      } else {
        request.hitran.molecule_id = static_cast<int32_t>(*M);
        request.hitran.isotopologue_id = static_cast<int32_t>(*I);
      }
    } else if (argument == "--csv") {
      request.csv = true;
    } else {
      refuse("unknown argument '" + argument + "'");
    }
  }
  if (moment_constant_given && !request.moment_file.empty()) {
    refuse("--moment and --moment-constant exclude each other");
  }
  if (request.homonuclear && request.spins && request.spins->I1 != request.spins->I2) {
    refuse("--homonuclear wants two equal nuclear spins");
  }
  if (request.isotopologue && request.spins) {
    refuse("--isotopologue and --spins exclude each other (the molecule names its spins)");
  }
  if (request.isotopologue && request.homonuclear && !homonuclear(*request.isotopologue)) {
    refuse("--homonuclear wants the same isotope twice, not " + request.isotopologue->name());
  }
  if (request.spins) request.spins->identical = request.homonuclear;
  return request;
}

namespace {

// Given, of the named molecule, or from the isotope table by the curve's reduced mass.
std::optional<NuclearSpins> linelist_spins(const LinelistRequest& request,
                                           const StateInput& state) {
  std::optional<NuclearSpins> spins = request.spins;
  if (!spins && request.isotopologue) spins = nuclear_spins_of_molecule(*request.isotopologue);
  if (!spins) {
    spins = default_nuclear_spins(read_potential_header(trimmed_file_name(state.file)),
                                  state.mass_index);
  }
  if (request.homonuclear && !spins) {
    throw InputError(std::string(kPrefix) +
                     "linelist: a homonuclear molecule needs the nuclear spins of its atoms: "
                     "give --spins I1 I2");
  }
  return spins;
}

SolvedList solve_line_list(const LinelistRequest& request) {
  const RunInputs inputs = read_run_inputs_checked();
  const std::vector<std::string> outputs = output_names(request);
  refuse_inputs_named_like_outputs(inputs, outputs);
  std::optional<MomentTable> moment;
  if (!request.moment_file.empty()) {
    refuse_input_named_like_output("velk-props", "the transition-moment file", request.moment_file,
                                   outputs);
    moment = MomentTable::read(request.moment_file);
  }
  const std::optional<double> reduced_mass =
      request.isotopologue ? std::optional(reduced_mass_of(*request.isotopologue)) : std::nullopt;
  const LevelSelection selection{request.quasi_bound};
  // A block of J needs the levels one J beyond it on either side for the lines of its own.
  const int32_t first_J = request.j_range ? std::max(0, request.j_range->first - 1) : 0;
  const int32_t last_J = request.j_range ? request.j_range->second + 1 : kNoLastJ;
  if (request.within != 0) {
    const StateInput& input = request.within == 'A' ? inputs.states.A : inputs.states.B;
    const RadialGrid own_grid = state_grid(input, request.within);
    StateWaveFunctions state =
        listed_state(input, request.within, settings_of(inputs), own_grid, reduced_mass);
    use_one_blas_thread();
    SolvedList solved = solve_lines_within(
        state, WithinRequest{request.within, first_J, last_J, selection},
        moment_weights(own_grid, moment ? &*moment : nullptr, request.moment_constant));
    solved.spins = linelist_spins(request, input);
    return solved;
  }
  const RadialGrid grid =
      common_grid(state_grid(inputs.states.A, 'A'), state_grid(inputs.states.B, 'B'));
  StateWaveFunctions state_A =
      listed_state(inputs.states.A, 'A', settings_of(inputs), grid, reduced_mass);
  StateWaveFunctions state_B =
      listed_state(inputs.states.B, 'B', settings_of(inputs), grid, reduced_mass);
  const std::optional<NuclearSpins> spins = linelist_spins(request, inputs.states.A);

  use_one_blas_thread();
  const std::vector<double> weights =
      moment_weights(grid, moment ? &*moment : nullptr, request.moment_constant);
  SolvedList solved;
  solved.quasi_bound = request.quasi_bound;
  solved.Lambda_A = state_A.Lambda();
  solved.Lambda_B = state_B.Lambda();
  solved.spins = spins;
  std::vector<ListedLevel>& levels = solved.levels;
  std::vector<ListedLine>& lines = solved.lines;
  // State A at J − 1, J, J + 1 (slot J mod 3) with its weighted copy, state B at J.
  LevelBlock blocks_A[3], block_B;
  std::vector<double> weighted_A[3], product;
  const auto slot = [](int32_t J) { return static_cast<std::size_t>(J % 3); };
  bool A_open = true, B_open = true;
  int32_t next_A = std::max(0, first_J - 1);  // the next J of state A to solve
  const auto advance_A = [&](int32_t up_to) {
    for (; next_A <= up_to; ++next_A) {
      LevelBlock& block = blocks_A[slot(next_A)];
      if (A_open) {
        solve_level_block(state_A, 'A', next_A, block, levels, selection);
        if (block.levels.empty() && next_A >= state_A.Lambda()) A_open = false;
      } else {
        block.J = next_A;
        block.levels.clear();
        block.columns = 0;
      }
      weight_block(block, weights, weighted_A[slot(next_A)]);
    }
  };
  for (int32_t J = first_J; J <= last_J; ++J) {
    advance_A(J + 1);
    if (B_open) {
      solve_level_block(state_B, 'B', J, block_B, levels, selection);
      if (block_B.levels.empty() && J >= state_B.Lambda()) B_open = false;
    } else {
      block_B.levels.clear();
      block_B.columns = 0;
    }
    if (!B_open && !A_open) break;
    for (int32_t J_A = std::max(0, J - 1); J_A <= J + 1; ++J_A) {
      const LevelBlock& block = blocks_A[slot(J_A)];
      if (block.levels.empty() || block_B.levels.empty()) continue;
      block_matrix_elements(block_B, block, weighted_A[slot(J_A)], product);
      append_lines(block_B, state_B.Lambda(), block, state_A.Lambda(), product, lines);
    }
  }
  solved.ended = !A_open && !B_open;
  return solved;
}

}  // namespace

void write_line_list(const LinelistRequest& request) {
  if (request.j_range) {
    const std::vector<std::string> outputs = output_names(request);
    const SolvedList solved = solve_line_list(request);
    const auto [levels, lines] =
        write_block(solved, request.j_range->first, request.j_range->second, request.name);
    say(std::string(kPrefix) + "wrote " + outputs[0] + ", " + outputs[1] + " (J " +
        std::to_string(request.j_range->first) + " to " + std::to_string(request.j_range->second) +
        ": " + std::to_string(levels) + " levels, " + std::to_string(lines) + " lines)");
    return;
  }
  const SolvedList solved = solve_line_list(request);
  check_hitran_fields(solved, request.name);
  write_exomol_files(solved, request.name, request.tmax);
  write_hitran_file(solved, request.name, request.hitran);
  if (request.csv) write_linelist_csv(solved, request.name, request.hitran.temperature);
}

int run_linelist_command(std::span<const std::string> arguments) {
  const LinelistRequest request = parse_linelist_arguments(arguments);
  if (request.help) {
    print_linelist_help();
    std::cout.flush();
    return 0;
  }
  if (!request.refusal.empty()) {
    say(request.refusal);
    std::cout.flush();
    return 2;
  }
  set_console_quiet(true);
  const int status = ending_status<NumericalFailure>({kPrefix, say}, [&] {
    write_line_list(request);
    return 0;
  });
  std::cout.flush();
  return status;
}

}  // namespace velk::props
