"""kelmar.batch: grasp experiments at scale, on a Dask cluster.

A trial is a scene file (sent with the trial, with the files it imports),
values of the scene's variables, a grasp controller with its parameters,
a number of steps and the measures wanted; every trial runs in a universe
of its own and gives the same numbers on any worker.

    import kelmar.batch as kb
    trials = [kb.Trial.from_file("examples/sweeps/hand_up_ball.px", {"ball_radius": r},
                                 controller="contact", steps=300) for r in (4.0, 5.0)]
    rows = kb.run(trials)                 # a local cluster, one process per core
    rows = kb.run(trials, scheduler="tcp://host:8786")   # an existing cluster
    kb.write_csv("results.csv", rows)

From the shell, a sweep file (see kelmar.batch.sweep) runs with

    PYTHONPATH=build/python python3 -m kelmar.batch examples/sweeps/ball.toml

which writes results.csv and a success-rate plot per swept variable.
"""

from .runner import local_cluster, run
from .sweep import Sweep, SweepError
from .sweep import load as load_sweep
from .table import read as read_csv
from .table import write as write_csv
from .trial import CONTROLLERS, MEASURES, Trial, run_trial

__all__ = [
    "CONTROLLERS",
    "MEASURES",
    "Sweep",
    "SweepError",
    "Trial",
    "load_sweep",
    "local_cluster",
    "read_csv",
    "run",
    "run_trial",
    "write_csv",
]
