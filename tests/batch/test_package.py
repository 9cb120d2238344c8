"""The batch trial simulates what the package's script interface does: the
same scene, variables and controller give the same hand and ball. The
script interface passes floats, so the two agree to float precision while
the ball falls and the fingers start to close; once they touch, contact
amplifies those last bits and the runs part."""

import kelmar
import kelmar.batch as kb
import pytest
from conftest import SCENE

STEPS = 20


@pytest.mark.parametrize("case, radius, x", [(1, 5.0, 0.5), (2, 4.0, -1.0)])
def test_batch_trial_agrees_with_the_script_interface(case, radius, x):
    universe = kelmar.Universe(f"u{case}")
    scene = kelmar.Scene(f"s{case}", f"u{case}", SCENE, None, 1.0, f"ball_radius = {radius}\nball_x = {x}\n")
    hand, ball = kelmar.Robot(f"s{case}", "hand.robot"), kelmar.SolidRef(f"s{case}", "ball")
    wrap = kelmar.GraspBallWrap(hand, ball, radius + 0.8, 0.05)
    for _ in range(STEPS):
        wrap.grasp()
        universe.step()
    trial = kb.Trial.from_file(SCENE, {"ball_radius": radius, "ball_x": x}, controller="ballwrap",
                               radius=radius + 0.8, steps=STEPS)
    row = kb.run_trial(trial)
    assert row["joints"] == pytest.approx(list(hand.GetJoints()), abs=1e-6)
    assert 8.5 + row["lift_cm"] == pytest.approx(ball.GetPosition()[2], abs=1e-4)
    assert max(abs(j) for j in row["joints"]) > 0.01  # the fingers did move
    del scene  # kept until here: its solids are read above
