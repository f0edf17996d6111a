// The command that turns a line list into intensities and a simulated spectrum, run in the
// working directory of a finished velk run after velk-props transitions:
//
//   <program> [--temperature T] [--shape gauss|lorentz|voigt] [--fwhm W]
//             [--absorption | --emission] [--photons] [--spin-weights g_even,g_odd]
//             [--mass M] [--levels FILE] [--linelist NAME]
//
// It reads vel_tran.csv, velk.inf (Λ of both states from their data files, the molecular mass),
// vel_tran.out's header (which run wrote the list) and, for absorption, the lower state's level
// file (Astate.dat unless --levels names another); adds the columns HL, intensity and A_einstein
// to vel_tran.csv and writes spectrum.csv (wavenumber,intensity). The program's name in every
// message is a parameter, so that it speaks as "velk-props spectrum".
//
// With --linelist NAME it reads the complete list NAME.states, NAME.trans of velk-props linelist
// instead, populates every level of it by its Boltzmann factor (linelist_intensities.h: emission
// from every upper level at once, or absorption) and writes spectrum.csv alone; the molecular
// mass comes from --mass or velk.inf.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "spectrum/line_intensity.h"
#include "spectrum/line_shape.h"
#include "spectrum/populations.h"

namespace velk::spectrum {

struct SpectrumRequest {
  double temperature = 300.0;  // K
  ShapeKind shape = ShapeKind::Gauss;
  double fwhm = 0.0;                 // cm-1: instrument (Gauss) or Lorentzian (Lorentz, Voigt)
  std::optional<SpectrumMode> mode;  // nothing: emission for a known-level run, else absorption
  bool photons = false;
  SpinWeights spin_weights;
  std::optional<double> mass;  // u, molecular mass; default from velk.inf
  std::string levels_file;     // empty: Astate.dat
  bool spin_weights_given = false;
  std::string linelist;  // NAME of a complete list NAME.states, NAME.trans; empty: vel_tran.csv
  bool help = false;
  std::string refusal;  // a bad option or value, one line
};

SpectrumRequest parse_spectrum_arguments(std::span<const std::string> arguments,
                                         std::string_view program);

// Runs the command with its arguments (without the program's words) and returns the exit status:
// 0 written (or --help), 2 a missing or malformed file or bad arguments, 3 an internal error.
int run_spectrum_command(std::span<const std::string> arguments,
                         std::string_view program = "velk-props spectrum");

}  // namespace velk::spectrum
