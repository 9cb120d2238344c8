"""Shared pieces of the sweep layer's tests: the example scene, forty short
trials of it, and a local cluster of two worker processes."""

import os

import pytest

import kelmar.batch as kb

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = os.environ.get("KELMAR_EXAMPLES", os.path.join(REPO, "examples"))
SCENE = os.path.join(EXAMPLES, "sweeps", "hand_up_ball.px")


def without_wall_time(rows):
    """Rows as they must agree between runs: the wall clock varies."""
    return [{k: v for k, v in r.items() if k != "wall_time_s"} for r in rows]


@pytest.fixture(scope="session")
def trials():
    """Forty trials of 60 steps, each of its own ball size and landing point."""
    return [
        kb.Trial.from_file(SCENE, {"ball_radius": 3.0 + 0.075 * i, "ball_x": 0.1 * (i % 7) - 0.3}, controller="contact",
                           steps=60)
        for i in range(40)
    ]


@pytest.fixture(scope="session")
def serial_rows(trials):
    return kb.run(trials, serial=True, progress=False)


@pytest.fixture(scope="session")
def client():
    from distributed import Client

    with kb.local_cluster(workers=2) as cluster, Client(cluster) as c:
        yield c
