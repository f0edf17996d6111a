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

namespace velk::plot {

// Where the charting library is read when the page is written. dygraphs draws on a canvas and
// has zoom, pan and a second axis built in; its plotters let the page draw each view from the
// full data with one stroke per pixel column (see spectrum_page.js).
struct PageLibrary {
  std::string name = "dygraphs";
  std::string package = "libjs-dygraphs";  // the Debian package that installs it
  std::string script = "/usr/share/javascript/dygraphs/dygraph.min.js";
  std::string style = "/usr/share/javascript/dygraphs/dygraph.min.css";
  std::string licence = "/usr/share/doc/libjs-dygraphs/copyright";
};

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
