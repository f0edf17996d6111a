#include "props/linelist_command.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <exception>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/output_recording.h"
#include "io/run_file_check.h"
#include "io/thread_count.h"
#include "numlib/failure_policy.h"
#include "props/linelist_blocks.h"
#include "props/linelist_files.h"
#include "props/linelist_hitran.h"
#include "props/linelist_levels.h"
#include "props/linelist_lines.h"
#include "props/linelist_within.h"
#include "props/moment_table.h"
#include "props/props_files.h"
#include "props/run_inputs.h"
#include "props/transition_overlaps.h"
#include "solver/ordered_jobs.h"

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
  say("  --threads N         compute on N threads (1 to 256; default: one per core); the");
  say("                      files are the same for every N");
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
    } else if (argument == "--threads" || argument.starts_with("--threads=")) {
      const std::string text = argument == "--threads"
                                   ? next("a thread count")
                                   : argument.substr(std::string_view("--threads=").size());
      request.threads = thread_count(text);
      if (request.threads == 0) {
        refuse("thread count must be a whole number from 1 to 256, not '" + text + "'");
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

// What one worker searches with: states of its own (a search keeps its working arrays in its
// state), and the block the plain wave functions of state A fill before they are weighted.
struct ListWorker {
  StateWaveFunctions A, B;
  LevelBlock unweighted_A;
  std::vector<ListedLevel> solved;  // solve_level_block's own list; the assembly numbers levels
};

// The blocks one step of the list adds: state A one J ahead, its columns weighted by h·M(R) (the
// products want nothing else of them), and state B at the step's J. A failed search is kept to
// be raised where the list takes the block up: a state that has already run out of levels drops
// it, as it would never have searched that J.
struct ListStep {
  LevelBlock A;  // levels only; the columns are in weighted_A
  std::vector<double> weighted_A;
  LevelBlock B;
  std::exception_ptr failure_A, failure_B;
};

// Where the recording of a step passes from the warnings of state A to those of state B.
constexpr int kStateBMark = 1;

// Wave-function storage passed from the workers to the line assembly and back, so that a run
// allocates it for its first few J only.
class SpareColumns {
 public:
  std::vector<double> take() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty()) return {};
    std::vector<double> buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
  }
  void give(std::vector<double>&& buffer) {
    if (buffer.capacity() == 0) return;
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(buffer));
  }

 private:
  std::mutex mutex_;
  std::vector<std::vector<double>> spare_;
};

