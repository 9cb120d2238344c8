"""Joints of a scene from Python: a hinge reads what the robot reads, its
stops are sorted, its controller is the file's (test_errors.py has the
refusals of the Limit entries)."""
import numpy as np
import pytest


def test_a_hinge_reads_the_robots_joint_and_follows_a_drive(kelmar, objects):
    universe, hand, base, middle = (objects[k] for k in ("universe", "hand", "finger1", "finger1_mid"))
    assert base.Valid() == 1 and base.GetAngle() == pytest.approx(hand.GetJoint(0), abs=1e-6)
    assert middle.GetValue() == pytest.approx(hand.GetJoint(1), abs=1e-6)
    assert middle.SetValue(0.4) == pytest.approx(0.4)
    for _ in range(200):
        middle.SetValue(0.4)
        universe.step()
    assert middle.GetAngle() == pytest.approx(0.4, abs=0.02)
    axis = base.GetAxis()
    assert np.linalg.norm(axis) == pytest.approx(1, abs=1e-6)
    frame = base.GetTM()
    assert frame.shape == (4, 4) and np.allclose(frame[:3, :3] @ frame[:3, :3].T, np.eye(3), atol=1e-5)


def test_stops_take_either_order_and_the_file_gives_the_controllers(kelmar, objects):
    base, middle = objects["finger1"], objects["finger1_mid"]
    base.SetLimits([0.5, -0.25])  # either order: lower, upper
    assert np.allclose(base.GetLimits(), [-0.25, 0.5])
    base.SetLimits(-0.3, 0.6)  # the pair overload
    assert np.allclose(base.GetLimits(), [-0.3, 0.6])
    assert base.SetValue(2) == pytest.approx(0.6)  # fitted into the stops (a whole number is a real too)
    assert (base.GetControllerType(), middle.GetControllerType()) == ("PID", "LINEAR")
    assert np.allclose(base.GetCtrlParams(), [3, 0.05, 0.5]) and np.allclose(middle.GetCtrlParams(), [2])
