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
