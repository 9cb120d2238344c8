"""Sweep throughput: N grasp trials of S steps (the palm-up hand closing
on balls of various sizes and landing points) run serially in this
process and on a local cluster of W worker processes, and the batch
layer's own cost per trial (scheduling, the Python around the trial, the
row coming back), measured two ways:

  * from the long trials: the workers' busy time that is not the trials'
    own wall clock, (cluster wall x W - sum of trial wall) / N;
  * from trials of 0 steps (the scene still loads): cluster wall x W / N.

    PYTHONPATH=build/python python3 bench/bench_sweep.py [--trials 200] [--steps 500] [--workers 2]
"""

import argparse
import os
import sys
import time

import kelmar.batch as kb

SCENE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "sweeps", "hand_up_ball.px")


def trials(n, steps):
    return [
        kb.Trial.from_file(SCENE, {"ball_radius": 3.0 + 3.0 * (i % 20) / 19, "ball_x": -3.0 + 6.0 * (i // 20) / 9},
                           controller="contact", steps=steps)
        for i in range(n)
    ]


def timed(work):
    start = time.perf_counter()
    rows = work()
    return time.perf_counter() - start, rows


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--trials", type=int, default=200)
    p.add_argument("--steps", type=int, default=500)
    p.add_argument("--workers", type=int, default=2)
    a = p.parse_args()
    long, empty = trials(a.trials, a.steps), trials(a.trials, 0)
    from distributed import Client

    serial, serial_rows = timed(lambda: kb.run(long, serial=True, progress=False))
    up, cluster = timed(lambda: kb.local_cluster(a.workers))
    with cluster, Client(cluster) as client:
        client.run(lambda: __import__("kelmar.batch._trial"))  # each worker loads the module once
        spread, rows = timed(lambda: kb.run(long, client=client, progress=False))
        bare, _ = timed(lambda: kb.run(empty, client=client, progress=False))
    same = [dict(r, wall_time_s=0) for r in rows] == [dict(r, wall_time_s=0) for r in serial_rows]
    simulated = sum(r["wall_time_s"] for r in rows)
    print(f"# bench_sweep {time.strftime('%Y-%m-%dT%H:%M:%S%z')}  load {' '.join(map(str, os.getloadavg()))}")
    print(f"# {a.trials} trials x {a.steps} steps, {a.workers} workers, nproc={os.cpu_count()}")
    print(f"serial              {serial:8.2f} s  ({1e3 * serial / a.trials:.1f} ms a trial)")
    print(f"local cluster       {spread:8.2f} s  speed-up {serial / spread:.2f}x  rows equal to serial: {same}")
    print(f"cluster start       {up:8.2f} s  (once a sweep)")
    print(f"overhead, long      {1e3 * (spread * a.workers - simulated) / a.trials:8.1f} ms a trial")
    print(f"overhead, 0 steps   {1e3 * bare * a.workers / a.trials:8.1f} ms a trial")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
