// Which way a grid array runs. Potentials are always tabulated from small to large radius; the
// effective potential and the solver may work on the mirrored array, point 1 at the largest
// radius, as the run's direction flag asks ('n' forward, 'y' reversed).
#pragma once

namespace velk {

enum class GridOrientation { forward, reversed };

}  // namespace velk
