// The command line of `velk-props fcf`: --J J [--v-upper V1 V2] [--v-lower V1 V2].
// Bad arguments are refused with status 2 before anything is read.
#pragma once

#include <span>
#include <string>

namespace velk::props {

int run_fcf_command(std::span<const std::string> arguments);

}  // namespace velk::props
