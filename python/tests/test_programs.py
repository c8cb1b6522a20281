"""The Python path gives the same files as the C++ programs on the same inputs."""

import filecmp
import os
import subprocess

import numpy as np
import pytest

import femtokit as fk
from femtokit._util import write_parameter_file

WF = {"NQMAX": 6, "DELQ": 5.0, "EPSILON": 2.0, "STRONG": True, "COULOMB": True}
KERNEL = {"NQMAX": 6, "DELQ": 5.0, "NRMAX": 16, "DELR": 0.5, "KLMAX": 2, "IDENTICAL": False}
KERNEL3D = {"NQMAX": 4, "DELQ": 5.0, "NRMAX": 8, "DELR": 0.5, "NCTHETA": 8, "IDENTICAL": False}


def _run(bin_dir, *args):
    out = subprocess.run([os.path.join(bin_dir, args[0]), *map(str, args[1:])],
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stdout + out.stderr


def _same_directories(a, b):
    names = sorted(os.listdir(a))
    assert names == sorted(os.listdir(b)) and names
    match, mismatch, errors = filecmp.cmpfiles(a, b, names, shallow=False)
    assert not mismatch and not errors, mismatch


def _python_kernel(case, wfpars, kpars):
    if case == "purehbt":
        return fk.Kernel.purehbt(kpars)
    if case == "classcoul":
        return fk.Kernel.classcoul(939.565, 139.58, -1, kpars)
    pair, table = case.split(":")
    wf = fk.WaveFunction(pair, parsfile=wfpars)
    cls = fk.Kernel3D if table == "3d" else fk.Kernel
    return cls.from_wavefunction(wf, kpars)


@pytest.mark.parametrize("case,args", [
    ("pp:angular", ["pp"]),
    ("pkplus:angular", ["pkplus"]),
    ("nn:3d", ["--table", "3d", "nn"]),
    ("purehbt", ["purehbt"]),
    ("classcoul", ["--ma", "939.565", "--mb", "139.58", "--q1q2", "-1", "classcoul"]),
])
def test_kernel_files_equal_femtokernel(bin_dir, tmp_path, case, args):
    wfpars, kpars = tmp_path / "wf.dat", tmp_path / "k.dat"
    write_parameter_file(wfpars, WF)
    write_parameter_file(kpars, KERNEL3D if case.endswith("3d") else KERNEL)
    files = [wfpars, kpars] if ":" in case else [kpars]
    _run(bin_dir, "femtokernel", *args, *files, tmp_path / "cpp")
    _python_kernel(case, wfpars, kpars).write(tmp_path / "py")
    _same_directories(tmp_path / "cpp", tmp_path / "py")


def test_correlation_equals_femtofakedata(bin_dir, tmp_path):
    kpars = {"NQMAX": 10, "DELQ": 4.0, "NRMAX": 60, "DELR": 0.5, "KLMAX": 2, "IDENTICAL": True}
    arr_s = {"LMAX": 2, "NRADIAL": 60, "RADSTEP": 0.5, "XSYM": True, "YSYM": True, "ZSYM": True}
    arr_cf = dict(arr_s, NRADIAL=10, RADSTEP=4.0)
    spars = {"lambdaG": 0.7, "R": 4.0, "lambdaX": 0.1, "X": 6.0, "a": 5.0}
    for name, pars in [("k", kpars), ("s", arr_s), ("cf", arr_cf), ("src", spars)]:
        write_parameter_file(tmp_path / f"{name}.dat", pars)
    fk.Kernel.purehbt(tmp_path / "k.dat").write(tmp_path / "kdir")
    _run(bin_dir, "femtofakedata", "--noise", "1e-12", "--source-pars", tmp_path / "src.dat",
         tmp_path / "s.dat", tmp_path / "cf.dat", tmp_path / "k.dat", tmp_path / "kdir",
         tmp_path / "fake")
    cpp = fk.CHArray.read(tmp_path / "fake", tmp_path / "cf.dat")
    kernel = fk.Kernel.read(tmp_path / "kdir", tmp_path / "k.dat")
    q, c = fk.correlation(fk.Source("gx1d", tmp_path / "src.dat"), kernel)
    # the program writes "%g": six significant digits, half a unit of the sixth is 5e-6
    np.testing.assert_allclose(c - 1.0, cpp.component(0, 0, 0), rtol=5e-6, atol=1e-12)
