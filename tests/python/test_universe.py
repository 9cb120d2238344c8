"""A universe and its scenes from Python: the clock follows the steps, a
reset puts a moved solid back, every grasp controller closes the hand on
the ball, and the hooks describe, copy, save and restore."""
import copy
import os

import numpy as np
import pytest

from conftest import EXAMPLES


def test_the_clock_options_and_a_reset(kelmar, world):
    universe, scene, name = world
    ball = kelmar.SolidRef(name, "ball")
    for _ in range(10):
        universe.step()
    assert universe.GetTime() == pytest.approx(10 * universe.GetTimeStep())
    universe.AddOptions(kelmar.optPause)
    universe.step()  # paused: nothing moves, the clock stands
    assert universe.CheckOptions(kelmar.optPause) == 1 and universe.GetTime() == pytest.approx(10 * 0.005)
    universe.ClearOptions(kelmar.optPause)
    ball.SetPosition([20, 0, 30])
    scene.reset()  # back from the file
    assert np.allclose(ball.GetPosition(), [0, 0, 18.7], atol=1e-4)


@pytest.mark.parametrize("make", [
    lambda k, hand, ball: k.GraspBallWrap(hand, ball, 4.7, 0.05).grasp,
    lambda k, hand, ball: k.GraspBallWrap2_Orb(hand, 0, ball.GetPosition(), 4.7).grasp,
    lambda k, hand, ball: k.GraspContactBased0(hand, ball, 1e6, 2.0).grasp,
], ids=["ballwrap", "orb", "contact0"])
def test_each_grasp_controller_brings_every_fingertip_onto_the_ball(kelmar, world, make):
    universe, _, name = world
    hand, ball = kelmar.Robot(name, "hand.robot"), kelmar.SolidRef(name, "ball")
    grasp = make(kelmar, hand, ball)
    for _ in range(300):
        grasp()
        universe.step()
    contacts = hand.GetContacts(ball)
    touching = {contacts.Get(i).Name(0) for i in range(contacts.Num())}
    assert {"hand.finger%d_distal" % f for f in (1, 2, 3)} <= touching


def test_the_som_projection_is_the_nearest_node_of_the_map(kelmar):
    universe = kelmar.Universe("som")
    scene = kelmar.Scene("som", "som", os.path.join(EXAMPLES, "hand24.px"))
    grasp = kelmar.GraspShadowSOMGrasp(kelmar.Robot("som", "robot"))
    with pytest.raises(kelmar.BadOperation):
        grasp.getCurrSOMProjection()  # no map yet
    nodes = np.loadtxt(os.path.join(EXAMPLES, "hand24_som.txt"))
    assert grasp.loadSOM(os.path.join(EXAMPLES, "hand24_som.txt"), "map", len(nodes), 24) == 1
    assert grasp.getActiveSOMName() == ""
    assert grasp.setActiveSOM("map") == 1 and grasp.getActiveSOMName() == "map"
    rng = np.random.default_rng(3)
    for posture in list(nodes[::5]) + [n + rng.normal(0, 0.02, 24) for n in nodes[::3]]:
        nearest = nodes[np.argmin(np.linalg.norm(nodes - posture, axis=1))]  # brute force, all joints
        projected = grasp.getSOMProjection(prJoints=posture, pfProjMask=np.zeros(15))
        assert np.allclose(projected, nearest, atol=1e-6)
    del scene, universe


def test_the_hooks_describe_copy_reset_and_restore(kelmar, world, tmp_path):
    universe, scene, name = world
    ball = kelmar.SolidRef(name, "ball")
    twin = copy.copy(ball)
    assert type(twin) is kelmar.SolidRef and np.array_equal(twin.GetPosition(), ball.GetPosition())
    assert str(ball) == "solid 'ball' in scene '%s' (resolved)\n" % name and str(kelmar.Contact()) == "invalid contact\n"
    assert not kelmar.Box.compatible(ball) and kelmar.Box.compatible(kelmar.Box(name, [1, 2, 3]))
    with pytest.raises(kelmar.BadArgument) as failed:
        scene.load_status("/nonexistent")
    assert failed.value.message == "Scene:LOAD: cannot open '/nonexistent'\n"
    scene.save_status(tmp_path / "status.xml")
    ball.SetPosition([5, 5, 5])
    assert scene.load_status(tmp_path / "status.xml") and np.allclose(ball.GetPosition(), [0, 0, 18.7])
    universe.step()
    universe.control(-52)  # a unit renamed: nothing for a script universe
    assert universe.GetTime() > 0
    universe.control(-21)
    assert universe.GetTime() == 0
