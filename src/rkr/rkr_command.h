// velk-rkr: a Dunham file's constants turned into a pointwise potential curve by the first-order
// RKR inversion (rkr_curve.h), written for velk, with the round trip of --check (rkr_check.h).
//
// Exit status: 0 written, 1 a stop (a curve no potential file can hold, a stop of the level
// service in --check), 2 bad arguments or a missing or malformed input (nothing written),
// 3 internal error. Messages go to standard output, warnings ("velk-rkr: warning: ...") and
// argument refusals to standard error.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "rkr/rkr_curve.h"

namespace velk::rkr {

struct RkrRequest {
  std::string dunham_file;
  std::string out_file;  // default: the Dunham file's stem + "_rkr.pot", in the working directory
  RkrOptions options;
  bool masses_given = false;
  bool check = false;
  bool help = false, version = false;
  std::string refusal;  // the first problem of the arguments, a whole message
};

RkrRequest parse_rkr_arguments(std::span<const std::string> arguments);

// The whole program; returns the exit status.
int run_velk_rkr(std::span<const std::string> arguments);

}  // namespace velk::rkr
