"""Progress of a sweep where no terminal shows Dask's bar: one plain line
each time another whole per cent of the trials is done."""

import sys
import time


class Lines:
    def __init__(self, total, out=None):
        self._total, self._done, self._failed, self._shown = total, 0, 0, -1
        self._out = out or sys.stderr
        self._start = time.monotonic()

    def add(self, failed=False):
        self._done += 1
        self._failed += 1 if failed else 0
        percent = 100 * self._done // self._total
        if percent > self._shown:
            self._shown = percent
            seconds = time.monotonic() - self._start
            print(
                f"trials {self._done}/{self._total} ({percent}%), {self._failed} failed, {seconds:.1f} s",
                file=self._out,
                flush=True,
            )
