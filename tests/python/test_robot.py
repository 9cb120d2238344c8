"""The hand as a robot from Python: joint vectors in joint order, joints
driven to targets and placed kinematically, stops checked by brute force,
and sub-robots that partition the hand's joints."""
import numpy as np
import pytest

TARGETS = [0.1, 0.5, 0.4, -0.1, 0.5, 0.4, 0.0, 0.6, 0.3]  # rad: three fingers, palm outwards


def test_driven_joints_reach_their_targets(objects):
    universe, robot = objects["universe"], objects["hand"]
    objects["ball"].SetPosition([60, 60, 5])  # out of the fingers' way
    for _ in range(300):
        robot.SetJoints(TARGETS)
        universe.step()
    assert np.allclose(robot.GetJoints(), TARGETS, atol=0.02)
    assert [robot.GetJoint(i) for i in range(9)] == pytest.approx(list(robot.GetJoints()), abs=1e-6)


def test_limit_checks_agree_with_the_stops_read_back(objects):
    robot = objects["hand"]
    robot.SetLimit(4, -0.2, 0.9)
    lower, upper = robot.GetLimits()
    assert (lower[4], upper[4]) == pytest.approx((-0.2, 0.9))
    assert (robot.GetLowerLimit(4), robot.GetUpperLimit(4)) == pytest.approx((-0.2, 0.9))
    rng = np.random.default_rng(11)
    for _ in range(50):
        values = rng.uniform(lower - 0.3, upper + 0.3)
        inside = (values >= lower) & (values <= upper)
        assert robot.CheckLimits(values) == int(inside.all())
        assert [robot.CheckLimit(i, float(v)) for i, v in enumerate(values)] == list(inside.astype(int))


def test_joints_placed_kinematically_read_back_at_once_and_sub_robots_split_them(objects):
    robot = objects["hand"]
    assert (robot.NumJoints(), robot.NumNodes(), robot.NumEffectors()) == (9, 10, 3)
    fingers = [robot.GetNode(i) for i in range(1, robot.NumNodes()) if robot.GetNode(i).NumJoints() == 3]
    assert len(fingers) == 3 and sum(f.NumJoints() for f in fingers) == robot.NumJoints()
    robot.SetJointsKinematically(TARGETS)
    assert np.allclose(robot.GetJoints(), TARGETS, atol=1e-4)
    assert np.allclose(np.concatenate([f.GetJoints() for f in fingers]), TARGETS, atol=1e-4)
    robot.SetJointKinematically(8, 0.1)
    assert robot.GetJoint(8) == pytest.approx(0.1, abs=1e-4)
