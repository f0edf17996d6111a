#include "plot/picture_layout.h"

#include <charconv>

namespace velk::plot {
namespace {

// Room left of and above the plot area (tick labels, titles), below it (the R or wavenumber
// axis), and the legend column on the right with its gap to the plot area.
constexpr double kLeftMargin = 90.0;
constexpr double kTopMargin = 64.0;
constexpr double kBottomMargin = 70.0;
constexpr double kLegendColumn = 288.0;
constexpr double kLegendGap = 22.0;

std::optional<int> whole_pixels(std::string_view text) {
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<PictureSize> parse_picture_size(std::string_view text) {
  const auto cross = text.find('x');
  if (cross == std::string_view::npos) return std::nullopt;
  const auto width = whole_pixels(text.substr(0, cross));
  const auto height = whole_pixels(text.substr(cross + 1));
  if (!width || !height) return std::nullopt;
  const PictureSize size{static_cast<double>(*width), static_cast<double>(*height)};
  if (size.width < kSmallestPicture.width || size.width > kLargestPicture.width ||
      size.height < kSmallestPicture.height || size.height > kLargestPicture.height) {
    return std::nullopt;
  }
  return size;
}

PictureLayout layout_of(PictureSize size) {
  PictureLayout layout;
  layout.width = size.width;
  layout.height = size.height;
  layout.legend_left = size.width - kLegendColumn;
  layout.frame = Frame{kLeftMargin, kTopMargin, layout.legend_left - kLegendGap - kLeftMargin,
                       size.height - kTopMargin - kBottomMargin};
  return layout;
}

}  // namespace velk::plot
