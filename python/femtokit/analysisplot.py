"""Plot of a femtoanalyze result: data, model and its parts, with a residual panel.

Usage: python3 analysisplot.py CURVES_CSV OUTPUT_FILE

Reads the curves.csv that femtoanalyze writes (columns set, k, k_low, k_high, data,
error, model, baseline, C_gen, term_<name>...) and draws one column of panels per
data set: C(k*) with its errors, the model, the baseline N B(k) and each part as
N B(k) [1 + term], and below it the pulls (data - model) / error. Runs standalone
(only numpy and matplotlib), so it needs no compiled extension.
"""

import csv
import sys


def read_curves(path):
    """Rows of the CSV grouped by data set: {set: {column: numpy array or None}}."""
    import numpy as np

    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    if not rows:
        raise ValueError(f"{path} holds no rows")
    sets = {}
    for row in rows:
        sets.setdefault(row["set"], []).append(row)
    out = {}
    for name, group in sets.items():
        columns = {}
        for key in group[0]:
            if key == "set":
                continue
            values = [r[key] for r in group]
            columns[key] = (None if any(v == "" for v in values)
                            else np.array([float(v) for v in values]))
        out[name] = columns
    return out


def plot(curves_path, output):
    """Draws the curves of a curves.csv into the file output (PNG, SVG, PDF by its suffix)."""
    import matplotlib
    matplotlib.use("Agg")
    figure(read_curves(curves_path)).savefig(output)


def figure(sets):
    """The figure of curves grouped by data set, {set: {column: array or None}} with the
    columns of curves.csv (k, data, error, model, baseline, term_<name>...)."""
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(2, len(sets), figsize=(6 * len(sets), 6), squeeze=False,
                             sharex="col", gridspec_kw={"height_ratios": [3, 1]})
    for col, (name, c) in enumerate(sets.items()):
        top, bottom = axes[0][col], axes[1][col]
        k = c["k"]
        if c["data"] is not None:
            top.errorbar(k, c["data"], yerr=c["error"], fmt="o", ms=3, color="black",
                         label="data")
        top.plot(k, c["model"], color="C3", lw=2, label="model")
        top.plot(k, c["baseline"], color="gray", ls="--", label="baseline N B(k)")
        for i, key in enumerate(key for key in c if key.startswith("term_")):
            if c[key] is None:
                continue
            top.plot(k, c["baseline"] * (1.0 + c[key]), ls=":", color=f"C{i}",
                     label=f"{key[5:]}: N B [1 + lambda (C - 1)]")
        top.set_ylabel("C(k*)")
        top.set_title(name)
        top.legend(fontsize=8)
        if c["data"] is not None:
            bottom.axhline(0.0, color="gray", lw=1)
            bottom.plot(k, (c["data"] - c["model"]) / c["error"], "o", ms=3, color="black")
        bottom.set_ylabel("(data - model) / error")
        bottom.set_xlabel("k* (MeV/c)")
    fig.tight_layout()
    return fig


def main(argv):
    if len(argv) != 3:
        print("usage: analysisplot.py CURVES_CSV OUTPUT_FILE", file=sys.stderr)
        return 2
    try:
        import matplotlib  # noqa: F401
        import numpy  # noqa: F401
    except ImportError as error:
        print(f"plot not available: {error.name} is not installed for {sys.executable}")
        return 3
    try:
        plot(argv[1], argv[2])
    except (OSError, ValueError, KeyError) as error:
        print(f"plot not made: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
