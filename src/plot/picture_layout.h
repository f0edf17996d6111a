// The size of a picture and where its parts go. The plot area keeps fixed margins for the titles
// and axis labels and leaves a column of fixed width on the right for the legend, so a larger
// picture gives the data more room and the texts keep their size.
#pragma once

#include <optional>
#include <string_view>

#include "plot/svg_writer.h"

namespace velk::plot {

// In pixels. The default is the size every picture had before the size could be chosen.
struct PictureSize {
  double width = 1000.0;
  double height = 600.0;
};

// Below this the legend would overlap the plot area or the axis labels would crowd; above it
// no viewer shows the picture at once.
inline constexpr PictureSize kSmallestPicture{700.0, 400.0};
inline constexpr PictureSize kLargestPicture{20000.0, 20000.0};

// "WIDTHxHEIGHT" in whole pixels, such as "1600x900", within the two limits; nothing otherwise.
std::optional<PictureSize> parse_picture_size(std::string_view text);

struct PictureLayout {
  double width = 0.0, height = 0.0;
  Frame frame;               // the plot area
  double legend_left = 0.0;  // left edge of the legend column
};

PictureLayout layout_of(PictureSize size);

}  // namespace velk::plot
