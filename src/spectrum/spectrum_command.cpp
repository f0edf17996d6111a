#include "spectrum/spectrum_command.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <span>
#include <vector>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/exomol_files.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/line_list_file.h"
#include "io/output_file.h"
#include "io/run_file_check.h"
#include "io/run_folder.h"
#include "io/state_records.h"
#include "io/warning.h"
#include "pec/potential_header.h"
#include "run/dunham.h"
#include "spectrum/honl_london.h"
#include "spectrum/linelist_intensities.h"

namespace velk::spectrum {
namespace {

void print_help(std::string_view program) {
  const std::string p(program);
  console_line("usage: " + p + " [options]");
  console_line("  run in the working directory of a velk run after velk-props transitions:");
  console_line("  adds HL, intensity and A_einstein to vel_tran.csv and writes spectrum.csv");
  console_line("options:");
  console_line("  --temperature T        K, for populations and Doppler widths (default 300)");
  console_line("  --shape gauss|lorentz|voigt   line shape (default gauss)");
  console_line("  --fwhm W               cm-1: instrument FWHM (gauss) or Lorentzian FWHM");
  console_line("                         (lorentz, voigt); default 0");
  console_line("  --absorption           lines from thermal lower levels (default unless the");
  console_line("                         run was a fluorescence run from a known upper level)");
  console_line("  --emission             lines from the one upper level");
  console_line(
      "  --photons              emission in photon counts (nu^3) instead of energy (nu^4)");
  console_line("  --spin-weights E,O     nuclear-spin weights of even and odd J'' (default 1,1)");
  console_line("  --mass M               molecular mass in u for the Doppler width (default 4 mu,");
  console_line("                         exact for a homonuclear molecule)");
  console_line("  --levels FILE          lower-state level file for the populations (Astate.dat)");
  console_line(
      "  --linelist NAME        the spectrum of the complete list NAME.states, NAME.trans");
  console_line("                         of velk-props linelist, every level populated at T");
  console_line("                         (--emission: from every upper level); spectrum.csv only");
  console_line("  -h, --help             this text");
  console_line("exit status: 0 written, 2 a missing or malformed file or bad arguments,");
  console_line("  3 internal error.");
}

std::optional<double> positive_number(std::string_view text, bool zero_allowed) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value) || value < 0.0 || (!zero_allowed && value == 0.0)) {
    return std::nullopt;
  }
  return value;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

struct StateFacts {
  int32_t Lambda = 0;
  std::optional<double> reduced_mass;  // u; none for a Dunham state
};

StateFacts state_facts(const StateInput& state) {
  const std::string file = trimmed(state.file);
  StateFacts facts;
  if (state.kind == 'd') {
    facts.Lambda = static_cast<int32_t>(std::lround(read_dunham_file(file).dunham_lambda));
    return facts;
  }
  const PotentialHeader header = read_potential_header(file);
  facts.Lambda = header.Lambda;
  if (state.mass_index >= 1 && state.mass_index <= 5) {
    facts.reduced_mass = header.masses[static_cast<std::size_t>(state.mass_index - 1)];
  }
  return facts;
}

// A fluorescence run: the known-level run whose computed levels are those of state A, so that
// the known level is the upper one. vel_tran.out's header tells the run and names the computed
// state's data file.
bool known_upper_level(const StateRecords& states) {
  std::error_code error;
  if (!std::filesystem::exists(resolved_file_name("vel_tran.out"), error)) return false;
  FreeFormatReader in("vel_tran.out");
  const std::optional<std::string> first = in.try_read_line();
  if (!first || first->find("Known level:") == std::string::npos) return false;
  const std::string second = in.try_read_line().value_or("");
  const auto colon = second.find(':');
  if (colon == std::string::npos) return false;
  return trimmed(second.substr(colon + 1)) == trimmed(states.A.file);
}

