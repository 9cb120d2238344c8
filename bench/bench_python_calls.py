"""The cost of one call through the Python package: 10^5 calls of
Universe.GetTime() (generated method, argument binding, kelmar_invoke and
back), next to the extension's invoke alone and an empty Python method.

    PYTHONPATH=build/python python3 bench/bench_python_calls.py
"""
import sys
import time

import kelmar

CALLS = 100_000


def per_call(function, calls=CALLS, reps=5):
    """The best of reps runs, in microseconds per call."""
    best = float("inf")
    for _ in range(reps):
        start = time.perf_counter()
        for _ in range(calls):
            function()
        best = min(best, time.perf_counter() - start)
    return best / calls * 1e6


class Empty:
    def GetTime(self):
        return 0.0


def main():
    universe = kelmar.Universe("bench")
    invoke, handle, out = kelmar._kelmar.invoke, universe._handle, kelmar.OUT
    rows = [
        ("Universe.GetTime()", per_call(universe.GetTime)),
        ("Universe.GetGravity() (array out)", per_call(universe.GetGravity)),
        ("_kelmar.invoke('Universe_GetTime')", per_call(lambda: invoke("Universe_GetTime", handle, "", [], out))),
        ("an empty Python method", per_call(Empty().GetTime)),
    ]
    for name, us in rows:
        print("%-38s %7.3f us per call" % (name, us))
    limit = 5.0
    ok = rows[0][1] < limit
    print("Universe.GetTime() %s %.0f us per call" % ("under" if ok else "OVER", limit))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
