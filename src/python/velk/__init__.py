# The package velk: the extension velk._velk, whose names are velk's.
import sys as _sys

from . import _velk
from ._velk import (
    Curve,
    FitResult,
    InputError,
    NumericalFailure,
    StopRun,
    VelkError,
    VelkWarning,
    __version__,
    dunham,
    fit,
    franck_condon,
    mass,
    nuclear_spins,
    properties,
    reduced_mass,
    run,
)

__doc__ = _velk.__doc__
__all__ = [
    "Curve",
    "FitResult",
    "InputError",
    "NumericalFailure",
    "StopRun",
    "VelkError",
    "VelkWarning",
    "dunham",
    "fit",
    "franck_condon",
    "mass",
    "nuclear_spins",
    "properties",
    "reduced_mass",
    "run",
]

# So that `import velk.dunham` and `from velk.dunham import terms` find the extension's submodule.
_sys.modules[__name__ + ".dunham"] = dunham
