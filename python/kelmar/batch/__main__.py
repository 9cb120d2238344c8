"""python3 -m kelmar.batch SWEEP.toml [options]: runs a sweep, writes its
rows to results.csv and a success-rate plot beside it. A results.csv that
exists already is resumed: its trials are not run again."""

import argparse
import os
import sys

from . import plot, runner, sweep, table, trial


def _arguments(argv):
    p = argparse.ArgumentParser(prog="python3 -m kelmar.batch", description=__doc__)
    p.add_argument("sweep", help="the sweep file (TOML)")
    p.add_argument("--out", default=".", help="folder for results.csv and success.png (default: here)")
    p.add_argument("--scheduler", help="address of a running Dask scheduler, e.g. tcp://host:8786")
    p.add_argument("--workers", type=int, help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--serial", action="store_true", help="run the trials here, one after another")
    p.add_argument("--fresh", action="store_true", help="start a new results.csv instead of resuming")
    return p.parse_args(argv)


def pending(trials, path):
    """The trials whose rows are not in the CSV file at path yet."""
    done = {r["id"] for r in table.read(path)[1]} if os.path.exists(path) else set()
    return [t for t in trials if t.id not in done]


def main(argv=None, on_row=None, client=None):
    """Runs the sweep; returns the rows run now (resumed rows excluded)."""
    a = _arguments(argv)
    try:
        s = sweep.load(a.sweep)
    except (sweep.SweepError, OSError) as e:
        sys.exit(f"kelmar.batch: {e}")
    os.makedirs(a.out, exist_ok=True)
    csv_path = os.path.join(a.out, "results.csv")
    if a.fresh and os.path.exists(csv_path):
        os.remove(csv_path)
    todo = pending(s.trials, csv_path)
    print(f"kelmar.batch: {len(s.trials)} trials, {len(s.trials) - len(todo)} done before, {len(todo)} to run",
          file=sys.stderr)
    try:
        out = table.Writer(csv_path, table.columns([trial.row(t) for t in s.trials[:1]]))
    except ValueError as e:
        sys.exit(f"kelmar.batch: {e} (--fresh starts a new file)")
    with out:
        rows = runner.run(todo, client=client, scheduler=a.scheduler, workers=a.workers, serial=a.serial,
                          on_row=lambda row: (out.add(row), on_row and on_row(row)))
    plot.plot(table.read(csv_path)[1], s.swept, s.success, os.path.join(a.out, "success.png"))
    return rows


if __name__ == "__main__":
    main()
