"""Cost of the Python layer: the same work through femtokit and in C++.

1. |psi|^2 of the pp wave function (NQMAX 20, DELQ 5, EPSILON 5) on 10^6 points;
2. one chi-square of the gx1d source (lambdaG 0.8, R 4, lambdaX 0) through the
   identical-boson kernel (30 q x 160 r, lmax 2) against 30 bins.
The C++ side is bench/python_overhead_bench.cc (built as
build/bench/python_overhead_bench). Run:
    PYTHONPATH=build/python /usr/bin/python3 python/bench/overhead.py [BENCH_BINARY]
Prints the times and the ratios Python / C++. Times are CPU times of the
process (minimum over repetitions) on one thread, so that other load on the
machine does not enter the ratios.
"""

import json
import os
import subprocess
import sys
import time
import timeit

import numpy as np

import femtokit as fk

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BINARY = os.path.join(HERE, "..", "..", "build", "bench", "python_overhead_bench")

N = 1_000_000


def points():
    i = np.arange(N, dtype=np.int64)
    q = 1.0 + 99.0 * ((i * 7919) % 1000) / 1000.0
    r = 0.2 + 20.0 * ((i * 104729) % 1000) / 1000.0
    c = -1.0 + 2.0 * ((i * 1299709) % 1000) / 999.0
    return q, r, c


def python_times():
    wf = fk.WaveFunction("pp", nqmax=20, delq=5.0, epsilon=5.0)
    q, r, c = points()
    psi2 = min(timeit.repeat(lambda: wf.psi2(q, r, c), number=1, repeat=5, timer=time.process_time))

    kernel = fk.Kernel.purehbt(nqmax=30, delq=4.0, nrmax=160, delr=0.25, lmax=2)
    qc = (np.arange(30) + 0.5) * 4.0
    data = 1.0 + 0.5 * np.exp(-qc / 40.0)
    cost = fk.ChiSquareCost.from_arrays(fk.Source("gx1d", lambdaX=0.0), kernel, qc, data,
                                        np.full(30, 0.01), ["lambdaG", "R"])
    n = 2000
    chi2 = min(timeit.repeat(lambda: cost(0.8, 4.0), number=n, repeat=5,
                             timer=time.process_time)) / n
    return psi2, chi2


def cpp_times(binary):
    out = subprocess.run([binary, "--benchmark_format=json", "--benchmark_repetitions=5"],
                         capture_output=True, text=True, check=True,
                         env=dict(os.environ, FEMTOKIT_THREADS="1"))
    results = {}
    scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("run_type") == "iteration":
            t = b["cpu_time"] * scale[b["time_unit"]]
            results[b["run_name"]] = min(t, results.get(b["run_name"], t))
    return results


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_BINARY
    fk.set_threads(1)
    psi2, chi2 = python_times()
    print(f"python: psi2 on 1e6 points {psi2 * 1e3:.1f} ms, chi2 {chi2 * 1e6:.1f} us")
    if not os.path.exists(binary):
        print(f"C++ benchmark {binary} not built; no ratios")
        return
    cpp = cpp_times(binary)
    cpsi2 = cpp["BM_PsiSquaredLoop"]
    cchi2 = cpp["BM_SourceChiSquare"]
    print(f"C++:    psi2 on 1e6 points {cpsi2 * 1e3:.1f} ms, chi2 {cchi2 * 1e6:.1f} us "
          f"(CCF2SFit::GetChiSquared {cpp['BM_CF2SFitChiSquare'] * 1e6:.1f} us)")
    print(f"ratio python/C++: psi2 {psi2 / cpsi2:.3f} (target 1.3), chi2 {chi2 / cchi2:.3f} "
          f"(target 1.2)")


if __name__ == "__main__":
    main()
