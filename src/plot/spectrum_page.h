// The interactive page of a simulated spectrum (velk-plot transitions --html): one HTML file that
// holds its charting library, its script and its data, and opens from the file system with no
// request to any network address.
//
// The sticks of vel_tran.csv by branch colour, the envelope of spectrum.csv and a measured
// spectrum on an axis of its own; zoom, pan, a card per stick, and the assignment of observed
// peaks to lines, saved in velk-fit's observed-data format.
#pragma once

#include <string>

#include "io/line_list_file.h"
#include "plot/intensity_plot.h"
#include "plot/interactive_page.h"

namespace velk::plot {

struct SpectrumPage {
  std::string title;
  const LineListFile* lines = nullptr;
  const Curve* envelope = nullptr;  // spectrum.csv, or none
  const Curve* observed = nullptr;  // --observed FILE, or none
};

// The whole page. A missing library file is an InputError naming the file and the package to
// install: a page without its library would have to fetch one.
std::string spectrum_page_html(const SpectrumPage& page, const PageLibrary& library = {});

}  // namespace velk::plot
