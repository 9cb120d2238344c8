"""Camera pictures from Python: the same pixels kelmar-run films, rows top
first, planes that are the picture's channels, and a rigid pose."""
import os
import subprocess

import numpy as np
import pytest

from conftest import EXAMPLES

kelmar_module = pytest.importorskip("kelmar")
pytestmark = pytest.mark.skipif(not kelmar_module.has_cameras, reason="built without the graphics library")
STEPS = 10


@pytest.fixture
def camera(kelmar):
    universe = kelmar.Universe("cameras", 1000, 1000, 1000, 20000)  # kelmar-run's sizes
    scene = kelmar.Scene("cams", "cameras", os.path.join(EXAMPLES, "camhead.px"))
    yield universe, kelmar.KelmarCamera("cams", "arm_cam")
    del scene, universe


def filmed(camera, steps, folder):
    """The frame kelmar-run writes of camhead.px's camera after the steps."""
    PIL = pytest.importorskip("PIL.Image")
    run = os.environ.get("KELMAR_RUN") or pytest.skip("KELMAR_RUN names no kelmar-run")
    subprocess.run([run, os.path.join(EXAMPLES, "camhead.px"), "--steps", str(steps), "--every", str(steps),
                    "--images", str(folder), "--camera", camera, "--quiet"], check=True, capture_output=True)
    return np.asarray(PIL.open(folder / ("%s_%06d.png" % (camera, steps))))


def test_a_picture_equals_the_frame_kelmar_run_writes_for_the_step(camera, tmp_path):
    frame = filmed("arm_cam", STEPS, tmp_path)
    universe, cam = camera
    for _ in range(STEPS):
        universe.step()
    picture = cam.GetImage1()
    assert picture.dtype == np.uint8 and picture.shape == frame.shape == (240, 320, 3)
    assert np.array_equal(picture, frame)
    assert all(np.array_equal(plane, picture[:, :, k]) for k, plane in enumerate(cam.GetImage3()))
    pose = cam.GetTM()
    assert pose.shape == (4, 4) and np.allclose(pose[:3, :3] @ pose[:3, :3].T, np.eye(3), atol=1e-6)


def test_the_heads_left_eye_sees_what_kelmar_run_films_of_the_head(kelmar, tmp_path):
    frame = filmed("head", 3, tmp_path).astype(int)
    universe = kelmar.Universe("heads", 1000, 1000, 1000, 20000)
    scene = kelmar.Scene("heads", "heads", os.path.join(EXAMPLES, "camhead.px"))
    head = kelmar.KelmarCamHead("heads", "head")
    for _ in range(3):
        universe.step()
    left = np.stack(head.GetLeftImg_RGB(), axis=2).astype(int)
    # The head's renders differ by a unit in a few values from one call to
    # the next; a different view would change many more.
    assert left.shape == frame.shape == (300, 400, 3)
    assert np.abs(left - frame).max() <= 1 and np.count_nonzero(left - frame) < 1e-3 * frame.size
    with pytest.raises(kelmar.BadIndex):
        head.GetJoint(4)
    del scene, universe


def test_a_camera_of_the_scripts_own_follows_its_solid_and_its_scene(kelmar):
    universe = kelmar.Universe("own", 1000, 1000, 1000, 20000)
    scene = kelmar.Scene("own", "own", os.path.join(EXAMPLES, "camhead.px"))
    reference = kelmar.KelmarCamera("own", "arm_cam")
    pose = reference.GetTM()  # the file's camera: relative to the flange
    made = kelmar.KelmarCamera("own", "arm.flange", 160, 120, pose)
    assert np.allclose(made.GetTM(), pose, atol=1e-6)
    picture = made.GetImage1()
    assert picture.shape == (120, 160, 3) and picture.std() > 10
    with pytest.raises(kelmar.BadArgument):
        kelmar.KelmarCamera("own", "arm.flange", 0, 120)
    del scene
    with pytest.raises(kelmar.UnresolvedObject):
        made.GetImage1()
    scene = kelmar.Scene("own", "own", os.path.join(EXAMPLES, "camhead.px"))  # made again when the scene returns
    assert np.array_equal(made.GetImage1(), picture)
    del scene, universe


def test_a_head_of_the_scripts_own_looks_where_it_is_told(kelmar):
    universe = kelmar.Universe("heads_own")
    scene = kelmar.Scene("heads_own", "heads_own", os.path.join(EXAMPLES, "hand_ball.px"))
    head = kelmar.KelmarCamHead("heads_own")
    point = np.array([5.0, -10.0, 80.0])  # head coordinates, cm: ahead along z
    head.SetFixPoint(point, 0)
    assert np.allclose(head.GetFixPoint(), point, atol=0.05)  # the optical axes meet there
    red, green, blue = head.GetLeftImg_RGB()
    assert red.shape == green.shape == blue.shape == (576, 786)
    del scene
    with pytest.raises(kelmar.UnresolvedObject) as raised:
        head.GetJoints()
    assert raised.value.id == "badobj:camhead"
    del universe
