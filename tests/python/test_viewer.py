"""The VTK viewer from Python (an X display is needed: the tests skip
without one; CTest runs them under Xvfb): the universe's solids show in
the renderer's picture while a viewer is in it, and not once it is gone."""
import os

import numpy as np
import pytest

from conftest import EXAMPLES

GREY = 229  # the background a viewer gives its renderer, 0.9


@pytest.fixture
def renderer(kelmar):
    if not kelmar.has_viewer or not os.environ.get("DISPLAY"):
        pytest.skip("needs the viewer and an X display")
    return kelmar.CRender(160, 120)


def drawn(picture):
    return int(np.count_nonzero(np.abs(picture.astype(int) - GREY).sum(axis=2) > 6))


def test_a_viewer_shows_the_universe_until_it_goes(kelmar, renderer):
    universe = kelmar.Universe("shown")
    scene = kelmar.Scene("shown", "shown", os.path.join(EXAMPLES, "hand_ball.px"))
    viewer = kelmar.vtkViewer(renderer, universe)
    picture = renderer.picture()
    assert picture.shape == (120, 160, 3) and picture.dtype == np.uint8
    assert drawn(picture) > 160 * 120 // 50
    del viewer
    assert drawn(renderer.picture()) == 0
    del scene, universe

