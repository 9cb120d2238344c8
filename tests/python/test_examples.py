"""The Python examples end to end, judged from the simulation's state, and
the command-line runner."""
import gc
import os
import runpy
import subprocess
import sys

import numpy as np
import pytest

from conftest import EXAMPLES

FINGERS = ["hand.finger%d_distal" % f for f in (1, 2, 3)]


@pytest.fixture
def run_example(monkeypatch):
    """Runs an example as a script; its objects go when the test ends (an
    example names its universe "universe", which only one may have)."""
    ran = []

    def run(name, *args):
        monkeypatch.setattr(sys, "argv", [name, *args])
        gc.collect()  # objects of earlier tests caught in reference cycles
        ran.append(runpy.run_path(os.path.join(EXAMPLES, "python", name)))
        return ran[-1]

    yield run
    for done in ran:
        done.clear()
    gc.collect()


def test_the_hand_holds_the_ball_without_its_stand(kelmar, run_example):
    done = run_example("grasp_ball.py")
    ball, stand, hand = done["ball"], done["stand"], done["hand"]
    assert abs(stand.GetPosition()[0] - 50) < 1e-4  # the stand is away
    x, y, z = ball.GetPosition()
    assert np.hypot(x, y) < 0.5 and abs(z - 18.74) < 0.5  # cm: where the fingers closed on it
    assert np.linalg.norm(ball.GetLinearVelocity()) < 1.0  # cm/s: at rest in the hand
    contacts = ball.GetContacts()
    names = [contacts.Get(i).Name(0) for i in range(contacts.Num())]
    assert names and all(n.startswith("hand.") for n in names)  # nothing but the hand touches it
    assert set(FINGERS) <= set(names)  # every fingertip does
    assert hand.GetContacts(stand).Num() == 0


def test_the_grasp_map_of_the_closed_hand_has_full_rank(kelmar, run_example, capsys):
    done = run_example("grasp_map.py")
    assert np.linalg.matrix_rank(done["grasp_map"], 1e-3) == 6
    assert done["grasp_map"].shape == (6, 3 * len(done["contacts"]))
    for c in done["contacts"]:  # contacts lie on the ball's surface (radius 4 cm)
        assert abs(np.linalg.norm(c.Position - done["ball"].GetPosition()) - 4) < 0.2
    assert "rank 6 of 6" in capsys.readouterr().out


@pytest.mark.skipif(not __import__("kelmar").has_cameras, reason="built without the graphics library")
def test_the_camera_example_saves_the_picture_it_took(kelmar, run_example, tmp_path):
    PIL = pytest.importorskip("PIL.Image")
    done = run_example("camera_picture.py", str(tmp_path / "arm_cam.png"))
    saved = np.asarray(PIL.open(tmp_path / "arm_cam.png"))
    assert np.array_equal(saved, done["picture"]) and saved.std() > 10  # not a blank picture


def test_the_runner_runs_a_grasp_and_refuses_bad_lines(tmp_path):
    env = dict(os.environ)
    scene = os.path.join(EXAMPLES, "hand_ball.px")
    done = subprocess.run([sys.executable, "-m", "kelmar", scene, "--steps", "120", "--grasp", "ballwrap"],
                          env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert "120 steps, 0.600 s simulated" in done.stdout
    assert all(f in done.stdout for f in FINGERS)
    bad = subprocess.run([sys.executable, "-m", "kelmar", scene, "--grasp", "fist"], env=env, capture_output=True)
    assert bad.returncode == 2


# Like kelmar-run: a scene that cannot be read or has errors is not run (status 1, the
# loader's messages shown); a malformed option is a bad command line (status 2).
@pytest.mark.parametrize("arguments, status, message", [
    (["nosuch.px"], 1, "python3 -m kelmar: no scene file 'nosuch.px'\n"),
    ([os.path.join(EXAMPLES, "malformed", "solids.px")], 1,
     "python3 -m kelmar: '%s' did not load\n" % os.path.join(EXAMPLES, "malformed", "solids.px")),
    ([os.path.join(EXAMPLES, "hand_ball.px"), "--var", "novalue"], 2,
     "python3 -m kelmar: error: --var takes NAME=VALUE, not 'novalue'\n"),
])
def test_the_runner_refuses_what_it_cannot_run(arguments, status, message):
    done = subprocess.run([sys.executable, "-m", "kelmar"] + arguments + ["--steps", "5"], capture_output=True,
                          text=True)
    assert (done.returncode, done.stdout) == (status, "")
    assert done.stderr.endswith(message), done.stderr
