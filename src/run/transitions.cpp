#include "run/transitions.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/output_file.h"

namespace velk {
namespace {

constexpr const char* kTransitionFile = "vel_tran.out";
constexpr const char* kLineFormat = "(I5,I5,I4,I4,I4,F15.6,F15.6)";

struct LevelLine {
  int32_t index = 0, v = 0, J = 0, p = 0;
  double E = 0.0;
};

// A level file opened for reading, past its six header lines.
class LevelReader {
 public:
  explicit LevelReader(const std::string& name) : in_(name) {
    for (int i = 0; i < 6; ++i) in_.skip();
  }
  LevelLine next() {
    LevelLine level;
    in_.read(level.index, level.v, level.J, level.E, level.p);
    return level;
  }

 private:
  FreeFormatReader in_;
};

int32_t opposite_parity(int32_t p) {
  return static_cast<int32_t>(std::abs(int64_t{1} - p));
}

void write_transition(OutputFile& out, int64_t index, int32_t v_low, int32_t J_low, int32_t v_up,
                      int32_t J_up, double nu) {
  out.line(format_line(kLineFormat,
                       {index, int64_t{v_low}, int64_t{J_low}, int64_t{v_up}, int64_t{J_up}, nu}));
}

void write_transition(OutputFile& out, int64_t index, int32_t v_low, int32_t J_low, int32_t v_up,
                      int32_t J_up, double nu, double difference) {
  out.line(format_line(kLineFormat, {index, int64_t{v_low}, int64_t{J_low}, int64_t{v_up},
                                     int64_t{J_up}, nu, difference}));
}

// Number of level lines a loop over vbmin..vbmax consumes.
int64_t progression_length(int32_t vbmin, int32_t vbmax) {
  return vbmax < vbmin ? 0 : int64_t{vbmax} - vbmin + 1;
}

// J'' + step for the P and R branches. A J' beyond the 32-bit integers is refused rather than
// wrapped round to a J of the opposite sign.
int32_t shifted_J(int32_t J, int64_t step) {
  const int64_t shifted = int64_t{J} + step;
  if (shifted < INT32_MIN || shifted > INT32_MAX) {
    throw StopRun("velk: velk.inf: the rotational quantum number " + std::to_string(J) +
                  (step < 0 ? " - " : " + ") + std::to_string(step < 0 ? -step : step) +
                  " lies outside the 32-bit integers");
  }
  return static_cast<int32_t>(shifted);
}

LevelRanges single_level(int32_t vmin, int32_t vmax, int32_t J, int32_t p) {
  return LevelRanges{vmin, vmax, J, J, p, p};
}

// Requests the upper-state level files that a branch reads, for a lower (or known) level of
// rotational quantum number J and parity p, each over vbmin .. vbmax: BstateQ.dat (J, |1 - p|) for
// branch 1; BstateP.dat (J - 1, p) and BstateR.dat (J + 1, p) for branch 2; BstateP.dat
// (J - step, p), BstateR.dat (J + step, p) and BstateQ.dat (J, |1 - p|) for branch 3, in that
// order.
void request_branch_files(StateLevels& levels, const StateInput& state, int32_t vbmin,
                          int32_t vbmax, int32_t branch, int32_t J, int32_t p, int32_t step) {
  if (branch == 1) {
    levels.compute_state_levels(state, single_level(vbmin, vbmax, J, opposite_parity(p)),
                                "BstateQ.dat");
    return;
  }
  const int64_t shift = branch == 2 ? 1 : step;
  levels.compute_state_levels(state, single_level(vbmin, vbmax, shifted_J(J, -shift), p),
                              "BstateP.dat");
  levels.compute_state_levels(state, single_level(vbmin, vbmax, shifted_J(J, shift), p),
                              "BstateR.dat");
  if (branch == 3) {
    levels.compute_state_levels(state, single_level(vbmin, vbmax, J, opposite_parity(p)),
                                "BstateQ.dat");
  }
}

void one_level_header(OutputFile& out, const RunControl& control) {
  out.line(FreeLine() << "A state data file:" << control.A.file);
  out.line(FreeLine() << "B state data file:" << control.B.file);
  out.line(FreeLine() << std::string(30, '='));
  out.line(FreeLine());
}

}  // namespace

void run_one_level_transitions(const RunControl& control, StateLevels& levels) {
  const OneLevelBlock& block = control.one_level;
  levels.compute_state_levels(control.A, single_level(block.v, block.v, block.J, block.p),
                              "Astate.dat");
  double E_low = 0.0;
  {
    // The state-A level must be there: a missing or unreadable line is an input error rather than
    // a silent zero energy that would turn every wavenumber below into a wrong one.
    LevelReader lower("Astate.dat");
    E_low = lower.next().E;
  }
  if (block.branch < 1 || block.branch > 3) return;
  const int64_t n = progression_length(block.vbmin, block.vbmax);
  request_branch_files(levels, control.B, block.vbmin, block.vbmax, block.branch, block.J, block.p,
                       block.dJ);
  if (block.branch == 1) {
    OutputFile out(kTransitionFile);
    one_level_header(out, control);
    LevelReader q_file("BstateQ.dat");
    double previous = 0.0;
    for (int64_t i = 0; i < n; ++i) {
      const LevelLine up = q_file.next();
      const double nu = std::fabs(up.E - E_low);
      write_transition(out, up.index, block.v, block.J, up.v, up.J, nu, previous - nu);
      previous = nu;
    }
    out.close();
  } else if (block.branch == 2) {
    LevelReader p_file("BstateP.dat");
    LevelReader r_file("BstateR.dat");
    OutputFile out(kTransitionFile);
    one_level_header(out, control);
    double previous_p = 0.0;
    int64_t k = 1;
    for (int64_t i = 0; i < n; ++i) {
      const LevelLine up_p = p_file.next();
      const LevelLine up_r = r_file.next();
      const double nu_p = std::fabs(up_p.E - E_low);
      const double nu_r = std::fabs(up_r.E - E_low);
      write_transition(out, k, block.v, block.J, up_r.v, up_p.J, nu_p, previous_p - nu_p);
      write_transition(out, k + 1, block.v, block.J, up_r.v, up_r.J, nu_r, nu_p - nu_r);
      previous_p = nu_p;
      k += 2;
    }
    out.close();
  } else {
    LevelReader p_file("BstateP.dat");
    LevelReader q_file("BstateQ.dat");
    LevelReader r_file("BstateR.dat");
    OutputFile out(kTransitionFile);
    one_level_header(out, control);
    double previous_q = 0.0;
    int64_t count = 0;
    for (int64_t i = 0; i < n; ++i) {
      const LevelLine up_p = p_file.next();
      const double nu_p = std::fabs(up_p.E - E_low);
      write_transition(out, ++count, block.v, block.J, up_p.v, up_p.J, nu_p);
      const LevelLine up_q = q_file.next();
      const double nu_q = std::fabs(up_q.E - E_low);
      write_transition(out, ++count, block.v, block.J, up_q.v, up_q.J, nu_q, previous_q - nu_q);
      const LevelLine up_r = r_file.next();
      const double nu_r = std::fabs(up_r.E - E_low);
      write_transition(out, ++count, block.v, block.J, up_r.v, up_r.J, nu_r, nu_p - nu_r);
      previous_q = nu_q;
    }
    out.close();
  }
}

void run_known_level_transitions(const RunControl& control, StateLevels& levels) {
  const KnownLevelBlock& block = control.known_level;
  if (block.branch < 1 || block.branch > 3) return;
  const StateInput& selected = block.state == 1 ? control.A : control.B;
  const int64_t n = progression_length(block.vbmin, block.vbmax);
  auto header = [&](OutputFile& out) {
    out.line(format_line("(A19,I4,I4,I4,F15.5)", {std::string("Known level:"), int64_t{block.v},
                                                  int64_t{block.J}, int64_t{block.p}, block.E}));
    out.line(FreeLine() << "          Data file:" << selected.file);
    out.line(FreeLine() << std::string(30, '='));
    out.line(FreeLine());
  };
  // Every branch measures from the known energy itself: a reference of -E for state A would turn
  // the difference into a sum, which is not a transition wavenumber.
  const double E_known = block.E;

  request_branch_files(levels, selected, block.vbmin, block.vbmax, block.branch, block.J, block.p,
                       block.dJ);
  if (block.branch == 1) {
    OutputFile out(kTransitionFile);
    header(out);
    LevelReader q_file("BstateQ.dat");
    for (int64_t i = 0; i < n; ++i) {
      const LevelLine up = q_file.next();
      write_transition(out, up.index, block.v, block.J, up.v, up.J, std::fabs(up.E - E_known));
    }
    out.close();
  } else if (block.branch == 2) {
    LevelReader p_file("BstateP.dat");
    LevelReader r_file("BstateR.dat");
    OutputFile out(kTransitionFile);
    header(out);
    int64_t k = 1;
    for (int64_t i = 0; i < n; ++i) {
      const LevelLine up_p = p_file.next();
      const LevelLine up_r = r_file.next();
      write_transition(out, k, block.v, block.J, up_r.v, up_p.J, std::fabs(up_p.E - E_known));
      write_transition(out, k + 1, block.v, block.J, up_r.v, up_r.J, std::fabs(up_r.E - E_known));
      k += 2;
    }
    out.close();
  } else {
    LevelReader p_file("BstateP.dat");
    LevelReader q_file("BstateQ.dat");
    LevelReader r_file("BstateR.dat");
    OutputFile out(kTransitionFile);
    header(out);
    int64_t count = 0;
    for (int64_t i = 0; i < n; ++i) {
      for (LevelReader* file : {&p_file, &q_file, &r_file}) {
        const LevelLine up = file->next();
        write_transition(out, ++count, block.v, block.J, up.v, up.J, std::fabs(up.E - E_known));
      }
    }
    out.close();
  }
}

void run_window_transitions(const RunControl& control, StateLevels& levels) {
  const WindowBlock& block = control.window;
  levels.compute_state_levels(
      control.A,
      LevelRanges{block.vmin, block.vmax, block.Jmin, block.Jmax, block.pmin, block.pmax},
      "Astate.dat");
  OutputFile out(kTransitionFile);
  out.line(FreeLine() << "A state data file:" << control.A.file);
  out.line(FreeLine() << "B state data file:" << control.B.file);
  out.line(FreeLine() << "Range:" << block.emin << block.emax);
  out.line(FreeLine() << std::string(30, '='));

  FreeFormatReader lower_file("Astate.dat");
  int32_t nlow = 0;
  lower_file.read(nlow);
  for (int i = 0; i < 5; ++i) lower_file.skip();

  const int64_t n = progression_length(block.vbmin, block.vbmax);
  std::optional<std::pair<int32_t, int32_t>> requested;  // (J'', p'') of the upper files on disk
  int64_t count = 1;
  for (int32_t low_index = 0; low_index < nlow; ++low_index) {
    LevelLine low;
    lower_file.read(low.index, low.v, low.J, low.E, low.p);
    if (block.branch < 1 || block.branch > 3) continue;
    const bool fresh = requested && *requested == std::make_pair(low.J, low.p);
    requested = std::make_pair(low.J, low.p);
    auto in_window = [&](double nu) { return block.emin < nu && nu < block.emax; };
    auto write_if_inside = [&](const LevelLine& up, int32_t v_up) {
      const double nu = std::fabs(up.E - low.E);
      if (in_window(nu)) write_transition(out, count++, low.v, low.J, v_up, up.J, nu);
    };

    if (!fresh) {
      request_branch_files(levels, control.B, block.vbmin, block.vbmax, block.branch, low.J, low.p,
                           1);
    }
    if (block.branch == 1) {
      LevelReader q_file("BstateQ.dat");
      for (int64_t i = 0; i < n; ++i) {
        const LevelLine up = q_file.next();
        write_if_inside(up, up.v);
      }
    } else if (block.branch == 2) {
      LevelReader p_file("BstateP.dat");
      LevelReader r_file("BstateR.dat");
      for (int64_t i = 0; i < n; ++i) {
        const LevelLine up_p = p_file.next();
        const LevelLine up_r = r_file.next();
        write_if_inside(up_p, up_r.v);
        write_if_inside(up_r, up_r.v);
      }
    } else {
      LevelReader p_file("BstateP.dat");
      LevelReader q_file("BstateQ.dat");
      LevelReader r_file("BstateR.dat");
      for (int64_t i = 0; i < n; ++i) {
        for (LevelReader* file : {&p_file, &q_file, &r_file}) {
          const LevelLine up = file->next();
          write_if_inside(up, up.v);
        }
      }
    }
  }
  out.close();
}

}  // namespace velk