std::string lines_text(int count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

// The molecular mass of the Doppler widths: --mass, else 4μ of a potential file.
double doppler_mass(const SpectrumRequest& request, const std::string& prefix,
                    std::optional<double> reduced_mass) {
  double mass = 0.0;
  if (request.mass) {
    mass = *request.mass;
  } else if (reduced_mass) {
    mass = 4.0 * *reduced_mass;
  } else {
    throw InputError(prefix +
                     "both states are Dunham states, which give no mass: give the molecular "
                     "mass for the Doppler width with --mass M (u)");
  }
  if (!(mass > 0.0)) throw InputError(prefix + "the molecular mass must be positive");
  return mass;
}

void refuse_shape_without_width(const SpectrumRequest& request, const std::string& prefix) {
  if (request.shape != ShapeKind::Gauss && !(request.fwhm > 0.0)) {
    throw InputError(prefix + "--shape lorentz and voigt need a Lorentzian width --fwhm W > 0");
  }
}

StickLine stick_of(double wavenumber, double intensity, const SpectrumRequest& request,
                   double mass) {
  LineWidth width;
  const double doppler = request.shape != ShapeKind::Lorentz
                             ? doppler_fwhm(wavenumber, request.temperature, mass)
                             : 0.0;
  if (request.shape == ShapeKind::Gauss) {
    width.gauss_fwhm = std::sqrt(doppler * doppler + request.fwhm * request.fwhm);
  } else {
    width.gauss_fwhm = doppler;
    width.lorentz_fwhm = request.fwhm;
  }
  return {wavenumber, intensity, width};
}

// spectrum.csv, whole, once every value is known to be finite.
SampledSpectrum write_spectrum_file(std::span<const StickLine> sticks, ShapeKind shape,
                                    const std::string& prefix) {
  const SampledSpectrum spectrum = sample_spectrum(sticks, shape);
  if (spectrum.coarsened) {
    warn("the spectrum was sampled more coarsely than the narrowest line, to stay within " +
         std::to_string(SamplingOptions{}.max_points) + " points");
  }
  for (const double value : spectrum.values) {
    if (!std::isfinite(value)) {
      throw InputError(prefix +
                       "spectrum.csv: the profile came out with a value that is not a "
                       "finite number; nothing was written");
    }
  }
  OutputFile out("spectrum.csv");
  out.line("wavenumber,intensity");
  for (std::size_t i = 0; i < spectrum.values.size(); ++i) {
    out.line(shortest_decimal(spectrum.wavenumber(i)) + "," + shortest_decimal(spectrum.values[i]));
  }
  out.close();
  return spectrum;
}

// The spectrum of a complete line list: every level populated at the temperature.
void run_line_list(const SpectrumRequest& request, std::string_view program) {
  const std::string prefix = std::string(program) + ": ";
  const ExomolList list = read_exomol_list(request.linelist, program);
  if (list.states.empty()) {
    throw InputError(prefix + request.linelist + ".states: expected at least one level");
  }
  const SpectrumMode mode = request.mode.value_or(SpectrumMode::Absorption);
  const bool needs_mass = request.shape != ShapeKind::Lorentz;
  double mass = 0.0;
  if (needs_mass) {
    std::optional<double> reduced_mass;
    if (!request.mass) {
      require_run_file(program, "velk.inf",
                       "give the molecular mass with --mass M (u), or run " + std::string(program) +
                           " where velk-props linelist ran");
      const StateRecords states = read_state_records("velk.inf");
      const StateFacts lower = state_facts(states.A), upper = state_facts(states.B);
      reduced_mass = lower.reduced_mass ? lower.reduced_mass : upper.reduced_mass;
    }
    mass = doppler_mass(request, prefix, reduced_mass);
  }
  refuse_shape_without_width(request, prefix);

  const ListIntensities intensities =
      list_intensities(list, request.temperature, {mode, request.photons});
  std::vector<StickLine> sticks;
  for (std::size_t k = 0; k < list.lines.size(); ++k) {
    if (!(intensities.intensity[k] > 0.0)) continue;
    sticks.push_back(stick_of(intensities.wavenumber[k], intensities.intensity[k], request, mass));
  }
  const SampledSpectrum spectrum = write_spectrum_file(sticks, request.shape, prefix);
  std::string summary = prefix + (mode == SpectrumMode::Absorption ? "absorption" : "emission");
  summary += " of the line list " + request.linelist + " at " +
             shortest_decimal(request.temperature) + " K, Q = " + shortest_decimal(intensities.Q);
  if (needs_mass) summary += ", M = " + shortest_decimal(mass) + " u";
  console_line(summary);
  console_line(prefix + "wrote spectrum.csv (" + std::to_string(sticks.size()) + " of " +
               std::to_string(list.lines.size()) + " lines with intensities, " +
               std::to_string(spectrum.values.size()) + " points, step " +
               shortest_decimal(spectrum.step) + " cm-1)");
}

void run(const SpectrumRequest& request, std::string_view program) {
  const std::string prefix = std::string(program) + ": ";
  const LineListFile table = read_line_list_file("vel_tran.csv", program);
  require_run_file(program, "velk.inf",
                   "run " + std::string(program) + " in the working directory of a velk run");
  const StateRecords states = read_state_records("velk.inf");
  // vel_tran.csv is rewritten on purpose; no other input may be replaced.
  const std::string outputs[] = {"spectrum.csv", "vel_tran.csv"};
  refuse_input_named_like_output(program, "the data file of state A", states.A.file, outputs);
  refuse_input_named_like_output(program, "the data file of state B", states.B.file, outputs);
  if (!request.levels_file.empty()) {
    refuse_input_named_like_output(program, "the level file", request.levels_file, outputs);
  }
  const StateFacts lower = state_facts(states.A), upper = state_facts(states.B);

  const SpectrumMode mode = request.mode.value_or(
      known_upper_level(states) ? SpectrumMode::Emission : SpectrumMode::Absorption);
  const IntensityRequest intensity_request{mode, request.photons};

  std::vector<LevelLine> lower_levels;
  std::optional<Populations> populations;
  if (mode == SpectrumMode::Absorption) {
    const std::string file = request.levels_file.empty() ? "Astate.dat" : request.levels_file;
    const LevelListing listing = read_level_listing(file, program);
    for (const ListedLevel& level : listing.levels) lower_levels.push_back(level);
    if (lower_levels.empty()) throw InputError(prefix + file + ": no levels for the populations");
    populations.emplace(lower_levels, request.temperature, request.spin_weights, lower.Lambda);
  }

  const bool needs_mass = request.shape != ShapeKind::Lorentz;
  const double mass =
      needs_mass ? doppler_mass(request, prefix,
                                lower.reduced_mass ? lower.reduced_mass : upper.reduced_mass)
                 : 0.0;
  refuse_shape_without_width(request, prefix);

  std::vector<AddedCells> added(table.rows.size());
  std::vector<StickLine> sticks;
  int without_population = 0, without_vibration = 0, forbidden = 0;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const LineListRow& row = table.rows[r];
    LineFactors factors;
    factors.wavenumber = row.wavenumber;
    factors.HL = honl_london({row.upper_J, row.lower_J, upper.Lambda, lower.Lambda});
    factors.J_upper = row.upper_J;
    factors.J_lower = row.lower_J;
    factors.moment = row.moment;
    factors.FCF = row.FCF;
    if (populations) {
      factors.lower_fraction = populations->fraction(row.lower_v, row.lower_J, row.lower_p);
      if (!factors.lower_fraction) ++without_population;
    }
    if (!row.moment && !row.FCF) ++without_vibration;
    if (factors.HL == 0.0) ++forbidden;
    added[r].HL = factors.HL;
    added[r].intensity = line_intensity(factors, intensity_request);
    if (row.moment) {
      added[r].A_einstein = einstein_A(row.wavenumber, factors.HL, row.upper_J, *row.moment);
    }
    if (!added[r].intensity || *added[r].intensity <= 0.0) continue;
    sticks.push_back(stick_of(row.wavenumber, *added[r].intensity, request, mass));
  }
  if (without_population > 0) {
    warn(lines_text(without_population) +
         " from a level that the lower-state level file does not list: no "
         "intensity");
  }
  if (without_vibration > 0) {
    warn(lines_text(without_vibration) +
         " with neither FCF nor moment (Dunham states): vibrational factor 1");
  }
  if (forbidden > 0) {
    warn(lines_text(forbidden) + " with a Hönl–London factor of 0 for Λ'' = " +
         std::to_string(lower.Lambda) + ", Λ' = " + std::to_string(upper.Lambda));
  }

  const SampledSpectrum spectrum = write_spectrum_file(sticks, request.shape, prefix);
  write_line_list_file(table, added, "vel_tran.csv");

  std::string summary = prefix + (mode == SpectrumMode::Absorption ? "absorption" : "emission");
  summary += " at " + shortest_decimal(request.temperature) + " K";
  if (populations) summary += ", Q = " + shortest_decimal(populations->partition_function());
  if (needs_mass) summary += ", M = " + shortest_decimal(mass) + " u";
  console_line(summary);
  console_line(prefix + "wrote vel_tran.csv (" + std::to_string(sticks.size()) + " of " +
               std::to_string(table.rows.size()) + " lines with intensities) and spectrum.csv (" +
               std::to_string(spectrum.values.size()) + " points, step " +
               shortest_decimal(spectrum.step) + " cm-1)");
}

}  // namespace

