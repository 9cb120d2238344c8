"""python3 -m kelmar.batch SWEEP.toml [options]: runs a sweep, writes its
rows to results.csv and a success-rate plot beside it. A results.csv that
exists already is resumed: its trials are not run again. Ends with a line
saying how many trials succeeded and where the files are. Exit status: 0
every trial ran, 1 a trial failed (its row holds the error) or the sweep
could not start, 2 a bad command line."""

import argparse
import os
import sys

from . import plot, runner, sweep, table, trial


def _arguments(argv):
    p = argparse.ArgumentParser(prog="python3 -m kelmar.batch", description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("sweep", help="the sweep file (TOML)")
    p.add_argument("--out", default=".", help="folder for results.csv and success.png (default: here)")
    p.add_argument("--scheduler", help="address of a running Dask scheduler, e.g. tcp://host:8786")
    p.add_argument("--workers", type=int, help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--serial", action="store_true", help="run the trials here, one after another")
    p.add_argument("--fresh", action="store_true", help="start a new results.csv instead of resuming")
    a = p.parse_args(argv)
    if a.workers is not None and a.workers < 1:
        p.error(f"--workers must be at least 1, not {a.workers}")
    return a


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
    for name in s.unused:
        print(f"kelmar.batch: warning: no file of the scene names the variable '{name}'", file=sys.stderr)
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
        try:
            rows = runner.run(todo, client=client, scheduler=a.scheduler, workers=a.workers, serial=a.serial,
                              on_row=lambda row: (out.add(row), on_row and on_row(row)))
        except OSError as e:  # a scheduler that cannot be reached, say
            sys.exit(f"kelmar.batch: {e}")
        except ValueError as e:  # with --scheduler: an address that is none
            if not a.scheduler:
                raise
            sys.exit(f"kelmar.batch: --scheduler {a.scheduler}: {e}")
    png_path = os.path.join(a.out, "success.png")
    every = table.read(csv_path)[1]
    plot.plot(every, s.swept, s.success, png_path)
    print(summary(rows, every, s.success, csv_path, png_path))
    return rows


def summary(rows, every, success, csv_path, png_path):
    """The closing line: trials run now and failed, successes among every
    row without an error, the files; the first error, if any."""
    ran = [r for r in every if not r.get("error")]
    failed = [r for r in rows if r["error"]]
    line = (f"kelmar.batch: {len(rows)} trials run, {len(failed)} failed; {success} in "
            f"{sum(plot.succeeded(r, success) for r in ran)} of {len(ran)}; rows {csv_path}, plot {png_path}")
    if failed:
        line += "\nfirst error: " + failed[0]["error"].strip()
    return line


if __name__ == "__main__":
    sys.exit(1 if any(r["error"] for r in main()) else 0)
