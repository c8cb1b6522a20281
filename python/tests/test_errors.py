"""Fatal library conditions and bad arguments raise; the interpreter carries on."""

import os
import subprocess
import sys

import numpy as np
import pytest

import femtokit as fk


def _missing_kernel_file(tmp_path):
    # an existing but empty kernel directory: the first (ell, q) file is missing
    fk.Kernel.read(tmp_path, nqmax=2, delq=4.0, nrmax=4, delr=0.5, lmax=0)


def _short_kernel_file(tmp_path):
    k = fk.Kernel.purehbt(nqmax=2, delq=4.0, nrmax=4, delr=0.5, lmax=0)
    k.write(tmp_path)
    name = sorted(os.listdir(tmp_path))[0]
    with open(tmp_path / name, "w") as f:
        f.write("4 0.5\n1.0\n")  # header promises four values, two are missing
    fk.Kernel.read(tmp_path, nqmax=2, delq=4.0, nrmax=4, delr=0.5, lmax=0)


CASES = [
    ("missing parameter file", FileNotFoundError,
     lambda tmp: fk.WaveFunction("pp", parsfile=tmp / "nope.dat")),
    ("missing kernel directory", FileNotFoundError, lambda tmp: fk.Kernel.read(tmp / "nope")),
    ("missing kernel file", FileNotFoundError, _missing_kernel_file),
    ("short kernel file", ValueError, _short_kernel_file),
    ("missing array directory", FileNotFoundError,
     lambda tmp: fk.CHArray.read(tmp / "nope", lmax=0, nradial=3, radstep=1.0)),
    ("missing component file", FileNotFoundError,
     lambda tmp: fk.CHArray.read(tmp, lmax=0, nradial=3, radstep=1.0)),
    ("unknown pair", ValueError, lambda tmp: fk.WaveFunction("pdeuteron")),
    ("unknown source model", ValueError, lambda tmp: fk.Source("lorentzian")),
    ("negative radius in the library", ValueError,
     lambda tmp: fk.Source("gx1d", R=-1.0).array()),
    ("missing histogram table", (ValueError, FileNotFoundError),
     lambda tmp: fk.Source("histogram", filename=str(tmp / "none.csv")).array(nradial=10)),
    ("offset against a symmetry", ValueError,
     lambda tmp: fk.Source("gaussian3d", Xoff=1.0).array(lmax=2)),
    ("bad q grid", ValueError, lambda tmp: fk.WaveFunction("pp", q=[5.0, 3.0])),
    ("psi2 shapes", ValueError,
     lambda tmp: fk.WaveFunction("nn", nqmax=2)._obj._psi2(np.zeros(2), np.zeros(3), np.zeros(2))),
    ("psi2 not numbers", TypeError,
     lambda tmp: fk.WaveFunction("nn", nqmax=2).psi2("a", 1.0, 0.0)),
    ("no broadcast", ValueError,
     lambda tmp: fk.WaveFunction("nn", nqmax=2).psi2(np.ones(2), np.ones(3), 0.0)),
    ("component length", ValueError,
     lambda tmp: fk.CHArray(0, 3, 1.0).set_component(0, 0, 0, np.ones(4))),
    ("component not stored", ValueError,
     lambda tmp: fk.CHArray(2, 3, 1.0, True, True, True).component(1, 0, 0)),
    ("cost with a non-array", TypeError,
     lambda tmp: fk.ChiSquareCost(fk.Source("gx1d"), fk.Kernel(nqmax=2, nrmax=2, lmax=0),
                                  [1.0], [1.0], ["R"])),
    ("parameter with spaces", ValueError, lambda tmp: fk.Source("oscar", OSCARfilename="a b")),
]


@pytest.mark.parametrize("name,error,action", CASES, ids=[c[0] for c in CASES])
def test_fatal_or_bad_input_raises(tmp_path, name, error, action):
    with pytest.raises(error):
        action(tmp_path)
    # the library is still usable afterwards
    assert fk.WaveFunction("nn", nqmax=2).psi2(10.0, 2.0, 0.5) > 0.0


def test_failed_kernel_read_leaves_no_half_table(tmp_path):
    good = fk.Kernel.purehbt(nqmax=3, delq=4.0, nrmax=4, delr=0.5, lmax=0)
    good.write(tmp_path)
    os.remove(tmp_path / sorted(n for n in os.listdir(tmp_path) if n.startswith("ell"))[-1])
    k = fk.Kernel(nqmax=3, delq=4.0, nrmax=4, delr=0.5, lmax=0)
    k.table = good.table
    with pytest.raises(FileNotFoundError, match="ell0_q0010.00"):
        k._obj._read(str(tmp_path))
    assert not np.any(k.table)


def test_fatal_does_not_end_the_process():
    code = ("import femtokit as fk\n"
            "try:\n    fk.Source('gx1d', R=0.0).array()\n"
            "except ValueError as e:\n    print('raised:', e)\n"
            "print('alive')\n")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                         env=dict(os.environ), timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip().endswith("alive")
    assert "raised:" in out.stdout


def test_parameter_files_read_as_the_library_reads_them(tmp_path):
    from femtokit._util import read_parameter_file
    path = tmp_path / "pars.dat"
    path.write_text("# comment\nbool ON true\nbool OFF False\nbool TWO 2\nint TRUNC 3.7\n"
                    "double D 1e-3\nstring NAME pp extra\nint NOVALUE\n"
                    f"double LONG 2.5 {'x' * 120}\n")
    assert read_parameter_file(path) == {"ON": True, "OFF": False, "TWO": True, "TRUNC": 3,
                                         "D": 1e-3, "NAME": "pp", "LONG": 2.5}
    for line, message in [("int N abc", "int N = abc is not a number"),
                          ("bool B maybe", "bool B = maybe is not a number"),
                          ("double R 1e999", "double R = 1e999 is not a finite number")]:
        path.write_text(line + "\n")
        with pytest.raises(ValueError, match=message):
            read_parameter_file(path)
    path.write_text("float X 1\n")
    with pytest.warns(UserWarning, match="unknown type float of X"):
        assert read_parameter_file(path) == {}