SpectrumRequest parse_spectrum_arguments(std::span<const std::string> arguments,
                                         std::string_view program) {
  SpectrumRequest request;
  const std::string hint = " (" + std::string(program) + " --help lists the options)";
  const auto refuse = [&](const std::string& message) {
    if (request.refusal.empty()) request.refusal = std::string(program) + ": " + message + hint;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const auto take_value = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 < arguments.size()) return arguments[++i];
      refuse(name + " wants a value");
      return std::nullopt;
    };
    if (name == "-h" || name == "--help") {
      request.help = true;
    } else if (name == "--absorption" || name == "--emission") {
      const SpectrumMode mode =
          name == "--absorption" ? SpectrumMode::Absorption : SpectrumMode::Emission;
      if (request.mode && *request.mode != mode)
        refuse("--absorption and --emission exclude each other");
      request.mode = mode;
    } else if (name == "--photons") {
      request.photons = true;
    } else if (name == "--temperature") {
      if (const auto text = take_value()) {
        if (const auto T = positive_number(*text, false)) {
          request.temperature = *T;
        } else {
          refuse("--temperature wants a temperature in K above 0, not '" + *text + "'");
        }
      }
    } else if (name == "--fwhm") {
      if (const auto text = take_value()) {
        if (const auto W = positive_number(*text, true)) {
          request.fwhm = *W;
        } else {
          refuse("--fwhm wants a width in cm-1 of 0 or more, not '" + *text + "'");
        }
      }
    } else if (name == "--mass") {
      if (const auto text = take_value()) {
        if (const auto M = positive_number(*text, false)) {
          request.mass = *M;
        } else {
          refuse("--mass wants a mass in u above 0, not '" + *text + "'");
        }
      }
    } else if (name == "--shape") {
      if (const auto text = take_value()) {
        if (*text == "gauss") {
          request.shape = ShapeKind::Gauss;
        } else if (*text == "lorentz") {
          request.shape = ShapeKind::Lorentz;
        } else if (*text == "voigt") {
          request.shape = ShapeKind::Voigt;
        } else {
          refuse("--shape wants gauss, lorentz or voigt, not '" + *text + "'");
        }
      }
    } else if (name == "--spin-weights") {
      if (const auto text = take_value()) {
        const auto comma = text->find(',');
        const auto even = comma == std::string::npos
                              ? std::nullopt
                              : positive_number(std::string_view(*text).substr(0, comma), true);
        const auto odd = comma == std::string::npos
                             ? std::nullopt
                             : positive_number(std::string_view(*text).substr(comma + 1), true);
        if (even && odd && (*even > 0.0 || *odd > 0.0)) {
          request.spin_weights = {*even, *odd};
          request.spin_weights_given = true;
        } else {
          refuse("--spin-weights wants g_even,g_odd, two weights of 0 or more, not '" + *text +
                 "'");
        }
      }
    } else if (name == "--levels") {
      if (const auto text = take_value()) request.levels_file = *text;
    } else if (name == "--linelist") {
      if (const auto text = take_value()) {
        request.linelist = *text;
        if (text->empty()) refuse("--linelist wants the name of a line list (NAME of NAME.states)");
      }
    } else {
      refuse("unknown option or word '" + arguments[i] + "'");
    }
  }
  if (!request.linelist.empty() && (!request.levels_file.empty() || request.spin_weights_given)) {
    refuse(
        "--linelist takes the populations from the list's own levels and weights: it does "
        "not go with --levels or --spin-weights");
  }
  if (request.photons && request.mode == SpectrumMode::Absorption) {
    refuse("--photons counts emitted photons: it does not go with --absorption");
  }
  return request;
}

int run_spectrum_command(std::span<const std::string> arguments, std::string_view program) {
  const SpectrumRequest request = parse_spectrum_arguments(arguments, program);
  if (request.help) {
    print_help(program);
    std::cout.flush();
    return 0;
  }
  if (!request.refusal.empty()) {
    std::cerr << request.refusal << '\n';
    return 2;
  }
  const std::string prefix = std::string(program) + ": ";
  const int status = ending_status({prefix, console_line}, [&] {
    if (request.linelist.empty()) {
      run(request, program);
    } else {
      run_line_list(request, program);
    }
    return 0;
  });
  std::cout.flush();
  return status;
}

}  // namespace velk::spectrum
