"""kelmar: robot hands and grasping in a rigid-body simulation, from Python.

The classes, methods, fields, constants and free functions here are made
when the package is imported, from the declaration tables that the module
carries for its host's script language: Python has exactly the script
interface, with one docstring per declaration (``help(kelmar.Universe)``).

Import it from a build folder with one variable::

    PYTHONPATH=build/python python3 -c "import kelmar"

A run: a universe, a scene file loaded into it (with variables), steps, and
what can be read back::

    import kelmar
    kelmar.add_search_path("examples")          # where scene files import from
    universe = kelmar.Universe("universe")
    scene = kelmar.Scene("grasp", "universe", "examples/grasp_ball.px", None, 1.0, "ball_radius = 4")
    ball = kelmar.SolidRef("grasp", "objects.ball")
    hand = kelmar.Robot("grasp", "arm.robot")
    grip = kelmar.GraspBallWrap(hand, ball, 4.7, 0.05)
    for _ in range(400):
        grip.grasp()
        universe.step()
    pose = ball.GetTM()                          # 4x4 numpy array, cm
    joints = hand.GetJoints()                    # one value per joint (rad or cm)
    contacts = ball.GetContacts()                # a ContactList, valid until the next step
    touching = [contacts.Get(i).Name(1) for i in range(contacts.Num())]

Arrays: ``float*`` parameters take lists or numpy arrays; a ``float*``
parameter left out is an output that the call returns (``GetGravity()``).
Transforms are 4x4 arrays (rows: the rotated axes, then the translation);
camera pictures are (height, width, 3) uint8 arrays, row 0 at the top.

Errors: a host exception becomes ``kelmar.HostError`` or a subclass
(``BadArgument``, ``BadDimension``, ``BadIndex``, ``BadMaterial``,
``BadOperation``, ``UnresolvedObject``) with ``.id`` ("badarg:array:dim")
and the exact ``.message``. A declaration whose entry function this build
lacks raises ``MissingEntry`` (a NotImplementedError).

The VTK viewer: ``kelmar.vtkViewer(kelmar.CRender(w, h), universe)`` shows a
universe in an off-screen window whose ``picture()`` reads it back (needs an X
display and a build with the viewer, ``has_viewer``).

``kelmar.quiet_grasps()`` silences the grasp controllers' progress lines. Calls
hold the interpreter lock: the simulation runs on one thread at a time.

The extension module is ``kelmar._kelmar``; ``python3 -m kelmar scene.px``
runs a scene from the command line (``--help``).
"""

import os as _os
import sys as _sys

try:
    import numpy as _numpy  # noqa: F401

    from . import _kelmar
except ImportError as _e:
    from ._build import PYTHON as _PYTHON
    from ._build import VERSION as _VERSION

    if _os.path.realpath(_sys.executable) == _os.path.realpath(_PYTHON):
        raise
    raise ImportError("kelmar was built for %s (Python %s), not for %s (Python %d.%d.%d): %s"
                      % ((_PYTHON, _VERSION, _sys.executable) + tuple(_sys.version_info[:3]) + (_e,))) from _e

from ._interface import OUT, CRender, HostObject, build
from .errors import (BadArgument, BadDimension, BadIndex, BadMaterial, BadOperation, HostError, MissingEntry,
                     UnresolvedObject)

add_search_path = _kelmar.add_search_path
quiet_grasps = _kelmar.quiet_grasps
has_cameras = _kelmar.has_cameras
has_viewer = _kelmar.has_viewer

CLASSES, CONSTANTS, FUNCTIONS = build()
globals().update(CLASSES)
globals().update(CONSTANTS)
globals().update(FUNCTIONS)

__all__ = (["OUT", "HostObject", "HostError", "BadArgument", "BadDimension", "BadIndex", "BadMaterial",
            "BadOperation", "UnresolvedObject", "MissingEntry", "add_search_path", "quiet_grasps", "has_cameras",
            "has_viewer", "CRender"]
           + list(CLASSES) + list(CONSTANTS) + list(FUNCTIONS))
