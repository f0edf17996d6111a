// potext.out: the report of the long-range extension fit of a pointwise curve, written by the run
// for each build of a curve that fits an extension, in the folder the run works in. The level
// driver builds a state's curve twice (for toadd and for the levels), so the file is written twice
// with the same report; a stop between the two leaves the first.
#pragma once

#include "pec/extension_fit.h"

namespace velk {

// The handler that writes each report to potext.out, replacing the file whole. The file is made
// ready before the fit (a potext.out that cannot be replaced stops the run with an InputError
// before the fit can report a failure) and closed once the report is written.
ExtensionReportHandler potext_writer();

}  // namespace velk
