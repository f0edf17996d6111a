// The picture of a transition list: the lines of vel_tran.out as a stick spectrum.
//
// Every transition is a short vertical stick at its wavenumber (cm-1, x axis) in the row of its
// upper level v' (y axis), coloured by its branch. The branch follows from the rotational
// quantum numbers of the line (branch_of, io). Where several branches
// are present each row is shared among them, P at the bottom and R at the top, so that lines only
// a fraction of a pixel apart still show every colour.
#pragma once

#include <string>

#include "io/transition_file.h"
#include "plot/picture_layout.h"

namespace velk::plot {

// A header line as the subtitle shows it: "Known level: v = 6, J = 27, p = 1, E = 21187.88166
// cm-1", "Range: 20400 to 20450 cm-1" (the shortest digits that give the same numbers), and the
// data file lines with a blank after the colon.
std::string readable_header_line(const std::string& text);

// The whole SVG picture, of the given size; a list without transition lines has nothing to draw
// (InputError).
std::string spectrum_plot_svg(const TransitionFileData& data, PictureSize size = {});

}  // namespace velk::plot
