// The picture of a fit's residuals: the normalised residual (obs - calc)/uncertainty of each
// observed line against J, one colour per group of lines that share what the fit can get wrong
// together (a fluorescence series; the band of one upper v and one lower v of the same states;
// the term values of one v of a state), with the levels ±1 (the stated uncertainty) and ±4 (where
// velk-fit's report calls a line an outlier) marked.
//
// J is the upper J of a term value and the lower J of a line, since a fluorescence series shares
// its upper level and differs by its lower one; the x axis label says which the picture holds.
#pragma once

#include <string>
#include <vector>

#include "plot/picture_layout.h"
#include "plot/residual_table.h"

namespace velk::plot {

// The normalised residual beyond which velk-fit reports a line as an outlier.
inline constexpr double kOutlierLimit = 4.0;

struct ResidualGroup {
  std::string label;  // as the legend shows it
  std::vector<std::size_t> rows;
};

// The groups in the order of their first row in the table.
std::vector<ResidualGroup> residual_groups(const ResidualTable& table);

// The J a row is drawn at.
int drawn_J(const ResidualRow& row);

// The x axis label: which J the points are drawn at.
std::string residual_x_axis_label(const ResidualTable& table);

// The colour of the k-th group: ten well-separated colours, then hues spread by the golden angle.
std::string group_colour(std::size_t k);

std::string residual_plot_svg(const ResidualTable& table, PictureSize size = {});

}  // namespace velk::plot
