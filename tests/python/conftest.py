"""The package's tests: kelmar imported from the build (PYTHONPATH), the
example scenes beside the sources, kelmar-run for comparisons."""
import itertools
import os

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.environ.get("KELMAR_EXAMPLES", os.path.join(HERE, "..", "..", "examples"))
_names = itertools.count()


def data(name):
    return os.path.join(HERE, "data", name)


@pytest.fixture
def kelmar():
    import kelmar as package
    package.add_search_path(EXAMPLES)
    return package


@pytest.fixture
def world(kelmar):
    """A universe with the hand-over-ball scene, under names of its own."""
    n = next(_names)
    universe = kelmar.Universe("u%d" % n)
    scene = kelmar.Scene("s%d" % n, "u%d" % n, os.path.join(EXAMPLES, "hand_ball.px"))
    yield universe, scene, "s%d" % n
    del scene, universe


@pytest.fixture
def objects(kelmar, world):
    """The world two steps on (the ball rests on its stand: one contact), its
    ball, the hand's robot and the first finger's two driven hinges."""
    universe, scene, name = world
    for _ in range(2):
        universe.step()
    return {"kelmar": kelmar, "universe": universe, "scene": name, "ball": kelmar.SolidRef(name, "ball"),
            "hand": kelmar.Robot(name, "hand.robot"), "finger1": kelmar.Hinge(name, "hand.finger1"),
            "finger1_mid": kelmar.Hinge(name, "hand.finger1_mid")}
