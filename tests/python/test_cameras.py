"""Camera pictures from Python: the same pixels kelmar-run films, rows top
first, and planes that are the picture's channels."""
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


def test_a_picture_equals_the_frame_kelmar_run_writes_for_the_step(camera, tmp_path):
    PIL = pytest.importorskip("PIL.Image")
    run = os.environ.get("KELMAR_RUN")
    if not run:
        pytest.skip("KELMAR_RUN names no kelmar-run")
    subprocess.run([run, os.path.join(EXAMPLES, "camhead.px"), "--steps", str(STEPS), "--every", str(STEPS),
                    "--images", str(tmp_path), "--camera", "arm_cam", "--quiet"], check=True, capture_output=True)
    universe, cam = camera
    for _ in range(STEPS):
        universe.step()
    frame = np.asarray(PIL.open(tmp_path / ("arm_cam_%06d.png" % STEPS)))
    picture = cam.GetImage1()
    assert picture.dtype == np.uint8 and picture.shape == frame.shape == (240, 320, 3)
    assert np.array_equal(picture, frame)


def test_the_three_planes_are_the_pictures_channels_and_the_pose_is_rigid(kelmar, camera):
    universe, cam = camera
    picture = cam.GetImage1()
    planes = cam.GetImage3()
    assert all(np.array_equal(plane, picture[:, :, k]) for k, plane in enumerate(planes))
    pose = cam.GetTM()
    assert pose.shape == (4, 4) and np.allclose(pose[:3, :3] @ pose[:3, :3].T, np.eye(3), atol=1e-6)
    cam.SetTM(pose)
    assert np.allclose(cam.GetTM(), pose)


def test_the_heads_left_eye_sees_what_kelmar_run_films_of_the_head(kelmar, tmp_path):
    PIL = pytest.importorskip("PIL.Image")
    run = os.environ.get("KELMAR_RUN")
    if not run:
        pytest.skip("KELMAR_RUN names no kelmar-run")
    subprocess.run([run, os.path.join(EXAMPLES, "camhead.px"), "--steps", "3", "--every", "3",
                    "--images", str(tmp_path), "--camera", "head", "--quiet"], check=True, capture_output=True)
    universe = kelmar.Universe("heads", 1000, 1000, 1000, 20000)
    scene = kelmar.Scene("heads", "heads", os.path.join(EXAMPLES, "camhead.px"))
    head = kelmar.KelmarCamHead("heads", "head")
    for _ in range(3):
        universe.step()
    left = np.stack(head.GetLeftImg_RGB(), axis=2).astype(int)
    frame = np.asarray(PIL.open(tmp_path / "head_000003.png")).astype(int)
    # The head's renders differ by a unit in a pixel or two from one call to
    # the next; anything more is a different picture.
    assert left.shape == frame.shape == (300, 400, 3)
    assert np.abs(left - frame).max() <= 1 and np.count_nonzero(left - frame) <= 4
    assert head.GetJoints().shape == (4,) and len(head.GetStereoImg_RGB()) == 6
    with pytest.raises(kelmar.BadIndex):
        head.GetJoint(4)
    del scene, universe
