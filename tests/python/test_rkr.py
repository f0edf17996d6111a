"""velk.Curve.rkr: the curve of velk-rkr in memory, the same file and levels as the program's."""
import os
import pathlib
import subprocess

import pytest
import velk

SOURCE = pathlib.Path(os.environ["VELK_SOURCE_DIR"])
NA2X = SOURCE / "tests" / "rkr" / "na2x_fit.dun"
MASSES = (22.9897692820, 22.9897692820)


def test_curve_is_the_file_velk_rkr_writes(tmp_path):
    rkr = pathlib.Path(os.environ["VELK_BINARY"]).with_name("velk-rkr")
    out = tmp_path / "na2x.pot"
    subprocess.run([rkr, NA2X, "--masses", *map(str, MASSES), "--v-max", "40", "--out", out],
                   check=True, capture_output=True)
    curve = velk.Curve.rkr(NA2X, masses=MASSES, v_max=40)
    assert curve.text == out.read_text()
    assert curve.name == "na2x_fit_rkr.pot"


def test_levels_come_back_near_the_constants():
    curve = velk.Curve.rkr(NA2X, masses=MASSES, v_max=45)
    levels = curve.levels(grid=(2.0693, 7.1216, 2937), v=range(0, 21), J=0, tol=1e-7)
    G = velk.dunham.terms(NA2X, v=levels["v"], J=0)
    # The round trip of the guide: within 0.01 cm-1 of the constants' G(v) up to v = 39.
    assert abs(levels["E"] - G).max() < 0.01


def test_table_of_constants_and_refusals():
    curve = velk.Curve.rkr([[0.0, 0.155], [159.0, -0.0009], [-0.7, 0.0]], masses=(23, 23),
                           v_max=10)
    assert curve.name == "rkr.pot"
    with pytest.raises(ValueError, match="masses"):
        velk.Curve.rkr(NA2X, masses=(0.0, 23.0))
    with pytest.raises(velk.InputError, match="stops increasing"):
        velk.Curve.rkr([[0.0, 0.155], [159.0, -0.0009], [-0.7, 0.0]], masses=(23, 23), v_max=500)
