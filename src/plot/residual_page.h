// The interactive page of a fit's residuals (velk-plot residuals --html): the points of
// residuals.svg, grouped and coloured as there, with zoom, pan and a card per point that names
// the row's assignment, obs, calc, obs - calc, the normalised residual and the uncertainty. One
// HTML file that holds its charting library, script and data, and asks no network address.
#pragma once

#include <string>

#include "plot/interactive_page.h"
#include "plot/residual_table.h"

namespace velk::plot {

std::string residual_page_html(const ResidualTable& table, const PageLibrary& library = {});

}  // namespace velk::plot