void empty_block(LevelBlock& block, int32_t J) {
  block.J = J;
  block.levels.clear();
  block.columns = 0;
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
  const auto list_levels = [&](LevelBlock& block) {
    for (ListedLevel& level : block.levels) {
      level.index = levels.size();
      levels.push_back(level);
    }
  };

  // State A at J − 1, J, J + 1 (slot J mod 3), weighted, and state B at J. The levels of J + 1
  // and J are searched ahead, on the workers, and taken up here in order of J, so that the
  // levels, lines and warnings come as one thread makes them.
  LevelBlock blocks_A[3], block_B;
  std::vector<double> weighted_A[3], product;
  const auto slot = [](int32_t J) { return static_cast<std::size_t>(J % 3); };
  bool A_open = true, B_open = true;
  // The first J at which state A holds no level: a worker need not search beyond it.
  std::atomic<int32_t> A_ends = std::numeric_limits<int32_t>::max();
  std::atomic<int32_t> B_ends = std::numeric_limits<int32_t>::max();
  // Takes up the levels of state A at J while the state is open.
  const auto take_A = [&](int32_t J, LevelBlock& block, std::vector<double>& weighted) {
    std::swap(blocks_A[slot(J)], block);
    std::swap(weighted_A[slot(J)], weighted);
    list_levels(blocks_A[slot(J)]);
    if (blocks_A[slot(J)].levels.empty() && J >= solved.Lambda_A) {
      A_open = false;
      A_ends = J;
    }
  };
  // The J of state A before the first step's J + 1, on this thread.
  for (int32_t J = std::max(0, first_J - 1); J <= first_J; ++J) {
    empty_block(blocks_A[slot(J)], J);
    if (!A_open) continue;
    LevelBlock block;
    std::vector<double> weighted;
    std::vector<ListedLevel> searched;
    solve_level_block(state_A, 'A', J, block, searched, selection);
    weight_block(block, weights, weighted);
    take_A(J, block, weighted);
  }

  const int workers = threads_or_one_per_core(request.threads);
  // The calling thread's states serve the first worker; the others search with copies.
  std::vector<ListWorker> list_workers;
  list_workers.reserve(static_cast<std::size_t>(workers));
  for (int w = 1; w < workers; ++w) list_workers.push_back(ListWorker{state_A, state_B, {}, {}});
  list_workers.insert(list_workers.begin(),
                      ListWorker{std::move(state_A), std::move(state_B), {}, {}});
  // Apart for each state: a buffer keeps the size of the blocks it served.
  SpareColumns spare_A, spare_B;
  const auto search_step = [&](int k, int w, OutputRecording& recording) {
    const int32_t J = first_J + k;
    ListWorker& worker = list_workers[static_cast<std::size_t>(w)];
    ListStep step;
    empty_block(step.A, J + 1);
    empty_block(step.B, J);
    if (J + 1 <= A_ends) {
      try {
        solve_level_block(worker.A, 'A', J + 1, worker.unweighted_A, worker.solved, selection);
        step.weighted_A = spare_A.take();
        weight_block(worker.unweighted_A, weights, step.weighted_A);
        step.A.levels = worker.unweighted_A.levels;
        step.A.columns = worker.unweighted_A.columns;
        step.A.rows = worker.unweighted_A.rows;
      } catch (...) {
        step.failure_A = std::current_exception();
      }
    }
    recording.mark(kStateBMark);
    if (J <= B_ends) {
      try {
        step.B.psi = spare_B.take();
        solve_level_block(worker.B, 'B', J, step.B, worker.solved, selection);
      } catch (...) {
        step.failure_B = std::current_exception();
      }
    }
    worker.solved.clear();
    return step;
  };
  const auto take_step = [&](int k, RecordedJob<ListStep>& job) {
    const int32_t J = first_J + k;
    ListStep& step = job.result;
    const std::span<const OutputRecording::Entry> output(job.output);
    const auto B_begins = std::find_if(output.begin(), output.end(), [](const auto& entry) {
      return entry.kind == OutputRecording::Kind::mark && entry.mark == kStateBMark;
    });
    const auto no_marks = [](int) {};
    spare_A.give(std::move(weighted_A[slot(J + 1)]));
    if (A_open) {
      replay_output(output.first(static_cast<std::size_t>(B_begins - output.begin())), no_marks);
      if (step.failure_A) std::rethrow_exception(step.failure_A);
      take_A(J + 1, step.A, step.weighted_A);
    } else {
      empty_block(blocks_A[slot(J + 1)], J + 1);
    }
    spare_B.give(std::move(block_B.psi));
    if (B_open) {
      replay_output(output.subspan(static_cast<std::size_t>(B_begins - output.begin())), no_marks);
      if (step.failure_B) std::rethrow_exception(step.failure_B);
      std::swap(block_B, step.B);
      list_levels(block_B);
      if (block_B.levels.empty() && J >= solved.Lambda_B) {
        B_open = false;
        B_ends = J;
      }
    } else {
      empty_block(block_B, J);
    }
    spare_A.give(std::move(step.weighted_A));
    spare_B.give(std::move(step.B.psi));
    if (!B_open && !A_open) return false;
    for (int32_t J_A = std::max(0, J - 1); J_A <= J + 1; ++J_A) {
      const LevelBlock& block = blocks_A[slot(J_A)];
      if (block.levels.empty() || block_B.levels.empty()) continue;
      block_matrix_elements(block_B, block, weighted_A[slot(J_A)], product);
      append_lines(block_B, solved.Lambda_B, block, solved.Lambda_A, product, lines);
    }
    return true;
  };
  // A step ahead for each worker keeps them busy while the products of a step are made; each
  // holds the wave functions of one J of both states.
  run_in_order_until<ListStep>(last_J - first_J + 1, workers, workers, search_step, take_step);
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
  write_list_files(
      solve_line_list(request), request.name,
      {request.tmax, threads_or_one_per_core(request.threads), request.hitran, true, request.csv});
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
