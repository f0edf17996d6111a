#include "props/linelist_blocks.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <tuple>

#include "io/command_status.h"
#include "io/errors.h"
#include "io/output_file.h"
#include "io/thread_count.h"
#include "props/linelist_files.h"
#include "props/props_files.h"
#include "solver/ordered_jobs.h"

namespace velk::props {
namespace {

using LevelName = std::tuple<int32_t, char, int32_t, int32_t>;  // J, state, p, v

LevelName name_of(const ListedLevel& level) {
  return {level.J, level.state, level.p, level.v};
}

std::string level_text(const ListedLevel& level) {
  return std::to_string(level.J) + " " + level.state + " " + std::to_string(level.p) + " " +
         std::to_string(level.v);
}

std::string exact(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

struct NamedLine {
  ListedLevel upper, lower;
  double A = 0.0;
};

struct Block {
  std::string name;
  int32_t J1 = 0, J2 = 0;
  SolvedList list;  // its own levels; the lines below
  std::vector<NamedLine> lines;
};

[[noreturn]] void malformed(const std::string& file, std::size_t line, const std::string& what) {
  throw InputError(std::string(kPrefix) + "merge: " + file + ", line " + std::to_string(line) +
                   ": expected " + what);
}

std::ifstream open_block_file(const std::string& file) {
  require_file(file, "write it with velk-props linelist --j-range");
  std::ifstream in(file);
  if (!in) throw InputError(std::string(kPrefix) + "merge: cannot open " + file);
  return in;
}

// J state p v, from `in`; false when malformed.
bool read_level_name(std::istringstream& in, ListedLevel& level) {
  std::string state;
  if (!(in >> level.J >> state >> level.p >> level.v)) return false;
  if (state != "A" && state != "B") return false;
  level.state = state[0];
  return level.J >= 0 && level.v >= 0 && (level.p == 0 || level.p == 1);
}

Block read_block(const std::string& name) {
  Block block;
  block.name = name;
  const std::string levels_file = name + ".levels", lines_file = name + ".lines";
  std::ifstream levels = open_block_file(levels_file);
  std::string text;
  std::size_t number = 1;
  const std::string header_form =
      "'# velk-props linelist block J1 J2 ended E Lambda LA LB spins ...'";
  if (!std::getline(levels, text)) malformed(levels_file, number, header_form);
  {
    std::istringstream in(text);
    std::string hash, program, command, word, ended, lambda, spins;
    int ended_flag = 0;
    if (!(in >> hash >> program >> command >> word >> block.J1 >> block.J2 >> ended >> ended_flag >>
          lambda >> block.list.Lambda_A >> block.list.Lambda_B >> spins) ||
        hash != "#" || program != "velk-props" || command != "linelist" || word != "block" ||
        ended != "ended" || lambda != "Lambda" || spins != "spins") {
      malformed(levels_file, number, header_form);
    }
    block.list.ended = ended_flag == 1;
    std::string first;
    if (!(in >> first)) malformed(levels_file, number, header_form);
    if (first != "none") {
      NuclearSpins nuclear;
      int identical = 0;
      std::istringstream values(first);
      if (!(values >> nuclear.I1) || !(in >> nuclear.I2 >> identical)) {
        malformed(levels_file, number, header_form);
      }
      nuclear.identical = identical == 1;
      block.list.spins = nuclear;
    }
    for (std::string word; in >> word;) {
      std::string letter;
      if (word == "quasibound") {
        block.list.quasi_bound = true;
      } else if (word == "within" && in >> letter && (letter == "A" || letter == "B")) {
        block.list.within = letter[0];
      } else {
        malformed(levels_file, number, header_form);
      }
    }
  }
  while (std::getline(levels, text)) {
    ++number;
    std::istringstream in(text);
    ListedLevel level;
    std::string energy;
    if (!read_level_name(in, level) || !(in >> energy)) {
      malformed(levels_file, number, "J state p v E");
    }
    const auto result = std::from_chars(energy.data(), energy.data() + energy.size(), level.E);
    if (result.ec != std::errc() || result.ptr != energy.data() + energy.size() ||
        level.J < block.J1 || level.J > block.J2) {
      malformed(levels_file, number, "J state p v E with J in the block's range");
    }
    if (std::string width; in >> width) {
      double half_width = 0.0;
      const auto read = std::from_chars(width.data(), width.data() + width.size(), half_width);
      if (!block.list.quasi_bound || read.ec != std::errc() ||
          read.ptr != width.data() + width.size()) {
        malformed(levels_file, number, "J state p v E, and a half-width in a quasibound block");
      }
      level.half_width = half_width;
    }
    level.index = block.list.levels.size();
    block.list.levels.push_back(level);
  }
  std::ifstream lines = open_block_file(lines_file);
  number = 0;
  while (std::getline(lines, text)) {
    ++number;
    std::istringstream in(text);
    ListedLevel upper, lower;
    std::string A;
    if (!read_level_name(in, upper) || !read_level_name(in, lower) || !(in >> A)) {
      malformed(lines_file, number, "J state p v of the upper level, of the lower level, and A");
    }
    NamedLine line{upper, lower, 0.0};
    const auto result = std::from_chars(A.data(), A.data() + A.size(), line.A);
    if (result.ec != std::errc() || result.ptr != A.data() + A.size() || upper.J < block.J1 ||
        upper.J > block.J2) {
      malformed(lines_file, number,
                "an Einstein coefficient after the two levels, the upper in the block's range");
    }
    block.lines.push_back(line);
  }
  return block;
}

}  // namespace

std::pair<std::size_t, std::size_t> write_block(const SolvedList& list, int32_t J1, int32_t J2,
                                                const std::string& name) {
  const auto inside = [&](const ListedLevel& level) { return level.J >= J1 && level.J <= J2; };
  OutputFile levels(name + ".levels");
  std::string header = "# velk-props linelist block " + std::to_string(J1) + " " +
                       std::to_string(J2) + " ended " + (list.ended ? "1" : "0") + " Lambda " +
                       std::to_string(list.Lambda_A) + " " + std::to_string(list.Lambda_B) +
                       " spins ";
  if (list.spins) {
    header += exact(list.spins->I1) + " " + exact(list.spins->I2) + " " +
              (list.spins->identical ? "1" : "0");
  } else {
    header += "none";
  }
  if (list.quasi_bound) header += " quasibound";
  if (list.within != 0) header += std::string(" within ") + list.within;
  levels.line(header);
  std::size_t level_count = 0, line_count = 0;
  for (const ListedLevel& level : list.levels) {
    if (!inside(level)) continue;
    levels.line(level_text(level) + " " + exact(level.E) +
                (level.half_width ? " " + exact(*level.half_width) : std::string()));
    ++level_count;
  }
  OutputFile lines(name + ".lines");
  for (const ListedLine& line : list.lines) {
    if (!inside(list.levels[line.upper])) continue;
    lines.line(level_text(list.levels[line.upper]) + " " + level_text(list.levels[line.lower]) +
               " " + exact(line.A));
    ++line_count;
  }
  levels.close();
  lines.close();
  return {level_count, line_count};
}

void check_states_fields(const LineList& list, const std::string& name) {
  // The energy field of NAME.states (F12.6) ends at 99999.999999 cm-1: a wider figure would
  // shift every column after it, and a reader by columns would take wrong numbers.
  for (std::size_t k = 0; k < list.levels.size(); ++k) {
    if (list.energies[k] < 99999.9999995) continue;
    const ListedLevel& level = list.levels[k];
    throw InputError(std::string(kPrefix) + "linelist: " + name + ".states: the level (" +
                     level.state + " v=" + std::to_string(level.v) +
                     " J=" + std::to_string(level.J) +
                     ") lies 100000 cm-1 or more above the lowest level, beyond the energy field "
                     "of the file; no file was written");
  }
}

void write_exomol_files(const LineList& list, const std::string& name, int32_t tmax, int threads) {
  const std::string outputs[] = {name + ".states", name + ".trans", name + ".pf"};
  OutputFile states(outputs[0]), trans(outputs[1]), pf(outputs[2]);
  // Q(T) costs an exponential for each level at each T, more than writing the other files: the
  // other threads sum it meanwhile, and this one joins them when it has written those. Each Q(T)
  // is summed whole by one thread, so its digits are the same for any number of threads.
  std::vector<double> Q(static_cast<std::size_t>(tmax));
  std::atomic<int32_t> next_T = 1;
  const auto sum_Q = [&] {
    constexpr int32_t kTemperaturesAtOnce = 16;
    for (;;) {
      const int32_t first = next_T.fetch_add(kTemperaturesAtOnce);
      if (first > tmax) return;
      for (int32_t T = first; T <= std::min(tmax, first + kTemperaturesAtOnce - 1); ++T) {
        Q[static_cast<std::size_t>(T - 1)] = partition_function(list, T);
      }
    }
  };
  {
    std::vector<std::jthread> helpers;
    {
      const SignalsKeptFromNewThreads interrupts_stay_here;
      for (int k = 1; k < threads; ++k) helpers.emplace_back(sum_Q);
    }
    write_states(list, list.Lambda_A, list.Lambda_B, states);
    write_trans(list, trans);
    sum_Q();
  }
  write_pf(Q, pf);
  states.close();
  trans.close();
  pf.close();
  say(std::string(kPrefix) + "wrote " + outputs[0] + ", " + outputs[1] + ", " + outputs[2] + " (" +
      std::to_string(list.levels.size()) + " levels, " + std::to_string(list.lines.size()) +
      " lines)");
}

namespace {

SolvedList merged_blocks(std::vector<Block>& blocks) {
  std::sort(blocks.begin(), blocks.end(),
            [](const Block& a, const Block& b) { return a.J1 < b.J1; });
  SolvedList merged;
  merged.Lambda_A = blocks.front().list.Lambda_A;
  merged.Lambda_B = blocks.front().list.Lambda_B;
  merged.spins = blocks.front().list.spins;
  merged.quasi_bound = blocks.front().list.quasi_bound;
  merged.within = blocks.front().list.within;
  int32_t next_J = 0;
  for (const Block& block : blocks) {
    const SolvedList& list = block.list;
    const bool same_spins =
        list.spins.has_value() == merged.spins.has_value() &&
        (!list.spins || (list.spins->I1 == merged.spins->I1 && list.spins->I2 == merged.spins->I2 &&
                         list.spins->identical == merged.spins->identical));
    if (list.Lambda_A != merged.Lambda_A || list.Lambda_B != merged.Lambda_B || !same_spins ||
        list.quasi_bound != merged.quasi_bound || list.within != merged.within) {
      throw InputError(std::string(kPrefix) + "merge: " + block.name +
                       ".levels: another pair of states, other nuclear spins or other options "
                       "(--quasibound, --within) than " +
                       blocks.front().name + ".levels");
    }
    if (block.J1 != next_J) {
      throw InputError(std::string(kPrefix) + "merge: the blocks do not join: " + block.name +
                       " begins at J = " + std::to_string(block.J1) + ", the J before end at " +
                       std::to_string(next_J - 1) + " (J from 0, no gap, no overlap)");
    }
    next_J = block.J2 + 1;
    for (ListedLevel level : list.levels) {
      level.index = merged.levels.size();
      merged.levels.push_back(level);
    }
  }
  if (!blocks.back().list.ended) {
    throw InputError(std::string(kPrefix) + "merge: " + blocks.back().name +
                     " ends at J = " + std::to_string(blocks.back().J2) +
                     " but the list goes on: add the block of the J beyond");
  }
  std::map<LevelName, std::size_t> index;
  for (std::size_t k = 0; k < merged.levels.size(); ++k) index[name_of(merged.levels[k])] = k;
  for (const Block& block : blocks) {
    for (const NamedLine& line : block.lines) {
      const auto upper = index.find(name_of(line.upper));
      const auto lower = index.find(name_of(line.lower));
      if (upper == index.end() || lower == index.end()) {
        throw InputError(
            std::string(kPrefix) + "merge: " + block.name + ".lines: a line names level (" +
            level_text(upper == index.end() ? line.upper : line.lower) + ") that no block lists");
      }
      merged.lines.push_back(ListedLine{upper->second, lower->second, line.A});
    }
  }
  return merged;
}

}  // namespace

int run_merge_command(std::span<const std::string> arguments) {
  std::string out_name;
  int32_t tmax = 5000;
  HitranOptions hitran;
  bool csv = false;
  std::vector<std::string> names;
  std::string refusal;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-h" || argument == "--help") {
      say("usage: velk-props merge --name OUT [--tmax T] [--temperature T] [--hitran-id M I]");
      say("                        [--csv] NAME1 NAME2 ...");
      say("  joins the blocks NAME.levels, NAME.lines of velk-props linelist --j-range into");
      say("  OUT.states, OUT.trans, OUT.pf, OUT.par (and OUT.csv), the files of one run over");
      say("  every J (give the options of that run)");
      return 0;
    }
    if (argument == "--name" && i + 1 < arguments.size()) {
      out_name = arguments[++i];
    } else if (argument == "--tmax" && i + 1 < arguments.size()) {
      const std::string& text = arguments[++i];
      const auto result = std::from_chars(text.data(), text.data() + text.size(), tmax);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size() || tmax < 1 ||
          tmax > 1000000) {
        refusal = "--tmax wants a whole number of kelvin from 1 to 1000000, not '" + text + "'";
      }
    } else if (argument == "--temperature" && i + 1 < arguments.size()) {
      const std::string& text = arguments[++i];
      const auto result =
          std::from_chars(text.data(), text.data() + text.size(), hitran.temperature);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
          !(hitran.temperature > 0.0) || !std::isfinite(hitran.temperature)) {
        refusal = "--temperature wants a temperature in K above 0, not '" + text + "'";
      }
    } else if (argument == "--hitran-id" && i + 2 < arguments.size()) {
      const std::string& M = arguments[++i];
      const std::string& I = arguments[++i];
      const auto m = std::from_chars(M.data(), M.data() + M.size(), hitran.molecule_id);
      const auto n = std::from_chars(I.data(), I.data() + I.size(), hitran.isotopologue_id);
      if (m.ec != std::errc() || m.ptr != M.data() + M.size() || n.ec != std::errc() ||
          n.ptr != I.data() + I.size() || hitran.molecule_id < 0 || hitran.molecule_id > 99 ||
          hitran.isotopologue_id < 0 || hitran.isotopologue_id > 9) {
        refusal = "--hitran-id wants a molecule id 0..99 and an isotopologue id 0..9, not '" + M +
                  " " + I + "'";
      }
    } else if (argument == "--csv") {
      csv = true;
    } else if (argument.starts_with('-')) {
      refusal = "unknown argument '" + argument + "'";
    } else {
      names.push_back(argument);
    }
  }
  if (refusal.empty() && (out_name.empty() || out_name.find('/') != std::string::npos)) {
    refusal = "--name OUT wants a file stem without '/'";
  }
  if (refusal.empty() && names.empty()) refusal = "name the blocks to join";
  if (!refusal.empty()) {
    say(std::string(kPrefix) + "merge: " + refusal + " (velk-props merge --help)");
    std::cout.flush();
    return 2;
  }
  const int status = ending_status({kPrefix, say}, [&] {
    std::vector<Block> blocks;
    for (const std::string& name : names) {
      if (name == out_name) {
        throw InputError(std::string(kPrefix) + "merge: the output " + out_name +
                         " is also a block to join");
      }
      blocks.push_back(read_block(name));
    }
    write_list_files(merged_blocks(blocks), out_name,
                     {tmax, threads_or_one_per_core(0), hitran, true, csv});
    return 0;
  });
  std::cout.flush();
  return status;
}

}  // namespace velk::props
