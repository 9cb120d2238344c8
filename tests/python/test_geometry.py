"""Poses, frames and the free functions against independent mathematics:
random rigid poses round-trip, frame conversions match matrix algebra,
quaternions compose like rotations."""
import numpy as np
import pytest

rng = np.random.default_rng(7)


def random_rotation():
    q, r = np.linalg.qr(rng.normal(size=(3, 3)))
    q = q * np.sign(np.diag(r))
    return q if np.linalg.det(q) > 0 else -q


def random_pose():
    """A rigid transform in the interface's layout: axes as rows, translation as the last row."""
    tm = np.eye(4)
    tm[:3, :3], tm[3, :3] = random_rotation(), rng.uniform(-20, 20, 3)
    return tm


def to_world(tm, p):  # points are row vectors: p' = p R + t
    return p @ tm[:3, :3] + tm[3, :3]


def rotation_of(q):
    w, x, y, z = q / np.linalg.norm(q)
    return np.array([[1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)],
                     [2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)],
                     [2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)]])


def same_rotation(q1, q2):
    return np.allclose(rotation_of(q1), rotation_of(q2), atol=1e-5)


def test_random_poses_round_trip_through_a_solid(kelmar, world):
    ball = kelmar.SolidRef(world[2], "ball")
    for _ in range(10):
        pose = random_pose()
        ball.SetTM(pose)
        assert np.allclose(ball.GetTM(), pose, atol=1e-4)
        local = rng.uniform(-5, 5, 3)
        world_point = ball.PosToWorld(local)[1]
        assert np.allclose(world_point, to_world(pose, local), atol=1e-3)
        assert np.allclose(ball.PosFromWorld(world_point)[1], local, atol=1e-3)
        q = ball.GetQuaternion()
        ball.SetQuaternion(q)
        assert same_rotation(ball.GetQuaternion(), q)


def test_frame_conversions_follow_matrix_algebra_and_euler_angles_round_trip(kelmar):
    for _ in range(10):
        a, b, v = random_pose(), random_pose(), rng.uniform(-10, 10, 3)
        in_b = (to_world(a, v) - b[3, :3]) @ b[:3, :3].T
        assert np.allclose(kelmar.ConvertVector(v, kelmar.OUT, a, b, 1), in_b, atol=1e-3)
        direction = v @ a[:3, :3] @ b[:3, :3].T
        assert np.allclose(kelmar.ConvertVector(v, kelmar.OUT, a, b, 0), direction, atol=1e-3)
        assert np.allclose(kelmar.ConvertVector(v, kelmar.OUT), v, atol=1e-5)  # world to world
        euler, position = kelmar.EulerAndPosFromTM(a)
        assert np.allclose(position, a[3, :3], atol=1e-4)
        assert np.allclose(kelmar.TMFromEulerAndPos(v3Euler=euler, v3Pos=position), a, atol=1e-4)
        q = kelmar.QuaternionFromEuler(euler=euler)
        assert same_rotation(kelmar.QuaternionFromTM(TM=a), q)
        assert same_rotation(kelmar.QuaternionFromEuler(euler=kelmar.EulerFromQuaternion(q=q)), q)


def test_quaternions_compose_like_rotations(kelmar):
    for _ in range(10):
        axis, angle = rng.normal(size=3), rng.uniform(-3, 3)
        q = kelmar.QuaternionMake(axis=axis, angle=angle)
        assert np.linalg.norm(q) == pytest.approx(1, abs=1e-6) and q[0] == pytest.approx(np.cos(angle / 2), abs=1e-6)
        p = kelmar.QuaternionMake(axis=rng.normal(size=3), angle=rng.uniform(-3, 3))
        product = kelmar.QuaternionProduct(q=q, p=p)
        assert np.allclose(rotation_of(product), rotation_of(q) @ rotation_of(p), atol=1e-5)
        a, b = rng.normal(size=3), rng.normal(size=3)
        turn = kelmar.QuaternionForRotation(vector1=a, vector2=b)
        assert np.allclose(rotation_of(turn) @ (a / np.linalg.norm(a)), b / np.linalg.norm(b), atol=1e-4)
    with pytest.raises(kelmar.BadArgument):
        kelmar.QuaternionForRotation(vector1=[0, 0, 0], vector2=[1, 0, 0])
