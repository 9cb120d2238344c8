"""Running trials: on a Dask cluster, or one after another in this process.

Each trial is one Dask task. Without a client or a scheduler address the
runner starts a local cluster of worker processes, one thread each: the
simulation keeps process-wide state, so two trials never share a process
at once. When a worker process dies, the scheduler gives its trials to the
others (up to Dask's allowed-failures, three by default); a trial that
still cannot finish becomes a row whose error says so. Rows come back in
the order of the trials.
"""

import ast
import contextlib
import logging
import multiprocessing
import os
import sys
import threading
import traceback

from . import progress as plain
from .trial import row, run_trial


class MainModuleError(RuntimeError):
    """A local cluster asked for where its worker processes, which import
    the main script as they start, would run the request again."""


_GUARD = "if __name__ == \"__main__\":"


def _is_main_test(test):
    """Whether an if's test is __name__ == "__main__" (either way round)."""
    if not (isinstance(test, ast.Compare) and len(test.ops) == 1 and isinstance(test.ops[0], ast.Eq)):
        return False
    sides = {ast.dump(test.left), ast.dump(test.comparators[0])}
    return sides == {ast.dump(ast.Name("__name__", ast.Load())), ast.dump(ast.Constant("__main__"))}


def _unguarded_call():
    """Where the main script asks for a local cluster outside its
    if __name__ == "__main__": block (file:line), or None. Each worker
    process would run that line again as it starts and wait for a cluster
    of its own, and the sweep would hang."""
    main = sys.modules.get("__main__")
    path = getattr(main, "__file__", None)
    if main is None or path is None:  # python3 -c, an interactive session: nothing is run again
        return None
    frame = next((f for f, _ in traceback.walk_stack(None)
                  if f.f_globals is vars(main) and f.f_code.co_name == "<module>"), None)
    if frame is None:
        return None
    try:
        with open(path, encoding="utf-8") as f:
            tree = ast.parse(f.read())
    except (OSError, SyntaxError, ValueError):
        return path  # read from standard input: a worker cannot run it at all
    line = frame.f_lineno
    guarded = any(isinstance(n, ast.If) and _is_main_test(n.test) and n.lineno <= line <= n.end_lineno
                  for n in ast.walk(tree))
    return None if guarded else f"{path}:{line}"


def local_cluster(workers=None):
    """A new cluster of worker processes on this machine, one thread each,
    as many as the machine has cores unless told. No dashboard: its port
    may be taken by another cluster on the machine."""
    starting = getattr(multiprocessing.current_process(), "_inheriting", False)  # a worker importing the script
    where = "a worker process" if starting else _unguarded_call()
    if where:
        raise MainModuleError(f"kelmar.batch: {where}: a script that runs trials on a "
                              f"local cluster must do so from a file, under {_GUARD} (its worker processes "
                              "import the script as they start), or run them with serial=True")
    from distributed import LocalCluster

    if workers is not None and (not isinstance(workers, int) or workers < 1):
        raise ValueError(f"workers must be a whole number >= 1, not {workers!r}")
    return LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1, processes=True,
                        dashboard_address=":0", scheduler_kwargs={"dashboard": False}, silence_logs=logging.ERROR)


@contextlib.contextmanager
def _client(client, scheduler, workers):
    from distributed import Client

    if client is not None:
        yield client
        return
    cluster = None if scheduler else local_cluster(workers)
    try:
        with Client(scheduler or cluster) as c:
            yield c
    finally:
        if cluster is not None:
            cluster.close()


def _dask_bar(futures):
    from distributed import progress

    threading.Thread(target=progress, args=(futures,), kwargs={"notebook": False, "multi": False},
                     daemon=True).start()


def _collected(client, trials, on_row, show):
    from distributed import as_completed

    futures = client.map(run_trial, trials, key=[f"kelmar-trial-{i}-{t.id}" for i, t in enumerate(trials)],
                         pure=False)
    index = {f.key: i for i, f in enumerate(futures)}
    rows = [None] * len(trials)
    if show == "bar":
        _dask_bar(futures)
    lines = plain.Lines(len(trials)) if show == "lines" else None
    for future in as_completed(futures):
        i = index[future.key]
        try:
            rows[i] = future.result()
        except Exception as e:  # the trial's workers kept dying
            rows[i] = row(trials[i], error=f"{type(e).__name__}: {e}")
        _done(rows[i], on_row, lines)
    return rows


def _done(r, on_row, lines):
    if lines:
        lines.add(failed=bool(r["error"]))
    if on_row:
        on_row(r)


def _show(progress):
    if progress is None:
        return "bar" if sys.stdout.isatty() else "lines"
    if progress not in ("bar", "lines", False):
        raise ValueError(f"progress is 'bar', 'lines', False or None, not {progress!r}")
    return progress


def run(trials, client=None, scheduler=None, workers=None, serial=False, on_row=None, progress=None):
    """Runs the trials and returns their rows (a list of dicts).

    client: a distributed.Client to run on; scheduler: the address of a
    cluster's scheduler ("tcp://host:8786"); neither: a local cluster of
    `workers` processes (default: one per core). serial: run here, one
    after another, without Dask. on_row(row) is called as each row comes.
    progress: "bar" (Dask's), "lines" (a line per 1 %), False (none), or
    None to choose by whether standard output is a terminal.
    """
    trials, show = list(trials), _show(progress)
    if not trials:
        return []
    if serial:
        lines = plain.Lines(len(trials)) if show else None
        rows = []
        for trial in trials:
            rows.append(run_trial(trial))
            _done(rows[-1], on_row, lines)
        return rows
    with _client(client, scheduler, workers) as c:
        return _collected(c, trials, on_row, show)
