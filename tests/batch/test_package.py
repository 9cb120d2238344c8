"""The batch trial simulates what the package's script interface does: the
same scene, variables and controller give the same hand and ball, bit for
bit, through first contact and the closing of the fingers. The script
interface declares the ball wrap's radius and threshold as floats, so the
values here are ones a float holds exactly (5.75, 4.75, 0.0625); with
values it rounds, the two paths would run two different controllers."""

import array

import kelmar
import kelmar.batch as kb
import pytest
from conftest import SCENE

# The first finger link reaches the larger ball after 11 steps; by 40 all
# three fingers have closed on it.
STEPS = 40


def as_floats(values):
    """The values as the script interface returns them (floats)."""
    return array.array("f", values).tolist()


@pytest.mark.parametrize("case, radius, x", [(1, 5.0, 0.5), (2, 4.0, -1.0)])
def test_batch_trial_agrees_with_the_script_interface(case, radius, x):
    universe = kelmar.Universe(f"u{case}")
    scene = kelmar.Scene(f"s{case}", f"u{case}", SCENE, None, 1.0, f"ball_radius = {radius}\nball_x = {x}\n")
    hand, ball = kelmar.Robot(f"s{case}", "hand.robot"), kelmar.SolidRef(f"s{case}", "ball")
    wrap = kelmar.GraspBallWrap(hand, ball, radius + 0.75, 0.0625)
    for _ in range(STEPS):
        wrap.grasp()
        universe.step()
    trial = kb.Trial.from_file(SCENE, {"ball_radius": radius, "ball_x": x}, controller="ballwrap",
                               radius=radius + 0.75, threshold=0.0625, steps=STEPS)
    row = kb.run_trial(trial)
    assert as_floats(row["joints"]) == list(hand.GetJoints())
    assert as_floats([8.5 + row["lift_cm"]]) == [ball.GetPosition()[2]]
    assert row["contacts"] and sum(row["contacts"]) >= 2  # past first contact
    del scene  # kept until here: its solids are read above
