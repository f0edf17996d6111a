# Type stubs of the package velk: the signatures of the extension velk._velk, as help() shows them.
import os
import pathlib
from typing import Iterable, Mapping, Sequence

import numpy
from numpy.typing import ArrayLike

from . import dunham as dunham

__version__: str

class VelkError(RuntimeError): ...
class StopRun(VelkError): ...
class InputError(VelkError): ...
class NumericalFailure(VelkError): ...
class VelkWarning(UserWarning): ...

class Curve:
    @staticmethod
    def from_file(path: str | os.PathLike[str]) -> Curve: ...
    @staticmethod
    def points(
        R: ArrayLike,
        U: ArrayLike,
        masses: float | Sequence[float],
        *,
        Lambda: int = 0,
        q1: float = 0.0,
        q2: float = 0.0,
        y2first: float = 0.0,
        y2last: float = 0.0,
        Rfit: tuple[float, float] | None = None,
        rho: float = 0.0,
        asymptote: float = 0.0,
        C: Mapping[int, float] | None = None,
        fit: Iterable[int | str] = (),
        exchange: tuple[float, float, float] | None = None,
        name: str = "points.pot",
        description: str = "",
    ) -> Curve: ...
    @staticmethod
    def rkr(
        source: str | os.PathLike[str] | ArrayLike,
        *,
        masses: ArrayLike,
        v_max: float | None = None,
        dv: float | None = None,
        te: bool = False,
        tail_power: int = 6,
        order: int = 64,
        form: str = "dunham",
        mass_ratio: float = 1.0,
        Lambda: float = 0.0,
        name: str = "",
    ) -> Curve: ...
    @staticmethod
    def mlj(
        Re: float,
        beta: ArrayLike,
        De: float,
        p: int,
        Cp: float,
        delta: float,
        Rx: float,
        masses: float | Sequence[float],
        *,
        Lambda: int = 0,
        q1: float = 0.0,
        q2: float = 0.0,
        name: str = "mlj.pot",
        description: str = "",
    ) -> Curve: ...
    @staticmethod
    def analytic(
        Rm: float,
        b: float,
        a: ArrayLike,
        wall: tuple[int, float, float, float] | tuple[int, float, float],
        Uinf: float,
        C: Mapping[int, float] | None,
        exchange: tuple[float, float, float] | None,
        Ri: float,
        Ro: float,
        masses: float | Sequence[float],
        *,
        Lambda: int = 0,
        q1: float = 0.0,
        q2: float = 0.0,
        name: str = "analytic.pot",
        description: str = "",
    ) -> Curve: ...
    def __call__(
        self, R: float | ArrayLike, grid: tuple[float, float, int] | None = None
    ) -> float | numpy.ndarray: ...
    def tabulate(
        self, grid: tuple[float, float, int]
    ) -> tuple[numpy.ndarray, numpy.ndarray]: ...
    def levels(
        self,
        grid: tuple[float, float, int],
        mass_index: int = 1,
        v: int | range | Sequence[int] = 0,
        J: int | range | Sequence[int] = 0,
        p: int | range | Sequence[int] = 1,
        mode: str = "exact",
        tol: float = 1e-06,
        maxit: int = 60,
        reversed: bool = False,
        mass: float | None = None,
    ) -> numpy.ndarray: ...
    def wavefunction(
        self,
        mass: float,
        v: int,
        J: int,
        *,
        grid: tuple[float, float, int],
        tol: float = 1e-06,
        maxit: int = 60,
    ) -> tuple[numpy.ndarray, numpy.ndarray]: ...
    def save(self, path: str | os.PathLike[str]) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def text(self) -> str: ...
    @property
    def masses(self) -> tuple[float, float, float, float, float]: ...
    @property
    def Lambda(self) -> int: ...
    @property
    def representation(self) -> str: ...

def properties(
    curve: Curve,
    *,
    grid: tuple[float, float, int],
    v: int | range | Sequence[int] = 0,
    J: int | range | Sequence[int] = 0,
    p: int | range | Sequence[int] = 1,
    mass_index: int = 1,
    mass: float | None = None,
    tol: float = 1e-06,
    maxit: int = 60,
    reversed: bool = False,
) -> numpy.ndarray: ...
def franck_condon(
    upper: Curve,
    lower: Curve,
    mass: float | None = None,
    *,
    grid: tuple[float, float, int],
    lower_grid: tuple[float, float, int] | None = None,
    v_upper: int | range | Sequence[int] = 0,
    J_upper: int | range | Sequence[int] | None = None,
    v_lower: int | range | Sequence[int] = 0,
    J_lower: int | range | Sequence[int] = 0,
    p: int | range | Sequence[int] = 1,
    p_upper: int | None = None,
    mass_index: int = 1,
    tol: float = 1e-06,
    maxit: int = 60,
    reversed: bool = False,
    moment: str | os.PathLike[str] | tuple[ArrayLike, ArrayLike] | None = None,
) -> numpy.ndarray: ...
def run(directory: str | os.PathLike[str]) -> dict[str, pathlib.Path]: ...
def mass(name: str) -> float: ...
def reduced_mass(name: str) -> float: ...
def nuclear_spins(name: str) -> tuple[float, float]: ...

class FitResult:
    @property
    def parameters(self) -> numpy.ndarray: ...
    @property
    def residuals(self) -> numpy.ndarray: ...
    @property
    def correlation(self) -> numpy.ndarray: ...
    @property
    def free(self) -> list[tuple[str, str]]: ...
    @property
    def sigma(self) -> float: ...
    @property
    def iterations(self) -> int: ...
    @property
    def evaluations(self) -> int: ...
    @property
    def linear(self) -> bool: ...
    @property
    def files(self) -> dict[str, pathlib.Path]: ...

def fit(
    data: str | os.PathLike[str] | Iterable[Sequence[object] | Mapping[str, object]],
    states: str | os.PathLike[str],
    *,
    free: str | Sequence[str],
    max_iterations: int = 50,
    out: str | os.PathLike[str] | None = None,
) -> FitResult: ...
