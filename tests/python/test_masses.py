"""velk.mass, velk.reduced_mass, velk.nuclear_spins: the isotope table by name."""
import pytest
import velk

# NIST's published atomic masses (u), the values the table holds.
NA23 = 22.9897692820
CL35 = 34.968852682


@pytest.mark.parametrize("name, expected", [("23Na", NA23), ("12C", 12.0), ("D", 2.01410177812),
                                            ("Na", NA23), ("127I", 126.9044719)])
def test_mass_by_name(name, expected):
    assert velk.mass(name) == expected


@pytest.mark.parametrize("name, expected", [("23Na2", NA23 / 2), ("23Na35Cl", NA23 * CL35 / (NA23 + CL35)),
                                            ("(23Na)(35Cl)", NA23 * CL35 / (NA23 + CL35))])
def test_reduced_mass_by_name(name, expected):
    assert velk.reduced_mass(name) == pytest.approx(expected, rel=1e-15)


def test_nuclear_spins():
    assert velk.nuclear_spins("23Na2") == (1.5, 1.5)
    assert velk.nuclear_spins("H35Cl") == (0.5, 1.5)


@pytest.mark.parametrize("call, name, says", [(velk.mass, "24Na", "'24Na'"),
                                              (velk.reduced_mass, "23Na", "diatomic"),
                                              (velk.reduced_mass, "23Xx2", "'Xx'")])
def test_unknown_names_raise_value_error(call, name, says):
    with pytest.raises(ValueError, match=says):
        call(name)


def test_a_name_of_the_wrong_kind_raises_type_error():
    with pytest.raises(TypeError, match="name"):
        velk.mass(23)
