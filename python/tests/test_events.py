"""Event files from Python: every layout femtooscargen writes reads back as numpy arrays,
the event-file source through the registry gives the same array from each layout, and the
species table."""

import os
import subprocess

import numpy as np
import pytest

import femtokit as fk
from femtokit._util import write_parameter_file

FORMATS = ["legacy", "OSC1997A", "OSCAR2013", "SMASHbinary"]


@pytest.fixture(scope="module")
def event_files(bin_dir, tmp_path_factory):
    tmp = tmp_path_factory.mktemp("events")
    files = {}
    for fmt in FORMATS:
        path = tmp / f"events_{fmt}.dat"
        pars = tmp / f"gen_{fmt}.dat"
        write_parameter_file(pars, {"OSCARfilename": str(path), "EVENTFORMAT": fmt, "NEVENTS": 4,
                                    "IDa": 2212, "IDb": 2212, "NA": 60, "SEED": 11})
        out = subprocess.run([os.path.join(bin_dir, "femtooscargen"), str(pars)], capture_output=True, text=True)
        assert out.returncode == 0, out.stdout + out.stderr
        files[fmt] = path
    return files


@pytest.mark.parametrize("fmt", FORMATS)
def test_every_layout_reads_back_as_arrays(event_files, fmt):
    assert fk.detect_event_format(event_files[fmt]) == fmt
    f = fk.EventFile(event_files[fmt])
    events = list(f)
    assert len(events) == f.events_read == 4 and f.format == fmt
    for ev in events:
        n = ev.codes.shape[0]
        assert n == 60 and np.all(ev.codes == 2212)
        assert ev.momenta.shape == ev.positions.shape == (n, 4)
        E, p = ev.momenta[:, 0], ev.momenta[:, 1:]
        # on shell with the proton mass (GeV): the reader keeps E, p and m together
        np.testing.assert_allclose(E ** 2 - np.sum(p ** 2, axis=1), ev.masses ** 2, rtol=1e-5)
        np.testing.assert_allclose(ev.masses, fk.species(2212).mass / 1000, rtol=1e-4)
    first = list(fk.EventFile(event_files["legacy"]))[0]
    np.testing.assert_allclose(events[0].positions, first.positions, rtol=1e-6, atol=1e-9)


def test_event_source_is_the_same_from_every_layout(event_files):
    arrays = []
    for fmt in ("legacy", "OSCAR2013"):
        source = fk.Source("events", OSCARfilename=str(event_files[fmt]), IDa=2212, IDb=2212,
                           Ma=938.28, Mb=938.28, AEQUALB=1, Pt=1200.0, DELPT=400.0)
        arrays.append(source.array(nradial=40, radstep=1.0).component(0, 0, 0))
    assert np.sum(arrays[0]) > 0
    np.testing.assert_allclose(arrays[0], arrays[1], rtol=1e-9, atol=1e-15)


def test_species_table_and_bad_files(tmp_path):
    assert fk.species(-211).charge == -1 and fk.species(-211).mass == fk.species(211).mass
    assert fk.species(1000010020).charge == 1  # the deuteron
    codes = [s.code for s in fk.species_table()]
    assert {211, 321, 2212, 2112, 3122, 3312, 3334} <= set(codes)
    with pytest.raises(KeyError, match="unknown PDG code 999"):
        fk.species(999)
    junk = tmp_path / "junk.dat"
    junk.write_text("".join(f"line {i} of no event file\n" for i in range(8)))
    with pytest.raises(ValueError, match="OSCAR2013"):  # the message lists the layouts
        fk.EventFile(junk)
    with pytest.raises(FileNotFoundError):
        fk.EventFile(tmp_path / "missing.dat")
