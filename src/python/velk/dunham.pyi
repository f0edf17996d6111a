# Type stubs of velk.dunham, the extension's submodule.
import os

import numpy
from numpy.typing import ArrayLike

def terms(
    source: str | os.PathLike[str] | ArrayLike,
    v: int | ArrayLike,
    J: int | ArrayLike,
    p: int | ArrayLike = 1,
    *,
    mass_ratio: float = 1.0,
    Lambda: float = 0.0,
    q: ArrayLike = (),
    form: str = "dunham",
) -> float | numpy.ndarray: ...
